#include "page_checksum.h"

#include <array>
#include <cstdio>
#include <cstring>

#include "console.h"
#include "console_texts.h"
#include "file_helpers.h"

namespace {

constexpr std::uint32_t polynomial = 0xEDB88320u;

using CrcTables = std::array<std::array<std::uint32_t, 256>, 8>;

// tables[0][n] is the register after shifting in byte n from 0; tables[k][n]
// carries that value k bytes further, so 8 bytes take one step.
constexpr CrcTables make_tables() {
    CrcTables t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n << 24;
        for (int bit = 0; bit < 8; ++bit) {
            c = (c & 0x80000000u) ? (c << 1) ^ polynomial : c << 1;
        }
        t[0][n] = c;
    }
    for (std::size_t k = 1; k < 8; ++k) {
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

std::uint32_t step_8_bytes(std::uint32_t crc, const std::uint8_t* b) {
    crc ^= static_cast<std::uint32_t>(b[0]) << 24 | static_cast<std::uint32_t>(b[1]) << 16 |
           static_cast<std::uint32_t>(b[2]) << 8 | b[3];
    return tables[7][crc >> 24] ^ tables[6][(crc >> 16) & 0xFF] ^ tables[5][(crc >> 8) & 0xFF] ^
           tables[4][crc & 0xFF] ^ tables[3][b[4]] ^ tables[2][b[5]] ^ tables[1][b[6]] ^
           tables[0][b[7]];
}

// Sizes the image, reporting a failure with the system's reason; returns -1
// then, so that the read that follows stops the run.
long size_download() {
    const long size = file_size_or_errno(download_path);
    if (size < 0) {
        std::perror(text::size_error_prefix);
        return -1;
    }
    std::printf(text::file_size, size);
    return size;
}

void refuse_oversize(long size) {
    if (size <= static_cast<long>(download_capacity)) return;
    std::printf(text::too_large, download_path, size, static_cast<long>(download_capacity));
    stop(-1);
}

// Checksums pages 1 onwards through the scratch page, printing progress.
std::uint32_t walk_pages(const std::uint8_t* buf, std::uint32_t bin_size) {
    const std::uint32_t PageCNT = page_count(bin_size);
    const std::uint32_t remain = last_page_bytes(bin_size);
    std::uint8_t bufa[page_size];
    std::uint32_t crc123 = 0;
    std::uint32_t i = 1;
    for (; i < PageCNT; ++i) {
        const std::size_t bytes = i == PageCNT - 1 ? remain : page_size;
        std::memcpy(bufa, buf + i * page_size, bytes);
        crc123 = crc32(crc123, bufa, bytes);
        std::printf(text::page_progress, static_cast<int>(i), crc123);
    }
    std::printf(text::page_summary, static_cast<int>(PageCNT), static_cast<int>(remain), crc123,
                static_cast<int>(i));
    return crc123;
}

}  // namespace

std::uint32_t crc32(std::uint32_t crc, const std::uint8_t* buf, std::size_t len) {
    for (; len >= 8; len -= 8, buf += 8) crc = step_8_bytes(crc, buf);
    for (; len > 0; --len) crc = step_byte(crc, *buf++);
    return crc;
}

std::uint32_t page_count(std::uint32_t bin_size) {
    return (bin_size >> 8) + ((bin_size & 0xFFu) != 0 ? 1 : 0);
}

std::uint32_t last_page_bytes(std::uint32_t bin_size) {
    return (bin_size & 0xFFu) != 0 ? bin_size & 0xFFu : page_size;
}

std::uint32_t page_checksum(const std::uint8_t* image, std::uint32_t bin_size) {
    return bin_size > page_size ? crc32(0, image + page_size, bin_size - page_size) : 0;
}

void load_download(RunContext& ctx) {
    const long size = size_download();
    refuse_oversize(size);
    ctx.bin_size = size > 0 ? static_cast<std::uint32_t>(size) : 0;
    read_bin(download_path, ctx.buf, static_cast<std::int32_t>(ctx.bin_size));
    ctx.file_sumcheck = walk_pages(ctx.buf, ctx.bin_size);
}
