#include "arg_check.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "console_texts.h"
#include "mac_text.h"
#include "messages.h"

namespace {

// A character as a hint shows it: itself when printable ASCII, else its
// byte as \xNN, which reads the same in any encoding.
std::string shown(char c) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F) return std::string(1, c);
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
    return escaped;
}

// The three MAC refusals differ only in their number of '!'; the hint
// after each says where the text went wrong (positions from 1).
[[noreturn]] void refuse_mac(MacFault fault, const char* p, std::size_t at) {
    if (fault == MacFault::length) {
        refuse(Stop::mac_length, formatted(text::hint_mac_length, at, text::mac_expected));
    }
    const std::string found = shown(p[at]);
    if (fault == MacFault::separator) {
        refuse(Stop::mac_separator,
               formatted(text::hint_mac_separator, at + 1, found.c_str(), text::mac_expected));
    }
    refuse(Stop::mac_character,
           formatted(text::hint_mac_character, at + 1, found.c_str(), text::mac_expected));
}

void echo_decoded(const RunContext& ctx) {
    say(text::echo_count, static_cast<int>(static_cast<std::int32_t>(ctx.burn_times)));
    say(text::echo_mac, ctx.p);
    for (unsigned char byte : ctx.mac_buf) say(text::echo_mac_byte, byte);
    say(text::line_break);
}

// A base that no device may own.
void warn_about_mac_base(const std::uint8_t* mac) {
    const auto all = [mac](std::uint8_t v) {
        return std::all_of(mac, mac + mac_size, [v](std::uint8_t b) { return b == v; });
    };
    const bool zero = all(0x00), broadcast = all(0xFF), multicast = (mac[0] & 0x01) != 0;
    if (!zero && !multicast) return;
    say_error(zero        ? text::warn_mac_zero
              : broadcast ? text::warn_mac_broadcast
                          : text::warn_mac_multicast,
              format_mac(mac, '-').c_str());
}

// A group with a space or '-' in it reads as less than two digits.
void warn_about_mac_groups(const char* p, const std::uint8_t* mac) {
    for (std::size_t k = 0; k < mac_size; ++k) {
        const char* group = p + 3 * k;
        if (std::strchr(" -", group[0]) != nullptr || std::strchr(" -", group[1]) != nullptr) {
            say_error(text::warn_mac_group, k + 1, group, mac[k]);
        }
    }
}

// A count text that is not a plain decimal number: what was not read.
void warn_about_count(const char* p_times, std::uint32_t burn_times) {
    const CountSpan span = count_span(p_times);
    const std::size_t length = std::strlen(p_times);
    if (span.from == 0 && span.to == length) return;
    std::string ignored;
    if (span.from > 0) ignored = "'" + std::string(p_times, span.from) + "'";
    if (span.to < length)
        ignored += (ignored.empty() ? "'" : ", '") + std::string(p_times + span.to) + "'";
    say_error(text::warn_count, p_times, static_cast<int>(static_cast<std::int32_t>(burn_times)),
              ignored.c_str());
}

}  // namespace

void check_arguments(RunContext& ctx) {
    std::size_t at = 0;
    const MacFault fault = mac_text_fault(ctx.p, &at);
    if (fault != MacFault::none) refuse_mac(fault, ctx.p, at);
    if (!parse_count(ctx.p_times, ctx.burn_times)) {
        refuse(Stop::count_refused, formatted(text::hint_count, ctx.p_times));
    }
    str_to_hex(reinterpret_cast<const unsigned char*>(ctx.p), ctx.mac_buf);
    echo_decoded(ctx);
    warn_about_mac_base(ctx.mac_buf);
    warn_about_mac_groups(ctx.p, ctx.mac_buf);
    warn_about_count(ctx.p_times, ctx.burn_times);
}
