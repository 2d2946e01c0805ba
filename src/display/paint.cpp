// Placeholder: not yet written.
#include <cstdlib>

#include "display.h"

int erase_before_next_line;
void paint_line() {}
void show_busy_message(const char *) {}
