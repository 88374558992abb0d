// Every console text against its bytes. The GBK bytes were taken from an
// independent encoder (iconv -t GBK), not from the source.
#include <sstream>

#include <gtest/gtest.h>

#include "console_texts.h"
#include "test_support.h"

namespace {

Bytes from_hex(const char* hex) {
    Bytes out;
    std::istringstream in(hex);
    for (unsigned byte; in >> std::hex >> byte;) out += static_cast<char>(byte);
    return out;
}

struct TextCase {
    const char* name;
    const char* text;
    const char* hex;
};

const TextCase text_cases[] = {
    {"arg_count", text::arg_count, "D7 DC D3 D0 25 64 B8 F6 C3 FC C1 EE D0 D0 B2 CE CA FD 0A"},
    {"need_mac_and_count", text::need_mac_and_count,
     "c3 fc c1 ee b2 ce ca fd d6 d0 c7 eb bc d3 c9 cf 4d 41 43 bb f9 b5 d8 d6 b7 bc"
     " b0 cf de d6 c6 c9 d5 c2 bc b5 c4 b4 ce ca fd a3 a1 0a"},
    {"need_count", text::need_count,
     "c3 fc c1 ee b2 ce ca fd d6 d0 c7 eb bc d3 c9 cf cf de d6 c6 c9 d5 c2 bc b5 c4"
     " b4 ce ca fd a3 a1 0a"},
    {"echo_program", text::echo_program,
     "bf c9 20 d6 b4 20 d0 d0 ce c4 20 bc fe 20 c3 fb 3a 25 73 0a"},
    {"echo_first", text::echo_first, "b5 da d2 bb b8 f6 c3 fc c1 ee d0 d0 b2 ce ca fd 3a 25 73 0a"},
    {"echo_second", text::echo_second,
     "b5 da b6 fe b8 f6 c3 fc c1 ee d0 d0 b2 ce ca fd 3a 25 73 0a"},
    {"mac_bad_length", text::mac_bad_length, "4d 41 43 d0 f2 ba c5 b8 f1 ca bd b2 bb b6 d4 21 0a"},
    {"mac_bad_separator", text::mac_bad_separator,
     "4d 41 43 d0 f2 ba c5 b8 f1 ca bd b2 bb b6 d4 21 21 0a"},
    {"mac_bad_character", text::mac_bad_character,
     "4d 41 43 d0 f2 ba c5 b8 f1 ca bd b2 bb b6 d4 21 21 21 0a"},
    {"count_bad", text::count_bad,
     "cf de d6 c6 c9 d5 c2 bc b4 ce ca fd b8 f1 ca bd b2 bb b6 d4 0a"},
    {"echo_count", text::echo_count,
     "cf de d6 c6 c9 d5 c2 bc b4 ce ca fd 62 75 72 6e 5f 74 69 6d 65 73 3d 25 64 0a"},
    {"short_write", text::short_write,
     "66 77 72 69 74 65 20 66 69 6c 65 20 65 72 72 6f 72 a3 a1 0a"},
    // The ASCII texts, as the scripts match them.
    {"echo_mac", text::echo_mac, "6d 61 63 3a 25 73 0a"},
    {"echo_mac_byte", text::echo_mac_byte, "25 23 58 20"},
    {"file_size", text::file_size,
     "53 69 7a 65 20 6f 66 20 66 69 6c 65 3a 20 25 6c 64 20 62 79 74 65 73 2e 0a 0a"},
    {"page_progress", text::page_progress, "0a 63 72 63 3a 25 64 3a 25 78 0a"},
    {"cannot_open", text::cannot_open,
     "0a 43 61 6e 20 6e 6f 74 20 6f 70 65 6e 20 74 68 65 20 70 61 74 68 3a 20 25 73 20 0a"},
    {"stamp_done", text::stamp_done,
     "75 70 64 61 74 61 20 6d 61 63 20 73 75 63 63 65 73 73 20 21 0a"},
};

TEST(ConsoleTexts, EachTextHasItsExactBytes) {
    for (const auto& c : text_cases) {
        EXPECT_TRUE(same_bytes(from_hex(c.hex), c.text)) << c.name;
    }
}

}  // namespace
