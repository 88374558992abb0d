// The tool's messages: every line it prints goes through `say` (standard
// output) or `say_error` (standard error), and every stop through `stop`.
// The formats are the fixed texts of console_texts.h; the compiler checks
// each against its values. On a terminal that reads UTF-8 a text's UTF-8
// twin is written instead of its GBK bytes; anywhere else (a file, a pipe,
// another locale) exactly the GBK bytes.
#ifndef TOLP_MESSAGES_H
#define TOLP_MESSAGES_H

#include <string>

#include "formatted.h"
#include "stops.h"

// printf-style, formatted on the stack: no heap for any line but one over
// 512 bytes (a very long argument echoed).
void say(const char* format, ...) TOLP_PRINTF(1, 2);
void say_error(const char* format, ...) TOLP_PRINTF(1, 2);
// `size` bytes of ASCII text on standard output, as they are.
void say_text(const char* text, std::size_t size);

// "NAME: REASON" on standard error.
void say_reason(const std::string& name, const std::string& reason);

// Prints the stop's message (stops.h), formatted with the values it names,
// makes all output visible, waits for one character from standard input
// (the operator's Enter; at end of input it goes on at once) and ends the
// run with the stop's status (end_run). A failed replacement has already
// removed its temporary.
[[noreturn]] void stop(Stop which, ...);

// A refusal of the call: the stop's message (one that names no values),
// then `hint`, what was wrong and what is expected, on standard error.
[[noreturn]] void refuse(Stop which, const std::string& hint);

// The one way every run ends. The transcript is part of the result: when
// standard output could not take all of it, a reason line says so and a
// run that would have ended with status 0 ends with 1.
[[noreturn]] void end_run(int status);

#endif
