// printf into a string, for both programs' reports. TOLP_PRINTF(format_at,
// values_at) lets the compiler check a printf-style function's format
// against its values, as the C library in use reads it.
#ifndef TOLP_FORMATTED_H
#define TOLP_FORMATTED_H

#include <cstdarg>
#include <cstdio>  // on MinGW, which printf the formats follow
#include <string>

#ifdef __MINGW32__
#define TOLP_PRINTF(format_at, values_at) \
    __attribute__((format(__MINGW_PRINTF_FORMAT, format_at, values_at)))
#else
#define TOLP_PRINTF(format_at, values_at) __attribute__((format(printf, format_at, values_at)))
#endif

// The text `format` makes of its values, however long.
std::string formatted(const char* format, ...) TOLP_PRINTF(1, 2);
std::string formatted_list(const char* format, std::va_list values) TOLP_PRINTF(1, 0);

#endif
