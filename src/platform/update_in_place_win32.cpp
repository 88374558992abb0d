#include <windows.h>

#include <limits>

#include "piece_holds.h"
#include "update_in_place.h"
#include "win32_retry.h"

namespace fs = std::filesystem;

namespace {

UpdateResult failed(UpdateOutcome outcome, DWORD error = GetLastError()) {
    return {outcome, {static_cast<long>(error), Refusal::none}};
}

UpdateResult refused(UpdateOutcome outcome, Refusal refusal) {
    return {outcome, {0, refusal}};
}

OVERLAPPED at_offset(std::size_t offset) {
    OVERLAPPED place{};
    place.Offset = static_cast<DWORD>(offset);
    place.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
    return place;
}

// Whether the open file holds `contents` but where `may_differ` holds:
// every byte, and nothing after them. Read a piece at a time, with no
// memory to ask for. A read error leaves `error` set.
bool holds(HANDLE h, const std::uint8_t* contents, std::size_t size,
           bool (*may_differ)(std::size_t), DWORD& error) {
    std::uint8_t piece[16384];
    error = 0;
    for (std::size_t at = 0;;) {
        OVERLAPPED place = at_offset(at);
        DWORD n = 0;
        if (!ReadFile(h, piece, sizeof piece, &n, &place) && GetLastError() != ERROR_HANDLE_EOF) {
            error = GetLastError();
            return false;
        }
        if (n == 0) return at == size;
        if (n > size - at || !piece_holds(piece, n, at, contents, may_differ)) return false;
        at += n;
    }
}

// A write refused for a lock another program holds wrote nothing, and is
// tried again within the same bound as the open.
bool write_at(HANDLE h, const std::uint8_t* bytes, std::size_t from, std::size_t to) {
    while (from < to) {
        DWORD n = 0;
        const bool wrote = retry_while_held([&] {
            OVERLAPPED place = at_offset(from);
            return WriteFile(h, bytes + from, static_cast<DWORD>(to - from), &n, &place) != 0;
        });
        if (!wrote || n == 0) return false;
        from += n;
    }
    return true;
}

UpdateResult update_open_file(HANDLE h, const std::uint8_t* contents, std::size_t size,
                              std::size_t from, std::size_t to, bool (*may_differ)(std::size_t)) {
    DWORD error = 0;
    if (GetFileType(h) != FILE_TYPE_DISK) {
        return refused(UpdateOutcome::cannot_open, Refusal::not_regular);
    }
    if (!holds(h, contents, size, may_differ, error)) {
        if (error != 0) return failed(UpdateOutcome::cannot_open, error);
        return refused(UpdateOutcome::changed, Refusal::changed);
    }
    if (!write_at(h, contents, from, to)) return failed(UpdateOutcome::short_write);
    // Never tried again: a second flush may report success for data that
    // never reached the disk.
    if (!FlushFileBuffers(h)) return failed(UpdateOutcome::not_flushed);
    // Nothing could rename over the file or delete it while it was open;
    // another program sharing writes could still have changed its bytes.
    if (!holds(h, contents, size, may_differ, error)) {
        return {UpdateOutcome::replaced, {static_cast<long>(error), Refusal::changed}};
    }
    return {};
}

}  // namespace

UpdateResult update_in_place(const fs::path& path, const std::uint8_t* contents, std::size_t size,
                             std::size_t from, std::size_t to,
                             bool (*may_differ)(std::size_t offset)) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return failed(UpdateOutcome::cannot_open);
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return refused(UpdateOutcome::cannot_open, Refusal::not_regular);
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return refused(UpdateOutcome::cannot_open, Refusal::read_only);
    }
    HANDLE h = INVALID_HANDLE_VALUE;
    retry_while_held([&] {
        h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
        return h != INVALID_HANDLE_VALUE;
    });
    if (h == INVALID_HANDLE_VALUE) return failed(UpdateOutcome::cannot_open);
    UpdateResult result = update_open_file(h, contents, size, from, to, may_differ);
    if (!CloseHandle(h) && result.outcome == UpdateOutcome::updated) {
        result = failed(UpdateOutcome::not_flushed);
    }
    return result;
}

// Windows has no file-size limit of a process's own.
std::uint64_t largest_file_allowed() {
    return std::numeric_limits<std::uint64_t>::max();
}
