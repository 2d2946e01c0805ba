// The display-line starts of one long wrapped text line: the one last gone
// back in.
//
// Going back by display lines must not assemble a text line from its start
// for every row: inside a line of a hundred megabytes that would cost the
// line's length per row.  So the starts that line assembly passes while it
// walks such a line forward are remembered here: every CHECKPOINT_LINES-th
// start of the whole part of the line walked so far, and the run of the
// latest ones.  A move inside the line then assembles forward from the
// nearest start known before its target, never from the start of the text
// line again, and one pass over a line serves every row of every move that
// stays inside it.
//
// Where a display line begins depends only on where the one before it
// began and on the settings that line assembly reads (each display line
// starts afresh, at column 0 and without an attribute), so what is kept
// here stays true until one of those settings or the bytes of the input
// change; `cache_generation` says when the bytes did.
//
// Memory: one position per CHECKPOINT_LINES display lines (a 4 GiB line of
// 40-column rows keeps 400 000 of them) and at most RECENT_MAX latest
// starts.  Memory that cannot be had only makes later moves slower.
//
// Invariants: `recent` holds the starts number recent_first, recent_first
// + 1, ... in order; checkpoints[i] is start number i * CHECKPOINT_LINES;
// [line_begin, newline_free_end) holds no newline.
#include <algorithm>
#include <new>
#include <vector>

#include "file.h"
#include "terminal/terminal.h"

namespace {

enum { CHECKPOINT_LINES = 256, RECENT_MAX = 4096 };

// Everything besides the bytes that decides where display lines begin:
// every setting that line assembly reads.
struct wrap_settings {
    unsigned generation;
    int utf8, width, tabs, no_overstrike;
    int ul_width, ul_end_width, bold_on_width, bold_off_width;
    bool operator==(const wrap_settings &) const = default;
};

wrap_settings settings_now()
{
    return {cache_generation, utf8_text,           text_width(), tab_columns(),
            opt_no_overstrike, underline_width,    underline_end_width,
            bold_width,        bold_end_width};
}

struct wrap_memory {
    wrap_settings settings;
    file_pos line_begin;            // the text line's start; -1: nothing kept
    file_pos newline_free_end;
    std::vector<file_pos> checkpoints;
    std::vector<file_pos> recent;
    int64_t recent_first;
};

wrap_memory wraps = {{}, -1, -1, {}, {}, 0};

}  // namespace

void wrap_starts_forget()
{
    wraps.line_begin = -1;
    wraps.checkpoints.clear();
    wraps.recent.clear();
}

void wrap_starts_begin(file_pos line_begin, file_pos newline_free_end)
{
    wraps.settings = settings_now();
    wraps.line_begin = line_begin;
    wraps.newline_free_end = newline_free_end;
    wraps.recent_first = 0;
    try {
        wraps.checkpoints.assign(1, line_begin);
        wraps.recent.assign(1, line_begin);
    } catch (const std::bad_alloc &) {
        wrap_starts_forget();
    }
}

bool wrap_starts_hold(file_pos read_pos)
{
    return wrap_lines && wraps.line_begin != -1 && !wraps.checkpoints.empty() &&
           wraps.settings == settings_now() && wraps.line_begin <= read_pos &&
           read_pos <= wraps.newline_free_end;
}

void wrap_starts_reach(file_pos end)
{
    if (wraps.line_begin != -1 && end > wraps.newline_free_end)
        wraps.newline_free_end = end;
}

void wrap_starts_note(int64_t number, file_pos pos)
{
    if (wraps.line_begin == -1)
        return;
    try {
        if (number % CHECKPOINT_LINES == 0 &&
            number / CHECKPOINT_LINES == static_cast<int64_t>(wraps.checkpoints.size()))
            wraps.checkpoints.push_back(pos);
        if (number != wraps.recent_first + static_cast<int64_t>(wraps.recent.size()))
            return;
        if (wraps.recent.size() >= RECENT_MAX) {
            size_t dropped = wraps.recent.size() / 2;
            wraps.recent.erase(wraps.recent.begin(),
                               wraps.recent.begin() + static_cast<std::ptrdiff_t>(dropped));
            wraps.recent_first += static_cast<int64_t>(dropped);
        }
        wraps.recent.push_back(pos);
    } catch (const std::bad_alloc &) {
    }
}

// From the latest starts when they reach back to the target; otherwise
// from the checkpoint before it, where the run of latest starts begins
// anew (the walk from there notes them again).
display_start wrap_starts_before(file_pos target)
{
    const std::vector<file_pos> &recent = wraps.recent;
    if (!recent.empty() && recent.front() <= target) {
        size_t i = static_cast<size_t>(std::upper_bound(recent.begin(), recent.end(), target) -
                                       recent.begin()) - 1;
        return {wraps.recent_first + static_cast<int64_t>(i), recent[i]};
    }
    const std::vector<file_pos> &points = wraps.checkpoints;
    size_t i = static_cast<size_t>(std::upper_bound(points.begin(), points.end(), target) -
                                   points.begin());
    i = i > 0 ? i - 1 : 0;
    display_start start = {static_cast<int64_t>(i) * CHECKPOINT_LINES, points[i]};
    try {
        wraps.recent.assign(1, start.pos);
        wraps.recent_first = start.number;
    } catch (const std::bad_alloc &) {
        wraps.recent.clear();
        wraps.recent_first = start.number + 1;  // nothing is noted until the next checkpoint
    }
    return start;
}
