// Showing messages, and the pending error and messages recorded in
// error.cpp.
//
// Owns message_count and messages_on_screen.  Before messages_on_screen is
// set a message is a line on standard error; afterwards it takes the bottom
// line and waits for a key.  What is pending is shown in the order it was
// recorded: the messages first, then the error, which alone rings the bell.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "command.h"
#include "display/display.h"
#include "terminal/terminal.h"

int message_count;
int messages_on_screen;

namespace {

// Messages written to standard error after the terminal was set up but
// before any file opened are held (by the terminal layer, which a signal
// handler may write them from): if no file opens at all, the terminal's
// end sequence may take away the screen they were written on, so the way
// out writes them again once the terminal is restored.
bool holding_messages;

// Columns of "  (press RETURN)" behind a text.
const int ACKNOWLEDGE_WIDTH = 16;

// The table message for code; a code outside the table (only a bug can
// raise one) shows the last, catch-all message instead of reading past it.
const char *table_message(int code)
{
    if (code < 0 || code >= ERROR_CODE_COUNT)
        code = ERROR_CODE_COUNT - 1;
    return error_messages[code];
}

// "q" ends the program, with `quit_status`.
void acknowledge_with_key(int quit_status)
{
    // a turn of the mouse wheel is no answer
    int key;
    do
        key = read_key();
    while (key == KEY_WHEEL_UP || key == KEY_WHEEL_DOWN);
    if (key == '\n')
        return;
    if (key == 'q')
        finish_and_exit(quit_status);
    // A wait cut short by a stop or resize is not a key: the command loop
    // serves the signal and reads a real key afterwards.
    if (key != READ_ABANDONED)
        push_back_key(key);
}

}  // namespace

static void show_message_quitting(const char *text, int quit_status);

void hold_early_messages()
{
    holding_messages = true;
}

void repeat_held_messages()
{
    if (!messages_on_screen)
        write_held_text();
}

bool report_messages()
{
    bool shown = false;
    char *text;
    int kind;
    while ((kind = take_message(&text)) != MESSAGE_NONE) {
        int status = kind == MESSAGE_FATAL ? EXIT_FAILURE : EXIT_SUCCESS;
        show_message_quitting(text, status);
        free(text);
        shown = true;
        if (kind == MESSAGE_FATAL)
            finish_and_exit(EXIT_FAILURE);
    }
    return shown;
}

void report_error()
{
    report_messages();
    if (error_code == ERR_NONE)
        return;
    ring_bell();
    show_message(error_text != nullptr ? error_text
                                       : table_message(error_code));
    clear_error();
}

void show_message(const char *text)
{
    show_message_quitting(text, EXIT_SUCCESS);
}

// A fatal message ends the program as a failure, also when "q" ends its
// wait: the run did fail, whichever key the user read it with.
static void show_message_quitting(const char *text, int quit_status)
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
            // held first: a terminating signal that comes once the line
            // is on the screen must find it held for after the way back
            if (holding_messages)
                hold_after_restore(shown.c_str());
            fprintf(stderr, "%s\n", shown.c_str());
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
    acknowledge_with_key(quit_status);
    cursor_lower_left();
    int64_t line_width = static_cast<int64_t>(columns) + ACKNOWLEDGE_WIDTH +
                         standout_width + standout_end_width;
    if (has_text && line_width > screen_width)
        repaint_screen();
    out_flush();
}

void messages_to_screen(const char *file_name)
{
    if (messages_on_screen)
        return;
    messages_on_screen = 1;
    release_held_text();
    // Earlier messages went to standard error; naming the file lets the
    // user read them before the first screen covers them.
    if (message_count > 0)
        show_message(file_name);
}

void messages_reset()
{
    clear_error();
    discard_messages();
    message_count = 0;
    messages_on_screen = 0;
    release_held_text();
    holding_messages = false;
}
