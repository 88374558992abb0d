// Starts the built tool as the operator would: in a given folder, with its
// own standard input, capturing standard output and standard error.
//
// TOLP_TOOL names the executable (default: the one this build made) and
// TOLP_LAUNCHER an optional command prefix, split at spaces (for example an
// emulator), so the same cases can run against another build of the tool.
// TOLP_CRLF=1 says that build writes each "\n" of a text as CR LF.
//
// Every child is started with posix_spawn, default signal dispositions and
// only its three standard streams open.
#ifndef TOLP_TOOL_RUNNER_H
#define TOLP_TOOL_RUNNER_H

#include <functional>
#include <string>
#include <vector>

#include <sys/types.h>

#include "test_support.h"

struct RunResult {
    int status = -1;         // exit status as the parent sees it (low 8 bits; 128 + signal)
    bool timed_out = false;  // killed after waiting too long
    Bytes out;               // standard output
    Bytes err;               // standard error
};

struct RunOptions {
    long file_size = -1;       // RLIMIT_FSIZE in bytes; -1: none
    bool full_output = false;  // standard output on /dev/full instead of a pipe
    // Under strace, every request for more memory refused from the last
    // system call of this name on, as on a machine that has run out (the
    // calls counted in a normal run in a copy of the folder).
    const char* memory_refused_from = nullptr;
    bool empty_argv = false;  // no arguments at all, not even the program's name
    // Standard output on a pseudo-terminal (passing bytes unchanged), with
    // LC_ALL set to this locale; null: a pipe and the test's own locale.
    const char* terminal_locale = nullptr;
    // Standard input on a pseudo-terminal, Enter typed ahead; otherwise an
    // empty file.
    bool terminal_input = false;
    // Standard input closed, so that the files it opens take the lowest
    // descriptors, 0 among them.
    bool closed_input = false;
    double seconds = 60;  // killed after this long
};

using Command = std::vector<std::string>;

// Runs `cmd` in `dir` with stdin from an empty file and waits for it.
RunResult run_command(const fs::path& dir, const Command& cmd, RunOptions options = {});

// The tool, or Tolp_image_check, with `args`: the native builds, or those
// TOLP_TOOL and TOLP_CHECKER name, behind the launcher.
Command tool_command(const std::vector<std::string>& args);
Command checker_command(const std::vector<std::string>& args);
// Any program of the other build's kind, behind the launcher.
Command launched_command(const std::string& program, const std::vector<std::string>& args);

RunResult run_tool(const fs::path& dir, const std::vector<std::string>& args,
                   RunOptions options = {});
RunResult run_checker(const fs::path& dir, const std::vector<std::string>& args,
                      RunOptions options = {});

// The tool's path as it is started, and as the tool sees its own name.
std::string tool_path();
std::string program_name_seen();

// Whether standard error `err` is `expected`: lines the tool writes itself,
// then a reason line "NAME: REASON\n" (or nothing), where a Windows build
// gives the NAME and a reason in Windows' words.
::testing::AssertionResult reason_line(const Bytes& expected, const Bytes& err);

// True when the tool runs behind a launcher (an emulator for another build).
bool launched();

// Console text as this build writes it: "\n" becomes CR LF under TOLP_CRLF.
Bytes console(const Bytes& text);
bool crlf_console();

// The other programs the tests run, as the build found them (see
// tests/CMakeLists.txt); empty when this machine lacks it.
std::string declared_program(const std::string& name);

// Skips the test, saying why, when a program it runs is missing.
#define REQUIRE_PROGRAM(name)                                                             \
    if (declared_program(name).empty()) {                                                 \
        GTEST_SKIP() << (name) << " is not installed (re-run cmake after installing it)"; \
    }

// `cmd` under strace with `options` (for example "-e",
// "inject=fsync:delay_enter=60s:when=1"), tracing nothing else. The traced
// program stays a direct child of ours, so its status is the one seen.
Command traced(const std::vector<std::string>& options, const Command& cmd);

// The system calls among `calls` (comma-separated) that `cmd` makes in a
// normal run in `dir`, in order, as strace sees them.
std::vector<std::string> calls_made(const fs::path& dir, const std::string& calls,
                                    const Command& cmd);

// Polls `ready` until it holds or `seconds` pass; whether it held.
bool wait_until(const std::function<bool()>& ready, double seconds);

// A program started with standard input, output and error on pipes held
// open by the test, to watch it while it runs.
class PipedRun {
public:
    PipedRun(const fs::path& dir, const Command& command);
    ~PipedRun();
    PipedRun(const PipedRun&) = delete;
    PipedRun& operator=(const PipedRun&) = delete;

    // Reads stdout until it has `size` bytes or `seconds` pass.
    Bytes read_output(std::size_t size, double seconds);
    bool running();
    void send(const std::string& keys);
    // Closes its standard input: a stop waiting for a key ends at once.
    void end_input();
    void signal(int sig);
    // Whether it waits in system call `nr` (blocked, say for input).
    bool blocked_in(long nr) const;
    // Under strace: whether it is stopped at the entry of system call `nr`
    // and, given a `file`, whether that call's first argument is a
    // descriptor of that file.
    bool stopped_in(long nr, const fs::path& file = {}) const;
    // Under strace: lets it go on at once, ending the tracer (and any delay
    // it was holding the program in).
    void release();
    // Waits for the end (killing it after `seconds`); the exit status. The
    // rest of its output and its standard error are then in `result`.
    int finish(double seconds);
    RunResult result;

private:
    bool in_syscall(long nr, char state, const fs::path& file = {}) const;
    pid_t pid_ = -1;
    int to_child_ = -1;
    int from_child_ = -1;
    int errors_ = -1;
};

#endif
