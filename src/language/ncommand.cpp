// The command interpreter and its argument lexer.
//
// run_command_string walks a command string in place: it never copies or
// changes it, so the caller keeps the text alive for the whole run.  Each
// command name is looked up in command_table and its handler takes its own
// arguments from the string through next_arg (and get_number/choose_word,
// which build on it).
//
// Every argument string lives on the argument-string stack, a fixed array of
// MAX_COMMAND_CONTEXTS heap strings shared by all nesting levels.  The
// interpreter marks the height before each command and releases down to it
// afterwards, whether the command succeeded or not; so the arguments of an
// enclosing command (the text a nested `eval` is running, for instance) stay
// valid while the nested run goes on, and a runaway recursion ends with the
// stack full instead of exhausting the native stack.
//
// exec_flag, the condition flag, is defined here because the interpreter is
// the one place every command passes through; the condition commands set it
// through set_exec_flag.
#include <cctype>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "display/display.h"
#include "commands.h"
#include "command/command.h"
#include "terminal/terminal.h"

int exec_flag = 1;

static char *arg_stack[MAX_COMMAND_CONTEXTS];
static int arg_stack_height;

const char arg_stack_full_text[] =
    "compile-time limit exceeded: command contexts";

// Character classes of the language.  Bytes are taken as signed: one with
// the high bit set belongs to no class, whatever the locale says.
bool is_lang_blank(char c)
{
    return c >= 0 && isspace(static_cast<unsigned char>(c));
}

bool is_lang_digit(char c)
{
    return c >= 0 && isdigit(static_cast<unsigned char>(c));
}

bool is_lang_print(char c)
{
    return c >= 0 && isprint(static_cast<unsigned char>(c));
}

int arg_stack_mark()
{
    return arg_stack_height;
}

void arg_stack_release(int height)
{
    if (height < 0)
        height = 0;
    while (arg_stack_height > height) {
        --arg_stack_height;
        free(arg_stack[arg_stack_height]);
        arg_stack[arg_stack_height] = nullptr;
    }
}

int arg_stack_push(char *owned)
{
    if (arg_stack_height >= MAX_COMMAND_CONTEXTS) {
        free(owned);
        set_error(ERR_COMPILE_LIMIT, "%s", arg_stack_full_text);
        return -1;
    }
    arg_stack[arg_stack_height++] = owned;
    return 0;
}

// --- building an argument ---------------------------------------------------

// A growable heap string of at most MAX_ARGUMENT_LENGTH bytes.  `error`
// records why it stopped growing (10: memory ran out, 7: too long); the
// text is then released and every later append is ignored.
//
// The length limit is far beyond any real command string; it bounds what a
// runaway script can take, such as a value that doubles itself at every
// level of a recursion, which would otherwise eat all memory long before
// the argument stack stops the recursion.
struct arg_buffer {
    char *text;
    size_t length;
    size_t capacity;
    int error;
};

static void buffer_fail(arg_buffer *buf, int code)
{
    free(buf->text);
    buf->text = nullptr;
    buf->error = code;
}

static void buffer_append(arg_buffer *buf, const char *bytes, size_t count)
{
    if (buf->error)
        return;
    if (count > MAX_ARGUMENT_LENGTH - buf->length) {
        buffer_fail(buf, ERR_COMPILE_LIMIT);
        return;
    }
    size_t needed = buf->length + count + 1;
    if (needed > buf->capacity) {
        size_t capacity = buf->capacity ? buf->capacity : 32;
        while (capacity < needed)
            capacity *= 2;
        char *grown = static_cast<char *>(realloc(buf->text, capacity));
        if (!grown) {
            buffer_fail(buf, ERR_NO_MEMORY);
            return;
        }
        buf->text = grown;
        buf->capacity = capacity;
    }
    memcpy(buf->text + buf->length, bytes, count);
    buf->length += count;
    buf->text[buf->length] = '\0';
}

static void buffer_add(arg_buffer *buf, char c)
{
    buffer_append(buf, &c, 1);
}

// The finished text, or null with the buffer's error raised (without a
// text: the table's messages say it).  The empty argument still gets a
// string of its own.
static char *buffer_finish(arg_buffer *buf)
{
    if (!buf->error && !buf->text)
        buffer_append(buf, "", 0);
    if (buf->error) {
        set_error_code(buf->error);
        return nullptr;
    }
    return buf->text;
}

// --- the lexer ---------------------------------------------------------------

// The text between single quotes: nothing is special but the pair \' which
// stands for a quote.  `pos` is just behind the opening quote.
static char *lex_single_quoted(const char **cursor)
{
    const char *pos = *cursor;
    arg_buffer buf = {};
    for (;;) {
        if (*pos == '\0') {
            free(buf.text);
            set_error_code(ERR_PARSE);
            return nullptr;
        }
        if (*pos == '\'') {
            ++pos;
            break;
        }
        if (pos[0] == '\\' && pos[1] == '\'') {
            buffer_add(&buf, '\'');
            pos += 2;
            continue;
        }
        buffer_add(&buf, *pos++);
    }
    char *text = buffer_finish(&buf);
    if (text)
        *cursor = pos;
    return text;
}

// One backslash escape at `pos` (on the backslash); returns the position
// behind what it consumed.
static const char *lex_escape(const char *pos, bool double_quoted,
                              arg_buffer *buf)
{
    char next = pos[1];
    switch (next) {
    case ' ':
    case '$':
    case '\'':
    case ';':
    case '\\':
        buffer_add(buf, next);
        return pos + 2;
    case '"':
        if (double_quoted) {
            buffer_add(buf, '"');
            return pos + 2;
        }
        break;
    case 'e':
        buffer_add(buf, '\x1b');
        return pos + 2;
    case 'n':
        buffer_add(buf, '\n');
        return pos + 2;
    case 't':
        buffer_add(buf, '\t');
        return pos + 2;
    default:
        break;
    }
    // Not an escape: the backslash stands for itself and the next character
    // is read by the usual rules.
    buffer_add(buf, '\\');
    return pos + 1;
}

// A word, unquoted or (after a stepped-over ") double-quoted.  Expansions
// are appended as they are and never scanned again.
static char *lex_word(const char **cursor, bool double_quoted)
{
    const char *pos = *cursor;
    arg_buffer buf = {};
    for (;;) {
        char c = *pos;
        if (c == '\0')
            break;
        if (!double_quoted && (c == ' ' || c == '\t' || c == ';')) {
            ++pos;
            break;
        }
        if (double_quoted && c == '"') {
            ++pos;
            break;
        }
        if (c == '\\') {
            pos = lex_escape(pos, double_quoted, &buf);
            continue;
        }
        if (c == '$') {
            ++pos;
            const char *value = expand_variable(&pos);
            if (!value) {
                free(buf.text);
                return nullptr;
            }
            buffer_append(&buf, value, strlen(value));
            continue;
        }
        buffer_add(&buf, c);
        ++pos;
    }
    char *text = buffer_finish(&buf);
    if (text)
        *cursor = pos;
    return text;
}

// A parenthesised expression, turned into its decimal text.
static char *lex_arithmetic(const char **cursor)
{
    const char *pos = *cursor;
    int64_t value;
    if (get_number(&value, &pos) != 0)
        return nullptr;
    char digits[24];
    snprintf(digits, sizeof digits, "%" PRId64, value);
    char *text = strdup(digits);
    if (!text) {
        set_error_code(ERR_NO_MEMORY);
        return nullptr;
    }
    *cursor = pos;
    return text;
}

const char *next_arg(const char **cursor)
{
    if (arg_stack_height >= MAX_COMMAND_CONTEXTS) {
        set_error(ERR_COMPILE_LIMIT, "%s", arg_stack_full_text);
        return nullptr;
    }
    const char *pos = *cursor;
    while (is_lang_blank(*pos))
        ++pos;
    char *text;
    if (*pos == '\'') {
        ++pos;
        text = lex_single_quoted(&pos);
    } else {
        bool double_quoted = *pos == '"';
        if (double_quoted)
            ++pos;
        if (*pos == '(')
            text = lex_arithmetic(&pos);
        else
            text = lex_word(&pos, double_quoted);
    }
    if (!text)
        return nullptr;
    // An expansion of a terminal capability may have filled the stack while
    // the word was read; the push then fails with code 7 and frees the text.
    if (arg_stack_push(text) != 0)
        return nullptr;
    *cursor = pos;
    return text;
}

// --- the interpreter ---------------------------------------------------------

// The row whose name stands at `pos`, followed by a space, a ';' or the end.
static const command_entry *find_command_row(const char *pos)
{
    for (int i = 0; i < command_table_size; ++i) {
        const command_entry *row = &command_table[i];
        size_t length = strlen(row->name);
        if (strncmp(pos, row->name, length) != 0)
            continue;
        char after = pos[length];
        if (after == ' ' || after == ';' || after == '\0')
            return row;
    }
    return nullptr;
}

// An unknown command abandons the rest of the string and sets the
// condition flag again, so that a script line with a typo does not leave
// every later command skipped.  The recovery runs first and the code-4
// error is raised after it: with the argument stack full the recovery
// itself cannot run, and then the flag is set directly instead, and the
// error still names the offending text.
static int reject_unknown_command(const char *pos)
{
    if (run_command_string("condition true") != 0)
        exec_flag = 1;
    set_error(ERR_BOGUS_COMMAND, "invalid command: ``%s''", pos);
    return -1;
}

int run_command_string(const char *str)
{
    const char *pos = str;
    for (;;) {
        while (*pos == ';' || is_lang_blank(*pos))
            ++pos;
        if (*pos == '\0')
            return 0;
        const command_entry *row = find_command_row(pos);
        if (!row)
            return reject_unknown_command(pos);
        cursor_lower_left();
        out_flush();
        int height = arg_stack_mark();
        const char *next = row->handler(row->code, pos + strlen(row->name));
        arg_stack_release(height);
        // What the command had to say is shown before the next one runs
        // (and a fatal failure ends the program here).
        report_messages();
        if (!next)
            return -1;
        pos = next;
    }
}

void set_exec_flag(int on)
{
    exec_flag = on != 0;
}

void interpreter_reset()
{
    arg_stack_release(0);
    exec_flag = 1;
    find_commands_reset();
    filter_commands_reset();
}
