// Types and settings shared by every part of the pager.
//
// Each variable declared here is defined (and owned) by exactly one source
// file, named in the comment beside it; everybody else only reads it, or
// writes it where the owner's design says so.
#ifndef VORN_H
#define VORN_H

#include <cinttypes>
#include <csignal>
#include <cstddef>
#include <cstdint>

// A byte offset into the current input; -1 means none or unknown.
typedef int64_t file_pos;

// --- Option settings (startup/options.cpp), written only while parsing ---
extern const char *first_pattern;   // -/ pattern, or null
extern int opt_clear;               // -c
extern int opt_stay_at_end;         // -e
extern int opt_ignore_case;         // -i
extern int show_line_numbers;       // on; -n turns it off
extern int opt_squeeze;             // -s
extern int opt_tag;                 // -t given
extern int opt_no_overstrike;       // -u
extern int tab_width;               // -x, 8 by default

// --- Pending error (startup/message.cpp) ---
extern int error_code;              // index into error_messages, 0 = none
extern char *error_text;            // owned; shown instead of the table text
extern const char *const error_messages[16];

// --- Display settings (display/scroll.cpp) ---
extern int horiz_off;               // columns the text is shifted left
extern int wrap_lines;              // 1: long lines continue on next rows
extern int repaint_needed;          // repaint from the top row before prompt
extern int at_eof;                  // end of input is on the screen

// --- Screen geometry (terminal/screen.cpp) ---
extern int screen_height;           // rows, bottom line included
extern int screen_width;            // columns

// --- Signals (terminal/signals.cpp) ---
enum { PENDING_STOP = 2, PENDING_RESIZE = 4 };
extern volatile sig_atomic_t pending_signals;

// --- Condition flag of the command language (language/ncommand.cpp) ---
extern int exec_flag;

// A programming error: report function, file, line and expression, then
// abort.  Used where only a bug can make the condition false.
[[noreturn]] void vorn_assert_fail(const char *func, const char *file,
                                   int line, const char *expr);
#define VORN_ASSERT(e) \
    ((e) ? (void)0 : vorn_assert_fail(__func__, __FILE__, __LINE__, #e))

#endif
