// Commands of the user's session: a typed command, further scripts,
// quitting, help, editing, moving between files, the prompt style,
// whether text is read as UTF-8 and whether compressed files are read as
// their text.
//
// Every handler parses all its arguments first, does nothing more while the
// condition flag is clear, and returns early with the pending error set when
// its action fails.  The helpers shared by the command files live here too.
#include <climits>
#include <cstring>

#include "commands.h"
#include "command/command.h"
#include "display/display.h"
#include "file/file.h"
#include "terminal/terminal.h"

enum {
    USERCOM_SIZE = 125,     // 124 characters and the terminating 0
    EXAMINE_SIZE = 1025,    // 1024 characters and the terminating 0
};

int count_to_int(int64_t count)
{
    if (count > INT_MAX)
        return INT_MAX;
    if (count < INT_MIN)
        return INT_MIN;
    return static_cast<int>(count);
}

const char *cmd_usercom(int, const char *pos)
{
    if (!exec_flag)
        return pos;
    char line[USERCOM_SIZE];
    if (read_line("Command: ", line, sizeof line) != 0)
        return pos;
    if (run_command_string(line) != 0)
        return nullptr;
    return pos;
}

const char *cmd_readrc(int, const char *pos)
{
    const char *path = next_arg(&pos);
    if (path == nullptr)
        return nullptr;
    if (!exec_flag || path[0] == 0)
        return pos;
    FILE *stream = fopen(path, "re");
    if (stream == nullptr) {
        set_error(ERR_COMMAND, "could not open file ``%s''", path);
        return nullptr;
    }
    // A directory opens but cannot be read: that must not pass for an
    // empty script.
    int failure = read_rc_stream(stream);
    fclose(stream);
    if (failure != 0) {
        set_error(ERR_EXTERNAL, "unable to read %s: %s", path, strerror(failure));
        return nullptr;
    }
    return pos;
}

const char *cmd_quit(int, const char *pos)
{
    if (exec_flag)
        finish_and_exit();
    return pos;
}

// The help viewer is this program run on the help file: refusing there
// keeps it from starting yet another one.
const char *cmd_help(int, const char *pos)
{
    if (!exec_flag)
        return pos;
    if (file_count > 0 && file_index >= 0 && file_index < file_count &&
        strcmp(file_names[file_index], help_file) == 0) {
        set_error(ERR_COMMAND, "already viewing help");
        return nullptr;
    }
    if (show_help(opt_clear != 0) != 0)
        return nullptr;
    return pos;
}

// The editor's command is shown on the bottom line as it runs, unless it
// begins with '-', which is dropped.
static int run_editor(const std::string &command)
{
    if (command[0] == '-')
        return run_shell_command(command.c_str() + 1);
    cursor_lower_left();
    erase_to_eol();
    out_str("!");
    out_visible(command.c_str());
    out_str("\n");
    return run_shell_command(command.c_str());
}

const char *cmd_edit(int, const char *pos)
{
    if (!exec_flag)
        return pos;
    if (pipe_mode) {
        set_error(ERR_COMMAND, "cannot edit standard input");
        return nullptr;
    }
    // The line on the middle row, or on the top one on a file too short to
    // reach the middle.
    int line = linenum_current(screen_pos(SCREEN_MIDDLE) == -1 ? SCREEN_TOP : SCREEN_MIDDLE);
    int started = run_editor(editor_command(current_file, line));
    // The file may have changed, or been replaced: read it afresh.
    reopen_current_file();
    cache_init(0);
    linenum_clear();
    return started == 0 ? pos : nullptr;
}

const char *cmd_askfile(int, const char *pos)
{
    if (!exec_flag)
        return pos;
    char name[EXAMINE_SIZE];
    if (read_line("Examine: ", name, sizeof name) != 0)
        return pos;
    const char *expanded = glob(name);
    if (expanded == nullptr)
        return nullptr;
    open_file(expanded, 0);   // open_file shows its own failures
    return pos;
}

// A move by a negative count is a move the other way; counts are kept small
// enough that the file index plus the count cannot overflow.
static void move_in_file_list(int forward, int64_t count)
{
    int64_t limit = INT_MAX - (file_count > 0 ? file_count : 0);
    if (count < 0) {
        forward = !forward;
        count = count < -limit ? limit : -count;
    } else if (count > limit) {
        count = limit;
    }
    if (forward)
        next_file(static_cast<int>(count));
    else
        prev_file(static_cast<int>(count));
}

const char *cmd_file(int, const char *pos)
{
    int direction = choose_word(&pos, 10, "next", "previous", "forward",
                                "backward", "forwards", "backwards", "next",
                                "prev", "forw", "back");
    if (direction < 0)
        return nullptr;
    int64_t count;
    if (get_number(&count, &pos) != 0)
        return nullptr;
    if (!exec_flag)
        return pos;
    int backward = direction % 2;
    move_in_file_list(!backward, count);
    settog("_file_direction", backward, 2, "next", "previous");
    return pos;
}

const char *cmd_file_list(int, const char *pos)
{
    if (!exec_flag)
        return pos;
    show_file_list();
    repaint_screen();
    return pos;
}

const char *cmd_stat(int, const char *pos)
{
    int style = choose_word(&pos, 2, "on", "off");
    if (style < 0)
        return nullptr;
    if (!exec_flag)
        return pos;
    set_prompt_style(style);
    return pos;
}

// UTF-8 text on or off ("on" only where the locale's code set is UTF-8);
// the screen is then painted again the new way.  The toggle always shows
// the state in force, being computed from it.
const char *cmd_utf8(int, const char *pos)
{
    int state = choose_word(&pos, 2, "on", "off");
    if (state < 0)
        return nullptr;
    if (!exec_flag)
        return pos;
    if (set_utf8_text(state == 0) != 0) {
        set_error(ERR_COMMAND, "utf8: the locale's code set is not UTF-8");
        return nullptr;
    }
    request_repaint();
    return pos;
}

// decompress on|off: whether the files opened from now on are read as their
// text when they are compressed (off: -Z).  The file on the screen stays as
// it was opened; `R` or opening it again reads it under the new setting.
// From a start-up script, before the first screen, the first file (opened
// before the scripts run) is read under it at once, as with -Z.
const char *cmd_decompress(int, const char *pos)
{
    int state = choose_word(&pos, 2, "on", "off");
    if (state < 0)
        return nullptr;
    if (!exec_flag)
        return pos;
    bool changed = decompress_files != (state == 0);
    set_decompress_files(state == 0);
    if (changed && screen_pos(SCREEN_TOP) == -1 && !pipe_mode && input_fd >= 0) {
        cache_init(0);
        linenum_clear();
    }
    return pos;
}
