// Writes three small deterministic sample images into a folder, for trying
// the tool: offline.bin, ramboot.bin and a download.bin of a few pages.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<std::uint8_t> sample(std::size_t size, std::uint32_t seed) {
    std::vector<std::uint8_t> bytes(size);
    std::uint32_t x = seed;
    for (auto& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(x >> 24);
    }
    return bytes;
}

bool write(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace

// cppcheck-suppress constParameter ; main keeps its standard signature
int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_sample_images FOLDER\n");
        return 2;
    }
    const std::string dir = argv[1];
    // A download image of 4 pages and a bit, with an erased-looking header
    // page so the stamped fields stand out in a dump.
    std::vector<std::uint8_t> download = sample(1100, 3);
    for (std::size_t i = 0; i < 256; ++i) download[i] = 0xFF;
    const bool ok = write(dir + "/offline.bin", sample(3000, 1)) &&
                    write(dir + "/ramboot.bin", sample(2000, 2)) &&
                    write(dir + "/download.bin", download);
    if (!ok) std::perror(dir.c_str());
    return ok ? 0 : 1;
}
