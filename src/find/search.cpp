// Regular-expression search: the current expression and `search_pattern`,
// which finds the n-th line before or after the screen that matches (or
// does not match) it and moves the display there.
//
// Owned here: the compiled expression (`have_regex` says whether it holds
// a successful compilation; a failed one discards it), the literal every
// match must contain (search_literal.cpp finds it), and a scratch line for
// matching.  The walks over the file are in search_scan.cpp; whatever way
// they read, each raw line is decided by `search_line_qualifies`, so the
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

enum { REGEX_MESSAGE_SIZE = 2048 };

}  // namespace

static regex_t current_regex;
static int have_regex;
// The text of the current expression, its case setting, and whether it
// was compiled for UTF-8 text: the expression is compiled again (with the
// same case setting) for the way text is read now when that was switched
// since, as a repeated search after `utf8 off` must match bytes.
static std::string current_source;
static int compiled_for_utf8;
static int compiled_ignore_case;
static search_literal required_literal;
// A raw line is at most RAW_LINE_MAX bytes; matching needs it terminated.
static char match_line[RAW_LINE_MAX + 1];

void search_reset()
{
    if (have_regex)
        regfree(&current_regex);
    have_regex = 0;
    required_literal = search_literal{};
    forget_simple_expression();
    current_source.clear();
    compiled_for_utf8 = 0;
    compiled_ignore_case = 0;
}

// A backspace removes the character copied before it (the one it
// overstrikes) and itself; with nothing copied before it, it stays.  In
// UTF-8 text that character is a whole well-formed printable one, as line
// assembly takes it, so an overstruck "é" reduces to "é" and not to a
// stray byte.
size_t reduce_for_matching(char *text, size_t length)
{
    size_t kept = 0;
    auto *bytes = reinterpret_cast<const unsigned char *>(text);
    for (size_t i = 0; i < length; i++) {
        if (text[i] == '\b' && kept > 0) {
            kept -= char_length_before(bytes, bytes + kept);
            continue;
        }
        text[kept++] = text[i];
    }
    return kept;
}

// Whether the current expression matches the reduced line in match_line
// (`length` bytes, terminated); `whole` when that is the line as read,
// whose length regexec is then given.
static bool expression_matches(size_t length, bool whole)
{
    int simple = simple_expression_matches(match_line, length);
    if (simple >= 0)
        return simple != 0;
#ifdef REG_STARTEND
    if (whole) {
        regmatch_t range[1];
        range[0].rm_so = 0;
        range[0].rm_eo = static_cast<regoff_t>(length);
        return regexec(&current_regex, match_line, 1, range, REG_STARTEND) == 0;
    }
#endif
    // A line reduced from overstrikes or colour sequences was let through
    // for a joiner, not for its literal: without it, it cannot match.
    auto *reduced = reinterpret_cast<const unsigned char *>(match_line);
    if (!whole && !required_literal.text.empty() &&
        find_search_literal(&required_literal, reduced, reduced + length) == nullptr)
        return false;
    return regexec(&current_regex, match_line, 0, nullptr, 0) == 0;
}

bool search_line_qualifies(const char *text, size_t length, int want_match)
{
    VORN_ASSERT(have_regex && length <= RAW_LINE_MAX);
    // Most lines hold neither a backspace nor a NUL (nor, with colours
    // shown, an ESC): their reduced text is the line itself, copied whole
    // and matched with its length given, so that it is not measured again.
    // (It is still terminated: sanitizers read the string up to its NUL.)
    if (memchr(text, '\b', length) == nullptr && memchr(text, 0, length) == nullptr &&
        !(show_colour && memchr(text, 0x1b, length) != nullptr)) {
        memcpy(match_line, text, length);
        match_line[length] = 0;
        return expression_matches(length, true) == (want_match != 0);
    }
    // A NUL of the input reaches the screen and the raw-line reader as
    // 0x80; it must not end the string here.
    for (size_t i = 0; i < length; i++)
        match_line[i] = text[i] != 0 ? text[i] : static_cast<char>(MARK_NUL);
    // with colours shown, their sequences are no part of the text seen
    if (show_colour)
        length = remove_sgr_sequences(match_line, length);
    length = reduce_for_matching(match_line, length);
    match_line[length] = 0;
    return expression_matches(length, false) == (want_match != 0);
}

const search_literal &current_search_literal()
{
    return required_literal;
}

// A failure shows regcomp's message and leaves no expression at all.
static int compile_expression(const char *pattern, int ignore_case)
{
    if (have_regex)
        regfree(&current_regex);
    have_regex = 0;
    required_literal = search_literal{};
    forget_simple_expression();
    int flags = REG_EXTENDED | REG_NOSUB | (ignore_case ? REG_ICASE : 0);
    int status = regcomp(&current_regex, pattern, flags);
    if (status != 0) {
        char message[REGEX_MESSAGE_SIZE];
        regerror(status, &current_regex, message, sizeof message);
        // regfree is not needed after a failed regcomp
        set_message("%s", message);
        highlight_pattern(nullptr, 0);
        return 0;
    }
    have_regex = 1;
    highlight_pattern(pattern, flags);
    current_source = pattern;
    compiled_for_utf8 = utf8_text;
    compiled_ignore_case = ignore_case;
    make_search_literal(pattern, ignore_case, &required_literal);
    make_simple_expression(pattern, flags);
    return 1;
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

int search_pattern(int forward, const char *pattern, int n, int want_match)
{
    if (pattern != nullptr && *pattern != 0) {
        if (!search_compile(pattern))
            return 0;
    } else if (!have_regex) {
        set_message("No previous regular expression");
        return 0;
    } else if (compiled_for_utf8 != utf8_text) {
        std::string source = current_source;
        if (!compile_expression(source.c_str(), compiled_ignore_case))
            return 0;
    }
    highlight_sense(want_match);
    file_pos start = starting_position(forward);
    if (start == -1) {
        set_message("Nothing to search");
        return 0;
    }
    search_walk walk = {start, linenum_find(start), n, want_match};
    if (pending_signals != 0)
        return 0;
    search_outcome outcome = forward ? walk_forward(&walk) : walk_backward(&walk);
    if (outcome == WALK_SIGNALLED)
        return 0;
    if (outcome == WALK_NOT_FOUND) {
        set_message("Pattern not found");
        return 0;
    }
    // the walk ends on a raw line, which may be a later piece of a long
    // text line: the screen starts with the display line that holds it
    jump_pos(display_line_holding(walk.pos));
    return 1;
}
