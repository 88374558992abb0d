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

// The first error a write to standard output met.
DWORD output_error = 0;

// The console behind `stream`, or null when it is redirected.
HANDLE console_of(Stream stream) {
    const DWORD which[3] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    HANDLE h = GetStdHandle(which[static_cast<int>(stream)]);
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
    const bool whole = std::fwrite(bytes, 1, size, stream_of(stream)) == size;
    if (!whole && stream == Stream::out && output_error == 0) output_error = ERROR_WRITE_FAULT;
}

bool output_written(long& error) {
    if ((std::fflush(stdout) != 0 || std::ferror(stdout) != 0) && output_error == 0) {
        output_error = ERROR_WRITE_FAULT;
    }
    error = static_cast<long>(output_error);
    return output_error == 0;
}

// The system's message for `error`, in the user's language, without its
// line break.
std::string system_reason(long error) {
    wchar_t* words = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&words), 0, nullptr);
    std::wstring wide =
        length > 0 ? std::wstring(words, length) : L"error " + std::to_wstring(error);
    if (words != nullptr) LocalFree(words);
    while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r' || wide.back() == L' ')) {
        wide.pop_back();
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), size,
                        nullptr, nullptr);
    return text;
}

bool is_terminal(Stream stream) {
    return console_of(stream) != nullptr;
}

bool reads_utf8(Stream /*stream*/) {
    return false;
}
