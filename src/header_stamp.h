// The stamping stage: writes the run's values into the header page (page 0)
// of the download image, names the merged image and rewrites the download
// image in place.
//
// Header page fields (byte offsets from the start of the image):
//   16  4  big-endian     image length in bytes
//   64  4  little-endian  page checksum
//   72  4  little-endian  programming-count limit
//  136  6  as written     MAC bytes
//  142  2  little-endian  sum of the six MAC bytes
#ifndef TOLP_HEADER_STAMP_H
#define TOLP_HEADER_STAMP_H

#include <cstddef>
#include <cstdint>

#include "run_context.h"

inline constexpr std::size_t length_offset = 16;
inline constexpr std::size_t checksum_offset = 64;
inline constexpr std::size_t count_offset = 72;
inline constexpr std::size_t mac_offset = 136;
inline constexpr std::size_t mac_sum_offset = 142;
// The header fields end here; a shorter image keeps only what falls inside it.
inline constexpr std::size_t header_fields_end = 144;

// Sum of the six MAC bytes, as stamped at offset 142.
std::uint32_t mac_sum(const std::uint8_t* mac_buf);

// Stamps the fields into `page` (at least 144 bytes) and returns the MAC sum.
std::uint32_t stamp_header(std::uint8_t* page, std::uint32_t bin_size, std::uint32_t file_sumcheck,
                           std::uint32_t burn_times, const std::uint8_t* mac_buf);

// Field readers, as the programmer decodes the page.
std::uint32_t read_big_endian32(const std::uint8_t* at);
std::uint32_t read_little_endian32(const std::uint8_t* at);

// "<MAC text>_<checksum as %08X>_<count as %d>.bin" into `name` (40 bytes).
// False, with the name cut short, if the count needs more than 8 characters.
bool compose_file_name(char* name, const char* p, std::uint32_t file_sumcheck,
                       std::uint32_t burn_times);

// Stamps ctx.buf, fills check_sum and new_file_name, prints the read-back
// length and rewrites ./download.bin with the first bin_size bytes.
void stamp_download(RunContext& ctx);

#endif
