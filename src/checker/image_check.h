// Consistency checks of a merged image, as the tool makes them: its size
// against the stamped length, the stamped checksum against the payload, the
// MAC sum against the MAC bytes, the file name against the stamped fields
// and, given the images it was made from, every byte against the layout
// those images make.
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

// One comparison and its outcome. A failure that has a place names the
// first differing offset in the merged image and the bytes around it.
struct Check {
    std::string name;
    bool compared = true;  // false: this check could not be made (ok says nothing)
    bool ok = true;
    std::string detail;  // what was compared, in words
    bool has_offset = false;
    std::size_t offset = 0;
    std::string expected, found;  // a few bytes around `offset`, in hex
};

struct CheckReport {
    std::string text;  // the report lines, each ending in "\n"
    std::vector<Check> checks;
    HeaderFields fields;  // as stamped in the image
    FieldsHeld held{};    // which of them the image holds whole
    std::uint32_t checksum_computed = 0;
    NameFields name;
    bool failed = false;     // some check found a difference
    bool too_short = false;  // not even the length field is there
};

// The images a merged image was made from. The download image may be the
// original or the stamped one: its stamped fields are not compared.
struct Sources {
    ImageBytes offline, ramboot, download;
};

// `text` for a report line: each control character written as an escape
// (\n, \t, \xNN), so that a file name cannot make a line of its own.
std::string printable(const std::string& text);

// Checks the merged image `image` (`size` bytes) whose file name (without
// its folder) is `file_name`; with `sources`, every byte against the image
// they make.
CheckReport check_merged_image(const std::uint8_t* image, std::size_t size,
                               const std::string& file_name, const Sources* sources = nullptr);

#endif
