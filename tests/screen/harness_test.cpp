// The harness checked against the shell, so that a fault in the harness
// cannot hide behind a fault in the pager (or the other way round).
#include <gtest/gtest-spi.h>
#include <signal.h>

#include "harness.h"

namespace {

vt_options shell(const std::string &script)
{
    vt_options options;
    options.program = "/bin/sh";
    options.args = {"-c", script};
    return options;
}

TEST(Harness, WaitingForTextThatNeverAppearsFails)
{
    auto s = vt_start(shell("printf 'one\\ntwo\\n'; exec cat"));
    ASSERT_TRUE(s);
    EXPECT_TRUE(vt_wait_row(*s, 1, "two"));
    EXPECT_FALSE(vt_wait_row(*s, 1, "three", 200));
    EXPECT_FALSE(vt_wait_contains(*s, 0, "never", 200));
    EXPECT_EQ(vt_row(*s, 0), "one");
    EXPECT_NONFATAL_FAILURE(EXPECT_TRUE(vt_row_is(*s, 2, "absent", 200)),
                            "row 2 is \"\"");
}

TEST(Harness, ReadsTextAttributesAndCursor)
{
    auto s = vt_start(shell(
        "printf 'plain \\033[1mbold\\033[0m \\033[4mul\\033[0m "
        "\\033[7mrev\\033[0m\\033[3;5Hx'; exec cat"));
    ASSERT_TRUE(s);
    ASSERT_ROW(*s, 2, "    x");
    EXPECT_EQ(vt_row(*s, 0), "plain bold ul rev");
    struct {
        int col;
        bool bold, underline, reverse;
    } cells[] = {{0, false, false, false}, {6, true, false, false},
                 {11, false, true, false}, {14, false, false, true}};
    for (auto cell : cells) {
        vt_attrs attrs = vt_attr(*s, 0, cell.col);
        EXPECT_EQ(attrs.bold, cell.bold) << "column " << cell.col;
        EXPECT_EQ(attrs.underline, cell.underline) << "column " << cell.col;
        EXPECT_EQ(attrs.reverse, cell.reverse) << "column " << cell.col;
    }
    EXPECT_EQ(vt_cursor(*s), std::make_pair(2, 5));
}

// A character whose bytes come in two writes (a combining mark after its
// base, as a program blocked on a full terminal writes it) shows whole.
TEST(Harness, CharacterSplitBetweenWritesShowsWhole)
{
    vt_options options = shell("stty -echo; printf 'F\\315'; read x; printf '\\212u'; exec cat");
    options.utf8 = true;
    auto s = vt_start(options);
    ASSERT_TRUE(s);
    ASSERT_TRUE(vt_wait_contains(*s, 0, "F"));
    vt_type(*s, "\r");
    EXPECT_TRUE(vt_row_is(*s, 0, "F\xcd\x8au"));
}

// Keys come from the description in keypad-transmit mode.
TEST(Harness, NamedKeysSendTheSequencesOfTheDescription)
{
    struct {
        const char *name, *bytes;
    } keys[] = {{"up", "1b 4f 41"}, {"pgdn", "1b 5b 36 7e"}, {"^G", "07"},
                {"enter", "0d"},    {"backtab", "1b 5b 5a"}};
    for (auto key : keys) {
        auto s = vt_start(shell("stty raw -echo; echo ready; head -c " +
                                std::to_string((strlen(key.bytes) + 1) / 3) +
                                " | od -An -tx1; exec cat"));
        ASSERT_TRUE(s);
        ASSERT_ROW(*s, 0, "ready");
        vt_key(*s, key.name);
        EXPECT_ROW_HAS(*s, 1, key.bytes) << key.name;
    }
}

TEST(Harness, ReportsExitStatusAndSignals)
{
    struct {
        const char *script;
        int status;
    } cases[] = {{"exit 3", 3}, {"kill -TERM $$", 128 + SIGTERM}};
    for (auto c : cases) {
        auto s = vt_start(shell(c.script));
        ASSERT_TRUE(s);
        EXPECT_EQ(vt_wait_exit(*s), c.status) << c.script;
    }
    auto s = vt_start(shell("exec cat"));
    ASSERT_TRUE(s);
    EXPECT_EQ(vt_wait_exit(*s, 200), -1);
    vt_signal(*s, SIGKILL);
    EXPECT_EQ(vt_wait_exit(*s), 128 + SIGKILL);
}

TEST(Harness, ResizeReachesTheProgram)
{
    auto s = vt_start(shell("trap 'stty size' WINCH; stty size; "
                            "while :; do read x && break; done; stty size"));
    ASSERT_TRUE(s);
    ASSERT_ROW(*s, 0, "24 80");
    vt_resize(*s, 30, 100);
    vt_type(*s, "\r");
    EXPECT_TRUE(vt_wait(*s, [](vt_session &v) {
        return vt_screen(v).find("30 100") != std::string::npos;
    })) << vt_screen(*s);
    EXPECT_EQ(vt_wait_exit(*s), 0);
}

TEST(Harness, StopAndContinueAreSeen)
{
    auto s = vt_start(shell("kill -TSTP $$; echo back"));
    ASSERT_TRUE(s);
    ASSERT_TRUE(vt_wait_stopped(*s));
    vt_signal(*s, SIGCONT);
    EXPECT_ROW(*s, 0, "back");
    EXPECT_EQ(vt_wait_exit(*s), 0);
}

TEST(Harness, TerminalSettingsAfterExitAreVisible)
{
    auto s = vt_start(shell("stty -echo -icanon"));
    ASSERT_TRUE(s);
    ASSERT_EQ(vt_wait_exit(*s), 0);
    termios before = vt_initial_tty(*s), after = vt_final_tty(*s);
    EXPECT_TRUE(before.c_lflag & ECHO);
    EXPECT_TRUE(before.c_lflag & ICANON);
    EXPECT_FALSE(after.c_lflag & ECHO);
    EXPECT_FALSE(after.c_lflag & ICANON);
}

TEST(Harness, EnvironmentHomeAndStandardInput)
{
    vt_options options = shell("echo \"$TERM $FOO ${VORN-unset}\"; "
                               "tr a-z A-Z");
    options.env = {{"FOO", "bar"}, {"VORN", "-e"}};
    options.unset_env = {"VORN"};
    options.stdin_pipe = true;
    options.stdin_data = "piped\n";
    options.term = "vt100";
    auto s = vt_start(options);
    ASSERT_TRUE(s);
    EXPECT_ROW(*s, 0, "vt100 bar unset");
    EXPECT_ROW(*s, 1, "PIPED");
    EXPECT_EQ(vt_wait_exit(*s), 0);
}

TEST(Harness, HomeIsFreshAndWritable)
{
    auto s = vt_start(shell("read x; cat \"$HOME/marker\"; ls -A \"$HOME\""));
    ASSERT_TRUE(s);
    vt_write_file(vt_home(*s) + "/marker", "mark\n");
    vt_type(*s, "\r");
    EXPECT_ROW(*s, 1, "mark");
    EXPECT_ROW(*s, 2, "marker");
    EXPECT_EQ(vt_wait_exit(*s), 0);
}

// A sanitizer log written by the child must fail the test that ran it.
TEST(Harness, SanitizerLogOfTheChildFailsTheTest)
{
    EXPECT_NONFATAL_FAILURE(
        {
            auto s = vt_start(shell("p=${ASAN_OPTIONS#log_path=}; "
                                    "echo 'heap-use-after-free' >${p%%:*}.1"));
            if (s)
                vt_wait_exit(*s);
        },
        "heap-use-after-free");
}

// With both sanitizers built in, undefined-behaviour reports go to the
// terminal whatever log_path says: they must fail the test too.
TEST(Harness, SanitizerReportOnTheTerminalFailsTheTest)
{
    EXPECT_NONFATAL_FAILURE(
        {
            auto s = vt_start(shell("echo 'paint.cpp:135:9: runtime error: "
                                    "signed integer overflow' >&2"));
            if (s)
                vt_wait_exit(*s);
        },
        "signed integer overflow");
    // The same words in a file's text are not a report.
    auto s = vt_start(shell("echo 'a runtime error: is not a report'"));
    ASSERT_TRUE(s);
    EXPECT_EQ(vt_wait_exit(*s), 0);
}

TEST(Harness, TestTerminalsAreCompiled)
{
    vt_options options = shell("infocmp -1 vorn-hc | grep -c hc,");
    options.env = {{"TERMINFO", vt_terminfo_dir()}};
    auto s = vt_start(options);
    ASSERT_TRUE(s);
    EXPECT_ROW(*s, 0, "1");
}

}  // namespace
