// Following growing input: the view stays at the end of the current input
// and shows the text as it arrives, until a key or the interrupt key stops
// it (the key is used up: it only stops).
//
// Waiting never spins.  For a sequential input (a pipe, standard input, a
// fifo) the wait sleeps in ppoll on the keyboard and the input together, so
// a writer's lines show as soon as they are written, and its closing of
// the pipe ends the waiting.  A named file cannot be waited for that way
// (it is always readable), so there the wait ends every POLL_INTERVAL_MS
// to look at the file's length, and, when following by name, at what the
// name names now: a few system calls ten times a second.  A file that got
// shorter was truncated in place (a log rotated by copy and truncate): it
// is read again from its new beginning.  One replaced by another file
// under its name (a log rotated by rename) is opened again by name when
// `follow_by_name` is set; otherwise the old file stays the input.
//
// While following, a sequential input is read without waiting
// (sequential_reads_wait clear), so that painting never sits in a read
// behind a slow writer: a line not yet ended simply ends the text for now.
// A screen whose last line was cut that way is built again when more text
// comes.  New text of at most a screenful scrolls onto the screen; more
// than that shows the new last screenful.  The line number on the waiting
// line is that of the last line shown; the line-number cache counts it on
// from the number it knew for the text before, never from the top.
//
// When following stops, the view is ordinary paging at the end, and the
// prompt does not end the program at that end for as long as the view has
// not moved from it (`end_held`, `held_top`): the user asked to watch the
// end, not to leave.  A move that reaches the end again ends the program
// as usual (without -e).
//
// Owned here: `follow_by_name`, `follow_requested`, `end_held`,
// `held_top`.
#include <sys/stat.h>

#include <string>

#include "command.h"
#include "display/display.h"
#include "file/file.h"
#include "find/find.h"
#include "terminal/terminal.h"

int follow_by_name;
int follow_requested;

static int end_held;
static file_pos held_top = -1;

namespace {

// How often a named file is looked at while nothing else happens.
enum { POLL_INTERVAL_MS = 100 };
// The most of a sequential input read in one look before the keyboard is
// looked at again: a writer that never pauses cannot hold the pager.
enum { READ_LIMIT = 1 << 20 };

struct follow_state {
    file_pos known_length;  // a named file's length at the last look
    file_pos shown_end;     // the end of the text the screen shows
    bool tail_open;         // the screen ends inside a line not yet ended
    // What last happened to the file, said on the waiting line for as long
    // as following lasts: text that comes at once must not hide it.
    const char *note;
};

// Where the text that can be shown now ends.  A sequential input is read
// on, without waiting, as far as its writer has written (at most
// READ_LIMIT bytes at a time).
file_pos available_end()
{
    if (!cache_input_sequential())
        return cache_length();
    if (cache_seek(pipe_read_offset) != 0)
        return pipe_read_offset;
    for (int n = 0; n < READ_LIMIT && pending_signals == 0; n++)
        if (cache_next_char() == 0)
            break;
    return pipe_read_offset;
}

bool input_ended()
{
    return cache_input_sequential() && eof_offset != -1;
}

// Whether text that ends at `end` ends inside a line that may go on.
bool ends_inside_line(file_pos end)
{
    if (end <= 0 || input_ended() || cache_seek(end - 1) != 0)
        return false;
    int last = cache_next_char();
    return last != '\n' && last != 0;
}

void show_end(follow_state *st, file_pos end)
{
    show_last_screenful(end);
    st->shown_end = end;
    st->tail_open = ends_inside_line(end);
}

// Display lines from `from` up to `end`; one more than a screenful means
// "more than fits".
int rows_between(file_pos from, file_pos end)
{
    int rows = 0;
    for (file_pos p = from; p != -1 && p < end && rows <= text_rows(); rows++)
        p = next_display_line(p);
    return rows;
}

// Through a filter, text may come that shows nothing.  On a screen that
// is not full the last screenful is then not built again, which would walk
// back through all the hidden text at every look (a rare match in a big
// log): the text is taken as shown.  A hidden line not yet ended is left
// for the next look, where it may have become a line that shows.
bool shows_nothing_new(follow_state *st, file_pos end)
{
    file_pos shown = shown_display_line(st->shown_end);
    if (shown == -1 || shown < end || pending_signals != 0)
        return false;
    file_pos taken = end;
    if (ends_inside_line(end)) {
        taken = line_scan_prev(end, 1);
        if (taken < st->shown_end)
            return false;
    }
    st->shown_end = taken;
    return true;
}

// Shows what came after the screen's text, up to `end`; false when nothing
// came.
bool show_arrivals(follow_state *st, file_pos end)
{
    if (end <= st->shown_end)
        return false;   // nothing new (and nothing beyond a line cut short)
    if (st->tail_open) {
        // What was worked out from the cut line (its end taken for the
        // end of a line) is wrong now that it goes on.
        linenum_forget_from(st->shown_end);
        cache_note_change();
        show_end(st, end);
        return true;
    }
    // A screen not filled to its bottom row has no position after it.
    file_pos after = screen_pos(SCREEN_AFTER_BOTTOM);
    if (after != st->shown_end && shows_nothing_new(st, end))
        return true;
    int rows = after != st->shown_end ? 0 : rows_between(after, end);
    if (rows < 1 || rows > text_rows() || pending_signals != 0) {
        show_end(st, end);
        return true;
    }
    paint_forward(rows, after, 0);
    st->shown_end = end;
    st->tail_open = ends_inside_line(end);
    return true;
}

// The name now names another regular file than the one being read.
bool replaced_by_name()
{
    struct stat named, held;
    if (pipe_mode || current_file == nullptr || input_fd < 0 ||
        stat(current_file, &named) != 0 || !S_ISREG(named.st_mode) ||
        fstat(input_fd, &held) != 0)
        return false;
    return named.st_dev != held.st_dev || named.st_ino != held.st_ino;
}

// The text of a named file is read again from its start: the cache and
// the line numbers of the old text are forgotten.
void start_text_again(follow_state *st, const char *note)
{
    cache_init(0);
    linenum_clear();
    st->note = note;
    st->known_length = cache_length();
    show_end(st, st->known_length);
}

// False when the screen stayed as it was.
bool look_at_named_file(follow_state *st)
{
    if (follow_by_name && replaced_by_name()) {
        bool changed = show_arrivals(st, cache_length());  // the old file's last words
        reopen_current_file();
        if (replaced_by_name())
            return changed;     // not opened (yet): the old file stays, tried again
        start_text_again(st, "file replaced");
        return true;
    }
    file_pos length = cache_length();
    if (length < st->known_length) {
        start_text_again(st, "file truncated");
        return true;
    }
    st->known_length = length;
    return show_arrivals(st, length);
}

// The bottom line while waiting: the name, the number of the last line
// shown, a note of what happened last, and how to stop.  It is written
// only when the screen changed: a quiet wait sends nothing to the terminal.
void show_waiting_line(const follow_state *st)
{
    file_pos end = st->shown_end;
    std::string text = prompt_name != nullptr ? prompt_name : "";
    if (filter_active())
        text += std::string(" [&") + filter_expression() + "]";
    if (show_line_numbers && end > 0) {
        int line = linenum_find(end - 1);
        if (line > 0)
            text += " line " + std::to_string(line);
    }
    text += ": ";
    if (st->note != nullptr)
        text += std::string(st->note) + "; ";
    text += "waiting for data (any key or interrupt stops)";
    cursor_lower_left();
    erase_to_eol();
    standout_on();
    out_visible_cut(text.c_str(), screen_width - 1 - standout_width - standout_end_width);
    standout_off();
}

// Standard input may also be a file or a device that simply ended.
bool reads_a_pipe()
{
    struct stat input;
    return fstat(input_fd, &input) == 0 && (S_ISFIFO(input.st_mode) || S_ISSOCK(input.st_mode));
}

// Serves a stop or a window change; false for the interrupt key.
bool serve_signals(follow_state *st)
{
    if (pending_signals & PENDING_INTERRUPT)
        return false;
    handle_pending_signals();
    if (repaint_requested()) {
        show_end(st, available_end());
        repaint_done();
    }
    return true;
}

// Waits and shows until a key, the interrupt key, or the end of a
// sequential input.
void follow_loop(follow_state *st)
{
    bool sequential = cache_input_sequential();
    bool changed = true;
    for (;;) {
        if (sequential) {
            changed |= show_arrivals(st, available_end());
            if (input_ended())
                return;
        } else {
            changed |= look_at_named_file(st);
        }
        // a read that failed ends following: the command loop shows the
        // error and ends the program, as it would at any other moment
        if (fatal_error_pending())
            return;
        if (changed)
            show_waiting_line(st);
        changed = false;
        // Painting and counting read on where the text ends: what they
        // took from the pipe is no longer there for the wait to see.
        if (sequential && (pipe_read_offset != st->shown_end || input_ended()))
            continue;
        int seen = sequential ? wait_for_input(input_fd, -1)
                              : wait_for_input(-1, POLL_INTERVAL_MS);
        if (seen == WAIT_SIGNAL) {
            if (!serve_signals(st))
                return;
            changed = true;
        }
        // a key or a turn of the wheel ends following (a mouse report read
        // whole, so that none of it is left to act as keys)
        if (seen == WAIT_KEY && read_key() != READ_ABANDONED)
            return;
    }
}

}  // namespace

void follow_input()
{
    follow_state st = {-1, -1, false, nullptr};
    catch_interrupt(1);
    set_sequential_reads_wait(0);
    remember_position();
    st.known_length = available_end();
    show_end(&st, st.known_length);
    follow_loop(&st);
    bool ended = input_ended();
    if (ended) {
        show_arrivals(&st, available_end());
        note_eof();     // the end is final now: the prompt says END
    }
    set_sequential_reads_wait(1);
    catch_interrupt(0);
    // A stop or resize that came with the key is served by the command loop.
    end_held = 1;
    held_top = screen_pos(SCREEN_TOP);
    if (ended && !fatal_error_pending())
        show_message(reads_a_pipe() ? "End of input: the writer closed the pipe"
                                    : "End of input");
}

bool end_is_held()
{
    if (end_held && screen_pos(SCREEN_TOP) == held_top)
        return true;
    end_held = 0;
    return false;
}

bool take_follow_request()
{
    bool requested = follow_requested != 0;
    follow_requested = 0;
    return requested;
}

void set_follow_by_name(int on)
{
    follow_by_name = on != 0;
}

void request_follow()
{
    follow_requested = 1;
}

void follow_reset()
{
    held_top = -1;
    follow_by_name = 0;
    follow_requested = 0;
    end_held = 0;
}
