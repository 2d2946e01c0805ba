// The variables that show the program's own state to the command language:
// the screen size, the settings a binding may read or flip (the prompt
// style, the horizontal view and whether files open chopped, UTF-8 text,
// colours, highlighting, the line-number column, following by name, the
// header lines, the reading of compressed files as their text, the filter:
// its expression `_viewfilter_s` and whether one is set) and the
// terminal's capabilities (`_termcap_XX`).
//
// None of them is stored.  Each is computed from what it shows every time
// it is looked up, so that none can disagree with its setting, whoever
// changed the setting and however (a command, opening a file, going to a
// mark, a window change).  The user cannot set them: `set` refuses every
// name that begins with `_`.
//
// A lookup tries them before the variable list, in the order of the table:
// the order in which they came into being when they were stored, so that a
// reference that is only the beginning of a name (`${_sc}`) still finds the
// same one.  No stored variable's name begins like one of theirs beyond
// `_` and `_f` (`_ls_...`, `_file_direction_...`), and those two were
// always theirs first.
//
// A toggle shows as two names, NAME_s (the state's word) and NAME_n (its
// index).  A number's text is kept per row, valid until the same variable
// is looked up again; a capability's text lives on the argument stack.
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "command/command.h"
#include "display/display.h"
#include "file/file.h"
#include "find/find.h"
#include "language.h"
#include "terminal/terminal.h"

namespace {

struct shown_variable {
    const char *name;           // the number's name, or the toggle's
    int (*state)();             // the number, or the toggle's state index
    const char *words[2];       // the toggle's states; none for a number
    const char *(*text)() = nullptr;    // instead of a number: a text
};

int text_columns() { return screen_width; }
int prompt_state() { return long_prompt ? 0 : 1; }
int column() { return horiz_off; }
int wrapping() { return wrap_lines ? 1 : 0; }
int utf8_state() { return utf8_text ? 0 : 1; }
int colour_state() { return show_colour ? 0 : 1; }
int highlight_state() { return highlight_matches ? 0 : 1; }
int follow_name_state() { return follow_by_name ? 0 : 1; }
int filter_state() { return filter_active() ? 0 : 1; }
int chop_state() { return starts_chopped() ? 0 : 1; }
int mouse_state() { return mouse_wheel_on() ? 0 : 1; }
int numbers_state() { return number_column_wanted() ? 0 : 1; }
int searchfiles_state() { return searches_files() ? 0 : 1; }
int header_state() { return header_lines_wanted(); }
int decompress_state() { return decompress_files ? 0 : 1; }

const shown_variable shown_variables[] = {
    // the rows the text scrolls in, beneath the header lines
    {"_sc_height", text_rows, {}},
    {"_sc_width", text_columns, {}},
    {"_statprompt", prompt_state, {"on", "off"}},
    {"_curhscroll", column, {}},
    {"_wraplines", wrapping, {"off", "on"}},
    {"_utf8", utf8_state, {"on", "off"}},
    {"_colour", colour_state, {"on", "off"}},
    {"_highlight", highlight_state, {"on", "off"}},
    {"_follow_name", follow_name_state, {"on", "off"}},
    {"_viewfilter_s", nullptr, {}, filter_expression},
    {"_viewfiltered", filter_state, {"on", "off"}},
    {"_chop", chop_state, {"on", "off"}},
    {"_mouse", mouse_state, {"on", "off"}},
    {"_numbers", numbers_state, {"on", "off"}},
    {"_searchfiles", searchfiles_state, {"on", "off"}},
    {"_header", header_state, {}},
    {"_decompress", decompress_state, {"on", "off"}},
};

enum { SHOWN_COUNT = sizeof shown_variables / sizeof shown_variables[0] };

char number_texts[SHOWN_COUNT][24];

// Whether the variable `name` followed by `suffix` begins with the
// reference.
bool shown_name_matches(const char *name, const char *suffix, const char *ref,
                        size_t length)
{
    char full[32];
    snprintf(full, sizeof full, "%s%s", name, suffix);
    return variable_name_begins(full, ref, length);
}

const char *number_text(int row, int value)
{
    snprintf(number_texts[row], sizeof number_texts[row], "%d", value);
    return number_texts[row];
}

// The value of the shown variable the reference names, or null when it
// names none.
const char *shown_value(const char *ref, size_t length)
{
    for (int row = 0; row < SHOWN_COUNT; ++row) {
        const shown_variable &v = shown_variables[row];
        if (v.text != nullptr) {
            if (shown_name_matches(v.name, "", ref, length))
                return v.text();
            continue;
        }
        if (v.words[0] == nullptr) {
            if (shown_name_matches(v.name, "", ref, length))
                return number_text(row, v.state());
            continue;
        }
        if (shown_name_matches(v.name, "_s", ref, length))
            return v.words[v.state()];
        if (shown_name_matches(v.name, "_n", ref, length))
            return number_text(row, v.state());
    }
    return nullptr;
}

// A terminal capability as a string of the argument stack; "" when the
// terminal part gives no text at all.
const char *capability_value(const char *code_chars)
{
    char code[3] = {code_chars[0], code_chars[1], '\0'};
    const char *text = termcap_value(code);
    if (!text)
        return "";
    char *copy = strdup(text);
    if (!copy) {
        set_error_code(ERR_NO_MEMORY);
        return nullptr;
    }
    if (arg_stack_push(copy) != 0)
        return nullptr;
    return copy;
}

}  // namespace

bool lookup_shown_variable(const char *ref, size_t length, const char **value)
{
    static const char termcap_prefix[] = "_termcap_";
    const size_t prefix_length = sizeof termcap_prefix - 1;
    if (length == prefix_length + 2 &&
        strncmp(ref, termcap_prefix, prefix_length) == 0) {
        *value = capability_value(ref + prefix_length);
        return true;
    }
    *value = shown_value(ref, length);
    return *value != nullptr;
}
