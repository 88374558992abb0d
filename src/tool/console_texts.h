// Every text the tool writes to the console, in one place.
//
// The Chinese texts are GBK (code page 936) bytes written as escapes, so that
// neither the encoding of this file nor the compiler's execution character set
// can change a byte. An escape is always closed by a string break before an
// ASCII character that could be read as another hex digit. Each comment gives
// the text's reading. The printf formats are kept exactly as the programmer's
// scripts expect them.
#ifndef TOLP_CONSOLE_TEXTS_H
#define TOLP_CONSOLE_TEXTS_H

// Kept out of automatic formatting, which would put every piece of a text on
// a line of its own.
// clang-format off
namespace text {

// Run sequence.
// "总有%d个命令行参数\n" (there are %d command-line arguments)
inline constexpr char arg_count[] =
    "\xD7\xDC\xD3\xD0" "%d\xB8\xF6\xC3\xFC\xC1\xEE\xD0\xD0\xB2\xCE\xCA\xFD" "\n";
// "命令参数中请加上MAC基地址及限制烧录的次数！\n"
// (add the MAC base address and the programming-count limit to the arguments!)
inline constexpr char need_mac_and_count[] =
    "\xC3\xFC\xC1\xEE\xB2\xCE\xCA\xFD\xD6\xD0\xC7\xEB\xBC\xD3\xC9\xCF"
    "MAC\xBB\xF9\xB5\xD8\xD6\xB7\xBC\xB0\xCF\xDE\xD6\xC6\xC9\xD5\xC2\xBC"
    "\xB5\xC4\xB4\xCE\xCA\xFD\xA3\xA1" "\n";
// "命令参数中请加上限制烧录的次数！\n" (add the programming-count limit!)
inline constexpr char need_count[] =
    "\xC3\xFC\xC1\xEE\xB2\xCE\xCA\xFD\xD6\xD0\xC7\xEB\xBC\xD3\xC9\xCF"
    "\xCF\xDE\xD6\xC6\xC9\xD5\xC2\xBC\xB5\xC4\xB4\xCE\xCA\xFD\xA3\xA1" "\n";
// "可 执 行文 件 名:%s\n" (executable file name; the blanks are plain spaces)
inline constexpr char echo_program[] =
    "\xBF\xC9" " \xD6\xB4" " \xD0\xD0\xCE\xC4" " \xBC\xFE" " \xC3\xFB" ":%s\n";
// "第一个命令行参数:%s\n" (first command-line argument)
inline constexpr char echo_first[] =
    "\xB5\xDA\xD2\xBB\xB8\xF6\xC3\xFC\xC1\xEE\xD0\xD0\xB2\xCE\xCA\xFD" ":%s\n";
// "第二个命令行参数:%s\n" (second command-line argument)
inline constexpr char echo_second[] =
    "\xB5\xDA\xB6\xFE\xB8\xF6\xC3\xFC\xC1\xEE\xD0\xD0\xB2\xCE\xCA\xFD" ":%s\n";

// Argument checks. The three MAC texts differ only in their '!' count.
// "MAC序号格式不对!\n" (MAC text format wrong): length is not 17
inline constexpr char mac_bad_length[] =
    "MAC\xD0\xF2\xBA\xC5\xB8\xF1\xCA\xBD\xB2\xBB\xB6\xD4" "!\n";
// "MAC序号格式不对!!\n": a separator is not '-'
inline constexpr char mac_bad_separator[] =
    "MAC\xD0\xF2\xBA\xC5\xB8\xF1\xCA\xBD\xB2\xBB\xB6\xD4" "!!\n";
// "MAC序号格式不对!!!\n": a character outside hex digits, space and '-'
inline constexpr char mac_bad_character[] =
    "MAC\xD0\xF2\xBA\xC5\xB8\xF1\xCA\xBD\xB2\xBB\xB6\xD4" "!!!\n";
// "限制烧录次数格式不对\n" (programming-count format wrong)
inline constexpr char count_bad[] =
    "\xCF\xDE\xD6\xC6\xC9\xD5\xC2\xBC\xB4\xCE\xCA\xFD"
    "\xB8\xF1\xCA\xBD\xB2\xBB\xB6\xD4" "\n";
// "限制烧录次数burn_times=%d\n" (programming-count limit burn_times=%d)
inline constexpr char echo_count[] =
    "\xCF\xDE\xD6\xC6\xC9\xD5\xC2\xBC\xB4\xCE\xCA\xFD" "burn_times=%d\n";
inline constexpr char echo_mac[] = "mac:%s\n";
inline constexpr char echo_mac_byte[] = "%#X ";
inline constexpr char line_break[] = "\n";

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
// "fwrite file error！\n" (ends in the full-width exclamation mark)
inline constexpr char short_write[] = "fwrite file error\xA3\xA1" "\n";
inline constexpr char too_large[] =
    "file too large: %s is %llu bytes, limit %llu bytes !\n";

}  // namespace text
// clang-format on

#endif
