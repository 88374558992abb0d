// The loading stage end to end: the page walk's transcript over the sizes
// that exercise its arithmetic, and the refusals of unusable images.
#include <iostream>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "e2e_support.h"
#include "tool_runner.h"

namespace {

TEST(Loading, PageWalkTranscriptForEverySizeClass) {
    Bytes abc = Bytes(256, 'H') + "abc";
    for (const Bytes& download :
         {Bytes(), Bytes(1, 'a'), pattern_bytes(256, 3), pattern_bytes(257, 4), abc,
          pattern_bytes(512, 5), pattern_bytes(204800, 6), Bytes(1000, '\0')}) {
        TempDir dir;
        const Images images{"offline", "ramboot", download};
        put_images(dir, images);
        const RunResult r = run_tool(dir.path(), usual_args);
        EXPECT_EQ(r.status, 0) << download.size();
        EXPECT_TRUE(same_bytes(console(usual_run_transcript(download)), r.out)) << download.size();
        EXPECT_EQ(r.err, console(usual_warning));
        EXPECT_TRUE(same_listing(usual_result(images), dir.listing())) << download.size();
    }
}

TEST(Loading, OversizeImageIsRefusedAndNothingIsWritten) {
    TempDir dir;
    const Images images{"offline", "ramboot", pattern_bytes(204801, 7)};
    put_images(dir, images);
    const RunResult r = run_tool(dir.path(), usual_args);
    EXPECT_EQ(r.status, 255);
    const Bytes expected =
        echo_transcript(usual_args) +
        arguments_transcript(usual_args[0], 500, "0X11 0X22 0X33 0X44 0X55 0X66 \n") +
        "Size of file: 204801 bytes.\n\n"
        "file too large: ./download.bin is 204801 bytes, limit 204800 bytes !\n";
    EXPECT_TRUE(same_bytes(console(expected), r.out));
    EXPECT_TRUE(same_listing({{"offline.bin", images.offline},
                              {"ramboot.bin", images.ramboot},
                              {"download.bin", images.download}},
                             dir.listing()));
}

TEST(Loading, MissingOrFolderDownloadImageIsReportedOnBothStreams) {
    enum class Kind { missing, folder, fifo };
    const struct {
        Kind kind;
        const char* reason;
    } cases[] = {{Kind::missing, "No such file or directory"},
                 {Kind::folder, "Is a directory"},
                 // Refused at once: opening it does not wait for a writer.
                 {Kind::fifo, "not a regular file"}};
    for (const auto& c : cases) {
        if (c.kind == Kind::fifo && launched()) {
            skip_case("FIFO", "a Windows program under the emulator has none");
            continue;
        }
        TempDir dir;
        dir.write("offline.bin", "offline");
        dir.write("ramboot.bin", "ramboot");
        if (c.kind == Kind::folder) fs::create_directory(dir / "download.bin");
        if (c.kind == Kind::fifo) {
            ASSERT_EQ(mkfifo((dir / "download.bin").c_str(), 0600), 0);
        }
        const RunResult r = run_tool(dir.path(), usual_args);
        EXPECT_EQ(r.status, 255) << c.reason;
        EXPECT_TRUE(reason_line(usual_warning + "Error opening file: " + c.reason + "\n", r.err));
        const Bytes expected =
            echo_transcript(usual_args) +
            arguments_transcript(usual_args[0], 500, "0X11 0X22 0X33 0X44 0X55 0X66 \n") +
            "\nCan not open the path: ./download.bin \n";
        EXPECT_TRUE(same_bytes(console(expected), r.out)) << c.reason;
        auto expected_files =
            std::map<std::string, Bytes>{{"offline.bin", "offline"}, {"ramboot.bin", "ramboot"}};
        if (c.kind != Kind::missing) {
            expected_files["download.bin"] = c.kind == Kind::folder ? "<dir>" : "<other>";
        }
        EXPECT_TRUE(same_listing(expected_files, dir.listing())) << c.reason;
    }
}

}  // namespace
