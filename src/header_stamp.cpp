#include "header_stamp.h"

#include <cstdio>

#include "console.h"
#include "console_texts.h"
#include "file_helpers.h"

namespace {

void put_big_endian32(std::uint8_t* at, std::uint32_t v) {
    at[0] = static_cast<std::uint8_t>(v >> 24);
    at[1] = static_cast<std::uint8_t>(v >> 16);
    at[2] = static_cast<std::uint8_t>(v >> 8);
    at[3] = static_cast<std::uint8_t>(v);
}

}  // namespace

void put_little_endian32(std::uint8_t* at, std::uint32_t v) {
    at[0] = static_cast<std::uint8_t>(v);
    at[1] = static_cast<std::uint8_t>(v >> 8);
    at[2] = static_cast<std::uint8_t>(v >> 16);
    at[3] = static_cast<std::uint8_t>(v >> 24);
}

std::uint32_t read_big_endian32(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(at[0]) << 24 | static_cast<std::uint32_t>(at[1]) << 16 |
           static_cast<std::uint32_t>(at[2]) << 8 | at[3];
}

std::uint32_t read_little_endian32(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(at[3]) << 24 | static_cast<std::uint32_t>(at[2]) << 16 |
           static_cast<std::uint32_t>(at[1]) << 8 | at[0];
}

std::uint32_t mac_sum(const std::uint8_t* mac_buf) {
    std::uint32_t sum = 0;
    for (std::size_t k = 0; k < mac_size; ++k) sum += mac_buf[k];
    return sum;
}

std::uint32_t stamp_header(std::uint8_t* page, std::uint32_t bin_size, std::uint32_t file_sumcheck,
                           std::uint32_t burn_times, const std::uint8_t* mac_buf) {
    put_little_endian32(page + checksum_offset, file_sumcheck);
    put_little_endian32(page + count_offset, burn_times);
    for (std::size_t k = 0; k < mac_size; ++k) page[mac_offset + k] = mac_buf[k];
    const std::uint32_t check_sum = mac_sum(mac_buf);
    page[mac_sum_offset] = static_cast<std::uint8_t>(check_sum);
    page[mac_sum_offset + 1] = static_cast<std::uint8_t>(check_sum >> 8);
    put_big_endian32(page + length_offset, bin_size);
    return check_sum;
}

void compose_file_name(char* name, const char* p, std::uint32_t file_sumcheck,
                       std::uint32_t burn_times) {
    char sumcheck_str[10];
    char times_str[10];
    std::snprintf(sumcheck_str, sizeof sumcheck_str, "_%08X", file_sumcheck);
    std::snprintf(times_str, sizeof times_str, "_%d",
                  static_cast<int>(static_cast<std::int32_t>(burn_times)));
    std::snprintf(name, file_name_size, "%s%s%s.bin", p, sumcheck_str, times_str);
}

void stamp_download(RunContext& ctx) {
    ctx.check_sum =
        stamp_header(ctx.buf, ctx.bin_size, ctx.file_sumcheck, ctx.burn_times, ctx.mac_buf);
    say(text::line_break);
    const std::uint32_t length = read_big_endian32(ctx.buf + length_offset);
    say(text::stamped_length, length);
    say(text::stamped_length_detail, ctx.buf[length_offset], static_cast<int>(length));
    compose_file_name(ctx.new_file_name, ctx.p, ctx.file_sumcheck, ctx.burn_times);
    write_bin(download_path, ctx.buf, ctx.bin_size);
    say(text::stamp_done);
}
