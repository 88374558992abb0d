// The stamping and merge stages end to end: the stamped header page, the
// merged image's name and layout, and the failures of these stages.
#include <functional>
#include <iostream>
#include <iterator>

#include <gtest/gtest.h>

#include "e2e_support.h"
#include "image_format.h"
#include "tool_runner.h"

namespace {

Bytes hex_bytes(std::initializer_list<int> values) {
    Bytes out;
    for (int v : values) out += static_cast<char>(v);
    return out;
}

const Bytes usual_head =
    echo_transcript(usual_args) +
    arguments_transcript(usual_args[0], 500, "0X11 0X22 0X33 0X44 0X55 0X66 \n");

// Golden runs, every expected byte written out by hand from the header page
// format rather than computed: the 259-byte image ending in "abc" (checksum
// 0x6B1DDC00) and the empty image.
struct GoldenCase {
    Bytes download;
    Bytes transcript_tail;  // after the argument lines
    Bytes stamped_download;
    std::string merged_name;
};

TEST(GoldenRun, TranscriptHeaderAndMergedImageFromLiterals) {
    Bytes abc_stamped = Bytes(256, '\0') + "abc";
    abc_stamped.replace(16, 4, hex_bytes({0x00, 0x00, 0x01, 0x03}));
    abc_stamped.replace(64, 4, hex_bytes({0x00, 0xDC, 0x1D, 0x6B}));
    abc_stamped.replace(72, 4, hex_bytes({0xF4, 0x01, 0x00, 0x00}));
    abc_stamped.replace(136, 8, hex_bytes({0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x65, 0x01}));
    const GoldenCase cases[] = {
        {Bytes(256, '\0') + "abc",
         "Size of file: 259 bytes.\n\n\ncrc:1:6b1ddc00\n"
         "PageCNT:2remain:3file_sumcheck:6b1ddc00 i:2\n"
         "\nlength:103\n00 259updata mac success !\nmerge file success !\n",
         abc_stamped, "11-22-33-44-55-66_6B1DDC00_500.bin"},
        {"",
         "Size of file: 0 bytes.\n\nPageCNT:0remain:256file_sumcheck:0 i:1\n"
         "\nlength:0\n00 0updata mac success !\nmerge file success !\n",
         "", "11-22-33-44-55-66_00000000_500.bin"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        put_images(dir, {"", "", c.download});
        const RunResult r = run_tool(dir.path(), usual_args);
        EXPECT_EQ(r.status, 0) << c.merged_name;
        EXPECT_TRUE(same_bytes(console(usual_head + c.transcript_tail), r.out)) << c.merged_name;
        EXPECT_TRUE(same_listing({{"offline.bin", ""},
                                  {"ramboot.bin", ""},
                                  {"download.bin", c.stamped_download},
                                  {c.merged_name, Bytes(0xD000, '\xFF') + c.stamped_download}},
                                 dir.listing()));
    }
}

struct FieldCase {
    std::string mac, count;
    std::size_t offset;
    Bytes field;
    std::string name_tail;
};

TEST(Stamping, CountsAndMacsLandInTheFieldsAndTheName) {
    const FieldCase cases[] = {
        {"11-22-33-44-55-66", "1000", 72, hex_bytes({0xE8, 0x03, 0x00, 0x00}), "_1000.bin"},
        {"11-22-33-44-55-66", "-5", 72, hex_bytes({0xFB, 0xFF, 0xFF, 0xFF}), "_-5.bin"},
        {"AA-BB-CC-DD-EE-FF", "500", 136,
         hex_bytes({0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF, 0xFB, 0x04}), "_500.bin"},
        {"1 -22-33-44-55-66", "7", 136, hex_bytes({0x01, 0x22, 0x33, 0x44, 0x55, 0x66}), "_7.bin"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const Bytes download = pattern_bytes(256, 1) + Bytes(100, '\0');  // checksum 0
        put_images(dir, {"", "", download});
        const RunResult r = run_tool(dir.path(), {c.mac, c.count});
        EXPECT_EQ(r.status, 0) << c.mac << " " << c.count;
        const Bytes got = dir.read("download.bin");
        EXPECT_TRUE(same_bytes(c.field, got.substr(c.offset, c.field.size()))) << c.count;
        EXPECT_TRUE(same_bytes(Bytes(4, '\0'), got.substr(64, 4))) << c.count;
        EXPECT_EQ(dir.listing().count(c.mac + "_00000000" + c.name_tail), 1u) << c.count;
    }
}

TEST(Stamping, ShortImagesKeepTheirSizeAndOnlyTheFieldsInside) {
    for (const std::size_t size : {0, 10, 18, 100, 137, 143, 144, 256}) {
        TempDir dir;
        const Images images{"off", "ram", pattern_bytes(size, 11)};
        put_images(dir, images);
        // A file-size limit of just the merged image's size is room enough.
        const RunResult r = run_tool(dir.path(), usual_args, {long(merged_size(size))});
        EXPECT_EQ(r.status, 0) << size;
        EXPECT_TRUE(same_bytes(console(usual_run_transcript(images.download)), r.out)) << size;
        EXPECT_TRUE(same_listing(usual_result(images), dir.listing())) << size;
    }
    // A 100-byte image: length, checksum and count, but no MAC bytes.
    TempDir dir;
    const Bytes download(100, '\x5A');
    put_images(dir, {"", "", download});
    run_tool(dir.path(), usual_args);
    Bytes expected = download;
    expected.replace(16, 4, hex_bytes({0, 0, 0, 100}));
    expected.replace(64, 4, Bytes(4, '\0'));
    expected.replace(72, 4, hex_bytes({0xF4, 0x01, 0, 0}));
    EXPECT_TRUE(same_bytes(expected, dir.read("download.bin")));
}

TEST(Stamping, ASecondRunWithTheSameArgumentsChangesNothing) {
    TempDir dir;
    const Images images{pattern_bytes(5000, 1), pattern_bytes(3000, 2), pattern_bytes(4000, 3)};
    put_images(dir, images);
    ASSERT_EQ(run_tool(dir.path(), usual_args).status, 0);
    const auto first = dir.listing();
    const RunResult again = run_tool(dir.path(), usual_args);
    EXPECT_EQ(again.status, 0);
    EXPECT_TRUE(same_listing(first, dir.listing()));
    EXPECT_TRUE(same_listing(usual_result(images), first));
}

struct LayoutCase {
    std::size_t offline, ramboot, download;
    Bytes warnings = "";  // after the MAC's, on standard error
};

TEST(Merge, LayoutPlacesEachImageAndFillsTheGaps) {
    const auto overrun = [](const char* path, std::size_t size, std::size_t over, std::size_t room,
                            std::size_t covered) {
        return formatted(text::warn_overrun, path, size, over, room, covered);
    };
    const LayoutCase cases[] = {
        {0, 0, 1000},
        {100, 10, 1000},
        {0, 0, 0},
        {40960, 12288, 204800},
        {45000, 10, 1000, overrun("./offline.bin", 45000, 4040, 40960, 10)},
        {100, 13000, 1000, overrun("./ramboot.bin", 13000, 712, 12288, 712)},
        {53248, 0, 0, overrun("./offline.bin", 53248, 12288, 40960, 0)},
        {20, 12288 + 5000, 5000, overrun("./ramboot.bin", 17288, 5000, 12288, 5000)},
        {54000, 100, 800, overrun("./offline.bin", 54000, 13040, 40960, 852)},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const Images images{pattern_bytes(c.offline, 21), pattern_bytes(c.ramboot, 22),
                            pattern_bytes(c.download, 23)};
        put_images(dir, images);
        const RunResult r = run_tool(dir.path(), usual_args);
        const std::string label = std::to_string(c.offline) + "/" + std::to_string(c.ramboot) +
                                  "/" + std::to_string(c.download);
        EXPECT_EQ(r.status, 0) << label;
        EXPECT_EQ(r.err, console(usual_warning + c.warnings)) << label;
        EXPECT_TRUE(same_listing(usual_result(images), dir.listing())) << label;
    }
}

TEST(Merge, OverlongImagesRunOnAndTheLaterImageWins) {
    TempDir dir;
    const Images images{pattern_bytes(45000, 31), pattern_bytes(10, 32), pattern_bytes(1000, 33)};
    put_images(dir, images);
    ASSERT_EQ(run_tool(dir.path(), usual_args).status, 0);
    const Bytes got =
        dir.read(merged_name(usual_args[0], reference_checksum(images.download), 500));
    ASSERT_EQ(got.size(), 54248u);
    EXPECT_TRUE(same_bytes(images.offline.substr(0, 40960), got.substr(0, 40960)));
    EXPECT_TRUE(same_bytes(images.ramboot, got.substr(40960, 10)));
    EXPECT_TRUE(same_bytes(images.offline.substr(40970, 4030), got.substr(40970, 4030)));
    EXPECT_TRUE(same_bytes(Bytes(53248 - 45000, '\xFF'), got.substr(45000, 53248 - 45000)));
    EXPECT_TRUE(same_bytes(dir.read("download.bin"), got.substr(53248)));
}

TEST(Merge, AnExistingMergedImageIsReplacedNotAppended) {
    TempDir dir;
    const Images images{"offline", "ramboot", pattern_bytes(2000, 41)};
    put_images(dir, images);
    const std::string name = merged_name(usual_args[0], reference_checksum(images.download), 500);
    dir.write(name, pattern_bytes(100000, 42));
    EXPECT_EQ(run_tool(dir.path(), usual_args).status, 0);
    EXPECT_TRUE(same_listing(usual_result(images), dir.listing()));
}

struct FailureCase {
    const char* label;
    Images images;
    // Changes the folder after the images are put, and the expected listing
    // to match.
    std::function<void(const TempDir&, std::map<std::string, Bytes>&)> setup;
    Bytes tail;         // what follows the stamping transcript
    Bytes reason = "";  // on standard error
};

TEST(Merge, FailuresLeaveNoMergedImageAndNoTemporary) {
    const Bytes small = pattern_bytes(1000, 51);
    const std::string name = merged_name(usual_args[0], reference_checksum(small), 500);
    const auto remove = [](const char* file) {
        return [file](const TempDir& dir, std::map<std::string, Bytes>& files) {
            fs::remove(dir / file);
            files.erase(file);
        };
    };
    const auto nothing = [](const TempDir&, std::map<std::string, Bytes>&) {};
    const FailureCase cases[] = {
        {"missing offline",
         {"", "ram", small},
         remove("offline.bin"),
         "\nCan not open the path: ./offline.bin \n",
         "./offline.bin: No such file or directory\n"},
        {"missing ramboot",
         {"off", "", small},
         remove("ramboot.bin"),
         "\nCan not open the path: ./ramboot.bin \n",
         "./ramboot.bin: No such file or directory\n"},
        {"folder in the way",
         {"off", "ram", small},
         [&name](const TempDir& dir, std::map<std::string, Bytes>& files) {
             fs::create_directory(dir / name);
             files[name] = "<dir>";
         },
         "\nCan not open the path: " + name + " \n",
         name + ": not a regular file\n"},
        {"offline too large",
         {pattern_bytes(54249, 52), "ram", small},
         nothing,
         "file too large: ./offline.bin is 54249 bytes, limit 54248 bytes !\n"},
        {"ramboot too large",
         {"off", pattern_bytes(13289, 53), small},
         nothing,
         "file too large: ./ramboot.bin is 13289 bytes, limit 13288 bytes !\n"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        put_images(dir, c.images);
        auto files = usual_result(c.images);
        files.erase(name);
        c.setup(dir, files);
        const RunResult r = run_tool(dir.path(), usual_args);
        EXPECT_EQ(r.status, 255) << c.label;
        const Bytes expected = usual_head + loading_transcript(c.images.download) +
                               stamping_transcript(c.images.download.size()) + c.tail;
        EXPECT_TRUE(same_bytes(console(expected), r.out)) << c.label;
        EXPECT_TRUE(same_listing(files, dir.listing())) << c.label;
        EXPECT_TRUE(reason_line(usual_warning + c.reason, r.err)) << c.label;
    }
}

TEST(Stamping, ADownloadImageBehindASymbolicLinkIsStampedInItsTarget) {
    if (launched())
        GTEST_SKIP() << "under the emulator a POSIX symbolic link looks like a plain file";
    TempDir dir;
    const Images images{"off", "ram", pattern_bytes(900, 81)};
    put_images(dir, images);
    fs::create_directory(dir / "images");
    fs::rename(dir / "download.bin", dir / "images" / "app.bin");
    fs::create_symlink("images/app.bin", dir / "download.bin");
    ASSERT_EQ(run_tool(dir.path(), usual_args).status, 0);
    auto files = usual_result(images);
    EXPECT_TRUE(same_bytes(files["download.bin"], read_file(dir / "images" / "app.bin")));
    files["download.bin"] = "<link>images/app.bin";
    files["images"] = "<dir>";
    EXPECT_TRUE(same_listing(files, dir.listing()));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "images"), fs::directory_iterator()), 1)
        << "a temporary was left beside the link's target";
}

// From the moment download.bin is stamped, every request the run makes for
// more memory is refused: the merged image's memory cannot be had.
TEST(Merge, LackOfMemoryIsReportedAsAFailure) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer's allocator maps its own memory";
#endif
    if (launched()) GTEST_SKIP() << "strace follows the emulator, not the Windows program";
    REQUIRE_PROGRAM("strace");
    const Images images{pattern_bytes(40960, 71), pattern_bytes(12288, 72),
                        pattern_bytes(204800, 73)};
    TempDir dir;
    put_images(dir, images);
    const RunOptions refused{-1, false, "fdatasync"};  // from download.bin's flush on
    const RunResult r = run_tool(dir.path(), usual_args, refused);
    const auto files = dir.listing();
    EXPECT_EQ(r.status, 253);
    const Bytes expected = usual_head + loading_transcript(images.download) +
                           stamping_transcript(images.download.size()) + "malloc memory fail !\n";
    EXPECT_TRUE(same_bytes(console(expected), r.out));
    auto expected_files = usual_result(images);
    expected_files.erase(merged_name(usual_args[0], reference_checksum(images.download), 500));
    EXPECT_TRUE(same_listing(expected_files, files));
}

struct RewriteFailure {
    const char* label;
    long file_size_limit;
    bool read_only;
    int status;
    Bytes message;
    Bytes reason;  // on standard error
};

TEST(Stamping, AFailedRewriteKeepsTheDownloadImageWhole) {
    const RewriteFailure cases[] = {
        {"a file-size limit below the merged image", 1500, false, 1, "fwrite file error\xA3\xA1\n",
         merged_name(usual_args[0], reference_checksum(pattern_bytes(3000, 61)), 500) +
             ": the file-size limit, 1500 bytes, is below its 56248 bytes\n"},
        {"read-only file", -1, true, 255, "\nCan not open the path: ./download.bin \n",
         "./download.bin: read-only\n"},
    };
    for (const auto& c : cases) {
        if (c.file_size_limit >= 0 && launched()) {
            // Windows has none; the emulator shows one as a full disk, which
            // a stamp in place never meets.
            skip_case(c.label, "no file-size limit on Windows");
            continue;
        }
        TempDir dir;
        const Images images{"off", "ram", pattern_bytes(3000, 61)};
        put_images(dir, images);
        if (c.read_only) {
            fs::permissions(dir / "download.bin",
                            fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        }
        const RunResult r = run_tool(dir.path(), usual_args, {c.file_size_limit});
        EXPECT_EQ(r.status, c.status) << c.label;
        const Bytes expected = usual_head + loading_transcript(images.download) +
                               formatted("\nlength:%x\n%02x %d", 3000, 0, 3000) + c.message;
        EXPECT_TRUE(same_bytes(console(expected), r.out)) << c.label;
        EXPECT_TRUE(same_listing(
            {{"offline.bin", "off"}, {"ramboot.bin", "ram"}, {"download.bin", images.download}},
            dir.listing()))
            << c.label;
        EXPECT_TRUE(reason_line(usual_warning + c.reason, r.err)) << c.label;
    }
}

}  // namespace
