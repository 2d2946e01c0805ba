// Tags: the lines of a tags file and of global's output, the real global
// program on a small C fixture indexed with gtags, the order in which the
// two indexes are asked, the circle of places global reports, and the scan
// of a file for a tags-file pattern in its four match modes.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "find/find.h"
#include "terminal_fixture.h"
#include "view_setup.h"
#include "vterm_capture.h"

namespace {

// The current directory is `path` for the lifetime of this object: the
// tags file and global's index are found relative to it.
struct working_directory {
    std::string saved;
    explicit working_directory(const std::string &path)
    {
        char buffer[4096];
        EXPECT_NE(getcwd(buffer, sizeof buffer), nullptr);
        saved = buffer;
        EXPECT_EQ(chdir(path.c_str()), 0) << path;
    }
    ~working_directory()
    {
        if (chdir(saved.c_str()) != 0)
            ADD_FAILURE() << "cannot return to " << saved;
    }
    working_directory(const working_directory &) = delete;
    working_directory &operator=(const working_directory &) = delete;
};

bool exists(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// Two static functions named helper, one in each file (the definitions),
// called on three lines (the references): a.c 8 and 9, b.c 8.
const char *const FIXTURE_A =
    "static int helper(int x)\n"
    "{\n"
    "    return x + 1;\n"
    "}\n"
    "\n"
    "int main(void)\n"
    "{\n"
    "    int a = helper(1);\n"
    "    int b = helper(2);\n"
    "    return a + b;\n"
    "}\n";
const char *const FIXTURE_B =
    "static int helper(int x)\n"
    "{\n"
    "    return x * 2;\n"
    "}\n"
    "\n"
    "int use_b(void)\n"
    "{\n"
    "    return helper(3);\n"
    "}\n";

// The fixture in `dir`, indexed by the real gtags.
void index_fixture(const temp_dir &dir)
{
    dir.write("a.c", FIXTURE_A);
    dir.write("b.c", FIXTURE_B);
    std::string command = "cd '" + dir.path + "' && gtags >/dev/null 2>&1";
    ASSERT_EQ(system(command.c_str()), 0) << "gtags failed in " << dir.path;
    ASSERT_TRUE(exists(dir.path + "/GTAGS"));
}

// The places of the list as "file:line", the current one in brackets.
std::string places()
{
    std::string text;
    for (size_t i = 0; i < tag_list.size(); i++) {
        std::string place = tag_list[i].file + ":" + std::to_string(tag_list[i].line);
        if (static_cast<int>(i) == tag_current)
            place = "[" + place + "]";
        text += (i ? " " : "") + place;
    }
    return text;
}

std::string current_file_of_tag()
{
    return tag_file ? tag_file : "<none>";
}

class TagsTest : public ::testing::Test {
protected:
    temp_dir dir;
    void SetUp() override
    {
        reset_tags();
        messages_on_screen = 0;
        pending_signals = 0;
    }
    void TearDown() override { reset_tags(); }
};

TEST_F(TagsTest, TagsFileLines)
{
    struct tags_case {
        const char *label;
        std::string tags;       // contents of the tags file
        const char *name;
        const char *file;       // null: not found
        const char *pattern;
        int mode;
    } cases[] = {
        {"both anchors", "main\tmain.c\t/^int main(void)$/;\"\tf\n", "main", "main.c",
         "int main(void)", TAG_ANCHOR_START | TAG_ANCHOR_END},
        {"no anchors, blanks between fields", "main   main.c  /int main/\n", "main",
         "main.c", "int main", 0},
        {"start anchor only, question marks", "f x.c ?^f(a$b?\n", "f", "x.c", "f(a$b",
         TAG_ANCHOR_START},
        {"end anchor only, no closing delimiter", "f x.c /g(void)$\n", "f", "x.c", "g(void)",
         TAG_ANCHOR_END},
        {"longer name that begins with the wanted one",
         "mainly\tm.c\t/^mainly$/\nmain\tmain.c\t/^main$/\n", "main", "main.c", "main",
         TAG_ANCHOR_START | TAG_ANCHOR_END},
        {"only the longer name", "mainly\tm.c\t/^mainly$/\n", "main", nullptr, "", 0},
        {"name compared with case", "Main\tm.c\t/x/\n", "main", nullptr, "", 0},
        {"last line without newline", "other\to.c\t/x/\nmain\tmain.c\t/^int main$/", "main",
         nullptr, "", 0},
        {"numeric third field: the 4 delimits, the text is 2", "main\tmain.c\t42\n", "main",
         "main.c", "2", 0},
        {"backslashes literal, an escaped delimiter ends the text",
         "p\tp.c\t/^char *s = \"a\\/b\";$/\n", "p", "p.c", "char *s = \"a\\", TAG_ANCHOR_START},
        {"backslash before the dollar", "p\tp.c\t/^x\\$/\n", "p", "p.c", "x\\",
         TAG_ANCHOR_START | TAG_ANCHOR_END},
        {"line ends after the file field, a later line is the tag",
         "main\tmain.c\nmain\tother.c\t/^x/\n", "main", "other.c", "x", TAG_ANCHOR_START},
        {"line ends before the file field", "main\t\n", "main", nullptr, "", 0},
        {"empty pattern with both anchors", "e\te.c\t/^$/\n", "e", "e.c", "",
         TAG_ANCHOR_START | TAG_ANCHOR_END},
        // a file name with a NUL in it would open a shorter name than the
        // line gives: the line is not a tag
        {"NUL in the file name, a later line is the tag",
         std::string("main\tevil\0.c\t/^x/\nmain\tgood.c\t/^y/\n", 35), "main", "good.c", "y",
         TAG_ANCHOR_START},
        {"only a NUL as the file name", std::string("main\t\0\t/^x/\n", 12), "main", nullptr,
         "", 0},
    };
    working_directory here(dir.path);
    for (const tags_case &c : cases) {
        SCOPED_TRACE(c.label);
        dir.write("tags", c.tags);
        reset_tags();
        const char *found = lookup_tags_file(c.name);
        if (c.file == nullptr) {
            EXPECT_EQ(found, nullptr) << found;
            continue;
        }
        ASSERT_NE(found, nullptr);
        EXPECT_STREQ(found, c.file);
        EXPECT_EQ(tag_pattern, c.pattern);
        EXPECT_EQ(tag_match_mode, c.mode);
    }
    unlink((dir.path + "/tags").c_str());
    EXPECT_EQ(lookup_tags_file("main"), nullptr) << "no tags file";
}

TEST_F(TagsTest, GlobalOutputLines)
{
    struct global_case {
        const char *line;
        int accepted;
        const char *name, *number, *file;
    } cases[] = {
        {"helper              8 a.c              int a = helper(1);", 1, "helper", "8", "a.c"},
        {"f\t12\tdir/x.c\t{", 1, "f", "12", "dir/x.c"},
        {"f 12 x.c", 0, "", "", ""},                        // no source text after the file
        {"f 12 x.c ", 1, "f", "12", "x.c"},     // empty source text is still text
        {"f 0 x.c text", 0, "", "", ""},
        {"f -3 x.c text", 0, "", "", ""},
        {"f abc x.c text", 0, "", "", ""},
        {"f 99999999999 x.c text", 1, "f", "99999999999", "x.c"},
        {"f 12", 0, "", "", ""},
        {"f 12 ", 0, "", "", ""},
        {"f", 0, "", "", ""},
        {" f 12 x.c text", 0, "", "", ""},                  // empty name
        {"f\xa0" "12 x.c text", 0, "", "", ""},             // a high byte is no space
        {"", 0, "", "", ""},
    };
    for (const global_case &c : cases) {
        SCOPED_TRACE(c.line);
        std::string copy = c.line;
        char *name = nullptr, *file = nullptr, *number = nullptr;
        int accepted = parse_global_line(copy.data(), &name, &file, &number);
        EXPECT_EQ(accepted, c.accepted);
        if (c.accepted && accepted) {
            EXPECT_STREQ(name, c.name);
            EXPECT_STREQ(number, c.number);
            EXPECT_STREQ(file, c.file);
        }
    }
}

// Output as global would print it, on a real pipe closed behind it; no
// program runs.
program_output output_of(const std::string &bytes)
{
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    EXPECT_EQ(write(fds[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    close(fds[1]);
    program_output out{};
    out.pid = -1;
    out.fd = fds[0];
    return out;
}

TEST_F(TagsTest, GlobalOutputReading)
{
    // Lines of 256 bytes and more keep their first 255; a last line without
    // a newline counts; a line that does not parse ends the list.
    const std::string long_text(300, 'x');
    struct reading_case {
        const char *label;
        std::string output;
        int result;
        const char *places;
    } cases[] = {
        {"two lines, the last without newline", "f 3 a.c text\nf 4 b.c more", 1,
         "a.c:3 b.c:4"},
        {"a long line keeps its fields", "f 5 c.c " + long_text + "\nf 6 d.c x\n", 1,
         "c.c:5 d.c:6"},
        {"the cut falls in the file field", "f 7 " + long_text + ".c text\nf 8 e.c x\n", 0,
         ""},
        {"a bad line ends the list", "f 1 a.c x\nf 0 b.c x\nf 2 c.c x\n", 0, "a.c:1"},
        {"no output", "", 1, ""},
    };
    for (const reading_case &c : cases) {
        SCOPED_TRACE(c.label);
        reset_tags();
        program_output out = output_of(c.output);
        EXPECT_EQ(append_global_places(&out), c.result);
        finish_program(&out, 0);
        EXPECT_EQ(places(), c.places);
    }

    // The 256-byte rule on its own: 255 bytes, then the next line.
    program_output out = output_of(long_text + "\nnext\n");
    char line[256];
    ASSERT_EQ(read_output_line(&out, line, sizeof line), 1);
    EXPECT_EQ(std::string(line), long_text.substr(0, 255));
    ASSERT_EQ(read_output_line(&out, line, sizeof line), 1);
    EXPECT_STREQ(line, "next");
    EXPECT_EQ(read_output_line(&out, line, sizeof line), 0);
    finish_program(&out, 0);
}

TEST_F(TagsTest, GlobalListsDefinitionsThenReferencesInACircle)
{
    index_fixture(dir);
    working_directory here(dir.path);
    const char *first = lookup_global("helper");
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(first, "a.c");
    EXPECT_EQ(places(), "[a.c:1] b.c:1 a.c:8 a.c:9 b.c:8");

    find_tag("helper");
    ASSERT_EQ(tag_source, GLOBAL_PROGRAM);
    std::vector<std::string> visited;
    for (int i = 0; i < 5; i++) {
        next_tag(1);
        visited.push_back(current_file_of_tag() + ":" +
                          std::to_string(tag_list[tag_current].line));
    }
    EXPECT_EQ(visited, (std::vector<std::string>{"b.c:1", "a.c:8", "a.c:9", "b.c:8", "a.c:1"}));
    prev_tag(1);
    EXPECT_EQ(places(), "a.c:1 b.c:1 a.c:8 a.c:9 [b.c:8]") << "back from the first is the last";
    EXPECT_EQ(current_file_of_tag(), "b.c");

    // A name global does not know empties the list.
    EXPECT_EQ(lookup_global("no_such_name"), nullptr);
    EXPECT_EQ(places(), "");
    EXPECT_EQ(next_tag_entry(), nullptr);
}

TEST_F(TagsTest, StepCounts)
{
    index_fixture(dir);
    working_directory here(dir.path);
    struct count_case {
        int forward;
        int64_t count;
        const char *after;      // the list afterwards, from the first place
    } cases[] = {
        {1, 2, "a.c:1 b.c:1 [a.c:8] a.c:9 b.c:8"},
        {1, -2, "a.c:1 b.c:1 [a.c:8] a.c:9 b.c:8"},
        {0, -1, "a.c:1 b.c:1 a.c:8 a.c:9 [b.c:8]"},
        {1, 0, "[a.c:1] b.c:1 a.c:8 a.c:9 b.c:8"},
        {0, 0, "[a.c:1] b.c:1 a.c:8 a.c:9 b.c:8"},
        {1, 7, "a.c:1 b.c:1 [a.c:8] a.c:9 b.c:8"},
        {1, INT64_MIN, "a.c:1 b.c:1 a.c:8 [a.c:9] b.c:8"},  // 2^63 mod 5 is 3
        {0, INT64_MAX, "a.c:1 b.c:1 a.c:8 [a.c:9] b.c:8"},  // (2^63 - 1) mod 5 is 2
    };
    for (const count_case &c : cases) {
        SCOPED_TRACE((c.forward ? "next_tag " : "prev_tag ") + std::to_string(c.count));
        reset_tags();
        find_tag("helper");
        ASSERT_STREQ(tag_file, "a.c");
        std::string errors = recorded_messages([&] {
            if (c.forward)
                next_tag(c.count);
            else
                prev_tag(c.count);
        });
        EXPECT_EQ(places(), c.after);
        ASSERT_NE(tag_file, nullptr);
        EXPECT_EQ(tag_file, tag_list[tag_current].file);
        EXPECT_EQ(errors, "");
    }
}

TEST_F(TagsTest, StepsWithoutACurrentTag)
{
    working_directory here(dir.path);
    struct { int forward; int64_t count; const char *message; } cases[] = {
        {1, 1, "no next tag\n"},
        {1, 0, "no next tag\n"},
        {0, -3, "no previous tag\n"},
    };
    for (const auto &c : cases) {
        reset_tags();
        std::string errors = recorded_messages([&] {
            if (c.forward)
                next_tag(c.count);
            else
                prev_tag(c.count);
        });
        EXPECT_EQ(errors, c.message);
        EXPECT_EQ(tag_file, nullptr);
    }

    // With the tags file as the source nothing moves: the same tag again.
    dir.write("tags", "main\tmain.c\t/^int main$/\n");
    reset_tags();
    find_tag("main");
    ASSERT_EQ(tag_source, TAGS_FILE);
    next_tag(3);
    EXPECT_EQ(current_file_of_tag(), "main.c");
    prev_tag(1);
    EXPECT_EQ(current_file_of_tag(), "main.c");
    EXPECT_EQ(tag_pattern, "int main");
}

TEST_F(TagsTest, TheIndexThatAnsweredLastIsAskedFirst)
{
    // helper is in both indexes, each pointing elsewhere; only_tags and
    // use_b are in one of them each.
    index_fixture(dir);
    dir.write("tags",
              "helper\tfrom_tags.c\t/^static int helper(int x)$/\n"
              "only_tags\ttags_only.c\t/^void only_tags(void)$/\n");
    working_directory here(dir.path);
    struct lookup_step {
        const char *name;
        const char *file;       // "<none>": not found
        int source;             // afterwards
        const char *message;
    } steps[] = {
        {"helper", "a.c", GLOBAL_PROGRAM, ""},                // first lookup: global
        {"only_tags", "tags_only.c", TAGS_FILE, ""},
        {"helper", "from_tags.c", TAGS_FILE, ""},             // now the tags file first
        {"nowhere", "<none>", TAGS_FILE, "could not find relevent tag information\n"},
        {"use_b", "b.c", GLOBAL_PROGRAM, ""},
        {"helper", "a.c", GLOBAL_PROGRAM, ""},
        {"nowhere", "<none>", GLOBAL_PROGRAM, "could not find relevent tag information\n"},
    };
    for (const lookup_step &step : steps) {
        SCOPED_TRACE(step.name);
        std::string errors = recorded_messages([&] { find_tag(step.name); });
        EXPECT_EQ(current_file_of_tag(), step.file);
        EXPECT_EQ(tag_source, step.source);
        EXPECT_EQ(errors, step.message);
    }
}

TEST_F(TagsTest, NameNeverReachesAShell)
{
    // The name is one argument of global's: the quote, the semicolon and
    // the command substitutions stay part of the pattern, whose first
    // alternative finds helper, and nothing else runs.  A name beginning
    // with a dash is a pattern too, not an option.
    index_fixture(dir);
    working_directory here(dir.path);
    // twice this name would not fit into a command of 512 bytes; global
    // itself takes patterns below 512 bytes
    std::string long_tail(440, 'z');
    const std::string names[] = {
        "helper|'; touch pwned_quote; echo '",
        "helper|$(touch pwned_dollar)",
        "helper|`touch pwned_backquote`",
        "helper|\"; touch pwned_double; echo \"",
        "helper|" + long_tail + "'; touch pwned_long; echo '",
    };
    for (const std::string &name : names) {
        SCOPED_TRACE(name);
        reset_tags();
        EXPECT_STREQ(lookup_global(name.c_str()), "a.c");
        EXPECT_EQ(places(), "[a.c:1] b.c:1 a.c:8 a.c:9 b.c:8");
    }
    for (const char *made : {"pwned_quote", "pwned_dollar", "pwned_backquote",
                             "pwned_double", "pwned_long"})
        EXPECT_FALSE(exists(dir.path + "/" + made)) << made;
    EXPECT_EQ(lookup_global("-p"), nullptr) << places();
}

// locate_ctag on an emulated terminal of 12 rows: the tag's line comes to
// the top of the screen.
class LocateTagTest : public TagsTest {
protected:
    std::unique_ptr<emulated_screen> emu;
    std::string text;

    void start(const std::string &bytes)
    {
        use_test_terminal("vorn-display");
        reset_view_settings(screen_height, screen_width);
        text = bytes;
        open_view_file(dir, bytes);
        emu = std::make_unique<emulated_screen>(screen_height, screen_width);
    }
    void TearDown() override
    {
        close_view_input();
        TagsTest::TearDown();
    }
    int locate(const std::string &pattern, int mode)
    {
        tag_source = TAGS_FILE;
        tag_pattern = pattern;
        tag_match_mode = mode;
        int result = 0;
        emu_run(*emu, [&] { result = locate_ctag(); });
        return result;
    }
    file_pos start_of(int line) { return line_start_in(text, line); }
};

std::string padding(int lines)
{
    std::string text;
    for (int i = 0; i < lines; i++)
        text += "filler " + std::to_string(i) + "\n";
    return text;
}

TEST_F(LocateTagTest, FourMatchModes)
{
    start("/* main(void) is called below */\n"
          "x = main(void);\n"
          "int main(void)\n"
          "main(void) {\n"
          "main(void)\n" +
          padding(20));
    struct mode_case {
        int mode;
        int line;               // the line that must be at the top
        const char *text;
    } cases[] = {
        {0, 1, "/* main(void) is called below */"},
        {TAG_ANCHOR_END, 3, "int main(void)"},
        {TAG_ANCHOR_START, 4, "main(void) {"},
        {TAG_ANCHOR_START | TAG_ANCHOR_END, 5, "main(void)"},
    };
    // From the bottom of the file, so that each find is a real move.
    for (const mode_case &c : cases) {
        SCOPED_TRACE(c.text);
        emu_run(*emu, [] { jump_line(20); });
        ASSERT_EQ(locate("main(void)", c.mode), 0);
        EXPECT_EQ(emu_row(*emu, 0), c.text);
        EXPECT_EQ(screen_pos(SCREEN_TOP), start_of(c.line));
        EXPECT_EQ(linenum_find(start_of(c.line)), c.line);
    }
}

TEST_F(LocateTagTest, RawLinesAndFailures)
{
    // Overstrikes are compared as they are in the file; a pattern that no
    // line has leaves the display where it was, with the message.
    start("plain\nb\bbo\bol\bld\n" + padding(20));
    ASSERT_EQ(locate("b\bbo\bol\bld", TAG_ANCHOR_START | TAG_ANCHOR_END), 0);
    EXPECT_EQ(screen_pos(SCREEN_TOP), 6);
    EXPECT_EQ(locate("bold", 0), -1);
    EXPECT_EQ(screen_pos(SCREEN_TOP), 6);

    tag_source = TAGS_FILE;
    tag_pattern = "nowhere";
    tag_match_mode = 0;
    std::string errors;
    emu_run(*emu, [&] { errors = recorded_messages([] { EXPECT_NE(go_to_tag(), 0); }); });
    EXPECT_EQ(errors, "could not locate ctag\n");
    EXPECT_EQ(screen_pos(SCREEN_TOP), 6);

    tag_source = GLOBAL_PROGRAM;
    emu_run(*emu, [&] { errors = recorded_messages([] { EXPECT_NE(go_to_tag(), 0); }); });
    EXPECT_EQ(errors, "could not locate gtag\n");

    pending_signals = PENDING_RESIZE;
    EXPECT_EQ(locate("plain", 0), -1) << "a pending signal ends the scan";
    pending_signals = 0;
}

TEST_F(LocateTagTest, LinesLongerThanARawLine)
{
    // The first line is longer than a raw line and is read in two pieces:
    // the first ends with "cut", the second begins with "target".  Neither
    // piece boundary is a line boundary, the lines after it keep their
    // numbers, and a match inside the long line shows it from its start.
    std::string long_line = std::string(8188, 'a') + "cut" + "target" + std::string(800, 'b');
    start(long_line + "\nends with cut\ntarget here\n" + padding(20));
    const file_pos second = 8998, third = 9012;
    struct piece_case {
        const char *pattern;
        int mode;
        file_pos top;
    } cases[] = {
        {"cut", TAG_ANCHOR_END, second},
        {"target", TAG_ANCHOR_START, third},
        {"target", 0, 0},
    };
    for (const piece_case &c : cases) {
        SCOPED_TRACE(c.pattern);
        emu_run(*emu, [] { jump_line(20); });
        ASSERT_EQ(locate(c.pattern, c.mode), 0);
        EXPECT_EQ(screen_pos(SCREEN_TOP), c.top);
    }
    EXPECT_EQ(linenum_find(second), 2);
    EXPECT_EQ(linenum_find(third), 3);
}

}  // namespace
