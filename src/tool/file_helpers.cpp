#include "file_helpers.h"

#include <iterator>

#include "console.h"
#include "console_texts.h"
#include "image_format.h"
#include "messages.h"

namespace {

// Why, in the system's words or ours.
std::string reason_of(const FileFailure& failure) {
    switch (failure.refusal) {
        case Refusal::folder: return text::folder;
        case Refusal::not_regular: return text::not_regular;
        case Refusal::read_only: return text::read_only;
        case Refusal::set_id: return text::set_id;
        case Refusal::capability: return text::capability;
        case Refusal::changed:
            return failure.what == Failed::confirm ? text::changed_after_stamp
                                                   : text::changed_before_stamp;
        case Refusal::none: break;
    }
    return system_reason(failure.error);
}

// What a replacement of `path` was doing when it stopped.
std::string step_of(Step step, const char* path) {
    switch (step) {
        case Step::target: break;
        case Step::folder: return formatted(text::folder_of, path);
        case Step::temporary: return formatted(text::temporary_beside, path);
        case Step::access: return formatted(text::access_of, path);
        case Step::rename: return formatted(text::renaming_over, path);
        case Step::rename_flush: return formatted(text::flushing_rename, path);
    }
    return path;
}

// The stop each failure has: a refusal or a failed open, read, write,
// flush or confirmation.
[[noreturn]] void fail(const FileFailure& failure, const char* path) {
    switch (failure.what) {
        case Failed::read: stop(Stop::cannot_read, path);
        case Failed::write:
        case Failed::confirm: stop(Stop::short_write);
        case Failed::flush: stop(Stop::cannot_flush, path);
        default: stop(Stop::cannot_open, path);
    }
}

}  // namespace

InputFile open_bin(const char* path, bool report_reason) {
    InputFile file = open_input(path);
    if (!failed(file.failure)) return file;
    // The download image's reason has its own line, the others the usual one.
    say_reason(report_reason ? text::size_error_prefix : path, reason_of(file.failure));
    stop(Stop::cannot_open, path);
}

std::size_t read_bin(InputFile& file, const char* path, std::uint8_t* buf, std::size_t room) {
    if (file.size > room) {
        close_input(file);
        stop(Stop::too_large, path, static_cast<unsigned long long>(file.size),
             static_cast<unsigned long long>(room));
    }
    const std::int64_t got = read_input(file, buf, room);
    if (got < 0) {
        say_reason(path, reason_of(file.failure));
        fail(file.failure, path);
    }
    if (static_cast<std::uint64_t>(got) != file.size) {
        say_reason(path, text::length_changed);
        stop(Stop::cannot_read, path);
    }
    return static_cast<std::size_t>(got);
}

void write_bin(const char* path, const std::uint8_t* buf, std::size_t size) {
    const FileFailure f = replace_file(path, buf, size);
    if (!failed(f)) return;
    say_reason(step_of(f.step, path), reason_of(f));
    if (!f.left_behind.empty()) {
        say_reason(f.left_behind.u8string(),
                   formatted(text::left_behind, system_reason(f.removal_error).c_str()));
    }
    fail(f, path);
}

void update_bin(const char* path, const std::uint8_t* buf, std::size_t size) {
    const FileFailure f =
        update_in_place(path, buf, size, stamped_fields, std::size(stamped_fields));
    if (!failed(f)) return;
    say_reason(path, reason_of(f));
    if (f.part_written) say_reason(path, text::part_stamped);
    fail(f, path);
}

void check_size_allowed(const char* path, std::uint64_t size) {
    const std::uint64_t largest = largest_file_allowed();
    if (largest >= size) return;
    say_reason(path, formatted(text::size_limit, static_cast<unsigned long long>(largest),
                               static_cast<unsigned long long>(size)));
    stop(Stop::short_write);
}
