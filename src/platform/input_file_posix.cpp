#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "input_file.h"

namespace fs = std::filesystem;

namespace {

int fd_of(const InputFile& file) {
    return static_cast<int>(file.handle);
}

}  // namespace

InputFile open_input(const fs::path& path) {
    InputFile file;
    // Non-blocking and no controlling terminal, so that a FIFO or a device
    // in the way is refused instead of waited on.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0) {
        file.error = errno;
        file.code = errno;
    } else if (!S_ISREG(st.st_mode)) {
        file.error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        file.code = S_ISDIR(st.st_mode) ? EISDIR : 0;
    } else {
        file.handle = fd;
        file.size = static_cast<std::uint64_t>(st.st_size);
        return file;
    }
    if (fd >= 0) close(fd);
    return file;
}

void close_input(InputFile& file) {
    // A close after reading cannot lose anything that was read.
    if (file.handle >= 0) close(fd_of(file));
    file.handle = -1;
}

std::int64_t read_fully(InputFile& file, std::uint8_t* at, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = read(fd_of(file), at + got, size - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            file.code = errno;
            return -1;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(got);
}
