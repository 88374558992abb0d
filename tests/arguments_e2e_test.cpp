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
    // Set where an emulator cannot pass the argument's bytes unchanged.
    const char* native_only = nullptr;
};

TEST(Arguments, RefusalsStopBeforeAnyFileIsTouched) {
    const RefusalCase cases[] = {
        {"11-22-33-44-55-66-", "500", text::mac_bad_length},
        {"--------------------", "500", text::mac_bad_length},
        {"", "500", text::mac_bad_length},
        {"11:22:33:44:55:66", "500", text::mac_bad_separator},
        {"11-22-33-44-55-6G", "500", text::mac_bad_character},
        {"11-22-33-44-55-6\xC1", "500", text::mac_bad_character,
         "the emulator recodes a non-ASCII argument byte from the host's locale"},
        {"11-22-33-44-55-6G", "0", text::mac_bad_character},  // MAC first
        {"11:22:33:44:55:66", "x", text::mac_bad_separator},
        {"11-22-33-44-55-66", "0", text::count_bad},
        {"11-22-33-44-55-66", "00", text::count_bad},
        {"11-22-33-44-55-66", "x", text::count_bad},
        {"11-22-33-44-55-66", "", text::count_bad},
        {"11-22-33-44-55-66", "100000000", text::count_bad},
        {"11-22-33-44-55-66", "-10000000", text::count_bad},
        {"11-22-33-44-55-66", "99999999999999999999", text::count_bad},
    };
    for (const auto& c : cases) {
        if (launched() && c.native_only != nullptr) {
            std::cout << "case '" << c.mac << "' skipped: " << c.native_only << "\n";
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
        EXPECT_TRUE(same_listing({{"offline.bin", images.offline},
                                  {"ramboot.bin", images.ramboot},
                                  {"download.bin", images.download}},
                                 dir.listing()))
            << label;
    }
}

struct AcceptedCase {
    std::string mac, count;
    Bytes echo;  // the decoded count and MAC lines, byte for byte
    std::string name_tail;
};

TEST(Arguments, AcceptedTextsAreDecodedAsWritten) {
    const AcceptedCase cases[] = {
        {"11-22-33-AA-bb-Cc", "500",
         "\xCF\xDE\xD6\xC6\xC9\xD5\xC2\xBC\xB4\xCE\xCA\xFD"
         "burn_times=500\nmac:11-22-33-AA-bb-Cc\n"
         "0X11 0X22 0X33 0XAA 0XBB 0XCC \n",
         "_500.bin"},
        {"01-AB-00-10-FF-7C", "1",
         "\xCF\xDE\xD6\xC6\xC9\xD5\xC2\xBC\xB4\xCE\xCA\xFD"
         "burn_times=1\nmac:01-AB-00-10-FF-7C\n"
         "0X1 0XAB 0 0X10 0XFF 0X7C \n",
         "_1.bin"},
        {"1 -22-33-44-55-66", "99999999",
         "\xCF\xDE\xD6\xC6\xC9\xD5\xC2\xBC\xB4\xCE\xCA\xFD"
         "burn_times=99999999\nmac:1 -22-33-44-55-66\n"
         "0X1 0X22 0X33 0X44 0X55 0X66 \n",
         "_99999999.bin"},
        {"-----------------", "-9999999",
         "\xCF\xDE\xD6\xC6\xC9\xD5\xC2\xBC\xB4\xCE\xCA\xFD"
         "burn_times=-9999999\nmac:-----------------\n"
         "0 0 0 0 0 0 \n",
         "_-9999999.bin"},
        {"0A- A-A -  -ff-FF", "  12abc",
         "\xCF\xDE\xD6\xC6\xC9\xD5\xC2\xBC\xB4\xCE\xCA\xFD"
         "burn_times=12\nmac:0A- A-A -  -ff-FF\n"
         "0XA 0XA 0XA 0 0XFF 0XFF \n",
         "_12.bin"},
        {"aa-bb-cc-dd-ee-ff", "-1",
         "\xCF\xDE\xD6\xC6\xC9\xD5\xC2\xBC\xB4\xCE\xCA\xFD"
         "burn_times=-1\nmac:aa-bb-cc-dd-ee-ff\n"
         "0XAA 0XBB 0XCC 0XDD 0XEE 0XFF \n",
         "_-1.bin"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const Bytes download = pattern_bytes(300, 2);
        put_images(dir, {"", "", download});
        const RunResult r = run_tool(dir.path(), {c.mac, c.count});
        EXPECT_EQ(r.status, 0) << c.mac;
        const Bytes head =
            echo_transcript({c.mac, c.count}) + c.echo + loading_transcript(download);
        EXPECT_TRUE(same_bytes(console(head), r.out.substr(0, console(head).size()))) << c.mac;
        const std::string name = c.mac + fmt("_%08X", reference_checksum(download)) + c.name_tail;
        EXPECT_EQ(dir.listing().count(name), 1u) << name;
    }
}

}  // namespace
