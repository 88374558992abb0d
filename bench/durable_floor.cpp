// The floor a whole run is measured against: the same reads and writes as a
// maximal run of Tolp_mac_tool, with the same guarantees (the header bytes
// of download.bin written in place and flushed; the merged image through a
// temporary, fsync, rename, fsync of the folder), and nothing else: no
// checks, no checksum, no console output.
#include <cstdio>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

std::vector<unsigned char> read_whole(const char* path) {
    std::vector<unsigned char> bytes;
    std::FILE* f = std::fopen(path, "rb");
    if (f == nullptr) return bytes;
    std::fseek(f, 0, SEEK_END);
    bytes.resize(static_cast<std::size_t>(std::ftell(f)));
    std::fseek(f, 0, SEEK_SET);
    if (std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) bytes.clear();
    std::fclose(f);
    return bytes;
}

bool write_durably(const char* path, const unsigned char* data, std::size_t size) {
    char temp[256];
    std::snprintf(temp, sizeof temp, ".%s.floor.tmp", path);
    const int fd = open(temp, O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0) return false;
    bool ok = write(fd, data, size) == static_cast<ssize_t>(size) && fsync(fd) == 0;
    ok = close(fd) == 0 && ok && std::rename(temp, path) == 0;
    const int dir = open(".", O_RDONLY | O_DIRECTORY);
    ok = dir >= 0 && fsync(dir) == 0 && ok;
    if (dir >= 0) close(dir);
    return ok;
}

bool write_in_place(const char* path, const unsigned char* data, std::size_t from, std::size_t to) {
    const int fd = open(path, O_RDWR);
    if (fd < 0) return false;
    const auto size = static_cast<ssize_t>(to - from);
    bool ok = pwrite(fd, data + from, to - from, static_cast<off_t>(from)) == size;
    ok = fdatasync(fd) == 0 && ok;
    return close(fd) == 0 && ok;
}

}  // namespace

int main() {
    std::vector<unsigned char> download = read_whole("download.bin");
    if (!write_in_place("download.bin", download.data(), 16, 144)) return 1;
    std::vector<unsigned char> merged(0xD000 + download.size(), 0xFF);
    const auto offline = read_whole("offline.bin");
    const auto ramboot = read_whole("ramboot.bin");
    std::memcpy(merged.data(), offline.data(), offline.size());
    std::memcpy(merged.data() + 0xA000, ramboot.data(), ramboot.size());
    std::memcpy(merged.data() + 0xD000, download.data(), download.size());
    return write_durably("merged.bin", merged.data(), merged.size()) ? 0 : 1;
}
