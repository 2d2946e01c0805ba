// Line assembly: display lines for the screen and raw lines for searching,
// marks, tags and line counting.  `line_text` shows the last line of either
// kind, as before; but display lines are built in `line_buffer` and raw
// lines in a buffer of their own, so that reading the raw line behind a
// display line (to find where a pattern matches it, say) leaves the display
// line intact for the painter.
//
// A display line holds the input bytes as the painter wants them: marks
// 0x81-0x84 for underline and bold (found by the overstrike recognizer), a
// NUL of the input as 0x80, and the input bytes 0x81-0x84 with their high
// bit cleared so that they can never pass for marks.  The column counts
// screen columns from the left edge (it starts at -horiz_off), and a line is
// full when the next character would pass the right edge.  It is kept in 64
// bits, where no offset, attribute width or run of backspaces can make it
// overflow; `line_column` shows it, held within the range of an int.
//
// Invariants: `line_cursor` never passes LINE_BUFFER_SIZE - 2 (a line takes
// no byte once it holds over LINE_BUFFER_SIZE - 12, and the recognizer and
// the closing add at most three), so the terminating NUL always fits; and
// every operation is one pass over its bytes through the block cache.
#include <climits>
#include <cstring>

#include "file.h"
#include "display/display.h"
#include "terminal/terminal.h"

char line_buffer[LINE_BUFFER_SIZE];
char *line_text;
int line_column;
int overstrike_state;

static char *line_cursor = line_buffer;
static char raw_buffer[LINE_BUFFER_SIZE];   // raw lines only
static int64_t column;      // the screen column reached; see line_column
// The column at which each stored byte began: an overstrike that drops a
// character and its backspace goes back to where that character began.
static int64_t start_column[LINE_BUFFER_SIZE];

static void set_column(int64_t value)
{
    column = value;
    line_column = static_cast<int>(value < INT_MIN ? INT_MIN : value > INT_MAX ? INT_MAX : value);
}

static void move_column(int64_t columns)
{
    set_column(column + columns);
}

// Whether `columns` more reach the right edge.
static bool reaches_edge(int64_t columns)
{
    return column + columns >= screen_width;
}

enum { LINE_FULL_AT = LINE_BUFFER_SIZE - 12 };

static int stored_count()
{
    return static_cast<int>(line_cursor - line_buffer);
}

static int last_stored(int back)
{
    return static_cast<unsigned char>(line_cursor[-back]);
}

static void store_byte(int c)
{
    VORN_ASSERT(line_cursor < line_buffer + LINE_BUFFER_SIZE - 1);
    start_column[stored_count()] = column;
    *line_cursor++ = static_cast<char>(c);
}

// Drops the last two stored bytes (a character and the backspace after
// it); the column goes back to where the character began.
static void drop_last_two()
{
    line_cursor -= 2;
    set_column(start_column[stored_count()]);
}

void line_start()
{
    line_cursor = line_buffer;
    line_text = line_buffer;
    overstrike_state = OS_NONE;
    set_column(-static_cast<int64_t>(horiz_off));
}

// The mark goes where the last stored byte Y was, and Y moves one place on.
// On a terminal whose closing sequence takes a column, a blank Y is dropped
// instead: the terminal's mark occupies its column.
static void insert_mark_before_last(int mark, int end_width)
{
    int last = last_stored(1);
    if (end_width > 0 && last == ' ') {
        line_cursor[-1] = static_cast<char>(mark);
        move_column(-1);
        return;
    }
    int64_t last_start = start_column[stored_count() - 1];
    line_cursor[-1] = static_cast<char>(mark);
    store_byte(last);
    // the caller counts the mark's columns; they come before Y
    start_column[stored_count() - 1] = last_start + end_width;
}

// X and the backspace after it are the last two stored bytes; an attribute
// starts there.  A blank before X becomes the mark when the opening sequence
// itself takes a column.
static int open_attribute(int mark, int width, int end_width)
{
    drop_last_two();
    if (reaches_edge(static_cast<int64_t>(width) + end_width))
        return 1;
    if (width > 0 && stored_count() > 0 && last_stored(1) == ' ') {
        line_cursor[-1] = static_cast<char>(mark);
        move_column(static_cast<int64_t>(width) - 1);
    } else {
        store_byte(mark);
        move_column(width);
    }
    return 0;
}

static int overstrike_none(int *c)
{
    if (stored_count() < 2 || last_stored(1) != '\b')
        return 0;
    int x = last_stored(2);
    if (*c == x) {
        if (open_attribute(MARK_BOLD_ON, bold_width, bold_end_width))
            return 1;
        overstrike_state = OS_BOLD_CHAR;
        return 0;
    }
    if (*c == '_' || x == '_') {
        if (open_attribute(MARK_UL_ON, underline_width, underline_end_width))
            return 1;
        if (*c == '_')
            *c = x;
        overstrike_state = OS_UL_CHAR;
        return 0;
    }
    drop_last_two();
    return 0;
}

// Y and a backspace were stored while an attribute was open: they go, and
// `first`, `second` (when not 0) take their place.
static void replace_pair(int first, int second)
{
    drop_last_two();
    if (first != 0)
        store_byte(first);
    if (second != 0)
        store_byte(second);
}

// One character Y was stored after the attributed text: a backspace may
// still make Y part of it; anything else closes the attribute before Y.
static void follow_attribute(int c, int backspace_state, int mark, int end_width)
{
    if (c == '\b') {
        overstrike_state = backspace_state;
        return;
    }
    insert_mark_before_last(mark, end_width);
    move_column(end_width);
    overstrike_state = OS_NONE;
}

// A tab after attributed text on a terminal whose closing sequence takes a
// column: the attribute closes at once, so that the tab's stop is reckoned
// from the column after the closing sequence, where the painter puts it.
static bool close_before_tab(int c, int mark, int end_width)
{
    if (c != '\t' || end_width == 0)
        return false;
    store_byte(mark);
    move_column(end_width);
    overstrike_state = OS_NONE;
    return true;
}

static int overstrike_underline(int *c)
{
    switch (overstrike_state) {
    case OS_UL_CHAR:
        if (reaches_edge(static_cast<int64_t>(underline_end_width) + bold_width +
                         bold_end_width))
            return 1;
        if (close_before_tab(*c, MARK_UL_OFF, underline_end_width))
            return 0;
        overstrike_state = OS_UL_NEXT;
        return 0;
    case OS_UL_NEXT:
        follow_attribute(*c, OS_UL_BS, MARK_UL_OFF, underline_end_width);
        return 0;
    default: {  // OS_UL_BS
        int y = last_stored(2);
        if (*c == y && y != '_') {
            replace_pair(MARK_UL_OFF, MARK_BOLD_ON);
            move_column(static_cast<int64_t>(underline_end_width) + bold_width);
            overstrike_state = OS_BOLD_CHAR;
            return 0;
        }
        if (*c == '_')
            *c = y;
        replace_pair(0, 0);
        overstrike_state = OS_UL_CHAR;
        return 0;
    }
    }
}

static int overstrike_bold(int *c)
{
    switch (overstrike_state) {
    case OS_BOLD_CHAR:
        if (*c == '\b') {
            overstrike_state = OS_BOLD_BS;
            return 0;
        }
        if (reaches_edge(static_cast<int64_t>(bold_end_width) + underline_width +
                         underline_end_width))
            return 1;
        if (close_before_tab(*c, MARK_BOLD_OFF, bold_end_width))
            return 0;
        overstrike_state = OS_BOLD_NEXT;
        return 0;
    case OS_BOLD_NEXT:
        follow_attribute(*c, OS_BOLD_BS, MARK_BOLD_OFF, bold_end_width);
        return 0;
    default: {  // OS_BOLD_BS
        int y = last_stored(2);
        if (*c != y && (*c == '_' || y == '_')) {
            replace_pair(MARK_BOLD_OFF, MARK_UL_ON);
            move_column(static_cast<int64_t>(bold_end_width) + underline_width);
            if (*c == '_')
                *c = y;
            overstrike_state = OS_UL_CHAR;
            return 0;
        }
        replace_pair(0, 0);
        overstrike_state = OS_BOLD_CHAR;
        return 0;
    }
    }
}

// Recognizes character-backspace-character sequences; may end the line
// (1), drop stored bytes, insert marks and replace *c.
static int overstrike_step(int *c)
{
    switch (overstrike_state) {
    case OS_NONE:
        return overstrike_none(c);
    case OS_UL_CHAR:
    case OS_UL_NEXT:
    case OS_UL_BS:
        return overstrike_underline(c);
    default:
        return overstrike_bold(c);
    }
}

// Whether `width` more columns (and the reserve for closing an attribute)
// pass the right edge.  A character on an otherwise empty line always
// fits: on a screen narrower than one character wrapping must still move
// on, or the line would never end.
static bool passes_edge(int width, int reserve)
{
    return reaches_edge(static_cast<int64_t>(width) + reserve - 1) &&
           line_cursor != line_buffer;
}

// The column of the next tab stop.  Stops lie at multiples of the tab width
// counted from the start of the text line, whatever the offset; a column
// taken back by backspaces may lie before that start.
static int64_t next_tab_stop()
{
    int64_t width = tab_columns();
    int64_t past_stop = ((column + horiz_off) % width + width) % width;
    return column + (width - past_stop);
}

// A tab runs column by column to the next stop, and the line is full at the
// first column that would pass the edge (the columns before it are
// counted).  Reckoned at once, so that a wide tab or a far offset costs no
// more than a narrow one.  Alone on its line a tab must still move on, but
// it ends at the right edge, as the painter stops it there.
static int store_tab(int reserve)
{
    int64_t stop = next_tab_stop();
    int64_t last_column = static_cast<int64_t>(screen_width) - reserve;
    if (stop > last_column) {
        if (line_cursor != line_buffer) {
            if (column < last_column)
                set_column(last_column);
            return 1;
        }
        stop = stop < screen_width ? stop : screen_width;
    }
    store_byte('\t');
    set_column(stop);
    return 0;
}

static int store_char(int c)
{
    int reserve = overstrike_state != OS_NONE ? underline_end_width : 0;
    if (c == '\t')
        return store_tab(reserve);
    if (c == '\b') {
        // The painter takes a column back only right of the screen's left
        // edge, where the column is above 0.
        store_byte(c);
        if (overstrike_state != OS_NONE && column > 0)
            move_column(-1);
        return 0;
    }
    if (c >= MARK_UL_ON && c <= MARK_BOLD_OFF)
        c &= 0x7F;
    int width = byte_width(c);
    if (passes_edge(width, reserve))
        return 1;
    store_byte(c);
    move_column(width);
    return 0;
}

static void close_line()
{
    switch (overstrike_state) {
    case OS_UL_CHAR:
    case OS_UL_BS:
        store_byte(MARK_UL_OFF);
        break;
    case OS_UL_NEXT:
    case OS_BOLD_NEXT: {
        int last = last_stored(1);
        line_cursor[-1] = static_cast<char>(
            overstrike_state == OS_UL_NEXT ? MARK_UL_OFF : MARK_BOLD_OFF);
        store_byte(last);
        break;
    }
    case OS_BOLD_CHAR:
    case OS_BOLD_BS:
        store_byte(MARK_BOLD_OFF);
        break;
    default:
        break;
    }
    overstrike_state = OS_NONE;
    *line_cursor = 0;
}

// What a character that ends the line must leave as it found: the
// recognizer rewrites at most the last three stored bytes.
struct line_snapshot {
    char *cursor;
    int64_t column;
    int state;
    char tail[3];
    int64_t tail_start[3];
};

static line_snapshot take_snapshot()
{
    line_snapshot snapshot{line_cursor, column, overstrike_state, {}, {}};
    for (int i = 0; i < 3 && stored_count() > i; i++) {
        snapshot.tail[i] = line_cursor[-1 - i];
        snapshot.tail_start[i] = start_column[stored_count() - 1 - i];
    }
    return snapshot;
}

static void restore_snapshot(const line_snapshot &snapshot)
{
    line_cursor = snapshot.cursor;
    for (int i = 0; i < 3 && stored_count() > i; i++) {
        line_cursor[-1 - i] = snapshot.tail[i];
        start_column[stored_count() - 1 - i] = snapshot.tail_start[i];
    }
    set_column(snapshot.column);
    overstrike_state = snapshot.state;
}

static bool same_line(const line_snapshot &a, const line_snapshot &b)
{
    return a.cursor == b.cursor && a.state == b.state &&
           memcmp(a.tail, b.tail, sizeof a.tail) == 0;
}

// A character that does not fit leaves the line exactly as it was before
// it (an overstrike it began to rewrite included): the line then reads the
// same whether it was ended by the character after it (walking forward) or
// by reaching the start of the next line (walking backward).  An attribute
// still open is closed behind its last character by close_line.
int line_append(int c)
{
    c &= 0xFF;
    if (c == 0) {
        close_line();
        return 0;
    }
    if (stored_count() > LINE_FULL_AT)
        return 1;
    line_snapshot before = take_snapshot();
    if (!opt_no_overstrike && overstrike_step(&c)) {
        restore_snapshot(before);
        return 1;
    }
    line_snapshot stepped = take_snapshot();
    if (store_char(c) == 0)
        return 0;
    // Without a rewrite the columns that a tab counted before the edge
    // stay counted.
    if (!same_line(stepped, before))
        restore_snapshot(before);
    return 1;
}

// The rest of a cut text line is not shown: read past its newline.
static file_pos skip_rest_of_line()
{
    scan_past_newline(1);
    if (pending_signals != 0)
        return -1;
    return cache_tell();
}

// With -s an empty display line stands for the whole run of empty lines
// after it.  -1 when a signal is pending.
static file_pos skip_empty_lines()
{
    int c;
    while ((c = cache_next_char()) == '\n') {
        if (pending_signals != 0)
            return -1;
    }
    if (c != 0)
        cache_prev_char();
    return cache_tell();
}

file_pos next_display_line(file_pos pos)
{
    if (pos == -1 || cache_seek(pos) != 0)
        return -1;
    int c = cache_next_char();
    if (c == 0)
        return -1;
    line_start();
    file_pos result;
    for (;;) {
        if (pending_signals != 0)
            return -1;
        if (c == '\n' || c == 0) {
            result = cache_tell();
            break;
        }
        if (line_append(c) == 1) {
            result = wrap_lines ? cache_tell() - 1 : skip_rest_of_line();
            break;
        }
        c = cache_next_char();
    }
    line_append(0);
    if (opt_squeeze && line_text[0] == 0)
        return skip_empty_lines();
    return result;
}

// The byte at `pos` (0 at the end of the input); the read position is left
// at pos - 1, where it was.
static int byte_after(file_pos pos)
{
    cache_next_char();
    int c = cache_next_char();
    cache_seek(pos - 1);
    return c;
}

// With -s, when the line at `pos` is empty, the empty lines above it are
// passed over: the read position ends just after the last byte that is not
// a newline.  0 on success, -1 at the beginning or with a signal pending.
static int skip_empty_lines_backward(file_pos pos)
{
    if (byte_after(pos) != '\n')
        return 0;
    int c;
    while ((c = cache_prev_char()) == '\n') {
        if (pending_signals != 0)
            return -1;
    }
    if (c == 0)
        return -1;
    cache_next_char();
    return 0;
}

// The start of the text line holding the byte before the read position.
// -1 with a signal pending.
static file_pos text_line_start_backward()
{
    int newline = scan_back_to_newline(1);
    if (pending_signals != 0)
        return -1;
    return newline ? cache_tell() + 1 : cache_tell();
}

file_pos prev_display_line(file_pos pos)
{
    if (pos <= 0 || cache_seek(pos - 1) != 0)
        return -1;
    if (opt_squeeze && skip_empty_lines_backward(pos) != 0)
        return -1;
    file_pos start = text_line_start_backward();
    if (start == -1 || cache_seek(start) != 0)
        return -1;
    line_start();
    file_pos line_begin = start;
    file_pos next = start;
    for (;;) {
        int c = cache_next_char();
        if (c == 0 || pending_signals != 0)
            return -1;
        next++;
        if (c == '\n')
            break;
        if (line_append(c) == 1) {
            if (!wrap_lines)
                break;
            // the character that did not fit begins the next display line
            line_append(0);
            cache_prev_char();
            next--;
            line_begin = next;
            line_start();
            continue;
        }
        if (next >= pos)
            break;
    }
    line_append(0);
    return line_begin;
}

file_pos next_raw_line(file_pos pos)
{
    line_text = raw_buffer;
    raw_buffer[0] = 0;
    if (pos == -1 || cache_seek(pos) != 0)
        return -1;
    int c = cache_next_char();
    if (c == 0)
        return -1;
    int length = 0;
    file_pos result;
    for (;;) {
        if (c == '\n' || c == 0) {
            result = cache_tell();
            break;
        }
        if (length == RAW_LINE_MAX) {
            result = cache_tell() - 1;
            break;
        }
        raw_buffer[length++] = static_cast<char>(c);
        c = cache_next_char();
    }
    raw_buffer[length] = 0;
    return result;
}

// The text is collected backward from the end of `raw_buffer`.  At the
// beginning of what the cache holds the read position is the line's start
// (0 for a file; the earliest data still held for a pipe).  Only a newline
// just before `pos` is passed over: `pos` may lie inside a text line (a
// piece of a long line, a wrapped row), and the byte before it is then
// the last of the raw line wanted.
file_pos prev_raw_line(file_pos pos)
{
    char *first = raw_buffer + LINE_BUFFER_SIZE - 1;
    *first = 0;
    line_text = first;
    if (pos <= 0 || cache_seek(pos) != 0)
        return -1;
    int last = cache_prev_char();
    if (last == 0)
        return -1;
    int length = 0;
    if (last != '\n') {
        *--first = static_cast<char>(last);
        length++;
    }
    file_pos result;
    for (;;) {
        int c = cache_prev_char();
        if (c == '\n' || (c != 0 && length == RAW_LINE_MAX)) {
            result = cache_tell() + 1;
            break;
        }
        if (c == 0) {
            result = cache_tell();
            break;
        }
        *--first = static_cast<char>(c);
        length++;
    }
    line_text = first;
    return result;
}

void line_reset()
{
    line_cursor = line_buffer;
    line_buffer[0] = '\0';
    raw_buffer[0] = '\0';
    line_text = nullptr;
    overstrike_state = OS_NONE;
    set_column(0);
}
