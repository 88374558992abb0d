// The merged image's file name: "<MAC text>_<checksum>_<count>.bin".
#ifndef TOLP_MERGED_NAME_H
#define TOLP_MERGED_NAME_H

#include <cstdint>
#include <string>

#include "image_format.h"

// "<MAC text>_<checksum as %08X>_<count as %d>.bin" into `name`
// (file_name_size bytes). Every count the argument checks accept fits; a
// longer one is cut short, never written past the name.
void compose_file_name(char* name, const char* p, std::uint32_t file_sumcheck,
                       std::uint32_t burn_times);

// The first part of a name that is not as the tool writes it.
enum class NamePart {
    none,
    length,        // too short for the form
    suffix,        // does not end in ".bin"
    mac_end,       // no '_' after the 17-character MAC text
    checksum_end,  // no '_' after the 8-character checksum
    checksum,      // not 8 upper-case hex digits
    count,         // not a count as %d prints it
};

// What a file name says, when it has that form.
struct NameFields {
    NamePart differs = NamePart::none;
    std::string differing_text;  // the checksum's or the count's text, when it differs
    // "<17 characters>_<8 characters>_<count>.bin": a name made by the tool,
    // or one of its names changed by hand.
    bool has_shape = false;
    // And the checksum and count exactly as the tool writes them.
    bool has_form = false;
    std::string mac_text;             // the 17 characters before the first '_', as they are
    bool mac_valid = false;           // the MAC text passes the tool's checks
    std::uint8_t mac[mac_size] = {};  // and decodes to these bytes
    std::uint32_t checksum = 0;
    std::uint32_t count = 0;
};
NameFields parse_merged_name(const std::string& name);

#endif
