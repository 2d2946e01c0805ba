// Highlighting: the matches of the last pattern on the lines painted.
//
// Owned here: `highlight_matches` (the highlight command sets it; off at
// start), a second compilation of the last pattern that reports where it
// matches (the search's own asks only whether), and the sense of the last
// search.  While all three allow it, line assembly is given the match
// finder below, and asks it for the matches of each text line it
// assembles for the screen, and of no other line.
//
// The finder matches the text as the search does: colour sequences (when
// shown) and overstrikes removed.  A match is given back as the input
// positions from the first byte that makes its first character (the
// underscore of an underlined letter, say) to the first byte that makes
// the character after it, so that the painted cells of overstruck and
// coloured text fall inside it.  Empty matches highlight nothing.
#include <regex.h>

#include <cstring>
#include <vector>

#include "display/display.h"
#include "file/file.h"
#include "find.h"

int highlight_matches;

namespace {

regex_t highlight_regex;
bool have_highlight_regex;
int last_want_match = 1;

// The raw piece with its sequences and overstrikes removed, and for each
// byte kept the offset in the piece where its character begins.
struct reduced_piece {
    std::vector<char> text;
    std::vector<size_t> origin;
    size_t raw_length;
};

void reduce_piece(const char *raw, size_t length, reduced_piece *out)
{
    out->text.clear();
    out->origin.clear();
    out->raw_length = length;
    const auto *bytes = reinterpret_cast<const unsigned char *>(raw);
    size_t pending_origin = SIZE_MAX;   // of a character a backspace struck
    for (size_t i = 0; i < length;) {
        if (show_colour && bytes[i] == 0x1b) {
            text_style ignored;
            size_t sequence = sgr_apply(bytes + i, length - i, &ignored);
            if (sequence != 0) {
                i += sequence;
                continue;
            }
        }
        if (raw[i] == '\b' && !out->text.empty()) {
            pending_origin = out->origin.back();
            out->text.pop_back();
            out->origin.pop_back();
            i++;
            continue;
        }
        out->text.push_back(raw[i]);
        out->origin.push_back(pending_origin != SIZE_MAX ? pending_origin : i);
        pending_origin = SIZE_MAX;
        i++;
    }
    out->text.push_back('\0');
}

void find_ranges(file_pos piece, std::vector<file_range> *ranges)
{
    if (next_raw_line(piece) == -1)
        return;
    static reduced_piece reduced;
    reduce_piece(line_text, strlen(line_text), &reduced);
    size_t kept = reduced.origin.size();
    size_t from = 0;
    while (from <= kept) {
        regmatch_t match;
        int flags = from > 0 ? REG_NOTBOL : 0;
        if (regexec(&highlight_regex, reduced.text.data() + from, 1, &match, flags) != 0)
            break;
        size_t start = from + static_cast<size_t>(match.rm_so);
        size_t end = from + static_cast<size_t>(match.rm_eo);
        if (end > start) {
            size_t raw_end = end < kept ? reduced.origin[end] : reduced.raw_length;
            ranges->push_back({piece + static_cast<file_pos>(reduced.origin[start]),
                               piece + static_cast<file_pos>(raw_end)});
            from = end;
        } else {
            from = start + 1;
        }
    }
}

// The finder is given to line assembly only while something can show.
void update_finder()
{
    bool on = highlight_matches && have_highlight_regex && last_want_match;
    line_match_finder = on ? find_ranges : nullptr;
}

// A change to what is highlighted shows at the next prompt.
void highlight_changed()
{
    if (highlight_matches && screen_pos(SCREEN_TOP) != -1)
        request_repaint();
}

void forget_pattern()
{
    if (have_highlight_regex)
        regfree(&highlight_regex);
    have_highlight_regex = false;
}

}  // namespace

void highlight_pattern(const char *pattern, int flags)
{
    forget_pattern();
    if (pattern != nullptr)
        have_highlight_regex = regcomp(&highlight_regex, pattern, flags & ~REG_NOSUB) == 0;
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
    forget_pattern();
    highlight_matches = 0;
    last_want_match = 1;
    line_match_finder = nullptr;
}
