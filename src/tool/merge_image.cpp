#include "merge_image.h"

#include <cstring>
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

// An offline or RAM boot image longer than its room runs on into the next
// region, as it always has; the operator is told how much of it is lost.
void warn_about_overrun(const InputImage& input, const Inputs& inputs) {
    const std::size_t size = image_of(inputs, input).size, room = room_of(input);
    if (size <= room) return;
    say_error(text::warn_overrun, input.path, size, size - room, room,
              covered_bytes(input, inputs).count());
}

}  // namespace

void merge_file(const char* file_name, const std::uint8_t* download, std::uint32_t bin_size) {
    const std::size_t total = merged_size(bin_size);
    const auto merged = allocate(file_name, total);
    Inputs inputs{{nullptr, 0}, {nullptr, 0}, {download, bin_size}};
    // Each read whole into place, refused where it would run past the end;
    // the RAM boot image over any run-on of the offline image.
    for (const InputImage& input : {offline_image, ramboot_image}) {
        InputFile file = open_bin(input.path, false);
        image_of(inputs, input).size =
            read_bin(file, input.path, merged.get() + input.offset, room_for(input, bin_size));
    }
    std::memcpy(merged.get() + download_offset, download, bin_size);
    fill_gaps(merged.get(), inputs);
    warn_about_overrun(offline_image, inputs);
    warn_about_overrun(ramboot_image, inputs);
    write_bin(file_name, merged.get(), total);
    say(text::merge_done);
}
