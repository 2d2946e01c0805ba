// The command loop and the bottom-line editor.
//
// The loop gathers an optional decimal count and then a key sequence in one
// 20-byte key buffer (at most 19 keys and a terminating 0), handing the
// sequence to the macro table each time it grows.  The buffer holds either
// the digits of a count or keys, never both: the digits are converted and
// removed when the first key that is not a digit arrives.
//
// The same editor (`cmd_char`, `erase_char`) serves the key buffer and every
// line a command asks for with `read_line`.  Its invariant: the cursor into
// the buffer being edited never passes the last byte of that buffer, which
// stays reserved for the terminating 0.
//
// The terminal's erase, word-erase and kill characters edit what is typed.
// In the loop, where nothing is typed yet they are keys like any other and
// go to the macro table: otherwise a binding of one of them (the kill
// character ^U is bound, as u is) could never run.
//
// The echo never wraps: on a narrow window (or after a long prompt) it is
// cut, and the keys that find no room for their echo are still stored and
// act, up to the size of the buffer.  Those keys are always the last ones
// of the line, so erasing them changes nothing on the screen.
//
// In UTF-8 text the editor works on characters: bytes arrive one at a
// time and a character is echoed once it is complete; erasing takes away
// a whole character and all the columns it took.
//
// Owned here: the key pushed back for the next read, the one-key-read flag,
// the echo column of the bottom line and the count of keys not echoed.
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "command.h"
#include "display/display.h"
#include "find/find.h"
#include "terminal/terminal.h"

namespace {

// Where the loop is in gathering a command.  The values of the two
// key-sequence states are what `runmacro` expects as its third argument.
enum gather_state {
    GATHER_KEYS = 0,            // keys, no count typed
    GATHER_KEYS_COUNTED = 1,    // keys after a count
    GATHER_DIGITS = 2,          // nothing but digits so far (maybe none)
};

enum { KEY_BUFFER_SIZE = 20 };

}  // namespace

int input_column;

void set_input_column(int column)
{
    input_column = column;
}

static int pushed_key;          // next key to deliver; 0 = none
static int one_key_read;        // the next read_line ends after one key
static int unechoed_keys;       // keys at the end of the line not shown

// Character classes are asked only for real byte values: anything outside
// 0..255 (READ_ABANDONED, from an interrupted read) belongs to no class.
static bool is_digit_key(int c) { return c >= 0 && c <= 255 && isdigit(c); }
static bool is_space_key(int c) { return c >= 0 && c <= 255 && isspace(c); }

static bool is_editing_key(int c)
{
    return c == tty_erase_char || c == tty_kill_char || c == tty_werase_char;
}

// The run cannot go on without a keyboard: a read that failed ends it as a
// failure; a terminal that hung up (and the SIGHUP for it did not end the
// program) ends it in order.
int read_key()
{
    int key = get_key_or_wheel();
    if (key == KEY_FAILED)
        finish_and_exit(EXIT_FAILURE);
    if (key == KEY_HUNG_UP)
        finish_and_exit();
    return key;
}

int get_command_key()
{
    if (pushed_key != 0) {
        int key = pushed_key;
        pushed_key = 0;
        return key;
    }
    return read_key();
}

// Only byte values are kept: a READ_ABANDONED handed back after an interrupted wait
// names no key the user typed, and must not come back later as one.
void push_back_key(int key)
{
    if (key < 1 || key > 255)
        return;
    pushed_key = key;
}

void set_one_key_read()
{
    one_key_read = 1;
}

void start_input_line(const char *text)
{
    cursor_lower_left();
    erase_to_eol();
    bold_on();
    // The last column stays free, so that the line cannot wrap.
    int shown = out_visible_cut(text, screen_width - 1 - bold_width - bold_end_width);
    bold_off();
    out_flush();
    input_column = shown + bold_width + bold_end_width;
    unechoed_keys = 0;
}

// Whether the echo of one more key fits on the bottom line.
static bool echo_fits()
{
    return unechoed_keys == 0 && input_column < screen_width - 3;
}

namespace {

// The text being edited as the echo shows it, in UTF-8 text: characters
// from its start as visible.cpp shows them, and an unfinished sequence at
// its end (the rest of the character is still to be typed) not at all.
struct echo_view {
    size_t columns;         // columns of what is shown
    const char *shown_end;  // end of what is shown
    const char *last;       // start of the last character shown, or null
    bool joinable;          // a combining mark typed next joins the last
};

}  // namespace

static echo_view view_of(const char *buffer, const char *end)
{
    echo_view view = {0, buffer, nullptr, false};
    shown_text measured;
    const unsigned char *p = reinterpret_cast<const unsigned char *>(buffer);
    const unsigned char *stop = reinterpret_cast<const unsigned char *>(end);
    while (p < stop) {
        size_t avail = static_cast<size_t>(stop - p);
        if (decode_char(p, avail).kind == CHAR_INCOMPLETE)
            break;
        view.last = reinterpret_cast<const char *>(p);
        p += show_char(&measured, p, avail);
    }
    view.columns = measured.columns;
    view.shown_end = reinterpret_cast<const char *>(p);
    view.joinable = measured.joinable;
    return view;
}

// Erasing in UTF-8 text takes away the last whole character (or the
// unfinished sequence after it) and as many columns as the echo loses;
// of keys not echoed only the count changes.
static void erase_utf8_char(char *buffer, char **bufcur)
{
    echo_view whole = view_of(buffer, *bufcur);
    const char *start = whole.shown_end != *bufcur || whole.last == nullptr
                            ? whole.shown_end : whole.last;
    const char *echoed_end = *bufcur - unechoed_keys;
    if (start >= echoed_end) {
        unechoed_keys -= static_cast<int>(*bufcur - start);
    } else {
        echo_view before = view_of(buffer, echoed_end);
        echo_view after = view_of(buffer, start);
        for (size_t i = after.columns; i < before.columns; i++) {
            erase_previous_char();
            input_column--;
        }
        unechoed_keys = 0;
    }
    *bufcur = buffer + (start - buffer);
}

// Stores c at the end and echoes what it completes, when there is room.
static void store_utf8_key(int c, char *buffer, char **bufcur)
{
    bool echoed = echo_fits();
    echo_view before = view_of(buffer, *bufcur);
    **bufcur = static_cast<char>(c);
    ++*bufcur;
    if (!echoed) {
        unechoed_keys++;
        return;
    }
    echo_view after = view_of(buffer, *bufcur);
    shown_text echo;
    echo.to_terminal = true;
    echo.joinable = before.joinable;
    show_text(&echo, before.shown_end, static_cast<size_t>(after.shown_end - before.shown_end));
    input_column += static_cast<int>(after.columns - before.columns);
}

int erase_char(char *buffer, char **bufcur)
{
    if (*bufcur <= buffer)
        return 1;
    if (utf8_text) {
        erase_utf8_char(buffer, bufcur);
        return 0;
    }
    --*bufcur;
    if (unechoed_keys > 0) {
        unechoed_keys--;
        return 0;
    }
    unsigned char removed = static_cast<unsigned char>(**bufcur);
    for (int columns = byte_width(removed); columns > 0; --columns) {
        erase_previous_char();
        input_column--;
    }
    return 0;
}

// The word before the cursor goes, with the blanks after it and before it.
static int erase_word(char *buffer, char **bufcur)
{
    auto space_before = [&] {
        return is_space_key(static_cast<unsigned char>((*bufcur)[-1]));
    };
    while (*bufcur > buffer && space_before())
        erase_char(buffer, bufcur);
    while (*bufcur > buffer && !space_before())
        erase_char(buffer, bufcur);
    while (*bufcur > buffer && space_before())
        erase_char(buffer, bufcur);
    return *bufcur == buffer;
}


// Stores c at the cursor and echoes it, whatever key it is; a full buffer
// rings the bell instead.
static void store_key(int c, char *buffer, char **bufcur, char *bufend)
{
    if (*bufcur >= bufend) {
        ring_bell();
        return;
    }
    if (utf8_text) {
        store_utf8_key(c, buffer, bufcur);
        return;
    }
    **bufcur = static_cast<char>(c);
    ++*bufcur;
    if (echo_fits())
        input_column += out_shown_byte(c);
    else
        unechoed_keys++;
}

int cmd_char(int c, char *buffer, char **bufcur, char *bufend)
{
    VORN_ASSERT(*bufcur <= bufend);
    if (c == tty_erase_char)
        return erase_char(buffer, bufcur);
    if (c == tty_werase_char)
        return erase_word(buffer, bufcur);
    if (c == tty_kill_char) {
        while (erase_char(buffer, bufcur) == 0) {
        }
        return 1;
    }
    store_key(c, buffer, bufcur, bufend);
    return 0;
}

int read_line(const char *prompt, char *buffer, int size)
{
    // With no room at all nothing is stored, but the line is still read to
    // its end so that the keys do not leak into the next command.
    char no_room[1];
    char *text = size > 0 ? buffer : no_room;
    char *bufcur = text;
    char *bufend = text + (size > 0 ? size - 1 : 0);
    int cancelled;

    start_input_line(prompt);
    for (;;) {
        int key = get_command_key();
        if (key == '\n') {
            *bufcur = 0;
            cancelled = 0;
            break;
        }
        if (key == KEY_WHEEL_UP || key == KEY_WHEEL_DOWN)
            continue;   // the wheel types nothing
        if (key < 0 || cmd_char(key, text, &bufcur, bufend) == 1) {
            *text = 0;
            cancelled = 1;
            break;
        }
        if (one_key_read) {
            *bufcur = 0;
            cancelled = 0;
            break;
        }
    }
    one_key_read = 0;
    return cancelled;
}

// The count phase ends with the first key that is not a digit and does not
// edit the digits typed: they become the count and leave the buffer.
static void end_count_phase(char *keys, char **bufcur, int *state,
                            int64_t *count)
{
    if (*bufcur == keys) {
        *state = GATHER_KEYS;
    } else {
        **bufcur = 0;
        // strtoll saturates where 19 digits exceed the 64-bit range
        *count = strtoll(keys, nullptr, 10);
        *state = GATHER_KEYS_COUNTED;
    }
    *bufcur = keys;
    *keys = 0;
}

// While a filter is set a move may walk far through hidden lines (a huge
// file, an endless pipe): the interrupt key abandons it as a stop would,
// instead of ending the program; the filter stays, and the view is the one
// from before the keys.
static int run_keys(const char *keys, int64_t count, int state)
{
    if (!filter_active())
        return runmacro(keys, count, state);
    file_pos top = screen_pos(SCREEN_TOP);
    catch_interrupt(1);
    int result = runmacro(keys, count, state);
    bool interrupted = (pending_signals & PENDING_INTERRUPT) != 0;
    catch_interrupt(0);
    if (interrupted && top != -1) {
        pos_reset();
        pos_push_top(top);
        request_repaint();
    }
    return result;
}

// The moment before the prompt.  Following asked for from the start (-F,
// or `follow` in a script) begins here, in place of the first screen or
// after the screen a tag gave; else a newly opened file gets its first
// screen (or, when that would hold the whole input and end the program,
// its lines are written as cat writes them and the program ends), or a
// requested repaint happens.  The program ends here once the end of the
// last file is on the screen (unless -e).
void screen_for_prompt()
{
    notice_shrunk_file();
    if (take_follow_request()) {
        follow_input();
    } else if (screen_pos(SCREEN_TOP) == -1) {
        if (first_screen_ends_program())
            finish_with_whole_input();
        show_first_screen();
    } else if (repaint_requested()) {
        repaint_screen();
    }
    if (at_eof != 0 && end_ends_program())
        finish_at_end_of_input();
}

// The initial command (+command): an optional count and keys, run as the
// same count and keys typed would run them; digits alone go to that line
// (the keys of `g`).  Keys that are not a whole binding are reported as
// typed keys would be.
static void run_initial_command(const char *text)
{
    const char *keys = text;
    while (is_digit_key(static_cast<unsigned char>(*keys)))
        keys++;
    int counted = keys != text;
    // strtoll saturates where the digits exceed the 64-bit range
    int64_t count = counted ? strtoll(text, nullptr, 10) : 0;
    if (*keys == '\0')
        keys = "g";
    int result = run_keys(keys, count, counted ? GATHER_KEYS_COUNTED : GATHER_KEYS);
    if (result == MACRO_PREFIX)
        set_error_code(ERR_NO_MACRO);
    if (result != MACRO_RAN)
        report_error();
}

// Painting a filtered view walks to the shown lines as moves do: the
// interrupt key abandons it there too, leaving what was painted and the
// prompt, so that a filter that shows nothing more of an endless pipe can
// still be cleared.
static void filtered_screen_for_prompt()
{
    if (!filter_active()) {
        screen_for_prompt();
        return;
    }
    catch_interrupt(1);
    screen_for_prompt();
    catch_interrupt(0);
}

[[noreturn]] void command_loop(const char *initial_keys)
{
    char keys[KEY_BUFFER_SIZE];
    char *bufcur = keys;
    int state = GATHER_DIGITS;
    int64_t count = 0;

    keys[0] = 0;
    for (;;) {
        // A signal that came while a command was being typed drops what was
        // typed so far (the state stays as it is), whether it cut the wait
        // for a key short or arrived just after a key was read: either way
        // the prompt then repaints the screen the stop or resize left.
        if (pending_signals != 0) {
            handle_pending_signals();
            bufcur = keys;
            keys[0] = 0;
        }
        if (bufcur == keys) {
            // What the last command, a served signal or the painting for
            // the prompt had to say comes before the prompt.
            report_messages();
            filtered_screen_for_prompt();
            show_prompt();
            if (report_messages())
                continue;
            if (initial_keys != nullptr) {
                const char *text = initial_keys;
                initial_keys = nullptr;
                run_initial_command(text);
                continue;
            }
        }
        int key = get_command_key();
        // A key read while a signal is pending is dropped with the rest;
        // READ_ABANDONED is no key at all.
        if (pending_signals != 0 || key < 0)
            continue;
        // The wheel scrolls when nothing is typed, else it is ignored.
        if (key == KEY_WHEEL_UP || key == KEY_WHEEL_DOWN) {
            if (bufcur == keys && run_wheel_command(key == KEY_WHEEL_UP) != MACRO_RAN)
                report_error();
            continue;
        }
        // An editing key edits what is typed; with nothing typed it is the
        // first key of a sequence, as any other key would be.
        bool nothing_typed = bufcur == keys;
        if (state == GATHER_DIGITS && !is_digit_key(key) &&
            (nothing_typed || !is_editing_key(key)))
            end_count_phase(keys, &bufcur, &state, &count);
        if (nothing_typed)
            store_key(key, keys, &bufcur, keys + KEY_BUFFER_SIZE - 1);
        else
            cmd_char(key, keys, &bufcur, keys + KEY_BUFFER_SIZE - 1);
        *bufcur = 0;
        if (bufcur != keys)
            start_input_line(keys);
        else
            state = GATHER_DIGITS;
        if (state == GATHER_DIGITS)
            continue;
        int result = run_keys(keys, count, state);
        if (result == MACRO_PREFIX)
            continue;   // wait for the next key
        if (result != MACRO_RAN)
            report_error();
        bufcur = keys;
        keys[0] = 0;
        state = GATHER_DIGITS;
    }
}

void command_reset()
{
    pushed_key = 0;
    one_key_read = 0;
    input_column = 0;
    unechoed_keys = 0;
}
