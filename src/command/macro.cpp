// The macro table: every key binding of the pager.
//
// macro_table is a growable array in order of definition; entries are
// never removed, and at most one entry exists for a key sequence (binding
// it again replaces the entry's command string).  Keys and commands are
// heap copies owned by their entry.  The table is searched linearly.
//
// A macro runs a private copy of its command string, held on the argument
// stack for the length of the run: the command string may rebind the very
// keys it runs under, which frees the entry's text, and the rest of the
// run must still read the text as it was when the run began.
#include <cstdlib>
#include <cstring>

#include "command.h"
#include "language/language.h"

macro_entry *macro_table;
int macro_count;

// Runs `command` with "number" set to `number`.
static int run_bound_command(const char *command, int64_t number)
{
    set_number_variable("number", number);
    clear_error();
    int height = arg_stack_mark();
    char *text = strdup(command);
    if (!text) {
        set_error_code(ERR_NO_MEMORY);
        return MACRO_FAILED;
    }
    if (arg_stack_push(text) != 0)
        return MACRO_FAILED;
    int status = run_command_string(text);
    arg_stack_release(height);
    return status != 0 ? MACRO_FAILED : MACRO_RAN;
}

// Runs `entry` with "number" set to the typed count or its default number.
static int run_macro_entry(const macro_entry *entry, int64_t number,
                           int have_number)
{
    return run_bound_command(entry->command, have_number ? number : entry->number);
}

// The wheel has no keys to bind: what a notch does is the command string
// of the variable com_wheel_up or com_wheel_down (the built-in script sets
// them), with no count.
int run_wheel_command(bool up)
{
    return run_bound_command(up ? "eval ${com_wheel_up}" : "eval ${com_wheel_down}", 0);
}

int runmacro(const char *keys, int64_t number, int have_number)
{
    if (macro_count == 0) {
        set_error_code(ERR_NO_MACRO);
        return MACRO_UNBOUND;
    }
    size_t key_length = strlen(keys);
    const macro_entry *exact = nullptr;
    int yetmatch = 0;
    for (int i = 0; i < macro_count; ++i) {
        const macro_entry *entry = &macro_table[i];
        if (strcmp(entry->macro, keys) == 0)
            exact = entry;
        else if (strncmp(entry->macro, keys, key_length) == 0)
            ++yetmatch;
    }
    if (exact && yetmatch == 0)
        return run_macro_entry(exact, number, have_number);
    if (exact) {
        set_error_code(ERR_AMBIGUOUS_MACRO);
        return MACRO_AMBIGUOUS;
    }
    if (yetmatch == 0) {
        set_error_code(ERR_NO_MACRO);
        return MACRO_UNBOUND;
    }
    return MACRO_PREFIX;
}

static macro_entry *entry_with_keys(const char *keys)
{
    for (int i = 0; i < macro_count; ++i) {
        if (strcmp(macro_table[i].macro, keys) == 0)
            return &macro_table[i];
    }
    return nullptr;
}

// One more entry at the end of the table, with default number 0; null (the
// table unchanged) when memory runs out.
static macro_entry *append_entry()
{
    size_t count = static_cast<size_t>(macro_count) + 1;
    if (count > INT32_MAX || count > SIZE_MAX / sizeof(macro_entry))
        return nullptr;
    void *grown = realloc(macro_table, count * sizeof(macro_entry));
    if (!grown)
        return nullptr;
    macro_table = static_cast<macro_entry *>(grown);
    macro_entry *entry = &macro_table[macro_count++];
    *entry = macro_entry{nullptr, nullptr, 0};
    return entry;
}

int setmacro(const char *macro, const char *command)
{
    VORN_ASSERT(macro && command);
    macro_entry *entry = entry_with_keys(macro);
    char *keys_copy = strdup(macro);
    char *command_copy = strdup(command);
    if (keys_copy && command_copy && !entry)
        entry = append_entry();
    if (!keys_copy || !command_copy || !entry) {
        free(keys_copy);
        free(command_copy);
        set_error_code(ERR_NO_MEMORY);
        return -1;
    }
    free(entry->macro);
    free(entry->command);
    entry->macro = keys_copy;
    entry->command = command_copy;
    return 0;
}

macro_entry *find_macro(const char *keys)
{
    size_t key_length = strlen(keys);
    macro_entry *found = nullptr;
    for (int i = 0; i < macro_count; ++i) {
        macro_entry *entry = &macro_table[i];
        if (strncmp(entry->macro, keys, key_length) != 0)
            continue;
        if (entry->macro[key_length] != '\0') {
            set_error_code(ERR_AMBIGUOUS_MACRO);
            return nullptr;
        }
        found = entry;
    }
    return found;
}

int set_macro_number(const char *keys, int64_t number)
{
    macro_entry *entry = find_macro(keys);
    if (!entry)
        return -1;
    entry->number = number;
    return 0;
}

void macro_reset()
{
    for (int i = 0; i < macro_count; ++i) {
        free(macro_table[i].macro);
        free(macro_table[i].command);
    }
    free(macro_table);
    macro_table = nullptr;
    macro_count = 0;
}
