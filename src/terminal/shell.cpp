// Shell escapes and external programs: the user's editor, the help viewer
// (this program run again on the help file) and the shell's expansion of a
// file name typed at "Examine: ".
//
// Owns the editor command (fixed by the first edit), the help file's path
// and the text of the last expansion.
//
// Every command line is built to its full length: nothing is ever run cut
// short.  A file name is data, so it reaches a shell only inside single
// quotes and arrives as one word, unchanged, whatever quotes, dollars,
// backquotes, semicolons or blanks it holds.  The wrapped line that runs a
// command under SHELL quotes the whole command the same way, so that SHELL
// sees exactly the command that was built.  What the user chose (SHELL and
// EDITOR) goes to the shell as it is, on purpose: EDITOR may carry options.
// A name typed at "Examine: " is there to be expanded (wildcards,
// variables, quotes), but never to run anything: a name holding what would
// make the shell run a command (command substitution, a separator, a
// redirection, a subshell) is opened as typed, without any expansion.
#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "display/display.h"
#include "file/file.h"
#include "startup/startup.h"
#include "terminal.h"

#ifndef VORN_HELP_FILE
#define VORN_HELP_FILE "/usr/local/share/misc/zarb-vorn.help"
#endif

const char *help_file = VORN_HELP_FILE;

namespace {

std::string editor;              // empty until the first edit
int editor_takes_line;
std::string expanded_name;

// The longest expansion worth opening: the system refuses longer paths.
const size_t EXPANSION_LIMIT = PATH_MAX - 1;

const char *nonempty_env(const char *name)
{
    const char *value = getenv(name);
    return value != nullptr && value[0] != '\0' ? value : nullptr;
}

// Editors known to take "+line" before the file name: the vi family
// (vi, vim, view ...) and emacs itself.
int takes_line_argument(const std::string &command)
{
    size_t slash = command.rfind('/');
    std::string base = slash == std::string::npos ? command : command.substr(slash + 1);
    return base.compare(0, 2, "vi") == 0 || base == "emacs";
}

void choose_editor()
{
    const char *value = nonempty_env("EDITOR");
    editor = value != nullptr ? value : "/usr/bin/vi";
    editor_takes_line = takes_line_argument(editor);
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

// The row whose line the editor starts at: the middle one, or the top one
// on a file too short to reach the middle.
int line_to_edit()
{
    return linenum_current(screen_pos(SCREEN_MIDDLE) == -1 ? SCREEN_TOP
                                                           : SCREEN_MIDDLE);
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

// Makes the terminal the standard input of the command; returns what to
// give back to restore_standard_input.  When "/dev/tty" cannot be opened,
// the command gets the pager's own standard input.
int give_terminal_as_input()
{
    int kept = dup(0);
    close(0);
    if (open("/dev/tty", O_RDONLY) < 0 && kept >= 0)
        dup2(kept, 0);
    return kept;
}

void restore_standard_input(int kept)
{
    close(0);
    if (kept < 0)
        return;
    dup2(kept, 0);
    close(kept);
}

enum line_result { LINE_READ, LINE_NOT_STARTED, LINE_TOO_LONG };

// The first line that `command` prints, into expanded_name.  A line longer
// than any usable name is not kept cut short.
line_result read_first_line(const std::string &command)
{
    FILE *stream = popen(command.c_str(), "r");
    if (stream == nullptr)
        return LINE_NOT_STARTED;
    expanded_name.clear();
    line_result result = LINE_READ;
    int c;
    while (result == LINE_READ && (c = getc(stream)) != EOF && c != '\n') {
        if (expanded_name.size() < EXPANSION_LIMIT)
            expanded_name.push_back(static_cast<char>(c));
        else
            result = LINE_TOO_LONG;
    }
    pclose(stream);  // the command's status is of no interest
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

std::string shell_command_line(const char *command)
{
    std::string line = command;
    if (const char *shell = nonempty_env("SHELL"))
        line = line.empty() ? std::string(shell)
                            : std::string(shell) + " -c " + shell_quote(command);
    return line.empty() ? "sh" : line;
}

void run_shell_command(const char *command)
{
    if (command[0] == '-') {
        command++;
    } else {
        cursor_lower_left();
        erase_to_eol();
        out_str("!");
        out_visible(command);
        out_str("\n");
    }
    hand_over_terminal();
    int kept = give_terminal_as_input();
    std::string line = shell_command_line(command);
    int status = system(line.c_str());
    (void)status;  // the command reports its own failures
    restore_standard_input(kept);
    take_terminal_back();
}

const char *glob(const char *name)
{
    if (name[0] == '#')
        return name;
    const char *shell = nonempty_env("SHELL");
    if (could_run_a_command(name, shell != nullptr))
        return name;
    std::string command;
    if (shell != nullptr) {
        // Unquoted for SHELL, so that wildcards and variables expand.
        command = std::string(shell) + " -c " + shell_quote(("echo " + std::string(name)).c_str());
    } else {
        // Variables expand, wildcards do not.
        command = "echo \"" + std::string(name) + "\"";
    }
    switch (read_first_line(command)) {
    case LINE_READ:
        return expanded_name.c_str();
    case LINE_NOT_STARTED:
        return name;
    case LINE_TOO_LONG:
        break;
    }
    set_error(ERR_COMMAND, "expansion of ``%s'' is too long", name);
    return nullptr;
}

void edit_current_file()
{
    if (editor.empty())
        choose_editor();
    int line = line_to_edit();
    std::string command = editor;
    // Appended piece by piece: `" " + temporary` trips a false -Wrestrict
    // of GCC 12 at -O3.
    if (editor_takes_line && line != 0) {
        command += " +";
        command += std::to_string(line);
    }
    command += ' ';
    command += editor_file_argument(current_file);
    run_shell_command(command.c_str());
}

int show_help()
{
    // Without the file the viewer would fail and vanish before its message
    // could be read.
    if (access(help_file, R_OK) != 0) {
        set_error(ERR_COMMAND, "%s: %s", help_file, strerror(errno));
        return -1;
    }
    std::string command = "-vorn -e";
    command += opt_clear ? 'c' : ' ';
    command += ' ';
    command += shell_quote(help_file);
    run_shell_command(command.c_str());
    return 0;
}

void reset_shell_state()
{
    editor.clear();
    editor_takes_line = 0;
    expanded_name.clear();
    help_file = VORN_HELP_FILE;
}
