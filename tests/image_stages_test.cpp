// Stamping, naming and layout as pure computations.
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "header_stamp.h"
#include "merge_image.h"

namespace {

TEST(HeaderPage, FieldsReadBackAndOtherBytesStay) {
    std::vector<std::uint8_t> page(256, 0xA5);
    const std::uint8_t mac[6] = {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
    EXPECT_EQ(stamp_header(page.data(), 0x01020304, 0x6B1DDC00, 0xFFFFFFFB, mac), 1275u);
    EXPECT_EQ(page[16], 0x01);  // length: most significant byte first
    EXPECT_EQ(read_big_endian32(&page[16]), 0x01020304u);
    EXPECT_EQ(page[64], 0x00);  // checksum: least significant byte first
    EXPECT_EQ(read_little_endian32(&page[64]), 0x6B1DDC00u);
    EXPECT_EQ(read_little_endian32(&page[72]), 0xFFFFFFFBu);
    EXPECT_EQ(std::memcmp(&page[136], mac, 6), 0);
    EXPECT_EQ(page[142], 0xFB);
    EXPECT_EQ(page[143], 0x04);
    std::size_t untouched = 0;
    for (std::uint8_t b : page) untouched += b == 0xA5;
    EXPECT_EQ(untouched, 256u - 4 * 3 - 8);
}

TEST(FileName, TakesTheMacAsTypedAndFitsEveryAcceptedCount) {
    const struct {
        const char* mac;
        std::uint32_t sum, count;
        const char* name;
        bool fits;
    } cases[] = {
        {"11-22-33-44-55-66", 0x0012ABCD, 500, "11-22-33-44-55-66_0012ABCD_500.bin", true},
        {"1 -22-33-44-55-66", 0, 1, "1 -22-33-44-55-66_00000000_1.bin", true},
        {"aa-bb-cc-dd-ee-ff", 0xFFFFFFFF, 99999999, "aa-bb-cc-dd-ee-ff_FFFFFFFF_99999999.bin",
         true},
        {"11-22-33-44-55-66", 1, static_cast<std::uint32_t>(-9999999),
         "11-22-33-44-55-66_00000001_-9999999.bin", true},
        {"11-22-33-44-55-66", 1, 100000000, "11-22-33-44-55-66_00000001_10000000.bin", false},
    };
    for (const auto& c : cases) {
        char name[file_name_size];
        EXPECT_EQ(compose_file_name(name, c.mac, c.sum, c.count), c.fits) << c.name;
        EXPECT_STREQ(name, c.name);
    }
}

TEST(Layout, RegionsAreFilledInOrderOverErasedFlash) {
    const std::size_t total = merged_size(4);
    std::vector<std::uint8_t> merged(total, 0);
    const std::vector<std::uint8_t> offline(0xA000 + 2, 1), ramboot(3, 2), download(4, 3);
    lay_out_merged(merged.data(), total, {offline.data(), offline.size()},
                   {ramboot.data(), ramboot.size()}, {download.data(), download.size()});
    EXPECT_EQ(merged[0xA000 - 1], 1);
    EXPECT_EQ(merged[0xA000], 2);  // the RAM boot image overwrites the run-on
    EXPECT_EQ(merged[0xA003], 0xFF);
    EXPECT_EQ(merged[0xCFFF], 0xFF);
    EXPECT_EQ(merged[0xD000], 3);
    EXPECT_EQ(merged[total - 1], 3);
    EXPECT_EQ(room_at(ramboot_offset, merged_size(0)), 0x3000u);
    EXPECT_EQ(room_at(download_offset + 1, merged_size(0)), 0u);
}

}  // namespace
