// The checksum and the page arithmetic.
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "crc_reference.h"
#include "page_checksum.h"

namespace {

const std::uint8_t* bytes_of(const char* s) {
    return reinterpret_cast<const std::uint8_t*>(s);
}

TEST(Crc32, MatchesTheCheckValues) {
    EXPECT_EQ(crc32(0, bytes_of("abc"), 3), 0x6B1DDC00u);
    EXPECT_EQ(crc32(0, bytes_of("123456789"), 9), 0xFDA41140u);
    EXPECT_EQ(crc32_bitwise(0, bytes_of("abc"), 3), 0x6B1DDC00u);
    EXPECT_EQ(crc32_bitwise(0, bytes_of("123456789"), 9), 0xFDA41140u);
    EXPECT_EQ(crc32(0x12345678u, bytes_of(""), 0), 0x12345678u);
}

TEST(Crc32, TableVersionAgreesWithTheBitwiseDefinition) {
    std::mt19937 rng(20261208);
    std::vector<std::uint8_t> data(4 * 256 + 16);
    for (auto& b : data) b = static_cast<std::uint8_t>(rng());
    for (int trial = 0; trial < 3000; ++trial) {
        const std::size_t offset = rng() % 8;  // every alignment
        const std::size_t len = rng() % (data.size() - offset);
        const std::uint32_t start = trial % 3 == 0 ? 0 : rng();
        ASSERT_EQ(crc32(start, data.data() + offset, len),
                  crc32_bitwise(start, data.data() + offset, len))
            << "offset " << offset << " length " << len << " start " << start;
    }
    // Carrying the value page by page is one pass over the whole.
    const std::uint32_t whole = crc32(0, data.data(), 700);
    EXPECT_EQ(
        crc32(crc32(crc32(0, data.data(), 256), data.data() + 256, 256), data.data() + 512, 188),
        whole);
}

TEST(PageArithmetic, CountsPagesAndTheLastPageBytes) {
    const struct {
        std::uint32_t size, pages, remain;
    } cases[] = {
        {0, 0, 256}, {1, 1, 1},     {256, 1, 256},      {257, 2, 1},
        {259, 2, 3}, {512, 2, 256}, {204800, 800, 256}, {204799, 800, 255},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(page_count(c.size), c.pages) << c.size;
        EXPECT_EQ(last_page_bytes(c.size), c.remain) << c.size;
    }
}

TEST(PageChecksum, CoversOnlyTheBytesAfterTheHeaderPage) {
    std::vector<std::uint8_t> image(600, 0);
    EXPECT_EQ(page_checksum(image.data(), 600), 0u);  // zero payload
    image[257] = 'a';
    const std::uint32_t with_payload = page_checksum(image.data(), 600);
    EXPECT_NE(with_payload, 0u);
    image[10] = 0x55;  // header page: no effect
    EXPECT_EQ(page_checksum(image.data(), 600), with_payload);
    image[599] = 1;  // last byte in the file: counts
    EXPECT_NE(page_checksum(image.data(), 600), with_payload);
    EXPECT_EQ(page_checksum(image.data(), 256), 0u);
    EXPECT_EQ(page_checksum(image.data(), 0), 0u);
}

}  // namespace
