// The tool's whole-file helpers over the platform's files: each failure is reported on
// the console and stops the run, so their callers need not check results.
#ifndef TOLP_FILE_HELPERS_H
#define TOLP_FILE_HELPERS_H

#include <cstddef>
#include <cstdint>

#include "files.h"

// Opens the image at `path` for reading, once. If it cannot be opened:
// with `report_reason`, "Error opening file: REASON" on standard error
// first; then "Can not open the path", status -1.
InputFile open_bin(const char* path, bool report_reason);

// Reads the opened image whole into `buf`, where it may take `room` bytes,
// and returns its size: the size the open file reported, which the bytes
// read must match. Larger than `room`: "file too large", status -1. A read
// error, or a length that changed while it was read: "Can not read the
// path", status -1.
std::size_t read_bin(InputFile& file, const char* path, std::uint8_t* buf, std::size_t room);

// Replaces the file with `size` bytes from `buf` (replace_file). Not
// replaceable: "Can not open the path", status -1. Not written in full:
// "fwrite file error", status 1. Not flushed: "Can not flush the path",
// status 1.
void write_bin(const char* path, const std::uint8_t* buf, std::size_t size);

// Writes the stamped fields (as far as the file reaches) of the `size`-byte
// download image `buf` back into the file at `path`, in place
// (update_in_place): the file must still hold what was read, but for the
// stamped fields. Not there, not a writable regular file, or changed since
// it was read: "Can not open the path", status -1, nothing written. A read
// error before the write: "Can not read the path", status -1. Not written:
// "fwrite file error", status 1. Not flushed: "Can not flush the path",
// status 1. Not holding this run's own stamp after the flush (replaced or
// changed by another program, or unreadable): "fwrite file error", status
// 1, with a reason line that says to copy it again where another program
// changed it.
void update_bin(const char* path, const std::uint8_t* buf, std::size_t size);

// A file-size limit below `size` bytes would cut the file at `path` short:
// "fwrite file error", status 1, before anything is written.
void check_size_allowed(const char* path, std::uint64_t size);

// Every stop that comes from the system says why on standard error first,
// as "NAME: REASON" (reason lines, in the system's words where it gave
// them): each failure of open_bin (but the download image's, which has
// "Error opening file: REASON"), read_bin (but "file too large"),
// write_bin, update_bin and check_size_allowed. A temporary a failed
// write_bin could not remove is named on a reason line of its own.

#endif
