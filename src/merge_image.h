// The merge stage: places the offline image, the RAM boot image and the
// stamped download image at fixed offsets in one 0xFF-filled image.
//
//   0x0000  offline image   (room 0xA000 before the RAM boot image)
//   0xA000  RAM boot image  (room 0x3000 before the download image)
//   0xD000  download image  (bin_size bytes; the merged image ends with it)
//
// An offline or RAM boot image longer than its room runs on into the next
// region, where the later image overwrites it; the download image, placed
// last, always stands whole at 0xD000.
#ifndef TOLP_MERGE_IMAGE_H
#define TOLP_MERGE_IMAGE_H

#include <cstddef>
#include <cstdint>

inline constexpr char offline_path[] = "./offline.bin";
inline constexpr char ramboot_path[] = "./ramboot.bin";
inline constexpr std::size_t offline_offset = 0x0000;
inline constexpr std::size_t ramboot_offset = 0xA000;
inline constexpr std::size_t download_offset = 0xD000;
inline constexpr std::uint8_t erased_byte = 0xFF;

struct ImageBytes {
    const std::uint8_t* data;
    std::size_t size;
};

inline std::size_t merged_size(std::uint32_t bin_size) {
    return download_offset + std::size_t{bin_size};
}

// Bytes an image placed at `offset` may take before it would run past the
// end of a merged image of `total` bytes.
inline std::size_t room_at(std::size_t offset, std::size_t total) {
    return total > offset ? total - offset : 0;
}

// Fills `merged` (`total` bytes) with 0xFF and copies the three images at
// their offsets in this order. Each must fit its room_at.
void lay_out_merged(std::uint8_t* merged, std::size_t total, ImageBytes offline, ImageBytes ramboot,
                    ImageBytes download);

// Builds the merged image from the offline and RAM boot images on disk and
// the run's own stamped download image (`download`, `bin_size` bytes: exactly
// what was written back), and writes it as `file_name`. Another run or a copy
// that replaces ./download.bin meanwhile cannot change it. Stops the process
// on an image too long for the merged image (-1), on lack of memory (-3) and
// on the file helpers' failures.
void merge_file(const char* file_name, const std::uint8_t* download, std::uint32_t bin_size);

#endif
