// Marks in the process: what a mark records (the sample line for the
// listing above all), the letters set_mark refuses, and a listing whose
// temporary file cannot be written.  Going to marks and the listing shown
// by the pager are tested on the emulated screen.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <dirent.h>
#include <set>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>

#include "display/display.h"
#include "find/find.h"
#include "terminal_fixture.h"
#include "view_setup.h"

namespace {

class Marks : public ::testing::Test {
protected:
    temp_dir dir;

    void SetUp() override
    {
        reset_view_settings(24, 80);
        free(replace_current_file(save_string("shown.txt")));
    }
    void TearDown() override { close_view_input(); }

    // The screen's top row starts at the beginning of line `line` (from 1),
    // or the screen is empty when `line` is 0; returns that position.
    file_pos top_at_line(const std::string &text, int line)
    {
        pos_reset();
        if (line == 0)
            return -1;
        size_t pos = 0;
        for (int i = 1; i < line; i++)
            pos = text.find('\n', pos) + 1;
        pos_push_top(static_cast<file_pos>(pos));
        return static_cast<file_pos>(pos);
    }
};

TEST_F(Marks, RecordsTheViewAndTheLongestOfFourLines)
{
    const std::string ten(10, 'a'), thirty(30, 'b'), thirty_too(30, 'c'), five(5, 'd');
    struct record_case {
        const char *what;
        std::string text;
        int top_line;               // 0: empty screen
        std::string key_line;
        int line_number;
    } cases[] = {
        {"the later of two longest", ten + "\n" + thirty + "\n" + thirty_too + "\n" +
                                         five + "\n" + std::string(40, 'e') + "\n",
         1, thirty_too, 1},
        {"only the last two lines compete", std::string(50, 'x') + "\nab\nabc\n", 2, "abc", 2},
        {"empty reads past the end lose", "x\nabcd\nab\n", 2, "abcd", 2},
        {"a last line without newline", "x\ny\nlonger\nend", 3, "longer", 3},
        {"overstrikes and controls stay raw", "a\b_b\tc\x01\nab\n", 1, "a\b_b\tc\x01", 1},
        {"an empty screen", "abc\n", 0, "", 0},
    };
    for (const record_case &c : cases) {
        SCOPED_TRACE(c.what);
        open_view_file(dir, c.text);
        file_pos top = top_at_line(c.text, c.top_line);
        horiz_off = 17;
        wrap_lines = 0;
        set_mark('q');
        const mark_record &m = mark_table['q' - 'a'];
        EXPECT_EQ(m.position, top);
        EXPECT_EQ(m.horiz_off, 17);
        EXPECT_EQ(m.wrap_lines, 0);
        ASSERT_TRUE(m.file.has_value());
        EXPECT_EQ(*m.file, "shown.txt");
        EXPECT_EQ(m.key_line, c.key_line);
        EXPECT_EQ(m.line_number, c.line_number);
    }
}

TEST_F(Marks, LastPositionMarkIsItsOwnRecord)
{
    const std::string text = "one\ntwo\nthree\nfour\nfive\n";
    open_view_file(dir, text);
    top_at_line(text, 2);
    set_mark('z');
    top_at_line(text, 4);
    remember_position();
    EXPECT_EQ(mark_table['z' - 'a'].key_line, "three");
    EXPECT_EQ(mark_table[LAST_POSITION_MARK].key_line, "five");
    EXPECT_EQ(mark_table[LAST_POSITION_MARK].line_number, 4);
}

TEST_F(Marks, OnlyLowerCaseLettersCanBeSet)
{
    const std::string text = "abc\n";
    open_view_file(dir, text);
    top_at_line(text, 1);
    const int refused[] = {'A', 'Z', '1', '\'', '`', '{', 0x80 + 'a', ' '};
    for (int key : refused) {
        SCOPED_TRACE(key);
        EXPECT_EQ(recorded_messages([&] { set_mark(key); }),
                  "Choose a letter between 'a' and 'z'\n");
    }
    for (const mark_record &m : mark_table) {
        EXPECT_FALSE(m.file.has_value());
        EXPECT_EQ(m.position, -1);
    }
    set_mark('a');
    set_mark('z');
    EXPECT_EQ(mark_table[0].position, 0);
    EXPECT_EQ(mark_table[25].position, 0);
}

// A mark that cannot be gone to is told to the caller, who shows it once
// the command is done; the view and the marks stay as they were.
TEST_F(Marks, GoingNowhereIsRecordedAndChangesNothing)
{
    const std::string text = "abc\ndef\n";
    open_view_file(dir, text);
    top_at_line(text, 2);
    set_mark('b');
    top_at_line(text, 1);
    const struct {
        int key;
        const char *message;
    } cases[] = {
        {'A', "Choose a letter between 'a' and 'z'\n"},
        {'?', "Choose a letter between 'a' and 'z'\n"},
        {'a', "mark not set\n"},
        {'z', "mark not set\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.key);
        mark_view view{"untouched", 7, 3, 0};
        bool found = true;
        EXPECT_EQ(recorded_messages([&] { found = gomark(c.key, &view); }), c.message);
        EXPECT_FALSE(found);
        EXPECT_EQ(view.file, "untouched");
        EXPECT_EQ(screen_pos(SCREEN_TOP), 0);
        EXPECT_EQ(mark_table[LAST_POSITION_MARK].file, std::nullopt);
        EXPECT_EQ(mark_table['b' - 'a'].position, 4);
    }
}

// Going to a mark only says where it leads: the file is opened by the
// command, so a mark in another file changes nothing here, not even the
// last position.
TEST_F(Marks, GoingToAMarkNamesItsFileAndView)
{
    const std::string text = "abc\ndef\n";
    open_view_file(dir, text);
    top_at_line(text, 2);
    set_horizontal_view(12, 0);
    set_mark('m');
    remember_position();
    free(replace_current_file(save_string("elsewhere.txt")));
    top_at_line(text, 1);
    set_horizontal_view(0, 1);
    const struct {
        int key;
        file_pos position;
    } cases[] = {{'m', 4}, {'\'', 4}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.key);
        mark_view view{};
        EXPECT_EQ(recorded_messages([&] { EXPECT_TRUE(gomark(c.key, &view)); }), "");
        EXPECT_EQ(view.file, "shown.txt");
        EXPECT_EQ(view.position, c.position);
        EXPECT_EQ(view.horiz_off, 12);
        EXPECT_EQ(view.wrap_lines, 0);
        EXPECT_STREQ(current_file, "elsewhere.txt");
        EXPECT_EQ(screen_pos(SCREEN_TOP), 0);
        EXPECT_EQ(horiz_off, 0);
        EXPECT_EQ(mark_table[LAST_POSITION_MARK].file, "shown.txt");
    }
}

// The names of the listing files in /tmp that are empty: a listing stopped
// before anything reached its file leaves an empty one.  (Listings of other
// processes running beside this test hold their rows.)
std::set<std::string> empty_listing_files()
{
    std::set<std::string> names;
    DIR *tmp = opendir("/tmp");
    if (tmp == nullptr)
        return names;
    while (const dirent *entry = readdir(tmp)) {
        std::string path = std::string("/tmp/") + entry->d_name;
        struct stat st;
        if (strncmp(entry->d_name, "vorn.", 5) == 0 && strlen(entry->d_name) == 15 &&
            stat(path.c_str(), &st) == 0 && st.st_size == 0)
            names.insert(path);
    }
    closedir(tmp);
    return names;
}

// With the file size limited to nothing, the rows cannot reach the file:
// the failure is the write's own reason, and the file goes all the same.
TEST_F(Marks, ListingThatCannotBeWrittenFailsAndLeavesNoFile)
{
    const std::string text = "abc\n";
    open_view_file(dir, text);
    top_at_line(text, 1);
    set_mark('a');
    std::set<std::string> before = empty_listing_files();

    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit none = saved;
    none.rlim_cur = 0;
    void (*old_handler)(int) = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &none), 0);
    int result = list_marks();
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, old_handler);

    EXPECT_EQ(result, -1);
    EXPECT_EQ(error_code, ERR_SYSTEM);
    ASSERT_NE(error_text, nullptr);
    EXPECT_STREQ(error_text, strerror(EFBIG));
    for (const std::string &name : empty_listing_files())
        EXPECT_TRUE(before.count(name) == 1) << name << " was left behind";
}

}  // namespace
