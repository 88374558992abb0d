// Every GBK console text against its UTF-8 twin, encoded to GBK by the C
// library's iconv at run time.
#include <algorithm>
#include <cstring>
#include <iterator>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "console_texts.h"
#include "stops.h"
#include "test_support.h"

namespace {

Bytes to_gbk(const std::string& utf8) {
    return converted(utf8, "GBK", "UTF-8");
}

// The escaped GBK texts the header defines: each one whose escapes go past
// ASCII, by name.
std::vector<std::string> gbk_texts_defined() {
    const std::string header = fs::path(__FILE__).parent_path() / "../src/tool/console_texts.h";
    std::ifstream in(header);
    std::vector<std::string> names;
    const std::string definition = "inline constexpr char ";
    std::string name;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(definition, 0) == 0) {
            name = line.substr(definition.size(), line.find('[') - definition.size());
        }
        const std::size_t escape = line.find("\\x");
        const bool high = escape != std::string::npos && escape + 2 < line.size() &&
                          std::strchr("89ABCDEF", line[escape + 2]) != nullptr;
        if (!name.empty() && high && (names.empty() || names.back() != name)) {
            names.push_back(name);
        }
    }
    return names;
}

TEST(ConsoleTexts, EachTextIsItsTwinInGbk) {
    // The converter itself, against the bytes the programmer's scripts know.
    ASSERT_TRUE(same_bytes("\xD7\xDC\xD3\xD0%d\xB8\xF6\xC3\xFC\xC1\xEE\xD0\xD0\xB2\xCE\xCA\xFD\n",
                           to_gbk(u8"总有%d个命令行参数\n")));
    for (const text::Twin& t : text::twins) {
        EXPECT_TRUE(same_bytes(to_gbk(t.utf8), t.gbk)) << t.utf8;
    }
    // Every GBK text has its twin, or a UTF-8 terminal would get GBK bytes.
    EXPECT_EQ(gbk_texts_defined().size(), std::size(text::twins));
}

// A stop's message as the README's tables show it: its UTF-8 reading on
// one line, each value named.
std::string as_documented(const char* message) {
    const auto* twin = std::find_if(std::begin(text::twins), std::end(text::twins),
                                    [message](const text::Twin& t) { return t.gbk == message; });
    std::string shown = twin != std::end(text::twins) ? twin->utf8 : message;
    shown.erase(std::remove(shown.begin(), shown.end(), '\n'), shown.end());
    for (const char* name : {"PATH", "N", "M"}) {
        const std::size_t at = shown.find('%');
        if (at != std::string::npos) shown.replace(at, shown[at + 1] == 's' ? 2 : 4, name);
    }
    return shown.substr(shown.find_first_not_of(' '), shown.find_last_not_of(' ') + 1);
}

// The README's tables, the help text and the table of stops say the same:
// each stop's message with its status, and each status explained.
TEST(ConsoleTexts, TheReadmeAndTheHelpGiveEachStopItsStatus) {
    std::ifstream in(fs::path(__FILE__).parent_path() / "../README.md");
    std::map<std::string, std::string> documented;  // message -> status column
    std::set<std::string> explained;                // the statuses' table
    for (std::string line; std::getline(in, line);) {
        // "| `MESSAGE` | ... | STATUS | ...", or "| STATUS | meaning |".
        std::vector<std::string> cells;
        std::istringstream row(line);
        for (std::string cell; std::getline(row, cell, '|');) {
            cells.push_back(cell.size() > 2 ? cell.substr(1, cell.size() - 2) : cell);
        }
        const auto status = [](const std::string& cell) {
            return !cell.empty() && cell.find_first_not_of("-0123456789") == std::string::npos;
        };
        if (line.rfind("| ", 0) != 0 || cells.size() < 3) continue;
        if (status(cells[1])) explained.insert(cells[1]);
        if (cells[1].size() < 2 || cells[1].front() != '`' || cells[1].back() != '`') continue;
        for (std::size_t k = 2; k < std::min<std::size_t>(cells.size(), 4); ++k) {
            if (status(cells[k])) documented[cells[1].substr(1, cells[1].size() - 2)] = cells[k];
        }
    }
    for (const StopRow& r : stop_rows) {
        const std::string message = as_documented(r.message);
        ASSERT_EQ(documented.count(message), 1u) << message << " is not in the README";
        EXPECT_EQ(documented[message], std::to_string(r.status)) << message;
        EXPECT_EQ(explained.count(std::to_string(r.status)), 1u) << "status " << r.status;
        const std::string help_line = "\n  " + std::to_string(r.status) + " ";
        EXPECT_NE(std::string(text::usage_utf8).find(help_line), std::string::npos) << r.status;
    }
}

}  // namespace
