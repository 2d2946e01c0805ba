// Handing the terminal to other programs, as a user sees it: the editor
// (its arguments, the line it starts at, names that must reach it intact,
// the terminal it gets and the repaint afterwards), the command lines given
// to SHELL, the help viewer (this program run again) and the
// shell's expansion of a name typed at "Examine: ": what each child gets
// and what the pager does while it runs.
//
// The editor and the shell are small scripts that record their arguments,
// NUL-separated, in files of the test's directory.
#include <sys/stat.h>
#include <sys/types.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <cstdlib>
#include <filesystem>
#include <functional>
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
bool wait_until(vt_session &s, const std::function<bool()> &condition)
{
    for (int slice = 0; slice < 200; ++slice)
        if (vt_wait(s, [&](vt_session &) { return condition(); }, 50))
            return true;
    return false;
}

bool wait_for_file(vt_session &s, const scratch &dir, const std::string &name)
{
    return wait_until(s, [&] { return dir.exists(name); });
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
        {"nano", {"-e", "numbered"}, "", "line 1", {"+13", "numbered"}},
        {"kak", {"-e", "numbered"}, "10j", "line 11", {"+23", "numbered"}},
        {"ed", {"-e", "numbered"}, "", "line 1", {"numbered"}},
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
        // after "--": before it a "+" word is the initial command
        {{"-e", "--", "+!touch pwned"}, "./+!touch pwned"},
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

// The bits of a signal-set line ("SigIgn:\t<hex>") of /proc/PID/status.
uint64_t signal_set(const std::string &status, const std::string &name)
{
    size_t at = status.find(name + ":\t");
    return at == std::string::npos ? ~uint64_t{0}
                                   : std::stoull(status.substr(at + name.size() + 2), nullptr, 16);
}

// The editor gets the terminal and nothing else of the pager's: only
// descriptors 0, 1 and 2 (not the file being paged, nor a copy of the
// standard input), no signal blocked, and the window change, interrupt,
// stop and broken pipe at their defaults; with SHELL and without it.
TEST(ShellScreen, EditorGetsOnlyTheStandardDescriptorsAndDefaultSignals)
{
    scratch dir;
    dir.numbered("numbered", 200);
    std::string pid_file = "'" + dir.path + "/editor.pid'";
    // The editor becomes `sleep` under its own process id, holding what it
    // was given: the test looks at it from outside.
    dir.script("editor", "echo $$ > " + pid_file + ".new && mv " + pid_file + ".new " +
                             pid_file + "\nexec sleep 30\n");
    shell_stand_in(dir, true);
    for (bool with_shell : {false, true}) {
        SCOPED_TRACE(with_shell ? "with SHELL" : "without SHELL");
        std::filesystem::remove(dir.path + "/editor.pid");
        env_changes env{{{"EDITOR", dir.path + "/editor"}}, {}};
        if (with_shell)
            env.set.push_back({"SHELL", dir.path + "/shell"});
        else
            env.unset.push_back("SHELL");
        vt_ptr s = start_in(dir, {"-e", "numbered"}, env);
        ASSERT_TRUE(s);
        ASSERT_ROW(*s, 0, "line 1");
        play(*s, "v");
        ASSERT_TRUE(wait_for_file(*s, dir, "editor.pid"));
        std::string proc = "/proc/" + std::to_string(std::stoi(read_file(dir.path + "/editor.pid")));
        ASSERT_TRUE(wait_until(*s, [&] { return read_file(proc + "/comm") == "sleep\n"; }));
        // The kernel names the new program before it closes the shell's
        // close-on-exec descriptors: a moment later only those given stay.
        auto open_fds = [&] {
            std::vector<std::string> fds;
            for (const auto &entry : std::filesystem::directory_iterator(proc + "/fd"))
                fds.push_back(entry.path().filename());
            std::sort(fds.begin(), fds.end());
            return fds;
        };
        const std::vector<std::string> standard{"0", "1", "2"};
        wait_until(*s, [&] { return open_fds() == standard; });
        EXPECT_EQ(open_fds(), standard);
        std::string status = read_file(proc + "/status");
        EXPECT_EQ(signal_set(status, "SigBlk"), 0u) << status;
        uint64_t ignored = signal_set(status, "SigIgn");
        for (int sig : {SIGWINCH, SIGINT, SIGQUIT, SIGTSTP, SIGPIPE}) {
            SCOPED_TRACE(strsignal(sig));
            EXPECT_EQ(ignored & (uint64_t{1} << (sig - 1)), 0u) << status;
        }
        kill(std::stoi(proc.substr(6)), SIGTERM);
        EXPECT_ROW(*s, 0, "line 1");
        EXPECT_TRUE(vt_row_has(*s, BOTTOM, "numbered"));
    }
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

// The process that `parent` started last, or -1 (looked for in /proc).
pid_t child_of(pid_t parent)
{
    pid_t found = -1;
    for (const auto &entry : std::filesystem::directory_iterator("/proc")) {
        std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::string stat = read_file(entry.path().string() + "/stat");
        size_t end = stat.rfind(')');
        int ppid = 0;
        if (end == std::string::npos || sscanf(stat.c_str() + end + 2, "%*c %d", &ppid) != 1)
            continue;
        if (ppid == parent && std::stoi(name) > found)
            found = std::stoi(name);
    }
    return found;
}

// The arguments of process `pid`.
std::vector<std::string> command_line_of(pid_t pid)
{
    std::string text = read_file("/proc/" + std::to_string(pid) + "/cmdline");
    std::vector<std::string> args;
    for (size_t start = 0, end; start < text.size(); start = end + 1) {
        end = text.find('\0', start);
        args.push_back(text.substr(start, end - start));
    }
    return args;
}

// The viewer is this very program, with the parent's clear option, even
// with another "vorn" first on the search path (which must never run).
TEST(ShellScreen, HelpRunsThisProgramWithTheParentsClearOption)
{
    scratch dir;
    dir.numbered("numbered", 200);
    dir.script("vorn", record_arguments(dir, "vorn.args"));
    std::string program = std::string(VORN_TEST_PREFIX) + "/bin/vorn";
    struct {
        std::vector<std::string> args;
        std::vector<std::string> expected;
    } cases[] = {
        {{"-e", "numbered"}, {"vorn", "-e", test_help_file()}},
        {{"-c", "-e", "numbered"}, {"vorn", "-ec", test_help_file()}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args[0]);
        vt_ptr s = start_in(dir, c.args, {{{"PATH", path_with(dir.path)}}, {}}, program);
        ASSERT_TRUE(s);
        ASSERT_ROW(*s, 0, "line 1");
        play(*s, "h");
        ASSERT_TRUE(vt_wait_contains(*s, 0, "VORN -- HELP")) << vt_screen(*s);
        pid_t viewer = child_of(s->vorn_pid);
        ASSERT_GT(viewer, 0);
        EXPECT_EQ(command_line_of(viewer), c.expected);
        EXPECT_EQ(std::filesystem::read_symlink("/proc/" + std::to_string(viewer) + "/exe"),
                  std::filesystem::canonical(program));
        play(*s, "q");
        EXPECT_ROW(*s, 0, "line 1");
        EXPECT_TRUE(vt_row_has(*s, BOTTOM, "numbered"));
        EXPECT_FALSE(dir.exists("vorn.args")) << "the vorn on the search path ran";
    }
}

// The real viewer: a second pager on the help file, which refuses to start
// a third, and the first one's screen back after it.  No "vorn" is on the
// search path: the viewer is found without it.
TEST(ShellScreen, HelpShowsTheHelpFileAndReturns)
{
    scratch dir;
    dir.numbered("numbered", 200);
    std::string bin = std::string(VORN_TEST_PREFIX) + "/bin";
    vt_options options;
    options.program = bin + "/vorn";
    options.args = {"-e", "numbered"};
    options.cwd = dir.path;
    options.env = {{"HOME", dir.path}, {"PATH", "/usr/bin:/bin"}};
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

// A stop while the help is shown stops the pager at once, and the viewer
// (which serves the stop key itself) a little later.  Continued before the
// viewer has stopped, or continued alone, the pager continues its viewer,
// and keys reach it again.
TEST(ShellScreen, ContinuedPagerContinuesItsHelpViewer)
{
    scratch dir;
    dir.numbered("numbered", 200);
    vt_ptr s = start_in(dir, {"-e", "numbered"}, {{{"PATH", "/usr/bin:/bin"}}, {}},
                        std::string(VORN_TEST_PREFIX) + "/bin/vorn");
    ASSERT_TRUE(s);
    ASSERT_ROW(*s, 0, "line 1");
    play(*s, "h");
    ASSERT_TRUE(vt_wait_contains(*s, 0, "VORN -- HELP")) << vt_screen(*s);
    vt_key(*s, "^Z");
    ASSERT_TRUE(vt_wait_stopped(*s)) << vt_screen(*s);
    vt_signal(*s, SIGCONT);
    // The viewer reads the q: the pager's screen comes back.
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

// A stop while the shell expands a name typed at "Examine: " stops the
// pager at once (the shell, which never uses the terminal, runs on); once
// continued, the pager opens what the shell printed.
TEST(ShellScreen, StopDuringTheExpansionStopsThePagerAndTheFileOpensAfter)
{
    scratch dir;
    dir.numbered("numbered", 200);
    dir.numbered("other.txt", 30, "other");
    // A slow shell: it waits for the test's go-ahead before it expands.
    dir.script("shell", "cd '" + dir.path + "'\n: > shell.started\n"
                        "i=0\n"
                        "while [ ! -e shell.go ] && [ $i -lt 500 ]; do sleep 0.02; i=$((i + 1)); done\n"
                        "exec /bin/sh \"$@\"\n");
    vt_ptr s = start_in(dir, {"-e", "numbered"}, {{{"SHELL", dir.path + "/shell"}}, {}});
    ASSERT_TRUE(s);
    ASSERT_ROW(*s, 0, "line 1");
    play(*s, ":eo*.txt<enter>");
    ASSERT_TRUE(wait_for_file(*s, dir, "shell.started"));
    vt_key(*s, "^Z");
    ASSERT_TRUE(vt_wait_stopped(*s)) << "the pager went on waiting for the shell\n" << vt_screen(*s);
    vt_write_file(dir.path + "/shell.go", "");
    vt_signal(*s, SIGCONT);
    EXPECT_ROW(*s, 0, "other 1");
    EXPECT_TRUE(vt_row_has(*s, BOTTOM, "other.txt"));
    play(*s, "j");
    EXPECT_ROW(*s, 0, "other 2");
}

// A shell that cannot expand writes nothing over the screen: the bottom
// line says why, and the file shown stays.
TEST(ShellScreen, FailedExpansionIsReportedOnTheBottomLine)
{
    scratch dir;
    dir.numbered("numbered", 200);
    dir.numbered("other.txt", 30, "other");
    dir.script("failing", "echo 'failing: no match for the pattern' >&2\nexit 1\n");
    struct {
        std::string shell;
        std::string message;
    } cases[] = {
        {"/no/sh", "expansion of ``o*'' failed: /no/sh: No such file or directory"},
        {dir.path + "/failing", "expansion of ``o*'' failed: failing: no match for the pattern"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.shell);
        vt_ptr s = start_in(dir, {"-e", "numbered"}, {{{"SHELL", c.shell}}, {}});
        ASSERT_TRUE(s);
        ASSERT_ROW(*s, 0, "line 1");
        play(*s, ":eo*<enter>");
        EXPECT_ROW(*s, BOTTOM, pressed(c.message));
        for (int row = 0; row < BOTTOM; row++)
            EXPECT_ROW(*s, row, "line " + std::to_string(row + 1));
        play(*s, "<enter>");
        EXPECT_TRUE(vt_row_has(*s, BOTTOM, "numbered"));
        EXPECT_ROW(*s, 0, "line 1");
    }
}

}  // namespace
