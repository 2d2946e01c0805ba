// Variables, toggles and the typed arguments (numbers and words).
//
// The variable list is a singly linked list in order of creation; entries
// are never removed and a value changes only through set_variable.  Names
// compare without regard to ASCII case, and a reference finds the earliest
// variable whose name begins with it.  Every name and value is a heap copy
// owned by its entry.
//
// Arithmetic is done on signed 64-bit values through unsigned arithmetic,
// so that sums, differences and products wrap around in two's complement
// without undefined behaviour.  Nesting of parenthesised groups is bounded
// (one level per group, MAX_COMMAND_CONTEXTS in all) so that no input can
// exhaust the native stack.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "language.h"
#include "terminal/terminal.h"

var_entry *var_list;

static int expression_depth;

static char fold_ascii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether `stored` begins with the `length` characters of `ref`, without
// regard to case; with `whole`, it must also end there.
static bool name_matches(const char *stored, const char *ref, size_t length,
                         bool whole)
{
    for (size_t i = 0; i < length; ++i) {
        if (stored[i] == '\0' || fold_ascii(stored[i]) != fold_ascii(ref[i]))
            return false;
    }
    return !whole || stored[length] == '\0';
}

static bool is_name_char(char c)
{
    return is_lang_print(c) && c != '{' && c != '}';
}

static const char *skip_blanks(const char *pos)
{
    while (is_lang_blank(*pos))
        ++pos;
    return pos;
}

// --- variables ---------------------------------------------------------------

static int replace_value(var_entry *entry, const char *value)
{
    char *copy = strdup(value);
    if (!copy) {
        set_error_code(ERR_NO_MEMORY);
        return -1;
    }
    free(entry->value);
    entry->value = copy;
    return 0;
}

static int append_variable(const char *name, const char *value)
{
    var_entry *entry = static_cast<var_entry *>(calloc(1, sizeof *entry));
    char *name_copy = strdup(name);
    char *value_copy = strdup(value);
    if (!entry || !name_copy || !value_copy) {
        free(entry);
        free(name_copy);
        free(value_copy);
        set_error_code(ERR_NO_MEMORY);
        return -1;
    }
    entry->name = name_copy;
    entry->value = value_copy;
    var_entry **link = &var_list;
    while (*link)
        link = &(*link)->next;
    *link = entry;
    return 0;
}

int set_variable(const char *name, const char *value)
{
    for (const char *p = name; *p; ++p) {
        if (!is_name_char(*p)) {
            set_error(ERR_BAD_VARIABLE, "bad character ``%c'' in variable ``%s''", *p, name);
            return -1;
        }
    }
    size_t length = strlen(name);
    for (var_entry *entry = var_list; entry; entry = entry->next) {
        if (name_matches(entry->name, name, length, true))
            return replace_value(entry, value);
    }
    return append_variable(name, value);
}

int set_number_variable(const char *name, int64_t n)
{
    char digits[24];
    snprintf(digits, sizeof digits, "%" PRId64, n);
    return set_variable(name, digits);
}

bool variable_name_begins(const char *stored, const char *ref, size_t length)
{
    return name_matches(stored, ref, length, false);
}

// The variables that show the program's state come first: they are never
// stored (shown_variables.cpp).
const char *lookup_variable(const char *name, size_t length)
{
    const char *computed;
    if (lookup_shown_variable(name, length, &computed))
        return computed;
    for (var_entry *entry = var_list; entry; entry = entry->next) {
        if (name_matches(entry->name, name, length, false))
            return entry->value;
    }
    int shown = length > INT32_MAX ? INT32_MAX : static_cast<int>(length);
    set_error(ERR_BAD_VARIABLE, "variable ``%.*s'' not set", shown, name);
    return nullptr;
}

const char *expand_variable(const char **cursor)
{
    const char *pos = *cursor;
    if (*pos != '{') {
        set_error_code(ERR_BAD_VARIABLE);
        return nullptr;
    }
    const char *name = ++pos;
    while (is_name_char(*pos))
        ++pos;
    size_t length = static_cast<size_t>(pos - name);
    if (*pos != '}' || length == 0) {
        int shown = length > INT32_MAX ? INT32_MAX : static_cast<int>(length);
        // The character as a string: a reference cut off by the end of the
        // command string has none, and a NUL given to %c would end the
        // message in the middle.
        char bad[2] = {*pos, '\0'};
        set_error(ERR_BAD_VARIABLE, "bad character ``%s'' in variable ``%.*s''", bad, shown,
                  name);
        return nullptr;
    }
    *cursor = pos + 1;
    return lookup_variable(name, length);
}

// --- toggles -----------------------------------------------------------------

// `name` followed by `suffix`, on the heap; null when memory ran out.
static char *suffixed_name(const char *name, const char *suffix)
{
    size_t length = strlen(name);
    char *built = static_cast<char *>(malloc(length + strlen(suffix) + 1));
    if (built) {
        memcpy(built, name, length);
        strcpy(built + length, suffix);
    }
    return built;
}

void settog(const char *name, int optval, int nargs, ...)
{
    VORN_ASSERT(optval < nargs);
    VORN_ASSERT(optval >= 0);
    va_list words;
    va_start(words, nargs);
    const char *word = nullptr;
    for (int i = 0; i <= optval; ++i)
        word = va_arg(words, const char *);
    va_end(words);

    char *word_name = suffixed_name(name, "_s");
    char *index_name = suffixed_name(name, "_n");
    if (word_name && index_name) {
        set_variable(word_name, word);
        set_number_variable(index_name, optval);
    }
    free(word_name);
    free(index_name);
    // Toggles are bookkeeping: neither their own failure nor an error
    // pending from before may be reported as the caller's.
    clear_error();
}

// --- numbers -----------------------------------------------------------------

// The digits at *cursor as a magnitude.  A literal beyond `limit` saturates
// at `limit` rather than wrapping: a huge count then means "as far as
// possible" instead of turning into some small or negative number.
static uint64_t read_magnitude(const char **cursor, uint64_t limit)
{
    uint64_t value = 0;
    const char *pos = *cursor;
    for (; is_lang_digit(*pos); ++pos) {
        unsigned digit = static_cast<unsigned>(*pos - '0');
        if (value > (limit - digit) / 10)
            value = limit;
        else
            value = value * 10 + digit;
    }
    *cursor = pos;
    return value;
}

static const uint64_t max_positive = INT64_MAX;
static const uint64_t max_negative = static_cast<uint64_t>(INT64_MAX) + 1;

// The leading decimal number of a text in the manner of atol (blanks, an
// optional sign, digits; 0 without digits), saturating like read_magnitude.
static int64_t leading_number(const char *text)
{
    const char *pos = skip_blanks(text);
    bool negative = *pos == '-';
    if (*pos == '-' || *pos == '+')
        ++pos;
    uint64_t magnitude =
        read_magnitude(&pos, negative ? max_negative : max_positive);
    return static_cast<int64_t>(negative ? 0 - magnitude : magnitude);
}

static int get_expression(int64_t *result, const char **cursor);

static int number_from_variable(int64_t *result, const char **cursor)
{
    const char *dollar = *cursor;
    const char *pos = dollar + 1;
    const char *value = expand_variable(&pos);
    if (!value)
        return -1;
    if (!is_lang_digit(value[0])) {
        set_error(ERR_ARITHMETIC,
                  "non-number found (``%s'') after expanding variable at "
                  "``%s''",
                  value, dollar);
        return -1;
    }
    *result = leading_number(value);
    *cursor = pos;
    return 0;
}

int get_number(int64_t *result, const char **cursor)
{
    const char *pos = skip_blanks(*cursor);
    if (is_lang_digit(*pos)) {
        *result = static_cast<int64_t>(read_magnitude(&pos, max_positive));
        *cursor = pos;
        return 0;
    }
    if (*pos == '"' || *pos == '\'') {
        const char *text = next_arg(&pos);
        if (!text)
            return -1;
        *result = leading_number(text);
        *cursor = pos;
        return 0;
    }
    if (*pos == '$') {
        if (number_from_variable(result, &pos) != 0)
            return -1;
        *cursor = pos;
        return 0;
    }
    if (*pos == '(') {
        if (get_expression(result, &pos) != 0)
            return -1;
        *cursor = pos;
        return 0;
    }
    set_error(ERR_ARITHMETIC, "non-number found, number expected, before parsing ``%s''",
              pos);
    return -1;
}

// --- arithmetic --------------------------------------------------------------

static const char close_paren_text[] = "missing arithmetic close parenthesis";

// The operator of a group: one character, or one of != == && || (the
// second character is then in `second`).
struct arith_operator {
    char first;
    char second;
};

// The comparisons and logical operators, all written with two characters.
static int64_t apply_pair(arith_operator op, int64_t left, int64_t right)
{
    switch (op.first) {
    case '!':
        return left != right;
    case '=':
        return left == right;
    case '&':
        return left != 0 && right != 0;
    default:
        return left != 0 || right != 0;
    }
}

static int apply_operator(arith_operator op, int64_t left, int64_t right,
                          int64_t *result)
{
    if (op.second) {
        *result = apply_pair(op, left, right);
        return 0;
    }
    uint64_t l = static_cast<uint64_t>(left);
    uint64_t r = static_cast<uint64_t>(right);
    switch (op.first) {
    case '*':
        *result = static_cast<int64_t>(l * r);
        return 0;
    case '+':
        *result = static_cast<int64_t>(l + r);
        return 0;
    case '-':
        *result = static_cast<int64_t>(l - r);
        return 0;
    case '/':
        // Division by zero gives 1.  Dividing by -1 is a negation, which
        // wraps for the most negative value instead of trapping.
        if (right == 0)
            *result = 1;
        else if (right == -1)
            *result = static_cast<int64_t>(0 - l);
        else
            *result = left / right;
        return 0;
    default:
        set_error(ERR_ARITHMETIC, "bad arithmetic operator: ``%c''", op.first);
        return -1;
    }
}

static arith_operator read_operator(const char **cursor)
{
    const char *pos = *cursor;
    arith_operator op = {*pos++, 0};
    bool pair = ((op.first == '!' || op.first == '=') && *pos == '=') ||
                (op.first == '&' && *pos == '&') ||
                (op.first == '|' && *pos == '|');
    if (pair)
        op.second = *pos++;
    *cursor = pos;
    return op;
}

// `(left)` or `(left OP right)`; `*cursor` is on the opening parenthesis.
// Both operands and the closing parenthesis are read before the operator
// is judged.
static int parse_group(int64_t *result, const char **cursor)
{
    const char *pos = *cursor + 1;
    int64_t left;
    if (get_number(&left, &pos) != 0)
        return -1;
    pos = skip_blanks(pos);
    if (*pos == '\0') {
        // The string ends where the operator should be: never step past it.
        set_error(ERR_ARITHMETIC, "%s", close_paren_text);
        return -1;
    }
    if (*pos == ')') {
        *result = left;
        *cursor = pos + 1;
        return 0;
    }
    arith_operator op = read_operator(&pos);
    int64_t right;
    if (get_number(&right, &pos) != 0)
        return -1;
    pos = skip_blanks(pos);
    if (*pos != ')') {
        set_error(ERR_ARITHMETIC, "%s", close_paren_text);
        return -1;
    }
    if (apply_operator(op, left, right, result) != 0)
        return -1;
    *cursor = pos + 1;
    return 0;
}

static int get_expression(int64_t *result, const char **cursor)
{
    if (expression_depth >= MAX_COMMAND_CONTEXTS) {
        set_error(ERR_COMPILE_LIMIT, "%s", arg_stack_full_text);
        return -1;
    }
    ++expression_depth;
    int status = parse_group(result, cursor);
    --expression_depth;
    return status;
}

// --- words -------------------------------------------------------------------

int choose_word(const char **cursor, int count, ...)
{
    VORN_ASSERT(count > 0);
    const char *arg = next_arg(cursor);
    if (!arg)
        return -1;
    if (is_lang_digit(arg[0])) {
        const char *pos = arg;
        uint64_t value = read_magnitude(&pos, max_positive);
        return static_cast<int>(value % static_cast<uint64_t>(count));
    }
    va_list words;
    va_start(words, count);
    int chosen = -1;
    size_t length = strlen(arg);
    for (int i = 0; i < count && chosen < 0; ++i) {
        const char *word = va_arg(words, const char *);
        if (name_matches(word, arg, length, true))
            chosen = i;
    }
    va_end(words);
    if (chosen < 0)
        set_error_code(ERR_BAD_WORD);
    return chosen;
}

void variables_reset()
{
    while (var_list) {
        var_entry *next = var_list->next;
        free(var_list->name);
        free(var_list->value);
        free(var_list);
        var_list = next;
    }
    expression_depth = 0;
}
