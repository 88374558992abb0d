// The header page's fields (offsets in image_format.h), read from an image
// into one plain struct in one call and stamped from it in one call, byte
// by byte with explicit shifts: the result does not depend on the host's
// byte order.
#ifndef TOLP_HEADER_FIELDS_H
#define TOLP_HEADER_FIELDS_H

#include <array>
#include <cstddef>
#include <cstdint>

#include "image_format.h"

struct HeaderFields {
    std::uint32_t length = 0;         // the image length, big-endian at 16
    std::uint32_t checksum = 0;       // the page checksum, little-endian at 64
    std::uint32_t count = 0;          // the programming-count limit, little-endian at 72
    std::uint8_t mac[mac_size] = {};  // the MAC bytes in written order, at 136
    std::uint16_t mac_sum = 0;        // the sum of the MAC bytes, little-endian at 142
};

// Which fields an image of `size` bytes holds whole.
struct FieldsHeld {
    bool length, checksum, count, mac, mac_sum;
};
FieldsHeld fields_held(std::size_t size);

// The fields of the `size`-byte image; those it does not hold whole read 0.
HeaderFields read_header(const std::uint8_t* image, std::size_t size);

// Stamps every field into the `size`-byte image, cut at its end: a shorter
// image receives only the parts of fields that lie inside it. Every other
// byte keeps its value.
void stamp_header(std::uint8_t* image, std::size_t size, const HeaderFields& fields);

// The fields the tool stamps into an image of `bin_size` bytes.
HeaderFields header_for(std::uint32_t bin_size, std::uint32_t checksum, std::uint32_t count,
                        const std::uint8_t* mac);

// The sum of the six MAC bytes (at most 1530, so the 16-bit field holds it).
std::uint16_t mac_sum(const std::uint8_t* mac);

// A 32-bit field's bytes as stamped at 64 and 72, least significant first.
std::array<std::uint8_t, field_width> little_endian_bytes(std::uint32_t value);

#endif
