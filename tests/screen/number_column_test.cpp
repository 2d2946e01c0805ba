// The line-number column (-N, the numbers command and its toggle), on a
// real terminal: each text line's number right-aligned in the columns left
// of the text, blank on the later rows of a wrapped line; the text wraps in
// the columns that remain; the column stays where it is through moves,
// horizontal scrolls, searches, highlighting, colours, squeezing and
// following.  The screen is 24 rows of 80 columns: 23 rows of text.
#include <string>
#include <vector>

#include "pager_session.h"

namespace {

const int ROWS = 24;
const int BOTTOM = ROWS - 1;

// The row the column shows for `line` and the text after it.
std::string numbered_row(int line, const std::string &text)
{
    std::string number = std::to_string(line);
    return std::string(number.size() < 7 ? 7 - number.size() : 0, ' ') + number + " " + text;
}

vt_ptr start(const temp_home &home, const std::vector<std::string> &args)
{
    vt_options options;
    options.unset_env = {"VORN"};
    options.rows = ROWS;
    return start_in_dir(home, args, options);
}

struct number_case {
    const char *name;
    const char *keys;
    std::vector<std::pair<int, std::string>> rows;   // row, what it shows
};

TEST(NumberColumn, MovesKeepTheNumbersOfTheFile)
{
    temp_home home;
    home.write("numbered", numbered_text(1, 200));
    const number_case cases[] = {
        {"first screen", "", {{0, numbered_row(1, "line 1")}, {22, numbered_row(23, "line 23")}}},
        {"a line on", "j", {{0, numbered_row(2, "line 2")}, {22, numbered_row(24, "line 24")}}},
        {"and back", "jjk", {{0, numbered_row(2, "line 2")}}},
        {"a page", " ", {{0, numbered_row(24, "line 24")}, {22, numbered_row(46, "line 46")}}},
        {"the end", "G", {{0, numbered_row(178, "line 178")}, {22, numbered_row(200, "line 200")}}},
        {"a line", "100g", {{0, numbered_row(100, "line 100")}}},
        {"a search", "/line 150$\n", {{0, numbered_row(150, "line 150")}}},
        {"back a page from the end", "Gb", {{0, numbered_row(155, "line 155")}}},
        {"scrolled right", "<tab><right><right><right><right><right>",
         {{0, numbered_row(1, "1")}, {9, numbered_row(10, "10")}}},
        {"repainted", "jj<^L>", {{0, numbered_row(3, "line 3")}}},
    };
    for (const number_case &c : cases) {
        SCOPED_TRACE(c.name);
        vt_ptr s = start(home, {"-e", "-N", "numbered"});
        ASSERT_TRUE(s);
        ASSERT_TRUE(vt_wait_row(*s, 0, numbered_row(1, "line 1"))) << vt_screen(*s);
        play(*s, c.keys);
        for (const auto &[row, text] : c.rows)
            EXPECT_TRUE(vt_wait_row(*s, row, text)) << row << "\n" << vt_screen(*s);
    }
}

// A long line wraps in the 72 columns right of the column; its later rows
// leave the column blank.  Squeezed empty lines keep the file's numbers.
TEST(NumberColumn, WrappedAndSqueezedLines)
{
    temp_home home;
    std::string xs(100, 'x');
    home.write("long", "first\n" + xs + "\n" + numbered_text(3, 60));
    home.write("gaps", "a\n\n\n\nb\n" + numbered_text(6, 60));
    vt_ptr s = start(home, {"-e", "-N", "long"});
    ASSERT_TRUE(s);
    EXPECT_TRUE(vt_wait_row(*s, 1, numbered_row(2, xs.substr(0, 72)))) << vt_screen(*s);
    EXPECT_EQ(vt_row(*s, 0), numbered_row(1, "first"));
    EXPECT_EQ(vt_row(*s, 2), std::string(8, ' ') + xs.substr(72));
    EXPECT_EQ(vt_row(*s, 3), numbered_row(3, "line 3"));
    // two rows on: the wrapped row on top has no number
    play(*s, "jj");
    EXPECT_TRUE(vt_wait_row(*s, 0, std::string(8, ' ') + xs.substr(72))) << vt_screen(*s);
    EXPECT_TRUE(vt_wait_row(*s, 22, numbered_row(24, "line 24"))) << vt_screen(*s);
    play(*s, "k");
    EXPECT_TRUE(vt_wait_row(*s, 0, numbered_row(2, xs.substr(0, 72)))) << vt_screen(*s);

    vt_ptr squeezed = start(home, {"-e", "-N", "-s", "gaps"});
    ASSERT_TRUE(squeezed);
    EXPECT_TRUE(vt_wait_row(*squeezed, 2, numbered_row(5, "b"))) << vt_screen(*squeezed);
    EXPECT_EQ(vt_row(*squeezed, 0), numbered_row(1, "a"));
    EXPECT_EQ(vt_row(*squeezed, 1), "      2");
    EXPECT_EQ(vt_row(*squeezed, 3), numbered_row(6, "line 6"));
    play(*squeezed, "G");
    EXPECT_TRUE(vt_wait_row(*squeezed, 22, numbered_row(60, "line 60"))) << vt_screen(*squeezed);
}

TEST(NumberColumn, CommandAndToggle)
{
    temp_home home;
    home.write("numbered", numbered_text(1, 200));
    home.write(".vornrc", "macro 0 x 'numbers (${_numbers_n} + 1)'\n"
                          "macro 0 w 'error \"numbers ${_numbers_s}\"'\n");
    vt_ptr s = start(home, {"-e", "numbered"});
    ASSERT_TRUE(s);
    ASSERT_TRUE(vt_wait_row(*s, 0, "line 1")) << vt_screen(*s);
    play(*s, "w");
    ASSERT_TRUE(vt_wait_row(*s, BOTTOM, pressed("numbers off"))) << vt_screen(*s);
    play(*s, "<enter>jx");
    EXPECT_TRUE(vt_wait_row(*s, 0, numbered_row(2, "line 2"))) << vt_screen(*s);
    play(*s, "w");
    ASSERT_TRUE(vt_wait_row(*s, BOTTOM, pressed("numbers on"))) << vt_screen(*s);
    play(*s, "<enter>x");
    EXPECT_TRUE(vt_wait_row(*s, 0, "line 2")) << vt_screen(*s);
    // VORN takes it too; -n counts nothing, and then there is no column
    for (const char *vorn : {"-N", "-Nn"}) {
        vt_options options;
        options.rows = ROWS;
        options.env = {{"VORN", vorn}};
        vt_ptr v = start_in_dir(home, {"-e", "numbered"}, options);
        ASSERT_TRUE(v);
        std::string top = std::string(vorn) == "-N" ? numbered_row(1, "line 1") : "line 1";
        EXPECT_TRUE(vt_wait_row(*v, 0, top)) << vorn << "\n" << vt_screen(*v);
    }
}

// Matches are highlighted where the text is, not where the column is; the
// text's colours start right of the column.
TEST(NumberColumn, HighlightAndColours)
{
    temp_home home;
    home.write("numbered", numbered_text(1, 200));
    home.write("coloured", "plain \x1b[31mred\x1b[0m\n");
    home.write(".vornrc", "highlight on\n");
    vt_ptr s = start(home, {"-e", "-N", "numbered"});
    ASSERT_TRUE(s);
    play(*s, "/line 50$\n");
    ASSERT_TRUE(vt_wait_row(*s, 0, numbered_row(50, "line 50"))) << vt_screen(*s);
    EXPECT_TRUE(vt_wait(*s, [](vt_session &v) { return vt_attr(v, 0, 8).reverse; }))
        << vt_screen(*s);
    EXPECT_FALSE(vt_attr(*s, 0, 6).reverse) << "the number is not part of the match";

    vt_ptr c = start(home, {"-e", "-N", "-R", "coloured"});
    ASSERT_TRUE(c);
    // a text shorter than the screen takes its bottom rows
    const int row = ROWS - 2;
    ASSERT_TRUE(vt_wait_row(*c, row, numbered_row(1, "plain red"))) << vt_screen(*c);
    EXPECT_NE(vt_style(*c, row, 14), "plain") << "red starts at column 8 + 6";
    EXPECT_EQ(vt_style(*c, row, 13), "plain");
    EXPECT_EQ(vt_style(*c, row, 6), "plain");
}

// The column fits the largest number the screen can show: past 9999999 it
// grows, and the text wraps in what remains.
TEST(NumberColumn, WidensForLargeNumbers)
{
    temp_home home;
    std::string text;
    text.reserve(20000100);
    for (int i = 0; i < 10000010; i++)
        text += "x\n";
    home.write("many", text);
    vt_ptr s = start(home, {"-e", "-N", "+9999980", "many"});
    ASSERT_TRUE(s);
    EXPECT_TRUE(vt_wait_row(*s, 0, " 9999980 x", 20000)) << vt_screen(*s);
    EXPECT_TRUE(vt_wait_row(*s, 20, "10000000 x")) << vt_screen(*s);
    play(*s, "g");
    EXPECT_TRUE(vt_wait_row(*s, 0, numbered_row(1, "x"), 20000)) << vt_screen(*s);
}

// Filtered, the rows keep the numbers of the file; a text the first screen
// holds whole is written once with its numbers; wide characters wrap in the
// columns right of the column, and a narrower window fits it again.
TEST(NumberColumn, FilteredWholeAndWide)
{
    temp_home home;
    home.write("numbered", numbered_text(1, 600));
    home.write("short", "one\ntwo\n");
    vt_ptr f = start(home, {"-e", "-N", "-&", "5$", "numbered"});
    ASSERT_TRUE(f);
    EXPECT_TRUE(vt_wait_row(*f, 0, numbered_row(5, "line 5"))) << vt_screen(*f);
    EXPECT_EQ(vt_row(*f, 1), numbered_row(15, "line 15"));
    play(*f, "/line 1.5$\n");
    EXPECT_TRUE(vt_wait_row(*f, 0, numbered_row(105, "line 105"))) << vt_screen(*f);

    vt_ptr w = start(home, {"-N", "short"});
    ASSERT_TRUE(w);
    EXPECT_EQ(vt_wait_exit(*w), 0);
    std::string screen = vt_screen(*w);
    EXPECT_NE(screen.find(numbered_row(1, "one")), std::string::npos) << screen;
    EXPECT_NE(screen.find(numbered_row(2, "two")), std::string::npos) << screen;

    // 40 wide characters take 80 columns: 36 fit beside the column
    std::string wide;
    for (int i = 0; i < 40; i++)
        wide += "\xe4\xb8\x80";
    home.write("wide", wide + "\n" + numbered_text(2, 60));
    vt_options options;
    options.rows = ROWS;
    options.env = {{"LC_ALL", "C.UTF-8"}};
    options.utf8 = true;
    vt_ptr u = start_in_dir(home, {"-e", "-N", "wide"}, options);
    ASSERT_TRUE(u);
    EXPECT_TRUE(vt_wait_row(*u, 2, numbered_row(2, "line 2"))) << vt_screen(*u);
    EXPECT_EQ(vt_row(*u, 0), numbered_row(1, wide.substr(0, 36 * 3)));
    EXPECT_EQ(vt_row(*u, 1), std::string(8, ' ') + wide.substr(36 * 3));
    vt_resize(*u, ROWS, 40);
    EXPECT_TRUE(vt_wait_row(*u, 1, std::string(8, ' ') + wide.substr(16 * 3, 16 * 3)))
        << vt_screen(*u);
    EXPECT_EQ(vt_row(*u, 0), numbered_row(1, wide.substr(0, 16 * 3)));
}

// Following: the lines that arrive get their numbers.
TEST(NumberColumn, Following)
{
    temp_home home;
    home.write("growing", numbered_text(1, 30));
    vt_ptr s = start(home, {"-N", "+F", "growing"});
    ASSERT_TRUE(s);
    ASSERT_TRUE(vt_wait_contains(*s, BOTTOM, "waiting for data")) << vt_screen(*s);
    EXPECT_TRUE(vt_wait_row(*s, 22, numbered_row(30, "line 30"))) << vt_screen(*s);
    append_to_file(home.path + "/growing", numbered_text(31, 33));
    EXPECT_TRUE(vt_wait_row(*s, 22, numbered_row(33, "line 33"))) << vt_screen(*s);
    EXPECT_TRUE(vt_wait_row(*s, 0, numbered_row(11, "line 11"))) << vt_screen(*s);
}

}  // namespace
