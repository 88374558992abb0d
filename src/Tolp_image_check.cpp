// Tolp_image_check IMAGE...
//
// Reports whether each merged image is still the one Tolp_mac_tool made: its
// size, stamped checksum, MAC sum and file name against each other. Reads
// only; writes nothing. Status 0: all consistent; 1: some check failed;
// 2: an image could not be read or is too short to check.
#include <climits>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "file_helpers.h"
#include "image_check.h"

namespace {

enum Status { consistent = 0, inconsistent = 1, unusable = 2 };

// Reads the whole file; false if it cannot.
bool read_whole(const char* path, std::vector<std::uint8_t>& bytes) {
    const long size = file_size_or_errno(path);
    if (size < 0 || size == LONG_MAX) return false;
    std::FILE* f = std::fopen(path, "rb");
    if (f == nullptr) return false;
    bytes.resize(static_cast<std::size_t>(size));
    const bool ok = std::fread(bytes.data(), 1, bytes.size(), f) == bytes.size();
    std::fclose(f);
    return ok;
}

Status check_one(const char* path) {
    std::printf("%s\n", path);
    std::vector<std::uint8_t> bytes;
    if (!read_whole(path, bytes)) {
        std::printf("  cannot read: not a readable regular file\n  result: UNREADABLE\n");
        return unusable;
    }
    const std::string name = std::filesystem::path(path).filename().string();
    const CheckReport report = check_merged_image(bytes.data(), bytes.size(), name);
    std::printf("%s", report.text.c_str());
    if (report.too_short) {
        std::printf("  result: TOO SHORT\n");
        return unusable;
    }
    std::printf("  result: %s\n", report.failed ? "INCONSISTENT" : "consistent");
    return report.failed ? inconsistent : consistent;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 2) {
        std::printf("usage: Tolp_image_check IMAGE...\n");
        return unusable;
    }
    Status worst = consistent;
    for (int k = 1; k < argc; ++k) {
        const Status s = check_one(argv[k]);
        if (s > worst) worst = s;
    }
    return worst;
}
