// Replacing a file atomically and durably. No console, no exit: the call
// says what became of it and the caller decides. POSIX and Win32 each have
// their own implementation of this header.
#ifndef TOLP_REPLACE_FILE_H
#define TOLP_REPLACE_FILE_H

#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "file_failure.h"

enum class ReplaceOutcome {
    replaced,
    cannot_open,  // not replaceable, or the temporary could not be made or renamed
    short_write,  // the new contents could not be written in full
    not_flushed,  // they could not be flushed to disk (before the rename: nothing changed;
                  // after it: replaced, but not known to be on disk)
};

// Where a replacement stopped.
enum class ReplaceStep {
    target,        // what is at the name: not to be replaced
    folder,        // the folder could not be opened
    temporary,     // a temporary beside it could not be made, written or flushed
    access,        // the temporary could not take the target's access rules
    rename,        // it could not be renamed over the name
    rename_flush,  // the rename could not be flushed
};

struct ReplaceResult {
    ReplaceOutcome outcome = ReplaceOutcome::replaced;
    ReplaceStep step = ReplaceStep::target;
    FileFailure failure;
};

// Replaces the file at `path` with `size` bytes: they go to a temporary
// beside it, which takes over the existing file's owner and group (where
// the runner may), permission bits, ACL and extended attributes (what it
// has already is not set again, so a file system that cannot set them is
// no refusal where nothing needs setting), is flushed to disk and renamed
// over the name; then the rename is flushed. Before the rename nothing has
// changed: any failure there leaves the target as it was and removes the
// temporary. A symbolic link at `path` is replaced by the file itself;
// what it points to is never touched. A folder, a read-only file, a file
// the runner cannot write, and a file whose access rules cannot be carried
// over are refused (cannot_open).
//
// The rename is flushed on POSIX through the folder or, where the folder
// cannot be flushed (unreadable, or a file system that does not flush
// folders) but for an I/O error, through the whole file system (Linux's
// syncfs; sync elsewhere); on Windows by MOVEFILE_WRITE_THROUGH. A FUSE
// file system may not pass a flush on to its storage.
ReplaceResult replace_file(const std::filesystem::path& path, const std::uint8_t* bytes,
                           std::size_t size);

#endif
