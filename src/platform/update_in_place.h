// Updating a few bytes of an existing file in place, through one open, so
// that the file stays the file it was: its owner, group, permission bits,
// ACL, extended attributes, hard links and mounts are never touched, on any
// file system, and no free space is needed. No console, no exit: the call
// says what became of it and the caller decides. POSIX and Win32 each have
// their own implementation of this header.
//
// A power cut during the update can leave the written bytes half old, half
// new on storage that keeps unwritten bytes intact; writing them again
// makes them whole. A FUSE file system may not pass the flush on to its
// storage.
#ifndef TOLP_UPDATE_IN_PLACE_H
#define TOLP_UPDATE_IN_PLACE_H

#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "file_failure.h"

enum class UpdateOutcome {
    updated,      // written, flushed, and the path still names the file, as expected
    cannot_open,  // missing, not a regular file, read-only, or not to be written (set-id,
                  // capability)
    changed,      // it no longer holds what the caller read: nothing written
    short_write,  // the bytes could not be written (some may have been)
    not_flushed,  // written, but the flush or the close failed
    replaced,     // written and flushed, but meanwhile another program replaced or changed it
};

struct UpdateResult {
    UpdateOutcome outcome = UpdateOutcome::updated;
    FileFailure failure;
};

// The file at `path` (the file a symbolic link names) must hold `contents`,
// `size` bytes, but for the bytes where `may_differ` holds (what another run
// of the same kind writes there). Then contents[from, to) is written at
// `from` in one write and flushed, and the file is read once more: it must
// still hold `contents` (up to `may_differ`), and the path must still name
// it.
//
// On POSIX a file with the set-user-ID or set-group-ID bit or a file
// capability is refused (a write would clear them), as is a file without
// any write bit, even where root could override its bits. On Windows a
// read-only file is refused, and the file is opened sharing reading and
// writing but not deletion, so that while it is open nothing can rename
// over it or delete it; while another program holds it the open is retried
// for about two seconds.
UpdateResult update_in_place(const std::filesystem::path& path, const std::uint8_t* contents,
                             std::size_t size, std::size_t from, std::size_t to,
                             bool (*may_differ)(std::size_t offset));

// The largest file this process may write (its file-size limit), or the
// largest number there is where it has none.
std::uint64_t largest_file_allowed();

#endif
