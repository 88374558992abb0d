#include "formatted.h"

#include <algorithm>
#include <vector>

std::string formatted(const char* format, ...) {  // NOLINT(cert-dcl50-cpp)
    std::va_list values;
    va_start(values, format);
    std::string text = formatted_list(format, values);
    va_end(values);
    return text;
}

std::string formatted_list(const char* format, std::va_list values) {
    std::va_list again;
    va_copy(again, values);
    // `values` was started by the caller, which the analyzer does not follow.
    // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized)
    const int size = std::vsnprintf(nullptr, 0, format, values);
    // A format the C library refuses (-1) gives the empty text.
    std::vector<char> text(static_cast<std::size_t>(std::max(size, 0)) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, again);
    va_end(again);
    return text.data();
}
