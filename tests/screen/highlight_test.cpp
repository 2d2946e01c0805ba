// Highlighted matches on the emulated screen: every match of the last
// pattern on the rows shown is in standout (reverse on the test terminal),
// also across a wrap, in overstruck and coloured text, after n and N and a
// horizontal scroll; none with the highlight off or after an inverted
// search.
#include <string>
#include <vector>

#include "pager_session.h"

namespace {

const std::string ESC = "\x1b";

vt_ptr start_highlight(const temp_home &home, std::vector<std::string> args)
{
    vt_options options;
    options.term = "vorn-colour";
    options.args = std::move(args);
    options.rows = 12;
    options.cols = 40;
    options.cwd = home.path;
    options.env = {{"HOME", home.path}, {"TERMINFO", vt_terminfo_dir()}};
    return vt_start(options);
}

// Waits until no text row shows anything in reverse.
bool no_highlight(vt_session &s)
{
    return vt_wait(s, [](vt_session &v) {
        for (int row = 0; row < 11; row++) {
            for (int col = 0; col < 40; col++) {
                if (vt_attr(v, row, col).reverse)
                    return false;
            }
        }
        return true;
    });
}

// The columns of a row in reverse, as a string of '#' and '.'.
std::string reversed(vt_session &s, int row, int width = 40)
{
    std::string marks;
    for (int col = 0; col < width; col++)
        marks += vt_attr(s, row, col).reverse ? '#' : '.';
    while (!marks.empty() && marks.back() == '.')
        marks.pop_back();
    return marks;
}

// Waits until the reverse columns of a row are `expected` (painting may
// still be under way when the text has come).
::testing::AssertionResult shows_reversed(vt_session &s, int row, const std::string &expected)
{
    if (vt_wait(s, [&](vt_session &v) { return reversed(v, row) == expected; }))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "row " << row << " reversed " << reversed(s, row)
                                         << ", expected " << expected;
}

std::string sample_text()
{
    std::string text = "start\n";
    for (int i = 0; i < 20; i++)
        text += "filler " + std::to_string(i) + "\n";
    text += "foo bar foo\n";                                 // several on a row
    text += std::string(38, 'x') + "foo\n";                 // across a wrap
    text += "b\bbo\bo f\bfo\boo\bo _\bf_\bo_\bo\n";        // overstruck
    text += ESC + "[31mf" + ESC + "[32moo" + ESC + "[m end\n";  // coloured
    for (int i = 0; i < 20; i++)
        text += "more " + std::to_string(i) + " foo\n";
    return text;
}

TEST(HighlightScreen, MatchesOnTheRowsShown)
{
    temp_home home;
    home.write("h.txt", sample_text());
    home.write(".vornrc", "highlight on\n");
    vt_ptr s = start_highlight(home, {"-R", "h.txt"});
    ASSERT_TRUE(s);
    ASSERT_ROW(*s, 0, "start");
    vt_type(*s, "/foo\n");
    ASSERT_ROW(*s, 0, "foo bar foo");
    EXPECT_TRUE(shows_reversed(*s, 0, "###.....###"));
    EXPECT_ROW(*s, 1, std::string(38, 'x') + "fo");
    EXPECT_TRUE(shows_reversed(*s, 1, std::string(38, '.') + "##"));
    EXPECT_TRUE(shows_reversed(*s, 2, "#"));
    EXPECT_ROW(*s, 3, "bo foo foo");
    EXPECT_TRUE(shows_reversed(*s, 3, "...###.###"));
    EXPECT_TRUE(vt_attr(*s, 3, 3).bold);
    EXPECT_TRUE(vt_attr(*s, 3, 8).underline);
    EXPECT_ROW(*s, 4, "foo end");
    EXPECT_TRUE(shows_reversed(*s, 4, "###"));
    EXPECT_EQ(vt_style(*s, 4, 0), "reverse fg=1");
    EXPECT_EQ(vt_style(*s, 4, 2), "reverse fg=2");
    EXPECT_TRUE(shows_reversed(*s, 5, ".......###"));
    // the prompt is the only other reverse on the screen
    EXPECT_EQ(reversed(*s, 11).find('.'), std::string::npos);

    // n: the next match at the top, the wrapped line's second row first
    vt_type(*s, "n");
    ASSERT_ROW(*s, 0, std::string(38, 'x') + "fo");
    EXPECT_TRUE(shows_reversed(*s, 0, std::string(38, '.') + "##"));
    EXPECT_TRUE(shows_reversed(*s, 1, "#"));
    // N: back to the row before; it comes in on its own at the top
    vt_type(*s, "N");
    ASSERT_ROW(*s, 0, "foo bar foo");
    EXPECT_TRUE(shows_reversed(*s, 0, "###.....###"));
    EXPECT_TRUE(shows_reversed(*s, 2, "#"));

    // scrolled right by 8 columns: the highlight stays on its letters
    vt_key(*s, "tab");
    vt_key(*s, "tab");
    ASSERT_ROW(*s, 0, "foo");
    EXPECT_TRUE(shows_reversed(*s, 0, "###"));
    EXPECT_ROW(*s, 1, std::string(30, 'x') + "foo");
    EXPECT_TRUE(shows_reversed(*s, 1, std::string(30, '.') + "###"));
}

TEST(HighlightScreen, NoneWhenOffOrInverted)
{
    temp_home home;
    home.write("h.txt", sample_text());
    home.write(".vornrc", "macro 0 H 'highlight (${_highlight_n} + 1)'\n");
    vt_ptr s = start_highlight(home, {"-R", "h.txt"});
    ASSERT_TRUE(s);
    ASSERT_ROW(*s, 0, "start");
    vt_type(*s, "/foo\n");
    ASSERT_ROW(*s, 0, "foo bar foo");
    EXPECT_TRUE(no_highlight(*s));
    vt_type(*s, "H");
    ASSERT_TRUE(vt_wait(*s, [](vt_session &v) { return vt_attr(v, 0, 0).reverse; }));
    EXPECT_TRUE(shows_reversed(*s, 0, "###.....###"));
    // an inverted search has nothing to highlight
    vt_type(*s, "/!bar\n");
    ASSERT_ROW(*s, 0, std::string(38, 'x') + "fo");
    EXPECT_TRUE(no_highlight(*s));
}

// In UTF-8 text an overstruck character is one character to the search
// and to the highlight alike: all of a match shows in standout, whether its
// first character is emboldened (the same character twice) or underlined.
TEST(HighlightScreen, OverstruckCharactersInUtf8)
{
    const std::string E = "\xC3\xA9";
    temp_home home;
    std::string filler;
    for (int i = 0; i < 20; i++)
        filler += "filler " + std::to_string(i) + "\n";
    home.write("u.txt", "start\n" + filler + E + "\b" + E + "t bold\n_\b" + E + "t underlined\n" +
                            filler);
    home.write(".vornrc", "highlight on\n");
    vt_options options;
    options.term = "vorn-colour";
    options.args = {"u.txt"};
    options.rows = 12;
    options.cols = 40;
    options.cwd = home.path;
    options.env = {{"HOME", home.path}, {"TERMINFO", vt_terminfo_dir()}, {"LC_ALL", "C.UTF-8"}};
    options.utf8 = true;
    vt_ptr s = vt_start(options);
    ASSERT_TRUE(s);
    ASSERT_ROW(*s, 0, "start");
    vt_type(*s, "/" + E + "t\n");
    ASSERT_ROW(*s, 0, E + "t bold");
    EXPECT_ROW(*s, 1, E + "t underlined");
    EXPECT_TRUE(shows_reversed(*s, 0, "##"));
    EXPECT_TRUE(shows_reversed(*s, 1, "##"));
    EXPECT_TRUE(vt_attr(*s, 0, 0).bold);
    EXPECT_TRUE(vt_attr(*s, 1, 0).underline);
}

// The matches of a long line are found once for each piece of it, not
// again for every row painted: an expression that matches the empty string
// and fails late (each try reads to the end of the piece) made every row of
// a backward page cost a second, and ten pages back took minutes.  The
// matches kept are those of the text they were found in: the same place in
// another file is matched again.
TEST(HighlightScreen, PagingBackInALongLineFindsItsMatchesOnce)
{
    temp_home home;
    home.write("long.txt", "start\n" + std::string(20000, 'y') + "\nend\n");
    home.write("other.txt", "start\nyyyx yy\nend\n");
    home.write(".vornrc", "highlight on\n");
    vt_ptr s = start_highlight(home, {"-c", "long.txt", "other.txt"});
    ASSERT_TRUE(s);
    ASSERT_ROW(*s, 0, "start");
    vt_type(*s, "/y+x|yy\n");
    ASSERT_ROW(*s, 0, std::string(40, 'y'));
    vt_type(*s, "G");
    ASSERT_ROW(*s, 10, "end");
    // from the end, ten screens back: 110 rows of the line's last piece
    vt_type(*s, "bbbbbbbbbb=");
    EXPECT_TRUE(vt_wait(*s, [](vt_session &v) {
        return vt_row(v, 11).rfind("long.txt: file 1/2 line 2 ", 0) == 0;
    })) << vt_screen(*s);
    EXPECT_TRUE(shows_reversed(*s, 0, std::string(40, '#')));
    vt_type(*s, ":n");
    ASSERT_ROW(*s, 0, "start");
    EXPECT_TRUE(shows_reversed(*s, 1, "####.##"));
}

}  // namespace
