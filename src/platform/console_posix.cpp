#include <cstdio>

#include "console.h"

void write_message(Stream stream, const char* bytes, std::size_t size) {
    std::fwrite(bytes, 1, size, stream == Stream::out ? stdout : stderr);
}
