// How a run starts: with long lines cut instead of wrapped (-S, the chop
// command and its toggle) and with an initial command (+command), typed on
// a real terminal.  wide.txt has lines of 300 columns, so the first two
// rows tell whether line 1 wraps and how far it is shifted; numbered200.txt
// holds "line 1" to "line 200".  The screen is 24 rows: 23 rows of text.
#include <string>
#include <vector>

#include "pager_session.h"

namespace {

const int ROWS = 24;
const int BOTTOM = ROWS - 1;

// The top rows of wide.txt: line 1 wrapping onto row 1, or lines 1 and 2
// cut, shifted left by `offset` columns.
::testing::AssertionResult shows_wide(vt_session &s, bool wrap, int offset)
{
    static const std::vector<std::string> lines = fixture_lines("wide.txt");
    std::string row1 = wrap ? lines[0].substr(80, 40) : lines[1].substr(offset, 40);
    if (vt_wait(s, [&](vt_session &v) {
            return vt_row(v, 0).substr(0, 40) == lines[0].substr(offset, 40) &&
                   vt_row(v, 1).substr(0, 40) == row1;
        }))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "wrap " << wrap << " offset " << offset << "\n"
                                         << vt_screen(s);
}

struct view_case {
    const char *name;
    std::vector<std::string> args;
    const char *vorn;           // the VORN variable, or null
    const char *keys;
    bool wrap;
    int offset;
};

TEST(StartView, ChoppedFromTheStart)
{
    temp_home home;
    home.write(".vornrc", "macro 0 x 'chop off'\nmacro 0 y 'chop on'\n");
    const std::vector<std::string> chopped = {"-e", "-S", "wide.txt", "wide.txt"};
    const view_case cases[] = {
        {"-S", chopped, nullptr, "", false, 0},
        {"VORN=-S", {"-e", "wide.txt"}, "-S", "", false, 0},
        // already cut: the first right scroll moves
        {"tab", chopped, nullptr, "<tab>", false, 8},
        {"back to wrapping", chopped, nullptr, "<backtab>", true, 0},
        // every file opens cut, whatever view the one before had
        {"next file", chopped, nullptr, "<tab><tab>:n", false, 0},
        {"next file after wrapping", chopped, nullptr, "<backtab>:n", false, 0},
        {"chop off", chopped, nullptr, "x", true, 0},
        {"chop off, next file", chopped, nullptr, "x:n", true, 0},
        {"chop off while scrolled", chopped, nullptr, "<tab>x", true, 0},
        {"chop on", {"-e", "wide.txt", "wide.txt"}, nullptr, "y", false, 0},
        {"chop on, next file", {"-e", "wide.txt", "wide.txt"}, nullptr, "y<backtab>:n", false, 0},
        // a view already cut and scrolled stays where it is
        {"chop on while scrolled", {"-e", "wide.txt"}, nullptr, "<tab><tab>y", false, 8},
    };
    for (const view_case &c : cases) {
        SCOPED_TRACE(c.name);
        vt_options options;
        options.env = {{"HOME", home.path}};
        if (c.vorn != nullptr)
            options.env.emplace_back("VORN", c.vorn);
        else
            options.unset_env = {"VORN"};
        options.args = c.args;
        options.rows = ROWS;
        options.cwd = VORN_TEST_DATA;
        vt_ptr s = vt_start(options);
        ASSERT_TRUE(s);
        ASSERT_TRUE(vt_wait(*s, [](vt_session &v) { return !vt_row(v, BOTTOM).empty(); }))
            << vt_screen(*s);
        play(*s, c.keys);
        EXPECT_TRUE(shows_wide(*s, c.wrap, c.offset));
    }
}

TEST(StartView, ChopToggleShowsTheSetting)
{
    temp_home home;
    home.write(".vornrc", "macro 0 x 'chop (${_chop_n} + 1)'\n"
                          "macro 0 w 'error \"chop ${_chop_s} ${_chop_n}\"'\n");
    vt_ptr s = start_pager(home, {"-e", "wide.txt"}, ROWS);
    ASSERT_TRUE(s);
    ASSERT_TRUE(shows_wide(*s, true, 0));
    play(*s, "w");
    ASSERT_TRUE(vt_wait_row(*s, BOTTOM, pressed("chop off 1"))) << vt_screen(*s);
    play(*s, "<enter>x");
    ASSERT_TRUE(shows_wide(*s, false, 0));
    play(*s, "w");
    ASSERT_TRUE(vt_wait_row(*s, BOTTOM, pressed("chop on 0"))) << vt_screen(*s);
    play(*s, "<enter>x");
    EXPECT_TRUE(shows_wide(*s, true, 0));
}

// The initial command runs once the first screen is shown, as its keys
// typed then would: a row that shows the line it went to and the bottom
// row tell what it did (a short file's lines may sit on the bottom rows).
TEST(StartView, InitialCommand)
{
    temp_home home;
    home.write("+name", "a file named plus name\n");
    home.write("numbered", numbered_text(1, 200));
    home.write("second", "the second file\n");
    struct {
        const char *name;
        std::vector<std::string> args;
        const char *top;
        std::string bottom;
    } cases[] = {
        {"line", {"-e", "+100", "numbered"}, "line 100", "numbered"},
        {"count and keys", {"-e", "+150G", "numbered"}, "line 150", "numbered"},
        {"count and g", {"+7g", "-e", "numbered"}, "line 7", "numbered"},
        {"end", {"-e", "+G", "numbered"}, "line 178", "numbered: END"},
        {"search key", {"-e", "+/line 42$", "numbered"}, "line 42", "numbered"},
        {"key sequence", {"-e", "+:n", "numbered", "second"}, "the second file", "second: END"},
        {"last one counts", {"-e", "+5", "+:n", "numbered", "second"}, "the second file",
         "second: END"},
        {"follow", {"+F", "numbered"}, "line 178", "waiting for data"},
        {"unbound", {"-e", "+x", "numbered"}, "line 1", pressed("could not expand macro")},
        {"unfinished", {"-e", "+:", "numbered"}, "line 1", pressed("could not expand macro")},
        {"after --", {"-e", "--", "+name"}, "a file named plus name", "+name: END"},
        {"dot slash", {"-e", "./+name"}, "a file named plus name", "+name: END"},
        // a "--" that is the argument of -x ends no options
        {"-x --", {"-e", "-x", "--", "+20", "numbered"}, "line 20", "numbered"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        vt_options options;
        options.unset_env = {"VORN"};
        options.rows = ROWS;
        vt_ptr s = start_in_dir(home, c.args, options);
        ASSERT_TRUE(s);
        EXPECT_TRUE(vt_wait_contains(*s, BOTTOM, c.bottom)) << vt_screen(*s);
        EXPECT_TRUE(shows_line(*s, c.top));
    }
}

// Runs only once: the first file's first screen, not the next file's.
TEST(StartView, InitialCommandOnlyForTheFirstScreen)
{
    temp_home home;
    home.write("numbered", numbered_text(1, 200));
    home.write("other", numbered_text(1, 200, "other"));
    vt_options options;
    options.unset_env = {"VORN"};
    options.rows = ROWS;
    vt_ptr s = start_in_dir(home, {"-e", "+100", "numbered", "other"}, options);
    ASSERT_TRUE(s);
    ASSERT_TRUE(vt_wait_row(*s, 0, "line 100")) << vt_screen(*s);
    play(*s, ":n");
    EXPECT_TRUE(vt_wait_row(*s, 0, "other 1")) << vt_screen(*s);
}

// Without -e the end ends the program, as G does: the end stays on the
// terminal and the run succeeds.
TEST(StartView, InitialEndWithoutStayingAtTheEnd)
{
    temp_home home;
    home.write("numbered", numbered_text(1, 200));
    vt_options options;
    options.unset_env = {"VORN"};
    options.rows = ROWS;
    options.term = "vt100";
    vt_ptr s = start_in_dir(home, {"+G", "numbered"}, options);
    ASSERT_TRUE(s);
    EXPECT_EQ(vt_wait_exit(*s), 0);
    EXPECT_TRUE(shows_line(*s, "line 200")) << vt_screen(*s);
}

}  // namespace
