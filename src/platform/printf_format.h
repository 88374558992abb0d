// TOLP_PRINTF(format_at, values_at): lets the compiler check a printf-style
// function's format against its values, as the C library in use reads it.
#ifndef TOLP_PRINTF_FORMAT_H
#define TOLP_PRINTF_FORMAT_H

#include <cstdio>  // on MinGW, which printf the formats follow

#ifdef __MINGW32__
#define TOLP_PRINTF(format_at, values_at) \
    __attribute__((format(__MINGW_PRINTF_FORMAT, format_at, values_at)))
#else
#define TOLP_PRINTF(format_at, values_at) __attribute__((format(printf, format_at, values_at)))
#endif

#endif
