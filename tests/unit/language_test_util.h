// Helpers shared by the tests of the command language and its fuzz target:
// a clean slate for the process-wide state of the language (variables,
// macros, the argument stack, the condition flag, the pending error) and a
// readable view of the pending error.
#ifndef VORN_LANGUAGE_TEST_UTIL_H
#define VORN_LANGUAGE_TEST_UTIL_H

#include <cstdlib>
#include <cstring>
#include <string>

#include "command/command.h"
#include "language/language.h"
#include "startup/startup.h"

inline void reset_language_state()
{
    interpreter_reset();
    variables_reset();
    macro_reset();
    clear_error();
}

inline std::string pending_text()
{
    return error_text ? std::string(error_text) : std::string();
}

// The value of a variable by its exact name (a stored one, or one that
// shows the program's state), or "<unset>".
inline std::string variable_value(const char *name)
{
    for (var_entry *entry = var_list; entry; entry = entry->next) {
        if (std::string(entry->name) == name)
            return entry->value;
    }
    const char *shown;
    if (lookup_shown_variable(name, strlen(name), &shown) && shown)
        return shown;
    return "<unset>";
}

#endif
