// The terminal: capabilities and screen control, keyboard input,
// interruptible reads and signals, external programs.
#ifndef VORN_TERMINAL_H
#define VORN_TERMINAL_H

#include <sys/types.h>
#include <sys/uio.h>

#include <cstdint>
#include <string>
#include <vector>

#include "vorn.h"

// --- screen.cpp: terminal modes, capabilities, control sequences ---
// ATTR_STYLE: some attribute or colour set through style_apply is on.
enum { ATTR_STANDOUT = 1, ATTR_UNDERLINE = 2, ATTR_BOLD = 4, ATTR_STYLE = 8 };
extern int auto_margins;
extern int newline_glitch;
extern int retains_below;
extern int standout_width, standout_end_width;
extern int underline_width, underline_end_width;
extern int bold_width, bold_end_width;
extern int attr_state;
// The terminal now has `attribute` (an ATTR_* bit) on or off.
void note_attribute(int attribute, bool on);
extern int tty_erase_char, tty_kill_char, tty_werase_char;

void set_tty_mode(int on);
void read_termcap();
// As before the first read_termcap: no description, no size, the safe
// default sequences, no saved terminal settings.
void screen_reset();
const char *termcap_value(const char *name);
void term_init();
// 1 when the terminal-init sequence is not empty: on many terminals it
// switches to a separate screen that the end sequence takes away again.
int term_switches_screen();
void term_deinit();
// Whether the terminal reports the mouse wheel (off at start): reporting is
// on from term_init to term_deinit and in none of the ways back, so that
// the shell, a child or a stopped pager never gets the reports.
void set_mouse_wheel(int on);
int mouse_wheel_on();
void cursor_home();
void cursor_lower_left();
// A line can be opened at the top (al, or sr in its place): the screen can
// scroll back.  Never before a description is read.
bool term_scrolls_back();
void insert_line_top();
// Rows can be painted again where they are: the cursor goes to the top and
// to the lower left, and a row can be erased.  Never before a description
// is read.
bool term_repaints_rows();
void ring_bell();
void clear();
void erase_to_eol();
void standout_on();
void standout_off();
void underline_on();
void underline_off();
void bold_on();
void bold_off();
void cursor_backspace();
void erase_previous_char();
// The description's own answers, for the colour code: a string capability
// kept behind the others in the capability area (null when absent, empty,
// on the fallback description, or when it does not fit whole), a number
// (-1 when absent) and a flag (0 or 1).
const char *term_kept_string(const char *id);
int term_number(const char *id);
int term_flag(const char *id);
void term_send(const char *sequence);      // through tputs, one line affected
// Between term_init and term_deinit.  Async-signal-safe.
bool terminal_is_set_up();
// The lower left is the start of the line below a text shorter than the
// screen, where its painting left the cursor (cursor_lower_left then sends
// a carriage return), not the bottom row.  Set by the painting.
void set_lower_left_below_text(bool on);
bool lower_left_below_text();
// The bytes of the way back, as tputs makes them for this description.
struct term_bytes {
    char bytes[2048];
    size_t length;
};
// The move to the bottom row, and the rest: cursor_lower_left, then
// erase_to_eol with every attribute on, then term_deinit.  A sequence
// that does not fit is left out whole.
void term_restore_sequences(term_bytes *lower_left, term_bytes *rest);

// --- restore.cpp: the way back from a signal handler ---
// Prepares the bytes that give the terminal back for the description and
// size just read (read_termcap calls it), so that a handler need not go
// through tputs and the output buffer.
void prepare_terminal_restore();
// The terminal as the program found it, from a signal handler, with
// async-signal-safe calls only: the prepared bytes (when term_init set the
// screen up), the saved settings, then the held text on standard error.
void restore_terminal_from_signal();
// Text written to standard error while the pager's screen was up, which
// the terminal-end sequence may take away with that screen: written again
// after the terminal is restored, until released.  A line that does not
// fit in the fixed area is not held.
void hold_after_restore(const char *line);
void release_held_text();
void write_held_text();

// --- output.cpp: the output buffer and the repaint request ---
enum { OUT_BUFFER_SIZE = 2048 };
void out_char(int c);
int out_char_sink(int c);           // out_char with the signature tputs wants
void out_str(const char *s);
void out_flush();
void out_discard();
// Writes all n bytes to fd, going on after a signal or a full non-blocking
// descriptor; false on a real failure.  Async-signal-safe.
bool write_fully(int fd, const void *data, size_t n);
// The screen no longer shows what was painted (a window change, a program
// that had the terminal, output lost): the prompt paints it again from the
// top row.  repaint_done says the screen is whole again.
void request_repaint();
bool repaint_requested();
void repaint_done();

// --- colour.cpp: colours and the attributes of the text's own sequences ---
enum {
    STYLE_BOLD = 1, STYLE_DIM = 2, STYLE_ITALIC = 4, STYLE_UNDERLINE = 8,
    STYLE_BLINK = 16, STYLE_REVERSE = 32, STYLE_STANDOUT = 64,
};
enum { COLOUR_DEFAULT = 0, COLOUR_INDEX = 1, COLOUR_RGB = 2 };
struct text_colour {
    uint8_t kind = COLOUR_DEFAULT;  // COLOUR_*
    uint8_t index = 0;              // COLOUR_INDEX: 0-7 basic, 8-15 bright, to 255
    uint8_t red = 0, green = 0, blue = 0;   // COLOUR_RGB
    bool operator==(const text_colour &) const = default;
};
struct text_style {
    unsigned flags = 0;             // STYLE_* bits
    text_colour fg, bg;
    bool operator==(const text_style &) const = default;
};
// How colours reach this terminal.
enum { COLOURS_NONE = 0, COLOURS_INDEXED = 1, COLOURS_DIRECT_DESCRIBED = 2,
       COLOURS_DIRECT_ENVIRONMENT = 3 };
extern int colour_support;          // COLOURS_*
extern int colour_count;            // colours of the description (0: none)
// Reads the colour and attribute sequences; read_termcap calls it.
void read_style_capabilities(bool hard_copy);
// No styles and none on: the sequences pointed into the capability area,
// which screen_reset empties.
void style_reset();
// Whether styles can be shown at all: a terminal whose attributes take
// room on the screen (sg) or that cannot switch them all off cannot.
int style_usable();
// Puts the terminal into `wanted` with as few sequences as it can: what
// the terminal lacks is left out (colours become the nearest it has).
void style_apply(const text_style &wanted);
void style_off();                   // back to the plain style
// What `wanted` becomes on this terminal (exposed for the tests).
text_style style_for_terminal(const text_style &wanted);
// The nearest of the first `count` colours of the usual 256-colour
// palette (8, 16 or 256) to a colour given as red, green and blue.
int nearest_colour(int red, int green, int blue, int count);
void palette_colour(int index, int *red, int *green, int *blue);

// --- signals.cpp: keyboard input, interruptible reads, signals ---
extern int keyboard_fd;
// What a read of descriptor 2 returns once the terminal has hung up (it
// was at its end three reads in a row, and the SIGHUP sent for it did not
// end the program).
enum { READ_HUNG_UP = -4 };
int read_interruptible(int fd, void *buf, int size);
// The same into `count` pieces in turn (one readv): a pipe read to its end
// fills many buffers with one wait and one call.
int readv_interruptible(int fd, const iovec *pieces, int count);
// What get_key returns, besides a key (1 to 255) and READ_ABANDONED, when
// there is no keyboard any more: the read failed, or the terminal hung up.
// The command loop decides what then happens (read_key).
enum { KEY_FAILED = -3, KEY_HUNG_UP = READ_HUNG_UP };
int get_key();
void install_signals(int on);
// A temporary file that a terminating signal must not leave behind, also
// while a command has the terminal (the mark listing while it is shown);
// null when there is none any more.  False when the name is too long to be
// kept (nothing is then armed).
bool remove_at_termination(const char *path);
void handle_pending_signals();
// Every pending signal forgotten unserved (the program is ending).
void drop_pending_signals();
void winch(int sig);
// While set (by following), the interrupt key sets PENDING_INTERRUPT
// instead of ending the program; clearing it drops an interrupt caught.
void catch_interrupt(int on);
// What wait_for_input saw first.
enum {
    WAIT_SIGNAL = 0,    // a stop, resize or caught interrupt is pending
    WAIT_KEY = 1,       // the keyboard has a byte (or its end)
    WAIT_INPUT = 2,     // input_fd is readable (or at its end)
    WAIT_TIMEOUT = 3,   // timeout_ms passed
};
// Sleeps until the keyboard or `input_fd` (-1: the keyboard alone) can be
// read, a signal is pending, or timeout_ms passes (-1: no limit); the
// keyboard wins over the input.  Output is flushed first.
int wait_for_input(int input_fd, int timeout_ms);
// The keyboard on descriptor 2, nothing pending; the handlers stay.
void signals_reset();

// --- mouse.cpp: the mouse wheel among the keys ---
// What a report of the mouse is: the two wheel notches are keys above any
// byte; the other kinds are what mouse_report says of a sequence.
enum {
    KEY_WHEEL_UP = 0x101, KEY_WHEEL_DOWN = 0x102,
    MOUSE_NO_REPORT = 0, MOUSE_PARTIAL_REPORT = 1, MOUSE_OTHER_EVENT = 2,
};
// What the bytes are: the start of a report, a whole report (its wheel
// notch or another event), or no report.
int mouse_report(const unsigned char *bytes, size_t length);
// get_key, with the mouse's reports taken out while the wheel is on: a
// wheel notch is KEY_WHEEL_UP or KEY_WHEEL_DOWN, other reports are dropped
// whole, bytes that began like a report but are none come back as keys.
int get_key_or_wheel();
void mouse_reset();     // no bytes held

// --- child.cpp: starting and waiting for child processes ---
// What a child gets as its descriptors 0, 1 and 2: a descriptor of the
// pager (above 2, or the same standard descriptor, passed on as it is), or
// CHILD_NULL for /dev/null; and whether it runs in a process group of its
// own (a child that never uses the terminal: its keys are not for it).
enum { CHILD_NULL = -1 };
struct child_spec {
    int in = CHILD_NULL, out = CHILD_NULL, err = CHILD_NULL;
    bool own_group = false;
};
// Starts `program` (looked up on PATH when it has no slash) with argv, the
// descriptors of `io` and nothing else open, no signal blocked and the
// signals the pager sets for itself at their defaults.  The process id, or
// -1 with errno set (also when the program could not be run).
pid_t start_child(const char *program, const char *const argv[], const child_spec &io);
// Runs a child that has the terminal (handed over by the caller) to its
// end, the interrupt and quit keys left to it.  Its wait status, or -1 with
// errno set when it could not be started.
int run_with_terminal(const char *program, const char *const argv[], const child_spec &io);
// Waits for the end of a child that has the terminal; a child that stops
// on its own is continued when the pager is (see child.cpp).
int wait_with_terminal(pid_t pid);
// Reads the output of child `pid` on `fd` as read() does; a stop or window
// change that comes meanwhile is served, and the child continued after it.
int read_child_output(pid_t pid, int fd, void *buf, int size);
// Waits for the end of a child whose output has been read, serving the
// signals as read_child_output does; its wait status, or -1.
int wait_for_child(pid_t pid);
// Kills a child that is no longer wanted and reaps it.
void end_child(pid_t pid);

// --- shell.cpp: shell escapes and external programs ---
extern const char *help_file;       // the file the help command shows
// The path this program is run again by (help, the mark listing); the
// search path is used only when the system has no such path.
extern const char *own_executable;
// `text` in single quotes for the shell: one word, taken literally.
std::string shell_quote(const char *text);
// The argument vector that runs `command`: "SHELL -c command" when SHELL
// is set, "/bin/sh -c command" otherwise; an empty command is the shell
// alone.
std::vector<std::string> shell_arguments(const char *command);
// Whether an editor command takes "+line" before the file name.
int editor_takes_line_argument(const char *command);
// Runs `command` under the shell with the terminal handed over, then
// takes it back and queues a repaint.  -1, with the error set, when it
// could not start.
int run_shell_command(const char *command);
// Runs this program on `file` with `options` ("-e" ...), as
// run_shell_command runs a command.
int view_with_this_program(const char *options, const char *file);
// The shell's expansion of a typed name (or the name itself); null, with
// the error set, when the expansion failed or is too long to be a name.
const char *glob(const char *name);
// The command that starts the editor on file `name`, at `line` when it
// takes one (0: none).
std::string editor_command(const char *name, int line);
// The help file, viewed with -c when `clear_option`; -1, with the error
// set, without the file or when the viewer could not start.
int show_help(bool clear_option);
void reset_shell_state();

#endif
