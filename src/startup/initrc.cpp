// Initialization scripts: the default script (the user's ~/.defvornrc or,
// in its place, the text built into the program), the system-wide script
// and the user's ~/.vornrc, run in that order on the same interpreter state.
//
// Every script goes through one line reader, `read_rc_file`: comment lines
// are skipped, a backslash right before the newline joins the next line to
// the statement, and each complete statement runs on its own, so that a
// failing statement is reported and the next one still runs.  The built-in
// text is read as a stream over memory.  Each reading has its own line
// buffer, so a script read from inside another (`readrc`) leaves its
// caller's line alone.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "language/language.h"
#include "startup.h"

enum { RC_PATH_SIZE = 1024, RC_LINE_LIMIT = 1024 };

static const char system_script[] = "/etc/dot.vornrc";

// Runs one complete statement; a failure is shown at once.
static void run_statement(char *statement, size_t length)
{
    if (length > 0 && statement[length - 1] == '\n')
        statement[length - 1] = 0;
    if (run_command_string(statement) != 0)
        report_error();
}

// The reader proper.  Returns 0 at the end of the stream, or the system
// error of a failed read, so that a caller can tell an unreadable file
// (a directory, say) from an empty one.
int read_rc_stream(FILE *stream)
{
    char *statement = nullptr;
    size_t length = 0;
    char *line = nullptr;
    size_t line_capacity = 0;
    ssize_t read;

    while ((read = getline(&line, &line_capacity, stream)) > 0) {
        size_t line_length = static_cast<size_t>(read);
        if (line[0] == '#')
            continue;   // also inside a continued statement
        char *grown = static_cast<char *>(realloc(statement, length + line_length + 1));
        if (grown == nullptr) {
            free(statement);
            statement = nullptr;
            set_error_code(ERR_NO_MEMORY);
            report_error();
            if (length + line_length < RC_LINE_LIMIT) {
                free(line);
                return 0;
            }
            length = 0;
            continue;
        }
        statement = grown;
        memcpy(statement + length, line, line_length);
        length += line_length;
        statement[length] = 0;
        if (line_length > 1 && line[line_length - 2] == '\\') {
            // continued: drop the backslash and the byte after it
            statement[length - 2] = 0;
            length = strlen(statement);
            continue;
        }
        run_statement(statement, length);
        free(statement);
        statement = nullptr;
        length = 0;
    }
    int failure = ferror(stream) ? errno : 0;
    free(line);
    free(statement);    // a statement still continued at the end is dropped
    return failure;
}

void read_rc_file(FILE *stream)
{
    read_rc_stream(stream);
}

// Runs the script file at `path`.  Returns 1 when it was read, 0 when it
// could not be: a file that does not exist is passed over silently, one
// that exists but cannot be opened or read is reported.
static int run_script_file(const char *path)
{
    FILE *stream = fopen(path, "re");
    int failure = errno;
    if (stream == nullptr) {
        if (access(path, F_OK) == 0) {
            set_error(ERR_EXTERNAL, "unable to read %s: %s", path, strerror(failure));
            report_error();
        }
        return 0;
    }
    // fopen happily opens a directory; its first read then fails.  Such a
    // script was not read, and is reported like one that cannot be opened.
    failure = read_rc_stream(stream);
    fclose(stream);
    if (failure != 0) {
        set_error(ERR_EXTERNAL, "unable to read %s: %s", path, strerror(failure));
        report_error();
        return 0;
    }
    return 1;
}

static void run_builtin_script()
{
    // "r" only reads: the text is never written through the stream.
    FILE *stream = fmemopen(const_cast<char *>(builtin_script), strlen(builtin_script), "r");
    if (stream == nullptr) {
        set_error_code(ERR_NO_MEMORY);
        report_error();
        return;
    }
    read_rc_file(stream);
    fclose(stream);
}

// Builds "HOME/name" into `path`; 0 when HOME is unset or too long.
static int home_script_path(char *path, const char *name)
{
    const char *home = getenv("HOME");
    if (home == nullptr)
        return 0;
    size_t home_length = strlen(home);
    size_t name_length = strlen(name);
    // the slash and the name must fit with the terminating 0
    if (home_length + 1 + name_length >= RC_PATH_SIZE)
        return 0;
    memcpy(path, home, home_length);
    path[home_length] = '/';
    memcpy(path + home_length + 1, name, name_length + 1);
    return 1;
}

void load_init_scripts()
{
    char path[RC_PATH_SIZE];

    if (!home_script_path(path, ".defvornrc") || !run_script_file(path))
        run_builtin_script();
    run_script_file(system_script);
    if (home_script_path(path, ".vornrc"))
        run_script_file(path);
}
