// A named file that changes while the pager shows it: a file that grows is
// read on (its old end is neither the end nor the beginning), and a file
// cut short shows nothing beyond its new end, in the text or the prompt.
#include <cstdio>
#include <string>
#include <vector>

#include "pager_session.h"

namespace {

vt_ptr start_on(const temp_home &dir, const std::string &text)
{
    dir.write("g.txt", text);
    vt_options options;
    options.cwd = dir.path;
    options.args = {"-e", "g.txt"};
    options.env = {{"HOME", dir.path}};
    return vt_start(options);
}

// Ten lines shown with their end, thirty more appended: every move sees
// them, and the first lines stay reachable.
TEST(ChangingFile, GrowthIsSeenAndEveryLineStaysReachable)
{
    temp_home dir;
    auto s = start_on(dir, numbered_text(1, 10));
    ASSERT_TRUE(s);
    ASSERT_ROW(*s, 22, "line 10");      // a short file is painted at the bottom
    ASSERT_ROW_HAS(*s, 23, "END");
    append_to_file(dir.path + "/g.txt", numbered_text(11, 40));
    struct {
        const char *keys;
        const char *top, *bottom;   // rows 0 and 22
    } steps[] = {
        {"G", "line 18", "line 40"},
        {"k", "line 17", "line 39"},
        {"g", "line 1", "line 23"},
        {"G", "line 18", "line 40"},
        {"b", "line 1", "line 23"},
        {"G", "line 18", "line 40"},
        {"5k", "line 13", "line 35"},
    };
    for (auto step : steps) {
        SCOPED_TRACE(step.keys);
        play(*s, step.keys);
        EXPECT_ROW(*s, 0, step.top);
        EXPECT_ROW(*s, 22, step.bottom);
    }
    vt_type(*s, "q");
    EXPECT_EQ(vt_wait_exit(*s), 0);
}

// The numbers of the long prompt's "byte N/L pct P%" piece; false when it
// is not there.
bool prompt_numbers(const std::string &prompt, long *byte, long *length, long *pct)
{
    size_t at = prompt.find(" byte ");
    return at != std::string::npos &&
           sscanf(prompt.c_str() + at, " byte %ld/%ld pct %ld%%", byte, length, pct) == 3;
}

// A hundred lines cut down to ten while the view is at the top, near it or
// at the end: the next prompt shows what is left (the last screenful of
// it, on a cleared screen), nothing beyond it, and the long prompt never
// gives a position past the length.
TEST(ChangingFile, TruncatedFileShowsNothingBeyondItsNewEnd)
{
    struct {
        const char *name;
        const char *keys;       // where the view is before the cut
    } cases[] = {{"at the top", ""}, {"at the end", "G"}, {"near the top", "5g"}};
    for (auto c : cases) {
        SCOPED_TRACE(c.name);
        temp_home dir;
        auto s = start_on(dir, numbered_text(1, 100));
        ASSERT_TRUE(s);
        ASSERT_ROW(*s, 0, "line 1");
        play(*s, std::string(c.keys) + "=");
        ASSERT_ROW_HAS(*s, 23, "pct");
        dir.write("g.txt", numbered_text(1, 10));
        vt_type(*s, "==");      // two commands that only redraw the prompt
        EXPECT_TRUE(vt_wait(*s, [](vt_session &v) { return vt_row(v, 10).empty(); }))
            << vt_screen(*s);
        for (int row = 0; row < 10; row++)
            EXPECT_EQ(vt_row(*s, row), "line " + std::to_string(row + 1));
        for (int row = 10; row < 23; row++)
            EXPECT_EQ(vt_row(*s, row), "") << "row " << row << "\n" << vt_screen(*s);
        long byte = -1, length = -1, pct = -1;
        std::string prompt = vt_row(*s, 23);
        if (prompt_numbers(prompt, &byte, &length, &pct)) {
            EXPECT_LE(byte, length) << prompt;
            EXPECT_LE(pct, 100) << prompt;
        }
        vt_type(*s, "q");
        EXPECT_EQ(vt_wait_exit(*s), 0);
    }
}

// After the file changed under the view (cut from a hundred lines to
// thirty, or grown from thirty to a hundred), moves in both directions
// and searches both ways see the new text and only it: no line of the old
// length comes back, and every new line is found.
TEST(ChangingFile, MovesAndSearchesAfterACutOrAGrowth)
{
    struct step {
        const char *keys;
        const char *top;        // row 0, or "" when only `shown` is checked
        const char *shown;      // a row that must show this, or ""
        const char *bottom;     // what the bottom row holds, or ""
    };
    struct {
        const char *name;
        int before, after;      // lines before and after the change
        const char *start;      // where the view is when it changes
        std::vector<step> steps;
    } cases[] = {
        {"cut while at the end", 100, 30, "G",
         {{"g", "line 1", "", ""},
          {"G", "line 8", "line 30", ""},
          {"50p", "line 8", "line 16", ""},  // too near the end to be on top
          {"g/line 25\n", "", "line 25", ""},
          {"g/line 60\n", "", "", "Pattern not found"},
          {"\nG?line 2$\n", "", "line 2", ""},
          {"?line 99\n", "", "", "Pattern not found"},
          {"\nb", "", "", ""},
          {"G", "line 8", "line 30", ""}}},
        {"cut while near the top", 100, 30, "10g",
         {{"G", "line 8", "line 30", ""},
          {"k", "line 7", "line 29", ""},
          {"g", "line 1", "", ""},
          {"/line 61\n", "", "", "Pattern not found"},
          {"\n/line 29\n", "", "line 29", ""}}},
        {"grown while at the end", 30, 100, "G",
         {{"/line 90\n", "", "line 90", ""},
          {"?line 31$\n", "", "line 31", ""},
          {"50p", "line 51", "", ""},
          {"b", "line 28", "", ""},
          {"G", "line 78", "line 100", ""},
          {"g", "line 1", "", ""}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        temp_home dir;
        auto s = start_on(dir, numbered_text(1, c.before));
        ASSERT_TRUE(s);
        ASSERT_ROW_HAS(*s, 23, "g.txt");
        play(*s, std::string(c.start) + "=");
        ASSERT_ROW_HAS(*s, 23, "pct");
        if (c.after < c.before)
            dir.write("g.txt", numbered_text(1, c.after));
        else
            append_to_file(dir.path + "/g.txt", numbered_text(c.before + 1, c.after));
        play(*s, "=");
        for (const step &st : c.steps) {
            SCOPED_TRACE(st.keys);
            play(*s, st.keys);
            if (st.top[0] != '\0') {
                EXPECT_ROW(*s, 0, st.top);
            }
            if (st.shown[0] != '\0') {
                EXPECT_TRUE(shows_line(*s, st.shown));
            }
            if (st.bottom[0] != '\0') {
                EXPECT_ROW_HAS(*s, 23, st.bottom);
            }
        }
        for (int row = 0; row < 23; row++) {
            std::string text = vt_row(*s, row);
            int number = 0;
            if (sscanf(text.c_str(), "line %d", &number) == 1) {
                EXPECT_LE(number, c.after) << "row " << row << "\n" << vt_screen(*s);
            }
        }
        vt_type(*s, "q");
        EXPECT_EQ(vt_wait_exit(*s), 0);
    }
}

}  // namespace
