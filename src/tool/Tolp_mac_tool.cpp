// Tolp_mac_tool MAC_TEXT COUNT
// Tolp_mac_tool --help | -h | --version
//
// Stamps the application image ./download.bin with its length, page checksum,
// programming-count limit and MAC address, and merges it with ./offline.bin
// and ./ramboot.bin into one image for the offline programmer.
#include <string>

#include "arg_check.h"
#include "console_texts.h"
#include "header_stamp.h"
#include "interrupts.h"
#include "load_download.h"
#include "merge_image.h"
#include "messages.h"
#include "run_context.h"

namespace {

// --help or -h as the only argument prints the usage, --version the
// version; nothing else is done and nothing waits. No MAC text can be one of
// them, so every other call goes on as before.
bool answered_a_question(int argc, const char* const argv[]) {
    if (argc != 2) return false;
    const std::string asked = argv[1];
    if (asked == "--help" || asked == "-h") {
        say(text::usage);
    } else if (asked == "--version") {
        say(text::version, TOLP_VERSION);
    } else {
        return false;
    }
    return true;
}

// Reports the argument count and stops a call with fewer than two.
void check_argument_count(int argc) {
    say(text::arg_count, argc > 0 ? argc - 1 : 0);
    if (argc <= 2) refuse(argc <= 1 ? Stop::no_arguments : Stop::no_count, text::hint_arguments);
}

void take_arguments(RunContext& ctx, char* argv[]) {
    say(text::echo_program, argv[0]);
    say(text::echo_first, argv[1]);
    say(text::echo_second, argv[2]);
    ctx.p = argv[1];
    ctx.p_times = argv[2];
}

}  // namespace

int main(int argc, char* argv[]) {
    // Static, so the 200 KiB working copy stays off the stack.
    static RunContext ctx;
    if (answered_a_question(argc, argv)) end_run(0);
    guard_interrupts();
    check_argument_count(argc);
    take_arguments(ctx, argv);
    check_arguments(ctx);
    load_download(ctx);
    stamp_download(ctx);
    merge_file(ctx.new_file_name, ctx.buf, ctx.bin_size);
    end_run(0);
}
