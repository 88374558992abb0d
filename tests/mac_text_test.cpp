// MAC text checks and decoding, and the count window.
#include <cstring>

#include <gtest/gtest.h>

#include "mac_text.h"

namespace {

TEST(MacText, ChecksRunInOrderLengthSeparatorCharacter) {
    const struct {
        const char* text;
        MacFault fault;
    } cases[] = {
        {"11-22-33-44-55-66", MacFault::none},
        {"11-22-33-AA-bb-Cc", MacFault::none},
        {"09-90-99-f9-F0-a9", MacFault::none},  // the edges of each digit range
        {"0a-Af-fF-00-Aa-9A", MacFault::none},
        {"1 -22-33-44-55-66", MacFault::none},
        {"-----------------", MacFault::none},
        {"11-22-33-44-55-66-", MacFault::length},
        {"11-22-33-44-55-6", MacFault::length},
        {"", MacFault::length},
        {"--------------------", MacFault::length},
        {"11:22:33:44:55:66", MacFault::separator},
        {"11-22-33-44-55:6G", MacFault::separator},  // separator before characters
        {"11-22-33-44-55-6G", MacFault::character},
        {"11-22-33-44-55-6\x80", MacFault::character},
        {"11-22-33-44-55-6\xC0\xA1", MacFault::length},    // 18 bytes
        {"11-22-33-44-55-\xC0\xA1", MacFault::character},  // 17 bytes
        {"g1-22-33-44-55-66", MacFault::character},
        {"11-22-33-44-55-6:", MacFault::character},  // just past '9'
        {"11-22-33-44-55-6/", MacFault::character},  // just before '0'
        {"11-22-33-44-55-6@", MacFault::character},
        {"11-22-33-44-55-6G", MacFault::character},
        {"11-22-33-44-55-6`", MacFault::character},
        {"11-22-33-44-55-6g", MacFault::character},
    };
    for (const auto& c : cases) EXPECT_EQ(mac_text_fault(c.text), c.fault) << c.text;
}

TEST(MacText, GroupsDecodeAsWrittenIgnoringSpacesAndDashes) {
    const struct {
        const char* text;
        std::uint8_t bytes[6];
    } cases[] = {
        {"11-22-33-44-55-66", {0x11, 0x22, 0x33, 0x44, 0x55, 0x66}},
        {"01-AB-00-10-FF-7C", {0x01, 0xAB, 0x00, 0x10, 0xFF, 0x7C}},
        {"09-90-99-f9-F0-a9", {0x09, 0x90, 0x99, 0xF9, 0xF0, 0xA9}},
        {"aa-Bb-cC-dd-EE-ff", {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}},
        {"0A- A-A -  ----1-", {0x0A, 0x0A, 0x0A, 0x00, 0x00, 0x01}},
        {"-----------------", {0, 0, 0, 0, 0, 0}},
        {"11a22b33c44d55e66", {0x11, 0x22, 0x33, 0x44, 0x55, 0x66}},  // a separator is never read
    };
    for (const auto& c : cases) {
        std::uint8_t got[7] = {9, 9, 9, 9, 9, 9, 9};
        str_to_hex(reinterpret_cast<const unsigned char*>(c.text), got);
        EXPECT_EQ(std::memcmp(got, c.bytes, 6), 0) << c.text;
        EXPECT_EQ(got[6], 9) << c.text << ": written past the six bytes";
    }
}

TEST(Count, AcceptsAtoiFormsInsideTheNameWindow) {
    const struct {
        const char* text;
        bool accepted;
        std::uint32_t value;
    } cases[] = {
        {"500", true, 500},
        {"12abc", true, 12},
        {"  \t+7", true, 7},
        {"\n\v\f\r 9", true, 9},
        {"\r-19", true, static_cast<std::uint32_t>(-19)},
        {"-5", true, 4294967291u},
        {"-1", true, 4294967295u},
        {"1", true, 1},
        {"99999999", true, 99999999},
        {"-9999999", true, static_cast<std::uint32_t>(-9999999)},
        {"00000000000000000042", true, 42},
        {"100000000", false, 0},
        {"-10000000", false, 0},
        {"99999999999999999999", false, 0},
        {"0", false, 0},
        {"00", false, 0},
        {"-0", false, 0},
        {"x", false, 0},
        {"abc", false, 0},
        {"", false, 0},
        {"- 5", false, 0},
        {"+-5", false, 0},
    };
    for (const auto& c : cases) {
        std::uint32_t value = 0;
        EXPECT_EQ(parse_count(c.text, value), c.accepted) << c.text;
        if (c.accepted) {
            EXPECT_EQ(value, c.value) << c.text;
        }
    }
}

}  // namespace
