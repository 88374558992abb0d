// The checksum and the page arithmetic.
#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "console_texts.h"
#include "crc_reference.h"
#include "formatted.h"
#include "load_download.h"
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

// The progress a walk reports, page by page.
std::vector<std::pair<std::uint32_t, std::uint32_t>> heard;
void note_page(std::uint32_t i, std::uint32_t crc123) {
    heard.emplace_back(i, crc123);
}

TEST(PageWalk, CountsPagesAndChecksumsAllButTheHeaderPage) {
    const struct {
        std::uint32_t size, pages, remain, end;
    } cases[] = {
        {0, 0, 256, 1},   {1, 1, 1, 1},     {256, 1, 256, 1},        {257, 2, 1, 2},
        {259, 2, 3, 2},   {512, 2, 256, 2}, {204800, 800, 256, 800}, {204799, 800, 255, 800},
        {1100, 5, 76, 5},
    };
    std::mt19937 rng(7);
    std::vector<std::uint8_t> image(204800);
    for (auto& b : image) b = static_cast<std::uint8_t>(rng());
    for (const auto& c : cases) {
        EXPECT_EQ(page_count(c.size), c.pages) << c.size;
        EXPECT_EQ(last_page_bytes(c.size), c.remain) << c.size;
        heard.clear();
        const PageWalk walk = walk_pages(image.data(), c.size, note_page);
        EXPECT_EQ(walk.PageCNT, c.pages) << c.size;
        EXPECT_EQ(walk.remain, c.remain) << c.size;
        EXPECT_EQ(walk.i, c.end) << c.size;
        // Each page continues the checksum carried from the page before.
        std::uint32_t crc = 0;
        ASSERT_EQ(heard.size(), c.end - 1) << c.size;
        for (std::uint32_t i = 1; i < c.end; ++i) {
            const std::size_t from = i * 256u;
            crc =
                crc32_bitwise(crc, image.data() + from, std::min<std::size_t>(256, c.size - from));
            EXPECT_EQ(heard[i - 1], std::make_pair(i, crc)) << c.size << " page " << i;
        }
        EXPECT_EQ(walk.crc123, crc) << c.size;
        EXPECT_EQ(walk_pages(image.data(), c.size).crc123, crc) << "without progress";
    }
}

TEST(PageWalk, CoversOnlyTheBytesAfterTheHeaderPage) {
    std::vector<std::uint8_t> image(600, 0);
    EXPECT_EQ(walk_pages(image.data(), 600).crc123, 0u);  // zero payload
    image[257] = 'a';
    const std::uint32_t with_payload = walk_pages(image.data(), 600).crc123;
    EXPECT_NE(with_payload, 0u);
    image[10] = 0x55;  // header page: no effect
    EXPECT_EQ(walk_pages(image.data(), 600).crc123, with_payload);
    image[599] = 1;  // last byte in the file: counts
    EXPECT_NE(walk_pages(image.data(), 600).crc123, with_payload);
    image[600 - 1] = 0;
    image.push_back(9);  // past the image's size: no effect
    EXPECT_EQ(walk_pages(image.data(), 600).crc123, with_payload);
}

TEST(PageWalk, EachPageLineIsTheTranscriptsFormat) {
    const std::uint32_t values[][2] = {{0, 0},     {1, 0x800e2b20},   {9, 0xF},
                                       {10, 0x10}, {799, 0xFFFFFFFF}, {800, 0x0ABCDEF0}};
    for (const auto& v : values) {
        char line[32];
        const std::size_t size = page_progress_line(line, v[0], v[1]);
        EXPECT_EQ(std::string(line, size),
                  formatted(text::page_progress, static_cast<int>(v[0]), v[1]));
    }
}

}  // namespace
