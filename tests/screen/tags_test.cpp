// Tags as a user meets them: -t at start-up with a tags file and with the
// real global program (the index made by gtags in a temporary directory),
// the ":t" prompt, and stepping through global's places with t and T.
#include <sys/stat.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "pager_session.h"

namespace {

const int BOTTOM = 23;

// main.c: target is defined on line 30 and called on lines 50 and 70; the
// other lines are comments that say their number.  100 lines, so that each
// of those lines can come to the top of a 24-row screen.
std::string fixture_source()
{
    std::string text;
    for (int line = 1; line <= 100; line++) {
        if (line == 30)
            text += "int target(void)\n";
        else if (line == 31)
            text += "{ return 7; }\n";
        else if (line == 50)
            text += "int first_use(void) { return target(); }\n";
        else if (line == 70)
            text += "int second_use(void) { return target() + 1; }\n";
        else
            text += "/* line " + std::to_string(line) + " */\n";
    }
    return text;
}

// The fixture in `dir`; with `index`, also indexed by gtags.
void make_fixture(const temp_home &dir, bool index)
{
    dir.write("main.c", fixture_source());
    dir.write("other.txt", "the other file\n");
    if (index) {
        std::string command = "cd '" + dir.path + "' && gtags >/dev/null 2>&1";
        ASSERT_EQ(system(command.c_str()), 0);
    }
}

vt_ptr start_in(const temp_home &dir, std::vector<std::string> args)
{
    vt_options options;
    options.args = std::move(args);
    options.cwd = dir.path;
    options.env = {{"HOME", dir.path}};
    options.unset_env = {"VORN", "GTAGSROOT", "GTAGSDBPATH", "GTAGSCONF", "GTAGSLABEL"};
    return vt_start(options);
}

TEST(TagsScreen, StartsAtTheTagOfTheTagsFile)
{
    // No global index here: global finds nothing (and its complaint must
    // not reach the screen), the tags file answers.
    temp_home dir;
    make_fixture(dir, false);
    dir.write("tags", "target\tmain.c\t/^int target(void)$/;\"\tf\n");
    auto s = start_in(dir, {"-e", "-t", "target"});
    ASSERT_TRUE(s);
    ASSERT_ROW(*s, 0, "int target(void)");
    EXPECT_ROW(*s, 1, "{ return 7; }");
    EXPECT_EQ(vt_screen(*s).find("GTAGS"), std::string::npos) << vt_screen(*s);
    vt_type(*s, "q");
    EXPECT_EQ(vt_wait_exit(*s), 0);
}

TEST(TagsScreen, TagThatCannotBeLocatedEndsTheStart)
{
    // The tags file knows the name, but no line of its file matches.  The
    // file is open by then, so the message waits on the bottom line.
    temp_home dir;
    make_fixture(dir, false);
    dir.write("tags", "target\tmain.c\t/^int target(int)$/\n");
    vt_options options;
    options.args = {"-t", "target"};
    options.cwd = dir.path;
    options.env = {{"HOME", dir.path}};
    auto s = vt_start(options);
    ASSERT_TRUE(s);
    ASSERT_ROW(*s, BOTTOM, pressed("could not locate ctag"));
    vt_key(*s, "enter");
    EXPECT_EQ(vt_wait_exit(*s), 1) << "nothing could be shown: a failed run";
}

TEST(TagsScreen, StartsAtTheTagOfGlobalWithTheFileListKept)
{
    // With file arguments the tag's file is shown, while the list stays at
    // its first entry: the next file is the second one of the list.
    temp_home dir;
    make_fixture(dir, true);
    dir.write("first.txt", "the first file\n");
    auto s = start_in(dir, {"-e", "-t", "target", "first.txt", "other.txt"});
    ASSERT_TRUE(s);
    ASSERT_ROW(*s, 0, "int target(void)");
    vt_type(*s, ":n");
    EXPECT_ROW(*s, BOTTOM - 1, "the other file");
    EXPECT_ROW(*s, BOTTOM, "other.txt: END");
}

TEST(TagsScreen, UnknownNameAtTheTagPrompt)
{
    temp_home dir;
    make_fixture(dir, true);
    dir.write("tags", "target\tmain.c\t/^int target(void)$/\n");
    auto s = start_in(dir, {"-e", "other.txt"});
    ASSERT_TRUE(s);
    ASSERT_ROW(*s, BOTTOM - 1, "the other file");
    vt_type(*s, ":t");
    ASSERT_ROW(*s, BOTTOM, "Tag:");
    vt_type(*s, "no_such_name");
    vt_key(*s, "enter");
    ASSERT_ROW(*s, BOTTOM, pressed("could not find relevent tag information"));
    vt_key(*s, "enter");
    EXPECT_ROW(*s, BOTTOM, "other.txt: END");
    EXPECT_ROW(*s, BOTTOM - 1, "the other file");
}

TEST(TagsScreen, StepsThroughGlobalPlacesWithTAndCapitalT)
{
    temp_home dir;
    make_fixture(dir, true);
    auto s = start_in(dir, {"-e", "other.txt"});
    ASSERT_TRUE(s);
    ASSERT_ROW(*s, BOTTOM - 1, "the other file");
    play(*s, ":ttarget<enter>");
    ASSERT_ROW(*s, 0, "int target(void)");
    const char *const definition = "int target(void)";
    const char *const first_use = "int first_use(void) { return target(); }";
    const char *const second_use = "int second_use(void) { return target() + 1; }";
    struct step {
        const char *keys;
        const char *top;
    } steps[] = {
        {"t", first_use}, {"t", second_use}, {"t", definition},   // round the circle
        {"T", second_use}, {"2T", definition}, {"0t", definition},
        {"4t", first_use},
    };
    for (const step &st : steps) {
        SCOPED_TRACE(st.keys);
        vt_type(*s, st.keys);
        EXPECT_ROW(*s, 0, st.top);
    }
}

// A stop while global looks a name up loses nothing: the pager stops at
// once, and once continued the lookup goes on where it was; global knows
// nothing here, so the tags file answers, and "not found" is never said.
// global is delayed by a wrapper first on the search path, which waits for
// the test's go-ahead and then runs the real program.
TEST(TagsScreen, StopDuringTheGlobalLookupLosesNothing)
{
    temp_home dir;
    make_fixture(dir, false);
    dir.write("tags", "target\tmain.c\t/^int target(void)$/;\"\tf\n");
    std::filesystem::create_directory(dir.path + "/bin");
    dir.write("bin/global", "#!/bin/sh\n"
                            "cd '" + dir.path + "'\n: > global.started\n"
                            "i=0\n"
                            "while [ ! -e global.go ] && [ $i -lt 500 ]; do sleep 0.02; i=$((i + 1)); done\n"
                            "PATH=${PATH#*:} exec global \"$@\"\n");
    chmod((dir.path + "/bin/global").c_str(), 0755);
    const char *path = getenv("PATH");
    vt_options options;
    options.args = {"-e", "other.txt"};
    options.cwd = dir.path;
    options.env = {{"HOME", dir.path},
                   {"PATH", dir.path + "/bin:" + (path != nullptr ? path : "/usr/bin:/bin")}};
    options.unset_env = {"VORN", "GTAGSROOT", "GTAGSDBPATH", "GTAGSCONF", "GTAGSLABEL"};
    auto s = vt_start(options);
    ASSERT_TRUE(s);
    ASSERT_ROW(*s, BOTTOM - 1, "the other file");
    vt_type(*s, ":t");
    ASSERT_ROW(*s, BOTTOM, "Tag:");
    vt_type(*s, "target");
    vt_key(*s, "enter");
    // The file brings no output to wait for: the screen is pumped in short
    // slices while it is looked for.
    bool started = false;
    for (int slice = 0; slice < 200 && !started; ++slice)
        started = vt_wait(*s, [&](vt_session &) {
            return std::filesystem::exists(dir.path + "/global.started");
        }, 50);
    ASSERT_TRUE(started);
    vt_key(*s, "^Z");
    ASSERT_TRUE(vt_wait_stopped(*s)) << vt_screen(*s);
    vt_write_file(dir.path + "/global.go", "");
    vt_signal(*s, SIGCONT);
    EXPECT_ROW(*s, 0, "int target(void)");
    EXPECT_TRUE(vt_row_has(*s, BOTTOM, "main.c"));
    EXPECT_EQ(vt_screen(*s).find("could not find"), std::string::npos) << vt_screen(*s);
}

}  // namespace
