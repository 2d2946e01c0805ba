// Line assembly over real files: display lines (tabs, caret bytes, the
// overstrike recognizer and its marks, the width boundary, wrapping and
// cutting, squeezing) and raw lines, forward and backward.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "utf8_setup.h"
#include "view_setup.h"

namespace {

struct line_settings {
    int width = 80;
    int offset = 0;         // horiz_off; wrapping is off when it is set
    int wrap = 1;
    int no_overstrike = 0;
    int attr_width = 0;     // every attribute sequence's width (termcap sg)
    int tabs = 8;
    int squeeze = 0;
    int colour = 0;         // -R: the text's colour sequences take no column
};

void apply(const line_settings &s)
{
    reset_view_settings(24, s.width);
    horiz_off = s.offset;
    wrap_lines = s.wrap;
    opt_no_overstrike = s.no_overstrike;
    opt_squeeze = s.squeeze;
    show_colour = s.colour;
    tab_width = s.tabs;
    underline_width = underline_end_width = s.attr_width;
    bold_width = bold_end_width = s.attr_width;
}

class LineTest : public ::testing::Test {
protected:
    temp_dir dir;
    void use(const std::string &bytes, const line_settings &s = {})
    {
        apply(s);
        open_view_file(dir, bytes);
    }
    void TearDown() override { close_view_input(); }
};

// Readable names for the marks in expected lines.
const std::string UL_ON = "\x81", UL_OFF = "\x82", BOLD_ON = "\x83", BOLD_OFF = "\x84";

struct display_case {
    const char *what;
    std::string input;
    line_settings settings;
    std::string line;       // line_text after next_display_line(0)
    file_pos next;          // its result
    int column;             // line_column afterwards
};

TEST_F(LineTest, DisplayLineFromItsStart)
{
    line_settings off3;
    off3.offset = 3;
    off3.wrap = 0;
    line_settings tabs4;
    tabs4.tabs = 4;
    line_settings raw;
    raw.no_overstrike = 1;
    line_settings sg1;
    sg1.attr_width = 1;
    line_settings narrow5;
    narrow5.width = 5;
    line_settings cut5 = narrow5;
    cut5.wrap = 0;
    line_settings narrow10;
    narrow10.width = 10;
    line_settings narrow3;
    narrow3.width = 3;
    line_settings wide_tabs;
    wide_tabs.tabs = 1000;
    wide_tabs.offset = 3;
    wide_tabs.wrap = 0;
    line_settings far_right;
    far_right.offset = INT_MAX;
    far_right.wrap = 0;

    const std::vector<display_case> cases = {
        {"tab to the first stop", "a\tb\n", {}, "a\tb", 4, 9},
        {"tab stops count from the text start", "a\tb\n", off3, "a\tb", 4, 6},
        {"tab width 4", "ab\tc\n", tabs4, "ab\tc", 5, 5},
        {"bold", "A\bA\n", {}, BOLD_ON + "A" + BOLD_OFF, 4, 1},
        {"underline, underscore first", "_\bA\n", {}, UL_ON + "A" + UL_OFF, 4, 1},
        {"underline, underscore last", "A\b_\n", {}, UL_ON + "A" + UL_OFF, 4, 1},
        {"underscore over underscore is bold", "_\b_\n", {}, BOLD_ON + "_" + BOLD_OFF, 4, 1},
        {"underlined underscore", "_\ba_\b_\n", {}, UL_ON + "a_" + UL_OFF, 7, 2},
        {"one underlined run", "_\ba_\bb\n", {}, UL_ON + "ab" + UL_OFF, 7, 2},
        {"underline then plain", "_\ba_\bbc\n", {}, UL_ON + "ab" + UL_OFF + "c", 8, 3},
        {"bold run", "A\bAB\bB\n", {}, BOLD_ON + "AB" + BOLD_OFF, 7, 2},
        {"bold then plain", "A\bAc\n", {}, BOLD_ON + "A" + BOLD_OFF + "c", 5, 2},
        {"underline turns bold", "_\baB\bB\n", {},
         UL_ON + "a" + UL_OFF + BOLD_ON + "B" + BOLD_OFF, 7, 2},
        {"bold turns underline", "A\bA_\bb\n", {},
         BOLD_ON + "A" + BOLD_OFF + UL_ON + "b" + UL_OFF, 7, 2},
        {"two different characters", "A\bB\n", {}, "B", 4, 1},
        {"plain text around bold", "x A\bA y\n", {}, "x " + BOLD_ON + "A" + BOLD_OFF + " y", 8, 5},
        {"sg: the blank before becomes the mark", " _\bx\n", sg1, UL_ON + "x" + UL_OFF, 5, 2},
        {"sg: bold at the start takes a column", "A\bA\n", sg1, BOLD_ON + "A" + BOLD_OFF, 4, 2},
        // where each sequence takes a column, the painter's columns: the
        // change from bold to underline sends two sequences, and a tab
        // after attributed text starts behind the closing sequence
        {"sg: bold turns underline", "A\bA_\bb\n", sg1,
         BOLD_ON + "A" + BOLD_OFF + UL_ON + "b" + UL_OFF, 7, 5},
        {"sg: underline turns bold", "_\baB\bB\n", sg1,
         UL_ON + "a" + UL_OFF + BOLD_ON + "B" + BOLD_OFF, 7, 5},
        // backspaces that take back a change from bold to underline stop
        // behind the closing sequence, which stays and keeps its column
        {"sg: backspaces over a change of attribute", "A\bA_\bb\t\b\b\b\bxyz\n", sg1,
         BOLD_ON + "A" + BOLD_OFF + "xyz", 15, 6},
        {"sg: a tab after underline", "abcde_\bf\tg\n", sg1,
         "abcde" + UL_ON + "f" + UL_OFF + "\tg", 11, 17},
        {"-u keeps overstrikes", "A\bA\n", raw, "A\bA", 4, 2},
        {"-u keeps underscores", "_\bA\n", raw, "_\bA", 4, 2},
        {"trailing backspace", "ab\b\n", {}, "ab\b", 4, 2},
        {"marker-like bytes", "\x81\x84\n", {}, "\x01\x04", 3, 4},
        {"NUL of the input", std::string("a\0b\n", 4), {}, "a\x80" "b", 4, 4},
        {"control and high bytes", "\x01\x7f\n", {}, "\x01\x7f", 3, 4},
        {"carriage return", "ab\r\n", {}, "ab\r", 4, 4},
        {"exactly the width", "abcde\nz\n", narrow5, "abcde", 6, 5},
        {"one more wraps", "abcdef\n", narrow5, "abcde", 5, 5},
        {"one more is cut", "abcdef\nxy\n", cut5, "abcde", 7, 5},
        {"a caret byte does not fit", "abcd\x01\n", narrow5, "abcd", 4, 4},
        {"a tab does not fit", "abcdefghi\tz\n", narrow10, "abcdefghi", 9, 10},
        // alone on its line a tab is kept, but it ends at the right edge
        {"a tab alone", "\tz\n", narrow5, "\t", 1, 5},
        {"a tab stop beyond the screen", "\tz\n", wide_tabs, "\t", 3, 80},
        {"last line without newline", "abc", {}, "abc", 3, 3},
        {"empty line", "\nx\n", {}, "", 1, 0},
        // the underline of the last character that fits still closes after it
        {"attribute at the right edge", "x_\bA\x01\n", narrow3, "x" + UL_ON + "A" + UL_OFF, 4, 2},
        // backspaces after an attribute each take a column back, but not
        // past the screen's left edge, where the painter stops them: a
        // column counted below it would let the rest pass the right edge
        {"backspaces after underline", "_\bA\b\b\b\n", {},
         UL_ON + "A" + UL_OFF + BOLD_ON + "\b" + BOLD_OFF, 7, 0},
        {"backspaces stop at the left edge", "ab_\bA\b\b\bxy\n", narrow5,
         "ab" + UL_ON + "A" + UL_OFF + BOLD_ON + "\b" + BOLD_OFF + "xy", 11, 4},
        {"the largest offset", "a\tb\n", far_right, "a\tb", 4, 9 - INT_MAX},
        {"left of the screen backspaces take nothing back", "_\bA\b\b\b\n", far_right,
         UL_ON + "A" + UL_OFF + BOLD_ON + "\b" + BOLD_OFF, 7, 1 - INT_MAX},
        // a backspace overstruck by a character took no column
        {"a backspace overstruck", "\b\bab\n", {}, "ab", 5, 2},
    };
    for (const display_case &c : cases) {
        SCOPED_TRACE(c.what);
        use(c.input, c.settings);
        EXPECT_EQ(next_display_line(0), c.next);
        ASSERT_NE(line_text, nullptr);
        EXPECT_EQ(std::string(line_text), c.line);
        EXPECT_EQ(line_column, c.column);
    }
}

TEST_F(LineTest, WrappedAndCutLinesFollowEachOther)
{
    line_settings narrow5;
    narrow5.width = 5;
    use("abcdefghijkl\nxy\n", narrow5);
    std::vector<display_line> lines = walk_forward();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].text, "abcde");
    EXPECT_EQ(lines[1].start, 5);
    EXPECT_EQ(lines[1].text, "fghij");
    EXPECT_EQ(lines[2].start, 10);
    EXPECT_EQ(lines[2].text, "kl");
    EXPECT_EQ(lines[3].start, 13);

    narrow5.wrap = 0;
    use("abcdefghijkl\nxy\n", narrow5);
    lines = walk_forward();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].start, 13);
    EXPECT_EQ(lines[1].text, "xy");
}

// A fixture with a bit of everything: tabs, overstrikes across the wrap
// point, caret bytes, long and empty lines, runs of empty lines, and no
// newline at the end.
std::string mixed_text()
{
    std::string text = "plain first line\n\tindented\tby tabs\n\n\n\n";
    for (char c : std::string("bold words and more bold words"))
        text += c == ' ' ? std::string(" ") : std::string{c, '\b', c};
    text += "\n";
    for (char c : std::string("underlined text that runs on"))
        text += std::string{'_', '\b', c};
    text += "\n\x01\x02 carets \x7f and \x81 marks\n\n";
    text += std::string(300, 'w') + "\n";
    text += "A\bA_\bb\tmixed\bX\n\n\nlast line without newline";
    return text;
}

TEST_F(LineTest, BackwardGivesTheLinesForwardGives)
{
    struct walk_case {
        const char *what;
        line_settings settings;
    };
    std::vector<walk_case> cases(6);
    cases[0] = {"80 columns, wrapping", {}};
    cases[1].what = "13 columns, wrapping";
    cases[1].settings.width = 13;
    cases[2].what = "13 columns, cut at offset 7";
    cases[2].settings.width = 13;
    cases[2].settings.wrap = 0;
    cases[2].settings.offset = 7;
    cases[3].what = "9 columns with attribute widths";
    cases[3].settings.width = 9;
    cases[3].settings.attr_width = 1;
    cases[4].what = "11 columns, -u";
    cases[4].settings.width = 11;
    cases[4].settings.no_overstrike = 1;
    cases[5].what = "wrapping at 2 columns";
    cases[5].settings.width = 2;

    const std::string text = mixed_text();
    for (const walk_case &c : cases) {
        SCOPED_TRACE(c.what);
        use(text, c.settings);
        std::vector<display_line> forward = walk_forward();
        std::vector<display_line> backward = walk_backward(static_cast<file_pos>(text.size()));
        ASSERT_GT(forward.size(), 10u);
        ASSERT_EQ(backward.size(), forward.size());
        for (size_t i = 0; i < forward.size(); i++) {
            EXPECT_EQ(backward[i].start, forward[i].start) << "line " << i;
            EXPECT_EQ(backward[i].text, forward[i].text) << "line " << i;
        }
    }
}

void expect_same_lines(const std::vector<display_line> &seen,
                       const std::vector<display_line> &wanted)
{
    ASSERT_EQ(seen.size(), wanted.size());
    for (size_t i = 0; i < wanted.size(); i++) {
        ASSERT_EQ(seen[i].start, wanted[i].start) << "line " << i;
        ASSERT_EQ(seen[i].text, wanted[i].text) << "line " << i;
    }
}

// One text line far longer than a screen, between short ones, made of runs
// that line assembly takes as they come (words, NULs, caret bytes) and runs
// that it does not (tabs, overstrikes): going back through all of its
// display lines gives what going forward gives, from a file and from a
// pipe, and again after the width changed; and the line is read a few
// times in all, not once per display line.
std::string long_line_text(bool utf8 = false)
{
    const std::string plain = "plain words " + std::string(30, '\0') + "\x01\x02 more ";
    const std::string mixed = utf8 ? "w\xc3\xa9rds\t\xe4\xb8\xad\xf0\x9f\x98\x80\xc3\xc3\x00x\b\xc3\xa9 "
                                   : "words\tand\x01x\bx_\by ";
    std::string text = "short\nlines\n";
    while (text.size() < 58000)
        text += plain + plain + mixed;
    return text + "\nend\n";
}

TEST_F(LineTest, GoingBackInALongLineReadsItAFewTimesInAll)
{
    struct long_line_case {
        int width;
        bool pipe;
        bool utf8;
    } cases[] = {{13, false, false}, {11, false, false}, {2, false, false}, {1, false, false},
                 {13, true, false},  {13, false, true},  {7, true, true}};
    for (const long_line_case &c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + (c.pipe ? " columns, pipe" : " columns") +
                     (c.utf8 ? ", UTF-8" : ""));
        Utf8Locale locale(c.utf8);
        const std::string text = long_line_text(c.utf8);
        const file_pos end = static_cast<file_pos>(text.size());
        line_settings settings;
        settings.width = c.width;
        apply(settings);
        if (c.pipe)
            open_view_pipe(text);
        else
            open_view_file(dir, text);
        std::vector<display_line> forward = walk_forward();
        ASSERT_GT(forward.size(), 4500u);   // more than the latest starts kept
        int64_t before = input_bytes_read;
        expect_same_lines(walk_backward(end), forward);
        EXPECT_LT(input_bytes_read - before, 4 * end);

        screen_width = c.width + 2;
        forward = walk_forward();
        before = input_bytes_read;
        expect_same_lines(walk_backward(end), forward);
        EXPECT_LT(input_bytes_read - before, 4 * end);
    }
}

// The starts kept for a long line were found in bytes that a file cut
// short no longer has: once the cut is noticed, going back follows the
// bytes written after it.
TEST_F(LineTest, StartsOfALongLineCutShortAreForgotten)
{
    line_settings narrow;
    narrow.width = 7;
    std::string text = long_line_text();
    use(text, narrow);
    file_pos end = static_cast<file_pos>(text.size());
    expect_same_lines(walk_backward(end), walk_forward());

    std::string kept = text.substr(0, text.size() / 2);
    std::string written = "\nnew\tline " + std::string(40, 'n') + "\nand one more\n";
    std::string path = dir.path + "/input";
    ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(kept.size())), 0);
    EXPECT_EQ(cache_drop_beyond_end(), static_cast<file_pos>(kept.size()));
    FILE *stream = fopen(path.c_str(), "ab");
    ASSERT_NE(stream, nullptr);
    fputs(written.c_str(), stream);
    fclose(stream);
    expect_same_lines(walk_backward(static_cast<file_pos>(kept.size() + written.size())),
                      walk_forward());
}

// A character that does not fit ends the line before an overstrike it
// would have rewritten: the line reads the same whether the walk reached its
// end forward or came back to it from the next line.
TEST_F(LineTest, OverstrikeCutByTheEdgeReadsTheSameBothWays)
{
    line_settings narrow9;
    narrow9.width = 9;
    line_settings narrow9_sg = narrow9;
    narrow9_sg.attr_width = 1;
    narrow9_sg.tabs = 4;
    const struct {
        const char *what;
        std::string input;
        line_settings settings;
    } cases[] = {
        {"two caret bytes", "abcdefg\x01\b\x02xyz\n", narrow9},
        {"a bold caret byte", "abcdefg\x01\b\x01xyz\n", narrow9},
        {"underline at the edge with attribute widths", "abcdef_\bgh\n", narrow9_sg},
        {"the fuzzed line", std::string("www\f\a\x01\b\0plain\n", 12), narrow9_sg},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        use(c.input, c.settings);
        std::vector<display_line> forward = walk_forward();
        std::vector<display_line> backward =
            walk_backward(static_cast<file_pos>(c.input.size()));
        ASSERT_GT(forward.size(), 1u);
        ASSERT_EQ(backward.size(), forward.size());
        for (size_t i = 0; i < forward.size(); i++) {
            EXPECT_EQ(backward[i].start, forward[i].start) << "line " << i;
            EXPECT_EQ(backward[i].text, forward[i].text) << "line " << i;
        }
    }
}

TEST_F(LineTest, SqueezeShowsOneEmptyLineBothWays)
{
    line_settings squeeze;
    squeeze.squeeze = 1;
    // a line that holds only a colour sequence shows nothing, but it is no
    // empty line: the run after it is squeezed on its own
    line_settings coloured = squeeze;
    coloured.colour = 1;
    struct squeeze_case {
        std::string input;
        std::vector<std::string> lines;
        line_settings settings;
    };
    const std::vector<squeeze_case> cases = {
        {"x\n\n\n\ny", {"x", "", "y"}, squeeze},
        {"abc\n\n", {"abc", ""}, squeeze},
        {"\n\n\nx\n", {"", "x"}, squeeze},
        {"a\n\nb\n\n\n\nc\n", {"a", "", "b", "", "c"}, squeeze},
        {"x\n\x1b[1m\n\n\ny\n", {"x", "", "", "y"}, coloured},
    };
    for (const squeeze_case &c : cases) {
        SCOPED_TRACE(c.input);
        use(c.input, c.settings);
        std::vector<std::string> forward, backward;
        for (const display_line &l : walk_forward())
            forward.push_back(l.text);
        for (const display_line &l : walk_backward(static_cast<file_pos>(c.input.size())))
            backward.push_back(l.text);
        EXPECT_EQ(forward, c.lines);
        EXPECT_EQ(backward, c.lines);
    }
    use("x\n\n\n\ny", squeeze);
    EXPECT_EQ(next_display_line(2), 5);     // the run is passed over
    EXPECT_EQ(prev_display_line(5), 4);     // the empty line right above y
    EXPECT_EQ(prev_display_line(4), 0);     // then x, above the whole run
}

TEST_F(LineTest, EndsAndBeginnings)
{
    use("ab\ncd\n");
    EXPECT_EQ(next_display_line(6), -1);
    EXPECT_EQ(next_display_line(-1), -1);
    EXPECT_EQ(prev_display_line(0), -1);
    EXPECT_EQ(prev_display_line(-1), -1);
    EXPECT_EQ(prev_display_line(3), 0);
    EXPECT_STREQ(line_text, "ab");
    EXPECT_EQ(prev_display_line(6), 3);
    EXPECT_STREQ(line_text, "cd");

    line_settings squeeze;
    squeeze.squeeze = 1;
    use("\n\n\nx\n", squeeze);
    EXPECT_EQ(prev_display_line(2), -1);    // only empty lines above
}

TEST_F(LineTest, PendingSignalAbandonsAssembly)
{
    use("abc\ndef\n");
    pending_signals = PENDING_RESIZE;
    EXPECT_EQ(next_display_line(0), -1);
    EXPECT_EQ(prev_display_line(4), -1);
    pending_signals = 0;
    EXPECT_EQ(next_display_line(0), 4);
}

TEST_F(LineTest, LongLinesMeetTheBufferLimits)
{
    const std::string long_line = std::string(5000, 'a') + std::string(5000, 'b');
    const std::string text = "x\n" + long_line + "\ny\n";
    use(text);
    const file_pos start = 2, end = 2 + 10000 + 1;

    EXPECT_EQ(next_raw_line(start), start + RAW_LINE_MAX);
    EXPECT_EQ(std::string(line_text), long_line.substr(0, RAW_LINE_MAX));
    EXPECT_EQ(next_raw_line(start + RAW_LINE_MAX), end);
    EXPECT_EQ(std::string(line_text), long_line.substr(RAW_LINE_MAX));

    EXPECT_EQ(prev_raw_line(end), end - 1 - RAW_LINE_MAX);
    EXPECT_EQ(std::string(line_text), long_line.substr(10000 - RAW_LINE_MAX));
    // from inside the line the byte before the position belongs to the piece
    EXPECT_EQ(prev_raw_line(end - 1 - RAW_LINE_MAX), start);
    EXPECT_EQ(std::string(line_text), long_line.substr(0, 10000 - RAW_LINE_MAX));

    // far to the right the byte limit, not the width, ends the line
    line_settings far;
    far.wrap = 0;
    far.offset = 100000;
    use(text, far);
    EXPECT_EQ(next_display_line(start), end);
    EXPECT_EQ(strlen(line_text), static_cast<size_t>(LINE_BUFFER_SIZE - 12 + 1));
    EXPECT_EQ(prev_display_line(end), start);
    EXPECT_EQ(strlen(line_text), static_cast<size_t>(LINE_BUFFER_SIZE - 12 + 1));
}

TEST_F(LineTest, RawLines)
{
    use(std::string("_\bab\tc\0d\nlast", 13));
    EXPECT_EQ(next_raw_line(0), 9);
    EXPECT_EQ(std::string(line_text), "_\bab\tc\x80" "d");
    EXPECT_EQ(next_raw_line(9), 13);
    EXPECT_STREQ(line_text, "last");
    EXPECT_EQ(next_raw_line(13), -1);
    EXPECT_STREQ(line_text, "");
    EXPECT_EQ(prev_raw_line(9), 0);
    EXPECT_EQ(std::string(line_text), "_\bab\tc\x80" "d");
    EXPECT_EQ(prev_raw_line(0), -1);
    EXPECT_EQ(prev_raw_line(-1), -1);
}

// Reading the raw line behind a display line (as a highlighter must, to
// find the matches it shows) leaves the display line for the painter.
TEST_F(LineTest, RawLineLeavesTheDisplayLineIntact)
{
    use("_\bu\tword\nsecond line\n");
    ASSERT_EQ(next_display_line(0), 9);
    const char *display = line_text;
    std::string assembled = display;
    for (auto read_raw : {next_raw_line, prev_raw_line}) {
        read_raw(read_raw == next_raw_line ? 9 : 21);
        EXPECT_STREQ(line_text, "second line");
        EXPECT_EQ(std::string(display), assembled);
    }
}

TEST_F(LineTest, PipeInputReadsLikeAFile)
{
    apply({});
    open_view_pipe("one\ntwo\nthree\n");
    EXPECT_EQ(next_display_line(0), 4);
    EXPECT_EQ(next_display_line(4), 8);
    EXPECT_STREQ(line_text, "two");
    EXPECT_EQ(prev_display_line(8), 4);
    EXPECT_STREQ(line_text, "two");
    EXPECT_EQ(next_display_line(99999), -1);    // never read: unreachable
}

// The fast line walkers stop where the character operations would.
TEST_F(LineTest, ScanningForNewlinesAcrossBlocks)
{
    std::string text;
    std::vector<file_pos> starts = {0};
    for (int i = 0; i < 300; i++) {
        text += std::string(static_cast<size_t>(i * 7 % 50), 'x') + "\n";
        starts.push_back(static_cast<file_pos>(text.size()));
    }
    text += "tail";
    use(text);
    ASSERT_EQ(cache_seek(0), 0);
    for (size_t i = 1; i < starts.size(); i++) {
        ASSERT_EQ(scan_past_newline(0), 1);
        ASSERT_EQ(cache_tell(), starts[i]);
    }
    EXPECT_EQ(scan_past_newline(0), 0);
    EXPECT_EQ(cache_tell(), static_cast<file_pos>(text.size()));
    EXPECT_EQ(scan_past_newline(0), 0);

    for (size_t i = starts.size() - 1; i > 0; i--) {
        ASSERT_EQ(scan_back_to_newline(0), 1);
        ASSERT_EQ(cache_tell(), starts[i] - 1);
    }
    EXPECT_EQ(scan_back_to_newline(0), 0);
    EXPECT_EQ(cache_tell(), 0);
}

// Counting a range of a named file: the newlines between the two
// positions only, across the pieces it is read in, up to the end at most;
// a pipe is counted through the blocks of the cache, the same way.
TEST_F(LineTest, CountingTheNewlinesOfARange)
{
    // every range of `text` counted as the byte-by-byte reading counts it
    auto check_ranges = [](const std::string &text, const std::vector<file_pos> &ranges) {
        const auto size = static_cast<file_pos>(text.size());
        for (size_t i = 0; i + 1 < ranges.size(); i += 2) {
            file_pos from = ranges[i], to = ranges[i + 1];
            SCOPED_TRACE(testing::Message() << "[" << from << ", " << to << ")");
            file_pos end = to < size ? to : size;
            newline_count expected = {0, -1, -1};
            for (file_pos p = from; p < end; p++) {
                if (text[static_cast<size_t>(p)] != '\n')
                    continue;
                expected.lines++;
                if (expected.first_start == -1)
                    expected.first_start = p + 1;
                expected.last_start = p + 1;
            }
            newline_count count;
            EXPECT_EQ(line_scan_count(from, to, &count), from > end ? from : end);
            EXPECT_EQ(count.lines, expected.lines);
            EXPECT_EQ(count.first_start, expected.first_start);
            EXPECT_EQ(count.last_start, expected.last_start);
        }
    };
    std::string text;
    for (int i = 0; i < 40000; i++)
        text += std::string(static_cast<size_t>(i * 13 % 37), 'y') + "\n";
    text += "last";
    const file_pos size = static_cast<file_pos>(text.size());
    ASSERT_GT(size, 600 * 1024);    // more than two pieces
    use(text);
    check_ranges(text, {0, size, 0, 1, 5, 5, 1, 700000, 262143, 262145, 300000, size + 99,
                        size - 4, size, size, size + 10, 17, 18});
    // a pipe: across the blocks of the cache (more than one), and to its end
    std::string piped;
    for (int i = 0; i < 300; i++)
        piped += std::string(static_cast<size_t>(i % 11), 'p') + "\n";
    piped += "end";
    const auto piped_size = static_cast<file_pos>(piped.size());
    open_view_pipe(piped);
    check_ranges(piped, {0, piped_size, 5, 1500, 1023, 1025, 100, piped_size + 50});
}

// The vectorised count over every length around its vector sizes and the
// 255 vectors after which its column sums are added up, at every alignment,
// with no newline, only newlines and some.
TEST_F(LineTest, CountingNewlinesInMemory)
{
    const size_t lengths[] = {0, 1, 15, 16, 17, 31, 32, 33, 63, 64, 65,
                              255 * 16, 255 * 16 + 1, 255 * 32 - 1, 255 * 32, 255 * 32 + 17,
                              3 * 255 * 32 + 5};
    std::vector<unsigned char> bytes(3 * 255 * 32 + 64);
    for (int fill = 0; fill < 3; fill++) {
        for (size_t i = 0; i < bytes.size(); i++)
            bytes[i] = fill == 0 ? 'x' : fill == 1 ? '\n' : i % 7 == 3 ? '\n' : 0x8a;
        for (size_t length : lengths) {
            for (size_t offset = 0; offset < 4; offset++) {
                const unsigned char *from = bytes.data() + offset;
                int64_t expected = std::count(from, from + length, '\n');
                ASSERT_EQ(count_newlines(from, from + length), expected)
                    << "fill " << fill << ", length " << length << ", offset " << offset;
            }
        }
    }
}

}  // namespace
