// The page checksum of a download image: pure computation, no disk, no
// console.
#ifndef TOLP_PAGE_CHECKSUM_H
#define TOLP_PAGE_CHECKSUM_H

#include <cstddef>
#include <cstdint>

#include "image_format.h"

// Continues the checksum `crc` over `len` bytes. A most-significant-bit-first
// register fed with 0xEDB88320, with no reflection and no inversion: not the
// common CRC-32, whose values differ.
std::uint32_t crc32(std::uint32_t crc, const std::uint8_t* buf, std::size_t len);

// Pages a file of `bin_size` bytes occupies, and the file bytes in its last.
std::uint32_t page_count(std::uint32_t bin_size);
std::uint32_t last_page_bytes(std::uint32_t bin_size);

// The walk over pages 1 onwards: the page count, the bytes in the last page,
// the first page number the walk did not take (1 for an image of one page or
// none) and the checksum, carried from page to page from 0.
struct PageWalk {
    std::uint32_t PageCNT;
    std::uint32_t remain;
    std::uint32_t i;
    std::uint32_t crc123;
};

// Told of each page as it is checksummed, with the checksum so far.
using PageProgress = void (*)(std::uint32_t i, std::uint32_t crc123);

// Checksums pages 1 onwards of the `bin_size`-byte image; `progress`, unless
// null, hears of every page.
PageWalk walk_pages(const std::uint8_t* image, std::uint32_t bin_size,
                    PageProgress progress = nullptr);

#endif
