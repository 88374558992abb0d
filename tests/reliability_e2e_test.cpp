// Real faults around a run: other runs in the same folder, interrupts at
// random moments, a power cut right after success, and (under Wine) a
// download image held open by another program. Whatever happens, a run that
// ends with status 0 has left complete, right images, and no run leaves a
// temporary behind.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <future>
#include <iostream>
#include <random>
#include <thread>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "e2e_support.h"
#include "tool_runner.h"

namespace {

// The largest images a run takes: the widest window for anything to go wrong.
const Images maximal{pattern_bytes(40960, 1), pattern_bytes(12288, 2), pattern_bytes(204800, 3)};

struct Call {
    std::string mac;
    std::uint8_t mac_bytes[6];
    int count;
};

Call call_number(int k) {
    Call c{fmt("11-22-33-44-%02X-%02X", k / 256, k % 256), {0x11, 0x22, 0x33, 0x44}, 100 + k};
    c.mac_bytes[4] = static_cast<std::uint8_t>(k / 256);
    c.mac_bytes[5] = static_cast<std::uint8_t>(k % 256);
    return c;
}

Bytes whole_transcript(const Call& c, const Bytes& download) {
    Bytes decoded;
    for (std::uint8_t b : c.mac_bytes) decoded += fmt("%#X ", b);
    return run_transcript(c.mac, c.count, decoded + "\n", download);
}

TEST(Reliability, OverlappingRunsInOneFolderEachMakeTheImageTheirNameSays) {
    constexpr int runs_at_once = 8;
    // Under the emulator every start costs far more; fewer rounds still
    // overlap every run with seven others.
    const int rounds = launched() ? 3 : 20;
    const std::uint32_t checksum = reference_checksum(maximal.download);
    for (int round = 0; round < rounds; ++round) {
        TempDir dir;
        put_images(dir, maximal);
        std::vector<Call> calls;
        std::vector<std::future<RunResult>> started;
        for (int k = 0; k < runs_at_once; ++k) {
            calls.push_back(call_number(round * runs_at_once + k));
            const std::vector<std::string> args{calls.back().mac,
                                                std::to_string(calls.back().count)};
            started.push_back(std::async(std::launch::async,
                                         [&dir, args] { return run_tool(dir.path(), args); }));
        }
        std::map<std::string, Bytes> expected{{"offline.bin", maximal.offline},
                                              {"ramboot.bin", maximal.ramboot}};
        std::vector<Bytes> stamped_by;
        for (int k = 0; k < runs_at_once; ++k) {
            const Call& c = calls[static_cast<std::size_t>(k)];
            const RunResult r = started[static_cast<std::size_t>(k)].get();
            EXPECT_EQ(r.status, 0) << c.mac;
            EXPECT_TRUE(same_bytes(console(whole_transcript(c, maximal.download)), r.out)) << c.mac;
            stamped_by.push_back(
                stamped(maximal.download, c.mac_bytes, static_cast<unsigned>(c.count)));
            expected[merged_name(c.mac, checksum, c.count)] =
                merged(maximal.offline, maximal.ramboot, stamped_by.back());
        }
        auto files = dir.listing();
        EXPECT_NE(std::find(stamped_by.begin(), stamped_by.end(), files["download.bin"]),
                  stamped_by.end())
            << "round " << round << ": download.bin is no run's complete stamped image";
        files.erase("download.bin");
        ASSERT_TRUE(same_listing(expected, files)) << "round " << round;
    }
}

// What an interrupted run may leave: the inputs, download.bin original or
// completely stamped, the merged image complete or not at all, nothing else.
::testing::AssertionResult left_whole(const std::map<std::string, Bytes>& files) {
    const auto done = usual_result(maximal);
    for (const auto& [name, bytes] : files) {
        const auto expected = done.find(name);
        const bool fine =
            expected != done.end() &&
            (bytes == expected->second || (name == "download.bin" && bytes == maximal.download));
        if (!fine) return ::testing::AssertionFailure() << "left behind: " << name;
    }
    if (files.size() < 3) return ::testing::AssertionFailure() << "an input went missing";
    return ::testing::AssertionSuccess();
}

TEST(Reliability, InterruptsAtRandomMomentsLeaveNoTemporaryAndNoHalfImage) {
    if (launched()) {
        GTEST_SKIP() << "POSIX signals reach the emulator, not the Windows program's console "
                        "handler";
    }
    // The length of a whole run sets the range of the random moments.
    const auto timed_run = [] {
        TempDir dir;
        put_images(dir, maximal);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(run_tool(dir.path(), usual_args).status, 0);
        return std::chrono::steady_clock::now() - start;
    };
    auto run_time = timed_run();
    for (int k = 0; k < 4; ++k) run_time = std::min(run_time, timed_run());
    std::mt19937 rng(20261208);
    std::uniform_int_distribution<long> moment(
        0, std::chrono::duration_cast<std::chrono::microseconds>(run_time).count() * 3 / 2);
    int interrupted = 0, stamped_only = 0;
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
        for (int k = 0; k < 100; ++k) {
            TempDir dir;
            put_images(dir, maximal);
            PipedRun run(dir.path(), usual_args);
            std::this_thread::sleep_for(std::chrono::microseconds(moment(rng)));
            run.signal(sig);
            const int status = run.finish(30);
            ASSERT_TRUE(status == 0 || status == 128 + sig) << "status " << status;
            const auto files = dir.listing();
            ASSERT_TRUE(left_whole(files)) << "signal " << sig << ", run " << k;
            interrupted += status != 0;
            stamped_only +=
                status != 0 && files.size() == 3 && files.at("download.bin") != maximal.download;
        }
    }
    std::cout << interrupted << " of 300 runs interrupted, " << stamped_only
              << " of them between the two files\n";
}

TEST(Reliability, AnInterruptTheCallerIgnoresStaysIgnored) {
    if (launched()) GTEST_SKIP() << "POSIX signal dispositions: native build only";
    TempDir dir;
    put_images(dir, maximal);
    // nohup starts the tool with SIGHUP ignored, as a job meant to outlive
    // its terminal.
    std::vector<std::string> command{"nohup", tool_path()};
    command.insert(command.end(), usual_args.begin(), usual_args.end());
    PipedRun run(dir.path(), PipedRun::Command{command});
    ASSERT_FALSE(run.read_output(1, 30).empty());  // the tool has started
    for (int k = 0; k < 20 && run.running(); ++k) {
        run.signal(SIGHUP);
        std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
    EXPECT_EQ(run.finish(30), 0);
    EXPECT_TRUE(same_listing(usual_result(maximal), dir.listing()));
}

// Mounts a fresh ext4 file system from an image file on a loop device, for
// as long as it lives; `error` says why not where the machine does not allow
// it (not root, no loop devices, no mkfs.ext4).
class LoopMount {
public:
    explicit LoopMount(const TempDir& scratch) : image_(scratch / "fs.img"), at_(scratch / "mnt") {
        if (geteuid() != 0) {
            error = "needs root to mount a loop device";
            return;
        }
        fs::create_directory(at_);
        std::ofstream(image_).close();
        fs::resize_file(image_, 64 << 20);
        if (!quietly({"mkfs.ext4", "-q", "-F", image_.string()})) {
            error = "mkfs.ext4 failed or is missing";
        } else if (!mount()) {
            error = "cannot mount a loop device here";
        }
    }
    ~LoopMount() {
        if (mounted_) quietly({"umount", at_.string()});
    }
    const fs::path& path() const { return at_; }

    // Stops the file system at once without flushing its journal, as a power
    // cut would, then mounts it again.
    bool cut_power_and_remount() {
        constexpr unsigned long shutdown_ioctl = 0x8004587D;  // EXT4_IOC_SHUTDOWN
        std::uint32_t no_log_flush = 2;                       // EXT4_GOING_FLAGS_NOLOGFLUSH
        const int fd = open(at_.c_str(), O_RDONLY);
        const bool cut = fd >= 0 && ioctl(fd, shutdown_ioctl, &no_log_flush) == 0;
        if (fd >= 0) close(fd);
        mounted_ = !quietly({"umount", at_.string()});
        return cut && !mounted_ && mount();
    }

    std::string error;

private:
    bool mount() {
        mounted_ = quietly({"mount", "-o", "loop", image_.string(), at_.string()});
        return mounted_;
    }
    static bool quietly(const std::vector<std::string>& cmd) {
        const pid_t pid = fork();
        if (pid == 0) {
            const int null = open("/dev/null", O_RDWR);
            dup2(null, 1);
            dup2(null, 2);
            std::vector<char*> argv;
            for (const auto& a : cmd) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        int raw = 0;
        waitpid(pid, &raw, 0);
        return WIFEXITED(raw) && WEXITSTATUS(raw) == 0;
    }
    fs::path image_, at_;
    bool mounted_ = false;
};

TEST(Reliability, APowerCutRightAfterSuccessLosesNothing) {
    if (launched()) GTEST_SKIP() << "the power cut is simulated for the native build only";
    for (const std::size_t size : {204800, 1000, 300}) {
        TempDir scratch;
        LoopMount disk(scratch);
        if (!disk.error.empty()) {
            std::cout << "power cut not simulated: " << disk.error << "\n";
            GTEST_SKIP() << disk.error;
        }
        const Images images{pattern_bytes(size / 5, 4), pattern_bytes(size / 17, 5),
                            pattern_bytes(size, 6)};
        write_file(disk.path() / "offline.bin", images.offline);
        write_file(disk.path() / "ramboot.bin", images.ramboot);
        write_file(disk.path() / "download.bin", images.download);
        sync();  // the inputs are on disk before the run starts
        ASSERT_EQ(run_tool(disk.path(), usual_args).status, 0) << size;
        ASSERT_TRUE(disk.cut_power_and_remount()) << size;
        auto files = usual_result(images);
        files["lost+found"] = "<dir>";
        EXPECT_TRUE(same_listing(files, listing_of(disk.path()))) << size;
    }
}

struct HeldCase {
    int hold_ms;
    int status;
    bool done;  // the run completes; otherwise download.bin stays untouched
};

// TOLP_HOLDER names a Windows helper that holds a file open without sharing
// deletion; Wine keeps Windows' rule that a file so held cannot be replaced.
TEST(Reliability, ADownloadImageHeldOpenForAMomentIsRetried) {
    const char* holder = std::getenv("TOLP_HOLDER");
    if (holder == nullptr || !launched()) {
        GTEST_SKIP() << "Windows' sharing rule: runs against the Windows build (TOLP_HOLDER)";
    }
    const HeldCase cases[] = {{1000, 0, true}, {15000, 255, false}};
    for (const auto& c : cases) {
        TempDir dir;
        const Images images{"off", "ram", pattern_bytes(3000, 7)};
        put_images(dir, images);
        PipedRun hold(dir.path(),
                      PipedRun::Command{{"wine", holder, "download.bin", std::to_string(c.hold_ms),
                                         ".download.bin.*.tmp"}});
        ASSERT_EQ(hold.read_output(console("held\n").size(), 30), console("held\n"));
        const RunResult r = run_tool(dir.path(), usual_args);
        EXPECT_EQ(r.status, c.status) << c.hold_ms;
        const Bytes head =
            echo_transcript(usual_args) +
            arguments_transcript(usual_args[0], 500, "0X11 0X22 0X33 0X44 0X55 0X66 \n") +
            loading_transcript(images.download);
        const Bytes expected = c.done ? usual_run_transcript(images.download)
                                      : head + fmt("\nlength:%x\n%02x %d", 3000, 0, 3000) +
                                            "\nCan not open the path: ./download.bin \n";
        EXPECT_TRUE(same_bytes(console(expected), r.out)) << c.hold_ms;
        hold.finish(c.done ? 30 : 0);
        const std::map<std::string, Bytes> untouched{{"offline.bin", images.offline},
                                                     {"ramboot.bin", images.ramboot},
                                                     {"download.bin", images.download}};
        EXPECT_TRUE(same_listing(c.done ? usual_result(images) : untouched, dir.listing()))
            << c.hold_ms;
    }
}

}  // namespace
