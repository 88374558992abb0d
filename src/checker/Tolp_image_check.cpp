// Tolp_image_check [--sources DIR] [--json] IMAGE...
//
// Reports whether each merged image is still the one Tolp_mac_tool made: its
// size, stamped checksum, MAC sum and file name against each other and, with
// --sources, every byte against the image that DIR's offline.bin, ramboot.bin
// and download.bin make. Reads only; writes nothing. Status 0: all
// consistent; 1: some check failed; 2: an image or a source could not be
// read, is too short or too large, or the call was wrong.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "image_check.h"
#include "image_report.h"
#include "input_file.h"

namespace {

enum Status { consistent = 0, inconsistent = 1, unusable = 2 };

constexpr char usage[] =
    "usage: Tolp_image_check [--sources DIR] [--json] IMAGE...\n"
    "       Tolp_image_check --help | --version\n"
    "Checks merged images made by Tolp_mac_tool. With --sources, DIR holds the\n"
    "offline.bin, ramboot.bin and download.bin (original or stamped) the images\n"
    "were made from, and every byte is compared. --json writes one JSON array.\n"
    "Status: 0 all consistent, 1 a check failed, 2 a file could not be used.\n";

struct Options {
    std::string sources;  // empty: no --sources
    bool json = false;
    std::vector<std::string> images;
};

// Why a file could not be used: the system's reason, or a size outside what
// the checker accepts.
struct FileError {
    std::string reason;
    bool too_large = false;
};

void report_error(const std::string& path, const std::string& reason) {
    std::fprintf(stderr, "Tolp_image_check: %s: %s\n", printable(path).c_str(), reason.c_str());
}

// Reads the whole file through one open, refusing one over `limit` bytes
// before reading it and one whose length changes while it is read.
bool read_whole(const std::string& path, std::size_t limit, std::vector<std::uint8_t>& bytes,
                FileError& error) {
    InputFile file = open_input(path);
    if (file.error != 0) {
        error.reason = file.error == EINVAL ? "not a regular file" : std::strerror(file.error);
        return false;
    }
    const std::string size = std::to_string(file.size);
    if (file.size > limit) {
        close_input(file);
        error.too_large = true;
        error.reason =
            "too large: " + size + " bytes, at most " + std::to_string(limit) + " expected";
        return false;
    }
    bytes.resize(static_cast<std::size_t>(file.size));
    const std::int64_t got = read_input(file, bytes.data(), bytes.size());
    if (got < 0) {
        error.reason = "could not read all of its " + size + " bytes";
    } else if (static_cast<std::uint64_t>(got) != file.size) {
        error.reason = "changed while it was read: " + size + " bytes when opened";
    }
    return error.reason.empty();
}

struct SourceFiles {
    std::vector<std::uint8_t> offline, ramboot, download;
    Sources view() const {
        return {{offline.data(), offline.size()},
                {ramboot.data(), ramboot.size()},
                {download.data(), download.size()}};
    }
};

// Reads DIR's three images with the tool's limits, the download image first
// (the others' room depends on its size); false after reporting.
bool read_sources(const std::string& dir, SourceFiles& files) {
    const struct {
        const InputImage& input;
        std::vector<std::uint8_t>* bytes;
    } sources[] = {{download_image, &files.download},
                   {offline_image, &files.offline},
                   {ramboot_image, &files.ramboot}};
    for (const auto& s : sources) {
        const std::string path = dir + "/" + file_name_of(s.input);
        FileError error;
        if (!read_whole(path, room_for(s.input, files.download.size()), *s.bytes, error)) {
            report_error(path, error.reason);
            return false;
        }
    }
    return true;
}

Status check_one(const std::string& path, const Sources* sources, bool json, bool first) {
    std::vector<std::uint8_t> bytes;
    FileError error;
    const bool read = read_whole(path, largest_merged_image, bytes, error);
    CheckReport report;
    if (read) {
        const std::string name = std::filesystem::path(path).filename().string();
        report = check_merged_image(bytes.data(), bytes.size(), name, sources);
        if (report.too_short) error.reason = "too short to be a merged image";
    } else {
        report_error(path, error.reason);
    }
    const Status status = !read || report.too_short ? unusable
                          : report.failed           ? inconsistent
                                                    : consistent;
    const std::string verdict = !read              ? (error.too_large ? "TOO LARGE" : "UNREADABLE")
                                : report.too_short ? "TOO SHORT"
                                : report.failed    ? "INCONSISTENT"
                                                   : "consistent";
    if (json) {
        std::printf("%s%s", first ? "" : ",\n", json_report(path, report, error.reason).c_str());
    } else {
        std::printf("%s\n%s  result: %s\n", printable(path).c_str(), report.text.c_str(),
                    verdict.c_str());
    }
    return status;
}

// Parses the options; false with the reason after a call it cannot run.
bool parse_options(int argc, const char* const argv[], Options& options, std::string& wrong) {
    bool only_images = false;
    for (int k = 1; k < argc; ++k) {
        const std::string a = argv[k];
        if (only_images || a.empty() || a[0] != '-' || a == "-") {
            options.images.push_back(a);
        } else if (a == "--") {
            only_images = true;
        } else if (a == "--json") {
            options.json = true;
        } else if (a == "--sources" && k + 1 < argc) {
            options.sources = argv[++k];
        } else if (a.rfind("--sources=", 0) == 0 && a.size() > 10) {
            options.sources = a.substr(10);
        } else {
            wrong = "unknown option or missing value: " + a;
            return false;
        }
    }
    if (options.images.empty()) wrong = "no image to check";
    return !options.images.empty();
}

// Runs the call; the status.
int check_all(int argc, const char* const argv[]) {
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::printf("%s", usage);
        return consistent;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("Tolp_image_check %s\n", TOLP_VERSION);
        return consistent;
    }
    Options options;
    std::string wrong;
    if (!parse_options(argc, argv, options, wrong)) {
        std::fprintf(stderr, "Tolp_image_check: %s\n%s", wrong.c_str(), usage);
        return unusable;
    }
    SourceFiles files;
    if (!options.sources.empty() && !read_sources(options.sources, files)) return unusable;
    const Sources sources = files.view();
    Status worst = consistent;
    if (options.json) std::printf("[\n");
    for (std::size_t k = 0; k < options.images.size(); ++k) {
        const Status s = check_one(options.images[k], options.sources.empty() ? nullptr : &sources,
                                   options.json, k == 0);
        if (s > worst) worst = s;
    }
    if (options.json) std::printf("\n]\n");
    return worst;
}

// The report must have reached standard output whole: a write that failed
// (a full disk, a closed pipe) makes the run unusable.
int finish_report(int status) {
    const bool flushed = std::fflush(stdout) == 0;
    const int reason = errno;
    if (flushed && std::ferror(stdout) == 0) return status;
    std::fprintf(stderr, "Tolp_image_check: cannot write the report: %s\n",
                 flushed ? "write error" : std::strerror(reason));
    return unusable;
}

}  // namespace

int main(int argc, char* argv[]) {
    try {
        return finish_report(check_all(argc, argv));
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "Tolp_image_check: not enough memory\n");
        return unusable;
    }
}
