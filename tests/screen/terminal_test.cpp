// The pager's terminal handling seen from outside: the interrupt key, stop
// and continue, window changes, hang-ups, and messages on standard error
// and on the bottom line.
#include <signal.h>
#include <stdlib.h>
#include <string.h>

#include "harness.h"
#include "pager_session.h"

namespace {

// A directory of fixture files, used as the pager's working directory.
using fixture_dir = temp_home;

std::string numbered(const char *word, int count)
{
    std::string text;
    for (int i = 1; i <= count; ++i)
        text += std::string(word) + " " + std::to_string(i) + "\n";
    return text;
}

// The pager on a file of 100 numbered lines, "lines.txt", with the first
// screen painted.  Extra .vornrc text can bind test keys.
vt_ptr start_on_lines(const fixture_dir &dir, vt_options options = {},
                      const std::string &vornrc = "")
{
    dir.write("lines.txt", numbered("line", 100));
    options.cwd = dir.path;
    options.args = {"lines.txt"};
    if (!vornrc.empty())
        options.home_files.emplace_back(".vornrc", vornrc);
    auto s = vt_start(options);
    if (s) {
        EXPECT_ROW(*s, 0, "line 1");
        EXPECT_ROW_HAS(*s, options.rows - 1, "lines.txt");
    }
    return s;
}

::testing::AssertionResult same_settings(const termios &after,
                                         const termios &before)
{
    if (after.c_iflag == before.c_iflag && after.c_oflag == before.c_oflag &&
        after.c_cflag == before.c_cflag && after.c_lflag == before.c_lflag &&
        memcmp(after.c_cc, before.c_cc, sizeof after.c_cc) == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << std::hex << "terminal settings differ: lflag " << after.c_lflag
           << " vs " << before.c_lflag << ", oflag " << after.c_oflag
           << " vs " << before.c_oflag << ", iflag " << after.c_iflag
           << " vs " << before.c_iflag;
}

bool in_pagers_mode(const termios &settings)
{
    return !(settings.c_lflag & (ICANON | ECHO)) && (settings.c_lflag & ISIG);
}

TEST(Interrupt, EndsWithStatusZeroAndTheTerminalRestored)
{
    struct {
        const char *name;
        void (*act)(vt_session &);
    } cases[] = {
        {"interrupt key", [](vt_session &s) { vt_key(s, "^C"); }},
        {"SIGINT", [](vt_session &s) { vt_signal(s, SIGINT); }},
        {"interrupt key at a message",
         [](vt_session &s) {
             vt_type(s, "E");
             ASSERT_ROW(s, 23, "stop here  (press RETURN)");
             vt_key(s, "^C");
         }},
    };
    for (auto c : cases) {
        SCOPED_TRACE(c.name);
        fixture_dir dir;
        auto s = start_on_lines(dir, {}, "macro 0 E 'error \"stop here\"'\n");
        ASSERT_TRUE(s);
        EXPECT_TRUE(in_pagers_mode(vt_final_tty(*s)));
        c.act(*s);
        EXPECT_EQ(vt_wait_exit(*s), 0);
        EXPECT_TRUE(same_settings(vt_final_tty(*s), vt_initial_tty(*s)));
    }
}

// A signal that ends the process by default, from outside or from the
// quit key: the terminal is restored as by the orderly exit (settings, the
// pager's screen left) before the signal ends the pager, and its parent
// sees it killed by that signal.
TEST(TerminatingSignal, RestoresTheTerminalThenEndsByTheSignal)
{
    struct {
        const char *name;
        int sig;
        void (*act)(vt_session &);
    } cases[] = {
        {"SIGTERM", SIGTERM, [](vt_session &s) { vt_signal(s, SIGTERM); }},
        {"SIGHUP", SIGHUP, [](vt_session &s) { vt_signal(s, SIGHUP); }},
        {"SIGQUIT", SIGQUIT, [](vt_session &s) { vt_signal(s, SIGQUIT); }},
        {"quit key", SIGQUIT, [](vt_session &s) { vt_key(s, "^\\"); }},
        {"SIGUSR1", SIGUSR1, [](vt_session &s) { vt_signal(s, SIGUSR1); }},
        {"SIGALRM", SIGALRM, [](vt_session &s) { vt_signal(s, SIGALRM); }},
    };
    for (auto c : cases) {
        SCOPED_TRACE(c.name);
        fixture_dir dir;
        auto s = start_on_lines(dir);
        ASSERT_TRUE(s);
        ASSERT_TRUE(in_pagers_mode(vt_final_tty(*s)));
        c.act(*s);
        EXPECT_EQ(vt_wait_exit(*s), 128 + c.sig);
        EXPECT_TRUE(same_settings(vt_final_tty(*s), vt_initial_tty(*s)));
        // The terminal-end sequence took the pager's screen away.
        for (int row = 0; row < 23; row++)
            EXPECT_EQ(vt_row(*s, row), "") << "row " << row << "\n" << vt_screen(*s);
    }
}

// A hang-up the environment told the pager to ignore stays ignored.
TEST(TerminatingSignal, IgnoredHangUpStaysIgnored)
{
    fixture_dir dir;
    vt_options options;
    options.ignore_sighup = true;
    auto s = start_on_lines(dir, options);
    ASSERT_TRUE(s);
    vt_signal(*s, SIGHUP);
    vt_type(*s, "j");
    EXPECT_ROW(*s, 0, "line 2");
    vt_key(*s, "^C");
    EXPECT_EQ(vt_wait_exit(*s), 0);
}

// The pager waits for a key when the window changes: the wait is given
// up at once and the screen repainted for the new size, with no key typed.
TEST(WindowChange, AbandonsTheKeyReadAndRepaintsForTheNewSize)
{
    fixture_dir dir;
    auto s = start_on_lines(dir);
    ASSERT_TRUE(s);
    struct {
        int rows, cols;
    } sizes[] = {{30, 80}, {20, 80}, {20, 50}};
    for (auto size : sizes) {
        SCOPED_TRACE(std::to_string(size.rows) + "x" +
                     std::to_string(size.cols));
        vt_resize(*s, size.rows, size.cols);
        EXPECT_ROW(*s, 0, "line 1");
        EXPECT_ROW(*s, size.rows - 2,
                   "line " + std::to_string(size.rows - 1));
        EXPECT_ROW_HAS(*s, size.rows - 1, "lines.txt");
    }
}

// A window-change signal without a change of size still repaints: the
// window may have changed and changed back before the pager looked (one
// signal for both), and the terminal has then lost what did not fit the
// smaller window.  The screen is marked behind the pager's back to tell.
TEST(WindowChange, UnchangedSizeRepaintsToo)
{
    fixture_dir dir;
    auto s = start_on_lines(dir);
    ASSERT_TRUE(s);
    vt_feed(*s, "\x1b[1;1HMARK\x1b[K\x1b[24;1H\x1b[K");
    vt_signal(*s, SIGWINCH);
    EXPECT_ROW(*s, 0, "line 1");
    EXPECT_ROW_HAS(*s, 23, "lines.txt");
    // two columns and straight back: every row is whole again
    vt_resize(*s, 24, 2);
    vt_resize(*s, 24, 80);
    EXPECT_ROW(*s, 0, "line 1");
    EXPECT_ROW(*s, 22, "line 23");
}

// Reading a pipe that has no more data yet: a window change abandons the
// read quietly (no error), and the data that comes later is still shown.
TEST(WindowChange, AbandonsAPipeReadWithoutAnError)
{
    vt_options options;
    options.stdin_pipe = true;
    options.stdin_keep_open = true;
    options.stdin_data = numbered("piped", 5);
    auto s = vt_start(options);
    ASSERT_TRUE(s);
    ASSERT_ROW(*s, 22, "piped 5");
    vt_resize(*s, 30, 80);
    vt_stdin_write(*s, numbered("more", 40));
    vt_stdin_close(*s);
    EXPECT_ROW(*s, 0, "piped 1");
    EXPECT_ROW(*s, 28, "more 24");
    EXPECT_FALSE(vt_wait(*s, [](vt_session &v) {
        return vt_screen(v).find("error") != std::string::npos;
    }, 200));
    vt_key(*s, "^C");
    EXPECT_EQ(vt_wait_exit(*s), 0);
}

TEST(Stop, SuspendsWithTheTerminalRestoredAndResumesThePager)
{
    struct {
        const char *name;
        void (*act)(vt_session &);
    } cases[] = {
        {"suspend key", [](vt_session &s) { vt_key(s, "^Z"); }},
        {"SIGTSTP", [](vt_session &s) { vt_signal(s, SIGTSTP); }},
    };
    for (auto c : cases) {
        SCOPED_TRACE(c.name);
        fixture_dir dir;
        auto s = start_on_lines(dir);
        ASSERT_TRUE(s);
        c.act(*s);
        ASSERT_TRUE(vt_wait_stopped(*s)) << vt_screen(*s);
        EXPECT_TRUE(same_settings(vt_final_tty(*s), vt_initial_tty(*s)));
        // The terminal-end sequence took the pager's screen away.
        EXPECT_EQ(vt_row(*s, 0), "");
        vt_signal(*s, SIGCONT);
        EXPECT_ROW(*s, 0, "line 1");
        EXPECT_ROW_HAS(*s, 23, "lines.txt");
        EXPECT_TRUE(in_pagers_mode(vt_final_tty(*s)));
        // Keys work again.
        vt_type(*s, "j");
        EXPECT_ROW(*s, 0, "line 2");
        vt_key(*s, "^C");
        EXPECT_EQ(vt_wait_exit(*s), 0);
    }
}

// Reads of the keyboard find end of file: after the third the pager sends
// itself the hang-up signal, or, when that signal is ignored, takes the
// orderly exit instead of reading for ever.  A terminal that really hangs
// up gives end of file or an error, depending on the kernel's timing; with
// the hang-up signal ignored both must end the pager with status 0.
TEST(HangUp, EndOfFileOnTheKeyboardEndsThePager)
{
    struct {
        const char *name;
        bool hang_up_terminal, ignore_sighup;
        int status;
    } cases[] = {
        {"keyboard at end of file", false, false, 128 + SIGHUP},
        {"keyboard at end of file, SIGHUP ignored", false, true, 0},
        {"terminal hung up, SIGHUP ignored", true, true, 0},
    };
    for (auto c : cases) {
        SCOPED_TRACE(c.name);
        fixture_dir dir;
        dir.write("lines.txt", numbered("line", 100));
        vt_options options;
        options.cwd = dir.path;
        options.ignore_sighup = c.ignore_sighup;
        if (c.hang_up_terminal) {
            options.args = {"lines.txt"};
        } else {
            options.program = "/bin/sh";
            options.args = {"-c", "exec \"$0\" lines.txt 2</dev/null",
                            VORN_BINARY};
        }
        auto s = vt_start(options);
        ASSERT_TRUE(s);
        if (c.hang_up_terminal) {
            ASSERT_ROW_HAS(*s, 23, "lines.txt");
            vt_hangup(*s);
        }
        EXPECT_EQ(vt_wait_exit(*s), c.status);
    }
}

// Standard error is not the terminal: the first key cannot be read and the
// pager ends in order, without waiting for anything, and with status 1: a
// run that cannot read its keyboard failed.
TEST(HangUp, KeyboardThatCannotBeReadEndsThePager)
{
    fixture_dir dir;
    dir.write("lines.txt", numbered("line", 100));
    vt_options options;
    options.cwd = dir.path;
    options.program = "/bin/sh";
    options.args = {"-c", "exec \"$0\" lines.txt 2>>errors.txt", VORN_BINARY};
    auto s = vt_start(options);
    ASSERT_TRUE(s);
    EXPECT_EQ(vt_wait_exit(*s), 1);
}

// Before the first file opens, messages are lines on standard error; the
// file that opens then names itself on the bottom line and waits, so that
// they can be read before the screen is painted.
TEST(Messages, StandardErrorBeforeTheFirstFileOpens)
{
    struct {
        const char *key;
        bool ends;
    } cases[] = {{"\r", false}, {"q", true}};
    for (auto c : cases) {
        SCOPED_TRACE(c.key);
        fixture_dir dir;
        dir.write("second.txt", numbered("second", 50));
        vt_options options;
        options.cwd = dir.path;
        options.args = {"missing.txt", "second.txt"};
        auto s = vt_start(options);
        ASSERT_TRUE(s);
        EXPECT_ROW(*s, 0, "missing.txt: No such file or directory");
        EXPECT_ROW(*s, 23, "second.txt  (press RETURN)");
        EXPECT_TRUE(vt_attr(*s, 23, 0).reverse);
        vt_type(*s, c.key);
        if (c.ends) {
            EXPECT_EQ(vt_wait_exit(*s), 0);
            EXPECT_TRUE(same_settings(vt_final_tty(*s), vt_initial_tty(*s)));
        } else {
            EXPECT_ROW(*s, 0, "second 1");
            EXPECT_ROW_HAS(*s, 23, "second.txt");
        }
    }
}

TEST(Messages, BottomLineWaitsAndTheKeyActs)
{
    struct {
        const char *key;
        int exit_status;     // -1: still running
        const char *top_row; // afterwards
    } cases[] = {
        {"\r", -1, "line 1"},
        {"j", -1, "line 2"},  // dismisses, then moves a line
        {"q", 0, nullptr},
    };
    for (auto c : cases) {
        SCOPED_TRACE(c.key);
        fixture_dir dir;
        auto s = start_on_lines(dir, {}, "macro 0 E 'error \"a message\"'\n");
        ASSERT_TRUE(s);
        vt_type(*s, "E");
        ASSERT_ROW(*s, 23, "a message  (press RETURN)");
        EXPECT_TRUE(vt_attr(*s, 23, 0).reverse);
        EXPECT_FALSE(vt_attr(*s, 23, 26).reverse);
        vt_type(*s, c.key);
        if (c.exit_status >= 0) {
            EXPECT_EQ(vt_wait_exit(*s), c.exit_status);
            continue;
        }
        EXPECT_ROW(*s, 0, c.top_row);
        EXPECT_ROW_HAS(*s, 23, "lines.txt");
    }
}

// On 80 columns "  (press RETURN)" leaves room for 64 characters; a longer
// message wraps and scrolls, and the screen is repainted after the key.
TEST(Messages, MessageThatDoesNotFitRepaintsTheScreen)
{
    struct {
        int length;
        const char *row_5_after;
    } cases[] = {{64, "MARK"}, {65, "line 6"}};
    for (auto c : cases) {
        SCOPED_TRACE(c.length);
        fixture_dir dir;
        std::string message(static_cast<size_t>(c.length), 'x');
        auto s = start_on_lines(dir, {},
                                "macro 0 E 'error \"" + message + "\"'\n");
        ASSERT_TRUE(s);
        vt_type(*s, "E");
        ASSERT_TRUE(vt_wait(*s, [](vt_session &v) {
            return vt_screen(v).find("RETURN") != std::string::npos;
        })) << vt_screen(*s);
        vt_feed(*s, "\x1b[6;1HMARK\x1b[K");
        vt_type(*s, "\r");
        EXPECT_ROW_HAS(*s, 23, "lines.txt");
        EXPECT_EQ(vt_row(*s, 5), c.row_5_after) << vt_screen(*s);
    }
}

}  // namespace
