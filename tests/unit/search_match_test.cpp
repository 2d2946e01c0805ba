// The parts of a search that decide which lines qualify: overstrike
// reduction, the literal every match must contain, finding it in a block,
// and the equivalence of the walks (blocks read by position, lines through
// the block cache, backward) with running regexec on every reduced raw
// line of the file.
#include <algorithm>
#include <gtest/gtest.h>

#include <regex.h>

#include <climits>
#include <clocale>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "find/find.h"
#include "utf8_setup.h"
#include "view_setup.h"

namespace {

TEST(SearchMatch, OverstrikesReduceToWhatShows)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"a\bb", "b"},
        {"_\bx", "x"},
        {"x\bx", "x"},
        {"_\bw_\bo_\br_\bd", "word"},
        {"ab\b\bc", "c"},           // two backspaces take two bytes
        {"\bx", "\bx"},             // nothing before it: it stays
        {"x\b\b\by", "y"},          // the third takes the second back
        {"plain", "plain"},
        {"", ""},
    };
    for (const auto &[raw, reduced] : cases) {
        std::string text = raw;
        size_t length = reduce_for_matching(text.data(), text.size(), text.data(), nullptr);
        EXPECT_EQ(text.substr(0, length), reduced) << "raw " << ::testing::PrintToString(raw);
    }
}

// In UTF-8 text a backspace takes the whole character before it; a byte
// that belongs to no character is taken alone, and in the C locale every
// byte is.
TEST(SearchMatch, OverstrikesReduceWholeCharactersInUtf8)
{
    const std::string E = "\xC3\xA9", CJK = "\xE4\xB8\xAD", HYPHEN = "\xE2\x80\x90";
    struct reduce_case {
        std::string raw, utf8, bytes;
    };
    const std::vector<reduce_case> cases = {
        {E + "\b" + E, E, "\xC3" + E},
        {"_\b" + E, E, E},
        {E + "\b_", "_", "\xC3_"},
        {CJK + "\b" + CJK + "x", CJK + "x", "\xE4\xB8" + CJK + "x"},
        {HYPHEN + "\b" + HYPHEN, HYPHEN, "\xE2\x80" + HYPHEN},
        {"a" + E + "\b\bb", "b", "ab"},
        {"\xE4\xB8\bx", "\xE4x", "\xE4x"},     // a truncated sequence is bytes
        {"\xC3\b" + E, E, E},
    };
    for (bool on : {true, false}) {
        Utf8Locale locale(on);
        for (const reduce_case &c : cases) {
            std::string text = c.raw;
            size_t length = reduce_for_matching(text.data(), text.size(), text.data(), nullptr);
            EXPECT_EQ(text.substr(0, length), on ? c.utf8 : c.bytes)
                << (on ? "UTF-8 " : "C ") << ::testing::PrintToString(c.raw);
        }
    }
}

// Where each reduced byte came from: its own offset, or for the character
// after an overstrike the first byte of the character struck, so that a
// match covering what shows covers every byte that made it.  Colour
// sequences (while shown) leave nothing; a NUL reads as 0x80.
TEST(SearchMatch, ReductionTellsWhereEachByteCameFrom)
{
    const std::string E = "\xC3\xA9", ESC = "\x1b";
    struct origin_case {
        std::string raw;
        bool utf8, colour;
        std::string reduced;
        std::vector<size_t> origin;
    };
    const std::vector<origin_case> cases = {
        {"plain", false, false, "plain", {0, 1, 2, 3, 4}},
        {"_\bx_\by", false, false, "xy", {0, 3}},
        {"x\bxy", false, false, "xy", {0, 3}},
        {"ab\b\bc!", false, false, "c!", {0, 5}},
        {"\bx", false, false, "\bx", {0, 1}},
        {E + "\b" + E + "t", true, false, E + "t", {0, 4, 5}},
        {E + "\b" + E + "t", false, false, "\xC3" + E + "t", {0, 1, 4, 5}},
        {"_\b" + E + "t", true, false, E + "t", {0, 3, 4}},
        {ESC + "[31mf" + ESC + "[mo", false, true, "fo", {5, 9}},
        {ESC + "[31mf", false, false, ESC + "[31mf", {0, 1, 2, 3, 4, 5}},
        {"f\b" + ESC + "[1mfo", false, true, "fo", {0, 7}},
        {std::string("a\0b", 3), false, false, "a\x80" "b", {0, 1, 2}},
    };
    for (const origin_case &c : cases) {
        Utf8Locale locale(c.utf8);
        show_colour = c.colour;
        std::string out(c.raw.size(), '?');
        std::vector<size_t> origin(c.raw.size(), SIZE_MAX);
        size_t length = reduce_for_matching(c.raw.data(), c.raw.size(), out.data(), origin.data());
        show_colour = 0;
        std::string what = ::testing::PrintToString(c.raw) + (c.utf8 ? " UTF-8" : " bytes");
        EXPECT_EQ(out.substr(0, length), c.reduced) << what;
        origin.resize(length);
        EXPECT_EQ(origin, c.origin) << what;
    }
}

struct literal_case {
    const char *pattern;
    int fold_case;
    const char *literal;
};

TEST(SearchMatch, RequiredLiteralOfAnExpression)
{
    const literal_case cases[] = {
        {"abc", 0, "abc"},
        {"^error: (disk|net) full$", 0, "error: "},
        {"colou?r", 0, "colo"},
        {"ab*c", 0, "a"},
        {"xy+z", 0, "xy"},
        {"x{0,3}yz", 0, "yz"},
        {"x{,3}yz", 0, "yz"},
        {"wx{2}yz", 0, "wx"},
        {"a+*bc", 0, "bc"},         // (a+)* may be absent
        {"foo|bar", 0, ""},
        {"(foo|bar)baz", 0, "baz"},
        {"[abc]def", 0, "def"},
        {"[]x]yz", 0, "yz"},
        {"[[:alpha:]]]more", 0, "]more"},
        {"\\.txt$", 0, ".txt"},
        {"a\\{b", 0, "a{b"},
        {"a{b", 0, "a"},            // a brace that is no interval is not relied on
        {".*", 0, ""},
        {"^$", 0, ""},
        {"(ab)+cd", 0, "cd"},
        {"ab\\1cd", 0, "ab"},       // a back-reference ends a run
        {"caf\xc3\xa9*s", 0, "caf\xc3"},  // in the C locale a byte is a character
        {"caf\xc3\xa9", 1, "caf"},      // but not relied on when folding case
        {"Bad Word", 1, "bad word"},
        {"Bad Word", 0, "Bad Word"},
    };
    for (const literal_case &c : cases) {
        search_literal literal;
        make_search_literal(c.pattern, c.fold_case, &literal);
        EXPECT_EQ(literal.text, c.literal) << c.pattern << " fold " << c.fold_case;
        if (!literal.text.empty()) {
            EXPECT_LT(literal.key_index, literal.text.size());
        }
    }
}

// In UTF-8 text a character beyond ASCII is one element of the literal,
// all its bytes or none: none when a quantifier may remove it, when it is
// malformed or holds the byte a NUL is matched as, and when folding case
// could change it or make another character into it.
TEST(SearchMatch, LiteralsKeepWholeCharactersBeyondAscii)
{
    Utf8Locale utf8;
    const std::string END = "\xE7\xB5\x82\xE7\xAB\xAF\xE6\x9C\xAB\xE5\xB0\xBE";   // 終端末尾
    const std::string CJK = "\xE4\xB8\xAD", E = "\xC3\xA9", ONE = "\xE4\xB8\x80";
    const std::string LONG_S = "\xC5\xBF", KELVIN = "\xE2\x84\xAA";
    struct wide_case {
        std::string pattern;
        int fold_case;
        std::string literal;
    };
    const std::vector<wide_case> cases = {
        {END, 0, END},
        {END, 1, END},                      // no case: folding leaves it alone
        {"caf" + E, 0, "caf" + E},
        {"caf" + E, 1, "caf"},              // é has a capital
        {"caf" + E + "*s", 0, "caf"},       // the quantifier takes all of é
        {"x" + CJK + "+yz", 0, "x" + CJK},
        {"ab\xC3" "cde", 0, "cde"},        // a malformed byte ends the run
        {"x" + ONE + "yz", 0, "yz"},        // 一 holds the byte 0x80
        {"an" + LONG_S + "wer", 0, "an" + LONG_S + "wer"},
        {"an" + LONG_S + "wer", 1, "wer"},  // ſ folds to S
        {KELVIN + "elvin", 1, "elv"},       // so does the Kelvin sign to k
        {"[" + CJK + "]" + END, 1, END},
    };
    for (const wide_case &c : cases) {
        search_literal literal;
        make_search_literal(c.pattern.c_str(), c.fold_case, &literal);
        EXPECT_EQ(literal.text, c.literal) << ::testing::PrintToString(c.pattern) << " fold "
                                           << c.fold_case;
    }
}

// In a Unicode locale `k` and `s` have partners outside ASCII (the Kelvin
// sign, the long s), so a folded search cannot rely on them.
TEST(SearchMatch, FoldedLettersWithForeignPartnersAreNotRelied)
{
    const char *saved = setlocale(LC_CTYPE, nullptr);
    std::string previous = saved != nullptr ? saved : "C";
    if (setlocale(LC_CTYPE, "C.UTF-8") == nullptr)
        GTEST_SKIP() << "no C.UTF-8 locale";
    search_literal literal;
    make_search_literal("kelvin", 1, &literal);
    EXPECT_EQ(literal.text, "elv");     // U+0130 and U+0131 fold onto i and I
    make_search_literal("ask", 1, &literal);
    EXPECT_EQ(literal.text, "a");
    make_search_literal("kelvin", 0, &literal);
    EXPECT_EQ(literal.text, "kelvin");
    setlocale(LC_CTYPE, previous.c_str());
}

// Whatever the expression, a line it matches holds its literal: checked on
// expressions and lines drawn from small alphabets (a fixed seed, so a
// failure repeats), with and without case folding.
TEST(SearchMatch, EveryMatchHoldsTheLiteral)
{
    const char *const tokens[] = {
        "a", "b", "c", "A", "B", "ab", "x", "(", ")", "|", "*", "+", "?", "{2}",
        "{0,1}", "{1,}", "{,2}", ".", "[ab]", "[^a]", "[]a]", "^", "$", "\\.",
        "\\(", "\\1", "{", "}", "]", ",", "(a|b)", "(ab)*",
    };
    const char alphabet[] = "abcABx.(){},]";
    std::mt19937 random(12345);
    auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
    int checked = 0;
    for (int round = 0; round < 4000; round++) {
        std::string pattern;
        for (size_t i = 0, n = 1 + pick(6); i < n; i++)
            pattern += tokens[pick(sizeof tokens / sizeof tokens[0])];
        int fold = static_cast<int>(round % 2);
        regex_t regex;
        if (regcomp(&regex, pattern.c_str(), REG_EXTENDED | REG_NOSUB | (fold ? REG_ICASE : 0)) != 0)
            continue;
        search_literal literal;
        make_search_literal(pattern.c_str(), fold, &literal);
        for (int k = 0; k < 30; k++) {
            std::string line;
            for (size_t i = 0, n = pick(10); i < n; i++)
                line += alphabet[pick(sizeof alphabet - 1)];
            if (regexec(&regex, line.c_str(), 0, nullptr, 0) != 0)
                continue;
            auto *from = reinterpret_cast<const unsigned char *>(line.data());
            EXPECT_TRUE(literal.text.empty() ||
                        find_search_literal(&literal, from, from + line.size()) != nullptr)
                << "pattern " << pattern << (fold ? " -i" : "") << " literal " << literal.text
                << " line " << line;
            checked++;
        }
        regfree(&regex);
    }
    // the draw must reach matches, or the test shows nothing
    EXPECT_GT(checked, 1000);
}

TEST(SearchMatch, FindingTheLiteral)
{
    struct find_case {
        const char *pattern;
        int fold_case;
        std::string haystack;
        long first;             // -1: not found
        long last;
    };
    const std::vector<find_case> cases = {
        {"needle", 0, "hay needle hay", 4, 4},
        {"needle", 0, "needl needle", 6, 6},
        {"needle", 0, "needle hay needle hay", 0, 11},
        {"needle", 0, "hay neeDle", -1, -1},
        {"needle", 1, "hay neeDLE", 4, 4},
        {"needle", 1, "NEEDLE hay neeDLE", 0, 11},
        {"needle", 1, "needl", -1, -1},     // cut at the end of the range
        {"needle", 1, "eedle", -1, -1},     // cut at its start
        {"e:1", 1, "E:2 e:1", 4, 4},
        {"e:1", 1, "e:1 E:1 e:2", 0, 4},
        {"x", 0, "", -1, -1},
        {"", 0, "abc", 0, 2},
    };
    for (const find_case &c : cases) {
        search_literal literal;
        make_search_literal(c.pattern, c.fold_case, &literal);
        auto *from = reinterpret_cast<const unsigned char *>(c.haystack.data());
        const unsigned char *end = from + c.haystack.size();
        const unsigned char *first = find_search_literal(&literal, from, end);
        const unsigned char *last = rfind_search_literal(&literal, from, end);
        EXPECT_EQ(first != nullptr ? first - from : -1, c.first) << c.pattern << " in " << c.haystack;
        EXPECT_EQ(last != nullptr ? last - from : -1, c.last) << c.pattern << " in " << c.haystack;
    }
    // a rare case of the key far beyond many of the other case: found in order
    search_literal literal;
    make_search_literal("q", 1, &literal);
    std::string text = std::string(20000, 'Q') + "q";
    auto *from = reinterpret_cast<const unsigned char *>(text.data());
    EXPECT_EQ(find_search_literal(&literal, from + 5, from + text.size()), from + 5);
}

// Looking from the end finds the last of the places found from the start,
// also where one case of the key is rare before many of the other, past the
// window the two cases are looked for in.
TEST(SearchMatch, TheLastPlaceOfTheLiteral)
{
    std::string text = "Q" + std::string(20000, 'q') + "Qq";
    auto *from = reinterpret_cast<const unsigned char *>(text.data());
    for (int fold = 0; fold <= 1; fold++) {
        search_literal literal;
        make_search_literal("Qq", fold, &literal);
        for (size_t start = 0; start < text.size(); start += 997) {
            const unsigned char *expected = nullptr;
            for (const unsigned char *at = from + start; at < from + text.size();) {
                const unsigned char *hit = find_search_literal(&literal, at, from + text.size());
                if (hit == nullptr)
                    break;
                expected = hit;
                at = hit + 1;
            }
            EXPECT_EQ(rfind_search_literal(&literal, from + start, from + text.size()), expected)
                << "fold " << fold << ", from " << start;
        }
    }
}

// ---- Expressions of single characters, decided without regexec ----

TEST(SearchMatch, SimpleExpressionsAreKeptAndOthersLeftToRegexec)
{
    const std::pair<const char *, bool> cases[] = {
        {"^[0-9]", true}, {"needle", true}, {"a.c$", true}, {"^$", true}, {"", true},
        {"\\.txt$", true}, {"[]x]y", true}, {"[[:digit:]][^a-c]", true}, {"^", true},
        {"a*", false}, {"ab+", false}, {"colou?r", false}, {"x{2}", false},
        {"a|b", false}, {"(ab)", false}, {"a^b", false}, {"a$b", false},
        {"\\w", false}, {"\\<word", false}, {"\\1", false}, {"a{", false},
    };
    simple_expression expression;
    for (const auto &[pattern, simple] : cases) {
        make_simple_expression(pattern, REG_EXTENDED, &expression);
        EXPECT_EQ(simple_expression_matches(expression, "abc", 3) >= 0, simple) << pattern;
    }
    EXPECT_EQ(simple_expression_matches(simple_expression{}, "abc", 3), -1);
    // a multibyte locale leaves every expression to regexec
    Utf8Locale utf8;
    make_simple_expression("needle", REG_EXTENDED, &expression);
    EXPECT_EQ(simple_expression_matches(expression, "needle", 6), -1);
}

// Expressions drawn from atoms, anchors and a few things that are not
// simple, lines drawn from a small alphabet with bytes above 0x7f: the
// kept expression decides every line as regexec does, with and without
// case folding (a fixed seed, so a failure repeats).
TEST(SearchMatch, SimpleExpressionsAgreeWithRegexec)
{
    const char *const tokens[] = {
        "a", "b", "A", "x", ".", "[ab]", "[^a]", "[]a]", "[a-c]", "[[:upper:]]",
        "[[:digit:]]", "\\.", "\\[", "\\$", "]", "1", "\xe9", "[\xe9-\xff]", "*", "?",
    };
    const char alphabet[] = "abcABx1.[]$\xe9\xc9\x80";
    std::mt19937 random(4242);
    auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
    int decided = 0, matched = 0;
    for (int round = 0; round < 3000; round++) {
        std::string pattern = pick(3) == 0 ? "^" : "";
        for (size_t i = 0, n = pick(4); i < n; i++)
            pattern += tokens[pick(sizeof tokens / sizeof tokens[0])];
        if (pick(3) == 0)
            pattern += "$";
        int flags = REG_EXTENDED | (round % 2 != 0 ? REG_ICASE : 0);
        regex_t regex;
        if (regcomp(&regex, pattern.c_str(), flags | REG_NOSUB) != 0)
            continue;
        simple_expression expression;
        make_simple_expression(pattern.c_str(), flags, &expression);
        for (int k = 0; k < 40; k++) {
            std::string line;
            for (size_t i = 0, n = pick(7); i < n; i++)
                line += alphabet[pick(sizeof alphabet - 1)];
            int simple = simple_expression_matches(expression, line.c_str(), line.size());
            if (simple < 0)
                break;
            bool expected = regexec(&regex, line.c_str(), 0, nullptr, 0) == 0;
            EXPECT_EQ(simple != 0, expected)
                << "pattern " << ::testing::PrintToString(pattern) << (flags & REG_ICASE ? " -i" : "")
                << " line " << ::testing::PrintToString(line);
            decided++;
            matched += expected;
        }
        regfree(&regex);
    }
    // the draw must reach both answers often, or the test shows nothing
    EXPECT_GT(decided, 20000);
    EXPECT_GT(matched, 3000);
}

// ---- The automaton's first pass over blocks ----

struct automaton_case {
    const char *pattern;
    bool fold;
    bool utf8;
    std::string line;
    bool candidate;     // the first pass picks the line
};

// The first pass picks every line regexec matches (what the walks rely
// on), and passes over lines that cannot match: digits and letters are
// kept as sets, a character beyond ASCII as its bytes, a letter folded in
// UTF-8 text with partners beyond ASCII (k: the Kelvin sign) also as such a
// character; a NUL of the input (read as 0 or 0x80) as MARK_NUL; anchors
// are dropped, so the pass picks more there.
TEST(SearchMatch, AutomatonPicksTheLinesThatMayMatch)
{
    const std::string NUL(1, '\0'), E = "\xC3\xA9", KELVIN = "\xE2\x84\xAA";
    const automaton_case cases[] = {
        {"[0-9]{3}x[0-9]", false, false, "the fox 12", false},
        {"[0-9]{3}x[0-9]", false, false, "at 123x4", true},
        {"N[E]+DLE|x{9}", false, false, "NEEDLE at", true},
        {"N[E]+DLE|x{9}", false, false, "xxxxxxxx NDLE", false},
        {"N[E]+DLE|x{9}", false, false, "axxxxxxxxxb", true},
        {"n[e]+dle", true, false, "a NEEDLE", true},
        {"n[e]+dle", true, false, "a needl", false},
        {"^ab", false, false, "xab", true},
        {"[^0-9]x", false, false, "1x", false},
        {"[^0-9]x", false, false, "ax", true},
        {"[[:digit:]]z", false, false, "5z", true},
        {"[[:digit:]]z", false, false, "az", false},
        {"(ab|cd)+e", false, false, "cdabe", true},
        {"(ab|cd)+e", false, false, "ace", false},
        {"a.c", false, false, "a" + NUL + "c", true},
        {"a\x80", false, false, "a" + NUL, true},
        {"a\\.b", false, false, "a.b", true},
        {"a\\.b", false, false, "axb", false},
        {"\\<ab", false, false, "ab", true},
        {"caf.", false, true, "caf" + E, true},
        {"[0-9]\xC3\xA9", false, true, "1" + E, true},
        {"[0-9]\xC3\xA9", false, true, "1e", false},
        {"\xC3\xA9+x", false, true, E + E + "x", true},
        {"\xC3\xA9+x", false, true, "e x", false},
        {"[^a]b", false, true, E + "b", true},
        {"[^a]b", false, true, "ab", false},
        {"k.n", true, true, KELVIN + "in", true},
        {"k.n", true, true, "Kin", true},
        {"k.n", true, true, "ain", false},
        {"[0-9]{2}", true, true, "a1b2", false},
    };
    for (const automaton_case &c : cases) {
        Utf8Locale locale(c.utf8);
        SCOPED_TRACE(std::string(c.pattern) + (c.fold ? " -i" : "") + (c.utf8 ? " UTF-8" : ""));
        block_automaton *automaton = make_block_automaton(c.pattern, c.fold);
        ASSERT_NE(automaton, nullptr) << automaton_expression(c.pattern, c.fold);
        auto *text = reinterpret_cast<const unsigned char *>(c.line.data());
        bool picked = automaton_find(automaton, text, text + c.line.size()) != nullptr;
        EXPECT_EQ(picked, c.candidate) << automaton_expression(c.pattern, c.fold);
        free_block_automaton(automaton);
        regex_t regex;
        ASSERT_EQ(regcomp(&regex, c.pattern, REG_EXTENDED | REG_NOSUB | (c.fold ? REG_ICASE : 0)), 0);
        std::string reduced = c.line;
        reduced.resize(reduce_for_matching(reduced.data(), reduced.size(), reduced.data(), nullptr));
        if (regexec(&regex, reduced.c_str(), 0, nullptr, 0) == 0) {
            EXPECT_TRUE(picked) << "regexec matches it";
        }
        regfree(&regex);
    }
}

// An expression read differently by the two engines, or one that matches
// every line, gets no first pass: its lines all go to regexec.
TEST(SearchMatch, ExpressionsWithoutAnAutomaton)
{
    const char *const patterns[] = {
        "(a)\\1b", "a+?b", "a*{2}", "x*", "a|", "^$", "(a|)", "*a", "a{1001}", "(|b)c?",
    };
    for (const char *pattern : patterns) {
        block_automaton *automaton = make_block_automaton(pattern, 0);
        EXPECT_EQ(automaton, nullptr) << pattern << " read as " << automaton_expression(pattern, 0);
        free_block_automaton(automaton);
    }
}

// ---- Equivalence of the walks with plain regexec per raw line ----

// One raw line as the raw-line reader delivers it.
struct raw_piece {
    file_pos start;
    file_pos next;          // where the following one starts
    int lineno;             // text line holding it
    std::string text;
};

// The text lines of `text`: [start, end) without the newline.
std::vector<std::pair<size_t, size_t>> text_lines(const std::string &text)
{
    std::vector<std::pair<size_t, size_t>> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t newline = text.find('\n', start);
        size_t end = newline == std::string::npos ? text.size() : newline;
        lines.push_back({start, end});
        start = end + 1;
    }
    return lines;
}

std::vector<raw_piece> forward_pieces(const std::string &text)
{
    std::vector<raw_piece> pieces;
    int lineno = 1;
    for (auto [start, end] : text_lines(text)) {
        size_t at = start;
        do {
            size_t piece_end = std::min(end, at + RAW_LINE_MAX);
            size_t next = piece_end == end && end < text.size() ? end + 1 : piece_end;
            pieces.push_back({static_cast<file_pos>(at), static_cast<file_pos>(next), lineno,
                              text.substr(at, piece_end - at)});
            at = piece_end;
        } while (at < end);
        lineno++;
    }
    return pieces;
}

// Backward, long lines are cut from their ends.
std::vector<raw_piece> backward_pieces(const std::string &text)
{
    std::vector<raw_piece> pieces;
    std::vector<std::pair<size_t, size_t>> lines = text_lines(text);
    for (size_t i = lines.size(); i-- > 0;) {
        auto [start, end] = lines[i];
        size_t at = end;
        do {
            size_t piece_start = at - std::min(at - start, static_cast<size_t>(RAW_LINE_MAX));
            pieces.push_back({static_cast<file_pos>(piece_start), 0, static_cast<int>(i + 1),
                              text.substr(piece_start, at - piece_start)});
            at = piece_start;
        } while (at > start);
    }
    return pieces;
}

bool oracle_qualifies(const regex_t *regex, std::string text, int want_match)
{
    text.resize(reduce_for_matching(text.data(), text.size(), text.data(), nullptr));
    bool matched = regexec(regex, text.c_str(), 0, nullptr, 0) == 0;
    return matched == (want_match != 0);
}

// A file with what each pattern must meet: case variants, overstruck words,
// NUL bytes, a line longer than two raw lines with words on and across the
// cuts, empty lines, and enough filler to pass the edge of a small block.
std::string equivalence_fixture()
{
    std::string text;
    text += "error: disk full\nError: DISK full\nwarning: net down\n\n";
    text += "colour\ncolor\ncolouur\nabc\nxyz123\na.txt\natxt\n";
    text += "_\be_\br_\br_\bo_\br: net full\n";              // underlined "error"
    text += "e\bex\bxi\bit\bt now\n";                          // bold "exit"
    text += std::string("nul\0here error", 14) + "\n";
    for (int i = 0; i < 400; i++)
        text += "filler line " + std::to_string(i) + (i % 50 == 7 ? " needle\n" : "\n");
    std::string long_line(20000, 'x');
    long_line.replace(RAW_LINE_MAX - 3, 6, "needle");          // across the first cut
    long_line.replace(RAW_LINE_MAX + 100, 6, "needle");        // inside the second piece
    long_line.replace(2 * RAW_LINE_MAX - 2, 5, "error");      // across the second cut
    text += long_line + "\n\n\n";
    for (int i = 0; i < 300; i++)
        text += "more filler " + std::to_string(i) + "\n";
    text += "last line needle without newline";
    return text;
}

const char *const equivalence_patterns[] = {
    "needle", "error", "^error", "full$", "^$", "disk|net", "colou?r", "[0-9]+3",
    "a\\.txt", "x{5}", ".", "^[^f]", "nul.here", "^(e|w)[a-z]+:", "xxxneedle",
    "needlexxx", "exit now", "filler line 1[0-9]$", "DISK", "line", "^[0-9f]", "l.ne 3$",
    "\\.", "e.r|xyz", "[[:digit:]]{3}", "\\<net", "N[E]+DL|x{9}", "[^ -~]", "u.l",
};

struct walk_mode {
    const char *name;
    bool pipe;
    size_t block_size;
};

class SearchEquivalence : public ::testing::Test {
protected:
    temp_dir dir;
    std::string text = equivalence_fixture();
    const size_t default_block_size = search_block_size;

    void SetUp() override { reset_view_settings(24, 80); }
    void TearDown() override
    {
        search_block_size = default_block_size;
        opt_ignore_case = 0;
        show_colour = 0;
        search_reset();
        close_view_input();
    }

    void open_input(const walk_mode &mode)
    {
        search_block_size = mode.block_size;
        if (mode.pipe)
            open_view_pipe(text);
        else
            open_view_file(dir, text);
    }

    // Every qualifying piece in turn, each walk starting where the piece
    // before the last found one ended.
    void check_forward(const regex_t *regex, int want_match)
    {
        std::vector<raw_piece> pieces = forward_pieces(text);
        search_walk walk = {0, 1, 1, want_match};
        for (const raw_piece &piece : pieces) {
            if (!oracle_qualifies(regex, piece.text, want_match))
                continue;
            ASSERT_EQ(walk_forward(&walk), WALK_FOUND) << "expected " << piece.start;
            ASSERT_EQ(walk.pos, piece.start);
            ASSERT_EQ(walk.lineno, piece.lineno) << "at " << piece.start;
            walk = {piece.next, piece.next == static_cast<file_pos>(piece.start + piece.text.size())
                                    ? piece.lineno : piece.lineno + 1, 1, want_match};
        }
        EXPECT_EQ(walk_forward(&walk), WALK_NOT_FOUND);
    }

    void check_backward(const regex_t *regex, int want_match)
    {
        search_walk walk = {static_cast<file_pos>(text.size()), 0, 1, want_match};
        // the file does not end with a newline: the end lies in the last line
        walk.lineno = static_cast<int64_t>(text_lines(text).size());
        for (const raw_piece &piece : backward_pieces(text)) {
            if (!oracle_qualifies(regex, piece.text, want_match))
                continue;
            ASSERT_EQ(walk_backward(&walk), WALK_FOUND) << "expected " << piece.start;
            ASSERT_EQ(walk.pos, piece.start);
            ASSERT_EQ(walk.lineno, piece.lineno) << "at " << piece.start;
            walk.n = 1;
        }
        EXPECT_EQ(walk_backward(&walk), WALK_NOT_FOUND);
    }

    void check_every_walk(const std::vector<const char *> &patterns);
};

void SearchEquivalence::check_every_walk(const std::vector<const char *> &patterns)
{
    ASSERT_LT(text.size(), 60000u);     // the pipe must hold it
    const walk_mode modes[] = {
        {"blocks", false, SEARCH_MIN_BLOCK},
        {"one block", false, 1 << 20},
        {"pipe", true, 0},
    };
    for (int fold = 0; fold <= 1; fold++) {
        for (const char *pattern : patterns) {
            regex_t regex;
            int flags = REG_EXTENDED | REG_NOSUB | (fold ? REG_ICASE : 0);
            ASSERT_EQ(regcomp(&regex, pattern, flags), 0) << pattern;
            for (const walk_mode &mode : modes) {
                open_input(mode);
                opt_ignore_case = fold;
                ASSERT_EQ(search_compile(pattern), 1);
                for (int want_match = 1; want_match >= 0; want_match--) {
                    SCOPED_TRACE(std::string(pattern) + (fold ? " -i " : " ") + mode.name +
                                 (want_match ? " matching" : " not matching"));
                    check_forward(&regex, want_match);
                    check_backward(&regex, want_match);
                }
            }
            regfree(&regex);
        }
    }
}

TEST_F(SearchEquivalence, WalksAgreeWithRegexecOnEveryRawLine)
{
    check_every_walk({std::begin(equivalence_patterns), std::end(equivalence_patterns)});
}

// UTF-8 text: accented letters in both cases, letters whose case partners
// lie outside ASCII (the Kelvin sign, the long s, the dotted capital I),
// overstruck multibyte characters, a combining mark, wide characters,
// malformed bytes, and a character cut by the end of a raw-line piece.
std::string utf8_equivalence_fixture()
{
    std::string text;
    text += "caf\xC3\xA9 cr\xC3\xA8me\nCAF\xC3\x89 CR\xC3\x88ME\ncafe\n";
    text += "\xE2\x84\xAA" "elvin and ask\n\xC5\xBF" "ection KELVIN\n\xC4\xB0stanbul\n";
    text += "\xC3\xA9\b\xC3\xA9t\xC3\xA9\n_\b\xC3\x89t\xC3\xA9\n";    // bold and underlined
    text += "\xE2\x80\x90\b\xE2\x80\x90 hyphen\n";
    text += "nai\xCC\x88ve\n\xE4\xB8\xAD\xE6\x96\x87 text\n";
    text += "bad \xC3( and \xE9t\xE9 and \xED\xA0\x80 end\n";
    for (int i = 0; i < 300; i++)
        text += "filler " + std::to_string(i) + (i % 40 == 3 ? " \xC3\xA9t\xC3\xA9\n" : "\n");
    std::string long_line(20000, 'x');
    // "é" cut in two by the first piece's end, "É" whole in the second
    long_line.replace(RAW_LINE_MAX - 1, 2, "\xC3\xA9");
    long_line.replace(RAW_LINE_MAX + 50, 2, "\xC3\x89");
    text += long_line + "\n";
    text += "last \xC3\xA9t\xC3\xA9";
    return text;
}

// With colours shown, a colour sequence inside a word must not hide it, and
// one whose text is the literal must not make a line match.
TEST_F(SearchEquivalence, WalksAgreeWithRegexecWithColoursShown)
{
    show_colour = 1;
    text = equivalence_fixture();
    text += "\x1b[1mne\x1b[31medle\x1b[m split by colours\n";
    text += "\x1b[33merror\x1b[m: coloured\n\x1b[38;5;208mneedle\x1b[0m\n";
    text += "plain \x1b[1mbold\x1b[m words without it\n\x1b[4mer\x1b[24mror\n";
    text += "an unfinished \x1b[3 needle\n";
    for (int i = 0; i < 200; i++)
        text += "\x1b[32mgreen " + std::to_string(i) + "\x1b[m line\n";
    text += "last \x1b[1mneedle\x1b[m";
    check_every_walk({"needle", "error", "^error", "words$", "^[0-9a-z]", "needle|error",
                      "e.d", "line$", "green 1[0-9]{2}", "^$", "bold"});
    show_colour = 0;
}

TEST_F(SearchEquivalence, WalksAgreeWithRegexecOnUtf8Text)
{
    Utf8Locale utf8;
    text = utf8_equivalence_fixture();
    check_every_walk({
        "caf\xC3\xA9", "CAF\xC3\x89", "caf.$", "^caf. ", "\xC3\xA9t\xC3\xA9",
        "^\xC3\xA9t", "^.t.$", "[\xC3\xA9\xC3\xA8]", "cr\xC3\xA8me", "kelvin", "ask",
        "section", "istanbul", "\xE2\x80\x90 ", "na.ve", "i\xCC\x88", "\xE4\xB8\xAD+",
        "^.. text", "t.t", "x\xC3\xA9", "\xC3\x89x", "filler", ".",
    });
}

// Random lines and expressions: the walks find what regexec finds on every
// reduced raw line, in the C and the UTF-8 locale, with colours shown and
// not, with and without case folding.  The lines mix ASCII words, letters
// with a capital, characters without case (CJK), characters that fold onto
// ASCII letters (the Kelvin sign, the long s), colour sequences inside and
// around words, overstrikes of whole characters, a NUL and malformed
// bytes; the expressions are drawn from the same pieces, with quantifiers,
// brackets, groups and alternations (a fixed seed, so a failure repeats).
TEST_F(SearchEquivalence, RandomLinesAndExpressionsAgreeWithRegexec)
{
    const std::string END = "\xE7\xB5\x82\xE7\xAB\xAF", TAIL = "\xE6\x9C\xAB\xE5\xB0\xBE";
    const std::string E = "\xC3\xA9", CAPITAL_E = "\xC3\x89", KELVIN = "\xE2\x84\xAA";
    const std::string LONG_S = "\xC5\xBF";
    const std::vector<std::string> line_pieces = {
        "ne", "ed", "le", "NE", "ED", "k", "s", "x", " ", "0", "12", END, TAIL, E, CAPITAL_E,
        KELVIN, LONG_S, "\x1b[1m", "\x1b[m", "\x1b[38;5;208m", "\x1b[31", "\b", "_\b",
        END + "\b" + END, E + "\b" + E, std::string(1, '\0'), "\xC3", "\xB5",
    };
    const std::vector<std::string> pattern_pieces = {
        "ne", "ed", "le", "NE", "k", "s", "x", "0", END, TAIL, E, CAPITAL_E, KELVIN, LONG_S,
        ".", "[0-9]", "[a-z]", "[" + E + "k]", "+", "*", "?", "{2}", "(ne|ed)", "^", "$",
        "\\.", " ",
    };
    std::mt19937 random(20261211);
    auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
    for (bool utf8 : {false, true}) {
        Utf8Locale locale(utf8);
        for (int colour = 0; colour <= 1; colour++) {
            show_colour = colour;
            text.clear();
            for (int line = 0; line < 150; line++) {
                for (size_t i = 0, n = pick(12); i < n; i++)
                    text += line_pieces[pick(line_pieces.size())];
                text += "\n";
            }
            text += "last";     // the backward check starts in an unended last line
            std::vector<std::string> patterns;
            while (patterns.size() < 12) {
                std::string pattern;
                for (size_t i = 0, n = 1 + pick(4); i < n; i++)
                    pattern += pattern_pieces[pick(pattern_pieces.size())];
                regex_t regex;
                if (regcomp(&regex, pattern.c_str(), REG_EXTENDED | REG_NOSUB) != 0)
                    continue;
                regfree(&regex);
                patterns.push_back(pattern);
            }
            std::vector<const char *> pointers;
            for (const std::string &pattern : patterns)
                pointers.push_back(pattern.c_str());
            SCOPED_TRACE(std::string(utf8 ? "UTF-8" : "C") + (colour ? ", colours shown" : ""));
            check_every_walk(pointers);
        }
    }
    show_colour = 0;
}

TEST_F(SearchEquivalence, CountsOfQualifyingLines)
{
    open_input({"blocks", false, SEARCH_MIN_BLOCK});
    ASSERT_EQ(search_compile("needle"), 1);
    std::vector<file_pos> found;
    for (const raw_piece &piece : forward_pieces(text))
        if (piece.text.find("needle") != std::string::npos)
            found.push_back(piece.start);
    ASSERT_GE(found.size(), 4u);
    struct count_case {
        int n;
        file_pos expected;
    };
    const count_case cases[] = {
        {1, found[0]}, {0, found[0]}, {-7, found[0]}, {INT_MIN, found[0]},
        {3, found[2]}, {static_cast<int>(found.size()), found.back()},
        {static_cast<int>(found.size()) + 1, -1},
    };
    for (const count_case &c : cases) {
        SCOPED_TRACE(c.n);
        search_walk walk = {0, 1, c.n, 1};
        search_outcome outcome = walk_forward(&walk);
        EXPECT_EQ(outcome == WALK_FOUND ? walk.pos : -1, c.expected);
    }
}

// A backward walk through a file read in blocks examines the raw lines that
// the raw-line reader gives going back from where it starts: from line
// starts, from inside lines and long lines (whose pieces are then cut from
// the start), and with the edges of the blocks it reads anywhere in the
// lines, short and long; with and without a known line number, for the
// first and the third qualifying line.
TEST_F(SearchEquivalence, BackwardBlocksExamineTheRawLinesBeforeTheStart)
{
    // an empty first line, and three copies to pass several blocks
    for (std::string copy = text; text.size() < 3 * copy.size();)
        text += "\n" + copy;
    text = "\n" + text;
    open_input({"blocks", false, SEARCH_MIN_BLOCK});
    std::vector<size_t> starts = {text.size(), 0, 1};
    for (size_t long_line = text.find(std::string(100, 'x')); long_line != std::string::npos;
         long_line = text.find(std::string(100, 'x'), long_line + 20000)) {
        for (size_t at : {size_t{5000}, size_t{RAW_LINE_MAX} + 1, size_t{19999}, size_t{20001}})
            starts.push_back(long_line + at);
        // the bottom of the first block read falls into the long line
        for (size_t at : {size_t{0}, size_t{1}, size_t{5000}, size_t{19998}})
            starts.push_back(long_line + SEARCH_MIN_BLOCK + at);
    }
    unsigned seed = 4242;
    for (int i = 0; i < 16; i++) {
        seed = seed * 1103515245u + 12345u;
        starts.push_back((seed >> 8) % text.size());
    }
    const char *const patterns[] = {"needle", "error", "^$", "x{5}", "nul.here"};
    for (size_t start : starts) {
        if (start > text.size())
            continue;
        // the pieces of the text before the start are those read backward
        std::vector<raw_piece> pieces = backward_pieces(text.substr(0, start));
        for (const char *pattern : patterns) {
            regex_t regex;
            ASSERT_EQ(regcomp(&regex, pattern, REG_EXTENDED | REG_NOSUB), 0);
            ASSERT_EQ(search_compile(pattern), 1);
            for (int want_match = 0; want_match <= 1; want_match++) {
                std::vector<const raw_piece *> qualifying;
                for (size_t i = 0; i < pieces.size() && qualifying.size() < 3; i++)
                    if (oracle_qualifies(&regex, pieces[i].text, want_match))
                        qualifying.push_back(&pieces[i]);
                for (int n : {1, 3}) {
                    for (bool numbered : {true, false}) {
                        SCOPED_TRACE(testing::Message() << pattern << " from " << start
                                     << (want_match ? " matching" : " not matching")
                                     << ", n " << n << (numbered ? ", numbered" : ""));
                        int64_t line = 1 + std::count(text.begin(), text.begin() + start, '\n');
                        search_walk walk = {static_cast<file_pos>(start), numbered ? line : 0,
                                            n, want_match};
                        search_outcome result = walk_backward(&walk);
                        if (qualifying.size() < static_cast<size_t>(n)) {
                            EXPECT_EQ(result, WALK_NOT_FOUND);
                            continue;
                        }
                        const raw_piece &target = *qualifying[static_cast<size_t>(n) - 1];
                        ASSERT_EQ(result, WALK_FOUND);
                        EXPECT_EQ(walk.pos, target.start);
                        EXPECT_EQ(walk.lineno, numbered ? target.lineno : 0);
                    }
                }
            }
            regfree(&regex);
        }
    }
}

}  // namespace
