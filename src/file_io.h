// Files on disk: reading an input whole through one open, and replacing a
// file atomically and durably. No console, no exit: each call says what
// became of it and the caller decides. POSIX and Win32 each have their own
// implementation of this header.
#ifndef TOLP_FILE_IO_H
#define TOLP_FILE_IO_H

#include <cstddef>
#include <cstdint>
#include <filesystem>

// An input opened for reading. Its size is the one the open file reports,
// 64 bits on every platform.
struct InputFile {
    std::intptr_t handle = -1;
    std::uint64_t size = 0;
    // When it could not be opened: an errno value (EISDIR for a folder,
    // EINVAL for anything else that is not a regular file).
    int error = 0;
};

// Opens the file once. On Windows, while another program (a virus scanner,
// an indexer, another run replacing the file) holds it, the open is retried
// for about two seconds.
InputFile open_input(const std::filesystem::path& path);

// Reads the open file from its start into `buf`, up to `room` bytes and
// then one more to notice a longer file, and closes it. Returns the bytes
// read (room + 1 for a file longer than the room), or -1 when a read failed.
std::int64_t read_input(InputFile& file, std::uint8_t* buf, std::size_t room);

// Closes a file that will not be read.
void close_input(InputFile& file);

enum class ReplaceOutcome {
    replaced,
    cannot_open,  // not replaceable, or the temporary could not be made or renamed
    short_write,  // the new contents could not be written or flushed in full
    not_durable,  // replaced, but the rename could not be flushed to disk
};

// Replaces the file at `path` (the file a symbolic link names, if it is one)
// with `size` bytes: they go to a temporary beside it, are flushed to disk,
// take over the target's owner and group (where the runner may), permission
// bits, ACL and extended attributes, and the temporary is renamed over the
// target, a rename then flushed too. Before the rename nothing has changed:
// any failure there leaves the target as it was and removes the temporary.
// A folder, a read-only file, a file the runner cannot write, and a file
// whose access rules cannot be carried over are refused (cannot_open).
ReplaceOutcome replace_file(const std::filesystem::path& path, const std::uint8_t* bytes,
                            std::size_t size);

#endif
