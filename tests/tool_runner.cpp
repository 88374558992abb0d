#include "tool_runner.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <set>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "image_format.h"

namespace {

constexpr double run_timeout_seconds = 60;

std::string env_or(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    return v != nullptr && *v != '\0' ? std::string(v) : fallback;
}

// `program` with `args`, behind the launcher when `launch` is set.
std::vector<std::string> command_for(const std::string& program,
                                     const std::vector<std::string>& args, bool launch) {
    std::vector<std::string> cmd;
    std::istringstream launcher(launch ? env_or("TOLP_LAUNCHER", "") : "");
    for (std::string word; launcher >> word;) cmd.push_back(word);
    cmd.push_back(program);
    cmd.insert(cmd.end(), args.begin(), args.end());
    return cmd;
}

std::vector<std::string> command_for(const std::vector<std::string>& args) {
    return command_for(tool_path(), args, true);
}

// In the child: enter the folder, apply limits, start the tool. Never returns.
[[noreturn]] void exec_tool(const fs::path& dir, const std::vector<std::string>& cmd,
                            RunLimits limits) {
    if (chdir(dir.c_str()) != 0) _exit(127);
    // A Windows program cannot ignore SIGXFSZ (Windows has none) and the
    // emulator does not: there a size limit must reach the program as the
    // failed write a full disk gives on Windows.
    if (launched() && limits.file_size >= 0) std::signal(SIGXFSZ, SIG_IGN);
    limit_resource(RLIMIT_FSIZE, limits.file_size);
    limit_resource(RLIMIT_AS, limits.address_space);
    std::vector<char*> argv;
    for (const auto& a : cmd) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
}

// Polls for the child's end; kills it after `seconds`. Returns the raw status.
int wait_for(pid_t pid, double seconds, bool* timed_out) {
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
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
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

namespace {

// Reads both pipes until the tool closes them, or until the deadline.
void drain(int out_fd, int err_fd, RunResult& r, double seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
    Bytes* sinks[2] = {&r.out, &r.err};
    int open_fds = 2;
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

}  // namespace

// Output goes through pipes, not files, so that a file-size limit applies
// only to the files the tool itself writes.
RunResult run_command(const fs::path& dir, const std::vector<std::string>& cmd, RunLimits limits) {
    TempDir capture;  // kept apart from `dir`, whose every file is checked
    const fs::path in = capture / "stdin";
    write_file(in, "");
    int out[2], err[2];
    RunResult r;
    if (pipe(out) != 0 || pipe(err) != 0) return r;
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd_in = open(in.c_str(), O_RDONLY);
        if (fd_in < 0) _exit(127);
        dup2(fd_in, 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        close(out[0]);
        close(err[0]);
        exec_tool(dir, cmd, limits);
    }
    close(out[1]);
    close(err[1]);
    drain(out[0], err[0], r, run_timeout_seconds);
    close(out[0]);
    close(err[0]);
    bool killed = false;
    r.status = status_of(wait_for(pid, r.timed_out ? 0 : run_timeout_seconds, &killed));
    r.timed_out = r.timed_out || killed;
    return r;
}

std::string checker_path() {
    return env_or("TOLP_CHECKER", TOLP_DEFAULT_CHECKER);
}

RunResult run_checker(const fs::path& dir, const std::vector<std::string>& images) {
    // A checker named explicitly is another build: it runs behind the launcher.
    const bool other_build = std::getenv("TOLP_CHECKER") != nullptr;
    return run_command(dir, command_for(checker_path(), images, other_build), {});
}

::testing::AssertionResult checker_accepts_merged_images(const fs::path& dir) {
    const std::set<std::string> inputs{"download.bin", "offline.bin", "ramboot.bin"};
    std::ostringstream problems;
    for (const auto& e : fs::directory_iterator(dir)) {
        const std::string name = e.path().filename().string();
        if (!e.is_regular_file() || inputs.count(name) != 0 || e.path().extension() != ".bin") {
            continue;
        }
        const int expected = fs::file_size(e.path()) < smallest_checkable_image ? 2 : 0;
        const RunResult check = run_checker(dir, {name});
        if (check.status != expected) {
            problems << "\n"
                     << name << ": status " << check.status << ", expected " << expected << "\n"
                     << check.out;
        }
    }
    if (problems.str().empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "the checker's verdict on the tool's images:" << problems.str();
}

RunResult run_tool(const fs::path& dir, const std::vector<std::string>& args, RunLimits limits) {
    return run_command(dir, command_for(args), limits);
}

PipedRun::PipedRun(const fs::path& dir, const std::vector<std::string>& args)
    : PipedRun(dir, Command{command_for(args)}) {}

PipedRun::PipedRun(const fs::path& dir, const Command& command) {
    const std::vector<std::string>& cmd = command.argv;
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        close(in[1]);
        close(out[0]);
        exec_tool(dir, cmd, {});
    }
    close(in[0]);
    close(out[1]);
    to_tool_ = in[1];
    from_tool_ = out[0];
}

PipedRun::~PipedRun() {
    if (pid_ > 0 && status_ < 0) finish(0);
    if (to_tool_ >= 0) close(to_tool_);
    if (from_tool_ >= 0) close(from_tool_);
}

Bytes PipedRun::read_output(std::size_t size, double seconds) {
    Bytes got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (got.size() < size) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd p{from_tool_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
        char chunk[4096];
        const ssize_t n = ::read(from_tool_, chunk, sizeof chunk);
        if (n <= 0) break;
        got.append(chunk, static_cast<std::size_t>(n));
    }
    return got;
}

bool PipedRun::running() {
    if (status_ >= 0) return false;
    int raw = 0;
    if (waitpid(pid_, &raw, WNOHANG) == 0) return true;
    status_ = status_of(raw);
    return false;
}

void PipedRun::send(const std::string& keys) {
    if (::write(to_tool_, keys.data(), keys.size()) != static_cast<ssize_t>(keys.size())) {
        ADD_FAILURE() << "cannot send keys to the tool";
    }
}

void PipedRun::signal(int sig) {
    if (status_ < 0) kill(pid_, sig);
}

int PipedRun::finish(double seconds) {
    if (status_ < 0) status_ = status_of(wait_for(pid_, seconds, nullptr));
    return status_;
}
