// The run sequence end to end: argument count, echo lines, stops and waits.
#include <sys/syscall.h>

#include <gtest/gtest.h>

#include "e2e_support.h"
#include "tool_runner.h"

namespace {

struct CallCase {
    std::vector<std::string> args;
    Bytes transcript;
    int status;
};

TEST(RunSequence, TooFewArgumentsAreRefusedAndTouchNothing) {
    const CallCase cases[] = {
        {{}, fmt(text::arg_count, 0) + text::need_mac_and_count, 255},
        {{"11-22-33-44-55-66"}, fmt(text::arg_count, 1) + text::need_count, 255},
        {{""}, fmt(text::arg_count, 1) + text::need_count, 255},
    };
    for (const auto& c : cases) {
        TempDir dir;
        dir.write("download.bin", "keep");
        const RunResult r = run_tool(dir.path(), c.args);
        const std::string label = "with " + std::to_string(c.args.size()) + " argument(s)";
        EXPECT_EQ(r.status, c.status) << label;
        EXPECT_TRUE(same_bytes(console(c.transcript), r.out)) << label;
        EXPECT_EQ(r.err, "") << label;
        EXPECT_TRUE(same_listing({{"download.bin", "keep"}}, dir.listing())) << label;
    }
}

TEST(RunSequence, ArgumentsAreCountedAndEchoedAndAThirdIsIgnored) {
    const CallCase cases[] = {
        {{"ab", "cd"}, echo_transcript({"ab", "cd"}) + text::mac_bad_length, 254},
        {{"", ""}, echo_transcript({"", ""}) + text::mac_bad_length, 254},
        {{"ab", "cd", "third"}, echo_transcript({"ab", "cd", "third"}) + text::mac_bad_length, 254},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const RunResult r = run_tool(dir.path(), c.args);
        EXPECT_EQ(r.status, c.status) << c.args[0];
        EXPECT_TRUE(same_bytes(console(c.transcript), r.out)) << c.args[0];
        EXPECT_TRUE(dir.listing().empty());
    }
}

TEST(RunSequence, AWholeRunWithAnExtraArgumentNeverReadsInput) {
    TempDir dir;
    const Images images{"offline", "ramboot", pattern_bytes(700, 9)};
    put_images(dir, images);
    std::vector<std::string> args = usual_args;
    args.push_back("extra");
    PipedRun run(dir.path(), tool_command(args));  // input held open: a read would block
    EXPECT_EQ(run.finish(30), 0);
    const Bytes expected =
        fmt(text::arg_count, 3) +
        usual_run_transcript(images.download).substr(fmt(text::arg_count, 2).size());
    EXPECT_TRUE(same_bytes(console(expected), run.result.out));
    EXPECT_TRUE(same_listing(usual_result(images), dir.listing()));
}

TEST(RunSequence, AStopWaitsForAKeyWithItsMessageAlreadyShown) {
    TempDir dir;
    PipedRun run(dir.path(), tool_command({"only-one"}));
    const Bytes expected = console(fmt(text::arg_count, 1) + text::need_count);
    EXPECT_TRUE(same_bytes(expected, run.read_output(expected.size(), 20)));
    if (!launched()) {
        // The emulator reads for it; the native tool itself waits for the key.
        EXPECT_TRUE(wait_until([&] { return run.blocked_in(SYS_read); }, 20))
            << "the stop did not wait for a key";
    }
    EXPECT_TRUE(run.running()) << "the stop did not wait for a key";
    run.send("x\n");
    EXPECT_EQ(run.finish(20), 255);
}

TEST(RunSequence, ZeroArgumentCountIsAnsweredLikeNoArguments) {
    if (launched()) {
        GTEST_SKIP() << "a launcher always passes the program name";
    }
    TempDir dir;
    RunOptions no_name;
    no_name.empty_argv = true;
    const RunResult r = run_command(dir.path(), {tool_path()}, no_name);
    EXPECT_EQ(r.status, 255);
    // Newer kernels hand such a program an empty name: either way, 0 arguments.
    EXPECT_TRUE(same_bytes(fmt(text::arg_count, 0) + text::need_mac_and_count, r.out));
}

}  // namespace
