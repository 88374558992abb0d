// Tolp_image_check on images the tool made, and on damaged, truncated and
// renamed copies of them.
#include <functional>

#include <gtest/gtest.h>

#include "e2e_support.h"
#include "tool_runner.h"

namespace {

// A folder where the tool has made one merged image; returns its name.
std::string make_image(const TempDir& dir, const Bytes& download) {
    put_images(dir, {"offline", "ramboot", download});
    const RunResult r = run_tool(dir.path(), usual_args);
    EXPECT_EQ(r.status, 0);
    return merged_name(usual_args[0], reference_checksum(download), 500);
}

TEST(ImageCheck, ReportsEveryFieldOfAGoodImage) {
    TempDir dir;
    const std::string name = make_image(dir, Bytes(256, '\0') + "abc");
    const auto before = dir.listing();
    const RunResult r = run_checker(dir.path(), {name});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(
        same_bytes(name + "\n"
                          "  download image length: 259 bytes\n"
                          "  size: file 53507 bytes, expected 0xD000 + 259 = 53507: OK\n"
                          "  checksum: stamped 6B1DDC00, computed 6B1DDC00: OK\n"
                          "  count: 500\n"
                          "  MAC: 11 22 33 44 55 66\n"
                          "  MAC sum: stamped 357, the MAC bytes add up to 357: OK\n"
                          "  name MAC: name says 11 22 33 44 55 66, stamped 11 22 33 44 55 66: OK\n"
                          "  name checksum: name says 6B1DDC00, stamped 6B1DDC00: OK\n"
                          "  name count: name says 500, stamped 500: OK\n"
                          "  result: consistent\n",
                   r.out));
    EXPECT_TRUE(same_listing(before, dir.listing())) << "the checker wrote something";
}

struct Damage {
    const char* label;
    std::function<void(Bytes&)> change;
    std::string new_name;  // empty: keep the name
    int status;
    std::string expected_line;
};

TEST(ImageCheck, FindsDamagedTruncatedAndRenamedCopies) {
    const Damage cases[] = {
        {"flipped payload byte", [](Bytes& b) { b[0xD000 + 257] ^= 0x01; }, "", 1,
         "  checksum: stamped 6B1DDC00, computed "},
        {"truncated copy", [](Bytes& b) { b.resize(b.size() - 1); }, "", 1,
         "  size: file 53506 bytes, expected 0xD000 + 259 = 53507: FAIL\n"},
        {"other MAC in the name", nullptr, "11-22-33-44-55-67_6B1DDC00_500.bin", 1,
         "  name MAC: name says 11 22 33 44 55 67, stamped 11 22 33 44 55 66: FAIL\n"},
        {"other count in the name", nullptr, "11-22-33-44-55-66_6B1DDC00_50.bin", 1,
         "  name count: name says 50, stamped 500: FAIL\n"},
        {"other checksum digits", nullptr, "11-22-33-44-55-66_6B1DDC01_500.bin", 1,
         "  name checksum: name says 6B1DDC01, stamped 6B1DDC00: FAIL\n"},
        {"changed MAC sum", [](Bytes& b) { b[0xD000 + 142] = 0x66; }, "", 1,
         "  MAC sum: stamped 358, the MAC bytes add up to 357: FAIL\n"},
        {"truncated inside the header page", [](Bytes& b) { b.resize(0xD000 + 70); }, "", 1,
         "  count: absent (the download image ends at byte 70 of the header page)\n"},
        {"shorter than the length field", [](Bytes& b) { b.resize(0xD000 + 19); }, "", 2,
         "  too short: a merged image holds at least 53268 bytes\n  result: TOO SHORT\n"},
        {"name not in the tool's form", nullptr, "image.bin", 0,
         "  name: not in the tool's form, not compared\n  result: consistent\n"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const std::string name = make_image(dir, Bytes(256, '\0') + "abc");
        Bytes image = dir.read(name);
        if (c.change) c.change(image);
        fs::remove(dir / name);
        const std::string checked = c.new_name.empty() ? name : c.new_name;
        dir.write(checked, image);
        const RunResult r = run_checker(dir.path(), {checked});
        EXPECT_EQ(r.status, c.status) << c.label << "\n" << r.out;
        EXPECT_NE(r.out.find(c.expected_line), Bytes::npos) << c.label << "\n" << r.out;
        if (c.status == 1) {
            EXPECT_NE(r.out.find("result: INCONSISTENT\n"), Bytes::npos) << c.label;
        }
    }
}

TEST(ImageCheck, ShortDownloadImagesReportAbsentFields) {
    TempDir dir;
    const std::string name = make_image(dir, Bytes(100, 'z'));
    const RunResult r = run_checker(dir.path(), {name});
    EXPECT_EQ(r.status, 0) << r.out;
    for (const char* line :
         {"  MAC: absent (the download image ends at byte 100 of the header page)\n",
          "  MAC sum: absent (the download image ends at byte 100 of the header page)\n",
          "  count: 500\n", "  name count: name says 500, stamped 500: OK\n"}) {
        EXPECT_NE(r.out.find(line), Bytes::npos) << line << r.out;
    }
}

TEST(ImageCheck, TheWorstImageDecidesTheStatus) {
    TempDir dir;
    const std::string good = make_image(dir, pattern_bytes(900, 5));
    dir.write("copy_of_good.bin", dir.read(good));
    const Bytes bad = dir.read(good).substr(0, 0xD000 + 800);  // truncated
    dir.write("99" + good.substr(2), bad);
    EXPECT_EQ(run_checker(dir.path(), {good, "copy_of_good.bin"}).status, 0);
    EXPECT_EQ(run_checker(dir.path(), {good, "99" + good.substr(2)}).status, 1);
    const RunResult missing = run_checker(dir.path(), {good, "missing.bin", "99" + good.substr(2)});
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.out.find("missing.bin\n  cannot read: not a readable regular file\n"
                               "  result: UNREADABLE\n"),
              Bytes::npos);
    EXPECT_EQ(run_checker(dir.path(), {}).status, 2);
}

}  // namespace
