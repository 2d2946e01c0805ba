// Header lines: the first `header_lines` text lines of the input stay on
// the top rows of the screen while the text beneath them scrolls (the
// header command, -H).  The rest of the display works beneath the header
// as on a shorter screen: the position table, the moves and the page size
// count only the rows below it, and the text shown there never begins
// before the header's end, so no line shows twice.
//
// The header is measured whenever the screen is painted afresh: the rows
// its lines take at the present width and wrapping, at most half of the
// text rows (a header that does not fit is cut there, and the text beneath
// begins where the cut falls, so that every line stays reachable), and the
// position where the text beneath begins.  Scrolling moves the whole
// terminal screen, so after every scroll the header rows are painted again
// over what moved into them.  The header shows the first lines of the
// input whatever the filter hides: it names the columns of what is shown
// beneath.
//
// Owned here: the setting, and the measure of the header last taken.
// Invariant: header_row_count is at most half of the text rows of the
// screen it was measured for, and 0 while the setting is 0, on a terminal
// that cannot put its cursor at the top and at the lower left, and
// before the first measure.
#include "display.h"
#include "file/file.h"
#include "terminal/terminal.h"

static int header_lines;
static int header_row_count;
static file_pos header_end_pos;

void set_header_lines(int n)
{
    header_lines = n > 0 ? n : 0;
}

int header_lines_wanted()
{
    return header_lines;
}

int header_rows()
{
    return header_row_count;
}

file_pos header_end()
{
    return header_end_pos;
}

int text_rows()
{
    return screen_height - 1 - header_row_count;
}

// The rows the header may take on this screen.
static int header_room()
{
    if (header_lines == 0 || !term_repaints_rows())
        return 0;
    return (screen_height - 1) / 2;
}

void measure_header()
{
    int room = header_room();
    int rows = 0;
    int lines = 0;
    file_pos pos = 0;
    while (rows < room && lines < header_lines) {
        file_pos next = next_display_line_unfiltered(pos);
        if (next == -1)
            break;      // the end of the input, or a signal: a repaint follows
        rows++;
        if (starts_text_line(next))
            lines++;
        pos = next;
    }
    // the table is numbered from the first row beneath the header
    if (rows != header_row_count)
        pos_reset();
    header_row_count = rows;
    header_end_pos = rows > 0 ? pos : 0;
}

file_pos below_header(file_pos pos)
{
    return pos != -1 && pos < header_end_pos ? header_end_pos : pos;
}

void paint_header_rows()
{
    file_pos pos = 0;
    for (int row = 0; row < header_row_count; row++) {
        file_pos next = next_display_line_unfiltered(pos);
        if (next == -1) {
            // a signal, or an input that shrank: painted again later
            request_repaint();
            return;
        }
        erase_to_eol();
        paint_row(pos);
        pos = next;
    }
}

void paint_header()
{
    if (header_row_count == 0)
        return;
    cursor_home();
    paint_header_rows();
}

void header_reset()
{
    header_lines = 0;
    header_row_count = 0;
    header_end_pos = 0;
}
