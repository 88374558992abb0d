// The loading stage end to end: the page walk's transcript over the sizes
// that exercise its arithmetic, and the refusals of unusable images.
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
        EXPECT_EQ(r.err, "");
        EXPECT_TRUE(same_listing(usual_result(images), dir.listing())) << download.size();
        EXPECT_TRUE(checker_accepts_merged_images(dir.path())) << download.size();
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
    const struct {
        bool folder;
        const char* reason;
    } cases[] = {{false, "No such file or directory"}, {true, "Is a directory"}};
    for (const auto& c : cases) {
        TempDir dir;
        dir.write("offline.bin", "offline");
        dir.write("ramboot.bin", "ramboot");
        if (c.folder) fs::create_directory(dir / "download.bin");
        const RunResult r = run_tool(dir.path(), usual_args);
        EXPECT_EQ(r.status, 255) << c.reason;
        EXPECT_TRUE(same_bytes(console(Bytes("Error opening file: ") + c.reason + "\n"), r.err));
        const Bytes expected =
            echo_transcript(usual_args) +
            arguments_transcript(usual_args[0], 500, "0X11 0X22 0X33 0X44 0X55 0X66 \n") +
            "\nCan not open the path: ./download.bin \n";
        EXPECT_TRUE(same_bytes(console(expected), r.out)) << c.reason;
        auto expected_files =
            std::map<std::string, Bytes>{{"offline.bin", "offline"}, {"ramboot.bin", "ramboot"}};
        if (c.folder) expected_files["download.bin"] = "<dir>";
        EXPECT_TRUE(same_listing(expected_files, dir.listing())) << c.reason;
    }
}

}  // namespace
