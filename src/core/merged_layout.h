// The merged image's layout (regions in image_format.h): erased flash, the
// offline image, the RAM boot image over any run-on of the offline image,
// and the download image over any run-on of the RAM boot image.
#ifndef TOLP_MERGED_LAYOUT_H
#define TOLP_MERGED_LAYOUT_H

#include <cstddef>
#include <cstdint>

#include "image_format.h"

struct ImageBytes {
    const std::uint8_t* data;  // null where only the size is known
    std::size_t size;
};

// The three input images of a merged image, as the tool, the checker and
// the fuzzers hold them.
struct Inputs {
    ImageBytes offline, ramboot, download;
};

// The input's bytes in `inputs`, const as `inputs` is.
template <typename SomeInputs>
auto& image_of(SomeInputs& inputs, const InputImage& input) {
    return input.offset == offline_offset   ? inputs.offline
           : input.offset == ramboot_offset ? inputs.ramboot
                                            : inputs.download;
}

// Erases (0xFF) what no input covers once they stand at their offsets in
// `merged` (merged_size(inputs.download.size) bytes): the rest of the
// offline region, and what follows the RAM boot image (or the offline
// image's run-on). Only the sizes of `inputs` are used.
void fill_gaps(std::uint8_t* merged, const Inputs& inputs);

// Lays out the merged image of inputs held in memory: each copied to its
// offset (an offline or RAM boot image longer than room_for allows cut to
// it), in the tool's order, then the gaps filled.
void lay_out_merged(std::uint8_t* merged, const Inputs& inputs);

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
CoveredBytes covered_bytes(const InputImage& input, const Inputs& inputs);

#endif
