// search_pattern on an emulated terminal of 11 text rows and 40 columns:
// where a search starts, the n-th qualifying line, the inverted sense,
// overstruck text, case folding, bad and missing expressions, wrapped and
// long lines, signals, and the line numbers a search leaves behind.
#include <gtest/gtest.h>

#include <regex.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "find/find.h"
#include "language/language.h"
#include "language_test_util.h"
#include "terminal_fixture.h"
#include "utf8_setup.h"
#include "view_setup.h"
#include "vterm_capture.h"

namespace {

// "line 1" to "line count", one per text line.
std::string numbered(int count)
{
    std::string text;
    for (int i = 1; i <= count; i++)
        text += "line " + std::to_string(i) + "\n";
    return text;
}

class SearchTest : public ::testing::Test {
protected:
    temp_dir dir;
    std::unique_ptr<emulated_screen> emu;
    std::string text;

    void start(const std::string &bytes)
    {
        use_test_terminal("vorn-display");
        reset_view_settings(screen_height, screen_width);
        opt_ignore_case = 0;
        search_reset();
        text = bytes;
        open_view_file(dir, bytes);
        emu = std::make_unique<emulated_screen>(screen_height, screen_width);
    }
    void TearDown() override
    {
        opt_ignore_case = 0;
        search_reset();
        close_view_input();
    }

    void show_from_line(int line)
    {
        emu_run(*emu, [&] { jump_line(line); });
    }

    // Runs a search; returns its result and what it said.
    std::pair<int, std::string> search(int forward, const char *pattern, int n = 1,
                                       int want_match = 1)
    {
        int result = -1;
        std::string said = recorded_messages([&] {
            emu_run(*emu, [&] { result = search_pattern(forward, pattern, n, want_match); });
        });
        if (!said.empty() && said.back() == '\n')
            said.pop_back();
        return {result, said};
    }

    std::string top_row() { return emu_row(*emu, 0); }

    file_pos start_of(int line)
    {
        size_t pos = 0;
        for (int i = 1; i < line; i++)
            pos = text.find('\n', pos) + 1;
        return static_cast<file_pos>(pos);
    }
};

TEST_F(SearchTest, WhereASearchStarts)
{
    struct start_case {
        int top_line;           // 0: empty screen
        int forward;
        const char *pattern;
        int result;
        const char *top;        // top row afterwards
        const char *message;
    };
    const start_case cases[] = {
        // forward: the top line is never examined, the second row is
        {1, 1, "^line 1$", 0, "line 1", "Pattern not found"},
        {1, 1, "line 1[0-9]?$", 1, "line 10", ""},
        {1, 1, "^line 2$", 1, "line 2", ""},
        // backward: from the line above the top
        {11, 0, "line 1[0-9]?$", 1, "line 10", ""},
        {11, 0, "^line 11$", 0, "line 11", "Pattern not found"},
        {1, 0, "line", 0, "line 1", "Pattern not found"},
        // an empty screen: the first line forward, nothing backward
        {0, 1, "^line 1$", 1, "line 1", ""},
        {0, 0, "line", 0, "", "Pattern not found"},
    };
    for (const start_case &c : cases) {
        SCOPED_TRACE(std::string(c.pattern) + " from line " + std::to_string(c.top_line) +
                     (c.forward ? " forward" : " backward"));
        start(numbered(100));
        if (c.top_line > 0)
            show_from_line(c.top_line);
        file_pos top_before = screen_pos(SCREEN_TOP);
        auto [result, message] = search(c.forward, c.pattern);
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(message, c.message);
        EXPECT_EQ(top_row(), c.top);
        if (result == 0) {
            EXPECT_EQ(screen_pos(SCREEN_TOP), top_before);
        }
    }
}

TEST_F(SearchTest, NothingToSearchBelowASingleRow)
{
    start(numbered(100));
    // only the top row is known: there is no second row to start from
    pos_reset();
    pos_push_bottom(start_of(5));
    pos_compact();
    ASSERT_EQ(screen_pos(1), -1);
    auto [result, message] = search(1, "line");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(message, "Nothing to search");
    // the expression stays: a repeat without a pattern is not refused for it
    pos_reset();
    show_from_line(1);
    EXPECT_EQ(search(1, nullptr), std::make_pair(1, std::string()));
    EXPECT_EQ(top_row(), "line 2");
}

TEST_F(SearchTest, TheNthQualifyingLine)
{
    struct count_case {
        int n;
        int want_match;
        const char *pattern;
        const char *top;
    };
    // lines ending in 1 below line 1: 11, 21, 31 ...
    const count_case cases[] = {
        {1, 1, "1$", "line 11"},
        {3, 1, "1$", "line 31"},
        {0, 1, "1$", "line 11"},
        {-4, 1, "1$", "line 11"},
        {INT_MIN, 1, "1$", "line 11"},
        // not ending in 1: 2, 3, ... 10, 12
        {9, 0, "1$", "line 10"},
        {10, 0, "1$", "line 12"},
        {0, 0, "1$", "line 2"},
    };
    for (const count_case &c : cases) {
        SCOPED_TRACE(std::to_string(c.n) + (c.want_match ? " matching" : " not matching"));
        start(numbered(100));
        show_from_line(1);
        EXPECT_EQ(search(1, c.pattern, c.n, c.want_match).first, 1);
        EXPECT_EQ(top_row(), c.top);
    }
    start(numbered(100));
    show_from_line(1);
    EXPECT_EQ(search(1, "1$", 11), std::make_pair(0, std::string("Pattern not found")));
    EXPECT_EQ(top_row(), "line 1");
}

TEST_F(SearchTest, InvertedDotFindsEmptyLines)
{
    start("a\nb\n\nc\n\n\nd\n");
    EXPECT_EQ(search(1, ".", 1, 0).first, 1);
    EXPECT_EQ(screen_pos(SCREEN_TOP), 4);
    start("a\nb\n\nc\n\n\nd\n");
    EXPECT_EQ(search(1, ".", 3, 0).first, 1);
    EXPECT_EQ(screen_pos(SCREEN_TOP), 8);
    start("a\nb\n\nc\n\n\nd\n");
    EXPECT_EQ(search(1, ".", 4, 0), std::make_pair(0, std::string("Pattern not found")));
}

TEST_F(SearchTest, OverstruckAndCaseFoldedText)
{
    struct match_case {
        std::string line;
        const char *pattern;
        int ignore_case;
        bool found;
    };
    const std::vector<match_case> cases = {
        {"_\bw_\bo_\br_\bd", "^word$", 0, true},          // underlined
        {"w\bwo\bor\brd\bd", "^word$", 0, true},          // bold
        {"_\bw_\bo_\br_\bd", "^_", 0, false},
        {"WORD", "word", 0, false},
        {"WORD", "word", 1, true},
        {"Word", "wORD", 1, true},
        {"W\bWORD", "^word$", 1, true},
    };
    for (const match_case &c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.line) + " " + c.pattern);
        start("top\n" + c.line + "\nend\n");
        opt_ignore_case = c.ignore_case;
        show_from_line(1);
        auto [result, message] = search(1, c.pattern);
        EXPECT_EQ(result, c.found ? 1 : 0);
        EXPECT_EQ(message, c.found ? "" : "Pattern not found");
    }
    // the setting is looked at when a pattern is compiled, not when repeated
    start("top\nx\nWORD\nword\n" + numbered(30));
    show_from_line(1);
    EXPECT_EQ(search(1, "word").first, 1);
    EXPECT_EQ(top_row(), "word");
    opt_ignore_case = 1;
    show_from_line(1);
    EXPECT_EQ(search(1, nullptr).first, 1);
    EXPECT_EQ(top_row(), "word");
    show_from_line(1);
    EXPECT_EQ(search(1, "word").first, 1);
    EXPECT_EQ(top_row(), "WORD");
}

// A repeated search after the text was switched to bytes matches bytes,
// as a fresh one would, with the case setting it was given: "." no
// longer takes the two bytes of "é".
TEST_F(SearchTest, ARepeatedSearchFollowsTheSwitchToBytes)
{
    Utf8Locale utf8;
    start("top\nx\ncaf\xC3\xA9\nCAFX\ncafx\n" + numbered(30));
    emu = std::make_unique<emulated_screen>(screen_height, screen_width, true, true);
    show_from_line(1);
    EXPECT_EQ(search(1, "^caf.$").first, 1);
    EXPECT_EQ(top_row(), "caf\xC3\xA9");
    ASSERT_EQ(set_utf8_text(0), 0);
    show_from_line(1);
    EXPECT_EQ(search(1, nullptr).first, 1);
    EXPECT_EQ(top_row(), "cafx");
    ASSERT_EQ(set_utf8_text(1), 0);
    opt_ignore_case = 1;
    show_from_line(1);
    EXPECT_EQ(search(1, nullptr).first, 1);
    EXPECT_EQ(top_row(), "caf\xC3\xA9");
}

TEST_F(SearchTest, ABadExpressionReplacesTheLastGoodOne)
{
    start(numbered(100));
    show_from_line(1);
    EXPECT_EQ(search(1, nullptr), std::make_pair(0, std::string("No previous regular expression")));
    EXPECT_EQ(search(1, ""), std::make_pair(0, std::string("No previous regular expression")));
    EXPECT_EQ(search(1, "line 5$").first, 1);
    show_from_line(1);
    EXPECT_EQ(search(1, "").first, 1);
    EXPECT_EQ(top_row(), "line 5");

    regex_t probe;
    int status = regcomp(&probe, "line (5", REG_EXTENDED | REG_NOSUB);
    ASSERT_NE(status, 0);
    char expected[2048];
    regerror(status, &probe, expected, sizeof expected);
    EXPECT_EQ(search(1, "line (5"), std::make_pair(0, std::string(expected)));
    EXPECT_EQ(top_row(), "line 5");
    EXPECT_EQ(search(1, nullptr), std::make_pair(0, std::string("No previous regular expression")));
}

// Repetitions of repetitions (and long runs of optional copies) would
// keep the library's compiler busy for minutes and gigabytes: refused
// before compiling.  Ordinary bounds, and many plain copies, are not.
TEST(SearchSize, RepetitionsThatWouldCostTooMuchToCompile)
{
    struct size_case {
        const char *pattern;
        bool too_large;
    };
    const size_case cases[] = {
        {"a{1,32767}{1,32767}", true},
        {"(a{1,32767}){1,32767}", true},
        {"a{257}{256}", true},          // 65792 copies
        {"a{256}{256}", false},         // 65536: the last allowed
        {"a{1,255}{1,255}", true},      // nested optional copies
        {"a{1,32767}", true},           // 32766 nested optional copies
        {"(a|b){1,10000}", true},
        {"a{1,4097}", false},           // 4096 optional copies: allowed
        {"a{1,4098}", true},
        {"x{1000}b{1,5}", false},
        {"a{32767}", false},            // copies alone are cheap
        {"a{2,5}", false},
        {"(ab){3}", false},
        {"[0-9]{1,3}(\\.[0-9]{1,3}){3}", false},
        {"a{1000,}{70}", true},         // an open bound counts its minimum
        {"a\\{1000\\}{1000}", false},   // an escaped brace is no bound
        {"[{]{1,5}", false},
        {"x*y+z?", false},
        {"a{", false},
        {"", false},
    };
    for (const size_case &c : cases)
        EXPECT_EQ(expression_too_large(c.pattern), c.too_large) << c.pattern;
}

// A refused expression is reported and leaves no expression, like one that
// does not compile.
TEST_F(SearchTest, AnExpressionTooLargeIsRefused)
{
    start(numbered(100));
    show_from_line(1);
    EXPECT_EQ(search(1, "line 5$").first, 1);
    EXPECT_EQ(search(1, "a{1,32767}{1,32767}"),
              std::make_pair(0, std::string("Regular expression too big")));
    EXPECT_EQ(top_row(), "line 5");
    EXPECT_EQ(search(1, nullptr), std::make_pair(0, std::string("No previous regular expression")));
    EXPECT_EQ(search(1, "line 7{1}$").first, 1);
    EXPECT_EQ(top_row(), "line 7");
}

TEST_F(SearchTest, AForwardSearchStartsInsideAWrappedLine)
{
    // 40 columns: the second row holds the rest of the long line
    std::string head(40, 'h');
    start("short\n" + head + "tail of the long line\n" + numbered(30));
    show_from_line(2);
    ASSERT_EQ(emu_row(*emu, 1), "tail of the long line");
    // the raw line read begins at the continuation, so ^ anchors there
    EXPECT_EQ(search(1, "^tail").first, 1);
    EXPECT_EQ(screen_pos(SCREEN_TOP), 6 + 40);
    EXPECT_EQ(top_row(), "tail of the long line");
    // backward from that row the line is read up to the row's start
    EXPECT_EQ(search(0, "^h{40}$").first, 1);
    EXPECT_EQ(screen_pos(SCREEN_TOP), 6);
}

TEST_F(SearchTest, ALongLineIsMatchedInPieces)
{
    std::string long_line = std::string(RAW_LINE_MAX - 3, 'a') + "needle" + std::string(100, 'b');
    start("top\n" + long_line + "\nend\n");
    show_from_line(1);
    // cut through by the raw-line limit, the word is in no piece
    EXPECT_EQ(search(1, "needle"), std::make_pair(0, std::string("Pattern not found")));
    // each piece is a line of its own: the second starts with "dle"; the
    // screen starts with the row of the wrapped line that holds it
    EXPECT_EQ(search(1, "^dleb").first, 1);
    EXPECT_EQ(screen_pos(SCREEN_TOP), 4 + RAW_LINE_MAX / screen_width * screen_width);
}

TEST_F(SearchTest, APendingSignalEndsTheSearchQuietly)
{
    start(numbered(100));
    show_from_line(1);
    for (int forward = 0; forward <= 1; forward++) {
        pending_signals = PENDING_RESIZE;
        auto [result, message] = search(forward, "line 50");
        pending_signals = 0;
        EXPECT_EQ(result, 0);
        EXPECT_EQ(message, "");
        EXPECT_EQ(top_row(), "line 1");
    }
    // the expression compiled before the signal stays
    EXPECT_EQ(search(1, nullptr).first, 1);
    EXPECT_EQ(top_row(), "line 50");
}

// The line numbers after a search are those of text lines (a long line
// counts once), and the number of the line found is known without a count.
TEST_F(SearchTest, LineNumbersAfterASearch)
{
    std::string bytes = "first\n" + std::string(3 * RAW_LINE_MAX, 'x') + "\n" + numbered(3000);
    for (int forward = 1; forward >= 0; forward--) {
        SCOPED_TRACE(forward ? "forward" : "backward");
        start(bytes);
        show_from_line(forward ? 1 : 3002);
        ASSERT_EQ(search(forward, "^line 2500$").first, 1);
        ASSERT_EQ(top_row(), "line 2500");
        file_pos found = screen_pos(SCREEN_TOP);
        // with the file emptied only a recorded pair can give the number
        std::string path = dir.path + "/input";
        ASSERT_EQ(truncate(path.c_str(), 0), 0);
        cache_init(0);
        EXPECT_EQ(linenum_find(found), 2502);
    }
    // -n: no numbers at all
    start(bytes);
    show_line_numbers = 0;
    show_from_line(1);
    ASSERT_EQ(search(1, "^line 2500$").first, 1);
    show_line_numbers = 1;
    std::string path = dir.path + "/input";
    ASSERT_EQ(truncate(path.c_str(), 0), 0);
    cache_init(0);
    EXPECT_EQ(linenum_find(screen_pos(SCREEN_TOP)), 0);
}

// The search commands: direction words and numbers, the sense, the
// variables that remember the last search, and research with what they
// remember.
TEST_F(SearchTest, SearchCommandsRememberTheLastSearch)
{
    struct command_case {
        const char *command;
        const char *top;            // top row afterwards
        const char *direction;      // _ls_direction_s
        const char *sense;          // _ls_sense_s
        const char *regexp;         // _ls_regexp
    };
    const command_case cases[] = {
        {"search forw 2 noinvert 'line 1[0-9]'", "line 11", "forw", "noinvert", "line 1[0-9]"},
        {"research back 1", "line 10", "forw", "noinvert", "line 1[0-9]"},
        {"search 1 1 invert '0'", "line 9", "back", "invert", "0"},
        {"research 0 1", "line 11", "back", "invert", "0"},
        {"search forwards 1 2 ''", "line 20", "forw", "noinvert", "0"},
        // with the flag clear only the sense is stored, for a later research
        {"condition false; search forw 1 invert x; condition true", "line 20", "forw", "noinvert", "0"},
        {"research 4 1", "line 21", "forw", "noinvert", "0"},
        {"search backward 0 noinvert 'line 4'", "line 4", "back", "noinvert", "line 4"},
    };
    start(numbered(100));
    show_from_line(1);
    reset_language_state();
    ASSERT_EQ(run_command_string("deftog"), 0);
    for (const command_case &c : cases) {
        SCOPED_TRACE(c.command);
        int result = -1;
        emu_run(*emu, [&] { result = run_command_string(c.command); });
        EXPECT_EQ(result, 0);
        EXPECT_EQ(top_row(), c.top);
        EXPECT_EQ(variable_value("_ls_direction_s"), c.direction);
        EXPECT_EQ(variable_value("_ls_sense_s"), c.sense);
        EXPECT_EQ(variable_value("_ls_regexp"), c.regexp);
    }
    // finding nothing is not the command's failure
    int result = -1;
    std::string said = capture_stderr([&] {
        emu_run(*emu, [&] { result = run_command_string("search forw 1 noinvert nosuchword"); });
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(said, "Pattern not found\n");
    EXPECT_EQ(error_code, 0);
    reset_language_state();
}

}  // namespace
