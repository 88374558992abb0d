// Interrupts and the one temporary file a run may have on disk at a time.
//
// While a file is being replaced, its new contents live in a temporary beside
// it. Every signal that would end the process and can be caught (SIGHUP,
// SIGINT, SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2, SIGALRM, SIGPIPE, SIGXCPU,
// SIGVTALRM, SIGPROF, SIGIO and, where the system has them, SIGSTKFLT,
// SIGPWR and the real-time signals; on Windows Ctrl+C, Ctrl+Break and
// closing the console window) removes that temporary before the process
// ends as the signal would end it. A file-size limit (SIGXFSZ) is ignored,
// so it surfaces as the short write it is.
#ifndef TOLP_INTERRUPTS_H
#define TOLP_INTERRUPTS_H

#include <filesystem>

// Installs the handlers; called once at the start of the run. Interrupts the
// caller already ignores (a job started with nohup) stay ignored.
void guard_interrupts();

// Creating, renaming and forgetting the temporary happen between these two,
// so an interrupt never sees a temporary that is half registered.
void hold_interrupts();
void release_interrupts();

// The temporary that an interrupt or a stop must remove; cleared once it has
// been renamed into place or removed.
void set_pending_temporary(const std::filesystem::path& temp);
void clear_pending_temporary();

// Removes the pending temporary, if any: 0, or the system's code for why
// it could not be removed.
long remove_pending_temporary();

#endif
