#include "input_file.h"

std::int64_t read_input(InputFile& file, std::uint8_t* buf, std::size_t room) {
    std::int64_t got = read_fully(file, buf, room);
    if (got == static_cast<std::int64_t>(room)) {
        std::uint8_t beyond = 0;
        const std::int64_t more = read_fully(file, &beyond, 1);
        got = more < 0 ? -1 : got + more;
    }
    close_input(file);
    return got;
}
