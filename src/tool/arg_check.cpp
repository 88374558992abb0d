#include "arg_check.h"

#include "console_texts.h"
#include "mac_text.h"
#include "messages.h"

namespace {

// The three MAC refusals differ only in their number of '!'.
void say_mac_fault(MacFault fault) {
    switch (fault) {
        case MacFault::length: say(text::mac_bad_length); break;
        case MacFault::separator: say(text::mac_bad_separator); break;
        default: say(text::mac_bad_character); break;
    }
}

void echo_decoded(const RunContext& ctx) {
    say(text::echo_count, static_cast<int>(static_cast<std::int32_t>(ctx.burn_times)));
    say(text::echo_mac, ctx.p);
    for (unsigned char byte : ctx.mac_buf) say(text::echo_mac_byte, byte);
    say(text::line_break);
}

}  // namespace

void check_arguments(RunContext& ctx) {
    const MacFault fault = mac_text_fault(ctx.p);
    if (fault != MacFault::none) {
        say_mac_fault(fault);
        stop(-2);
    }
    if (!parse_count(ctx.p_times, ctx.burn_times)) {
        say(text::count_bad);
        stop(-2);
    }
    str_to_hex(reinterpret_cast<const unsigned char*>(ctx.p), ctx.mac_buf);
    echo_decoded(ctx);
}
