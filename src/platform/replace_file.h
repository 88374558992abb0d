// Replacing a file atomically and durably. No console, no exit: the call
// says what became of it and the caller decides. POSIX and Win32 each have
// their own implementation of this header.
#ifndef TOLP_REPLACE_FILE_H
#define TOLP_REPLACE_FILE_H

#include <cstddef>
#include <cstdint>
#include <filesystem>

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
