// Highlighting: the matches of the last pattern on the lines painted.
//
// Owned here: `highlight_matches` (the highlight command sets it; off at
// start), whether the search holds a compiled expression, and the sense of
// the last search.  While all three allow it, line assembly is given the
// match finder below, and asks it for the matches of each text line it
// assembles for the screen, and of no other line.
//
// The finder sees a line exactly as the search does: through the search's
// one reduction (colour sequences, when shown, and overstrikes removed),
// matched by the search's own compiled expression.  A match is given back
// as the input positions from the first byte that makes its first
// character (the underscore of an underlined letter, the first of an
// overstruck character) to the first byte that makes the character after
// it, so that the painted cells of overstruck and coloured text fall
// inside it.  Empty matches highlight nothing.
//
// Finding the matches of a piece is the costly part (an expression that
// matches the empty string and fails late is tried at every character,
// each try reading to the piece's end), and every display row of a long
// line asks for the matches of its piece again, forward and backward.  So
// the matches of the last few pieces are kept with the bytes they were
// found in: a piece whose bytes, colour setting and character set are the
// same gets its matches back without matching again.  What is kept is
// forgotten whenever the expression or its sense changes.  A search cut
// short by a signal keeps nothing.
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "display/display.h"
#include "file/file.h"
#include "find.h"

int highlight_matches;

namespace {

bool have_expression;
int last_want_match = 1;

// The reduced piece, terminated, and where each of its bytes came from.
char reduced_text[RAW_LINE_MAX + 1];
size_t reduced_origin[RAW_LINE_MAX];

// The matches found in one piece, and what they were found in.
struct kept_piece {
    file_pos piece = -1;            // -1: nothing kept
    std::string raw;
    int colour = 0, utf8 = 0;
    std::vector<file_range> ranges;
};

enum { KEPT_PIECES = 4 };
std::array<kept_piece, KEPT_PIECES> kept_pieces;
size_t next_kept;                   // the entry to reuse next

void forget_kept_pieces()
{
    for (kept_piece &k : kept_pieces)
        k.piece = -1;
}

const kept_piece *kept_for(file_pos piece, const char *raw, size_t length)
{
    for (const kept_piece &k : kept_pieces) {
        if (k.piece == piece && k.colour == show_colour && k.utf8 == utf8_text &&
            k.raw.size() == length && memcmp(k.raw.data(), raw, length) == 0)
            return &k;
    }
    return nullptr;
}

void keep(file_pos piece, const char *raw, size_t length, const std::vector<file_range> &ranges)
{
    kept_piece &k = kept_pieces[next_kept];
    next_kept = (next_kept + 1) % KEPT_PIECES;
    k.piece = piece;
    k.raw.assign(raw, length);
    k.colour = show_colour;
    k.utf8 = utf8_text;
    k.ranges = ranges;
}

// The matches of the reduced piece, appended as input ranges; false when a
// signal cut the search short.
bool match_reduced(file_pos piece, size_t kept, size_t raw_length,
                   std::vector<file_range> *ranges)
{
    size_t from = 0;
    size_t start, end;
    while (from <= kept && search_find_match(reduced_text, from, &start, &end)) {
        if (pending_signals != 0)
            return false;
        if (end > start) {
            size_t raw_end = end < kept ? reduced_origin[end] : raw_length;
            ranges->push_back({piece + static_cast<file_pos>(reduced_origin[start]),
                               piece + static_cast<file_pos>(raw_end)});
            from = end;
        } else if (start < kept) {
            // past the whole character, never into the middle of one
            auto *at = reinterpret_cast<const unsigned char *>(reduced_text + start);
            from = start + static_cast<size_t>(decode_char(at, kept - start).length);
        } else {
            break;
        }
    }
    return true;
}

void find_ranges(file_pos piece, std::vector<file_range> *ranges)
{
    if (next_raw_line(piece) == -1)
        return;
    size_t raw_length = strlen(line_text);
    if (const kept_piece *k = kept_for(piece, line_text, raw_length)) {
        ranges->insert(ranges->end(), k->ranges.begin(), k->ranges.end());
        return;
    }
    size_t kept = reduce_for_matching(line_text, raw_length, reduced_text, reduced_origin);
    reduced_text[kept] = 0;
    size_t first = ranges->size();
    if (match_reduced(piece, kept, raw_length, ranges))
        keep(piece, line_text, raw_length,
             std::vector<file_range>(ranges->begin() + static_cast<std::ptrdiff_t>(first),
                                     ranges->end()));
}

// The finder is given to line assembly only while something can show.
void update_finder()
{
    forget_kept_pieces();
    bool on = highlight_matches && have_expression && last_want_match;
    set_line_match_finder(on ? find_ranges : nullptr);
}

// A change to what is highlighted shows at the next prompt.
void highlight_changed()
{
    if (highlight_matches && screen_pos(SCREEN_TOP) != -1)
        request_repaint();
}

}  // namespace

void highlight_pattern(int compiled)
{
    have_expression = compiled != 0;
    update_finder();
    highlight_changed();
}

void highlight_sense(int want_match)
{
    if ((want_match != 0) == (last_want_match != 0))
        return;
    last_want_match = want_match != 0;
    update_finder();
    highlight_changed();
}

void set_highlight(int on)
{
    highlight_matches = on != 0;
    update_finder();
}

void highlight_reset()
{
    have_expression = false;
    highlight_matches = 0;
    last_want_match = 1;
    set_line_match_finder(nullptr);
    forget_kept_pieces();
}
