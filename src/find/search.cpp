// Regular-expression search: the current expression and `search_pattern`,
// which finds the n-th line before or after the screen that matches (or
// does not match) it and moves the display there.
//
// Owned here: the current expression (a line_matcher: the compiled
// expression, which a failed compilation discards and which highlighting
// uses too, the literal every match must contain that search_literal.cpp
// finds, and the sets of an expression of single characters), and a
// scratch line for matching.  The filter keeps a matcher of its own and
// decides lines the same way.  The one reduction of a raw line for
// matching is here: search, highlighting and the filter all see a line
// through it.  The walks over the file are in search_scan.cpp; whatever
// way they read, each raw line is decided by `matcher_qualifies`, so the
// answer is always what regexec says of the reduced line (for an expression
// of single characters, search_simple.cpp gives it from sets of bytes that
// regexec itself chose).
#include <regex.h>

#include <climits>
#include <cstring>
#include <string>

#include "display/display.h"
#include "file/file.h"
#include "find.h"

namespace {

enum { REGEX_MESSAGE_SIZE = 2048, AUTOMATON_BELOW_LITERAL = 3 };

}  // namespace

// The current expression.  It is compiled again (with the same case
// setting) for the way text is read now when that was switched since, as a
// repeated search after `utf8 off` must match bytes.
static line_matcher search_matcher;
// A raw line is at most RAW_LINE_MAX bytes; matching needs it terminated.
static char match_line[RAW_LINE_MAX + 1];

// Whether the last search_pattern found nothing because its walk ran out
// of lines (not for its expression, nor for a signal): a search across the
// file list goes on in the next file then.
static bool last_search_ran_out;
// searchfiles on|off (-a): a search that finds nothing more in the current
// file goes on into the other files of the list.
static int search_files;

void matcher_forget(line_matcher *matcher)
{
    if (matcher->compiled)
        regfree(&matcher->regex);
    matcher->compiled = false;
    matcher->literal = search_literal{};
    matcher->simple = simple_expression{};
    free_block_automaton(matcher->automaton);
    matcher->automaton = nullptr;
    matcher->source.clear();
    matcher->for_utf8 = 0;
    matcher->ignore_case = 0;
    matcher->flags = 0;
}

void search_reset()
{
    last_search_ran_out = false;
    search_files = 0;
    matcher_forget(&search_matcher);
}

// One pass over the raw bytes: a colour sequence (while colours are shown)
// is dropped whole; a backspace takes back the character kept before it
// (in UTF-8 text a whole well-formed printable one, as line assembly takes
// it) and is dropped itself, unless nothing is kept before it; every other
// byte is kept, a NUL as MARK_NUL.  The origin of a kept byte is its own
// offset, except for the first byte after an overstrike, which takes the
// origin of the character struck: the match that covers what shows also
// covers every byte that made it.
size_t reduce_for_matching(const char *raw, size_t length, char *out, size_t *origin)
{
    auto *bytes = reinterpret_cast<const unsigned char *>(raw);
    auto *kept_bytes = reinterpret_cast<unsigned char *>(out);
    size_t kept = 0;
    size_t struck = SIZE_MAX;       // origin of the character a backspace took
    for (size_t i = 0; i < length;) {
        if (show_colour && bytes[i] == 0x1b) {
            size_t sequence = sgr_length(bytes + i, length - i);
            if (sequence != 0) {
                i += sequence;
                continue;
            }
        }
        if (bytes[i] == '\b' && kept > 0) {
            kept -= char_length_before(kept_bytes, kept_bytes + kept);
            if (origin != nullptr)
                struck = origin[kept];
            i++;
            continue;
        }
        if (origin != nullptr) {
            origin[kept] = struck != SIZE_MAX ? struck : i;
            struck = SIZE_MAX;
        }
        kept_bytes[kept++] = bytes[i] != 0 ? bytes[i] : static_cast<unsigned char>(MARK_NUL);
        i++;
    }
    return kept;
}

// Whether the raw line reads the same reduced: it holds no backspace, no
// NUL and (with colours shown) no ESC.  Most lines do.
static bool reduces_to_itself(const char *text, size_t length)
{
    return memchr(text, '\b', length) == nullptr && memchr(text, 0, length) == nullptr &&
           !(show_colour && memchr(text, 0x1b, length) != nullptr);
}

// Whether the matcher matches the reduced line in match_line (`length`
// bytes, terminated); `whole` when that is the line as read, whose length
// regexec is then given.  No match offsets are asked for, so regexec need
// not find the longest match.
static bool expression_matches(const line_matcher &matcher, size_t length, bool whole)
{
    int simple = simple_expression_matches(matcher.simple, match_line, length);
    if (simple >= 0)
        return simple != 0;
#ifdef REG_STARTEND
    if (whole) {
        regmatch_t range[1];
        range[0].rm_so = 0;
        range[0].rm_eo = static_cast<regoff_t>(length);
        return regexec(&matcher.regex, match_line, 0, range, REG_STARTEND) == 0;
    }
#endif
    // A line reduced from overstrikes or colour sequences was let through
    // for a joiner, not for its literal: without it, it cannot match.
    auto *reduced = reinterpret_cast<const unsigned char *>(match_line);
    if (!whole && !matcher.literal.text.empty() &&
        find_search_literal(&matcher.literal, reduced, reduced + length) == nullptr)
        return false;
    return regexec(&matcher.regex, match_line, 0, nullptr, 0) == 0;
}

bool matcher_qualifies(const line_matcher &matcher, const char *text, size_t length,
                       int want_match)
{
    VORN_ASSERT(matcher.compiled && length <= RAW_LINE_MAX);
    // A line that reduces to itself is copied whole and matched with its
    // length given, so that it is not measured again.  (It is still
    // terminated: sanitizers read the string up to its NUL.)
    bool whole = reduces_to_itself(text, length);
    if (whole)
        memcpy(match_line, text, length);
    else
        length = reduce_for_matching(text, length, match_line, nullptr);
    match_line[length] = 0;
    return expression_matches(matcher, length, whole) == (want_match != 0);
}

bool search_line_qualifies(const char *text, size_t length, int want_match)
{
    return matcher_qualifies(search_matcher, text, length, want_match);
}

const line_matcher &current_search_matcher()
{
    return search_matcher;
}

bool search_find_match(const char *text, size_t from, size_t *start, size_t *end)
{
    if (!search_matcher.compiled)
        return false;
    regmatch_t match;
    if (regexec(&search_matcher.regex, text + from, 1, &match, from > 0 ? REG_NOTBOL : 0) != 0)
        return false;
    *start = from + static_cast<size_t>(match.rm_so);
    *end = from + static_cast<size_t>(match.rm_eo);
    return true;
}

const search_literal &current_search_literal()
{
    return search_matcher.literal;
}

int matcher_compile(line_matcher *matcher, const char *pattern, int ignore_case)
{
    matcher_forget(matcher);
    // Compiled with match offsets, which highlighting asks for; the search
    // asks for none, so that costs it nothing.
    int flags = REG_EXTENDED | (ignore_case ? REG_ICASE : 0);
    // The library's own message for an expression too big to compile.
    if (expression_too_large(pattern)) {
        set_message("Regular expression too big");
        return 0;
    }
    int status = regcomp(&matcher->regex, pattern, flags);
    if (status != 0) {
        char message[REGEX_MESSAGE_SIZE];
        regerror(status, &matcher->regex, message, sizeof message);
        // regfree is not needed after a failed regcomp
        set_message("%s", message);
        return 0;
    }
    matcher->compiled = true;
    matcher->source = pattern;
    matcher->for_utf8 = utf8_text;
    matcher->ignore_case = ignore_case;
    matcher->flags = flags;
    make_search_literal(pattern, ignore_case, &matcher->literal);
    make_simple_expression(pattern, flags, &matcher->simple);
    // A literal of a few bytes is likely on many lines: the automaton then
    // passes over the block faster than looking at each line holding it.
    if (matcher->literal.text.size() < AUTOMATON_BELOW_LITERAL)
        matcher->automaton = make_block_automaton(pattern, ignore_case);
    return 1;
}

// A failure shows regcomp's message and leaves no expression at all.
static int compile_expression(const char *pattern, int ignore_case)
{
    int compiled = matcher_compile(&search_matcher, pattern, ignore_case);
    highlight_pattern(compiled);
    return compiled;
}

// The case setting is looked at each time.
int search_compile(const char *pattern)
{
    return compile_expression(pattern, opt_ignore_case);
}

// Where the walk begins: the second row forward (the top line is never
// examined), the top row backward, the beginning of the file on an empty
// screen; -1 when a forward search has only one row to start from.
static file_pos starting_position(int forward)
{
    file_pos top = screen_pos(SCREEN_TOP);
    if (top == -1)
        return 0;
    return forward ? screen_pos(1) : top;
}

// A walk that counts the lines the filter shows only: while one is set the
// walk goes on one qualifying line at a time, and a line hidden by the
// filter is passed over.
static search_outcome walk_shown(search_walk *walk, int forward)
{
    if (!filter_active())
        return forward ? walk_forward(walk) : walk_backward(walk);
    int wanted = walk->n < 1 ? 1 : walk->n;
    for (;;) {
        walk->n = 1;
        search_outcome outcome = forward ? walk_forward(walk) : walk_backward(walk);
        if (outcome != WALK_FOUND)
            return outcome;
        file_pos found = walk->pos;
        file_pos line = display_line_holding(found);
        bool shown = shown_display_line(line) == line;
        if (pending_signals != 0)
            return WALK_SIGNALLED;
        if (shown && --wanted == 0)
            return WALK_FOUND;
        walk->pos = found;
        if (forward) {
            // on from the raw line after the one found, its number unknown
            walk->lineno = 0;
            walk->pos = next_raw_line(found);
            if (walk->pos == -1)
                return WALK_NOT_FOUND;
        }
    }
}

// The walk from `start` and the move to what it found.
static search_outcome walk_and_show(int forward, file_pos start, int n, int want_match)
{
    search_walk walk = {start, linenum_find(start), n, want_match};
    if (pending_signals != 0)
        return WALK_SIGNALLED;
    search_outcome outcome = walk_shown(&walk, forward);
    // the walk ends on a raw line, which may be a later piece of a long
    // text line: the screen starts with the display line that holds it
    if (outcome == WALK_FOUND)
        jump_pos(display_line_holding(walk.pos));
    return outcome;
}

int search_pattern(int forward, const char *pattern, int n, int want_match)
{
    last_search_ran_out = false;
    if (pattern != nullptr && *pattern != 0) {
        if (!search_compile(pattern))
            return 0;
    } else if (!search_matcher.compiled) {
        set_message("No previous regular expression");
        return 0;
    } else if (search_matcher.for_utf8 != utf8_text) {
        std::string source = search_matcher.source;
        if (!compile_expression(source.c_str(), search_matcher.ignore_case))
            return 0;
    }
    highlight_sense(want_match);
    file_pos start = starting_position(forward);
    if (start == -1) {
        set_message("Nothing to search");
        return 0;
    }
    search_outcome outcome = walk_and_show(forward, start, n, want_match);
    if (outcome == WALK_NOT_FOUND) {
        last_search_ran_out = true;
        set_message("Pattern not found");
    }
    return outcome == WALK_FOUND ? 1 : 0;
}

bool search_ran_out()
{
    return last_search_ran_out;
}

int search_opened_file(int forward, int want_match)
{
    if (!search_matcher.compiled)
        return 0;
    file_pos start = 0;
    if (!forward) {
        if (cache_seek_end() != 0)
            return 0;
        start = cache_tell();
    }
    return walk_and_show(forward, start, 1, want_match) == WALK_FOUND ? 1 : 0;
}

void set_search_files(int on)
{
    search_files = on != 0;
}

int searches_files()
{
    return search_files;
}
