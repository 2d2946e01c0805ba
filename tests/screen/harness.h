// Screen-test harness: runs the real pager binary in a pseudo-terminal and
// feeds everything it writes into libvterm, so tests look at the screen a
// user would see (text, attributes, cursor) instead of at escape bytes.
//
// A session owns the pty master, the child, the emulator, a temporary HOME
// and a directory for sanitizer logs.  The child is a small session leader
// (a forked copy of the test process) that runs the pager as the foreground
// process group of the pty, like a job-control shell: the pager's group is
// then not orphaned, so a stop signal really stops it, and the leader
// reports stops, continues and the exit status back through a pipe.  The
// child's environment is the test's minus everything that would let the
// machine leak in (VORN, LINES, COLUMNS, TERMINFO, EDITOR, locale...), with
// TERM, a fresh HOME, SHELL=/bin/sh and LC_ALL=C unless overridden.
//
// Every wait pumps the child's output into the emulator and polls with a
// timeout (four times longer in sanitizer builds); nothing sleeps for a
// fixed time.  When the session ends (or the child exits) a sanitizer log written
// by the child makes the running test fail with the log's content; so does
// a sanitizer report that reached the terminal instead (with both
// sanitizers built in, the undefined-behaviour reports ignore log_path).
// A test that has failed gets the final screen printed.
#ifndef VORN_SCREEN_HARNESS_H
#define VORN_SCREEN_HARNESS_H

#include <gtest/gtest.h>
#include <sys/types.h>
#include <termios.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct vt_options {
    std::string program;                                  // "" = the pager
    std::vector<std::string> args;                        // after argv[0]
    std::vector<std::pair<std::string, std::string>> env; // overrides
    std::vector<std::string> unset_env;                   // removed from env
    int rows = 24, cols = 80;
    std::string term = "xterm";          // TERM unless env overrides it
    std::string cwd;                     // "" = the test's cwd
    // Files written into the session's HOME before the start (name, text),
    // e.g. {".vornrc", "..."}.
    std::vector<std::pair<std::string, std::string>> home_files;
    std::string stdin_data;              // fd 0 as a pipe carrying this ...
    bool stdin_pipe = false;             // ... when set
    bool stdin_keep_open = false;        // pipe stays open: vt_stdin_write
    bool ignore_sighup = false;          // child starts with SIGHUP ignored
    bool utf8 = false;                   // emulator decodes UTF-8
};

struct VTerm;
struct VTermScreen;

struct vt_session {
    int master_fd = -1;
    int stdin_fd = -1;                   // write end of the stdin pipe
    std::string stdin_pending;           // not yet written to the pipe
    bool stdin_close_when_written = false;
    int status_fd = -1;                  // events from the session leader
    pid_t pid = -1;                      // session leader (reaped at exit)
    pid_t vorn_pid = -1;                 // the pager, its own process group
    bool stopped = false;                // the pager is stopped
    bool exited = false;
    int exit_status = -1;                // as vt_wait_exit reports it
    bool output_closed = false;          // master reported EOF/EIO
    std::string unfed_utf8;              // a character's first bytes, for later
    // While set nothing reads what the program writes (a stalled terminal):
    // its writes fill the pty and wait; window changes and keys still come.
    bool reader_stalled = false;
    VTerm *vt = nullptr;
    VTermScreen *screen = nullptr;
    std::string home;                    // temporary HOME (removed at end)
    bool own_home = false;
    std::string log_dir;                 // sanitizer logs of the child
    std::string output_tail;             // last bytes, to find reports in
    std::string terminal_report;         // a report written on the pty
    bool terminal_report_shown = false;
    struct termios initial_tty {};       // pty settings before the start
    std::map<std::string, std::string> keys;  // key name -> sequence
    int mouse_mode = 0;                  // VTERM_PROP_MOUSE as last set
    ~vt_session();
};

using vt_ptr = std::unique_ptr<vt_session>;

// Starts the binary; fails the test (and returns null) if that is impossible.
vt_ptr vt_start(const vt_options &options);

void vt_type(vt_session &s, std::string_view bytes);
// "up" "down" "left" "right" "home" "end" "pgup" "pgdn" "backtab" (from the
// description of the TERM in use, keypad-transmit mode), "tab" "enter"
// "esc" "backspace", and "^X" for control keys ("^?" is DEL).
void vt_key(vt_session &s, std::string_view name);
// The mouse as the emulator has it: what the program asked it to report
// (VTERM_PROP_MOUSE_NONE 0, CLICK 1, DRAG 2, MOVE 3, from what was read so
// far), and a button pressed or released at a cell (4 and 5 are the wheel
// up and down), reported to the program in the form it asked for, or not
// at all when it asked for none.
int vt_mouse_mode(vt_session &s);
void vt_mouse_button(vt_session &s, int button, bool pressed, int row = 5, int col = 10);

// Pumps output until cond holds (true) or the timeout passes (false).
bool vt_wait(vt_session &s, std::function<bool(vt_session &)> cond,
             int timeout_ms = 5000);
bool vt_wait_row(vt_session &s, int row, std::string_view text,
                 int timeout_ms = 5000);
bool vt_wait_contains(vt_session &s, int row, std::string_view text,
                      int timeout_ms = 5000);
// Reads whatever output is available right now (no waiting).
void vt_pump(vt_session &s);
// Feeds bytes to the emulator as if the program had written them: marks
// the screen, so that a test can see whether the program painted over it.
void vt_feed(vt_session &s, std::string_view bytes);

std::string vt_row(vt_session &s, int row);  // right-trimmed
std::string vt_screen(vt_session &s);        // all rows, numbered
struct vt_attrs {
    bool bold, underline, reverse;
};
vt_attrs vt_attr(vt_session &s, int row, int col);
// A cell's whole style in words: "plain", or its attributes (bold italic
// underline blink reverse, in that order) and then fg=... and bg=... where
// not the default: a palette index, or rgb(r,g,b).
std::string vt_style(vt_session &s, int row, int col);
std::pair<int, int> vt_cursor(vt_session &s);  // row, col

void vt_resize(vt_session &s, int rows, int cols);
void vt_signal(vt_session &s, int sig);     // to the pager process
// True once the child is stopped (waitpid WUNTRACED) within the timeout.
bool vt_wait_stopped(vt_session &s, int timeout_ms = 5000);
// Exit status (WEXITSTATUS), 128+signal, or -1 on timeout.
int vt_wait_exit(vt_session &s, int timeout_ms = 5000);
// Closes the master side: the terminal hangs up.
void vt_hangup(vt_session &s);

struct termios vt_initial_tty(vt_session &s);  // before the child started
struct termios vt_final_tty(vt_session &s);    // now (after exit: as left)
std::string vt_home(vt_session &s);

void vt_stdin_write(vt_session &s, std::string_view bytes);
void vt_stdin_close(vt_session &s);

// Directory holding the compiled test terminal descriptions (from the
// sources in tests/data/terminfo); compiled once at build time.
std::string vt_terminfo_dir();
// Writes a file (for fixtures made at run time); fails the test on error.
void vt_write_file(const std::string &path, std::string_view content);

// Assertion helpers that print the screen when they fail.
::testing::AssertionResult vt_row_is(vt_session &s, int row,
                                     std::string_view text,
                                     int timeout_ms = 5000);
::testing::AssertionResult vt_row_has(vt_session &s, int row,
                                      std::string_view text,
                                      int timeout_ms = 5000);
#define EXPECT_ROW(s, row, text) EXPECT_TRUE(vt_row_is((s), (row), (text)))
#define ASSERT_ROW(s, row, text) ASSERT_TRUE(vt_row_is((s), (row), (text)))
#define EXPECT_ROW_HAS(s, row, text) \
    EXPECT_TRUE(vt_row_has((s), (row), (text)))
#define ASSERT_ROW_HAS(s, row, text) \
    ASSERT_TRUE(vt_row_has((s), (row), (text)))

#endif
