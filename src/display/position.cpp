// Placeholder: not yet written.
#include <cstdlib>

#include "display.h"

int position_capacity;
file_pos screen_pos(int) { return {}; }
void pos_push_bottom(file_pos) {}
void pos_push_top(file_pos) {}
void pos_reset() {}
void pos_compact() {}
int pos_row_of(file_pos) { return {}; }
