#include <cerrno>
#include <csignal>

#include <unistd.h>

#include "interrupts.h"
#include "pending_temporary.h"

namespace {

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
    const PathChar* pending = pending_temporary();
    if (pending[0] != 0) delete_temporary(pending);
    // The signal is blocked while this handler runs: raised again with its
    // default action, it ends the process as soon as the handler returns.
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

}  // namespace

void guard_interrupts() {
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
}

void hold_interrupts() {
    sigprocmask(SIG_BLOCK, &caught_set, nullptr);
}

void release_interrupts() {
    sigprocmask(SIG_UNBLOCK, &caught_set, nullptr);
}

long delete_temporary(const PathChar* name) {
    return unlink(name) == 0 ? 0 : errno;
}
