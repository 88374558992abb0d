// The system calls under files.h, one implementation per platform
// (os_files_posix.cpp, os_files_win32.cpp). Each returns 0 or the system's
// error code, and does one step: the order of the steps, and what a failed
// one means, are the algorithms'.
#ifndef TOLP_OS_FILES_H
#define TOLP_OS_FILES_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "file_failure.h"

using Handle = std::intptr_t;  // a descriptor, or a Windows HANDLE
inline constexpr Handle no_handle = -1;

// Opens an existing regular file, to read it or to update it in place; a
// file that is not one, or (to update) one a write would be wrong for, is
// refused. One attempt; `size` is the open file's.
FileFailure os_open(const std::filesystem::path& path, bool update, Handle& h, std::uint64_t& size);

// One read or write of up to `n` bytes at `offset`; `done` 0 from a read:
// the end of the file; more than 0 from a write that succeeded.
// Interrupted calls are made again.
long os_read_at(Handle h, std::uint8_t* at, std::size_t n, std::uint64_t offset, std::size_t& done);
long os_write_at(Handle h, const std::uint8_t* bytes, std::size_t n, std::uint64_t offset,
                 std::size_t& done);

// Flushes the file's data to its disk, and with `everything` its metadata
// too (owner, mode, attributes). Never called twice for one file: a second
// flush may report success for data that never reached the disk.
long os_flush(Handle h, bool everything);
long os_close(Handle h);

// Locks the whole open file for this process alone, so that another run
// updating it waits; one attempt. `os_lock_busy`: another holds it. Other
// errors: the file system does not lock, and the update goes on without.
// `os_unlock` lets it go before the close (closing lets go too).
long os_lock(Handle h);
bool os_lock_busy(long error);
void os_unlock(Handle h);

// Whether `path` still names the open file: Refusal::changed when not.
FileFailure os_still_named(const std::filesystem::path& path, Handle h);

// What stands at a replacement's name, and the folder it is in.
struct Target {
    std::filesystem::path path;
    bool exists = false;  // a file whose access the new one takes over
    Handle folder = no_handle;
    std::uint32_t owner = 0, group = 0, mode = 0;
};

// Whether the target may be replaced (a symbolic link, a regular file the
// runner may write, or nothing); opens its folder (POSIX).
FileFailure os_inspect_target(Target& target);
// A new file of the runner's alone at `path`, for a replacement of `target`.
long os_create_new(const std::filesystem::path& path, const Target& target, Handle& h);
bool os_name_taken(long error);
// The temporary takes the target's access rules (POSIX).
long os_carry_access(Handle h, const Target& target);
long os_rename(const std::filesystem::path& from, const std::filesystem::path& to);
// Makes the rename durable, and closes the folder.
long os_flush_rename(const Target& target);
void os_close_folder(Target& target);

// Whether `error` means another program holds the file for a moment (a
// sharing or lock violation, or access denied to a file about to be
// deleted): never on POSIX.
bool os_held(long error);
void os_pause(unsigned milliseconds);

// What files.cpp (the readers) and file_updates.cpp (the writers) share.

// Calls `attempt` again for about two seconds, pausing longer each time,
// while it fails because another program holds the file. Its last error.
template <typename Attempt>
inline long retry_while_held(Attempt attempt, bool (*held)(long) = os_held) {
    unsigned pause = 10, waited = 0;
    for (;;) {
        const long error = attempt();
        if (error == 0 || !held(error) || waited >= 2000) return error;
        os_pause(pause);
        waited += pause;
        pause = std::min(pause * 2, 2000 - waited);
    }
}

FileFailure open_file(const std::filesystem::path& path, bool update, Handle& h,
                      std::uint64_t& size);
// Reads from `offset` until `size` bytes are in or the file ends.
long read_fully(Handle h, std::uint8_t* at, std::size_t size, std::uint64_t offset,
                std::size_t& got);

#endif
