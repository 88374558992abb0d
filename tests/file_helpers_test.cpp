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

// A literal's temporary copy lives until the end of the call it is given to.
const std::uint8_t* bytes_of(const Bytes& b) {
    return reinterpret_cast<const std::uint8_t*>(b.data());
}

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

TEST_F(FileHelpers, ReadBinReadsTheWholeFileWithinItsRoom) {
    const Bytes image = pattern_bytes(3000, 1);
    dir.write("image", image);
    dir.write("empty", "");
    EXPECT_CHILD(
        child_setup(),
        {
            std::uint8_t got[3001] = {};
            InputFile file = open_bin(path("image").c_str(), true);
            if (read_bin(file, path("image").c_str(), got, 3000) != 3000) std::exit(3);
            if (std::memcmp(got, image.data(), 3000) != 0) std::exit(4);
            file = open_bin(path("empty").c_str(), true);
            if (read_bin(file, path("empty").c_str(), got, 0) != 0) std::exit(5);
        },
        0);
    EXPECT_EQ(output(), "");
}

TEST_F(FileHelpers, ReadBinStopsOnMissingFolderOrOverlongFile) {
    fs::create_directory(dir / "folder");
    dir.write("long", "12345678901");
    const struct {
        std::string name;
        Bytes message;
    } cases[] = {
        {"missing", open_message(path("missing"))},
        {"folder", open_message(path("folder"))},
        {"long", "file too large: " + path("long") + " is 11 bytes, limit 10 bytes !\n"},
    };
    for (const auto& c : cases) {
        EXPECT_CHILD(
            child_setup(),
            {
                std::uint8_t got[10];
                InputFile file = open_bin(path(c.name).c_str(), false);
                read_bin(file, path(c.name).c_str(), got, 10);
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
            write_bin(path("new").c_str(), bytes_of(fresh), 700);
            write_bin(path("old").c_str(), bytes_of(fresh), 700);
            write_bin(path("emptied").c_str(), bytes_of(fresh), 0);
        },
        0);
    EXPECT_EQ(output(), "");
    EXPECT_TRUE(same_listing({{"new", fresh}, {"old", fresh}, {"emptied", ""}}, dir.listing()));
    EXPECT_EQ(fs::status(dir / "old").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

// A link at the name (say, to one of the run's inputs) is never followed.
TEST_F(FileHelpers, WriteBinReplacesASymbolicLinkNotWhatItNames) {
    dir.write("real", "old contents");
    fs::create_symlink("real", dir / "link");
    EXPECT_CHILD(child_setup(), write_bin(path("link").c_str(), bytes_of("new"), 3), 0);
    EXPECT_TRUE(same_listing({{"real", "old contents"}, {"link", "new"}}, dir.listing()));
}

TEST_F(FileHelpers, WriteBinRefusesTargetsItCannotReplace) {
    fs::create_directory(dir / "folder");
    dir.write("locked", "keep me");
    fs::permissions(dir / "locked", fs::perms::owner_read | fs::perms::group_read);
    const auto before = dir.listing();
    for (const std::string name : {"folder", "locked", "no-such-folder/file"}) {
        EXPECT_CHILD(child_setup(), write_bin(path(name).c_str(), bytes_of("data"), 4), 255)
            << name;
        EXPECT_TRUE(same_bytes(open_message(path(name)), output())) << name;
        EXPECT_TRUE(same_listing(before, dir.listing())) << name;
    }
}

TEST_F(FileHelpers, ShortWriteKeepsTheOriginalAndRemovesTheTemporary) {
    const Bytes original = pattern_bytes(300, 4);
    dir.write("image", original);
    // Either write passes the limit part-way: both are short writes.
    for (const std::size_t size : {100000, 2000}) {
        const Bytes data = pattern_bytes(size, 5);
        EXPECT_CHILD(child_setup(1024),
                     write_bin(path("image").c_str(), bytes_of(data), data.size()), 1)
            << size;
        EXPECT_TRUE(same_bytes("fwrite file error\xA3\xA1\n", output())) << size;
        EXPECT_TRUE(same_listing({{"image", original}}, dir.listing())) << size;
    }
}

// The stamp writes only its fields, into a file that differs from what the
// run loaded only there; a byte between fields or past them that differs is
// another program's change, and the file stays as it found it.
TEST_F(FileHelpers, UpdateBinStampsOnlyAFileThatDiffersInItsFields) {
    const Bytes loaded = pattern_bytes(300, 6);
    Bytes stamped = loaded;
    stamped.replace(16, 4, "LLLL");
    for (const std::size_t changed : {19, 20, 299}) {
        Bytes on_disk = loaded;
        on_disk[changed] = static_cast<char>(on_disk[changed] ^ 0x01);
        dir.write("download.bin", on_disk);
        const bool in_field = changed < 20;
        EXPECT_CHILD(child_setup(),
                     update_bin(path("download.bin").c_str(), bytes_of(stamped), stamped.size()),
                     in_field ? 0 : 255)
            << changed;
        EXPECT_TRUE(same_bytes(in_field ? stamped : on_disk, dir.read("download.bin"))) << changed;
    }
}

}  // namespace
