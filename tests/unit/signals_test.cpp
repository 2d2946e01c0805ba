// Interruptible reads, keys, and the follow-up of the stop and resize
// signals, in-process.  The stop itself (the process really stopping) is
// covered by the screen tests.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <optional>

#include "command/command.h"
#include "display/display.h"
#include "language/language.h"
#include "terminal/terminal.h"
#include "terminal_fixture.h"

namespace {

struct pipe_pair {
    int fds[2] = {-1, -1};
    pipe_pair() { EXPECT_EQ(pipe(fds), 0); }
    ~pipe_pair()
    {
        for (int fd : fds)
            if (fd >= 0)
                close(fd);
    }
    void put(const std::string &bytes)
    {
        ASSERT_EQ(write(fds[1], bytes.data(), bytes.size()),
                  static_cast<ssize_t>(bytes.size()));
    }
};

bool handler_installed(int sig)
{
    struct sigaction action;
    sigaction(sig, nullptr, &action);
    return action.sa_handler != SIG_DFL && action.sa_handler != SIG_IGN;
}

struct signals_installed {
    signals_installed()
    {
        pending_signals = 0;
        install_signals(1);
    }
    ~signals_installed()
    {
        install_signals(0);
        pending_signals = 0;
    }
};

// The signal comes from another process while the read waits for data
// that is not there.  Should the read not give up, the helper feeds it a
// byte after a while, so that a fault shows as a failure, not a hang.
TEST(ReadInterruptible, StopOrResizeAbandonsABlockedRead)
{
    struct {
        int sig, bit;
    } cases[] = {{SIGWINCH, PENDING_RESIZE}, {SIGTSTP, PENDING_STOP}};
    for (auto c : cases) {
        SCOPED_TRACE(strsignal(c.sig));
        signals_installed installed;
        ASSERT_TRUE(handler_installed(c.sig));  // else SIGTSTP stops us
        pipe_pair data, done;
        pid_t helper = fork();
        if (helper == 0) {
            kill(getppid(), c.sig);
            pollfd returned{done.fds[0], POLLIN, 0};
            poll(&returned, 1, 10000);
            (void)!write(data.fds[1], "x", 1);
            _exit(0);
        }
        char byte;
        int result = read_interruptible(data.fds[0], &byte, 1);
        done.put("d");
        waitpid(helper, nullptr, 0);
        EXPECT_EQ(result, READ_ABANDONED);
        EXPECT_EQ(pending_signals, c.bit);
    }
}

TEST(ReadInterruptible, ReadsDataAndReportsErrors)
{
    signals_installed installed;
    pipe_pair data;
    data.put("abc");
    char buffer[8];
    EXPECT_EQ(read_interruptible(data.fds[0], buffer, sizeof buffer), 3);
    EXPECT_EQ(std::string(buffer, 3), "abc");
    close(data.fds[1]);
    data.fds[1] = -1;
    EXPECT_EQ(read_interruptible(data.fds[0], buffer, sizeof buffer), 0);
    int write_only = open("/dev/null", O_WRONLY);
    EXPECT_EQ(read_interruptible(write_only, buffer, sizeof buffer), -1);
    close(write_only);
    EXPECT_EQ(pending_signals, 0);
}

// A descriptor that is not open (a closed input, no keyboard) is an error
// at once: poll ignores a negative descriptor and would wait for ever.
// The alarm ends the test program if the read waits.
TEST(ReadInterruptible, NoDescriptorIsAnErrorNotAWait)
{
    signals_installed installed;
    char buffer[8];
    signal(SIGALRM, SIG_DFL);
    alarm(20);
    EXPECT_EQ(read_interruptible(-1, buffer, sizeof buffer), -1);
    int closed = dup(0);
    close(closed);
    EXPECT_EQ(read_interruptible(closed, buffer, sizeof buffer), -1);
    alarm(0);
}

// A resize that came while it was blocked (a ppoll finding the key at once
// would not deliver it): the read gives up without taking the key, which
// the next read gets once the resize is served.
TEST(ReadInterruptible, BlockedResizeLeavesTheKeyUnread)
{
    signals_installed installed;
    pipe_pair data;
    data.put("k");
    sigset_t resize, previous;
    sigemptyset(&resize);
    sigaddset(&resize, SIGWINCH);
    sigprocmask(SIG_BLOCK, &resize, &previous);
    raise(SIGWINCH);
    char byte = 0;
    int result = read_interruptible(data.fds[0], &byte, 1);
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    // (had the key been taken, the next read would wait for ever)
    ASSERT_EQ(result, READ_ABANDONED);
    EXPECT_EQ(pending_signals, PENDING_RESIZE);
    pending_signals = 0;
    EXPECT_EQ(read_interruptible(data.fds[0], &byte, 1), 1);
    EXPECT_EQ(byte, 'k');
}

// A stop or resize not yet served does not wait behind the next key.
TEST(ReadInterruptible, UnservedSignalReturnsAtOnceAndKeepsTheData)
{
    signals_installed installed;
    pipe_pair data;
    data.put("abc");
    for (int bit : {PENDING_RESIZE, PENDING_STOP}) {
        pending_signals = bit;
        char byte;
        EXPECT_EQ(read_interruptible(data.fds[0], &byte, 1), READ_ABANDONED);
    }
    pending_signals = 0;
    char byte = 0;
    EXPECT_EQ(read_interruptible(data.fds[0], &byte, 1), 1);
    EXPECT_EQ(byte, 'a');
}

// The wait of following: the keyboard before the input, the input, the
// time running out, and a pending signal at once.
TEST(WaitForInput, ReportsWhatCameFirst)
{
    signals_installed installed;
    pipe_pair keys, input;
    int saved_keyboard = keyboard_fd;
    keyboard_fd = keys.fds[0];
    EXPECT_EQ(wait_for_input(input.fds[0], 10), WAIT_TIMEOUT);
    EXPECT_EQ(wait_for_input(-1, 0), WAIT_TIMEOUT);
    input.put("i");
    EXPECT_EQ(wait_for_input(input.fds[0], -1), WAIT_INPUT);
    EXPECT_EQ(wait_for_input(-1, 10), WAIT_TIMEOUT) << "the input is not watched";
    keys.put("k");
    EXPECT_EQ(wait_for_input(input.fds[0], -1), WAIT_KEY);
    for (int bit : {PENDING_RESIZE, PENDING_STOP}) {
        pending_signals = bit;
        EXPECT_EQ(wait_for_input(input.fds[0], -1), WAIT_SIGNAL);
    }
    pending_signals = 0;
    keyboard_fd = saved_keyboard;
}

// While caught, the interrupt key ends a wait with PENDING_INTERRUPT and
// no exit; catching it no more drops the bit.  Should the wait not give
// up, the helper feeds the keyboard after a while: a fault shows as a
// failure, not a hang.
TEST(WaitForInput, CaughtInterruptEndsTheWaitWithoutEnding)
{
    signals_installed installed;
    pipe_pair keys, done;
    int saved_keyboard = keyboard_fd;
    keyboard_fd = keys.fds[0];
    catch_interrupt(1);
    pid_t helper = fork();
    if (helper == 0) {
        kill(getppid(), SIGINT);
        pollfd returned{done.fds[0], POLLIN, 0};
        poll(&returned, 1, 10000);
        (void)!write(keys.fds[1], "x", 1);
        _exit(0);
    }
    int seen = wait_for_input(-1, -1);
    done.put("d");
    waitpid(helper, nullptr, 0);
    EXPECT_EQ(seen, WAIT_SIGNAL);
    EXPECT_EQ(pending_signals, PENDING_INTERRUPT);
    catch_interrupt(0);
    EXPECT_EQ(pending_signals, 0);
    keyboard_fd = saved_keyboard;
}

TEST(GetKey, SkipsNulBytesAndReturnsUnsignedValues)
{
    struct {
        std::string typed;
        int key;
    } cases[] = {{std::string("\0\0x", 3), 'x'},
                 {"\xff", 255},
                 {"\x01", 1}};
    pipe_pair keys;
    int saved_keyboard = keyboard_fd;
    keyboard_fd = keys.fds[0];
    for (const auto &c : cases) {
        keys.put(c.typed);
        EXPECT_EQ(get_key(), c.key);
    }
    keyboard_fd = saved_keyboard;
}

// The run cannot go on without a keyboard.  The terminal layer says so
// (a failed read, or a terminal that hung up) and returns; the command
// layer's read_key ends the run: a failed read as a failure, status 1, a
// hang-up in order, status 0.  Descriptor 2 at end of file: after the
// third empty read the program hangs itself up; with SIGHUP ignored it
// must still end.
TEST(GetKeyDeathTest, NoKeyboardEndsTheRun)
{
    struct {
        const char *name;
        bool hang_up;           // descriptor 2 at its end, else unreadable
        bool ignore_hang_up;    // SIGHUP ignored
        int key;                // what get_key says
        int status;             // how read_key ends the run
    } cases[] = {
        {"read error", false, false, KEY_FAILED, 1},
        {"hang-up, SIGHUP ignored", true, true, KEY_HUNG_UP, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        auto no_keyboard = [&] {
            if (c.ignore_hang_up)
                signal(SIGHUP, SIG_IGN);
            if (c.hang_up) {
                int null = open("/dev/null", O_RDONLY);
                dup2(null, 2);
                keyboard_fd = 2;
            } else {
                keyboard_fd = open("/dev/null", O_WRONLY);
            }
        };
        EXPECT_EXIT(
            {
                no_keyboard();
                _exit(get_key() == c.key ? 7 : 9);
            },
            ::testing::ExitedWithCode(7), "");
        EXPECT_EXIT(
            {
                no_keyboard();
                read_key();
                _exit(9);
            },
            ::testing::ExitedWithCode(c.status), "");
    }
    EXPECT_EXIT(
        {
            int null = open("/dev/null", O_RDONLY);
            dup2(null, 2);
            keyboard_fd = 2;
            read_key();
            _exit(9);
        },
        ::testing::KilledBySignal(SIGHUP), "");
}

std::string variable(const char *name)
{
    const char *value = lookup_variable(name, strlen(name));
    return value ? value : "(unset)";
}

// Every window change repaints, one that leaves the size as it was too:
// the window may have been smaller in between (see serve_resize).
TEST(HandlePendingSignals, ResizeRereadsTheSizeAndRepaints)
{
    struct {
        int rows, cols;
    } cases[] = {{40, 100}, {40, 100}, {40, 60}, {25, 60}};
    env_override env;
    env.set("TERMINFO", test_terminfo_dir());
    env.set("TERM", "vorn-sg");
    fd2_replacement window(30, 90);
    read_termcap();
    signals_installed installed;
    for (auto c : cases) {
        SCOPED_TRACE(std::to_string(c.rows) + "x" + std::to_string(c.cols));
        window.resize(c.rows, c.cols);
        repaint_done();
        raise(SIGWINCH);
        EXPECT_EQ(pending_signals, PENDING_RESIZE);
        handle_pending_signals();
        EXPECT_EQ(pending_signals, 0);
        EXPECT_EQ(screen_height, c.rows);
        EXPECT_EQ(screen_width, c.cols);
        EXPECT_TRUE(repaint_requested());
        EXPECT_EQ(variable("_sc_height"), std::to_string(c.rows - 1));
        EXPECT_EQ(variable("_sc_width"), std::to_string(c.cols));
    }
}

TEST(HandlePendingSignals, NothingPendingDoesNothing)
{
    pending_signals = 0;
    repaint_done();
    int height = screen_height;
    EXPECT_EQ(capture_output(handle_pending_signals), "");
    EXPECT_FALSE(repaint_requested());
    EXPECT_EQ(screen_height, height);
}

}  // namespace
