// Every console text against bytes derived independently of the source: the
// Chinese readings are written here in UTF-8 and encoded to GBK by the C
// library's iconv at run time.
#include <algorithm>
#include <cstring>
#include <iterator>

#include <iconv.h>

#include <gtest/gtest.h>

#include "console_texts.h"
#include "test_support.h"

namespace {

// `text` converted by the C library's iconv.
Bytes converted(const std::string& text, const char* to, const char* from) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        ADD_FAILURE() << "no converter from " << from << " to " << to;
        return "";
    }
    std::string in = text;
    Bytes out(in.size() * 2 + 4, '\0');
    char* source = in.data();
    char* target = out.data();
    std::size_t from_left = in.size(), to_left = out.size();
    if (iconv(cd, &source, &from_left, &target, &to_left) == static_cast<std::size_t>(-1)) {
        ADD_FAILURE() << "cannot convert " << text;
    }
    iconv_close(cd);
    out.resize(out.size() - to_left);
    return out;
}

Bytes to_gbk(const std::string& utf8) {
    return converted(utf8, "GBK", "UTF-8");
}

struct TextCase {
    const char* name;
    const char* text;
    const char* reading;  // UTF-8
};

const TextCase text_cases[] = {
    {"arg_count", text::arg_count, "总有%d个命令行参数\n"},
    {"need_mac_and_count", text::need_mac_and_count,
     "命令参数中请加上MAC基地址及限制烧录的次数！\n"},
    {"need_count", text::need_count, "命令参数中请加上限制烧录的次数！\n"},
    {"echo_program", text::echo_program, "可 执 行文 件 名:%s\n"},
    {"echo_first", text::echo_first, "第一个命令行参数:%s\n"},
    {"echo_second", text::echo_second, "第二个命令行参数:%s\n"},
    {"mac_bad_length", text::mac_bad_length, "MAC序号格式不对!\n"},
    {"mac_bad_separator", text::mac_bad_separator, "MAC序号格式不对!!\n"},
    {"mac_bad_character", text::mac_bad_character, "MAC序号格式不对!!!\n"},
    {"count_bad", text::count_bad, "限制烧录次数格式不对\n"},
    {"echo_count", text::echo_count, "限制烧录次数burn_times=%d\n"},
    {"echo_mac", text::echo_mac, "mac:%s\n"},
    {"echo_mac_byte", text::echo_mac_byte, "%#X "},
    {"line_break", text::line_break, "\n"},
    {"size_error_prefix", text::size_error_prefix, "Error opening file"},
    {"file_size", text::file_size, "Size of file: %ld bytes.\n\n"},
    {"page_progress", text::page_progress, "\ncrc:%d:%x\n"},
    {"page_summary", text::page_summary, "PageCNT:%dremain:%dfile_sumcheck:%x i:%d\n"},
    {"stamped_length", text::stamped_length, "length:%x\n"},
    {"stamped_length_detail", text::stamped_length_detail, "%02x %d"},
    {"stamp_done", text::stamp_done, "updata mac success !\n"},
    {"merge_done", text::merge_done, "merge file success !\n"},
    {"merge_no_memory", text::merge_no_memory, "malloc memory fail !\n"},
    {"cannot_open", text::cannot_open, "\nCan not open the path: %s \n"},
    {"cannot_read", text::cannot_read, "\nCan not read the path: %s \n"},
    {"short_write", text::short_write, "fwrite file error！\n"},
    {"too_large", text::too_large, "file too large: %s is %llu bytes, limit %llu bytes !\n"},
};

TEST(ConsoleTexts, EachTextHasItsExactBytes) {
    // The converter itself, against the bytes the programmer's scripts know.
    ASSERT_TRUE(same_bytes("\xD7\xDC\xD3\xD0%d\xB8\xF6\xC3\xFC\xC1\xEE\xD0\xD0\xB2\xCE\xCA\xFD\n",
                           to_gbk("总有%d个命令行参数\n")));
    for (const auto& c : text_cases) {
        EXPECT_TRUE(same_bytes(to_gbk(c.reading), c.text)) << c.name;
    }
    // Each twin is iconv's UTF-8 reading of its GBK bytes.
    for (const text::Twin& t : text::twins) {
        EXPECT_TRUE(same_bytes(converted(t.gbk, "UTF-8", "GBK"), t.utf8)) << t.utf8;
    }
    for (const auto& c : text_cases) {
        const bool ascii = std::all_of(c.text, c.text + std::strlen(c.text),
                                       [](char b) { return static_cast<unsigned char>(b) < 0x80; });
        const bool twinned = std::any_of(std::begin(text::twins), std::end(text::twins),
                                         [&](const text::Twin& t) { return t.gbk == c.text; });
        EXPECT_TRUE(ascii || twinned) << c.name << " has no UTF-8 twin";
    }
}

}  // namespace
