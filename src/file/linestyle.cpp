// The styles of a display line: the text's own colour sequences (while
// `show_colour` is on) and the highlighted matches of the last pattern
// (while a match finder is set), for the painter.
//
// A colour sequence takes no column and no byte of the line: line assembly
// hands it here, and what it changes is noted as an entry of
// `line_style_changes`, the style from a byte offset of the display line
// on.  A match is noted the same way where the input position reaches its
// start and its end.  The first entry, at offset 0, is the state at the
// start of the display line, which depends on its text line only: each
// text line starts plain, and a display line that continues one (a wrapped
// row, painted on its own after a jump or a backward scroll) starts with
// the state the text reached before it.  That state is remembered from the
// display line assembled before (the usual forward case) or else found by
// reading the text line from its start.
//
// Invariants: the offsets of the entries never decrease (the overstrike
// recognizer can take bytes back, so an entry may name an offset already
// behind the line's end; it then applies from there), entries at the same
// offset are merged, so there are never more than LINE_BUFFER_SIZE + 1;
// and every cache read position this file moves is put back.
#include "file.h"

line_style_change line_style_changes[LINE_STYLE_CHANGES_MAX];
int line_style_change_count;
match_range_finder line_match_finder;

void set_line_match_finder(match_range_finder finder)
{
    line_match_finder = finder;
}

namespace {

enum { ESC = 0x1b };

struct style_walk {
    bool colour;            // sequences are read
    bool matches;           // matches are highlighted
    text_style style;       // the text's own style reached
    int highlight;          // inside a match
    file_pos origin;        // start of the text line
    file_pos piece_end;     // end of the raw piece whose matches are held
    std::vector<file_range> ranges;     // matches of that piece
    size_t next_range;      // first range whose end is not passed
};

style_walk walk;

// What the display line before left for the one after it.
struct remembered_end {
    file_pos end;           // where the next display line starts; -1 none
    file_pos origin;
    text_style style;
};
remembered_end remembered = {-1, -1, {}};

void record(int offset)
{
    int count = line_style_change_count;
    if (count > 0 && offset < line_style_changes[count - 1].offset)
        offset = line_style_changes[count - 1].offset;
    line_style_change change = {offset, walk.style, walk.highlight};
    if (count > 0 && line_style_changes[count - 1].offset == offset) {
        line_style_changes[count - 1] = change;
        return;
    }
    VORN_ASSERT(count < LINE_STYLE_CHANGES_MAX);
    line_style_changes[line_style_change_count++] = change;
}

// The matches of the raw piece that holds `pos`; the read position and the
// line buffer are the caller's to restore.
void load_ranges(file_pos pos)
{
    file_pos piece = walk.origin + (pos - walk.origin) / RAW_LINE_MAX * RAW_LINE_MAX;
    walk.ranges.clear();
    walk.next_range = 0;
    walk.piece_end = piece + RAW_LINE_MAX;
    line_match_finder(piece, &walk.ranges);
}

// Whether `pos` lies inside a match, passing the ranges that end before it.
int inside_match(file_pos pos)
{
    while (walk.next_range < walk.ranges.size() && walk.ranges[walk.next_range].end <= pos)
        walk.next_range++;
    return walk.next_range < walk.ranges.size() && walk.ranges[walk.next_range].start <= pos;
}

// Reads the sequence whose ESC was just read; applied when it is one, and
// the read position left after it; else the read position is put back.
bool read_sequence(text_style *style)
{
    unsigned char text[SGR_MAX_LENGTH];
    file_pos after_escape = cache_tell();
    size_t length = 0;
    text[length++] = ESC;
    while (length < sizeof text) {
        int c = cache_next_char();
        if (c == 0)
            break;
        text[length++] = static_cast<unsigned char>(c);
        if (c == 'm' || !(c == '[' || c == ';' || c == ':' || (c >= '0' && c <= '9')))
            break;
    }
    if (sgr_apply(text, length, style) != 0)
        return true;
    cache_seek(after_escape);
    return false;
}

// The text's style at `pos`, reading from the start of its text line.
text_style style_at(file_pos origin, file_pos pos)
{
    text_style style;
    if (cache_seek(origin) != 0)
        return style;
    for (file_pos at = origin; at < pos; at = cache_tell()) {
        if (pending_signals != 0)
            break;
        int c = cache_next_char();
        if (c == 0)
            break;
        if (c == ESC)
            read_sequence(&style);
    }
    return style;
}

// The start of the text line that holds `pos`.
file_pos origin_of(file_pos pos)
{
    if (pos <= 0 || cache_seek(pos) != 0)
        return 0;
    if (scan_back_to_newline(1))
        return cache_tell() + 1;
    return cache_tell();
}

}  // namespace

int line_styles_active()
{
    return show_colour || line_match_finder != nullptr;
}

void line_styles_begin(file_pos pos, file_pos origin)
{
    line_style_change_count = 0;
    walk.colour = show_colour != 0;
    walk.matches = line_match_finder != nullptr;
    if (!walk.colour && !walk.matches)
        return;
    walk.style = text_style{};
    if (origin == -1 && pos == remembered.end) {
        origin = remembered.origin;
        walk.style = remembered.style;
    } else if (origin == -1) {
        origin = origin_of(pos);
        if (walk.colour && origin < pos)
            walk.style = style_at(origin, pos);
    }
    walk.origin = origin;
    walk.highlight = 0;
    walk.ranges.clear();
    walk.piece_end = origin;
    if (walk.matches) {
        load_ranges(pos);
        walk.highlight = inside_match(pos);
    }
    record(0);
}

void line_styles_restart()
{
    line_style_change_count = 0;
    if (walk.colour || walk.matches)
        record(0);
}

int line_styles_sequence(int offset)
{
    if (!walk.colour)
        return 0;
    if (!read_sequence(&walk.style))
        return 0;
    record(offset);
    return 1;
}

void line_styles_at(file_pos pos, int offset)
{
    if (!walk.matches)
        return;
    if (pos >= walk.piece_end) {
        load_ranges(pos);
        cache_seek(pos + 1);
        line_text_to_display_line();
    }
    int highlight = inside_match(pos);
    if (highlight != walk.highlight) {
        walk.highlight = highlight;
        record(offset);
    }
}

void line_styles_shift(int from)
{
    for (int i = line_style_change_count - 1; i >= 0 && line_style_changes[i].offset >= from; i--)
        line_style_changes[i].offset++;
}

void line_styles_end(file_pos next, int wrapped)
{
    remembered.end = -1;
    if (wrapped && (walk.colour || walk.matches))
        remembered = {next, walk.origin, walk.style};
}

void line_styles_reset()
{
    line_style_change_count = 0;
    walk = style_walk{};
    remembered = {-1, -1, {}};
    line_match_finder = nullptr;
}
