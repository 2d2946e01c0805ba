// The display: the screen position table, scrolling and jumping, line
// painting, and remembered views (marks).
#ifndef VORN_DISPLAY_H
#define VORN_DISPLAY_H

#include <cstddef>
#include <optional>
#include <string>

#include "file/file.h"
#include "terminal/terminal.h"
#include "vorn.h"

// --- position.cpp: screen position table ---
enum {
    SCREEN_TOP = 0,
    SCREEN_BOTTOM = -1,
    SCREEN_AFTER_BOTTOM = -2,
    SCREEN_MIDDLE = -3,
    MIN_POSITION_CAPACITY = 25,
};
extern int position_capacity;
file_pos screen_pos(int row);
void pos_push_bottom(file_pos pos);
void pos_push_top(file_pos pos);
// The entry after the bottom row becomes `pos` (where the next shown line
// begins, when the lines after the bottom row are hidden by the filter).
void pos_set_after_bottom(file_pos pos);
void pos_reset();
void pos_compact();
int pos_row_of(file_pos pos);
int pos_last_row();                 // the last text row showing a line, or -1
// The number of the text line on `row` (0 without line numbers).
int linenum_current(int row);

// --- scroll.cpp: scrolling and jumping ---
extern int first_paint;
// False, having done nothing, when the end of the input was on the screen
// already: going on past it is the caller's (the next file).
bool scroll_forward(int n, int paging);
void scroll_backward(int n, int paging);
void repaint_screen();
void paint_rows_again();
bool first_screen_holds_whole_input();
void paint_whole_input();
void repaint_from(file_pos pos);
// The horizontal view: the text shifted left by `offset` columns, and
// whether long lines wrap.  The one way to change horiz_off and wrap_lines.
void set_horizontal_view(int offset, int wrap);
// The view a file opens with: column 0, wrapped unless lines start chopped.
void reset_horizontal_view();
void set_start_chopped(int on);
int starts_chopped();
// Lines have just stopped wrapping: the top row may hold a later row of a
// wrapped text line, which is no display line any more; the screen is
// painted again from the start of that text line.
void repaint_unwrapped();
void jump_end();
void jump_line(int n);
void jump_percent(int n);
void jump_pos(file_pos pos);
// The screen painted afresh from the display line `pos`, or from the one
// shown for it (a filter was set or cleared): the last screenful when no
// shown line follows.
void show_view_from(file_pos pos);
// A named file that shrank while shown: the line numbers counted beyond
// its end are forgotten, and when the screen showed anything at or beyond
// its new end, it shows the last screenful of what is left.
void notice_shrunk_file();
// Clears the screen and shows the screenful of text that ends at `end`
// (the position after the bottom row), or all of a shorter text from the
// top; the position table is made anew.
void show_last_screenful(file_pos end);
void paint_forward(int n, file_pos pos, int paging);
void paint_backward(int n, file_pos pos, int paging);
void note_eof();
int back_scroll_lines();
// The display settings of a fresh start.
void scroll_reset();

// --- header.cpp: header lines fixed at the top of the screen ---
// The setting (header N, -H): how many text lines of the input stay on top.
void set_header_lines(int n);
int header_lines_wanted();
// The header as last measured: the rows it takes (0: none) and where the
// text beneath it may begin.  The screen's rows below the header are the
// text rows: the position table's rows, numbered from the first of them.
int header_rows();
file_pos header_end();
int text_rows();
// Measures the header for a screen painted afresh (a change of its rows
// empties the position table).
void measure_header();
// `pos`, or the header's end for a position the header shows.
file_pos below_header(file_pos pos);
// The header rows painted again over what is there: from the cursor down,
// or from the top of the screen.  The cursor ends at the first text row.
void paint_header_rows();
void paint_header();
void header_reset();

// --- paint.cpp: line painting ---
extern int erase_before_next_line;
void paint_line();
// The display line in `line_text`, which begins at `pos`, behind the
// line-number column when one is shown.
void paint_row(file_pos pos);
// The line-number column (-N, the numbers command).  The setting; and its
// width fitted to a screen painted afresh from `top` (none while the
// setting is off, or lines are not counted).
void set_number_column(int on);
int number_column_wanted();
void fit_number_column(file_pos top);
void paint_reset();

// --- marks.cpp: remembered views ---
// One remembered view.  `file` is empty until the mark is first recorded;
// `position` is -1 when it is not set (or was set on an empty screen);
// `line_number` is 0 when not determined.
struct mark_record {
    int horiz_off = 0;
    int wrap_lines = 1;
    file_pos position = -1;
    std::optional<std::string> file;
    std::string key_line;           // sample text for the listing, raw
    int line_number = 0;
};
// The letters a to z at 0 to 25, then the last-position mark.
enum { LAST_POSITION_MARK = 26, MARK_COUNT = 27 };
extern mark_record mark_table[MARK_COUNT];
void init_marks();
void set_mark(int letter);
void remember_position();
// Where going to a mark leads: the mark's file, and the view to show there.
struct mark_view {
    std::string file;
    file_pos position;
    int horiz_off;
    int wrap_lines;
};
// The view of the mark named by `key` (a letter, or the apostrophe for the
// last position); false, with the reason recorded as a message when there
// is one, when it leads nowhere.  The caller makes the file current and
// then shows the view with show_mark_view.
bool gomark(int key, mark_view *view);
void show_mark_view(const mark_view &view);
int list_marks();

#endif
