// The stamping stage: writes the run's values into the header page (page 0)
// of the download image (header_fields.h), names the merged image and
// rewrites the download image in place.
#ifndef TOLP_HEADER_STAMP_H
#define TOLP_HEADER_STAMP_H

#include "run_context.h"

// Stamps ctx.buf, fills check_sum and new_file_name, prints the read-back
// length and writes the stamped bytes back into ./download.bin, in place.
void stamp_download(RunContext& ctx);

#endif
