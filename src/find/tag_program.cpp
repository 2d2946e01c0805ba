// Running the global program for one name and reading what it prints.
//
// The program is started directly, never through a shell: the name is an
// argument vector entry of its own, behind "--", so no character of it can
// be taken for shell syntax or for an option, and no length of it can cut a
// command line.  Standard input is /dev/null and its error output goes
// there too (its complaints, a missing index for instance, are not ours to
// show).  A program that cannot be started simply prints nothing.
//
// The output is read through read_interruptible, so a stop or a window
// change abandons a lookup instead of waiting behind the program; the
// program is then killed, by its own process id, before it is reaped, since
// the stop may have stopped it too.
#include "find.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "terminal/terminal.h"

extern char **environ;

namespace {

// Sets up the child's descriptors and signals and starts it; the pid, or -1.
pid_t spawn_global(int output_fd, const char *option, const char *name)
{
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    if (posix_spawn_file_actions_init(&actions) != 0)
        return -1;
    if (posix_spawnattr_init(&attributes) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return -1;
    }
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, output_fd, 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    // Whatever the pager blocks or ignores at the moment is not the child's
    // business; a broken pipe must end it when we stop reading early.
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    char program[] = "global";
    char end_of_options[] = "--";
    char *argv[] = {program, const_cast<char *>(option), end_of_options,
                    const_cast<char *>(name), nullptr};
    pid_t pid;
    int failed = posix_spawnp(&pid, program, &actions, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return failed ? -1 : pid;
}

// The next byte of the output; -1 at its end (or on a read error),
// READ_ABANDONED when a signal abandoned the read.
int next_output_byte(program_output *out)
{
    if (out->chunk_start == out->chunk_end) {
        if (out->at_end)
            return -1;
        int n = read_interruptible(out->fd, out->chunk, sizeof out->chunk);
        if (n == READ_ABANDONED)
            return READ_ABANDONED;
        if (n <= 0) {
            out->at_end = 1;
            return -1;
        }
        out->chunk_start = 0;
        out->chunk_end = n;
    }
    return static_cast<unsigned char>(out->chunk[out->chunk_start++]);
}

}  // namespace

int start_global(program_output *out, const char *option, const char *name)
{
    out->pid = -1;
    out->fd = -1;
    out->chunk_start = out->chunk_end = 0;
    out->at_end = 0;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return -1;
    pid_t pid = spawn_global(fds[1], option, name);
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        return -1;
    }
    out->pid = pid;
    out->fd = fds[0];
    return 0;
}

// A line longer than the buffer keeps its first size - 1 bytes; the rest
// is read and dropped up to its newline.  A last line without a newline
// still counts.  1 for a line, 0 at the end, READ_ABANDONED when a signal
// came.
int read_output_line(program_output *out, char *line, int size)
{
    VORN_ASSERT(size > 0);
    int used = 0;
    int got_any = 0;
    for (;;) {
        int c = next_output_byte(out);
        if (c == READ_ABANDONED)
            return READ_ABANDONED;
        if (c == -1)
            break;
        got_any = 1;
        if (c == '\n')
            break;
        if (used < size - 1)
            line[used++] = static_cast<char>(c);
    }
    line[used] = '\0';
    return got_any;
}

void finish_program(program_output *out, int abandon)
{
    if (out->fd >= 0)
        close(out->fd);
    out->fd = -1;
    if (out->pid < 0)
        return;
    if (abandon)
        kill(out->pid, SIGKILL);
    while (waitpid(out->pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    out->pid = -1;
}
