// The MAC text and the programming-count text as the operator types them:
// their checks, their decoding, and the one way a MAC is written out.
#ifndef TOLP_MAC_TEXT_H
#define TOLP_MAC_TEXT_H

#include <cstddef>
#include <cstdint>
#include <string>

inline constexpr std::size_t mac_text_length = 17;

// Why a MAC text is refused, in the order the checks run.
enum class MacFault {
    none,
    length,     // not exactly 17 bytes
    separator,  // position 2, 5, 8, 11 or 14 is not '-'
    character,  // a character other than a hex digit, space or '-'
};

// The first failing check; `at`, when given, gets the position (from 0)
// of the character that failed it (the length for a wrong length).
MacFault mac_text_fault(const char* p, std::size_t* at = nullptr);

// Decodes the six two-character groups of a checked MAC text into `q`. A
// space or '-' inside a group leaves the group's value unshifted, so "0A",
// " A" and "A " all give 0x0A.
void str_to_hex(const unsigned char* p, unsigned char* q);

// Reads the count as atoi reads it (leading white space, optional sign,
// digits up to the first other character) but without overflow. Accepts
// 1 to 99999999 and -9999999 to -1, the counts whose decimal form fits the
// 8 characters the output name has room for; stores the value bit for bit.
bool parse_count(const char* text, std::uint32_t& burn_times);

// Where the number of a count text stands: [from, to) holds its optional
// '-' and its digits; what is before (white space, a '+') and from `to` on
// is not read. A plain decimal number is the whole text.
struct CountSpan {
    std::size_t from = 0, to = 0;
};
CountSpan count_span(const char* text);

// The six bytes as upper-case hex pairs joined by `separator`:
// "11 22 33 44 55 66" or "11-22-33-44-55-66".
std::string format_mac(const std::uint8_t* mac, char separator);

#endif
