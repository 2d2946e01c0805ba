// The display: screen position table, scrolling and jumping, the output
// buffer and line painting.
#ifndef VORN_DISPLAY_H
#define VORN_DISPLAY_H

#include <cstddef>
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

// --- scroll.cpp: scrolling and jumping ---
extern int first_paint;
extern int back_scroll_limit;
void scroll_forward(int n, int paging);
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
// The display settings of a fresh start; back_scroll_limit, which the
// terminal description decides, stays.
void scroll_reset();

// --- paint.cpp: line painting ---
extern int erase_before_next_line;
void paint_line();
void show_busy_message(const char *msg);
void paint_reset();

#endif
