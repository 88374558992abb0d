#include "file_helpers.h"

#include <algorithm>
#include <cstring>

#include "console_texts.h"
#include "image_format.h"
#include "messages.h"

namespace {

[[noreturn]] void fail_open(const char* path) {
    say(text::cannot_open, path);
    stop(-1);
}

}  // namespace

InputFile open_bin(const char* path, bool report_reason) {
    InputFile file = open_input(path);
    if (file.error == 0) return file;
    if (report_reason) say_error("%s: %s\n", text::size_error_prefix, std::strerror(file.error));
    fail_open(path);
}

std::size_t read_bin(InputFile& file, const char* path, std::uint8_t* buf, std::size_t room) {
    if (file.size > room) {
        close_input(file);
        say(text::too_large, path, static_cast<unsigned long long>(file.size),
            static_cast<unsigned long long>(room));
        stop(-1);
    }
    const std::int64_t got = read_input(file, buf, room);
    if (got < 0 || static_cast<std::uint64_t>(got) != file.size) {
        say(text::cannot_read, path);
        stop(-1);
    }
    return static_cast<std::size_t>(got);
}

namespace {

[[noreturn]] void fail_write() {
    say(text::short_write);
    stop(1);
}

[[noreturn]] void fail_flush(const char* path) {
    say(text::cannot_flush, path);
    stop(1);
}

}  // namespace

void write_bin(const char* path, const std::uint8_t* buf, std::size_t size) {
    switch (replace_file(path, buf, size)) {
        case ReplaceOutcome::replaced: return;
        case ReplaceOutcome::cannot_open: fail_open(path);
        case ReplaceOutcome::short_write: fail_write();
        case ReplaceOutcome::not_flushed: fail_flush(path);
    }
}

void update_bin(const char* path, const std::uint8_t* buf, std::size_t size) {
    const UpdateResult r = update_in_place(path, buf, size, std::min(size, stamp_begin),
                                           std::min(size, stamp_end), is_stamped_byte);
    switch (r.outcome) {
        case UpdateOutcome::updated: return;
        case UpdateOutcome::cannot_open:
        case UpdateOutcome::changed: fail_open(path);
        case UpdateOutcome::short_write: fail_write();
        case UpdateOutcome::not_flushed: fail_flush(path);
        case UpdateOutcome::replaced: say_reason(path, text::changed_after_stamp); fail_write();
    }
}

void check_size_allowed(std::uint64_t size) {
    if (largest_file_allowed() < size) fail_write();
}
