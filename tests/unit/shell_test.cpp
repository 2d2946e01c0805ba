// The text the pager gives to the shell, checked by running it through the
// real shell: quoting that keeps any name one word, the line that runs a
// command under SHELL, the shell's expansion of a typed name, and the help
// command's refusals.  What the user sees while a command runs is checked
// by the screen tests.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "language_test_util.h"
#include "command/command.h"
#include "startup/startup.h"
#include "terminal/terminal.h"
#include "terminal_fixture.h"

namespace {

// What `command` prints when /bin/sh runs it.
std::string shell_output(const std::string &command)
{
    std::string output;
    FILE *stream = popen(command.c_str(), "r");
    if (stream == nullptr)
        return "<popen failed>";
    int c;
    while ((c = getc(stream)) != EOF)
        output.push_back(static_cast<char>(c));
    pclose(stream);
    return output;
}

// A directory of the test's own, removed afterwards; the current directory
// while it lives, so that wildcards have something known to match.
struct scratch_dir {
    std::string path;
    std::filesystem::path saved_cwd = std::filesystem::current_path();

    scratch_dir()
    {
        char name[] = "/tmp/vorn-shell-test-XXXXXX";
        if (mkdtemp(name) != nullptr)
            path = name;
        std::filesystem::current_path(path);
    }
    ~scratch_dir()
    {
        std::filesystem::current_path(saved_cwd);
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    void write(const std::string &name, const std::string &text, mode_t mode = 0644) const
    {
        std::ofstream(path + "/" + name) << text;
        chmod((path + "/" + name).c_str(), mode);
    }
    bool exists(const std::string &name) const
    {
        return std::filesystem::exists(path + "/" + name);
    }
};

TEST(ShellQuote, EveryTextComesBackFromTheShellUnchanged)
{
    const char *texts[] = {
        "plain.txt",
        "",
        "it's",
        "''",
        "a b\tc",
        "$(touch pwned) `touch pwned` $HOME ${HOME}",
        "a;b|c&d>e<f",
        "\"double\" \\back\\slash\\",
        "*?[a]~",
        "-n",
        "line\nbreak",
    };
    scratch_dir dir;
    for (const char *text : texts) {
        SCOPED_TRACE(text);
        std::string quoted = shell_quote(text);
        EXPECT_EQ(shell_output("printf %s " + quoted), text);
    }
    EXPECT_FALSE(dir.exists("pwned")) << "a quoted command ran";
}

// The base name decides, whatever directory the editor is in.
TEST(EditorLine, OnlyEditorsKnownToTakeALineGetOne)
{
    struct {
        const char *editor;
        int takes;
    } cases[] = {
        {"vi", 1},         {"/usr/bin/vim", 1},  {"view", 1},     {"vim.basic", 1},
        {"emacs", 1},      {"/usr/bin/nvim", 1}, {"nano", 1},     {"micro", 1},
        {"joe", 1},        {"kak", 1},           {"mg", 1},       {"/usr/local/bin/ne", 1},
        {"xemacs", 0},     {"emacs-nox", 0},     {"nanox", 0},    {"ed", 0},
        {"code", 0},       {"/opt/ne/bin/ed", 0}, {"nvim-qt", 0}, {"", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.editor);
        EXPECT_EQ(editor_takes_line_argument(c.editor), c.takes);
    }
}

TEST(ShellArguments, UnderShellWhenSetElseUnderBinSh)
{
    using words = std::vector<std::string>;
    struct {
        std::optional<std::string> shell;
        const char *command;
        words argv;
    } cases[] = {
        {std::nullopt, "ls -l", {"/bin/sh", "-c", "ls -l"}},
        {"", "ls -l", {"/bin/sh", "-c", "ls -l"}},
        {std::nullopt, "", {"/bin/sh"}},
        {"", "", {"/bin/sh"}},
        {"/bin/zsh", "", {"/bin/zsh"}},
        {"/bin/zsh", "vi 'a b'", {"/bin/zsh", "-c", "vi 'a b'"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.command) + " with SHELL " + c.shell.value_or("unset"));
        env_override env;
        env.set("SHELL", c.shell);
        EXPECT_EQ(shell_arguments(c.command), c.argv);
    }
}

// What child `argv` prints on its standard output, started as every child
// of the pager is.
std::string child_output(const std::vector<std::string> &words)
{
    std::vector<const char *> argv;
    for (const std::string &word : words)
        argv.push_back(word.c_str());
    argv.push_back(nullptr);
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return "<pipe failed>";
    child_spec io;
    io.out = fds[1];
    io.own_group = true;
    pid_t pid = start_child(argv[0], argv.data(), io);
    close(fds[1]);
    std::string output;
    char chunk[256];
    ssize_t n;
    while (pid > 0 && (n = read(fds[0], chunk, sizeof chunk)) > 0)
        output.append(chunk, static_cast<size_t>(n));
    close(fds[0]);
    if (pid < 0)
        return "<not started>";
    EXPECT_EQ(wait_for_child(pid), 0);
    return output;
}

// The shell gets the command as it was built, quotes included, as one
// argument, and runs it unchanged.
TEST(ShellArguments, CommandRunsUnchangedUnderShell)
{
    scratch_dir dir;
    dir.write("shell", "#!/bin/sh\necho \"shell got: $2\"\nexec /bin/sh \"$@\"\n", 0755);
    env_override env;
    env.set("SHELL", dir.path + "/shell");
    std::string command = "printf '%s|' 'it'\\''s' \"$(echo a)\" `echo b` \"x y\"";
    EXPECT_EQ(child_output(shell_arguments(command.c_str())),
              "shell got: " + command + "\nit's|a|b|x y|");
}

// The signal set of a line of /proc/PID/status ("SigIgn:\t<hex>").
uint64_t signal_mask(const std::string &status, const std::string &name)
{
    size_t at = status.find(name + ":\t");
    if (at == std::string::npos)
        return ~uint64_t{0};
    return std::stoull(status.substr(at + name.size() + 2), nullptr, 16);
}

// A child has nothing open but its three standard descriptors, whatever
// the pager holds open (close-on-exec or not), no signal blocked and none
// of the pager's own signals ignored.
TEST(StartChild, StartsWithOnlyTheStandardDescriptorsAndDefaultSignals)
{
    scratch_dir dir;
    dir.write("file", "text\n");
    int inherited = open((dir.path + "/file").c_str(), O_RDONLY);   // no close-on-exec
    ASSERT_GE(inherited, 3);
    struct sigaction ignore {}, old_winch, old_pipe;
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGWINCH, &ignore, &old_winch);
    sigaction(SIGPIPE, &ignore, &old_pipe);
    sigset_t blocked, old_mask;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGTSTP);
    sigprocmask(SIG_BLOCK, &blocked, &old_mask);
    std::string report = child_output({"/bin/ls", "/proc/self/fd"});
    std::string status = child_output({"/bin/grep", "-E", "^Sig(Blk|Ign)", "/proc/self/status"});
    sigprocmask(SIG_SETMASK, &old_mask, nullptr);
    sigaction(SIGWINCH, &old_winch, nullptr);
    sigaction(SIGPIPE, &old_pipe, nullptr);
    close(inherited);
    // ls itself holds the directory it lists on one more descriptor.
    EXPECT_EQ(report, "0\n1\n2\n3\n");
    EXPECT_EQ(signal_mask(status, "SigBlk"), 0u) << status;
    uint64_t ignored = signal_mask(status, "SigIgn");
    for (int sig : {SIGWINCH, SIGPIPE, SIGINT, SIGTSTP, SIGTTOU}) {
        SCOPED_TRACE(strsignal(sig));
        EXPECT_EQ(ignored & (uint64_t{1} << (sig - 1)), 0u) << status;
    }
}

TEST(Glob, ExpandsWithTheShell)
{
    scratch_dir dir;
    dir.write("alpha.txt", "");
    dir.write("beta.txt", "");
    struct {
        std::optional<std::string> shell;
        const char *typed;
        std::string expanded;
    } cases[] = {
        // Under SHELL wildcards and variables expand.
        {"/bin/sh", "a*.txt", "alpha.txt"},
        {"/bin/sh", "*.txt", "alpha.txt beta.txt"},
        {"/bin/sh", "$GLOB_TEST_DIR/b*", dir.path + "/beta.txt"},
        {"/bin/sh", "no*match", "no*match"},
        // Without it only variables do.
        {std::nullopt, "a*.txt", "a*.txt"},
        {"", "a*.txt", "a*.txt"},
        {std::nullopt, "$GLOB_TEST_DIR/alpha.txt", dir.path + "/alpha.txt"},
        // An expansion to nothing is the empty name.
        {"/bin/sh", "$GLOB_TEST_UNSET", ""},
        {std::nullopt, "$GLOB_TEST_UNSET", ""},
        // Only the first line counts.
        {std::nullopt, "$GLOB_TEST_TWO_LINES", "alpha.txt"},
        // Whatever could run a command is not expanded: the name as typed.
        {"/bin/sh", "alpha.txt; echo beta.txt", "alpha.txt; echo beta.txt"},
        {"/bin/sh", "$(echo alpha.txt)", "$(echo alpha.txt)"},
        {"/bin/sh", "`echo alpha.txt`", "`echo alpha.txt`"},
        {"/bin/sh", "a*.txt|cat", "a*.txt|cat"},
        {"/bin/sh", "(a*.txt)", "(a*.txt)"},
        {std::nullopt, "$(echo alpha.txt)", "$(echo alpha.txt)"},
        {std::nullopt, "a\"; echo \"b", "a\"; echo \"b"},
        // Separators between double quotes are only text there.
        {std::nullopt, "a;b|c&d", "a;b|c&d"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.typed) + " with SHELL " + c.shell.value_or("unset"));
        env_override env;
        env.set("SHELL", c.shell);
        env.set("GLOB_TEST_DIR", dir.path);
        env.set("GLOB_TEST_UNSET", std::nullopt);
        env.set("GLOB_TEST_TWO_LINES", "alpha.txt\nbeta.txt");
        const char *expanded = glob(c.typed);
        ASSERT_NE(expanded, nullptr);
        EXPECT_EQ(std::string(expanded), c.expanded);
    }
    reset_shell_state();
}

// "#" names the previous file, also after blanks; the shell never sees it.
TEST(Glob, PreviousFileNeverReachesTheShell)
{
    scratch_dir dir;
    dir.write("shell", "#!/bin/sh\necho ran >> \"$(dirname \"$0\")/ran\"\nexec /bin/sh \"$@\"\n", 0755);
    env_override env;
    env.set("SHELL", dir.path + "/shell");
    const std::pair<const char *, const char *> cases[] = {
        {"#", "#"}, {"#other", "#other"}, {" #", "#"}, {" \t #other", "#other"}};
    for (const auto &[typed, name] : cases) {
        EXPECT_STREQ(glob(typed), name) << "typed \"" << typed << "\"";
    }
    EXPECT_FALSE(dir.exists("ran"));
    ASSERT_STREQ(glob("x"), "x");
    EXPECT_TRUE(dir.exists("ran")) << "the recording shell does not record";
    reset_shell_state();
}

// No name longer than the system takes is opened cut short.
TEST(Glob, ExpansionTooLongToBeANameIsRefused)
{
    reset_language_state();
    env_override env;
    env.set("SHELL", "/bin/sh");
    env.set("GLOB_TEST_LONG", std::string(5000, '0'));
    env.set("GLOB_TEST_FITS", std::string(4000, '0'));
    const char *typed = "$GLOB_TEST_LONG";
    EXPECT_EQ(glob(typed), nullptr);
    EXPECT_EQ(error_code, ERR_COMMAND);
    EXPECT_EQ(pending_text(), std::string("expansion of ``") + typed + "'' is too long");
    reset_language_state();
    const char *fits = "$GLOB_TEST_FITS";
    ASSERT_NE(glob(fits), nullptr);
    EXPECT_EQ(std::string(glob(fits)), std::string(4000, '0'));
    reset_shell_state();
}

TEST(HelpCommand, RefusesWhileViewingHelpAndWithoutTheFile)
{
    static char viewed_help[] = "/some/prefix/share/misc/zarb-vorn.help";
    static char other[] = "notes.txt";
    char *names[] = {other, viewed_help, nullptr};
    char **saved_names = file_names;
    int saved_count = file_count, saved_index = file_index;
    file_names = names;
    file_count = 2;
    struct {
        const char *help;
        int index;
        const char *text;
    } cases[] = {
        {viewed_help, 1, "already viewing help"},
        {"/nonexistent/zarb-vorn.help", 1,
         "/nonexistent/zarb-vorn.help: No such file or directory"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.help);
        reset_language_state();
        help_file = c.help;
        file_index = c.index;
        EXPECT_EQ(run_command_string("help"), -1);
        EXPECT_EQ(error_code, ERR_COMMAND);
        EXPECT_EQ(pending_text(), c.text);
    }
    file_names = saved_names;
    file_count = saved_count;
    file_index = saved_index;
    reset_shell_state();
    reset_language_state();
}

// A viewer that cannot be started is reported, by name; "vorn" on the
// search path is tried only when the system has no path for this program.
TEST(HelpCommand, ViewerThatCannotStartIsReported)
{
    scratch_dir dir;
    dir.write("help", "the help\n");
    dir.write("vorn", "#!/bin/sh\n: > '" + dir.path + "/ran'\n", 0755);
    std::string help = dir.path + "/help";
    struct {
        const char *own;
        std::string path;
        int result;
        std::string message;
        bool ran;
    } cases[] = {
        {"/nonexistent/self", "/nonexistent-directory", -1,
         "cannot start vorn: No such file or directory", false},
        {"/nonexistent/self", dir.path, 0, "", true},
    };
    fd2_replacement terminal(24, 80);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path);
        std::filesystem::remove(dir.path + "/ran");
        reset_language_state();
        env_override env;
        env.set("PATH", c.path);
        help_file = help.c_str();
        own_executable = c.own;
        int result = 0;
        capture_output([&] { result = show_help(false); });
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(pending_text(), c.message);
        EXPECT_EQ(dir.exists("ran"), c.ran);
    }
    install_signals(0);
    signals_reset();
    reset_shell_state();
    reset_language_state();
}

}  // namespace
