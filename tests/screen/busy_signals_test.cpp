// Signals while the pager is busy or in trouble: the interrupt key in the
// middle of a long search, a long count of lines and an endless read of a
// pipe; window changes coming faster than the pager can paint; and the
// terminal hanging up, with the hang-up signal caught or ignored.
//
// "Long" comes from sparse files (gigabytes of holes cost nothing to make
// and read fast) and from endless pipes; the keys come as soon as the work
// is seen under way, by the bytes the pager has read (/proc/PID/io).
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "pager_session.h"

namespace {

const int BOTTOM = 23;


// User and system time of the process in clock ticks; -1 once it is gone.
long cpu_ticks(pid_t pid)
{
    std::string stat = read_file("/proc/" + std::to_string(pid) + "/stat");
    size_t end_of_name = stat.rfind(')');
    if (end_of_name == std::string::npos)
        return -1;
    char state;
    long utime, stime;
    // fields after the name: state, then ten numbers, then utime and stime
    if (sscanf(stat.c_str() + end_of_name + 1,
               " %c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %ld %ld", &state, &utime,
               &stime) != 3 || state == 'Z')
        return -1;
    return utime + stime;
}

// A file of one short line and then a hole of 64 GiB: no newline, no
// match, nothing but NULs for as far as anything will ever read.
std::string sparse_file(const temp_home &dir)
{
    std::string path = dir.path + "/sparse";
    dir.write("sparse", "first line\n");
    EXPECT_EQ(truncate(path.c_str(), 64LL << 30), 0);
    return path;
}

// The interrupt key ends the work and the pager, with status 0 and the
// terminal as it was, whatever the pager was doing.
TEST(BusySignals, InterruptEndsLongWork)
{
    struct {
        const char *name;
        const char *command;    // run by sh with the pager as $0
        const char *keys;
    } cases[] = {
        {"search through a hole", "exec \"$0\" sparse", "/needle\n"},
        {"backward search from its end", "exec \"$0\" sparse", "G?needle\n"},
        {"count of lines to a far line", "exec \"$0\" sparse", "1000000g"},
        // (through a named pipe, so that the pager is the process started)
        {"jump to the end of a pipe that never ends", "yes > pipe & exec \"$0\" < pipe", "G"},
        {"a pipe of NULs that never ends", "cat /dev/zero > pipe & exec \"$0\" < pipe", "G"},
        {"NULs without end on standard input", "exec \"$0\" < /dev/zero", "G"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        temp_home dir;
        sparse_file(dir);
        ASSERT_EQ(mkfifo((dir.path + "/pipe").c_str(), 0600), 0);
        vt_options options;
        options.program = "/bin/sh";
        auto s = start_in_dir(dir, {"-c", c.command, VORN_BINARY}, options);
        ASSERT_TRUE(s);
        ASSERT_TRUE(vt_wait(*s, [](vt_session &v) { return !vt_row(v, BOTTOM).empty(); }))
            << vt_screen(*s);
        long long before = bytes_read(*s);
        play(*s, c.keys);
        // Under way: 64 MiB read since the keys were typed.
        EXPECT_TRUE(wait_for(*s, [&] { return bytes_read(*s) > before + (64 << 20); }))
            << "read " << bytes_read(*s) - before << "\n" << vt_screen(*s);
        interrupt_and_check(*s);
    }
}

// A terminating signal in the middle of long work (the main flow anywhere
// in a search) gives the terminal back from the handler itself: settings as
// they were, the pager's screen taken away by the terminal-end sequence,
// and the pager killed by that signal.
TEST(BusySignals, TerminatingSignalDuringLongWorkRestoresTheTerminal)
{
    for (int sig : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(strsignal(sig));
        temp_home dir;
        sparse_file(dir);
        auto s = start_in_dir(dir, {"sparse"});
        ASSERT_TRUE(s);
        ASSERT_ROW(*s, 0, "first line");
        long long before = bytes_read(*s);
        play(*s, "/needle\n");
        EXPECT_TRUE(wait_for(*s, [&] { return bytes_read(*s) > before + (64 << 20); }));
        vt_signal(*s, sig);
        EXPECT_EQ(vt_wait_exit(*s), sig == SIGINT ? 0 : 128 + sig);
        EXPECT_TRUE(terminal_restored(*s));
        for (int row = 0; row < BOTTOM; row++)
            EXPECT_EQ(vt_row(*s, row), "") << "row " << row << "\n" << vt_screen(*s);
    }
}

// Consecutive lines from the top row down; after the last line of the
// file (`last`) the rows are empty: a window that grew keeps its top line,
// so the end can leave the screen part empty.
bool consecutive_lines(vt_session &s, int rows, int last)
{
    int first = 0;
    if (sscanf(vt_row(s, 0).c_str(), "line %d", &first) != 1)
        return false;
    for (int row = 1; row < rows - 1; row++) {
        int line = first + row;
        if (vt_row(s, row) != (line <= last ? "line " + std::to_string(line) : ""))
            return false;
    }
    return true;
}

// Window changes in a tight loop, between keys that scroll: once the
// changes stop, the next prompt stands under the right screen for the
// last size, the same screen that a repaint gives.  A key typed just
// before a change is dropped with it, so the last moves may not happen:
// the screen may be the end of the file left part empty by a taller
// window, whose long prompt has no byte offset.
TEST(BusySignals, WindowChangesDuringScrollingLeaveTheRightScreen)
{
    temp_home dir;
    dir.write("lines.txt", numbered_text(1, 3000));
    auto s = start_in_dir(dir, {"-e", "lines.txt"});
    ASSERT_TRUE(s);
    ASSERT_ROW(*s, 0, "line 1");
    const std::pair<int, int> sizes[] = {{15, 50}, {40, 120}, {10, 30}, {24, 80}, {33, 70}};
    // Long moves too, so that changes come while rows are being painted.
    const char *keys[] = {"j", " ", "b", "d", "200j", "u", "f", "G", "g"};
    for (int i = 0; i < 135; i++) {
        vt_resize(*s, sizes[i % 5].first, sizes[i % 5].second);
        vt_type(*s, keys[i % 9]);
    }
    const int rows = 30;
    vt_resize(*s, rows, 100);
    play(*s, "=");
    ASSERT_TRUE(vt_row_has(*s, rows - 1, "lines.txt: file 1/1 line"));
    EXPECT_TRUE(consecutive_lines(*s, rows, 3000)) << vt_screen(*s);
    std::vector<std::string> shown;
    for (int row = 0; row < rows - 1; row++)
        shown.push_back(vt_row(*s, row));
    play(*s, "<^L>=");
    ASSERT_TRUE(vt_wait(*s, [&](vt_session &v) {
        return vt_row(v, rows - 1).find(": file 1/1") == std::string::npos &&
               vt_row(v, rows - 1).find("lines.txt") != std::string::npos;
    })) << vt_screen(*s);
    for (int row = 0; row < rows - 1; row++)
        EXPECT_EQ(vt_row(*s, row), shown[row]) << "row " << row << "\n" << vt_screen(*s);
    vt_type(*s, "q");
    EXPECT_EQ(vt_wait_exit(*s), 0);
}

// Whether the process waits in a write (to a terminal that takes no more).
bool waiting_in_write(pid_t pid)
{
    long number = -1;
    std::string call = read_file("/proc/" + std::to_string(pid) + "/syscall");
    return sscanf(call.c_str(), "%ld", &number) == 1 && number == SYS_write;
}

// Line n of the styled file: its number, then letters in bold and
// underline by turns, made by overstriking.
char styled_letter(int line, int index)
{
    return static_cast<char>('a' + (line + index) % 26);
}
const int STYLED_LETTERS = 36;

std::string styled_lines(int count)
{
    std::string text;
    for (int line = 1; line <= count; line++) {
        char number[16];
        snprintf(number, sizeof number, "%5d ", line);
        text += number;
        for (int i = 0; i < STYLED_LETTERS; i++) {
            char letter = styled_letter(line, i);
            text += i % 2 == 0 ? std::string{letter, '\b', letter} : std::string{'_', '\b', letter};
        }
        text += '\n';
    }
    return text;
}

// Rows 0 to rows-2 show consecutive lines of the styled file, each letter
// with its own attribute and nothing else on the row.
::testing::AssertionResult styled_screen(vt_session &s, int rows)
{
    int first = 0;
    if (sscanf(vt_row(s, 0).c_str(), "%d", &first) != 1)
        return ::testing::AssertionFailure() << "no line on the top row\n" << vt_screen(s);
    for (int row = 0; row < rows - 1; row++) {
        int line = first + row;
        char number[16];
        snprintf(number, sizeof number, "%5d ", line);
        std::string expected = number;
        for (int i = 0; i < STYLED_LETTERS; i++)
            expected += styled_letter(line, i);
        if (vt_row(s, row) != expected)
            return ::testing::AssertionFailure() << "row " << row << "\n" << vt_screen(s);
        for (int col = 0; col < static_cast<int>(expected.size()); col++) {
            int index = col - 6;
            vt_attrs a = vt_attr(s, row, col);
            bool bold = index >= 0 && index % 2 == 0, underline = index >= 0 && index % 2 == 1;
            if (a.bold != bold || a.underline != underline || a.reverse)
                return ::testing::AssertionFailure()
                       << "row " << row << " column " << col << ": bold " << a.bold
                       << " underline " << a.underline << " reverse " << a.reverse << "\n"
                       << vt_screen(s);
        }
    }
    return ::testing::AssertionSuccess();
}

// Waits for such a screen; the failure describes the screen at the end.
::testing::AssertionResult shows_styled_page(vt_session &s, int rows, int timeout_ms = 5000)
{
    vt_wait(s, [&](vt_session &v) { return bool(styled_screen(v, rows)); }, timeout_ms);
    return styled_screen(s, rows);
}

// The terminal takes the pager's output slowly (nothing reads it for a
// while), so the pager's writes wait, and window changes come in the middle
// of them.  Every byte must still arrive, whole and in order, and the
// repaint for the last size come after all of it: once the terminal reads
// again, the screen is exactly the page for the last size, every cell with
// its attribute (a sequence cut short and completed by the next bytes would
// show as a wrong attribute or stray text).
TEST(BusySignals, WindowChangesWhileTheTerminalIsSlowLoseNoOutput)
{
    temp_home dir;
    dir.write("styled.txt", styled_lines(3000));
    auto s = start_in_dir(dir, {"-e", "styled.txt"});
    ASSERT_TRUE(s);
    ASSERT_TRUE(shows_styled_page(*s, 24));
    s->reader_stalled = true;
    const std::pair<int, int> sizes[] = {{20, 70}, {30, 100}, {16, 60}, {26, 90}};
    for (int round = 0; round < 3; round++) {
        for (const auto &size : sizes) {
            // Pages until the terminal takes no more and the pager waits.
            for (int page = 0; page < 40 && !waiting_in_write(s->vorn_pid); page++) {
                vt_type(*s, " ");
                wait_for(*s, [&] { return waiting_in_write(s->vorn_pid); }, 200);
            }
            ASSERT_TRUE(waiting_in_write(s->vorn_pid)) << "the pager never waited to write";
            vt_resize(*s, size.first, size.second);
        }
    }
    const int rows = 28;
    vt_resize(*s, rows, 96);
    s->reader_stalled = false;
    play(*s, "=");
    ASSERT_TRUE(vt_row_has(*s, rows - 1, "byte", 20000));
    EXPECT_TRUE(shows_styled_page(*s, rows));
    vt_type(*s, "q");
    EXPECT_EQ(vt_wait_exit(*s), 0);
}

// The terminal hangs up (the pty closes) while the pager waits for a key,
// at a message, or in the middle of a typed answer: it ends soon, with
// little work done meanwhile, by the hang-up signal or, with that signal
// ignored, in order.
TEST(BusySignals, HangUpEndsThePagerWithoutSpinning)
{
    struct {
        const char *name;
        const char *keys;
        const char *bottom;     // what the bottom row shows before
    } states[] = {
        {"waiting for a key", "", "lines.txt"},
        {"at a message", ":emissing<enter>", "(press RETURN)"},
        {"typing an answer", ":emiss", "Examine: miss"},
    };
    for (const auto &state : states) {
        for (bool ignored : {false, true}) {
            SCOPED_TRACE(std::string(state.name) + (ignored ? ", SIGHUP ignored" : ""));
            temp_home dir;
            dir.write("lines.txt", numbered_text(1, 100));
            vt_options options;
            options.ignore_sighup = ignored;
            auto s = start_in_dir(dir, {"lines.txt"}, options);
            ASSERT_TRUE(s);
            ASSERT_ROW(*s, 0, "line 1");
            play(*s, state.keys);
            ASSERT_ROW_HAS(*s, BOTTOM, state.bottom);
            long start = cpu_ticks(s->vorn_pid), last = start;
            vt_hangup(*s);
            pid_t pid = s->vorn_pid;
            wait_for(*s, [&] {
                long now = cpu_ticks(pid);
                if (now < 0)
                    return true;
                last = now;
                return false;
            });
            EXPECT_EQ(vt_wait_exit(*s), ignored ? 0 : 128 + SIGHUP);
            // A pager spinning on the dead terminal would use up its time.
            EXPECT_LT(last - start, sysconf(_SC_CLK_TCK) / 2);
        }
    }
}

}  // namespace
