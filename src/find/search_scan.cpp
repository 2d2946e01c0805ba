// The walks of a search over the raw lines of the input.
//
// Every walk hands each raw line it decides on to `matcher_qualifies` (the
// search's expression, or the one the walk names: the filter's),
// or skips it without asking when the line cannot match: it does not hold
// the literal that every match must contain, and it does not hold both a
// joiner and every byte of the literal.  A joiner is a backspace (which
// could join the literal out of overstruck pieces) or, with colours shown,
// an ESC (a colour sequence inside a word); the bytes that make the
// reduced text are bytes of the raw line, so a line without them cannot
// hold the literal once reduced.  So a walk gives the same answer as
// running the expression on every reduced line.  Lines are passed over by
// looking for the literal, and for the literal's key byte in lines with a
// joiner, over the whole block: coloured text, where every line holds an
// ESC, is passed over as fast as plain text.  An expression with an
// automaton (a short or no literal, see search_automaton.cpp) is looked for
// with it in place of the literal: a line without a joiner where it finds
// no match cannot match; with no literal, every line holding a joiner is
// examined.  (Backward walks and walks through the cache use the literal.)
//
// A raw line is what the raw-line reader delivers: a text line, or a piece
// of one when it is longer than RAW_LINE_MAX bytes (pieces of that many
// bytes from where the reading began, the last one shorter).  Line numbers
// count text lines, not pieces.
//
// Through a named file a walk reads large blocks by position (not through
// the block cache, which would cost a system call per kilobyte and push the
// screen's blocks out), looks for the literal over the whole block and
// examines only the lines where it lies; the lines in between are only
// counted.  Backward, the block is the stretch of the file that ends at the
// walk's position, the literal is looked for from its end, and the raw
// lines are cut as the raw-line reader cuts them going backward (long ones
// from their ends).  Standard input and inputs that cannot be read by
// position go line by line through the block cache.
//
// A walk records a line-number pair where it found its target and about
// once per RECORD_SPACING bytes passed, not for every line: the numbers
// shown stay right (the cache counts from the nearest pair) and recording
// never dominates the walk.
//
// Owned here: the block buffer, allocated on first use and kept.
#include <unistd.h>

#include <cstring>
#include <memory>

#include "display/display.h"
#include "file/file.h"
#include "find.h"

namespace {

enum { RECORD_SPACING = 1 << 20 };

// The part of the file held in the block buffer.
struct block_view {
    unsigned char *data;
    size_t length;          // bytes held
    size_t capacity;
    file_pos base;          // file position of data[0]
    bool eof;               // the input ends at base + length
};

// The next places in the region of a block where the literal lies, and
// where the key byte of the literal lies in a line that may join the
// literal out of pieces; -1 while not yet looked for.  Each is looked for
// again only once the walk has passed it, so that every byte of the region
// is looked at once for each (a search for the nearer of two kinds at once
// would cross the whole region for the rarer one at every line).
struct candidate_marks {
    int64_t literal;
    int64_t joined;
    int64_t backspace;      // of the joiners, for an expression without literal
    int64_t escape;
};

}  // namespace

size_t search_block_size = 256 * 1024;

static std::unique_ptr<unsigned char[]> block_storage;
static size_t block_storage_size;

static unsigned char *block_buffer_of(size_t size)
{
    if (block_storage_size != size) {
        block_storage.reset(new (std::nothrow) unsigned char[size]);
        block_storage_size = block_storage ? size : 0;
    }
    return block_storage.get();
}

// Numbers beyond an int are not kept: the cache takes ints.
static void record_line(int64_t lineno, file_pos pos)
{
    if (lineno > 0 && lineno <= INT32_MAX)
        linenum_add(static_cast<int>(lineno), pos);
}

// The walk ends on the raw line at `pos`; its number is kept for the prompt
// when that raw line starts a text line.
static search_outcome found_at(search_walk *walk, file_pos pos, int64_t lineno,
                               bool starts_line)
{
    walk->pos = pos;
    walk->lineno = lineno;
    if (starts_line)
        record_line(lineno, pos);
    return WALK_FOUND;
}

// The byte that can join the literal out of pieces: a backspace (of an
// overstrike), and with colours shown an ESC (a sequence inside a word).
static const unsigned char *find_joiner(const unsigned char *from, size_t length)
{
    auto *backspace = static_cast<const unsigned char *>(memchr(from, '\b', length));
    if (!show_colour)
        return backspace;
    size_t before = backspace != nullptr ? static_cast<size_t>(backspace - from) : length;
    auto *escape = static_cast<const unsigned char *>(memchr(from, 0x1b, before));
    return escape != nullptr ? escape : backspace;
}

// Whether the text in [from, end) may hold the literal once reduced: it
// holds a joiner and every byte of the literal.
static bool may_join(const search_literal &literal, const unsigned char *from,
                     const unsigned char *end)
{
    return find_joiner(from, static_cast<size_t>(end - from)) != nullptr &&
           holds_literal_bytes(&literal, from, end);
}

// Whether a raw line of `length` bytes could match: it holds the literal,
// or may join it.
static bool may_match(const search_literal &literal, const unsigned char *text, size_t length)
{
    if (literal.text.empty())
        return true;
    return find_search_literal(&literal, text, text + length) != nullptr ||
           may_join(literal, text, text + length);
}

// The expression that decides the walk's lines.
static const line_matcher &walk_matcher(const search_walk *walk)
{
    return walk->matcher != nullptr ? *walk->matcher : current_search_matcher();
}

static bool line_qualifies(const search_walk *walk, const unsigned char *text, size_t length)
{
    const line_matcher &matcher = walk_matcher(walk);
    if (!may_match(matcher.literal, text, length))
        return walk->want_match == 0;
    return matcher_qualifies(matcher, reinterpret_cast<const char *>(text), length,
                             walk->want_match);
}

// Keeps the bytes from `keep` on at the front and reads more behind them.
// False when the input cannot be read by position.
static bool read_more(block_view *view, size_t keep)
{
    memmove(view->data, view->data + keep, view->length - keep);
    view->base += static_cast<file_pos>(keep);
    view->length -= keep;
    ssize_t got = input_read_at(view->data + view->length, view->capacity - view->length,
                                view->base + static_cast<file_pos>(view->length));
    if (got < 0)
        return false;
    if (got == 0)
        view->eof = true;
    view->length += static_cast<size_t>(got);
    return true;
}

// The end of the raw lines that lie wholly in the block from `from` (a raw
// line start) on: the next byte is held too, so that a piece of exactly
// RAW_LINE_MAX bytes is known to be followed by its newline or not.
static size_t complete_end(const block_view *view, size_t from)
{
    if (view->eof)
        return view->length;
    auto *newline = static_cast<const unsigned char *>(
        memrchr(view->data + from, '\n', view->length - from));
    size_t tail_start = newline != nullptr ? static_cast<size_t>(newline - view->data) + 1 : from;
    size_t tail = view->length - tail_start;
    if (tail == 0)
        return view->length;
    return tail_start + (tail - 1) / RAW_LINE_MAX * RAW_LINE_MAX;
}

// The first place at or after `from` in [data, end) of the literal's key
// byte in a line (text line, at least from `from` on) that may join the
// literal; `end` when there is none.
static const unsigned char *next_joined_key(const search_literal &literal,
                                            const unsigned char *from, const unsigned char *end)
{
    for (const unsigned char *at = from; at < end;) {
        const unsigned char *hit = find_literal_key(&literal, at, end);
        if (hit == nullptr)
            return end;
        auto *before = static_cast<const unsigned char *>(
            memrchr(from, '\n', static_cast<size_t>(hit - from)));
        auto *after = static_cast<const unsigned char *>(
            memchr(hit, '\n', static_cast<size_t>(end - hit)));
        const unsigned char *line_end = after != nullptr ? after : end;
        if (may_join(literal, before != nullptr ? before + 1 : from, line_end))
            return hit;
        at = line_end;
    }
    return end;
}

// The first place at or after `from` of `byte` in the region, kept in
// *mark and looked for again only once passed.
static int64_t next_byte(const block_view *view, size_t from, size_t region_end, int byte,
                         int64_t *mark)
{
    if (*mark < static_cast<int64_t>(from)) {
        auto *hit = static_cast<const unsigned char *>(
            memchr(view->data + from, byte, region_end - from));
        *mark = hit != nullptr ? hit - view->data : static_cast<int64_t>(region_end);
    }
    return *mark;
}

// The first place at or after `from` in the region of a joiner: with no
// literal to ask for, every line holding one may match.
static int64_t next_joiner(const block_view *view, size_t from, size_t region_end,
                           candidate_marks *marks)
{
    int64_t backspace = next_byte(view, from, region_end, '\b', &marks->backspace);
    if (!show_colour)
        return backspace;
    int64_t escape = next_byte(view, from, region_end, 0x1b, &marks->escape);
    return escape < backspace ? escape : backspace;
}

// The first place at or after `from` in the region where a line may match:
// where the literal lies (or, with an automaton, where it finds a match),
// or a line that may join the literal out of pieces.
static size_t next_candidate(const line_matcher &matcher, const block_view *view,
                             size_t from, size_t region_end, candidate_marks *marks)
{
    const search_literal &literal = matcher.literal;
    const unsigned char *data = view->data;
    if (marks->literal < static_cast<int64_t>(from)) {
        const unsigned char *hit =
            matcher.automaton != nullptr
                ? automaton_find(matcher.automaton, data + from, data + region_end)
                : find_search_literal(&literal, data + from, data + region_end);
        marks->literal = hit != nullptr ? hit - data : static_cast<int64_t>(region_end);
    }
    if (literal.text.empty())
        marks->joined = next_joiner(view, from, region_end, marks);
    else if (marks->joined < static_cast<int64_t>(from))
        marks->joined = next_joined_key(literal, data + from, data + region_end) - data;
    return static_cast<size_t>(marks->literal < marks->joined ? marks->literal : marks->joined);
}

// The start of the raw line holding `at`, which lies at or after the raw
// line start `from`.
static size_t piece_start(const block_view *view, size_t from, size_t at)
{
    auto *newline = static_cast<const unsigned char *>(
        memrchr(view->data + from, '\n', at - from));
    size_t line = newline != nullptr ? static_cast<size_t>(newline - view->data) + 1 : from;
    return line + (at - line) / RAW_LINE_MAX * RAW_LINE_MAX;
}

static bool starts_text_line_in(const block_view *view, size_t at)
{
    if (at > 0)
        return view->data[at - 1] == '\n';
    return view->base == 0;
}

// The forward walk over blocks read by position.  *unreadable is set when
// the input cannot be read that way; the walk then stopped at walk->pos.
static search_outcome walk_blocks(search_walk *walk, bool *unreadable)
{
    size_t capacity = search_block_size < SEARCH_MIN_BLOCK ? size_t{SEARCH_MIN_BLOCK} : search_block_size;
    block_view view = {block_buffer_of(capacity), 0, capacity, walk->pos, false};
    if (view.data == nullptr) {
        *unreadable = true;
        return WALK_NOT_FOUND;
    }
    const line_matcher &matcher = walk_matcher(walk);
    bool skip_to_candidates =
        walk->want_match && (!matcher.literal.text.empty() || matcher.automaton != nullptr);
    int64_t lineno = walk->lineno;
    size_t cur = 0, region_end = 0;
    candidate_marks marks = {-1, -1, -1, -1};
    file_pos recorded = view.base;
    for (;;) {
        if (pending_signals != 0)
            return WALK_SIGNALLED;
        if (cur == region_end) {
            if (view.eof)
                return WALK_NOT_FOUND;
            if (lineno != 0 && starts_text_line_in(&view, cur) &&
                view.base + static_cast<file_pos>(cur) - recorded >= RECORD_SPACING) {
                recorded = view.base + static_cast<file_pos>(cur);
                record_line(lineno, recorded);
            }
            if (!read_more(&view, cur)) {
                walk->pos = view.base;
                walk->lineno = lineno;
                *unreadable = true;
                return WALK_NOT_FOUND;
            }
            cur = 0;
            region_end = complete_end(&view, 0);
            marks = {-1, -1, -1, -1};
            continue;
        }
        size_t piece = cur;
        if (skip_to_candidates) {
            size_t hit = next_candidate(matcher, &view, cur, region_end, &marks);
            piece = hit < region_end ? piece_start(&view, cur, hit) : region_end;
            if (lineno != 0)
                lineno += count_newlines(view.data + cur, view.data + piece);
            cur = piece;
            if (piece == region_end)
                continue;
        }
        size_t limit = piece + RAW_LINE_MAX < region_end ? piece + RAW_LINE_MAX : region_end;
        auto *newline = static_cast<const unsigned char *>(
            memchr(view.data + piece, '\n', limit - piece));
        size_t end = newline != nullptr ? static_cast<size_t>(newline - view.data) : limit;
        if (line_qualifies(walk, view.data + piece, end - piece) &&
            --walk->n <= 0)
            return found_at(walk, view.base + static_cast<file_pos>(piece), lineno,
                            starts_text_line_in(&view, piece));
        cur = end;
        if (end < view.length && view.data[end] == '\n') {
            cur++;
            if (lineno != 0)
                lineno++;
        }
    }
}

// Reads the stretch of the file that ends at `end` into the block, as much
// of it as fits.  False when the input cannot be read by position, or no
// longer holds all of it.
static bool read_before(block_view *view, file_pos end)
{
    file_pos start = end > static_cast<file_pos>(view->capacity)
                         ? end - static_cast<file_pos>(view->capacity) : 0;
    size_t want = static_cast<size_t>(end - start);
    ssize_t got = input_read_at(view->data, want, start);
    if (got < 0 || static_cast<size_t>(got) != want)
        return false;
    view->base = start;
    view->length = want;
    view->eof = false;
    return true;
}

// The last places before the walk's position in the block where the
// literal (whole) lies, and the literal's key byte in a line that may join
// it, -1 for none; valid once `searched`.  As forward, each is looked for
// again only once passed.
struct back_marks {
    bool searched;
    int64_t literal;
    int64_t joined;
};

// The last place before `cur` in the block of the literal's key byte in a
// line (up to `cur`) that may join the literal; -1 when there is none.
static int64_t last_joined_key(const search_literal &literal, const block_view *view,
                               size_t cur)
{
    const unsigned char *data = view->data;
    for (const unsigned char *limit = data + cur; limit > data;) {
        const unsigned char *hit = rfind_literal_key(&literal, data, limit);
        if (hit == nullptr)
            return -1;
        auto *before = static_cast<const unsigned char *>(
            memrchr(data, '\n', static_cast<size_t>(hit - data)));
        auto *after = static_cast<const unsigned char *>(
            memchr(hit, '\n', static_cast<size_t>(data + cur - hit)));
        const unsigned char *line_start = before != nullptr ? before + 1 : data;
        if (may_join(literal, line_start, after != nullptr ? after : data + cur))
            return hit - data;
        limit = line_start;
    }
    return -1;
}

// The last place before `cur` in the block where a line may match, -1 when
// there is none.  The marks found for a later `cur` are kept while they lie
// before this one.
static int64_t last_candidate(const search_literal &literal, const block_view *view,
                              size_t cur, back_marks *marks)
{
    const unsigned char *data = view->data;
    auto length = static_cast<int64_t>(literal.text.size());
    if (!marks->searched || marks->literal + length > static_cast<int64_t>(cur)) {
        const unsigned char *hit = rfind_search_literal(&literal, data, data + cur);
        marks->literal = hit != nullptr ? hit - data : -1;
    }
    if (!marks->searched || marks->joined >= static_cast<int64_t>(cur))
        marks->joined = last_joined_key(literal, view, cur);
    marks->searched = true;
    return marks->literal > marks->joined ? marks->literal : marks->joined;
}

// Where a backward walk at `cur` may go on without examining a line: past
// every whole line after the last candidate (to the start of the line after
// the one holding it), or, with no candidate in the block, to the first
// line start of the block.  `cur` itself when no line can be passed.
static size_t skip_back_target(const block_view *view, size_t cur, int64_t candidate)
{
    const unsigned char *data = view->data;
    size_t from = candidate >= 0 ? static_cast<size_t>(candidate) : 0;
    auto *newline = static_cast<const unsigned char *>(memchr(data + from, '\n', cur - from));
    return newline != nullptr ? static_cast<size_t>(newline - data) + 1 : cur;
}

// The backward walk over blocks read by position; like walk_blocks it sets
// *unreadable, and walk->pos where it stopped, when the input cannot be read
// that way.  Each block holds, below the walk's position, a whole raw line
// and the byte before it (or reaches the beginning of the file).
static search_outcome walk_blocks_backward(search_walk *walk, bool *unreadable)
{
    size_t capacity = search_block_size < SEARCH_MIN_BLOCK ? size_t{SEARCH_MIN_BLOCK} : search_block_size;
    block_view view = {block_buffer_of(capacity), 0, capacity, 0, false};
    if (view.data == nullptr) {
        *unreadable = true;
        return WALK_NOT_FOUND;
    }
    const search_literal &literal = walk_matcher(walk).literal;
    bool skip_to_candidates = walk->want_match && !literal.text.empty();
    int64_t lineno = walk->lineno;
    file_pos pos = walk->pos;
    file_pos recorded = pos;
    size_t cur = 0;
    bool loaded = false;
    back_marks marks = {false, -1, -1};
    for (;;) {
        if (pending_signals != 0)
            return WALK_SIGNALLED;
        if (pos <= 0)
            return WALK_NOT_FOUND;
        if (!loaded || (view.base > 0 && cur < RAW_LINE_MAX + 2)) {
            if (!read_before(&view, pos)) {
                walk->pos = pos;
                walk->lineno = lineno;
                *unreadable = true;
                return WALK_NOT_FOUND;
            }
            cur = static_cast<size_t>(pos - view.base);
            loaded = true;
            marks = {false, -1, -1};
        }
        const unsigned char *data = view.data;
        if (skip_to_candidates) {
            int64_t candidate = last_candidate(literal, &view, cur, &marks);
            if (candidate < 0 && view.base == 0)
                return WALK_NOT_FOUND;
            size_t target = skip_back_target(&view, cur, candidate);
            if (target < cur) {
                if (lineno != 0)
                    lineno -= count_newlines(data + target, data + cur);
                cur = target;
                pos = view.base + static_cast<file_pos>(cur);
                if (lineno != 0 && recorded - pos >= RECORD_SPACING) {
                    recorded = pos;
                    record_line(lineno, pos);
                }
                continue;   // the block may need to reach further back now
            }
        }
        // One raw line, as prev_raw_line reads it: a newline just before
        // the position is passed over, and a piece is cut RAW_LINE_MAX
        // bytes before its end.
        bool leaves_line = data[cur - 1] == '\n';
        size_t end = leaves_line ? cur - 1 : cur;
        size_t lowest = end > RAW_LINE_MAX ? end - RAW_LINE_MAX : 0;
        auto *newline = static_cast<const unsigned char *>(
            memrchr(data + lowest, '\n', end - lowest));
        size_t start = newline != nullptr ? static_cast<size_t>(newline - data) + 1 : lowest;
        if (leaves_line && lineno != 0)
            lineno--;
        bool qualifies = line_qualifies(walk, data + start, end - start);
        cur = start;
        pos = view.base + static_cast<file_pos>(start);
        if (qualifies && --walk->n <= 0)
            return found_at(walk, pos, lineno, starts_text_line_in(&view, start));
        if (lineno != 0 && recorded - pos >= RECORD_SPACING && starts_text_line_in(&view, start)) {
            recorded = pos;
            record_line(lineno, pos);
        }
    }
}

// The walk one raw line at a time through the block cache, either way.
// Going forward a raw line that ends in a newline passes a text line;
// going backward the raw line before a text line's start belongs to the
// line above.
static search_outcome walk_lines(search_walk *walk, bool forward)
{
    file_pos pos = walk->pos;
    int64_t lineno = walk->lineno;
    file_pos recorded = pos;
    for (;;) {
        if (pending_signals != 0)
            return WALK_SIGNALLED;
        bool leaves_line = !forward && starts_text_line(pos);
        file_pos next = forward ? next_raw_line(pos) : prev_raw_line(pos);
        if (pending_signals != 0)
            return WALK_SIGNALLED;
        if (next == -1)
            return WALK_NOT_FOUND;
        size_t length = strlen(line_text);
        auto *text = reinterpret_cast<unsigned char *>(line_text);
        file_pos start = forward ? pos : next;      // of the raw line read
        if (forward)
            leaves_line = next == pos + static_cast<file_pos>(length) + 1;
        else if (leaves_line && lineno != 0)
            lineno--;
        if (line_qualifies(walk, text, length) && --walk->n <= 0)
            return found_at(walk, start, lineno, starts_text_line(start));
        if (forward && leaves_line && lineno != 0)
            lineno++;
        file_pos passed = forward ? next - recorded : recorded - next;
        pos = next;
        if (lineno != 0 && passed >= RECORD_SPACING && starts_text_line(pos)) {
            recorded = pos;
            record_line(lineno, pos);
        }
    }
}

// A named file is scanned in large stretches; an input read in sequence
// (a pipe, a compressed file), or a file whose stretches cannot be read,
// one raw line at a time through the cache (from
// where the stretches stopped).
static search_outcome walk_either(search_walk *walk, bool forward)
{
    if (walk->n < 1)
        walk->n = 1;
    if (!cache_input_sequential() && input_fd >= 0) {
        bool unreadable = false;
        search_outcome outcome = forward ? walk_blocks(walk, &unreadable)
                                         : walk_blocks_backward(walk, &unreadable);
        if (!unreadable)
            return outcome;
    }
    return walk_lines(walk, forward);
}

search_outcome walk_forward(search_walk *walk)
{
    return walk_either(walk, true);
}

search_outcome walk_backward(search_walk *walk)
{
    return walk_either(walk, false);
}
