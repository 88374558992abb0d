#include "image_report.h"

#include <cstdio>

#include "formatted.h"
#include "mac_text.h"

namespace {

std::string hex32(std::uint32_t v) {
    char buf[12];
    std::snprintf(buf, sizeof buf, "\"%08X\"", v);
    return buf;
}

std::string signed32(std::uint32_t v) {
    return std::to_string(static_cast<std::int32_t>(v));
}

// "key": value pairs joined into an object.
class Object {
public:
    Object& add(const char* key, const std::string& value) {
        out_ += (out_.empty() ? "{" : ", ") + json_string(key) + ": " + value;
        return *this;
    }
    std::string done() const { return out_.empty() ? "{}" : out_ + "}"; }

private:
    std::string out_;
};

std::string fields_json(const CheckReport& r) {
    const HeaderFields& f = r.fields;
    Object o;
    o.add("length", std::to_string(f.length));
    if (r.held.checksum) {
        o.add("checksum_stamped", hex32(f.checksum));
        o.add("checksum_computed", hex32(r.checksum_computed));
    }
    if (r.held.count) o.add("count", signed32(f.count));
    if (r.held.mac) o.add("mac", json_string(format_mac(f.mac, '-')));
    if (r.held.mac_sum) o.add("mac_sum", std::to_string(f.mac_sum));
    return o.done();
}

std::string name_json(const NameFields& n) {
    if (!n.has_form) return "null";
    return Object()
        .add("mac", json_string(n.mac_text))
        .add("checksum", hex32(n.checksum))
        .add("count", signed32(n.count))
        .done();
}

std::string checks_json(const std::vector<Check>& checks) {
    std::string out = "[";
    for (const Check& c : checks) {
        if (c.kind == Kind::note) continue;
        Object o;
        o.add("name", json_string(c.name))
            .add("ok", c.kind == Kind::not_compared ? "null"
                       : c.ok                       ? "true"
                                                    : "false");
        o.add("detail", json_string(c.detail));
        if (c.has_offset) {
            o.add("offset", std::to_string(c.offset));
            o.add("expected", json_string(c.expected)).add("found", json_string(c.found));
        }
        out += (out.size() > 1 ? ",\n    " : "\n    ") + o.done();
    }
    return out + (checks.empty() ? "]" : "\n  ]");
}

// Each source longer than its room, with the ranges of it the image lacks
// (first and last byte, in the source).
std::string overruns_json(const std::vector<Overrun>& overruns) {
    std::string out = "[";
    for (const Overrun& o : overruns) {
        std::string lacked = "[";
        for (const CoveredRange& part : o.lacked.ranges) {
            if (part.to == part.from) continue;
            lacked +=
                (lacked.size() > 1 ? ", " : "") + Object()
                                                      .add("first", std::to_string(part.from))
                                                      .add("last", std::to_string(part.to - 1))
                                                      .add("under", json_string(part.under))
                                                      .done();
        }
        out += (out.size() > 1 ? ", " : "") + Object()
                                                  .add("source", json_string(o.source))
                                                  .add("size", std::to_string(o.size))
                                                  .add("room", std::to_string(o.room))
                                                  .add("lacked", lacked + "]")
                                                  .done();
    }
    return out + "]";
}

}  // namespace

std::string json_string(const std::string& text) {
    std::string out = "\"";
    for (std::size_t at = 0; at < text.size();) {
        const auto c = static_cast<unsigned char>(text[at]);
        const std::size_t length = utf8_sequence_length(text, at);
        if (length == 0) {
            out += "\xEF\xBF\xBD";  // U+FFFD for a byte that is not UTF-8
            at += 1;
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += text[at];
        } else if (c < 0x20 || is_c1_control(text, at)) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04X", code_point_of(text, at));
            out += esc;
        } else {
            out.append(text, at, length);
        }
        at += length;
    }
    return out + "\"";
}

std::string text_report(const CheckReport& report) {
    std::string out;
    for (const Check& c : report.checks) {
        out += "  " + c.name + ": " + c.detail;
        if (c.kind == Kind::check) out += c.ok ? ": OK" : ": FAIL";
        out += "\n";
        if (!c.has_offset) continue;
        out += formatted("    expected at 0x%05zX: %s\n", c.offset, c.expected.c_str());
        out += formatted("    found    at 0x%05zX: %s\n", c.offset, c.found.c_str());
    }
    return out;
}

std::string json_report(const std::string& path, const CheckReport& report,
                        const std::string& error) {
    const bool usable = error.empty();
    Object o;
    o.add("path", json_string(path));
    o.add("consistent", usable && !report.failed ? "true" : "false");
    if (!usable) return o.add("error", json_string(error)).done();
    o.add("fields", fields_json(report));
    o.add("name", name_json(report.name));
    if (!report.overruns.empty()) o.add("overruns", overruns_json(report.overruns));
    o.add("checks", checks_json(report.checks));
    return o.done();
}
