// Option scanning in process: the settings each option leaves, the index of
// the first file, the restart of the scanner, and the usage exit.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "command/command.h"
#include "display/display.h"
#include "startup/startup.h"

namespace {

// scan_options over a writable copy of `words` (argv[0] included); the copy
// is kept in `storage` because settings may point into it.
int scan(std::vector<std::string> &storage, std::vector<char *> &vector)
{
    vector.clear();
    for (std::string &word : storage)
        vector.push_back(word.data());
    vector.push_back(nullptr);
    return scan_options(static_cast<int>(storage.size()), vector.data());
}

TEST(Options, TabWidthBelowOneMeansEight)
{
    struct {
        const char *value;
        int width;
    } cases[] = {
        {"4", 4},  {"1", 1},   {"0", 8},          {"-3", 8},           {"abc", 8},
        {"", 8},   {"12x", 12}, {"99999999999", INT_MAX}, {"-99999999999", 8},
    };
    for (const auto &c : cases) {
        options_reset();
        std::vector<std::string> words = {"vorn", "-x", c.value, "file"};
        std::vector<char *> vector;
        EXPECT_EQ(scan(words, vector), 3) << c.value;
        EXPECT_EQ(tab_width, c.width) << c.value;
        std::vector<std::string> joined = {"vorn", std::string("-x") + c.value};
        if (c.value[0] != '\0') {
            options_reset();
            scan(joined, vector);
            EXPECT_EQ(tab_width, c.width) << "joined " << c.value;
        }
    }
    options_reset();
}

TEST(Options, FlagsAndTheFirstFile)
{
    struct {
        std::vector<std::string> words;
        int first_file;
        const char *settings;       // letters of the flags that are on
        const char *pattern;
    } cases[] = {
        {{"vorn"}, 1, "", nullptr},
        {{"vorn", "-ceisu", "f"}, 2, "ceisu", nullptr},
        {{"vorn", "-n", "-f"}, 3, "n", nullptr},
        {{"vorn", "f", "-e"}, 1, "", nullptr},
        {{"vorn", "-", "-e"}, 1, "", nullptr},
        {{"vorn", "--", "-e"}, 2, "", nullptr},
        {{"vorn", "-/", "a b", "-s", "f"}, 4, "s", "a b"},
        {{"vorn", "+/pat", "f"}, 2, "", "pat"},
        {{"vorn", "-e/pat"}, 2, "e", "pat"},
        {{"vorn", "-Rs", "-R"}, 3, "Rs", nullptr},
        {{"vorn", "-F", "-W", "f"}, 3, "FW", nullptr},
        {{"vorn", "-eW", "f"}, 2, "eW", nullptr},
    };
    for (auto &c : cases) {
        options_reset();
        sgr_reset();
        follow_reset();
        std::vector<char *> vector;
        EXPECT_EQ(scan(c.words, vector), c.first_file) << c.words.size();
        std::string on;
        if (opt_clear) on += 'c';
        if (opt_stay_at_end) on += 'e';
        if (follow_requested) on += 'F';
        if (opt_ignore_case) on += 'i';
        if (!show_line_numbers) on += 'n';
        if (show_colour) on += 'R';
        if (opt_squeeze) on += 's';
        if (opt_no_overstrike) on += 'u';
        if (follow_by_name) on += 'W';
        EXPECT_EQ(on, c.settings) << c.words[1 % c.words.size()];
        EXPECT_STREQ(first_pattern, c.pattern);
    }
    options_reset();
    sgr_reset();
    follow_reset();
}

TEST(Options, PlusSlashIsRewrittenEverywhere)
{
    std::vector<std::string> words = {"vorn", "+/one", "file", "+/two", "+x", "a+/b"};
    std::vector<char *> vector;
    options_reset();
    EXPECT_EQ(scan(words, vector), 2);
    EXPECT_STREQ(vector[1], "-/one");
    EXPECT_STREQ(vector[3], "-/two") << "also after the first file name";
    EXPECT_STREQ(vector[4], "+x");
    EXPECT_STREQ(vector[5], "a+/b");
    options_reset();
}

// A "+" word among the options is the initial command, and options may
// follow it; after the first file name or "--" it is a file name, and
// VORN's word is options only.
TEST(Options, InitialCommand)
{
    struct {
        std::vector<std::string> words;
        int first_file;
        const char *command;
        bool squeeze;
    } cases[] = {
        {{"vorn", "+G", "file"}, 2, "G", false},
        {{"vorn", "+100", "-s", "file"}, 3, "100", true},
        {{"vorn", "-s", "+:n", "+5", "file"}, 4, "5", true},
        {{"vorn", "file", "+G"}, 1, nullptr, false},
        {{"vorn", "--", "+G"}, 2, nullptr, false},
        {{"vorn", "+G", "--", "+x"}, 3, "G", false},
        {{"vorn", "-x", "--", "+G", "f"}, 4, "G", false},
        {{"vorn", "-x--", "+G", "f"}, 3, "G", false},
        {{"vorn", "+", "f"}, 1, nullptr, false},
        {{"vorn", "+/pat", "+G"}, 3, "G", false},
        {{"vorn", "-", "+G"}, 1, nullptr, false},
    };
    for (auto &c : cases) {
        options_reset();
        std::vector<char *> vector;
        EXPECT_EQ(scan(c.words, vector), c.first_file) << c.words[1];
        EXPECT_STREQ(initial_command, c.command) << c.words[1];
        EXPECT_EQ(opt_squeeze, c.squeeze) << c.words[1];
    }
    options_reset();
    std::vector<std::string> words = {"vorn", "+G"};
    std::vector<char *> vector;
    for (std::string &word : words)
        vector.push_back(word.data());
    vector.push_back(nullptr);
    EXPECT_EQ(scan_options(2, vector.data(), false), 1) << "VORN's word";
    EXPECT_EQ(initial_command, nullptr);
    options_reset();
}

// -S: files open with long lines cut; only the setting changes while the
// options are read.
TEST(Options, StartChopped)
{
    options_reset();
    scroll_reset();
    std::vector<std::string> words = {"vorn", "-eS", "file"};
    std::vector<char *> vector;
    EXPECT_EQ(scan(words, vector), 2);
    EXPECT_EQ(starts_chopped(), 1);
    EXPECT_EQ(wrap_lines, 1) << "no file is open yet";
    reset_horizontal_view();
    EXPECT_EQ(wrap_lines, 0);
    EXPECT_EQ(horiz_off, 0);
    scroll_reset();
    EXPECT_EQ(starts_chopped(), 0);
    options_reset();
}

TEST(Options, EveryScanStartsAfresh)
{
    // The first scan stops inside the list, the second must still see its
    // own first word; a half-read group of letters must not carry over.
    options_reset();
    std::vector<char *> vector;
    std::vector<std::string> first = {"vorn", "-e", "-c", "file", "-s"};
    EXPECT_EQ(scan(first, vector), 3);
    std::vector<std::string> second = {"vorn", "-s", "other"};
    EXPECT_EQ(scan(second, vector), 2);
    EXPECT_EQ(opt_squeeze, 1);
    std::vector<std::string> third = {"vorn", "-iu"};
    EXPECT_EQ(scan(third, vector), 2);
    EXPECT_EQ(opt_ignore_case, 1);
    EXPECT_EQ(opt_no_overstrike, 1);
    options_reset();
}

TEST(Options, BadOptionsEndWithTheUsageLine)
{
    const char *usage = "usage: vorn \\[-ceinsu\\] \\[-t tag\\] \\[-x tabs\\] "
                        "\\[-/ pattern\\] \\[file \\.\\.\\.\\]\n$";
    std::vector<std::vector<std::string>> cases = {
        {"vorn", "-z"}, {"vorn", "-x"}, {"vorn", "-e -s"}, {"vorn", "-t"}, {"vorn", "-/"},
    };
    for (auto &words : cases) {
        std::vector<char *> vector;
        EXPECT_EXIT(scan(words, vector), ::testing::ExitedWithCode(1), usage) << words[1];
    }
}

TEST(Options, FailedAssertionNamesItsPlace)
{
    EXPECT_DEATH(VORN_ASSERT(2 + 2 == 5),
                 "^TestBody: .*options_test\\.cpp:[0-9]+: failed assertion `2 \\+ 2 == 5'\n$");
}

} // namespace
