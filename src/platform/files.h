// The programs' file calls: reading an input whole through one open,
// updating a few bytes of a file in place, and replacing a file atomically
// and durably. No console, no exit: each call says what became of it
// (file_failure.h) and the caller decides. The algorithms are written once
// (files.cpp, file_updates.cpp) over each platform's calls (os_files.h).
//
// On Windows, while another program (a virus scanner, an indexer, another
// run replacing the file) holds a file, an open, a read, a write or a
// rename refused for that reason is tried again for about two seconds.
#ifndef TOLP_FILES_H
#define TOLP_FILES_H

#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "file_failure.h"

// An input opened for reading. Its size is the one the open file reports,
// 64 bits on every platform.
struct InputFile {
    std::intptr_t handle = -1;
    std::uint64_t size = 0;
    FileFailure failure;
};

// Opens a regular file once; anything else is refused.
InputFile open_input(const std::filesystem::path& path);

// Reads the open file from its start into `buf`, up to `room` bytes and
// then one more to notice a longer file, and closes it. Returns the bytes
// read (room + 1 for a file longer than the room), or -1 when a read failed
// (the failure says why).
std::int64_t read_input(InputFile& file, std::uint8_t* buf, std::size_t room);

// Closes a file that will not be read.
void close_input(InputFile& file);

// Updates the file at `path` (the file a symbolic link names) in place,
// through one open, so that it stays the file it was: its owner, group,
// permission bits, ACL, extended attributes, hard links and mounts are
// never touched, and no free space is needed.
//
// The file must hold `contents`, `size` bytes, but for its `count` fields
// (`spans`: each an offset and a width, in order, at most `most_field_bytes` in all),
// where another run of the same kind may have written other bytes:
// otherwise it is refused (Refusal::changed) and nothing is written. Then
// only the fields are written (cut at `size`), one write each, and flushed;
// where a write fails, the fields already written get their bytes back.
// Last the file is read once more: it must hold `contents` exactly, and the
// path must still name it (Failed::confirm).
//
// On POSIX a file with the set-user-ID or set-group-ID bit or a file
// capability is refused (a write would clear them), as is a file without
// any write bit, even where root could override its bits. On Windows a
// read-only file is refused, and the file is opened sharing reading and
// writing but not deletion, so that while it is open nothing can rename
// over it or delete it.
//
// A power cut during the update can leave the written bytes half old, half
// new on storage that keeps unwritten bytes intact; writing them again
// makes them whole. A FUSE file system may not pass the flush on.
inline constexpr std::size_t most_field_bytes = 64;
FileFailure update_in_place(const std::filesystem::path& path, const std::uint8_t* contents,
                            std::size_t size, const std::size_t (*spans)[2], std::size_t count);

// Replaces the file at `path` with `size` bytes: they go to a temporary
// beside it, which takes over the existing file's owner and group (where
// the runner may), permission bits, ACL and extended attributes (POSIX;
// what it has already is not set again, so a file system that cannot set
// them is no refusal where nothing needs setting), is flushed and closed,
// and renamed over the name; then the rename is flushed. Before the rename
// nothing has changed: any failure there leaves the target as it was and
// removes the temporary (one that cannot be removed is named in the
// failure). A symbolic link at `path` is replaced by the file itself; what
// it points to is never touched. A folder, a read-only file, a file the
// runner cannot write, and a file whose access rules cannot be carried over
// are refused (Failed::open).
//
// The rename is flushed on POSIX through the folder or, where the folder
// cannot be flushed (unreadable, or a file system that does not flush
// folders) but for an I/O error, through the whole file system (Linux's
// syncfs; sync elsewhere); on Windows by MOVEFILE_WRITE_THROUGH. On Windows
// the new file gets its folder's inherited access rules.
FileFailure replace_file(const std::filesystem::path& path, const std::uint8_t* bytes,
                         std::size_t size);

// The largest file this process may write (its file-size limit), or the
// largest number there is where it has none.
std::uint64_t largest_file_allowed();

#endif
