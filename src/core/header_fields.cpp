#include "header_fields.h"

#include <cstring>

namespace {

// Writes `bytes` at `offset`, cut at the image's end.
void put(std::uint8_t* image, std::size_t size, std::size_t offset, const std::uint8_t* bytes,
         std::size_t width) {
    for (std::size_t k = 0; k < width && offset + k < size; ++k) image[offset + k] = bytes[k];
}

std::uint32_t big_endian32(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(at[0]) << 24 | static_cast<std::uint32_t>(at[1]) << 16 |
           static_cast<std::uint32_t>(at[2]) << 8 | at[3];
}

std::uint32_t little_endian32(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(at[3]) << 24 | static_cast<std::uint32_t>(at[2]) << 16 |
           static_cast<std::uint32_t>(at[1]) << 8 | at[0];
}

}  // namespace

FieldsHeld fields_held(std::size_t size) {
    return {length_offset + field_width <= size, checksum_offset + field_width <= size,
            count_offset + field_width <= size, mac_offset + mac_size <= size,
            mac_sum_offset + mac_sum_width <= size};
}

HeaderFields read_header(const std::uint8_t* image, std::size_t size) {
    const FieldsHeld held = fields_held(size);
    HeaderFields f;
    if (held.length) f.length = big_endian32(image + length_offset);
    if (held.checksum) f.checksum = little_endian32(image + checksum_offset);
    if (held.count) f.count = little_endian32(image + count_offset);
    if (held.mac) std::memcpy(f.mac, image + mac_offset, mac_size);
    if (held.mac_sum) {
        f.mac_sum =
            static_cast<std::uint16_t>(image[mac_sum_offset] | image[mac_sum_offset + 1] << 8);
    }
    return f;
}

void stamp_header(std::uint8_t* image, std::size_t size, const HeaderFields& fields) {
    const std::uint8_t length[field_width] = {static_cast<std::uint8_t>(fields.length >> 24),
                                              static_cast<std::uint8_t>(fields.length >> 16),
                                              static_cast<std::uint8_t>(fields.length >> 8),
                                              static_cast<std::uint8_t>(fields.length)};
    const std::uint8_t sum[mac_sum_width] = {static_cast<std::uint8_t>(fields.mac_sum),
                                             static_cast<std::uint8_t>(fields.mac_sum >> 8)};
    put(image, size, checksum_offset, little_endian_bytes(fields.checksum).data(), field_width);
    put(image, size, count_offset, little_endian_bytes(fields.count).data(), field_width);
    put(image, size, mac_offset, fields.mac, mac_size);
    put(image, size, mac_sum_offset, sum, mac_sum_width);
    put(image, size, length_offset, length, field_width);
}

HeaderFields header_for(std::uint32_t bin_size, std::uint32_t checksum, std::uint32_t count,
                        const std::uint8_t* mac) {
    HeaderFields f;
    f.length = bin_size;
    f.checksum = checksum;
    f.count = count;
    for (std::size_t k = 0; k < mac_size; ++k) f.mac[k] = mac[k];
    f.mac_sum = mac_sum(mac);
    return f;
}

std::uint16_t mac_sum(const std::uint8_t* mac) {
    unsigned sum = 0;
    for (std::size_t k = 0; k < mac_size; ++k) sum += mac[k];
    return static_cast<std::uint16_t>(sum);
}

std::array<std::uint8_t, field_width> little_endian_bytes(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}
