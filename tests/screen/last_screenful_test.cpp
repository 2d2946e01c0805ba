// A jump into the last screenful of a text paints "...skipping..." and the
// lines from the bottom row up, leaving what the screen showed above them.
// Every move after it (back by lines, a search or a mark on the screen, a
// repaint) must leave a screen whose every text row shows the line the
// pager takes it for, or nothing: the expected screen is worked out here
// from the text (its wrapped rows, its squeezed empty lines) and compared
// row by row, on terminals with and without line insertion.  The prompt
// says END only while the end is shown, and the long prompt names the last
// line shown, never one past the end.
#include <string>
#include <vector>

#include "pager_session.h"

namespace {

const int ROWS = 30;
const int COLS = 100;
const int TEXT_ROWS = ROWS - 1;
const int LINES = 500;

enum text_kind { PLAIN, WRAPPED, SQUEEZED };

// "mark line 1" to "mark line 500"; WRAPPED makes every third line two rows
// long, SQUEEZED follows every fourth line by three empty ones.
std::vector<std::string> text_lines(text_kind kind)
{
    std::vector<std::string> lines;
    for (int i = 1; i <= LINES; i++) {
        std::string line = "mark line " + std::to_string(i);
        if (kind == WRAPPED && i % 3 == 0)
            line += " " + std::string(150, 'w');
        lines.push_back(line);
        if (kind == SQUEEZED && i % 4 == 0)
            lines.insert(lines.end(), 3, "");
    }
    return lines;
}

std::string joined(const std::vector<std::string> &lines)
{
    std::string text;
    for (const std::string &line : lines)
        text += line + "\n";
    return text;
}

// The display rows of the text as the pager shows them at COLS columns,
// and for each text line (from 0) the index of its first row (-1 for an
// empty line squeezed away).
struct display_rows {
    std::vector<std::string> rows;
    std::vector<int> first_row;
};

display_rows rows_of(const std::vector<std::string> &lines, bool squeeze)
{
    display_rows shown;
    for (size_t i = 0; i < lines.size(); i++) {
        const std::string &line = lines[i];
        if (squeeze && line.empty() && i > 0 && lines[i - 1].empty()) {
            shown.first_row.push_back(-1);
            continue;
        }
        shown.first_row.push_back(static_cast<int>(shown.rows.size()));
        size_t from = 0;
        do {
            shown.rows.push_back(line.substr(from, COLS));
            from += COLS;
        } while (from < line.size());
    }
    return shown;
}

// The text line (counted from 1) of "mark line n".
int line_number(const std::vector<std::string> &lines, int n)
{
    const std::string text = "mark line " + std::to_string(n);
    for (size_t i = 0; i < lines.size(); i++) {
        if (lines[i] == text || lines[i].starts_with(text + " "))
            return static_cast<int>(i) + 1;
    }
    ADD_FAILURE() << "no line " << text;
    return 1;
}

// The text rows of a screen whose top row is display row `top`: a full
// screen, or where the end comes first, the rows up to the end on the
// bottom rows with empty rows above them.
std::vector<std::string> screen_from(const display_rows &shown, int top)
{
    int count = static_cast<int>(shown.rows.size()) - top;
    std::vector<std::string> screen;
    if (count < TEXT_ROWS)
        screen.assign(TEXT_ROWS - count, "");
    for (int row = top; row < static_cast<int>(shown.rows.size()) &&
                        static_cast<int>(screen.size()) < TEXT_ROWS; row++)
        screen.push_back(shown.rows[row]);
    return screen;
}

std::vector<std::string> text_rows_of(vt_session &s)
{
    std::vector<std::string> rows;
    for (int row = 0; row < TEXT_ROWS; row++)
        rows.push_back(vt_row(s, row));
    return rows;
}

::testing::AssertionResult shows_screen(vt_session &s, const std::vector<std::string> &expected)
{
    if (vt_wait(s, [&](vt_session &v) { return text_rows_of(v) == expected; }))
        return ::testing::AssertionSuccess();
    std::string wanted;
    for (size_t row = 0; row < expected.size(); row++)
        wanted += std::to_string(row) + ": " + expected[row] + "\n";
    return ::testing::AssertionFailure() << "expected\n" << wanted << "shown\n" << vt_screen(s);
}

vt_ptr start_on(const temp_home &home, const std::string &term, std::vector<std::string> args)
{
    vt_options options;
    options.term = term;
    options.args = std::move(args);
    options.rows = ROWS;
    options.cols = COLS;
    options.cwd = home.path;
    options.env = {{"HOME", home.path}, {"TERMINFO", vt_terminfo_dir()}};
    return vt_start(options);
}

struct variant {
    const char *term;
    text_kind kind;
};

class LastScreenful : public ::testing::TestWithParam<variant> {};

TEST_P(LastScreenful, MovesAfterAJumpShowTheTrueLines)
{
    const variant v = GetParam();
    const std::vector<std::string> lines = text_lines(v.kind);
    const display_rows shown = rows_of(lines, v.kind == SQUEEZED);
    temp_home home;
    home.write("m.txt", joined(lines));
    const int target = line_number(lines, 490);
    const int marked = line_number(lines, 495);
    const std::string jump = std::to_string(target) + "g";
    const int target_row = shown.first_row[target - 1];
    std::vector<std::string> args = {"-e", "m.txt"};
    if (v.kind == SQUEEZED)
        args.insert(args.begin(), "-s");

    struct move_case {
        const char *what;
        std::string before;     // keys before the jump
        std::string after;      // keys after it
        int top;                // display rows from the target to the top row
    };
    const std::vector<move_case> cases = {
        {"a line back", "", "k", -1},
        {"five lines back", "", "5k", -5},
        {"half a screen back", "", "u", -TEXT_ROWS / 2},
        {"a screen back", "", "b", -TEXT_ROWS},
        {"a search for a line on the screen", "", "/line 495<enter>", 0},
        {"a mark on the screen", std::to_string(marked) + "gmag", "'a", 0},
        {"r", "", "r", 0},
        {"^L", "", "<^L>", 0},
        {"R", "", "R", 0},
        {"a line back, then a repaint", "", "kr", -1},
    };
    for (const move_case &c : cases) {
        SCOPED_TRACE(std::string(v.term) + ", " + c.what);
        vt_ptr s = start_on(home, v.term, args);
        ASSERT_TRUE(s);
        ASSERT_TRUE(shows_screen(*s, screen_from(shown, 0)));
        play(*s, c.before);
        if (!c.before.empty()) {
            ASSERT_TRUE(shows_screen(*s, screen_from(shown, 0)));
        }
        // the jump itself: the old rows, "...skipping..." and the lines
        // from the target to the end on the bottom rows
        play(*s, jump);
        int after_skipping = static_cast<int>(shown.rows.size()) - target_row;
        ASSERT_ROW(*s, TEXT_ROWS - 1, shown.rows.back());
        ASSERT_ROW(*s, TEXT_ROWS - 1 - after_skipping, "...skipping...");
        EXPECT_ROW(*s, TEXT_ROWS, "m.txt: END");

        play(*s, c.after);
        int top = target_row + c.top;
        EXPECT_TRUE(shows_screen(*s, screen_from(shown, top)));
        bool end_shown = static_cast<int>(shown.rows.size()) - top <= TEXT_ROWS;
        if (end_shown) {
            EXPECT_ROW(*s, TEXT_ROWS, "m.txt: END");
        } else {
            EXPECT_ROW_HAS(*s, TEXT_ROWS, "m.txt (");
        }
        vt_type(*s, "q");
        EXPECT_EQ(vt_wait_exit(*s), 0);
    }
}

std::string variant_name(const ::testing::TestParamInfo<variant> &info)
{
    static const char *const kinds[] = {"plain", "wrapped", "squeezed"};
    std::string term = info.param.term;
    for (char &c : term) {
        if (c == '-')
            c = '_';
    }
    return term + "_" + kinds[info.param.kind];
}

INSTANTIATE_TEST_SUITE_P(Terminals, LastScreenful,
                         ::testing::Values(variant{"xterm", PLAIN}, variant{"xterm", WRAPPED},
                                           variant{"xterm", SQUEEZED}, variant{"vorn-noal", PLAIN},
                                           variant{"vorn-noal", WRAPPED},
                                           variant{"vorn-noal", SQUEEZED}),
                         variant_name);

// The long prompt names the line on the bottom row, or the last line shown
// where the end leaves rows empty: never the line that would begin at the
// end of a text that ends with a newline.
TEST(LastScreenfulPrompt, NamesTheLastLineShown)
{
    temp_home home;
    home.write("m.txt", joined(text_lines(PLAIN)));
    struct prompt_case {
        const char *keys;
        int line;
    };
    const std::vector<prompt_case> cases = {
        {"490g=", 500},
        {"G=", 500},
        {"100p=", 500},     // nothing but "...skipping..." shown
        {"490gk=", 500},
        {"490gb=", 489},
        {"=", TEXT_ROWS},
    };
    for (const prompt_case &c : cases) {
        SCOPED_TRACE(c.keys);
        vt_ptr s = start_on(home, "xterm", {"-e", "m.txt"});
        ASSERT_TRUE(s);
        ASSERT_ROW(*s, 0, "mark line 1");
        play(*s, c.keys);
        EXPECT_ROW_HAS(*s, TEXT_ROWS, "m.txt: file 1/1 line " + std::to_string(c.line) + " col 0");
        vt_type(*s, "q");
        EXPECT_EQ(vt_wait_exit(*s), 0);
    }
}

}  // namespace
