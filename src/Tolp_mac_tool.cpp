// Tolp_mac_tool MAC_TEXT COUNT
//
// Stamps the application image ./download.bin with its length, page checksum,
// programming-count limit and MAC address, and merges it with ./offline.bin
// and ./ramboot.bin into one image for the offline programmer.
#include <cstdio>

#include "arg_check.h"
#include "console.h"
#include "console_texts.h"
#include "header_stamp.h"
#include "merge_image.h"
#include "page_checksum.h"
#include "run_context.h"

namespace {

// Rejects a call with fewer than two arguments; returns true to go on.
bool have_both_arguments(int argc) {
    std::printf(text::arg_count, argc > 0 ? argc - 1 : 0);
    if (argc <= 1) {
        std::printf(text::need_mac_and_count);
        return false;
    }
    if (argc == 2) {
        std::printf(text::need_count);
        return false;
    }
    return true;
}

void take_arguments(RunContext& ctx, char* argv[]) {
    std::printf(text::echo_program, argv[0]);
    std::printf(text::echo_first, argv[1]);
    std::printf(text::echo_second, argv[2]);
    ctx.p = argv[1];
    ctx.p_times = argv[2];
}

}  // namespace

int main(int argc, char* argv[]) {
    // Static, so the 200 KiB working copy stays off the stack.
    static RunContext ctx;
    if (!have_both_arguments(argc)) return stop_run(-1);
    take_arguments(ctx, argv);
    if (!check_arguments(ctx)) return -2;
    load_download(ctx);
    stamp_download(ctx);
    merge_file(ctx.new_file_name);
    return 0;
}
