// Stamping, naming and layout as pure computations.
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "header_fields.h"
#include "merged_layout.h"
#include "merged_name.h"

namespace {

TEST(HeaderPage, FieldsReadBackAndOtherBytesStay) {
    std::vector<std::uint8_t> page(256, 0xA5);
    const std::uint8_t mac[6] = {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
    const HeaderFields fields = header_for(0x01020304, 0x6B1DDC00, 0xFFFFFFFB, mac);
    EXPECT_EQ(fields.mac_sum, 1275u);
    stamp_header(page.data(), page.size(), fields);
    EXPECT_EQ(page[16], 0x01);  // length: most significant byte first
    EXPECT_EQ(page[64], 0x00);  // checksum: least significant byte first
    EXPECT_EQ(page[142], 0xFB);
    EXPECT_EQ(page[143], 0x04);
    const HeaderFields back = read_header(page.data(), page.size());
    EXPECT_EQ(back.length, 0x01020304u);
    EXPECT_EQ(back.checksum, 0x6B1DDC00u);
    EXPECT_EQ(back.count, 0xFFFFFFFBu);
    EXPECT_EQ(std::memcmp(back.mac, mac, 6), 0);
    EXPECT_EQ(back.mac_sum, 1275u);
    std::size_t untouched = 0;
    for (std::uint8_t b : page) untouched += b == 0xA5;
    EXPECT_EQ(untouched, 256u - 4 * 3 - 8);
    // A 140-byte image takes the fields cut at its end and reads back only
    // those it holds whole.
    std::vector<std::uint8_t> cut(144, 0xA5);
    stamp_header(cut.data(), 140, fields);
    EXPECT_EQ(std::memcmp(&cut[136], mac, 4), 0);
    EXPECT_EQ(cut[140], 0xA5) << "stamped past the image's end";
    const HeaderFields held = read_header(cut.data(), 140);
    EXPECT_EQ(held.count, 0xFFFFFFFBu);
    EXPECT_EQ(held.mac[0], 0) << "a field cut short reads as absent";
}

TEST(FileName, TakesTheMacAsTypedAndFitsEveryAcceptedCount) {
    const struct {
        const char* mac;
        std::uint32_t sum, count;
        const char* name;
    } cases[] = {
        {"11-22-33-44-55-66", 0x0012ABCD, 500, "11-22-33-44-55-66_0012ABCD_500.bin"},
        {"1 -22-33-44-55-66", 0, 1, "1 -22-33-44-55-66_00000000_1.bin"},
        {"aa-bb-cc-dd-ee-ff", 0xFFFFFFFF, 99999999, "aa-bb-cc-dd-ee-ff_FFFFFFFF_99999999.bin"},
        {"11-22-33-44-55-66", 1, static_cast<std::uint32_t>(-9999999),
         "11-22-33-44-55-66_00000001_-9999999.bin"},
        // Past the accepted window the name is cut, never overrun.
        {"11-22-33-44-55-66", 1, 100000000, "11-22-33-44-55-66_00000001_10000000.bin"},
    };
    for (const auto& c : cases) {
        char name[file_name_size + 8];
        std::memset(name, 'X', sizeof name);
        compose_file_name(name, c.mac, c.sum, c.count);
        EXPECT_STREQ(name, c.name);
        EXPECT_EQ(name[file_name_size], 'X') << "written past the name's room";
    }
}

// Every byte of a merged image, from the layout rule stated plainly.
std::uint8_t expected_byte(std::size_t at, const std::vector<std::uint8_t>& offline,
                           const std::vector<std::uint8_t>& ramboot,
                           const std::vector<std::uint8_t>& download) {
    if (at >= 0xD000) return download[at - 0xD000];
    if (at >= 0xA000 && at - 0xA000 < ramboot.size()) return ramboot[at - 0xA000];
    if (at < offline.size()) return offline[at];
    return 0xFF;
}

TEST(Layout, RegionsAreFilledInOrderOverErasedFlash) {
    const struct {
        std::size_t offline, ramboot, download;
    } cases[] = {
        {5, 3, 4},           // short images: both gaps erased
        {0xA000 + 2, 3, 4},  // the RAM boot image overwrites the offline run-on
        {0, 0x3000 + 7, 9},  // the download image overwrites the RAM boot run-on
        {0xD000 + 4, 0, 4},  // an offline image up to the end
        {0, 0, 0},
    };
    for (const auto& c : cases) {
        const std::vector<std::uint8_t> offline(c.offline, 1), ramboot(c.ramboot, 2),
            download(c.download, 3);
        std::vector<std::uint8_t> merged(merged_size(c.download), 0);
        lay_out_merged(merged.data(), {{offline.data(), offline.size()},
                                       {ramboot.data(), ramboot.size()},
                                       {download.data(), download.size()}});
        for (std::size_t at = 0; at < merged.size(); ++at) {
            ASSERT_EQ(merged[at], expected_byte(at, offline, ramboot, download))
                << "offset " << at << " of " << c.offline << "/" << c.ramboot << "/" << c.download;
        }
    }
    EXPECT_EQ(room_for(ramboot_image, 0), 0x3000u);
    EXPECT_EQ(room_for(offline_image, 5), 0xD005u);
    EXPECT_EQ(room_for(download_image, 5), 204800u);
}

}  // namespace
