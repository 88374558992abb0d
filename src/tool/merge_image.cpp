#include "merge_image.h"

#include <memory>
#include <new>

#include "console_texts.h"
#include "file_helpers.h"
#include "merged_layout.h"
#include "messages.h"

namespace {

// Obtained without exceptions, so a lack of memory is reported like every
// other stop.
std::unique_ptr<std::uint8_t[]> allocate(const char* file_name, std::size_t size) {
    std::unique_ptr<std::uint8_t[]> b(new (std::nothrow) std::uint8_t[size]);
    if (!b) {
        say_reason(file_name, formatted(text::no_memory, static_cast<unsigned long long>(size)));
        stop(Stop::no_memory);
    }
    return b;
}

// Reads the image whole into place, refusing one that would run past the
// end of the merged image.
std::size_t read_into_place(const InputImage& input, std::uint8_t* at, std::size_t room,
                            void* /*context*/) {
    InputFile file = open_bin(input.path, false);
    return read_bin(file, input.path, at, room);
}

// An offline or RAM boot image longer than its room runs on into the next
// region, as it always has; the operator is told how much of it is lost.
void warn_about_overrun(const InputImage& input, std::size_t room, SourceSizes sizes) {
    const std::size_t size = input.offset == offline_offset ? sizes.offline : sizes.ramboot;
    if (size <= room) return;
    say_error(text::warn_overrun, input.path, size, size - room, room,
              covered_bytes(input, sizes).count());
}

}  // namespace

void merge_file(const char* file_name, const std::uint8_t* download, std::uint32_t bin_size) {
    const std::size_t total = merged_size(bin_size);
    const auto merged = allocate(file_name, total);
    const SourceSizes sizes =
        lay_out_merged(merged.get(), {download, bin_size}, read_into_place, nullptr);
    warn_about_overrun(offline_image, offline_room, sizes);
    warn_about_overrun(ramboot_image, ramboot_room, sizes);
    write_bin(file_name, merged.get(), total);
    say(text::merge_done);
}
