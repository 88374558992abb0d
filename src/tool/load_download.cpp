#include "load_download.h"

#include <algorithm>
#include <climits>

#include "console_texts.h"
#include "file_helpers.h"
#include "messages.h"
#include "page_checksum.h"

namespace {

// The size as the transcript's %ld shows it; a size past a 32-bit long
// (Windows) is refused as too large right after, with its true value.
long printable(std::uint64_t size) {
    return static_cast<long>(std::min<std::uint64_t>(size, LONG_MAX));
}

// `value` in `base` (10 or 16, lower-case digits) at `out`; its length.
std::size_t digits_of(char* out, std::uint32_t value, std::uint32_t base) {
    std::size_t n = 1;
    for (std::uint32_t rest = value; rest >= base; rest /= base) ++n;
    for (std::size_t k = n; k-- > 0; value /= base) out[k] = "0123456789abcdef"[value % base];
    return n;
}

void print_page(std::uint32_t i, std::uint32_t crc123) {
    char line[32];
    say_text(line, page_progress_line(line, i, crc123));
}

}  // namespace

std::size_t page_progress_line(char* out, std::uint32_t page, std::uint32_t crc123) {
    std::size_t n = 0;
    for (const char c : {'\n', 'c', 'r', 'c', ':'}) out[n++] = c;
    n += digits_of(out + n, page, 10);
    out[n++] = ':';
    n += digits_of(out + n, crc123, 16);
    out[n++] = '\n';
    return n;
}

void load_download(RunContext& ctx) {
    InputFile file = open_bin(download_image.path, true);
    say(text::file_size, printable(file.size));
    ctx.bin_size = static_cast<std::uint32_t>(
        read_bin(file, download_image.path, ctx.buf, room_for(download_image, 0)));
    const PageWalk walk = walk_pages(ctx.buf, ctx.bin_size, print_page);
    say(text::page_summary, static_cast<int>(walk.PageCNT), static_cast<int>(walk.remain),
        walk.crc123, static_cast<int>(walk.i));
    ctx.file_sumcheck = walk.crc123;
}
