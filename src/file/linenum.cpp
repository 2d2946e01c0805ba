// The line-number cache: known (position, line number) pairs of text-line
// starts, in a circular list sorted by position behind a sentinel that
// stands for line 1 at position 0 and is never removed.
//
// The entries come from a fixed pool of LINENUM_POOL_SIZE; nothing is
// allocated.  Between operations at most LINENUM_POOL_SIZE - 1 entries are
// in the list and one is held back as the spare, so an insertion always has
// an entry to take; when it took the spare, the entry whose neighbours lie
// closest together (smallest `gap`) is dropped and becomes the spare.
//
// Line numbers count newlines: a text line is one line however long it is.
#include <climits>
#include <cstring>
#include <ctime>

#include "terminal/terminal.h"
#include "file.h"

namespace {

struct linenum_entry {
    linenum_entry *next;
    linenum_entry *prev;
    file_pos pos;       // start of a text line
    file_pos gap;       // next->pos - prev->pos
    int line;           // its number, from 1
};

// Once per this many lines a long walk looks at the clock.
enum { BUSY_CHECK_LINES = 100, BUSY_DELAY_SECONDS = 2 };

}  // namespace

// The text line that held the position counted last: [begin, end) is line
// `line` (0: none).  A move inside one long line asks for positions inside
// it prompt after prompt; counting through the line each time would cost
// its length.
struct counted_line {
    file_pos begin, end;
    int line;
    unsigned generation;    // cache_generation when it was counted
};

static counted_line last_counted;

static void remember_counted(file_pos begin, file_pos end, int line)
{
    last_counted = {begin, end, line, cache_generation};
}

static linenum_entry linenum_pool[LINENUM_POOL_SIZE];
static linenum_entry linenum_head;
static linenum_entry *linenum_free;
static linenum_entry *linenum_spare;

void linenum_clear()
{
    last_counted.line = 0;
    for (int i = 0; i < LINENUM_POOL_SIZE - 1; i++)
        linenum_pool[i].next = i + 1 < LINENUM_POOL_SIZE - 1 ? &linenum_pool[i + 1]
                                                             : nullptr;
    linenum_free = &linenum_pool[0];
    linenum_spare = &linenum_pool[LINENUM_POOL_SIZE - 1];
    linenum_head.next = linenum_head.prev = &linenum_head;
    linenum_head.pos = 0;
    linenum_head.gap = 0;
    linenum_head.line = 1;
}

// The list is usable before the first input is opened.
static void ensure_list()
{
    if (linenum_head.next == nullptr)
        linenum_clear();
}

static void update_gap(linenum_entry *e)
{
    if (e == &linenum_head || e->next == &linenum_head)
        return;
    e->gap = e->next->pos - e->prev->pos;
}

// The entry whose loss costs least: the smallest gap, the last one of equal
// gaps, never the last entry of the list.
static linenum_entry *cheapest_entry()
{
    linenum_entry *choice = nullptr;
    for (linenum_entry *e = linenum_head.next; e->next != &linenum_head; e = e->next) {
        if (choice == nullptr || e->gap <= choice->gap)
            choice = e;
    }
    return choice;
}

static void drop_cheapest_entry()
{
    linenum_entry *victim = cheapest_entry();
    if (victim == nullptr)
        return;
    linenum_entry *before = victim->prev;
    linenum_entry *after = victim->next;
    before->next = after;
    after->prev = before;
    update_gap(before);
    update_gap(after);
    linenum_spare = victim;
}

// A number of 0 means "not determined" (a search that started where no
// number was known): such a pair carries nothing to count on from.
void linenum_add(int line, file_pos pos)
{
    if (line <= 0 || pos < 0)
        return;
    ensure_list();
    linenum_entry *e = linenum_head.next;
    for (; e != &linenum_head && e->pos < pos; e = e->next) {
        if (e->line == line)
            return;
    }
    linenum_entry *entry = linenum_free;
    if (entry != nullptr) {
        linenum_free = entry->next;
    } else {
        entry = linenum_spare;
        linenum_spare = nullptr;
    }
    VORN_ASSERT(entry != nullptr);
    linenum_entry *before = e->prev;
    entry->pos = pos;
    entry->line = line;
    entry->gap = 0;
    entry->prev = before;
    entry->next = e;
    before->next = entry;
    e->prev = entry;
    update_gap(entry);
    update_gap(e);
    update_gap(before);
    if (linenum_spare == nullptr)
        drop_cheapest_entry();
}

void linenum_forget_from(file_pos pos)
{
    if (last_counted.end > pos)
        last_counted.line = 0;
    ensure_list();
    while (linenum_head.prev != &linenum_head && linenum_head.prev->pos >= pos) {
        linenum_entry *last = linenum_head.prev;
        last->prev->next = &linenum_head;
        linenum_head.prev = last->prev;
        last->next = linenum_free;
        linenum_free = last;
    }
}

namespace {

// The clock is read at most once per BUSY_CHECK_LINES + 1 lines, and no
// more once the message is up.
struct busy_watch {
    time_t started;
    int64_t lines;      // -1 once the message has been shown
};

}  // namespace

void show_busy_message(const char *msg)
{
    cursor_lower_left();
    erase_to_eol();
    standout_on();
    out_visible(msg);
    out_str("... (interrupt to abort)");
    standout_off();
    out_flush();
}

static void busy_check(busy_watch *watch, int64_t lines)
{
    if (watch->lines < 0)
        return;
    watch->lines += lines;
    if (watch->lines <= BUSY_CHECK_LINES)
        return;
    watch->lines = 0;
    if (time(nullptr) >= watch->started + BUSY_DELAY_SECONDS) {
        show_busy_message("Calculating line numbers");
        watch->lines = -1;
    }
}

// A walk over a named file first counts the newlines of whole stretches
// (line_scan_count), COUNT_STRIDE bytes at a time between the looks at the
// signals and the clock; it then takes the last line or two one at a time,
// and so does the whole walk over an input that cannot be read by position.
// Either way the lines passed are the same.
enum { COUNT_STRIDE = 1 << 20 };

// Moves the line start *q and its number *n forward over every line that
// ends before `pos`.  False when a signal abandoned the walk.
static bool skip_forward(file_pos *q, int64_t *n, file_pos pos, busy_watch *watch)
{
    for (file_pos from = *q; from < pos;) {
        file_pos to = pos - from > COUNT_STRIDE ? from + COUNT_STRIDE : pos;
        newline_count count;
        file_pos reached = line_scan_count(from, to, &count);
        if (reached == -1)
            return true;
        if (pending_signals != 0)
            return false;
        if (count.lines > 0) {
            *q = count.last_start;
            *n += count.lines;
            busy_check(watch, count.lines);
        }
        if (reached < to)
            return true;    // the end of the input
        from = to;
    }
    return true;
}

// Moves the line start *q and its number *n backward over every line that
// starts after `pos`.  False when a signal abandoned the walk.
static bool skip_backward(file_pos *q, int64_t *n, file_pos pos, busy_watch *watch)
{
    // the newline at *q - 1 ends the line above; those before it start lines
    for (file_pos to = *q - 1; to > pos;) {
        file_pos from = to - pos > COUNT_STRIDE ? to - COUNT_STRIDE : pos;
        newline_count count;
        file_pos reached = line_scan_count(from, to, &count);
        if (reached != to)
            return true;    // not readable by position, or the file shrank
        if (pending_signals != 0)
            return false;
        if (count.lines > 0) {
            *q = count.first_start;
            *n -= count.lines;
            busy_check(watch, count.lines);
        }
        to = from;
    }
    return true;
}

// The line holding the position counted to is read on only so far to find
// its end (and record the next line's start): a line may never end (an
// endless device), and its number is known without its end.
enum { LINE_END_LOOKAHEAD = 1 << 20 };

static int line_without_end(file_pos start, int64_t line)
{
    if (line > INT_MAX)
        return 0;
    linenum_add(static_cast<int>(line), start);
    return static_cast<int>(line);
}

// Counts text lines from the known start `from` of line `from->line`
// toward `pos`, forward or backward; records and returns the number of the
// line holding `pos`.  A number beyond the range of an int is not known
// (0).  The walk stops at the first line start at or beyond `pos` going
// forward (pos then lies on the line before it, unless it is that start),
// at or before it going backward.
static int count_lines(const linenum_entry *from, file_pos pos, busy_watch *watch)
{
    bool forward = from->pos < pos;
    file_pos q = from->pos;
    int64_t n = from->line;
    if (!(forward ? skip_forward(&q, &n, pos, watch) : skip_backward(&q, &n, pos, watch)))
        return 0;
    file_pos passed = q;    // the line start the last step left
    while (forward ? q < pos : q > pos) {
        passed = q;
        int newline = 0;
        q = forward ? line_scan_next(q, 1, &newline, pos + LINE_END_LOOKAHEAD)
                    : line_scan_prev(q, 1);
        if (pending_signals != 0 || q == -1)
            return 0;
        if (forward && !newline && q >= pos + LINE_END_LOOKAHEAD)
            return line_without_end(passed, n);
        busy_check(watch, 1);
        n += forward ? 1 : -1;
    }
    if (n <= INT_MAX)
        linenum_add(static_cast<int>(n), q);
    int64_t line = q > pos ? n - 1 : n;
    if (line > INT_MAX)
        return 0;
    if (q != pos)
        remember_counted(q < pos ? q : passed, q < pos ? passed : q, static_cast<int>(line));
    return static_cast<int>(line);
}

int linenum_find(file_pos pos)
{
    if (!show_line_numbers || pos < 0)
        return 0;
    if (pos == 0)
        return 1;
    if (last_counted.line > 0 && last_counted.generation == cache_generation &&
        last_counted.begin <= pos && pos < last_counted.end)
        return last_counted.line;
    ensure_list();
    linenum_entry *e = linenum_head.next;
    while (e != &linenum_head && e->pos < pos)
        e = e->next;
    if (e != &linenum_head && e->pos == pos)
        return e->line;

    out_flush();
    line_scan_reset();
    busy_watch watch = {time(nullptr), 0};
    linenum_entry *p = e->prev;
    if (e == &linenum_head || pos - p->pos < e->pos - pos)
        return count_lines(p, pos, &watch);
    return count_lines(e, pos, &watch);
}

// The start of the line after the k-th newline at or after `from` (k >= 1),
// read in the scanner's pieces; -1 when the input ends first (*found then
// holds the newlines there were) or a signal abandoned the walk.
static file_pos after_newlines(file_pos from, int64_t k, int64_t *found)
{
    *found = 0;
    while (pending_signals == 0) {
        size_t avail = 0;
        const unsigned char *bytes = line_scan_bytes(from, &avail);
        if (bytes == nullptr || avail == 0)
            return -1;
        const unsigned char *end = bytes + avail;
        int64_t lines = count_newlines(bytes, end);
        if (*found + lines < k) {
            *found += lines;
            from += static_cast<file_pos>(avail);
            continue;
        }
        const unsigned char *p = bytes;
        for (;;) {
            p = static_cast<const unsigned char *>(memchr(p, '\n', end - p)) + 1;
            if (++*found == k)
                return from + (p - bytes);
        }
    }
    return -1;
}

// The start of the line after the m-th newline before `to` (m >= 1),
// counted back over whole stretches, the first small and each twice the
// last up to COUNT_STRIDE (a jump a few lines back reads a few lines);
// -1 when the input cannot be read by position, or a signal abandoned the
// walk.  The stretch that holds it is read forward to the newline.
static file_pos before_newlines(file_pos to, int64_t m)
{
    file_pos stride = COUNT_STRIDE / 16;
    while (to > 0) {
        file_pos from = to > stride ? to - stride : 0;
        if (stride < COUNT_STRIDE)
            stride *= 2;
        newline_count count;
        if (line_scan_count(from, to, &count) != to || pending_signals != 0)
            return -1;
        if (count.lines >= m) {
            int64_t found = 0;
            return after_newlines(from, count.lines - m + 1, &found);
        }
        m -= count.lines;
        to = from;
    }
    return m == 1 ? 0 : -1;
}

// The known pair nearest to `line` by number goes first: from the one at
// or before it forward, or from the one after it backward when that is
// nearer.  The start found is kept as a pair, so that another jump near it
// starts there.
file_pos linenum_line_start(int line, int *lines_in_input)
{
    *lines_in_input = 0;
    if (line <= 1)
        return 0;
    ensure_list();
    linenum_entry *e = linenum_head.next;
    while (e != &linenum_head && e->line <= line)
        e = e->next;
    const linenum_entry *p = e->prev;
    if (p->line == line)
        return p->pos;
    out_flush();
    line_scan_reset();
    file_pos pos = -1;
    if (e != &linenum_head && e->line - line < line - p->line)
        pos = before_newlines(e->pos, static_cast<int64_t>(e->line) - line + 1);
    if (pos == -1 && pending_signals == 0) {
        int64_t found = 0;
        pos = after_newlines(p->pos, static_cast<int64_t>(line) - p->line, &found);
        if (pos == -1 && pending_signals == 0) {
            int64_t lines = p->line - 1 + found;
            *lines_in_input = lines > INT_MAX ? INT_MAX : static_cast<int>(lines);
        }
    }
    if (pos != -1 && pending_signals == 0)
        linenum_add(line, pos);
    return pending_signals != 0 ? -1 : pos;
}
