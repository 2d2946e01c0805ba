// Placeholder: not yet written.
#include <cstdlib>

#include "display.h"

int first_paint;
int file_fits_screen;
int back_scroll_limit;
void scroll_forward(int, int) {}
void scroll_backward(int, int) {}
void repaint_screen() {}
void repaint_from(file_pos) {}
void jump_end() {}
void jump_line(int) {}
void jump_percent(int) {}
void jump_pos(file_pos) {}
void paint_forward(int, file_pos, int) {}
void paint_backward(int, file_pos, int) {}
void note_eof() {}
int back_scroll_lines() { return {}; }
int horiz_off;
int wrap_lines = 1;
int repaint_needed;
int at_eof;
