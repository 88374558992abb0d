// Consistency checks of a merged image, as the tool makes them: its size
// against the stamped length, the stamped checksum against the payload, the
// MAC sum against the MAC bytes, the file name against the stamped fields
// and, given the images it was made from (the download image the original
// or the stamped one: its stamped fields are not compared), every byte
// against the layout those images make.
#ifndef TOLP_IMAGE_CHECK_H
#define TOLP_IMAGE_CHECK_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "header_fields.h"
#include "image_format.h"
#include "merged_layout.h"
#include "merged_name.h"

// One line of the report: a comparison and its outcome, one that could not
// be made, or a note of what the image holds. A failure that has a place
// names the first differing offset in the merged image and the bytes
// around it.
enum class Kind { check, not_compared, note };
struct Check {
    std::string name;
    Kind kind = Kind::check;
    std::string detail;  // what was compared, in words
    bool ok = true;      // a check's outcome
    bool has_offset = false;
    std::size_t offset = 0;
    std::string expected{}, found{};  // a few bytes around `offset`, in hex
};

// An offline or RAM boot image longer than its room, and which of its
// bytes (offsets in the source) the merged image lacks: a later image
// covers them, as the tool lays them out.
struct Overrun {
    const char* source;  // "offline.bin" or "ramboot.bin"
    std::size_t size, room;
    CoveredBytes lacked;
};

struct CheckReport {
    std::vector<Check> checks;  // every line, in the report's order
    HeaderFields fields;        // as stamped in the image
    FieldsHeld held{};          // which of them the image holds whole
    std::uint32_t checksum_computed = 0;
    NameFields name;
    std::vector<Overrun> overruns;  // with sources only
    bool failed = false;            // some check found a difference
    bool too_short = false;         // not even the length field is there
};

// The length of the well-formed UTF-8 sequence at `at` (1 to 4 bytes), or
// 0 where the bytes there are not one.
std::size_t utf8_sequence_length(const std::string& text, std::size_t at);

// Whether a C1 control character (U+0080 to U+009F) in UTF-8 starts at
// `at`, and the code point of the one- or two-byte character there.
bool is_c1_control(const std::string& text, std::size_t at);
unsigned code_point_of(const std::string& text, std::size_t at);

// `text` for a report line: each control character written as an escape
// (\n, \t, \xNN, C1 ones as \uNNNN), so that a file name cannot make a line of its own.
std::string printable(const std::string& text);

// Checks the merged image `image` (`size` bytes) whose file name (without
// its folder) is `file_name`; with `sources`, every byte against the image
// they make.
CheckReport check_merged_image(const std::uint8_t* image, std::size_t size,
                               const std::string& file_name, const Inputs* sources = nullptr);

#endif
