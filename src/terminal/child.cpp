// Child processes: the one way every program is started (the editor, the
// shell, this program again for the help and the mark listing, the shell
// that expands a name, global), and the waits for them.
//
// A child starts clean, whatever the pager holds at the moment: descriptors
// 0, 1 and 2 are what the caller chose (a descriptor of ours, or /dev/null)
// and nothing else is open; no signal is blocked; the signals the pager
// catches or ignores for itself are at their defaults (an ignored window
// change would keep an editor from ever learning the size; an ignored broken
// pipe would keep a reader we stopped listening to running).  What the
// environment ignored when the pager was started (a hang-up under nohup)
// stays ignored, as it would for any program started from there.
//
// Every child is waited for with EINTR handled.  A child that has the
// terminal shares the pager's process group, so the terminal's keys reach
// both, and is followed through stops (see follow_stopped_child).  A child
// whose output the pager reads never uses the terminal: it runs in a
// process group of its own, which the stop, interrupt and window-change
// signals of the terminal do not reach, and its output is read through
// read_interruptible, so that the pager serves a stop or a window change
// while it waits and then reads on (a stop never abandons the child).
#include <fcntl.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "terminal.h"

extern char **environ;

namespace {

// The signals the pager sets for itself at one time or another.  The
// terminating signals it takes over have handlers, which a new program
// never inherits.
const int PAGERS_OWN_SIGNALS[] = {SIGINT,  SIGQUIT, SIGTSTP, SIGTTIN, SIGTTOU,
                                  SIGWINCH, SIGPIPE, SIGCHLD, SIGCONT};

// Descriptor `target` of the child becomes `source` (CHILD_NULL: /dev/null).
// A source below 3 must be the target itself (inherited as it is): the
// standard descriptors are rearranged in order, and an earlier one could
// have been replaced already.
int arrange(posix_spawn_file_actions_t *actions, int target, int source)
{
    if (source == CHILD_NULL)
        return posix_spawn_file_actions_addopen(actions, target, "/dev/null",
                                                target == 0 ? O_RDONLY : O_WRONLY, 0);
    VORN_ASSERT(source == target || source > 2);
    return source == target ? 0 : posix_spawn_file_actions_adddup2(actions, source, target);
}

int set_up_actions(posix_spawn_file_actions_t *actions, const child_spec &io)
{
    int failed = arrange(actions, 0, io.in);
    if (failed == 0)
        failed = arrange(actions, 1, io.out);
    if (failed == 0)
        failed = arrange(actions, 2, io.err);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // Everything of ours is close-on-exec already; this also closes what
    // was inherited without it from whoever started the pager.
    if (failed == 0)
        failed = posix_spawn_file_actions_addclosefrom_np(actions, 3);
#endif
    return failed;
}

void set_up_attributes(posix_spawnattr_t *attributes, bool own_group)
{
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int sig : PAGERS_OWN_SIGNALS)
        sigaddset(&defaults, sig);
    posix_spawnattr_setsigmask(attributes, &none);
    posix_spawnattr_setsigdefault(attributes, &defaults);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (own_group) {
        posix_spawnattr_setpgroup(attributes, 0);
        flags |= POSIX_SPAWN_SETPGROUP;
    }
    posix_spawnattr_setflags(attributes, flags);
}

// A child that stopped while the pager runs (and so was not stopped with
// it).  Stopped by the stop key, the child is a program that serves the
// key itself before it stops (this program as the help viewer): the stop
// stopped the pager at once, and a pager that runs again was continued
// since, so the late stop is over and the child goes on too.  Stopped
// otherwise (stopped on its own, or for using the terminal from the
// background), the pager stops with it, so that whoever controls the job
// sees it stopped, and continues it when it is continued.
void follow_stopped_child(pid_t pid, int sig)
{
    if (sig != SIGTSTP)
        kill(getpid(), SIGSTOP);
    kill(pid, SIGCONT);
}

}  // namespace

pid_t start_child(const char *program, const char *const argv[], const child_spec &io)
{
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    int failed = posix_spawn_file_actions_init(&actions);
    if (failed != 0) {
        errno = failed;
        return -1;
    }
    failed = posix_spawnattr_init(&attributes);
    if (failed != 0) {
        posix_spawn_file_actions_destroy(&actions);
        errno = failed;
        return -1;
    }
    failed = set_up_actions(&actions, io);
    set_up_attributes(&attributes, io.own_group);
    pid_t pid = -1;
    if (failed == 0)
        failed = posix_spawnp(&pid, program, &actions, &attributes,
                              const_cast<char *const *>(argv), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        errno = failed;
        return -1;
    }
    return pid;
}

int run_with_terminal(const char *program, const char *const argv[], const child_spec &io)
{
    // As the C library's system(): the interrupt and quit keys are for the
    // child; the pager waits on.
    struct sigaction ignore {}, old_interrupt, old_quit;
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGINT, &ignore, &old_interrupt);
    sigaction(SIGQUIT, &ignore, &old_quit);
    int status = -1;
    pid_t pid = start_child(program, argv, io);
    int start_errno = errno;
    if (pid > 0)
        status = wait_with_terminal(pid);
    sigaction(SIGINT, &old_interrupt, nullptr);
    sigaction(SIGQUIT, &old_quit, nullptr);
    errno = start_errno;
    return pid > 0 ? status : -1;
}

int wait_with_terminal(pid_t pid)
{
    for (;;) {
        int status;
        pid_t got = waitpid(pid, &status, WUNTRACED);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (!WIFSTOPPED(status))
            return status;
        follow_stopped_child(pid, WSTOPSIG(status));
    }
}

int read_child_output(pid_t pid, int fd, void *buf, int size)
{
    for (;;) {
        int n = read_interruptible(fd, buf, size);
        if (n != READ_ABANDONED)
            return n;
        // A child in a group of its own was not stopped with the pager;
        // one that was (or was stopped by someone else) goes on with it.
        handle_pending_signals();
        if (pid > 0)
            kill(pid, SIGCONT);
    }
}

int wait_for_child(pid_t pid)
{
    // A descriptor of the process is readable once it has ended: waiting
    // for that serves the signals as a read does (reading it fails, which
    // says no more than that it can be read).
    int process_fd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (process_fd >= 0) {
        char byte;
        read_child_output(pid, process_fd, &byte, 1);
        close(process_fd);
    }
    for (;;) {
        int status;
        pid_t got = waitpid(pid, &status, 0);
        if (got >= 0)
            return status;
        if (errno != EINTR)
            return -1;
    }
}

void end_child(pid_t pid)
{
    kill(pid, SIGKILL);
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}
