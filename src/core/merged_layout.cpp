#include "merged_layout.h"

#include <algorithm>
#include <cstring>

namespace {

void erase(std::uint8_t* merged, std::size_t from, std::size_t to) {
    if (from < to) std::memset(merged + from, erased_byte, to - from);
}

// [from, to) of the merged image, under the image `under`, as offsets in
// the input at `offset`; empty where to <= from.
CoveredRange in_input(std::size_t offset, std::size_t from, std::size_t to,
                      const InputImage& under) {
    return to > from ? CoveredRange{from - offset, to - offset, file_name_of(under)}
                     : CoveredRange{};
}

}  // namespace

void fill_gaps(std::uint8_t* merged, const Inputs& inputs) {
    const std::size_t offline_end = offline_offset + inputs.offline.size;
    const std::size_t ramboot_end = ramboot_offset + inputs.ramboot.size;
    erase(merged, offline_end, ramboot_offset);
    erase(merged, std::max(ramboot_end, offline_end), download_offset);
}

void lay_out_merged(std::uint8_t* merged, const Inputs& inputs) {
    Inputs placed = inputs;
    for (const InputImage& input : {offline_image, ramboot_image, download_image}) {
        ImageBytes& image = image_of(placed, input);
        image.size = std::min(image.size, room_for(input, inputs.download.size));
        if (image.size > 0) std::memcpy(merged + input.offset, image.data, image.size);
    }
    fill_gaps(merged, placed);
}

CoveredBytes covered_bytes(const InputImage& input, const Inputs& inputs) {
    const bool offline = input.offset == offline_offset;
    const std::size_t end = input.offset + image_of(inputs, input).size;
    CoveredBytes covered;
    if (offline) {
        const std::size_t ramboot_end = ramboot_offset + inputs.ramboot.size;
        covered.ranges[0] = in_input(input.offset, ramboot_offset,
                                     std::min({end, ramboot_end, download_offset}), ramboot_image);
    }
    covered.ranges[1] = in_input(input.offset, download_offset, end, download_image);
    return covered;
}
