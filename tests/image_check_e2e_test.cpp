// Tolp_image_check on images the tool made, and on damaged, truncated,
// renamed and missing copies of them, with and without their sources.
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>

#include <sys/syscall.h>

#include <gtest/gtest.h>

#include "e2e_support.h"
#include "image_format.h"
#include "tool_runner.h"

namespace {

// Short offline and RAM boot images, so that both gaps hold erased flash.
const Images made_from{pattern_bytes(100, 91), pattern_bytes(50, 92), Bytes(256, '\0') + "abc"};
const std::string made_name = "11-22-33-44-55-66_6B1DDC00_500.bin";

// A folder where the tool has made its merged image from `made_from`, with
// the sources beside it in "original/" and "stamped/".
void make_image(const TempDir& dir) {
    put_images(dir, made_from);
    ASSERT_EQ(run_tool(dir.path(), usual_args).status, 0);
    for (const char* sub : {"original", "stamped"}) {
        fs::create_directory(dir / sub);
        write_file(dir / sub / "offline.bin", made_from.offline);
        write_file(dir / sub / "ramboot.bin", made_from.ramboot);
    }
    write_file(dir / "original" / "download.bin", made_from.download);
    write_file(dir / "stamped" / "download.bin", dir.read("download.bin"));
}

TEST(ImageCheck, ReportsEveryFieldOfAGoodImage) {
    TempDir dir;
    make_image(dir);
    const auto before = dir.listing();
    const RunResult r = run_checker(dir.path(), {made_name});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(same_bytes(
        console(made_name + "\n"
                            "  download image length: 259 bytes\n"
                            "  size: file 53507 bytes, expected 0xD000 + 259 = 53507: OK\n"
                            "  checksum: stamped 6B1DDC00, computed 6B1DDC00: OK\n"
                            "  count: 500\n"
                            "  MAC: 11 22 33 44 55 66\n"
                            "  MAC sum: stamped 357, the MAC bytes add up to 357: OK\n"
                            "  name MAC: name says 11 22 33 44 55 66, stamped 11 22 33 44 55 "
                            "66: OK\n"
                            "  name checksum: name says 6B1DDC00, stamped 6B1DDC00: OK\n"
                            "  name count: name says 500, stamped 500: OK\n"
                            "  regions: not compared (offline, gaps, RAM boot and download "
                            "payload need --sources)\n"
                            "  result: consistent\n"),
        r.out));
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(same_listing(before, dir.listing())) << "the checker wrote something";
}

// Changes the merged image's bytes in place.
std::function<std::string(const TempDir&)> damaged(std::function<void(Bytes&)> change,
                                                   const std::string& new_name = "") {
    return [change, new_name](const TempDir& dir) {
        Bytes image = dir.read(made_name);
        if (change) change(image);
        fs::remove(dir / made_name);
        const std::string name = new_name.empty() ? made_name : new_name;
        dir.write(name, image);
        return name;
    };
}

// Moves the merged image into `folder` (and copies the original sources to
// `sources`, when given); the path to check.
std::function<std::string(const TempDir&)> moved_to(const std::string& folder,
                                                    const std::string& sources = "") {
    return [folder, sources](const TempDir& dir) {
        fs::create_directory(dir / folder);
        fs::rename(dir / made_name, dir / folder / made_name);
        if (!sources.empty()) fs::copy(dir / "original", dir / sources);
        return folder + "/" + made_name;
    };
}

struct Damage {
    const char* label;
    std::function<std::string(const TempDir&)> make;  // returns the file to check
    std::vector<std::string> options;
    int status;
    std::string expected_out;       // a part of standard output
    std::string expected_err = "";  // a part of standard error
    RunOptions run = {};            // standard output on a full device
    // Done to the file while the checker reads it (held at its first read).
    std::function<void(const TempDir&, const std::string&)> while_reading = nullptr;
    const char* native_only = nullptr;     // why the row needs the native build
    std::vector<std::string> faults = {};  // strace's options failing the checker's calls
};

// An error line as this build words it: a Windows build gives the
// system's reason in Windows' own words, so only what comes before it.
Bytes in_own_words(const Bytes& line) {
    const std::size_t reason = line.rfind(": ");
    return launched() && reason != Bytes::npos ? line.substr(0, reason + 2) : line;
}

// The checker on `args` in `dir`; `act` done while it is held at its first
// read of `file`.
RunResult check_while_reading(const TempDir& dir, const std::vector<std::string>& args,
                              const std::string& file, const std::function<void()>& act) {
    PipedRun run(dir.path(), traced({"-P", (dir / file).string(), "-e", "trace=pread64", "-e",
                                     "inject=pread64:delay_enter=60s:when=1"},
                                    checker_command(args)));
    EXPECT_TRUE(wait_until([&] { return run.stopped_in(SYS_pread64, dir / file); }, 30));
    act();
    run.release();
    run.finish(30);
    return run.result;
}

TEST(ImageCheck, FindsEveryDamageAndRefusesWhatItCannotRead) {
    const std::vector<std::string> original{"--sources", "original"};
    const std::vector<std::string> stamped{"--sources=stamped"};
    const auto flip = [](std::size_t at) { return damaged([at](Bytes& b) { b[at] ^= 0x01; }); };
    const auto renamed = [](const std::string& name) { return damaged(nullptr, name); };
    const auto sources = [](const char* dir) { return std::vector<std::string>{"--sources", dir}; };
    const auto json_sources = [](const char* dir) {
        return std::vector<std::string>{"--json", "--sources", dir};
    };
    const std::vector<std::string> none, json{"--json"};
    const RunOptions as_usual, short_of_memory{-1, false, "openat"};  // from the image's open
    const char* const any_bytes = "a POSIX file name of any bytes";
    const auto long_sources = [](const TempDir& dir) {
        fs::create_directory(dir / "long");
        write_file(dir / "long" / "offline.bin", pattern_bytes(41060, 93));
        write_file(dir / "long" / "ramboot.bin", pattern_bytes(12338, 94));
        write_file(dir / "long" / "download.bin", made_from.download);
        run_tool(dir / "long", usual_args);
        return std::string("long/11-22-33-44-55-66_6B1DDC00_500.bin");
    };
    const Damage cases[] = {
        {"good, original sources", damaged(nullptr), original, 0,
         "  offline: 0x00000-0x00064: OK\n  gap after offline: 0x00064-0x0A000: OK\n"
         "  RAM boot: 0x0A000-0x0A032: OK\n  gap after RAM boot: 0x0A032-0x0D000: OK\n"
         "  download: 0x0D000-0x0D103: OK\n  result: consistent\n"},
        {"good, stamped sources", damaged(nullptr), stamped, 0, "  result: consistent\n"},
        {"offline byte", flip(0x20), original, 1,
         "  offline: 0x00000-0x00064, first difference at 0x00020: FAIL\n"
         "    expected at 0x00020: "},
        {"offline byte unseen without sources", flip(0x20), none, 0, "  result: consistent\n"},
        {"gap after the offline image", flip(0x100), stamped, 1,
         "  gap after offline: 0x00064-0x0A000, first difference at 0x00100: FAIL\n"
         "    expected at 0x00100: FF FF FF FF [FF] FF FF FF FF\n"
         "    found    at 0x00100: FF FF FF FF [FE] FF FF FF FF\n"},
        {"RAM boot byte", flip(0xA031), original, 1,
         "  RAM boot: 0x0A000-0x0A032, first difference at 0x0A031: FAIL\n"},
        {"gap after the RAM boot image", flip(0xCFFF), original, 1,
         "  gap after RAM boot: 0x0A032-0x0D000, first difference at 0x0CFFF: FAIL\n"},
        {"unstamped header byte", flip(0xD000 + 200), original, 1,
         "  download: 0x0D000-0x0D103, first difference at 0x0D0C8: FAIL\n"},
        {"payload byte", flip(0xD000 + 257), {}, 1, "  checksum: stamped 6B1DDC00, computed "},
        {"stamped MAC sum", damaged([](Bytes& b) { b[0xD000 + 142] = 0x66; }), original, 1,
         "  MAC sum: stamped 358, the MAC bytes add up to 357: FAIL\n"
         "    expected at 0x0D08E: 65 01\n    found    at 0x0D08E: 66 01\n"},
        {"other MAC in the name", renamed("11-22-33-44-55-67_6B1DDC00_500.bin"), none, 1,
         "  name MAC: name says 11 22 33 44 55 67, stamped 11 22 33 44 55 66: FAIL\n"},
        {"other count in the name", renamed("11-22-33-44-55-66_6B1DDC00_5.bin"), none, 1,
         "  name count: name says 5, stamped 500: FAIL\n"},
        {"other checksum in the name", renamed("11-22-33-44-55-66_6B1DDC01_500.bin"), none, 1,
         "  name checksum: name says 6B1DDC01, stamped 6B1DDC00: FAIL\n"},
        {"name not in the tool's form", renamed("image.bin"), none, 0,
         "  name: not in the tool's form MAC_CHECKSUM_COUNT.bin (too short), not compared\n"},
        {"a name of one letter", renamed("x"), none, 0,
         "  name: not in the tool's form MAC_CHECKSUM_COUNT.bin (too short), not compared\n"},
        // Names the tool never writes, though shaped like its own.
        {"name with a checksum not in hex", renamed("11-22-33-44-55-66_6B1DDC0G_500.bin"), none, 1,
         "  name: the checksum '6B1DDC0G' is not 8 upper-case hex digits, as the tool writes it: "
         "FAIL\n"},
        {"name with another separator before the count",
         renamed("11-22-33-44-55-66_6B1DDC00-500.bin"), none, 0,
         "  name: not in the tool's form MAC_CHECKSUM_COUNT.bin (no '_' after the 8-character "
         "checksum), not compared\n"},
        {"name with lower-case checksum digits", renamed("11-22-33-44-55-66_6b1ddc00_500.bin"),
         none, 1, "as the tool writes"},
        {"name with a leading zero in the count", renamed("11-22-33-44-55-66_6B1DDC00_0500.bin"),
         none, 1, "  name: the count '0500' is not as the tool writes a count"},
        {"a second copy as Windows names it", renamed("11-22-33-44-55-66_6B1DDC00_500 (1).bin"),
         none, 1, "  name: the count '500 (1)' is not as the tool writes a count"},
        {"sources longer than their room, as the tool lays them out", long_sources, sources("long"),
         0,
         "  offline.bin: 41060 bytes, 100 over its room of 40960; the image lacks its bytes "
         "40960-41059 (under ramboot.bin)\n"
         "  ramboot.bin: 12338 bytes, 50 over its room of 12288; the image lacks its bytes "
         "12288-12337 (under download.bin)\n"},
        {"those overruns as JSON", long_sources, json_sources("long"), 0,
         "\"overruns\": [{\"source\": \"offline.bin\", \"size\": 41060, \"room\": 40960, "
         "\"lacked\": [{\"first\": 40960, \"last\": 41059, \"under\": \"ramboot.bin\"}]}, "
         "{\"source\": \"ramboot.bin\", \"size\": 12338, \"room\": 12288, \"lacked\": "
         "[{\"first\": 12288, \"last\": 12337, \"under\": \"download.bin\"}]}], "},
        {"negative count in the name", renamed("11-22-33-44-55-66_6B1DDC00_-5.bin"), none, 1,
         "  name count: name says -5, stamped 500: FAIL\n"},
        {"sources with an offline image too large for the merged image",
         [](const TempDir& dir) {
             fs::create_directory(dir / "oversized");
             write_file(dir / "oversized" / "offline.bin", Bytes(0xD000 + 260, 'o'));
             write_file(dir / "oversized" / "ramboot.bin", made_from.ramboot);
             write_file(dir / "oversized" / "download.bin", made_from.download);
             return made_name;
         },
         sources("oversized"), 2, "",
         "Tolp_image_check: oversized/offline.bin: too large: 53508 bytes, at most 53507 "
         "expected\n"},
        {"truncated copy", damaged([](Bytes& b) { b.pop_back(); }), none, 1,
         "  size: file 53506 bytes, expected 0xD000 + 259 = 53507: FAIL\n"},
        {"truncated copy with sources", damaged([](Bytes& b) { b.pop_back(); }), original, 1,
         "  download: 0x0D000-0x0D103, first difference at 0x0D102: FAIL\n"
         "    expected at 0x0D102: 00 00 61 62 [63] ..\n"
         "    found    at 0x0D102: 00 00 61 62 [..] ..\n"},
        {"cut inside the header page", damaged([](Bytes& b) { b.resize(0xD000 + 70); }), none, 1,
         "  count: absent (the download image ends at byte 70 of the header page)\n"},
        {"exactly the length field", damaged([](Bytes& b) { b.resize(0xD000 + 20); }), none, 1,
         "  size: file 53268 bytes, expected 0xD000 + 259 = 53507: FAIL\n"},
        {"shorter than the length field", damaged([](Bytes& b) { b.resize(0xD000 + 19); }), none, 2,
         "  result: TOO SHORT\n"},
        {"larger than any merged image",
         [](const TempDir& dir) {
             std::ofstream(dir / "huge.bin").close();
             fs::resize_file(dir / "huge.bin", 3000000000u);  // sparse: never read
             return std::string("huge.bin");
         },
         none, 2, "huge.bin\n  result: TOO LARGE\n",
         "Tolp_image_check: huge.bin: too large: 3000000000 bytes, at most 258048 expected\n"},
        {"missing", [](const TempDir&) { return std::string("missing.bin"); }, none, 2,
         "missing.bin\n  result: UNREADABLE\n",
         "Tolp_image_check: missing.bin: No such file or directory\n"},
        {"a folder",
         [](const TempDir& dir) {
             fs::create_directory(dir / "folder.bin");
             return std::string("folder.bin");
         },
         none, 2, "folder.bin\n  result: UNREADABLE\n",
         "Tolp_image_check: folder.bin: Is a directory\n"},
        // An empty source is read, not refused: it just does not match.
        {"sources with an empty offline image",
         [](const TempDir& dir) {
             fs::copy(dir / "original", dir / "empty_offline");
             write_file(dir / "empty_offline" / "offline.bin", "");
             return made_name;
         },
         sources("empty_offline"), 1,
         "  gap after offline: 0x00000-0x0A000, first difference at 0x00000: FAIL\n"},
        {"sources missing", damaged(nullptr), sources("nowhere"), 2, "",
         "Tolp_image_check: nowhere/download.bin: No such file or directory\n"},
        {"no sources, as JSON", damaged(nullptr), json, 0,
         "{\"name\": \"regions\", \"ok\": null, \"detail\": \"not compared (offline, gaps, "
         "RAM boot and download payload need --sources)\"}"},
        {"a name that is not UTF-8, as JSON", renamed("caf\xE9.bin"), json, 0,
         "\"path\": \"caf\xEF\xBF\xBD.bin\"", "", as_usual, nullptr, any_bytes},
        // A lone continuation byte and sequences cut by an ASCII byte go;
        // U+0080 (a C1 control) is escaped; U+00A0, U+00BF, U+0800, U+FF21,
        // U+1F600 and U+10FFFF (the bounds of lead and second bytes) stay.
        {"a name with UTF-8 at its bounds, as JSON",
         renamed(
             "a\x80\xC2\x80\xC2\xA0\xC2\xBF\xE0\xA0\x80\xEF\xBC\xA1\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF"
             "\xE0\xA0"
             "A\xC2"
             "B.bin"),
         json, 0,
         "\"path\": \"a\xEF\xBF\xBD\\u0080\xC2\xA0\xC2\xBF\xE0\xA0\x80\xEF\xBC\xA1\xF0\x9F\x98\x80"
         "\xF4\x8F\xBF\xBF\xEF\xBF\xBD\xEF\xBF\xBD"
         "A\xEF\xBF\xBD"
         "B.bin\"",
         "", as_usual, nullptr, any_bytes},
        {"a name with a quote and a backslash, as JSON", renamed("q\"\\.bin"), json, 0,
         "\"path\": \"q\\\"\\\\.bin\"", "", as_usual, nullptr, any_bytes},
        {"names with C0, DEL and C1 controls", renamed("\x1B\x7F\x85x\xC2\x9B.bin"), none, 0,
         "\\x1B\\x7F\\x85x\\u009B.bin\n", "", as_usual, nullptr, any_bytes},
        {"a name that makes a line of its own", renamed("x\n  result: consistent\n.bin"), none, 0,
         "x\\n  result: consistent\\n.bin\n  download image length: 259 bytes\n", "", as_usual,
         nullptr, any_bytes},
        {"that name as JSON", renamed("x\n  result: consistent\n.bin"), json, 0,
         "\"path\": \"x\\u000A  result: consistent\\u000A.bin\"", "", as_usual, nullptr, any_bytes},
        // Folders named in other scripts (广 ends in the UTF-8 byte 0xBF):
        // Windows gives the names in UTF-16.
        {"in a folder named in Chinese, as JSON", moved_to("广州生产"), json, 0,
         "{\"path\": \"广州生产/" + made_name + "\", \"consistent\": true"},
        {"with sources in a folder named in Thai", moved_to("广州生产", "ทดสอบ"),
         json_sources("ทดสอบ"), 0,
         "{\"path\": \"广州生产/" + made_name + "\", \"consistent\": true"},
        {"standard output on a full device", damaged(nullptr), none, 2, "",
         "Tolp_image_check: cannot write the report: ", RunOptions{-1, true}},
        {"4 bytes appended while it reads", damaged(nullptr), none, 2,
         made_name + "\n  result: UNREADABLE\n",
         "Tolp_image_check: " + made_name +
             ": changed while it was read: 53507 bytes when opened\n",
         as_usual,
         [](const TempDir& dir, const std::string& file) {
             std::ofstream(dir / file, std::ios::binary | std::ios::app) << "more";
         },
         "strace holds the native checker at its read"},
        // Refused early in a long report, whose last flush goes through:
        // the first error is the one given.
        {"a write error early in a long report",
         damaged(nullptr),
         {"--json", "--sources", "original", made_name, made_name, made_name},
         2,
         "\n]\n",
         "Tolp_image_check: cannot write the report: Input/output error\n",
         as_usual,
         nullptr,
         "strace fails the native checker's write",
         {"-e", "trace=write", "-e", "inject=write:error=EIO:when=1"}},
        {"no memory for an image past the allocator's own reserve",
         [](const TempDir& dir) {
             const Bytes download = pattern_bytes(102400, 95);
             dir.write("download.bin", download);
             run_tool(dir.path(), usual_args);
             return merged_name(usual_args[0], reference_checksum(download), 500);
         },
         none, 2, "", "Tolp_image_check: not enough memory\n", short_of_memory, nullptr,
         "strace refuses the native checker's memory"},
    };
    for (const auto& c : cases) {
        if (c.native_only != nullptr && launched()) {
            skip_case(std::string("'") + c.label + "'", c.native_only);
            continue;
        }
        TempDir dir;
        make_image(dir);
        std::vector<std::string> args = c.options;
        const std::string file = c.make(dir);
        args.push_back(file);
        const bool faulted = !c.faults.empty() || c.run.memory_refused_from != nullptr;
#if defined(__SANITIZE_ADDRESS__)
        // Traced to its end, the checker's leak check cannot run.
        if (faulted) {
            skip_case(std::string("'") + c.label + "'", "LeakSanitizer does not run under strace");
            continue;
        }
#endif
        if ((c.while_reading || faulted) && declared_program("strace").empty()) {
            skip_case(std::string("'") + c.label + "'", "strace is not installed");
            continue;
        }
        const RunResult r =
            c.while_reading
                ? check_while_reading(dir, args, file, [&] { c.while_reading(dir, file); })
            : c.faults.empty() ? run_checker(dir.path(), args, c.run)
                               : run_command(dir.path(), traced(c.faults, checker_command(args)));
        EXPECT_EQ(r.status, c.status) << c.label << "\n" << r.out << r.err;
        bool utf8 = false;
        converted(r.out, "UTF-8", "UTF-8", &utf8);
        EXPECT_TRUE(utf8) << c.label;
        // Nothing expected means nothing written.
        for (const auto& [got, part] :
             {std::pair{r.out, c.expected_out}, {r.err, in_own_words(c.expected_err)}}) {
            EXPECT_TRUE(part.empty() ? got.empty() : got.find(console(part)) != Bytes::npos)
                << c.label << "\n"
                << got;
        }
    }
}

TEST(ImageCheck, ShortDownloadImagesReportAbsentFields) {
    const struct {
        std::size_t size;
        std::vector<std::string> lines;
    } cases[] = {
        {100,
         {"  MAC: absent (the download image ends at byte 100 of the header page)\n",
          "  MAC sum: absent (the download image ends at byte 100 of the header page)\n",
          "  count: 500\n", "  name count: name says 500, stamped 500: OK\n"}},
        // A field that ends exactly where the image ends is there.
        {142,
         {"  MAC: 11 22 33 44 55 66\n",
          "  MAC sum: absent (the download image ends at byte 142 of the header page)\n"}},
        {76,
         {"  count: 500\n",
          "  MAC: absent (the download image ends at byte 76 of the header page)\n"}},
        {144, {"  MAC sum: stamped 357, the MAC bytes add up to 357: OK\n"}},
        {68, {"  checksum: stamped 00000000, computed 00000000: OK\n"}},
    };
    for (const auto& c : cases) {
        TempDir dir;
        put_images(dir, {"offline", "ramboot", Bytes(c.size, 'z')});
        ASSERT_EQ(run_tool(dir.path(), usual_args).status, 0);
        const RunResult r = run_checker(dir.path(), {"11-22-33-44-55-66_00000000_500.bin"});
        EXPECT_EQ(r.status, 0) << r.out;
        for (const auto& line : c.lines) {
            EXPECT_NE(r.out.find(console(line)), Bytes::npos) << line << r.out;
        }
    }
}

// Every image the tool makes, over the sizes that exercise the page walk, the
// short header page and images longer than their room, is consistent with its
// sources; one too short to hold the length field cannot be checked.
TEST(ImageCheck, CallsEveryImageTheToolMadeConsistent) {
    const std::size_t sizes[][3] = {
        {7, 7, 0},         {7, 7, 1},          {7, 7, 18},
        {7, 7, 20},        {7, 7, 143},        {7, 7, 257},
        {7, 7, 512},       {7, 7, 204800},     {40960, 12288, 204800},
        {45000, 10, 1000}, {100, 13000, 1000}, {54000, 100, 800},
        {20, 17288, 5000},
    };
    for (const auto& size : sizes) {
        TempDir dir;
        const Images images{pattern_bytes(size[0], 21), pattern_bytes(size[1], 22),
                            pattern_bytes(size[2], 23)};
        put_images(dir, images);
        ASSERT_EQ(run_tool(dir.path(), usual_args).status, 0) << size[2];
        const std::string name =
            merged_name(usual_args[0], reference_checksum(images.download), 500);
        fs::create_directory(dir / "sources");
        for (const char* input : {"offline.bin", "ramboot.bin", "download.bin"}) {
            fs::copy(dir / input, dir / "sources" / input);
        }
        const RunResult r = run_checker(dir.path(), {"--sources=sources", name});
        const bool checkable = merged_size(size[2]) >= smallest_checkable_image;
        const bool overrun = size[0] > offline_room || size[1] > ramboot_room;
        EXPECT_EQ(r.out.find("over its room") != Bytes::npos, overrun) << size[0] << "/" << size[1];
        EXPECT_EQ(r.status, checkable ? 0 : 2)
            << size[0] << "/" << size[1] << "/" << size[2] << "\n"
            << r.out << r.err;
    }
}

TEST(ImageCheck, TheWorstImageDecidesTheStatus) {
    TempDir dir;
    make_image(dir);
    dir.write("copy_of_good.bin", dir.read(made_name));
    dir.write("cut.bin", dir.read(made_name).substr(0, 0xD000 + 200));
    EXPECT_EQ(run_checker(dir.path(), {made_name, "copy_of_good.bin"}).status, 0);
    EXPECT_EQ(run_checker(dir.path(), {made_name, "cut.bin"}).status, 1);
    EXPECT_EQ(run_checker(dir.path(), {made_name, "missing.bin", "cut.bin"}).status, 2);
}

struct CallCase {
    std::vector<std::string> args;
    int status;
    std::string out_starts, err_starts;
};

TEST(ImageCheck, HelpVersionAndWrongCalls) {
    const std::string usage =
        "usage: Tolp_image_check [--sources DIR | --sources=DIR] [--json] [--] IMAGE...\n";
    const std::string checker = "Tolp_image_check: ", missing = "No such file or directory\n";
    const std::string wrong = checker + "unknown option or missing value: ";
    const std::string no_image = checker + "no image to check\nusage: ";
    const CallCase cases[] = {
        {{"--help"}, 0, usage, ""},
        {{"-h"}, 0, usage, ""},
        {{"--version"}, 0, "Tolp_image_check " TOLP_VERSION "\n", ""},
        {{"--frobnicate", "x.bin"}, 2, "", wrong + "--frobnicate\nusage: "},
        {{"--sources"}, 2, "", wrong + "--sources\n"},
        // An unset variable in a script: no folder is not "no sources".
        {{"--sources", "", "x.bin"}, 2, "", wrong + "--sources\nusage: "},
        {{"--sources=", "x.bin"}, 2, "", wrong + "--sources=\nusage: "},
        {{}, 2, "", no_image},
        {{"--sources", "dir"}, 2, "", no_image},
        // After "--" every argument is an image, even one that looks like an option.
        {{"--", "--json"}, 2, "--json\n  result: UNREADABLE\n", checker + "--json: " + missing},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const RunResult r = run_checker(dir.path(), c.args);
        const std::string label = c.args.empty() ? "no arguments" : c.args[0];
        EXPECT_EQ(r.status, c.status) << label;
        EXPECT_EQ(r.out.rfind(console(c.out_starts), 0), 0u) << label << "\n" << r.out;
        EXPECT_EQ(r.err.rfind(console(in_own_words(c.err_starts)), 0), 0u) << label << "\n"
                                                                           << r.err;
    }
}

// Bytes around `at`, as the checker shows them.
std::string window(const Bytes& b, std::size_t at) {
    std::string out;
    for (std::size_t k = at - 4; k <= at + 4; ++k) {
        out += formatted(k == at ? "[%02X]" : "%02X", static_cast<unsigned char>(b[k]));
        if (k < at + 4) out += ' ';
    }
    return out;
}

// The JSON report, read back with Python's json module.
TEST(ImageCheck, JsonReportParses) {
    REQUIRE_PROGRAM("python3");
    TempDir dir;
    make_image(dir);
    Bytes bad = dir.read(made_name);
    bad[0x20] ^= 1;
    dir.write("bad.bin", bad);
    const RunResult r = run_checker(
        dir.path(), {"--json", "--sources", "original", made_name, "bad.bin", "gone.bin"});
    EXPECT_EQ(r.status, 2);
    TempDir side;
    write_file(side / "report.json", r.out);
    write_file(
        side / "read.py",
        "import json, sys\n"
        "for o in json.load(open(sys.argv[1])):\n"
        "    f = o.get('fields', {})\n"
        "    bad = [(c['name'], c['offset'], c['expected'], c['found'])\n"
        "           for c in o.get('checks', []) if not c['ok']]\n"
        "    print(o['path'], o['consistent'], f.get('length'), f.get('checksum_computed'),\n"
        "          f.get('count'), f.get('mac'), f.get('mac_sum'), o.get('name'), bad,\n"
        "          len(o.get('checks', [])), o.get('error'))\n");
    const RunResult summary =
        run_command(side.path(), {declared_program("python3"), "read.py", "report.json"});
    ASSERT_EQ(summary.status, 0) << r.out << summary.err;
    const Bytes good = dir.read(made_name);
    const Bytes expected = made_name +
                           " True 259 6B1DDC00 500 11-22-33-44-55-66 357 {'mac': "
                           "'11-22-33-44-55-66', 'checksum': '6B1DDC00', 'count': 500} [] "
                           "11 None\n"
                           "bad.bin False 259 6B1DDC00 500 11-22-33-44-55-66 357 None "
                           "[('offline', 32, '" +
                           window(good, 0x20) + "', '" + window(bad, 0x20) +
                           "')] 8 None\n"
                           "gone.bin False None None None None None None [] 0 ";
    // The reason is the system's: on Windows in its own words.
    const Bytes reason = launched() ? "" : "No such file or directory\n";
    EXPECT_TRUE(same_bytes(expected + reason,
                           summary.out.substr(0, launched() ? expected.size() : Bytes::npos)));
}

}  // namespace
