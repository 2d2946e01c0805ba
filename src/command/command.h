// The command loop, the bottom-line editor and the macro table.
#ifndef VORN_COMMAND_H
#define VORN_COMMAND_H

#include "vorn.h"

// --- command.cpp: command loop and line editing ---
extern int input_column;
// `initial_keys` (or null): a count and keys run once the first screen is
// shown, as if typed then.
[[noreturn]] void command_loop(const char *initial_keys = nullptr);
// A key (1 to 255) or READ_ABANDONED; a keyboard that is gone ends the
// program.  get_command_key takes the key pushed back first.
int read_key();
int get_command_key();
void push_back_key(int key);
void set_one_key_read();
int read_line(const char *prompt, char *buffer, int size);
void start_input_line(const char *text);
int cmd_char(int c, char *buffer, char **bufcur, char *bufend);
int erase_char(char *buffer, char **bufcur);
// What comes before the prompt: following asked for from the start, a new
// file's first screen, a requested repaint; the end of the program once
// the end of the last file is on the screen.
void screen_for_prompt();
void command_reset();                // no key pushed back, no one-key read

// --- follow.cpp: following growing input ---
extern int follow_by_name;           // reopen a file replaced under its name
extern int follow_requested;         // follow from the first screen on (-F)
void set_follow_by_name(int on);
void request_follow();               // follow from the first screen on
bool take_follow_request();          // whether one was made (it is taken)
// Shows the end of the current input and the text that arrives, until a
// key or the interrupt key; then ordinary paging at the end.
void follow_input();
// The end that following left on the screen is still there, unmoved: the
// prompt does not end the program on it.
bool end_is_held();
void follow_reset();                 // no setting, no request, nothing held

// --- macro.cpp: the macro table ---
struct macro_entry {
    char *macro;                    // key sequence (owned)
    char *command;                  // command string (owned)
    int64_t number;                 // default number
};
extern macro_entry *macro_table;
extern int macro_count;
// What runmacro did with a key sequence.
enum macro_result {
    MACRO_RAN = 0,          // an exact match ran and succeeded
    MACRO_PREFIX = 1,       // a proper prefix of some macro: wait for a key
    MACRO_AMBIGUOUS = 2,    // an exact match that also begins another
    MACRO_UNBOUND = 3,      // no macro begins so
    MACRO_FAILED = 4,       // the command string failed
};
int runmacro(const char *keys, int64_t number, int have_number);
// A notch of the mouse wheel (up: towards the top of the text), as a
// macro result.
int run_wheel_command(bool up);
int setmacro(const char *macro, const char *command);
macro_entry *find_macro(const char *keys);
int set_macro_number(const char *keys, int64_t number);
void macro_reset();                  // the table empty, its texts released

#endif
