// Paging mode's start-up as a user sees it: messages written before the
// screen is in use, the choice of the first file, and the quiet orderly end
// when nothing can be shown; and how files opened later remember where the
// file left behind was.
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>

#include <string>

#include "pager_session.h"

namespace {

const int BOTTOM = 23;

// The pager in `dir`, on xterm or (for what must stay visible after the
// end) vt100, which has no alternate screen.
vt_ptr start_in(const temp_home &dir, std::vector<std::string> args, const char *term = "xterm")
{
    vt_options options;
    options.term = term;
    options.args = std::move(args);
    options.cwd = dir.path;
    options.env = {{"HOME", dir.path}};
    options.unset_env = {"VORN"};
    return vt_start(options);
}

TEST(StartupScreen, EarlierMessagesWaitBeforeTheFirstScreen)
{
    // The first file is missing: its message went to the terminal before
    // the screen was in use, so the name of the file that did open is shown
    // on the bottom line and waits for a key before the screen is painted.
    temp_home dir;
    dir.write("second", "second file, line 1\nline 2\n");
    auto s = start_in(dir, {"-e", "missing", "second"});
    ASSERT_TRUE(s);
    ASSERT_TRUE(vt_wait_contains(*s, BOTTOM, "second  (press RETURN)")) << vt_screen(*s);
    EXPECT_TRUE(vt_attr(*s, BOTTOM, 0).reverse) << "the message stands out";
    EXPECT_NE(vt_screen(*s).find("missing: No such file or directory"), std::string::npos)
        << vt_screen(*s);
    vt_key(*s, "enter");
    EXPECT_TRUE(vt_wait(*s, [](vt_session &t) {
        return vt_screen(t).find("second file, line 1") != std::string::npos &&
               vt_screen(t).find("(press RETURN)") == std::string::npos;
    })) << vt_screen(*s);
}

TEST(StartupScreen, NothingToShowFails)
{
    // No input can be opened: the reasons are on the terminal, the program
    // ends with status 1 (the run failed) and leaves the terminal as it
    // found it.
    temp_home dir;
    mkdir((dir.path + "/sub").c_str(), 0700);
    dir.write("sub/placeholder", "");
    struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"missing"}, "missing: No such file or directory"},
        {{"missing", "sub"}, "sub is a directory"},
        {{}, "Can't take input from a terminal"},
        {{"-"}, "Can't take input from a terminal"},
        {{"-t", "no_such_tag", "sub/placeholder"}, "could not find relevent tag information"},
    };
    for (const auto &c : cases) {
        auto s = start_in(dir, c.args, "vt100");
        ASSERT_TRUE(s);
        EXPECT_EQ(vt_wait_exit(*s), 1) << c.message;
        EXPECT_NE(vt_screen(*s).find(c.message), std::string::npos) << vt_screen(*s);
        termios before = vt_initial_tty(*s), after = vt_final_tty(*s);
        EXPECT_EQ(before.c_lflag, after.c_lflag) << c.message;
        EXPECT_EQ(before.c_iflag, after.c_iflag) << c.message;
        EXPECT_EQ(before.c_oflag, after.c_oflag) << c.message;
    }
}

TEST(StartupScreen, MessagesOutliveTheAlternateScreen)
{
    // On xterm the terminal-init sequence switches to the alternate screen
    // and the end sequence switches back, taking away what was written
    // there: the reasons must still be readable, once, after the end.  On
    // vt100 nothing is taken away, so nothing is repeated.
    temp_home dir;
    for (const char *term : {"xterm", "vt100"}) {
        auto s = start_in(dir, {"missing", "gone"}, term);
        ASSERT_TRUE(s);
        EXPECT_EQ(vt_wait_exit(*s), 1) << term;
        std::string screen = vt_screen(*s);
        for (const char *message : {"missing: No such file or directory",
                                    "gone: No such file or directory"}) {
            size_t first = screen.find(message);
            ASSERT_NE(first, std::string::npos) << term << "\n" << screen;
            EXPECT_EQ(screen.find(message, first + 1), std::string::npos)
                << term << ": shown twice\n" << screen;
        }
    }
}

// A terminating signal while the pager is still starting (here waiting to
// open a named pipe nobody writes) restores the terminal from the handler,
// and the messages written before are readable after the end, once.
TEST(StartupScreen, MessagesOutliveATerminatingSignal)
{
    temp_home dir;
    ASSERT_EQ(mkfifo((dir.path + "/fifo").c_str(), 0600), 0);
    auto s = start_in(dir, {"missing", "fifo"});
    ASSERT_TRUE(s);
    const std::string message = "missing: No such file or directory";
    ASSERT_TRUE(vt_wait(*s, [&](vt_session &v) {
        return vt_screen(v).find(message) != std::string::npos;
    })) << vt_screen(*s);
    vt_signal(*s, SIGTERM);
    EXPECT_EQ(vt_wait_exit(*s), 128 + SIGTERM);
    EXPECT_TRUE(terminal_restored(*s));
    std::string screen = vt_screen(*s);
    size_t first = screen.find(message);
    ASSERT_NE(first, std::string::npos) << screen;
    EXPECT_EQ(screen.find(message, first + 1), std::string::npos) << "shown twice\n" << screen;
}

// Started without standard input or standard error, the pager opens
// /dev/null in their place before it opens anything else: the named file is
// never taken for standard input, and with no keyboard to read the run ends
// with a failure status instead of reading the file as keys and hanging
// itself up.
TEST(StartupScreen, ClosedStandardDescriptorsAreNotTakenByFiles)
{
    temp_home dir;
    dir.write("lines.txt", numbered_text(1, 100));
    vt_options options;
    options.program = "/bin/sh";
    auto s = start_in_dir(dir, {"-c", "exec \"$0\" lines.txt <&-", VORN_BINARY}, options);
    ASSERT_TRUE(s);
    ASSERT_ROW(*s, 0, "line 1");
    EXPECT_ROW_HAS(*s, BOTTOM, "lines.txt");
    vt_type(*s, "q");
    EXPECT_EQ(vt_wait_exit(*s), 0);

    s = start_in_dir(dir, {"-c", "exec \"$0\" lines.txt 2>&-", VORN_BINARY}, options);
    ASSERT_TRUE(s);
    EXPECT_EQ(vt_wait_exit(*s), 1);
}

TEST(StartupScreen, HashReturnsToTheTopLineOfTheFileLeft)
{
    // "#" opens the file left last at the line that was at the top of its
    // screen then; going back and forth keeps both places.
    temp_home dir;
    std::string first, second;
    for (int i = 1; i <= 100; i++) {
        first += "first " + std::to_string(i) + "\n";
        second += "second " + std::to_string(i) + "\n";
    }
    dir.write("one", first);
    dir.write("two", second);
    auto s = start_in(dir, {"-e", "one", "two"});
    ASSERT_TRUE(s);
    ASSERT_TRUE(vt_wait_row(*s, 0, "first 1")) << vt_screen(*s);
    struct {
        const char *keys;
        const char *top;
    } steps[] = {
        {"30g", "first 30"},
        {":n", "second 1"},
        {"12g", "second 12"},
        {":e#<enter>", "first 30"},
        {"5j", "first 35"},
        {":e#<enter>", "second 12"},
        {":e#<enter>", "first 35"},
    };
    for (const auto &step : steps) {
        play(*s, step.keys);
        EXPECT_TRUE(vt_wait_row(*s, 0, step.top)) << step.keys << "\n" << vt_screen(*s);
    }
}

} // namespace
