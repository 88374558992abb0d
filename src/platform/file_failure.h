// Why a file call did not do all it should, as the platform reports it to
// the programs, which put it into words: what failed, and the system's error
// code behind it or a refusal of the platform's own where no call failed.
#ifndef TOLP_FILE_FAILURE_H
#define TOLP_FILE_FAILURE_H

#include <filesystem>

enum class Failed {
    nothing,
    open,     // not opened, or refused: nothing was written
    read,     // a read failed: nothing was written
    write,    // the bytes could not be written in full
    flush,    // written, but not flushed to disk, or the file not closed
    confirm,  // written and flushed, but reading it back did not show them
};

enum class Refusal {
    none,
    folder,       // a folder where a file belongs
    not_regular,  // a device, a FIFO, a folder where a new file belongs
    read_only,    // no write bit (refused even where root could write it)
    set_id,       // a write would clear its set-user-ID or set-group-ID bit
    capability,   // a write would clear its file capability
    changed,      // it no longer holds what was read from it
};

// Where a replacement stopped.
enum class Step {
    target,        // what is at the name: not to be replaced
    folder,        // the folder could not be opened
    temporary,     // a temporary beside it could not be made, written or flushed
    access,        // the temporary could not take the target's access rules
    rename,        // it could not be renamed over the name
    rename_flush,  // the rename could not be flushed: replaced, not known to be on disk
};

struct FileFailure {
    Failed what = Failed::nothing;
    long error = 0;  // errno; GetLastError() on Windows; 0 with a refusal
    Refusal refusal = Refusal::none;
    Step step = Step::target;
    // A temporary that could not be removed, and the system's code for why:
    // the operator has to delete it.
    std::filesystem::path left_behind;
    long removal_error = 0;
    // Part of the bytes were written and could not be undone.
    bool part_written = false;
};

inline bool failed(const FileFailure& f) {
    return f.what != Failed::nothing;
}

inline FileFailure failure(Failed what, long error, Step step = Step::target) {
    return {what, error, Refusal::none, step, {}, 0, false};
}

inline FileFailure refusal(Refusal why, Failed what = Failed::open) {
    return {what, 0, why, Step::target, {}, 0, false};
}

#endif
