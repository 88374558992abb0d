// The stamping stage: writes the run's values into the header page (page 0)
// of the download image, names the merged image and rewrites the download
// image in place.
// The fields and their offsets are in image_format.h.
#ifndef TOLP_HEADER_STAMP_H
#define TOLP_HEADER_STAMP_H

#include <cstddef>
#include <cstdint>

#include "image_format.h"
#include "run_context.h"

// Sum of the six MAC bytes, as stamped at offset 142.
std::uint32_t mac_sum(const std::uint8_t* mac_buf);

// Stamps the fields into `page` (at least 144 bytes) and returns the MAC sum.
std::uint32_t stamp_header(std::uint8_t* page, std::uint32_t bin_size, std::uint32_t file_sumcheck,
                           std::uint32_t burn_times, const std::uint8_t* mac_buf);

// Field writer and readers, as the programmer decodes the page.
void put_little_endian32(std::uint8_t* at, std::uint32_t v);
std::uint32_t read_big_endian32(const std::uint8_t* at);
std::uint32_t read_little_endian32(const std::uint8_t* at);

// "<MAC text>_<checksum as %08X>_<count as %d>.bin" into `name` (40 bytes).
// Every count the argument stage accepts fits; a longer one is cut short,
// never written past the name.
void compose_file_name(char* name, const char* p, std::uint32_t file_sumcheck,
                       std::uint32_t burn_times);

// Stamps ctx.buf, fills check_sum and new_file_name, prints the read-back
// length and rewrites ./download.bin with the first bin_size bytes.
void stamp_download(RunContext& ctx);

#endif
