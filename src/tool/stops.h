// Every way the tool stops short of its end: the message on standard output
// and the exit status, one row each. Every stop shows its message, then
// waits for Enter (at the end of standard input it goes on at once).
#ifndef TOLP_STOPS_H
#define TOLP_STOPS_H

#include <iterator>

#include "console_texts.h"

enum class Stop {
    no_arguments,   // neither the MAC text nor the count
    no_count,       // the MAC text only
    mac_length,     // the MAC text is not 17 bytes long
    mac_separator,  // a separator is not '-'
    mac_character,  // a character other than a hex digit, space or '-'
    count_refused,  // the count is 0 or out of range
    cannot_open,    // (path) a file missing, not usable, or not replaceable
    cannot_read,    // (path) a read failed, or the length changed meanwhile
    too_large,      // (path, size, room) an image larger than its room
    short_write,    // a file not written in full, or not holding the stamp
    cannot_flush,   // (path) a written file not flushed
    no_memory,      // no memory for the merged image
};

struct StopRow {
    const char* message;  // a printf format of the values the stop names
    Stop stop;
    int status;
};

inline constexpr StopRow stop_rows[] = {
    {text::need_mac_and_count, Stop::no_arguments, -1},
    {text::need_count, Stop::no_count, -1},
    {text::mac_bad_length, Stop::mac_length, -2},
    {text::mac_bad_separator, Stop::mac_separator, -2},
    {text::mac_bad_character, Stop::mac_character, -2},
    {text::count_bad, Stop::count_refused, -2},
    {text::cannot_open, Stop::cannot_open, -1},
    {text::cannot_read, Stop::cannot_read, -1},
    {text::too_large, Stop::too_large, -1},
    {text::short_write, Stop::short_write, 1},
    {text::cannot_flush, Stop::cannot_flush, 1},
    {text::merge_no_memory, Stop::no_memory, -3},
};

// The rows stand in the order of Stop, so that a stop is its row's index.
inline constexpr bool rows_in_order() {
    for (int k = 0; k < static_cast<int>(std::size(stop_rows)); ++k) {
        if (static_cast<int>(stop_rows[k].stop) != k) return false;
    }
    return true;
}
static_assert(rows_in_order());

inline constexpr const StopRow& row_of(Stop stop) {
    return stop_rows[static_cast<int>(stop)];
}

#endif
