#include <windows.h>

#include <algorithm>

#include "interrupts.h"

namespace {

// The pending temporary's path, written only under the guard, so the
// handler reads it whole. An empty string means none.
wchar_t pending[4096];

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
    if (pending[0] != 0) DeleteFileW(pending);
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(STATUS_CONTROL_C_EXIT));
    return TRUE;
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

void set_pending_temporary(const std::filesystem::path& temp) {
    const auto& name = temp.native();
    const bool fits = name.size() < sizeof pending / sizeof pending[0];
    std::copy(name.begin(), fits ? name.end() : name.begin(), pending);
    pending[fits ? name.size() : 0] = 0;
}

void clear_pending_temporary() {
    pending[0] = 0;
}

void remove_pending_temporary() {
    hold_interrupts();
    if (pending[0] != 0) DeleteFileW(pending);
    pending[0] = 0;
    release_interrupts();
}
