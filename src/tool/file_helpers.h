// The tool's whole-file helpers over the platform's files. Each stops the
// run on a failure (stops.h), after a reason line on standard error ("NAME:
// REASON", in the system's words where it gave them), so their callers need
// not check results.
#ifndef TOLP_FILE_HELPERS_H
#define TOLP_FILE_HELPERS_H

#include <cstddef>
#include <cstdint>

#include "files.h"

// Opens the image at `path` for reading, once: cannot_open, the download
// image's reason as "Error opening file: REASON" with `report_reason`.
InputFile open_bin(const char* path, bool report_reason);

// Reads the opened image whole into `buf`, where it may take `room` bytes,
// and returns its size, which must be the size the open file reported:
// too_large (no reason line), or cannot_read for a read error or a length
// that changed while it was read.
std::size_t read_bin(InputFile& file, const char* path, std::uint8_t* buf, std::size_t room);

// Replaces the file with `size` bytes from `buf` (replace_file):
// cannot_open, short_write or cannot_flush; a temporary it could not remove
// is named on a reason line of its own.
void write_bin(const char* path, const std::uint8_t* buf, std::size_t size);

// Writes the stamped fields (as far as the file reaches) of the `size`-byte
// download image `buf` back into the file at `path`, in place
// (update_in_place): the file must still hold what was read, but for the
// fields. Not there, not a writable regular file, or changed since it was
// read: cannot_open, nothing written; a read error before the write:
// cannot_read; not written, or not holding this run's own stamp after the
// flush: short_write (saying to copy it again where another program
// changed it); not flushed: cannot_flush.
void update_bin(const char* path, const std::uint8_t* buf, std::size_t size);

// A file-size limit below `size` bytes would cut the file at `path` short:
// short_write, before anything is written.
void check_size_allowed(const char* path, std::uint64_t size);

#endif
