#include "load_download.h"

#include <cerrno>
#include <cstring>

#include "console.h"
#include "console_texts.h"
#include "file_helpers.h"
#include "page_checksum.h"

namespace {

// Sizes the image, reporting a failure with the system's reason; returns -1
// then, so that the read that follows stops the run.
long size_download() {
    const long size = file_size_or_errno(download_path);
    if (size < 0) {
        const int reason = errno;
        say_error("%s: %s\n", text::size_error_prefix, std::strerror(reason));
        return -1;
    }
    say(text::file_size, size);
    return size;
}

void refuse_oversize(long size) {
    if (size <= static_cast<long>(download_capacity)) return;
    say(text::too_large, download_path, size, static_cast<long>(download_capacity));
    stop(-1);
}

void print_page(std::uint32_t i, std::uint32_t crc123) {
    say(text::page_progress, static_cast<int>(i), crc123);
}

}  // namespace

void load_download(RunContext& ctx) {
    const long size = size_download();
    refuse_oversize(size);
    ctx.bin_size = size > 0 ? static_cast<std::uint32_t>(size) : 0;
    read_bin(download_path, ctx.buf, static_cast<std::int32_t>(ctx.bin_size));
    const PageWalk walk = walk_pages(ctx.buf, ctx.bin_size, print_page);
    say(text::page_summary, static_cast<int>(walk.PageCNT), static_cast<int>(walk.remain),
        walk.crc123, static_cast<int>(walk.i));
    ctx.file_sumcheck = walk.crc123;
}
