// Shell escapes and external programs.  Not written yet: nothing is run,
// and a file name is used exactly as it was typed.
#include "terminal.h"

void run_shell_command(const char *) {}
const char *glob(const char *name)
{
    return name;
}
void edit_current_file() {}
void show_help() {}
