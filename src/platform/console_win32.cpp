#include <windows.h>

#include <cstdio>
#include <string>

#include "console.h"

namespace {

// The first error a write to standard output met.
DWORD output_error = 0;

// The code of a C library write that failed: its Windows error, where one
// is known.
DWORD write_error() {
    const DWORD error = GetLastError();
    return error != NO_ERROR ? error : ERROR_WRITE_FAULT;
}

// The console behind `stream`, or null when it is redirected.
HANDLE console_of(Stream stream) {
    const DWORD which[3] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    HANDLE h = GetStdHandle(which[static_cast<int>(stream)]);
    DWORD mode = 0;
    return h != INVALID_HANDLE_VALUE && h != nullptr && GetConsoleMode(h, &mode) != 0 ? h : nullptr;
}

// `size` bytes in `code_page` as UTF-16; empty when they cannot be read.
std::wstring wide_of(const char* bytes, std::size_t size, UINT code_page) {
    const int length = static_cast<int>(size);
    const int wide_size = MultiByteToWideChar(code_page, 0, bytes, length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(wide_size > 0 ? wide_size : 0), L'\0');
    if (wide_size <= 0 ||
        MultiByteToWideChar(code_page, 0, bytes, length, wide.data(), wide_size) != wide_size) {
        return std::wstring();
    }
    return wide;
}

// UTF-16 text in `code_page`, what it cannot hold as '?'; `fallback` when
// it cannot be converted.
std::string narrow_of(const std::wstring& wide, UINT code_page, const std::string& fallback) {
    const int length = static_cast<int>(wide.size());
    const char* unknown = code_page == CP_UTF8 ? nullptr : "?";
    const int size =
        WideCharToMultiByte(code_page, 0, wide.data(), length, nullptr, 0, unknown, nullptr);
    std::string text(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size <= 0 || WideCharToMultiByte(code_page, 0, wide.data(), length, text.data(), size,
                                         unknown, nullptr) != size) {
        return fallback;
    }
    return text;
}

// The whole text, or false.
bool write_to_console(HANDLE console, const char* bytes, std::size_t size, Encoding encoding) {
    const std::wstring wide = wide_of(bytes, size, encoding == Encoding::gbk ? 936 : CP_UTF8);
    for (std::size_t at = 0; at < wide.size();) {
        DWORD written = 0;
        if (!WriteConsoleW(console, wide.data() + at, static_cast<DWORD>(wide.size() - at),
                           &written, nullptr)) {
            return false;
        }
        // A console that takes nothing would never take the rest.
        if (written == 0) return false;
        at += written;
    }
    return !wide.empty();
}

}  // namespace

void write_message(Stream stream, const char* bytes, std::size_t size, Encoding encoding) {
    if (size == 0) return;
    static HANDLE const consoles[2] = {console_of(Stream::out), console_of(Stream::err)};
    HANDLE console = consoles[stream == Stream::out ? 0 : 1];
    std::FILE* file = stream == Stream::out ? stdout : stderr;
    if (console != nullptr) {
        // What went through the C library so far comes first.
        std::fflush(file);
        if (write_to_console(console, bytes, size, encoding)) return;
    }
    SetLastError(NO_ERROR);
    const bool whole = std::fwrite(bytes, 1, size, file) == size;
    if (!whole && file == stdout && output_error == 0) output_error = write_error();
    // On a file the C runtime buffers standard error too: each line at once.
    if (file == stderr) std::fflush(file);
}

bool output_written(long& error) {
    SetLastError(NO_ERROR);
    if ((std::fflush(stdout) != 0 || std::ferror(stdout) != 0) && output_error == 0) {
        output_error = write_error();
    }
    error = static_cast<long>(output_error);
    return output_error == 0;
}

// The system's message for `error`, in the user's language, without its
// line break; its number where there is none.
std::string system_reason(long error) {
    wchar_t* words = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&words), 0, nullptr);
    // Without a message FormatMessageW leaves `words` null, which LocalFree ignores.
    std::wstring wide = words != nullptr ? std::wstring(words, length) : L"";
    LocalFree(words);
    while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r' || wide.back() == L' ')) {
        wide.pop_back();
    }
    const std::string number = "error " + std::to_string(error);
    return wide.empty() ? number : narrow_of(wide, CP_UTF8, number);
}

std::string as_gbk(const std::string& utf8) {
    std::string ascii = utf8;
    for (char& c : ascii) c = static_cast<unsigned char>(c) < 0x80 ? c : '?';
    return narrow_of(wide_of(utf8.data(), utf8.size(), CP_UTF8), 936, ascii);
}

bool is_terminal(Stream stream) {
    return console_of(stream) != nullptr;
}

bool shows_unicode(Stream stream) {
    return is_terminal(stream);
}
