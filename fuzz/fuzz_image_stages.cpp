// Fuzz target: the image stages in memory, from checksum through stamping
// and naming to the merged layout, checked against the header page format
// and the layout rule; then the checker on what was built: it must accept
// the image, with and without its sources, and find one changed byte and a
// cut, both placed by the input.
//
// Input: 12 bytes of sizes, arguments, the change and the cut, then filler
// for the three images.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "header_fields.h"
#include "image_check.h"
#include "image_report.h"
#include "mac_text.h"
#include "merged_layout.h"
#include "merged_name.h"
#include "page_checksum.h"

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

// Sizes cluster where the arithmetic turns: page, field and region edges,
// and (the largest anchor, capped) the room left for an overlong image.
std::size_t pick_size(std::uint8_t selector, std::uint8_t offset, std::size_t limit) {
    const std::size_t anchors[] = {0,   1,   2,    19,   20,   143,    144,    255,
                                   256, 257, 4095, 4096, 4097, 0x3000, 0xA000, 204800};
    std::size_t base = anchors[selector % (sizeof anchors / sizeof anchors[0])];
    std::size_t size =
        (selector & 0x80) ? base - std::min<std::size_t>(base, offset % 4) : base + offset % 4;
    return std::min(size, limit);
}

// `length` bytes in `out` (kept from input to input: fresh large buffers
// cost more than the checks), from a generator seeded with the input's
// bytes and `salt`, eight bytes a step.
void fill(std::vector<std::uint8_t>& out, const std::uint8_t* data, std::size_t size,
          std::size_t length, std::uint8_t salt) {
    std::uint64_t x = 0xCBF29CE484222325u ^ salt;
    for (std::size_t k = 0; k < size; ++k) x = (x ^ data[k]) * 0x100000001B3u;
    out.resize(length);
    for (std::size_t at = 0; at < length; at += sizeof x) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        std::memcpy(&out[at], &x, std::min(sizeof x, length - at));
    }
}

bool same(const std::uint8_t* a, const std::uint8_t* b, std::size_t n) {
    return n == 0 || std::memcmp(a, b, n) == 0;
}

bool erased(const std::uint8_t* at, std::size_t n) {
    static const std::vector<std::uint8_t> ff(0xD000, 0xFF);
    return same(at, ff.data(), n);
}

// The layout rule stated plainly, range by range: the offline image from 0,
// the RAM boot image from 0xA000 over it, erased flash where neither is,
// the download image whole from 0xD000 to the end.
void check_layout(const std::vector<std::uint8_t>& merged, const std::vector<std::uint8_t>& offline,
                  const std::vector<std::uint8_t>& ramboot, const std::uint8_t* download,
                  std::size_t bin_size) {
    if (merged.size() != 0xD000 + bin_size) fail("merged size");
    const std::size_t off = offline.size();
    const std::size_t ram_end = 0xA000 + std::min<std::size_t>(ramboot.size(), 0x3000);
    const std::size_t offline_low = std::min<std::size_t>(off, 0xA000);
    const std::size_t offline_high = std::max(ram_end, std::min<std::size_t>(off, 0xD000));
    if (!same(merged.data(), offline.data(), offline_low)) fail("offline image");
    if (!erased(&merged[offline_low], 0xA000 - offline_low)) fail("gap after offline");
    if (!same(&merged[0xA000], ramboot.data(), ram_end - 0xA000)) fail("RAM boot image");
    if (!same(&merged[ram_end], offline.data() + std::min(ram_end, off), offline_high - ram_end)) {
        fail("offline run-on");
    }
    if (!erased(&merged[offline_high], 0xD000 - offline_high)) fail("gap after RAM boot");
    if (!same(&merged[0xD000], download, bin_size)) fail("download image");
}

}  // namespace

// Each input allocates several images of up to 258 KiB. With the default
// quarantine (256 MiB) every allocation gets freshly mapped pages, which
// costs three times the checks themselves; 32 MiB still holds the frees of
// the last hundred or more inputs for use-after-free detection.
extern "C" const char* __asan_default_options() {
    return "quarantine_size_mb=32";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 12) return 0;
    // Nothing in memory turns at the working copy's limit (the file stage
    // refuses a larger image, and its tests cover that), and a download
    // image of that size costs nine times a typical input: the download
    // image stays within the 0xA000 edge.
    const std::size_t bin_size = pick_size(data[0], data[1], 0xA000 + 3);
    const std::size_t total = merged_size(bin_size);
    const std::size_t offline_size = pick_size(data[2], data[3], room_for(offline_image, bin_size));
    const std::size_t ramboot_size = pick_size(data[4], data[5], room_for(ramboot_image, bin_size));
    const std::int32_t count = (data[6] & 1) ? -1 - data[7] * 39215 : 1 + data[7] * 392156;
    const std::size_t change_at = (std::size_t{data[8]} << 16 | data[9] << 8 | data[10]) % total;
    const std::uint8_t change = data[11] != 0 ? data[11] : 0x40;
    const std::uint8_t* rest = data + 12;
    const std::size_t rest_size = size - 12;

    // Loading: the working copy (kept from input to input, as the tool's
    // outlives its stages) and its page checksum.
    static std::vector<std::uint8_t> buf(download_capacity), download, offline, ramboot, merged;
    fill(download, rest, rest_size, bin_size, 1);
    std::copy(download.begin(), download.end(), buf.begin());
    const auto image_size = static_cast<std::uint32_t>(bin_size);
    const std::uint32_t sum = walk_pages(buf.data(), image_size).crc123;
    if (sum != (bin_size > 256 ? crc32(0, download.data() + 256, bin_size - 256) : 0)) {
        fail("checksum");
    }

    // Stamping: every field reads back and nothing else changes (that the
    // checksum stays is the checker's to find below).
    char mac_text[18];
    std::snprintf(mac_text, sizeof mac_text, "%02X-%02X-%02X-%02X-%02X-%02x",
                  rest_size > 0 ? rest[0] : 0, data[1], data[2], data[3], data[4], data[5]);
    std::uint8_t mac[6];
    str_to_hex(reinterpret_cast<const unsigned char*>(mac_text), mac);
    const auto burn_times = static_cast<std::uint32_t>(count);
    const HeaderFields fields = header_for(image_size, sum, burn_times, mac);
    stamp_header(buf.data(), buf.size(), fields);
    const HeaderFields back = read_header(buf.data(), buf.size());
    if (back.length != bin_size || back.checksum != sum || back.count != burn_times ||
        !same(back.mac, mac, 6) || back.mac_sum != mac_sum(mac)) {
        fail("a field does not read back");
    }
    if (bin_size > 144 && !same(&buf[144], &download[144], bin_size - 144)) {
        fail("payload changed by stamping");
    }

    // Naming: within its 40 characters, and it reads back.
    char name[file_name_size];
    std::memset(name, 'X', sizeof name);
    compose_file_name(name, mac_text, sum, burn_times);
    if (std::memchr(name, '\0', sizeof name) == nullptr) fail("name not terminated");
    const NameFields said = parse_merged_name(name);
    if (!said.has_form || said.mac_text != mac_text || said.checksum != sum ||
        said.count != burn_times) {
        fail("name does not read back");
    }

    // Layout.
    fill(offline, rest, rest_size, offline_size, 2);
    fill(ramboot, rest, rest_size, ramboot_size, 3);
    merged.assign(total, 0x5A);
    lay_out_merged(merged.data(), {{offline.data(), offline.size()},
                                   {ramboot.data(), ramboot.size()},
                                   {buf.data(), bin_size}});
    check_layout(merged, offline, ramboot, buf.data(), bin_size);

    // The checker agrees with what was just built, given its sources (the
    // original or the stamped download image).
    const Inputs made_from{{offline.data(), offline.size()},
                           {ramboot.data(), ramboot.size()},
                           {(data[6] & 2) ? buf.data() : download.data(), bin_size}};
    const bool checkable = bin_size >= 20;
    const CheckReport report = check_merged_image(merged.data(), total, name, &made_from);
    if (report.too_short == checkable) fail("checker: too short");
    if (!checkable) return 0;
    if (report.failed) {
        std::fprintf(stderr, "%s", text_report(report).c_str());
        fail("checker finds the image inconsistent");
    }
    // A copy cut short is never consistent, even without its sources.
    const CheckReport cut_report = check_merged_image(merged.data(), change_at, name);
    if (!cut_report.too_short && !cut_report.failed) fail("checker misses a cut");
    // One changed byte anywhere is found with the sources.
    merged[change_at] ^= change;
    if (!check_merged_image(merged.data(), total, name, &made_from).failed) {
        fail("checker misses a changed byte");
    }
    return 0;
}
