// Running the global program for one name and reading what it prints.
//
// The program is started directly (start_child), never through a shell:
// the name is an argument vector entry of its own, behind "--", so no
// character of it can be taken for shell syntax or for an option, and no
// length of it can cut a command line.  Standard input is /dev/null and
// its error output goes there too (its complaints, a missing index for
// instance, are not ours to show).  A program that cannot be started
// simply prints nothing.
//
// The program runs in a process group of its own, so the terminal's stop
// key does not stop it, and its output is read through read_child_output:
// a stop or a window change that comes meanwhile is served and the lookup
// goes on afterwards, so that its answer is never lost to a signal.
#include "find.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

#include "terminal/terminal.h"

namespace {

pid_t spawn_global(int output_fd, const char *option, const char *name)
{
    child_spec io;
    io.out = output_fd;
    io.own_group = true;
    const char *argv[] = {"global", option, "--", name, nullptr};
    return start_child("global", argv, io);
}

// The next byte of the output; -1 at its end (or on a read error).
int next_output_byte(program_output *out)
{
    if (out->chunk_start == out->chunk_end) {
        if (out->at_end)
            return -1;
        int n = read_child_output(out->pid, out->fd, out->chunk, sizeof out->chunk);
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
// still counts.  1 for a line, 0 at the end.
int read_output_line(program_output *out, char *line, int size)
{
    VORN_ASSERT(size > 0);
    int used = 0;
    int got_any = 0;
    for (;;) {
        int c = next_output_byte(out);
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
        end_child(out->pid);
    else
        wait_for_child(out->pid);
    out->pid = -1;
}
