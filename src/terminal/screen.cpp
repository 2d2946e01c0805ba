// Placeholder: not yet written.
#include <cstdlib>

#include "terminal.h"

int auto_margins;
int newline_glitch;
int retains_below;
int standout_width, standout_end_width;
int underline_width, underline_end_width;
int bold_width, bold_end_width;
int attr_state;
int tty_erase_char, tty_kill_char, tty_werase_char;
void set_tty_mode(int) {}
void read_termcap() {}
const char *termcap_value(const char *) { return {}; }
void term_init() {}
void term_deinit() {}
void cursor_home() {}
void cursor_lower_left() {}
void insert_line_top() {}
void ring_bell() {}
void clear() {}
void erase_to_eol() {}
void standout_on() {}
void standout_off() {}
void underline_on() {}
void underline_off() {}
void bold_on() {}
void bold_off() {}
void cursor_backspace() {}
void erase_previous_char() {}
int screen_height = -1;
int screen_width;
