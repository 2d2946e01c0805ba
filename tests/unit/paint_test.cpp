// Painting display lines, checked on an emulated terminal: attributes,
// the horizontal offset, caret forms, the hidden carriage return, the
// automatic-margin rule for the final newline, and the busy message.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "view_setup.h"
#include "terminal_fixture.h"
#include "vterm_capture.h"

namespace {

class PaintTest : public ::testing::Test {
protected:
    void SetUp() override { start("vorn-display"); }

    void start(const char *terminal)
    {
        use_test_terminal(terminal);
        int rows = screen_height, cols = screen_width;
        reset_view_settings(rows, cols);
        ASSERT_EQ(rows, 12);
        ASSERT_EQ(cols, 40);
    }

    // Paints `line` on the top row of `emu`.
    static void paint_at_top(emulated_screen &emu, const std::string &line)
    {
        ASSERT_LT(line.size(), sizeof line_buffer);
        memcpy(line_buffer, line.c_str(), line.size() + 1);
        line_text = line_buffer;
        emu_run(emu, [] {
            cursor_home();
            paint_line();
        });
    }
};

const std::string UL_ON = "\x81", UL_OFF = "\x82", BOLD_ON = "\x83", BOLD_OFF = "\x84";

// What each column of a row shows: ' ' plain, 'u' underline, 'b' bold.
std::string attr_mask(emulated_screen &emu, int row, size_t width)
{
    std::string mask;
    for (size_t col = 0; col < width; col++) {
        emu_attrs a = emu_attr(emu, row, static_cast<int>(col));
        mask += a.underline ? (a.bold ? '*' : 'u') : (a.bold ? 'b' : ' ');
    }
    return mask;
}

struct paint_case {
    const char *what;
    std::string line;
    int offset;
    int no_overstrike;
    std::string row;
    std::string attrs;
    int tabs = 8;
};

TEST_F(PaintTest, LinesOnTheScreen)
{
    const std::vector<paint_case> cases = {
        {"plain", "plain text", 0, 0, "plain text", "          "},
        {"underline", UL_ON + "ab" + UL_OFF + "c", 0, 0, "abc", "uu "},
        {"bold", "x" + BOLD_ON + "AB" + BOLD_OFF, 0, 0, "xAB", " bb"},
        {"underline then bold", UL_ON + "a" + UL_OFF + BOLD_ON + "b" + BOLD_OFF, 0, 0,
         "ab", "ub"},
        {"tab", "a\tb", 0, 0, "a       b", "         "},
        {"caret forms", "\x80\x01\x9b\x7f", 0, 0, "^@^A^[^?", "        "},
        {"marker-like input bytes", "\x01\x04", 0, 0, "^A^D", "    "},
        {"trailing carriage return", "ab\r", 0, 0, "ab", "  "},
        {"trailing carriage return with -u", "ab\r", 0, 1, "ab^M", "    "},
        {"carriage return inside", "a\rb", 0, 0, "a^Mb", "    "},
        {"backspace overprints", "ab\bc", 0, 0, "ac", "  "},
        {"offset", "0123456789abcdef", 10, 0, "abcdef", "      "},
        {"tab across the left edge", "123456789\tX", 10, 0, "      X", "       "},
        {"backspace left of the edge", "0123456789\bX", 10, 0, "X", " "},
        {"attribute carried to the edge", UL_ON + "abcd" + UL_OFF, 2, 0, "cd", "uu"},
        {"attribute out of sight", UL_ON + "ab" + UL_OFF + "cdefgh", 5, 0, "fgh", "   "},
        {"caret form split by the edge", "123456789\x01z", 10, 0, "Az", "  "},
        {"the largest offset", UL_ON + "abc" + UL_OFF + "\t", INT_MAX, 0, "", ""},
        // a tab whose stop lies beyond the screen ends at the right edge
        {"a tab stop beyond the screen", "ab\t", 0, 0, "ab", "  ", 100},
        {"a tab across both edges", UL_ON + "\t" + UL_OFF, 10, 0, "", "uuuu", 100},
    };
    for (const paint_case &c : cases) {
        SCOPED_TRACE(c.what);
        horiz_off = c.offset;
        wrap_lines = c.offset == 0;
        opt_no_overstrike = c.no_overstrike;
        tab_width = c.tabs;
        emulated_screen emu(12, 40);
        paint_at_top(emu, c.line);
        EXPECT_EQ(emu_row(emu, 0), c.row);
        EXPECT_EQ(attr_mask(emu, 0, c.attrs.size()), c.attrs);
        EXPECT_EQ(emu_cursor(emu), std::make_pair(1, 0));
        EXPECT_EQ(attr_state, 0) << "an attribute was left on";
    }
}

// With attribute sequences that take a column (sg 1) the painter counts
// those columns: the tab after an underlined character ends earlier.
TEST_F(PaintTest, AttributeWidthsCountAsColumns)
{
    start("vorn-display-sg");
    ASSERT_EQ(underline_width, 1);
    emulated_screen emu(12, 40);
    paint_at_top(emu, UL_ON + "a" + UL_OFF + "\tb");
    EXPECT_EQ(emu_row(emu, 0), "a     b");
}

// A backspace after an attribute that opens at the left edge: line assembly
// counted the opening sequence's column before the backspace took one back,
// so the painter sends the sequence and the backspace too, instead of
// keeping the column and passing the right edge at the end of the row.
TEST_F(PaintTest, BackspaceAfterAnAttributeAtTheLeftEdge)
{
    start("vorn-display-sg");
    ASSERT_EQ(bold_width, 1);
    std::string line = BOLD_ON + "\b\x80" + BOLD_OFF + "x";
    memcpy(line_buffer, line.c_str(), line.size() + 1);
    line_text = line_buffer;
    EXPECT_EQ(capture_output([] { paint_line(); }), "\x1b[1m\b^@\x1b[mx\n");
}

TEST_F(PaintTest, NewlineAfterAFullWidthLine)
{
    struct margin_case {
        const char *terminal;
        bool autowrap;
        size_t length;
        std::pair<int, int> cursor;     // after the line
    };
    const std::vector<margin_case> cases = {
        {"vorn-display", true, 40, {1, 0}},          // am and xn: newline
        {"vorn-display-noxn", true, 40, {0, 39}},    // am alone: none
        {"vorn-display-noam", false, 40, {1, 0}},    // no am: newline
        {"vorn-display-noxn", true, 39, {1, 0}},     // short of the edge
    };
    for (const margin_case &c : cases) {
        SCOPED_TRACE(std::string(c.terminal) + " " + std::to_string(c.length));
        start(c.terminal);
        emulated_screen emu(12, 40, c.autowrap);
        paint_at_top(emu, std::string(c.length, 'x'));
        EXPECT_EQ(emu_row(emu, 0), std::string(c.length, 'x'));
        EXPECT_EQ(emu_cursor(emu), c.cursor);
    }
    // past the edge as counted with the offset
    start("vorn-display-noxn");
    horiz_off = 5;
    wrap_lines = 0;
    emulated_screen emu(12, 40);
    paint_at_top(emu, std::string(45, 'y'));
    EXPECT_EQ(emu_cursor(emu), std::make_pair(0, 39));
}

TEST_F(PaintTest, RowEndingInAnAttributeErasesTheNextRow)
{
    emulated_screen emu(12, 40);
    emu_feed(emu, "\033[2;1HJUNK JUNK JUNK JUNK");
    paint_at_top(emu, BOLD_ON + std::string(40, 'B') + BOLD_OFF);
    EXPECT_EQ(erase_before_next_line, 1);
    std::string next = "ab";
    memcpy(line_buffer, next.c_str(), next.size() + 1);
    emu_run(emu, [] { paint_line(); });
    EXPECT_EQ(emu_row(emu, 0), std::string(40, 'B'));
    EXPECT_EQ(emu_row(emu, 1), "ab");
    EXPECT_EQ(erase_before_next_line, 0);

    // a plain full row needs no erase
    paint_at_top(emu, std::string(40, 'p'));
    EXPECT_EQ(erase_before_next_line, 0);
}

TEST_F(PaintTest, NothingIsPaintedWhileASignalIsPending)
{
    emulated_screen emu(12, 40);
    pending_signals = PENDING_RESIZE;
    paint_at_top(emu, "text");
    pending_signals = 0;
    EXPECT_EQ(emu_row(emu, 0), "");
    EXPECT_TRUE(repaint_requested());
}

TEST_F(PaintTest, BusyMessageOnTheBottomLine)
{
    emulated_screen emu(12, 40);
    emu_run(emu, [] { show_busy_message("Counting"); });
    EXPECT_EQ(emu_row(emu, 11), "Counting... (interrupt to abort)");
    EXPECT_TRUE(emu_attr(emu, 11, 0).reverse);
    EXPECT_TRUE(emu_attr(emu, 11, 31).reverse);
    EXPECT_FALSE(emu_attr(emu, 11, 32).reverse);
}

}  // namespace
