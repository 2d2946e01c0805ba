// Placeholder: not yet written.
#include <cstdlib>

#include "startup.h"

int message_count;
int messages_on_screen;
void set_error(int, const char *, ...) {}
void set_error_code(int) {}
void clear_error() {}
void report_error() {}
void show_message(const char *) {}
int error_code;
char *error_text;
const char *const error_messages[16] = {};
