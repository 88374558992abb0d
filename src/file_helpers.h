// Whole-file helpers: the only code of the image stages that touches disk.
// read_bin and write_bin end the process on failure (message, then the stop),
// so their callers need not check results.
#ifndef TOLP_FILE_HELPERS_H
#define TOLP_FILE_HELPERS_H

#include <cstdint>

// Size in bytes of the regular file at `path`; -1 with errno set when it
// cannot be opened or is not a regular file (EISDIR for a folder), so the
// caller can report the system's reason. A size the platform cannot report
// is LONG_MAX.
long file_size_or_errno(const char* path);

// Size of the regular file at `filename` in bytes; 0, silently, when it is
// missing or not a regular file (the read that follows reports it). A size
// past the 32-bit range reports INT32_MAX, which every caller refuses.
std::int32_t GetBinSize(const char* filename);

// On Windows every open, and the rename that replaces a file, is retried for
// about two seconds while another program (a virus scanner, an indexer,
// another run replacing the file) holds the file.

// Reads exactly `size` bytes from the start of the file into `buf`.
// Not a regular file or cannot open: "Can not open" message, status -1.
// Fewer bytes than `size`: "Can not read" message, status -1.
void read_bin(const char* path, void* buf, std::int32_t size);

// Replaces the file's contents with `size` bytes from `buf`, atomically and
// durably: the bytes go to a temporary beside the target (created with the
// target's permission bits), are flushed to stable storage, the temporary is
// renamed over the target and the rename itself is flushed (the folder on
// POSIX, MOVEFILE_WRITE_THROUGH on Windows). A symbolic link's target is the
// file replaced. On any failure the target is left as it was and no
// temporary remains.
// Target not writable, temporary not created or not renamed: "Can not open"
// message, status -1. Short write, failed flush or close: "fwrite file error"
// message, status 1.
void write_bin(const char* path, const void* buf, std::int32_t size);

#endif
