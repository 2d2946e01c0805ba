// Windows too narrow for the echo, and prompts wider than the window: keys
// must still act, and nothing may wrap on the bottom line (a wrapped line
// scrolls the text up and rows go missing).
#include <string>

#include "pager_session.h"

namespace {

std::string lines(const char *word, int count)
{
    std::string text;
    for (int i = 1; i <= count; ++i)
        text += std::string(word) + std::to_string(i) + "\n";
    return text;
}

// The pager on a.txt ("a1" ... "a40"), b.txt beside it ("b1" ...), -e.
vt_ptr start_narrow(const temp_home &dir, int cols, const std::string &name = "a.txt")
{
    dir.write(name, lines("a", 40));
    dir.write("b.txt", lines("b", 40));
    vt_options options;
    options.cwd = dir.path;
    options.args = {"-e", name};
    options.cols = cols;
    options.env = {{"HOME", dir.path}};
    return vt_start(options);
}

TEST(NarrowWindow, KeysStillAct)
{
    struct {
        int cols;
        const char *keys;     // typed once the first screen is up
        const char *top;      // the top row afterwards, null: not looked at
    } cases[] = {
        {3, "j", "a2"},
        {2, "3j", "a4"},
        {1, "j", nullptr},      // the quit key below must still act
        {3, ":eb.txt<enter>", "b1"},
        {2, "Eb.txt<enter>", "b1"},
        // "Examine: " leaves no room for an echo at 12 columns: the name is
        // typed blind, and the erase key still takes back the last key.
        {12, "Eb.txx<^?>t<enter>", "b1"},
    };
    for (auto c : cases) {
        SCOPED_TRACE(std::to_string(c.cols) + " columns, keys " + c.keys);
        temp_home dir;
        auto s = start_narrow(dir, c.cols);
        ASSERT_TRUE(s);
        ASSERT_TRUE(vt_wait(*s, [](vt_session &v) { return !vt_row(v, 0).empty(); }));
        if (c.top != nullptr) {
            ASSERT_ROW(*s, 0, "a1");
        }
        play(*s, c.keys);
        if (c.top != nullptr) {
            EXPECT_ROW(*s, 0, c.top);
        }
        vt_type(*s, "q");
        EXPECT_EQ(vt_wait_exit(*s), 0);
    }
}

// A file name longer than the window: the prompt is cut to the bottom line
// (its last column left free), the text rows keep their places, in both
// prompt styles and while a count is typed.
TEST(NarrowWindow, PromptIsCutToTheBottomLine)
{
    const std::string name = "a-name-much-longer-than-the-window.txt";
    temp_home dir;
    auto s = start_narrow(dir, 20, name);
    ASSERT_TRUE(s);
    ASSERT_ROW(*s, 0, "a1");
    EXPECT_ROW(*s, 22, "a23");
    EXPECT_ROW(*s, 23, name.substr(0, 19));

    vt_type(*s, "=");
    EXPECT_ROW(*s, 23, (name + ": file").substr(0, 19));
    EXPECT_ROW(*s, 0, "a1");
    EXPECT_ROW(*s, 22, "a23");

    vt_type(*s, "j");
    EXPECT_ROW(*s, 0, "a2");
    EXPECT_ROW(*s, 22, "a24");
    EXPECT_ROW(*s, 23, (name + ": file").substr(0, 19));
    vt_type(*s, "q");
    EXPECT_EQ(vt_wait_exit(*s), 0);
}

}  // namespace
