#include <windows.h>

#include "interrupts.h"
#include "pending_temporary.h"

namespace {

SRWLOCK guard = SRWLOCK_INIT;

// Runs on a thread of its own. It takes the guard for good, removes the
// temporary and ends the process with the status Windows gives an
// interrupted program (STATUS_CONTROL_C_EXIT), without running the C
// library's cleanup on a main thread stopped anywhere.
BOOL WINAPI on_console_event(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) {
        return FALSE;
    }
    AcquireSRWLockExclusive(&guard);
    const PathChar* pending = pending_temporary();
    if (pending[0] != 0) delete_temporary(pending);
    // Does not return; where it fails, the next handler (Windows' own) ends
    // the process.
    return TerminateProcess(GetCurrentProcess(), static_cast<UINT>(STATUS_CONTROL_C_EXIT));
}

}  // namespace

void guard_interrupts() {
    SetConsoleCtrlHandler(on_console_event, TRUE);
}

void hold_interrupts() {
    AcquireSRWLockExclusive(&guard);
}

void release_interrupts() {
    ReleaseSRWLockExclusive(&guard);
}

long delete_temporary(const PathChar* name) {
    return DeleteFileW(name) ? 0 : static_cast<long>(GetLastError());
}
