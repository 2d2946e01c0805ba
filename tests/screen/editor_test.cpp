// The bottom-line editor on a real terminal, through the "Command: " line
// of `usercom` (bound to X by the test's ~/.vornrc): what the user sees
// while typing and erasing, and which edits end or cancel the line.
#include <string>

#include "pager_session.h"

namespace {

const int ROWS = 24;
const int BOTTOM = ROWS - 1;
const int PROMPT_WIDTH = 9;     // "Command: "

void open_command_line(vt_session &s)
{
    vt_type(s, "X");
    EXPECT_ROW(s, BOTTOM, "Command:");
}

// The pager on numbered200.txt with its "Command: " line open.
struct command_line_session {
    temp_home home;
    vt_ptr s;

    command_line_session()
    {
        home.write(".vornrc", "macro 0 X usercom\n");
        s = start_at_line_1(home);
        if (s)
            open_command_line(*s);
    }
};

// The cursor settles after the text: wait for it rather than look once.
::testing::AssertionResult cursor_at(vt_session &s, int col)
{
    if (vt_wait(s, [col](vt_session &v) {
            return vt_cursor(v) == std::make_pair(BOTTOM, col);
        }))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "cursor at column " << vt_cursor(s).second << ", expected " << col;
}


TEST(EditorScreen, PromptIsBoldTypedTextIsNot)
{
    command_line_session e;
    ASSERT_TRUE(e.s);
    vt_session &s = *e.s;
    vt_type(s, "goline 9");
    ASSERT_ROW(s, BOTTOM, "Command: goline 9");
    EXPECT_TRUE(vt_attr(s, BOTTOM, 0).bold);
    EXPECT_FALSE(vt_attr(s, BOTTOM, PROMPT_WIDTH).bold);
    EXPECT_TRUE(cursor_at(s, PROMPT_WIDTH + 8));
    vt_key(s, "enter");
    EXPECT_ROW(s, 0, "line 9");
}

TEST(EditorScreen, ControlCharacterShowsAsCaretAndErasesWhole)
{
    command_line_session e;
    ASSERT_TRUE(e.s);
    vt_session &s = *e.s;
    vt_type(s, "go\x01");
    ASSERT_ROW(s, BOTTOM, "Command: go^A");
    EXPECT_TRUE(cursor_at(s, PROMPT_WIDTH + 4));
    vt_type(s, erase_key(s));
    ASSERT_ROW(s, BOTTOM, "Command: go");
    EXPECT_TRUE(cursor_at(s, PROMPT_WIDTH + 2));
    vt_type(s, "line 7\n");
    EXPECT_ROW(s, 0, "line 7");
}

TEST(EditorScreen, WordEraseLeavesTheFirstWord)
{
    command_line_session e;
    ASSERT_TRUE(e.s);
    vt_session &s = *e.s;
    vt_type(s, "goline 50  ");
    ASSERT_TRUE(cursor_at(s, PROMPT_WIDTH + 11));
    vt_type(s, werase_key(s));
    ASSERT_ROW(s, BOTTOM, "Command: goline");
    EXPECT_TRUE(cursor_at(s, PROMPT_WIDTH + 6));
    vt_type(s, " 70\n");
    EXPECT_ROW(s, 0, "line 70");
}

// Each of these cancels the line: nothing runs, and the key after it is a
// command of its own again (j moves one line down).
TEST(EditorScreen, CancellingEdits)
{
    struct {
        const char *name;
        std::string (*keys)(vt_session &);
    } cases[] = {
        {"erase on the empty line", [](vt_session &s) { return erase_key(s); }},
        {"erase past the start",
         [](vt_session &s) { return "go" + erase_key(s) + erase_key(s) + erase_key(s); }},
        {"kill", [](vt_session &s) { return "goline 50" + kill_key(s); }},
        {"word-erase of the only word",
         [](vt_session &s) { return "goend " + werase_key(s); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        command_line_session e;
        ASSERT_TRUE(e.s);
        vt_session &s = *e.s;
        vt_type(s, c.keys(s));
        EXPECT_TRUE(vt_wait_contains(s, BOTTOM, "numbered200.txt"));
        vt_type(s, "j");
        EXPECT_ROW(s, 0, "line 2");
    }
}

// A typed command that fails shows its error; an empty line does nothing.
TEST(EditorScreen, TypedCommandFailureIsShown)
{
    command_line_session e;
    ASSERT_TRUE(e.s);
    vt_session &s = *e.s;
    vt_type(s, "\n");
    EXPECT_TRUE(vt_wait_contains(s, BOTTOM, "numbered200.txt"));
    open_command_line(s);
    vt_type(s, "goline 5abc\n");
    EXPECT_ROW(s, BOTTOM, pressed("invalid command: ``abc''"));
    EXPECT_ROW(s, 0, "line 5");
}

}  // namespace
