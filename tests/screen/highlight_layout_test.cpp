// Highlighting only adds standout: the same keys give the same screen with
// `highlight on` as without it (the same text on every row, the same
// attributes), apart from the standout of the matches, and the matches on
// the screen are in standout.  Checked over moves and searches on a short
// file that leaves the screen part empty, a long one (jumps near its end
// included) and the start at a tag in a short file.
#include <string>
#include <vector>

#include "pager_session.h"

namespace {

const int ROWS = 24;
const int COLS = 80;

// Eight lines of the numbers 1 to 40: each one row long, the screen left
// part empty.
std::string wide_text()
{
    std::string text;
    for (int line = 0; line < 8; line++) {
        for (int i = 1; i <= 40; i++)
            text += std::to_string(i) + (i < 40 ? " " : "\n");
    }
    return text;
}

void make_fixture(const temp_home &dir, bool highlight)
{
    dir.write("wide.txt", wide_text());
    dir.write("numbers.txt", numbered_text(1, 300));
    dir.write("main.c", "int helper;\n\nint main(void)\n{\n    return helper;\n}\n");
    dir.write("tags", "main\tmain.c\t/^int main(void)$/;\"\tf\n");
    if (highlight)
        dir.write(".vornrc", "highlight on\n");
}

// The screen once `keys` are done: the keys end with "=", whose long
// prompt shows only after everything before it has been painted.
struct screen_shot {
    std::vector<std::string> rows;
    std::vector<std::vector<vt_attrs>> attrs;
};

screen_shot shot_after(const std::vector<std::string> &args, const std::string &keys,
                       bool highlight)
{
    temp_home dir;
    make_fixture(dir, highlight);
    vt_options options;
    options.rows = ROWS;
    options.cols = COLS;
    options.unset_env = {"VORN", "GTAGSROOT", "GTAGSDBPATH", "GTAGSCONF", "GTAGSLABEL"};
    vt_ptr s = start_in_dir(dir, args, options);
    screen_shot shot;
    if (!s)
        return shot;
    if (!vt_wait(*s, [](vt_session &v) { return !vt_row(v, ROWS - 1).empty(); })) {
        ADD_FAILURE() << "no prompt\n" << vt_screen(*s);
        return shot;
    }
    play(*s, keys + "=");
    if (!vt_wait(*s, [](vt_session &v) { return vt_row(v, ROWS - 1).find(" col ") != std::string::npos; }))
        ADD_FAILURE() << "no long prompt\n" << vt_screen(*s);
    for (int row = 0; row < ROWS - 1; row++) {
        shot.rows.push_back(vt_row(*s, row));
        std::vector<vt_attrs> cells;
        for (int col = 0; col < COLS; col++)
            cells.push_back(vt_attr(*s, row, col));
        shot.attrs.push_back(cells);
    }
    vt_type(*s, "q");
    EXPECT_EQ(vt_wait_exit(*s), 0);
    return shot;
}

// The columns of `row` that lie in a match of `literal`.
std::vector<bool> match_columns(const std::string &row, const std::string &literal)
{
    std::vector<bool> inside(COLS, false);
    if (literal.empty())
        return inside;
    for (size_t at = row.find(literal); at != std::string::npos; at = row.find(literal, at + 1)) {
        for (size_t col = at; col < at + literal.size() && col < inside.size(); col++)
            inside[col] = true;
    }
    return inside;
}

std::string numbered_rows(const std::vector<std::string> &rows)
{
    std::string text;
    for (size_t row = 0; row < rows.size(); row++)
        text += std::to_string(row) + "|" + rows[row] + "\n";
    return text;
}

TEST(HighlightLayout, SameScreenWithAndWithoutHighlighting)
{
    struct layout_case {
        const char *what;
        std::vector<std::string> args;
        std::string keys;
        std::string literal;    // what the last search matches ("": none)
    };
    const std::vector<layout_case> cases = {
        {"a match on a part-empty screen", {"-e", "wide.txt"}, "/36 37<enter>", "36 37"},
        {"the same search again", {"-e", "wide.txt"}, "/36 37<enter>n", "36 37"},
        // the tag is found before the scripts turn highlighting on
        {"the start at a tag in a short file", {"-e", "-t", "main"}, "", ""},
        {"a match on a full screen", {"-e", "numbers.txt"}, "/line 15<enter>", "line 15"},
        {"a match far below", {"-e", "numbers.txt"}, "/line 150<enter>", "line 150"},
        {"a match in the last screenful", {"-e", "numbers.txt"}, "/line 295<enter>", "line 295"},
        {"a jump near the end, a match on the screen", {"-e", "numbers.txt"},
         "290g/line 295<enter>", "line 295"},
        {"a jump near the end, a line back", {"-e", "numbers.txt"}, "/line 2<enter>290gk",
         "line 2"},
        {"a search backward from the end", {"-e", "numbers.txt"}, "G?line 280<enter>",
         "line 280"},
        {"a search, then moves", {"-e", "numbers.txt"}, "/line 2<enter>5j3k", "line 2"},
    };
    for (const layout_case &c : cases) {
        SCOPED_TRACE(c.what);
        screen_shot off = shot_after(c.args, c.keys, false);
        screen_shot on = shot_after(c.args, c.keys, true);
        ASSERT_EQ(off.rows.size(), static_cast<size_t>(ROWS - 1));
        ASSERT_EQ(on.rows.size(), off.rows.size());
        EXPECT_EQ(on.rows, off.rows) << "without:\n" << numbered_rows(off.rows)
                                     << "with:\n" << numbered_rows(on.rows);
        int standout = 0;
        for (int row = 0; row < ROWS - 1; row++) {
            std::vector<bool> inside = match_columns(on.rows[row], c.literal);
            for (int col = 0; col < COLS; col++) {
                const vt_attrs &a = off.attrs[row][col];
                const vt_attrs &b = on.attrs[row][col];
                EXPECT_EQ(a.bold, b.bold) << row << "," << col;
                EXPECT_EQ(a.underline, b.underline) << row << "," << col;
                EXPECT_FALSE(a.reverse) << row << "," << col;
                EXPECT_EQ(b.reverse, static_cast<bool>(inside[col])) << row << "," << col;
                standout += b.reverse ? 1 : 0;
            }
        }
        if (!c.literal.empty()) {
            EXPECT_GT(standout, 0);
        }
    }
}

}  // namespace
