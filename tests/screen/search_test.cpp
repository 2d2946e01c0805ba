// Searching on a real terminal: the prompts of / and ?, the "!" for lines
// that do not match, RETURN alone and a cancelled prompt, the directions
// of n and N after each kind of search, the -/ and +/ options, and a
// window change while a search waits for more of a pipe.  The fixture
// numbered200.txt holds "line 1" to "line 200"; the screen has 23 rows of
// text, so the top row tells where the view is.
#include <sys/ioctl.h>

#include <string>
#include <vector>

#include "pager_session.h"

namespace {

const int ROWS = 24;
const int BOTTOM = ROWS - 1;

TEST(SearchScreen, PromptsAndRepeats)
{
    temp_home home;
    struct search_case {
        const char *name;
        std::vector<key_step> steps;
    };
    const std::vector<search_case> cases = {
        {"/ then n and N",
         {{"/", "line 1", "Search: /"},
          {"5$", "", "Search: /5$"},
          {"<enter>", "line 5", "numbered200.txt"},
          {"n", "line 15", ""},
          {"3n", "line 45", ""},
          {"N", "line 35", ""}}},
        {"? then n and N",
         {{"100g", "line 100", ""},
          {"?", "", "Search: ?"},
          {"5$<enter>", "line 95", ""},
          {"n", "line 85", ""},
          {"N", "line 95", ""}}},
        {"/! finds lines that do not match",
         {{"/!", "", "Search: !/"},
          {"line [1-9]$<enter>", "line 10", ""},
          {"n", "line 11", ""},
          {"N", "line 10", ""}}},
        {"?! backward",
         {{"50g", "line 50", ""},
          {"?!", "", "Search: !?"},
          {"[0-8]$<enter>", "line 49", ""},
          {"n", "line 39", ""}}},
        {"RETURN alone repeats the last pattern, matching again",
         {{"/!1$<enter>", "line 2", ""},
          {"/<enter>", "line 11", ""},
          {"n", "line 21", ""}}},
        {"RETURN alone with no pattern before",
         {{"/<enter>", "line 1", pressed("No previous regular expression")},
          {"<enter>", "line 1", "numbered200.txt"}}},
        {"n with no pattern before",
         {{"n", "line 1", pressed("No previous regular expression")}}},
        {"not found",
         {{"/nosuch<enter>", "line 1", pressed("Pattern not found")},
          {"<enter>", "line 1", "numbered200.txt"},
          {"n", "line 1", pressed("Pattern not found")}}},
        {"a bad expression",
         {{"/5$<enter>", "line 5", ""},
          {"/(<enter>", "line 5", "(press RETURN)"},
          {"<enter>n", "line 5", pressed("No previous regular expression")}}},
    };
    for (const search_case &c : cases) {
        SCOPED_TRACE(c.name);
        vt_ptr s = start_at_line_1(home);
        ASSERT_TRUE(s);
        run_steps(*s, c.steps, BOTTOM);
    }
}

TEST(SearchScreen, ACancelledPromptSearchesNothing)
{
    temp_home home;
    for (int two_reads = 0; two_reads <= 1; two_reads++) {
        SCOPED_TRACE(two_reads ? "cancelled in the pattern" : "cancelled at the first key");
        vt_ptr s = start_at_line_1(home);
        ASSERT_TRUE(s);
        play(*s, "/9$<enter>");
        ASSERT_ROW(*s, 0, "line 9");
        play(*s, two_reads ? "/!x" : "/");
        ASSERT_ROW_HAS(*s, BOTTOM, two_reads ? "Search: !/x" : "Search: /");
        play(*s, kill_key(*s));
        EXPECT_ROW_HAS(*s, BOTTOM, "numbered200.txt");
        EXPECT_ROW(*s, 0, "line 9");
        // the sense the prompt set stays: after "!" n looks for other lines
        play(*s, "n");
        EXPECT_ROW(*s, 0, two_reads ? "line 10" : "line 19");
    }
}

TEST(SearchScreen, FirstScreenAtTheFirstMatch)
{
    temp_home home;
    struct option_case {
        std::vector<std::string> args;
        std::string message;    // shown before the first screen, "" = none
        std::string top;
        key_step after;             // the option's pattern is the last one
    };
    const std::vector<option_case> cases = {
        {{"-/", "line 5[0-9]$", "numbered200.txt"}, "", "line 50", {"n", "line 51", ""}},
        {{"+/77", "numbered200.txt"}, "", "line 77", {"n", "line 177", ""}},
        {{"-/^line 1$", "numbered200.txt"}, "", "line 1",
         {"n", "line 1", pressed("Pattern not found")}},
        {{"-/", "nosuch", "numbered200.txt"}, pressed("Pattern not found"), "line 1",
         {"n", "line 1", pressed("Pattern not found")}},
    };
    for (const option_case &c : cases) {
        SCOPED_TRACE(c.args[0] + (c.args.size() > 2 ? " " + c.args[1] : ""));
        vt_ptr s = start_pager(home, c.args, ROWS);
        ASSERT_TRUE(s);
        if (!c.message.empty()) {
            ASSERT_ROW_HAS(*s, BOTTOM, c.message);
            play(*s, "<enter>");
        }
        EXPECT_ROW(*s, 0, c.top);
        EXPECT_ROW_HAS(*s, BOTTOM, "numbered200.txt");
        run_steps(*s, {c.after}, BOTTOM);
    }
}

// A match in a long text line lies in one of the pieces the search reads
// it in, which begin where no display line does: the screen must start
// with a row of the line as a move through it shows (rows of 80 columns
// from the line's start, here each beginning with "r").
TEST(SearchScreen, MatchInALongLineStartsAtItsRow)
{
    temp_home home;
    std::string line;
    for (int i = 0; i < 250; i++)
        line += "r" + std::string(79, '.');
    line.replace(12345, 5, "MATCH");
    home.write("long.txt", line + "\nend\n");
    const std::vector<std::string> searches = {"/MATCH<enter>", "G?MATCH<enter>"};
    for (const std::string &keys : searches) {
        SCOPED_TRACE(keys);
        vt_ptr s = start_pager(home, {"-e", home.path + "/long.txt"}, ROWS);
        ASSERT_TRUE(s);
        ASSERT_ROW(*s, BOTTOM, "long.txt (8%)");
        play(*s, keys);
        // the search is done once the prompt shows another place
        ASSERT_TRUE(vt_wait(*s, [](vt_session &v) {
            std::string prompt = vt_row(v, BOTTOM);
            return prompt.rfind("long.txt (", 0) == 0 && prompt != "long.txt (8%)";
        })) << vt_screen(*s);
        for (int row = 0; row < 2; row++)
            EXPECT_EQ(vt_row(*s, row).substr(0, 2), "r.") << vt_screen(*s);
    }
}

// Bytes still to be read by the pager from its standard input pipe.
bool pipe_drained(vt_session &s)
{
    int queued = 0;
    return s.stdin_pending.empty() && ioctl(s.stdin_fd, FIONREAD, &queued) == 0 &&
           queued == 0;
}

// A window change during a long search of a pipe (the search reads or
// waits for more) ends the search without a word, the screen stays where
// it was, and the expression stays for n.
TEST(SearchScreen, AWindowChangeEndsASearchQuietly)
{
    vt_options options;
    options.args = {"-e"};
    options.stdin_pipe = true;
    options.stdin_keep_open = true;
    std::string text;
    for (int i = 1; i <= 40; i++)
        text += "piped " + std::to_string(i) + "\n";
    options.stdin_data = text;
    vt_ptr s = vt_start(options);
    ASSERT_TRUE(s);
    ASSERT_ROW(*s, 0, "piped 1");
    std::string filler;
    for (int i = 1; i <= 20000; i++)
        filler += "filler " + std::to_string(i) + "\n";
    vt_stdin_write(*s, filler);
    ASSERT_FALSE(pipe_drained(*s));
    // the pipe empties only once the search has begun reading it
    play(*s, "/needle<enter>");
    // (nothing the pager writes marks the moment: look again and again)
    bool drained = false;
    for (int tries = 0; tries < 200 && !drained; tries++)
        drained = vt_wait(*s, pipe_drained, 100);
    ASSERT_TRUE(drained);
    vt_resize(*s, 30, 80);
    EXPECT_ROW(*s, 28, "piped 29");
    EXPECT_ROW(*s, 0, "piped 1");
    EXPECT_FALSE(vt_wait(*s, [](vt_session &v) {
        return vt_screen(v).find("not found") != std::string::npos;
    }, 300));
    vt_stdin_write(*s, "more\nthe needle\nrest\n");
    vt_stdin_close(*s);
    play(*s, "n");
    // near the end the lines found are painted at the bottom
    EXPECT_ROW(*s, 27, "the needle");
    vt_key(*s, "^C");
    EXPECT_EQ(vt_wait_exit(*s), 0);
}

}  // namespace
