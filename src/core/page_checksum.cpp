#include "page_checksum.h"

#include <array>
#include <cstring>

namespace {

constexpr std::uint32_t polynomial = 0xEDB88320u;

constexpr std::size_t slices = 16;
using CrcTables = std::array<std::array<std::uint32_t, 256>, slices>;

// tables[0][n] is the register after shifting in byte n from 0; tables[k][n]
// carries that value k bytes further, so 16 bytes take one step.
constexpr CrcTables make_tables() {
    CrcTables t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n << 24;
        for (int bit = 0; bit < 8; ++bit) {
            c = (c & 0x80000000u) ? (c << 1) ^ polynomial : c << 1;
        }
        t[0][n] = c;
    }
    for (std::size_t k = 1; k < slices; ++k) {
        for (std::size_t n = 0; n < 256; ++n) {
            t[k][n] = (t[k - 1][n] << 8) ^ t[0][t[k - 1][n] >> 24];
        }
    }
    return t;
}

constexpr CrcTables tables = make_tables();

std::uint32_t step_byte(std::uint32_t crc, std::uint8_t b) {
    return (crc << 8) ^ tables[0][(crc >> 24) ^ b];
}

// The register meets the first four bytes; each byte is carried by as many
// bytes as follow it in the step.
std::uint32_t step_16_bytes(std::uint32_t crc, const std::uint8_t* b) {
    crc ^= static_cast<std::uint32_t>(b[0]) << 24 | static_cast<std::uint32_t>(b[1]) << 16 |
           static_cast<std::uint32_t>(b[2]) << 8 | b[3];
    return tables[15][crc >> 24] ^ tables[14][(crc >> 16) & 0xFF] ^ tables[13][(crc >> 8) & 0xFF] ^
           tables[12][crc & 0xFF] ^ tables[11][b[4]] ^ tables[10][b[5]] ^ tables[9][b[6]] ^
           tables[8][b[7]] ^ tables[7][b[8]] ^ tables[6][b[9]] ^ tables[5][b[10]] ^
           tables[4][b[11]] ^ tables[3][b[12]] ^ tables[2][b[13]] ^ tables[1][b[14]] ^
           tables[0][b[15]];
}

}  // namespace

std::uint32_t crc32(std::uint32_t crc, const std::uint8_t* buf, std::size_t len) {
    for (; len >= slices; len -= slices, buf += slices) crc = step_16_bytes(crc, buf);
    for (; len > 0; --len) crc = step_byte(crc, *buf++);
    return crc;
}

std::uint32_t page_count(std::uint32_t bin_size) {
    return (bin_size >> 8) + ((bin_size & 0xFFu) != 0 ? 1 : 0);
}

std::uint32_t last_page_bytes(std::uint32_t bin_size) {
    return (bin_size & 0xFFu) != 0 ? bin_size & 0xFFu : page_size;
}

PageWalk walk_pages(const std::uint8_t* image, std::uint32_t bin_size, PageProgress progress) {
    PageWalk walk{page_count(bin_size), last_page_bytes(bin_size), 1, 0};
    std::uint8_t bufa[page_size];  // each page is checksummed from a scratch copy
    for (; walk.i < walk.PageCNT; ++walk.i) {
        const std::size_t bytes = walk.i == walk.PageCNT - 1 ? walk.remain : page_size;
        std::memcpy(bufa, image + walk.i * page_size, bytes);
        walk.crc123 = crc32(walk.crc123, bufa, bytes);
        if (progress != nullptr) progress(walk.i, walk.crc123);
    }
    return walk;
}
