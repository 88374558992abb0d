#include "image_check.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>

#include "formatted.h"
#include "mac_text.h"
#include "page_checksum.h"

namespace {

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
    return hex_of(little_endian_bytes(v).data(), field_width);
}

class Report {
public:
    // A note: what the image holds, or why a check is not made.
    void note(const char* what, const std::string& detail) {
        r_.checks.push_back({what, Kind::note, detail});
    }
    // A check: what was compared, then OK or FAIL.
    void check(const char* what, bool ok, const std::string& detail) {
        r_.failed = r_.failed || !ok;
        r_.checks.push_back({what, Kind::check, detail, ok});
    }
    // A check of bytes at `offset` of the merged image.
    void check_at(const char* what, bool ok, const std::string& detail, std::size_t offset,
                  const std::string& expected, const std::string& found) {
        check(what, ok, detail);
        if (ok) return;
        Check& c = r_.checks.back();
        c.has_offset = true;
        c.offset = offset;
        c.expected = expected;
        c.found = found;
    }
    // A check that could not be made.
    void not_compared(const char* what, const char* detail) {
        r_.checks.push_back(
            {what, Kind::not_compared, std::string("not compared (") + detail + ")"});
    }
    CheckReport& result() { return r_; }

private:
    CheckReport r_;
};

// Whether the field is held; if not, a line says it is absent. A field is
// checked only when it lies wholly inside the download image as the file
// holds it (`present` bytes from 0xD000).
bool held_or_absent(Report& report, const char* what, bool held, std::size_t present) {
    if (!held) {
        report.note(what, formatted("absent (the download image ends at byte %zu of the header "
                                    "page)",
                                    present));
    }
    return held;
}

void check_name(Report& report, const HeaderFields& stamped, const FieldsHeld& held,
                std::size_t present) {
    const NameFields& name = report.result().name;
    if (name.has_shape && !name.has_form) {
        report.check("name", false,
                     name.differs == NamePart::checksum
                         ? "the checksum '" + printable(name.differing_text) +
                               "' is not 8 upper-case hex digits, as the tool writes it"
                         : "the count '" + printable(name.differing_text) +
                               "' is not as the tool writes a count (decimal, without '+', "
                               "blanks or leading zeros)");
        return;
    }
    if (!name.has_form) {
        report.note("name", formatted("not in the tool's form MAC_CHECKSUM_COUNT.bin (%s), not "
                                      "compared",
                                      name.differs == NamePart::length   ? "too short"
                                      : name.differs == NamePart::suffix ? "it does not end in .bin"
                                      : name.differs == NamePart::mac_end
                                          ? "no '_' after the 17-character MAC text"
                                          : "no '_' after the 8-character checksum"));
        return;
    }
    if (held_or_absent(report, "name MAC", held.mac, present)) {
        report.check_at(
            "name MAC", name.mac_valid && std::memcmp(name.mac, stamped.mac, mac_size) == 0,
            !name.mac_valid ? "'" + printable(name.mac_text) + "' is not a valid MAC text"
                            : "name says " + format_mac(name.mac, ' ') + ", stamped " +
                                  format_mac(stamped.mac, ' '),
            download_offset + mac_offset, hex_of(name.mac, mac_size),
            hex_of(stamped.mac, mac_size));
    }
    if (held_or_absent(report, "name checksum", held.checksum, present)) {
        report.check_at("name checksum", name.checksum == stamped.checksum,
                        formatted("name says %08X, stamped %08X", name.checksum, stamped.checksum),
                        download_offset + checksum_offset, hex_of_little_endian32(name.checksum),
                        hex_of_little_endian32(stamped.checksum));
    }
    if (held_or_absent(report, "name count", held.count, present)) {
        report.check_at("name count", name.count == stamped.count,
                        formatted("name says %d, stamped %d", name.count, stamped.count),
                        download_offset + count_offset, hex_of_little_endian32(name.count),
                        hex_of_little_endian32(stamped.count));
    }
}

void check_fields(Report& report, const std::uint8_t* header, std::size_t present) {
    CheckReport& r = report.result();
    const HeaderFields& f = r.fields;
    if (held_or_absent(report, "checksum", r.held.checksum, present)) {
        r.checksum_computed = walk_pages(header, static_cast<std::uint32_t>(present)).crc123;
        report.check_at("checksum", f.checksum == r.checksum_computed,
                        formatted("stamped %08X, computed %08X", f.checksum, r.checksum_computed),
                        download_offset + checksum_offset,
                        hex_of_little_endian32(r.checksum_computed),
                        hex_of_little_endian32(f.checksum));
    }
    if (held_or_absent(report, "count", r.held.count, present)) {
        report.note("count", std::to_string(static_cast<std::int32_t>(f.count)));
    }
    if (held_or_absent(report, "MAC", r.held.mac, present)) {
        report.note("MAC", format_mac(f.mac, ' '));
    }
    if (held_or_absent(report, "MAC sum", r.held.mac_sum, present)) {
        const std::uint16_t sum = mac_sum(f.mac);
        const std::uint8_t want[2] = {static_cast<std::uint8_t>(sum),
                                      static_cast<std::uint8_t>(sum >> 8)};
        report.check_at("MAC sum", sum == f.mac_sum,
                        formatted("stamped %u, the MAC bytes add up to %u", f.mac_sum, sum),
                        download_offset + mac_sum_offset, hex_of(want, 2),
                        hex_of(header + mac_sum_offset, 2));
    }
}

// The fields the tool would have stamped into the sources' download image
// (the original or the stamped one): the count and MAC the name gives. A
// name not in the tool's form gives neither, so the image's own stamped
// fields stand in (they are checked against each other above).
HeaderFields expected_fields(const CheckReport& report, ImageBytes download) {
    const NameFields& name = report.name;
    if (!name.has_form || !name.mac_valid) return report.fields;
    const auto bin_size = static_cast<std::uint32_t>(download.size);
    return header_for(bin_size, walk_pages(download.data, bin_size).crc123, name.count, name.mac);
}

// The merged image the sources make, with the expected fields stamped into
// its download image. The layout writes every byte, so the buffer is not
// filled first.
std::unique_ptr<std::uint8_t[]> expected_image(const CheckReport& report, const Inputs& sources,
                                               std::size_t& size) {
    size = merged_size(sources.download.size);
    std::unique_ptr<std::uint8_t[]> expected(new std::uint8_t[size]);
    lay_out_merged(expected.get(), sources);
    stamp_header(expected.get() + download_offset, sources.download.size,
                 expected_fields(report, sources.download));
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

// The first offset in [from, to) where `a` and `b` differ, or `to`: a
// chunk at a time, then byte by byte within the chunk that differs.
std::size_t first_difference(const std::uint8_t* a, const std::uint8_t* b, std::size_t from,
                             std::size_t to) {
    constexpr std::size_t chunk = 64;
    while (to - from >= chunk && std::memcmp(a + from, b + from, chunk) == 0) from += chunk;
    return static_cast<std::size_t>(std::mismatch(a + from, a + to, b + from).first - a);
}

void compare_region(Report& report, const char* name, std::size_t from, std::size_t to,
                    ImageBytes expected, const std::uint8_t* image, std::size_t size) {
    // Both hold bytes up to `common`; past it the shorter one differs.
    const std::size_t common = std::max(from, std::min({to, expected.size, size}));
    const std::size_t at = first_difference(expected.data, image, from, common);
    const bool ok = at >= to;
    char detail[96];
    std::snprintf(detail, sizeof detail,
                  ok ? "0x%05zX-0x%05zX" : "0x%05zX-0x%05zX, first difference at 0x%05zX", from, to,
                  at);
    report.check_at(name, ok, detail, at, window(expected.data, expected.size, at),
                    window(image, size, at));
}

// "its bytes 40960-41059 (under ramboot.bin)", a range at a time.
std::string lacked_bytes(const CoveredBytes& lacked) {
    std::string out;
    for (const CoveredRange& part : lacked.ranges) {
        if (part.to == part.from) continue;
        out += formatted(out.empty() ? "the image lacks its bytes %zu-%zu (under %s)"
                                     : " and %zu-%zu (under %s)",
                         part.from, part.to - 1, part.under);
    }
    return out;
}

// A source longer than its room: the bytes of it the merged image lacks.
void note_overruns(Report& report, const Inputs& sources) {
    for (const InputImage& input : {offline_image, ramboot_image}) {
        const std::size_t size = image_of(sources, input).size, room = room_of(input);
        if (size <= room) continue;
        const Overrun overrun{file_name_of(input), size, room, covered_bytes(input, sources)};
        report.note(overrun.source,
                    formatted("%zu bytes, %zu over its room of %zu; %s", size, size - room, room,
                              overrun.lacked.count() == 0 ? "the image holds all of it"
                                                          : lacked_bytes(overrun.lacked).c_str()));
        report.result().overruns.push_back(overrun);
    }
}

// Every byte, region by region, against the image the sources make.
void compare_with_sources(Report& report, const std::uint8_t* image, std::size_t size,
                          const Inputs& sources) {
    std::size_t expected_size = 0;
    const auto bytes = expected_image(report.result(), sources, expected_size);
    const ImageBytes expected{bytes.get(), expected_size};
    const std::size_t offline_end = offline_offset + std::min(sources.offline.size, offline_room);
    const std::size_t ramboot_end = ramboot_offset + std::min(sources.ramboot.size, ramboot_room);
    const std::size_t end = std::max(expected.size, size);
    note_overruns(report, sources);
    compare_region(report, "offline", offline_offset, offline_end, expected, image, size);
    compare_region(report, "gap after offline", offline_end, ramboot_offset, expected, image, size);
    compare_region(report, "RAM boot", ramboot_offset, ramboot_end, expected, image, size);
    compare_region(report, "gap after RAM boot", ramboot_end, download_offset, expected, image,
                   size);
    compare_region(report, "download", download_offset, end, expected, image, size);
}

// The length of the well-formed UTF-8 sequence at `at` (1 to 4 bytes), or
// 0 where the bytes there are not one: a stray continuation byte, an
// overlong form, a surrogate, a code point past U+10FFFF or a cut sequence.
}  // namespace

std::size_t utf8_sequence_length(const std::string& text, std::size_t at) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[at + k]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (at + length > text.size() || byte(1) < low || byte(1) > high) return 0;
    for (std::size_t k = 2; k < length; ++k) {
        if (byte(k) < 0x80 || byte(k) > 0xBF) return 0;
    }
    return length;
}

unsigned code_point_of(const std::string& text, std::size_t at) {
    const auto c = static_cast<unsigned char>(text[at]);
    return c == 0xC2 ? static_cast<unsigned char>(text[at + 1]) : c;
}

// U+0080 to U+009F: the two-byte sequences led by 0xC2 below 0xC2 0xA0.
bool is_c1_control(const std::string& text, std::size_t at) {
    return utf8_sequence_length(text, at) == 2 && code_point_of(text, at) < 0xA0;
}

namespace {

// The escape that stands for the character at `at` in a report line, or
// "" where it stands as it is.
std::string escape_of(const std::string& text, std::size_t at) {
    const auto c = static_cast<unsigned char>(text[at]);
    if (c == '\n') return "\\n";
    if (c == '\t') return "\\t";
    const bool c1 = is_c1_control(text, at);
    if (!c1 && (c >= 0x20 && c != 0x7F) && (c < 0x80 || c >= 0xA0)) return "";
    char esc[8];
    std::snprintf(esc, sizeof esc, c1 ? "\\u%04X" : "\\x%02X", code_point_of(text, at));
    return esc;
}

}  // namespace

std::string printable(const std::string& text) {
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = std::max<std::size_t>(utf8_sequence_length(text, at), 1);
        const std::string escape = escape_of(text, at);
        out += escape.empty() ? text.substr(at, length) : escape;
        at += length;
    }
    return out;
}

CheckReport check_merged_image(const std::uint8_t* image, std::size_t size,
                               const std::string& file_name, const Inputs* sources) {
    Report report;
    if (size < smallest_checkable_image) {
        report.note("file size", formatted("%zu bytes", size));
        report.note("too short",
                    formatted("a merged image holds at least %zu bytes", smallest_checkable_image));
        report.result().too_short = true;
        return report.result();
    }
    const std::uint8_t* header = image + download_offset;
    const std::uint32_t length = read_header(header, size - download_offset).length;
    report.note("download image length", formatted("%u bytes", length));
    char sizes[128];
    std::snprintf(sizes, sizeof sizes, "file %zu bytes, expected 0xD000 + %u = %zu", size, length,
                  download_offset + length);
    report.check("size", size == download_offset + length, sizes);
    // Only what the file holds of the download image takes part.
    const std::size_t present = std::min<std::size_t>(length, size - download_offset);
    CheckReport& r = report.result();
    r.fields = read_header(header, present);
    r.fields.length = length;
    r.held = fields_held(present);
    check_fields(report, header, present);
    r.name = parse_merged_name(file_name);
    check_name(report, r.fields, r.held, present);
    if (sources != nullptr) {
        compare_with_sources(report, image, size, *sources);
    } else {
        report.not_compared("regions",
                            "offline, gaps, RAM boot and download payload need --sources");
    }
    return report.result();
}
