// Real faults around a run: other runs in the same folder, every signal at
// each critical moment, every file-related system call failing in turn,
// access rules on the files, a power cut right after success, and (under
// Wine) inputs held open by another program. Whatever happens, a run that
// ends with status 0 has left complete, right images, and no run leaves a
// temporary behind.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <future>
#include <iostream>
#include <memory>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "e2e_support.h"
#include "tool_runner.h"

namespace {

// The largest images a run takes: the widest window for anything to go wrong.
const Images maximal{pattern_bytes(40960, 1), pattern_bytes(12288, 2), pattern_bytes(204800, 3)};
// Small ones, where only the order of events matters.
const Images small{pattern_bytes(3000, 4), pattern_bytes(2000, 5), pattern_bytes(5000, 6)};

#if defined(__SANITIZE_ADDRESS__)
constexpr bool under_sanitizer = true;
#else
constexpr bool under_sanitizer = false;
#endif

struct Call {
    std::string mac;
    std::uint8_t mac_bytes[6];
    int count;
};

Call call_number(int k) {
    Call c{formatted("11-22-33-44-%02X-%02X", k / 256, k % 256), {0x11, 0x22, 0x33, 0x44}, 100 + k};
    c.mac_bytes[4] = static_cast<std::uint8_t>(k / 256);
    c.mac_bytes[5] = static_cast<std::uint8_t>(k % 256);
    return c;
}

Bytes whole_transcript(const Call& c, const Bytes& download) {
    Bytes decoded;
    for (std::uint8_t b : c.mac_bytes) decoded += formatted("%#X ", b);
    return run_transcript(c.mac, c.count, decoded + "\n", download);
}

// Runs with the same arguments stamp the same bytes: all end with 0. With
// other arguments, a run whose stamp another overwrote before it read its
// own back ends with 1 and says so, writing no merged image; download.bin
// holds the stamp of a run that ended with 0.
TEST(Reliability, OverlappingRunsInOneFolderEachMakeTheImageTheirNameSays) {
    constexpr int runs_at_once = 8;
    // Under the emulator every start costs far more; fewer rounds still
    // overlap every run with seven others.
    const int rounds = launched() ? 4 : 20;
    const std::uint32_t checksum = reference_checksum(maximal.download);
    for (int round = 0; round < rounds; ++round) {
        const bool same_arguments = round % 2 == 0;
        TempDir dir;
        put_images(dir, maximal);
        std::vector<Call> calls;
        std::vector<std::future<RunResult>> started;
        for (int k = 0; k < runs_at_once; ++k) {
            calls.push_back(call_number(same_arguments ? round : round * runs_at_once + k));
            const std::vector<std::string> args{calls.back().mac,
                                                std::to_string(calls.back().count)};
            started.push_back(std::async(std::launch::async,
                                         [&dir, args] { return run_tool(dir.path(), args); }));
        }
        std::map<std::string, Bytes> expected{{"offline.bin", maximal.offline},
                                              {"ramboot.bin", maximal.ramboot}};
        std::vector<Bytes> stamped_by;  // the runs that ended with 0
        for (int k = 0; k < runs_at_once; ++k) {
            const Call& c = calls[static_cast<std::size_t>(k)];
            const RunResult r = started[static_cast<std::size_t>(k)].get();
            const Bytes whole = whole_transcript(c, maximal.download);
            const Bytes overwritten =
                whole.substr(0, whole.find("updata mac success")) + "fwrite file error\xA3\xA1\n";
            if (same_arguments || r.status == 0) {
                EXPECT_EQ(r.status, 0) << c.mac;
                EXPECT_TRUE(same_bytes(console(whole), r.out)) << c.mac;
                stamped_by.push_back(
                    stamped(maximal.download, c.mac_bytes, static_cast<unsigned>(c.count)));
                expected[merged_name(c.mac, checksum, c.count)] =
                    merged(maximal.offline, maximal.ramboot, stamped_by.back());
            } else {
                EXPECT_EQ(r.status, 1) << c.mac;
                EXPECT_TRUE(same_bytes(console(overwritten), r.out)) << c.mac;
                EXPECT_TRUE(reason_line(
                    formatted(text::warn_mac_multicast, c.mac.c_str()) +
                        "./download.bin: another program replaced or changed it during the run; "
                        "copy download.bin again\n",
                    r.err))
                    << c.mac;
            }
        }
        auto files = dir.listing();
        EXPECT_NE(std::find(stamped_by.begin(), stamped_by.end(), files["download.bin"]),
                  stamped_by.end())
            << "round " << round << ": download.bin is no successful run's stamped image";
        files.erase("download.bin");
        ASSERT_TRUE(same_listing(expected, files)) << "round " << round;
    }
}

// What a failed or interrupted run may leave: each file as it was before
// the run or as a successful run leaves it (download.bin original or
// completely stamped, the merged image old or complete), nothing else, and
// no input missing.
::testing::AssertionResult left_whole(const std::map<std::string, Bytes>& before,
                                      const std::map<std::string, Bytes>& done,
                                      const std::map<std::string, Bytes>& files) {
    for (const auto& [name, bytes] : files) {
        const auto was = before.find(name), after = done.find(name);
        if ((was == before.end() || bytes != was->second) &&
            (after == done.end() || bytes != after->second)) {
            return ::testing::AssertionFailure() << "left behind: " << name;
        }
    }
    for (const char* input : {"offline.bin", "ramboot.bin", "download.bin"}) {
        if (files.count(input) == 0)
            return ::testing::AssertionFailure() << input << " went missing";
    }
    return ::testing::AssertionSuccess();
}

std::map<std::string, Bytes> inputs(const Images& images) {
    return {{"offline.bin", images.offline},
            {"ramboot.bin", images.ramboot},
            {"download.bin", images.download}};
}

bool is_temporary(const std::string& name) {
    return name.rfind(".", 0) == 0 && name.size() > 4 &&
           name.compare(name.size() - 4, 4, ".tmp") == 0;
}

// Polled while a run goes on: names only, no contents read.
bool has_temporary_of(const TempDir& dir, const std::string& target) {
    for (const auto& e : fs::directory_iterator(dir.path())) {
        const std::string name = e.path().filename().string();
        if (is_temporary(name) && name.rfind("." + target + ".", 0) == 0) return true;
    }
    return false;
}

// A moment in a run: the system call it stands in (held at its entry by
// strace), what the folder shows there, and how far a run ended there got.
enum Got { nothing_written, download_stamped, both_written };
struct Moment {
    const char* name;
    const char* syscall;
    long nr;
    int occurrence;
    std::function<bool(const TempDir&)> reached;
    Got got;
};

const std::string usual_merged =
    merged_name(usual_args[0], reference_checksum(small.download), 500);
const Moment moments[] = {
    // A call held at its entry is made when let go; the signal comes after.
    // (Loading download.bin takes two reads; its check comes next.)
    {"download image checked before its stamp", "pread64", SYS_pread64, 3,
     [](const TempDir& d) { return d.read("download.bin") == small.download; }, nothing_written},
    {"download image's stamp flushed", "fdatasync", SYS_fdatasync, 1,
     [](const TempDir& d) { return d.read("download.bin") != small.download; }, download_stamped},
    // Created while signals wait: a signal then finds it named, and removes it.
    // (The sixth open of a static build; a sanitizer's loader opens more.)
    {"merged image's temporary created", "openat", SYS_openat, 6,
     [](const TempDir& d) { return d.read("download.bin") != small.download; }, download_stamped},
    {"merged image's temporary written", "fsync", SYS_fsync, 1,
     [](const TempDir& d) { return has_temporary_of(d, usual_merged); }, download_stamped},
    // Signals wait while the rename is made, so the run ends just after it.
    {"merged image's rename", "rename", SYS_rename, 1,
     [](const TempDir& d) { return has_temporary_of(d, usual_merged); }, both_written},
};

// The folder after a run that got as far as `got`.
std::map<std::string, Bytes> result_of(const Images& images, Got got) {
    auto files = inputs(images);
    if (got == both_written) return usual_result(images);
    if (got == download_stamped) files["download.bin"] = usual_result(images).at("download.bin");
    return files;
}

// The tool under strace, held at the entry of the moment's system call
// until the test releases it.
std::unique_ptr<PipedRun> run_until(const TempDir& dir, const Moment& m, const Command& tool) {
    const std::string call = m.syscall;
    auto run = std::make_unique<PipedRun>(
        dir.path(),
        traced({"-e", "trace=" + call, "-e",
                "inject=" + call + ":delay_enter=60s:when=" + std::to_string(m.occurrence)},
               tool));
    // Stopped in the call while the folder shows the moment, and still a
    // tenth of a second later: the held stop lasts until release, the others
    // only while a busy machine keeps strace waiting. A signal sent in one
    // of those could reach strace, and be lost with it at the release.
    const auto held = [&] {
        if (!run->stopped_in(m.nr) || !m.reached(dir)) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return run->stopped_in(m.nr) && m.reached(dir);
    };
    const bool there = wait_until(held, 30);
    EXPECT_TRUE(there) << "the run never reached: " << m.name;
    return run;
}

TEST(Reliability, EverySignalThatEndsTheRunRemovesItsTemporary) {
    if (launched()) GTEST_SKIP() << "POSIX signals reach the emulator, not the console handler";
    REQUIRE_PROGRAM("strace");
    const int signals[] = {SIGHUP,  SIGINT,  SIGQUIT,   SIGTERM, SIGUSR1, SIGUSR2,  SIGALRM,
                           SIGPIPE, SIGXCPU, SIGVTALRM, SIGPROF, SIGIO,   SIGRTMIN, SIGRTMAX};
    for (const int sig : signals) {
        for (const Moment& m : moments) {
            if (m.nr == SYS_openat && under_sanitizer) continue;
            TempDir dir;
            put_images(dir, small);
            auto run = run_until(dir, m, tool_command(usual_args));
            run->signal(sig);
            run->release();
            EXPECT_EQ(run->finish(30), 128 + sig) << "signal " << sig << " at " << m.name;
            EXPECT_TRUE(same_listing(result_of(small, m.got), dir.listing()))
                << "signal " << sig << " at " << m.name;
        }
    }
}

TEST(Reliability, AnInterruptTheCallerIgnoresStaysIgnored) {
    if (launched()) GTEST_SKIP() << "POSIX signal dispositions: native build only";
    REQUIRE_PROGRAM("strace");
    REQUIRE_PROGRAM("nohup");
    TempDir dir;
    put_images(dir, small);
    // nohup starts the tool with SIGHUP ignored, as a job meant to outlive
    // its terminal; the hangup comes while download.bin's stamp is flushed.
    Command command{declared_program("nohup")};
    const Command tool = tool_command(usual_args);
    command.insert(command.end(), tool.begin(), tool.end());
    auto run = run_until(dir, moments[1], command);
    run->signal(SIGHUP);
    run->release();
    EXPECT_EQ(run->finish(30), 0);
    EXPECT_TRUE(same_listing(usual_result(small), dir.listing()));
}

// Who may access a file, in words: its owner, group, permission bits and
// every extended attribute (its ACL among them) with its value, and on NTFS
// its Windows security descriptor, which no listing names.
std::string access_of(const fs::path& file) {
    struct stat st {};
    stat(file.c_str(), &st);
    std::ostringstream out;
    out << "uid " << st.st_uid << " gid " << st.st_gid << " mode " << std::oct << st.st_mode;
    std::vector<char> names(65536), value(65536);
    ssize_t size = listxattr(file.c_str(), names.data(), names.size());
    const char ntfs_acl[] = "system.ntfs_acl";
    if (size < 0) size = 0;
    std::copy(ntfs_acl, ntfs_acl + sizeof ntfs_acl, names.begin() + size);
    size += sizeof ntfs_acl;
    std::map<std::string, Bytes> attributes;  // in name order, whatever order the listing has
    for (ssize_t at = 0; at < size; at += static_cast<ssize_t>(std::strlen(&names[at])) + 1) {
        const ssize_t n = getxattr(file.c_str(), &names[at], value.data(), value.size());
        if (n >= 0) attributes[&names[at]] = Bytes(value.data(), std::size_t(n));
    }
    for (const auto& [name, bytes] : attributes) out << " " << name << "=" << bytes;
    return out.str();
}

// The failure messages a stopped run ends with; where the transcript itself
// could not be written, the reason line on standard error.
bool ends_with_a_failure_message(const RunResult& r) {
    for (const char* text :
         {"\nCan not open the path: ", "\nCan not read the path: ", "\nCan not flush the path: ",
          "fwrite file error\xA3\xA1\n", "file too large: ", "malloc memory fail !\n"}) {
        if (r.out.find(console(text)) != Bytes::npos) return true;
    }
    return r.err.find("standard output: ") != Bytes::npos;
}

// The lie a run under injected faults told, or nothing: whatever failed, no
// input is changed or lost and a temporary left behind is named; the run
// ends with `status` where that is certain; status 0 comes with both files
// right and the whole transcript, any other status with its message and one
// of `reasons`, the system's words for the injected failures.
std::string lie_of(const RunResult& r, const std::map<std::string, Bytes>& before,
                   std::map<std::string, Bytes> files, const std::vector<Bytes>& reasons,
                   int status, const Bytes& transcript) {
    for (auto it = files.begin(); it != files.end();) {
        const bool named =
            r.status != 0 && is_temporary(it->first) && r.err.find(it->first) != Bytes::npos;
        it = named ? files.erase(it) : std::next(it);
    }
    // A stamp written in part, where it could not be undone, is said; one
    // undone (download.bin as it was) is not.
    const bool in_part = r.err.find(text::part_stamped) != Bytes::npos;
    if (in_part && files["download.bin"] == before.at("download.bin"))
        return "undone, said in part";
    if (r.err.find("copy download.bin again") != Bytes::npos) {
        files["download.bin"] = before.at("download.bin");
    }
    const auto whole = left_whole(before, usual_result(small), files);
    if (!whole) return whole.message();
    const std::string ended = "status " + std::to_string(r.status);
    if (status >= 0 && r.status != status) return ended + ", not " + std::to_string(status);
    if (r.status == 0) {
        const bool right = files == usual_result(small) && r.out == transcript;
        return right ? "" : "status 0 without both files right and the whole transcript";
    }
    if (r.status > 255 || !ends_with_a_failure_message(r)) {
        return ended +
               " without its message: " + r.out.substr(r.out.size() > 80 ? r.out.size() - 80 : 0) +
               " / " + r.err;
    }
    for (const Bytes& words : reasons) {
        if (r.err.find(words) != Bytes::npos) return "";
    }
    return ended + " without the reason '" + (reasons.empty() ? "" : reasons[0]) + "': " + r.err;
}

// System calls of a run that touch files, and the errors each is failed
// with in turn (unlink only where a temporary must go).
const std::map<std::string, std::vector<int>> file_call_errors = {
    {"openat", {ENFILE, EACCES}},
    {"pread64", {EIO}},
    {"pwrite64", {ENOSPC}},
    {"fdatasync", {EIO}},
    {"newfstatat", {EIO}},
    {"fstat", {EIO}},
    {"fsync", {EIO, EINVAL}},
    {"fcntl", {ENOLCK, EAGAIN}},
    {"close", {EIO}},
    {"write", {ENOSPC}},
    {"rename", {EXDEV}},
    {"unlink", {EACCES}},
    {"unlinkat", {EACCES}},
    {"access", {EACCES}},
    {"fchmod", {EPERM}},
    {"fchown", {EPERM}},
    {"listxattr", {EOPNOTSUPP}},
    {"getxattr", {EOPNOTSUPP}},
    {"fgetxattr", {EOPNOTSUPP, EIO}},
    {"fsetxattr", {EOPNOTSUPP}},
};

// Faults one failing call cannot reach, and the status each must end with:
// the file system is flushed only where the folder (the second fsync)
// cannot be, and only when neither flush happened is it a failure.
struct Faults {
    std::vector<std::string> injections;
    int status;               // -1: any
    std::vector<int> errors;  // whose words a failing run gives
};
const Faults combined_faults[] = {
    {{"inject=fsync:error=EINVAL:when=2"}, 0, {}},
    {{"inject=fsync:error=EINVAL:when=2", "inject=syncfs:error=EIO"}, 1, {EIO}},
    {{"inject=fsync:error=EIO:when=2"}, 1, {EIO}},
    // A read failing every time, or once: neither is tried again; only an
    // interrupted one is.
    {{"inject=pread64:error=EIO:when=1+"}, 255, {EIO}},
    {{"inject=pread64:error=EIO:when=1"}, 255, {EIO}},
    {{"inject=pread64:error=EINTR:when=1"}, 0, {}},
    // download.bin's lock held by another program for the whole run.
    {{"inject=fcntl:error=EAGAIN"}, 255, {EAGAIN}},
    // A temporary that cannot be removed after a failed flush or rename.
    {{"inject=fsync:error=EIO:when=1", "inject=unlink,unlinkat:error=EACCES"}, 1, {EIO}},
    {{"inject=rename:error=EXDEV", "inject=unlink,unlinkat:error=EPERM"}, 255, {EXDEV}},
};

void setfacl(const fs::path& folder, const std::vector<std::string>& args) {
    Command command{declared_program("setfacl")};
    command.insert(command.end(), args.begin(), args.end());
    ASSERT_EQ(run_command(folder, command).status, 0);
}

// The images in a fresh folder, and a merged image of an earlier run under
// this run's name, of another group and mode, with attributes (one empty)
// on it and on download.bin where the file system allows, and an ACL of its
// own, as long as the one the folder gives a new file: carrying access over
// is among the calls.
void put_attributed_images(const TempDir& dir) {
    put_images(dir, small);
    dir.write(usual_merged, "an earlier image");
    ASSERT_EQ(chown((dir / usual_merged).c_str(), 0, 65533), 0);
    ASSERT_EQ(chmod((dir / usual_merged).c_str(), 0640), 0);
    for (const auto& file : {dir / "download.bin", dir / usual_merged}) {
        setxattr(file.c_str(), "user.origin", "line-7", 6, 0);
        setxattr(file.c_str(), "user.checked", "", 0, 0);
    }
    setfacl(dir.path(), {"-d", "-m", "u:2005:rw", "."});
    setfacl(dir.path(), {"-m", "u:65533:rw", usual_merged});
}

TEST(Reliability, EveryFailingFileCallLeavesWholeFilesAndAnHonestStatus) {
    if (launched()) GTEST_SKIP() << "strace follows the emulator, not the Windows program";
    if (under_sanitizer) GTEST_SKIP() << "the sanitizer's own file calls would fail too";
    if (geteuid() != 0) GTEST_SKIP() << "needs root to give the earlier image another group";
    REQUIRE_PROGRAM("strace");
    REQUIRE_PROGRAM("setfacl");
    // Which calls a normal run makes, and how often: each is failed in turn.
    std::string calls;
    for (const auto& [call, errors] : file_call_errors) calls += (calls.empty() ? "" : ",") + call;
    std::map<std::string, int> made;
    {
        TempDir dir;
        put_attributed_images(dir);
        for (const auto& call : calls_made(dir.path(), calls, tool_command(usual_args))) {
            if (file_call_errors.count(call) != 0) ++made[call];
        }
    }
    std::vector<Faults> faults;
    for (const auto& [call, count] : made) {
        for (const int error : file_call_errors.at(call)) {
            for (int n = 1; n <= count; ++n) {
                faults.push_back({{"inject=" + call + ":error=" + std::to_string(error) +
                                   ":when=" + std::to_string(n)},
                                  -1,
                                  {error}});
            }
        }
    }
    for (const auto& c : combined_faults) faults.push_back(c);
    // The temporary's name taken every time (its open is the last): tried a
    // bounded number of times.
    faults.push_back({{"inject=openat:error=EEXIST:when=" + std::to_string(made["openat"]) + "+"},
                      255,
                      {EEXIST}});
    std::vector<std::string> lies;
    for (const auto& [injections, status, errors] : faults) {
        TempDir dir;
        put_attributed_images(dir);
        const auto before = dir.listing();
        const std::string access = access_of(dir / "download.bin") + access_of(dir / usual_merged);
        std::vector<std::string> options{"-e", "trace=syncfs," + calls};
        std::string fault;
        for (const auto& i : injections) {
            options.insert(options.end(), {"-e", i});
            fault += i + " ";
        }
        std::vector<Bytes> reasons;
        for (const int error : errors) reasons.push_back(std::strerror(error));
        // Killed long before the suite's own limit: a read tried for ever is
        // a lie too. Standard input is closed, as a service starts it, so
        // that the folder is descriptor 0.
        RunOptions quick;
        quick.seconds = 10;
        quick.closed_input = true;
        const RunResult r =
            run_command(dir.path(), traced(options, tool_command(usual_args)), quick);
        const std::string now = access_of(dir / "download.bin") + access_of(dir / usual_merged);
        std::string lie = lie_of(r, before, dir.listing(), reasons, status,
                                 console(usual_run_transcript(small.download)));
        if (lie.empty() && r.status == 0 && now != access) lie = "status 0 with access changed";
        if (!lie.empty()) lies.push_back(fault + lie);
    }
    std::cout << faults.size() << " injected faults, " << lies.size() << " left a lie\n";
    EXPECT_GT(faults.size(), 40u);
    for (const auto& lie : lies) ADD_FAILURE() << lie;
}

// The Windows build's fault copies (TOLP_FAULT_TOOL and TOLP_FAULT_CHECKER,
// linked by the windows-faults preset): each call of their table that a
// good run makes fails in turn, with each code Windows gives there; then,
// for each such run, each call it made beyond a good run's fails as well,
// which reaches the cleanup and the reporting.
struct Win32Program {
    const char* copy;  // the variable naming it
    bool checker;      // run on a merged image and its sources; else on the inputs
    std::vector<std::string> args;
};

// The lie a checker run under faults told, or nothing: it changes no file,
// and ends with its whole report and 0, or with 2 and one of `reasons`.
std::string checker_lie(const RunResult& r, const RunResult& good, bool changed,
                        const std::vector<Bytes>& reasons) {
    if (changed) return "the checker changed a file";
    if (r.status == 0) return r.out == good.out ? "" : "status 0, report cut";
    const bool said = r.status == 2 && r.err.rfind("Tolp_image_check: ", 0) == 0;
    for (const Bytes& words : reasons) {
        if (said && r.err.find(words) != Bytes::npos) return "";
    }
    return "status " + std::to_string(r.status) + " without its reason: " + r.err;
}

std::map<std::string, int> logged_calls(const fs::path& log) {
    std::map<std::string, int> made;
    std::istringstream lines(read_file(log));
    for (std::string name; std::getline(lines, name);) ++made[name];
    fs::remove(log);
    return made;
}

TEST(Reliability, EveryFailingWin32CallLeavesWholeFilesAndAnHonestStatus) {
    if (std::getenv("TOLP_FAULT_TOOL") == nullptr || std::getenv("TOLP_FAULT_CHECKER") == nullptr)
        GTEST_SKIP() << "runs against the Windows build's fault copies (TOLP_FAULT_TOOL)";
    const Win32Program programs[] = {
        {"TOLP_FAULT_TOOL", false, usual_args},
        {"TOLP_FAULT_CHECKER", true, {"--sources", "original", usual_merged}}};
    const TempDir logs;
    const fs::path log = logs / "calls.log";
    std::string windows_log = "Z:" + log.string();
    std::replace(windows_log.begin(), windows_log.end(), '/', '\\');
    const auto with_faults = [&](const std::string& program, const std::vector<std::string>& args,
                                 const std::string& faults) {
        Command command{"/usr/bin/env", "TOLP_FAULTS=" + faults, "TOLP_FAULT_LOG=" + windows_log};
        const Command run = launched_command(program, args);
        command.insert(command.end(), run.begin(), run.end());
        return command;
    };
    for (const Win32Program& p : programs) {
        const std::string copy = std::getenv(p.copy);
        // Each call of the table, with its codes and their words.
        std::map<std::string, std::vector<std::pair<std::string, Bytes>>> table;
        const RunResult listed =
            run_command(logs.path(), {"/usr/bin/env", "TOLP_FAULT_TABLE=1", "wine", copy});
        std::istringstream rows(listed.out);
        for (std::string name, code, words; rows >> name >> code && std::getline(rows, words);) {
            if (!words.empty() && words.back() == '\r') words.pop_back();
            table[name].push_back({code, words.substr(1)});
        }
        ASSERT_GT(table.size(), 10u) << listed.out << listed.err;
        const auto prepare = [&](const TempDir& dir) {
            put_images(dir, small);
            dir.write(usual_merged, "an earlier image");
            if (p.checker) {
                fs::create_directory(dir / "original");
                for (const auto& [name, bytes] : inputs(small))
                    dir.write("original/" + name, bytes);
                dir.write(usual_merged, usual_result(small).at(usual_merged));
            }
            return dir.listing();
        };
        const TempDir good_dir;
        prepare(good_dir);
        const RunResult good = run_command(good_dir.path(), with_faults(copy, p.args, ""));
        const auto good_calls = logged_calls(log);
        ASSERT_EQ(good.status, 0) << good.err;
        int runs = 0;
        std::vector<std::string> lies;
        // `ends`: 0, a fault retried until it passes; 1, one no retry may hide; -1, either.
        const auto judge = [&](const std::string& faults, const std::vector<Bytes>& reasons,
                               int ends = -1) {
            const TempDir dir;
            const auto before = prepare(dir);
            const RunResult r = run_command(dir.path(), with_faults(copy, p.args, faults));
            ++runs;
            // Standard error failing too after standard output, only the
            // status can tell: judged as if the reason had been said. What
            // it took before (the usual call's warning) stays.
            const bool both_streams =
                faults.find(",fwrite") != std::string::npos &&
                (faults.rfind("fwrite", 0) == 0 || faults.rfind("fflush", 0) == 0);
            RunResult said = r;
            if (both_streams && (r.err.empty() || r.err == console(usual_warning))) {
                said.err = (p.checker ? "Tolp_image_check: " : "standard output: ") + reasons[0];
            }
            std::string lie = p.checker
                                  ? checker_lie(said, good, dir.listing() != before, reasons)
                                  : lie_of(said, before, dir.listing(), reasons, -1, good.out);
            if (lie.empty() && ends >= 0 && (r.status != 0) != (ends == 1))
                lie = ends == 0 ? "a lock violation not retried" : "a failure retried away";
            if (!lie.empty()) lies.push_back(faults + ": " + lie);
        };
        // Without Windows' words, the code's number: a write that took nothing is a write fault.
        const auto number = [](const std::string& code) {
            return "error " + (code == "0" ? "29" : code);
        };
        for (const auto& [name, count] : good_calls) {
            for (int n = 1; n <= count; ++n) {
                for (const auto& [code, words] : table[name]) {
                    const std::string fault = name + ":" + std::to_string(n) + ":" + code;
                    std::vector<Bytes> reasons{words, number(code)};
                    // The end where the file was longer: it changed.
                    if (code == "38") reasons.push_back("changed");
                    // A lock violation on a read or a write waits; an open, read, write or
                    // rename failing otherwise, but for a hold, a taken name or the end, ends it.
                    const bool io = name == "ReadFile" || name == "WriteFile";
                    const bool file = io || name == "CreateFileW" || name == "MoveFileExW";
                    const bool passes = code == "5" || code == "32" || code == "80" || code == "38";
                    judge(fault, reasons, code == "33" ? (io ? 0 : -1) : file && !passes ? 1 : -1);
                    // Each call the failing run made beyond a good run's fails too.
                    for (const auto& [more, times] : logged_calls(log)) {
                        const int usual = good_calls.count(more) ? good_calls.at(more) : 0;
                        for (int m = usual + 1; m <= times; ++m) {
                            for (const auto& [second, second_words] : table[more]) {
                                std::vector<Bytes> either = reasons;
                                either.insert(either.end(), {second_words, number(second)});
                                judge(fault + "," + more + ":" + std::to_string(m) + ":" + second,
                                      either);
                            }
                        }
                    }
                    logged_calls(log);
                }
            }
        }
        std::cout << p.copy << ": " << runs << " injected faults, " << lies.size()
                  << " left a lie\n";
        for (const auto& lie : lies) ADD_FAILURE() << lie;
    }
}

// A fresh file system in an image file, mounted for as long as it lives:
// ext4 on a loop device, or FAT32 (a USB stick) and NTFS through FUSE, as
// a Linux PC mounts them. `error` says why not where this machine cannot.
class Volume {
public:
    enum Kind { ext4, fat32, ntfs };
    Volume(const fs::path& scratch, Kind kind, long bytes = 64 << 20)
        : kind_(kind), image_(scratch / "fs.img"), at_(scratch / "mnt") {
        const char* const needs[3][2] = {
            {"mkfs.ext4", "mount"}, {"mkfs.fat", "fusefat"}, {"mkntfs", "ntfs-3g"}};
        for (const char* program : {needs[kind][0], needs[kind][1], "umount"}) {
            if (declared_program(program).empty())
                error = std::string(program) + " is not installed";
        }
        if (geteuid() != 0) error = "needs root to mount a file system";
        if (!error.empty()) return;
        fs::create_directory(at_);
        std::ofstream(image_).close();
        fs::resize_file(image_, static_cast<std::uintmax_t>(bytes));
        const Command format[3] = {{declared_program("mkfs.ext4"), "-q", "-F", "-m", "0"},
                                   {declared_program("mkfs.fat"), "-F", "32"},
                                   {declared_program("mkntfs"), "-q", "-F", "-f"}};
        Command make = format[kind];
        make.push_back(image_.string());
        if (!quietly(make)) {
            error = make[0] + " failed";
        } else if (!mount()) {
            error = "cannot mount " + image_.string() + " here";
        }
    }
    ~Volume() {
        if (mounted_) quietly({declared_program("umount"), at_.string()});
    }
    const fs::path& path() const { return at_; }

    // Stops an ext4 file system at once without flushing its journal, as a
    // power cut would: nothing more reaches its disk.
    bool cut_power() {
        constexpr unsigned long shutdown_ioctl = 0x8004587D;  // EXT4_IOC_SHUTDOWN
        std::uint32_t no_log_flush = 2;                       // EXT4_GOING_FLAGS_NOLOGFLUSH
        const int fd = open(at_.c_str(), O_RDONLY);
        const bool cut = fd >= 0 && ioctl(fd, shutdown_ioctl, &no_log_flush) == 0;
        if (fd >= 0) close(fd);
        return cut;
    }
    // Then the power comes back.
    bool remount() {
        mounted_ = !quietly({declared_program("umount"), at_.string()});
        return !mounted_ && mount();
    }

    std::string error;

private:
    bool mount() {
        // A FUSE daemon stays behind, holding whatever output it was given.
        const Command how[3] = {{declared_program("mount"), "-o", "loop"},
                                {declared_program("fusefat"), "-o", "rw+"},
                                {declared_program("ntfs-3g")}};
        std::string line;
        for (const auto& word : how[kind_]) line += word + " ";
        line += "'" + image_.string() + "' '" + at_.string() + "' >/dev/null 2>&1 </dev/null";
        mounted_ = std::system(line.c_str()) == 0;
        return mounted_;
    }
    static bool quietly(const Command& cmd) { return run_command("/", cmd).status == 0; }
    Kind kind_;
    fs::path image_, at_;
    bool mounted_ = false;
};

// The accounts of a production line: one that owns the files, one that
// runs the tool.
constexpr uid_t line_account = 65533, owner_account = 2001, runner_account = 2002;
const std::vector<std::string> as_line_account{"--reuid=65533", "--regid=65533", "--clear-groups"};
const std::vector<std::string> as_runner{"--reuid=2002", "--regid=2002", "--clear-groups"};
const std::vector<std::string> as_root;

void give(const fs::path& file, uid_t uid, gid_t gid, fs::perms mode) {
    ASSERT_EQ(chown(file.c_str(), uid, gid), 0) << file;
    fs::permissions(file, mode);
}

void give_to_line_account(const fs::path& folder) {
    for (const auto& e : fs::directory_iterator(folder)) {
        ASSERT_EQ(chown(e.path().c_str(), line_account, line_account), 0);
    }
    ASSERT_EQ(chown(folder.c_str(), line_account, line_account), 0);
}

// Where the images sit and who runs the tool; what the run must leave.
struct AccessCase {
    const char* label;
    std::function<void(const fs::path&)> prepare;  // the folder, with the images in it
    int status;
    std::vector<std::string> runner = {};  // setpriv's options; none: root
    int volume = -1;                       // a Volume::Kind for the folder; -1: a plain folder
    // Beyond the inputs as they were (status != 0) or a whole run's result.
    std::function<void(const fs::path&, std::map<std::string, Bytes>&)> leaves = nullptr;
    Bytes reason = "";  // on standard error
};

// Whatever its access rules, volume or links, download.bin stays the file
// it was: stamped in place, it keeps its owner, group, mode, ACL and
// attributes, and each of its names.
TEST(Reliability, TheStampedFileStaysTheFileItWas) {
    if (launched()) GTEST_SKIP() << "POSIX owners, ACLs, links and mounts: native build only";
    if (geteuid() != 0) GTEST_SKIP() << "needs root to give files to other accounts";
    REQUIRE_PROGRAM("setfacl");
    REQUIRE_PROGRAM("setpriv");
    REQUIRE_PROGRAM("mount");
    // A file capability: an attribute only a privileged runner may set.
    static const std::uint32_t capability[5] = {0x02000001, 1u << 13, 0, 0, 0};
    const fs::perms rw_r = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    const fs::perms all_rw = fs::perms::owner_read | fs::perms::owner_write |
                             fs::perms::group_read | fs::perms::group_write |
                             fs::perms::others_read | fs::perms::others_write;
    const auto download = [](const fs::path& f) { return f / "download.bin"; };
    const AccessCase cases[] = {
        {"an ACL and a user attribute",
         [&](const fs::path& f) {
             setfacl(f, {"-m", "u:65533:rw", "download.bin"});
             ASSERT_EQ(setxattr(download(f).c_str(), "user.origin", "line-7", 6, 0), 0);
         },
         0},
        {"a line account's files, run by root", give_to_line_account, 0},
        {"an earlier image of another owner, in the runner's group",
         [](const fs::path& f) {
             write_file(f / usual_merged, "an earlier image");
             ASSERT_EQ(chown((f / usual_merged).c_str(), owner_account, 0), 0);
         },
         0},
        {"a folder the runner may write but not read",
         [](const fs::path& f) {
             give_to_line_account(f);
             fs::permissions(f, fs::perms::owner_write | fs::perms::owner_exec |
                                    fs::perms::group_write | fs::perms::group_exec |
                                    fs::perms::others_write | fs::perms::others_exec);
         },
         0, as_line_account},
        // An earlier merged image keeps that group too.
        {"the file's group only among the runner's further groups",
         [&](const fs::path& f) {
             write_file(f / usual_merged, "an earlier image");
             give_to_line_account(f);
             fs::permissions(download(f), fs::perms::group_write, fs::perm_options::add);
         },
         0,
         {"--reuid=65533", "--regid=65534", "--groups=65533"}},
        {"a group the runner is not in, whose file it may write",
         [&](const fs::path& f) {
             give_to_line_account(f);
             ASSERT_EQ(chown(download(f).c_str(), line_account, 0), 0);
         },
         0, as_line_account},
        {"an attribute a write would clear",
         [&](const fs::path& f) {
             give_to_line_account(f);
             ASSERT_EQ(setxattr(download(f).c_str(), "security.capability", capability,
                                sizeof capability, 0),
                       0);
         },
         255, as_line_account, -1, nullptr,
         "./download.bin: a write would clear its file capability\n"},
        {"a folder whose default ACL the file does not carry",
         [&](const fs::path& f) {
             setfacl(f, {"-d", "-m", "u:2005:rw", "."});
             fs::permissions(download(f), rw_r);
         },
         0},
        {"another account's file, written through a named ACL entry",
         [&](const fs::path& f) {
             give(f, runner_account, runner_account, fs::perms::owner_all);
             give(download(f), owner_account, owner_account, rw_r | fs::perms::group_write);
             setfacl(f, {"-m", "u:2002:rw", "download.bin"});
         },
         0, as_runner},
        {"another account's file, its group deliberately read-only",
         [&](const fs::path& f) {
             give(f, runner_account, runner_account, fs::perms::owner_all);
             give(download(f), owner_account, owner_account,
                  rw_r | fs::perms::others_read | fs::perms::others_write);
         },
         0, as_runner},
        {"a shared folder with the sticky bit",
         [&](const fs::path& f) {
             give(f, 0, 0, fs::perms::all | fs::perms::sticky_bit);
             give(download(f), owner_account, owner_account, all_rw);
         },
         0, as_runner},
        {"a hard link to download.bin",
         [](const fs::path& f) { fs::create_hard_link(f / "download.bin", f / "release.bin"); }, 0,
         as_root, -1,
         [](const fs::path&, std::map<std::string, Bytes>& files) {
             files["release.bin"] = files["download.bin"];
         }},
        {"download.bin bind-mounted onto its name",
         [](const fs::path& f) {
             fs::copy_file(f / "download.bin", f / "store.bin");
             ASSERT_EQ(
                 run_command(f, {declared_program("mount"), "--bind", "store.bin", "download.bin"})
                     .status,
                 0);
         },
         0, as_root, -1,
         [](const fs::path& f, std::map<std::string, Bytes>& files) {
             run_command(f, {declared_program("umount"), "download.bin"});
             files["store.bin"] = files["download.bin"];
             files["download.bin"] = small.download;
         }},
        // An earlier image of the merged image's name: FAT sets no owner.
        {"a FAT32 volume (a USB stick)",
         [](const fs::path& f) { write_file(f / usual_merged, "an earlier image"); }, 0, as_root,
         Volume::fat32},
        {"an NTFS volume, download.bin with a Windows ACL of its own",
         [&](const fs::path& f) {
             std::vector<char> acl(65536);
             const ssize_t n = getxattr(f.c_str(), "system.ntfs_acl", acl.data(), acl.size());
             ASSERT_GT(n, 0);
             ASSERT_EQ(
                 setxattr(download(f).c_str(), "system.ntfs_acl", acl.data(), std::size_t(n), 0),
                 0);
         },
         0, as_root, Volume::ntfs},
        // Stamped in place with no room to spare; the merged image has none.
        {"a nearly full disk",
         [](const fs::path& f) {
             std::ofstream filler(f / "filler", std::ios::binary);
             const Bytes block(4096, 'f');
             while (filler.write(block.data(), block.size()) && filler.flush()) {
             }
             filler.close();
             // Less than download.bin takes, far less than the merged image.
             fs::resize_file(f / "filler", fs::file_size(f / "filler") - 1024);
         },
         1, as_root, Volume::ext4,
         [](const fs::path& f, std::map<std::string, Bytes>& files) {
             files["download.bin"] = usual_result(small).at("download.bin");
             files["filler"] = read_file(f / "filler");
             files["lost+found"] = "<dir>";
         },
         "writing a temporary beside " + usual_merged + ": No space left on device\n"},
    };
    for (const auto& c : cases) {
        TempDir scratch;
        std::unique_ptr<Volume> volume;
        if (c.volume >= 0) {
            volume = std::make_unique<Volume>(scratch.path(), Volume::Kind(c.volume), 2 << 20);
            if (!volume->error.empty()) {
                skip_case(std::string("'") + c.label + "'", volume->error);
                continue;
            }
        }
        const fs::path folder = volume ? volume->path() : scratch.path();
        for (const auto& [name, bytes] : inputs(small)) write_file(folder / name, bytes);
        if (c.prepare) c.prepare(folder);
        const std::string before = access_of(folder / "download.bin");
        const bool earlier = fs::exists(folder / usual_merged);
        const std::string merged_before = earlier ? access_of(folder / usual_merged) : "";
        Command command = tool_command(usual_args);
        if (!c.runner.empty()) {
            command.insert(command.begin(), c.runner.begin(), c.runner.end());
            command.insert(command.begin(), declared_program("setpriv"));
        }
        // Started with standard input closed, as a service may start it: the
        // folder or a file then has descriptor 0.
        RunOptions no_input;
        no_input.closed_input = true;
        const RunResult r = run_command(folder, command, no_input);
        EXPECT_EQ(r.status, c.status) << c.label << "\n" << r.out << r.err;
        EXPECT_TRUE(reason_line(usual_warning + c.reason, r.err)) << c.label;
        EXPECT_EQ(access_of(folder / "download.bin"), before) << c.label;
        if (earlier) {
            EXPECT_EQ(access_of(folder / usual_merged), merged_before) << c.label;
        }
        auto expected = c.status == 0 ? usual_result(small) : inputs(small);
        if (c.leaves) c.leaves(folder, expected);
        EXPECT_TRUE(same_listing(expected, listing_of(folder))) << c.label;
    }
}

// A power cut right after a run, or while download.bin's stamp is being
// flushed: then the run must not end with 0, and download.bin is either.
TEST(Reliability, APowerCutLosesNothingARunReported) {
    if (launched()) GTEST_SKIP() << "the power cut is simulated for the native build only";
    const struct {
        std::size_t size;
        bool during_flush;
    } cases[] = {{204800, false}, {1000, false}, {300, false}, {5000, true}};
    for (const auto& c : cases) {
        TempDir scratch;
        Volume disk(scratch.path(), Volume::ext4);
        if (!disk.error.empty()) GTEST_SKIP() << "power cut not simulated: " << disk.error;
        if (c.during_flush) REQUIRE_PROGRAM("strace");
        const Images images{pattern_bytes(c.size / 5, 4), pattern_bytes(c.size / 17, 5),
                            pattern_bytes(c.size, 6)};
        TempDir at(disk.path());
        put_images(at, images);
        sync();  // the inputs are on disk before the run starts
        auto files = usual_result(images);
        if (c.during_flush) {
            auto run = run_until(at, moments[1], tool_command(usual_args));
            ASSERT_TRUE(disk.cut_power()) << c.size;
            run->end_input();
            run->release();
            EXPECT_NE(run->finish(30), 0) << c.size;
            files = inputs(images);
        } else {
            ASSERT_EQ(run_tool(at.path(), usual_args).status, 0) << c.size;
            ASSERT_TRUE(disk.cut_power()) << c.size;
        }
        ASSERT_TRUE(disk.remount()) << c.size;
        auto left = at.listing();
        if (left["download.bin"] == usual_result(images).at("download.bin")) {
            files["download.bin"] = left["download.bin"];
        }
        EXPECT_TRUE(same_listing(files, left)) << c.size;
    }
}

// Another program acting on download.bin while a run holds it at its
// stamp's write or flush: the run never ends with 0 unless download.bin
// holds a complete stamp of what the merged image carries.
TEST(Reliability, AChangeToDownloadBinMidStampIsNeverASuccess) {
    if (launched()) GTEST_SKIP() << "strace holds the native build only";
    REQUIRE_PROGRAM("strace");
    const Bytes other = pattern_bytes(small.download.size(), 99);
    const auto written_at = [](std::streamoff at, const Bytes& bytes) {
        return [at, bytes](const TempDir& d) {
            std::fstream(d / "download.bin", std::ios::in | std::ios::out | std::ios::binary)
                .seekp(at)
                .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        };
    };
    const std::pair<const char*, std::function<void(const TempDir&)>> acts[] = {
        {"a new copy renamed over it",
         [&](const TempDir& d) {
             d.write("new.bin", other);
             fs::rename(d / "new.bin", d / "download.bin");
         }},
        {"a new copy written into it", [&](const TempDir& d) { d.write("download.bin", other); }},
        {"cut to nothing", [](const TempDir& d) { fs::resize_file(d / "download.bin", 0); }},
        // Held at the write, the stamp would write this field again.
        {"its length field zeroed in place", written_at(16, Bytes(4, '\0'))},
        // Between two fields: not the stamp's to write.
        {"the byte after its length changed in place",
         written_at(20, Bytes(1, static_cast<char>(small.download[20] ^ 0xFF)))},
    };
    for (const Moment& m :
         {moments[1], Moment{"stamp written", "pwrite64", SYS_pwrite64, 1,
                             [](const TempDir&) { return true; }, nothing_written}}) {
        for (const auto& [act, change] : acts) {
            if (m.nr == SYS_pwrite64 && std::strstr(act, "field") != nullptr) continue;
            TempDir dir;
            put_images(dir, small);
            auto run = run_until(dir, m, tool_command(usual_args));
            change(dir);
            run->end_input();
            run->release();
            EXPECT_EQ(run->finish(30), 1) << act << " at " << m.name;
            EXPECT_NE(run->result.err.find(text::changed_after_stamp), Bytes::npos)
                << act << " at " << m.name << "\n"
                << run->result.err;
            EXPECT_EQ(dir.listing().count(usual_merged), 0u) << act << " at " << m.name;
        }
    }
}

// The size taken at the open is the size read: an image that grows while it
// is read (a copy still being written) is refused, nothing written.
TEST(Reliability, ADownloadImageThatGrowsWhileItIsReadIsRefused) {
    if (launched()) GTEST_SKIP() << "strace holds the native build only";
    if (under_sanitizer) GTEST_SKIP() << "a sanitizer's runtime reads before download.bin";
    REQUIRE_PROGRAM("strace");
    TempDir dir;
    put_images(dir, small);
    const Moment first_read{
        "download image read", "pread64", SYS_pread64, 1, [](const TempDir&) { return true; },
        nothing_written};
    auto run = run_until(dir, first_read, tool_command(usual_args));
    std::ofstream(dir / "download.bin", std::ios::app | std::ios::binary) << "more";
    run->end_input();
    run->release();
    EXPECT_EQ(run->finish(30), 255);
    EXPECT_NE(run->result.out.find("Can not read the path: ./download.bin"), Bytes::npos);
    auto files = inputs(small);
    files["download.bin"] += "more";
    EXPECT_TRUE(same_listing(files, dir.listing()));
}

struct HeldCase {
    const char* file;
    bool exclusive;  // shares nothing; otherwise shares reading and writing, not deletion
    int hold_ms;
    int status;  // 0 or 255 where the outcome is certain; -1: either
};

// TOLP_HOLDER names a Windows helper that holds a file open as a virus
// scanner would; Wine keeps Windows' sharing rules. Whatever the outcome,
// status 0 comes with both files right, and a refusal with its message,
// download.bin whole and no merged image.
TEST(Reliability, AnInputHeldOpenForAMomentIsRetriedOrRefusedWhole) {
    const char* holder = std::getenv("TOLP_HOLDER");
    if (holder == nullptr || !launched())
        GTEST_SKIP() << "Windows' sharing rule: runs against the Windows build (TOLP_HOLDER)";
    const HeldCase cases[] = {
        // Sharing reading and writing, a hold never keeps the stamp out.
        {"download.bin", false, 1000, 0}, {"download.bin", false, 5000, 0},
        {"download.bin", true, 2200, -1}, {"download.bin", true, 3600, -1},
        {"offline.bin", true, 2200, -1},  {"offline.bin", true, 3600, -1},
        {"ramboot.bin", true, 2200, -1},  {"ramboot.bin", true, 3600, -1},
    };
    for (const auto& c : cases) {
        const std::string label = std::string(c.file) + " held " + std::to_string(c.hold_ms) +
                                  (c.exclusive ? " ms, sharing nothing" : " ms");
        TempDir dir;
        put_images(dir, small);
        // Each hold starts at once (a shared one waits for the file itself).
        PipedRun holding(dir.path(),
                         launched_command(holder, {c.file, std::to_string(c.hold_ms),
                                                   c.exclusive ? "--exclusive" : c.file}));
        ASSERT_EQ(holding.read_output(console("held\n").size(), 30), console("held\n"));
        const RunResult r = run_tool(dir.path(), usual_args);
        holding.finish(c.status == 0 ? 30 : 0);
        EXPECT_TRUE(c.status == -1 ? r.status == 0 || r.status == 255 : r.status == c.status)
            << label << ": status " << r.status;
        const auto files = dir.listing();
        if (r.status == 0) {
            EXPECT_TRUE(same_bytes(console(usual_run_transcript(small.download)), r.out)) << label;
            EXPECT_TRUE(same_listing(usual_result(small), files)) << label;
        } else {
            EXPECT_NE(r.out.find(console("\nCan not open the path: ./" + std::string(c.file))),
                      Bytes::npos)
                << label << "\n"
                << r.out;
            EXPECT_TRUE(left_whole(inputs(small), usual_result(small), files)) << label;
            EXPECT_EQ(files.count(usual_merged), 0u) << label;
            if (std::string(c.file) == "download.bin") {
                EXPECT_EQ(files.at("download.bin"), small.download) << label;
            }
        }
    }
}

}  // namespace
