// Header lines (-H, the header command and `_header`) on a real terminal:
// the first lines of the file stay on the top rows while the text beneath
// them moves; the text beneath never shows them again, and every move,
// jump and search counts only the rows beneath.  Each check reads the
// whole screen, so a header row left scrolled away or a row painted twice
// is seen.
#include <string>
#include <vector>

#include "pager_session.h"

namespace {

const char TITLE[] = "NAME      SIZE";
const char RULE[] = "--------------";

// A table: its title and rule, then "row 3" to "row 200" (each row's
// number is its line number).
std::string table_text()
{
    return std::string(TITLE) + "\n" + RULE + "\n" + numbered_text(3, 200, "row");
}

vt_ptr start(const temp_home &home, const std::vector<std::string> &args, int rows = 24,
             const std::string &term = "xterm")
{
    vt_options options;
    options.unset_env = {"VORN"};
    options.rows = rows;
    options.term = term;
    options.env = {{"TERMINFO", vt_terminfo_dir()}};
    return start_in_dir(home, args, options);
}

// The screen shows `header` on its top rows and beneath it, to the last
// text row, "row first", "row first + 1" ... (blank rows after `last`).
::testing::AssertionResult shows_view(vt_session &s, const std::vector<std::string> &header,
                                      int first, int rows = 24, int last = 200)
{
    auto view_is = [&](vt_session &v) {
        for (size_t row = 0; row < header.size(); row++)
            if (vt_row(v, static_cast<int>(row)) != header[row])
                return false;
        int line = first;
        for (int row = static_cast<int>(header.size()); row < rows - 1; row++, line++) {
            std::string want = line <= last ? "row " + std::to_string(line) : "";
            if (vt_row(v, row) != want)
                return false;
        }
        return true;
    };
    if (vt_wait(s, view_is))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "not the header and row " << first << " on\n"
                                         << vt_screen(s);
}

struct move_case {
    const char *keys;
    int first;      // the first row beneath the header shows "row first"
};

// Moves by 21 rows a screenful (23 text rows less the two of the header),
// on a terminal that opens lines at the top, one that scrolls back in their
// place, and one that can do neither (and repaints).
TEST(Header, MovesCountOnlyTheRowsBeneath)
{
    temp_home home;
    home.write("table", table_text());
    const move_case cases[] = {
        {"", 3},
        {"j", 4},
        {"jjjk", 5},
        {"5j3k", 5},
        {" ", 24},
        {"  b", 24},
        {"d", 14},
        {"dd", 25},
        {"ddu", 14},
        {"G", 180},
        {"Gb", 159},
        {"Gk", 179},
        {"G10k", 170},
        {"100g", 100},
        {"100gg", 3},
        {"100g30k", 70},
        {"100g99k", 3},
        {"50%", 106},
        {"/row 150$\n", 150},
        {"G?row 9$\n", 9},
        {"50g?SIZE\n", 3},
        {"50gma100g'a", 50},
        {"40g<^L>", 40},
    };
    const std::vector<std::string> header = {TITLE, RULE};
    for (const char *term : {"xterm", "vorn-display-sr", "vorn-display-noal"}) {
        for (const move_case &c : cases) {
            SCOPED_TRACE(std::string(term) + ": " + c.keys);
            vt_ptr s = start(home, {"-e", "-H", "2", "table"}, 24, term);
            ASSERT_TRUE(s);
            ASSERT_TRUE(shows_view(*s, header, 3));
            play(*s, c.keys);
            EXPECT_TRUE(shows_view(*s, header, c.first));
        }
    }
}

// At the end of the last file the program ends; the terminal leaves its
// alternate screen, and the last screen, header and all, is written again
// where it returns.
TEST(Header, TheLastScreenStaysWithItsHeader)
{
    temp_home home;
    home.write("table", table_text());
    vt_ptr s = start(home, {"-H", "2", "table"});
    ASSERT_TRUE(s);
    ASSERT_TRUE(shows_view(*s, {TITLE, RULE}, 3));
    play(*s, "190g ");
    ASSERT_EQ(vt_wait_exit(*s), 0) << vt_screen(*s);
    EXPECT_TRUE(shows_view(*s, {TITLE, RULE}, 190, 24, 200));
}

// A header line that wraps takes its rows; with the number column, each
// header row has its number; sideways the header moves with the text.
TEST(Header, WrappedNumberedAndScrolledSideways)
{
    temp_home home;
    std::string wide;
    for (int i = 0; i < 10; i++)
        wide += "<" + std::to_string(i) + "2345678>";
    wide += "END";
    home.write("wide", wide + "\n" + numbered_text(2, 200, "row"));
    vt_ptr s = start(home, {"-e", "-H", "1", "wide"});
    ASSERT_TRUE(s);
    EXPECT_TRUE(shows_view(*s, {wide.substr(0, 80), wide.substr(80)}, 2));
    play(*s, "3j");
    EXPECT_TRUE(shows_view(*s, {wide.substr(0, 80), wide.substr(80)}, 5));

    vt_ptr numbered = start(home, {"-e", "-N", "-S", "-H", "1", "wide"});
    ASSERT_TRUE(numbered);
    auto numbered_row = [](int line, const std::string &text) {
        std::string number = std::to_string(line);
        return std::string(7 - number.size(), ' ') + number + " " + text;
    };
    EXPECT_TRUE(vt_wait_row(*numbered, 0, numbered_row(1, wide.substr(0, 72))))
        << vt_screen(*numbered);
    EXPECT_EQ(vt_row(*numbered, 1), numbered_row(2, "row 2"));
    play(*numbered, "j<right><right><right>");
    EXPECT_TRUE(vt_wait_row(*numbered, 0, numbered_row(1, wide.substr(3, 72))))
        << vt_screen(*numbered);
    EXPECT_TRUE(vt_wait_row(*numbered, 1, numbered_row(3, " 3"))) << vt_screen(*numbered);
}

// The filter hides lines beneath the header, never the header; searching
// finds the header's lines as lines of the file; colours are kept.
TEST(Header, FilterSearchAndColours)
{
    temp_home home;
    home.write("table", table_text());
    home.write(".vornrc", "highlight on\n");
    vt_ptr s = start(home, {"-e", "-H", "2", "table"});
    ASSERT_TRUE(s);
    ASSERT_TRUE(shows_view(*s, {TITLE, RULE}, 3));
    play(*s, "&row 1[0-9]+$\n");
    EXPECT_TRUE(vt_wait_row(*s, 2, "row 10")) << vt_screen(*s);
    EXPECT_EQ(vt_row(*s, 0), TITLE);
    EXPECT_EQ(vt_row(*s, 11), "row 19");
    EXPECT_EQ(vt_row(*s, 12), "row 100");
    play(*s, "&\n?SIZE\n");
    EXPECT_TRUE(shows_view(*s, {TITLE, RULE}, 3));
    EXPECT_TRUE(vt_wait(*s, [](vt_session &v) { return vt_attr(v, 0, 10).reverse; }))
        << "the match in the header is highlighted\n" << vt_screen(*s);

    home.write("coloured", "\x1b[31mred title\x1b[0m\n" + numbered_text(2, 200, "row"));
    vt_ptr c = start(home, {"-e", "-R", "-H", "1", "coloured"});
    ASSERT_TRUE(c);
    ASSERT_TRUE(shows_view(*c, {"red title"}, 2));
    play(*c, "5j");
    ASSERT_TRUE(shows_view(*c, {"red title"}, 7));
    EXPECT_EQ(vt_style(*c, 0, 0), "fg=1");
    EXPECT_EQ(vt_style(*c, 1, 0), "plain");
}

// A header of more lines than half the screen is cut there, and the text
// beneath begins where the cut falls; a file shorter than the header is
// all header.  A window change measures the header again.
TEST(Header, LargerThanTheScreenShorterThanTheFileAndWindowChanges)
{
    temp_home home;
    home.write("rows", numbered_text(1, 200, "row"));
    home.write("short", numbered_text(1, 3, "row"));
    vt_ptr s = start(home, {"-e", "-H", "100", "rows"}, 10);
    ASSERT_TRUE(s);
    const std::vector<std::string> four = {"row 1", "row 2", "row 3", "row 4"};
    EXPECT_TRUE(shows_view(*s, four, 5, 10));
    play(*s, " ");
    EXPECT_TRUE(shows_view(*s, four, 10, 10));
    play(*s, "G");
    EXPECT_TRUE(shows_view(*s, four, 196, 10));
    vt_resize(*s, 24, 80);
    EXPECT_TRUE(shows_view(*s, {"row 1", "row 2", "row 3", "row 4", "row 5", "row 6",
                                "row 7", "row 8", "row 9", "row 10", "row 11"},
                           196, 24));
    play(*s, "g");
    EXPECT_TRUE(vt_wait_row(*s, 11, "row 12")) << vt_screen(*s);

    vt_ptr short_file = start(home, {"-e", "-H", "5", "short"});
    ASSERT_TRUE(short_file);
    EXPECT_TRUE(shows_view(*short_file, {"row 1", "row 2", "row 3"}, 4, 24, 3));
    play(*short_file, "jkG");
    EXPECT_TRUE(shows_view(*short_file, {"row 1", "row 2", "row 3"}, 4, 24, 3));
}

// Text that arrives while following scrolls beneath the header.
TEST(Header, Following)
{
    temp_home home;
    home.write("log", "TIME EVENT\n" + numbered_text(2, 40, "row"));
    vt_ptr s = start(home, {"-H", "1", "+F", "log"});
    ASSERT_TRUE(s);
    ASSERT_TRUE(shows_view(*s, {"TIME EVENT"}, 19, 24, 40));
    append_to_file(home.path + "/log", numbered_text(41, 45, "row"));
    EXPECT_TRUE(shows_view(*s, {"TIME EVENT"}, 24, 24, 45));
}

// The command and its number: `header N` shows at once, 0 takes it away;
// VORN takes -H too.
TEST(Header, CommandAndNumber)
{
    temp_home home;
    home.write("table", table_text());
    home.write(".vornrc", "macro 0 x 'header 2'\n"
                          "macro 0 z 'header 0'\n"
                          "macro 0 w 'error \"header ${_header} of ${_sc_height}\"'\n");
    vt_ptr s = start(home, {"-e", "table"});
    ASSERT_TRUE(s);
    ASSERT_TRUE(vt_wait_row(*s, 0, TITLE)) << vt_screen(*s);
    play(*s, "w");
    ASSERT_TRUE(vt_wait_row(*s, 23, pressed("header 0 of 23"))) << vt_screen(*s);
    play(*s, "<enter>10gx");
    EXPECT_TRUE(shows_view(*s, {TITLE, RULE}, 10));
    play(*s, "w");
    ASSERT_TRUE(vt_wait_row(*s, 23, pressed("header 2 of 21"))) << vt_screen(*s);
    play(*s, "<enter>z");
    EXPECT_TRUE(vt_wait_row(*s, 0, "row 10")) << vt_screen(*s);

    vt_options options;
    options.env = {{"VORN", "-H2"}};
    vt_ptr v = start_in_dir(home, {"-e", "table"}, options);
    ASSERT_TRUE(v);
    play(*v, "j");
    EXPECT_TRUE(shows_view(*v, {TITLE, RULE}, 4));
}

}  // namespace
