// The console: where a message's bytes leave the program.
//
// Redirected to a file or a pipe, messages are written exactly as given (on
// Windows in text mode, each "\n" as CR LF): scripts rely on those bytes.
// On a Windows console they are converted to UTF-16 from the encoding they
// are in and written with WriteConsoleW, so they read right whatever the
// console's code page, which is left unchanged.
#ifndef TOLP_CONSOLE_H
#define TOLP_CONSOLE_H

#include <cstddef>

enum class Stream { out, err };

void write_message(Stream stream, const char* bytes, std::size_t size);

#endif
