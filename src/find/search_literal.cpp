// The literal that every match of a search expression must contain, and a
// fast way to find it in a block of text, from either end.
//
// A forward search through a large file runs the expression only on the
// lines that could match: those holding the literal (or a backspace, see
// the block scanner).  For that to leave the answer unchanged the literal
// must be *required*: every string the expression can match contains it.
// So the reading of the expression is deliberately timid.  It takes plain
// characters of the top level (not inside groups, brackets or alternations)
// and drops every character that a quantifier could remove; whatever it
// does not understand ends a run of characters and contributes nothing.
// A top-level alternation gives no literal at all.  In UTF-8 text a
// character beyond ASCII is one element (a quantifier takes it whole) and
// belongs to the literal with all its bytes when it is well formed and, with
// case folding, when folding can neither change it nor make another
// character into it (a CJK character, not an accented letter).  In other
// locales a byte with the high bit set belongs to it only without case
// folding, in a locale of single bytes.  The byte the input's NUL is
// matched as (MARK_NUL) never does: a line holding a NUL reads that byte
// only once reduced.  With case folding only ASCII letters whose case
// partners are the plain ASCII pair belong to it: in some locales `i` folds
// to a dotted capital, and `k` and `s` have non-ASCII partners in Unicode.
//
// Owned here: nothing but the table of characters that fold safely,
// computed once per locale the first time case folding asks.
#include <algorithm>
#include <cctype>
#include <climits>
#include <clocale>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

#include "file/file.h"
#include "find.h"

namespace {

// One element of the top level of an expression.
struct atom {
    std::string text;   // the bytes of the character, empty for anything else
    bool optional;      // a quantifier allows it to be absent
    bool repeated;      // a quantifier allows more of it: ends the run
};

const atom unknown_atom = {"", false, false};

// Rough frequency rank of a byte in text and logs: the literal is found by
// looking for its least common byte.
int commonness(unsigned char c)
{
    static const char by_frequency[] = " etaoinsrhldcu0123456789mfpgwybv.,:-/_=kxjqz";
    // of a UTF-8 character, a byte after the first tells characters of
    // one script apart: the first is the same for thousands of them
    if (c >= 0x80)
        return c >= 0xc0 ? 1 : 0;
    if (isupper(c))
        c = static_cast<unsigned char>(tolower(c));
    const char *at = c != 0 ? strchr(by_frequency, c) : nullptr;
    if (at == nullptr)
        return 0;
    return static_cast<int>(sizeof by_frequency - static_cast<size_t>(at - by_frequency));
}

}  // namespace

// The characters beyond ASCII that case folding can reach from another
// character, in the current locale (sorted).
static std::vector<wint_t> fold_targets;

// Whether letter `c` has, in the current locale, no case partner but its
// ASCII pair.  Every character of the locale is looked at once per locale
// (and the characters beyond ASCII that folding reaches are kept).
bool letter_folds_plainly(unsigned char c)
{
    static std::string table_locale;
    static bool plain[128];
    const char *now = setlocale(LC_CTYPE, nullptr);
    std::string name = now != nullptr ? now : "";
    if (name.empty() || name != table_locale) {
        table_locale = name;
        fold_targets.clear();
        for (bool &p : plain)
            p = true;
        // a letter that anything but its ASCII partner folds onto
        auto taint = [](long folded) {
            if (folded >= 0 && folded < 128 && isalpha(static_cast<int>(folded))) {
                plain[tolower(static_cast<int>(folded))] = false;
                plain[toupper(static_cast<int>(folded))] = false;
            }
        };
        for (int b = 0; b < 128; b++) {
            if (!isalpha(b))
                continue;
            if (tolower(b) >= 128 || toupper(b) >= 128 ||
                towlower(static_cast<wint_t>(b)) >= 128 || towupper(static_cast<wint_t>(b)) >= 128)
                taint(b);
        }
        for (int b = 128; b < 256; b++) {
            taint(tolower(b));
            taint(toupper(b));
        }
        for (wint_t wc = 128; wc <= 0x10FFFF; wc++) {
            wint_t lower = towlower(wc), upper = towupper(wc);
            taint(static_cast<long>(lower));
            taint(static_cast<long>(upper));
            if (lower != wc)
                fold_targets.push_back(lower);
            if (upper != wc)
                fold_targets.push_back(upper);
        }
        std::sort(fold_targets.begin(), fold_targets.end());
    }
    return c < 128 && plain[c];
}

// Whether case folding leaves the character beyond ASCII `wc` alone: it
// has no other case, and no other character folds to it.
static bool folds_to_itself(wint_t wc)
{
    letter_folds_plainly('a');     // the table of this locale
    return towlower(wc) == wc && towupper(wc) == wc &&
           !std::binary_search(fold_targets.begin(), fold_targets.end(), wc);
}

// The atom of the character beyond ASCII at `p`, and its length in *size:
// its bytes when they may belong to the literal, unknown otherwise.
static atom wide_atom(const char *p, int fold_case, size_t *size)
{
    auto byte = static_cast<unsigned char>(*p);
    *size = 1;
    if (!utf8_text) {
        bool usable = !fold_case && MB_CUR_MAX == 1 && byte != MARK_NUL;
        return usable ? atom{std::string(1, *p), false, false} : unknown_atom;
    }
    mbstate_t state{};
    wchar_t wc = 0;
    size_t length = mbrtowc(&wc, p, MB_LEN_MAX, &state);
    if (length == static_cast<size_t>(-1) || length == static_cast<size_t>(-2) || length < 2)
        return unknown_atom;
    *size = length;
    std::string bytes(p, length);
    bool usable = bytes.find(static_cast<char>(MARK_NUL)) == std::string::npos &&
                  (!fold_case || folds_to_itself(static_cast<wint_t>(wc)));
    return usable ? atom{bytes, false, false} : unknown_atom;
}

const char *skip_bracket_expression(const char *p)
{
    p++;
    if (*p == '^')
        p++;
    if (*p == ']')
        p++;
    while (*p != 0 && *p != ']') {
        if (*p == '[' && (p[1] == ':' || p[1] == '=' || p[1] == '.')) {
            char kind = p[1];
            const char *close = p + 2;
            while (*close != 0 && !(close[0] == kind && close[1] == ']'))
                close++;
            p = *close != 0 ? close + 2 : close;
            continue;
        }
        p++;
    }
    return *p == ']' ? p + 1 : p;
}

// Skips a parenthesised group starting at `p` ('('), nested groups,
// brackets and escapes included.
static const char *skip_group(const char *p)
{
    int depth = 0;
    while (*p != 0) {
        if (*p == '\\' && p[1] != 0) {
            p += 2;
            continue;
        }
        if (*p == '[') {
            p = skip_bracket_expression(p);
            continue;
        }
        if (*p == '(')
            depth++;
        if (*p == ')' && --depth == 0)
            return p + 1;
        p++;
    }
    return p;
}

// An interval "{m}", "{m,}", "{m,n}" or "{,n}" at `p`: its end, and
// whether it allows zero repetitions.  Null when `p` holds no interval.
static const char *read_interval(const char *p, bool *allows_zero)
{
    const char *q = p + 1;
    long low = 0;
    bool digits = false;
    while (isdigit(static_cast<unsigned char>(*q))) {
        low = low * 10 + (*q - '0');
        if (low > 100000)
            low = 100000;
        digits = true;
        q++;
    }
    if (*q == ',') {
        q++;
        while (isdigit(static_cast<unsigned char>(*q)))
            q++;
    } else if (!digits) {
        return nullptr;
    }
    if (*q != '}')
        return nullptr;
    *allows_zero = low == 0;
    return q + 1;
}

static void apply_quantifier(std::vector<atom> *atoms, bool allows_zero)
{
    if (atoms->empty())
        return;
    atom &last = atoms->back();
    if (allows_zero)
        last.optional = true;
    last.repeated = true;
}

static bool is_literal_escape(char c)
{
    return c != 0 && strchr(".[]()*+?{}|^$\\", c) != nullptr;
}

// The top level of `pattern` as atoms; false when it has an alternation.
static bool read_atoms(const char *pattern, int fold_case, std::vector<atom> *atoms)
{
    const char *p = pattern;
    while (*p != 0) {
        unsigned char c = static_cast<unsigned char>(*p);
        bool allows_zero = false;
        const char *after;
        switch (c) {
        case '|':
            return false;
        case '*':
        case '?':
            apply_quantifier(atoms, true);
            p++;
            continue;
        case '+':
            apply_quantifier(atoms, false);
            p++;
            continue;
        case '{':
            after = read_interval(p, &allows_zero);
            if (after != nullptr) {
                apply_quantifier(atoms, allows_zero);
                p = after;
                continue;
            }
            // not an interval: taken for nothing we rely on
            atoms->push_back(unknown_atom);
            p++;
            continue;
        case '[':
            atoms->push_back(unknown_atom);
            p = skip_bracket_expression(p);
            continue;
        case '(':
            atoms->push_back(unknown_atom);
            p = skip_group(p);
            continue;
        case '\\':
            if (is_literal_escape(p[1])) {
                c = static_cast<unsigned char>(p[1]);
                p += 2;
                break;
            }
            // a back-reference or an extension: unknown
            atoms->push_back(unknown_atom);
            p += p[1] != 0 ? 2 : 1;
            continue;
        case '.':
        case '^':
        case '$':
        case ')':
            atoms->push_back(unknown_atom);
            p++;
            continue;
        default:
            if (c >= 0x80) {
                size_t size;
                atoms->push_back(wide_atom(p, fold_case, &size));
                p += size;
                continue;
            }
            p++;
            break;
        }
        bool usable = c < 128 && c != 0 && c != '\n' &&
                      (!fold_case || !isalpha(c) || letter_folds_plainly(c));
        atoms->push_back(usable ? atom{std::string(1, static_cast<char>(c)), false, false}
                                : unknown_atom);
    }
    return true;
}

// The longest run of required characters.
static std::string longest_run(const std::vector<atom> &atoms)
{
    std::string best, run;
    for (const atom &a : atoms) {
        if (a.text.empty() || a.optional) {
            run.clear();
            continue;
        }
        run += a.text;
        if (run.size() > best.size())
            best = run;
        if (a.repeated)
            run.clear();
    }
    return best;
}

void make_search_literal(const char *pattern, int fold_case, search_literal *literal)
{
    std::vector<atom> atoms;
    literal->text.clear();
    literal->fold_case = fold_case;
    literal->key_index = 0;
    if (!read_atoms(pattern, fold_case, &atoms))
        return;
    literal->text = longest_run(atoms);
    if (fold_case) {
        for (char &c : literal->text) {
            auto byte = static_cast<unsigned char>(c);
            if (byte < 0x80)
                c = static_cast<char>(tolower(byte));
        }
    }
    // The byte looked for first: the least common one, and with case
    // folding one that is not a letter where there is such a byte.
    int best = -1;
    for (size_t i = 0; i < literal->text.size(); i++) {
        unsigned char c = static_cast<unsigned char>(literal->text[i]);
        int score = commonness(c) + (fold_case && isalpha(c) ? 100 : 0);
        if (best < 0 || score < best) {
            best = score;
            literal->key_index = i;
        }
    }
}

// Whether the literal lies at `at` (at least its length before `end`).
static bool literal_at(const search_literal *literal, const unsigned char *at)
{
    const std::string &text = literal->text;
    if (!literal->fold_case)
        return memcmp(at, text.data(), text.size()) == 0;
    for (size_t i = 0; i < text.size(); i++) {
        if (tolower(at[i]) != static_cast<unsigned char>(text[i]))
            return false;
    }
    return true;
}

enum { CASE_WINDOW = 4096 };

// The next place at or after `from` and before `end` where byte `key`
// (either case of it when folding) lies.  Both cases are looked for a
// window at a time, so that a case that is rare costs no long look-ahead
// on every call.
static const unsigned char *find_key(const unsigned char *from, const unsigned char *end,
                                     unsigned char key, bool both_cases)
{
    if (!both_cases)
        return static_cast<const unsigned char *>(memchr(from, key, static_cast<size_t>(end - from)));
    unsigned char other = static_cast<unsigned char>(toupper(key));
    while (from < end) {
        size_t span = static_cast<size_t>(end - from);
        if (span > CASE_WINDOW)
            span = CASE_WINDOW;
        auto *first = static_cast<const unsigned char *>(memchr(from, key, span));
        size_t shorter = first != nullptr ? static_cast<size_t>(first - from) : span;
        auto *second = static_cast<const unsigned char *>(memchr(from, other, shorter));
        if (second != nullptr)
            return second;
        if (first != nullptr)
            return first;
        from += span;
    }
    return nullptr;
}

// The last place at or after `from` and before `end` where byte `key`
// (either case of it when folding) lies: find_key looking from the end.
static const unsigned char *rfind_key(const unsigned char *from, const unsigned char *end,
                                      unsigned char key, bool both_cases)
{
    if (!both_cases)
        return static_cast<const unsigned char *>(memrchr(from, key, static_cast<size_t>(end - from)));
    unsigned char other = static_cast<unsigned char>(toupper(key));
    while (from < end) {
        size_t span = static_cast<size_t>(end - from);
        if (span > CASE_WINDOW)
            span = CASE_WINDOW;
        const unsigned char *window = end - span;
        auto *first = static_cast<const unsigned char *>(memrchr(window, key, span));
        const unsigned char *after = first != nullptr ? first + 1 : window;
        auto *second = static_cast<const unsigned char *>(
            memrchr(after, other, static_cast<size_t>(end - after)));
        if (second != nullptr)
            return second;
        if (first != nullptr)
            return first;
        end = window;
    }
    return nullptr;
}

// The first place (or with `backward` the last) in [from, end) holding the
// whole literal.
static const unsigned char *scan_for_literal(const search_literal *literal,
                                             const unsigned char *from,
                                             const unsigned char *end, bool backward)
{
    size_t length = literal->text.size();
    if (length == 0)
        return from < end ? (backward ? end - 1 : from) : nullptr;
    size_t key_index = literal->key_index;
    unsigned char key = static_cast<unsigned char>(literal->text[key_index]);
    bool both_cases = literal->fold_case && isalpha(key);
    if (end - from < static_cast<ptrdiff_t>(length))
        return nullptr;
    // the key can lie only where the whole literal fits around it
    const unsigned char *key_from = from + key_index;
    const unsigned char *key_end = end - (length - 1 - key_index);
    while (key_from < key_end) {
        const unsigned char *hit = backward ? rfind_key(key_from, key_end, key, both_cases)
                                            : find_key(key_from, key_end, key, both_cases);
        if (hit == nullptr)
            return nullptr;
        if (literal_at(literal, hit - key_index))
            return hit - key_index;
        if (backward)
            key_end = hit;
        else
            key_from = hit + 1;
    }
    return nullptr;
}

const unsigned char *find_search_literal(const search_literal *literal,
                                         const unsigned char *from,
                                         const unsigned char *end)
{
    return scan_for_literal(literal, from, end, false);
}

const unsigned char *rfind_search_literal(const search_literal *literal,
                                          const unsigned char *from,
                                          const unsigned char *end)
{
    return scan_for_literal(literal, from, end, true);
}

const unsigned char *find_literal_key(const search_literal *literal, const unsigned char *from,
                                      const unsigned char *end)
{
    if (literal->text.empty() || from >= end)
        return nullptr;
    auto key = static_cast<unsigned char>(literal->text[literal->key_index]);
    return find_key(from, end, key, literal->fold_case && isalpha(key));
}

const unsigned char *rfind_literal_key(const search_literal *literal,
                                       const unsigned char *from, const unsigned char *end)
{
    if (literal->text.empty() || from >= end)
        return nullptr;
    auto key = static_cast<unsigned char>(literal->text[literal->key_index]);
    return rfind_key(from, end, key, literal->fold_case && isalpha(key));
}

bool holds_literal_bytes(const search_literal *literal, const unsigned char *from,
                         const unsigned char *end)
{
    for (char c : literal->text) {
        auto byte = static_cast<unsigned char>(c);
        if (find_key(from, end, byte, literal->fold_case && isalpha(byte)) == nullptr)
            return false;
    }
    return true;
}
