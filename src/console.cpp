#include "console.h"

#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#endif

#include "interrupts.h"

namespace {

std::FILE* stream_of(Stream stream) {
    return stream == Stream::out ? stdout : stderr;
}

#ifdef _WIN32

constexpr UINT gbk_code_page = 936;

// The console behind `stream`, or null when it is redirected.
HANDLE console_of(Stream stream) {
    HANDLE h = GetStdHandle(stream == Stream::out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    DWORD mode = 0;
    return h != INVALID_HANDLE_VALUE && h != nullptr && GetConsoleMode(h, &mode) != 0 ? h : nullptr;
}

bool write_to_console(HANDLE console, const std::string& bytes) {
    const int size = static_cast<int>(bytes.size());
    const int wide_size = MultiByteToWideChar(gbk_code_page, 0, bytes.data(), size, nullptr, 0);
    if (wide_size <= 0) return false;
    std::wstring wide(static_cast<std::size_t>(wide_size), L'\0');
    MultiByteToWideChar(gbk_code_page, 0, bytes.data(), size, wide.data(), wide_size);
    DWORD written = 0;
    return WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written,
                         nullptr) != 0;
}

#endif

}  // namespace

void write_message(Stream stream, const std::string& bytes) {
    if (bytes.empty()) return;
#ifdef _WIN32
    static HANDLE const consoles[2] = {console_of(Stream::out), console_of(Stream::err)};
    HANDLE console = consoles[stream == Stream::out ? 0 : 1];
    if (console != nullptr) {
        // What went through the C library so far comes first.
        std::fflush(stream_of(stream));
        if (write_to_console(console, bytes)) return;
    }
#endif
    std::fwrite(bytes.data(), 1, bytes.size(), stream_of(stream));
}

void stop(int status) {
    remove_pending_temporary();
    // Standard output is fully buffered when it is not a terminal: flush so
    // that a script sees the message while the tool waits.
    std::fflush(stdout);
    std::getchar();
    std::exit(status);
}
