// The pending error and the messages.
//
// Owns error_code and error_text (heap, or null: then the table message for
// the code is the one shown), the message table, message_count and
// messages_on_screen.  Raising an error always releases the text of the
// one it replaces.  Before messages_on_screen is set a message is a line on
// standard error; afterwards it takes the bottom line and waits for a key.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "command/command.h"
#include "display/display.h"
#include "startup.h"
#include "terminal/terminal.h"

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
int message_count;
int messages_on_screen;

namespace {

// Messages written to standard error after the terminal was set up but
// before any file opened.  If no file opens at all, the terminal's end
// sequence may take away the screen they were written on, so the orderly
// exit writes them again once the terminal is restored.  A fixed area, so
// that the exit (also run from the interrupt handler) needs no allocation.
char held_messages[4096];
size_t held_length;
bool holding_messages;

// Columns of "  (press RETURN)" behind a text.
const int ACKNOWLEDGE_WIDTH = 16;

void release_error_text()
{
    free(error_text);
    error_text = nullptr;
}

// The table message for code; a code outside the table (only a bug can
// raise one) shows the last, catch-all message instead of reading past it.
const char *table_message(int code)
{
    if (code < 0 || code >= ERROR_CODE_COUNT)
        code = ERROR_CODE_COUNT - 1;
    return error_messages[code];
}

void acknowledge_with_key()
{
    int key = get_key();
    if (key == '\n')
        return;
    if (key == 'q')
        finish_and_exit();
    // A wait cut short by a stop or resize is not a key: the command loop
    // serves the signal and reads a real key afterwards.
    if (key != READ_ABANDONED)
        push_back_key(key);
}

void hold_message(const char *text)
{
    size_t length = strlen(text);
    if (!holding_messages || held_length + length + 1 > sizeof held_messages)
        return;
    memcpy(held_messages + held_length, text, length);
    held_messages[held_length + length] = '\n';
    held_length += length + 1;
}

}  // namespace

void hold_early_messages()
{
    holding_messages = true;
}

void repeat_held_messages()
{
    if (messages_on_screen || held_length == 0)
        return;
    ssize_t written = write(2, held_messages, held_length);
    (void)written;  // nothing more can be done at the exit
}

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

void report_error()
{
    if (error_code == ERR_NONE)
        return;
    ring_bell();
    show_message(error_text != nullptr ? error_text
                                       : table_message(error_code));
    clear_error();
}

void show_message(const char *text)
{
    ++message_count;
    if (!messages_on_screen) {
        // Whatever is queued for the terminal goes first, so that the
        // message lands where the program has got to.
        out_flush();
        if (text != nullptr) {
            // A file name or a line of a file must not send sequences to
            // the terminal from here either.
            std::string shown = visible_text(text);
            fprintf(stderr, "%s\n", shown.c_str());
            hold_message(shown.c_str());
        }
        return;
    }
    cursor_lower_left();
    erase_to_eol();
    standout_on();
    // Only the width is needed after the wait, which may replace the
    // pending error whose text this may be.
    bool has_text = text != nullptr;
    size_t columns = 0;
    if (has_text) {
        out_visible(text);
        columns = visible_width(text);
        out_str("  ");
    }
    out_str("(press RETURN)");
    standout_off();
    acknowledge_with_key();
    cursor_lower_left();
    int64_t line_width = static_cast<int64_t>(columns) + ACKNOWLEDGE_WIDTH +
                         standout_width + standout_end_width;
    if (has_text && line_width > screen_width)
        repaint_screen();
    out_flush();
}

void messages_reset()
{
    clear_error();
    message_count = 0;
    messages_on_screen = 0;
    held_length = 0;
    holding_messages = false;
}
