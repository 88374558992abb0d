#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <langinfo.h>
#include <unistd.h>

#include "console.h"

namespace {

std::FILE* stream_of(Stream stream) {
    return stream == Stream::out ? stdout : stderr;
}

bool ends_with(const char* text, const char* end) {
    const std::size_t n = std::strlen(text), m = std::strlen(end);
    return n >= m && std::strcmp(text + n - m, end) == 0;
}

// The character set the environment names, where no locale says it.
bool environment_names_utf8() {
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return ends_with(value, ".UTF-8") || ends_with(value, ".utf8");
        }
    }
    return false;
}

// The first error a write to standard output met.
int output_error = 0;

// The user's locale is read once, and only for a terminal: a redirected
// run loads no locale. The program itself stays in the "C" locale.
bool locale_reads_utf8() {
    static const bool utf8 = [] {
        const bool found = std::setlocale(LC_CTYPE, "") != nullptr;
        const bool is_utf8 =
            found ? std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0 : environment_names_utf8();
        std::setlocale(LC_CTYPE, "C");
        return is_utf8;
    }();
    return utf8;
}

}  // namespace

void write_message(Stream stream, const char* bytes, std::size_t size, Encoding /*encoding*/) {
    const bool whole = std::fwrite(bytes, 1, size, stream_of(stream)) == size;
    if (!whole && stream == Stream::out && output_error == 0) output_error = errno;
}

bool output_written(long& error) {
    if (std::fflush(stdout) != 0 && output_error == 0) output_error = errno;
    if (std::ferror(stdout) != 0 && output_error == 0) output_error = EIO;
    error = output_error;
    return output_error == 0;
}

std::string system_reason(long error) {
    return std::strerror(static_cast<int>(error));
}

std::string as_gbk(const std::string& utf8) {
    return utf8;
}

bool is_terminal(Stream stream) {
    static const bool terminal[3] = {isatty(STDIN_FILENO) == 1, isatty(STDOUT_FILENO) == 1,
                                     isatty(STDERR_FILENO) == 1};
    return terminal[static_cast<int>(stream)];
}

bool shows_unicode(Stream stream) {
    return is_terminal(stream) && locale_reads_utf8();
}
