// The whole-file helpers on real files. Their failures end the process, so
// each call runs in a death-test child with no input and its standard output
// caught in a file, and the test then checks status, message and the folder.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "file_helpers.h"
#include "interrupts.h"
#include "test_support.h"

namespace {

using ::testing::ExitedWithCode;

class FileHelpers : public ::testing::Test {
protected:
    TempDir dir;
    TempDir side;  // holds the caught output, apart from `dir`
    std::string path(const std::string& name) const { return (dir / name).string(); }
    std::string out_path() const { return (side / "out").string(); }

    // In the child: the tool's interrupt handling, no input, output to a
    // file, optional file-size limit.
    void child_setup(long file_size_limit = -1) const {
        guard_interrupts();
        if (std::freopen("/dev/null", "r", stdin) == nullptr) std::_Exit(90);
        if (std::freopen(out_path().c_str(), "w", stdout) == nullptr) std::_Exit(91);
        limit_resource(RLIMIT_FSIZE, file_size_limit);
    }
    Bytes output() const { return side.read("out"); }
    static Bytes open_message(const std::string& p) {
        return "\nCan not open the path: " + p + " \n";
    }
};

#define EXPECT_CHILD(setup, statement, status) \
    EXPECT_EXIT(                               \
        {                                      \
            setup;                             \
            statement;                         \
            std::exit(0);                      \
        },                                     \
        ExitedWithCode(status), "")

TEST_F(FileHelpers, GetBinSizeMeasuresRegularFilesOnly) {
    dir.write("empty", "");
    dir.write("some", Bytes(1234, 'x'));
    fs::create_directory(dir / "folder");
    fs::create_symlink(dir / "some", dir / "link");
    EXPECT_EQ(GetBinSize(path("missing").c_str()), 0);
    EXPECT_EQ(GetBinSize(path("empty").c_str()), 0);
    EXPECT_EQ(GetBinSize(path("some").c_str()), 1234);
    EXPECT_EQ(GetBinSize(path("folder").c_str()), 0);
    EXPECT_EQ(GetBinSize(path("link").c_str()), 1234);
}

TEST_F(FileHelpers, ReadBinReadsExactlyTheBytesAsked) {
    const Bytes image = pattern_bytes(3000, 1);
    dir.write("image", image);
    EXPECT_CHILD(
        child_setup(),
        {
            char got[3000];
            read_bin(path("image").c_str(), got, 3000);
            if (std::memcmp(got, image.data(), 3000) != 0) std::exit(3);
            read_bin(path("image").c_str(), got, 0);
        },
        0);
    EXPECT_EQ(output(), "");
}

TEST_F(FileHelpers, ReadBinStopsOnMissingFolderOrShortFile) {
    fs::create_directory(dir / "folder");
    dir.write("short", "12345");
    const struct {
        std::string name;
        Bytes message;
    } cases[] = {
        {"missing", open_message(path("missing"))},
        {"folder", open_message(path("folder"))},
        {"short", "\nCan not read the path: " + path("short") + " \n"},
    };
    for (const auto& c : cases) {
        EXPECT_CHILD(
            child_setup(),
            {
                char got[10];
                read_bin(path(c.name).c_str(), got, 10);
            },
            255)
            << c.name;
        EXPECT_TRUE(same_bytes(c.message, output())) << c.name;
    }
}

TEST_F(FileHelpers, WriteBinCreatesOrReplacesAndLeavesNoTemporary) {
    dir.write("old", pattern_bytes(5000, 2));
    fs::permissions(dir / "old",
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    dir.write("emptied", "stale");
    const Bytes fresh = pattern_bytes(700, 3);
    EXPECT_CHILD(
        child_setup(),
        {
            write_bin(path("new").c_str(), fresh.data(), 700);
            write_bin(path("old").c_str(), fresh.data(), 700);
            write_bin(path("emptied").c_str(), fresh.data(), 0);
        },
        0);
    EXPECT_EQ(output(), "");
    EXPECT_TRUE(same_listing({{"new", fresh}, {"old", fresh}, {"emptied", ""}}, dir.listing()));
    EXPECT_EQ(fs::status(dir / "old").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(FileHelpers, WriteBinThroughASymbolicLinkReplacesItsTarget) {
    dir.write("real", "old contents");
    fs::create_symlink("real", dir / "link");
    EXPECT_CHILD(child_setup(), write_bin(path("link").c_str(), "new", 3), 0);
    EXPECT_TRUE(same_listing({{"real", "new"}, {"link", "<link>real"}}, dir.listing()));
}

TEST_F(FileHelpers, WriteBinRefusesTargetsItCannotReplace) {
    fs::create_directory(dir / "folder");
    dir.write("locked", "keep me");
    fs::permissions(dir / "locked", fs::perms::owner_read | fs::perms::group_read);
    const auto before = dir.listing();
    for (const std::string name : {"folder", "locked", "no-such-folder/file"}) {
        EXPECT_CHILD(child_setup(), write_bin(path(name).c_str(), "data", 4), 255) << name;
        EXPECT_TRUE(same_bytes(open_message(path(name)), output())) << name;
        EXPECT_TRUE(same_listing(before, dir.listing())) << name;
    }
}

TEST_F(FileHelpers, ShortWriteKeepsTheOriginalAndRemovesTheTemporary) {
    const Bytes original = pattern_bytes(300, 4);
    dir.write("image", original);
    // A write past the limit fails at once; one inside the stream buffer
    // fails only when flushed. Both are short writes.
    for (const std::int32_t size : {100000, 2000}) {
        const Bytes data = pattern_bytes(static_cast<std::size_t>(size), 5);
        EXPECT_CHILD(child_setup(1024), write_bin(path("image").c_str(), data.data(), size), 1)
            << size;
        EXPECT_TRUE(same_bytes("fwrite file error\xA3\xA1\n", output())) << size;
        EXPECT_TRUE(same_listing({{"image", original}}, dir.listing())) << size;
    }
}

}  // namespace
