// Marks.  Not written yet: there are no marks to clear or record, and the
// commands that use them report themselves as unavailable.
#include "find.h"

void init_marks() {}
void set_mark(int) {}
void remember_position() {}
void gomark(int) {}
int list_marks()
{
    return -1;
}
