// The argument stage end to end: every refusal with its message and status,
// the order of the checks, and what accepted texts decode to.
#include <iostream>

#include <gtest/gtest.h>

#include "e2e_support.h"
#include "tool_runner.h"

namespace {

struct RefusalCase {
    std::string mac, count;
    const char* message;
    Bytes hint;  // on standard error
    // Set where an emulator cannot pass the argument's bytes unchanged.
    const char* native_only = nullptr;
};

TEST(Arguments, RefusalsStopBeforeAnyFileIsTouched) {
    const auto length = [](std::size_t n) {
        return formatted(text::hint_mac_length, n, text::mac_expected);
    };
    const auto sep = [](std::size_t k, const char* c) {
        return formatted(text::hint_mac_separator, k, c, text::mac_expected);
    };
    const auto digit = [](std::size_t k, const char* c) {
        return formatted(text::hint_mac_character, k, c, text::mac_expected);
    };
    const auto count = [](const char* c) { return formatted(text::hint_count, c); };
    const RefusalCase cases[] = {
        {"11-22-33-44-55-66-", "500", text::mac_bad_length, length(18)},
        {"--------------------", "500", text::mac_bad_length, length(20)},
        {"", "500", text::mac_bad_length, length(0)},
        {"11:22:33:44:55:66", "500", text::mac_bad_separator, sep(3, ":")},
        {"11-22-33-44-55-6G", "500", text::mac_bad_character, digit(17, "G")},
        {"11-22-33-44-55-6\xC1", "500", text::mac_bad_character, digit(17, "\\xC1"),
         "the emulator recodes a non-ASCII argument byte from the host's locale"},
        {"11-22-33-44-55-6\x7F", "0", text::mac_bad_character, digit(17, "\\x7F")},  // MAC first
        {"11:22:33:44:55:66", "x", text::mac_bad_separator, sep(3, ":")},
        {"11-22-33-44-55-66", "0", text::count_bad, count("0")},
        {"11-22-33-44-55-66", "00", text::count_bad, count("00")},
        {"11-22-33-44-55-66", "x", text::count_bad, count("x")},
        {"11-22-33-44-55-66", "", text::count_bad, count("")},
        {"11-22-33-44-55-66", "100000000", text::count_bad, count("100000000")},
        {"11-22-33-44-55-66", "-10000000", text::count_bad, count("-10000000")},
        {"11-22-33-44-55-66", "99999999999999999999", text::count_bad,
         count("99999999999999999999")},
    };
    for (const auto& c : cases) {
        if (launched() && c.native_only != nullptr) {
            // The log stays text: the row's byte above 0x7F is not printed.
            skip_case("with a MAC text of " + std::to_string(c.mac.size()) + " bytes",
                      c.native_only);
            continue;
        }
        TempDir dir;
        const Images images{"off", "ram", pattern_bytes(600, 1)};
        put_images(dir, images);
        const RunResult r = run_tool(dir.path(), {c.mac, c.count});
        const std::string label = "'" + c.mac + "' '" + c.count + "'";
        EXPECT_EQ(r.status, 254) << label;
        EXPECT_TRUE(same_bytes(console(echo_transcript({c.mac, c.count}) + c.message), r.out))
            << label;
        EXPECT_EQ(r.err, console(c.hint)) << label;
        EXPECT_TRUE(same_listing({{"offline.bin", images.offline},
                                  {"ramboot.bin", images.ramboot},
                                  {"download.bin", images.download}},
                                 dir.listing()))
            << label;
    }
}

struct AcceptedCase {
    std::string mac, count;
    int burn_times;       // as echoed and in the merged image's name
    Bytes decoded;        // the echo of the six bytes, byte for byte
    Bytes warnings = "";  // on standard error
};

TEST(Arguments, AcceptedTextsAreDecodedAsWritten) {
    const auto group = [](std::size_t k, const char* text, int value) {
        return formatted(text::warn_mac_group, k, text, value);
    };
    const auto multicast = [](const char* base) {
        return formatted(text::warn_mac_multicast, base);
    };
    const AcceptedCase cases[] = {
        {"11-22-33-AA-bb-Cc", "500", 500, "0X11 0X22 0X33 0XAA 0XBB 0XCC \n",
         multicast("11-22-33-AA-BB-CC")},
        {"01-AB-00-10-FF-7C", "1", 1, "0X1 0XAB 0 0X10 0XFF 0X7C \n",
         multicast("01-AB-00-10-FF-7C")},
        {"1 -22-33-44-55-66", "99999999", 99999999, "0X1 0X22 0X33 0X44 0X55 0X66 \n",
         multicast("01-22-33-44-55-66") + group(1, "1 ", 1)},
        {"-----------------", "-9999999", -9999999, "0 0 0 0 0 0 \n",
         formatted(text::warn_mac_zero, "00-00-00-00-00-00") + group(1, "--", 0) +
             group(2, "--", 0) + group(3, "--", 0) + group(4, "--", 0) + group(5, "--", 0) +
             group(6, "--", 0)},
        {"0A- A-A -  -ff-FF", "  12abc", 12, "0XA 0XA 0XA 0 0XFF 0XFF \n",
         group(2, " A", 10) + group(3, "A ", 10) + group(4, "  ", 0) +
             formatted(text::warn_count, "  12abc", 12, "'  ', 'abc'")},
        {"aa-bb-cc-dd-ee-ff", "-1", -1, "0XAA 0XBB 0XCC 0XDD 0XEE 0XFF \n"},
        {"FF-FF-FF-FF-FF-FF", "1e3", 1, "0XFF 0XFF 0XFF 0XFF 0XFF 0XFF \n",
         formatted(text::warn_mac_broadcast, "FF-FF-FF-FF-FF-FF") +
             formatted(text::warn_count, "1e3", 1, "'e3'")},
        {"02-11-22-33-44-55", "+5", 5, "0X2 0X11 0X22 0X33 0X44 0X55 \n",
         formatted(text::warn_count, "+5", 5, "'+'")},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const Bytes download = pattern_bytes(300, 2);
        put_images(dir, {"", "", download});
        const RunResult r = run_tool(dir.path(), {c.mac, c.count});
        EXPECT_EQ(r.status, 0) << c.mac;
        const Bytes head = echo_transcript({c.mac, c.count}) +
                           arguments_transcript(c.mac, c.burn_times, c.decoded) +
                           loading_transcript(download);
        EXPECT_TRUE(same_bytes(console(head), r.out.substr(0, console(head).size()))) << c.mac;
        EXPECT_EQ(r.err, console(c.warnings)) << c.mac;
        EXPECT_EQ(
            dir.listing().count(merged_name(c.mac, reference_checksum(download), c.burn_times)), 1u)
            << c.mac;
    }
}

}  // namespace
