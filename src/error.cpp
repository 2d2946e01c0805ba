// The pending error and the pending messages: what an operation that failed,
// or has something to tell, leaves for whoever started the work.
//
// Every layer records here and returns; none of them shows anything or
// waits for a key.  The command loop, the script reader and the interpreter
// (after each command) show what is pending, in the order it was recorded:
// first the messages, then the error (command/message.cpp).
//
// Owns error_code and error_text (heap, or null: then the table message for
// the code is the one shown), the message table, and the messages not yet
// shown, oldest first.  Raising an error always releases the text of the one
// it replaces.  A fatal message is one after which the program ends: it is
// never dropped, and whoever shows it ends the program with EXIT_FAILURE.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "vorn.h"

int error_code;
char *error_text;
const char *const error_messages[ERROR_CODE_COUNT] = {
    "",
    "ambigious macro",
    "invalid arithmetic expression",
    "bad variable",
    "bogus command",
    "could not parse command string",
    "could not expand macro",
    "compile time limit",
    "external dependency error",
    "could not find match for macro",
    "malloc() failed",
    "missing numeric argument to command",
    "missing string argument to command",
    "bad n-toggle argument to command",
    "system error",
    "to the unknown error",
};

namespace {

// One command records one or two messages; more than this many before
// anyone shows them can only come from a fault, and the latest of them then
// takes the last place (a fatal one keeps its fatality).
enum { PENDING_MESSAGE_LIMIT = 16 };

struct pending_message {
    char *text;     // heap; null when even the text could not be kept
    int kind;       // MESSAGE_PLAIN or MESSAGE_FATAL
};

pending_message pending[PENDING_MESSAGE_LIMIT];
int pending_count;

void release_error_text()
{
    free(error_text);
    error_text = nullptr;
}

// The message formatted, or, when there is no memory for that, the format
// itself (the messages that end the program for want of memory have no
// arguments).
char *format_message(const char *format, va_list arguments)
{
    char *text;
    if (vasprintf(&text, format, arguments) >= 0)
        return text;
    return strdup(format);
}

void record_message(int kind, const char *format, va_list arguments)
{
    char *text = format_message(format, arguments);
    if (pending_count == PENDING_MESSAGE_LIMIT) {
        pending_message &last = pending[PENDING_MESSAGE_LIMIT - 1];
        free(last.text);
        last.text = text;
        if (last.kind != MESSAGE_FATAL)
            last.kind = kind;
        return;
    }
    pending[pending_count++] = pending_message{text, kind};
}

}  // namespace

void set_error(int code, const char *format, ...)
{
    error_code = code;
    release_error_text();
    va_list arguments;
    va_start(arguments, format);
    char *text;
    if (vasprintf(&text, format, arguments) >= 0)
        error_text = text;
    va_end(arguments);
}

void set_error_code(int code)
{
    error_code = code;
    release_error_text();
}

void clear_error()
{
    error_code = ERR_NONE;
    release_error_text();
}

void set_message(const char *format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    record_message(MESSAGE_PLAIN, format, arguments);
    va_end(arguments);
}

void set_fatal_error(const char *format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    record_message(MESSAGE_FATAL, format, arguments);
    va_end(arguments);
}

int take_message(char **text)
{
    *text = nullptr;
    if (pending_count == 0)
        return MESSAGE_NONE;
    pending_message oldest = pending[0];
    memmove(pending, pending + 1, static_cast<size_t>(pending_count - 1) * sizeof pending[0]);
    pending_count--;
    *text = oldest.text;
    return oldest.kind;
}

bool fatal_error_pending()
{
    for (int i = 0; i < pending_count; i++)
        if (pending[i].kind == MESSAGE_FATAL)
            return true;
    return false;
}

void discard_messages()
{
    for (int i = 0; i < pending_count; i++)
        free(pending[i].text);
    pending_count = 0;
}
