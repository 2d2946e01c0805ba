// How bytes are shown: every byte has a printable form, and names holding
// escape sequences and control bytes reach the terminal in caret form on
// every path (messages on the bottom line and on standard error, the
// repeated start-up messages, both prompts, the file list, the echo of the
// bottom-line editor and the painter).
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "command/command.h"
#include "display/display.h"
#include "file/file.h"
#include "startup/startup.h"
#include "terminal/terminal.h"
#include "terminal_fixture.h"

namespace {

TEST(Visible, EveryByteHasAPrintableForm)
{
    struct {
        int byte;
        const char *shown;
    } cases[] = {
        {'a', "a"},       {' ', " "},     {0x01, "^A"},   {'\n', "^J"},
        {0x1b, "^["},     {0x7f, "^?"},   {0x80, "^@"},   {0x85, "^E"},
        {0x9b, "^["},     {0x9f, "^_"},   {0xbf, "^?"},   {0xff, "^?"},
    };
    for (auto c : cases) {
        SCOPED_TRACE(c.byte);
        char text[2] = {static_cast<char>(c.byte), 0};
        EXPECT_EQ(visible_text(text), c.shown);
        EXPECT_EQ(byte_width(c.byte), static_cast<int>(strlen(c.shown)));
    }
    for (int byte = 1; byte <= 0xff; ++byte) {
        char text[2] = {static_cast<char>(byte), 0};
        std::string shown = visible_text(text);
        EXPECT_EQ(visible_width(text), shown.size());
        for (char s : shown)
            EXPECT_TRUE(s >= 0x20 && s <= 0x7e) << "byte " << byte << " shows " << int(s);
        if (byte >= 0x80 && byte <= 0x9f) {
            EXPECT_FALSE(byte_is_printable(byte)) << byte;
        }
    }
}

// A text cut to a number of columns never splits a caret form: a byte that
// does not fit whole is left out with everything after it.
TEST(Visible, CutTextKeepsWithinItsColumns)
{
    struct {
        const char *text;
        int columns;
        const char *written;
    } cases[] = {
        {"abc", 3, "abc"},      {"abc", 2, "ab"},     {"ab\x01", 3, "ab"},
        {"ab\x01", 4, "ab^A"},  {"\x1bx", 1, ""},     {"abc", 0, ""},
        {"abc", -5, ""},
    };
    for (auto c : cases) {
        SCOPED_TRACE(std::string(c.text) + " in " + std::to_string(c.columns));
        int columns = -1;
        std::string written = capture_output([&] { columns = out_visible_cut(c.text, c.columns); });
        EXPECT_EQ(written, c.written);
        EXPECT_EQ(columns, static_cast<int>(strlen(c.written)));
    }
}

struct named_case {
    const char *name;
    const char *shown;
};

const std::vector<named_case> hostile_names = {
    {"a\x1b]0;title\x07z", "a^[]0;title^Gz"},
    {"\x1b[2J", "^[[2J"},
    {"bel\x07", "bel^G"},
    {"new\nline", "new^Jline"},
    {"\x9b" "31m", "^[31m"},
    {"x\x85y", "x^Ey"},
    {"\xc2\x9b" "1m", "^B^[1m"},
};

// The sequences of vorn-sr and the layout bytes the paths write
// themselves; whatever remains must be printable text.
std::string without_terminal_sequences(std::string bytes)
{
    for (const char *sequence : {"\x1b[K", "\x1b[7m", "\x1b[27m", "\x1b[1m", "\x1b[m",
                                 "\x1b[4m", "\x1b[24m", "\r", "\n"}) {
        size_t at;
        while ((at = bytes.find(sequence)) != std::string::npos)
            bytes.erase(at, strlen(sequence));
    }
    return bytes;
}

void expect_only_caret_forms(const std::string &written, const named_case &c)
{
    EXPECT_NE(written.find(c.shown), std::string::npos) << "not shown as " << c.shown;
    EXPECT_EQ(written.find(c.name), std::string::npos) << "the raw name reached the terminal";
    for (char byte : without_terminal_sequences(written)) {
        EXPECT_TRUE(byte >= 0x20 && byte <= 0x7e)
            << "raw byte " << (static_cast<unsigned>(byte) & 0xff);
    }
}

class HostileNames : public ::testing::Test {
protected:
    env_override env;
    int keys[2] = {-1, -1};

    void SetUp() override
    {
        env.set("TERMINFO", test_terminfo_dir());
        env.set("TERM", "vorn-sr");
        fd2_replacement no_window(-1, 0);
        read_termcap();
        ASSERT_EQ(pipe(keys), 0);
        keyboard_fd = keys[0];
    }
    void TearDown() override
    {
        keyboard_fd = 2;
        close(keys[0]);
        close(keys[1]);
    }
    void type(const std::string &bytes)
    {
        ASSERT_EQ(write(keys[1], bytes.data(), bytes.size()),
                  static_cast<ssize_t>(bytes.size()));
    }
    // A screen with one row of the input, at the end of it.
    static void screen_at_end(const char *name)
    {
        prompt_name = name;
        next_file_name = name;
        pipe_mode = 1;
        pos_reset();
        pos_push_bottom(0);
        pos_compact();
        at_eof = 1;
        opt_stay_at_end = 1;
        show_line_numbers = 0;
    }
};

TEST_F(HostileNames, NoPathWritesThemRaw)
{
    struct path_case {
        const char *path;
        std::function<std::string(const char *)> write;
    };
    const std::vector<path_case> paths = {
        {"bottom-line message",
         [&](const char *name) {
             messages_on_screen = 1;
             type("\n");
             return capture_output([&] { show_message(name); });
         }},
        {"reported error",
         [&](const char *name) {
             messages_on_screen = 1;
             type("\n");
             set_error(ERR_COMMAND, "%s: No such file or directory", name);
             std::string written = capture_output(report_error);
             EXPECT_EQ(written.substr(0, 1), "\a");     // the bell only
             return written.substr(1);
         }},
        {"standard error",
         [&](const char *name) {
             messages_on_screen = 0;
             return capture_stderr([&] { show_message(name); });
         }},
        {"start-up message written again at the exit",
         [&](const char *name) {
             messages_reset();
             hold_early_messages();
             capture_stderr([&] { show_message(name); });
             return capture_stderr(repeat_held_messages);
         }},
        {"short prompt and next file",
         [&](const char *name) {
             screen_at_end(name);
             return capture_output([] { show_prompt(); });
         }},
        {"long prompt",
         [&](const char *name) {
             screen_at_end(name);
             long_prompt = 1;
             return capture_output([] { show_prompt(); });
         }},
        {"file list",
         [&](const char *name) {
             static char *names[3];
             names[0] = const_cast<char *>(name);
             names[1] = const_cast<char *>("plain");
             file_names = names;
             file_count = 2;
             file_index = 0;
             messages_on_screen = 1;
             type("\n");
             std::string written = capture_output(show_file_list);
             file_names = nullptr;
             file_count = 0;
             return written;
         }},
        {"echo of the bottom-line editor",
         [&](const char *name) {
             return capture_output([&] {
                 start_input_line(name);
                 char buffer[64];
                 char *cursor = buffer;
                 for (const char *p = name; *p; ++p)
                     cmd_char(static_cast<unsigned char>(*p), buffer, &cursor,
                              buffer + sizeof buffer - 1);
             });
         }},
        {"painted line",
         [&](const char *name) {
             static char line[64];
             snprintf(line, sizeof line, "%s", name);
             line_text = line;
             return capture_output(paint_line);
         }},
    };
    for (const path_case &path : paths) {
        for (const named_case &c : hostile_names) {
            SCOPED_TRACE(std::string(path.path) + ": " + c.shown);
            expect_only_caret_forms(path.write(c.name), c);
        }
    }
}

// The echo reckons the columns of what it wrote, so that erasing takes
// back exactly the caret forms.
TEST_F(HostileNames, EchoColumnsFollowTheCaretForms)
{
    capture_output([] { start_input_line("\x9b" "a"); });
    EXPECT_EQ(input_column, 3 + bold_width + bold_end_width);
    char buffer[8];
    char *cursor = buffer;
    capture_output([&] { cmd_char(0x85, buffer, &cursor, buffer + 7); });
    EXPECT_EQ(input_column, 5 + bold_width + bold_end_width);
    capture_output([&] { erase_char(buffer, &cursor); });
    EXPECT_EQ(input_column, 3 + bold_width + bold_end_width);
}

}  // namespace
