// The merged image's layout (regions in image_format.h): erased flash, the
// offline image, the RAM boot image over any run-on of the offline image,
// and the download image over any run-on of the RAM boot image.
#ifndef TOLP_MERGED_LAYOUT_H
#define TOLP_MERGED_LAYOUT_H

#include <cstddef>
#include <cstdint>

#include "image_format.h"

struct ImageBytes {
    const std::uint8_t* data;
    std::size_t size;
};

// Puts `input` (the offline or the RAM boot image) at `at`, where it may
// take up to `room` bytes, and returns its size; `context` is the caller's.
// The tool reads the file there; the checker and the tests copy bytes they
// hold.
using ImageReader = std::size_t (*)(const InputImage& input, std::uint8_t* at, std::size_t room,
                                    void* context);

// Lays out the merged image in `merged` (merged_size(download.size) bytes)
// and returns the offline and RAM boot images' sizes.
struct SourceSizes {
    std::size_t offline, ramboot;
};
SourceSizes lay_out_merged(std::uint8_t* merged, ImageBytes download, ImageReader read,
                           void* context);

// Of an offline or RAM boot image longer than its room, the bytes that a
// later image covers in the merged image, as offsets in the input's own
// bytes: under the RAM boot image (only the offline image's) and under the
// download image. A range is empty (from == to) where nothing is covered.
struct CoveredRange {
    std::size_t from = 0, to = 0;
    const char* under = nullptr;  // the covering image's file name
};
struct CoveredBytes {
    CoveredRange ranges[2];
    std::size_t count() const {
        return ranges[0].to - ranges[0].from + ranges[1].to - ranges[1].from;
    }
};
CoveredBytes covered_bytes(const InputImage& input, SourceSizes sizes);

// The offline and RAM boot images already in memory, for the reader
// read_from_memory (its context is a SourceImages*). An image longer than
// its room is cut to it.
struct SourceImages {
    ImageBytes offline, ramboot;
};
std::size_t read_from_memory(const InputImage& input, std::uint8_t* at, std::size_t room,
                             void* context);

#endif
