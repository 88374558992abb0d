#include "e2e_support.h"

#include <algorithm>
#include <cstdio>

#include "crc_reference.h"
#include "tool_runner.h"

Bytes echo_transcript(const std::vector<std::string>& args, bool utf8) {
    return formatted(utf8 ? text::arg_count_utf8 : text::arg_count, static_cast<int>(args.size())) +
           formatted(utf8 ? text::echo_program_utf8 : text::echo_program,
                     program_name_seen().c_str()) +
           formatted(utf8 ? text::echo_first_utf8 : text::echo_first, args.at(0).c_str()) +
           formatted(utf8 ? text::echo_second_utf8 : text::echo_second, args.at(1).c_str());
}

const Bytes usual_warning = formatted(text::warn_mac_multicast, "11-22-33-44-55-66");

void put_images(const TempDir& dir, const Images& images) {
    dir.write("offline.bin", images.offline);
    dir.write("ramboot.bin", images.ramboot);
    dir.write("download.bin", images.download);
}

Bytes arguments_transcript(const std::string& mac, int count, const Bytes& decoded_line) {
    return formatted(text::echo_count, count) + formatted(text::echo_mac, mac.c_str()) +
           decoded_line;
}

std::uint32_t reference_checksum(const Bytes& download) {
    if (download.size() <= 256) return 0;
    return crc32_bitwise(0, reinterpret_cast<const std::uint8_t*>(download.data()) + 256,
                         download.size() - 256);
}

Bytes loading_transcript(const Bytes& download) {
    const std::size_t size = download.size();
    const int pages = static_cast<int>((size + 255) / 256);
    const int remain = size % 256 != 0 ? static_cast<int>(size % 256) : 256;
    Bytes out = formatted("Size of file: %ld bytes.\n\n", static_cast<long>(size));
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(download.data());
    std::uint32_t crc = 0;  // carried from page to page
    int i = 1;
    for (; i < pages; ++i) {
        const std::size_t from = static_cast<std::size_t>(i) * 256;
        crc = crc32_bitwise(crc, bytes + from, std::min<std::size_t>(256, size - from));
        out += formatted("\ncrc:%d:%x\n", i, crc);
    }
    return out + formatted("PageCNT:%dremain:%dfile_sumcheck:%x i:%d\n", pages, remain, crc, i);
}

Bytes stamping_transcript(std::size_t download_size) {
    const unsigned length = static_cast<unsigned>(download_size);
    return formatted("\nlength:%x\n%02x %d", length, length >> 24, static_cast<int>(length)) +
           "updata mac success !\n";
}

Bytes run_transcript(const std::string& mac, int count, const Bytes& decoded_line,
                     const Bytes& download) {
    return echo_transcript({mac, std::to_string(count)}) +
           arguments_transcript(mac, count, decoded_line) + loading_transcript(download) +
           stamping_transcript(download.size()) + "merge file success !\n";
}

Bytes usual_run_transcript(const Bytes& download) {
    return run_transcript(usual_args[0], 500, "0X11 0X22 0X33 0X44 0X55 0X66 \n", download);
}

Bytes stamped(const Bytes& download, const std::uint8_t mac[6], std::uint32_t count) {
    // The fields as on a whole page, then cut at the file's end.
    Bytes out = download + Bytes(256, '\0');
    const std::uint32_t size = static_cast<std::uint32_t>(download.size());
    const std::uint32_t sum = reference_checksum(download);
    unsigned mac_sum = 0;
    for (int k = 0; k < 4; ++k) {
        out[16 + k] = static_cast<char>(size >> (24 - 8 * k));
        out[64 + k] = static_cast<char>(sum >> (8 * k));
        out[72 + k] = static_cast<char>(count >> (8 * k));
    }
    for (int k = 0; k < 6; ++k) {
        out[136 + k] = static_cast<char>(mac[k]);
        mac_sum += mac[k];
    }
    out[142] = static_cast<char>(mac_sum);
    out[143] = static_cast<char>(mac_sum >> 8);
    out.resize(download.size());
    return out;
}

Bytes merged(const Bytes& offline, const Bytes& ramboot, const Bytes& stamped_download) {
    Bytes out(0xD000 + stamped_download.size(), '\xFF');
    out.replace(0, offline.size(), offline);
    out.replace(0xA000, ramboot.size(), ramboot);
    out.replace(0xD000, stamped_download.size(), stamped_download);
    out.resize(0xD000 + stamped_download.size());
    return out;
}

std::string merged_name(const std::string& mac, std::uint32_t checksum, int count) {
    return formatted("%s_%08X_%d.bin", mac.c_str(), checksum, count);
}

std::map<std::string, Bytes> usual_result(const Images& images) {
    const Bytes download = stamped(images.download, usual_mac, 500);
    return {{"offline.bin", images.offline},
            {"ramboot.bin", images.ramboot},
            {"download.bin", download},
            {merged_name(usual_args[0], reference_checksum(images.download), 500),
             merged(images.offline, images.ramboot, download)}};
}
