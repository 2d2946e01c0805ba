// Marks: remembered views of a file, revisited by name, and their listing.
//
// A mark holds the file, the position of the top line, the horizontal
// offset and the wrap setting of the view it was set on, plus a sample line
// and a line number for the listing.  The letters a to z are the user's;
// the last-position mark (shown as an apostrophe) is set by the pager
// itself before every far jump, so that an apostrophe goes back.  Every
// field of a mark is rewritten together by record_mark; a mark is never
// cleared once set, only set again.
//
// Owned here: mark_table.  A mark with no file was never recorded; a mark
// whose position is -1 was recorded on an empty screen.
#include "display.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "file/file.h"
#include "terminal/terminal.h"

mark_record mark_table[MARK_COUNT];

// Up to this many lines from the top of the view compete for the sample
// line of the listing.
enum { KEY_LINE_CANDIDATES = 4 };

static int check_mark_letter(int c)
{
    if (c >= 'a' && c <= 'z')
        return 0;
    set_message("Choose a letter between 'a' and 'z'");
    return 1;
}

// The longest of the first few raw lines from `pos`, the later one on equal
// lengths; reads past the end (or from no position) count as empty.
static std::string longest_raw_line(file_pos pos)
{
    std::string longest;
    for (int i = 0; i < KEY_LINE_CANDIDATES; i++) {
        pos = next_raw_line(pos);
        size_t length = strlen(line_text);
        if (length >= longest.size())
            longest.assign(line_text, length);
    }
    return longest;
}

// The read position of the input is kept: a jump to the end records the
// view it leaves between finding the end and building the screen up from it.
static void record_mark(mark_record *m)
{
    file_pos reading = cache_tell();
    m->position = screen_pos(SCREEN_TOP);
    m->horiz_off = horiz_off;
    m->wrap_lines = wrap_lines;
    // Only a program that has not opened a file yet has no current file.
    m->file = current_file != nullptr ? std::optional<std::string>(current_file)
                                      : std::nullopt;
    m->key_line = longest_raw_line(m->position);
    m->line_number = linenum_find(m->position);
    cache_seek(reading);
}

void init_marks()
{
    for (mark_record &m : mark_table)
        m = mark_record{};
}

void set_mark(int letter)
{
    if (check_mark_letter(letter) != 0)
        return;
    record_mark(&mark_table[letter - 'a']);
}

void remember_position()
{
    record_mark(&mark_table[LAST_POSITION_MARK]);
}

// Whether the view of a mark with this offset and wrap setting looks unlike
// the current one: then the screen is repainted with the mark's settings
// instead of only moving to its position.  An offset within a third of the
// screen width counts as the same.
static bool layout_differs(int mark_offset, int mark_wrap)
{
    int64_t third = screen_width / 3;
    int64_t offset = mark_offset;
    return offset > horiz_off + third || offset < horiz_off - third ||
           mark_wrap != wrap_lines;
}

bool gomark(int key, mark_view *view)
{
    const mark_record *m;
    if (key == '\'') {
        m = &mark_table[LAST_POSITION_MARK];
    } else {
        if (check_mark_letter(key) != 0)
            return false;
        m = &mark_table[key - 'a'];
        if (m->position == -1) {
            set_message("mark not set");
            return false;
        }
    }
    // The mark is copied: showing it may record the last position over it.
    // The last-position mark has no file only before the first screen (an
    // initialization script); there is nowhere to go back to.
    if (!m->file)
        return false;
    *view = mark_view{*m->file, m->position == -1 ? 0 : m->position,
                      m->horiz_off, m->wrap_lines};
    return true;
}

// The mark's file is the current one by now, so only the offset and the
// wrap setting can make the layout differ.
void show_mark_view(const mark_view &view)
{
    if (!layout_differs(view.horiz_off, view.wrap_lines)) {
        jump_pos(view.position);
        return;
    }
    remember_position();
    set_horizontal_view(view.horiz_off, view.wrap_lines);
    repaint_from(display_line_holding(view.position));
}

// Width of the file column of the listing: the longest file name, or 0 (no
// column) when all the marks lie in one file.
static int file_column_width()
{
    const std::string *first = nullptr;
    bool several_files = false;
    size_t width = 0;
    for (const mark_record &m : mark_table) {
        if (!m.file)
            continue;
        if (first == nullptr)
            first = &*m.file;
        else if (*first != *m.file)
            several_files = true;
        width = std::max(width, m.file->size());
    }
    if (!several_files)
        return 0;
    return width > INT_MAX ? INT_MAX : static_cast<int>(width);
}

static int mark_key(int index)
{
    return index == LAST_POSITION_MARK ? '\'' : 'a' + index;
}

// The header and one row per mark that has a file; -1 as soon as a write
// fails.
static int write_mark_table(FILE *stream)
{
    int width = file_column_width();
    int result = width > 0 ? fprintf(stream, "key\t%.*s\tline#\tkeyline\n\n", width, "file")
                           : fprintf(stream, "key\tline#\tkeyline\n\n");
    for (int i = 0; i < MARK_COUNT && result >= 0; i++) {
        const mark_record &m = mark_table[i];
        if (!m.file)
            continue;
        if (width > 0)
            result = fprintf(stream, "%c\t%.*s\t%d\t%s\n", mark_key(i), width,
                             m.file->c_str(), m.line_number, m.key_line.c_str());
        else
            result = fprintf(stream, "%c\t%d\t%s\n", mark_key(i), m.line_number,
                             m.key_line.c_str());
    }
    return result < 0 ? -1 : 0;
}

// The reason a write or close failed (its errno, 0 when unknown), as the
// pending system error.
static void set_write_error(int error)
{
    if (error != 0)
        set_error(ERR_SYSTEM, "%s", strerror(error));
    else
        set_error(ERR_SYSTEM, "fprintf() failed");
}

// The listing is written to a temporary file and shown by the pager itself,
// run through the shell.  The file is removed on every path: a listing that
// failed leaves nothing behind either.
int list_marks()
{
    char name[] = "/tmp/vorn.XXXXXXXXXX";
    int fd = mkostemp(name, O_CLOEXEC);
    if (fd < 0) {
        set_error(ERR_SYSTEM, "mkstemp(): %s", strerror(errno));
        return -1;
    }
    FILE *stream = fdopen(fd, "w");
    if (stream == nullptr) {
        set_error(ERR_SYSTEM, "fdopen(): %s", strerror(errno));
        close(fd);
        unlink(name);
        return -1;
    }
    errno = 0;
    int written = write_mark_table(stream);
    int write_errno = errno;
    // A failed close lost buffered rows: the table would be shown cut short.
    if (fclose(stream) != 0 && written == 0) {
        written = -1;
        write_errno = errno;
    }
    if (written != 0) {
        set_write_error(write_errno);
        unlink(name);
        return -1;
    }
    // The pager may be ended by a signal while the listing is shown (a
    // hang-up, a termination): the file goes then too.
    remove_at_termination(name);
    int shown = view_with_this_program("-ec", name);
    remove_at_termination(nullptr);
    if (shown != 0) {
        unlink(name);
        return -1;
    }
    if (unlink(name) != 0) {
        set_error(ERR_SYSTEM, "unlink(): %s", strerror(errno));
        return -1;
    }
    return 0;
}
