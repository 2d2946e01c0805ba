// A named file that changes while the pager shows it: a file that grows is
// read on (its old end is neither the end nor the beginning), and a file
// cut short shows nothing beyond its new end, in the text or the prompt.
#include <cstdio>
#include <string>

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

}  // namespace
