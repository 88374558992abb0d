// Fuzz target: the image stages in memory, from checksum through stamping
// and naming to the merged layout, checked against the header page format
// and the merged layout. The merged image must also pass the checker.
//
// Input: 8 bytes of sizes and arguments, then filler for the three images.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "arg_check.h"
#include "header_stamp.h"
#include "image_check.h"
#include "merge_image.h"
#include "page_checksum.h"

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

// Sizes cluster where the arithmetic turns: page and region edges, the
// working copy's limit, and the room left for an overlong image.
std::size_t pick_size(std::uint8_t selector, std::uint8_t offset, std::size_t limit) {
    const std::size_t anchors[] = {0, 1, 20, 143, 144, 256, 257, 512, 4096, 0x3000, 0xA000, 204800};
    std::size_t base = anchors[selector % (sizeof anchors / sizeof anchors[0])];
    std::size_t size =
        (selector & 0x80) ? base - std::min<std::size_t>(base, offset % 4) : base + offset % 4;
    return std::min(size, limit);
}

std::vector<std::uint8_t> filler(const std::uint8_t* data, std::size_t size, std::size_t length,
                                 std::uint8_t salt) {
    std::vector<std::uint8_t> out(length);
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint8_t base = size > 0 ? data[i % size] : 0;
        out[i] = static_cast<std::uint8_t>(base ^ salt ^ (i >> 8));
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 8) return 0;
    const std::size_t bin_size = pick_size(data[0], data[1], download_capacity);
    const std::size_t total = merged_size(static_cast<std::uint32_t>(bin_size));
    const std::size_t offline_size = pick_size(data[2], data[3], room_at(offline_offset, total));
    const std::size_t ramboot_size = pick_size(data[4], data[5], room_at(ramboot_offset, total));
    const std::int32_t count = (data[6] & 1) ? -1 - data[7] * 39215 : 1 + data[7] * 392156;
    const std::uint8_t* rest = data + 8;
    const std::size_t rest_size = size - 8;

    // Loading: the working copy and its page checksum.
    std::vector<std::uint8_t> buf(download_capacity, 0xEE);
    const auto download = filler(rest, rest_size, bin_size, 1);
    std::copy(download.begin(), download.end(), buf.begin());
    const std::uint32_t sum = walk_pages(buf.data(), static_cast<std::uint32_t>(bin_size)).crc123;
    const std::uint32_t expected_sum =
        bin_size > 256 ? crc32(0, download.data() + 256, bin_size - 256) : 0;
    if (sum != expected_sum) fail("checksum");

    // Stamping: every field decodes back to its value.
    char mac_text[18];
    std::snprintf(mac_text, sizeof mac_text, "%02X-%02X-%02X-%02X-%02X-%02x",
                  rest_size > 0 ? rest[0] : 0, data[1], data[2], data[3], data[4], data[5]);
    std::uint8_t mac[6];
    str_to_hex(reinterpret_cast<const unsigned char*>(mac_text), mac);
    const std::uint32_t burn_times = static_cast<std::uint32_t>(count);
    const std::uint32_t check_sum =
        stamp_header(buf.data(), static_cast<std::uint32_t>(bin_size), sum, burn_times, mac);
    if (read_big_endian32(&buf[length_offset]) != bin_size) fail("length field");
    if (read_little_endian32(&buf[checksum_offset]) != sum) fail("checksum field");
    if (read_little_endian32(&buf[count_offset]) != burn_times) fail("count field");
    if (std::memcmp(&buf[mac_offset], mac, 6) != 0) fail("MAC field");
    if (static_cast<std::uint32_t>(buf[mac_sum_offset] | buf[mac_sum_offset + 1] << 8) !=
        check_sum) {
        fail("MAC sum field");
    }
    for (std::size_t i = mac_sum_offset + mac_sum_width; i < bin_size; ++i) {
        if (buf[i] != download[i]) fail("payload changed by stamping");
    }
    if (walk_pages(buf.data(), static_cast<std::uint32_t>(bin_size)).crc123 != sum) {
        fail("stamping changed the checksum");
    }

    // Naming: within its 40 characters, in the tool's form.
    char name[file_name_size];
    std::memset(name, 'X', sizeof name);
    compose_file_name(name, mac_text, sum, burn_times);
    if (std::memchr(name, '\0', sizeof name) == nullptr) fail("name not terminated");
    const std::size_t name_length = std::strlen(name);
    if (std::strncmp(name, mac_text, 17) != 0 || name_length < 4 ||
        std::strcmp(name + name_length - 4, ".bin") != 0) {
        fail("name not in the tool's form");
    }

    // Layout: 0xD000 + bin_size bytes, download whole at 0xD000.
    const auto offline = filler(rest, rest_size, offline_size, 2);
    const auto ramboot = filler(rest, rest_size, ramboot_size, 3);
    std::vector<std::uint8_t> merged(total);
    SourceImages sources{{offline.data(), offline.size()}, {ramboot.data(), ramboot.size()}};
    lay_out_merged(merged.data(), {buf.data(), bin_size}, read_from_memory, &sources);
    if (merged.size() != 0xD000 + bin_size) fail("merged size");
    // Every byte, from the layout rule stated plainly: the download image
    // whole at 0xD000, the RAM boot image over the offline image's run-on,
    // erased flash in every gap.
    for (std::size_t at = 0; at < total; ++at) {
        std::uint8_t want = 0xFF;
        if (at >= 0xD000) {
            want = buf[at - 0xD000];
        } else if (at >= 0xA000 && at - 0xA000 < ramboot_size) {
            want = ramboot[at - 0xA000];
        } else if (at < offline_size) {
            want = offline[at];
        }
        if (merged[at] != want) fail("merged byte not where the layout puts it");
    }

    // The checker agrees with what was just built, with and without its
    // sources (the original or the stamped download image).
    const Sources made_from{{offline.data(), offline.size()},
                            {ramboot.data(), ramboot.size()},
                            {(data[6] & 2) ? buf.data() : download.data(), bin_size}};
    for (const Sources* given : {static_cast<const Sources*>(nullptr), &made_from}) {
        const CheckReport report = check_merged_image(merged.data(), merged.size(), name, given);
        if (report.too_short != (bin_size < 20)) fail("checker: too short");
        if (!report.too_short && report.failed) {
            std::fprintf(stderr, "%s", report.text.c_str());
            fail("checker finds the image inconsistent");
        }
        // A copy cut short anywhere is checked without reading past its end.
        const std::size_t cut = total - std::min<std::size_t>(total, data[7] * 1031u % (total + 1));
        const CheckReport cut_report = check_merged_image(merged.data(), cut, name, given);
        if (cut < total && !cut_report.too_short && !cut_report.failed) {
            fail("checker misses a cut");
        }
    }
    // With its sources, one changed byte anywhere is found.
    if (bin_size >= 20) {
        const std::size_t at = (static_cast<std::size_t>(data[1]) << 8 | data[3]) * 257 % total;
        merged[at] ^= 0x40;
        if (!check_merged_image(merged.data(), merged.size(), name, &made_from).failed) {
            fail("checker misses a changed byte");
        }
    }
    return 0;
}
