#include "e2e_support.h"

#include <cstdarg>
#include <cstdio>

#include "tool_runner.h"

Bytes fmt(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int size = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    Bytes out(static_cast<std::size_t>(size) + 1, '\0');
    std::vsnprintf(out.data(), out.size(), format, again);
    va_end(again);
    out.pop_back();
    return out;
}

Bytes echo_transcript(const std::vector<std::string>& args) {
    return fmt(text::arg_count, static_cast<int>(args.size())) +
           fmt(text::echo_program, program_name_seen().c_str()) +
           fmt(text::echo_first, args.at(0).c_str()) +
           fmt(text::echo_second, args.at(1).c_str());
}
