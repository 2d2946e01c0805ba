// The display: screen position table, scrolling and jumping, the output
// buffer and line painting.
#ifndef VORN_DISPLAY_H
#define VORN_DISPLAY_H

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
void pos_reset();
void pos_compact();
int pos_row_of(file_pos pos);

// --- scroll.cpp: scrolling and jumping ---
extern int first_paint;
extern int file_fits_screen;
extern int back_scroll_limit;
void scroll_forward(int n, int paging);
void scroll_backward(int n, int paging);
void repaint_screen();
void repaint_from(file_pos pos);
void jump_end();
void jump_line(int n);
void jump_percent(int n);
void jump_pos(file_pos pos);
void paint_forward(int n, file_pos pos, int paging);
void paint_backward(int n, file_pos pos, int paging);
void note_eof();
int back_scroll_lines();
// The display settings of a fresh start; back_scroll_limit, which the
// terminal description decides, stays.
void scroll_reset();

// --- output.cpp: the output buffer ---
enum { OUT_BUFFER_SIZE = 2048 };
void out_char(int c);
int out_char_sink(int c);           // out_char with the signature tputs wants
void out_str(const char *s);
int out_visible(const char *s);
// The letter after the caret when byte c is shown as ^X: the byte with its
// high bit cleared, then "?" for DEL, else with the bit 0x40 set.
int caret_letter(int c);
void out_flush();
void out_discard();

// --- paint.cpp: line painting ---
extern int erase_before_next_line;
void paint_line();
void show_busy_message(const char *msg);
void paint_reset();

#endif
