#include "load_download.h"

#include <climits>

#include "console_texts.h"
#include "file_helpers.h"
#include "messages.h"
#include "page_checksum.h"

namespace {

// The size as the transcript's %ld shows it; a size past a 32-bit long
// (Windows) is refused as too large right after, with its true value.
long printable(std::uint64_t size) {
    return size > static_cast<std::uint64_t>(LONG_MAX) ? LONG_MAX : static_cast<long>(size);
}

void print_page(std::uint32_t i, std::uint32_t crc123) {
    say(text::page_progress, static_cast<int>(i), crc123);
}

}  // namespace

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
