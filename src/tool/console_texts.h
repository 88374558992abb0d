// Every text the tool writes to the console, in one place.
//
// The Chinese texts are GBK (code page 936) bytes written as escapes, so that
// neither the encoding of this file nor the compiler's execution character set
// can change a byte. An escape is always closed by a string break before an
// ASCII character that could be read as another hex digit. Beside each is its
// UTF-8 twin, a u8 literal: its reading, and what a terminal that reads UTF-8
// is given (the tests check that each twin is the GBK text's reading). The
// printf formats are kept exactly as the programmer's scripts expect them.
#ifndef TOLP_CONSOLE_TEXTS_H
#define TOLP_CONSOLE_TEXTS_H

// Kept out of automatic formatting, which would put every piece of a text on
// a line of its own.
// clang-format off
namespace text {

// Run sequence.
// There are %d command-line arguments.
inline constexpr char arg_count[] =
    "\xD7\xDC\xD3\xD0" "%d\xB8\xF6\xC3\xFC\xC1\xEE\xD0\xD0\xB2\xCE\xCA\xFD" "\n";
inline constexpr char arg_count_utf8[] = u8"总有%d个命令行参数\n";
// Add the MAC base address and the programming-count limit to the arguments!
inline constexpr char need_mac_and_count[] =
    "\xC3\xFC\xC1\xEE\xB2\xCE\xCA\xFD\xD6\xD0\xC7\xEB\xBC\xD3\xC9\xCF"
    "MAC\xBB\xF9\xB5\xD8\xD6\xB7\xBC\xB0\xCF\xDE\xD6\xC6\xC9\xD5\xC2\xBC"
    "\xB5\xC4\xB4\xCE\xCA\xFD\xA3\xA1" "\n";
inline constexpr char need_mac_and_count_utf8[] = u8"命令参数中请加上MAC基地址及限制烧录的次数！\n";
// Add the programming-count limit!
inline constexpr char need_count[] =
    "\xC3\xFC\xC1\xEE\xB2\xCE\xCA\xFD\xD6\xD0\xC7\xEB\xBC\xD3\xC9\xCF"
    "\xCF\xDE\xD6\xC6\xC9\xD5\xC2\xBC\xB5\xC4\xB4\xCE\xCA\xFD\xA3\xA1" "\n";
inline constexpr char need_count_utf8[] = u8"命令参数中请加上限制烧录的次数！\n";
// Executable file name; the blanks are plain spaces.
inline constexpr char echo_program[] =
    "\xBF\xC9" " \xD6\xB4" " \xD0\xD0\xCE\xC4" " \xBC\xFE" " \xC3\xFB" ":%s\n";
inline constexpr char echo_program_utf8[] = u8"可 执 行文 件 名:%s\n";
// First command-line argument.
inline constexpr char echo_first[] =
    "\xB5\xDA\xD2\xBB\xB8\xF6\xC3\xFC\xC1\xEE\xD0\xD0\xB2\xCE\xCA\xFD" ":%s\n";
inline constexpr char echo_first_utf8[] = u8"第一个命令行参数:%s\n";
// Second command-line argument.
inline constexpr char echo_second[] =
    "\xB5\xDA\xB6\xFE\xB8\xF6\xC3\xFC\xC1\xEE\xD0\xD0\xB2\xCE\xCA\xFD" ":%s\n";
inline constexpr char echo_second_utf8[] = u8"第二个命令行参数:%s\n";

// Argument checks. The three MAC texts differ only in their '!' count.
// MAC text format wrong: its length is not 17.
inline constexpr char mac_bad_length[] =
    "MAC\xD0\xF2\xBA\xC5\xB8\xF1\xCA\xBD\xB2\xBB\xB6\xD4" "!\n";
inline constexpr char mac_bad_length_utf8[] = u8"MAC序号格式不对!\n";
// A separator is not '-'.
inline constexpr char mac_bad_separator[] =
    "MAC\xD0\xF2\xBA\xC5\xB8\xF1\xCA\xBD\xB2\xBB\xB6\xD4" "!!\n";
inline constexpr char mac_bad_separator_utf8[] = u8"MAC序号格式不对!!\n";
// A character outside hex digits, space and '-'.
inline constexpr char mac_bad_character[] =
    "MAC\xD0\xF2\xBA\xC5\xB8\xF1\xCA\xBD\xB2\xBB\xB6\xD4" "!!!\n";
inline constexpr char mac_bad_character_utf8[] = u8"MAC序号格式不对!!!\n";
// Programming-count format wrong.
inline constexpr char count_bad[] =
    "\xCF\xDE\xD6\xC6\xC9\xD5\xC2\xBC\xB4\xCE\xCA\xFD"
    "\xB8\xF1\xCA\xBD\xB2\xBB\xB6\xD4" "\n";
inline constexpr char count_bad_utf8[] = u8"限制烧录次数格式不对\n";
// Programming-count limit burn_times=%d.
inline constexpr char echo_count[] =
    "\xCF\xDE\xD6\xC6\xC9\xD5\xC2\xBC\xB4\xCE\xCA\xFD" "burn_times=%d\n";
inline constexpr char echo_count_utf8[] = u8"限制烧录次数burn_times=%d\n";
inline constexpr char echo_mac[] = "mac:%s\n";
inline constexpr char echo_mac_byte[] = "%#X ";
inline constexpr char line_break[] = "\n";

// After a refusal, on standard error: what was wrong and what is expected.
inline constexpr char hint_arguments[] =
    "Tolp_mac_tool: give the MAC base address and the count, such as: "
    "Tolp_mac_tool 02-11-22-33-44-55 500\n";
inline constexpr char mac_expected[] =
    "six hex pairs joined by '-', such as 02-11-22-33-44-55";
inline constexpr char hint_mac_length[] =
    "Tolp_mac_tool: the MAC text has %zu bytes, not 17: %s\n";
inline constexpr char hint_mac_separator[] =
    "Tolp_mac_tool: character %zu of the MAC text is '%s', not '-': %s\n";
inline constexpr char hint_mac_character[] =
    "Tolp_mac_tool: character %zu of the MAC text is '%s', not a hex digit: %s\n";
inline constexpr char hint_count[] =
    "Tolp_mac_tool: the count '%s' is not a number from 1 to 99999999 (or -9999999 to -1): "
    "give the limit on programming runs, such as 500\n";

// Warnings, on standard error: an input the tool takes as it always has,
// but which is probably a mistake.
inline constexpr char warn_mac_zero[] =
    "Tolp_mac_tool: warning: the MAC base %s is all zeros; no device may own it\n";
inline constexpr char warn_mac_broadcast[] =
    "Tolp_mac_tool: warning: the MAC base %s is the broadcast address; no device may own it\n";
inline constexpr char warn_mac_multicast[] =
    "Tolp_mac_tool: warning: the MAC base %s is a multicast address (its first byte is odd); "
    "no device may own it\n";
inline constexpr char warn_mac_group[] =
    "Tolp_mac_tool: warning: group %zu of the MAC text, '%.2s', is not two hex digits; "
    "it reads as %02X\n";
inline constexpr char warn_count[] =
    "Tolp_mac_tool: warning: the count '%s' is read as %d; ignored: %s\n";
inline constexpr char warn_overrun[] =
    "Tolp_mac_tool: warning: %s has %zu bytes, %zu more than its room of %zu; "
    "the images after it cover %zu of them\n";

// Loading and page checksum.
inline constexpr char size_error_prefix[] = "Error opening file";  // perror
inline constexpr char file_size[] = "Size of file: %ld bytes.\n\n";
inline constexpr char page_progress[] = "\ncrc:%d:%x\n";
inline constexpr char page_summary[] =
    "PageCNT:%dremain:%dfile_sumcheck:%x i:%d\n";

// Header stamping.
inline constexpr char stamped_length[] = "length:%x\n";
inline constexpr char stamped_length_detail[] = "%02x %d";
inline constexpr char stamp_done[] = "updata mac success !\n";

// Merged image.
inline constexpr char merge_done[] = "merge file success !\n";
inline constexpr char merge_no_memory[] = "malloc memory fail !\n";

// File helpers and size limits.
inline constexpr char cannot_open[] = "\nCan not open the path: %s \n";
inline constexpr char cannot_read[] = "\nCan not read the path: %s \n";
// Ends in the full-width exclamation mark.
inline constexpr char short_write[] = "fwrite file error\xA3\xA1" "\n";
inline constexpr char short_write_utf8[] = u8"fwrite file error！\n";
inline constexpr char too_large[] =
    "file too large: %s is %llu bytes, limit %llu bytes !\n";
inline constexpr char cannot_flush[] = "\nCan not flush the path: %s \n";

// On standard error when a stop waits for Enter on a terminal while its
// message went elsewhere (a file): press Enter to end.
inline constexpr char waiting_for_enter[] =
    "Tolp_mac_tool: \xB0\xB4\xBB\xD8\xB3\xB5\xBC\xFC\xBD\xE1\xCA\xF8" " / waiting for Enter\n";
inline constexpr char waiting_for_enter_utf8[] = u8"Tolp_mac_tool: 按回车键结束 / waiting for Enter\n";

// Reasons, on standard error as "NAME: REASON": what could not be used,
// and why, in the system's words or these.
inline constexpr char standard_output[] = "standard output";
inline constexpr char changed_before_stamp[] = "another program changed it during the run";
inline constexpr char changed_after_stamp[] =
    "another program replaced or changed it during the run; copy download.bin again";
inline constexpr char part_stamped[] =
    "only part of the stamp was written; copy download.bin again";
inline constexpr char length_changed[] = "its length changed while it was read";
inline constexpr char not_regular[] = "not a regular file";
inline constexpr char folder[] = "Is a directory";
inline constexpr char read_only[] = "read-only";
inline constexpr char set_id[] = "a write would clear its set-user-ID or set-group-ID bit";
inline constexpr char capability[] = "a write would clear its file capability";
inline constexpr char size_limit[] = "the file-size limit, %llu bytes, is below its %llu bytes";
inline constexpr char no_memory[] = "not enough memory for its %llu bytes";
// Where a replacement of the file %s stopped.
inline constexpr char folder_of[] = "the folder of %s";
inline constexpr char temporary_beside[] = "writing a temporary beside %s";
inline constexpr char access_of[] = "giving a temporary the access rules of %s";
inline constexpr char renaming_over[] = "renaming a temporary over %s";
inline constexpr char flushing_rename[] = "flushing the rename of %s";
// A temporary a failed replacement could not remove (reason %s).
inline constexpr char left_behind[] = "left behind (%s); delete it";

// Help and version: what --help (or -h) and --version print, the only
// calls that print no argument count and never wait.
inline constexpr char usage[] =
    "\xD3\xC3\xB7\xA8 / usage:\n"
    "  Tolp_mac_tool MAC\xBB\xF9\xB5\xD8\xD6\xB7 \xCF\xDE\xD6\xC6\xC9\xD5\xC2\xBC\xB4\xCE"
    "\xCA\xFD\n" "  Tolp_mac_tool MAC_BASE_ADDRESS COUNT\n"
    "  \xC0\xFD\xC8\xE7 / for example: Tolp_mac_tool 02-11-22-33-44-55 500\n" "\n"
    "MAC\xBB\xF9\xB5\xD8\xD6\xB7: 17\xB8\xF6\xD7\xD6\xB7\xFB, \xC1\xF9\xD7\xE9\xC1\xBD\xCE"
    "\xBB\xCA\xAE\xC1\xF9\xBD\xF8\xD6\xC6\xCA\xFD\xD7\xD6, \xD2\xD4 - \xB7\xD6\xB8\xF4.\n"
    "MAC_BASE_ADDRESS: 17 characters, six groups of two hex digits separated by -.\n"
    "\xCF\xDE\xD6\xC6\xC9\xD5\xC2\xBC\xB4\xCE\xCA\xFD: 1 \xB5\xBD 99999999, \xBB"
    "\xF2 -9999999 \xB5\xBD -1.\n"
    "COUNT: the limit on programming runs, 1 to 99999999 or -9999999 to -1.\n" "\n"
    "\xB6\xC1\xC8\xA1\xB5\xB1\xC7\xB0\xCE\xC4\xBC\xFE\xBC\xD0\xD6\xD0\xB5\xC4 download.bin"
    "\xA1\xA2offline.bin \xBA\xCD ramboot.bin, \xB0\xD1\xB3\xA4\xB6\xC8\xA1\xA2\xD0\xA3\xD1"
    "\xE9\xBA\xCD\xA1\xA2\n"
    "\xB4\xCE\xCA\xFD\xA1\xA2MAC \xBA\xCD MAC \xD7\xD6\xBD\xDA\xBA\xCD\xD0\xB4\xC8"
    "\xEB download.bin \xB5\xC4\xCD\xB7\xD2\xB3\xB2\xA2\xD4\xAD\xB5\xD8\xB8\xC4\xD0\xB4, "
    "\xD4\xD9\xB0\xD1\xC8\xFD\xB8\xF6\xBE\xB5\xCF\xF1\xBA\xCF\xB2\xA2\n"
    "\xCE\xAA MAC\xBB\xF9\xB5\xD8\xD6\xB7_\xD0\xA3\xD1\xE9\xBA\xCD_\xB4\xCE\xCA\xFD.bin ("
    "\xC0\xFD\xC8\xE7 02-11-22-33-44-55_0012ABCD_500.bin).\n"
    "Reads download.bin, offline.bin and ramboot.bin in the current folder, stamps\n"
    "the length, checksum, count, MAC and MAC byte sum into the header page of\n"
    "download.bin and rewrites it in place, then merges the three images into\n"
    "MAC_CHECKSUM_COUNT.bin (for example 02-11-22-33-44-55_0012ABCD_500.bin).\n" "\n"
    "\xCD\xCB\xB3\xF6\xD7\xB4\xCC"
    "\xAC / exit status (POSIX shells show -1 as 255, -2 as 254, -3 as 253):\n"
    "  0   \xB3\xC9\xB9\xA6 / success\n"
    "  -1  \xB2\xCE\xCA\xFD\xB2\xBB\xD7\xE3, \xBE\xB5\xCF\xF1\xC8\xB1\xCA\xA7\xA1\xA2\xCE"
    "\xDE\xB7\xA8\xB6\xC1\xC8\xA1\xBB\xF2\xB9\xFD\xB4\xF3, \xBB\xF2\xCE\xC4\xBC\xFE\xCE\xDE"
    "\xB7\xA8\xB4\xB4\xBD\xA8\xBB\xF2\xCC\xE6\xBB\xBB\n"
    "      too few arguments; an image missing, unreadable or too large; or a\n"
    "      file that cannot be created or replaced\n"
    "  -2  MAC\xBB\xF9\xB5\xD8\xD6\xB7\xBB\xF2\xCF\xDE\xD6\xC6\xC9\xD5\xC2\xBC\xB4\xCE\xCA"
    "\xFD\xB8\xF1\xCA\xBD\xB2\xBB\xB6\xD4 / the MAC text or the count was refused\n"
    "  -3  \xBA\xCF\xB2\xA2\xBE\xB5\xCF\xF1\xB5\xC4\xC4\xDA\xB4\xE6\xB2\xBB\xD7"
    "\xE3 / not enough memory for the merged image\n"
    "  1   \xCE\xC4\xBC\xFE\xCE\xB4\xC4\xDC\xCD\xEA\xD5\xFB\xD0\xB4\xC8"
    "\xEB / a file could not be written in full\n"
    "\xB3\xF6\xB4\xED\xCA\xB1\xCF\xC8\xCF\xD4\xCA\xBE\xD4\xAD\xD2\xF2, \xD4\xD9\xB5\xC8\xB4"
    "\xFD\xB0\xB4\xBB\xD8\xB3\xB5\xBC\xFC.\n"
    "On a refusal the tool says why, then waits for Enter.\n" "\n"
    "  --help, -h   \xCF\xD4\xCA\xBE\xB1\xBE\xCB\xB5\xC3\xF7 / show this help\n"
    "  --version    \xCF\xD4\xCA\xBE\xB0\xE6\xB1\xBE / show the version\n";
inline constexpr char usage_utf8[] =
    u8"用法 / usage:\n"
    u8"  Tolp_mac_tool MAC基地址 限制烧录次数\n"
    u8"  Tolp_mac_tool MAC_BASE_ADDRESS COUNT\n"
    u8"  例如 / for example: Tolp_mac_tool 02-11-22-33-44-55 500\n"
    u8"\n"
    u8"MAC基地址: 17个字符, 六组两位十六进制数字, 以 - 分隔.\n"
    u8"MAC_BASE_ADDRESS: 17 characters, six groups of two hex digits separated by -.\n"
    u8"限制烧录次数: 1 到 99999999, 或 -9999999 到 -1.\n"
    u8"COUNT: the limit on programming runs, 1 to 99999999 or -9999999 to -1.\n"
    u8"\n"
    u8"读取当前文件夹中的 download.bin、offline.bin 和 ramboot.bin, 把长度、校验和、\n"
    u8"次数、MAC 和 MAC 字节和写入 download.bin 的头页并原地改写, 再把三个镜像合并\n"
    u8"为 MAC基地址_校验和_次数.bin (例如 02-11-22-33-44-55_0012ABCD_500.bin).\n"
    u8"Reads download.bin, offline.bin and ramboot.bin in the current folder, stamps\n"
    u8"the length, checksum, count, MAC and MAC byte sum into the header page of\n"
    u8"download.bin and rewrites it in place, then merges the three images into\n"
    u8"MAC_CHECKSUM_COUNT.bin (for example 02-11-22-33-44-55_0012ABCD_500.bin).\n"
    u8"\n"
    u8"退出状态 / exit status (POSIX shells show -1 as 255, -2 as 254, -3 as 253):\n"
    u8"  0   成功 / success\n"
    u8"  -1  参数不足, 镜像缺失、无法读取或过大, 或文件无法创建或替换\n"
    u8"      too few arguments; an image missing, unreadable or too large; or a\n"
    u8"      file that cannot be created or replaced\n"
    u8"  -2  MAC基地址或限制烧录次数格式不对 / the MAC text or the count was refused\n"
    u8"  -3  合并镜像的内存不足 / not enough memory for the merged image\n"
    u8"  1   文件未能完整写入 / a file could not be written in full\n"
    u8"出错时先显示原因, 再等待按回车键.\n"
    u8"On a refusal the tool says why, then waits for Enter.\n"
    u8"\n"
    u8"  --help, -h   显示本说明 / show this help\n"
    u8"  --version    显示版本 / show the version\n";
inline constexpr char version[] = "Tolp_mac_tool %s\n";

// Each text that is not plain ASCII and its UTF-8 twin, for a terminal that
// reads UTF-8 (the twins equal iconv's reading of the GBK bytes).
struct Twin {
    const char* gbk;
    const char* utf8;
};
inline constexpr Twin twins[] = {
    {arg_count, arg_count_utf8},
    {need_mac_and_count, need_mac_and_count_utf8},
    {need_count, need_count_utf8},
    {echo_program, echo_program_utf8},
    {echo_first, echo_first_utf8},
    {echo_second, echo_second_utf8},
    {mac_bad_length, mac_bad_length_utf8},
    {mac_bad_separator, mac_bad_separator_utf8},
    {mac_bad_character, mac_bad_character_utf8},
    {count_bad, count_bad_utf8},
    {echo_count, echo_count_utf8},
    {short_write, short_write_utf8},
    {usage, usage_utf8},
    {waiting_for_enter, waiting_for_enter_utf8},
};

}  // namespace text
// clang-format on

#endif
