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

CoveredBytes covered_bytes(const InputImage& input, SourceSizes sizes) {
    const bool offline = input.offset == offline_offset;
    const std::size_t end = input.offset + (offline ? sizes.offline : sizes.ramboot);
    CoveredBytes covered;
    if (offline) {
        const std::size_t ramboot_end = ramboot_offset + sizes.ramboot;
        covered.ranges[0] = in_input(input.offset, ramboot_offset,
                                     std::min({end, ramboot_end, download_offset}), ramboot_image);
    }
    covered.ranges[1] = in_input(input.offset, download_offset, end, download_image);
    return covered;
}

std::size_t read_from_memory(const InputImage& input, std::uint8_t* at, std::size_t room,
                             void* context) {
    const auto* sources = static_cast<const SourceImages*>(context);
    const ImageBytes image = input.offset == offline_offset ? sources->offline : sources->ramboot;
    const std::size_t size = std::min(image.size, room);
    if (size > 0) std::memcpy(at, image.data, size);
    return size;
}

SourceSizes lay_out_merged(std::uint8_t* merged, ImageBytes download, ImageReader read,
                           void* context) {
    SourceSizes sizes{};
    sizes.offline = read(offline_image, merged + offline_offset,
                         room_for(offline_image, download.size), context);
    sizes.ramboot = read(ramboot_image, merged + ramboot_offset,
                         room_for(ramboot_image, download.size), context);
    if (download.size > 0) std::memcpy(merged + download_offset, download.data, download.size);
    // Only what no image covers is erased: the rest of the offline region,
    // and what follows the RAM boot image (or the offline image's run-on).
    const std::size_t offline_end = offline_offset + sizes.offline;
    const std::size_t ramboot_end = ramboot_offset + sizes.ramboot;
    erase(merged, offline_end, ramboot_offset);
    erase(merged, std::max(ramboot_end, offline_end), download_offset);
    return sizes;
}
