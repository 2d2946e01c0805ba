// The output buffer, written to a real file standing in for descriptor 1,
// and to a pipe that a slow reader empties.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "display/display.h"
#include "terminal/terminal.h"
#include "test_files.h"

namespace {

TEST(OutputBuffer, WritesOnlyWhenFullOrFlushed)
{
    // After n calls of out_char, what has reached descriptor 1 before and
    // after the flush.
    struct {
        int chars;
        size_t before_flush;
    } cases[] = {{0, 0}, {1, 0}, {2048, 0}, {2049, 2048}, {4096, 2048}, {4097, 4096}};
    for (const auto &c : cases) {
        out_discard();
        fd_capture out = start_capture(1);
        std::string sent;
        for (int i = 0; i < c.chars; i++) {
            out_char('a' + i % 26);
            sent += static_cast<char>('a' + i % 26);
        }
        std::string before = captured_so_far(out);
        out_flush();
        std::string after = end_capture(out);
        EXPECT_EQ(before, sent.substr(0, c.before_flush)) << c.chars << " chars";
        EXPECT_EQ(after, sent) << c.chars << " chars";
    }
}

TEST(OutputBuffer, DiscardDropsWhatIsBuffered)
{
    out_discard();
    fd_capture out = start_capture(1);
    out_str("dropped");
    out_discard();
    out_str("kept");
    out_flush();
    EXPECT_EQ(end_capture(out), "kept");
}

TEST(OutputBuffer, FailedWriteAsksForARepaintAndLosesTheBytes)
{
    struct {
        const char *device;
        int repaint;
    } cases[] = {{"/dev/null", 0}, {"/dev/full", 1}};
    for (const auto &c : cases) {
        out_discard();
        repaint_done();
        fflush(stdout);
        int saved = dup(1);
        int device = open(c.device, O_WRONLY);
        ASSERT_GE(device, 0);
        dup2(device, 1);
        out_str("screen text");
        out_flush();
        dup2(saved, 1);
        close(saved);
        close(device);
        EXPECT_EQ(repaint_requested(), c.repaint != 0) << c.device;
        fd_capture out = start_capture(1);
        out_flush();
        EXPECT_EQ(end_capture(out), "") << "nothing is retried after " << c.device;
    }
    repaint_done();
}

// Whether the process is asleep (waiting in a system call), from /proc.
bool asleep(pid_t pid)
{
    FILE *stat = fopen(("/proc/" + std::to_string(pid) + "/stat").c_str(), "r");
    if (stat == nullptr)
        return false;
    char line[512] = "";
    bool read = fgets(line, sizeof line, stat) != nullptr;
    fclose(stat);
    const char *end_of_name = read ? strrchr(line, ')') : nullptr;
    return end_of_name != nullptr && end_of_name[1] == ' ' && end_of_name[2] == 'S';
}

// Waits (a bounded while) until `pid` sleeps; false when it never does.
bool wait_until_asleep(pid_t pid)
{
    for (int i = 0; i < 10000; i++) {
        if (asleep(pid))
            return true;
        usleep(1000);
    }
    return false;
}

void note_signal(int) {}

// The bytes the buffer is given in the test below: long enough for several
// full-buffer writes, and no two stretches alike.
std::string numbered_bytes(int count)
{
    std::string text;
    for (int i = 0; static_cast<int>(text.size()) < count; i++)
        text += std::to_string(i) + (i % 9 == 0 ? "\n" : " ");
    return text.substr(0, static_cast<size_t>(count));
}

// Descriptor 1 is a pipe that is already full when the buffer is written
// to it.  A child process lets the writer wait, interrupts the wait with a
// signal whose handler does not restart calls (when the case says so), and
// only then reads the pipe to its end, checking that every byte came, in
// order: a write cut short by a signal or refused by a full non-blocking
// descriptor is taken up again, never dropped.
TEST(OutputBuffer, EveryByteReachesASlowReaderInOrder)
{
    struct {
        const char *name;
        bool non_blocking;
        bool interrupted;
    } cases[] = {
        {"blocking descriptor, wait cut short by a signal", false, true},
        {"non-blocking descriptor", true, false},
        {"non-blocking descriptor and a signal", true, true},
    };
    const std::string sent = numbered_bytes(3 * OUT_BUFFER_SIZE + 100);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        int pipe_fds[2];
        ASSERT_EQ(pipe(pipe_fds), 0);
        fcntl(pipe_fds[1], F_SETPIPE_SZ, 4096);
        fcntl(pipe_fds[1], F_SETFL, O_NONBLOCK);
        std::string filler;
        while (write(pipe_fds[1], "f", 1) == 1)
            filler += 'f';
        if (!c.non_blocking)
            fcntl(pipe_fds[1], F_SETFL, 0);
        struct sigaction action {}, previous;
        action.sa_handler = note_signal;  // no SA_RESTART: EINTR
        sigaction(SIGUSR1, &action, &previous);
        out_discard();
        repaint_done();
        fflush(stdout);
        int saved = dup(1);
        pid_t writer = getpid();
        pid_t reader = fork();
        ASSERT_GE(reader, 0);
        if (reader == 0) {
            close(pipe_fds[1]);
            close(1);
            bool waited = wait_until_asleep(writer);
            if (c.interrupted) {
                kill(writer, SIGUSR1);
                wait_until_asleep(writer);
            }
            std::string got;
            char chunk[512];
            ssize_t n;
            while ((n = read(pipe_fds[0], chunk, sizeof chunk)) > 0)
                got.append(chunk, static_cast<size_t>(n));
            _exit(waited && got == filler + sent ? 0 : 1);
        }
        close(pipe_fds[0]);
        dup2(pipe_fds[1], 1);
        close(pipe_fds[1]);
        out_str(sent.c_str());
        out_flush();
        dup2(saved, 1);
        close(saved);
        int status = -1;
        waitpid(reader, &status, 0);
        sigaction(SIGUSR1, &previous, nullptr);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << "the reader did not get every byte in order";
        EXPECT_FALSE(repaint_requested());
    }
}

TEST(OutputBuffer, VisibleFormShowsControlBytesWithACaret)
{
    struct {
        std::string text;
        std::string shown;
        int carets;
    } cases[] = {
        {"plain text", "plain text", 0},
        {"", "", 0},
        {"a\x01z", "a^Az", 1},
        {"\x7f", "^?", 1},
        {"\t\x1b", "^I^[", 2},
        {"\x80", "^@", 1},
        {"\x81\xff", "^A^?", 2},
        {"\xc1", "^A", 1},
        {"\xe9t\xe9", "^it^i", 2},
    };
    for (const auto &c : cases) {
        out_discard();
        fd_capture out = start_capture(1);
        int carets = out_visible(c.text.c_str());
        out_flush();
        EXPECT_EQ(end_capture(out), c.shown) << c.text;
        EXPECT_EQ(carets, c.carets) << c.text;
    }
}

TEST(OutputBuffer, SinkForControlSequencesPassesTheByteThrough)
{
    out_discard();
    fd_capture out = start_capture(1);
    EXPECT_EQ(out_char_sink('\x1b'), '\x1b');
    EXPECT_EQ(out_char_sink(0xff), 0xff);
    out_flush();
    EXPECT_EQ(end_capture(out), "\x1b\xff");
}

} // namespace
