#include "messages.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "console.h"
#include "interrupts.h"

namespace {

void write_formatted(Stream stream, const char* format, std::va_list values) {
    char line[512];
    std::va_list again;
    va_copy(again, values);
    // `values` was started by say or say_error, which the analyzer does not
    // follow into this function.
    // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized)
    const int size = std::vsnprintf(line, sizeof line, format, values);
    if (size >= 0 && static_cast<std::size_t>(size) < sizeof line) {
        write_message(stream, line, static_cast<std::size_t>(size));
    } else if (size > 0) {
        std::vector<char> longer(static_cast<std::size_t>(size) + 1);
        std::vsnprintf(longer.data(), longer.size(), format, again);
        write_message(stream, longer.data(), static_cast<std::size_t>(size));
    }
    va_end(again);
}

}  // namespace

// C variadics, so that the compiler checks each format (NOLINT: cert-dcl50-cpp).
void say(const char* format, ...) {  // NOLINT(cert-dcl50-cpp)
    std::va_list values;
    va_start(values, format);
    write_formatted(Stream::out, format, values);
    va_end(values);
}

void say_error(const char* format, ...) {  // NOLINT(cert-dcl50-cpp)
    std::va_list values;
    va_start(values, format);
    write_formatted(Stream::err, format, values);
    va_end(values);
}

void stop(int status) {
    remove_pending_temporary();
    // Standard output is fully buffered when it is not a terminal: flush so
    // that a script sees the message while the tool waits.
    std::fflush(stdout);
    std::getchar();
    std::exit(status);
}
