#include "merged_name.h"

#include <cstdio>

#include "mac_text.h"

namespace {

bool all_of_class(const std::string& s, const char* allowed) {
    return !s.empty() && s.find_first_not_of(allowed) == std::string::npos;
}

}  // namespace

void compose_file_name(char* name, const char* p, std::uint32_t file_sumcheck,
                       std::uint32_t burn_times) {
    char sumcheck_str[10];
    char times_str[10];
    std::snprintf(sumcheck_str, sizeof sumcheck_str, "_%08X", file_sumcheck);
    std::snprintf(times_str, sizeof times_str, "_%d",
                  static_cast<int>(static_cast<std::int32_t>(burn_times)));
    std::snprintf(name, file_name_size, "%s%s%s.bin", p, sumcheck_str, times_str);
}

NameFields parse_merged_name(const std::string& name) {
    NameFields f;
    const std::size_t fixed = mac_text_length + 1 + 8 + 1;
    f.differs = name.size() < fixed + 1 + 4                     ? NamePart::length
                : name.compare(name.size() - 4, 4, ".bin") != 0 ? NamePart::suffix
                : name[mac_text_length] != '_'                  ? NamePart::mac_end
                : name[fixed - 1] != '_'                        ? NamePart::checksum_end
                                                                : NamePart::none;
    if (f.differs != NamePart::none) return f;
    f.has_shape = true;
    // Exactly as compose_file_name writes them: 8 upper-case hex digits, and
    // the count as %d prints it (no '+', no leading zeros or blanks).
    const std::string hex = name.substr(mac_text_length + 1, 8);
    const std::string count = name.substr(fixed, name.size() - 4 - fixed);
    f.differs = !all_of_class(hex, "0123456789ABCDEF") ? NamePart::checksum
                : !parse_count(count.c_str(), f.count) ||
                        count != std::to_string(static_cast<std::int32_t>(f.count))
                    ? NamePart::count
                    : NamePart::none;
    if (f.differs != NamePart::none) {
        f.differing_text = f.differs == NamePart::checksum ? hex : count;
        return f;
    }
    f.has_form = true;
    f.mac_text = name.substr(0, mac_text_length);
    f.mac_valid = mac_text_fault(f.mac_text.c_str()) == MacFault::none;
    if (f.mac_valid) str_to_hex(reinterpret_cast<const unsigned char*>(f.mac_text.c_str()), f.mac);
    f.checksum = static_cast<std::uint32_t>(std::stoul(hex, nullptr, 16));
    return f;
}
