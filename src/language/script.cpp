// The one reader of scripts (the initialization scripts and `readrc`):
// comment lines are skipped, a backslash right before the newline joins the
// next line to the statement, and each complete statement runs on its own,
// so that a failing statement is reported and the next one still runs.
// Each reading has its own line buffer, so a script read from inside
// another (`readrc`) leaves its caller's line alone.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/types.h>

#include "command/command.h"
#include "language.h"

enum { RC_LINE_LIMIT = 1024 };

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

