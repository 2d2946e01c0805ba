// The pager as the tests of the help command need it: the same program,
// looking for its help file in the build tree instead of under the
// installation prefix, so that no test needs an installed file.
#include "command/command.h"
#include "startup/startup.h"
#include "terminal/terminal.h"

int main(int argc, char **argv)
{
    help_file = VORN_TEST_HELP_FILE;
    return vorn_main(argc, argv);
}
