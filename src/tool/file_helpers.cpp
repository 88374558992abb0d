#include "file_helpers.h"

#include <cstring>

#include "console_texts.h"
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

void write_bin(const char* path, const std::uint8_t* buf, std::size_t size) {
    switch (replace_file(path, buf, size)) {
        case ReplaceOutcome::replaced: return;
        case ReplaceOutcome::cannot_open: fail_open(path);
        case ReplaceOutcome::short_write:
        case ReplaceOutcome::not_durable: break;
    }
    say(text::short_write);
    stop(1);
}
