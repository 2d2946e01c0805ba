// Filtering on a real terminal: & and its prompt, the moves over the lines
// shown (pages, lines, G, g with the file's line numbers, percentages,
// marks), the prompt naming the filter and the file's line numbers, an
// inverted filter, a filter with no match, clearing it, a search while
// filtered, the -& option, the interrupt key during a filtered walk on an
// endless pipe, a growing file followed through a filter, and -s squeezing
// the shown lines.  The fixture numbered200.txt holds "line 1" to
// "line 200"; the screen has 23 rows of text.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "pager_session.h"

namespace {

const int ROWS = 24;
const int BOTTOM = ROWS - 1;

TEST(FilterScreen, MovesOverTheShownLines)
{
    temp_home home;
    struct filter_case {
        const char *name;
        std::vector<key_step> steps;
    };
    // "[05]$" shows lines 5, 10, ... 200: forty lines, the last screenful
    // from line 90
    const std::vector<filter_case> cases = {
        {"& asks, RETURN applies, the prompt names the filter",
         {{"&", "line 1", "Filter: &"},
          {"[05]$<enter>", "line 5", "numbered200.txt [&[05]$]"},
          {"j", "line 10", ""},
          {" ", "line 90", ""},
          {"k", "line 85", ""},
          {"b", "line 5", ""},
          {"d", "line 60", ""},
          {"u", "line 5", ""}}},
        {"G and g go by the shown lines, g N by the file's numbers",
         {{"&[05]$<enter>", "line 5", ""},
          {"G", "line 90", ""},
          {"g", "line 5", ""},
          {"50g", "line 50", ""},
          {"52g", "line 55", ""},
          {"20p", "line 45", ""}}},
        {"= shows the number of the bottom line in the file",
         {{"&[05]$<enter>", "line 5", ""},
          {"=", "line 5", "line 115"}}},
        {"marks and '' go back to shown lines",
         {{"&[05]$<enter>50g", "line 50", ""},
          {"ma", "line 50", ""},
          {"G", "line 90", ""},
          {"'a", "line 50", ""}}},
        {"an inverted filter hides the matching lines",
         {{"&!0$<enter>", "line 1", "[&!0$]"},
          {"j", "line 2", ""}}},
        {"clearing shows the file with the filtered top line on top",
         {{"&[05]$<enter>50g", "line 50", ""},
          {"&<enter>", "line 50", ""},
          {"j", "line 51", ""}}},
        {"no line matches: said, and clearing goes back to where the view was",
         {{"30g", "line 30", ""},
          {"&nosuch<enter>", "", pressed("No line matches the filter nosuch")},
          {"<enter>", "", "[&nosuch]"},
          {"&<enter>", "line 30", ""}}},
        {"a search finds the shown lines only",
         {{"&[05]$<enter>", "line 5", ""},
          {"/0$<enter>", "line 10", ""},
          {"n", "line 20", ""},
          {"/3$<enter>", "line 20", pressed("Pattern not found")}}},
        {"a bad expression keeps the filter in force",
         {{"&[05]$<enter>", "line 5", ""},
          {"&(<enter>", "line 5", "(press RETURN)"},
          {"<enter>", "line 5", "[&[05]$]"}}},
    };
    for (const filter_case &c : cases) {
        SCOPED_TRACE(c.name);
        vt_ptr s = start_at_line_1(home);
        ASSERT_TRUE(s);
        run_steps(*s, c.steps, BOTTOM);
        if (std::string(c.name).find("inverted") != std::string::npos) {
            EXPECT_ROW(*s, 7, "line 9");    // line 10 is hidden: 9, then 11
            EXPECT_ROW(*s, 8, "line 11");
        }
    }
}

TEST(FilterScreen, OptionStartsFiltered)
{
    temp_home home;
    vt_ptr s = start_pager(home, {"-e", "-&0$", "numbered200.txt"});
    ASSERT_TRUE(s);
    // the twenty lines shown end the text: they take the bottom rows
    EXPECT_ROW(*s, 3, "line 10");
    EXPECT_ROW(*s, 22, "line 200");
    EXPECT_ROW_HAS(*s, BOTTOM, "[&0$]");
    // a view that reaches the end stays, even without -e
    vt_ptr t = start_pager(home, {"-&0$", "numbered200.txt"});
    ASSERT_TRUE(t);
    EXPECT_ROW(*t, 22, "line 200");
    EXPECT_ROW_HAS(*t, BOTTOM, "END");
    play(*t, "q");
    EXPECT_EQ(vt_wait_exit(*t), 0);
}

TEST(FilterScreen, VariablesShowTheFilter)
{
    temp_home home;
    home.write(".vornrc", "macro 0 X 'error \"${_viewfiltered_s} ${_viewfiltered_n} <${_viewfilter_s}>\"'\n");
    vt_ptr s = start_at_line_1(home);
    ASSERT_TRUE(s);
    play(*s, "X");
    EXPECT_ROW_HAS(*s, BOTTOM, "off 1 <>");
    play(*s, "<enter>&!5$<enter>X");
    EXPECT_ROW_HAS(*s, BOTTOM, "on 0 <!5$>");
}

// The interrupt key abandons a filtered walk that would never end: the
// filter stays and the view is the one before the keys.
TEST(FilterScreen, InterruptAbandonsAFilteredWalk)
{
    temp_home dir;
    ASSERT_EQ(mkfifo((dir.path + "/pipe").c_str(), 0600), 0);
    vt_options options;
    options.program = "/bin/sh";
    auto s = start_in_dir(dir, {"-c", "yes > pipe & exec \"$0\" < pipe", VORN_BINARY}, options);
    ASSERT_TRUE(s);
    ASSERT_ROW(*s, 0, "y");
    play(*s, "&y<enter>");
    ASSERT_ROW_HAS(*s, BOTTOM, "[&y]");
    play(*s, "G");
    // The key goes in once the walk is under way: before the pager has
    // taken the G, the interrupt would find it at the prompt, where the
    // interrupt key ends the program.
    ASSERT_TRUE(reading_on(*s));
    vt_key(*s, "^C");
    EXPECT_ROW(*s, 0, "y");
    EXPECT_ROW_HAS(*s, BOTTOM, "[&y]");
    play(*s, "j");
    EXPECT_ROW(*s, 22, "y");
    play(*s, "q");
    EXPECT_EQ(vt_wait_exit(*s), 0);
    EXPECT_TRUE(terminal_restored(*s));
}

// The rows that show a line, top to bottom.
std::vector<std::string> shown_rows(vt_session &v)
{
    std::vector<std::string> lines;
    for (int row = 0; row < BOTTOM; row++)
        if (!vt_row(v, row).empty())
            lines.push_back(vt_row(v, row));
    return lines;
}

// `word` 1 to `last`, each followed by a hidden "ok" line.
std::string errors_between_oks(const std::string &word, int first, int last)
{
    std::string text;
    for (int i = first; i <= last; i++)
        text += word + " " + std::to_string(i) + "\nok " + std::to_string(i) + "\n";
    return text;
}

std::vector<std::string> errors(const std::string &word, int first, int last)
{
    std::vector<std::string> lines;
    for (int i = first; i <= last; i++)
        lines.push_back(word + " " + std::to_string(i));
    return lines;
}

// Following through a filter shows the arriving lines that match, and
// only those.
TEST(FilterScreen, FollowShowsArrivingMatches)
{
    temp_home dir;
    dir.write("log", numbered_text(1, 5, "ok") + "error 1\n");
    auto s = start_in_dir(dir, {"-&error", "log"});
    ASSERT_TRUE(s);
    ASSERT_ROW(*s, 22, "error 1");
    play(*s, "F");
    ASSERT_ROW_HAS(*s, BOTTOM, "waiting for data");
    append_to_file(dir.path + "/log", "ok 6\nerror 2\nok 7\nok 8\nerror 3\n");
    const std::vector<std::string> expected = {"error 1", "error 2", "error 3"};
    EXPECT_TRUE(vt_wait(*s, [&](vt_session &v) { return shown_rows(v) == expected; }))
        << vt_screen(*s);
    EXPECT_ROW_HAS(*s, BOTTOM, "log [&error] line 11: waiting");
    play(*s, "x");
    play(*s, "q");
    EXPECT_EQ(vt_wait_exit(*s), 0);
}

// A followed file whose filtered view fills the screen: lines that arrive
// scroll on only where they match (hidden lines before, between and after
// them; a line that ends as a match once its end comes); a file cut
// short, or replaced under its name with -W, is shown
// again from its new beginning through the filter, with the note it gets
// without one.
TEST(FilterScreen, FollowThroughAFilterGrowsTruncatesAndReplaces)
{
    struct follow_case {
        const char *name;
        const char *change;     // "grow", "truncate", "replace"
        std::string text;       // what is appended, or the new text
        std::string more;       // appended once that is seen
        std::vector<std::string> expected;
        const char *note;
    };
    const std::vector<follow_case> cases = {
        {"growing", "grow", "ok a\nerror 31\nok b\nok c\nerror 32\nok d\n", "",
         errors("error", 10, 32), ""},
        {"growing by hidden lines alone", "grow", "ok a\nok b\n", "", errors("error", 8, 30), ""},
        {"a hidden line not yet ended ends as a match", "grow", "ok a\nerr", "or 31\n",
         errors("error", 9, 31), ""},
        {"truncated", "truncate", errors_between_oks("error fresh", 1, 3), "",
         errors("error fresh", 1, 3), "file truncated; "},
        {"replaced", "replace", "ok new\n" + errors_between_oks("error new", 1, 2), "",
         errors("error new", 1, 2), "file replaced; "},
    };
    for (const follow_case &c : cases) {
        SCOPED_TRACE(c.name);
        temp_home dir;
        dir.write("log", errors_between_oks("error", 1, 30));
        auto s = start_in_dir(dir, {"-F", "-W", "-&error", "log"});
        ASSERT_TRUE(s);
        ASSERT_TRUE(vt_wait(*s, [](vt_session &v) { return shown_rows(v) == errors("error", 8, 30); }))
            << vt_screen(*s);
        ASSERT_ROW_HAS(*s, BOTTOM, "waiting for data");
        std::string change = c.change;
        if (change == "grow") {
            append_to_file(dir.path + "/log", c.text);
        } else if (change == "truncate") {
            std::ofstream cut(dir.path + "/log", std::ios::binary | std::ios::trunc);
            cut << c.text;
        } else {
            dir.write("log.new", c.text);
            ASSERT_EQ(rename((dir.path + "/log.new").c_str(), (dir.path + "/log").c_str()), 0);
        }
        // (a line not yet ended is counted on a full screen)
        int lines = static_cast<int>(std::count(c.text.begin(), c.text.end(), '\n')) +
                    (c.text.back() != '\n') + (change == "grow" ? 60 : 0);
        ASSERT_TRUE(vt_row_has(*s, BOTTOM, "log [&error] line " + std::to_string(lines) + ": " +
                                               c.note + "waiting for data"));
        if (!c.more.empty()) {
            append_to_file(dir.path + "/log", c.more);
            lines += static_cast<int>(std::count(c.more.begin(), c.more.end(), '\n')) - 1;
            ASSERT_TRUE(vt_row_has(*s, BOTTOM, "log [&error] line " + std::to_string(lines) +
                                                   ": waiting for data"));
        }
        EXPECT_TRUE(vt_wait(*s, [&](vt_session &v) { return shown_rows(v) == c.expected; }))
            << vt_screen(*s);
        play(*s, "x");
        play(*s, "q");
        EXPECT_EQ(vt_wait_exit(*s), 0);
    }
}

// A filtered view of a big log with one match, followed while only hidden
// lines arrive: each look reads what arrived, not the whole log again to
// build the last screenful anew (which it would do ten times a second);
// a line that ends as a match once its end comes still shows.
TEST(FilterScreen, FollowReadsOnlyWhatArrivesWhileNothingShows)
{
    temp_home dir;
    std::string log = "error 1\n";
    const std::string hidden(99, 'o');
    while (log.size() < (8 << 20))
        log += hidden + "\n";
    const int lines = static_cast<int>(std::count(log.begin(), log.end(), '\n'));
    dir.write("log", log);
    auto s = start_in_dir(dir, {"-F", "-&error", "log"});
    ASSERT_TRUE(s);
    const std::string waiting = ": waiting for data (any key or interrupt stops)";
    ASSERT_TRUE(vt_row_is(*s, BOTTOM, "log [&error] line " + std::to_string(lines) + waiting));
    ASSERT_ROW(*s, 0, "error 1");
    long long before = bytes_read(*s);
    for (int i = 1; i <= 10; i++) {
        append_to_file(dir.path + "/log", hidden + "\n");
        ASSERT_TRUE(vt_row_is(*s, BOTTOM, "log [&error] line " + std::to_string(lines + i) +
                                              waiting));
    }
    EXPECT_LT(bytes_read(*s) - before, static_cast<long long>(log.size()));
    EXPECT_EQ(shown_rows(*s), std::vector<std::string>{"error 1"});
    // a hidden line not yet ended that ends as a match shows then
    append_to_file(dir.path + "/log", "ok\nerr");
    ASSERT_TRUE(vt_row_is(*s, BOTTOM, "log [&error] line " + std::to_string(lines + 11) + waiting));
    append_to_file(dir.path + "/log", "or 2\n");
    const std::vector<std::string> expected = {"error 1", "error 2"};
    EXPECT_TRUE(vt_wait(*s, [&](vt_session &v) { return shown_rows(v) == expected; }))
        << vt_screen(*s);
    play(*s, "x");
    play(*s, "q");
    EXPECT_EQ(vt_wait_exit(*s), 0);
}

// With -s a run of shown empty lines is one row, also where hidden lines
// stood between them.
TEST(FilterScreen, SqueezeAppliesToTheShownLines)
{
    temp_home dir;
    dir.write("text", "a 1\n\nb\n\n\nc\n\na 2\nb\n\na 3\n");
    auto s = start_in_dir(dir, {"-e", "-s", "-&!^[bc]", "text"});
    ASSERT_TRUE(s);
    ASSERT_ROW(*s, 22, "a 3");
    EXPECT_ROW(*s, 21, "");
    EXPECT_ROW(*s, 20, "a 2");
    EXPECT_ROW(*s, 19, "");
    EXPECT_ROW(*s, 18, "a 1");
    EXPECT_ROW(*s, 17, "");
}

}  // namespace
