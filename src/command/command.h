// The command layer: the command loop and the bottom-line editor, the
// macro table, following, the file list, messages, the prompt and the
// program's end.
#ifndef VORN_COMMAND_H
#define VORN_COMMAND_H

#include <cstddef>
#include <cstdlib>

#include "vorn.h"

// --- command.cpp: command loop and line editing ---
extern int input_column;
// The column the next echoed key goes to (the end of the prompt).
void set_input_column(int column);
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

// --- filelist.cpp: the file list and the current file ---
extern char **file_names;
extern int file_count;
extern int file_index;
extern char *previous_file;
extern file_pos previous_position;
extern const char *prompt_name;
extern const char *next_file_name;
extern int stdin_used;

enum { OPEN_MESSAGE_SIZE = 1074 };
int open_file(const char *name, int only_if_other);
// The words after the options become the list, the first one the file at.
void set_file_list(char **names, int count);
// open_file of entry `index` of the list, which becomes the file at.
int open_file_at(int index);
void reopen_current_file();         // after an editor may have replaced it
void next_file(int n);
void prev_file(int n);
char *save_string(const char *text);
char *check_file(const char *path, char *buffer, size_t size);
void bounded_copy(char *destination, const char *source, size_t size);
void show_file_list();
// The list empty and no file current; the input descriptor is not closed.
void filelist_reset();

// --- message.cpp: showing messages and the pending error ---
extern int message_count;
extern int messages_on_screen;
// The pending messages in the order they were recorded, each waiting for
// its key on the screen; a fatal one ends the program once shown.  Whether
// any was shown.
bool report_messages();
// The pending messages, then the pending error with the bell.
void report_error();
void show_message(const char *text);
// From now on messages take the bottom line (the first file is open on the
// terminal); the file's name is shown when messages went to standard error.
void messages_to_screen(const char *file_name);
void hold_early_messages();
void repeat_held_messages();
void messages_reset();              // nothing pending, shown or held

// --- prompt.cpp: the prompt ---
extern int long_prompt;
int show_prompt();                   // paints the prompt on the bottom line
// A newly opened file's first screen: at the first match of -/, or else
// from its first line.
void show_first_screen();
// The end of this input ends the program: it is the last, and nothing
// (-e, following, a filter) keeps its end on the screen.
bool end_ends_program();
// The program's first screen, from the first line, would show the whole
// input and end the program at once.
bool first_screen_ends_program();
void set_prompt_style(int index);
void prompt_reset();

// --- finish.cpp: the orderly way out of paging mode ---
// From now on the exit has a terminal to restore (paging mode set it up).
void exit_restores_terminal();
// The terminal as the program found it (cursor to the lower left, end and
// keypad sequences, settings, held messages): the first half of every way
// out, the orderly exit's and a terminating signal's.
void restore_terminal();
// The orderly exit, with EXIT_SUCCESS after a run that showed something and
// ended as the user asked, EXIT_FAILURE when the run failed.
[[noreturn]] void finish_and_exit(int status = EXIT_SUCCESS);
// The orderly exit once the end of the last file is on the screen; the
// lines of that screen stay readable after the program has gone.
[[noreturn]] void finish_at_end_of_input();
// The orderly exit in place of a first screen that holds the whole input
// and would end the program: its lines are written once, as cat writes them.
[[noreturn]] void finish_with_whole_input();

#endif
