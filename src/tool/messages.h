// The tool's messages: every line it prints goes through `say` (standard
// output) or `say_error` (standard error), and every stop through `stop`.
// The formats are the fixed texts of console_texts.h; the compiler checks
// each against its values. On a terminal that reads UTF-8 a text's UTF-8
// twin is written instead of its GBK bytes; anywhere else (a file, a pipe,
// another locale) exactly the GBK bytes.
#ifndef TOLP_MESSAGES_H
#define TOLP_MESSAGES_H

#include <cstdio>  // on MinGW, which printf the formats follow

#ifdef __MINGW32__
#define TOLP_PRINTF(format_at, values_at) \
    __attribute__((format(__MINGW_PRINTF_FORMAT, format_at, values_at)))
#else
#define TOLP_PRINTF(format_at, values_at) __attribute__((format(printf, format_at, values_at)))
#endif

// printf-style, formatted on the stack: no heap for any line but one over
// 512 bytes (a very long argument echoed).
void say(const char* format, ...) TOLP_PRINTF(1, 2);
void say_error(const char* format, ...) TOLP_PRINTF(1, 2);

// The message has been printed (a failed replacement has already removed its
// temporary). Makes all output visible, waits for one character from standard input (the operator's
// Enter; at end of input it goes on at once) and ends the process with
// `status`.
[[noreturn]] void stop(int status);

#endif
