#include <windows.h>

#include <cstdio>
#include <string>

#include "console.h"

namespace {

UINT code_page_of(Encoding encoding) {
    return encoding == Encoding::gbk ? 936 : CP_UTF8;
}

std::FILE* stream_of(Stream stream) {
    return stream == Stream::out ? stdout : stderr;
}

// The console behind `stream`, or null when it is redirected.
HANDLE console_of(Stream stream) {
    HANDLE h = GetStdHandle(stream == Stream::out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    DWORD mode = 0;
    return h != INVALID_HANDLE_VALUE && h != nullptr && GetConsoleMode(h, &mode) != 0 ? h : nullptr;
}

bool write_to_console(HANDLE console, const char* bytes, std::size_t size, Encoding encoding) {
    const UINT code_page = code_page_of(encoding);
    const int length = static_cast<int>(size);
    const int wide_size = MultiByteToWideChar(code_page, 0, bytes, length, nullptr, 0);
    if (wide_size <= 0) return false;
    std::wstring wide(static_cast<std::size_t>(wide_size), L'\0');
    MultiByteToWideChar(code_page, 0, bytes, length, wide.data(), wide_size);
    DWORD written = 0;
    return WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written,
                         nullptr) != 0;
}

}  // namespace

void write_message(Stream stream, const char* bytes, std::size_t size, Encoding encoding) {
    if (size == 0) return;
    static HANDLE const consoles[2] = {console_of(Stream::out), console_of(Stream::err)};
    HANDLE console = consoles[stream == Stream::out ? 0 : 1];
    if (console != nullptr) {
        // What went through the C library so far comes first.
        std::fflush(stream_of(stream));
        if (write_to_console(console, bytes, size, encoding)) return;
    }
    std::fwrite(bytes, 1, size, stream_of(stream));
}

bool reads_utf8(Stream /*stream*/) {
    return false;
}
