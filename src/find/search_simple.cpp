// Expressions made of single characters, matched without regexec.
//
// A search that does not match (`!`) asks about every line until one does
// not qualify, and regexec costs far more per call than the comparison of
// a few bytes: for an expression such as "^[0-9]", "ERROR" or "a.c$" the
// calls are most of the search.  Such an expression is an optional `^`, a
// run of atoms each of which matches exactly one character (an ordinary
// character, an escaped special one, `.`, a bracket expression) and an
// optional `$`.  In a locale whose characters are single bytes a line
// matches it exactly when the bytes at some place (at the start for `^`,
// at the end for `$`) are each in their atom's set, so the line can be
// decided by looking at those bytes.
//
// The set of an atom is not worked out here: each atom is compiled alone,
// with the flags of the search, and asked about every byte.  So ranges,
// classes, equivalence classes and case folding mean exactly what they mean
// to regexec in the locale in force, and the reading of the expression only
// has to find where atoms begin and end.  Anything it does not understand
// (a quantifier, a group, an alternation, a back-reference, a word-boundary
// escape, an anchor elsewhere, a multibyte locale) leaves the expression to
// regexec.
//
// Owned by the caller: the sets of an expression (none while it is not
// simple); the search and the filter each keep their own.
#include <regex.h>

#include <bitset>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "find.h"

// The bytes that the atom alone matches as a whole one-byte line; false
// when it does not compile alone.  NUL and the newline never reach a
// line that is matched.
static bool atom_set(const std::string &atom, int flags, std::bitset<256> *set)
{
    regex_t regex;
    std::string anchored = "^" + atom + "$";
    if (regcomp(&regex, anchored.c_str(), flags | REG_NOSUB) != 0)
        return false;
    set->reset();
    char text[2] = {0, 0};
    for (int b = 1; b < 256; b++) {
        if (b == '\n')
            continue;
        text[0] = static_cast<char>(b);
        if (regexec(&regex, text, 0, nullptr, 0) == 0)
            set->set(static_cast<size_t>(b));
    }
    regfree(&regex);
    return true;
}

// The atom starting at `p`, and where the next one starts; empty when the
// text there is not an atom that matches exactly one character.
static std::string read_simple_atom(const char *p, const char **next)
{
    unsigned char c = static_cast<unsigned char>(*p);
    if (c == '\\') {
        // only an escaped special character is a plain one (\w, \<, \1
        // and the like mean more)
        if (p[1] == 0 || strchr(".[]()*+?{}|^$\\", p[1]) == nullptr)
            return "";
        *next = p + 2;
        return std::string(p, 2);
    }
    if (c == '[') {
        const char *end = skip_bracket_expression(p);
        if (end[-1] != ']' || end == p + 1)
            return "";
        *next = end;
        return std::string(p, static_cast<size_t>(end - p));
    }
    if (strchr("()*+?{}|^$", c) != nullptr)
        return "";
    *next = p + 1;
    return std::string(p, 1);
}

static bool read_simple(const char *pattern, int flags, simple_expression *simple)
{
    const char *p = pattern;
    if (*p == '^') {
        simple->at_start = true;
        p++;
    }
    while (*p != 0) {
        if (*p == '$' && p[1] == 0) {
            simple->at_end = true;
            break;
        }
        const char *next = p;
        std::string atom = read_simple_atom(p, &next);
        // a quantifier after the atom changes what it matches
        if (atom.empty() || (*next != 0 && strchr("*+?{", *next) != nullptr))
            return false;
        std::bitset<256> set;
        if (!atom_set(atom, flags, &set))
            return false;
        simple->sets.push_back(set);
        p = next;
    }
    return true;
}

void make_simple_expression(const char *pattern, int flags, simple_expression *simple)
{
    *simple = simple_expression{};
    if (MB_CUR_MAX != 1 || (flags & REG_NEWLINE) != 0)
        return;
    if (!read_simple(pattern, flags, simple)) {
        *simple = simple_expression{};
        return;
    }
    simple->usable = true;
}

static bool matches_at(const simple_expression &simple, const unsigned char *text)
{
    for (size_t i = 0; i < simple.sets.size(); i++)
        if (!simple.sets[i][text[i]])
            return false;
    return true;
}

int simple_expression_matches(const simple_expression &simple, const char *text, size_t length)
{
    if (!simple.usable)
        return -1;
    auto *bytes = reinterpret_cast<const unsigned char *>(text);
    size_t count = simple.sets.size();
    if (length < count)
        return 0;
    if (simple.at_start && simple.at_end)
        return length == count && matches_at(simple, bytes);
    if (simple.at_start)
        return matches_at(simple, bytes);
    if (simple.at_end)
        return matches_at(simple, bytes + length - count);
    if (count == 0)
        return 1;
    const std::bitset<256> &first = simple.sets[0];
    for (size_t at = 0; at + count <= length; at++)
        if (first[bytes[at]] && matches_at(simple, bytes + at))
            return 1;
    return 0;
}
