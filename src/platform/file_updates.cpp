#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>

#include "files.h"
#include "interrupts.h"
#include "os_files.h"

namespace fs = std::filesystem;

namespace {

// A file's fields (offset and width each, in order), and the bytes the
// file held there before they were written.
struct Fields {
    const std::size_t (*spans)[2];
    std::size_t count;
    std::uint8_t before[most_field_bytes];
};

bool in_fields(const Fields* fields, std::size_t offset) {
    for (std::size_t k = 0; fields != nullptr && k < fields->count; ++k) {
        if (offset - fields->spans[k][0] < fields->spans[k][1]) return true;
    }
    return false;
}

// Whether `piece` (`n` bytes of the file from offset `at`) holds `contents`
// there but in the fields (none: nowhere); compared a run of equal bytes at
// a time.
bool piece_holds(const std::uint8_t* piece, std::size_t n, std::size_t at,
                 const std::uint8_t* contents, const Fields* fields) {
    for (std::size_t k = 0; k < n; ++k) {
        if (std::memcmp(piece + k, contents + at + k, n - k) == 0) return true;
        while (piece[k] == contents[at + k]) ++k;
        if (!in_fields(fields, at + k)) return false;
    }
    return true;
}

// Keeps what the piece holds in the fields.
void keep_fields(const std::uint8_t* piece, std::size_t n, std::size_t at, Fields* fields) {
    std::size_t kept = 0;
    for (std::size_t k = 0; fields != nullptr && k < fields->count; ++k) {
        const std::size_t from = fields->spans[k][0], width = fields->spans[k][1];
        for (std::size_t i = std::max(from, at); i < std::min(from + width, at + n); ++i) {
            fields->before[kept + i - from] = piece[i - at];
        }
        kept += width;
    }
}

// Whether the open file holds `contents` but in the fields (none: every
// byte), and nothing after them (`same`); what it holds there is kept. Read
// a piece at a time, with no memory to ask for.
long holds(Handle h, const std::uint8_t* contents, std::size_t size, Fields* fields, bool& same) {
    std::uint8_t piece[16384];
    same = false;
    for (std::size_t at = 0, n = 0;; at += n) {
        if (const long error = read_fully(h, piece, sizeof piece, at, n)) return error;
        if (n == 0) same = at == size;
        if (n == 0 || n > size - at || !piece_holds(piece, n, at, contents, fields)) return 0;
        keep_fields(piece, n, at, fields);
    }
}

long write_fully(Handle h, const std::uint8_t* bytes, std::size_t size, std::uint64_t offset) {
    for (std::size_t done = 0; done < size;) {
        std::size_t n = 0;
        const long error = retry_while_held(
            [&] { return os_write_at(h, bytes + done, size - done, offset + done, n); });
        if (error != 0) return error;
        done += std::min(n, size - done);
    }
    return 0;
}

// Writes each field, cut at `size`, from `contents` (or, with `restore`,
// the first `count` fields from what they held before). A failure's error
// is negative where what was written could not be undone.
long write_fields(Handle h, const std::uint8_t* contents, std::size_t size, const Fields& fields,
                  std::size_t count, bool restore) {
    std::size_t kept = 0;
    for (std::size_t k = 0; k < count; ++k) {
        const std::size_t from = fields.spans[k][0], width = fields.spans[k][1];
        const std::size_t n = from < size ? std::min(width, size - from) : 0;
        const std::uint8_t* bytes = restore ? fields.before + kept : contents + from;
        if (const long error = write_fully(h, bytes, n, from)) {
            // Half a stamp is no stamp: the fields written go back.
            const bool undone = restore || write_fields(h, contents, size, fields, k, true) == 0;
            return undone ? error : -error;
        }
        kept += width;
    }
    return 0;
}

FileFailure update_open_file(Handle h, const fs::path& path, const std::uint8_t* contents,
                             std::size_t size, Fields& fields) {
    bool same = false;
    if (const long error = holds(h, contents, size, &fields, same)) {
        return failure(Failed::read, error);
    }
    if (!same) return refusal(Refusal::changed);
    if (const long error = write_fields(h, contents, size, fields, fields.count, false)) {
        FileFailure f = failure(Failed::write, error < 0 ? -error : error);
        f.part_written = error < 0;
        return f;
    }
    if (const long error = os_flush(h, false)) return failure(Failed::flush, error);
    // This run's own bytes, fields and all, under the same name.
    if (const long error = holds(h, contents, size, nullptr, same)) {
        return failure(Failed::confirm, error);
    }
    FileFailure named = same ? os_still_named(path, h) : refusal(Refusal::changed, Failed::confirm);
    if (failed(named)) named.what = Failed::confirm;
    return named;
}

struct Temporary {
    fs::path path;
    Handle h = no_handle;
};

// A new, uniquely named temporary beside the target, registered so that an
// interrupt removes it.
long create_temporary(const Target& target, Temporary& temp) {
    std::mt19937_64 pick(
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    long error = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char tag[24];
        std::snprintf(tag, sizeof tag, ".%016llx.tmp", static_cast<unsigned long long>(pick()));
        fs::path leaf = ".";
        leaf += target.path.filename();
        leaf += tag;
        temp.path = target.path.parent_path() / leaf;
        hold_interrupts();
        error = os_create_new(temp.path, target, temp.h);
        if (error == 0) set_pending_temporary(temp.path);
        release_interrupts();
        if (!os_name_taken(error)) return error;
    }
    return error;
}

// Each attempt is one step under held interrupts, so that an interrupt
// never sees the temporary renamed but still registered, and never waits
// for the pauses.
long rename_into_place(const Temporary& temp, const fs::path& target) {
    return retry_while_held([&] {
        hold_interrupts();
        const long error = os_rename(temp.path, target);
        if (error == 0) clear_pending_temporary();
        release_interrupts();
        return error;
    });
}

// Fills the temporary and gives it the target's access, in one flush.
FileFailure fill(Handle h, const Target& target, const std::uint8_t* bytes, std::size_t size) {
    if (const long error = write_fully(h, bytes, size, 0)) {
        return failure(Failed::write, error, Step::temporary);
    }
    const long error = target.exists ? os_carry_access(h, target) : 0;
    if (error != 0) return failure(Failed::open, error, Step::access);
    if (const long flush_error = os_flush(h, true)) {
        return failure(Failed::flush, flush_error, Step::temporary);
    }
    return {};
}

// Fills and closes the temporary, whatever happens (Windows removes no open
// file), and renames it into place. Unless it was renamed, the temporary is
// still there for the caller to remove.
FileFailure fill_and_rename(const Temporary& temp, const Target& target, const std::uint8_t* bytes,
                            std::size_t size) {
    FileFailure filled = fill(temp.h, target, bytes, size);
    const long close_error = os_close(temp.h);
    if (failed(filled)) return filled;
    if (close_error != 0) return failure(Failed::flush, close_error, Step::temporary);
    if (const long rename_error = rename_into_place(temp, target.path)) {
        return failure(Failed::open, rename_error, Step::rename);
    }
    return {};
}

}  // namespace

FileFailure update_in_place(const fs::path& path, const std::uint8_t* contents, std::size_t size,
                            const std::size_t (*spans)[2], std::size_t count) {
    Fields fields{spans, count, {}};
    Handle h = no_handle;
    std::uint64_t size_now = 0;
    FileFailure f = open_file(path, true, h, size_now);
    if (failed(f)) return f;
    // Another run updating it waits until this one has read its own bytes
    // back, so that two stamps never mix.
    const long lock = retry_while_held([&] { return os_lock(h); }, os_lock_busy);
    f = os_lock_busy(lock) ? failure(Failed::open, lock)
                           : update_open_file(h, path, contents, size, fields);
    if (lock == 0) os_unlock(h);
    // A network file system may report a failed write only here.
    const long error = os_close(h);
    if (error != 0 && !failed(f)) f = failure(Failed::flush, error);
    return f;
}

FileFailure replace_file(const fs::path& path, const std::uint8_t* bytes, std::size_t size) {
    Target target;
    target.path = path;
    FileFailure f = os_inspect_target(target);
    if (failed(f)) return f;
    Temporary temp;
    if (const long error = create_temporary(target, temp)) {
        f = failure(Failed::open, error, Step::temporary);
    } else {
        f = fill_and_rename(temp, target, bytes, size);
    }
    if (failed(f)) {
        f.removal_error = remove_pending_temporary();
        if (f.removal_error != 0) f.left_behind = temp.path;
    } else if (const long error = os_flush_rename(target)) {
        // Replaced: from here on nothing can undo it.
        f = failure(Failed::flush, error, Step::rename_flush);
    }
    os_close_folder(target);
    return f;
}
