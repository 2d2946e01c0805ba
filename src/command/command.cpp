// Placeholder: not yet written.
#include <cstdlib>

#include "command.h"

int input_column;
[[noreturn]] void command_loop() { abort(); }
int get_command_key() { return {}; }
void push_back_key(int) {}
void set_one_key_read() {}
int read_line(const char *, char *, int) { return {}; }
void start_input_line(const char *) {}
int cmd_char(int, char *, char **, char *) { return {}; }
int erase_char(char *, char **) { return {}; }
