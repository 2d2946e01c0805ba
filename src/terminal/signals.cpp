// Keyboard input, reads a signal can abandon, and the three caught signals.
//
// Owns keyboard_fd, pending_signals and the count of empty terminal reads.
//
// How a stop or window change abandons a blocked read: SIGTSTP and SIGWINCH
// are blocked for the whole of read_interruptible except inside ppoll(),
// which unblocks them atomically while it waits for the descriptor.  Their
// handlers only set a bit in pending_signals.  A read finds the bits
// clear when it starts (or returns READ_ABANDONED at once: an unserved stop or resize
// must not wait behind a key), and a signal that comes while ppoll waits
// makes ppoll fail with EINTR, and the read returns READ_ABANDONED.  The read() itself
// runs with the two signals blocked, once the descriptor is known to be
// readable, so a signal can neither slip in between the check and the wait
// nor throw away bytes that were just read: it is delivered after the read
// and served by the command loop.  No long jumps are needed.
//
// SIGINT is not blocked: its handler ends the program at once, in the
// handler, restoring the terminal as the orderly exit does, but with the
// bytes prepared for it in advance (restore.cpp): a handler may interrupt
// anything, malloc and tputs included, and uses async-signal-safe calls
// only.  While following growing input the user watches and waits, and the
// interrupt key only stops the watch: the
// handler then just sets PENDING_INTERRUPT, and wait_for_input sleeps with
// SIGINT unblocked only inside ppoll, as the other two are.
//
// Every other signal whose default action ends the process (hang-up, quit,
// termination, the user and timer signals, a broken pipe, the real-time
// signals, and faults) is caught while the handlers are installed, so that
// the terminal is restored as the interrupt handler restores it; the
// handler then lets the signal take its default action, and whoever waits
// for the pager sees it killed by that signal.  A signal the environment
// made us ignore (nohup) stays ignored, and one that already has a handler
// when we start (a sanitizer's fault handlers) is left to it.  SIGTRAP is
// left alone: a debugger's breakpoints must not end the pager.
//
// While a command has the terminal those signals go back to their default
// actions, except while a temporary file is armed for removal (the mark
// listing, shown by a command): then the handler stays, removes the file and
// leaves the terminal to the command.
#include <limits.h>
#include <poll.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "terminal.h"

int keyboard_fd = 2;
volatile sig_atomic_t pending_signals;

namespace {

int empty_read_count;

// Set while following: an interrupt is caught rather than obeyed.
volatile sig_atomic_t interrupt_caught;

const int ABANDONING_SIGNALS = PENDING_STOP | PENDING_RESIZE;

sigset_t stop_and_resize()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTSTP);
    sigaddset(&set, SIGWINCH);
    return set;
}

// The signals whose default action ends the process, apart from SIGINT and
// SIGKILL (the real-time signals are added by number).
const int terminating_signals[] = {
    SIGHUP,  SIGQUIT, SIGILL,  SIGABRT,   SIGBUS,  SIGFPE,  SIGSEGV,
    SIGUSR1, SIGUSR2, SIGPIPE, SIGALRM,   SIGTERM, SIGXCPU, SIGXFSZ,
    SIGVTALRM, SIGPROF, SIGIO, SIGSYS,
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
};

// The terminating signals this program took over (see above), by number.
bool taken_over[NSIG];

// Set while a command has the terminal: a terminating signal leaves it be.
volatile sig_atomic_t terminal_handed_over;
// The file a terminating signal removes, valid while removal_armed is set.
char file_to_remove[PATH_MAX];
volatile sig_atomic_t removal_armed;

// Blocked while any handler runs: none of ours may interrupt another.
sigset_t handler_mask()
{
    sigset_t set = stop_and_resize();
    sigaddset(&set, SIGINT);
    for (int sig : terminating_signals)
        sigaddset(&set, sig);
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; sig++)
        sigaddset(&set, sig);
    return set;
}

void install(int sig, void (*handler)(int))
{
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_mask = handler_mask();
    // Other slow calls (terminal writes, waiting for a shell) simply go
    // on; the waits that a signal must cut short use ppoll, which is never
    // restarted.
    action.sa_flags = SA_RESTART;
    sigaction(sig, &action, nullptr);
}

// The interrupt key ends the pager at once, with the terminal restored and
// status 0, as the orderly exit ends it.  A background pager must not be
// stopped by SIGTTOU halfway through the restore.
void interrupt_handler(int)
{
    if (interrupt_caught) {
        pending_signals = pending_signals | PENDING_INTERRUPT;
        return;
    }
    signal(SIGTTOU, SIG_IGN);
    restore_terminal_from_signal();
    _exit(EXIT_SUCCESS);
}

// The terminal first, then the signal's own default action.
void terminate_handler(int sig)
{
    if (removal_armed)
        unlink(file_to_remove);
    if (!terminal_handed_over) {
        signal(SIGTTOU, SIG_IGN);
        restore_terminal_from_signal();
    }
    signal(sig, SIG_DFL);
    sigset_t just_this;
    sigemptyset(&just_this);
    sigaddset(&just_this, sig);
    sigprocmask(SIG_UNBLOCK, &just_this, nullptr);
    raise(sig);
    // Only a signal whose default action turned out not to end the process
    // gets here: end as the signal meant to.
    _exit(128 + sig);
}

// Takes over `sig` when its action is still the default one.
void take_over(int sig)
{
    struct sigaction current;
    if (sig <= 0 || sig >= NSIG || sigaction(sig, nullptr, &current) != 0)
        return;
    if ((current.sa_flags & SA_SIGINFO) == 0 &&
        (current.sa_handler == SIG_DFL || current.sa_handler == terminate_handler)) {
        install(sig, terminate_handler);
        taken_over[sig] = true;
    }
}

void take_over_terminating_signals()
{
    for (int sig : terminating_signals)
        take_over(sig);
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; sig++)
        take_over(sig);
}

void give_back_terminating_signals()
{
    for (int sig = 1; sig < NSIG; sig++) {
        if (taken_over[sig])
            signal(sig, SIG_DFL);
        taken_over[sig] = false;
    }
}

void stop_handler(int)
{
    pending_signals = pending_signals | PENDING_STOP;
}

// A stop or resize that came while the two signals were blocked and has
// not been delivered yet.
bool stop_or_resize_waiting()
{
    sigset_t waiting;
    return sigpending(&waiting) == 0 &&
           (sigismember(&waiting, SIGTSTP) == 1 || sigismember(&waiting, SIGWINCH) == 1);
}

// Waits until fd is readable; false when a stop or resize is pending.
// Called with SIGTSTP and SIGWINCH blocked; `unblocked` is the mask to wait
// with.  A ppoll that finds the descriptor readable at once returns without
// delivering a signal that came while they were blocked: that signal is
// looked for here, else it would arrive right after the read and the key
// just read would be dropped with the command it started.
bool wait_readable(int fd, const sigset_t *unblocked)
{
    pollfd watched{fd, POLLIN, 0};
    for (;;) {
        if (pending_signals & ABANDONING_SIGNALS)
            return false;
        if (ppoll(&watched, 1, nullptr, unblocked) >= 0)
            return !stop_or_resize_waiting();
        if (errno != EINTR)
            return true;  // an error that read() will report
    }
}

// The terminal is at end of file for good: say so the way a hang-up does.
// With SIGHUP ignored or blocked the process is still here afterwards, and
// would read an end-of-file terminal for ever: the read says so, and its
// caller takes the orderly exit.
int hang_up()
{
    kill(getpid(), SIGHUP);
    return READ_HUNG_UP;
}

}  // namespace

void winch(int)
{
    pending_signals = pending_signals | PENDING_RESIZE;
}

int read_interruptible(int fd, void *buf, int size)
{
    iovec piece = {buf, size < 0 ? 0 : static_cast<size_t>(size)};
    return readv_interruptible(fd, &piece, 1);
}

int readv_interruptible(int fd, const iovec *pieces, int count)
{
    out_flush();
    // ppoll passes over a negative descriptor and would wait for ever.
    if (fd < 0) {
        errno = EBADF;
        return -1;
    }
    sigset_t blocked = stop_and_resize(), previous;
    sigprocmask(SIG_BLOCK, &blocked, &previous);
    sigset_t unblocked = previous;
    sigdelset(&unblocked, SIGTSTP);
    sigdelset(&unblocked, SIGWINCH);
    if (!wait_readable(fd, &unblocked)) {
        sigprocmask(SIG_SETMASK, &previous, nullptr);
        return READ_ABANDONED;
    }
    ssize_t n;
    do {
        n = readv(fd, pieces, count);
    } while (n < 0 && errno == EINTR);
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    if (fd == 2) {
        empty_read_count = n == 0 ? empty_read_count + 1 : 0;
        if (empty_read_count >= 3)
            return hang_up();
    }
    return n < 0 ? -1 : static_cast<int>(n);
}

int wait_for_input(int input_fd, int timeout_ms)
{
    out_flush();
    sigset_t blocked = stop_and_resize(), previous;
    sigaddset(&blocked, SIGINT);
    sigprocmask(SIG_BLOCK, &blocked, &previous);
    sigset_t unblocked = previous;
    sigdelset(&unblocked, SIGTSTP);
    sigdelset(&unblocked, SIGWINCH);
    sigdelset(&unblocked, SIGINT);
    int result = WAIT_SIGNAL;
    if ((pending_signals & (ABANDONING_SIGNALS | PENDING_INTERRUPT)) == 0) {
        pollfd watched[2] = {{keyboard_fd, POLLIN, 0}, {input_fd, POLLIN, 0}};
        timespec limit = {timeout_ms / 1000, (timeout_ms % 1000) * 1000000L};
        int n = ppoll(watched, input_fd >= 0 ? 2 : 1, timeout_ms < 0 ? nullptr : &limit,
                      &unblocked);
        if (n < 0)
            // Any other failure is left for the read of the keyboard to meet.
            result = errno == EINTR ? WAIT_SIGNAL : WAIT_KEY;
        else if (n == 0)
            result = WAIT_TIMEOUT;
        else
            result = watched[0].revents != 0 ? WAIT_KEY : WAIT_INPUT;
    }
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    return result;
}

void catch_interrupt(int on)
{
    sigset_t blocked, previous;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    sigprocmask(SIG_BLOCK, &blocked, &previous);
    interrupt_caught = on;
    if (!on)
        pending_signals = pending_signals & ~PENDING_INTERRUPT;
    sigprocmask(SIG_SETMASK, &previous, nullptr);
}

int get_key()
{
    for (;;) {
        unsigned char key;
        int n = read_interruptible(keyboard_fd, &key, 1);
        if (n == READ_ABANDONED || n == READ_HUNG_UP)
            return n;
        if (n < 0)
            return KEY_FAILED;
        if (n == 1 && key != 0)
            return key;
    }
}

void install_signals(int on)
{
    if (on) {
        install(SIGINT, interrupt_handler);
        install(SIGTSTP, stop_handler);
        install(SIGWINCH, winch);
        take_over_terminating_signals();
        terminal_handed_over = 0;
    } else {
        signal(SIGINT, SIG_DFL);
        signal(SIGTSTP, SIG_DFL);
        signal(SIGWINCH, SIG_IGN);
        terminal_handed_over = 1;
        if (!removal_armed)
            give_back_terminating_signals();
    }
}

bool remove_at_termination(const char *path)
{
    removal_armed = 0;
    if (path == nullptr || strlen(path) >= sizeof file_to_remove)
        return path == nullptr;
    memcpy(file_to_remove, path, strlen(path) + 1);
    removal_armed = 1;
    return true;
}

namespace {

// Takes and clears `bits` of the pending bits with the two signals blocked,
// so that none arriving in between is lost.
int take_pending_signals(int bits)
{
    sigset_t blocked = stop_and_resize(), previous;
    sigprocmask(SIG_BLOCK, &blocked, &previous);
    int taken = pending_signals & bits;
    pending_signals = pending_signals & ~bits;
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    return taken;
}

// The screen is painted again even when the size is what it was: the
// window may have changed and changed back before we looked (the signals
// of both merge into one), and a terminal that was narrower or shorter
// meanwhile has dropped what did not fit.
void serve_resize()
{
    read_termcap();
    request_repaint();
}

void serve_stop()
{
    signal(SIGTTOU, SIG_IGN);
    cursor_lower_left();
    erase_to_eol();
    term_deinit();
    out_flush();
    set_tty_mode(0);
    signal(SIGTTOU, SIG_DFL);
    signal(SIGTSTP, SIG_DFL);
    kill(getpid(), SIGTSTP);
    // Continued.  A stop requested meanwhile is dropped.
    take_pending_signals(PENDING_STOP);
    install(SIGTSTP, stop_handler);
    set_tty_mode(1);
    term_init();
    request_repaint();
}

}  // namespace

void drop_pending_signals()
{
    take_pending_signals(~0);
}

void handle_pending_signals()
{
    int taken = take_pending_signals(ABANDONING_SIGNALS);
    if (taken == 0)
        return;
    if (taken & PENDING_RESIZE)
        serve_resize();
    if (taken & PENDING_STOP)
        serve_stop();
}

void signals_reset()
{
    removal_armed = 0;
    terminal_handed_over = 0;
    keyboard_fd = 2;
    pending_signals = 0;
    empty_read_count = 0;
    interrupt_caught = 0;
}
