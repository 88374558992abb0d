#include "header_stamp.h"

#include "console_texts.h"
#include "file_helpers.h"
#include "header_fields.h"
#include "merged_name.h"
#include "messages.h"

void stamp_download(RunContext& ctx) {
    const HeaderFields fields =
        header_for(ctx.bin_size, ctx.file_sumcheck, ctx.burn_times, ctx.mac_buf);
    ctx.check_sum = fields.mac_sum;
    // The whole working copy is stamped; only bin_size bytes go back to disk.
    stamp_header(ctx.buf, sizeof ctx.buf, fields);
    say(text::line_break);
    const std::uint32_t length = read_header(ctx.buf, sizeof ctx.buf).length;
    say(text::stamped_length, length);
    say(text::stamped_length_detail, ctx.buf[length_offset], static_cast<int>(length));
    compose_file_name(ctx.new_file_name, ctx.p, ctx.file_sumcheck, ctx.burn_times);
    // Nothing is written unless the merged image may be written whole too.
    check_size_allowed(ctx.new_file_name, merged_size(ctx.bin_size));
    update_bin(download_image.path, ctx.buf, ctx.bin_size);
    say(text::stamp_done);
}
