// The terminal: capabilities and screen control, keyboard input,
// interruptible reads and signals, external programs.
#ifndef VORN_TERMINAL_H
#define VORN_TERMINAL_H

#include <string>

#include "vorn.h"

// --- screen.cpp: terminal modes, capabilities, control sequences ---
enum { ATTR_STANDOUT = 1, ATTR_UNDERLINE = 2, ATTR_BOLD = 4 };
extern int auto_margins;
extern int newline_glitch;
extern int retains_below;
extern int standout_width, standout_end_width;
extern int underline_width, underline_end_width;
extern int bold_width, bold_end_width;
extern int attr_state;
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
void cursor_home();
void cursor_lower_left();
void insert_line_top();
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

// --- signals.cpp: keyboard input, interruptible reads, signals ---
extern int keyboard_fd;
int read_interruptible(int fd, void *buf, int size);
int get_key();
void install_signals(int on);
void handle_pending_signals();
void winch(int sig);
// The keyboard on descriptor 2, nothing pending; the handlers stay.
void signals_reset();

// --- shell.cpp: shell escapes and external programs ---
extern const char *help_file;       // the file the help command shows
// `text` in single quotes for the shell: one word, taken literally.
std::string shell_quote(const char *text);
// What system() runs for `command`: under SHELL when it is set, else as it is.
std::string shell_command_line(const char *command);
// Runs `command` with the terminal handed over, then takes it back and
// queues a repaint; a leading '-' is dropped and suppresses the echo.
void run_shell_command(const char *command);
// The shell's expansion of a typed name (or the name itself); null, with
// the error set, when the expansion is too long to be a name.
const char *glob(const char *name);
void edit_current_file();
int show_help();                    // -1, with the error set, without a file
void reset_shell_state();

#endif
