#include "tool_runner.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

extern char** environ;

namespace {

std::string env_or(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    return v != nullptr && *v != '\0' ? std::string(v) : fallback;
}

// The test process itself: no core files from the signals the tests send
// (children inherit the limit), and SIGXFSZ ignored so that a child meant
// to inherit that can (see spawn).
[[maybe_unused]] const bool process_set_up = [] {
    const rlimit no_core{0, 0};
    setrlimit(RLIMIT_CORE, &no_core);
    std::signal(SIGXFSZ, SIG_IGN);
    return true;
}();

// `program` with `args`, behind the launcher when `launch` is set.
Command command_for(const std::string& program, const std::vector<std::string>& args, bool launch) {
    Command cmd;
    std::istringstream launcher(launch ? env_or("TOLP_LAUNCHER", "") : "");
    for (std::string word; launcher >> word;) cmd.push_back(word);
    cmd.push_back(program);
    cmd.insert(cmd.end(), args.begin(), args.end());
    return cmd;
}

struct Streams {
    int in, out, err;
};

// Starts `cmd` in `dir` with the three streams and every signal at its
// default, but SIGXFSZ where `xfsz_ignored`: a Windows program under the
// emulator cannot ignore it itself (Windows has none), and the emulator
// does not, so there a size limit must reach the program as the failed
// write a full disk gives on Windows.
pid_t spawn(const fs::path& dir, const Command& cmd, Streams streams, bool xfsz_ignored,
            bool empty_argv = false, const char* locale = nullptr) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (streams.in >= 0) posix_spawn_file_actions_adddup2(&actions, streams.in, 0);
    if (streams.in < 0) posix_spawn_file_actions_addclose(&actions, 0);
    posix_spawn_file_actions_adddup2(&actions, streams.out, 1);
    posix_spawn_file_actions_adddup2(&actions, streams.err, 2);
    posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults, none;
    sigfillset(&defaults);
    if (xfsz_ignored) sigdelset(&defaults, SIGXFSZ);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    std::vector<char*> argv;
    for (const auto& a : cmd) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const char* program = argv[0] != nullptr ? argv[0] : "";
    if (empty_argv) argv = {nullptr};
    // The environment, with the locale set where one is given.
    std::vector<std::string> variables;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string v = *e;
        const bool locale_variable = v.rfind("LC_", 0) == 0 || v.rfind("LANG", 0) == 0;
        if (locale == nullptr || !locale_variable) variables.push_back(v);
    }
    if (locale != nullptr) variables.push_back(std::string("LC_ALL=") + locale);
    std::vector<char*> envp;
    for (auto& v : variables) envp.push_back(v.data());
    envp.push_back(nullptr);
    const int error = posix_spawnp(&pid, program, &actions, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? pid : -1;
}

// Polls for the child's end; kills it after `seconds`. Returns the raw status.
int wait_for(pid_t pid, double seconds, bool* timed_out) {
    if (pid < 0) return -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    int raw = 0;
    while (waitpid(pid, &raw, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &raw, 0);
            if (timed_out != nullptr) *timed_out = true;
            return raw;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return raw;
}

int status_of(int raw) {
    return raw == -1 ? -1 : WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
}

// Reads both pipes until they close, or until the deadline.
void drain(int out_fd, int err_fd, RunResult& r, double seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
    Bytes* sinks[2] = {&r.out, &r.err};
    int open_fds = (out_fd >= 0) + (err_fd >= 0);
    while (open_fds > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            r.timed_out = true;
            return;
        }
        if (poll(fds, 2, static_cast<int>(left.count())) < 0 && errno != EINTR) return;
        for (int k = 0; k < 2; ++k) {
            if (fds[k].fd < 0 || fds[k].revents == 0) continue;
            char chunk[65536];
            const ssize_t n = ::read(fds[k].fd, chunk, sizeof chunk);
            if (n > 0) {
                sinks[k]->append(chunk, static_cast<std::size_t>(n));
            } else {
                fds[k].fd = -1;
                --open_fds;
            }
        }
    }
}

// The two ends of a channel to a child: the test reads one, the child
// writes the other.
struct Ends {
    int read = -1, write = -1;
};

Ends pipe_ends() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return {};
    return {fds[0], fds[1]};
}

// A pseudo-terminal whose output is passed on byte for byte (no CR added
// before each line break).
Ends terminal_ends() {
    Ends ends;
    ends.read = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (ends.read < 0 || grantpt(ends.read) != 0 || unlockpt(ends.read) != 0) return ends;
    ends.write = open(ptsname(ends.read), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios mode{};
    if (ends.write >= 0 && tcgetattr(ends.write, &mode) == 0) {
        mode.c_oflag &= ~static_cast<tcflag_t>(OPOST);
        tcsetattr(ends.write, TCSANOW, &mode);
    }
    return ends;
}

// Where a child's standard output goes: a pipe, a terminal, or a full
// device with nothing to read.
Ends output_for(const RunOptions& options) {
    if (options.full_output) return {-1, open("/dev/full", O_WRONLY | O_CLOEXEC)};
    return options.terminal_locale != nullptr ? terminal_ends() : pipe_ends();
}

void close_fd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

// The text of a /proc file of process `pid`.
std::string proc_text(pid_t pid, const char* file) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/" + file);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

std::string tool_path() {
    return env_or("TOLP_TOOL", TOLP_DEFAULT_TOOL);
}

std::string program_name_seen() {
    return env_or("TOLP_PROGRAM_NAME", tool_path());
}

bool launched() {
    return !env_or("TOLP_LAUNCHER", "").empty();
}

::testing::AssertionResult reason_line(const Bytes& expected, const Bytes& err) {
    // The lines before the last (the tool's own warnings) are exact.
    const std::size_t last =
        expected.size() > 1 ? expected.rfind('\n', expected.size() - 2) + 1 : 0;
    const Bytes head = console(expected.substr(0, last)), line = expected.substr(last);
    const std::size_t name_end = line.find(": ");
    const Bytes rest = err.rfind(head, 0) == 0 ? err.substr(head.size()) : Bytes(1, '\0');
    const bool same = launched() && name_end != Bytes::npos
                          ? rest.rfind(console(line.substr(0, name_end + 2)), 0) == 0 &&
                                rest.size() > name_end + 4
                          : rest == console(line);
    if (same) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "standard error: '" << err << "', expected '" << expected << "'";
}

bool crlf_console() {
    return env_or("TOLP_CRLF", "0") == "1";
}

Bytes console(const Bytes& text) {
    if (!crlf_console()) return text;
    Bytes out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

std::string declared_program(const std::string& name) {
    // "name=path,name=path,...", as tests/CMakeLists.txt found them.
    std::istringstream all{std::string(TOLP_DECLARED_PROGRAMS)};
    for (std::string entry; std::getline(all, entry, ',');) {
        const auto equals = entry.find('=');
        if (entry.compare(0, equals, name) == 0 && equals == name.size()) {
            const std::string path = entry.substr(equals + 1);
            return path.find("NOTFOUND") == std::string::npos ? path : "";
        }
    }
    ADD_FAILURE() << name << " is not among the programs tests/CMakeLists.txt declares";
    return "";
}

Command tool_command(const std::vector<std::string>& args) {
    return command_for(tool_path(), args, true);
}

Command checker_command(const std::vector<std::string>& args) {
    // A checker named explicitly is another build: it runs behind the launcher.
    const bool other_build = std::getenv("TOLP_CHECKER") != nullptr;
    return command_for(env_or("TOLP_CHECKER", TOLP_DEFAULT_CHECKER), args, other_build);
}

Command launched_command(const std::string& program, const std::vector<std::string>& args) {
    return command_for(program, args, true);
}

Command traced(const std::vector<std::string>& options, const Command& cmd) {
    Command full{declared_program("strace"), "-D", "-qq", "-o", "/dev/null"};
    full.insert(full.end(), options.begin(), options.end());
    full.insert(full.end(), cmd.begin(), cmd.end());
    return full;
}

std::vector<std::string> calls_made(const fs::path& dir, const std::string& calls,
                                    const Command& cmd) {
    TempDir side;
    Command trace{declared_program("strace"), "-qq", "-o",
                  (side / "trace").string(),  "-e",  "trace=" + calls};
    trace.insert(trace.end(), cmd.begin(), cmd.end());
    const int status = run_command(dir, trace).status;
    EXPECT_EQ(status, 0) << "the traced run failed";
    std::vector<std::string> made;
    std::istringstream lines(read_file(side / "trace"));
    for (std::string line; std::getline(lines, line);)
        made.push_back(line.substr(0, line.find('(')));
    return made;
}

bool wait_until(const std::function<bool()>& ready, double seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!ready()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

namespace {
// Output goes through pipes, not files, so that a file-size limit applies
// only to the files the program itself writes.
RunResult run_once(const fs::path& dir, const Command& cmd, RunOptions options) {
    RunResult r;
    Command full = cmd;
    if (options.file_size >= 0) {
        full = {declared_program("prlimit"), "--fsize=" + std::to_string(options.file_size), "--"};
        full.insert(full.end(), cmd.begin(), cmd.end());
    }
    Ends keyboard = options.terminal_input ? terminal_ends() : Ends{};
    if (keyboard.read >= 0 && ::write(keyboard.read, "\n", 1) != 1) close_fd(keyboard.read);
    int in = options.closed_input     ? -1
             : options.terminal_input ? keyboard.write
                                      : open("/dev/null", O_RDONLY | O_CLOEXEC);
    Ends out = output_for(options), err = pipe_ends();
    const pid_t pid =
        spawn(dir, full, {in, out.write, err.write}, launched() && options.file_size >= 0,
              options.empty_argv, options.terminal_locale);
    close_fd(in);
    close_fd(out.write);
    close_fd(err.write);
    if (pid < 0) {
        ADD_FAILURE() << "cannot start " << cmd.at(0);
        close_fd(out.read);
        close_fd(err.read);
        return r;
    }
    drain(out.read, err.read, r, options.seconds);
    close_fd(out.read);
    close_fd(err.read);
    bool killed = false;
    r.status = status_of(wait_for(pid, r.timed_out ? 0 : options.seconds, &killed));
    r.timed_out = r.timed_out || killed;
    close_fd(keyboard.read);
    return r;
}

// `cmd` refused memory from its last call `from` on: mmap with ENOMEM, brk
// by leaving the break below the address asked for. Whatever the allocator
// asks for from there cannot be had.
Command short_of_memory(const fs::path& dir, const std::string& from, const Command& cmd) {
    TempDir copy;
    fs::copy(dir, copy.path(), fs::copy_options::recursive);
    std::map<std::string, int> made, before;
    for (const auto& call : calls_made(copy.path(), from + ",mmap,brk", cmd)) {
        if (call == from) before = made;
        ++made[call];
    }
    return traced({"-e", "trace=mmap,brk", "-e",
                   "inject=mmap:error=ENOMEM:when=" + std::to_string(before["mmap"] + 1) + "+",
                   "-e", "inject=brk:retval=1:when=" + std::to_string(before["brk"] + 1) + "+"},
                  cmd);
}
}  // namespace

// Now and then under load the emulator fails to start a program: status 1,
// nothing written on either stream, which neither program ever does (each
// writes before it can end). Such a start is made once more.
RunResult run_command(const fs::path& dir, const Command& given, RunOptions options) {
    const char* const from = options.memory_refused_from;
    const Command cmd = from != nullptr ? short_of_memory(dir, from, given) : given;
    RunResult r = run_once(dir, cmd, options);
    if (launched() && r.status == 1 && r.out.empty() && r.err.empty() && !options.full_output) {
        std::cout << "started again, the emulator's run had written nothing: " << cmd.back()
                  << "\n";
        r = run_once(dir, cmd, options);
    }
    return r;
}

RunResult run_tool(const fs::path& dir, const std::vector<std::string>& args, RunOptions options) {
    return run_command(dir, tool_command(args), options);
}

RunResult run_checker(const fs::path& dir, const std::vector<std::string>& args,
                      RunOptions options) {
    return run_command(dir, checker_command(args), options);
}

PipedRun::PipedRun(const fs::path& dir, const Command& command) {
    const Ends in = pipe_ends(), out = pipe_ends(), err = pipe_ends();
    pid_ = spawn(dir, command, {in.read, out.write, err.write}, false);
    if (pid_ < 0) ADD_FAILURE() << "cannot start " << command.at(0);
    close(in.read);
    close(out.write);
    close(err.write);
    to_child_ = in.write;
    from_child_ = out.read;
    errors_ = err.read;
}

PipedRun::~PipedRun() {
    if (pid_ > 0 && result.status < 0) finish(0);
    close_fd(to_child_);
    close_fd(from_child_);
    close_fd(errors_);
}

Bytes PipedRun::read_output(std::size_t size, double seconds) {
    Bytes got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (got.size() < size) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd p{from_child_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
        char chunk[4096];
        const ssize_t n = ::read(from_child_, chunk, sizeof chunk);
        if (n <= 0) break;
        got.append(chunk, static_cast<std::size_t>(n));
    }
    return got;
}

bool PipedRun::running() {
    if (result.status >= 0) return false;
    int raw = 0;
    if (waitpid(pid_, &raw, WNOHANG) == 0) return true;
    result.status = status_of(raw);
    return false;
}

void PipedRun::send(const std::string& keys) {
    if (::write(to_child_, keys.data(), keys.size()) != static_cast<ssize_t>(keys.size())) {
        ADD_FAILURE() << "cannot send keys to the program";
    }
}

void PipedRun::end_input() {
    close_fd(to_child_);
}

void PipedRun::signal(int sig) {
    if (result.status < 0) kill(pid_, sig);
}

bool PipedRun::in_syscall(long nr, char state, const fs::path& file) const {
    // The state follows the command name in parentheses.
    const std::string stat = proc_text(pid_, "stat");
    const auto at = stat.rfind(") ");
    if (at == std::string::npos || stat.size() < at + 3 || stat[at + 2] != state) return false;
    // The call's number, then its arguments in hex.
    std::istringstream syscall(proc_text(pid_, "syscall"));
    long current = -1;
    std::string first;
    if (!(syscall >> current >> first) || current != nr) return false;
    if (file.empty()) return true;
    const std::string fd = std::to_string(std::stol(first, nullptr, 16));
    std::error_code ec;
    const fs::path named = fs::read_symlink("/proc/" + std::to_string(pid_) + "/fd/" + fd, ec);
    return !ec && fs::equivalent(named, file, ec);
}

bool PipedRun::blocked_in(long nr) const {
    return in_syscall(nr, 'S');
}

bool PipedRun::stopped_in(long nr, const fs::path& file) const {
    return in_syscall(nr, 't', file);  // a tracing stop
}

void PipedRun::release() {
    std::istringstream status(proc_text(pid_, "status"));
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("TracerPid:", 0) == 0) {
            const pid_t tracer = std::atoi(line.c_str() + 10);
            if (tracer > 0) kill(tracer, SIGKILL);
        }
    }
}

int PipedRun::finish(double seconds) {
    if (result.status < 0) result.status = status_of(wait_for(pid_, seconds, nullptr));
    close_fd(to_child_);
    drain(from_child_, errors_, result, 10);
    close_fd(from_child_);
    close_fd(errors_);
    return result.status;
}
