// The bottom-line editor in-process: keys come from a pipe that stands in
// for the keyboard, the echo goes to /dev/null (what it looks like on a
// real terminal is checked by the screen tests).  The tests look at what
// read_line returns, what it leaves in the buffer and where the echo column
// ends.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "command/command.h"
#include "display/display.h"
#include "keyboard_pipe.h"
#include "terminal/terminal.h"

namespace {

class EditorTest : public ::testing::Test {
protected:
    keyboard_pipe keyboard;
    int saved_stdout = -1;

    void SetUp() override
    {
        setenv("TERM", "xterm", 1);
        read_termcap();
        screen_width = 80;
        keyboard.open();
        fflush(stdout);
        saved_stdout = dup(1);
        int null_fd = open("/dev/null", O_WRONLY);
        ASSERT_GE(null_fd, 0);
        dup2(null_fd, 1);
        close(null_fd);
    }

    void TearDown() override
    {
        out_flush();
        dup2(saved_stdout, 1);
        close(saved_stdout);
        keyboard.close_pipe();
    }

    void type(const std::string &bytes) { keyboard.type(bytes); }
};

struct line_case {
    const char *name;
    std::string keys;
    int size;
    bool one_key;
    int result;
    std::string text;
};

TEST_F(EditorTest, ReadLineEndsCancelsAndEdits)
{
    const line_case cases[] = {
        {"plain line", "abc\n", 100, false, 0, "abc"},
        {"empty line", "\n", 100, false, 0, ""},
        {"erase on empty line cancels", "\x7f", 100, false, 1, ""},
        {"erase then retype", "ab\x7f" "c\n", 100, false, 0, "ac"},
        {"erasing past the start cancels", "ab\x7f\x7f\x7f", 100, false, 1, ""},
        {"kill always cancels", "abc\x15", 100, false, 1, ""},
        {"word-erase keeps the first word", "one two  \x17\n", 100, false, 0,
         "one"},
        {"word-erase of the only word cancels", "word \x17", 100, false, 1, ""},
        {"word-erase on empty line cancels", "\x17", 100, false, 1, ""},
        {"at most size-1 characters", "abcdef\n", 4, false, 0, "abc"},
        {"control characters are stored", "\x01z\n", 100, false, 0, "\x01z"},
        {"one-key read ends at once", "x", 100, true, 0, "x"},
        {"one-key read cancelled by erase", "\x7f", 100, true, 1, ""},
        {"one-key read ended by Return", "\n", 100, true, 0, ""},
    };
    for (const line_case &c : cases) {
        SCOPED_TRACE(c.name);
        type(c.keys);
        if (c.one_key)
            set_one_key_read();
        char buffer[100];
        memset(buffer, 'X', sizeof buffer);
        EXPECT_EQ(read_line("> ", buffer, c.size), c.result);
        EXPECT_EQ(std::string(buffer), c.text);
        // Every key was used and the one-key read is over: the next line
        // waits for Return again.
        type("next\n");
        EXPECT_EQ(read_line("> ", buffer, 100), 0);
        EXPECT_EQ(std::string(buffer), "next");
    }
}

// With no room at all the line is still read to its end (its keys must not
// become commands), and nothing is written into the buffer.
TEST_F(EditorTest, ReadLineWithoutRoomStoresNothing)
{
    char buffer[4] = {'X', 'X', 'X', 'X'};
    type("ab\n");
    EXPECT_EQ(read_line("> ", buffer, 0), 0);
    EXPECT_EQ(std::string(buffer, 4), "XXXX");
    type("ab\x15");
    EXPECT_EQ(read_line("> ", buffer, 0), 1);
    EXPECT_EQ(std::string(buffer, 4), "XXXX");
    type("z\n");
    EXPECT_EQ(read_line("> ", buffer, sizeof buffer), 0);
    EXPECT_EQ(std::string(buffer), "z");
}

TEST_F(EditorTest, EchoColumnFollowsCaretForms)
{
    struct column_case {
        const char *keys;
        int column;     // after the prompt "P: "
    } cases[] = {
        {"ab\n", 3 + 2},
        {"a\x01\n", 3 + 1 + 2},               // ^A takes two columns
        {"a\x01\x7f\n", 3 + 1},               // and both go again
        {"\x81\n", 3 + 2},                    // 0x81 shows as ^A too
        {"x\x7f" "y\x7f" "z\n", 3 + 1},
    };
    for (const column_case &c : cases) {
        SCOPED_TRACE(c.keys);
        type(c.keys);
        char buffer[32];
        ASSERT_EQ(read_line("P: ", buffer, sizeof buffer), 0);
        EXPECT_EQ(input_column, c.column + bold_width + bold_end_width);
    }
}

TEST_F(EditorTest, PushedBackKeyComesFirstButNotASignalValue)
{
    char buffer[16];
    push_back_key('z');
    type("y\n");
    ASSERT_EQ(read_line("> ", buffer, sizeof buffer), 0);
    EXPECT_EQ(std::string(buffer), "zy");

    // READ_ABANDONED is what an interrupted read returns; it is no key and
    // must not be delivered later as one.
    push_back_key(READ_ABANDONED);
    type("y\n");
    ASSERT_EQ(read_line("> ", buffer, sizeof buffer), 0);
    EXPECT_EQ(std::string(buffer), "y");

    push_back_key('a');
    push_back_key('b');     // replaces the key pushed before
    type("\n");
    ASSERT_EQ(read_line("> ", buffer, sizeof buffer), 0);
    EXPECT_EQ(std::string(buffer), "b");
}

TEST_F(EditorTest, FullBufferRingsAndStoresNothing)
{
    char keys_buffer[20];
    char *cur = keys_buffer;
    char *end = keys_buffer + 19;
    input_column = 0;
    for (int i = 0; i < 19; ++i)
        ASSERT_EQ(cmd_char('a', keys_buffer, &cur, end), 0);
    EXPECT_EQ(cur, end);
    EXPECT_EQ(cmd_char('b', keys_buffer, &cur, end), 0);
    EXPECT_EQ(cur, end);
    EXPECT_EQ(keys_buffer[18], 'a');
    EXPECT_EQ(input_column, 19);

    // erase_char reports an empty buffer and leaves it alone
    char line[100];
    cur = line;
    EXPECT_EQ(erase_char(line, &cur), 1);
    EXPECT_EQ(cur, line);
}

// The echo may not reach the last three columns of the bottom line, but a
// key that finds no room for its echo is still stored: on a window a few
// columns wide no key could act otherwise (not even the one that quits).
// Erasing such a key leaves the echo as it is; once they are gone, erasing
// takes back echoed keys again.
TEST_F(EditorTest, KeysPastTheEchoRoomAreStoredWithoutEcho)
{
    struct room_case {
        int width;
        int column;     // the echo column to start at
    } cases[] = {{80, 80 - 4}, {3, 0}, {1, 0}, {0, 0}};
    for (const room_case &c : cases) {
        SCOPED_TRACE(c.width);
        screen_width = c.width;
        start_input_line("");
        input_column = c.column;
        int echoed = c.width > 3 ? 1 : 0;
        char line[100];
        char *cur = line;
        EXPECT_EQ(cmd_char('c', line, &cur, line + 99), 0);
        EXPECT_EQ(cmd_char('d', line, &cur, line + 99), 0);
        EXPECT_EQ(cmd_char(0x01, line, &cur, line + 99), 0);
        EXPECT_EQ(std::string(line, cur), "cd\x01");
        EXPECT_EQ(input_column, c.column + echoed);
        EXPECT_EQ(erase_char(line, &cur), 0);
        EXPECT_EQ(erase_char(line, &cur), 0);
        EXPECT_EQ(input_column, c.column + echoed);
        EXPECT_EQ(erase_char(line, &cur), 0);
        EXPECT_EQ(input_column, c.column);
        EXPECT_EQ(cur, line);
    }
}

// A prompt wider than the window leaves no room: keys are stored, and read.
TEST_F(EditorTest, ReadLineAfterAPromptWiderThanTheWindow)
{
    screen_width = 6;
    type("ab\x7f" "c\n");
    char buffer[16];
    ASSERT_EQ(read_line("Examine: ", buffer, sizeof buffer), 0);
    EXPECT_EQ(std::string(buffer), "ac");
}

}  // namespace
