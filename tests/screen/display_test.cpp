// The display as a user sees it through the real binary: short files and
// the end of the program, the prompt for files and for standard input,
// attributes and caret forms, backward moves on a terminal that cannot
// insert lines, a growing window, squeezing and wrapped lines.
#include <string>
#include <vector>

#include "pager_session.h"

namespace {

// "line 1" to "line count".
std::string numbered(int count)
{
    std::string text;
    for (int i = 1; i <= count; i++)
        text += "line " + std::to_string(i) + "\n";
    return text;
}

vt_ptr start_on(const temp_home &home, std::vector<std::string> args, int rows = 24,
                const std::string &term = "xterm")
{
    vt_options options;
    options.term = term;
    options.args = std::move(args);
    options.rows = rows;
    options.cwd = home.path;
    options.env = {{"HOME", home.path}, {"TERMINFO", vt_terminfo_dir()}};
    return vt_start(options);
}

// Rows from..to (inclusive) hold "line first", "line first + 1", ...
::testing::AssertionResult shows_lines(vt_session &s, int from, int to, int first)
{
    for (int row = from; row <= to; row++) {
        ::testing::AssertionResult shown =
            vt_row_is(s, row, "line " + std::to_string(first + row - from));
        if (!shown)
            return shown;
    }
    return ::testing::AssertionSuccess();
}

TEST(DisplayScreen, ShortFileEndsTheProgramUnlessE)
{
    temp_home home;
    home.write("three.txt", "one\ntwo\nthree\n");
    vt_ptr s = start_on(home, {"three.txt"});
    ASSERT_TRUE(s);
    EXPECT_EQ(vt_wait_exit(*s), 0);

    // with -e the text stays, and the prompt is drawn right below it
    s = start_on(home, {"-e", "three.txt"});
    ASSERT_TRUE(s);
    EXPECT_ROW(*s, 23, "three.txt: END");
    EXPECT_ROW(*s, 20, "one");
    EXPECT_ROW(*s, 22, "three");
    EXPECT_TRUE(vt_attr(*s, 23, 0).reverse);
    vt_type(*s, "q");
    EXPECT_EQ(vt_wait_exit(*s), 0);
}

// Overstruck text: each character after an underscore and a backspace
// (underlined), or after itself and a backspace (bold).
std::string underlined(const std::string &text)
{
    std::string struck;
    for (char c : text)
        struck += std::string{'_', '\b', c};
    return struck;
}

std::string bold(const std::string &text)
{
    std::string struck;
    for (char c : text)
        struck += std::string{c, '\b', c};
    return struck;
}

// "one", "two" underlined, "three" in bold.
std::string styled_three_lines()
{
    return "one\n" + underlined("two") + "\n" + bold("three") + "\n";
}

int filled_rows(vt_session &s)
{
    int filled = 0;
    for (int row = 0; row < 24; row++)
        filled += !vt_row(s, row).empty();
    return filled;
}

TEST(DisplayScreen, TheLastScreenStaysAfterTheEnd)
{
    // A text the first screen holds whole ends the program at once: it is
    // written once, as cat writes it, from where the cursor is (on xterm
    // where the shell left it, the alternate screen left unpainted; on
    // vt100 at the bottom), with its attributes, the cursor below it.  Also
    // on a terminal that ignores the description's switch to an alternate
    // screen, where a painted first screen and the end's copy of it would
    // both stay.  After paging to the end of a longer text xterm's end
    // sequence leaves the alternate screen, taking the pager's text with
    // it: the lines of the last screen are written again where the
    // terminal returns.  vt100 keeps what was written: nothing is
    // repeated.  Quitting elsewhere than at the end (here with -e) repeats
    // nothing.
    temp_home home;
    home.write("three.txt", styled_three_lines());
    home.write("numbers", numbered(100));
    struct end_case {
        const char *term;
        std::vector<std::string> args;
        const char *wait_for;   // on row 0 before the keys, or "" for none
        const char *keys;
        int first_row;          // where "one" or the last page begins
        int filled;             // rows holding text after the end
        std::pair<int, int> cursor;
    };
    const std::vector<end_case> cases = {
        {"xterm", {"three.txt"}, "", "", 0, 3, {3, 0}},
        {"vt100", {"three.txt"}, "", "", 20, 3, {23, 0}},
        {"vorn-noswitch", {"three.txt"}, "", "", 20, 3, {23, 0}},
        {"xterm", {"numbers"}, "line 1", "    ", 0, 23, {23, 0}},
        {"vt100", {"numbers"}, "line 1", "    ", 0, 23, {23, 0}},
        {"xterm", {"-e", "numbers"}, "line 1", "    q", 0, 0, {0, 0}},
    };
    for (const end_case &c : cases) {
        SCOPED_TRACE(std::string(c.term) + " " + c.args.back() + " keys \"" + c.keys + "\"");
        vt_ptr s = start_on(home, c.args, 24, c.term);
        ASSERT_TRUE(s);
        if (c.wait_for[0] != '\0') {
            ASSERT_TRUE(vt_wait_row(*s, 0, c.wait_for)) << vt_screen(*s);
        }
        vt_type(*s, c.keys);
        ASSERT_EQ(vt_wait_exit(*s), 0) << vt_screen(*s);
        EXPECT_EQ(filled_rows(*s), c.filled) << vt_screen(*s);
        EXPECT_EQ(vt_cursor(*s), c.cursor) << vt_screen(*s);
        if (c.filled == 3) {
            EXPECT_ROW(*s, c.first_row, "one");
            EXPECT_ROW(*s, c.first_row + 1, "two");
            EXPECT_ROW(*s, c.first_row + 2, "three");
            EXPECT_FALSE(vt_attr(*s, c.first_row, 0).underline);
            EXPECT_TRUE(vt_attr(*s, c.first_row + 1, 0).underline);
            EXPECT_TRUE(vt_attr(*s, c.first_row + 2, 4).bold);
            EXPECT_FALSE(vt_attr(*s, c.first_row + 2, 4).underline);
        } else if (c.filled == 23) {
            EXPECT_TRUE(shows_lines(*s, c.first_row, c.first_row + 22, 78));
        }
    }
}

TEST(DisplayScreen, EndOfTheFirstOfTwoFiles)
{
    temp_home home;
    home.write("a.txt", "first file\n");
    home.write("b.txt", "second file\n");
    vt_ptr s = start_on(home, {"a.txt", "b.txt"});
    ASSERT_TRUE(s);
    EXPECT_ROW(*s, 23, "a.txt: END (next file: b.txt)");
    EXPECT_ROW(*s, 22, "first file");
    // a forward move at the end goes on to the next file, whose end ends
    // the program
    vt_type(*s, " ");
    EXPECT_EQ(vt_wait_exit(*s), 0);
}

TEST(DisplayScreen, PromptForAFileAndForStandardInput)
{
    temp_home home;
    const std::string text = numbered(100);
    home.write("numbers", text);
    const size_t line_23 = text.find("line 23\n");

    vt_ptr s = start_on(home, {"-e", "numbers"});
    ASSERT_TRUE(s);
    ASSERT_TRUE(shows_lines(*s, 0, 22, 1));
    std::string percent = std::to_string(line_23 * 100 / text.size());
    EXPECT_ROW(*s, 23, "numbers (" + percent + "%)");
    vt_type(*s, "=");
    EXPECT_ROW(*s, 23, "numbers: file 1/1 line 23 col 0 byte " + std::to_string(line_23) +
                           "/" + std::to_string(text.size()) + " pct " + percent + "%");

    vt_options options;
    options.args = {"-e"};
    options.stdin_pipe = true;
    options.stdin_data = text;
    options.env = {{"HOME", home.path}};
    s = vt_start(options);
    ASSERT_TRUE(s);
    ASSERT_TRUE(shows_lines(*s, 0, 22, 1));
    EXPECT_ROW(*s, 23, "stdin");
    vt_type(*s, "=");
    EXPECT_ROW(*s, 23, "stdin: line 23 col 0 byte " + std::to_string(line_23));
    vt_type(*s, "=G");
    EXPECT_ROW(*s, 23, "stdin: END");
    EXPECT_TRUE(shows_lines(*s, 0, 22, 78));
}

TEST(DisplayScreen, AttributesAndCaretForms)
{
    temp_home home;
    std::string text = "plain " + underlined("under") + " " + bold("BOLD");
    text += "\tx\x01y\r\n";
    text += "mid\rdle\n";
    home.write("styled", text);

    struct style_case {
        std::vector<std::string> args;
        std::string row0;
        std::string row1;
        bool attributes;
    };
    const std::vector<style_case> cases = {
        {{"-e", "styled"}, "plain under BOLD        x^Ay", "mid^Mdle", true},
        // -u: the backspaces overprint, and the carriage return shows
        {{"-e", "-u", "styled"}, "plain under BOLD        x^Ay^M", "mid^Mdle", false},
    };
    for (const style_case &c : cases) {
        SCOPED_TRACE(c.args[1]);
        vt_ptr s = start_on(home, c.args);
        ASSERT_TRUE(s);
        ASSERT_TRUE(vt_wait_contains(*s, 23, "END")) << vt_screen(*s);
        int top = 21;   // two lines, painted at the bottom
        EXPECT_ROW(*s, top, c.row0);
        EXPECT_ROW(*s, top + 1, c.row1);
        EXPECT_EQ(vt_attr(*s, top, 6).underline, c.attributes);
        EXPECT_EQ(vt_attr(*s, top, 12).bold, c.attributes);
        if (c.attributes) {
            EXPECT_FALSE(vt_attr(*s, top, 5).underline);
            for (int col = 6; col <= 10; col++)
                EXPECT_TRUE(vt_attr(*s, top, col).underline) << col;
            EXPECT_FALSE(vt_attr(*s, top, 11).underline);
            for (int col = 12; col <= 15; col++)
                EXPECT_TRUE(vt_attr(*s, top, col).bold) << col;
            EXPECT_FALSE(vt_attr(*s, top, 16).bold);
        }
    }
}

TEST(DisplayScreen, BackwardMovesOnATerminalWithoutInsertLine)
{
    temp_home home;
    home.write("numbers", numbered(200));
    for (const char *term : {"xterm", "vorn-display-noal"}) {
        SCOPED_TRACE(term);
        vt_ptr s = start_on(home, {"-e", "numbers"}, 24, term);
        ASSERT_TRUE(s);
        ASSERT_TRUE(shows_lines(*s, 0, 22, 1));
        vt_type(*s, "   ");
        ASSERT_TRUE(shows_lines(*s, 0, 22, 70));
        vt_type(*s, "k");
        EXPECT_TRUE(shows_lines(*s, 0, 22, 69));
        vt_type(*s, "b");
        EXPECT_TRUE(shows_lines(*s, 0, 22, 46));
        vt_type(*s, "5k");
        EXPECT_TRUE(shows_lines(*s, 0, 22, 41));
        EXPECT_ROW_HAS(*s, 23, "numbers (");
    }
}

TEST(DisplayScreen, JumpToTheEndShowsTheSkippingLine)
{
    temp_home home;
    home.write("numbers", numbered(200));
    vt_ptr s = start_on(home, {"-e", "numbers"});
    ASSERT_TRUE(s);
    ASSERT_TRUE(shows_lines(*s, 0, 22, 1));
    vt_type(*s, "100p");
    EXPECT_ROW(*s, 22, "...skipping...");
    EXPECT_ROW(*s, 23, "numbers: END");
    vt_type(*s, "G");
    EXPECT_TRUE(shows_lines(*s, 0, 22, 178));
}

// With -c a page forward clears the screen and paints from the top; where
// the text ends before the screen is full, its last lines stay on the top
// rows, and the pager must know that is what the screen shows: a repaint
// gives the same rows, a line back opens above the top row shown.
TEST(DisplayScreen, ClearedPageThatReachesTheEnd)
{
    temp_home home;
    home.write("numbers", numbered(30));
    vt_ptr s = start_on(home, {"-e", "-c", "numbers"});
    ASSERT_TRUE(s);
    ASSERT_TRUE(shows_lines(*s, 0, 22, 1));
    vt_type(*s, " ");
    ASSERT_ROW(*s, 23, "numbers: END");
    EXPECT_TRUE(shows_lines(*s, 0, 6, 24));
    EXPECT_ROW(*s, 7, "");
    // marked behind the pager's back: only its repaint takes the mark away
    vt_feed(*s, "\x1b[1;1HMARK\x1b[K\x1b[24;1H");
    vt_type(*s, "\x0c");
    ASSERT_TRUE(vt_wait(*s, [](vt_session &v) { return vt_row(v, 0) != "MARK"; }));
    EXPECT_TRUE(shows_lines(*s, 0, 6, 24)) << vt_screen(*s);
    EXPECT_ROW(*s, 7, "");
    vt_type(*s, "k");
    EXPECT_TRUE(shows_lines(*s, 0, 7, 23)) << vt_screen(*s);
}

// G on a file that fits the screen shows it from the top row, and the
// prompt still goes to the bottom line, not over a line of the text.
TEST(DisplayScreen, JumpToTheEndOfAShortFileKeepsThePromptAtTheBottom)
{
    temp_home home;
    home.write("ten", numbered(10));
    vt_ptr s = start_on(home, {"-e", "ten"});
    ASSERT_TRUE(s);
    ASSERT_TRUE(shows_lines(*s, 13, 22, 1));
    vt_type(*s, "G");
    EXPECT_ROW(*s, 23, "ten: END");
    EXPECT_TRUE(shows_lines(*s, 0, 9, 1));
    EXPECT_ROW(*s, 10, "");
}

TEST(DisplayScreen, WindowThatGrowsAndShrinks)
{
    temp_home home;
    home.write("numbers", numbered(200));
    vt_ptr s = start_on(home, {"-e", "numbers"});
    ASSERT_TRUE(s);
    ASSERT_TRUE(shows_lines(*s, 0, 22, 1));
    vt_type(*s, "9j");
    ASSERT_TRUE(shows_lines(*s, 0, 22, 10));
    // a key typed before the new size is served could be dropped with the
    // command: wait for the prompt on the new bottom line first
    vt_resize(*s, 60, 80);
    ASSERT_ROW_HAS(*s, 59, "numbers (");
    EXPECT_TRUE(shows_lines(*s, 0, 58, 10));
    vt_type(*s, " ");
    EXPECT_TRUE(shows_lines(*s, 0, 58, 69));
    vt_type(*s, "b");
    EXPECT_TRUE(shows_lines(*s, 0, 58, 10));
    vt_resize(*s, 12, 80);
    ASSERT_ROW_HAS(*s, 11, "numbers (");
    EXPECT_TRUE(shows_lines(*s, 0, 10, 10));
    vt_type(*s, "G");
    EXPECT_TRUE(shows_lines(*s, 0, 10, 190));
}

TEST(DisplayScreen, SqueezedAndWrappedLines)
{
    temp_home home;
    std::string text;
    for (int i = 1; i <= 30; i++)
        text += "para " + std::to_string(i) + "\n\n\n\n";
    home.write("paras", text);
    vt_ptr s = start_on(home, {"-e", "-s", "paras"});
    ASSERT_TRUE(s);
    EXPECT_ROW(*s, 0, "para 1");
    EXPECT_ROW(*s, 1, "");
    EXPECT_ROW(*s, 2, "para 2");
    EXPECT_ROW(*s, 22, "para 12");
    vt_type(*s, "4j");
    EXPECT_ROW(*s, 0, "para 3");
    EXPECT_ROW(*s, 1, "");
    vt_type(*s, "3k");
    EXPECT_ROW(*s, 0, "");
    EXPECT_ROW(*s, 1, "para 2");

    // a line three rows long wraps, and moves row by row both ways
    home.write("long", "top\n" + std::string(200, 'a') + "\nafter\n" + numbered(40));
    s = start_on(home, {"-e", "long"});
    ASSERT_TRUE(s);
    EXPECT_ROW(*s, 1, std::string(80, 'a'));
    EXPECT_ROW(*s, 3, std::string(40, 'a'));
    EXPECT_ROW(*s, 4, "after");
    vt_type(*s, "2j");
    EXPECT_ROW(*s, 0, std::string(80, 'a'));
    EXPECT_ROW(*s, 1, std::string(40, 'a'));
    vt_type(*s, "j");
    EXPECT_ROW(*s, 0, std::string(40, 'a'));
    vt_type(*s, "k");
    EXPECT_ROW(*s, 0, std::string(80, 'a'));
    EXPECT_ROW(*s, 1, std::string(40, 'a'));
    vt_type(*s, "2k");
    EXPECT_ROW(*s, 0, "top");
    EXPECT_ROW(*s, 1, std::string(80, 'a'));
}

}  // namespace
