// The mouse wheel, through the emulator's own mouse: the emulator reports
// a button only when the pager asked it to, and in the form asked for, as a
// terminal would; what it was asked shows as its mouse mode.  numbered.txt
// (in the home directory) holds "line 1" to "line 200"; the screen has 23
// rows of text.
#include <filesystem>
#include <string>
#include <vector>

#include <csignal>

#include "pager_session.h"

namespace {

const int ROWS = 24;
const int BOTTOM = ROWS - 1;
const int WHEEL_UP = 4, WHEEL_DOWN = 5;

vt_ptr start_on_numbered(temp_home &home, const std::vector<std::string> &args,
                         const char *vorn = nullptr)
{
    home.write("numbered.txt", numbered_text(1, 200));
    vt_options options;
    if (vorn != nullptr)
        options.env = {{"VORN", vorn}};
    else
        options.unset_env = {"VORN"};
    options.rows = ROWS;
    vt_ptr s = start_in_dir(home, args, options);
    if (s && !vt_row_is(*s, 0, "line 1")) {
        ADD_FAILURE() << "no first screen\n" << vt_screen(*s);
        return nullptr;
    }
    return s;
}

::testing::AssertionResult mouse_mode_becomes(vt_session &s, bool reporting)
{
    if (vt_wait(s, [&](vt_session &v) { return (v.mouse_mode != 0) == reporting; }))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "mouse mode " << s.mouse_mode << ", wanted "
                                         << (reporting ? "reporting" : "none") << "\n"
                                         << vt_screen(s);
}

void notch(vt_session &s, int button)
{
    vt_mouse_button(s, button, true);
}

// Each way of asking for the wheel; each notch moves three lines, and the
// prompt after it is the usual one (no byte of a report acted as a key).
TEST(MouseWheel, ScrollsThreeLinesANotch)
{
    struct {
        const char *name;
        std::vector<std::string> args;
        const char *vorn;
        const char *rc;
    } cases[] = {
        {"-M", {"-e", "-M", "numbered.txt"}, nullptr, ""},
        {"VORN", {"-e", "numbered.txt"}, "-M", ""},
        {"mouse on", {"-e", "numbered.txt"}, nullptr, "mouse on\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        temp_home home;
        home.write(".vornrc", c.rc);
        vt_ptr s = start_on_numbered(home, c.args, c.vorn);
        ASSERT_TRUE(s);
        ASSERT_TRUE(mouse_mode_becomes(*s, true));
        notch(*s, WHEEL_DOWN);
        EXPECT_TRUE(vt_row_is(*s, 0, "line 4"));
        notch(*s, WHEEL_DOWN);
        EXPECT_TRUE(vt_row_is(*s, 0, "line 7"));
        notch(*s, WHEEL_UP);
        EXPECT_TRUE(vt_row_is(*s, 0, "line 4"));
        EXPECT_TRUE(vt_row_is(*s, BOTTOM, "numbered.txt (11%)"));
    }
}

// Clicks, releases and drags are dropped whole: none of their bytes (digits
// among them) acts as a key, and the wheel after them moves as before.  At
// a typed line (the search prompt) the wheel types nothing.
TEST(MouseWheel, OtherEventsAndTypedLinesAreLeftAlone)
{
    temp_home home;
    vt_ptr s = start_on_numbered(home, {"-e", "-M", "numbered.txt"});
    ASSERT_TRUE(s);
    ASSERT_TRUE(mouse_mode_becomes(*s, true));
    for (int button : {1, 3, 1}) {
        vt_mouse_button(*s, button, true, 7, 30);
        vt_mouse_button(*s, button, false, 8, 31);
    }
    notch(*s, WHEEL_DOWN);
    EXPECT_TRUE(vt_row_is(*s, 0, "line 4"));
    EXPECT_TRUE(vt_row_is(*s, BOTTOM, "numbered.txt (11%)"));
    play(*s, "/");
    ASSERT_TRUE(vt_wait_contains(*s, BOTTOM, "Search: /")) << vt_screen(*s);
    play(*s, "line 1");
    notch(*s, WHEEL_DOWN);
    notch(*s, WHEEL_UP);
    play(*s, "50\n");
    EXPECT_TRUE(shows_line(*s, "line 150"));
}

// Off at start; the command switches reporting on and off at once, and its
// toggle pair shows the setting.
TEST(MouseWheel, OffByDefaultAndSwitchedByTheCommand)
{
    temp_home home;
    home.write(".vornrc", "macro 0 x 'mouse (${_mouse_n} + 1)'\n"
                          "macro 0 w 'error \"mouse ${_mouse_s} ${_mouse_n}\"'\n");
    vt_ptr s = start_on_numbered(home, {"-e", "numbered.txt"});
    ASSERT_TRUE(s);
    play(*s, "w");
    ASSERT_TRUE(vt_wait_row(*s, BOTTOM, pressed("mouse off 1"))) << vt_screen(*s);
    EXPECT_EQ(vt_mouse_mode(*s), 0);
    play(*s, "<enter>x");
    EXPECT_TRUE(mouse_mode_becomes(*s, true));
    play(*s, "w");
    ASSERT_TRUE(vt_wait_row(*s, BOTTOM, pressed("mouse on 0"))) << vt_screen(*s);
    play(*s, "<enter>x");
    EXPECT_TRUE(mouse_mode_becomes(*s, false));
    EXPECT_TRUE(vt_row_is(*s, 0, "line 1"));
}

// Whenever the pager gives the terminal back, reporting is off: while it
// is stopped, while the editor has the terminal, at its end and at a
// terminating signal; it is on again once the pager has the terminal back.
TEST(MouseWheel, ReportingOffWheneverTheTerminalIsGivenBack)
{
    temp_home home;
    home.write("editor", "#!/bin/sh\n"
                         "printf 'in the editor\\n'\n"
                         "i=0\n"
                         "while [ ! -e \"$HOME/go\" ] && [ $i -lt 500 ]; do sleep 0.02; i=$((i + 1)); done\n");
    std::filesystem::permissions(home.path + "/editor", std::filesystem::perms::owner_all);
    vt_options options;
    options.unset_env = {"VORN"};
    options.env = {{"EDITOR", home.path + "/editor"}};
    options.rows = ROWS;
    home.write("numbered.txt", numbered_text(1, 200));
    vt_ptr s = start_in_dir(home, {"-e", "-M", "numbered.txt"}, options);
    ASSERT_TRUE(s);
    ASSERT_TRUE(vt_row_is(*s, 0, "line 1"));
    ASSERT_TRUE(mouse_mode_becomes(*s, true));

    vt_signal(*s, SIGTSTP);
    ASSERT_TRUE(vt_wait_stopped(*s)) << vt_screen(*s);
    EXPECT_TRUE(mouse_mode_becomes(*s, false));
    vt_signal(*s, SIGCONT);
    EXPECT_TRUE(mouse_mode_becomes(*s, true));

    play(*s, "v");
    ASSERT_TRUE(shows_line(*s, "in the editor"));
    EXPECT_TRUE(mouse_mode_becomes(*s, false));
    home.write("go", "");
    EXPECT_TRUE(mouse_mode_becomes(*s, true));
    notch(*s, WHEEL_DOWN);
    EXPECT_TRUE(vt_row_is(*s, 0, "line 4"));

    play(*s, "q");
    EXPECT_EQ(vt_wait_exit(*s), 0);
    EXPECT_TRUE(mouse_mode_becomes(*s, false));

    vt_ptr t = start_in_dir(home, {"-e", "-M", "numbered.txt"}, options);
    ASSERT_TRUE(t);
    ASSERT_TRUE(vt_row_is(*t, 0, "line 1"));
    ASSERT_TRUE(mouse_mode_becomes(*t, true));
    vt_signal(*t, SIGTERM);
    EXPECT_EQ(vt_wait_exit(*t), 128 + SIGTERM);
    EXPECT_TRUE(mouse_mode_becomes(*t, false));
}

}  // namespace
