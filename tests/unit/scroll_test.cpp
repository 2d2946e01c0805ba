// Scrolling and jumping on an emulated terminal of 12 rows (11 text rows
// and the bottom line): the first screen, forward and backward moves,
// paging over a screenful, line insertion against repainting, the jumps,
// and squeezed empty lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "find/find.h"
#include "view_setup.h"
#include "vterm_capture.h"

namespace {

const int TEXT_ROWS = 11;

// "line 1" to "line count", one per text line.
std::string numbered(int count)
{
    std::string text;
    for (int i = 1; i <= count; i++)
        text += "line " + std::to_string(i) + "\n";
    return text;
}

std::vector<std::string> numbered_rows(int first, int count)
{
    std::vector<std::string> rows;
    for (int i = first; i < first + count; i++)
        rows.push_back("line " + std::to_string(i));
    return rows;
}

class ScrollTest : public ::testing::Test {
protected:
    temp_dir dir;
    std::unique_ptr<emulated_screen> emu;
    std::string text;

    void start(const std::string &bytes, const char *terminal = "vorn-display",
               int clear_option = 0)
    {
        use_test_terminal(terminal);
        reset_view_settings(screen_height, screen_width);
        ASSERT_EQ(screen_height, TEXT_ROWS + 1);
        opt_clear = clear_option;
        text = bytes;
        open_view_file(dir, bytes);
        emu = std::make_unique<emulated_screen>(screen_height, screen_width);
    }
    void TearDown() override { close_view_input(); }

    void run(const std::function<void()> &action) { emu_run(*emu, action); }

    // Runs `action` and returns what it wrote to standard error.
    // What the action recorded to be said, shown as the interpreter shows
    // it after a command (here, before the screen is in use, on standard
    // error).
    std::string run_for_message(const std::function<void()> &action)
    {
        fd_capture errors = start_capture(2);
        run([&] {
            action();
            report_messages();
        });
        return end_capture(errors);
    }

    std::vector<std::string> text_rows()
    {
        std::vector<std::string> rows;
        for (int row = 0; row < TEXT_ROWS; row++)
            rows.push_back(emu_row(*emu, row));
        return rows;
    }

    file_pos start_of(int line) { return line_start_in(text, line); }

    bool skipping_shown()
    {
        const auto &gone = emu->scrolled_off;
        bool on_screen = false;
        for (int row = 0; row < screen_height; row++)
            on_screen |= emu_row(*emu, row) == "...skipping...";
        return on_screen || std::find(gone.begin(), gone.end(), "...skipping...") != gone.end();
    }
};

TEST_F(ScrollTest, ShortFileFitsOnTheFirstScreen)
{
    start("one\ntwo\nthree\n");
    run([] { jump_line(1); });
    std::vector<std::string> rows = text_rows();
    EXPECT_EQ(std::vector<std::string>(rows.begin() + 8, rows.end()),
              (std::vector<std::string>{"one", "two", "three"}));
    EXPECT_EQ(rows[0], "");
    EXPECT_FALSE(skipping_shown());
    std::vector<file_pos> table;
    for (int row = 0; row < 5; row++)
        table.push_back(screen_pos(row));
    EXPECT_EQ(table, (std::vector<file_pos>{0, 4, 8, 14, -1}));
    EXPECT_TRUE(lower_left_below_text());
    EXPECT_EQ(at_eof, 1);
    EXPECT_EQ(first_paint, 0);
}

TEST_F(ScrollTest, ForwardAndBackwardByLines)
{
    start(numbered(100));
    run([] { jump_line(1); });
    EXPECT_EQ(text_rows(), numbered_rows(1, TEXT_ROWS));
    EXPECT_FALSE(lower_left_below_text());
    EXPECT_EQ(at_eof, 0);

    run([] { scroll_forward(3, 0); });
    EXPECT_EQ(text_rows(), numbered_rows(4, TEXT_ROWS));
    EXPECT_EQ(screen_pos(SCREEN_TOP), start_of(4));
    EXPECT_EQ(screen_pos(SCREEN_AFTER_BOTTOM), start_of(15));

    run([] { scroll_backward(2, 0); });
    EXPECT_EQ(text_rows(), numbered_rows(2, TEXT_ROWS));
    EXPECT_EQ(screen_pos(SCREEN_TOP), start_of(2));
    EXPECT_EQ(screen_pos(SCREEN_BOTTOM), start_of(12));

    // a move abandoned for a signal changes nothing
    pending_signals = PENDING_RESIZE;
    run([] { scroll_forward(3, 0); });
    pending_signals = 0;
    EXPECT_EQ(screen_pos(SCREEN_TOP), start_of(2));
    EXPECT_EQ(at_eof, 0);

    // past the end: every line is painted, and the end is noted
    emu->scrolled_off.clear();
    run([] { scroll_forward(500, 0); });
    EXPECT_EQ(text_rows(), numbered_rows(90, TEXT_ROWS));
    EXPECT_EQ(at_eof, 1);
    EXPECT_EQ(emu->scrolled_off.size(), 88u);
    EXPECT_EQ(screen_pos(SCREEN_AFTER_BOTTOM), static_cast<file_pos>(text.size()));
}

TEST_F(ScrollTest, PagingOverAScreenfulSkipsTheLinesBetween)
{
    struct paging_case {
        int paging;
        std::vector<std::string> scrolled_off;
    };
    std::vector<std::string> skipped = numbered_rows(1, TEXT_ROWS);
    skipped.push_back("...skipping...");
    const std::vector<paging_case> cases = {
        {1, skipped},                       // forw: one repaint at the end
        {0, numbered_rows(1, 2 * TEXT_ROWS)},   // forw_scroll: every line
    };
    for (const paging_case &c : cases) {
        SCOPED_TRACE(c.paging);
        start(numbered(100));
        run([] { jump_line(1); });
        emu->scrolled_off.clear();
        run([&] { scroll_forward(2 * TEXT_ROWS, c.paging); });
        EXPECT_EQ(text_rows(), numbered_rows(23, TEXT_ROWS));
        EXPECT_EQ(emu->scrolled_off, c.scrolled_off);
        EXPECT_EQ(screen_pos(SCREEN_TOP), start_of(23));
        EXPECT_EQ(screen_pos(SCREEN_AFTER_BOTTOM), start_of(34));
    }
}

TEST_F(ScrollTest, BackwardMovesInsertLinesOrRepaint)
{
    struct backward_case {
        const char *terminal;
        int clear_option;
        int lines;
        bool inserted;
    };
    const std::vector<backward_case> cases = {
        {"vorn-display", 0, TEXT_ROWS, true},
        {"vorn-display", 0, TEXT_ROWS + 1, false},
        {"vorn-display", 1, TEXT_ROWS, false},      // -c: one row less
        {"vorn-display", 1, TEXT_ROWS - 1, true},
        {"vorn-display-noal", 0, 1, false},         // cannot insert at all
        {"vorn-display-noal", 1, 1, false},
    };
    for (const backward_case &c : cases) {
        SCOPED_TRACE(std::string(c.terminal) + " -c " + std::to_string(c.clear_option) +
                     " back " + std::to_string(c.lines));
        start(numbered(100), c.terminal, c.clear_option);
        run([] { jump_line(1); });
        run([] { scroll_forward(30, 0); });
        ASSERT_EQ(text_rows(), numbered_rows(31, TEXT_ROWS));
        emu_feed(*emu, "\033[12;1Hprompt");
        emu->scrolled_off.clear();

        run([&] { scroll_backward(c.lines, 0); });
        EXPECT_EQ(text_rows(), numbered_rows(31 - c.lines, TEXT_ROWS));
        EXPECT_EQ(screen_pos(SCREEN_TOP), start_of(31 - c.lines));
        // inserted rows push the old rows down over the bottom line; a
        // repaint leaves the bottom line empty for the prompt
        std::string bottom = c.inserted ? "line " + std::to_string(42 - c.lines) : "";
        EXPECT_EQ(emu_row(*emu, TEXT_ROWS), bottom);
        if (c.inserted) {
            EXPECT_TRUE(emu->scrolled_off.empty());
        }
        EXPECT_EQ(at_eof, 0);
    }
}

TEST_F(ScrollTest, JumpToALine)
{
    start(numbered(30));
    run([] { jump_line(1); });
    struct line_case {
        int line;
        int top;            // text line on the top row afterwards
        int row;            // where that line shows
        std::string message;
    };
    const std::vector<line_case> cases = {
        {12, 12, 0, ""},
        {0, 1, 0, ""},
        {20, 20, 0, ""},    // exactly a screenful remains
        {1, 1, 0, ""},
        {32, 1, 0, "File has only 30 lines\n"},
        {30, 30, TEXT_ROWS - 1, ""},    // one line, painted at the bottom
    };
    for (const line_case &c : cases) {
        SCOPED_TRACE(c.line);
        std::string message = run_for_message([&] { jump_line(c.line); });
        EXPECT_EQ(message, c.message);
        EXPECT_EQ(screen_pos(SCREEN_TOP), start_of(c.top));
        EXPECT_EQ(emu_row(*emu, c.row), "line " + std::to_string(c.top));
    }
    // the line after the last newline is the end of the input
    run([] { jump_line(31); });
    EXPECT_EQ(screen_pos(SCREEN_TOP), static_cast<file_pos>(text.size()));
    EXPECT_EQ(at_eof, 1);
}

// Lines are counted by their newlines, from a file or from a pipe.
TEST_F(ScrollTest, JumpLineCountsNewlines)
{
    struct count_case {
        std::string input;
        int line;
        file_pos top;           // -1: not moved
        std::string message;
    };
    const std::vector<count_case> cases = {
        {"a\nb", 2, 2, ""},
        {"a\nb", 3, -1, "File has only 1 lines\n"},
        {"abc", 2, -1, "File has only 0 lines\n"},
        {"\n\n\nx\n", 4, 3, ""},
        {"\n\n\nx\n", 5, 5, ""},
        {"\n\n\nx\n", 6, -1, "File has only 4 lines\n"},
    };
    for (bool from_pipe : {false, true}) {
        for (const count_case &c : cases) {
            SCOPED_TRACE((from_pipe ? "pipe " : "file ") + c.input + " " +
                         std::to_string(c.line));
            start(c.input);
            if (from_pipe)
                open_view_pipe(c.input);
            std::string message = run_for_message([&] { jump_line(c.line); });
            EXPECT_EQ(message, c.message);
            EXPECT_EQ(screen_pos(SCREEN_TOP), c.top);
        }
    }
}

// A jump to a line number counts from the nearest line whose start is
// known (one jumped to before), forward or backward, not from the start
// of the input: the bytes read are bounded by the distance, not by the
// line's place in the file.  The same with a filter set, where the number
// stays that of the text line in the file and the view starts at the
// first shown line from it.
TEST_F(ScrollTest, JumpLineCountsFromTheNearestKnownLine)
{
    start(numbered(600000));     // about 7 MB
    struct jump_case {
        int line;
        int64_t most_read;      // bytes; 0: not bounded (nothing known near)
    };
    const std::vector<jump_case> cases = {
        {500000, 0},
        {500100, 1 << 20},      // forward from the last jump
        {499950, 1 << 20},      // backward from it
        {250000, 0},
        {250013, 1 << 20},
    };
    for (const char *filter : {"", "0$"}) {
        ASSERT_TRUE(set_filter(filter));
        linenum_clear();
        for (const jump_case &c : cases) {
            SCOPED_TRACE(std::string(filter) + " line " + std::to_string(c.line));
            int64_t before = input_bytes_read;
            std::string message = run_for_message([&] { jump_line(c.line); });
            EXPECT_EQ(message, "");
            int shown = *filter == 0 ? c.line : (c.line + 9) / 10 * 10;
            EXPECT_EQ(screen_pos(SCREEN_TOP), start_of(shown));
            EXPECT_EQ(emu_row(*emu, 0), "line " + std::to_string(shown));
            if (c.most_read > 0) {
                EXPECT_LT(input_bytes_read - before, c.most_read);
            }
        }
    }
    filter_reset();
}

TEST_F(ScrollTest, JumpToAPercentage)
{
    std::string bytes;
    char line[16];
    for (int i = 1; i <= 125; i++) {        // 125 lines of 8 bytes
        snprintf(line, sizeof line, "L%06d\n", i);
        bytes += line;
    }
    start(bytes);
    run([] { jump_line(1); });
    struct percent_case {
        int percent;
        file_pos top;
        int row;        // where the top line shows
    };
    const std::vector<percent_case> cases = {
        {50, 496, 0},   // byte 500 lies in the line starting at 496
        {0, 0, 0},
        {33, 328, 0},   // byte 330
        {99, 984, TEXT_ROWS - 2},   // two lines remain, painted at the bottom
    };
    for (const percent_case &c : cases) {
        SCOPED_TRACE(c.percent);
        run([&] { jump_percent(c.percent); });
        EXPECT_EQ(screen_pos(SCREEN_TOP), c.top);
        snprintf(line, sizeof line, "L%06d", static_cast<int>(c.top / 8 + 1));
        EXPECT_EQ(emu_row(*emu, c.row), line);
    }

    // at 100 percent the screen is repainted from the end: nothing but the
    // skipping line
    emu->scrolled_off.clear();
    run([] { jump_percent(100); });
    EXPECT_EQ(screen_pos(SCREEN_TOP), 1000);
    EXPECT_EQ(at_eof, 1);
    EXPECT_EQ(emu_row(*emu, TEXT_ROWS - 1), "...skipping...");
    EXPECT_EQ(emu_row(*emu, TEXT_ROWS), "");
}

TEST_F(ScrollTest, JumpToAPositionNearAndFar)
{
    start(numbered(100));
    run([] { jump_line(1); });

    std::vector<std::string> repainted = numbered_rows(3, TEXT_ROWS);
    repainted.push_back("...skipping...");
    struct pos_case {
        const char *what;
        int target;         // text line whose start is the target
        std::vector<std::string> scrolled_off;
        std::string bottom_line;    // what the moves left on the last row
    };
    const std::vector<pos_case> cases = {
        {"on the screen: scroll forward", 6, numbered_rows(1, 5), ""},
        {"just above: scroll back", 3, {}, "line 14"},
        {"far below: repaint", 60, repainted, ""},
        {"far above: rebuilt upward", 20, {}, ""},
        {"a screenful above: scroll back", 9, {}, "line 20"},
    };
    for (const pos_case &c : cases) {
        SCOPED_TRACE(c.what);
        emu->scrolled_off.clear();
        run([&] { jump_pos(start_of(c.target)); });
        EXPECT_EQ(text_rows(), numbered_rows(c.target, TEXT_ROWS));
        EXPECT_EQ(screen_pos(SCREEN_TOP), start_of(c.target));
        EXPECT_EQ(emu->scrolled_off, c.scrolled_off);
        EXPECT_EQ(emu_row(*emu, TEXT_ROWS), c.bottom_line);
    }
}

TEST_F(ScrollTest, JumpToTheEnd)
{
    start(numbered(100));
    run([] { jump_line(1); });
    run([] { jump_end(); });
    EXPECT_EQ(text_rows(), numbered_rows(90, TEXT_ROWS));
    EXPECT_EQ(screen_pos(SCREEN_AFTER_BOTTOM), static_cast<file_pos>(text.size()));
    EXPECT_EQ(at_eof, 1);

    start("one\ntwo\nthree\n");
    run([] { jump_end(); });
    EXPECT_EQ(emu_row(*emu, 0), "one");
    EXPECT_EQ(emu_row(*emu, 2), "three");
    EXPECT_EQ(screen_pos(SCREEN_TOP), 0);
    EXPECT_EQ(screen_pos(3), 14);
    EXPECT_EQ(at_eof, 1);
}

TEST_F(ScrollTest, PipeInput)
{
    start("");
    text = numbered(100);
    open_view_pipe(text);
    run([] { jump_line(1); });
    EXPECT_EQ(text_rows(), numbered_rows(1, TEXT_ROWS));

    // the length is unknown until the pipe has been read to its end
    std::string message = run_for_message([] { jump_percent(50); });
    EXPECT_EQ(message, "Don't know length of file\n");
    message = run_for_message([] { jump_pos(500000); });
    EXPECT_EQ(message, "Cannot seek to that position\n");
    EXPECT_EQ(screen_pos(SCREEN_TOP), 0);

    run([] { jump_line(50); });
    EXPECT_EQ(text_rows(), numbered_rows(50, TEXT_ROWS));

    run([] { jump_end(); });
    EXPECT_EQ(text_rows(), numbered_rows(90, TEXT_ROWS));
    EXPECT_EQ(cache_length(), static_cast<file_pos>(text.size()));
    run([] { jump_percent(50); });
    EXPECT_EQ(screen_pos(SCREEN_TOP), start_of(51));   // byte 396
}

// G on a pipe that a signal cuts short (the interrupt key while it reads)
// is no failure to find the end: nothing is said, the view stays, and the
// signal is left for the command loop.
TEST_F(ScrollTest, EndOfAPipeCutShortBySignalSaysNothing)
{
    start("");
    text = numbered(100);
    open_view_pipe(text);
    run([] { jump_line(1); });
    pending_signals = PENDING_INTERRUPT;
    std::string message = run_for_message([] { jump_end(); });
    int pending = pending_signals;
    pending_signals = 0;
    EXPECT_EQ(message, "");
    EXPECT_EQ(pending, PENDING_INTERRUPT);
    EXPECT_EQ(text_rows(), numbered_rows(1, TEXT_ROWS));
}

TEST_F(ScrollTest, SqueezedRunsCostOneRowBothWays)
{
    std::string bytes = "top\n";
    for (int i = 1; i <= 20; i++)
        bytes += "text " + std::to_string(i) + "\n\n\n\n";
    start(bytes);
    opt_squeeze = 1;
    run([] { jump_line(1); });
    std::vector<std::string> expected = {"top"};
    for (int i = 1; i <= 5; i++) {
        expected.push_back("text " + std::to_string(i));
        expected.push_back("");
    }
    EXPECT_EQ(text_rows(), expected);

    run([] { scroll_forward(4, 0); });
    run([] { scroll_backward(4, 0); });
    EXPECT_EQ(text_rows(), expected);
    EXPECT_EQ(screen_pos(SCREEN_TOP), 0);
}

}  // namespace
