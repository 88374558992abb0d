#include "files.h"

#include <algorithm>

#include "os_files.h"

namespace fs = std::filesystem;

FileFailure open_file(const fs::path& path, bool update, Handle& h, std::uint64_t& size) {
    FileFailure f;
    retry_while_held([&] {
        f = os_open(path, update, h, size);
        return f.error;
    });
    return f;
}

long read_fully(Handle h, std::uint8_t* at, std::size_t size, std::uint64_t offset,
                std::size_t& got) {
    got = 0;
    while (got < size) {
        std::size_t n = 0;
        const long error =
            retry_while_held([&] { return os_read_at(h, at + got, size - got, offset + got, n); });
        if (error != 0) return error;
        if (n == 0) break;
        got += std::min(n, size - got);
    }
    return 0;
}

InputFile open_input(const fs::path& path) {
    InputFile file;
    file.failure = open_file(path, false, file.handle, file.size);
    return file;
}

void close_input(InputFile& file) {
    // A close after reading cannot lose anything that was read.
    if (file.handle != no_handle) os_close(file.handle);
    file.handle = no_handle;
}

std::int64_t read_input(InputFile& file, std::uint8_t* buf, std::size_t room) {
    std::size_t got = 0, more = 0;
    std::uint8_t beyond = 0;
    long error = read_fully(file.handle, buf, room, 0, got);
    // Only a read that filled the room (so met no error) looks one byte past it.
    if (got == room) error = read_fully(file.handle, &beyond, 1, room, more);
    close_input(file);
    if (error != 0) file.failure = failure(Failed::read, error);
    return error != 0 ? -1 : static_cast<std::int64_t>(got + more);
}
