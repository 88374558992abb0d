// The image format the offline programmer expects: the input images, the
// download image's pages and header page, and the merged image's regions.
#ifndef TOLP_IMAGE_FORMAT_H
#define TOLP_IMAGE_FORMAT_H

#include <cstddef>
#include <cstdint>

// The download image is read into a working copy of 800 pages; page 0 is
// the header page, the pages after it are checksummed.
inline constexpr std::size_t page_size = 256;
inline constexpr std::size_t download_capacity = 204800;

// Header page fields (byte offsets from the start of the download image).
inline constexpr std::size_t length_offset = 16;    // 4 bytes, big-endian: image length
inline constexpr std::size_t checksum_offset = 64;  // 4 bytes, little-endian: page checksum
inline constexpr std::size_t count_offset = 72;     // 4 bytes, little-endian: count limit
inline constexpr std::size_t mac_offset = 136;      // 6 bytes as written: MAC address
inline constexpr std::size_t mac_sum_offset = 142;  // 2 bytes, little-endian: MAC byte sum
inline constexpr std::size_t field_width = 4;       // the three 32-bit fields
inline constexpr std::size_t mac_size = 6;
inline constexpr std::size_t mac_sum_width = 2;

// The stamped fields, each as its offset and width (bytes 16-19, 64-67,
// 72-75 and 136-143): the only bytes the stamp writes, and the only ones in
// which two stamps of one image may differ.
inline constexpr std::size_t stamped_fields[][2] = {{length_offset, field_width},
                                                    {checksum_offset, field_width},
                                                    {count_offset, field_width},
                                                    {mac_offset, mac_size + mac_sum_width}};

// Merged image regions. Each image runs from its offset; an offline or RAM
// boot image longer than its room runs on into the next region, where the
// later image overwrites it. The download image, placed last, always stands
// whole at download_offset, and the merged image ends with it.
inline constexpr std::size_t offline_offset = 0x0000;
inline constexpr std::size_t offline_room = 0xA000;
inline constexpr std::size_t ramboot_offset = 0xA000;
inline constexpr std::size_t ramboot_room = 0x3000;
inline constexpr std::size_t download_offset = 0xD000;
inline constexpr std::uint8_t erased_byte = 0xFF;  // erased flash, in every gap

inline constexpr std::size_t merged_size(std::size_t download_size) {
    return download_offset + download_size;
}

// The largest merged image: one made from a full working copy.
inline constexpr std::size_t largest_merged_image = download_offset + download_capacity;

// The smallest merged image that holds the length field.
inline constexpr std::size_t smallest_checkable_image =
    download_offset + length_offset + field_width;

// The three input images, in the folder the tool runs in, and where each
// stands in the merged image.
struct InputImage {
    const char* path;    // as the tool names it, "./" and the file name
    std::size_t offset;  // in the merged image
};
inline constexpr InputImage offline_image{"./offline.bin", offline_offset};
inline constexpr InputImage ramboot_image{"./ramboot.bin", ramboot_offset};
inline constexpr InputImage download_image{"./download.bin", download_offset};

// The input's file name, without the folder.
inline constexpr const char* file_name_of(const InputImage& input) {
    return input.path + 2;
}

// The most bytes an input may have. The download image: its working copy.
// The offline and RAM boot images: what is left from their offset to the
// end of a merged image whose download image has `download_size` bytes, so
// that neither can run past that end.
inline constexpr std::size_t room_for(const InputImage& input, std::size_t download_size) {
    if (input.offset == download_offset) return download_capacity;
    const std::size_t total = merged_size(download_size);
    return total > input.offset ? total - input.offset : 0;
}

// The region an input has before the next one begins.
inline constexpr std::size_t room_of(const InputImage& input) {
    return input.offset == offline_offset   ? offline_room
           : input.offset == ramboot_offset ? ramboot_room
                                            : download_capacity;
}

// Room for the merged image's name, terminating zero included.
inline constexpr std::size_t file_name_size = 40;

#endif
