// Whole-file helpers: the only code of the image stages that touches disk.
// read_bin and write_bin end the process on failure (message, wait for a
// key, exit), so their callers need not check results.
#ifndef TOLP_FILE_HELPERS_H
#define TOLP_FILE_HELPERS_H

#include <cstdint>

// True when `path` names an existing regular file (links followed).
bool is_regular_file(const char* path);

// Size in bytes of the file at `path`, found by opening it and seeking to
// its end; -1 with errno set when it cannot be opened or is not a regular
// file (EISDIR for a folder). A size the platform cannot report is LONG_MAX.
long measure_file(const char* path);

// Size of the regular file at `filename` in bytes; 0 when it is missing or
// not a regular file. A size past the 32-bit range reports INT32_MAX, which
// every caller refuses as too large.
std::int32_t GetBinSize(const char* filename);

// Reads exactly `size` bytes from the start of the file into `buf`.
// Not a regular file or cannot open: "Can not open" message, status -1.
// Fewer bytes than `size`: "Can not read" message, status -1.
void read_bin(const char* path, void* buf, std::int32_t size);

// Replaces the file's contents with `size` bytes from `buf`, atomically: the
// bytes go to a temporary beside the target, are flushed to stable storage
// and the temporary is renamed over the target (a symbolic link's target is
// the file replaced; permission bits are kept). On any failure the target is
// left as it was and no temporary remains.
// Target not writable, temporary not created or not renamed: "Can not open"
// message, status -1. Short write, failed flush or close: "fwrite file error"
// message, status 1.
void write_bin(const char* path, const void* buf, std::int32_t size);

#endif
