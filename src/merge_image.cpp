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
        std::printf(text::merge_no_memory);
        stop(-3);
    }
    return b;
}

// Measures the image at `path` and reads it whole to `offset`, refusing one
// that would run past the end of the merged image (`total` bytes).
void read_into(std::uint8_t* merged, std::size_t total, const char* path, std::size_t offset) {
    const std::int32_t size = GetBinSize(path);
    const std::size_t room = room_at(offset, total);
    if (static_cast<std::size_t>(size) > room) {
        std::printf(text::too_large, path, static_cast<long>(size), static_cast<long>(room));
        stop(-1);
    }
    read_bin(path, merged + offset, size);
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

// The same order as lay_out_merged, with the offline and RAM boot images read
// straight into place: one buffer, no copies.
void merge_file(const char* file_name, const std::uint8_t* download, std::uint32_t bin_size) {
    const std::size_t total = merged_size(bin_size);
    const auto merged = allocate(total);
    std::memset(merged.get(), erased_byte, total);
    read_into(merged.get(), total, offline_path, offline_offset);
    read_into(merged.get(), total, ramboot_path, ramboot_offset);
    place(merged.get(), download_offset, {download, bin_size});
    write_bin(file_name, merged.get(), static_cast<std::int32_t>(total));
    std::printf(text::merge_done);
}
