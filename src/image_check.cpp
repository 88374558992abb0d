#include "image_check.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "arg_check.h"
#include "header_stamp.h"
#include "page_checksum.h"

namespace {

// What the file name says, when it has the tool's form.
struct NameFields {
    bool has_form = false;
    std::string mac_text;
    std::uint32_t checksum = 0;
    std::uint32_t count = 0;
};

bool all_of_class(const std::string& s, const char* allowed) {
    return !s.empty() && s.find_first_not_of(allowed) == std::string::npos;
}

// "<17-character MAC>_<8 upper-case hex digits>_<count>.bin"
NameFields parse_name(const std::string& name) {
    NameFields f;
    const std::size_t fixed = mac_text_length + 1 + 8 + 1;
    if (name.size() < fixed + 1 + 4 || name.compare(name.size() - 4, 4, ".bin") != 0) return f;
    if (name[mac_text_length] != '_' || name[fixed - 1] != '_') return f;
    const std::string hex = name.substr(mac_text_length + 1, 8);
    std::string count = name.substr(fixed, name.size() - 4 - fixed);
    const std::string digits = count[0] == '-' ? count.substr(1) : count;
    if (!all_of_class(hex, "0123456789ABCDEF") || !all_of_class(digits, "0123456789") ||
        !parse_count(count.c_str(), f.count)) {
        return f;
    }
    f.has_form = true;
    f.mac_text = name.substr(0, mac_text_length);
    f.checksum = static_cast<std::uint32_t>(std::stoul(hex, nullptr, 16));
    return f;
}

class Report {
public:
    template <typename... Values>
    void line(const char* format, Values... values) {
        char buf[256];
        std::snprintf(buf, sizeof buf, format, values...);
        r_.text += "  ";
        r_.text += buf;
        r_.text += "\n";
    }
    // A check: what was compared, then OK or FAIL.
    void check(const char* what, bool ok, const std::string& detail) {
        r_.failed = r_.failed || !ok;
        line("%s: %s: %s", what, detail.c_str(), ok ? "OK" : "FAIL");
    }
    CheckReport& result() { return r_; }

private:
    CheckReport r_;
};

std::string printed(const char* format, std::uint32_t a, std::uint32_t b) {
    char buf[128];
    std::snprintf(buf, sizeof buf, format, a, b);
    return buf;
}

std::string mac_string(const std::uint8_t* mac) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02X %02X %02X %02X %02X %02X", mac[0], mac[1], mac[2], mac[3],
                  mac[4], mac[5]);
    return buf;
}

// A field is checked only when it lies wholly inside the download image as
// the file holds it (`download_present` bytes from 0xD000).
bool field_present(Report& report, const char* what, std::size_t offset, std::size_t width,
                   std::size_t download_present) {
    if (offset + width <= download_present) return true;
    report.line("%s: absent (the download image ends at byte %zu of the header page)", what,
                download_present);
    return false;
}

void check_name(Report& report, const NameFields& name, const std::uint8_t* header,
                std::size_t download_present) {
    if (!name.has_form) {
        report.line("%s", "name: not in the tool's form, not compared");
        return;
    }
    if (field_present(report, "name MAC", mac_offset, mac_size, download_present)) {
        std::uint8_t decoded[mac_size] = {};
        const bool decodes = mac_text_fault(name.mac_text.c_str()) == MacFault::none;
        if (decodes)
            str_to_hex(reinterpret_cast<const unsigned char*>(name.mac_text.c_str()), decoded);
        report.check("name MAC",
                     decodes && std::memcmp(decoded, header + mac_offset, mac_size) == 0,
                     !decodes ? "'" + name.mac_text + "' is not a valid MAC text"
                              : "name says " + mac_string(decoded) + ", stamped " +
                                    mac_string(header + mac_offset));
    }
    if (field_present(report, "name checksum", checksum_offset, 4, download_present)) {
        const std::uint32_t stamped = read_little_endian32(header + checksum_offset);
        report.check("name checksum", name.checksum == stamped,
                     printed("name says %08X, stamped %08X", name.checksum, stamped));
    }
    if (field_present(report, "name count", count_offset, 4, download_present)) {
        const std::uint32_t stamped = read_little_endian32(header + count_offset);
        report.check("name count", name.count == stamped,
                     printed("name says %d, stamped %d", name.count, stamped));
    }
}

void check_fields(Report& report, const std::uint8_t* header, std::size_t download_present) {
    if (field_present(report, "checksum", checksum_offset, 4, download_present)) {
        const std::uint32_t stamped = read_little_endian32(header + checksum_offset);
        const std::uint32_t computed =
            walk_pages(header, static_cast<std::uint32_t>(download_present)).crc123;
        report.check("checksum", stamped == computed,
                     printed("stamped %08X, computed %08X", stamped, computed));
    }
    if (field_present(report, "count", count_offset, 4, download_present)) {
        report.line("count: %d", static_cast<int>(static_cast<std::int32_t>(
                                     read_little_endian32(header + count_offset))));
    }
    if (field_present(report, "MAC", mac_offset, mac_size, download_present)) {
        report.line("MAC: %s", mac_string(header + mac_offset).c_str());
    }
    if (field_present(report, "MAC sum", mac_sum_offset, 2, download_present)) {
        const unsigned sum = mac_sum(header + mac_offset);
        const unsigned stamped = header[mac_sum_offset] | header[mac_sum_offset + 1] << 8;
        report.check("MAC sum", sum == stamped,
                     printed("stamped %u, the MAC bytes add up to %u", stamped, sum));
    }
}

}  // namespace

CheckReport check_merged_image(const std::uint8_t* image, std::size_t size,
                               const std::string& file_name) {
    Report report;
    if (size < smallest_checkable_image) {
        report.line("file size: %zu bytes", size);
        report.line("too short: a merged image holds at least %zu bytes", smallest_checkable_image);
        report.result().too_short = true;
        return report.result();
    }
    const std::uint8_t* header = image + download_offset;
    const std::uint32_t length = read_big_endian32(header + length_offset);
    report.line("download image length: %u bytes", length);
    char sizes[128];
    std::snprintf(sizes, sizeof sizes, "file %zu bytes, expected 0xD000 + %u = %zu", size, length,
                  download_offset + length);
    report.check("size", size == download_offset + length, sizes);
    // Only what the file holds of the download image takes part.
    const std::size_t present = std::min<std::size_t>(length, size - download_offset);
    check_fields(report, header, present);
    check_name(report, parse_name(file_name), header, present);
    return report.result();
}
