// Filtering on a real terminal: & and its prompt, the moves over the lines
// shown (pages, lines, G, g with the file's line numbers, percentages,
// marks), the prompt naming the filter and the file's line numbers, an
// inverted filter, a filter with no match, clearing it, a search while
// filtered, the -& option, the interrupt key during a filtered walk on an
// endless pipe, a growing file followed through a filter, and -s squeezing
// the shown lines.  The fixture numbered200.txt holds "line 1" to
// "line 200"; the screen has 23 rows of text.
#include <sys/stat.h>

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
    // the rows that show a line, top to bottom
    auto shown = [](vt_session &v) {
        std::vector<std::string> lines;
        for (int row = 0; row < BOTTOM; row++)
            if (!vt_row(v, row).empty())
                lines.push_back(vt_row(v, row));
        return lines;
    };
    const std::vector<std::string> expected = {"error 1", "error 2", "error 3"};
    EXPECT_TRUE(vt_wait(*s, [&](vt_session &v) { return shown(v) == expected; }))
        << vt_screen(*s);
    EXPECT_ROW_HAS(*s, BOTTOM, "log [&error] line 11: waiting");
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
