// The loading stage: reads ./download.bin into the working copy and computes
// its page checksum, printing the size, one line per page and a summary.
#ifndef TOLP_LOAD_DOWNLOAD_H
#define TOLP_LOAD_DOWNLOAD_H

#include <cstddef>
#include <cstdint>

#include "run_context.h"

// Fills ctx.buf, bin_size and file_sumcheck, from one open of the file. An
// image that cannot be opened is reported on standard error with the
// system's reason and stops the run; so does one over the working copy's
// capacity or one whose length changes while it is read (status -1).
void load_download(RunContext& ctx);

// The page line text::page_progress makes ("\ncrc:%d:%x\n"), byte for byte,
// written into `out` (at least 32 bytes) without printf: a maximal run
// prints 799 of them. Returns its length.
std::size_t page_progress_line(char* out, std::uint32_t page, std::uint32_t crc123);

#endif
