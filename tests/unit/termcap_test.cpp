// The terminal description: sizes, fallbacks, the sequences chosen for each
// operation, capability queries, the bounds of the fixed areas, and the
// terminal mode.  The descriptions come from tests/data/terminfo.
#include <gtest/gtest.h>
#include <termcap.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>
#include <optional>

#include "display/display.h"
#include "language/language.h"
#include "terminal/terminal.h"
#include "terminal_fixture.h"

namespace {

class Termcap : public ::testing::Test {
protected:
    env_override env;

    void SetUp() override
    {
        env.set("TERMINFO", test_terminfo_dir());
        for (const char *name : {"TERMINFO_DIRS", "TERMCAP", "LINES",
                                 "COLUMNS"})
            env.set(name, std::nullopt);
    }

    // Reads the description of term (null: TERM unset) with descriptor 2
    // a window of rows x cols (rows < 0: not a terminal at all).
    void load(const char *term, int rows = -1, int cols = 0)
    {
        env.set("TERM", term ? std::optional<std::string>(term)
                             : std::nullopt);
        fd2_replacement window(rows, cols);
        attr_state = 0;
        set_lower_left_below_text(false);
        read_termcap();
    }
};

std::string variable(const char *name)
{
    const char *value = lookup_variable(name, strlen(name));
    return value ? value : "(unset)";
}

TEST_F(Termcap, SizeComesFromTheWindowOrTheDescription)
{
    struct {
        const char *term;
        int rows, cols;
        int height, width;
        bool scrolls_back;
    } cases[] = {
        // A hard-copy terminal has 24 rows whatever the window says.
        {"vorn-hc", 50, 100, 24, 100, false},
        {"vorn-hc", -1, 0, 24, 72, false},
        // The window wins over li and co; a zero size falls back to them.
        {"vorn-sg", 30, 90, 30, 90, true},
        {"vorn-sg", 0, 0, 20, 70, true},
        {"vorn-sg", 0, 100, 20, 100, true},
        {"vorn-sg", 33, 0, 33, 70, true},
        // No co anywhere: 80.  No al and no sr: no scrolling back.
        {"vorn-noal", -1, 0, 30, 80, false},
        // sr stands in for al.
        {"vorn-sr", -1, 0, 24, 80, true},
        // No row count at all: hard copy.
        {"vorn-nosize", -1, 0, 24, 80, false},
        {"vorn-nosize", 40, 0, 40, 80, false},
        // No description: "dumb:co#80:hc:".
        {"vorn-no-such-terminal", -1, 0, 24, 80, false},
        {"vorn-no-such-terminal", 40, 100, 24, 100, false},
        {nullptr, -1, 0, 24, 80, false},
    };
    for (auto c : cases) {
        SCOPED_TRACE(std::string(c.term ? c.term : "TERM unset") + " in " +
                     std::to_string(c.rows) + "x" + std::to_string(c.cols));
        load(c.term, c.rows, c.cols);
        EXPECT_EQ(screen_height, c.height);
        EXPECT_EQ(screen_width, c.width);
        EXPECT_EQ(term_scrolls_back(), c.scrolls_back);
        EXPECT_EQ(variable("_sc_height"), std::to_string(c.height - 1));
        EXPECT_EQ(variable("_sc_width"), std::to_string(c.width));
    }
}

TEST_F(Termcap, FlagsAndAttributeWidths)
{
    struct {
        const char *term;
        int am, xn, glitch;
    } cases[] = {{"vorn-sg", 1, 0, 1}, {"vorn-sr", 1, 1, 0},
                 {"vorn-noal", 0, 0, 0}, {"vorn-no-such-terminal", 0, 0, 0}};
    for (auto c : cases) {
        SCOPED_TRACE(c.term);
        load(c.term);
        EXPECT_EQ(auto_margins, c.am);
        EXPECT_EQ(newline_glitch, c.xn);
        for (int width : {standout_width, standout_end_width, underline_width,
                          underline_end_width, bold_width, bold_end_width})
            EXPECT_EQ(width, c.glitch);
    }
}

// What each operation sends, per terminal.
TEST_F(Termcap, OperationsSendTheChosenSequences)
{
    struct {
        const char *term;
        int rows;
        const char *operation;
        void (*act)();
        const char *expected;
    } cases[] = {
        // Hard copy: no screen sequences, fallbacks for clear and motion;
        // ti, te, ks and ke stay as read.
        {"vorn-hc", -1, "clear", clear, "\n\n"},
        {"vorn-hc", -1, "erase_to_eol", erase_to_eol, ""},
        {"vorn-hc", -1, "standout", [] { standout_on(); standout_off(); }, ""},
        {"vorn-hc", -1, "underline", [] { underline_on(); underline_off(); },
         ""},
        {"vorn-hc", -1, "bold", [] { bold_on(); bold_off(); }, ""},
        {"vorn-hc", -1, "cursor_home", cursor_home, "|\b^"},
        {"vorn-hc", -1, "cursor_lower_left", cursor_lower_left, "\r"},
        {"vorn-hc", -1, "insert_line_top", insert_line_top, ""},
        {"vorn-hc", -1, "term_init", term_init, "\x1b[?1049h\x1b[?1h\x1b="},
        {"vorn-hc", -1, "term_deinit", term_deinit,
         "\x1b[?1049l\x1b[?1l\x1b>"},
        {"vorn-hc", -1, "cursor_backspace", cursor_backspace, "\b"},
        // Underline and bold shown as standout; motion built from cm, for
        // the height in force.
        {"vorn-sg", -1, "underline_on", underline_on, "\x1b[7m"},
        {"vorn-sg", -1, "underline_off", underline_off, "\x1b[27m"},
        {"vorn-sg", -1, "bold_on", bold_on, "\x1b[7m"},
        {"vorn-sg", -1, "bold_off", bold_off, "\x1b[27m"},
        {"vorn-sg", -1, "cursor_home", cursor_home, "\x1b[1;1H"},
        {"vorn-sg", -1, "cursor_lower_left", cursor_lower_left, "\x1b[20;1H"},
        {"vorn-sg", 30, "cursor_lower_left", cursor_lower_left, "\x1b[30;1H"},
        {"vorn-sg", -1, "insert_line_top", insert_line_top, "\x1b[L"},
        {"vorn-sg", -1, "ring_bell", ring_bell, "\a"},
        {"vorn-sg", -1, "lower left of a short file",
         [] { set_lower_left_below_text(true); cursor_lower_left(); }, "\r"},
        // sr for al; no cm: the home fallback and a carriage return.
        {"vorn-sr", -1, "insert_line_top", insert_line_top, "\x1bM"},
        {"vorn-sr", -1, "cursor_home", cursor_home, "|\b^"},
        {"vorn-sr", -1, "cursor_lower_left", cursor_lower_left, "\r"},
        {"vorn-sr", -1, "underline_on", underline_on, "\x1b[4m"},
        {"vorn-sr", -1, "bold_off", bold_off, "\x1b[m"},
        {"vorn-sr", -1, "erase_previous_char", erase_previous_char, "\b \b"},
        // Attributes go off, in this order, before clearing.
        {"vorn-sr", -1, "clear after standout and bold",
         [] { standout_on(); bold_on(); out_discard(); clear(); },
         "\x1b[27m\x1b[m\x1b[H\x1b[2J"},
        {"vorn-sr", -1, "erase after underline",
         [] { underline_on(); out_discard(); erase_to_eol(); },
         "\x1b[24m\x1b[K"},
        {"vorn-noal", -1, "insert_line_top", insert_line_top, ""},
        {"vorn-noal", -1, "cursor_home", cursor_home, "\x1b[H"},
        {"vorn-noal", -1, "underline_on", underline_on, "\x1b[7m"},
        {"vorn-no-such-terminal", -1, "clear", clear, "\n\n"},
        {"vorn-no-such-terminal", -1, "cursor_home", cursor_home, "|\b^"},
        {"vorn-no-such-terminal", -1, "term_init", term_init, ""},
    };
    for (auto c : cases) {
        SCOPED_TRACE(std::string(c.term) + ": " + c.operation);
        load(c.term, c.rows, 80);
        EXPECT_EQ(capture_output(c.act), c.expected);
    }
}

TEST_F(Termcap, AttributeStateFollowsTheOperations)
{
    load("vorn-sr");
    struct {
        void (*act)();
        int state;
    } steps[] = {{standout_on, ATTR_STANDOUT},
                 {bold_on, ATTR_STANDOUT | ATTR_BOLD},
                 {underline_on, ATTR_STANDOUT | ATTR_BOLD | ATTR_UNDERLINE},
                 {bold_off, ATTR_STANDOUT | ATTR_UNDERLINE},
                 {erase_to_eol, 0},
                 {underline_on, ATTR_UNDERLINE},
                 {clear, 0}};
    for (auto step : steps) {
        capture_output(step.act);
        EXPECT_EQ(attr_state, step.state);
    }
}

TEST_F(Termcap, CapabilityValues)
{
    struct {
        const char *term, *name, *expected;
    } cases[] = {
        {"vorn-sg", "co", "70"},   {"vorn-sg", "am", "1"},
        {"vorn-sg", "xn", "0"},    {"vorn-sg", "sg", "1"},
        {"vorn-sg", "cl", "\x1b[H\x1b[2J"},
        {"vorn-sg", "zz", "0"},    {"vorn-sg", "", "0"},
        {"vorn-no-such-terminal", "co", "80"},
        {"vorn-no-such-terminal", "hc", "1"},
        {"vorn-no-such-terminal", "li", "0"},
        {"vorn-no-such-terminal", "cl", "0"},
    };
    for (auto c : cases) {
        SCOPED_TRACE(std::string(c.term) + " " + c.name);
        load(c.term);
        EXPECT_STREQ(termcap_value(c.name), c.expected);
    }
}

// A reference answers from the description read at start-up: it neither
// loads it again (each load costs a file read and keeps some memory for
// good) nor notices a later change of TERM.
TEST_F(Termcap, CapabilityValuesComeFromTheLoadedDescription)
{
    load("vorn-sg");
    env.set("TERM", "vorn-sr");
    EXPECT_STREQ(termcap_value("co"), "70");
    EXPECT_STREQ(termcap_value("cl"), "\x1b[H\x1b[2J");
    load("vorn-sr");
    EXPECT_STREQ(termcap_value("co"), "80");
}

// The reset returns to the state before any description was read: the
// size unknown, the attribute widths 0, the safe default sequences, and a
// reference that loads the description of the TERM now in force.
TEST_F(Termcap, ResetForgetsTheDescription)
{
    load("vorn-sg", 30, 100);
    standout_on();
    out_discard();
    screen_reset();
    EXPECT_EQ(screen_height, -1);
    EXPECT_EQ(screen_width, 0);
    EXPECT_EQ(standout_width, 0);
    EXPECT_EQ(auto_margins, 0);
    EXPECT_EQ(attr_state, 0);
    EXPECT_EQ(term_switches_screen(), 0);
    EXPECT_EQ(capture_output([] { cursor_home(); clear(); standout_on(); }),
              "|\b^\n\n");
    env.set("TERM", "vorn-sr");
    EXPECT_STREQ(termcap_value("co"), "80");
}

// vorn-big holds an smcup of 1200 bytes, an rmcup of 600 and a clear of
// 487: they cannot all fit the 1024 bytes kept for sequences.
TEST_F(Termcap, OversizedSequencesAreDroppedWholeNeverOverrun)
{
    std::string smcup, rmcup;
    for (int i = 0; i < 400; ++i)
        smcup += "\x1b[m";
    for (int i = 0; i < 100; ++i)
        rmcup += "\x1b[?25h";
    load("vorn-big");
    EXPECT_EQ(capture_output(term_init), "");  // ti did not fit
    EXPECT_EQ(capture_output(term_deinit), rmcup);
    EXPECT_EQ(capture_output(clear), "\n\n");  // no room left for cl
    EXPECT_EQ(capture_output(cursor_lower_left), "\x1b[24;1H");
    EXPECT_EQ(capture_output(standout_on), "\x1b[7m");
    // The query result is text: cut to the area, still terminated.
    EXPECT_EQ(std::string(termcap_value("ti")), smcup.substr(0, 1023));
}

// A signal handler gives the terminal back with bytes prepared whenever
// the description is read: those the orderly way out sends with every
// attribute on, for the description and window size in force (the row of
// the lower left among them), and a carriage return below a short text.
TEST_F(Termcap, WayBackFromASignalSendsWhatTheOrderlyWaySends)
{
    struct {
        const char *term;
        int rows;
        bool below_text;
    } cases[] = {
        {"vorn-sg", 30, false}, {"vorn-sg", 40, false}, {"vorn-sg", 30, true},
        {"vorn-sr", -1, false}, {"vorn-big", -1, false}, {"vorn-hc", 50, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.term) + " " + std::to_string(c.rows) +
                     (c.below_text ? " below a short text" : ""));
        load(c.term, c.rows, 80);
        release_held_text();
        set_lower_left_below_text(c.below_text);
        capture_output([] { term_init(); standout_on(); underline_on(); bold_on(); });
        std::string orderly = capture_output([] {
            cursor_lower_left();
            erase_to_eol();
            term_deinit();
        });
        capture_output(term_init);
        std::string from_signal = capture_output(restore_terminal_from_signal);
        EXPECT_FALSE(orderly.empty());
        EXPECT_EQ(from_signal, orderly);
        capture_output(term_deinit);
        EXPECT_EQ(capture_output(restore_terminal_from_signal), "")
            << "a screen never set up, or given back, is left alone";
    }
}

TEST_F(Termcap, PadCharacterIsTakenFromTheDescription)
{
    PC = 0;
    load("vorn-sr");
    EXPECT_EQ(PC, '*');
}

bool same_settings(const termios &a, const termios &b)
{
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag &&
           a.c_cflag == b.c_cflag && a.c_lflag == b.c_lflag &&
           memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

// A canonical terminal without output processing and with its own
// editing characters, so that every change of the pager's mode shows.
termios distinctive_settings(int fd)
{
    termios settings;
    tcgetattr(fd, &settings);
    settings.c_lflag |= ICANON | ECHO | ECHOE | ECHOK | ISIG;
    settings.c_oflag &= ~static_cast<tcflag_t>(OPOST | ONLCR);
    settings.c_cc[VERASE] = 0x08;
    settings.c_cc[VKILL] = 0x15;
    settings.c_cc[VWERASE] = 0x17;
    tcsetattr(fd, TCSANOW, &settings);
    tcgetattr(fd, &settings);
    return settings;
}

TEST(TtyMode, EnteringAndLeavingThePagersMode)
{
    fd2_replacement terminal(24, 80);
    termios before = distinctive_settings(2);
    set_tty_mode(1);
    termios paging;
    tcgetattr(2, &paging);
    EXPECT_EQ(paging.c_lflag & (ICANON | ECHO | ECHOE | ECHOK | ECHONL), 0u);
    EXPECT_TRUE(paging.c_lflag & ISIG);
    EXPECT_EQ(paging.c_oflag & (OPOST | ONLCR), OPOST | ONLCR);
    EXPECT_EQ(paging.c_cc[VMIN], 1);
    EXPECT_EQ(paging.c_cc[VTIME], 0);
    EXPECT_EQ(paging.c_iflag, before.c_iflag);
    EXPECT_EQ(tty_erase_char, 0x08);
    EXPECT_EQ(tty_kill_char, 0x15);
    EXPECT_EQ(tty_werase_char, 0x17);
    set_tty_mode(0);
    termios after;
    tcgetattr(2, &after);
    EXPECT_TRUE(same_settings(after, before));
}

// An stty typed while the pager was stopped (its mode left) is what the
// next leave gives back.
TEST(TtyMode, LeavingRestoresWhatPrecededTheLatestEntry)
{
    fd2_replacement terminal(24, 80);
    distinctive_settings(2);
    set_tty_mode(1);
    set_tty_mode(0);
    termios changed;
    tcgetattr(2, &changed);
    changed.c_cc[VERASE] = 0x7f;
    tcsetattr(2, TCSANOW, &changed);
    tcgetattr(2, &changed);
    set_tty_mode(1);
    EXPECT_EQ(tty_erase_char, 0x7f);
    set_tty_mode(0);
    termios after;
    tcgetattr(2, &after);
    EXPECT_TRUE(same_settings(after, changed));
}

// Entering again while the terminal has no line editing -- the pager's own
// mode never left (a continue that came before the stop was served), or a
// raw mode a child left behind -- must not make that the mode the pager
// ends with.
TEST(TtyMode, EnteringFromARawTerminalKeepsTheSettingsSavedBefore)
{
    fd2_replacement terminal(24, 80);
    termios before = distinctive_settings(2);
    for (bool pagers_own : {true, false}) {
        SCOPED_TRACE(pagers_own ? "own mode never left" : "a child left it raw");
        set_tty_mode(1);
        if (!pagers_own) {
            set_tty_mode(0);
            termios raw = before;
            cfmakeraw(&raw);
            tcsetattr(2, TCSANOW, &raw);
        }
        set_tty_mode(1);
        EXPECT_EQ(tty_erase_char, 0x08);
        set_tty_mode(0);
        termios after;
        tcgetattr(2, &after);
        EXPECT_TRUE(same_settings(after, before));
    }
}

// Needs a process whose mode was never entered: the death-test child is a
// fresh run of this program.
TEST(TtyModeDeathTest, LeavingAModeNeverEnteredChangesNothing)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            fd2_replacement terminal(24, 80);
            termios before = distinctive_settings(2);
            set_tty_mode(0);
            termios after;
            tcgetattr(2, &after);
            _exit(same_settings(after, before) ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
