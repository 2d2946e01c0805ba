// Start-up, options, run modes, initialization scripts, the file list,
// messages and the prompt.
#ifndef VORN_STARTUP_H
#define VORN_STARTUP_H

#include <cstdio>
#include <cstdlib>

#include "vorn.h"

// --- options.cpp: options and run modes ---
// `command_line`: a "+command" word there is the initial command (VORN's
// word is options only).
int scan_options(int argc, char **argv, bool command_line = true);
// +command of the command line: keys run once the first screen is shown
// (null: none).  Written only while the options are parsed.
extern const char *initial_command;
[[noreturn]] void print_usage_and_exit();
int copy_to_stdout();               // 0, or 1 when standard output failed
int copy_mode();                    // copies the list, or stdin; exit status
void paging_mode();                 // never returns
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
int vorn_main(int argc, char **argv);  // the whole of main()
void options_reset();               // the settings of a start without options

// --- initrc.cpp: initialization scripts ---
void load_init_scripts();
void read_rc_file(FILE *stream);
int read_rc_stream(FILE *stream);  // read_rc_file; 0, or errno of a failed read

// --- filelist.cpp: the file list and the current file ---
extern char **file_names;
extern int file_count;
extern int file_index;
extern char *current_file;
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

// --- message.cpp: the pending error and messages ---
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

#endif
