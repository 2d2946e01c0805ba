// Handing the terminal to other programs, as a user sees it: the editor
// (its arguments, the line it starts at, names that must reach it intact,
// the terminal it gets and the repaint afterwards), the command lines given
// to SHELL, the help viewer (a second pager found through PATH) and the
// shell's expansion of a name typed at "Examine: ".
//
// The editor, the shell and the help viewer are small scripts that record
// their arguments, NUL-separated, in files of the test's directory.
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "pager_session.h"

namespace {

const int BOTTOM = 23;

// A scratch directory: the pager's current directory and HOME, the files it
// is given and the stand-in programs.
struct scratch : temp_home {
    void script(const std::string &name, const std::string &body) const
    {
        write(name, "#!/bin/sh\n" + body);
        chmod((path + "/" + name).c_str(), 0755);
    }
    // The arguments a stand-in recorded, or {"<none>"} if it never ran.
    std::vector<std::string> recorded(const std::string &name) const
    {
        std::string file = path + "/" + name;
        if (!std::filesystem::exists(file))
            return {"<none>"};
        std::vector<std::string> args;
        std::string text = read_file(file);
        for (size_t start = 0, end; start < text.size(); start = end + 1) {
            end = text.find('\0', start);
            args.push_back(text.substr(start, end - start));
        }
        return args;
    }
    bool exists(const std::string &name) const
    {
        return std::filesystem::exists(path + "/" + name);
    }
    // "<word> 1" to "<word> <count>".
    void numbered(const std::string &name, int count, const std::string &word = "line") const
    {
        std::string text;
        for (int i = 1; i <= count; ++i)
            text += word + " " + std::to_string(i) + "\n";
        write(name, text);
    }
};

// Shell text that records the script's arguments in `file` of `dir`,
// whole: the file appears only once it is complete.
std::string record_arguments(const scratch &dir, const std::string &file)
{
    std::string path = "'" + dir.path + "/" + file + "'";
    return "printf '%s\\0' \"$@\" > " + path + ".new && mv " + path + ".new " + path + "\n";
}

// Waits for a file that a stand-in writes.  A file brings no output, and a
// wait for output would sleep through it: the screen is pumped in short
// slices while the file is looked for.
bool wait_for_file(vt_session &s, const scratch &dir, const std::string &name)
{
    for (int slice = 0; slice < 200; ++slice)
        if (vt_wait(s, [&](vt_session &) { return dir.exists(name); }, 50))
            return true;
    return false;
}

// An editor under the given name: records its arguments and how it found
// the terminal, scribbles over the screen as an editor would, and stays
// until the test has seen the scribble and lets it go (or 10 seconds pass).
void editor_stand_in(const scratch &dir, const std::string &name)
{
    dir.script(name, "cd '" + dir.path + "'\n"
                     + record_arguments(dir, "editor.args") +
                     "{ [ -t 0 ] && echo tty || echo no-tty\n"
                     "  stty -a | grep -q -- -icanon && echo raw || echo cooked\n"
                     "} > editor.tty 2>&1\n"
                     "rm -f editor.go\n"
                     "printf '\\033[H\\033[2Jscribbled by the editor\\n'\n"
                     "i=0\n"
                     "while [ ! -e editor.go ] && [ $i -lt 500 ]; do sleep 0.02; i=$((i + 1)); done\n");
}

// A shell that records its arguments and, with `run` set, runs them.
void shell_stand_in(const scratch &dir, bool run)
{
    dir.script("shell", record_arguments(dir, "shell.args") + (run ? "exec /bin/sh \"$@\"\n" : ""));
}

struct env_changes {
    std::vector<std::pair<std::string, std::string>> set;
    std::vector<std::string> unset;
};

// The pager in `dir` on vt100, which has no alternate screen: whatever an
// editor leaves on the screen stays there until the pager paints over it.
vt_ptr start_in(const scratch &dir, const std::vector<std::string> &args,
                const env_changes &env = {}, const std::string &program = "")
{
    vt_options options;
    options.program = program;
    options.term = "vt100";
    options.args = args;
    options.cwd = dir.path;
    options.env = env.set;
    options.env.push_back({"HOME", dir.path});
    options.unset_env = env.unset;
    options.unset_env.push_back("VORN");
    return vt_start(options);
}

// Types v and waits for the editor's scribble (which clears the screen)
// and for the repaint after it, which puts `row` back on the screen.
::testing::AssertionResult edit_and_return(vt_session &s, const scratch &dir,
                                           const std::string &row)
{
    play(s, "v");
    if (!vt_wait_contains(s, 0, "scribbled by the editor"))
        return ::testing::AssertionFailure() << "the editor never ran\n" << vt_screen(s);
    vt_write_file(dir.path + "/editor.go", "");
    bool repainted = vt_wait(s, [&](vt_session &v) {
        return vt_screen(v).find("|" + row + "\n") != std::string::npos;
    });
    if (!repainted)
        return ::testing::AssertionFailure() << "no repaint after the editor\n" << vt_screen(s);
    return ::testing::AssertionSuccess();
}

TEST(ShellScreen, EditorGetsTheLineOnlyWhenItTakesOne)
{
    scratch dir;
    dir.numbered("numbered", 200);
    dir.write("short", "one\ntwo\nthree\n");
    struct {
        const char *editor;
        std::vector<std::string> args;
        const char *keys;
        const char *top;            // top row after the keys
        std::vector<std::string> expected;
        const char *repainted = "";  // a row of the repaint, when not `top`
    } cases[] = {
        // The line on the middle row (row 12 of 24).
        {"vim", {"-e", "numbered"}, "", "line 1", {"+13", "numbered"}},
        {"vim", {"-e", "numbered"}, "10j", "line 11", {"+23", "numbered"}},
        {"view", {"-e", "numbered"}, "", "line 1", {"+13", "numbered"}},
        {"emacs", {"-e", "numbered"}, "", "line 1", {"+13", "numbered"}},
        {"xemacs", {"-e", "numbered"}, "", "line 1", {"numbered"}},
        {"nano", {"-e", "numbered"}, "", "line 1", {"numbered"}},
        // Line numbers off: no line, even for vi.
        {"vim", {"-e", "-n", "numbered"}, "", "line 1", {"numbered"}},
        // The middle row is empty: the top row's line.  (A short file is
        // painted where the cursor is, on a terminal that keeps its screen:
        // at the bottom first, under the editor's scribble after it.)
        {"vim", {"-e", "short"}, "", "", {"+1", "short"}, "three"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.editor) + " " + c.args[1] + " " + c.keys);
        std::filesystem::remove(dir.path + "/editor.args");
        editor_stand_in(dir, c.editor);
        vt_ptr s = start_in(dir, c.args, {{{"EDITOR", dir.path + "/" + c.editor}}, {}});
        ASSERT_TRUE(s);
        play(*s, c.keys);
        ASSERT_ROW(*s, 0, c.top);
        bool full_screen = c.repainted[0] == '\0';
        EXPECT_TRUE(edit_and_return(*s, dir, full_screen ? c.top : c.repainted));
        EXPECT_EQ(dir.recorded("editor.args"), c.expected);
        EXPECT_EQ(read_file(dir.path + "/editor.tty"), "tty\ncooked\n")
            << "the editor must get the terminal, in its usual mode";
        if (full_screen) {
            EXPECT_ROW(*s, 0, c.top);
            EXPECT_TRUE(vt_row_has(*s, BOTTOM, c.args.back())) << "no prompt after the repaint";
        }
    }
}

// Whatever a name holds, the editor gets it as one argument, unchanged, with
// and without SHELL; a name that looks like an option or a "+command" is
// given with "./" in front, which names the same file.
TEST(ShellScreen, FileNameReachesTheEditorUnchanged)
{
    scratch dir;
    const std::string odd = "it's $(touch pwned) `touch pwned` $HOME a;b \"q\" \\.txt";
    struct {
        std::vector<std::string> args;
        std::string expected;
    } names[] = {
        {{"-e", odd}, odd},
        {{"-e", "--", "-R.txt"}, "./-R.txt"},
        {{"-e", "+!touch pwned"}, "./+!touch pwned"},
    };
    editor_stand_in(dir, "vi");
    shell_stand_in(dir, true);
    for (const auto &name : names) {
        dir.numbered(name.args.back(), 30);
        for (bool with_shell : {true, false}) {
            SCOPED_TRACE(name.expected + (with_shell ? " with SHELL" : " without SHELL"));
            std::filesystem::remove(dir.path + "/editor.args");
            std::filesystem::remove(dir.path + "/shell.args");
            env_changes env{{{"EDITOR", dir.path + "/vi"}}, {}};
            if (with_shell)
                env.set.push_back({"SHELL", dir.path + "/shell"});
            else
                env.unset.push_back("SHELL");
            vt_ptr s = start_in(dir, name.args, env);
            ASSERT_TRUE(s);
            ASSERT_ROW(*s, 0, "line 1");
            EXPECT_TRUE(edit_and_return(*s, dir, "line 1"));
            EXPECT_ROW(*s, 0, "line 1");
            EXPECT_EQ(dir.recorded("editor.args"), (std::vector<std::string>{"+13", name.expected}));
            EXPECT_EQ(dir.exists("shell.args"), with_shell) << "SHELL used or not";
        }
    }
    EXPECT_FALSE(dir.exists("pwned")) << "a file name ran a command";
}

// Without EDITOR the editor is /usr/bin/vi, given the line; with SHELL set
// the command reaches it through "SHELL -c", quoted as one argument.
// The command is echoed on the bottom line while it runs (the stand-in
// shell waits until the test has looked).
TEST(ShellScreen, DefaultEditorThroughTheShell)
{
    scratch dir;
    dir.numbered("numbered", 200);
    dir.script("shell", record_arguments(dir, "shell.args") +
                            "i=0\n"
                            "while [ ! -e '" + dir.path + "/shell.go' ] && [ $i -lt 500 ]; do\n"
                            "    sleep 0.02; i=$((i + 1))\n"
                            "done\n");
    vt_ptr s = start_in(dir, {"-e", "numbered"},
                        {{{"SHELL", dir.path + "/shell"}}, {"EDITOR"}});
    ASSERT_TRUE(s);
    ASSERT_ROW(*s, 0, "line 1");
    play(*s, "v");
    ASSERT_TRUE(wait_for_file(*s, dir, "shell.args"));
    EXPECT_EQ(dir.recorded("shell.args"),
              (std::vector<std::string>{"-c", "/usr/bin/vi +13 'numbered'"}));
    EXPECT_ROW(*s, BOTTOM - 1, "!/usr/bin/vi +13 'numbered'");
    vt_write_file(dir.path + "/shell.go", "");
    EXPECT_ROW(*s, 0, "line 1");
    EXPECT_TRUE(vt_row_has(*s, BOTTOM, "numbered"));
}

// What the editor changed is shown: the file is read again afterwards.
TEST(ShellScreen, EditedFileIsReadAgain)
{
    scratch dir;
    dir.numbered("numbered", 200);
    dir.script("editor", "sed -i 's/line/edited/' \"$1\"\n");
    vt_ptr s = start_in(dir, {"-e", "numbered"}, {{{"EDITOR", dir.path + "/editor"}}, {}});
    ASSERT_TRUE(s);
    ASSERT_ROW(*s, 0, "line 1");
    play(*s, "v");
    EXPECT_ROW(*s, 0, "edited 1");
    EXPECT_ROW(*s, 22, "edited 23");
}

std::string test_help_file()
{
    return std::string(VORN_TEST_PREFIX) + "/share/misc/zarb-vorn.help";
}

// `dir` and then `bin` in front of the search path.
std::string path_with(const std::string &first, const std::string &then = "")
{
    const char *path = getenv("PATH");
    return first + (then.empty() ? "" : ":" + then) + ":" + (path ? path : "/usr/bin:/bin");
}

TEST(ShellScreen, HelpRunsTheViewerWithTheParentsClearOption)
{
    scratch dir;
    dir.numbered("numbered", 200);
    dir.script("vorn", record_arguments(dir, "vorn.args"));
    struct {
        std::vector<std::string> args;
        std::vector<std::string> expected;
    } cases[] = {
        {{"-e", "numbered"}, {"-e", test_help_file()}},
        {{"-c", "-e", "numbered"}, {"-ec", test_help_file()}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args[0]);
        std::filesystem::remove(dir.path + "/vorn.args");
        vt_ptr s = start_in(dir, c.args, {{{"PATH", path_with(dir.path)}}, {}},
                            std::string(VORN_TEST_PREFIX) + "/bin/vorn");
        ASSERT_TRUE(s);
        ASSERT_ROW(*s, 0, "line 1");
        play(*s, "h");
        ASSERT_TRUE(wait_for_file(*s, dir, "vorn.args"));
        EXPECT_EQ(dir.recorded("vorn.args"), c.expected);
        EXPECT_TRUE(vt_row_has(*s, BOTTOM, "numbered"));
    }
}

// The real viewer: a second pager on the help file, which refuses to start
// a third, and the first one's screen back after it.
TEST(ShellScreen, HelpShowsTheHelpFileAndReturns)
{
    scratch dir;
    dir.numbered("numbered", 200);
    std::string bin = std::string(VORN_TEST_PREFIX) + "/bin";
    vt_options options;
    options.program = bin + "/vorn";
    options.args = {"-e", "numbered"};
    options.cwd = dir.path;
    options.env = {{"HOME", dir.path}, {"PATH", path_with(bin)}};
    options.unset_env = {"VORN"};
    vt_ptr s = vt_start(options);
    ASSERT_TRUE(s);
    ASSERT_ROW(*s, 0, "line 1");
    play(*s, "h");
    ASSERT_TRUE(vt_wait_contains(*s, 0, "VORN -- HELP")) << vt_screen(*s);
    play(*s, ":help");
    EXPECT_ROW(*s, BOTTOM, pressed("already viewing help"));
    play(*s, "<enter>");
    ASSERT_TRUE(vt_wait_contains(*s, 0, "VORN -- HELP")) << vt_screen(*s);
    play(*s, "q");
    EXPECT_ROW(*s, 0, "line 1");
    EXPECT_TRUE(vt_row_has(*s, BOTTOM, "numbered"));
    play(*s, "q");
    EXPECT_EQ(vt_wait_exit(*s), 0);
}

// "Examine: " expands wildcards under SHELL, never gives "#" to it, and
// opens the list's current file for an expansion to nothing.
TEST(ShellScreen, ExamineExpandsTheNameWithTheShell)
{
    scratch dir;
    dir.numbered("numbered", 200);
    dir.numbered("other.txt", 30, "other");
    shell_stand_in(dir, true);
    vt_ptr s = start_in(dir, {"-e", "numbered"}, {{{"SHELL", dir.path + "/shell"}}, {}});
    ASSERT_TRUE(s);
    ASSERT_ROW(*s, 0, "line 1");
    play(*s, ":eo*.txt<enter>");
    EXPECT_ROW(*s, 0, "other 1");
    EXPECT_EQ(dir.recorded("shell.args"), (std::vector<std::string>{"-c", "echo o*.txt"}));
    std::filesystem::remove(dir.path + "/shell.args");
    play(*s, ":e#<enter>");
    EXPECT_ROW(*s, 0, "line 1");
    EXPECT_FALSE(dir.exists("shell.args")) << "\"#\" was given to the shell";
    play(*s, ":eother.txt<enter>");
    ASSERT_ROW(*s, 0, "other 1");
    play(*s, ":e$NO_SUCH_VARIABLE<enter>");
    EXPECT_ROW(*s, 0, "line 1");
    EXPECT_TRUE(vt_row_has(*s, BOTTOM, "numbered"));
}

TEST(ShellScreen, ExamineWithoutShellKeepsWildcards)
{
    scratch dir;
    dir.numbered("numbered", 200);
    dir.numbered("other.txt", 30, "other");
    vt_ptr s = start_in(dir, {"-e", "numbered"}, {{}, {"SHELL"}});
    ASSERT_TRUE(s);
    ASSERT_ROW(*s, 0, "line 1");
    play(*s, ":eo*.txt<enter>");
    EXPECT_ROW(*s, BOTTOM, pressed("o*.txt: No such file or directory"));
}

}  // namespace
