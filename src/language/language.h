// The command language: interpreter and argument lexer, variables, toggles
// and arithmetic, the command table, and the built-in script.
#ifndef VORN_LANGUAGE_H
#define VORN_LANGUAGE_H

#include "vorn.h"

// --- ncommand.cpp: interpreter, argument lexer, argument-string stack ---
enum { MAX_COMMAND_CONTEXTS = 128 };
// The longest argument the lexer builds; a longer one fails with code 7.
enum { MAX_ARGUMENT_LENGTH = 65536 };

// The code of each command; a handler that serves several rows tells them
// apart by it.  Two names share a code: condition_toggle and condition_else.
enum command_code {
    CODE_DEFTOG = 0,
    CODE_EVAL = 1,
    CODE_SET = 2,
    CODE_MACRO = 3,
    CODE_ERROR = 4,
    CODE_CONDITION = 5,
    CODE_CONDITION_NOT = 6,
    CODE_CONDITION_TOGGLE = 7,   // also condition_else
    CODE_USERCOM = 8,
    CODE_READRC = 9,
    CODE_QUIT = 10,
    CODE_HELP = 11,
    CODE_FLUSH = 12,
    CODE_REPAINT = 13,
    CODE_FORW_SCROLL = 14,
    CODE_BACK_SCROLL = 15,
    CODE_FORW = 16,
    CODE_BACK = 17,
    CODE_LSCROLL = 18,   // lscroll comes before rscroll
    CODE_RSCROLL = 19,
    CODE_GOLINE = 20,
    CODE_GOPERCENT = 21,
    CODE_GOEND = 22,
    CODE_EDIT = 23,
    CODE_ASKFILE = 24,
    CODE_FILE = 25,
    CODE_FILE_LIST = 26,
    CODE_STAT = 27,
    CODE_MAGICASKSEARCH = 28,
    CODE_SEARCH = 29,
    CODE_RESEARCH = 30,
    CODE_SETMARK = 31,
    CODE_GOMARK = 32,
    CODE_LISTBMARKS = 33,
    CODE_ASKTAG = 34,
    CODE_NEXTTAG = 35,
    CODE_PREVTAG = 36,
    CODE_COLOUR = 37,
    CODE_HIGHLIGHT = 38,
    CODE_UTF8 = 39,
    CODE_FOLLOW = 40,
    CODE_FOLLOW_NAME = 41,
    COMMAND_CODE_COUNT = 42
};

// A handler gets its code and the position just behind its name; it returns
// the position behind its arguments, or null when the command failed.
typedef const char *(*command_handler)(int code, const char *pos);
struct command_entry {
    const char *name;
    int code;
    command_handler handler;
};
// The rows, in the order they are searched (cmdtable.cpp); each command file
// defines its own rows.
extern const command_entry *const command_table[];
extern const int command_table_size;

int run_command_string(const char *str);
const char *next_arg(const char **cursor);
int arg_stack_mark();
void arg_stack_release(int height);
int arg_stack_push(char *owned);    // 0, or -1 with code 7 set (string freed)
extern const char arg_stack_full_text[];  // the text of that code-7 error
extern int search_sense;
// The argument stack empty, the condition flag set, the search sense 0.
void interpreter_reset();
// Character classes of the language: the locale's classes for bytes below
// 128; a byte with the high bit set is in none of them.
bool is_lang_blank(char c);
bool is_lang_digit(char c);
bool is_lang_print(char c);

// --- variables.cpp: variables, toggles, numbers, words ---
struct var_entry {
    var_entry *next;
    char *name;
    char *value;
};
extern var_entry *var_list;
int set_variable(const char *name, const char *value);
int set_number_variable(const char *name, int64_t n);
// A variable that shows the program's state (shown_variables.cpp) before
// one of the list.
const char *lookup_variable(const char *name, size_t length);
// Whether `stored` begins with the `length` characters of `ref`, letters
// compared without regard to case: how a reference finds its variable.
bool variable_name_begins(const char *stored, const char *ref, size_t length);
const char *expand_variable(const char **cursor);
void settog(const char *name, int optval, int nargs, ...);
int get_number(int64_t *result, const char **cursor);
int choose_word(const char **cursor, int count, ...);
void variables_reset();             // every variable released

// --- shown_variables.cpp: variables computed from the state they show ---
// Whether the reference names one of them (the screen size, a setting, a
// terminal capability); *value is then its value, or null with the
// pending error set.
bool lookup_shown_variable(const char *ref, size_t length, const char **value);

// --- builtin_script.cpp: the default initialization script ---
extern const char builtin_script[];

#endif
