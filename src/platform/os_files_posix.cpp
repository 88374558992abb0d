#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "files.h"
#include "os_files.h"

namespace fs = std::filesystem;

namespace {

int fd_of(Handle h) {
    return static_cast<int>(h);
}

long error_unless(bool succeeded) {
    return succeeded ? 0 : errno;
}

// What a write would clear: the set-id bits, a file capability.
FileFailure writable_as_it_is(int fd, const struct stat& st) {
    if ((st.st_mode & 0222) == 0) return refusal(Refusal::read_only);
    if ((st.st_mode & (S_ISUID | S_ISGID)) != 0) return refusal(Refusal::set_id);
    if (fgetxattr(fd, "security.capability", nullptr, 0) >= 0) return refusal(Refusal::capability);
    // No such attribute, or a file system without attributes: none to lose.
    if (errno == ENODATA || errno == ENOTSUP) return {};
    return failure(Failed::open, errno);
}

FileFailure check_open_file(int fd, bool update, std::uint64_t& size) {
    struct stat st {};
    if (fstat(fd, &st) != 0) return failure(Failed::open, errno);
    if (S_ISDIR(st.st_mode)) return refusal(Refusal::folder);
    if (!S_ISREG(st.st_mode)) return refusal(Refusal::not_regular);
    size = static_cast<std::uint64_t>(st.st_size);
    return update ? writable_as_it_is(fd, st) : FileFailure{};
}

}  // namespace

FileFailure os_open(const fs::path& path, bool update, Handle& h, std::uint64_t& size) {
    // Non-blocking and no controlling terminal, so that a FIFO or a device
    // in the way is refused instead of waited on.
    const int fd =
        open(path.c_str(), (update ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return failure(Failed::open, errno);
    FileFailure f = check_open_file(fd, update, size);
    if (failed(f)) close(fd);
    h = failed(f) ? no_handle : fd;
    return f;
}

long os_read_at(Handle h, std::uint8_t* at, std::size_t n, std::uint64_t offset,
                std::size_t& done) {
    ssize_t got = 0;
    do got = pread(fd_of(h), at, n, static_cast<off_t>(offset));
    while (got < 0 && errno == EINTR);
    done = got > 0 ? static_cast<std::size_t>(got) : 0;
    return error_unless(got >= 0);
}

long os_write_at(Handle h, const std::uint8_t* bytes, std::size_t n, std::uint64_t offset,
                 std::size_t& done) {
    ssize_t wrote = 0;
    do wrote = pwrite(fd_of(h), bytes, n, static_cast<off_t>(offset));
    while (wrote < 0 && errno == EINTR);
    done = wrote > 0 ? static_cast<std::size_t>(wrote) : 0;
    // Nothing written, and no error said why: the disk took nothing.
    return wrote > 0 ? 0 : wrote == 0 ? EIO : errno;
}

long os_flush(Handle h, bool everything) {
#if defined(_POSIX_SYNCHRONIZED_IO) && _POSIX_SYNCHRONIZED_IO > 0
    if (!everything) return error_unless(fdatasync(fd_of(h)) == 0);
#endif
    return error_unless(fsync(fd_of(h)) == 0);
}

long os_close(Handle h) {
    return error_unless(close(fd_of(h)) == 0);
}

long os_lock(Handle h) {
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    return error_unless(fcntl(fd_of(h), F_SETLK, &whole) == 0);
}

bool os_lock_busy(long error) {
    return error == EAGAIN || error == EACCES;
}

// A record lock goes with the close.
void os_unlock(Handle /*h*/) {}

// Both are asked while the file is open, through one mount, so a file
// system that numbers its files afresh (FUSE) answers alike for both.
FileFailure os_still_named(const fs::path& path, Handle h) {
    struct stat opened {
    }, by_name{};
    if (fstat(fd_of(h), &opened) != 0 || stat(path.c_str(), &by_name) != 0) {
        return errno == ENOENT ? refusal(Refusal::changed) : failure(Failed::confirm, errno);
    }
    const bool same = by_name.st_dev == opened.st_dev && by_name.st_ino == opened.st_ino;
    return same ? FileFailure{} : refusal(Refusal::changed);
}

std::uint64_t largest_file_allowed() {
    struct rlimit limit {};
    if (getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return std::numeric_limits<std::uint64_t>::max();
    }
    return static_cast<std::uint64_t>(limit.rlim_cur);
}

bool os_held(long /*error*/) {
    return false;
}

void os_pause(unsigned milliseconds) {
    usleep(milliseconds * 1000);
}

// A symbolic link at the name, or nothing, is replaced; a file must be a
// regular file with a write bit that the runner may write. The folder is
// opened now, while nothing has changed; one the runner may write but not
// read stays closed.
FileFailure os_inspect_target(Target& t) {
    struct stat st {};
    if (lstat(t.path.c_str(), &st) != 0) {
        if (errno != ENOENT) return failure(Failed::open, errno);
    } else if (!S_ISLNK(st.st_mode)) {
        t.exists = true;
        t.owner = st.st_uid;
        t.group = st.st_gid;
        t.mode = st.st_mode & 07777;
        if (!S_ISREG(st.st_mode)) return refusal(Refusal::not_regular);
        if ((st.st_mode & 0222) == 0) return refusal(Refusal::read_only);
        if (access(t.path.c_str(), W_OK) != 0) return failure(Failed::open, errno);
    }
    const fs::path folder = t.path.has_parent_path() ? t.path.parent_path() : fs::path(".");
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 && errno != EACCES) return failure(Failed::open, errno, Step::folder);
    t.folder = fd;
    return {};
}

// Only the runner may open it until it is complete; a new target gets the
// usual 0666 less the umask.
long os_create_new(const fs::path& path, const Target& target, Handle& h) {
    const int fd =
        open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, target.exists ? 0600 : 0666);
    h = fd;
    return error_unless(fd >= 0);
}

bool os_name_taken(long error) {
    return error == EEXIST;
}

namespace {

bool belongs_to_group(gid_t gid) {
    if (getegid() == gid) return true;
    std::vector<gid_t> groups(static_cast<std::size_t>(sysconf(_SC_NGROUPS_MAX)) + 1);
    const int n = getgroups(static_cast<int>(groups.size()), groups.data());
    return n > 0 && std::find(groups.begin(), groups.begin() + n, gid) != groups.begin() + n;
}

// The target's owner where the runner may give it (root), and its group
// where the runner belongs to that group. What the new file already has is
// not set again: a file system that cannot change owners (FAT) then has
// nothing to refuse.
bool carry_owner(int fd, const Target& target, const struct stat& now) {
    constexpr uid_t keep_uid = static_cast<uid_t>(-1);
    constexpr gid_t keep_gid = static_cast<gid_t>(-1);
    const bool root = geteuid() == 0;
    const uid_t uid = root && target.owner != now.st_uid ? target.owner : keep_uid;
    const gid_t gid = (root || belongs_to_group(target.group)) && target.group != now.st_gid
                          ? target.group
                          : keep_gid;
    return (uid == keep_uid && gid == keep_gid) || fchown(fd, uid, gid) == 0;
}

// Every extended attribute of the target, its ACL (system.posix_acl_access)
// among them. A file system without them has none to carry: the temporary,
// on the same file system, then cannot hold any either, and if it can, the
// target's answer was a fault.
bool unsupported(int error) {
    return error == ENOTSUP || error == ENOSYS;
}

bool carry_attributes(int fd, const fs::path& target) {
    const ssize_t size = listxattr(target.c_str(), nullptr, 0);
    if (size < 0) return unsupported(errno) && flistxattr(fd, nullptr, 0) < 0 && unsupported(errno);
    // Names added between the two calls (ERANGE) are a change under way:
    // refused like any other failure.
    std::vector<char> names(static_cast<std::size_t>(size));
    const ssize_t got = size == 0 ? 0 : listxattr(target.c_str(), names.data(), names.size());
    if (got < 0) return false;
    names.resize(static_cast<std::size_t>(got));
    std::vector<char> value, present;
    for (std::size_t at = 0; at < names.size(); at += std::string(&names[at]).size() + 1) {
        const char* name = &names[at];
        const ssize_t value_size = getxattr(target.c_str(), name, nullptr, 0);
        if (value_size < 0) return false;
        // At least a byte each: a read into no room only asks the size.
        value.resize(std::max<std::size_t>(static_cast<std::size_t>(value_size), 1));
        const ssize_t length = getxattr(target.c_str(), name, value.data(), value.size());
        if (length < 0) return false;
        value.resize(static_cast<std::size_t>(length));
        // A label the new file already has (a security module's) stays.
        present.resize(std::max<std::size_t>(value.size(), 1));
        const ssize_t has = fgetxattr(fd, name, present.data(), present.size());
        if (has == length && std::equal(value.begin(), value.end(), present.begin())) continue;
        if (fsetxattr(fd, name, value.data(), value.size(), 0) != 0) return false;
    }
    return true;
}

}  // namespace

// Its owner and group, then its permission bits (after the owner, which
// clears set-id bits), then its ACL and attributes.
long os_carry_access(Handle h, const Target& target) {
    struct stat now {};
    const int fd = fd_of(h);
    return error_unless(fstat(fd, &now) == 0 && carry_owner(fd, target, now) &&
                        ((now.st_mode & 07777) == target.mode || fchmod(fd, target.mode) == 0) &&
                        carry_attributes(fd, target.path));
}

long os_rename(const fs::path& from, const fs::path& to) {
    return error_unless(std::rename(from.c_str(), to.c_str()) == 0);
}

// Through the folder. Where it could not be opened or cannot be flushed
// (but for an I/O error: the disk failed), through the whole file system
// the image is on.
long os_flush_rename(const Target& t) {
    if (t.folder >= 0) {
        if (fsync(fd_of(t.folder)) == 0) return 0;
        if (errno == EIO) return EIO;
    }
#ifdef __linux__
    const int fd = open(t.path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0) {
        const long error = error_unless(syncfs(fd) == 0);
        close(fd);
        return error;
    }
#endif
    sync();
    return 0;
}

void os_close_folder(Target& t) {
    if (t.folder >= 0) close(fd_of(t.folder));
    t.folder = no_handle;
}
