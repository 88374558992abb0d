// The console: every message the tool prints goes through `say` (standard
// output) or `say_error` (standard error), and every stop through `stop`.
//
// The messages are GBK bytes. Redirected to a file or a pipe they are written
// exactly so (on Windows in text mode, each "\n" as CR LF): scripts rely on
// those bytes. On a Windows console they are converted from code page 936
// and written as UTF-16, so the operator reads Chinese whatever the
// console's code page, which is left unchanged.
#ifndef TOLP_CONSOLE_H
#define TOLP_CONSOLE_H

#include <cstdio>
#include <string>

enum class Stream { out, err };

// The one place where a message leaves the tool.
void write_message(Stream stream, const std::string& bytes);

// printf into a string. The formats are the fixed texts of console_texts.h,
// never input, so a format that takes no values is safe here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-security"
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
template <typename... Values>
std::string formatted(const char* format, Values... values) {
    const int size = std::snprintf(nullptr, 0, format, values...);
    if (size <= 0) return std::string();
    std::string out(static_cast<std::size_t>(size) + 1, '\0');
    std::snprintf(out.data(), out.size(), format, values...);
    out.pop_back();
    return out;
}
#pragma GCC diagnostic pop

template <typename... Values>
void say(const char* format, Values... values) {
    write_message(Stream::out, formatted(format, values...));
}

template <typename... Values>
void say_error(const char* format, Values... values) {
    write_message(Stream::err, formatted(format, values...));
}

// The message has been printed. Removes a pending temporary, makes all output
// visible, waits for one character from standard input (the operator's
// Enter; at end of input it goes on at once) and ends the process with
// `status`.
[[noreturn]] void stop(int status);

#endif
