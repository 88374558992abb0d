#include "merge_image.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "console.h"
#include "console_texts.h"
#include "file_helpers.h"
#include "page_checksum.h"

namespace {

using Buffer = std::unique_ptr<std::uint8_t[]>;

// The merged image and its sources are obtained without exceptions, so a
// lack of memory is reported like every other stop.
Buffer allocate(std::size_t size) {
    Buffer b(new (std::nothrow) std::uint8_t[size > 0 ? size : 1]);
    if (!b) {
        std::printf(text::merge_no_memory);
        stop_process(-3);
    }
    return b;
}

struct SourceImage {
    Buffer bytes;
    std::size_t size = 0;
    ImageBytes view() const { return {bytes.get(), size}; }
};

// Reads `size` bytes of the image at `path`, refusing an image that would
// run past the merged image (`room` bytes left from its offset).
SourceImage read_source(const char* path, std::int32_t size, std::size_t room) {
    SourceImage image;
    if (static_cast<std::size_t>(size) > room) {
        std::printf(text::too_large, path, static_cast<long>(size), static_cast<long>(room));
        stop_process(-1);
    }
    image.size = static_cast<std::size_t>(size);
    image.bytes = allocate(image.size);
    read_bin(path, image.bytes.get(), size);
    return image;
}

void place(std::uint8_t* merged, std::size_t offset, ImageBytes image) {
    if (image.size > 0) std::memcpy(merged + offset, image.data, image.size);
}

}  // namespace

void lay_out_merged(std::uint8_t* merged, std::size_t total, ImageBytes offline, ImageBytes ramboot,
                    ImageBytes download) {
    std::memset(merged, erased_byte, total);
    place(merged, offline_offset, offline);
    place(merged, ramboot_offset, ramboot);
    place(merged, download_offset, download);
}

void merge_file(const char* file_name) {
    const std::int32_t bin_size = GetBinSize(download_path);
    const std::size_t total = merged_size(static_cast<std::uint32_t>(bin_size));
    const Buffer merged = allocate(total);
    const SourceImage offline =
        read_source(offline_path, GetBinSize(offline_path), room_at(offline_offset, total));
    const SourceImage ramboot =
        read_source(ramboot_path, GetBinSize(ramboot_path), room_at(ramboot_offset, total));
    // Exactly the size measured above: a file that changed since fails the read.
    const SourceImage download =
        read_source(download_path, bin_size, room_at(download_offset, total));
    lay_out_merged(merged.get(), total, offline.view(), ramboot.view(), download.view());
    write_bin(file_name, merged.get(), static_cast<std::int32_t>(total));
    std::printf(text::merge_done);
}
