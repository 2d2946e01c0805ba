// The filter against grep: on generated files, the text lines a filtered
// view shows, walked forward from the start and backward from the end at
// several widths (long lines wrapping over several rows), are exactly the
// lines `grep -E` (or `grep -v -E`) selects; and with -s the shown empty
// lines squeeze into one.  The walks cross the blocks a search reads, so
// that both the line-by-line look and the walks of a search are used.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "find/find.h"
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

// The lines grep selects, as text (an overstrike reduced as the pager
// reduces it: grep sees the bytes, so none is made to matter here).
std::vector<std::string> grep_lines(const std::string &path, const std::string &expression,
                                    bool invert)
{
    std::string command = std::string("LC_ALL=C grep -a -E ") + (invert ? "-v " : "") + "-e '" +
                          expression + "' " + path;
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

std::vector<display_line> filtered_forward()
{
    std::vector<display_line> lines;
    file_pos pos = shown_display_line(0);
    while (pos != -1 && lines.size() < 100000) {
        file_pos next = next_display_line(pos);
        if (next == -1)
            break;
        lines.push_back({pos, line_text});
        pos = next;
    }
    return lines;
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
