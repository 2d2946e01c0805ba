// Types and settings shared by every part of the pager.  Each variable here
// is defined (owned) by the one file named in its group's heading and written
// only there; others read it and change it through the owner's functions.
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
extern const char *first_filter;    // -& expression, or null
extern int opt_clear;               // -c
extern int opt_stay_at_end;         // -e
extern int opt_ignore_case;         // -i
extern int show_line_numbers;       // on; -n turns it off
extern int opt_squeeze;             // -s
extern int opt_tag;                 // -t given
extern int opt_no_overstrike;       // -u
extern int opt_bytes;               // -b: text byte by byte, never UTF-8
extern int tab_width;               // -x, 8 by default

// --- Pending error and messages (error.cpp); shown by command/message.cpp ---
// The error codes, indexes into error_messages; each names its message.
enum error_code_value {
    ERR_NONE = 0,               // ""
    ERR_AMBIGUOUS_MACRO = 1,    // "ambigious macro"
    ERR_ARITHMETIC = 2,         // "invalid arithmetic expression"
    ERR_BAD_VARIABLE = 3,       // "bad variable"
    ERR_BOGUS_COMMAND = 4,      // "bogus command"
    ERR_PARSE = 5,              // "could not parse command string"
    ERR_NO_MACRO = 6,           // "could not expand macro"
    ERR_COMPILE_LIMIT = 7,      // "compile time limit"
    ERR_EXTERNAL = 8,           // "external dependency error"
    ERR_NO_MACRO_MATCH = 9,     // "could not find match for macro" (unused)
    ERR_NO_MEMORY = 10,         // "malloc() failed"
    ERR_MISSING_NUMBER = 11,    // "missing numeric argument..." (unused)
    ERR_MISSING_STRING = 12,    // "missing string argument..." (unused)
    ERR_BAD_WORD = 13,          // "bad n-toggle argument to command"
    ERR_SYSTEM = 14,            // "system error"
    ERR_COMMAND = 15,           // "to the unknown error": failures with a text
    ERROR_CODE_COUNT = 16
};
extern int error_code;              // an error_code_value; ERR_NONE = none
extern char *error_text;            // owned; shown instead of the table text
extern const char *const error_messages[ERROR_CODE_COUNT];
void set_error(int code, const char *format, ...)
    __attribute__((format(printf, 2, 3)));
void set_error_code(int code);      // raise a code without a text
void clear_error();
// A message to be shown once the work is done, as show_message shows it
// (no bell); several are shown in the order they were recorded.
void set_message(const char *format, ...) __attribute__((format(printf, 1, 2)));
// A message after which the program ends with EXIT_FAILURE once it is shown.
void set_fatal_error(const char *format, ...) __attribute__((format(printf, 1, 2)));
enum message_kind { MESSAGE_NONE = 0, MESSAGE_PLAIN = 1, MESSAGE_FATAL = 2 };
// The oldest pending message, taken: its kind, and its text in *text (heap,
// the caller frees it; null when there is none, or no memory was left for it).
int take_message(char **text);
bool fatal_error_pending();
void discard_messages();            // every pending message dropped unshown

// --- Display settings (display/scroll.cpp) ---
extern int horiz_off;               // columns the text is shifted left
extern int wrap_lines;              // 1: long lines continue on next rows
extern int at_eof;                  // end of input is on the screen

// --- Screen geometry (terminal/screen.cpp) ---
extern int screen_height;           // rows, bottom line included
extern int screen_width;            // columns

// --- Signals (terminal/signals.cpp) ---
// PENDING_INTERRUPT only while catch_interrupt is on (following).
enum { PENDING_STOP = 2, PENDING_RESIZE = 4, PENDING_INTERRUPT = 8 };
extern volatile sig_atomic_t pending_signals;
// What a read of the keyboard or the input returns when a stop or window
// change abandoned it: no byte and no error, the signal is to be served.
enum { READ_ABANDONED = -2 };

// --- Condition flag of the command language (language/ncommand.cpp) ---
extern int exec_flag;

// A programming error: report function, file, line and expression, then
// abort.  Used where only a bug can make the condition false.
[[noreturn]] void vorn_assert_fail(const char *func, const char *file,
                                   int line, const char *expr);
#define VORN_ASSERT(e) \
    ((e) ? (void)0 : vorn_assert_fail(__func__, __FILE__, __LINE__, #e))

#endif
