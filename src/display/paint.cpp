// Line painting: puts the display line in `line_text` on the cursor's row.
//
// Columns are counted from the start of the text line; the screen's left
// edge is at column `horiz_off`, and nothing left of it is written.  The
// attribute marks of the line only note a pending change; the terminal
// sequence is sent right before the next character that is written, so
// attributes that open and close out of sight cost nothing, and a change
// still pending at the end of the line is sent last.
//
// In UTF-8 text a line holds whole characters (see line assembly): the
// painter writes a printable character's bytes together and counts its
// columns, and a byte kept escaped is painted in hexadecimal form, in
// standout.
//
// A line with styles (the text's colours, matches to highlight; see
// linestyle.cpp) is painted cell by cell in the style the changes of the
// line, its overstrike marks and the match give it, and ends plain.
//
// With the line-number column on (-N, the numbers command) every row
// begins with it: the number of the text line right-aligned in all but the
// last of its columns, blank on the later rows of a wrapped line.  Line
// assembly wraps in the columns that remain.  The column's width is fitted
// whenever the screen is painted afresh (at least 7 digits, enough for the
// largest number the screen can show); a number that outgrows it while
// lines scroll in asks for a repaint, which fits it again.  The numbers
// come from the line-number cache: the rows after the first cost a line
// each.
//
// Owned here: `erase_before_next_line`, set when a row reached the right
// edge with an attribute on (some terminals carry it into the next row),
// and the line-number column setting.
#include <cstdio>
#include <cstring>

#include "display.h"
#include "file/file.h"
#include "terminal/terminal.h"

int erase_before_next_line;

static int number_column;

enum { NUMBER_DIGITS_MIN = 7 };

namespace {

// Columns are 64-bit: an offset near the int range plus the screen width
// must not overflow.
struct paint_state {
    int64_t col;        // text column reached, left edge at horiz_off
    int ul_pending;     // 1 switch on, -1 switch off, 0 no change
    int bold_pending;
    // In UTF-8 text: the last character (marks aside) was a printable one,
    // so a combining mark joins it; and whether that one was written.
    bool joinable;
    bool base_written;
    // A styled line (colours or matches, on a terminal that shows them):
    // the whole style of each cell is put together and sent through
    // style_apply instead of the pending changes above.
    bool styled;
    bool ul_on, bold_on;        // the overstrike marks passed
    text_style text;            // the text's own style
    int highlight;              // inside a match: standout
    bool hex;                   // painting a hexadecimal form: standout
};

}  // namespace

static int64_t apply_attributes(paint_state *state)
{
    int64_t width = 0;
    if (state->ul_pending == -1) {
        underline_off();
        width += underline_end_width;
    }
    if (state->bold_pending == -1) {
        bold_off();
        width += bold_end_width;
    }
    if (state->ul_pending == 1) {
        underline_on();
        width += underline_width;
    }
    if (state->bold_pending == 1) {
        bold_on();
        width += bold_width;
    }
    state->ul_pending = 0;
    state->bold_pending = 0;
    return width;
}

// The style of the next cell of a styled line: the text's own, with the
// overstrike's underline and bold, and standout inside a match.
static void apply_style(const paint_state *state)
{
    text_style wanted = state->text;
    if (state->ul_on)
        wanted.flags |= STYLE_UNDERLINE;
    if (state->bold_on)
        wanted.flags |= STYLE_BOLD;
    if (state->highlight || state->hex)
        wanted.flags |= STYLE_STANDOUT;
    style_apply(wanted);
}

static int64_t apply_changes(paint_state *state)
{
    if (state->styled) {
        apply_style(state);
        return 0;
    }
    return apply_attributes(state);
}

// The columns that apply_changes would take now.
static int64_t pending_width(const paint_state *state)
{
    if (state->styled)
        return 0;
    int64_t width = 0;
    if (state->ul_pending != 0)
        width += state->ul_pending == 1 ? underline_width : underline_end_width;
    if (state->bold_pending != 0)
        width += state->bold_pending == 1 ? bold_width : bold_end_width;
    return width;
}

// One column's worth: written only when it lies right of the left edge.
static void paint_cell(paint_state *state, int c)
{
    if (state->col >= horiz_off) {
        state->col += apply_changes(state);
        out_char(c);
    }
    state->col++;
}

// Blanks up to the next multiple of the tab width.  Columns left of the
// screen are only counted, all at once; and a tab never passes the right
// edge (line assembly keeps a tab that is alone on its line even when its
// stop lies beyond the screen).
static void paint_tab(paint_state *state)
{
    int64_t width = tab_columns();
    int64_t right_edge = static_cast<int64_t>(text_width()) + horiz_off;
    if (state->col < horiz_off) {
        int64_t stop = (state->col / width + 1) * width;
        if (stop <= horiz_off) {
            state->col = stop;
            return;
        }
        state->col = horiz_off;
    } else if (state->col < right_edge) {
        paint_cell(state, ' ');
    }
    while (state->col % width != 0 && state->col < right_edge)
        paint_cell(state, ' ');
}

// An opening mark sets the change; a closing mark cancels an opening that
// never reached a visible character.
static void note_mark(paint_state *state, int *pending, int opening)
{
    if (state->styled) {
        (pending == &state->ul_pending ? state->ul_on : state->bold_on) = opening != 0;
        return;
    }
    if (opening)
        *pending = 1;
    else
        *pending = *pending == 1 ? 0 : -1;
}

static void paint_byte(paint_state *state, const unsigned char *at);

static void out_bytes(const unsigned char *at, int length)
{
    for (int i = 0; i < length; i++)
        out_char(at[i]);
}

// A printable UTF-8 character.  A wide one cut by the left edge leaves
// blanks in its visible columns; a combining mark is written after the
// character it joins (if that was), or on a blank of its own.
static void paint_multibyte(paint_state *state, const unsigned char *at, text_char ch)
{
    bool joins = ch.width == 0 && state->joinable;
    if (joins) {
        if (state->base_written)
            out_bytes(at, ch.length);
        return;
    }
    bool visible = state->col >= horiz_off;
    if (ch.width == 0) {
        paint_cell(state, ' ');
        if (visible)
            out_bytes(at, ch.length);
    } else if (visible) {
        state->col += apply_changes(state);
        out_bytes(at, ch.length);
        state->col += ch.width;
    } else {
        for (int i = 0; i < ch.width; i++)
            paint_cell(state, ' ');
    }
    state->joinable = true;
    state->base_written = visible;
}

// A byte that is no part of a printable character, in UTF-8 text: "<9B>",
// cell by cell like a caret pair (the left edge may cut it), in standout.
// Not where standout takes columns of its own, which line assembly does
// not count.  A terminal whose end of standout ends every attribute gets
// the underline and bold that were on again.
static void paint_hex_form(paint_state *state, int byte)
{
    char form[HEX_FORM_WIDTH];
    hex_form(byte, form);
    bool standout = false;
    state->joinable = false;
    state->hex = true;
    for (char c : form) {
        if (state->col >= horiz_off && !state->styled && !standout && standout_width == 0 &&
            standout_end_width == 0) {
            state->col += apply_changes(state);
            standout_on();
            standout = true;
        }
        paint_cell(state, c);
    }
    state->hex = false;
    if (!standout)
        return;
    standout_off();
    if ((attr_state & ATTR_UNDERLINE) != 0 && underline_width == 0)
        underline_on();
    if ((attr_state & ATTR_BOLD) != 0 && bold_width == 0)
        bold_on();
}

// Paints the character at `at`; returns the number of bytes it takes.
static int paint_char(paint_state *state, const unsigned char *at)
{
    int c = *at;
    if (utf8_text && c > MARK_BOLD_OFF) {
        if (c == MARK_ESCAPED && at[1] != 0) {
            paint_hex_form(state, at[1] | 0x80);
            return 2;
        }
        int length = utf8_sequence_length(c);
        text_char ch = length > 0 ? decode_char(at, static_cast<size_t>(length))
                                  : text_char{1, HEX_FORM_WIDTH, CHAR_ESCAPED};
        if (ch.kind == CHAR_PRINTABLE) {
            paint_multibyte(state, at, ch);
            return ch.length;
        }
        // a byte of a raw line, not escaped by line assembly
        paint_hex_form(state, c);
        return 1;
    }
    if (utf8_text && (c < MARK_UL_ON || c > MARK_BOLD_OFF)) {
        state->joinable = byte_is_printable(c);
        state->base_written = state->col >= horiz_off;
    }
    paint_byte(state, at);
    return 1;
}

static void paint_byte(paint_state *state, const unsigned char *at)
{
    int c = *at;
    switch (c) {
    case MARK_UL_ON:
    case MARK_UL_OFF:
        note_mark(state, &state->ul_pending, c == MARK_UL_ON);
        return;
    case MARK_BOLD_ON:
    case MARK_BOLD_OFF:
        note_mark(state, &state->bold_pending, c == MARK_BOLD_ON);
        return;
    case '\b':
        // Line assembly has counted the attribute sequences pending here
        // (they take columns on some terminals) before the backspace.
        if (state->col + pending_width(state) > horiz_off) {
            state->col += apply_changes(state);
            cursor_backspace();
            state->col--;
        }
        return;
    case '\t':
        paint_tab(state);
        return;
    case '\r':
        // the carriage return of a line ending in CR LF is not shown
        if (at[1] == 0 && !opt_no_overstrike)
            return;
        break;
    default:
        if (byte_is_printable(c)) {
            paint_cell(state, c);
            return;
        }
        break;
    }
    paint_cell(state, '^');
    paint_cell(state, caret_letter(c));
}

void paint_line()
{
    if (pending_signals != 0) {
        request_repaint();
        return;
    }
    const unsigned char *text =
        reinterpret_cast<const unsigned char *>(line_text != nullptr ? line_text : "");
    if (erase_before_next_line) {
        erase_to_eol();
        erase_before_next_line = 0;
    }
    paint_state state = {};
    // the style changes belong to the display line, not to a raw line
    state.styled = line_style_change_count > 0 && line_text == line_buffer && style_usable();
    int64_t right_edge = static_cast<int64_t>(text_width()) + horiz_off;
    int change = 0;
    for (const unsigned char *at = text; *at != 0;) {
        for (; state.styled && change < line_style_change_count &&
               line_style_changes[change].offset <= at - text; change++) {
            state.text = line_style_changes[change].style;
            state.highlight = line_style_changes[change].highlight;
        }
        at += paint_char(&state, at);
        if (state.col == right_edge && attr_state != 0)
            erase_before_next_line = 1;
    }
    // every styled line ends plain: nothing runs on into the next row
    if (state.styled)
        style_off();
    else
        state.col += apply_attributes(&state);
    // a terminal with automatic margins has already gone to the next row
    if (!(state.col >= right_edge && auto_margins && !newline_glitch))
        out_char('\n');
}

void set_number_column(int on)
{
    number_column = on;
}

int number_column_wanted()
{
    return number_column;
}

static int digits_of(int64_t n)
{
    int digits = 1;
    for (; n >= 10; n /= 10)
        digits++;
    return digits;
}

// Counting lines can be switched off (-n): then there is no column.
void fit_number_column(file_pos top)
{
    if (!number_column || !show_line_numbers) {
        set_number_columns(0);
        return;
    }
    int line = linenum_find(top);
    int64_t largest = static_cast<int64_t>(line > 0 ? line : 1) + screen_height;
    int digits = digits_of(largest);
    set_number_columns((digits > NUMBER_DIGITS_MIN ? digits : NUMBER_DIGITS_MIN) + 1);
}

// The column of the row whose display line begins at `pos`.  A number
// that does not fit leaves the column blank until the repaint it asks for.
static void paint_number(file_pos pos, int columns)
{
    int line = starts_text_line(pos) ? linenum_find(pos) : 0;
    if (line > 0 && digits_of(line) >= columns) {
        set_number_columns(digits_of(line) + 1);
        request_repaint();
        line = 0;
    }
    char text[32];
    if (columns >= static_cast<int>(sizeof text))
        columns = sizeof text - 1;
    if (line > 0) {
        snprintf(text, sizeof text, "%*d ", columns - 1, line);
    } else {
        memset(text, ' ', static_cast<size_t>(columns));
        text[columns] = '\0';
    }
    out_str(text);
}

void paint_row(file_pos pos)
{
    int columns = number_column_width();
    if (columns > 0 && pending_signals == 0)
        paint_number(pos, columns);
    paint_line();
}

void paint_reset()
{
    erase_before_next_line = 0;
    number_column = 0;
}
