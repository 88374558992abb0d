#include <cerrno>
#include <limits>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "piece_holds.h"
#include "update_in_place.h"

namespace fs = std::filesystem;

namespace {

UpdateResult failed(UpdateOutcome outcome, long error = errno) {
    return {outcome, {error, Refusal::none}};
}

// A file the update may write: a regular file with a write bit, and none of
// what a write would clear (the set-id bits, a file capability). `st` is
// what the open file is.
FileFailure writable_as_it_is(int fd, struct stat& st) {
    if (fstat(fd, &st) != 0) return {errno, Refusal::none};
    if (!S_ISREG(st.st_mode)) return {0, Refusal::not_regular};
    if ((st.st_mode & 0222) == 0) return {0, Refusal::read_only};
    if ((st.st_mode & (S_ISUID | S_ISGID)) != 0) return {0, Refusal::set_id};
    if (fgetxattr(fd, "security.capability", nullptr, 0) >= 0) return {0, Refusal::capability};
    // No such attribute, or a file system without attributes: none to lose.
    if (errno == ENODATA || errno == ENOTSUP) return {};
    return {errno, Refusal::none};
}

// Whether the open file holds `contents` but where `may_differ` holds:
// every byte, and nothing after them. Read a piece at a time, with no
// memory to ask for. A read error leaves `error` set.
bool holds(int fd, const std::uint8_t* contents, std::size_t size, bool (*may_differ)(std::size_t),
           long& error) {
    std::uint8_t piece[16384];
    error = 0;
    for (std::size_t at = 0;;) {
        const ssize_t n = pread(fd, piece, sizeof piece, static_cast<off_t>(at));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) error = errno;
        if (n <= 0) return n == 0 && at == size;
        const auto got = static_cast<std::size_t>(n);
        if (got > size - at || !piece_holds(piece, got, at, contents, may_differ)) return false;
        at += got;
    }
}

bool write_at(int fd, const std::uint8_t* bytes, std::size_t from, std::size_t to) {
    while (from < to) {
        const ssize_t n = pwrite(fd, bytes + from, to - from, static_cast<off_t>(from));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        from += static_cast<std::size_t>(n);
    }
    return true;
}

// A flush that fails is never tried again: a second one may report success
// for data that never reached the disk.
int flush(int fd) {
#if defined(_POSIX_SYNCHRONIZED_IO) && _POSIX_SYNCHRONIZED_IO > 0
    return fdatasync(fd);
#else
    return fsync(fd);
#endif
}

// Whether `path` still names the open file `open_file`. Both are asked
// while the file is open, through one mount, so a file system that numbers
// its files afresh (FUSE) answers alike for both.
bool still_named(const fs::path& path, const struct stat& open_file) {
    struct stat by_name {};
    return stat(path.c_str(), &by_name) == 0 && by_name.st_dev == open_file.st_dev &&
           by_name.st_ino == open_file.st_ino;
}

UpdateResult update_open_file(int fd, const fs::path& path, const std::uint8_t* contents,
                              std::size_t size, std::size_t from, std::size_t to,
                              bool (*may_differ)(std::size_t)) {
    long error = 0;
    struct stat open_file {};
    const FileFailure unwritable = writable_as_it_is(fd, open_file);
    if (unwritable.error != 0 || unwritable.refusal != Refusal::none) {
        return {UpdateOutcome::cannot_open, unwritable};
    }
    if (!holds(fd, contents, size, may_differ, error)) {
        if (error != 0) return failed(UpdateOutcome::cannot_open, error);
        return {UpdateOutcome::changed, {0, Refusal::changed}};
    }
    if (!write_at(fd, contents, from, to)) return failed(UpdateOutcome::short_write);
    if (flush(fd) != 0) return failed(UpdateOutcome::not_flushed);
    if (!holds(fd, contents, size, may_differ, error) || !still_named(path, open_file)) {
        return {UpdateOutcome::replaced, {error, Refusal::changed}};
    }
    return {};
}

}  // namespace

UpdateResult update_in_place(const fs::path& path, const std::uint8_t* contents, std::size_t size,
                             std::size_t from, std::size_t to,
                             bool (*may_differ)(std::size_t offset)) {
    // Non-blocking and no controlling terminal: a FIFO or a device put in
    // its place is refused, not waited on.
    const int fd = open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return failed(UpdateOutcome::cannot_open);
    UpdateResult result = update_open_file(fd, path, contents, size, from, to, may_differ);
    // A network file system may report a failed write only here.
    if (close(fd) != 0 && result.outcome == UpdateOutcome::updated) {
        result = failed(UpdateOutcome::not_flushed);
    }
    return result;
}

std::uint64_t largest_file_allowed() {
    struct rlimit limit {};
    if (getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return std::numeric_limits<std::uint64_t>::max();
    }
    return static_cast<std::uint64_t>(limit.rlim_cur);
}
