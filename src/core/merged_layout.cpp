#include "merged_layout.h"

#include <algorithm>
#include <cstring>

namespace {

void erase(std::uint8_t* merged, std::size_t from, std::size_t to) {
    if (from < to) std::memset(merged + from, erased_byte, to - from);
}

}  // namespace

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
