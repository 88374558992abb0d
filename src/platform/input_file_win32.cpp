#include <windows.h>

#include <cerrno>

#include "input_file.h"
#include "win32_retry.h"

namespace fs = std::filesystem;

namespace {

HANDLE handle_of(const InputFile& file) {
    return reinterpret_cast<HANDLE>(file.handle);
}

int errno_of(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_NETPATH:
        case ERROR_INVALID_DRIVE: return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION: return EACCES;
        case ERROR_TOO_MANY_OPEN_FILES: return EMFILE;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY: return ENOMEM;
        default: return EIO;
    }
}

}  // namespace

InputFile open_input(const fs::path& path) {
    InputFile file;
    HANDLE h = INVALID_HANDLE_VALUE;
    // Shared for deletion, so that another run may rename over the file
    // while this one reads it. Backup semantics open a folder, to tell it.
    retry_while_held([&] {
        h = CreateFileW(path.c_str(), GENERIC_READ,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        return h != INVALID_HANDLE_VALUE;
    });
    BY_HANDLE_FILE_INFORMATION info{};
    if (h == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(h, &info)) {
        file.code = static_cast<long>(GetLastError());
        file.error = errno_of(static_cast<DWORD>(file.code));
    } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        file.error = EISDIR;
    } else if (GetFileType(h) != FILE_TYPE_DISK) {
        file.error = EINVAL;
    } else {
        file.handle = reinterpret_cast<std::intptr_t>(h);
        file.size = static_cast<std::uint64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
        return file;
    }
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    return file;
}

void close_input(InputFile& file) {
    if (file.handle != -1) CloseHandle(handle_of(file));
    file.handle = -1;
}

std::int64_t read_fully(InputFile& file, std::uint8_t* at, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        const DWORD want = size - got < 0x40000000 ? static_cast<DWORD>(size - got) : 0x40000000;
        DWORD n = 0;
        if (!ReadFile(handle_of(file), at + got, want, &n, nullptr)) {
            file.code = static_cast<long>(GetLastError());
            return -1;
        }
        if (n == 0) break;
        got += n;
    }
    return static_cast<std::int64_t>(got);
}
