// Initialization scripts: the default script (the user's ~/.defvornrc or,
// in its place, the text built into the program), the system-wide script
// and the user's ~/.vornrc, run in that order on the same interpreter state.
//
// Every script goes through the language's one script reader
// (language/script.cpp); the built-in text is read as a stream over memory.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "command/command.h"
#include "language/language.h"
#include "startup.h"

enum { RC_PATH_SIZE = 1024 };

static const char system_script[] = "/etc/dot.vornrc";

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
