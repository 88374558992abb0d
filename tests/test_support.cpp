#include "test_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <sstream>

#include <fcntl.h>
#include <iconv.h>
#include <sys/resource.h>
#include <unistd.h>

TempDir::TempDir() : TempDir(fs::temp_directory_path()) {}

TempDir::TempDir(const fs::path& parent) {
    static unsigned counter = 0;
    std::random_device rd;
    for (;;) {
        std::ostringstream name;
        name << "tolp-test-" << getpid() << "-" << counter++ << "-" << rd();
        path_ = parent / name.str();
        if (fs::create_directory(path_)) break;
    }
}

TempDir::~TempDir() {
    std::error_code ec;
    // Tests may leave read-only entries; make them removable first.
    for (auto& e : fs::recursive_directory_iterator(path_, ec)) {
        fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::remove_all(path_, ec);
}

void TempDir::write(const std::string& name, const Bytes& bytes) const {
    write_file(path_ / name, bytes);
}

Bytes TempDir::read(const std::string& name) const {
    return read_file(path_ / name);
}

std::map<std::string, Bytes> TempDir::listing() const {
    return listing_of(path_);
}

std::map<std::string, Bytes> listing_of(const fs::path& dir) {
    std::map<std::string, Bytes> entries;
    for (auto& e : fs::directory_iterator(dir)) {
        const std::string name = e.path().filename().string();
        if (e.is_symlink()) {
            entries[name] = "<link>" + fs::read_symlink(e.path()).string();
        } else if (e.is_directory()) {
            entries[name] = "<dir>";
        } else if (!e.is_regular_file()) {
            entries[name] = "<other>";  // a FIFO or a device: never opened
        } else {
            entries[name] = read_file(e.path());
        }
    }
    return entries;
}

Bytes read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) ADD_FAILURE() << "cannot write test file " << path;
}

void limit_resource(int resource, long bytes) {
    if (bytes < 0) return;
    const rlimit lim{static_cast<rlim_t>(bytes), static_cast<rlim_t>(bytes)};
    setrlimit(resource, &lim);
}

Bytes pattern_bytes(std::size_t size, std::uint32_t seed) {
    Bytes bytes(size, '\0');
    std::uint32_t x = seed * 2654435761u + 1;
    for (char& c : bytes) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    return bytes;
}

namespace {

std::string hex_window(const Bytes& b, std::size_t at) {
    std::ostringstream s;
    const std::size_t from = at >= 8 ? at - 8 : 0;
    const std::size_t to = std::min(b.size(), at + 8);
    for (std::size_t i = from; i < to; ++i) {
        char cell[8];
        std::snprintf(cell, sizeof cell, i == at ? "[%02X]" : " %02X ",
                      static_cast<unsigned char>(b[i]));
        s << cell;
    }
    if (at >= b.size()) s << " [end]";
    return s.str();
}

}  // namespace

::testing::AssertionResult same_bytes(const Bytes& expected, const Bytes& actual) {
    if (expected == actual) return ::testing::AssertionSuccess();
    auto diff = std::mismatch(expected.begin(), expected.end(), actual.begin(), actual.end());
    const auto at = static_cast<std::size_t>(diff.first - expected.begin());
    return ::testing::AssertionFailure() << "sizes " << expected.size() << " expected, "
                                         << actual.size() << " actual; first difference at offset "
                                         << at << "\n  expected:" << hex_window(expected, at)
                                         << "\n  actual:  " << hex_window(actual, at);
}

::testing::AssertionResult same_listing(const std::map<std::string, Bytes>& expected,
                                        const std::map<std::string, Bytes>& actual) {
    std::ostringstream problems;
    for (const auto& [name, bytes] : expected) {
        auto it = actual.find(name);
        if (it == actual.end()) {
            problems << "\n  missing: " << name;
        } else if (auto same = same_bytes(bytes, it->second); !same) {
            problems << "\n  " << name << " differs: " << same.message();
        }
    }
    for (const auto& [name, bytes] : actual) {
        if (expected.count(name) == 0) problems << "\n  unexpected: " << name;
    }
    if (problems.str().empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "folder contents differ:" << problems.str();
}

namespace {

// One line to the file TOLP_SKIP_LOG names, in one write, so that programs
// running side by side never mix their lines.
void log_skip(std::string line) {
    const char* log = std::getenv("TOLP_SKIP_LOG");
    if (log == nullptr) return;
    std::replace(line.begin(), line.end(), '\n', ' ');
    line += "\n";
    const int fd = open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd >= 0 && write(fd, line.data(), line.size()) < 0) std::perror(log);
    if (fd >= 0) close(fd);
}

// Appends "skipped: SUITE.NAME: REASON" for each skipped test.
class SkipLog : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo& test) override {
        const ::testing::TestResult& result = *test.result();
        if (!result.Skipped()) return;
        std::string why;
        for (int k = 0; k < result.total_part_count(); ++k) {
            if (result.GetTestPartResult(k).skipped()) why = result.GetTestPartResult(k).message();
        }
        log_skip(std::string("skipped: ") + test.test_suite_name() + "." + test.name() + ": " +
                 (why.empty() ? "no reason given" : why));
    }
};

[[maybe_unused]] const bool skip_log_listening = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new SkipLog);
    return true;
}();

}  // namespace

void skip_case(const std::string& label, const std::string& reason) {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string line = "case " + label + " skipped: " + reason;
    std::cout << line << "\n";
    log_skip(std::string("skipped: ") +
             (test ? std::string(test->test_suite_name()) + "." + test->name() + ": " : "") + line);
}

Bytes converted(const Bytes& text, const char* to, const char* from, bool* ok) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        ADD_FAILURE() << "no converter from " << from << " to " << to;
        return "";
    }
    std::string in = text;
    Bytes out(in.size() * 2 + 4, '\0');
    char* source = in.data();
    char* target = out.data();
    std::size_t from_left = in.size(), to_left = out.size();
    const bool whole = iconv(cd, &source, &from_left, &target, &to_left) != std::size_t(-1);
    if (ok != nullptr) *ok = whole && from_left == 0;
    if (!whole && ok == nullptr) ADD_FAILURE() << "cannot convert " << text;
    iconv_close(cd);
    out.resize(out.size() - to_left);
    return out;
}
