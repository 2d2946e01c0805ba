// The command language: interpreter and argument lexer, variables, toggles
// and arithmetic, the command table, and the built-in script.
#ifndef VORN_LANGUAGE_H
#define VORN_LANGUAGE_H

#include <cstdio>

#include "vorn.h"

// --- ncommand.cpp: interpreter, argument lexer, argument-string stack ---
enum { MAX_COMMAND_CONTEXTS = 128 };
// The longest argument the lexer builds; a longer one fails with code 7.
enum { MAX_ARGUMENT_LENGTH = 65536 };

int run_command_string(const char *str);
const char *next_arg(const char **cursor);
int arg_stack_mark();
void arg_stack_release(int height);
int arg_stack_push(char *owned);    // 0, or -1 with code 7 set (string freed)
extern const char arg_stack_full_text[];  // the text of that code-7 error
// The condition flag: while it is clear, commands only parse.
void set_exec_flag(int on);
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

// --- script.cpp: the reader of scripts ---
void read_rc_file(FILE *stream);
int read_rc_stream(FILE *stream);  // read_rc_file; 0, or errno of a failed read

// --- builtin_script.cpp: the default initialization script ---
extern const char builtin_script[];

#endif
