// The prompt on an emulated terminal: the pieces of the short and the long
// prompt for a file and for standard input, at the end of a file, the first
// screen of a new file, the pending repaint, and the end of the program.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "command/command.h"
#include "view_setup.h"
#include "vterm_capture.h"

namespace {

const int BOTTOM_LINE = 11;

class PromptTest : public ::testing::Test {
protected:
    temp_dir dir;
    std::unique_ptr<emulated_screen> emu;

    void SetUp() override
    {
        use_test_terminal("vorn-display");
        reset_view_settings(screen_height, 80);     // room for the long prompt
        long_prompt = 0;
        emu = std::make_unique<emulated_screen>(screen_height, screen_width);
        name_files("notes.txt", 0, 2, "second.txt");
    }
    void TearDown() override
    {
        close_view_input();
        long_prompt = 0;
    }

    static void name_files(const char *name, int index, int count, const char *next)
    {
        prompt_name = name;
        file_index = index;
        file_count = count;
        next_file_name = next;
    }

    // The screen's rows start at these positions, from the top.
    static void show_rows(const std::vector<file_pos> &starts)
    {
        pos_reset();
        for (file_pos p : starts)
            pos_push_bottom(p);
        pos_compact();
    }

    std::string prompt()
    {
        emu_run(*emu, [] {
            screen_for_prompt();
            show_prompt();
        });
        return emu_row(*emu, BOTTOM_LINE);
    }
};

std::vector<file_pos> rows_from(file_pos first, int count)
{
    std::vector<file_pos> starts;
    for (int i = 0; i < count; i++)
        starts.push_back(first + 10 * i);
    return starts;
}

TEST_F(PromptTest, Pieces)
{
    struct prompt_case {
        const char *what;
        int long_style;
        int from_pipe;      // 2: a named input that cannot seek (a fifo)
        int end_reached;
        int stay;           // -e
        int numbers;        // off with -n
        int offset;
        int rows;           // rows shown; 12 fills the screen to byte 100
        std::string text;
    };
    const std::vector<prompt_case> cases = {
        {"short", 0, 0, 0, 0, 1, 0, 12, "notes.txt (33%)"},
        {"short at the end", 0, 0, 1, 0, 1, 0, 12, "notes.txt: END (next file: second.txt)"},
        {"short from a pipe", 0, 1, 0, 0, 1, 0, 12, "stdin"},
        {"short, bottom row empty", 0, 0, 0, 0, 1, 0, 3, "notes.txt"},
        {"long", 1, 0, 0, 0, 1, 0, 12,
         "notes.txt: file 1/2 line 11 col 0 byte 100/300 pct 33%"},
        {"long from a pipe", 1, 1, 0, 0, 1, 0, 12, "stdin: line 11 col 0 byte 100"},
        {"long, -n, shifted", 1, 0, 0, 0, 0, 7, 12,
         "notes.txt: file 1/2 col 7 byte 100/300 pct 33%"},
        // rows 0 and 1 show lines 1 and 2, the end of the text shown is at
        // byte 20: the line named is the last one shown
        {"long, bottom row empty", 1, 0, 0, 0, 1, 0, 3, "notes.txt: file 1/2 line 2 col 0"},
        {"long at the end", 1, 0, 1, 0, 1, 0, 12,
         "notes.txt: file 1/2 line 11 col 0 byte 100/300 pct 33%"},
        // its length is unknown until it has been read to the end
        {"short, length unknown", 0, 2, 0, 0, 1, 0, 12, "notes.txt"},
        {"long, length unknown", 1, 2, 0, 0, 1, 0, 12,
         "notes.txt: file 1/2 line 11 col 0 byte 100"},
    };
    const std::string text = ten_byte_lines(30);
    for (const prompt_case &c : cases) {
        SCOPED_TRACE(c.what);
        if (c.from_pipe == 1) {
            open_view_pipe(text);
            name_files("stdin", 0, 0, nullptr);
        } else if (c.from_pipe == 2) {
            open_view_pipe(text);
            pipe_mode = 0;
            cache_init(buffer_setting);
            name_files("notes.txt", 0, 2, "second.txt");
        } else {
            open_view_file(dir, text);
            name_files("notes.txt", 0, 2, "second.txt");
        }
        long_prompt = c.long_style;
        opt_stay_at_end = c.stay;
        show_line_numbers = c.numbers;
        horiz_off = c.offset;
        wrap_lines = c.offset == 0;
        show_rows(rows_from(0, c.rows));
        at_eof = c.end_reached;
        input_column = 9;
        EXPECT_EQ(prompt(), c.text);
        EXPECT_TRUE(emu_attr(*emu, BOTTOM_LINE, 0).reverse);
        EXPECT_TRUE(emu_attr(*emu, BOTTOM_LINE, static_cast<int>(c.text.size()) - 1).reverse);
        EXPECT_FALSE(emu_attr(*emu, BOTTOM_LINE, static_cast<int>(c.text.size())).reverse);
        // the echo of the next key starts where the prompt ends
        EXPECT_EQ(input_column, static_cast<int>(c.text.size()) + standout_width +
                                    standout_end_width);
    }
}

TEST_F(PromptTest, PercentagesOfHugeFiles)
{
    std::string path = dir.write("huge", "");
    ASSERT_EQ(truncate(path.c_str(), 5000000000), 0);   // sparse
    cache_open_input(open(path.c_str(), O_RDONLY));
    ASSERT_GE(input_fd, 0);
    pipe_mode = 0;
    cache_init(buffer_setting);
    show_line_numbers = 0;
    name_files("huge", 0, 1, nullptr);
    show_rows(rows_from(3999999900, 12));
    EXPECT_EQ(prompt(), "huge (80%)");
    long_prompt = 1;
    EXPECT_EQ(prompt(), "huge: file 1/1 col 0 byte 4000000000/5000000000 pct 80%");
}

TEST_F(PromptTest, FirstScreenOfANewFile)
{
    const std::string text = ten_byte_lines(30);
    for (const char *pattern : {static_cast<const char *>(nullptr), "no such text"}) {
        SCOPED_TRACE(pattern ? pattern : "no pattern");
        open_view_file(dir, text);
        first_pattern = pattern;
        fd_capture errors = start_capture(2);
        EXPECT_EQ(prompt(), "notes.txt (33%)");
        end_capture(errors);
        EXPECT_EQ(screen_pos(SCREEN_TOP), 0);
        EXPECT_EQ(emu_row(*emu, 0), "000000001");
        EXPECT_EQ(emu_row(*emu, 10), "000000011");
    }
    first_pattern = nullptr;
}

TEST_F(PromptTest, PendingRepaint)
{
    open_view_file(dir, ten_byte_lines(30));
    prompt();
    emu_feed(*emu, "\033[H\033[2Jgarbage");
    request_repaint();
    EXPECT_EQ(prompt(), "notes.txt (33%)");
    EXPECT_EQ(emu_row(*emu, 0), "000000001");
    EXPECT_EQ(emu_row(*emu, 10), "000000011");
    EXPECT_FALSE(repaint_requested());
}

TEST_F(PromptTest, EndOfTheLastFileEndsTheProgram)
{
    open_view_file(dir, "one\ntwo\n");
    struct end_case {
        int index;
        int count;
    };
    for (end_case c : {end_case{1, 2}, end_case{0, 0}}) {
        name_files("notes.txt", c.index, c.count, nullptr);
        EXPECT_EXIT(prompt(), ::testing::ExitedWithCode(0), "");
    }
    // with -e the end is shown instead
    opt_stay_at_end = 1;
    name_files("notes.txt", 1, 2, nullptr);
    EXPECT_EQ(prompt(), "notes.txt: END");
}

}  // namespace
