// Start-up: options, run modes, initialization scripts, and main's
// sequence.
#ifndef VORN_STARTUP_H
#define VORN_STARTUP_H

#include "vorn.h"

// --- options.cpp: options and run modes ---
// `command_line`: a "+command" word there is the initial command (VORN's
// word is options only).
int scan_options(int argc, char **argv, bool command_line = true);
// +command of the command line: keys run once the first screen is shown
// (null: none).  Written only while the options are parsed.
extern const char *initial_command;
[[noreturn]] void print_usage_and_exit();
// 0, or 1 when standard output failed or a compressed file's text ended at
// a fault (its message recorded)
int copy_to_stdout();
int copy_mode();                    // copies the list, or stdin; exit status
void paging_mode();                 // never returns
int vorn_main(int argc, char **argv);  // the whole of main()
void options_reset();               // the settings of a start without options

// --- initrc.cpp: initialization scripts ---
void load_init_scripts();

#endif
