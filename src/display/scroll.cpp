// Scrolling and jumping: moves the view over the input and keeps the
// screen position table in step with what the terminal shows.
//
// Two painting engines do all the work.  `paint_forward` writes new lines
// on the bottom row and lets the terminal scroll them up (or, after a clear,
// paints from the top); `paint_backward` opens rows at the top, or, when the
// terminal cannot or the move is long, rebuilds the table and repaints.  The
// table is pushed exactly once per line painted, so its entries always name
// the lines on the rows, in order.
//
// The table numbers the lines from the top row.  Where the input ends
// before the screen is full, the lines may sit on the bottom rows instead
// (`lines_at_bottom`): a paint that starts on the bottom row scrolls them up
// from there, and a jump leaves the old rows and its "...skipping..." line
// above them.  Whatever would keep rows of such a screen (a line opened at
// the top, a move that finds nothing to scroll, a repaint) paints its lines
// again on a cleared screen, on the rows they held: every row that stays
// then shows the line the table names for it, or nothing.
//
// Beneath header lines (header.cpp) the table and both engines work on the
// rows below the header, as on a shorter screen, and the text they show
// never begins before the header's end.  Every scroll moves the header's
// rows too, and every line opened at the top pushes them down: the header
// is painted again after each.
//
// Owned here: the shared display settings (`horiz_off`, `wrap_lines`,
// `at_eof`) and the painting state (`first_paint`).
#include <cstdio>

#include "display.h"
#include "file/file.h"
#include "terminal/terminal.h"

int horiz_off;
int wrap_lines = 1;
int at_eof;

void set_horizontal_view(int offset, int wrap)
{
    horiz_off = offset;
    wrap_lines = wrap;
}

// Whether a file opens with its long lines cut at the right edge (-S, the
// chop command) rather than wrapped: the view the first right scroll gives.
static int start_chopped;

void set_start_chopped(int on)
{
    start_chopped = on;
}

int starts_chopped()
{
    return start_chopped;
}

void reset_horizontal_view()
{
    set_horizontal_view(0, start_chopped ? 0 : 1);
}

int first_paint = 1;

// The lines of a screen the input's end left part empty sit on its bottom
// rows (painted there, scrolling up), not on its top rows (painted down
// from the top of a cleared screen, or opened at its top).  Says nothing
// about a full screen.
static bool lines_at_bottom;

int back_scroll_lines()
{
    // a terminal that cannot open a line at the top repaints instead
    if (!term_scrolls_back())
        return 0;
    return opt_clear ? text_rows() - 1 : text_rows();
}

// A screen painted afresh from `top`: the header measured, the text
// beneath it starting no higher than its end, the number column fitted.
// Where the text starts.
static file_pos fit_screen(file_pos top)
{
    measure_header();
    top = below_header(top);
    fit_number_column(top);
    return top;
}

// The cursor at the first text row of a cleared screen: the header painted
// above it.
static void cursor_to_text_top()
{
    cursor_home();
    paint_header_rows();
}

void note_eof()
{
    if (pending_signals != 0)
        return;
    file_pos after = screen_pos(SCREEN_AFTER_BOTTOM);
    if (after == -1 || after == cache_length())
        at_eof++;
}

// Where the new lines go: from the top of a cleared screen for a full
// screen with -c, else on the bottom row.  New lines that do not continue
// the screen start a fresh table, after a "...skipping..." line (never on
// the program's first screen).  A cleared screen keeps none of the old
// rows even where the new lines continue them, so the table starts afresh
// too: when the input ends before the screen is full, the new lines stay
// on the top rows, and the table must say so (a repaint, a search or a
// backward move starts from the top row that is shown).  True when the
// lines go down from the top of a cleared screen.
static bool prepare_forward(int n, file_pos pos)
{
    bool cleared = opt_clear && n >= text_rows();
    if (cleared) {
        clear();
        cursor_to_text_top();
    } else {
        cursor_lower_left();
        erase_to_eol();
    }
    if (pos == screen_pos(SCREEN_AFTER_BOTTOM)) {
        if (cleared) {
            pos_reset();
            pos_push_bottom(pos);
        }
        return cleared;
    }
    pos_reset();
    pos_push_bottom(pos);
    if (opt_clear) {
        clear();
        cursor_to_text_top();
        return true;
    }
    if (!first_paint)
        out_str("...skipping...\n");
    return false;
}

// Paints (or with `skip` only reads) up to n display lines from `pos`
// where the cursor is, pushing each onto the table; `from_top`: they go
// down from the top of a cleared screen, below the header.  Lines painted
// on the bottom row scroll the whole screen, the header with it: it is
// painted again over what moved into its rows.
static void paint_lines(int n, file_pos pos, bool skip, bool from_top)
{
    set_lower_left_below_text(false);
    int reached_end = 0;
    // the lines after the bottom row (the text that came after it, while
    // following) may be hidden by a filter: the next shown one follows
    file_pos shown = shown_display_line(pos);
    if (shown != pos && shown != -1) {
        pos = shown;
        pos_set_after_bottom(pos);
    }
    for (int i = 0; i < n; i++) {
        file_pos start = pos;   // where the row's line begins: its number
        pos = next_display_line(pos);
        if (pos == -1) {
            reached_end = 1;
            if (screen_pos(SCREEN_TOP) == -1) {
                pos_compact();
                lines_at_bottom = !from_top;
                if (screen_pos(SCREEN_TOP) == 0)
                    set_lower_left_below_text(true);
            }
            break;
        }
        pos_push_bottom(pos);
        if (!skip)
            paint_row(start);
    }
    if (reached_end && pending_signals == 0)
        at_eof++;
    else
        note_eof();
    if (!from_top && !skip)
        paint_header();
}

void paint_forward(int n, file_pos pos, int paging)
{
    int skip = paging && n > text_rows();
    if (pos != screen_pos(SCREEN_AFTER_BOTTOM))
        pos = fit_screen(pos);
    bool from_top = !skip && prepare_forward(n, pos);
    paint_lines(n, pos, skip, from_top);
    // the lines passed over are not painted: the screen is painted once,
    // as a jump to its new top line is
    if (skip)
        repaint_from(screen_pos(SCREEN_TOP));
    first_paint = 0;
    linenum_current(SCREEN_BOTTOM);
}

// The screen is full, or its lines sit on its top rows as the table
// numbers them.
static bool rows_as_numbered()
{
    return !lines_at_bottom || screen_pos(SCREEN_AFTER_BOTTOM) != -1;
}

// Paints the screen again from `top` on a cleared screen, its lines on
// the rows they held: a screen the end leaves part empty keeps them on its
// bottom rows or on its top rows (always the top ones with -c, whose full
// screens are painted from the top).  Nothing of the old screen stays, so
// no "...skipping..." line is written.
static void repaint_in_place(file_pos top)
{
    bool from_top = opt_clear || (!lines_at_bottom && screen_pos(SCREEN_AFTER_BOTTOM) == -1);
    top = fit_screen(top);
    // After a change of width the old top may lie inside a row.
    top = display_line_holding(top);
    at_eof = 0;
    clear();
    // the cursor goes to the bottom row, not only to the start of its row
    set_lower_left_below_text(false);
    if (from_top)
        cursor_to_text_top();
    else
        cursor_lower_left();
    pos_reset();
    pos_push_bottom(top);
    paint_lines(text_rows(), top, false, from_top);
    first_paint = 0;
    repaint_done();
    linenum_current(SCREEN_BOTTOM);
}

// The `opened` rows just opened at the top of the screen, which pushed the
// header down over the text rows: the header painted again, and beneath it
// the lines the table names for those rows.
static void paint_opened_rows(int opened)
{
    cursor_to_text_top();
    for (int row = 0; row < opened; row++) {
        file_pos pos = screen_pos(row);
        if (next_display_line(pos) == -1) {
            request_repaint();  // a signal: the screen is painted again
            return;
        }
        erase_to_eol();
        paint_row(pos);
    }
}

// Lines are opened at the top of the screen: beneath a header, its rows
// are painted again afterwards.  The text never goes above the header's
// end.
void paint_backward(int n, file_pos pos, int paging)
{
    // a line opened at the top row would not join lines that sit on the
    // bottom rows
    int full = n > back_scroll_lines() || (paging && n > text_rows()) || !rows_as_numbered();
    int opened = 0;
    at_eof = 0;
    for (int i = 0; i < n; i++) {
        pos = prev_display_line(pos);
        if (pos == -1 || pos < header_end())
            break;
        pos_push_top(pos);
        if (full)
            continue;
        if (retains_below) {
            cursor_lower_left();
            erase_to_eol();
        }
        cursor_home();
        insert_line_top();
        if (header_rows() == 0)
            paint_row(pos);
        opened++;
    }
    note_eof();
    if (full)
        repaint_screen();
    else if (header_rows() > 0 && opened > 0)
        paint_opened_rows(opened);
    linenum_current(SCREEN_BOTTOM);
}

bool scroll_forward(int n, int paging)
{
    if (at_eof != 0)
        return false;
    file_pos after = screen_pos(SCREEN_AFTER_BOTTOM);
    if (after == -1) {
        at_eof++;
        return true;
    }
    paint_forward(n, after, paging);
    return true;
}

void scroll_backward(int n, int paging)
{
    file_pos top = screen_pos(SCREEN_TOP);
    if (top != -1)
        paint_backward(n, top, paging);
}

void repaint_from(file_pos pos)
{
    at_eof = 0;
    // the rows to paint are those beneath the header as it is now
    measure_header();
    paint_forward(text_rows(), pos, 0);
    repaint_done();
}

// An empty table has nothing to paint in place: the screen is left as it
// is, as a paint from nowhere leaves it.
void repaint_screen()
{
    file_pos top = screen_pos(SCREEN_TOP);
    if (top == -1)
        repaint_from(top);
    else
        repaint_in_place(top);
}

// Paints the lines of the text rows once more, top to bottom, from the
// cursor down, for a screen other than the one the table describes (after
// the terminal has left its alternate screen); the table stays as it is.
// The program is ending: a stop or resize still pending no longer matters,
// and must not cut the lines short.
void paint_rows_again()
{
    drop_pending_signals();
    paint_header_rows();
    for (int row = 0; row < text_rows(); row++) {
        file_pos pos = screen_pos(row);
        if (pos == -1)
            continue;
        if (next_display_line(pos) == -1)
            break;
        paint_row(pos);
    }
}

// The first screen would hold every display line of the input, and show its
// end: decided as painting it decides (paint_lines, note_eof), without
// painting.  A walk abandoned for a signal decides nothing: not whole.
bool first_screen_holds_whole_input()
{
    // the rows are as wide as painting makes them, beside the numbers
    fit_number_column(0);
    file_pos pos = 0;
    // the header is among the lines: every row holds them
    for (int row = 0; row < screen_height - 1; row++) {
        pos = next_display_line(pos);
        if (pos == -1)
            return pending_signals == 0;
    }
    return pending_signals == 0 && pos == cache_length();
}

// Paints every display line of the input from the cursor down, outside the
// table, as cat writes a text: for an input the first screen holds whole.
void paint_whole_input()
{
    for (file_pos start = 0, end; (end = next_display_line(start)) != -1; start = end)
        paint_row(start);
}

// Clears the screen and builds it upward from `end`, which becomes the
// position after the bottom row (a text shorter than the screen takes its
// top rows).
static void rebuild_upward(int n, file_pos end)
{
    end = fit_screen(end);
    if (n > text_rows())
        n = text_rows();
    clear();
    // The cursor is left below the rows painted, not on the bottom line
    // where the painting of a file that fits the screen leaves it.
    set_lower_left_below_text(false);
    lines_at_bottom = false;
    pos_reset();
    pos_push_top(end);
    paint_backward(n, end, 0);
    // no line beneath the header: it is all there is to paint
    if (screen_pos(SCREEN_TOP) == end)
        paint_header();
}

void show_last_screenful(file_pos end)
{
    rebuild_upward(text_rows(), end);
}

void notice_shrunk_file()
{
    file_pos length = cache_drop_beyond_end();
    if (length >= 0)
        linenum_forget_from(length + 1);
    file_pos top = screen_pos(SCREEN_TOP);
    if (length < 0 || top == -1)
        return;
    // A repaint from the top line would leave the old rows above a short
    // remainder: the last screenful of what is left is built afresh.
    if (screen_pos(SCREEN_AFTER_BOTTOM) > length || top > length)
        rebuild_upward(text_rows(), length);
}

void jump_end()
{
    if (cache_seek_end() != 0) {
        // A walk a signal cut short is no failure to find the end: the
        // signal is served and the view stays as it was.
        if (pending_signals == 0)
            set_message("Cannot seek to end of file");
        return;
    }
    remember_position();
    rebuild_upward(text_rows(), cache_tell());
}

// Counting starts from the nearest line whose start is known (the start of
// the input at worst); a signal abandons it, and the view stays.
void jump_line(int n)
{
    if (cache_seek(0) != 0) {
        if (n <= 1 && cache_seek_begin() == 0)
            jump_pos(cache_tell());
        set_message("Cannot get to beginning of file");
        return;
    }
    int lines = 0;
    file_pos pos = linenum_line_start(n, &lines);
    if (pending_signals != 0)
        return;
    if (pos == -1) {
        set_message("File has only %d lines", lines);
        return;
    }
    jump_pos(pos);
}

// The start of the text line holding the byte at `pos` (pos itself when
// it cannot be reached); a named file is searched in large pieces, as a
// long line would cost a read per block through the cache.  With a signal
// pending the result is not to be used.
static file_pos text_line_start(file_pos pos)
{
    if (pipe_mode) {
        if (cache_seek(pos) != 0)
            return pos;
        if (scan_back_to_newline(0))
            cache_next_char();
        return cache_tell();
    }
    line_scan_reset();
    file_pos start = line_scan_prev(pos + 1, 1);
    return start != -1 ? start : pos;
}

void jump_percent(int n)
{
    file_pos length = cache_length();
    if (length == -1) {
        set_message("Don't know length of file");
        return;
    }
    // taken in 128 bits, so that no length can make the product overflow
    file_pos pos = static_cast<file_pos>(static_cast<__int128>(n) * length / 100);
    pos = text_line_start(pos);
    if (pending_signals != 0)
        return;
    jump_pos(pos);
}

void repaint_unwrapped()
{
    file_pos top = screen_pos(SCREEN_TOP);
    if (top == -1) {
        repaint_screen();
        return;
    }
    file_pos start = text_line_start(top);
    repaint_in_place(pending_signals != 0 ? top : start);
}

void jump_pos(file_pos pos)
{
    // A place remembered at another width (a mark, the top of a file left
    // before a window change) may lie inside a row now: the row holding it
    // is shown, as any later repaint would paint it.
    pos = below_header(display_line_holding(pos));
    // a text line the filter hides: the next shown one, or the last
    // screenful when none follows
    file_pos shown = shown_display_line(pos);
    if (shown == -1 && pos != -1)
        return;     // a signal is pending: the move is abandoned
    if (shown != pos && next_display_line(shown) == -1 && pending_signals == 0) {
        remember_position();
        show_last_screenful(shown);
        return;
    }
    pos = shown;
    int row = pos_row_of(pos);
    if (row >= 0) {
        // A screen the end leaves part empty cannot scroll; where its
        // lines sit on the bottom rows, the rows above may still show what
        // the jump there left.
        if (!rows_as_numbered())
            repaint_in_place(screen_pos(SCREEN_TOP));
        else
            paint_forward(row, screen_pos(SCREEN_AFTER_BOTTOM), 0);
        return;
    }
    if (cache_seek(pos) != 0) {
        set_message("Cannot seek to that position");
        return;
    }
    file_pos top = screen_pos(SCREEN_TOP);
    if (top == -1 || pos >= top) {
        remember_position();
        repaint_from(pos);
        return;
    }
    // The target lies above the screen: count the display lines from it
    // down to the top, at most a screenful.
    file_pos p = pos;
    int lines = 0;
    while (p < top && lines < text_rows()) {
        p = next_display_line(p);
        if (p == -1)
            return;     // a signal is pending: the move is abandoned
        lines++;
    }
    if (p < top) {
        remember_position();
        rebuild_upward(lines, p);
        return;
    }
    paint_backward(lines, p, 0);
}

void show_view_from(file_pos pos)
{
    file_pos shown = shown_display_line(pos);
    if (shown == -1)
        return;     // a signal is pending
    if (next_display_line(shown) == -1) {
        if (pending_signals == 0)
            show_last_screenful(shown);
        return;
    }
    lines_at_bottom = false;
    repaint_in_place(shown);
}

void scroll_reset()
{
    horiz_off = 0;
    wrap_lines = 1;
    start_chopped = 0;
    repaint_done();
    at_eof = 0;
    first_paint = 1;
    set_lower_left_below_text(false);
    lines_at_bottom = false;
    header_reset();
}
