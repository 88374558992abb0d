// The argument stage: checks the MAC text and the programming count, decodes
// them and echoes what was understood.
#ifndef TOLP_ARG_CHECK_H
#define TOLP_ARG_CHECK_H

#include <cstdint>

#include "run_context.h"

inline constexpr std::size_t mac_text_length = 17;

// Why a MAC text is refused, in the order the checks run.
enum class MacFault {
    none,
    length,     // not exactly 17 bytes
    separator,  // position 2, 5, 8, 11 or 14 is not '-'
    character,  // a character other than a hex digit, space or '-'
};

MacFault mac_text_fault(const char* p);

// Decodes the six two-character groups of a checked MAC text into `q`. A
// space or '-' inside a group leaves the group's value unshifted, so "0A",
// " A" and "A " all give 0x0A.
void str_to_hex(const unsigned char* p, unsigned char* q);

// Reads the count as atoi reads it (leading white space, optional sign,
// digits up to the first other character) but without overflow. Accepts
// 1 to 99999999 and -9999999 to -1, the counts whose decimal form fits the
// 8 characters the output name has room for; stores the value bit for bit.
bool parse_count(const char* text, std::uint32_t& burn_times);

// Checks p and p_times, fills burn_times and mac_buf and echoes them. On
// refusal prints the reason and stops with status -2.
void check_arguments(RunContext& ctx);

#endif
