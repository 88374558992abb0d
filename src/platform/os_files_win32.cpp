#include <windows.h>

#include <algorithm>
#include <limits>

#include "files.h"
#include "os_files.h"

namespace fs = std::filesystem;

namespace {

HANDLE handle_of(Handle h) {
    return reinterpret_cast<HANDLE>(h);
}

long error_unless(bool succeeded) {
    return succeeded ? 0 : static_cast<long>(GetLastError());
}

OVERLAPPED at_offset(std::uint64_t offset) {
    OVERLAPPED place{};
    place.Offset = static_cast<DWORD>(offset);
    place.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return place;
}

DWORD at_most_a_gigabyte(std::size_t n) {
    return static_cast<DWORD>(std::min<std::size_t>(n, 0x40000000));
}

// A failed query is its error, not a refusal.
FileFailure check_open_file(HANDLE h, std::uint64_t& size) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(h, &info)) return failure(Failed::open, error_unless(false));
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return refusal(Refusal::folder);
    const DWORD type = GetFileType(h);
    if (type == FILE_TYPE_UNKNOWN && GetLastError() != NO_ERROR) {
        return failure(Failed::open, error_unless(false));
    }
    if (type != FILE_TYPE_DISK) return refusal(Refusal::not_regular);
    size = static_cast<std::uint64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
    return {};
}

// A folder (refused as `folder`) or a file marked read-only is refused; a
// name with nothing there is no failure where `absent` may be.
FileFailure check_attributes(const fs::path& path, Refusal folder, bool absent) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    const long error = error_unless(attributes != INVALID_FILE_ATTRIBUTES);
    if (absent && (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)) return {};
    if (error != 0) return failure(Failed::open, error);
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return refusal(folder);
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) return refusal(Refusal::read_only);
    return {};
}

}  // namespace

// To read: shared for deletion, so that another run may rename over the
// file while this one reads it; backup semantics open a folder, to tell it.
// To update: shared for reading and writing, not deletion.
FileFailure os_open(const fs::path& path, bool update, Handle& h, std::uint64_t& size) {
    const FileFailure refused =
        update ? check_attributes(path, Refusal::folder, false) : FileFailure{};
    if (failed(refused)) return refused;
    const DWORD sharing = FILE_SHARE_READ | FILE_SHARE_WRITE | (update ? 0 : FILE_SHARE_DELETE);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | (update ? GENERIC_WRITE : 0), sharing,
                              nullptr, OPEN_EXISTING,
                              update ? FILE_ATTRIBUTE_NORMAL : FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return failure(Failed::open, error_unless(false));
    FileFailure f = check_open_file(file, size);
    if (failed(f)) CloseHandle(file);
    h = failed(f) ? no_handle : reinterpret_cast<Handle>(file);
    return f;
}

// Reading at or past the end is the end, not a failure.
long os_read_at(Handle h, std::uint8_t* at, std::size_t n, std::uint64_t offset,
                std::size_t& done) {
    OVERLAPPED place = at_offset(offset);
    DWORD got = 0;
    const bool read = ReadFile(handle_of(h), at, at_most_a_gigabyte(n), &got, &place) != 0;
    done = read ? got : 0;
    const long error = error_unless(read);
    return error == ERROR_HANDLE_EOF ? 0 : error;
}

long os_write_at(Handle h, const std::uint8_t* bytes, std::size_t n, std::uint64_t offset,
                 std::size_t& done) {
    OVERLAPPED place = at_offset(offset);
    DWORD wrote = 0;
    const bool written = WriteFile(handle_of(h), bytes, at_most_a_gigabyte(n), &wrote, &place) != 0;
    done = written ? wrote : 0;
    // Nothing written, and no error said why: the disk took nothing.
    return !written ? error_unless(false) : wrote == 0 ? ERROR_WRITE_FAULT : 0;
}

long os_flush(Handle h, bool /*everything*/) {
    return error_unless(FlushFileBuffers(handle_of(h)) != 0);
}

long os_close(Handle h) {
    return error_unless(CloseHandle(handle_of(h)) != 0);
}

long os_lock(Handle h) {
    OVERLAPPED from_start{};
    return error_unless(LockFileEx(handle_of(h),
                                   LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                                   MAXDWORD, &from_start) != 0);
}

bool os_lock_busy(long error) {
    return error == ERROR_LOCK_VIOLATION;
}

// Windows may let a lock go some time after the close: let it go at once.
void os_unlock(Handle h) {
    OVERLAPPED from_start{};
    UnlockFileEx(handle_of(h), 0, MAXDWORD, MAXDWORD, &from_start);
}

// Nothing could rename over the file or delete it while it was open
// without sharing deletion.
FileFailure os_still_named(const fs::path& /*path*/, Handle /*h*/) {
    return {};
}

// Windows has no file-size limit of a process's own.
std::uint64_t largest_file_allowed() {
    return std::numeric_limits<std::uint64_t>::max();
}

bool os_held(long error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ||
           error == ERROR_LOCK_VIOLATION;
}

void os_pause(unsigned milliseconds) {
    Sleep(milliseconds);
}

// An existing target must be a file that is not marked read-only. Another
// program (or another run renaming over it) may hold it for a moment, so
// there is no trial open: the rename retries that. Whether it exists does
// not matter: the new file takes its folder's access rules either way.
FileFailure os_inspect_target(Target& t) {
    return check_attributes(t.path, Refusal::not_regular, true);
}

// Shared for deletion, so that Ctrl+C can remove it while it is open.
long os_create_new(const fs::path& path, const Target& /*target*/, Handle& h) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                              nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    h = reinterpret_cast<Handle>(file);
    return error_unless(file != INVALID_HANDLE_VALUE);
}

bool os_name_taken(long error) {
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

// The new file gets its folder's inherited access rules: an explicit ACL of
// the target's own is not carried over.
long os_carry_access(Handle /*h*/, const Target& /*target*/) {
    return 0;
}

// MOVEFILE_WRITE_THROUGH makes the rename durable; a symbolic link at the
// name is replaced by the file itself.
long os_rename(const fs::path& from, const fs::path& to) {
    return error_unless(MoveFileExW(from.c_str(), to.c_str(),
                                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0);
}

long os_flush_rename(const Target& /*target*/) {
    return 0;
}

void os_close_folder(Target& /*target*/) {}
