// The file list and the current file.
//
// file_names is the command line after the options (never changed);
// file_index says where in it the user is.  open_file makes one input the
// current one: it checks and opens the new input first and only then, when
// nothing can fail any more, gives up the old one, so a failed open leaves
// the old file current and on the screen.  The name left behind becomes
// previous_file ("#"), with the position that was at the top of its screen.
// Standard input can be current once per run: its data cannot be read again.
// The name of the current file is the file layer's (current_file); the
// list gives it each new one.
#include "command.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "display/display.h"
#include "file/file.h"
#include "terminal/terminal.h"

char **file_names;
int file_count;
int file_index;
char *previous_file;
file_pos previous_position = -1;
const char *prompt_name;
const char *next_file_name;
int stdin_used;

char *save_string(const char *text)
{
    size_t size = strlen(text) + 1;
    char *copy = static_cast<char *>(malloc(size));
    if (copy == nullptr) {
        show_message("cannot allocate memory");
        finish_and_exit(EXIT_FAILURE);
    }
    memcpy(copy, text, size);
    return copy;
}

void bounded_copy(char *destination, const char *source, size_t size)
{
    if (size == 0)
        return;
    size_t i = 0;
    for (; i + 1 < size && source[i] != '\0'; i++)
        destination[i] = source[i];
    destination[i] = '\0';
    destination[size - 1] = '\0';
}

char *check_file(const char *path, char *buffer, size_t size)
{
    struct stat st;
    if (stat(path, &st) != 0) {
        snprintf(buffer, size, "%s: %s", path, strerror(errno));
        return buffer;
    }
    if (S_ISDIR(st.st_mode)) {
        // The path is cut (to size - 18 bytes) so that the message always
        // ends in the suffix.
        static const char suffix[] = " is a directory";
        if (size < 18) {
            bounded_copy(buffer, suffix, size);
            return buffer;
        }
        bounded_copy(buffer, path, size - 17);
        strcat(buffer, suffix);
        return buffer;
    }
    return nullptr;
}

namespace {

// The name open_file is asked for, resolved: a heap copy, or null after the
// reason has been shown.  *jump_to receives the position to return to.
char *choose_name(const char *name, file_pos *jump_to)
{
    *jump_to = -1;
    if (name == nullptr || name[0] == '\0') {
        if (file_index >= file_count) {
            show_message("No current file");
            return nullptr;
        }
        return save_string(file_names[file_index]);
    }
    if (strcmp(name, "#") == 0) {
        if (previous_file == nullptr || previous_file[0] == '\0') {
            show_message("no previous file");
            return nullptr;
        }
        *jump_to = previous_position;
        return save_string(previous_file);
    }
    return save_string(name);
}

// A descriptor for `name` ("-" is standard input), or -1 after the reason
// has been shown.
int open_input(const char *name)
{
    if (strcmp(name, "-") == 0) {
        if (stdin_used) {
            show_message("can view standard input only once");
            return -1;
        }
        return 0;
    }
    char message[OPEN_MESSAGE_SIZE];
    if (check_file(name, message, sizeof message) != nullptr) {
        show_message(message);
        return -1;
    }
    int fd = open(name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        snprintf(message, sizeof message, "%s: %s", name, strerror(errno));
        show_message(message);
        return -1;
    }
    return fd;
}

const char *last_component(const char *path)
{
    const char *slash = strrchr(path, '/');
    return slash != nullptr ? slash + 1 : path;
}

// Gives up the file being left and makes `name` (a heap copy, now owned
// here) on descriptor `fd` the current one.
void switch_to(char *name, int fd)
{
    if (input_fd > 0)
        close(input_fd);
    previous_position = current_file != nullptr ? screen_pos(SCREEN_TOP) : -1;
    free(previous_file);
    previous_file = replace_current_file(name);
    pos_reset();
    set_pipe_mode(fd == 0);
    if (pipe_mode) {
        stdin_used = 1;
        prompt_name = "stdin";
    } else {
        prompt_name = last_component(current_file);
    }
    next_file_name = file_index < file_count ? file_names[file_index + 1] : nullptr;
    cache_open_input(fd);
    cache_init(buffer_setting);
}

} // namespace

// Editors often write a new file in place of the old one; the descriptor
// kept open would go on reading the old data.  The name is opened again on
// the same descriptor number when it still names a readable regular file
// (opening a fifo could wait for ever); otherwise the old data stays.
void reopen_current_file()
{
    struct stat st;
    if (pipe_mode || current_file == nullptr || input_fd <= 0 ||
        stat(current_file, &st) != 0 || !S_ISREG(st.st_mode))
        return;
    int fd = open(current_file, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && dup3(fd, input_fd, O_CLOEXEC) >= 0)
        cache_open_input(input_fd);
    close(fd);
}

int open_file(const char *name, int only_if_other)
{
    if (only_if_other == 1 && current_file != nullptr && name != nullptr &&
        strcmp(current_file, name) == 0)
        return 1;
    reset_horizontal_view();
    file_pos jump_to;
    char *chosen = choose_name(name, &jump_to);
    if (chosen == nullptr)
        return 0;
    int fd = open_input(chosen);
    if (fd < 0) {
        free(chosen);
        return 0;
    }
    if (isatty(fd)) {
        show_message("Can't take input from a terminal");
        if (fd != 0)
            close(fd);
        free(chosen);
        return 0;
    }
    switch_to(chosen, fd);
    if (isatty(1)) {
        messages_to_screen(current_file);
        if (jump_to != -1)
            jump_pos(jump_to);
        linenum_clear();
    }
    return 1;
}

void set_file_list(char **names, int count)
{
    file_names = names;
    file_count = count;
    file_index = 0;
}

// The index stays moved when the open fails: the prompt then numbers the
// file that could not be opened, and the next move goes on from there.
int open_file_at(int index)
{
    file_index = index;
    return open_file(file_names[file_index], 0);
}

void next_file(int n)
{
    // A negative count could lead before the list; that is no move either.
    int64_t target = static_cast<int64_t>(file_index) + n;
    if (target >= 0 && target < file_count) {
        open_file_at(static_cast<int>(target));
        return;
    }
    if (!opt_stay_at_end && screen_pos(SCREEN_TOP) != -1)
        show_message("No (N-th) next file");
}

void prev_file(int n)
{
    int64_t target = static_cast<int64_t>(file_index) - n;
    if (target < 0 || target >= file_count) {
        show_message("No (N-th) previous file");
        return;
    }
    open_file_at(static_cast<int>(target));
}

void show_file_list()
{
    if (file_count <= 0) {
        show_message("No files provided as arguments.");
        return;
    }
    size_t total = 0;
    for (int i = 0; i < file_count;) {
        const char *shown = strcmp(file_names[i], "-") == 0 ? "stdin" : file_names[i];
        bool bracketed = i == file_index;
        size_t width = visible_width(shown) + 1 + (bracketed ? 2 : 0);
        bool fits = total + width + 1 < static_cast<size_t>(screen_width > 0 ? screen_width : 0);
        if (fits || total == 0) {
            if (total != 0)
                out_char(' ');
            if (bracketed)
                out_char('[');
            out_visible(shown);
            if (bracketed)
                out_char(']');
            i++;
        }
        if (fits) {
            total += width;
            continue;
        }
        out_char('\n');
        total = 0;
    }
    out_char('\n');
    show_message(nullptr);
}

void filelist_reset()
{
    file_names = nullptr;
    file_count = 0;
    file_index = 0;
    free(replace_current_file(nullptr));
    free(previous_file);
    previous_file = nullptr;
    previous_position = -1;
    prompt_name = nullptr;
    next_file_name = nullptr;
    stdin_used = 0;
}
