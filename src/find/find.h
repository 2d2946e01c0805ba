// Finding things: regular-expression search, the filter and tags.
#ifndef VORN_FIND_H
#define VORN_FIND_H

#include <regex.h>

#include <bitset>
#include <cstddef>
#include <string>
#include <vector>

#include "vorn.h"

// --- highlight.cpp: the matches of the last pattern on the painted lines ---
extern int highlight_matches;       // matches are shown in standout
void set_highlight(int on);
// Whether the search now holds a compiled expression (its matches are the
// ones highlighted); and the sense of the last search (inverted: nothing
// to highlight).
void highlight_pattern(int compiled);
void highlight_sense(int want_match);
void highlight_reset();

// --- search_size.cpp: what compiling an expression would cost ---
// Whether the repetitions of `pattern` (an extended expression) would make
// the C library build too much: such an expression is refused uncompiled.
bool expression_too_large(const char *pattern);

// --- search_literal.cpp: a literal every match must contain ---
struct search_literal {
    std::string text;               // empty: none (every line may match)
    int fold_case;                  // text is in lower case; compare folded
    size_t key_index;               // the byte looked for first
};
void make_search_literal(const char *pattern, int fold_case, search_literal *literal);
const search_literal &current_search_literal();   // of the current expression
// The first place in [from, end) holding the whole literal; null if none.
// With an empty literal, `from` itself (when the range is not empty).
const unsigned char *find_search_literal(const search_literal *literal,
                                         const unsigned char *from,
                                         const unsigned char *end);
// The last place in [from, end) holding the whole literal; null if none.
// With an empty literal, the last byte of the range.
const unsigned char *rfind_search_literal(const search_literal *literal,
                                          const unsigned char *from,
                                          const unsigned char *end);
// The first (last) place in [from, end) of the literal's key byte, either
// case of it when folding; null if none or the literal is empty.
const unsigned char *find_literal_key(const search_literal *literal, const unsigned char *from,
                                      const unsigned char *end);
const unsigned char *rfind_literal_key(const search_literal *literal,
                                       const unsigned char *from, const unsigned char *end);
// Whether every byte of the literal (either case when folding) lies
// somewhere in [from, end): a line whose reduced text holds the literal
// holds its bytes, wherever the colour sequences and overstrikes were.
bool holds_literal_bytes(const search_literal *literal, const unsigned char *from,
                         const unsigned char *end);
// Whether ASCII letter `c` has, in the locale in force, no case partner
// but its ASCII pair.
bool letter_folds_plainly(unsigned char c);
// Skips a bracket expression starting at `p` ('['); returns the position
// after its closing bracket, or the end of the pattern.
const char *skip_bracket_expression(const char *p);

// --- search_simple.cpp: expressions of single characters, without regexec ---
struct simple_expression {
    bool usable = false;            // lines can be decided without regexec
    bool at_start = false;          // anchored by ^
    bool at_end = false;            // anchored by $
    std::vector<std::bitset<256>> sets;
};
// Reads `pattern` (compiled by regcomp with `flags`, in the locale in
// force) into *simple, usable when a line can be decided without regexec.
void make_simple_expression(const char *pattern, int flags, simple_expression *simple);
// Whether the expression matches the line (1 or 0; the line holds no NUL
// and no newline); -1 when it is not usable, and regexec must decide.
int simple_expression_matches(const simple_expression &simple, const char *text, size_t length);

// --- search_automaton.cpp: a first pass over whole blocks ---
// An automaton that matches wherever the extended expression `pattern`
// (compiled by regcomp in the locale in force) matches, and maybe more;
// null when there is none worth running (see the file).
struct block_automaton;
block_automaton *make_block_automaton(const char *pattern, int fold_case);
void free_block_automaton(block_automaton *automaton);
// A place in the line of [from, end) where the automaton's first match
// lies; null if none.  A raw line without a joiner that holds no match of
// the automaton cannot match.
const unsigned char *automaton_find(const block_automaton *automaton,
                                    const unsigned char *from, const unsigned char *end);
// The automaton's expression (the syntax of Perl's, over bytes); empty
// when there is none.
std::string automaton_expression(const char *pattern, int fold_case);

// --- search.cpp: regular-expression search ---
// One compiled expression with what makes lines fast to decide: the search
// keeps one, the filter another.  Never copied (it holds a regex_t).
struct line_matcher {
    regex_t regex;
    bool compiled = false;
    std::string source;             // the expression as given
    int ignore_case = 0;
    int for_utf8 = 0;               // compiled while text was read as UTF-8
    int flags = 0;                  // those given to regcomp
    search_literal literal;
    simple_expression simple;
    // the first pass for an expression without a selective literal; null
    // when there is none (owned: freed by matcher_forget)
    block_automaton *automaton = nullptr;
};
// Compiles `pattern` into *matcher: 1, or 0 with the reason recorded as a
// message and nothing compiled.
int matcher_compile(line_matcher *matcher, const char *pattern, int ignore_case);
void matcher_forget(line_matcher *matcher);
// Whether a raw line (`length` bytes at `text`, a NUL of the input as 0
// or 0x80) qualifies under a compiled matcher: its reduced text matches
// and `want_match` is 1, or it does not and `want_match` is 0.
bool matcher_qualifies(const line_matcher &matcher, const char *text, size_t length,
                       int want_match);
const line_matcher &current_search_matcher();
int search_pattern(int forward, const char *pattern, int n, int want_match);
// Whether the last search_pattern found nothing because it ran out of
// lines (not for a bad expression or a signal).
bool search_ran_out();
// The current expression searched for in a file just opened, from its
// first line forward or from its end backward: 1 when a line is found and
// shown, else 0 with nothing said.
int search_opened_file(int forward, int want_match);
// Whether searches go on into the other files of the list (-a, the
// searchfiles command); off at start.
void set_search_files(int on);
int searches_files();
void search_reset();                // forgets the current expression
// Makes `pattern` the current expression: 1, or 0 after showing why not.
int search_compile(const char *pattern);
// The text of a raw line as it is matched, the one reduction that search
// and highlighting share: colour sequences removed while colours are shown,
// every overstrike (a character, a backspace and a second character)
// reduced to the character that shows, a NUL of the input (0 or 0x80) as
// MARK_NUL.  `raw` has `length` bytes; the reduced text goes to `out`
// (room for `length` bytes; `raw` itself will do).  With `origin` (room
// for `length` entries), origin[i] is the offset in `raw` of the first
// byte that makes reduced byte i: for the character after an overstrike,
// the first byte of the character struck.  Returns the reduced length.
size_t reduce_for_matching(const char *raw, size_t length, char *out, size_t *origin);
// matcher_qualifies under the current expression, which must exist.
bool search_line_qualifies(const char *text, size_t length, int want_match);
// The first match of the current expression in the reduced, terminated
// `text` that starts at or after `from` (a match found after the start is
// not taken to be at the beginning of a line); false when there is none,
// or no current expression.
bool search_find_match(const char *text, size_t from, size_t *start, size_t *end);

// --- search_scan.cpp: the walks of a search ---
// One walk over the raw lines from `pos` to the n-th qualifying one.  On
// success `pos` is the start of that line and `lineno` its number; `lineno`
// is the number of the text line holding `pos`, 0 while it is unknown.
// The lines are decided by `matcher`, the current search expression when
// it is null.
struct search_walk {
    file_pos pos;
    int64_t lineno;
    int n;
    int want_match;
    const line_matcher *matcher = nullptr;
};
enum search_outcome { WALK_FOUND, WALK_NOT_FOUND, WALK_SIGNALLED };
search_outcome walk_forward(search_walk *walk);
search_outcome walk_backward(search_walk *walk);
// Size of the blocks a walk reads a named file in (tests make it small to
// cross block edges).  At least SEARCH_MIN_BLOCK.
enum { SEARCH_MIN_BLOCK = 4 * 8192 };
extern size_t search_block_size;

// --- filter.cpp: the filter, which shows only some text lines ---
// Sets the filter to `expression` (a leading '!' shows the lines that do
// not match); an empty one clears it.  0 when the expression does not
// compile (the message recorded, the filter left as it was).
int set_filter(const char *expression);
bool filter_active();
const char *filter_expression();    // as given, '!' included; "" when none
// Whether the text line starting at `start` is shown.
bool filter_shows(file_pos start);
void filter_reset();

// --- tags.cpp: tags from a tags file or from the global program ---
enum { TAGS_FILE = 0, GLOBAL_PROGRAM = 1 };
enum { TAG_ANCHOR_START = 1, TAG_ANCHOR_END = 2 };
// One place global reported for a name.
struct tag_entry {
    std::string file;
    int line;                       // greater than 0
};
extern int tag_source;              // index asked first; the current tag's
extern const char *tag_file;        // file of the current tag, or null
extern std::string tag_pattern;     // tags file: text of the tag's line
extern int tag_match_mode;          // tags file: TAG_ANCHOR_* bits
extern std::vector<tag_entry> tag_list;  // global: definitions, references
extern int tag_current;             // index into tag_list, -1 for none
void find_tag(const char *name);
void next_tag(int64_t n);
void prev_tag(int64_t n);
int go_to_tag();
const char *lookup_tags_file(const char *name);
const char *lookup_global(const char *name);
int parse_global_line(char *line, char **name, char **file, char **number_text);
const char *next_tag_entry();
const char *prev_tag_entry();
int locate_ctag();
int locate_gtag();
void reset_tags();

// --- tag_program.cpp: running global for one name ---
// The output of one run of the program, read line by line.
struct program_output {
    int pid;                        // -1 when nothing runs
    int fd;                         // read end of its standard output
    char chunk[1024];
    int chunk_start, chunk_end;
    int at_end;
};
int start_global(program_output *out, const char *option, const char *name);
int read_output_line(program_output *out, char *line, int size);
void finish_program(program_output *out, int abandon);
// tags.cpp: the places of one run's output, appended to tag_list.
int append_global_places(program_output *out);

#endif
