// The run sequence end to end: argument count, echo lines, stops and waits.
#include <iostream>

#include <sys/syscall.h>

#include <gtest/gtest.h>

#include "e2e_support.h"
#include "tool_runner.h"

namespace {

struct CallCase {
    std::vector<std::string> args;
    Bytes transcript;
    int status;
    // Standard output on a terminal with this locale; otherwise a pipe.
    const char* terminal_locale = nullptr;
    Bytes err = "";               // standard error
    bool terminal_input = false;  // standard input on a terminal
};

const char* const utf8_locale = "C.UTF-8";

// Calls answered before any stage: too few arguments, help and version.
TEST(RunSequence, ShortCallsAreAnsweredAndTouchNothing) {
    const Bytes none = formatted(text::arg_count, 0) + text::need_mac_and_count;
    const Bytes none_utf8 = formatted(text::arg_count_utf8, 0) + text::need_mac_and_count_utf8;
    const CallCase cases[] = {
        {{}, none, 255},
        {{"11-22-33-44-55-66"}, formatted(text::arg_count, 1) + text::need_count, 255},
        {{""}, formatted(text::arg_count, 1) + text::need_count, 255},
        // A terminal that reads UTF-8 gets the texts in UTF-8; another
        // locale's terminal, like a pipe, the GBK bytes.
        {{}, none_utf8, 255, utf8_locale},
        {{}, none, 255, "C"},
        // A UTF-8 locale this machine does not have: the terminal reads UTF-8.
        {{}, none_utf8, 255, "xx_XX.UTF-8"},
        // Waiting at a keyboard, the message in a file: said on the screen.
        {{}, none, 255, nullptr, text::waiting_for_enter, true},
        {{"--help"}, text::usage, 0},
        {{"-h"}, text::usage, 0},
        {{"--help"}, text::usage_utf8, 0, utf8_locale},
        {{"--version"}, formatted(text::version, TOLP_VERSION), 0},
    };
    for (const auto& c : cases) {
        const std::string label = "with " + std::to_string(c.args.size()) + " argument(s) " +
                                  (c.args.empty() ? "" : c.args[0]) + " on " +
                                  (c.terminal_locale ? c.terminal_locale : "a pipe");
        if ((c.terminal_locale != nullptr || c.terminal_input) && launched()) {
            skip_case(label, "the Windows console is checked in tmux");
            continue;
        }
        TempDir dir;
        dir.write("download.bin", "keep");
        RunOptions shown;
        shown.terminal_locale = c.terminal_locale;
        shown.terminal_input = c.terminal_input;
        const RunResult r = run_tool(dir.path(), c.args, shown);
        EXPECT_EQ(r.status, c.status) << label;
        EXPECT_TRUE(same_bytes(console(c.transcript), r.out)) << label;
        // A refusal says on standard error what the call needs.
        const Bytes hint = c.status == 255 ? text::hint_arguments : "";
        EXPECT_EQ(r.err, console(hint + c.err)) << label;
        EXPECT_TRUE(same_listing({{"download.bin", "keep"}}, dir.listing())) << label;
    }
}

TEST(RunSequence, ArgumentsAreCountedAndEchoedAndAThirdIsIgnored) {
    const CallCase cases[] = {
        {{"ab", "cd"}, echo_transcript({"ab", "cd"}) + text::mac_bad_length, 254},
        {{"", ""}, echo_transcript({"", ""}) + text::mac_bad_length, 254},
        {{"ab", "cd", "third"}, echo_transcript({"ab", "cd", "third"}) + text::mac_bad_length, 254},
        // Arguments go into the UTF-8 texts as they came.
        {{"\xE7\x94\x9F\xE4\xBA\xA7", "cd"},
         echo_transcript({"\xE7\x94\x9F\xE4\xBA\xA7", "cd"}, true) + text::mac_bad_length_utf8,
         254,
         utf8_locale},
    };
    for (const auto& c : cases) {
        if (c.terminal_locale != nullptr && launched()) {
            skip_case(c.args[0], "the Windows console is checked in tmux");
            continue;
        }
        TempDir dir;
        RunOptions shown;
        shown.terminal_locale = c.terminal_locale;
        const RunResult r = run_tool(dir.path(), c.args, shown);
        EXPECT_EQ(r.status, c.status) << c.args[0];
        EXPECT_TRUE(same_bytes(console(c.transcript), r.out)) << c.args[0];
        EXPECT_TRUE(dir.listing().empty());
    }
}

// With the input held open a read would block: these calls end on their own.
TEST(RunSequence, SuccessfulCallsNeverReadInput) {
    const Images images{"offline", "ramboot", pattern_bytes(700, 9)};
    const std::map<std::string, Bytes> untouched{{"offline.bin", images.offline},
                                                 {"ramboot.bin", images.ramboot},
                                                 {"download.bin", images.download}};
    const struct {
        std::vector<std::string> args;
        Bytes transcript;
        std::map<std::string, Bytes> files;
    } cases[] = {
        {{usual_args[0], usual_args[1], "extra"},
         formatted(text::arg_count, 3) +
             usual_run_transcript(images.download).substr(formatted(text::arg_count, 2).size()),
         usual_result(images)},
        {{"--help"}, text::usage, untouched},
        {{"--version"}, formatted(text::version, TOLP_VERSION), untouched},
    };
    for (const auto& c : cases) {
        TempDir dir;
        put_images(dir, images);
        PipedRun run(dir.path(), tool_command(c.args));
        EXPECT_EQ(run.finish(30), 0) << c.args[0];
        EXPECT_TRUE(same_bytes(console(c.transcript), run.result.out)) << c.args[0];
        EXPECT_TRUE(same_listing(c.files, dir.listing())) << c.args[0];
    }
}

TEST(RunSequence, AStopWaitsForAKeyWithItsMessageAlreadyShown) {
    TempDir dir;
    PipedRun run(dir.path(), tool_command({"only-one"}));
    const Bytes expected = console(formatted(text::arg_count, 1) + text::need_count);
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
    if (launched()) GTEST_SKIP() << "a launcher always passes the program name";
    TempDir dir;
    RunOptions no_name;
    no_name.empty_argv = true;
    const RunResult r = run_command(dir.path(), {tool_path()}, no_name);
    EXPECT_EQ(r.status, 255);
    // Newer kernels hand such a program an empty name: either way, 0 arguments.
    EXPECT_TRUE(same_bytes(formatted(text::arg_count, 0) + text::need_mac_and_count, r.out));
}

}  // namespace
