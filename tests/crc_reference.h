// The checksum's defining bitwise loop, kept as the reference the shipped
// table-driven version must match.
#ifndef TOLP_CRC_REFERENCE_H
#define TOLP_CRC_REFERENCE_H

#include <cstddef>
#include <cstdint>

inline std::uint32_t crc32_bitwise(std::uint32_t crc, const std::uint8_t* buf, std::size_t len) {
    for (std::size_t n = 0; n < len; ++n) {
        crc ^= static_cast<std::uint32_t>(buf[n]) << 24;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0xEDB88320u : crc << 1;
        }
    }
    return crc;
}

#endif
