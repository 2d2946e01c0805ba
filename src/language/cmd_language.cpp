// The commands of the language itself: toggles, evaluation, variables,
// macros, messages and the condition flag.
//
// Every handler first parses all its arguments whatever exec_flag says (so
// a bad argument fails its command even in a branch not taken), then does
// nothing more while the flag is clear.  The condition commands are the
// exception: they act whatever the state of the flag, since they are what
// sets it again.
#include "command/command.h"
#include "commands.h"
#include "display/display.h"
#include "find/find.h"

// The memory of the last search that the bindings read; running it again
// resets it to its start.  The variables that show a setting (the prompt
// style, the horizontal view ...) are not stored at all: they are computed
// when looked up (shown_variables.cpp).
const char *cmd_deftog(int, const char *pos)
{
    if (!exec_flag)
        return pos;
    settog("_ls_direction", 0, 2, "forw", "back");
    settog("_ls_sense", 0, 2, "noinvert", "invert");
    set_variable("_ls_regexp", "");
    return pos;
}

// The string runs as a subroutine; its result is deliberately ignored, and
// a condition inside it holds for the rest of the enclosing string too.
const char *cmd_eval(int, const char *pos)
{
    const char *text = next_arg(&pos);
    if (!text)
        return nullptr;
    if (!exec_flag)
        return pos;
    run_command_string(text);
    return pos;
}

const char *cmd_set(int, const char *pos)
{
    const char *name = next_arg(&pos);
    if (!name)
        return nullptr;
    const char *value = next_arg(&pos);
    if (!value)
        return nullptr;
    if (!exec_flag)
        return pos;
    if (name[0] == '_') {
        set_error(ERR_BAD_VARIABLE, "variables beginning with '_' are reserved");
        return nullptr;
    }
    if (set_variable(name, value) != 0)
        return nullptr;
    return pos;
}

// A binding made by setmacro stays even when its number cannot be set
// (the keys begin a longer binding); a new binding then keeps the default
// number 0 that setmacro gives every new entry.
const char *cmd_macro(int, const char *pos)
{
    int64_t number;
    if (get_number(&number, &pos) != 0)
        return nullptr;
    const char *keys = next_arg(&pos);
    if (!keys)
        return nullptr;
    const char *command = next_arg(&pos);
    if (!command)
        return nullptr;
    if (!exec_flag)
        return pos;
    if (setmacro(keys, command) != 0)
        return nullptr;
    if (set_macro_number(keys, number) != 0)
        return nullptr;
    return pos;
}

const char *cmd_error(int, const char *pos)
{
    const char *message = next_arg(&pos);
    if (!message)
        return nullptr;
    if (!exec_flag)
        return pos;
    show_message(message);
    return pos;
}

// There is no nesting: each condition sets the flag outright.  The words
// are off, on, false, true, so an odd index (or odd number) means "set".
const char *cmd_condition(int code, const char *pos)
{
    if (code == CODE_CONDITION_TOGGLE) {
        set_exec_flag(!exec_flag);
        return pos;
    }
    int index = choose_word(&pos, 4, "off", "on", "false", "true");
    if (index < 0)
        return nullptr;
    set_exec_flag(code == CODE_CONDITION_NOT ? !(index & 1) : index & 1);
    return pos;
}
