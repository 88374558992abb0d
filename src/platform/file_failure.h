// Why a file could not be used, as the platform's file calls report it: the
// system's error code behind a failed call, or a refusal of the platform's
// own where no call failed.
#ifndef TOLP_FILE_FAILURE_H
#define TOLP_FILE_FAILURE_H

enum class Refusal {
    none,
    not_regular,  // a folder, a device, a FIFO
    read_only,    // no write bit (refused even where root could write it)
    set_id,       // a write would clear its set-user-ID or set-group-ID bit
    capability,   // a write would clear its file capability
    changed,      // it no longer holds what was read from it
};

struct FileFailure {
    long error = 0;  // errno; GetLastError() on Windows; 0 for a refusal
    Refusal refusal = Refusal::none;
};

#endif
