// Tolp_image_check [--sources DIR | --sources=DIR] [--json] [--] IMAGE...
//
// Reports whether each merged image is still the one Tolp_mac_tool made: its
// size, stamped checksum, MAC sum and file name against each other and, with
// --sources, every byte against the image that DIR's offline.bin, ramboot.bin
// and download.bin make. Reads only; writes nothing. Status 0: all
// consistent; 1: some check failed; 2: an image or a source could not be
// read, is too short or too large, the report could not be written, or the
// call was wrong.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "arguments.h"
#include "console.h"
#include "files.h"
#include "image_check.h"
#include "image_report.h"

namespace {

enum Status { consistent = 0, inconsistent = 1, unusable = 2 };

constexpr char usage[] =
    "usage: Tolp_image_check [--sources DIR | --sources=DIR] [--json] [--] IMAGE...\n"
    "       Tolp_image_check --help | -h | --version\n"
    "Checks merged images made by Tolp_mac_tool. With --sources, DIR holds the\n"
    "offline.bin, ramboot.bin and download.bin (original or stamped) the images\n"
    "were made from, and every byte is compared. --json writes one JSON array.\n"
    "-- ends the options: every argument after it is an image.\n"
    "Status:\n"
    "  0  every image is consistent\n"
    "  1  some check failed: an image is not what its name and its own fields say,\n"
    "     or (with --sources) not what its sources make\n"
    "  2  an image or a source could not be read, changed while it was read, or is\n"
    "     too short or too large; the report could not be written; not enough\n"
    "     memory; or a wrong call (an unknown option, --sources without a folder,\n"
    "     no image)\n";

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

// The report and the errors are UTF-8 text: file names as the arguments
// gave them (on Windows read as UTF-16 and turned into UTF-8).
void out(const std::string& text) {
    write_message(Stream::out, text.data(), text.size(), Encoding::utf8);
}

void error_line(const std::string& text) {
    const std::string line = "Tolp_image_check: " + text + "\n";
    write_message(Stream::err, line.data(), line.size(), Encoding::utf8);
}

// Why a file could not be read, in the system's words (on Windows in the
// user's language) or ours.
std::string reason_of(const FileFailure& failure) {
    if (failure.refusal == Refusal::folder) return "Is a directory";
    if (failure.refusal != Refusal::none) return "not a regular file";
    return system_reason(failure.error);
}

// A path from the arguments, as the system names the file.
std::filesystem::path path_of(const std::string& utf8) {
    return std::filesystem::u8path(utf8);
}

// Reads the whole file through one open, refusing one over `limit` bytes
// before reading it and one whose length changes while it is read; false
// after reporting why.
bool read_whole(const std::string& path, std::size_t limit, std::vector<std::uint8_t>& bytes,
                FileError& error) {
    InputFile file = open_input(path_of(path));
    const std::string size = std::to_string(file.size);
    if (failed(file.failure)) {
        error.reason = reason_of(file.failure);
    } else if (file.size > limit) {
        close_input(file);
        error.too_large = true;
        error.reason =
            "too large: " + size + " bytes, at most " + std::to_string(limit) + " expected";
    } else {
        bytes.resize(static_cast<std::size_t>(file.size));
        const std::int64_t got = read_input(file, bytes.data(), bytes.size());
        if (got < 0) {
            error.reason =
                "could not read all of its " + size + " bytes: " + reason_of(file.failure);
        } else if (static_cast<std::uint64_t>(got) != file.size) {
            error.reason = "changed while it was read: " + size + " bytes when opened";
        }
    }
    if (!error.reason.empty()) error_line(printable(path) + ": " + error.reason);
    return error.reason.empty();
}

struct SourceFiles {
    std::vector<std::uint8_t> offline, ramboot, download;
    Inputs view() const {
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
            return false;
        }
    }
    return true;
}

Status check_one(const std::string& path, const Inputs* sources, bool json, bool first) {
    std::vector<std::uint8_t> bytes;
    FileError error;
    const bool read = read_whole(path, largest_merged_image, bytes, error);
    CheckReport report;
    if (read) {
        const std::string name = path_of(path).filename().u8string();
        report = check_merged_image(bytes.data(), bytes.size(), name, sources);
        if (report.too_short) error.reason = "too short to be a merged image";
    }
    const Status status = !read || report.too_short ? unusable
                          : report.failed           ? inconsistent
                                                    : consistent;
    const std::string verdict = !read              ? (error.too_large ? "TOO LARGE" : "UNREADABLE")
                                : report.too_short ? "TOO SHORT"
                                : report.failed    ? "INCONSISTENT"
                                                   : "consistent";
    if (json) {
        out((first ? "" : ",\n") + json_report(path, report, error.reason));
    } else {
        out(printable(path) + "\n" + text_report(report) + "  result: " + verdict + "\n");
    }
    return status;
}

// Parses the options; false with the reason after a call it cannot run.
bool parse_options(const std::vector<std::string>& args, Options& options, std::string& wrong) {
    bool only_images = false;
    for (std::size_t k = 1; k < args.size(); ++k) {
        const std::string& a = args[k];
        if (only_images || a.empty() || a[0] != '-' || a == "-") {
            options.images.push_back(a);
        } else if (a == "--") {
            only_images = true;
        } else if (a == "--json") {
            options.json = true;
        } else if (a == "--sources" && k + 1 < args.size() && !args[k + 1].empty()) {
            options.sources = args[++k];
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
int check_all(const std::vector<std::string>& args) {
    if (args.size() == 2 && (args[1] == "--help" || args[1] == "-h")) {
        out(usage);
        return consistent;
    }
    if (args.size() == 2 && args[1] == "--version") {
        out(std::string("Tolp_image_check ") + TOLP_VERSION + "\n");
        return consistent;
    }
    Options options;
    std::string wrong;
    if (!parse_options(args, options, wrong)) {
        error_line(wrong);
        write_message(Stream::err, usage, sizeof usage - 1, Encoding::utf8);
        return unusable;
    }
    SourceFiles files;
    if (!options.sources.empty() && !read_sources(options.sources, files)) return unusable;
    const Inputs sources = files.view();
    Status worst = consistent;
    if (options.json) out("[\n");
    for (std::size_t k = 0; k < options.images.size(); ++k) {
        const Status s = check_one(options.images[k], options.sources.empty() ? nullptr : &sources,
                                   options.json, k == 0);
        if (s > worst) worst = s;
    }
    if (options.json) out("\n]\n");
    return worst;
}

// The report must have reached standard output whole: a write that failed
// (a full disk, a closed pipe) makes the run unusable.
int finish_report(int status) {
    long error = 0;
    if (output_written(error)) return status;
    error_line("cannot write the report: " + system_reason(error));
    return unusable;
}

}  // namespace

int main(int argc, char* argv[]) {
    try {
        return finish_report(check_all(arguments_in_utf8(argc, argv)));
    } catch (const std::bad_alloc&) {
        error_line("not enough memory");
        return unusable;
    }
}
