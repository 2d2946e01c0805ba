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
// bit cleared so that they can never pass for marks.  In UTF-8 text the
// unit of the line is a character: a well-formed printable character is
// stored as its bytes and takes its own columns (a combining mark joins
// the character before it, or shows on a blank where there is none), the
// overstrike recognizer compares whole characters, and a wrapped line
// never splits one; every other byte from 0x81 up is stored as
// MARK_ESCAPED and its low seven bits, and takes the four columns of its
// hexadecimal form, which a wrap never splits either.  What a character is and how wide
// comes from visible.cpp; text below 0x80 takes the byte path as before.
// The column counts screen columns from the left edge (it starts at
// -horiz_off), and a line is full when the next character would pass the
// right edge.  The text's columns are the screen's less those of the
// line-number column at the left, when the display shows one
// (`set_number_columns`).  It is kept in 64 bits, where no offset,
// attribute width or run of backspaces can make it overflow; `line_column`
// shows it, held within the range of an int.
//
// Invariants: `line_cursor` never passes LINE_BUFFER_SIZE - 2 (a line takes
// no byte once it holds over LINE_BUFFER_SIZE - 12, and the recognizer and
// the closing add at most three to a character of at most four bytes), so
// the terminating NUL always fits; and every operation is one pass over
// its bytes.  Forward they come through the block cache; backward a long
// line of a named file is read straight in large pieces (see
// prev_display_line), so that it costs no read per block.
#include <climits>
#include <cstring>

#include "file.h"
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

// Columns left of the text for the line numbers; 0 without them.
static int number_columns;

void set_number_columns(int columns)
{
    number_columns = columns > 0 && columns < screen_width ? columns : 0;
}

int number_column_width()
{
    return number_columns < screen_width ? number_columns : 0;
}

int text_width()
{
    return screen_width - number_column_width();
}

bool starts_text_line(file_pos pos)
{
    if (pos <= 0)
        return true;
    return cache_seek(pos - 1) == 0 && cache_next_char() == '\n';
}

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
    return column + columns >= text_width();
}

enum { LINE_FULL_AT = LINE_BUFFER_SIZE - 12, ESCAPE = 0x1b };

static int stored_count()
{
    return static_cast<int>(line_cursor - line_buffer);
}

static int last_stored(int back)
{
    return static_cast<unsigned char>(line_cursor[-back]);
}

// One character as it is stored: one input byte, or in UTF-8 text the
// bytes of a well-formed printable character, or MARK_ESCAPED and the low
// seven bits of an input byte from 0x81 up that is part of none.
struct stored_char {
    unsigned char bytes[4];
    int length;
};

static stored_char single(int c)
{
    return {{static_cast<unsigned char>(c), 0, 0, 0}, 1};
}

static bool is_byte(const stored_char &c, int byte)
{
    return c.length == 1 && c.bytes[0] == byte;
}

static bool same_char(const stored_char &a, const stored_char &b)
{
    return a.length == b.length && memcmp(a.bytes, b.bytes, static_cast<size_t>(a.length)) == 0;
}

// The length of the stored character that ends at `end`.  A lead byte
// only ever begins a whole character, and an escaped byte is below 0x80,
// so a character is found by stepping back over continuation bytes to a
// lead whose length fits; a mark (0x80-0x84) after a character is not one.
static int stored_length_before(const char *end)
{
    if (!utf8_text)
        return 1;
    const unsigned char *e = reinterpret_cast<const unsigned char *>(end);
    int stored = static_cast<int>(end - line_buffer);
    if (e[-1] < 0x80)
        return stored >= 2 && e[-2] == MARK_ESCAPED ? 2 : 1;
    int back = 1;
    while (back < 3 && stored > back && (e[-back - 1] & 0xC0) == 0x80)
        back++;
    if (stored > back && utf8_sequence_length(e[-back - 1]) == back + 1)
        return back + 1;
    return 1;
}

static stored_char char_before(const char *end)
{
    stored_char c = {{0, 0, 0, 0}, stored_length_before(end)};
    memcpy(c.bytes, end - c.length, static_cast<size_t>(c.length));
    return c;
}

// Whether the last stored character is a blank of its own (not the low
// byte of an escaped one, which may be 0x20).
static bool last_is_blank()
{
    return stored_count() > 0 && last_stored(1) == ' ' &&
           stored_length_before(line_cursor) == 1;
}

static bool last_is_backspace()
{
    return last_stored(1) == '\b' && stored_length_before(line_cursor) == 1;
}

// Whether a character of no width stored now joins the one before it: the
// nearest stored character that is not a mark is a printable one.
static bool joins_previous()
{
    const char *end = line_cursor;
    while (end > line_buffer) {
        int length = stored_length_before(end);
        int c = static_cast<unsigned char>(end[-length]);
        if (length > 1)
            return c != MARK_ESCAPED;
        if (c < MARK_UL_ON || c > MARK_BOLD_OFF)
            return byte_is_printable(c);
        end--;
    }
    return false;
}

// The columns of a UTF-8 character stored or about to be stored at the
// end of the line: a combining mark with nothing to join shows on a blank.
static int multibyte_width(const stored_char &c)
{
    if (c.bytes[0] == MARK_ESCAPED)
        return HEX_FORM_WIDTH;
    int width = decode_char(c.bytes, static_cast<size_t>(c.length)).width;
    return width == 0 && !joins_previous() ? 1 : width;
}

static void store_byte(int c)
{
    VORN_ASSERT(line_cursor < line_buffer + LINE_BUFFER_SIZE - 1);
    start_column[stored_count()] = column;
    *line_cursor++ = static_cast<char>(c);
}

static void store_stored_char(const stored_char &c)
{
    for (int i = 0; i < c.length; i++)
        store_byte(c.bytes[i]);
}

// Drops the last stored character and the backspace after it; the column
// goes back to where the character began.
static void drop_char_and_backspace()
{
    line_cursor -= 1 + stored_length_before(line_cursor - 1);
    set_column(start_column[stored_count()]);
}

void line_text_to_display_line()
{
    line_text = line_buffer;
}

void line_start()
{
    line_cursor = line_buffer;
    line_text = line_buffer;
    overstrike_state = OS_NONE;
    set_column(-static_cast<int64_t>(horiz_off));
}

// The mark goes where the last stored character Y began, and Y moves one
// place on.  The caller counts the mark's columns (`end_width`); they come
// before Y.
static void put_mark_before_last(int mark, int end_width)
{
    int length = stored_length_before(line_cursor);
    int y = stored_count() - length;
    int64_t y_start = start_column[y];
    VORN_ASSERT(line_cursor < line_buffer + LINE_BUFFER_SIZE - 1);
    memmove(line_buffer + y + 1, line_buffer + y, static_cast<size_t>(length));
    line_buffer[y] = static_cast<char>(mark);
    line_cursor++;
    for (int i = 1; i <= length; i++)
        start_column[y + i] = y_start + end_width;
    // what was noted to start after Y still does
    line_styles_shift(y + length);
}

// The same, but on a terminal whose closing sequence takes a column a
// blank Y is dropped instead: the terminal's mark occupies its column.
static void insert_mark_before_last(int mark, int end_width)
{
    if (end_width > 0 && last_is_blank()) {
        line_cursor[-1] = static_cast<char>(mark);
        move_column(-1);
        return;
    }
    put_mark_before_last(mark, end_width);
}

// X and the backspace after it are the last stored characters; an
// attribute starts there.  A blank before X becomes the mark when the
// opening sequence itself takes a column.
static int open_attribute(int mark, int width, int end_width)
{
    drop_char_and_backspace();
    if (reaches_edge(static_cast<int64_t>(width) + end_width))
        return 1;
    if (width > 0 && last_is_blank()) {
        line_cursor[-1] = static_cast<char>(mark);
        move_column(static_cast<int64_t>(width) - 1);
    } else {
        store_byte(mark);
        move_column(width);
    }
    return 0;
}

static int overstrike_none(stored_char *c)
{
    if (stored_count() < 2 || !last_is_backspace())
        return 0;
    stored_char x = char_before(line_cursor - 1);
    if (same_char(*c, x)) {
        if (open_attribute(MARK_BOLD_ON, bold_width, bold_end_width))
            return 1;
        overstrike_state = OS_BOLD_CHAR;
        return 0;
    }
    if (is_byte(*c, '_') || is_byte(x, '_')) {
        if (open_attribute(MARK_UL_ON, underline_width, underline_end_width))
            return 1;
        if (is_byte(*c, '_'))
            *c = x;
        overstrike_state = OS_UL_CHAR;
        return 0;
    }
    drop_char_and_backspace();
    return 0;
}

// Y and a backspace were stored while an attribute was open: they go, and
// one attribute closes and the other opens where Y was.  Each
// mark is counted as it is stored, so that a later backspace that drops the
// opening mark goes back to the column after the closing one, which stays.
static void switch_attribute(int closing, int closing_width, int opening, int opening_width)
{
    drop_char_and_backspace();
    store_byte(closing);
    move_column(closing_width);
    store_byte(opening);
    move_column(opening_width);
}

// One character Y was stored after the attributed text: a backspace may
// still make Y part of it; anything else closes the attribute before Y.
static void follow_attribute(const stored_char &c, int backspace_state, int mark,
                             int end_width)
{
    if (is_byte(c, '\b')) {
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
static bool close_before_tab(const stored_char &c, int mark, int end_width)
{
    if (!is_byte(c, '\t') || end_width == 0)
        return false;
    store_byte(mark);
    move_column(end_width);
    overstrike_state = OS_NONE;
    return true;
}

static int overstrike_underline(stored_char *c)
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
        stored_char y = char_before(line_cursor - 1);
        if (same_char(*c, y) && !is_byte(y, '_')) {
            switch_attribute(MARK_UL_OFF, underline_end_width, MARK_BOLD_ON, bold_width);
            overstrike_state = OS_BOLD_CHAR;
            return 0;
        }
        if (is_byte(*c, '_'))
            *c = y;
        drop_char_and_backspace();
        overstrike_state = OS_UL_CHAR;
        return 0;
    }
    }
}

static int overstrike_bold(stored_char *c)
{
    switch (overstrike_state) {
    case OS_BOLD_CHAR:
        if (is_byte(*c, '\b')) {
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
        stored_char y = char_before(line_cursor - 1);
        if (!same_char(*c, y) && (is_byte(*c, '_') || is_byte(y, '_'))) {
            switch_attribute(MARK_BOLD_OFF, bold_end_width, MARK_UL_ON, underline_width);
            if (is_byte(*c, '_'))
                *c = y;
            overstrike_state = OS_UL_CHAR;
            return 0;
        }
        drop_char_and_backspace();
        overstrike_state = OS_BOLD_CHAR;
        return 0;
    }
    }
}

// Recognizes character-backspace-character sequences; may end the line
// (1), drop stored bytes, insert marks and replace *c.
static int overstrike_step(stored_char *c)
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
    int64_t last_column = static_cast<int64_t>(text_width()) - reserve;
    if (stop > last_column) {
        if (line_cursor != line_buffer) {
            if (column < last_column)
                set_column(last_column);
            return 1;
        }
        stop = stop < text_width() ? stop : text_width();
    }
    store_byte('\t');
    set_column(stop);
    return 0;
}

// The columns kept free for closing the attribute that is open: that
// attribute's own closing sequence (the terminal's bold and underline may
// take different widths, and a character two columns wide after bold text
// must leave room for the end of bold, not of underline).
static int closing_reserve()
{
    switch (overstrike_state) {
    case OS_NONE:
        return 0;
    case OS_UL_CHAR:
    case OS_UL_NEXT:
    case OS_UL_BS:
        return underline_end_width;
    default:
        return bold_end_width;
    }
}

static int store_char(stored_char c)
{
    int reserve = closing_reserve();
    int width;
    if (c.length > 1) {
        width = multibyte_width(c);
    } else if (c.bytes[0] == '\t') {
        return store_tab(reserve);
    } else if (c.bytes[0] == '\b') {
        // The painter takes a column back only right of the screen's left
        // edge, where the column is above 0; and one column, as the
        // terminal does, whatever the width of the character before.
        store_byte('\b');
        if (overstrike_state != OS_NONE && column > 0)
            move_column(-1);
        return 0;
    } else {
        if (c.bytes[0] >= MARK_UL_ON && c.bytes[0] <= MARK_BOLD_OFF)
            c.bytes[0] &= 0x7F;
        width = byte_width(c.bytes[0]);
    }
    if (passes_edge(width, reserve))
        return 1;
    store_stored_char(c);
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
    case OS_BOLD_NEXT:
        put_mark_before_last(overstrike_state == OS_UL_NEXT ? MARK_UL_OFF : MARK_BOLD_OFF, 0);
        break;
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
// recognizer rewrites at most the last stored characters (a blank, a
// character of up to four bytes and a backspace).
enum { SNAPSHOT_TAIL = 8 };

struct line_snapshot {
    char *cursor;
    int64_t column;
    int state;
    char tail[SNAPSHOT_TAIL];
    int64_t tail_start[SNAPSHOT_TAIL];
};

static int snapshot_length()
{
    return stored_count() < SNAPSHOT_TAIL ? stored_count() : static_cast<int>(SNAPSHOT_TAIL);
}

static line_snapshot take_snapshot()
{
    line_snapshot snapshot{line_cursor, column, overstrike_state, {}, {}};
    for (int i = 0, n = snapshot_length(); i < n; i++) {
        snapshot.tail[i] = line_cursor[-1 - i];
        snapshot.tail_start[i] = start_column[stored_count() - 1 - i];
    }
    return snapshot;
}

static void restore_snapshot(const line_snapshot &snapshot)
{
    line_cursor = snapshot.cursor;
    for (int i = 0, n = snapshot_length(); i < n; i++) {
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
static int append_char(stored_char c)
{
    if (stored_count() > LINE_FULL_AT)
        return 1;
    // Plain text (no attribute open, no backspace before): the recognizer
    // has nothing to rewrite, and nothing needs keeping.
    if (opt_no_overstrike ||
        (overstrike_state == OS_NONE && (stored_count() == 0 || last_stored(1) != '\b')))
        return store_char(c) == 0 ? 0 : 1;
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

// In UTF-8 text a byte from 0x81 up that is no part of a printable
// character is stored escaped, so that it cannot pass for part of one (nor
// for a mark).  0x80 is a NUL of the input, shown in caret form.
static stored_char input_byte(int c)
{
    if (utf8_text && c > MARK_NUL)
        return {{MARK_ESCAPED, static_cast<unsigned char>(c & 0x7F), 0, 0}, 2};
    return single(c);
}

int line_append(int c)
{
    c &= 0xFF;
    if (c == 0) {
        close_line();
        return 0;
    }
    return append_char(input_byte(c));
}

// The character of the input that begins with byte c, the `count` bytes
// after it being `after` (continuation bytes, as far as they go): in UTF-8
// text the whole of a well-formed printable character, else c alone.
// *taken is the number of input bytes it spans.
static stored_char input_char_of(int c, const unsigned char *after, int count, int *taken)
{
    *taken = 1;
    int length = utf8_text ? utf8_sequence_length(c) : 0;
    if (length == 0)
        return input_byte(c);
    stored_char whole = {{static_cast<unsigned char>(c), 0, 0, 0}, 1};
    for (int i = 0; i < count && whole.length < length; i++)
        whole.bytes[whole.length++] = after[i];
    if (whole.length == length &&
        decode_char(whole.bytes, static_cast<size_t>(length)).kind == CHAR_PRINTABLE) {
        *taken = length;
        return whole;
    }
    return input_byte(c);
}

// The same for the byte c just read from the cache: the bytes read after
// it that the character does not span are given back.
static stored_char read_input_char(int c, int *taken)
{
    int length = utf8_text ? utf8_sequence_length(c) : 0;
    unsigned char after[3];
    int count = 0;
    while (count + 1 < length) {
        int next = cache_next_char();
        if ((next & 0xC0) != 0x80) {
            if (next != 0)
                cache_prev_char();
            break;
        }
        after[count++] = static_cast<unsigned char>(next);
    }
    stored_char whole = input_char_of(c, after, count, taken);
    for (int i = *taken - 1; i < count; i++)
        cache_prev_char();
    return whole;
}

// Adds the input character beginning with byte c (c is not 0); as
// line_append, and *taken says how many input bytes it spans.
static int append_input(int c, int *taken)
{
    if (c < 0x80 || !utf8_text) {
        *taken = 1;
        return append_char(single(c));
    }
    return append_char(read_input_char(c, taken));
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

static shown_line_finder line_filter;

void set_line_filter(shown_line_finder finder)
{
    line_filter = finder;
}

// Whether the text line starting at `pos` is empty.
static bool empty_line_at(file_pos pos)
{
    return cache_seek(pos) == 0 && cache_next_char() == '\n';
}

// The first shown text line at or after the text line start `pos`; with
// -s after an empty line (`squeeze`), the shown empty lines that follow
// are passed over too, as the run they make shows as one.
static file_pos next_shown_line(file_pos pos, bool squeeze)
{
    // the finder reads raw lines: the line just assembled stays the one
    // to paint
    char *assembled = line_text;
    pos = line_filter(pos, 1);
    while (squeeze && pos != -1 && empty_line_at(pos))
        pos = line_filter(pos + 1, 1);
    line_text = assembled;
    return pos;
}

// With styles on, a colour sequence is handed to linestyle.cpp before the
// line sees it (it takes no column and no byte), and every other byte's
// position is noted there before it is appended.  `filtered`: the next
// text line is the next one the filter shows.
static file_pos next_display_line_in(file_pos pos, bool filtered)
{
    if (pos == -1)
        return -1;
    bool styled = line_styles_active();
    line_styles_begin(pos, -1);
    if (cache_seek(pos) != 0)
        return -1;
    int c = cache_next_char();
    if (c == 0)
        return -1;
    // Squeezing goes by the bytes, as it does backward: a line whose text
    // shows nothing (a colour sequence alone, text left of the offset) is
    // no empty line.
    bool empty_line = c == '\n';
    line_start();
    file_pos result;
    bool wrapped = false;
    for (;;) {
        if (pending_signals != 0)
            return -1;
        if (c == '\n' || c == 0) {
            result = cache_tell();
            break;
        }
        if (styled) {
            if (c == ESCAPE && line_styles_sequence(stored_count())) {
                c = cache_next_char();
                continue;
            }
            line_styles_at(cache_tell() - 1, stored_count());
        }
        int taken;
        if (append_input(c, &taken) == 1) {
            wrapped = wrap_lines != 0;
            result = wrap_lines ? cache_tell() - taken : skip_rest_of_line();
            break;
        }
        c = cache_next_char();
    }
    line_append(0);
    line_styles_end(result, wrapped);
    if (filtered && line_filter != nullptr && !wrapped)
        return next_shown_line(result, opt_squeeze && empty_line);
    if (opt_squeeze && empty_line)
        return skip_empty_lines();
    return result;
}

file_pos next_display_line(file_pos pos)
{
    return next_display_line_in(pos, true);
}

file_pos next_display_line_unfiltered(file_pos pos)
{
    return next_display_line_in(pos, false);
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

// Lines up to this long are read through the block cache, which holds the
// blocks of the screen; a walk that goes on past it reads a named file
// straight, in large pieces, as a long line would cost a read per block.
enum { SHORT_WALK = 8192 };

// The start of the text line holding the byte before the read position.
// -1 with a signal pending.
static file_pos text_line_start_backward()
{
    file_pos read_pos = cache_tell();
    for (int i = 0; i < SHORT_WALK; i++) {
        int c = cache_prev_char();
        if (c == '\n')
            return cache_tell() + 1;
        if (c == 0)
            return pending_signals != 0 ? -1 : cache_tell();
    }
    if (!pipe_mode)
        return line_scan_prev(read_pos + 1, 1);
    int newline = scan_back_to_newline(1);
    if (pending_signals != 0)
        return -1;
    return newline ? cache_tell() + 1 : cache_tell();
}

namespace {

// The bytes of the input from `pos` on, taken a piece at a time: through
// the block cache for the first SHORT_WALK bytes, then straight.
struct byte_run {
    file_pos pos;
    const unsigned char *bytes;
    size_t avail;
    file_pos straight_from;
};

}  // namespace

// The byte at the run's position as the block cache gives it (a NUL of the
// input as MARK_NUL); 0 at the end of the input or where it cannot be read.
static int run_byte(byte_run *run)
{
    if (run->avail == 0) {
        run->bytes = run->pos >= run->straight_from ? line_scan_bytes(run->pos, &run->avail)
                                                    : cache_bytes_at(run->pos, &run->avail);
        if (run->avail == 0)
            return 0;
    }
    int c = *run->bytes;
    return c == 0 ? static_cast<int>(MARK_NUL) : c;
}

static void run_skip(byte_run *run, size_t count)
{
    run->pos += static_cast<file_pos>(count);
    if (count > run->avail) {
        run->avail = 0;
        return;
    }
    run->bytes += count;
    run->avail -= count;
}

// The byte `ahead` places after the run's position, as run_byte gives it.
// Past the bytes at hand it comes through the cache, and the run takes its
// bytes afresh at the next run_byte (a cache read may reuse their buffer).
static int run_peek(byte_run *run, size_t ahead)
{
    if (ahead < run->avail) {
        int c = run->bytes[ahead];
        return c == 0 ? static_cast<int>(MARK_NUL) : c;
    }
    run->avail = 0;
    if (cache_seek(run->pos + static_cast<file_pos>(ahead)) != 0)
        return 0;
    return cache_next_char();
}

// As append_input, for the character that begins with the byte c at the
// run's position; the run stays where it is.
static int run_append(byte_run *run, int c, int *taken)
{
    if (c < 0x80 || !utf8_text) {
        *taken = 1;
        return append_char(single(c));
    }
    int length = utf8_sequence_length(c);
    unsigned char after[3];
    int count = 0;
    while (count + 1 < length) {
        int next = run_peek(run, static_cast<size_t>(count) + 1);
        if ((next & 0xC0) != 0x80)
            break;
        after[count++] = static_cast<unsigned char>(next);
    }
    return append_char(input_char_of(c, after, count, taken));
}

// The columns of each byte that line assembly stores as it comes, whatever
// stands around it in its display line: printable ASCII and a NUL (0
// straight from the file, 0x80 through the cache); 0 for every other byte
// (a control byte may begin a sequence that takes no column).
static void plain_widths(unsigned char widths[256])
{
    for (int c = 0; c < 256; c++) {
        bool plain = c == 0 || c == MARK_NUL || (c >= 0x20 && c < 0x7f);
        widths[c] = static_cast<unsigned char>(plain ? byte_width(c == 0 ? MARK_NUL : c) : 0);
    }
}

// With wrapping, the display line beginning at the run's position ends
// before the first byte that would pass the right edge.  When every byte up
// to that one is plain and at hand, the end is found here without
// assembling the line; -1 otherwise.
static file_pos plain_line_end(const byte_run *run, const unsigned char widths[256])
{
    int64_t columns = 0;
    const int64_t width_of_text = text_width();
    for (size_t i = 0; i < run->avail; i++) {
        int width = widths[run->bytes[i]];
        if (width == 0)
            return -1;
        if (i > 0 && columns + width > width_of_text)
            return run->pos + static_cast<file_pos>(i);
        columns += width;
    }
    return -1;
}

// Assembles display lines forward from display start `from` until the one
// holding byte `target` is in the line buffer; returns its start, or -1 at
// the end of the input or with a signal pending.  Cut lines (no wrapping)
// end with the first full line.  With `remember`, the starts passed and
// how far the text line is known go to the wrap memory, and the lines
// before the target's that are plain are only measured, not assembled.
static file_pos assemble_through(display_start from, file_pos target, bool remember)
{
    unsigned char widths[256];
    bool measure = remember && wrap_lines && text_width() < LINE_FULL_AT;
    if (measure)
        plain_widths(widths);
    byte_run run = {from.pos, nullptr, 0, from.pos + SHORT_WALK};
    int64_t number = from.number;
    file_pos line_begin = from.pos;
    bool at_line_start = true;
    line_start();
    for (;;) {
        if (pending_signals != 0)
            return -1;
        if (measure && at_line_start && run_byte(&run) != 0) {
            file_pos end = plain_line_end(&run, widths);
            if (end != -1 && end <= target) {
                run_skip(&run, static_cast<size_t>(end - run.pos));
                line_begin = end;
                wrap_starts_note(++number, line_begin);
                continue;
            }
        }
        int c = run_byte(&run);
        if (c == 0 || c == '\n') {
            if (remember)
                wrap_starts_reach(run.pos);
            if (c == 0)
                return -1;
            break;
        }
        int taken;
        if (run_append(&run, c, &taken) == 1) {
            if (!wrap_lines)
                break;
            // the character that did not fit begins the next display line
            line_append(0);
            line_begin = run.pos;
            if (remember)
                wrap_starts_note(++number, line_begin);
            line_start();
            at_line_start = true;
            continue;
        }
        at_line_start = false;
        run_skip(&run, static_cast<size_t>(taken));
        if (run.pos > target) {
            if (remember)
                wrap_starts_reach(run.pos);
            break;
        }
    }
    line_append(0);
    return line_begin;
}

// With colours or matches shown the styles of the text line are followed
// from its start: the line is assembled through the cache from there.
static file_pos prev_styled_display_line(file_pos pos, file_pos start)
{
    line_styles_begin(start, start);
    if (cache_seek(start) != 0)
        return -1;
    line_start();
    file_pos line_begin = start;
    file_pos next = start;
    bool wrapped = false;
    for (;;) {
        int c = cache_next_char();
        if (c == 0 || pending_signals != 0)
            return -1;
        if (c == '\n') {
            next++;
            break;
        }
        if (c == ESCAPE && line_styles_sequence(stored_count())) {
            next = cache_tell();
            if (next >= pos) {
                wrapped = wrap_lines != 0;
                break;
            }
            continue;
        }
        line_styles_at(next, stored_count());
        int taken;
        int full = append_input(c, &taken);
        next += taken;
        if (full == 1) {
            if (!wrap_lines)
                break;
            // the character that did not fit begins the next display line
            line_append(0);
            for (int i = 0; i < taken; i++)
                cache_prev_char();
            next -= taken;
            line_begin = next;
            line_start();
            line_styles_restart();
            continue;
        }
        if (next >= pos) {
            wrapped = wrap_lines != 0;
            break;
        }
    }
    line_append(0);
    line_styles_end(pos, wrapped);
    return line_begin;
}

// Inside a long wrapped text line the starts kept by the wrap memory are
// used: the line is walked from its start once, and a move inside it
// then walks at most a few hundred display lines.
static file_pos prev_plain_display_line(file_pos pos, file_pos read_pos)
{
    if (wrap_lines && wrap_starts_hold(read_pos))
        return assemble_through(wrap_starts_before(pos - 1), pos - 1, true);
    file_pos start = text_line_start_backward();
    if (start == -1)
        return -1;
    if (!wrap_lines)
        return assemble_through({0, start}, pos - 1, false);
    wrap_starts_begin(start, read_pos);
    if (!wrap_starts_hold(read_pos))
        return assemble_through({0, start}, pos - 1, false);   // no memory to be had
    return assemble_through(wrap_starts_before(pos - 1), pos - 1, true);
}

static file_pos prev_display_line_in(file_pos pos, bool squeeze);

// Whether `pos` ends a text line: the start of the next one, or the end of
// an input whose last line has no newline.
static bool ends_text_line(file_pos pos)
{
    if (pos <= 0 || cache_seek(pos - 1) != 0)
        return false;
    return cache_next_char() == '\n' || cache_next_char() == 0;
}

// The last display line of the shown text line before `pos`.  With -s,
// when the line at `pos` is empty, the shown empty lines above it are
// passed over, as without a filter.
static file_pos prev_shown_display_line(file_pos pos)
{
    bool squeeze = opt_squeeze && empty_line_at(pos);
    file_pos start = line_filter(pos, 0);
    while (squeeze && start != -1 && empty_line_at(start))
        start = line_filter(start, 0);
    if (start == -1)
        return -1;
    file_pos end = line_scan_next(start, 1);
    if (end == -1 || pending_signals != 0)
        return -1;
    // the text line's last display line: the byte before `end` is its
    // newline, or its last byte at the end of the input
    return prev_display_line_in(end, false);
}

file_pos prev_display_line(file_pos pos)
{
    if (line_filter != nullptr && ends_text_line(pos))
        return prev_shown_display_line(pos);
    return prev_display_line_in(pos, opt_squeeze != 0);
}

file_pos shown_display_line(file_pos pos)
{
    if (line_filter == nullptr || pos < 0)
        return pos;
    file_pos start = pos;
    if (pos > 0 && !(cache_seek(pos - 1) == 0 && cache_next_char() == '\n')) {
        if (cache_seek(pos) != 0)
            return pos;
        start = text_line_start_backward();
        if (start == -1)
            return -1;
    }
    file_pos shown = line_filter(start, 1);
    return shown == start ? pos : shown;
}

static file_pos prev_display_line_in(file_pos pos, bool squeeze)
{
    if (pos <= 0 || cache_seek(pos - 1) != 0)
        return -1;
    if (squeeze && skip_empty_lines_backward(pos) != 0)
        return -1;
    if (line_styles_active()) {
        file_pos start = text_line_start_backward();
        return start == -1 ? -1 : prev_styled_display_line(pos, start);
    }
    line_styles_begin(pos, pos);    // nothing is styled: no change is kept
    file_pos found = prev_plain_display_line(pos, cache_tell());
    line_styles_end(pos, 0);
    return found;
}

// A raw line may begin inside a long text line (a piece of it), where no
// display line begins unless by chance: the one holding its first byte
// does.  With a signal pending, `pos` itself.
file_pos display_line_holding(file_pos pos)
{
    if (pos <= 0 || cache_seek(pos - 1) != 0 || cache_next_char() == '\n')
        return pos;
    file_pos start = prev_display_line(pos + 1);
    return start == -1 ? pos : start;
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
    line_styles_reset();
    wrap_starts_forget();
    number_columns = 0;
}
