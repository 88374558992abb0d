#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "interrupts.h"
#include "replace_file.h"

namespace fs = std::filesystem;

namespace {

bool write_fully(int fd, const std::uint8_t* bytes, std::size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

fs::path folder_of(const fs::path& target) {
    return target.has_parent_path() ? target.parent_path() : fs::path(".");
}

// What is at the target's name now. Nothing: the file is created. A
// symbolic link: it is replaced by the file itself, and what it points to
// is never touched. A file: it must be a regular file with a write bit (a
// read-only file is refused even where root could override its bits) that
// the runner may write, and the new file takes over who may access it.
struct Target {
    fs::path path;
    bool exists = false;  // a file whose access the new one takes over
    struct stat st {};
};

bool inspect_target(Target& t, FileFailure& failure) {
    if (lstat(t.path.c_str(), &t.st) != 0) {
        failure.error = errno;
        return errno == ENOENT;
    }
    if (S_ISLNK(t.st.st_mode)) return true;
    t.exists = true;
    if (!S_ISREG(t.st.st_mode)) {
        failure.refusal = Refusal::not_regular;
    } else if ((t.st.st_mode & 0222) == 0) {
        failure.refusal = Refusal::read_only;
    } else if (access(t.path.c_str(), W_OK) != 0) {
        failure.error = errno;
    } else {
        return true;
    }
    return false;
}

// The folder is opened before anything is written, so that a folder that
// cannot be opened stops the replacement while nothing has changed. One the
// runner may write but not read (EACCES) gives -2: its rename is then made
// durable through its file system.
constexpr int unreadable_folder = -2;

int open_folder(const fs::path& target) {
    const int fd = open(folder_of(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 && errno == EACCES) return unreadable_folder;
    return fd;
}

struct Temporary {
    fs::path path;
    int fd = -1;
};

// A new, uniquely named temporary beside the target, registered so that an
// interrupt removes it. Only the runner may open it until it is complete; a
// new target gets the usual 0666 less the umask.
bool create_temporary(const Target& target, Temporary& temp) {
    std::mt19937_64 pick(
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    const std::string stem = "." + target.path.filename().string() + ".";
    const mode_t mode = target.exists ? 0600 : 0666;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char tag[17];
        std::snprintf(tag, sizeof tag, "%016llx", static_cast<unsigned long long>(pick()));
        temp.path = target.path.parent_path() / (stem + tag + ".tmp");
        hold_interrupts();
        temp.fd = open(temp.path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        const int error = errno;
        if (temp.fd >= 0) set_pending_temporary(temp.path);
        release_interrupts();
        if (temp.fd >= 0) return true;
        if (error != EEXIST) return false;
    }
    return false;
}

void discard(Temporary& temp) {
    close(temp.fd);
    remove_pending_temporary();
}

bool belongs_to_group(gid_t gid) {
    if (getegid() == gid) return true;
    std::vector<gid_t> groups(static_cast<std::size_t>(sysconf(_SC_NGROUPS_MAX)) + 1);
    const int n = getgroups(static_cast<int>(groups.size()), groups.data());
    for (int k = 0; k < n; ++k) {
        if (groups[static_cast<std::size_t>(k)] == gid) return true;
    }
    return false;
}

// The target's owner where the runner may give it (root), and its group
// where the runner belongs to that group. What the new file already has is
// not set again: a file system that cannot change owners (FAT) then has
// nothing to refuse.
bool carry_owner(int fd, const struct stat& target, const struct stat& now) {
    constexpr uid_t keep_uid = static_cast<uid_t>(-1);
    constexpr gid_t keep_gid = static_cast<gid_t>(-1);
    const bool root = geteuid() == 0;
    const uid_t uid = root && target.st_uid != now.st_uid ? target.st_uid : keep_uid;
    const gid_t gid = (root || belongs_to_group(target.st_gid)) && target.st_gid != now.st_gid
                          ? target.st_gid
                          : keep_gid;
    if (uid == keep_uid && gid == keep_gid) return true;
    return fchown(fd, uid, gid) == 0;
}

// The target's permission bits, after the owner (which clears set-id bits,
// of which the new file has none); not set again where the new file has
// them already.
bool carry_mode(int fd, const struct stat& target, const struct stat& now) {
    const mode_t mode = target.st_mode & 07777;
    return (now.st_mode & 07777) == mode || fchmod(fd, mode) == 0;
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
        value.resize(static_cast<std::size_t>(value_size) + 1);
        const ssize_t length = getxattr(target.c_str(), name, value.data(), value.size());
        if (length < 0) return false;
        value.resize(static_cast<std::size_t>(length));
        // A label the new file already has (a security module's) stays.
        present.resize(value.size() + 1);
        const ssize_t has = fgetxattr(fd, name, present.data(), present.size());
        if (has == length && std::equal(value.begin(), value.end(), present.begin())) continue;
        if (fsetxattr(fd, name, value.data(), value.size(), 0) != 0) return false;
    }
    return true;
}

// Who may access the target: the temporary takes its owner and group, its
// permission bits and then its ACL and attributes.
bool carry_access(int fd, const Target& target) {
    struct stat now {};
    return fstat(fd, &now) == 0 && carry_owner(fd, target.st, now) &&
           carry_mode(fd, target.st, now) && carry_attributes(fd, target.path);
}

bool rename_into_place(const Temporary& temp, const fs::path& target) {
    hold_interrupts();
    const bool moved = std::rename(temp.path.c_str(), target.c_str()) == 0;
    if (moved) clear_pending_temporary();
    release_interrupts();
    return moved;
}

// Flushes the rename through the folder. Where that cannot be done (an
// unreadable folder, or a file system that does not flush folders) but for
// an I/O error, which means the disk itself failed, the whole file system
// the new file is on is flushed instead (syncfs; elsewhere sync, which
// cannot fail).
bool make_rename_durable(int folder, int file) {
    if (folder >= 0) {
        if (fsync(folder) == 0) return true;
        if (errno == EIO) return false;
    }
#ifdef __linux__
    return syncfs(file) == 0;
#else
    (void)file;
    sync();
    return true;
#endif
}

ReplaceResult stopped(ReplaceOutcome outcome, ReplaceStep step, long error = errno) {
    return {outcome, step, {error, Refusal::none}};
}

// Fills the temporary, gives it the target's access, flushes both in one
// flush and renames it into place. Unless it was renamed, the temporary is
// still there for the caller to discard.
ReplaceResult fill_and_rename(const Temporary& temp, const Target& target,
                              const std::uint8_t* bytes, std::size_t size) {
    if (!write_fully(temp.fd, bytes, size)) {
        return stopped(ReplaceOutcome::short_write, ReplaceStep::temporary);
    }
    if (target.exists && !carry_access(temp.fd, target)) {
        return stopped(ReplaceOutcome::cannot_open, ReplaceStep::access);
    }
    if (fsync(temp.fd) != 0) return stopped(ReplaceOutcome::not_flushed, ReplaceStep::temporary);
    if (!rename_into_place(temp, target.path)) {
        return stopped(ReplaceOutcome::cannot_open, ReplaceStep::rename);
    }
    return {};
}

}  // namespace

ReplaceResult replace_file(const fs::path& path, const std::uint8_t* bytes, std::size_t size) {
    Target target;
    target.path = path;
    ReplaceResult result{ReplaceOutcome::cannot_open, ReplaceStep::target, {}};
    if (!inspect_target(target, result.failure)) return result;
    const int folder = open_folder(target.path);
    if (folder == -1) return stopped(ReplaceOutcome::cannot_open, ReplaceStep::folder);
    Temporary temp;
    if (!create_temporary(target, temp)) {
        result = stopped(ReplaceOutcome::cannot_open, ReplaceStep::temporary);
    } else {
        result = fill_and_rename(temp, target, bytes, size);
        if (result.outcome != ReplaceOutcome::replaced) {
            discard(temp);
        } else {
            // Replaced: from here on nothing can undo it.
            if (!make_rename_durable(folder, temp.fd)) {
                result = stopped(ReplaceOutcome::not_flushed, ReplaceStep::rename_flush);
            }
            close(temp.fd);
        }
    }
    if (folder >= 0) close(folder);
    return result;
}
