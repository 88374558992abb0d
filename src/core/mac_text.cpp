#include "mac_text.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <iterator>

#include "image_format.h"

namespace {

constexpr std::size_t separator_positions[] = {2, 5, 8, 11, 14};

// isxdigit is the same 22 characters in every locale.
bool is_mac_character(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) || c == ' ' || c == '-';
}

// Value of a hex digit, or -1 for anything else.
int hex_value(unsigned char c) {
    if (!std::isxdigit(c)) return -1;
    return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}

bool is_c_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

namespace {

MacFault first_fault(const char* p, std::size_t& at) {
    at = std::strlen(p);
    if (at != mac_text_length) return MacFault::length;
    for (const std::size_t k : separator_positions) {
        at = k;
        if (p[k] != '-') return MacFault::separator;
    }
    at = static_cast<std::size_t>(std::find_if_not(p, p + mac_text_length, is_mac_character) - p);
    return at < mac_text_length ? MacFault::character : MacFault::none;
}

}  // namespace

MacFault mac_text_fault(const char* p, std::size_t* at) {
    std::size_t where = 0;
    const MacFault fault = first_fault(p, where);
    if (at != nullptr) *at = where;
    return fault;
}

void str_to_hex(const unsigned char* p, unsigned char* q) {
    for (std::size_t k = 0; k < mac_size; ++k) {
        unsigned char value = 0;
        for (std::size_t j = 0; j < 2; ++j) {
            const int digit = hex_value(p[3 * k + j]);
            if (digit >= 0) value = static_cast<unsigned char>(value * 16 + digit);
        }
        q[k] = value;
    }
}

CountSpan count_span(const char* text) {
    CountSpan span;
    while (is_c_space(text[span.from])) ++span.from;
    if (text[span.from] == '+') ++span.from;
    span.to = span.from + (text[span.from] == '-' ? 1 : 0);
    while (text[span.to] >= '0' && text[span.to] <= '9') ++span.to;
    return span;
}

bool parse_count(const char* text, std::uint32_t& burn_times) {
    constexpr long long largest = 99999999, most_negative = -9999999;
    while (is_c_space(*text)) ++text;
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    long long value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + (*text - '0');
        if (value > largest) return false;  // past the window; stop before overflow
    }
    if (negative) value = -value;
    if (value == 0 || value < most_negative) return false;
    burn_times = static_cast<std::uint32_t>(static_cast<std::int32_t>(value));
    return true;
}

std::string format_mac(const std::uint8_t* mac, char separator) {
    constexpr char digits[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t k = 0; k < mac_size; ++k) {
        if (k > 0) out += separator;
        out += digits[mac[k] >> 4];
        out += digits[mac[k] & 0x0F];
    }
    return out;
}
