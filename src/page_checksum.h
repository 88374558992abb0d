// The loading stage: reads ./download.bin into the working copy and computes
// the page checksum over every 256-byte page but the first (the header page).
#ifndef TOLP_PAGE_CHECKSUM_H
#define TOLP_PAGE_CHECKSUM_H

#include <cstddef>
#include <cstdint>

#include "run_context.h"

inline constexpr char download_path[] = "./download.bin";

// Continues the checksum `crc` over `len` bytes. A most-significant-bit-first
// register fed with 0xEDB88320, with no reflection and no inversion: not the
// common CRC-32, whose values differ.
std::uint32_t crc32(std::uint32_t crc, const std::uint8_t* buf, std::size_t len);

// Pages a file of `bin_size` bytes occupies, and the file bytes in its last.
std::uint32_t page_count(std::uint32_t bin_size);
std::uint32_t last_page_bytes(std::uint32_t bin_size);

// The page checksum of an image: crc32 from 0 over bytes 256 onwards.
std::uint32_t page_checksum(const std::uint8_t* image, std::uint32_t bin_size);

// Sizes and reads the download image into ctx.buf and fills bin_size and
// file_sumcheck, printing the size, one progress line per page and a summary.
// An image over the working copy's capacity is refused (status -1).
void load_download(RunContext& ctx);

#endif
