#include <windows.h>

#include "arguments.h"

// The C runtime's own reading of the command line into UTF-16 arguments, the
// one its wmain entry uses (exported by msvcrt.dll).
extern "C" int __wgetmainargs(int* argc, wchar_t*** argv, wchar_t*** environment,
                              int expand_wildcards, void* startup_info);

namespace {

// The argument in UTF-8; where it cannot be converted, as the C runtime
// gave it in the system's code page.
std::string utf8_of(const wchar_t* wide, const char* fallback) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size <= 0 ||
        WideCharToMultiByte(CP_UTF8, 0, wide, -1, out.data(), size, nullptr, nullptr) != size) {
        return fallback;
    }
    out.pop_back();  // the terminating zero
    return out;
}

}  // namespace

std::vector<std::string> arguments_in_utf8(int argc, char* argv[]) {
    int count = 0;
    wchar_t** wide = nullptr;
    wchar_t** environment = nullptr;
    int new_mode = 0;
    if (__wgetmainargs(&count, &wide, &environment, 0, &new_mode) < 0) {
        return std::vector<std::string>(argv, argv + argc);
    }
    std::vector<std::string> args;
    for (int k = 0; k < count; ++k) args.push_back(utf8_of(wide[k], k < argc ? argv[k] : ""));
    return args;
}
