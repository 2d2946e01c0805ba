// The pending error and the messages, on standard error before the screen
// is in use and on the bottom line afterwards.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <vector>

#include "command/command.h"
#include "display/display.h"
#include "startup/startup.h"
#include "terminal/terminal.h"
#include "terminal_fixture.h"

namespace {

struct messages_on_stderr {
    messages_on_stderr()
    {
        messages_on_screen = 0;
        clear_error();
    }
};

TEST(PendingError, ReportShowsTheTextOrTheTableMessageOnce)
{
    struct {
        int code;
        const char *text;
        const char *shown;
    } cases[] = {
        {1, nullptr, "ambigious macro\n"},
        {6, nullptr, "could not expand macro\n"},
        {13, nullptr, "bad n-toggle argument to command\n"},
        {15, nullptr, "to the unknown error\n"},
        {4, "line %d: %s", "line 7: oops\n"},
        {0, nullptr, ""},
    };
    messages_on_stderr setup;
    for (auto c : cases) {
        SCOPED_TRACE(c.code);
        if (c.text)
            set_error(c.code, c.text, 7, "oops");
        else
            set_error_code(c.code);
        int count = message_count;
        std::string shown;
        std::string terminal =
            capture_output([&] { shown = capture_stderr(report_error); });
        EXPECT_EQ(shown, c.shown);
        EXPECT_EQ(terminal, c.code ? "\a" : "");  // the bell
        EXPECT_EQ(message_count, count + (c.code ? 1 : 0));
        EXPECT_EQ(error_code, ERR_NONE);
        EXPECT_EQ(error_text, nullptr);
        EXPECT_EQ(capture_stderr(report_error), "");  // nothing left
    }
}

TEST(PendingError, RaisingReplacesTheOldError)
{
    messages_on_stderr setup;
    set_error(ERR_BAD_VARIABLE, "first %s", "text");
    set_error(ERR_PARSE, "second");
    EXPECT_EQ(error_code, ERR_PARSE);
    EXPECT_STREQ(error_text, "second");
    set_error_code(ERR_COMPILE_LIMIT);
    EXPECT_EQ(error_code, ERR_COMPILE_LIMIT);
    EXPECT_EQ(error_text, nullptr);
    set_error(ERR_ARITHMETIC, "%s", "again");
    clear_error();
    EXPECT_EQ(error_code, ERR_NONE);
    EXPECT_EQ(error_text, nullptr);
}

// What lower layers record is shown once the work is done, in the order it
// was recorded: the messages first (no bell), then the error with the bell.
TEST(PendingMessages, ReportShowsThemInOrderAndTheErrorLast)
{
    messages_on_stderr setup;
    set_message("first %d", 1);
    set_error(ERR_PARSE, "the error");
    set_message("%s", "second");
    int count = message_count;
    std::string shown;
    std::string terminal = capture_output([&] { shown = capture_stderr(report_error); });
    EXPECT_EQ(shown, "first 1\nsecond\nthe error\n");
    EXPECT_EQ(terminal, "\a");
    EXPECT_EQ(message_count, count + 3);
    EXPECT_EQ(capture_stderr(report_error), "");

    // Messages alone: shown, no bell, and the error is left for its reporter.
    struct {
        std::vector<const char *> messages;
        bool shown;
    } cases[] = {{{}, false}, {{"one"}, true}, {{"one", "two", "three"}, true}};
    for (const auto &c : cases) {
        std::string expected;
        for (const char *m : c.messages) {
            set_message("%s", m);
            expected += std::string(m) + "\n";
        }
        set_error_code(ERR_BAD_VARIABLE);
        bool result = !c.shown;
        terminal = capture_output([&] { shown = capture_stderr([&] { result = report_messages(); }); });
        EXPECT_EQ(shown, expected);
        EXPECT_EQ(result, c.shown);
        EXPECT_EQ(terminal, "");
        EXPECT_EQ(error_code, ERR_BAD_VARIABLE);
        clear_error();
    }
}

// A fatal message ends the program as a failure once it is shown; what was
// recorded before it is shown first, what came after it never is.
TEST(PendingMessages, FatalOneEndsTheProgramAfterItIsShown)
{
    messages_on_stderr setup;
    EXPECT_FALSE(fatal_error_pending());
    set_message("before");
    set_fatal_error("read %s", "error");
    set_message("after");
    EXPECT_TRUE(fatal_error_pending());
    EXPECT_EXIT(report_messages(), ::testing::ExitedWithCode(EXIT_FAILURE),
                "^before\nread error\n$");
    discard_messages();
    EXPECT_FALSE(fatal_error_pending());
    EXPECT_EQ(capture_stderr(report_error), "");
}

TEST(ShowMessage, BeforeTheScreenALineOnStandardError)
{
    messages_on_stderr setup;
    struct {
        const char *text, *shown;
    } cases[] = {{"No current file", "No current file\n"},
                 {"", "\n"},
                 {nullptr, ""}};
    for (auto c : cases) {
        int count = message_count;
        EXPECT_EQ(capture_stderr([&] { show_message(c.text); }), c.shown);
        EXPECT_EQ(message_count, count + 1);
    }
}

// On the bottom line of vorn-sr: ll is "\r", ce "\E[K", so/se
// "\E[7m"/"\E[27m".
class BottomLine : public ::testing::Test {
protected:
    env_override env;
    int keys[2] = {-1, -1};
    int saved_keyboard = keyboard_fd;

    void SetUp() override
    {
        env.set("TERMINFO", test_terminfo_dir());
        env.set("TERM", "vorn-sr");
        fd2_replacement no_window(-1, 0);
        read_termcap();
        set_lower_left_below_text(false);
        attr_state = 0;
        ASSERT_EQ(pipe(keys), 0);
        keyboard_fd = keys[0];
        messages_on_screen = 1;
        pending_signals = 0;
    }
    void TearDown() override
    {
        messages_on_screen = 0;
        pending_signals = 0;
        keyboard_fd = saved_keyboard;
        close(keys[0]);
        close(keys[1]);
    }
    void type(const std::string &bytes)
    {
        ASSERT_EQ(write(keys[1], bytes.data(), bytes.size()),
                  static_cast<ssize_t>(bytes.size()));
    }
};

TEST_F(BottomLine, MessageInStandoutWaitsForAKey)
{
    struct {
        const char *text, *shown;
    } cases[] = {
        {"hello", "\r\x1b[K\x1b[7mhello  (press RETURN)\x1b[27m\r"},
        {nullptr, "\r\x1b[K\x1b[7m(press RETURN)\x1b[27m\r"},
        // Control characters cannot reach the terminal as such.
        {"a\x1b[2Jb\x7f", "\r\x1b[K\x1b[7ma^[[2Jb^?  (press RETURN)\x1b[27m\r"},
    };
    for (auto c : cases) {
        type("\n");
        EXPECT_EQ(capture_output([&] { show_message(c.text); }), c.shown);
        EXPECT_EQ(attr_state, 0);
    }
}

// The key that dismisses a message is the next command key, except
// newline; a wait cut short by a signal leaves no key behind.
TEST_F(BottomLine, DismissingKeyIsPushedBack)
{
    struct {
        const char *typed;
        int pending;
        int next_key;
    } cases[] = {{"\n", 0, 'z'},
                 {"x", 0, 'x'},
                 {" ", 0, ' '},
                 {"", PENDING_RESIZE, 'z'}};
    for (auto c : cases) {
        SCOPED_TRACE(c.typed);
        type(c.typed);
        pending_signals = c.pending;
        capture_output([] { show_message("m"); });
        pending_signals = 0;
        type("z");
        EXPECT_EQ(get_command_key(), c.next_key);
        if (c.next_key != 'z') {
            EXPECT_EQ(get_command_key(), 'z');
        }
    }
}

TEST_F(BottomLine, QuitKeyEndsTheProgram)
{
    type("q");
    EXPECT_EXIT(
        {
            int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            show_message("bye");
            _exit(9);
        },
        ::testing::ExitedWithCode(0), "");
}

// The run failed whichever key the user reads a fatal message with: "q"
// ends it as a failure too, and a plain message before it still as a success.
TEST_F(BottomLine, QuitAtAFatalMessageStillFails)
{
    struct {
        bool fatal;
        int status;
    } cases[] = {{true, EXIT_FAILURE}, {false, EXIT_SUCCESS}};
    for (const auto &c : cases) {
        type("q");
        EXPECT_EXIT(
            {
                int null = open("/dev/null", O_WRONLY);
                dup2(null, 1);
                if (c.fatal)
                    set_fatal_error("read error");
                else
                    set_message("just so");
                report_messages();
                _exit(9);
            },
            ::testing::ExitedWithCode(c.status), "");
        char *text;
        EXPECT_EQ(take_message(&text), MESSAGE_NONE);  // recorded only in the child
    }
}

}  // namespace
