// The filter against grep: on generated files, the text lines a filtered
// view shows, walked forward from the start and backward from the end at
// several widths (long lines wrapping over several rows), are exactly the
// lines `grep -E` (or `grep -v -E`) selects; and with -s the shown empty
// lines squeeze into one.  The walks cross the blocks a search reads, so
// that both the line-by-line look and the walks of a search are used.
// Random texts and expressions (C and UTF-8, -i, coloured and overstruck
// words) are checked against grep on the same text without its decoration.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "find/find.h"
#include "utf8_setup.h"
#include "view_setup.h"

namespace {

// Lines of words drawn from a small vocabulary, some long enough to wrap
// over several rows, some empty, some with an overstruck word.
std::string generated_text(unsigned seed, int lines)
{
    static const char *const words[] = {"alpha", "beta", "gamma", "delta", "error",
                                        "warn", "x", "42", "ERROR", "Zeta"};
    std::mt19937 random(seed);
    std::string text;
    for (int i = 0; i < lines; i++) {
        int count = static_cast<int>(random() % 9);
        if (random() % 50 == 0)
            count = 60;     // a long line, many rows wide
        for (int w = 0; w < count; w++) {
            if (w > 0)
                text += ' ';
            text += words[random() % (sizeof words / sizeof words[0])];
        }
        if (random() % 40 == 0)
            text += " e\bex\bx";    // "ex" overstruck: matched as "ex"
        text += '\n';
    }
    return text;
}

// The output of a command, line by line, without the newlines.
std::vector<std::string> output_lines(const std::string &command)
{
    std::vector<std::string> lines;
    FILE *out = popen(command.c_str(), "r");
    if (out == nullptr)
        return lines;
    char *line = nullptr;
    size_t size = 0;
    ssize_t got;
    while ((got = getline(&line, &size, out)) > 0)
        lines.emplace_back(line, static_cast<size_t>(got - 1));
    free(line);
    pclose(out);
    return lines;
}

// The lines grep selects, as text (an overstrike reduced as the pager
// reduces it: grep sees the bytes, so none is made to matter here).
std::vector<std::string> grep_lines(const std::string &path, const std::string &expression,
                                    bool invert)
{
    return output_lines(std::string("LC_ALL=C grep -a -E ") + (invert ? "-v " : "") + "-e '" +
                        expression + "' " + path);
}

bool starts_text_line(const std::string &text, file_pos pos)
{
    return pos == 0 || text[static_cast<size_t>(pos) - 1] == '\n';
}

std::string text_line_at(const std::string &text, file_pos pos)
{
    size_t start = static_cast<size_t>(pos);
    return text.substr(start, text.find('\n', start) - start);
}

// The text lines of the display lines, each once.
std::vector<std::string> text_lines_of(const std::string &text,
                                       const std::vector<display_line> &rows)
{
    std::vector<std::string> lines;
    for (const display_line &row : rows)
        if (starts_text_line(text, row.start))
            lines.push_back(text_line_at(text, row.start));
    return lines;
}

// The display lines of the filtered view, from its first shown line on.
std::vector<display_line> filtered_forward()
{
    return walk_forward(shown_display_line(0));
}

class FilterView : public ::testing::Test {
protected:
    temp_dir dir;
    const size_t default_block_size = search_block_size;

    void SetUp() override
    {
        reset_view_settings(24, 80);
        search_block_size = SEARCH_MIN_BLOCK;
    }
    void TearDown() override
    {
        search_block_size = default_block_size;
        filter_reset();
        close_view_input();
    }
};

TEST_F(FilterView, ShowsTheLinesGrepSelectsForwardAndBackward)
{
    const std::string text = generated_text(2026, 6000);
    ASSERT_GT(text.size(), 4u * SEARCH_MIN_BLOCK);
    const std::string path = dir.write("input", text);
    struct {
        const char *expression;
        bool invert;
    } cases[] = {
        {"error", false}, {"error", true}, {"^x", false}, {"42$", true},
        {"Zeta Zeta Zeta", false}, {"^$", true}, {"delta|gamma", false}, {"nothing at all", false},
        {"ex", false},
    };
    for (int width : {80, 17, 5}) {
        for (const auto &c : cases) {
            std::string expression = std::string(c.invert ? "!" : "") + c.expression;
            SCOPED_TRACE("width " + std::to_string(width) + " filter " + expression);
            reset_view_settings(24, width);
            open_view_file(dir, text);
            ASSERT_EQ(set_filter(expression.c_str()), 1);
            std::vector<std::string> expected = grep_lines(path, c.expression, c.invert);
            std::vector<display_line> forward = filtered_forward();
            EXPECT_EQ(text_lines_of(text, forward), expected);
            std::vector<display_line> backward = walk_backward(static_cast<file_pos>(text.size()));
            ASSERT_EQ(backward.size(), forward.size());
            for (size_t i = 0; i < forward.size(); i++) {
                EXPECT_EQ(backward[i].start, forward[i].start) << "row " << i;
                EXPECT_EQ(backward[i].text, forward[i].text) << "row " << i;
            }
        }
    }
}

// With -s the empty lines shown make one row per run, also where hidden
// lines stood between them; the other shown lines are all there.
TEST_F(FilterView, SqueezesTheShownEmptyLines)
{
    const std::string text = "a\n\nb\n\n\nc\n\na\nb\n\na\n";
    open_view_file(dir, text);
    opt_squeeze = 1;
    ASSERT_EQ(set_filter("!^[bc]"), 1);
    std::vector<std::string> rows;
    for (const display_line &row : filtered_forward())
        rows.push_back(row.text);
    const std::vector<std::string> expected = {"a", "", "a", "", "a"};
    EXPECT_EQ(rows, expected);
    rows.clear();
    for (const display_line &row : walk_backward(static_cast<file_pos>(text.size())))
        rows.push_back(row.text);
    EXPECT_EQ(rows, expected);
}

}  // namespace

namespace {

// ---- Random texts against grep ----

// A random line as grep sees it, and as the pager reads it: each word
// decorated (overstruck bold or underline, colour sequences around it or
// inside it) without changing what shows.
struct decorated_line {
    std::string plain, raw;
};

// The characters of `word`: whole UTF-8 sequences in a UTF-8 locale
// (the words hold well-formed ones only), single bytes otherwise.
std::vector<std::string> characters_of(const std::string &word, bool utf8)
{
    std::vector<std::string> characters;
    for (size_t i = 0; i < word.size();) {
        size_t length = 1;
        while (utf8 && i + length < word.size() && (word[i + length] & 0xC0) == 0x80)
            length++;
        characters.push_back(word.substr(i, length));
        i += length;
    }
    return characters;
}

std::string decorated(const std::string &word, bool utf8, bool colour, std::mt19937 &random)
{
    // a backspace takes the character before it, a whole one in UTF-8
    // and one byte in C: multibyte words are overstruck in UTF-8 only
    bool ascii = std::all_of(word.begin(), word.end(), [](char c) { return (c & 0x80) == 0; });
    std::string out;
    int kind = static_cast<int>(random() % (colour ? 5 : 3));
    switch (kind) {
    case 1:     // bold
    case 2:     // underline
        if (!ascii && !utf8)
            return word;
        for (const std::string &c : characters_of(word, utf8))
            out += (kind == 1 ? c : "_") + "\b" + c;
        return out;
    case 3:
        return "\x1b[1;3" + std::to_string(random() % 8) + "m" + word + "\x1b[m";
    case 4: {
        std::vector<std::string> characters = characters_of(word, utf8);
        size_t cut = random() % characters.size();
        for (size_t i = 0; i < characters.size(); i++)
            out += (i == cut ? "\x1b[38;5;208m" : "") + characters[i];
        return out + "\x1b[0m";
    }
    default:
        return word;
    }
}

decorated_line random_line(bool utf8, bool colour, std::mt19937 &random)
{
    static const std::vector<std::string> words = {
        "alpha", "Beta", "err", "ERR", "x", "42", " ", " ", "-",
        "caf\xC3\xA9", "CAF\xC3\x89", "\xE4\xB8\xAD\xE6\x96\x87", "\xC3\xA9t\xC3\xA9",
    };
    decorated_line line;
    for (size_t i = 0, n = random() % 9; i < n; i++) {
        const std::string &word = random() % 150 == 0 ? "needle" : words[random() % words.size()];
        line.plain += word;
        line.raw += decorated(word, utf8, colour, random);
    }
    return line;
}

// Expressions grep -E and the C library's regcomp read alike: atoms with
// at most one quantifier each, anchors, a bracket, a group.
std::string random_expression(std::mt19937 &random)
{
    static const std::vector<std::string> atoms = {
        "al", "err", "ERR", "x", "4", "needle", "NEEDLE", "\xC3\xA9", "\xC3\x89",
        "\xE4\xB8\xAD", ".", "[a-z]", "[0-9]", "(err|x)", " ", "caf.",
    };
    static const char *const quantifiers[] = {"", "", "", "+", "*", "?", "{2}"};
    std::string expression = random() % 4 == 0 ? "^" : "";
    for (size_t i = 0, n = 1 + random() % 3; i < n; i++)
        expression += atoms[random() % atoms.size()] + quantifiers[random() % 7];
    if (random() % 4 == 0)
        expression += "$";
    return expression;
}

// The numbers of the text lines (from 1) that start display lines.
std::vector<int> shown_line_numbers(const std::string &text,
                                    const std::vector<display_line> &rows)
{
    std::vector<file_pos> starts = {0};
    for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1))
        starts.push_back(static_cast<file_pos>(at) + 1);
    std::vector<int> numbers;
    for (const display_line &row : rows) {
        auto found = std::lower_bound(starts.begin(), starts.end(), row.start);
        if (found != starts.end() && *found == row.start)
            numbers.push_back(1 + static_cast<int>(found - starts.begin()));
    }
    return numbers;
}

std::vector<int> grep_line_numbers(const std::string &path, const std::string &expression,
                                   bool utf8, bool fold, bool invert)
{
    std::vector<int> numbers;
    for (const std::string &line :
         output_lines(std::string("LC_ALL=") + (utf8 ? "C.UTF-8" : "C") + " grep -n -a -E " +
                      (fold ? "-i " : "") + (invert ? "-v " : "") + "-e '" + expression + "' " +
                      path + " | cut -d: -f1"))
        numbers.push_back(std::stoi(line));
    return numbers;
}

// Random texts of decorated words and random expressions, in the C and
// the UTF-8 locale, with colours shown and not, with and without -i,
// matching and inverted: the view shows, forward and backward, exactly the
// lines grep selects from the same words undecorated (a fixed seed, so a
// failure repeats).  Rare words make sparse filters, which the walks of a
// search serve across the blocks.
TEST_F(FilterView, RandomTextsShowTheLinesGrepSelects)
{
    std::mt19937 random(20261211);
    for (bool utf8 : {false, true}) {
        Utf8Locale locale(utf8);
        for (int colour = 0; colour <= 1; colour++) {
            std::string plain, raw;
            while (raw.size() < 5 * SEARCH_MIN_BLOCK) {
                decorated_line line = random_line(utf8, colour != 0, random);
                plain += line.plain + "\n";
                raw += line.raw + "\n";
            }
            const std::string plain_path = dir.write("plain", plain);
            for (int round = 0; round < 10; round++) {
                std::string expression = random_expression(random);
                int fold = static_cast<int>(random() % 2);
                bool invert = random() % 3 == 0;
                SCOPED_TRACE(std::string(utf8 ? "UTF-8" : "C") + (colour ? ", colours" : "") +
                             (fold ? ", -i" : "") + ", filter " + (invert ? "!" : "") + expression);
                reset_view_settings(24, round % 2 ? 80 : 13);
                show_colour = colour;
                opt_ignore_case = fold;
                open_view_file(dir, raw);
                ASSERT_EQ(set_filter(((invert ? "!" : "") + expression).c_str()), 1);
                std::vector<int> expected = grep_line_numbers(plain_path, expression, utf8,
                                                              fold != 0, invert);
                EXPECT_EQ(shown_line_numbers(raw, filtered_forward()), expected);
                EXPECT_EQ(shown_line_numbers(raw, walk_backward(static_cast<file_pos>(raw.size()))),
                          expected);
                filter_reset();
            }
        }
    }
    show_colour = 0;
}

}  // namespace
