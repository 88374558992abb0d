#include "interrupts.h"

#include <algorithm>
#include <csignal>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

using Char = std::filesystem::path::value_type;

// The pending temporary's path, written only with interrupts held, so the
// handler reads it whole. An empty string means none.
Char pending[4096];

bool store_pending(const std::filesystem::path& temp) {
    const auto& name = temp.native();
    if (name.size() >= sizeof pending / sizeof pending[0]) return false;
    std::copy(name.begin(), name.end(), pending);
    pending[name.size()] = 0;
    return true;
}

#ifdef _WIN32

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

void remove_file(const Char* name) {
    DeleteFileW(name);
}

#else

// Every signal that ends a process by default and can be caught, but for
// those a crash raises (SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGSYS,
// SIGTRAP) and SIGXFSZ, which is ignored. The real-time signals follow.
constexpr int caught[] = {
    SIGHUP,    SIGINT,  SIGQUIT, SIGTERM,   SIGUSR1, SIGUSR2,
    SIGALRM,   SIGPIPE, SIGXCPU, SIGVTALRM, SIGPROF,
#ifdef SIGIO
    SIGIO,
#elif defined(SIGPOLL)
    SIGPOLL,
#endif
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
#ifdef SIGLOST
    SIGLOST,
#endif
};
sigset_t caught_set;

template <typename Visit>
void for_each_caught(Visit visit) {
    for (int sig : caught) visit(sig);
#ifdef SIGRTMIN
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) visit(sig);
#endif
}

extern "C" void on_interrupt(int sig) {
    if (pending[0] != 0) unlink(pending);
    // The signal is blocked while this handler runs: raised again with its
    // default action, it ends the process as soon as the handler returns.
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

void remove_file(const Char* name) {
    unlink(name);
}

#endif

}  // namespace

void guard_interrupts() {
#ifdef _WIN32
    SetConsoleCtrlHandler(on_console_event, TRUE);
#else
    std::signal(SIGXFSZ, SIG_IGN);
    sigemptyset(&caught_set);
    for_each_caught([](int sig) { sigaddset(&caught_set, sig); });
    for_each_caught([](int sig) {
        struct sigaction old {};
        if (sigaction(sig, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) return;
        struct sigaction action {};
        action.sa_handler = on_interrupt;
        action.sa_mask = caught_set;
        sigaction(sig, &action, nullptr);
    });
#endif
}

void hold_interrupts() {
#ifdef _WIN32
    AcquireSRWLockExclusive(&guard);
#else
    sigprocmask(SIG_BLOCK, &caught_set, nullptr);
#endif
}

void release_interrupts() {
#ifdef _WIN32
    ReleaseSRWLockExclusive(&guard);
#else
    sigprocmask(SIG_UNBLOCK, &caught_set, nullptr);
#endif
}

void set_pending_temporary(const std::filesystem::path& temp) {
    if (!store_pending(temp)) pending[0] = 0;
}

void clear_pending_temporary() {
    pending[0] = 0;
}

void remove_pending_temporary() {
    hold_interrupts();
    if (pending[0] != 0) remove_file(pending);
    pending[0] = 0;
    release_interrupts();
}
