// Colours on the emulated screen: the text's own sequences shown with -R
// (or the colour command) on terminals with 8, 256 and direct colours and
// on one without colours; the style of a text line carried over its
// wrapped rows however they are painted; horizontal scrolling into a
// coloured word; every other sequence shown escaped; searching through
// coloured text; and the coloured log of a small repository.
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "pager_session.h"

namespace {

const std::string ESC = "\x1b";

// Enough plain lines after the text that it is shown from the top row.
std::string filled(std::string text)
{
    for (int i = 0; i < 12; i++)
        text += "filler\n";
    return text;
}

vt_ptr start_colour(const temp_home &home, std::vector<std::string> args,
                    const std::string &term = "vorn-colour", int rows = 12, int cols = 40)
{
    vt_options options;
    options.term = term;
    options.args = std::move(args);
    options.rows = rows;
    options.cols = cols;
    options.cwd = home.path;
    options.env = {{"HOME", home.path}, {"TERMINFO", vt_terminfo_dir()}};
    options.unset_env = {"COLORTERM"};
    return vt_start(options);
}

// Each row: the parameters of a sequence before "X", a reset before "Y",
// and what X looks like on each terminal.
struct sgr_row {
    const char *parameters;
    const char *eight, *many, *direct, *none;
};

const sgr_row sgr_rows[] = {
    {"1", "bold", "bold", "bold", "bold"},
    {"3", "italic", "italic", "italic", "plain"},
    {"4:3", "underline", "underline", "underline", "underline"},
    {"5", "blink", "blink", "blink", "plain"},
    {"7;1;22", "reverse", "reverse", "reverse", "plain"},
    {"31;44", "fg=1 bg=4", "fg=1 bg=4", "fg=1 bg=4", "plain"},
    {"91", "fg=1", "fg=9", "fg=rgb(255,0,0)", "plain"},
    {"38;5;196", "fg=1", "fg=196", "fg=rgb(255,0,0)", "plain"},
    {"48:5:22", "bg=0", "bg=22", "bg=rgb(0,95,0)", "plain"},
    {"38;2;0;0;238", "fg=4", "fg=21", "fg=rgb(0,0,238)", "plain"},
    {"1;38:2::10:200:10;4", "bold underline fg=2", "bold underline fg=40",
     "bold underline fg=rgb(10,200,10)", "bold underline"},
};

TEST(ColourScreen, SequencesBecomeStylesOnEachTerminal)
{
    temp_home home;
    std::string text;
    for (const auto &row : sgr_rows)
        text += ESC + "[" + row.parameters + "mX" + ESC + "[mY\n";
    home.write("styles.txt", text);
    for (const char *term : {"vorn-colour", "vorn-colour256", "vorn-direct", "vorn-display"}) {
        SCOPED_TRACE(term);
        vt_ptr s = start_colour(home, {"-e", "-R", "styles.txt"}, term);
        ASSERT_TRUE(s);
        ASSERT_ROW(*s, 0, "XY");
        for (int r = 0; r < static_cast<int>(std::size(sgr_rows)); r++) {
            const sgr_row &row = sgr_rows[r];
            SCOPED_TRACE(row.parameters);
            std::string t = term;
            const char *expected = t == "vorn-colour" ? row.eight
                                   : t == "vorn-colour256" ? row.many
                                   : t == "vorn-direct" ? row.direct : row.none;
            EXPECT_ROW(*s, r, "XY");
            EXPECT_EQ(vt_style(*s, r, 0), expected);
            EXPECT_EQ(vt_style(*s, r, 1), "plain");
            EXPECT_EQ(vt_style(*s, r, 2), "plain");
        }
        vt_type(*s, "q");
        EXPECT_EQ(vt_wait_exit(*s), 0);
    }
}

// Without -R the sequences keep their escaped form; the colour command
// switches between the two, and its toggle follows.
TEST(ColourScreen, TheColourCommandSwitchesAtOnce)
{
    temp_home home;
    home.write("one.txt", filled(ESC + "[31mred" + ESC + "[m\n"));
    home.write(".vornrc", "macro 0 C 'colour (${_colour_n} + 1)'\n"
                          "macro 0 S 'error ${_colour_s}'\n");
    vt_ptr s = start_colour(home, {"-e", "one.txt"});
    ASSERT_TRUE(s);
    ASSERT_ROW(*s, 0, "^[[31mred^[[m");
    vt_type(*s, "C");
    ASSERT_ROW(*s, 0, "red");
    EXPECT_EQ(vt_style(*s, 0, 0), "fg=1");
    vt_type(*s, "S");
    EXPECT_ROW_HAS(*s, 11, "on");
    vt_key(*s, "enter");
    vt_type(*s, "C");
    ASSERT_ROW(*s, 0, "^[[31mred^[[m");
    EXPECT_EQ(vt_style(*s, 0, 5), "plain");
}

// Other sequences are never sent: cursor moves, erases, titles, a
// hyperlink and a sequence of 10 000 parameters keep the caret form.
TEST(ColourScreen, OtherSequencesStayEscaped)
{
    temp_home home;
    std::string many = ESC + "[";
    for (int i = 0; i < 10000; i++)
        many += "1;";
    home.write("hostile.txt", ESC + "[2J" + ESC + "[5;5Ha\n" + ESC + "]0;title\ab\n" +
                                  ESC + "]8;;http://x" + ESC + "\\c\n" + ESC +
                                  "[38;5;999me\n" + many + "31md\n");
    vt_ptr s = start_colour(home, {"-e", "-R", "hostile.txt"}, "vorn-colour", 12, 40);
    ASSERT_TRUE(s);
    EXPECT_ROW(*s, 0, "^[[2J^[[5;5Ha");
    EXPECT_ROW(*s, 1, "^[]0;title^Gb");
    EXPECT_ROW(*s, 2, "^[]8;;http://x^[\\c");
    EXPECT_ROW(*s, 3, "^[[38;5;999me");
    std::string shown = "^[[";
    while (shown.size() < 40)
        shown += "1;";
    EXPECT_ROW(*s, 4, shown.substr(0, 40));
    EXPECT_EQ(vt_style(*s, 4, 5), "plain");
}

// A red text line of three rows: the colour holds on every row whether
// the row was painted with the rows before it, alone at the top after a
// backward scroll, or after a repaint starting at it; the rows after the
// line are plain.
TEST(ColourScreen, ColourCarriesOverWrappedRows)
{
    temp_home home;
    std::string text;
    for (int i = 1; i <= 20; i++)
        text += "before " + std::to_string(i) + "\n";
    text += ESC + "[31m" + std::string(90, 'r') + ESC + "[0mplain\n";
    for (int i = 1; i <= 20; i++)
        text += "after " + std::to_string(i) + "\n";
    home.write("wrap.txt", text);
    vt_ptr s = start_colour(home, {"-R", "wrap.txt"});
    ASSERT_TRUE(s);
    ASSERT_ROW(*s, 0, "before 1");
    // forward: the three rows painted one after another
    vt_type(*s, "15j");
    ASSERT_ROW(*s, 5, std::string(40, 'r'));
    for (int row : {5, 6, 7})
        EXPECT_EQ(vt_style(*s, row, 3), "fg=1") << row;
    EXPECT_ROW(*s, 7, std::string(10, 'r') + "plain");
    EXPECT_EQ(vt_style(*s, 7, 10), "plain");
    // forward past the line, then back one row at a time: the last row of
    // the line comes first, on its own
    vt_type(*s, "10j");
    ASSERT_ROW(*s, 0, "after 3");
    for (int step = 0; step < 3; step++)
        vt_type(*s, "k");
    ASSERT_ROW(*s, 0, std::string(10, 'r') + "plain");
    EXPECT_EQ(vt_style(*s, 0, 0), "fg=1");
    EXPECT_EQ(vt_style(*s, 0, 12), "plain");
    vt_type(*s, "k");
    ASSERT_ROW(*s, 0, std::string(40, 'r'));
    EXPECT_EQ(vt_style(*s, 0, 39), "fg=1");
    // a repaint that starts at the middle row (on a screen cleared here, so
    // that what is seen is the repaint's)
    vt_feed(*s, "\x1b[H\x1b[2J");
    vt_type(*s, "r");
    ASSERT_ROW(*s, 0, std::string(40, 'r'));
    ASSERT_TRUE(vt_wait(*s, [](vt_session &v) { return vt_style(v, 11, 1) == "reverse"; }));
    EXPECT_EQ(vt_style(*s, 0, 0), "fg=1");
    EXPECT_EQ(vt_style(*s, 1, 0), "fg=1");
    EXPECT_EQ(vt_style(*s, 2, 11), "plain");
    // nothing ran on into the prompt
    EXPECT_EQ(vt_style(*s, 11, 1), "reverse");
}

// Scrolled right into the middle of a green word: the part that shows is
// green, what follows it is not.
TEST(ColourScreen, HorizontalScrollIntoAColouredWord)
{
    temp_home home;
    home.write("h.txt", filled("0123" + ESC + "[32mabcdefghij" + ESC + "[mtail\n"));
    vt_ptr s = start_colour(home, {"-e", "-R", "h.txt"});
    ASSERT_TRUE(s);
    ASSERT_ROW(*s, 0, "0123abcdefghijtail");
    vt_key(*s, "tab");
    vt_key(*s, "tab");
    ASSERT_ROW(*s, 0, "efghijtail");
    EXPECT_EQ(vt_style(*s, 0, 0), "fg=2");
    EXPECT_EQ(vt_style(*s, 0, 5), "fg=2");
    EXPECT_EQ(vt_style(*s, 0, 6), "plain");
}

// With colours on, a search sees the text without its sequences: "commit"
// is found where a sequence splits it; with them shown escaped it is not.
TEST(ColourScreen, SearchMatchesTheTextAsShown)
{
    temp_home home;
    std::string text = "first\n";
    for (int i = 0; i < 30; i++)
        text += "filler " + std::to_string(i) + "\n";
    text += "com" + ESC + "[1mmit" + ESC + "[m abc\n";
    home.write("log.txt", filled(text));
    vt_ptr s = start_colour(home, {"-e", "-R", "log.txt"});
    ASSERT_TRUE(s);
    ASSERT_ROW(*s, 0, "first");
    vt_type(*s, "/commit\n");
    ASSERT_ROW(*s, 0, "commit abc");
    EXPECT_EQ(vt_style(*s, 0, 3), "bold");
    // and backward, from the end
    vt_type(*s, "G");
    ASSERT_ROW_HAS(*s, 11, "END");
    vt_type(*s, "?commit\n");
    ASSERT_ROW(*s, 0, "commit abc");

    s = start_colour(home, {"log.txt"});
    ASSERT_TRUE(s);
    ASSERT_ROW(*s, 0, "first");
    vt_type(*s, "/commit\n");
    EXPECT_ROW_HAS(*s, 11, "Pattern not found");
}

// The coloured log of a repository made here: the commit lines in yellow,
// as the tool wrote them, and the rest plain.
TEST(ColourScreen, ColouredLogOfARepository)
{
    temp_home home;
    std::string git = "cd '" + home.path +
                      "' && git init -q repo && cd repo && "
                      "git -c user.name=T -c user.email=t@example.com commit -q "
                      "--allow-empty -m 'first change' && "
                      "git -c user.name=T -c user.email=t@example.com commit -q "
                      "--allow-empty -m 'second change' && "
                      "git -c color.ui=always log --color=always > ../log.txt";
    ASSERT_EQ(system(git.c_str()), 0);
    vt_ptr s = start_colour(home, {"-e", "-R", "log.txt"}, "vorn-colour", 12, 60);
    ASSERT_TRUE(s);
    ASSERT_TRUE(vt_wait_contains(*s, 0, "commit "));
    EXPECT_EQ(vt_row(*s, 0).find('^'), std::string::npos) << vt_row(*s, 0);
    EXPECT_EQ(vt_style(*s, 0, 0), "fg=3");
    EXPECT_EQ(vt_style(*s, 0, 10), "fg=3");
    EXPECT_ROW_HAS(*s, 1, "Author: T <t@example.com>");
    EXPECT_EQ(vt_style(*s, 1, 0), "plain");
    EXPECT_ROW_HAS(*s, 4, "second change");
}

}  // namespace
