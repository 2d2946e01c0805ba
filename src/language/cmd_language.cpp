// Placeholder rows: handlers not yet written.
#include "commands.h"

static const char *cmd_deftog(int code, const char *pos);
static const char *cmd_eval(int code, const char *pos);
static const char *cmd_set(int code, const char *pos);
static const char *cmd_macro(int code, const char *pos);
static const char *cmd_error(int code, const char *pos);
static const char *cmd_condition(int code, const char *pos);

const command_entry cmd_deftog_entry = {"deftog", 0, cmd_deftog};
const command_entry cmd_eval_entry = {"eval", 1, cmd_eval};
const command_entry cmd_set_entry = {"set", 2, cmd_set};
const command_entry cmd_macro_entry = {"macro", 3, cmd_macro};
const command_entry cmd_error_entry = {"error", 4, cmd_error};
const command_entry cmd_condition_entry = {"condition", 5, cmd_condition};
const command_entry cmd_condition_not_entry = {"condition_!", 6, cmd_condition};
const command_entry cmd_condition_toggle_entry = {"condition_toggle", 7, cmd_condition};
const command_entry cmd_condition_else_entry = {"condition_else", 7, cmd_condition};

static const char *cmd_deftog(int, const char *pos)
{
    return pos;
}

static const char *cmd_eval(int, const char *pos)
{
    return pos;
}

static const char *cmd_set(int, const char *pos)
{
    return pos;
}

static const char *cmd_macro(int, const char *pos)
{
    return pos;
}

static const char *cmd_error(int, const char *pos)
{
    return pos;
}

static const char *cmd_condition(int, const char *pos)
{
    return pos;
}
