// The screen position table: for each text row (the rows beneath the
// header lines, when there are any) the file position where its display
// line begins, and after them the position where the line after the
// bottom row begins; -1 marks an empty entry.
//
// Invariant: every access is to an index below both `screen_height` and
// `position_capacity`.  The table is enlarged (new entries empty) before
// any access once the window has grown past it; when memory for that cannot
// be had, a fatal error is recorded (the command loop ends the program once
// it is shown) and the rows beyond the table read as empty meanwhile.
#include <cstdlib>

#include "display.h"

int position_capacity;
static file_pos *position_table;

// Entries wanted: one per terminal row, the bottom line's being the entry
// after the bottom text row.
static int entries_wanted()
{
    return screen_height > 0 ? screen_height : 0;
}

// Entries for the rows beneath the header (the whole screen without one).
static int entries_of_rows()
{
    int rows = screen_height - header_rows();
    return rows > 0 ? rows : 0;
}

// Entries in use: those of the rows, as far as the table holds them (none
// before it could first be had).
static int entries_in_use()
{
    if (position_table == nullptr)
        return 0;
    int wanted = entries_of_rows();
    return wanted > position_capacity ? position_capacity : wanted;
}

static void ensure_capacity()
{
    int wanted = entries_wanted();
    if (position_table != nullptr && wanted <= position_capacity)
        return;
    int capacity = wanted;
    if (position_table == nullptr && capacity < MIN_POSITION_CAPACITY)
        capacity = MIN_POSITION_CAPACITY;
    int old_capacity = position_table != nullptr ? position_capacity : 0;
    void *grown = realloc(position_table, sizeof(file_pos) * static_cast<size_t>(capacity));
    if (grown == nullptr) {
        if (!fatal_error_pending())
            set_fatal_error("cannot allocate memory");
        return;
    }
    position_table = static_cast<file_pos *>(grown);
    for (int i = old_capacity; i < capacity; i++)
        position_table[i] = -1;
    position_capacity = capacity;
}

static int entry_of_row(int row)
{
    switch (row) {
    case SCREEN_BOTTOM:
        return entries_of_rows() - 2;
    case SCREEN_AFTER_BOTTOM:
        return entries_of_rows() - 1;
    case SCREEN_MIDDLE:
        return entries_of_rows() / 2;
    default:
        return row;
    }
}

file_pos screen_pos(int row)
{
    if (position_table == nullptr)
        return -1;
    ensure_capacity();
    int entry = entry_of_row(row);
    if (entry < 0 || entry >= entries_in_use())
        return -1;
    return position_table[entry];
}

void pos_push_bottom(file_pos pos)
{
    ensure_capacity();
    int count = entries_in_use();
    if (count == 0)
        return;
    for (int i = 1; i < count; i++)
        position_table[i - 1] = position_table[i];
    position_table[count - 1] = pos;
}

void pos_set_after_bottom(file_pos pos)
{
    ensure_capacity();
    int count = entries_in_use();
    if (count > 0)
        position_table[count - 1] = pos;
}

void pos_push_top(file_pos pos)
{
    ensure_capacity();
    int count = entries_in_use();
    if (count == 0)
        return;
    for (int i = count - 1; i > 0; i--)
        position_table[i] = position_table[i - 1];
    position_table[0] = pos;
}

// The whole allocation is emptied, so that rows a later, taller window
// brings into use read as empty until they are written.
void pos_reset()
{
    ensure_capacity();
    for (int i = 0; i < position_capacity; i++)
        position_table[i] = -1;
}

void pos_compact()
{
    ensure_capacity();
    int count = entries_in_use();
    int first = 0;
    while (first < count && position_table[first] == -1)
        first++;
    if (first == 0 || first == count)
        return;
    for (int i = first; i < count; i++) {
        position_table[i - first] = position_table[i];
        position_table[i] = -1;
    }
}

// A row with nothing on it shows no position, so the row found must be
// filled as well as being followed by a greater entry.
int pos_row_of(file_pos pos)
{
    if (position_table == nullptr)
        return -1;
    ensure_capacity();
    int count = entries_in_use();
    if (count < 2 || pos < position_table[0])
        return -1;
    for (int row = 1; row < count; row++) {
        if (position_table[row] > pos)
            return position_table[row - 1] != -1 ? row - 1 : -1;
    }
    return -1;
}

// A row shows a line when its entry and the next one are filled: on a
// screen the end of the input leaves part empty, the entry after the last
// line shown holds the end.
int pos_last_row()
{
    if (position_table == nullptr)
        return -1;
    ensure_capacity();
    for (int row = entries_in_use() - 2; row >= 0; row--) {
        if (position_table[row] != -1 && position_table[row + 1] != -1)
            return row;
    }
    return -1;
}

// The number of the text line on `row` (0 without line numbers); a row
// with nothing on it counts as the end of the input.
int linenum_current(int row)
{
    if (!show_line_numbers)
        return 0;
    file_pos pos = screen_pos(row);
    if (pos == -1)
        pos = cache_length();
    return linenum_find(pos);
}
