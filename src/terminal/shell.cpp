// Shell escapes and external programs: the user's editor, the help viewer
// and the mark listing (this program run again on a file) and the shell's
// expansion of a file name typed at "Examine: ".  Every program is started
// by start_child (child.cpp) from an argument vector.
//
// Owns the editor command (fixed by the first edit), the help file's path,
// the path this program is run again by, and the text of the last
// expansion.
//
// A shell is used only where the user's choice needs one: the editor
// command (EDITOR may carry options) and the expansion.  It gets the
// command as one argument of "SHELL -c" ("/bin/sh -c" without SHELL), so
// nothing is ever run cut short or split again.  A file name is data, so it
// reaches a shell only inside single quotes and arrives as one word,
// unchanged, whatever quotes, dollars, backquotes, semicolons or blanks it
// holds.  What the user chose (SHELL and EDITOR) goes to the shell as it
// is, on purpose: EDITOR may carry options.  A name typed at "Examine: " is
// there to be expanded (wildcards, variables, quotes), but never to run
// anything: a name holding what would make the shell run a command
// (command substitution, a separator, a redirection, a subshell) is opened
// as typed, without any expansion.  The expanding shell writes nothing on
// the screen: its error output is kept, and a failed expansion is reported
// with the first line of it.
//
// The help viewer and the mark listing run this very program
// (own_executable), not whatever "vorn" the search path finds first; the
// search path is used only where the system cannot name the program.
#include <fcntl.h>
#include <limits.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>

#include "terminal.h"

#define OWN_EXECUTABLE "/proc/self/exe"

#ifndef VORN_HELP_FILE
#define VORN_HELP_FILE "/usr/local/share/misc/zarb-vorn.help"
#endif

const char *help_file = VORN_HELP_FILE;
const char *own_executable = OWN_EXECUTABLE;

namespace {

std::string editor;              // empty until the first edit
int editor_takes_line;
std::string expanded_name;

// The longest expansion worth opening: the system refuses longer paths.
const size_t EXPANSION_LIMIT = PATH_MAX - 1;
// The most of a failed expansion's error output that is shown.
const size_t FAILURE_TEXT_LIMIT = 200;

const char *nonempty_env(const char *name)
{
    const char *value = getenv(name);
    return value != nullptr && value[0] != '\0' ? value : nullptr;
}

void choose_editor()
{
    const char *value = nonempty_env("EDITOR");
    editor = value != nullptr ? value : "/usr/bin/vi";
    editor_takes_line = editor_takes_line_argument(editor.c_str());
}

// A name that begins with '-' or '+' would be read by the editor as an
// option or as a command to run ("+!cmd"); "./" in front names the same
// file without that risk.
std::string editor_file_argument(const char *name)
{
    std::string argument = name;
    if (name[0] == '-' || name[0] == '+')
        argument.insert(0, "./");
    return shell_quote(argument.c_str());
}

void hand_over_terminal()
{
    term_deinit();
    out_flush();
    set_tty_mode(0);
    install_signals(0);
}

void take_terminal_back()
{
    install_signals(1);
    set_tty_mode(1);
    term_init();
    request_repaint();
    // The window may have changed while the command ran, unseen.
    winch(SIGWINCH);
}

// Runs the first of `programs` that exists with the terminal handed over:
// the terminal as its standard input ("/dev/tty", or the pager's own
// standard input when that cannot be opened), the pager's standard output
// and error.  -1, with the error set, when none could be started.
int run_handed_over(std::initializer_list<const char *> programs, const char *const argv[])
{
    hand_over_terminal();
    int terminal = open("/dev/tty", O_RDONLY | O_CLOEXEC);
    child_spec io;
    io.in = terminal >= 0 ? terminal : 0;
    io.out = 1;
    io.err = 2;
    int status = -1;
    int start_errno = ENOENT;
    for (const char *program : programs) {
        status = run_with_terminal(program, argv, io);
        start_errno = errno;
        if (status != -1 || start_errno != ENOENT)
            break;
    }
    if (terminal >= 0)
        close(terminal);
    take_terminal_back();
    if (status == -1) {
        set_error(ERR_EXTERNAL, "cannot start %s: %s", argv[0], strerror(start_errno));
        return -1;
    }
    return 0;   // the program reports its own failures
}

enum line_result { LINE_READ, LINE_TOO_LONG };

// The first line that child `pid` prints on `fd`, into expanded_name.  A
// line longer than any usable name is not kept cut short.
line_result read_first_line(pid_t pid, int fd)
{
    expanded_name.clear();
    char chunk[512];
    for (;;) {
        int n = read_child_output(pid, fd, chunk, sizeof chunk);
        if (n <= 0)
            return LINE_READ;
        const char *end = static_cast<const char *>(memchr(chunk, '\n', n));
        size_t length = end != nullptr ? static_cast<size_t>(end - chunk) : static_cast<size_t>(n);
        if (expanded_name.size() + length > EXPANSION_LIMIT)
            return LINE_TOO_LONG;
        expanded_name.append(chunk, length);
        if (end != nullptr)
            return LINE_READ;
    }
}

// Why a shell that ended with `status` failed: the first line of its error
// output (kept in `errors`), else its status.
std::string failure_reason(int errors, int status)
{
    char text[FAILURE_TEXT_LIMIT + 1];
    ssize_t n = errors >= 0 ? pread(errors, text, FAILURE_TEXT_LIMIT, 0) : -1;
    if (n > 0) {
        text[n] = '\0';
        text[strcspn(text, "\n")] = '\0';
        if (text[0] != '\0')
            return text;
    }
    if (WIFEXITED(status))
        return "exit status " + std::to_string(WEXITSTATUS(status));
    return "signal " + std::to_string(WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

enum expansion_result { EXPANDED, EXPANSION_TOO_LONG, EXPANSION_FAILED };

// Runs `shell -c command` in a group of its own (the terminal's keys are
// not for it), with nothing on its standard input and its error output
// kept aside; the first line of its output into expanded_name.  The reason
// of a failure into `reason`.
expansion_result run_expansion(const char *shell, const std::string &command,
                               std::string *reason)
{
    int output[2];
    if (pipe2(output, O_CLOEXEC) != 0) {
        *reason = strerror(errno);
        return EXPANSION_FAILED;
    }
    int errors = memfd_create("vorn-expansion-errors", MFD_CLOEXEC);
    child_spec io;
    io.out = output[1];
    io.err = errors >= 0 ? errors : CHILD_NULL;
    io.own_group = true;
    const char *argv[] = {shell, "-c", command.c_str(), nullptr};
    pid_t pid = start_child(shell, argv, io);
    int start_errno = errno;
    close(output[1]);
    expansion_result result = EXPANDED;
    if (pid < 0) {
        *reason = std::string(shell) + ": " + strerror(start_errno);
        result = EXPANSION_FAILED;
    } else {
        if (read_first_line(pid, output[0]) == LINE_TOO_LONG)
            result = EXPANSION_TOO_LONG;
        // What follows the first line is not wanted: the shell may end by
        // the broken pipe.
        close(output[0]);
        output[0] = -1;
        int status = wait_for_child(pid);
        bool cut_short = WIFSIGNALED(status) && WTERMSIG(status) == SIGPIPE;
        if (result == EXPANDED && status != 0 && !cut_short) {
            *reason = failure_reason(errors, status);
            result = EXPANSION_FAILED;
        }
    }
    if (output[0] >= 0)
        close(output[0]);
    if (errors >= 0)
        close(errors);
    return result;
}

// Whether the expansion command for `name` could run more than echo: with
// SHELL the name is a bare word of "echo NAME", without it the text between
// the double quotes of echo "NAME".
bool could_run_a_command(const char *name, bool bare_word)
{
    if (strchr(name, '`') != nullptr || strstr(name, "$(") != nullptr)
        return true;
    return strpbrk(name, bare_word ? ";&|<>()\n" : "\"") != nullptr;
}

}  // namespace

// Editors known to take "+line" before the file name: the vi family (vi,
// vim, view ...), emacs itself, and the other common editors whose manual
// gives them "+line" for the next file.
int editor_takes_line_argument(const char *command)
{
    static const char *const taking_line[] = {"emacs", "nvim", "nano", "micro",
                                              "joe",   "kak",  "mg",   "ne"};
    const char *slash = strrchr(command, '/');
    std::string base = slash == nullptr ? command : slash + 1;
    if (base.compare(0, 2, "vi") == 0)
        return 1;
    for (const char *name : taking_line)
        if (base == name)
            return 1;
    return 0;
}

std::string shell_quote(const char *text)
{
    std::string quoted = "'";
    for (; *text != '\0'; text++) {
        if (*text == '\'')
            quoted += "'\\''";
        else
            quoted += *text;
    }
    return quoted + "'";
}

std::vector<std::string> shell_arguments(const char *command)
{
    const char *shell = nonempty_env("SHELL");
    std::string program = shell != nullptr ? shell : "/bin/sh";
    if (command[0] == '\0')
        return {program};
    return {program, "-c", command};
}

int run_shell_command(const char *command)
{
    std::vector<std::string> words = shell_arguments(command);
    const char *argv[4] = {};
    for (size_t i = 0; i < words.size(); i++)
        argv[i] = words[i].c_str();
    return run_handed_over({argv[0]}, argv);
}

int view_with_this_program(const char *options, const char *file)
{
    const char *argv[] = {"vorn", options, file, nullptr};
    // The search path only where the system has no name for this program.
    return run_handed_over({own_executable, "vorn"}, argv);
}

const char *glob(const char *name)
{
    // Blanks before "#" (typed after "Examine: ") would make the shell read
    // it as a comment and expand it to nothing: the current file again.
    const char *word = name + strspn(name, " \t");
    if (word[0] == '#')
        return word;
    const char *shell = nonempty_env("SHELL");
    if (could_run_a_command(name, shell != nullptr))
        return name;
    std::string command;
    if (shell != nullptr) {
        // Unquoted for SHELL, so that wildcards and variables expand.
        command = "echo " + std::string(name);
    } else {
        // Variables expand, wildcards do not.
        command = "echo \"" + std::string(name) + "\"";
    }
    std::string reason;
    switch (run_expansion(shell != nullptr ? shell : "/bin/sh", command, &reason)) {
    case EXPANDED:
        return expanded_name.c_str();
    case EXPANSION_FAILED:
        set_error(ERR_COMMAND, "expansion of ``%s'' failed: %s", name, reason.c_str());
        return nullptr;
    case EXPANSION_TOO_LONG:
        break;
    }
    set_error(ERR_COMMAND, "expansion of ``%s'' is too long", name);
    return nullptr;
}

std::string editor_command(const char *name, int line)
{
    if (editor.empty())
        choose_editor();
    std::string command = editor;
    // Appended piece by piece: `" " + temporary` trips a false -Wrestrict
    // of GCC 12 at -O3.
    if (editor_takes_line && line != 0) {
        command += " +";
        command += std::to_string(line);
    }
    command += ' ';
    command += editor_file_argument(name);
    return command;
}

int show_help(bool clear_option)
{
    // Without the file the viewer would fail and vanish before its message
    // could be read.
    if (access(help_file, R_OK) != 0) {
        set_error(ERR_COMMAND, "%s: %s", help_file, strerror(errno));
        return -1;
    }
    return view_with_this_program(clear_option ? "-ec" : "-e", help_file);
}

void reset_shell_state()
{
    editor.clear();
    editor_takes_line = 0;
    expanded_name.clear();
    help_file = VORN_HELP_FILE;
    own_executable = OWN_EXECUTABLE;
}
