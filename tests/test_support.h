// Shared test helpers: scratch folders with real files, and byte comparisons
// that show where two byte strings part.
#ifndef TOLP_TEST_SUPPORT_H
#define TOLP_TEST_SUPPORT_H

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using Bytes = std::string;  // file contents and console output, byte for byte

// A fresh folder under the system's temporary folder, removed afterwards.
class TempDir {
public:
    TempDir();
    explicit TempDir(const fs::path& parent);  // a fresh folder there
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }
    void write(const std::string& name, const Bytes& bytes) const;
    Bytes read(const std::string& name) const;
    // Every entry the folder holds: name -> contents ("<dir>" for a folder,
    // "<link>" prefix and target for a symbolic link, "<other>" for anything
    // else that is not a regular file).
    std::map<std::string, Bytes> listing() const;

private:
    fs::path path_;
};

Bytes read_file(const fs::path& path);
// Every entry of a folder, as TempDir::listing gives it.
std::map<std::string, Bytes> listing_of(const fs::path& dir);
void write_file(const fs::path& path, const Bytes& bytes);

// In a child about to run the code under test: caps `resource` (RLIMIT_FSIZE,
// RLIMIT_AS) at `bytes`; negative means no limit. Signal dispositions stay
// the defaults: the code under test must cope with SIGXFSZ itself.
void limit_resource(int resource, long bytes);

// Deterministic filler bytes for test images.
Bytes pattern_bytes(std::size_t size, std::uint32_t seed);

// Passes when the two are equal; otherwise names the first differing offset
// and shows the bytes around it in both.
::testing::AssertionResult same_bytes(const Bytes& expected, const Bytes& actual);

// Fails unless the two listings match, entry by entry.
::testing::AssertionResult same_listing(const std::map<std::string, Bytes>& expected,
                                        const std::map<std::string, Bytes>& actual);

// `text` converted by the C library's iconv; without `ok`, a text that does
// not convert fails the test.
Bytes converted(const Bytes& text, const char* to, const char* from, bool* ok = nullptr);

// Reports one case of a test as skipped, with the reason: on standard output
// and in the skip log (TOLP_SKIP_LOG) that the test command prints at its end.
void skip_case(const std::string& label, const std::string& reason);

#endif
