// The command table the interpreter searches: the rows of command_rows.h.
// It is an object of its own so that the fuzz target can put its own
// table in its place (see fuzz/fuzz_command.cpp).
#include "command_rows.h"

const command_entry *const command_table = command_rows;
const int command_table_size =
    static_cast<int>(sizeof command_rows / sizeof command_rows[0]);
