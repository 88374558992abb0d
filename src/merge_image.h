// The merge stage: places the offline image, the RAM boot image and the
// stamped download image at their offsets (image_format.h) in one image
// whose gaps are erased flash.
#ifndef TOLP_MERGE_IMAGE_H
#define TOLP_MERGE_IMAGE_H

#include <cstddef>
#include <cstdint>

#include "image_format.h"

struct ImageBytes {
    const std::uint8_t* data;
    std::size_t size;
};

// Puts the image at `path` (./offline.bin or ./ramboot.bin) at `at`, where
// it may take up to `room` bytes, and returns its size; `context` is the
// caller's. The tool's reader reads the file there; a checker or a test may
// take the bytes from elsewhere.
using ImageReader = std::size_t (*)(const char* path, std::uint8_t* at, std::size_t room,
                                    void* context);

// Lays out the merged image in `merged` (merged_size(download.size) bytes):
// erased flash, then the offline image, then the RAM boot image (over any
// run-on of the offline image), then the download image (over any run-on of
// the RAM boot image). Returns the offline and RAM boot images' sizes.
struct SourceSizes {
    std::size_t offline, ramboot;
};
SourceSizes lay_out_merged(std::uint8_t* merged, ImageBytes download, ImageReader read,
                           void* context);

// The offline and RAM boot images already in memory, for the reader
// read_from_memory (its context is a SourceImages*). An image longer than
// its room is cut to it.
struct SourceImages {
    ImageBytes offline, ramboot;
};
std::size_t read_from_memory(const char* path, std::uint8_t* at, std::size_t room, void* context);

// Builds the merged image from the offline and RAM boot images on disk and
// the run's own stamped download image (`download`, `bin_size` bytes: exactly
// what was written back), and writes it as `file_name`. Another run or a copy
// that replaces ./download.bin meanwhile cannot change it. Stops the process
// on an image too long for the merged image (-1), on lack of memory (-3) and
// on the file helpers' failures.
void merge_file(const char* file_name, const std::uint8_t* download, std::uint32_t bin_size);

#endif
