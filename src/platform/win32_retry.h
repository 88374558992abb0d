// The retry both the reader and the replacement use on Windows.
#ifndef TOLP_WIN32_RETRY_H
#define TOLP_WIN32_RETRY_H

#include <windows.h>

// A virus scanner or indexer, or another run renaming over the file, may
// hold it for a moment: calls `attempt` again for about two seconds, pausing
// longer each time, while it fails for that reason (a sharing or lock
// violation, or access denied to a file about to be deleted).
template <typename Attempt>
inline bool retry_while_held(Attempt attempt) {
    DWORD pause = 10, waited = 0;
    for (;;) {
        if (attempt()) return true;
        const DWORD error = GetLastError();
        const bool held = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ||
                          error == ERROR_LOCK_VIOLATION;
        if (!held || waited >= 2000) {
            return false;
        }
        Sleep(pause);
        waited += pause;
        pause = pause * 2 < 2000 - waited ? pause * 2 : 2000 - waited;
    }
}

#endif
