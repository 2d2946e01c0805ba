// Placeholder: not yet written.
#include <cstdlib>

#include "file.h"

char line_buffer[LINE_BUFFER_SIZE];
char *line_text;
int line_column;
int overstrike_state;
void line_start() {}
int line_append(int) { return {}; }
file_pos next_display_line(file_pos) { return {}; }
file_pos prev_display_line(file_pos) { return {}; }
file_pos next_raw_line(file_pos) { return {}; }
file_pos prev_raw_line(file_pos) { return {}; }
