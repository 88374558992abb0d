// Reading an input whole through one open. No console, no exit: each call
// says what became of it and the caller decides. POSIX and Win32 each have
// their own implementation of this header.
#ifndef TOLP_INPUT_FILE_H
#define TOLP_INPUT_FILE_H

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
    // When it could not be opened or read: the system's error code (errno;
    // GetLastError() on Windows); 0 for a file that is not a regular file
    // (EISDIR for a folder on POSIX).
    long code = 0;
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

// Reads from the open file until `size` bytes are in or it ends; the bytes
// read, or -1 when a read failed.
std::int64_t read_fully(InputFile& file, std::uint8_t* at, std::size_t size);

#endif
