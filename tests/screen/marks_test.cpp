// Marks on a real terminal: setting a mark with m and coming back with ',
// the rule that decides between a plain jump and a repaint with the mark's
// offset and wrapping, the last-position mark, marks in two files, a mark
// whose file has gone, and the messages for bad letters and unset marks.
//
// The fixtures are made in a directory of the test's own: "wide" has lines
// of 200 columns made of ten-column blocks "LLL.CCCCC," (line and column of
// the block), so that any 80 columns of a row tell both the line and the
// horizontal offset; "ab" and "cd" hold "ab line N" and "cd line N".  The
// screen is 24 rows of 80 columns: 23 rows of text.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "pager_session.h"

namespace {

const int ROWS = 24;
const int BOTTOM = ROWS - 1;
const int WIDE_COLUMNS = 200;

std::string wide_line(int line)
{
    std::string text;
    char block[16];
    for (int column = 0; column < WIDE_COLUMNS; column += 10) {
        snprintf(block, sizeof block, "%03d.%05d,", line, column);
        text += block;
    }
    return text;
}

// Row `row` of a screen whose top line is `line`, scrolled by `offset`
// columns with long lines cut at the edge.
std::string cut_row(int line, int row, int offset)
{
    return wide_line(line + row).substr(offset, 80);
}

std::string named_lines(const std::string &name, int count)
{
    std::string text;
    for (int i = 1; i <= count; i++)
        text += name + " line " + std::to_string(i) + "\n";
    return text;
}

// Keys of the tests' own: O puts the view at the typed column with long
// lines cut (0O at column 0), W makes long lines wrap again, M lists the
// marks.
const char marks_rc[] =
    "macro 1 O 'lscroll 99999; lscroll 1; rscroll 1; rscroll ${number}'\n"
    "macro 0 W 'lscroll 99999; lscroll 1'\n"
    "macro 0 M 'listbmarks'\n";

// A search path without the pager under test: the listing runs this very
// program, found without it.
std::string path_without_this_pager()
{
    return "/usr/bin:/bin";
}

struct marks_fixture {
    temp_home home;     // HOME, and the directory the pager runs in
    marks_fixture()
    {
        home.write(".vornrc", marks_rc);
        std::string wide;
        for (int line = 1; line <= 300; line++)
            wide += wide_line(line) + "\n";
        home.write("wide", wide);
        home.write("ab", named_lines("ab", 200));
        home.write("cd", named_lines("cd", 200));
    }

    vt_ptr start(const std::vector<std::string> &args) const
    {
        vt_options options;
        options.args = args;
        options.env = {{"HOME", home.path}, {"PATH", path_without_this_pager()}};
        options.rows = ROWS;
        options.cwd = home.path;
        return vt_start(options);
    }
};

// The top rows show line `line` onward at `offset` with lines cut.
::testing::AssertionResult shows_cut(vt_session &s, int line, int offset)
{
    for (int row : {0, 1, BOTTOM - 1}) {
        ::testing::AssertionResult same = vt_row_is(s, row, cut_row(line, row, offset));
        if (!same)
            return same << " (row " << row << ")";
    }
    return ::testing::AssertionSuccess();
}

// The top rows show line `line` wrapped over three rows, then the next.
::testing::AssertionResult shows_wrapped(vt_session &s, int line)
{
    const std::string text = wide_line(line);
    const std::string rows[] = {text.substr(0, 80), text.substr(80, 80),
                                text.substr(160), wide_line(line + 1).substr(0, 80)};
    for (int row = 0; row < 4; row++) {
        ::testing::AssertionResult same = vt_row_is(s, row, rows[row]);
        if (!same)
            return same << " (row " << row << ")";
    }
    return ::testing::AssertionSuccess();
}

// Waits for the short prompt of `name` on the bottom line: the keys typed
// before have all been served, and the screen above is final.
::testing::AssertionResult prompt_of(vt_session &s, const std::string &name)
{
    return vt_row_has(s, BOTTOM, name + " (");
}

// The default keys only: the arrows scroll, m and ' set and go.
TEST(MarkScreen, MarkBringsBackTopLineOffsetAndWrapping)
{
    marks_fixture f;
    vt_ptr s = f.start({"-e", "wide"});
    ASSERT_TRUE(s);
    ASSERT_TRUE(shows_wrapped(*s, 1));
    play(*s, "50g<right>30<right>");
    ASSERT_TRUE(shows_cut(*s, 50, 30));
    play(*s, "m");
    ASSERT_ROW_HAS(*s, BOTTOM, "set mark:");
    play(*s, "a");
    // away: another line, column 0, long lines wrapping again
    play(*s, "200g30<left><left>");
    ASSERT_TRUE(shows_wrapped(*s, 200));

    play(*s, "'");
    ASSERT_ROW_HAS(*s, BOTTOM, "goto mark:");
    play(*s, "a");
    EXPECT_TRUE(shows_cut(*s, 50, 30));
    play(*s, "=");
    EXPECT_ROW_HAS(*s, BOTTOM, "col 30");
    // The repaint put the view left behind into the last-position mark.
    play(*s, "''");
    EXPECT_TRUE(shows_wrapped(*s, 200));
}

// A mark at column 30 on 80 columns: an offset within a third of the width
// (26 columns) of the current one counts as the same layout, and the jump
// keeps the current offset; beyond it, and for another wrap setting, the
// screen is repainted with the mark's offset and wrapping.
TEST(MarkScreen, ThirdOfTheWidthDecidesWhoseOffsetIsShown)
{
    const int WRAPPED = -1;
    struct visit {
        char mark;
        const char *view_keys;  // the view the mark is visited from
        int shown_offset;       // WRAPPED: the mark's line wrapped
    } visits[] = {
        {'a', "10O", 10}, {'a', "0O", 30}, {'a', "4O", 4}, {'a', "3O", 30},
        {'a', "56O", 56}, {'a', "57O", 30}, {'a', "W", 30},
        {'b', "0O", WRAPPED}, {'b', "30O", WRAPPED}, {'b', "W", WRAPPED},
    };
    marks_fixture f;
    vt_ptr s = f.start({"-e", "wide"});
    ASSERT_TRUE(s);
    play(*s, "50g30Oma");
    ASSERT_TRUE(shows_cut(*s, 50, 30));
    play(*s, "100gWmb");
    ASSERT_TRUE(shows_wrapped(*s, 100));
    for (const visit &v : visits) {
        SCOPED_TRACE(std::string("mark ") + v.mark + " from " + v.view_keys);
        play(*s, std::string("200g") + v.view_keys);
        ASSERT_ROW_HAS(*s, 0, "200.");
        play(*s, std::string("'") + v.mark);
        if (v.shown_offset == WRAPPED) {
            EXPECT_TRUE(shows_wrapped(*s, 100));
        } else {
            EXPECT_TRUE(shows_cut(*s, 50, v.shown_offset));
        }
    }
}

// Each far jump leaves the view it left in the last-position mark, so the
// apostrophe goes back and forth between two views a screenful apart.
TEST(MarkScreen, ApostropheSwapsTwoFarViews)
{
    marks_fixture f;
    vt_ptr s = f.start({"-e", "ab"});
    ASSERT_TRUE(s);
    ASSERT_ROW(*s, 0, "ab line 1");
    // nothing remembered yet beyond the first screen: its file's beginning
    play(*s, "''");
    EXPECT_ROW(*s, 0, "ab line 1");
    play(*s, "100g");
    ASSERT_ROW(*s, 0, "ab line 100");
    for (int top : {1, 100, 1}) {
        SCOPED_TRACE(top);
        play(*s, "''");
        EXPECT_ROW(*s, 0, "ab line " + std::to_string(top));
        EXPECT_ROW(*s, BOTTOM - 1, "ab line " + std::to_string(top + 22));
    }
    // The end of the file is a far jump too.
    play(*s, "G");
    ASSERT_ROW(*s, 0, "ab line 178");
    play(*s, "''");
    EXPECT_ROW(*s, 0, "ab line 1");
    play(*s, "''");
    EXPECT_ROW(*s, 0, "ab line 178");
    EXPECT_ROW(*s, BOTTOM - 1, "ab line 200");
}

// A script runs before the first screen, when there is no view to go back
// to: the apostrophe mark is then nothing to go to, and no reason to stop.
TEST(MarkScreen, ApostropheFromAScriptBeforeTheFirstScreen)
{
    marks_fixture f;
    f.home.write(".vornrc", std::string(marks_rc) + "gomark \"'\"\n");
    vt_ptr s = f.start({"-e", "ab"});
    ASSERT_TRUE(s);
    ASSERT_TRUE(prompt_of(*s, "ab"));
    EXPECT_EQ(vt_row(*s, 0), "ab line 1");
    play(*s, "50g''");
    EXPECT_ROW(*s, 0, "ab line 1");
    play(*s, "''");
    EXPECT_ROW(*s, 0, "ab line 50");
}

// The pager on ab and cd with mark a on line 50 of ab and mark b on line 70
// of cd, showing cd.
vt_ptr start_with_marks_in_two_files(const marks_fixture &f)
{
    vt_ptr s = f.start({"-e", "ab", "cd"});
    if (!s)
        return s;
    play(*s, "50gma:n");
    EXPECT_ROW(*s, 0, "cd line 1");
    play(*s, "70gmb");
    EXPECT_ROW(*s, 0, "cd line 70");
    return s;
}

TEST(MarkScreen, MarksInTwoFiles)
{
    marks_fixture f;
    vt_ptr s = start_with_marks_in_two_files(f);
    ASSERT_TRUE(s);
    play(*s, "'a");
    EXPECT_ROW(*s, 0, "ab line 50");
    EXPECT_TRUE(prompt_of(*s, "ab"));
    play(*s, "'b");
    EXPECT_ROW(*s, 0, "cd line 70");
    EXPECT_TRUE(prompt_of(*s, "cd"));
}

// The top of a file left on the second row of a wrapped line (column 80 on
// 80 columns), and a mark set there, are no row's start once the window is
// 100 columns wide: coming back to the file (:e #), and going to the mark
// from the top of the file, show the row that holds the place, and the
// rows above and below join it as a repaint paints them (the line is not
// cut short above the place, nor begun again at it); after a window change
// the screen begins with the row holding the old top.
TEST(MarkScreen, PlaceFromAnotherWidthShowsTheRowHoldingIt)
{
    marks_fixture f;
    vt_ptr s = f.start({"-e", "wide", "ab"});
    ASSERT_TRUE(s);
    play(*s, "50gj");
    ASSERT_ROW(*s, 0, wide_line(50).substr(80, 80));
    play(*s, "ma:n");
    ASSERT_TRUE(prompt_of(*s, "ab"));
    vt_resize(*s, ROWS + 6, 100);
    ASSERT_ROW_HAS(*s, BOTTOM + 6, "ab (");     // the new size is served
    play(*s, ":e #<enter>");
    ASSERT_ROW_HAS(*s, BOTTOM + 6, "wide (");
    EXPECT_ROW(*s, 0, wide_line(50).substr(0, 100));
    EXPECT_ROW(*s, 1, wide_line(50).substr(100));
    play(*s, "k");
    EXPECT_ROW(*s, 0, wide_line(49).substr(100));
    EXPECT_ROW(*s, 1, wide_line(50).substr(0, 100));
    play(*s, "<^L>");
    EXPECT_ROW(*s, 1, wide_line(50).substr(0, 100));

    play(*s, "g'a");
    EXPECT_ROW(*s, 0, wide_line(50).substr(0, 100));
    EXPECT_ROW(*s, 1, wide_line(50).substr(100));

    // A window change shows the row holding the old top (column 100).
    play(*s, "j");
    ASSERT_ROW(*s, 0, wide_line(50).substr(100));
    vt_resize(*s, ROWS, 80);
    EXPECT_ROW(*s, 0, wide_line(50).substr(80, 80));
    EXPECT_ROW(*s, 1, wide_line(50).substr(160));
}

// The mark's file cannot be opened again: the reason is shown and the view
// stays as it was, rather than taking the mark's position in this file.
TEST(MarkScreen, MarkWhoseFileHasGoneLeavesTheView)
{
    marks_fixture f;
    vt_ptr s = start_with_marks_in_two_files(f);
    ASSERT_TRUE(s);
    play(*s, "'a");
    ASSERT_ROW(*s, 0, "ab line 50");
    ASSERT_EQ(std::remove((f.home.path + "/cd").c_str()), 0);
    play(*s, "'b");
    EXPECT_ROW(*s, BOTTOM, pressed("cd: No such file or directory"));
    play(*s, "<enter>");
    ASSERT_TRUE(prompt_of(*s, "ab"));
    EXPECT_EQ(vt_row(*s, 0), "ab line 50");
    EXPECT_EQ(vt_row(*s, BOTTOM - 1), "ab line 72");
}

TEST(MarkScreen, BadLettersAndUnsetMarks)
{
    const std::string choose = "Choose a letter between 'a' and 'z'";
    struct message_case {
        const char *keys;
        std::string message;
    } cases[] = {
        {"mA", choose}, {"m1", choose}, {"m'", choose}, {"'A", choose},
        {"'?", choose}, {"'q", "mark not set"}, {"'z", "mark not set"},
    };
    marks_fixture f;
    vt_ptr s = f.start({"-e", "ab"});
    ASSERT_TRUE(s);
    play(*s, "30g");
    ASSERT_ROW(*s, 0, "ab line 30");
    for (const message_case &c : cases) {
        SCOPED_TRACE(c.keys);
        play(*s, c.keys);
        EXPECT_ROW(*s, BOTTOM, pressed(c.message));
        play(*s, "<enter>");
        ASSERT_TRUE(prompt_of(*s, "ab"));
        EXPECT_EQ(vt_row(*s, 0), "ab line 30");
    }
    // RETURN at the question does nothing, and says nothing: the j after
    // it is a move, not the key that takes a message away.
    play(*s, "m<enter>'<enter>j");
    EXPECT_ROW(*s, 0, "ab line 31");
}

// A row of the listing as the pager shows it: tabs to the next column
// that is a multiple of eight.
std::string shown_row(const std::string &text)
{
    std::string row;
    for (char c : text) {
        if (c == '\t')
            row.append(8 - row.size() % 8, ' ');
        else
            row += c;
    }
    return row;
}

// Lists the marks (M) and checks the rows the pager shows, with the
// listing's prompt right below them (the listing fits the screen); then
// leaves the listing for the view `top` and checks that the listing's file,
// named on its prompt, is gone.
void check_listing(vt_session &s, const std::vector<std::string> &rows,
                   const std::string &top)
{
    play(s, "M");
    for (size_t row = 0; row < rows.size(); row++)
        EXPECT_ROW(s, static_cast<int>(row), shown_row(rows[row]));
    const int prompt_row = static_cast<int>(rows.size());
    ASSERT_TRUE(vt_row_has(s, prompt_row, ": END"));
    std::string prompt = vt_row(s, prompt_row);
    ASSERT_EQ(prompt.find("vorn."), 0u) << prompt;
    std::string listing = "/tmp/" + prompt.substr(0, prompt.find(':'));
    struct stat st;
    EXPECT_EQ(stat(listing.c_str(), &st), 0) << listing << " is not the listing";
    play(s, "q");
    EXPECT_ROW(s, 0, top);
    EXPECT_NE(stat(listing.c_str(), &st), 0) << listing << " was left behind";
}

// Marks in one file: no file column.  Lines 50 to 53 are equally long, so
// the last of them is the sample.  The far jump to line 50 left the first
// screen in the last-position mark.
TEST(MarkScreen, ListingOfMarksInOneFile)
{
    marks_fixture f;
    vt_ptr s = f.start({"-e", "ab"});
    ASSERT_TRUE(s);
    play(*s, "50gma");
    ASSERT_ROW(*s, 0, "ab line 50");
    check_listing(*s, {"key\tline#\tkeyline", "", "a\t50\tab line 53", "'\t1\tab line 4"},
                  "ab line 50");
    EXPECT_TRUE(prompt_of(*s, "ab"));
}

// Marks in two files with names of two letters: the column takes the width
// of the longest name, and its heading is cut to it.
TEST(MarkScreen, ListingOfMarksInTwoFiles)
{
    marks_fixture f;
    vt_ptr s = start_with_marks_in_two_files(f);
    ASSERT_TRUE(s);
    check_listing(*s, {"key\tfi\tline#\tkeyline", "", "a\tab\t50\tab line 53",
                       "b\tcd\t70\tcd line 73", "'\tcd\t1\tcd line 4"},
                  "cd line 70");
    EXPECT_TRUE(prompt_of(*s, "cd"));
}

}  // namespace

// Whatever ends the listing, or the pager behind it, its file goes: the
// interrupt key (the viewer ends, the pager goes on), a termination signal
// or a hang-up reaching the pager while the viewer runs, with the hang-up
// signal caught or ignored.
TEST(MarkScreen, ListingLeavesNoFileWhateverEndsIt)
{
    struct {
        const char *name;
        bool ignore_sighup;
        void (*end)(vt_session &);
        int status;             // of the pager; -1: it is still running
    } cases[] = {
        {"interrupt key", false, [](vt_session &s) { vt_key(s, "^C"); }, -1},
        {"termination signal", false, [](vt_session &s) { vt_signal(s, SIGTERM); },
         128 + SIGTERM},
        {"hang-up", false, [](vt_session &s) { vt_hangup(s); }, 128 + SIGHUP},
        {"hang-up, signal ignored", true, [](vt_session &s) { vt_hangup(s); }, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        marks_fixture f;
        vt_options options;
        options.args = {"-e", "ab"};
        options.env = {{"HOME", f.home.path}, {"PATH", path_without_this_pager()}};
        options.cwd = f.home.path;
        options.ignore_sighup = c.ignore_sighup;
        vt_ptr s = vt_start(options);
        ASSERT_TRUE(s);
        play(*s, "50gma");
        ASSERT_ROW(*s, 0, "ab line 50");
        play(*s, "M");
        ASSERT_TRUE(vt_row_has(*s, 4, ": END"));
        std::string prompt = vt_row(*s, 4);
        ASSERT_EQ(prompt.find("vorn."), 0u) << prompt;
        std::string listing = "/tmp/" + prompt.substr(0, prompt.find(':'));
        struct stat st;
        ASSERT_EQ(stat(listing.c_str(), &st), 0) << listing << " is not the listing";
        c.end(*s);
        if (c.status == -1) {
            EXPECT_ROW(*s, 0, "ab line 50");
            EXPECT_TRUE(wait_for(*s, [&] { return stat(listing.c_str(), &st) != 0; }))
                << listing << " was left behind";
            vt_type(*s, "q");
            EXPECT_EQ(vt_wait_exit(*s), 0);
        } else {
            EXPECT_EQ(vt_wait_exit(*s), c.status);
        }
        EXPECT_NE(stat(listing.c_str(), &st), 0) << listing << " was left behind";
        unlink(listing.c_str());
    }
}
