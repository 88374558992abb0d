#include <windows.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>

#include "file_io.h"
#include "interrupts.h"

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

// A virus scanner or indexer, or another run renaming over the file, may
// hold it for a moment: calls `attempt` again for about two seconds, pausing
// longer each time, while it fails for that reason.
template <typename Attempt>
bool retry_while_held(Attempt attempt) {
    DWORD pause = 10, waited = 0;
    for (;;) {
        if (attempt()) return true;
        const DWORD error = GetLastError();
        if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) || waited >= 2000) {
            return false;
        }
        Sleep(pause);
        waited += pause;
        pause = pause * 2 < 2000 - waited ? pause * 2 : 2000 - waited;
    }
}

// Reads until `size` bytes are in or the file ends; -1 on an error.
std::int64_t read_fully(HANDLE h, std::uint8_t* at, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        const DWORD want = size - got < 0x40000000 ? static_cast<DWORD>(size - got) : 0x40000000;
        DWORD n = 0;
        if (!ReadFile(h, at + got, want, &n, nullptr)) return -1;
        if (n == 0) break;
        got += n;
    }
    return static_cast<std::int64_t>(got);
}

bool write_fully(HANDLE h, const std::uint8_t* bytes, std::size_t size) {
    while (size > 0) {
        const DWORD want = size < 0x40000000 ? static_cast<DWORD>(size) : 0x40000000;
        DWORD n = 0;
        if (!WriteFile(h, bytes, want, &n, nullptr) || n == 0) return false;
        bytes += n;
        size -= n;
    }
    return true;
}

// An existing target must be a file that is not marked read-only. Another
// program (or another run renaming over it) may hold it for a moment, so
// there is no trial open: the rename retries that.
bool target_replaceable(const fs::path& target) {
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) == 0;
}

// Shared for deletion, so that Ctrl+C can remove it while it is open.
HANDLE create_temporary(const fs::path& target, fs::path& temp) {
    std::mt19937_64 pick(
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    const std::wstring stem = L"." + target.filename().wstring() + L".";
    for (int attempt = 0; attempt < 100; ++attempt) {
        wchar_t tag[17];
        std::swprintf(tag, 17, L"%016llx", static_cast<unsigned long long>(pick()));
        temp = target.parent_path() / (stem + tag + L".tmp");
        hold_interrupts();
        HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                               nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        const DWORD error = GetLastError();
        if (h != INVALID_HANDLE_VALUE) set_pending_temporary(temp);
        release_interrupts();
        if (h != INVALID_HANDLE_VALUE || error != ERROR_FILE_EXISTS) return h;
    }
    return INVALID_HANDLE_VALUE;
}

// Each attempt is one step under held interrupts, so Ctrl+C is never kept
// waiting for the pauses. MOVEFILE_WRITE_THROUGH makes the rename durable.
bool rename_into_place(const fs::path& temp, const fs::path& target) {
    return retry_while_held([&] {
        hold_interrupts();
        const bool moved = MoveFileExW(temp.c_str(), target.c_str(),
                                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
        const DWORD error = GetLastError();
        if (moved) clear_pending_temporary();
        release_interrupts();
        SetLastError(error);
        return moved;
    });
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
        file.error = errno_of(GetLastError());
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

std::int64_t read_input(InputFile& file, std::uint8_t* buf, std::size_t room) {
    std::int64_t got = read_fully(handle_of(file), buf, room);
    if (got == static_cast<std::int64_t>(room)) {
        std::uint8_t beyond = 0;
        const std::int64_t more = read_fully(handle_of(file), &beyond, 1);
        got = more < 0 ? -1 : got + more;
    }
    close_input(file);
    return got;
}

void close_input(InputFile& file) {
    if (file.handle != -1) CloseHandle(handle_of(file));
    file.handle = -1;
}

// The new file gets its folder's inherited access rules: an explicit ACL of
// the target's own is not carried over.
ReplaceOutcome replace_file(const fs::path& path, const std::uint8_t* bytes, std::size_t size) {
    std::error_code ec;
    fs::path target = path;
    if (fs::is_symlink(fs::symlink_status(path, ec))) {
        target = fs::canonical(path, ec);
        if (ec) return ReplaceOutcome::cannot_open;
    }
    if (!target_replaceable(target)) return ReplaceOutcome::cannot_open;
    fs::path temp;
    HANDLE h = create_temporary(target, temp);
    if (h == INVALID_HANDLE_VALUE) return ReplaceOutcome::cannot_open;
    const bool written = write_fully(h, bytes, size) && FlushFileBuffers(h) != 0;
    const bool closed = CloseHandle(h) != 0;
    if (!written || !closed) {
        remove_pending_temporary();
        return ReplaceOutcome::short_write;
    }
    if (!rename_into_place(temp, target)) {
        remove_pending_temporary();
        return ReplaceOutcome::cannot_open;
    }
    return ReplaceOutcome::replaced;
}
