#include "file_helpers.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "console.h"
#include "console_texts.h"
#include "interrupts.h"

namespace fs = std::filesystem;

namespace {

[[noreturn]] void fail_open(const char* path) {
    say(text::cannot_open, path);
    stop(-1);
}

// The stop removes the temporary, so the target stays as it was.
[[noreturn]] void fail_write() {
    say(text::short_write);
    stop(1);
}

std::size_t byte_count(std::int32_t size) {
    return size > 0 ? static_cast<std::size_t>(size) : 0;
}

bool is_regular_file(const char* path) {
    std::error_code ec;
    return fs::is_regular_file(fs::path(path), ec);
}

// Follows a chain of symbolic links to the file they finally name.
fs::path resolve_links(const char* path) {
    fs::path p(path);
    std::error_code ec;
    for (int hops = 0; hops < 40 && fs::is_symlink(fs::symlink_status(p, ec)); ++hops) {
        fs::path to = fs::read_symlink(p, ec);
        if (ec) break;
        p = to.is_absolute() ? to : p.parent_path() / to;
    }
    return p;
}

constexpr fs::perms any_write =
    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;

// An existing target must be a regular file that is not marked read-only
// and, on POSIX, opens for writing. A target that does not exist yet is
// created. On Windows another program (or another run renaming over it) may
// hold the file for a moment, so no trial open there: the replacement itself
// retries that.
bool target_writable(const fs::path& target) {
    std::error_code ec;
    fs::file_status st = fs::status(target, ec);
    if (!fs::exists(st)) return true;
    if (!fs::is_regular_file(st)) return false;
    // Checked explicitly so that a read-only file is refused even where the
    // user could override its bits (root on POSIX).
    if ((st.permissions() & any_write) == fs::perms::none) return false;
#ifndef _WIN32
    std::FILE* f = std::fopen(target.c_str(), "r+b");
    if (f == nullptr) return false;
    std::fclose(f);
#endif
    return true;
}

#ifdef _WIN32

// Shared for deletion, so that Ctrl+C can remove it while it is open.
std::FILE* open_new_file(const fs::path& name, const fs::path& /*target*/) {
    HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                           nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        errno = GetLastError() == ERROR_FILE_EXISTS ? EEXIST : EACCES;
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        return nullptr;
    }
    std::FILE* f = _fdopen(fd, "wb");
    if (f == nullptr) _close(fd);
    return f;
}

bool sync_to_disk(std::FILE* f) {
    return _commit(_fileno(f)) == 0;
}

// A virus scanner or indexer, or another run renaming over the file, may
// hold it for a moment: calls `attempt` again for about two seconds, pausing
// longer each time, while it fails for that reason.
template <typename Attempt>
bool retry_while_held(Attempt attempt) {
    DWORD pause = 10, waited = 0;
    for (;;) {
        if (attempt()) return true;
        const DWORD error = GetLastError();
        if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) || waited >= 2000) {
            return false;
        }
        Sleep(pause);
        waited += pause;
        pause = pause * 2 < 2000 - waited ? pause * 2 : 2000 - waited;
    }
}

std::FILE* open_to_read(const char* path) {
    std::FILE* f = nullptr;
    retry_while_held([&] { return (f = std::fopen(path, "rb")) != nullptr; });
    return f;
}

// Each attempt is one step under held interrupts, so Ctrl+C is never kept
// waiting for the pauses.
bool rename_into_place(const fs::path& temp, const fs::path& target) {
    return retry_while_held([&] {
        hold_interrupts();
        const bool moved = MoveFileExW(temp.c_str(), target.c_str(),
                                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
        const DWORD error = GetLastError();
        if (moved) clear_pending_temporary();
        release_interrupts();
        SetLastError(error);
        return moved;
    });
}

// MOVEFILE_WRITE_THROUGH has already made the rename durable.
bool sync_folder(const fs::path& /*target*/) {
    return true;
}

#else

// Created with the target's permission bits from the start (a new file gets
// the usual 0666 less the umask), never wider.
std::FILE* open_new_file(const fs::path& name, const fs::path& target) {
    std::error_code ec;
    const fs::file_status st = fs::status(target, ec);
    const bool replacing = fs::exists(st);
    const auto mode = replacing ? static_cast<mode_t>(st.permissions() & fs::perms::mask) : 0666;
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) return nullptr;
    // The umask may have narrowed the bits; set exactly the target's.
    if (replacing) fchmod(fd, mode);
    std::FILE* f = fdopen(fd, "wb");
    if (f == nullptr) close(fd);
    return f;
}

bool sync_to_disk(std::FILE* f) {
    return fsync(fileno(f)) == 0;
}

std::FILE* open_to_read(const char* path) {
    return std::fopen(path, "rb");
}

bool rename_into_place(const fs::path& temp, const fs::path& target) {
    hold_interrupts();
    const bool moved = std::rename(temp.c_str(), target.c_str()) == 0;
    if (moved) clear_pending_temporary();
    release_interrupts();
    return moved;
}

// Makes the rename itself durable. A file system that cannot sync a folder
// (EINVAL) offers nothing better, so that is not a failure.
bool sync_folder(const fs::path& target) {
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = fsync(fd) == 0 || errno == EINVAL;
    close(fd);
    return ok;
}

#endif

// Creates a new, uniquely named temporary beside `target`, registered so
// that an interrupt or a stop removes it; `temp` receives its name.
std::FILE* create_temporary(const fs::path& target, fs::path& temp) {
    std::mt19937_64 pick(
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    const std::string stem = "." + target.filename().string() + ".";
    for (int attempt = 0; attempt < 100; ++attempt) {
        char tag[17];
        std::snprintf(tag, sizeof tag, "%016llx", static_cast<unsigned long long>(pick()));
        temp = target.parent_path() / (stem + tag + ".tmp");
        hold_interrupts();
        std::FILE* f = open_new_file(temp, target);
        const int error = errno;
        if (f != nullptr) set_pending_temporary(temp);
        release_interrupts();
        if (f != nullptr || error != EEXIST) return f;
    }
    return nullptr;
}

// Writes, flushes, syncs and closes; false if any step fell short.
bool write_all(std::FILE* f, const void* buf, std::size_t size) {
    bool ok = size == 0 || std::fwrite(buf, 1, size, f) == size;
    ok = std::fflush(f) == 0 && ok;
    ok = sync_to_disk(f) && ok;
    ok = std::fclose(f) == 0 && ok;
    return ok;
}

}  // namespace

long file_size_or_errno(const char* path) {
    std::error_code ec;
    const fs::file_status st = fs::status(fs::path(path), ec);
    if (fs::exists(st) && !fs::is_regular_file(st)) {
        errno = fs::is_directory(st) ? EISDIR : EINVAL;
        return -1;
    }
    std::FILE* f = open_to_read(path);
    if (f == nullptr) return -1;
    long size = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
    std::fclose(f);
    return size < 0 ? LONG_MAX : size;
}

std::int32_t GetBinSize(const char* filename) {
    const long size = file_size_or_errno(filename);
    if (size < 0) return 0;
    return size > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(size);
}

void read_bin(const char* path, void* buf, std::int32_t size) {
    std::FILE* f = is_regular_file(path) ? open_to_read(path) : nullptr;
    if (f == nullptr) fail_open(path);
    const std::size_t want = byte_count(size);
    const std::size_t got = want == 0 ? 0 : std::fread(buf, 1, want, f);
    std::fclose(f);
    if (got != want) {
        say(text::cannot_read, path);
        stop(-1);
    }
}

void write_bin(const char* path, const void* buf, std::int32_t size) {
    const fs::path target = resolve_links(path);
    if (!target_writable(target)) fail_open(path);
    fs::path temp;
    std::FILE* f = create_temporary(target, temp);
    if (f == nullptr) fail_open(path);
    if (!write_all(f, buf, byte_count(size))) fail_write();
    if (!rename_into_place(temp, target)) fail_open(path);
    if (!sync_folder(target)) fail_write();
}
