#include "messages.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>

#include "console.h"
#include "console_texts.h"

namespace {

// A text's UTF-8 twin where `stream` shows Unicode (a terminal that reads
// UTF-8, a Windows console); none where its GBK bytes are shown. The values
// go in as they came either way.
const text::Twin* twin_shown(Stream stream, const char* format) {
    // Asked once for the run's many messages.
    static const bool utf8[2] = {shows_unicode(Stream::out), shows_unicode(Stream::err)};
    if (!utf8[stream == Stream::out ? 0 : 1]) return nullptr;
    const text::Twin* const twin =
        std::find_if(std::begin(text::twins), std::end(text::twins),
                     [format](const text::Twin& t) { return t.gbk == format; });
    return twin != std::end(text::twins) ? twin : nullptr;
}

// The format is one of the texts or its UTF-8 twin, which has the same
// conversions (the tests compare each pair): checked at each call of say
// and say_error, not here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
void write_formatted(Stream stream, const char* gbk_format, std::va_list values) {
    const text::Twin* const twin = twin_shown(stream, gbk_format);
    const std::string line = formatted_list(twin ? twin->utf8 : gbk_format, values);
    write_message(stream, line.data(), line.size(), twin ? Encoding::utf8 : Encoding::gbk);
}
#pragma GCC diagnostic pop

// Standard output goes first, so that a file that takes both streams holds
// the lines in the order they were written; a failed flush is kept for
// end_run to report.
void flush_output() {
    long error = 0;
    output_written(error);
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
    flush_output();
    write_formatted(Stream::err, format, values);
    va_end(values);
}

void say_text(const char* text, std::size_t size) {
    write_message(Stream::out, text, size, Encoding::gbk);
}

void say_reason(const std::string& name, const std::string& reason) {
    // The system's words are UTF-8 (on Windows in the user's language), as
    // are the names. A file or a pipe gets them in the transcript's GBK, so
    // that one log of both streams reads in one encoding.
    const std::string line = name + ": " + reason + "\n";
    flush_output();
    const bool unicode = shows_unicode(Stream::err);
    const std::string shown = unicode ? line : as_gbk(line);
    write_message(Stream::err, shown.data(), shown.size(),
                  unicode ? Encoding::utf8 : Encoding::gbk);
}

namespace {

// The wait of every stop, and its end.
// A text of the tables (a stop's message), checked against its values by
// the tests rather than the compiler.
void write_text(Stream stream, const char* format, ...) {  // NOLINT(cert-dcl50-cpp)
    std::va_list values;
    va_start(values, format);
    write_formatted(stream, format, values);
    va_end(values);
}

[[noreturn]] void wait_and_end(int status) {
    // Standard output is fully buffered when it is not a terminal: flush so
    // that a script sees the message while the tool waits.
    flush_output();
    // An operator at the keyboard whose screen did not get the message
    // must not think the tool hangs.
    if (is_terminal(Stream::in) && !is_terminal(Stream::out)) say_error(text::waiting_for_enter);
    std::getchar();
    end_run(status);
}

}  // namespace

void stop(Stop which, ...) {  // NOLINT(cert-dcl50-cpp)
    const StopRow& row = row_of(which);
    std::va_list values;
    va_start(values, which);
    write_formatted(Stream::out, row.message, values);
    va_end(values);
    wait_and_end(row.status);
}

void refuse(Stop which, const std::string& hint) {
    write_text(Stream::out, row_of(which).message);
    say_error("%s", hint.c_str());
    wait_and_end(row_of(which).status);
}

void end_run(int status) {
    long error = 0;
    if (!output_written(error)) {
        say_reason(text::standard_output, system_reason(error));
        if (status == 0) status = 1;
    }
    std::exit(status);
}
