// Starts the built tool as the operator would: in a given folder, with its
// own standard input, capturing standard output and standard error.
//
// TOLP_TOOL names the executable (default: the one this build made) and
// TOLP_LAUNCHER an optional command prefix, split at spaces (for example an
// emulator), so the same cases can run against another build of the tool.
// TOLP_CRLF=1 says that build writes each "\n" of a text as CR LF.
#ifndef TOLP_TOOL_RUNNER_H
#define TOLP_TOOL_RUNNER_H

#include <string>
#include <vector>

#include <sys/types.h>

#include "test_support.h"

struct RunResult {
    int status = -1;         // exit status as the parent sees it (low 8 bits)
    bool timed_out = false;  // killed after waiting too long
    Bytes out;               // standard output
    Bytes err;               // standard error
};

struct RunLimits {
    long file_size = -1;      // RLIMIT_FSIZE in bytes; -1: none
    long address_space = -1;  // RLIMIT_AS in bytes; -1: none
};

// Runs the tool in `dir` with stdin from an empty file and waits for it.
RunResult run_tool(const fs::path& dir, const std::vector<std::string>& args,
                   RunLimits limits = {});

// Runs Tolp_image_check in `dir` with `images` as its arguments: the native
// build, or the one TOLP_CHECKER names, behind the launcher.
RunResult run_checker(const fs::path& dir, const std::vector<std::string>& images);

// Passes when the checker calls every merged image in `dir` consistent,
// except those whose download image is too short to hold even the length
// field: it must call those too short.
::testing::AssertionResult checker_accepts_merged_images(const fs::path& dir);

// The tool's path as it is started, and as the tool sees its own name.
std::string tool_path();
std::string program_name_seen();

// True when the tool runs behind a launcher (an emulator for another build).
bool launched();

// Console text as this build writes it: "\n" becomes CR LF under TOLP_CRLF.
Bytes console(const Bytes& text);
bool crlf_console();

// A tool started with standard input and output on pipes held open by the
// test, to watch a stop wait for its key.
class PipedRun {
public:
    PipedRun(const fs::path& dir, const std::vector<std::string>& args);
    // Any other program, started the same way.
    struct Command {
        std::vector<std::string> argv;
    };
    PipedRun(const fs::path& dir, const Command& command);
    ~PipedRun();
    PipedRun(const PipedRun&) = delete;
    PipedRun& operator=(const PipedRun&) = delete;

    // Reads stdout until it has `size` bytes or `seconds` pass.
    Bytes read_output(std::size_t size, double seconds);
    bool running();
    void send(const std::string& keys);
    void signal(int sig);
    // Waits for the end (killing the tool after `seconds`); the exit status.
    int finish(double seconds);

private:
    pid_t pid_ = -1;
    int to_tool_ = -1;
    int from_tool_ = -1;
    int status_ = -1;
};

#endif
