// Fuzz target: the argument checks and decoding against a small reading of
// the rules written here independently.
//
// Input: one byte k, then the MAC text (the next k % 32 bytes), then the count
// text (the rest). Both are made zero-terminated.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "mac_text.h"

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

// The MAC rules: 17 bytes; '-' at every third position; only hex digits,
// space and '-'. Which rule a text breaks first.
MacFault expected_fault(const std::string& t) {
    if (t.size() != 17) return MacFault::length;
    for (std::size_t i = 2; i < 17; i += 3) {
        if (t[i] != '-') return MacFault::separator;
    }
    for (char c : t) {
        if (std::strchr("0123456789abcdefABCDEF -", c) == nullptr || c == '\0') {
            return MacFault::character;
        }
    }
    return MacFault::none;
}

// A group's value: its hex digits in order, anything else skipped.
std::uint8_t expected_group(char a, char b) {
    std::string digits;
    for (char c : {a, b}) {
        if (std::isxdigit(static_cast<unsigned char>(c))) digits += c;
    }
    return digits.empty() ? 0
                          : static_cast<std::uint8_t>(std::strtoul(digits.c_str(), nullptr, 16));
}

// The count: atoi's reading with the digits capped, accepted inside the
// window that fits the name.
bool expected_count(const std::string& t, std::int64_t& value) {
    std::size_t i = t.find_first_not_of(" \t\n\v\f\r");
    if (i == std::string::npos) return false;
    bool negative = false;
    if (t[i] == '+' || t[i] == '-') negative = t[i++] == '-';
    const std::size_t end = t.find_first_not_of("0123456789", i);
    std::string digits = t.substr(i, end == std::string::npos ? std::string::npos : end - i);
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
    if (digits.empty() || digits.size() > 9) return false;
    value = std::stoll(digits) * (negative ? -1 : 1);
    return (value >= 1 && value <= 99999999) || (value >= -9999999 && value <= -1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t mac_length = std::min<std::size_t>(data[0] % 32, size - 1);
    std::string mac(reinterpret_cast<const char*>(data + 1), mac_length);
    std::string count(reinterpret_cast<const char*>(data + 1 + mac_length), size - 1 - mac_length);
    // The tool sees C strings: a text ends at its first zero byte.
    mac = mac.c_str();
    count = count.c_str();

    const MacFault fault = mac_text_fault(mac.c_str());
    if (fault != expected_fault(mac)) fail("MAC fault");
    if (fault == MacFault::none) {
        std::uint8_t bytes[6];
        str_to_hex(reinterpret_cast<const unsigned char*>(mac.c_str()), bytes);
        for (std::size_t k = 0; k < 6; ++k) {
            if (bytes[k] != expected_group(mac[3 * k], mac[3 * k + 1])) fail("MAC byte");
        }
    }
    std::uint32_t burn_times = 0xDEADBEEF;
    std::int64_t value = 0;
    const bool accepted = parse_count(count.c_str(), burn_times);
    if (accepted != expected_count(count, value)) fail("count accepted");
    if (accepted && burn_times != static_cast<std::uint32_t>(static_cast<std::int32_t>(value))) {
        fail("count value");
    }
    return 0;
}
