// Placeholder: not yet written.
#include <cstdlib>

#include "command.h"

macro_entry *macro_table;
int macro_count;
int runmacro(const char *, int64_t, int) { return {}; }
int setmacro(const char *, const char *) { return {}; }
macro_entry *find_macro(const char *) { return {}; }
int set_macro_number(const char *, int64_t) { return {}; }
