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
#include <string>

enum class Stream { in, out, err };

// The encoding of a message's text: the tool's GBK (code page 936) texts,
// or UTF-8 (the checker's reports, and the tool's twins on a terminal that
// reads UTF-8).
enum class Encoding { gbk, utf8 };

void write_message(Stream stream, const char* bytes, std::size_t size, Encoding encoding);

// Flushes standard output; false when some message could not be written to
// it whole (a full disk, a closed pipe), with the system's error code.
bool output_written(long& error);

// The system's own words for the error code `error` (errno; GetLastError()
// on Windows), as UTF-8 text.
std::string system_reason(long error);

// `utf8` as a stream that is not a console or a UTF-8 terminal takes the
// tool's texts: GBK bytes, with '?' for what GBK cannot hold (on Windows;
// elsewhere the system's words, in the "C" locale, are ASCII already).
std::string as_gbk(const std::string& utf8);

// Whether `stream` is a terminal (on Windows a console).
bool is_terminal(Stream stream);

// Whether `stream` shows Unicode text as such: a Windows console, or a POSIX
// terminal whose locale reads UTF-8 (setlocale(LC_CTYPE, "") and
// nl_langinfo(CODESET)) or, where that locale is not installed, whose
// environment names UTF-8 (the first of LC_ALL, LC_CTYPE and LANG that is
// set ends in ".UTF-8" or ".utf8", the rule terminal multiplexers use).
bool shows_unicode(Stream stream);

#endif
