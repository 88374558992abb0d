// The loading stage: reads ./download.bin into the working copy and computes
// its page checksum, printing the size, one line per page and a summary.
#ifndef TOLP_LOAD_DOWNLOAD_H
#define TOLP_LOAD_DOWNLOAD_H

#include "run_context.h"

// Fills ctx.buf, bin_size and file_sumcheck. An image that cannot be sized is
// reported on standard error with the system's reason, and the read that
// follows stops the run; one over the working copy's capacity is refused
// (status -1).
void load_download(RunContext& ctx);

#endif
