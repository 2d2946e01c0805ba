// A first pass over whole blocks for expressions without a selective
// literal: an automaton (Hyperscan, over bytes, several gigabytes a second
// where RE2's was measured at a quarter of one) that finds where a line may
// match, so that regexec is asked only about those lines.
//
// The answer must stay exactly regexec's, so the automaton's expression is
// a translation of the extended expression that matches at least wherever
// the original does: every text holding a match of the original holds a
// match of the translation.  Each piece is replaced by one whose strings
// include all of the piece's, and a piece the reading does not understand
// either widens to "any character" or gives up the translation (no first
// pass: every line goes to regexec as before).  What it relies on:
//   - anchors and word edges are dropped (a zero-width condition removed
//     only allows more), so a match found from the middle of a line, or in
//     a piece of a long line, is found the same way;
//   - a raw line is matched as it reads unless it holds a joiner (the walk
//     gives those lines to regexec without asking), but a NUL of the input
//     reads 0 or MARK_NUL: wherever MARK_NUL may match, so may 0;
//   - a newline is never matched, so a match lies in one line;
//   - in UTF-8 text a character beyond ASCII is its bytes (without case
//     folding) or any run of bytes beyond ASCII; "any character" is any
//     run of bytes but a newline; a letter folded with partners beyond
//     ASCII (the Kelvin sign for k) may also be such a run;
//   - bracket ranges are read as byte ranges only where the collation is
//     that of code points (C, POSIX, C.UTF-8); classes only in the C
//     locale; otherwise the bracket is any character;
//   - other locales than C and UTF-8 get no translation.
// The translation is compiled in Hyperscan's prefiltering mode, which may
// widen it further but never narrows it.  An expression that matches the
// empty string (every line) gets none: the first pass would pick every
// line; nor does a processor Hyperscan cannot run on.
//
// Owned here: nothing; each automaton belongs to the matcher that holds it.
#include <hs.h>

#include <cctype>
#include <cstdio>
#include <clocale>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>

#include "file/file.h"
#include "find.h"

struct block_automaton {
    hs_database_t *database;
    hs_scratch_t *scratch;
};

namespace {

// Larger counts of repetitions are left to regexec.
enum { MOST_REPEATS = 1000 };

const char ANY_CHARACTER_BYTE[] = "[^\\n]";
const char ANY_CHARACTER_RUN[] = "[^\\n]+";
// The bytes of a character beyond ASCII: MARK_NUL may be read 0.
const char WIDE_RUN[] = "[\\x00\\x80-\\xff]+";

// How the locale in force reads characters, brackets and case.
struct reading {
    bool utf8;                  // characters are UTF-8 (else single bytes, C)
    bool code_point_ranges;     // a range is the characters between its ends
    bool fold_case;
};

struct translation {
    const char *p;              // the next byte of the expression
    std::string out;
    bool failed;
};

std::string byte_escape(unsigned char byte)
{
    if (byte == static_cast<unsigned char>(MARK_NUL))
        return "[\\x00\\x80]";
    char text[12];
    snprintf(text, sizeof text, "\\x{%02x}", byte);
    return text;
}

bool is_name(const char *name, const char *const *names)
{
    for (; *names != nullptr; names++)
        if (strcmp(name, *names) == 0)
            return true;
    return false;
}

// An ASCII letter with both its cases, or with anything beyond ASCII too
// when folding may reach it from there.
std::string folded_letter(unsigned char c, const reading &r)
{
    std::string both = "[" + byte_escape(static_cast<unsigned char>(toupper(c))) +
                       byte_escape(static_cast<unsigned char>(tolower(c))) + "]";
    if (r.utf8 && !letter_folds_plainly(c))
        return "(?:" + both + "|" + WIDE_RUN + ")";
    return both;
}

std::string any_character(const reading &r)
{
    return r.utf8 ? ANY_CHARACTER_RUN : ANY_CHARACTER_BYTE;
}

// One character at t->p, not special; false when it cannot be read.
bool ordinary_character(translation *t, const reading &r, std::string *atom)
{
    auto c = static_cast<unsigned char>(*t->p);
    if (c < 0x80 || !r.utf8) {
        t->p++;
        if (r.fold_case && isalpha(c) && c < 0x80)
            *atom = folded_letter(c, r);
        else
            *atom = byte_escape(c);
        return true;
    }
    mbstate_t state{};
    size_t length = mbrlen(t->p, MB_LEN_MAX, &state);
    if (length == static_cast<size_t>(-1) || length == static_cast<size_t>(-2) || length == 0)
        return false;
    if (r.fold_case) {
        // it may fold onto an ASCII letter
        *atom = ANY_CHARACTER_RUN;
    } else {
        for (size_t i = 0; i < length; i++)
            *atom += byte_escape(static_cast<unsigned char>(t->p[i]));
    }
    t->p += length;
    return true;
}

// The ASCII set of the C locale's class `name`; false for an unknown name.
bool class_members(const std::string &name, bool members[128])
{
    static const char *const names[] = {"alpha", "digit", "alnum", "upper", "lower", "space",
                                        "blank", "punct", "print", "graph", "cntrl", "xdigit",
                                        nullptr};
    if (!is_name(name.c_str(), names))
        return false;
    wctype_t type = wctype(name.c_str());
    for (int b = 1; b < 128; b++)
        if (iswctype(static_cast<wint_t>(b), type))
            members[b] = true;
    return true;
}

// A bracket expression at t->p ('['): the set of its ASCII members, or any
// character when it holds what is not read as bytes here.
std::string bracket(translation *t, const reading &r)
{
    const char *p = t->p + 1;
    bool negated = *p == '^';
    if (negated)
        p++;
    bool members[128] = {};
    bool wide = false;
    for (bool first = true; *p != 0 && (first || *p != ']'); first = false) {
        if (*p == '[' && (p[1] == ':' || p[1] == '=' || p[1] == '.')) {
            char kind = p[1];
            const char *close = strstr(p + 2, kind == ':' ? ":]" : kind == '=' ? "=]" : ".]");
            if (close == nullptr) {
                t->failed = true;
                return "";
            }
            std::string name(p + 2, close);
            if (kind != ':' || r.utf8 || !class_members(name, members))
                wide = true;
            p = close + 2;
            continue;
        }
        auto low = static_cast<unsigned char>(*p);
        if (low >= 0x80)
            wide = true;
        if (p[1] == '-' && p[2] != ']' && p[2] != 0) {
            auto high = static_cast<unsigned char>(p[2]);
            if (high == '[') {
                t->failed = true;   // an end of a range written as a name
                return "";
            }
            if (high >= 0x80 || !r.code_point_ranges)
                wide = true;
            for (unsigned b = low; b <= high && b < 0x80; b++)
                members[b] = true;
            p += 3;
            continue;
        }
        if (low < 0x80)
            members[low] = true;
        p++;
    }
    if (*p != ']') {
        t->failed = true;
        return "";
    }
    t->p = p + 1;
    if (r.fold_case) {
        for (int b = 'a'; b <= 'z'; b++) {
            if ((members[b] || members[toupper(b)]) && r.utf8 && !letter_folds_plainly(b))
                wide = true;
            members[b] = members[toupper(b)] = members[b] || members[toupper(b)];
        }
        wide = wide || negated;
    }
    if (wide)
        return any_character(r);
    std::string set;
    for (int b = 1; b < 128; b++)
        if (members[b] && b != '\n')
            set += byte_escape(static_cast<unsigned char>(b));
    if (!negated)
        return set.empty() ? std::string() : "[" + set + "]";
    // a character not listed: one byte, or in UTF-8 a character beyond ASCII
    std::string others = "[^" + set + "\\n]";
    return r.utf8 ? "(?:" + others + "|" + WIDE_RUN + ")" : others;
}

// An interval at t->p ('{'), as the automaton writes it; empty when it is
// none it takes the same way.
std::string interval(translation *t)
{
    const char *p = t->p + 1;
    long low = -1, high = -1;
    bool comma = false;
    auto number = [&p](long *value) {
        if (!isdigit(static_cast<unsigned char>(*p)))
            return;
        *value = 0;
        while (isdigit(static_cast<unsigned char>(*p)) && *value <= MOST_REPEATS)
            *value = *value * 10 + (*p++ - '0');
    };
    number(&low);
    if (*p == ',') {
        comma = true;
        p++;
        number(&high);
    }
    if (*p != '}' || (low < 0 && high < 0) || low > MOST_REPEATS || high > MOST_REPEATS)
        return "";
    t->p = p + 1;
    std::string from = std::to_string(low < 0 ? 0 : low);
    if (!comma)
        return "{" + from + "}";
    return "{" + from + "," + (high < 0 ? "" : std::to_string(high)) + "}";
}

// The escape at t->p ('\\'): a special character taken literally, a
// zero-width condition (dropped), a word or space class (any character);
// anything else (a back-reference) fails.  *is_atom says whether it is
// something a quantifier may follow.
std::string escape(translation *t, const reading &r, bool *is_atom)
{
    char c = t->p[1];
    *is_atom = true;
    if (c != 0 && strchr(".[]()*+?{}|^$\\", c) != nullptr) {
        t->p++;
        std::string atom;
        ordinary_character(t, r, &atom);
        return atom;
    }
    t->p += c != 0 ? 2 : 1;
    if (c != 0 && strchr("<>bB`'", c) != nullptr) {
        *is_atom = false;
        return "";
    }
    if (c != 0 && strchr("wWsS", c) != nullptr)
        return any_character(r);
    t->failed = true;
    return "";
}

// The translation of the whole expression; empty when there is none.
std::string translate(const char *pattern, const reading &r)
{
    translation t = {pattern, "", false};
    int depth = 0;
    bool after_atom = false;        // a quantifier may follow
    bool after_quantifier = false;
    while (*t.p != 0 && !t.failed) {
        char c = *t.p;
        std::string atom;
        bool is_atom = true;
        if (c == '*' || c == '+' || c == '?' || c == '{') {
            std::string repeat = c == '{' ? interval(&t) : std::string(1, c);
            if (c != '{')
                t.p++;
            // a quantifier on nothing, or on a quantifier, reads
            // differently here and there
            if (repeat.empty() || !after_atom || after_quantifier)
                return "";
            t.out += repeat;
            after_quantifier = true;
            continue;
        }
        after_quantifier = false;
        switch (c) {
        case '|':
            t.out += '|';
            t.p++;
            is_atom = false;
            break;
        case '(':
            t.out += "(?:";
            depth++;
            t.p++;
            is_atom = false;
            break;
        case ')':
            if (depth-- == 0)
                return "";
            t.out += ')';
            t.p++;
            break;
        case '^':
        case '$':
            t.p++;
            is_atom = false;
            break;
        case '.':
            atom = any_character(r);
            t.p++;
            break;
        case '[':
            atom = bracket(&t, r);
            if (atom.empty())
                return "";
            break;
        case '\\':
            atom = escape(&t, r, &is_atom);
            break;
        default:
            if (!ordinary_character(&t, r, &atom))
                return "";
            break;
        }
        if (!atom.empty())
            t.out += "(?:" + atom + ")";
        after_atom = is_atom;
    }
    if (t.failed || depth != 0)
        return "";
    return t.out;
}

bool collates_by_code_point()
{
    static const char *const names[] = {"C", "POSIX", "C.UTF-8", "C.utf8", nullptr};
    const char *collate = setlocale(LC_COLLATE, nullptr);
    return collate != nullptr && is_name(collate, names);
}

// How the locale in force reads; false for a locale neither C nor UTF-8.
bool locale_reading(int fold_case, reading *r)
{
    static const char *const c_names[] = {"C", "POSIX", nullptr};
    const char *ctype = setlocale(LC_CTYPE, nullptr);
    r->utf8 = utf8_text != 0;
    r->fold_case = fold_case != 0;
    r->code_point_ranges = collates_by_code_point();
    return r->utf8 || (ctype != nullptr && is_name(ctype, c_names) && MB_CUR_MAX == 1);
}

}  // namespace

std::string automaton_expression(const char *pattern, int fold_case)
{
    reading r{};
    if (!locale_reading(fold_case, &r))
        return "";
    return translate(pattern, r);
}

// Stops the scan at the first match, keeping where it ends.
static int first_match(unsigned int, unsigned long long, unsigned long long to, unsigned int,
                       void *context)
{
    *static_cast<unsigned long long *>(context) = to;
    return 1;
}

block_automaton *make_block_automaton(const char *pattern, int fold_case)
{
    if (hs_valid_platform() != HS_SUCCESS)
        return nullptr;
    std::string source = automaton_expression(pattern, fold_case);
    if (source.empty())
        return nullptr;
    hs_database_t *database = nullptr;
    hs_compile_error_t *error = nullptr;
    if (hs_compile(source.c_str(), HS_FLAG_PREFILTER | HS_FLAG_SINGLEMATCH, HS_MODE_BLOCK,
                   nullptr, &database, &error) != HS_SUCCESS) {
        hs_free_compile_error(error);     // (matches the empty string, or too large)
        return nullptr;
    }
    hs_scratch_t *scratch = nullptr;
    if (hs_alloc_scratch(database, &scratch) != HS_SUCCESS) {
        hs_free_database(database);
        return nullptr;
    }
    return new block_automaton{database, scratch};
}

void free_block_automaton(block_automaton *automaton)
{
    if (automaton == nullptr)
        return;
    hs_free_scratch(automaton->scratch);
    hs_free_database(automaton->database);
    delete automaton;
}

// The last byte of the first match to end: no match crosses a newline, so
// it lies in the first line holding one.  A scan that fails (it cannot,
// but for the lack of memory) picks the start.
const unsigned char *automaton_find(const block_automaton *automaton,
                                    const unsigned char *from, const unsigned char *end)
{
    unsigned long long match_end = 0;
    hs_error_t status = hs_scan(automaton->database, reinterpret_cast<const char *>(from),
                                static_cast<unsigned int>(end - from), 0, automaton->scratch,
                                first_match, &match_end);
    if (status == HS_SUCCESS)
        return nullptr;
    if (status != HS_SCAN_TERMINATED || match_end == 0)
        return from < end ? from : nullptr;
    return from + match_end - 1;
}
