#include <windows.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>

#include "interrupts.h"
#include "replace_file.h"
#include "win32_retry.h"

namespace fs = std::filesystem;

namespace {

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
bool target_replaceable(const fs::path& target, FileFailure& failure) {
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) failure.refusal = Refusal::not_regular;
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) failure.refusal = Refusal::read_only;
    return failure.refusal == Refusal::none;
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

ReplaceResult stopped(ReplaceOutcome outcome, ReplaceStep step, DWORD error) {
    return {outcome, step, {static_cast<long>(error), Refusal::none}};
}

}  // namespace

// The new file gets its folder's inherited access rules: an explicit ACL of
// the target's own is not carried over. A symbolic link at `path` is
// replaced by the file itself, as MoveFileExW does.
ReplaceResult replace_file(const fs::path& path, const std::uint8_t* bytes, std::size_t size) {
    ReplaceResult refused{ReplaceOutcome::cannot_open, ReplaceStep::target, {}};
    if (!target_replaceable(path, refused.failure)) return refused;
    fs::path temp;
    HANDLE h = create_temporary(path, temp);
    if (h == INVALID_HANDLE_VALUE) {
        return stopped(ReplaceOutcome::cannot_open, ReplaceStep::temporary, GetLastError());
    }
    const bool written = write_fully(h, bytes, size);
    const bool flushed = written && FlushFileBuffers(h) != 0;
    const DWORD error = GetLastError();
    const bool closed = CloseHandle(h) != 0;
    if (!written || !flushed || !closed) {
        const DWORD why = !written || !flushed ? error : GetLastError();
        remove_pending_temporary();
        return stopped(written ? ReplaceOutcome::not_flushed : ReplaceOutcome::short_write,
                       ReplaceStep::temporary, why);
    }
    if (!rename_into_place(temp, path)) {
        const DWORD why = GetLastError();
        remove_pending_temporary();
        return stopped(ReplaceOutcome::cannot_open, ReplaceStep::rename, why);
    }
    return {};
}
