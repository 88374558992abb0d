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
#else
#include <unistd.h>
#endif

#include "console.h"
#include "console_texts.h"

namespace fs = std::filesystem;

namespace {

[[noreturn]] void fail_open(const char* path) {
    std::printf(text::cannot_open, path);
    stop_process(-1);
}

[[noreturn]] void fail_write(const std::string& temp) {
    std::error_code ec;
    fs::remove(temp, ec);
    std::printf(text::short_write);
    stop_process(1);
}

std::size_t byte_count(std::int32_t size) {
    return size > 0 ? static_cast<std::size_t>(size) : 0;
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

// An existing target must be a regular file that is not marked read-only and
// opens for writing. A target that does not exist yet is created.
bool target_writable(const fs::path& target) {
    std::error_code ec;
    fs::file_status st = fs::status(target, ec);
    if (!fs::exists(st)) return true;
    if (!fs::is_regular_file(st)) return false;
    // Checked explicitly so that a read-only file is refused even where the
    // user could override its bits (root on POSIX).
    if ((st.permissions() & any_write) == fs::perms::none) return false;
    std::FILE* f = std::fopen(target.string().c_str(), "r+b");
    if (f == nullptr) return false;
    std::fclose(f);
    return true;
}

int open_exclusive(const std::string& name) {
#ifdef _WIN32
    return _open(name.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
    return open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
#endif
}

std::FILE* stream_for(int fd) {
#ifdef _WIN32
    std::FILE* f = _fdopen(fd, "wb");
    if (f == nullptr) _close(fd);
#else
    std::FILE* f = fdopen(fd, "wb");
    if (f == nullptr) close(fd);
#endif
    return f;
}

bool sync_to_disk(std::FILE* f) {
#ifdef _WIN32
    return _commit(_fileno(f)) == 0;
#else
    return fsync(fileno(f)) == 0;
#endif
}

// Creates a new, uniquely named file beside `target` and opens it for
// writing; `temp` receives its name.
std::FILE* create_temporary(const fs::path& target, std::string& temp) {
    std::mt19937_64 pick(
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    const std::string stem = "." + target.filename().string() + ".";
    for (int attempt = 0; attempt < 100; ++attempt) {
        char tag[17];
        std::snprintf(tag, sizeof tag, "%016llx", static_cast<unsigned long long>(pick()));
        temp = (target.parent_path() / (stem + tag + ".tmp")).string();
        int fd = open_exclusive(temp);
        if (fd >= 0) {
            std::FILE* f = stream_for(fd);
            if (f == nullptr) fs::remove(temp);
            return f;
        }
        if (errno != EEXIST) break;
    }
    temp.clear();
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

bool is_regular_file(const char* path) {
    std::error_code ec;
    return fs::is_regular_file(fs::path(path), ec);
}

long measure_file(const char* path) {
    std::error_code ec;
    const fs::file_status st = fs::status(fs::path(path), ec);
    if (fs::exists(st) && !fs::is_regular_file(st)) {
        errno = fs::is_directory(st) ? EISDIR : EINVAL;
        return -1;
    }
    std::FILE* f = std::fopen(path, "rb");
    if (f == nullptr) return -1;
    long size = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
    std::fclose(f);
    return size < 0 ? LONG_MAX : size;
}

std::int32_t GetBinSize(const char* filename) {
    const long size = measure_file(filename);
    if (size < 0) return 0;
    return size > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(size);
}

void read_bin(const char* path, void* buf, std::int32_t size) {
    std::FILE* f = is_regular_file(path) ? std::fopen(path, "rb") : nullptr;
    if (f == nullptr) fail_open(path);
    const std::size_t want = byte_count(size);
    const std::size_t got = want == 0 ? 0 : std::fread(buf, 1, want, f);
    std::fclose(f);
    if (got != want) {
        std::printf(text::cannot_read, path);
        stop_process(-1);
    }
}

void write_bin(const char* path, const void* buf, std::int32_t size) {
    const fs::path target = resolve_links(path);
    if (!target_writable(target)) fail_open(path);
    std::string temp;
    std::FILE* f = create_temporary(target, temp);
    if (f == nullptr) fail_open(path);
    if (!write_all(f, buf, byte_count(size))) fail_write(temp);
    std::error_code ec;
    if (fs::exists(target, ec)) {
        fs::permissions(temp, fs::status(target, ec).permissions(), ec);
    }
    fs::rename(temp, target, ec);
    if (ec) {
        fs::remove(temp, ec);
        fail_open(path);
    }
}
