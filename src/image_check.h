// Consistency checks of a merged image, as the tool makes them: its size
// against the stamped length, the stamped checksum against the payload, the
// MAC sum against the MAC bytes, and the file name against the stamped
// fields.
#ifndef TOLP_IMAGE_CHECK_H
#define TOLP_IMAGE_CHECK_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "image_format.h"

struct CheckReport {
    std::string text;        // the report lines, each ending in "\n"
    bool failed = false;     // some check found a difference
    bool too_short = false;  // not even the length field is there
};

// Checks the merged image `image` (`size` bytes) whose file name (without
// its folder) is `file_name`.
CheckReport check_merged_image(const std::uint8_t* image, std::size_t size,
                               const std::string& file_name);

#endif
