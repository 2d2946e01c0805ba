// Placeholder: not yet written.
#include <cstdlib>

#include "startup.h"

void load_init_scripts() {}
void read_rc_file(FILE *) {}
int builtin_script_read(const char *, char *, int) { return {}; }
