#include "image_check.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "arg_check.h"
#include "header_stamp.h"
#include "page_checksum.h"

namespace {

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

std::string hex_of(const std::uint8_t* bytes, std::size_t n) {
    std::string out;
    char cell[4];
    for (std::size_t k = 0; k < n; ++k) {
        std::snprintf(cell, sizeof cell, k == 0 ? "%02X" : " %02X", bytes[k]);
        out += cell;
    }
    return out;
}

std::string hex_of_little_endian32(std::uint32_t v) {
    std::uint8_t b[field_width];
    put_little_endian32(b, v);
    return hex_of(b, field_width);
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
        Check c;
        c.name = what;
        c.ok = ok;
        c.detail = detail;
        r_.checks.push_back(c);
    }
    // A check of bytes at `offset` of the merged image.
    void check_at(const char* what, bool ok, const std::string& detail, std::size_t offset,
                  const std::string& expected, const std::string& found) {
        check(what, ok, detail);
        if (ok) return;
        line("  expected at 0x%05zX: %s", offset, expected.c_str());
        line("  found    at 0x%05zX: %s", offset, found.c_str());
        Check& c = r_.checks.back();
        c.has_offset = true;
        c.offset = offset;
        c.expected = expected;
        c.found = found;
    }
    // A check that could not be made.
    void not_compared(const char* what, const char* detail) {
        line("%s: not compared (%s)", what, detail);
        Check c;
        c.name = what;
        c.compared = false;
        c.detail = std::string("not compared (") + detail + ")";
        r_.checks.push_back(c);
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
        report.check_at("name MAC",
                        decodes && std::memcmp(decoded, header + mac_offset, mac_size) == 0,
                        !decodes ? "'" + printable(name.mac_text) + "' is not a valid MAC text"
                                 : "name says " + mac_string(decoded) + ", stamped " +
                                       mac_string(header + mac_offset),
                        download_offset + mac_offset, hex_of(decoded, mac_size),
                        hex_of(header + mac_offset, mac_size));
    }
    if (field_present(report, "name checksum", checksum_offset, 4, download_present)) {
        const std::uint32_t stamped = read_little_endian32(header + checksum_offset);
        report.check_at("name checksum", name.checksum == stamped,
                        printed("name says %08X, stamped %08X", name.checksum, stamped),
                        download_offset + checksum_offset, hex_of_little_endian32(name.checksum),
                        hex_of_little_endian32(stamped));
    }
    if (field_present(report, "name count", count_offset, 4, download_present)) {
        const std::uint32_t stamped = read_little_endian32(header + count_offset);
        report.check_at("name count", name.count == stamped,
                        printed("name says %d, stamped %d", name.count, stamped),
                        download_offset + count_offset, hex_of_little_endian32(name.count),
                        hex_of_little_endian32(stamped));
    }
}

void check_fields(Report& report, const std::uint8_t* header, std::size_t download_present) {
    DecodedFields& f = report.result().fields;
    if (field_present(report, "checksum", checksum_offset, field_width, download_present)) {
        f.has_checksum = true;
        f.checksum_stamped = read_little_endian32(header + checksum_offset);
        f.checksum_computed =
            walk_pages(header, static_cast<std::uint32_t>(download_present)).crc123;
        report.check_at(
            "checksum", f.checksum_stamped == f.checksum_computed,
            printed("stamped %08X, computed %08X", f.checksum_stamped, f.checksum_computed),
            download_offset + checksum_offset, hex_of_little_endian32(f.checksum_computed),
            hex_of_little_endian32(f.checksum_stamped));
    }
    if (field_present(report, "count", count_offset, field_width, download_present)) {
        f.has_count = true;
        f.count = read_little_endian32(header + count_offset);
        report.line("count: %d", static_cast<int>(static_cast<std::int32_t>(f.count)));
    }
    if (field_present(report, "MAC", mac_offset, mac_size, download_present)) {
        f.has_mac = true;
        std::memcpy(f.mac, header + mac_offset, mac_size);
        report.line("MAC: %s", mac_string(header + mac_offset).c_str());
    }
    if (field_present(report, "MAC sum", mac_sum_offset, mac_sum_width, download_present)) {
        f.has_mac_sum = true;
        const unsigned sum = mac_sum(header + mac_offset);
        f.mac_sum = header[mac_sum_offset] | header[mac_sum_offset + 1] << 8;
        const std::uint8_t want[2] = {static_cast<std::uint8_t>(sum),
                                      static_cast<std::uint8_t>(sum >> 8)};
        report.check_at("MAC sum", sum == f.mac_sum,
                        printed("stamped %u, the MAC bytes add up to %u", f.mac_sum, sum),
                        download_offset + mac_sum_offset, hex_of(want, 2),
                        hex_of(header + mac_sum_offset, 2));
    }
}

// The stamped header fields, as ranges of the download image.
constexpr struct {
    std::size_t from, to;
} stamped_ranges[] = {{length_offset, length_offset + field_width},
                      {checksum_offset, checksum_offset + field_width},
                      {count_offset, count_offset + field_width},
                      {mac_offset, mac_sum_offset + mac_sum_width}};

// The download image as the tool would have stamped the sources' one (which
// may be the original or the stamped image): with the count and MAC the
// name gives. A name not in the tool's form gives neither, so the image's
// own stamped bytes stand in (they are checked against each other above).
std::vector<std::uint8_t> expected_download(const std::uint8_t* image, std::size_t size,
                                            const NameFields& name, ImageBytes source) {
    std::vector<std::uint8_t> d(source.data, source.data + source.size);
    const auto bin_size = static_cast<std::uint32_t>(d.size());
    std::uint8_t mac[mac_size] = {};
    if (name.has_form && mac_text_fault(name.mac_text.c_str()) == MacFault::none) {
        str_to_hex(reinterpret_cast<const unsigned char*>(name.mac_text.c_str()), mac);
        d.resize(std::max<std::size_t>(d.size(), mac_sum_offset + mac_sum_width));
        stamp_header(d.data(), bin_size, walk_pages(d.data(), bin_size).crc123, name.count, mac);
        d.resize(bin_size);
        return d;
    }
    for (const auto& r : stamped_ranges) {
        for (std::size_t at = r.from; at < r.to && at < d.size(); ++at) {
            if (download_offset + at < size) d[at] = image[download_offset + at];
        }
    }
    return d;
}

// The merged image the sources make.
std::vector<std::uint8_t> expected_image(const std::uint8_t* image, std::size_t size,
                                         const NameFields& name, const Sources& sources) {
    const std::vector<std::uint8_t> download =
        expected_download(image, size, name, sources.download);
    std::vector<std::uint8_t> expected(merged_size(static_cast<std::uint32_t>(download.size())));
    SourceImages from{sources.offline, sources.ramboot};
    lay_out_merged(expected.data(), {download.data(), download.size()}, read_from_memory, &from);
    return expected;
}

// Up to four bytes either side of `at`, the byte at `at` in brackets;
// ".." past the end.
std::string window(const std::uint8_t* bytes, std::size_t size, std::size_t at) {
    std::string out;
    const std::size_t from = at >= 4 ? at - 4 : 0;
    for (std::size_t k = from; k <= at + 4; ++k) {
        char cell[8];
        if (k < size) {
            std::snprintf(cell, sizeof cell, k == at ? "[%02X]" : "%02X", bytes[k]);
        } else {
            std::snprintf(cell, sizeof cell, k == at ? "[..]" : "..");
        }
        if (!out.empty()) out += ' ';
        out += cell;
        if (k >= size && k > at) break;
    }
    return out;
}

void compare_region(Report& report, const char* name, std::size_t from, std::size_t to,
                    const std::vector<std::uint8_t>& expected, const std::uint8_t* image,
                    std::size_t size) {
    std::size_t at = from;
    while (at < to && at < expected.size() && at < size && expected[at] == image[at]) ++at;
    const bool ok = at >= to;
    char detail[96];
    std::snprintf(detail, sizeof detail,
                  ok ? "0x%05zX-0x%05zX" : "0x%05zX-0x%05zX, first difference at 0x%05zX", from, to,
                  at);
    report.check_at(name, ok, detail, at, window(expected.data(), expected.size(), at),
                    window(image, size, at));
}

// Every byte, region by region, against the image the sources make.
void compare_with_sources(Report& report, const std::uint8_t* image, std::size_t size,
                          const Sources& sources) {
    const std::vector<std::uint8_t> expected =
        expected_image(image, size, report.result().name, sources);
    const std::size_t offline_end = offline_offset + std::min(sources.offline.size, offline_room);
    const std::size_t ramboot_end = ramboot_offset + std::min(sources.ramboot.size, ramboot_room);
    const std::size_t end = std::max(expected.size(), size);
    compare_region(report, "offline", offline_offset, offline_end, expected, image, size);
    compare_region(report, "gap after offline", offline_end, ramboot_offset, expected, image, size);
    compare_region(report, "RAM boot", ramboot_offset, ramboot_end, expected, image, size);
    compare_region(report, "gap after RAM boot", ramboot_end, download_offset, expected, image,
                   size);
    compare_region(report, "download", download_offset, end, expected, image, size);
}

}  // namespace

std::string printable(const std::string& text) {
    std::string out;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            char esc[5];
            std::snprintf(esc, sizeof esc, "\\x%02X", c);
            out += esc;
        } else {
            out += ch;
        }
    }
    return out;
}

CheckReport check_merged_image(const std::uint8_t* image, std::size_t size,
                               const std::string& file_name, const Sources* sources) {
    Report report;
    if (size < smallest_checkable_image) {
        report.line("file size: %zu bytes", size);
        report.line("too short: a merged image holds at least %zu bytes", smallest_checkable_image);
        report.result().too_short = true;
        return report.result();
    }
    const std::uint8_t* header = image + download_offset;
    const std::uint32_t length = read_big_endian32(header + length_offset);
    report.result().fields.length = length;
    report.line("download image length: %u bytes", length);
    char sizes[128];
    std::snprintf(sizes, sizeof sizes, "file %zu bytes, expected 0xD000 + %u = %zu", size, length,
                  download_offset + length);
    report.check("size", size == download_offset + length, sizes);
    // Only what the file holds of the download image takes part.
    const std::size_t present = std::min<std::size_t>(length, size - download_offset);
    check_fields(report, header, present);
    report.result().name = parse_name(file_name);
    check_name(report, report.result().name, header, present);
    if (sources != nullptr) {
        compare_with_sources(report, image, size, *sources);
    } else {
        report.not_compared("regions",
                            "offline, gaps, RAM boot and download payload need --sources");
    }
    return report.result();
}
