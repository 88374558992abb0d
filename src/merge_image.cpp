#include "merge_image.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "console.h"
#include "console_texts.h"
#include "file_helpers.h"

namespace {

// Obtained without exceptions, so a lack of memory is reported like every
// other stop.
std::unique_ptr<std::uint8_t[]> allocate(std::size_t size) {
    std::unique_ptr<std::uint8_t[]> b(new (std::nothrow) std::uint8_t[size]);
    if (!b) {
        say(text::merge_no_memory);
        stop(-3);
    }
    return b;
}

// Reads the image whole into place, refusing one that would run past the
// end of the merged image.
std::size_t read_into_place(const char* path, std::uint8_t* at, std::size_t room,
                            void* /*context*/) {
    InputFile file = open_bin(path, false);
    return read_bin(file, path, at, room);
}

}  // namespace

std::size_t read_from_memory(const char* path, std::uint8_t* at, std::size_t room, void* context) {
    const auto* sources = static_cast<const SourceImages*>(context);
    const ImageBytes image =
        std::strcmp(path, offline_path) == 0 ? sources->offline : sources->ramboot;
    const std::size_t size = image.size < room ? image.size : room;
    if (size > 0) std::memcpy(at, image.data, size);
    return size;
}

SourceSizes lay_out_merged(std::uint8_t* merged, ImageBytes download, ImageReader read,
                           void* context) {
    const std::size_t total = download_offset + download.size;
    std::memset(merged, erased_byte, total);
    SourceSizes sizes{};
    sizes.offline =
        read(offline_path, merged + offline_offset, room_at(offline_offset, total), context);
    sizes.ramboot =
        read(ramboot_path, merged + ramboot_offset, room_at(ramboot_offset, total), context);
    if (download.size > 0) std::memcpy(merged + download_offset, download.data, download.size);
    return sizes;
}

void merge_file(const char* file_name, const std::uint8_t* download, std::uint32_t bin_size) {
    const std::size_t total = merged_size(bin_size);
    const auto merged = allocate(total);
    lay_out_merged(merged.get(), {download, bin_size}, read_into_place, nullptr);
    write_bin(file_name, merged.get(), total);
    say(text::merge_done);
}
