#include "file_helpers.h"

#include <algorithm>
#include <cstring>

#include "console.h"
#include "console_texts.h"
#include "image_format.h"
#include "messages.h"

namespace {

[[noreturn]] void fail_open(const char* path) {
    say(text::cannot_open, path);
    stop(-1);
}

[[noreturn]] void fail_write() {
    say(text::short_write);
    stop(1);
}

[[noreturn]] void fail_flush(const char* path) {
    say(text::cannot_flush, path);
    stop(1);
}

// Why, in the system's words or ours.
std::string reason_of(const FileFailure& failure) {
    switch (failure.refusal) {
        case Refusal::not_regular: return text::not_regular;
        case Refusal::read_only: return text::read_only;
        case Refusal::set_id: return text::set_id;
        case Refusal::capability: return text::capability;
        case Refusal::changed: return text::changed_before_stamp;
        case Refusal::none: break;
    }
    return system_reason(failure.error);
}

// What a replacement of `path` was doing when it stopped.
std::string step_of(ReplaceStep step, const char* path) {
    switch (step) {
        case ReplaceStep::target: break;
        case ReplaceStep::folder: return formatted(text::folder_of, path);
        case ReplaceStep::temporary: return formatted(text::temporary_beside, path);
        case ReplaceStep::access: return formatted(text::access_of, path);
        case ReplaceStep::rename: return formatted(text::renaming_over, path);
        case ReplaceStep::rename_flush: return formatted(text::flushing_rename, path);
    }
    return path;
}

}  // namespace

InputFile open_bin(const char* path, bool report_reason) {
    InputFile file = open_input(path);
    if (file.error == 0) return file;
    // The download image's reason has its own line, the others the usual one.
    if (report_reason) {
        say_reason(text::size_error_prefix, std::strerror(file.error));
    } else {
        say_reason(path, file.code != 0 ? system_reason(file.code) : text::not_regular);
    }
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
        say_reason(path, got < 0 ? system_reason(file.code) : text::length_changed);
        say(text::cannot_read, path);
        stop(-1);
    }
    return static_cast<std::size_t>(got);
}

void write_bin(const char* path, const std::uint8_t* buf, std::size_t size) {
    const ReplaceResult r = replace_file(path, buf, size);
    if (r.outcome == ReplaceOutcome::replaced) return;
    say_reason(step_of(r.step, path), reason_of(r.failure));
    switch (r.outcome) {
        case ReplaceOutcome::short_write: fail_write();
        case ReplaceOutcome::not_flushed: fail_flush(path);
        default: fail_open(path);
    }
}

void update_bin(const char* path, const std::uint8_t* buf, std::size_t size) {
    const UpdateResult r = update_in_place(path, buf, size, std::min(size, stamp_begin),
                                           std::min(size, stamp_end), is_stamped_byte);
    if (r.outcome == UpdateOutcome::updated) return;
    const bool replaced = r.outcome == UpdateOutcome::replaced;
    say_reason(path, replaced ? text::changed_after_stamp : reason_of(r.failure));
    switch (r.outcome) {
        case UpdateOutcome::not_flushed: fail_flush(path);
        case UpdateOutcome::short_write:
        case UpdateOutcome::replaced: fail_write();
        default: fail_open(path);
    }
}

void check_size_allowed(const char* path, std::uint64_t size) {
    const std::uint64_t largest = largest_file_allowed();
    if (largest >= size) return;
    say_reason(path, formatted(text::size_limit, static_cast<unsigned long long>(largest),
                               static_cast<unsigned long long>(size)));
    fail_write();
}
