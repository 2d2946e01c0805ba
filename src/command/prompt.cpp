// The prompt on the bottom line, and what the command loop asks before it
// (screen_for_prompt): the first screen of a newly opened file, whether the
// end on the screen ends the program.
//
// Owned here: `long_prompt`, the style chosen with `set_prompt_style`.
// Every number is formatted on its own into a small buffer, so a piece of
// the prompt is never longer than PIECE_LIMIT - 1 characters.  The whole
// prompt is cut to the bottom line (its last column left free): a prompt
// that wrapped would scroll the text up and lose rows.
#include <poll.h>
#include <sys/stat.h>

#include <cstdarg>
#include <cstdio>

#include "command.h"
#include "display/display.h"
#include "file/file.h"
#include "find/find.h"
#include "terminal/terminal.h"

int long_prompt;

namespace {

enum { PIECE_SIZE = 40, PIECE_LIMIT = 39 };

// Columns of the bottom line the prompt may still fill.
int prompt_room;

void out_prompt_text(const char *text)
{
    prompt_room -= out_visible_cut(text, prompt_room);
}

}  // namespace

static void out_piece(const char *format, ...) __attribute__((format(printf, 1, 2)));

static void out_piece(const char *format, ...)
{
    char piece[PIECE_SIZE];
    va_list args;
    va_start(args, format);
    vsnprintf(piece, PIECE_LIMIT, format, args);
    va_end(args);
    out_prompt_text(piece);
}

// Position as a percentage of the length: multiplication first, truncated
// toward zero, in a type wide enough that no position can overflow it.
static int64_t percent_of(file_pos pos, file_pos length)
{
    return static_cast<int64_t>(static_cast<__int128>(pos) * 100 / length);
}

// A file may shrink after its lines were painted: no position past its
// end is shown.
static file_pos within_length(file_pos pos, file_pos length)
{
    return length >= 0 && pos > length ? length : pos;
}

// A named input that cannot seek (a fifo) has no length until it has been
// read to its end: no percentage then, rather than a negative one.
static bool length_known(file_pos length)
{
    return length > 0;
}

void show_first_screen()
{
    if (first_pattern != nullptr && search_pattern(1, first_pattern, 1, 1))
        return;
    // a pattern not found is said before the first screen is painted
    report_messages();
    jump_line(1);
}

// The text line the long prompt names: the one on the bottom row, or the
// last one shown where the end of the input leaves the bottom rows empty;
// with no line shown (a jump to the very end), the last line of the input.
// Never the line that would begin at the end, which the input does not have.
static int described_line()
{
    int row = pos_last_row();
    if (row != -1)
        return linenum_current(row);
    file_pos end = screen_pos(SCREEN_TOP);
    if (end > 0)
        return linenum_find(end - 1);
    return linenum_current(SCREEN_BOTTOM);
}

// Both prompts say that a filter is on, with its expression, right after
// the name: a filtered view is never taken for the whole file.
static void out_prompt_name()
{
    out_prompt_text(prompt_name != nullptr ? prompt_name : "");
    if (filter_active()) {
        out_prompt_text(" [&");
        out_prompt_text(filter_expression());
        out_prompt_text("]");
    }
}

static void write_long_prompt()
{
    out_prompt_name();
    out_prompt_text(":");
    if (!pipe_mode)
        out_piece(" file %d/%d", file_index + 1, file_count);
    if (show_line_numbers)
        out_piece(" line %d", described_line());
    out_piece(" col %d", horiz_off);
    file_pos bottom = screen_pos(SCREEN_BOTTOM);
    if (bottom == -1)
        return;
    file_pos length = pipe_mode ? -1 : cache_length();
    bottom = within_length(bottom, length);
    out_piece(" byte %" PRId64, bottom);
    if (pipe_mode)
        return;
    if (length_known(length))
        out_piece("/%" PRId64 " pct %" PRId64 "%%", length, percent_of(bottom, length));
}

static void write_short_prompt()
{
    out_prompt_name();
    if (at_eof != 0) {
        if (next_file_name != nullptr) {
            out_prompt_text(": END (next file: ");
            out_prompt_text(next_file_name);
            out_prompt_text(")");
        } else {
            out_prompt_text(": END");
        }
        return;
    }
    if (pipe_mode)
        return;
    file_pos length = cache_length();
    file_pos bottom = within_length(screen_pos(SCREEN_BOTTOM), length);
    if (bottom != -1 && length_known(length))
        out_piece(" (%" PRId64 "%%)", percent_of(bottom, length));
}

bool end_ends_program()
{
    // a filtered view that reaches the end stays: it may show only a few
    // lines, and ending at once would lose the view the filter was set for
    return !opt_stay_at_end && !end_is_held() && !filter_active() &&
           !(file_index + 1 < file_count);
}

// Reading the input to its end never waits: a regular file, or a pipe or
// fifo whose writer has gone (all it wrote is in the pipe).  An input that
// may still be written to is painted as its text comes, never held back
// for the decision whether the first screen holds it whole.
static bool input_never_waits()
{
    struct stat st;
    if (fstat(input_fd, &st) != 0)
        return false;
    if (S_ISREG(st.st_mode))
        return true;
    pollfd watched = {input_fd, POLLIN, 0};
    return poll(&watched, 1, 0) == 1 && (watched.revents & POLLHUP) != 0;
}

bool first_screen_ends_program()
{
    return first_paint && first_pattern == nullptr && end_ends_program() &&
           input_never_waits() && first_screen_holds_whole_input();
}

int show_prompt()
{
    cursor_lower_left();
    erase_to_eol();
    standout_on();
    prompt_room = screen_width - 1 - standout_width - standout_end_width;
    if (long_prompt)
        write_long_prompt();
    else
        write_short_prompt();
    standout_off();
    // The first key of a command is echoed right after the prompt: the
    // echo starts where the prompt ends, so that it finds no room rather
    // than wrap onto a new row and scroll the text up.
    set_input_column(screen_width - 1 - prompt_room);
    return 1;
}

void set_prompt_style(int index)
{
    long_prompt = index == 0;
}

void prompt_reset()
{
    long_prompt = 0;
}
