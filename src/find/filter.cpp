// The filter: while it is set, only the text lines whose text matches its
// expression (or, after a leading '!', does not match it) are shown.
//
// Owned here: the filter's own compiled expression (a line_matcher, decided
// exactly as a search decides a line) and its text as given.  Line assembly
// steps over hidden lines through the finder this file installs
// (set_line_filter), so that every move, jump and repaint sees the shown
// lines alone.  The finder looks at a few lines through the block cache
// (a dense filter shows the next line or one of the next few), then walks
// with the fast walks of a search, which skip to where the literal lies.
//
// A text line longer than RAW_LINE_MAX bytes is judged by its first piece
// (the first RAW_LINE_MAX bytes), so that a line and its '!' complement are
// exact opposites and the decision costs a bounded read.
#include <cstring>
#include <string>

#include "file/file.h"
#include "find.h"

namespace {

// Lines looked at one by one before a walk is started: a walk reads a
// whole block of the file (a backward one the block before its start, for
// every shown line it finds), so the lines of a few kilobytes around a
// shown one are looked at in the piece the scanner holds first.
enum { NEAR_LINES = 64 };

}  // namespace

static line_matcher filter_matcher;
static std::string filter_text;     // as given, '!' included
static int filter_wants_match = 1;

bool filter_active()
{
    return filter_matcher.compiled;
}

const char *filter_expression()
{
    return filter_text.c_str();
}

bool filter_shows(file_pos start)
{
    if (!filter_active())
        return true;
    if (next_raw_line(start) == -1)
        return false;
    return matcher_qualifies(filter_matcher, line_text, strlen(line_text), filter_wants_match);
}

// The start of the text line after the one starting at `start`; -1 at the
// end of the input (or with a signal pending).  The scanner's piece is
// kept from line to line and from call to call (a screenful of a filtered
// view is read from one piece); it is not used once the input was flushed,
// cut short or replaced, as the block cache's bytes are not.
static file_pos next_line_start(file_pos start)
{
    int newline = 0;
    file_pos next = line_scan_next(start, 1, &newline);
    return newline && pending_signals == 0 ? next : -1;
}

static bool starts_line(file_pos pos)
{
    return pos == 0 || (cache_seek(pos - 1) == 0 && cache_next_char() == '\n');
}

static file_pos end_of_input()
{
    if (pending_signals != 0 || cache_seek_end() != 0)
        return -1;
    return cache_tell();
}

static file_pos find_forward(file_pos start)
{
    for (int i = 0; i < NEAR_LINES; i++) {
        if (filter_shows(start))
            return start;
        start = next_line_start(start);
        if (start == -1)
            return end_of_input();
    }
    search_walk walk = {start, 0, 1, filter_wants_match, &filter_matcher};
    for (;;) {
        search_outcome outcome = walk_forward(&walk);
        if (outcome == WALK_SIGNALLED)
            return -1;
        if (outcome == WALK_NOT_FOUND)
            return end_of_input();
        // a later piece of a long line: the line was judged by its first
        if (starts_line(walk.pos))
            return walk.pos;
        walk.pos = next_line_start(walk.pos);
        if (walk.pos == -1)
            return end_of_input();
        walk.n = 1;
    }
}

// The start of the text line before the text line start `start`.
static file_pos prev_line_start(file_pos start)
{
    if (start <= 0)
        return -1;
    return line_scan_prev(start, 1);
}

// The start of the text line holding `pos`.
static file_pos line_start_of(file_pos pos)
{
    if (starts_line(pos))
        return pos;
    return line_scan_prev(pos + 1, 1);
}

static file_pos find_backward(file_pos start)
{
    // `start` may also be the end of an input whose last line has no newline
    for (int i = 0; i < NEAR_LINES; i++) {
        start = i == 0 ? line_start_of(start > 0 ? start - 1 : 0) : prev_line_start(start);
        if (start == -1 || pending_signals != 0)
            return -1;
        if (filter_shows(start))
            return start;
        if (start == 0)
            return -1;
    }
    search_walk walk = {start, 0, 1, filter_wants_match, &filter_matcher};
    for (;;) {
        search_outcome outcome = walk_backward(&walk);
        if (outcome != WALK_FOUND)
            return -1;
        file_pos line = line_start_of(walk.pos);
        if (line == -1 || pending_signals != 0)
            return -1;
        if (line == walk.pos || filter_shows(line))
            return line;
        walk.pos = line;
        walk.n = 1;
    }
}

// The expression is compiled again for the way text is read now when that
// was switched since (`utf8`), as a search's is.
static bool filter_compiled_for_text()
{
    if (filter_matcher.for_utf8 == utf8_text)
        return true;
    std::string source = filter_matcher.source;
    if (matcher_compile(&filter_matcher, source.c_str(), filter_matcher.ignore_case))
        return true;
    filter_reset();
    return false;
}

// The finder line assembly asks (see set_line_filter).
static file_pos find_shown_line(file_pos start, int forward)
{
    if (start < 0 || !filter_compiled_for_text())
        return -1;
    return forward ? find_forward(start) : find_backward(start);
}

int set_filter(const char *expression)
{
    if (expression == nullptr || *expression == 0) {
        filter_reset();
        return 1;
    }
    int wants_match = *expression != '!';
    const char *pattern = wants_match ? expression : expression + 1;
    if (!matcher_compile(&filter_matcher, pattern, opt_ignore_case)) {
        // the filter in force before stays, with the text it had
        if (!filter_text.empty()) {
            std::string old = filter_text;
            filter_text.clear();
            set_filter(old.c_str());
        }
        return 0;
    }
    filter_wants_match = wants_match;
    filter_text = expression;
    set_line_filter(find_shown_line);
    return 1;
}

void filter_reset()
{
    matcher_forget(&filter_matcher);
    filter_text.clear();
    filter_wants_match = 1;
    set_line_filter(nullptr);
}
