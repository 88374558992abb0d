#include "formatted.h"

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
    std::vector<char> text(size > 0 ? static_cast<std::size_t>(size) + 1 : 1, '\0');
    if (size > 0) std::vsnprintf(text.data(), text.size(), format, again);
    va_end(again);
    return text.data();
}
