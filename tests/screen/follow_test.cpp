// Following growing input: a file the test appends to, cuts short or
// replaces under its name, and a pipe whose writer is slow, all watched
// with F or -F; what stops following (any key, the interrupt key) and what
// does not end the program (either of them, the end of the text); a search
// after following; the pager's CPU time while it waits.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "pager_session.h"

namespace {

const char waiting[] = "waiting for data (any key or interrupt stops)";

// The pager on g.txt (written with `text`) in `dir`, with `args` before the
// name and `env` added.
vt_ptr start_on(const temp_home &dir, const std::string &text,
                const std::vector<std::string> &args,
                const std::vector<std::pair<std::string, std::string>> &env = {})
{
    dir.write("g.txt", text);
    std::vector<std::string> with_name = args;
    with_name.push_back("g.txt");
    vt_options options;
    options.env = env;
    return start_in_dir(dir, with_name, options);
}

// Following g.txt: the bottom line waits, with the number of the last line.
::testing::AssertionResult waiting_at(vt_session &s, int line, const std::string &name = "g.txt")
{
    return vt_row_is(s, 23, name + " line " + std::to_string(line) + ": " + waiting);
}

// The CPU time (user and system, in clock ticks) the pager has used.
long cpu_ticks(vt_session &s)
{
    std::ifstream in("/proc/" + std::to_string(s.vorn_pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // the fields after the command name, which is in parentheses
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    long utime = -1, stime = -1;
    for (int i = 3; fields >> field; i++) {
        if (i == 14)
            utime = std::stol(field);
        if (i == 15) {
            stime = std::stol(field);
            break;
        }
    }
    return utime < 0 || stime < 0 ? -1 : utime + stime;
}

// The key F, the option -F, the option in VORN and `follow` in a script
// all start following:
// the end shows, and lines appended appear at the bottom, scrolling, with
// the line number of the last one on the waiting line; more than a
// screenful at once shows the new end.
TEST(Follow, AppendedLinesAppearAndTheBottomLineCountsThem)
{
    struct {
        const char *name;
        std::vector<std::string> args;
        std::vector<std::pair<std::string, std::string>> env;
        const char *keys;
        const char *script;     // ~/.vornrc
    } cases[] = {
        {"key F", {"-e"}, {}, "F", ""},
        {"option -F", {"-F"}, {}, "", ""},
        {"VORN=-F", {}, {{"VORN", "-F"}}, "", ""},
        {"follow in ~/.vornrc", {}, {}, "", "follow\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        temp_home dir;
        dir.write(".vornrc", c.script);
        auto s = start_on(dir, numbered_text(1, 30), c.args, c.env);
        ASSERT_TRUE(s);
        play(*s, c.keys);
        ASSERT_TRUE(waiting_at(*s, 30));
        EXPECT_ROW(*s, 22, "line 30");
        EXPECT_ROW(*s, 0, "line 8");
        append_to_file(dir.path + "/g.txt", numbered_text(31, 33));
        ASSERT_TRUE(waiting_at(*s, 33));
        EXPECT_ROW(*s, 22, "line 33");
        EXPECT_ROW(*s, 21, "line 32");
        EXPECT_ROW(*s, 0, "line 11");
        append_to_file(dir.path + "/g.txt", numbered_text(34, 200));
        ASSERT_TRUE(waiting_at(*s, 200));
        EXPECT_ROW(*s, 22, "line 200");
        EXPECT_ROW(*s, 0, "line 178");
        vt_type(*s, "q");     // stops following; then quits
        ASSERT_TRUE(vt_row_is(*s, 23, "g.txt: END"));
        vt_type(*s, "q");
        EXPECT_EQ(vt_wait_exit(*s), 0);
    }
}

// A line written in two pieces shows whole once its end comes, and a line
// longer than the window takes the rows it wraps over.
TEST(Follow, LinesWrittenInPiecesAndLongLines)
{
    temp_home dir;
    auto s = start_on(dir, numbered_text(1, 30), {"-F"});
    ASSERT_TRUE(s);
    ASSERT_TRUE(waiting_at(*s, 30));
    append_to_file(dir.path + "/g.txt", "hal");
    ASSERT_TRUE(vt_row_is(*s, 22, "hal"));
    append_to_file(dir.path + "/g.txt", "ves\n");
    ASSERT_TRUE(vt_row_is(*s, 22, "halves"));
    EXPECT_ROW(*s, 21, "line 30");
    append_to_file(dir.path + "/g.txt", std::string(200, 'x') + "\nline 33\n");
    ASSERT_TRUE(waiting_at(*s, 33));
    EXPECT_ROW(*s, 22, "line 33");
    EXPECT_ROW(*s, 21, std::string(40, 'x'));
    EXPECT_ROW(*s, 20, std::string(80, 'x'));
    EXPECT_ROW(*s, 19, std::string(80, 'x'));
    EXPECT_ROW(*s, 18, "halves");
    vt_type(*s, "qq");
    EXPECT_EQ(vt_wait_exit(*s), 0);
}

// Any key and the interrupt key stop following; neither ends the program,
// nor does the end of the text without -e.  The view is ordinary paging
// at the end: the long prompt counts the lines, text that comes later is
// not shown until asked for, and the interrupt key ends the program again.
TEST(Follow, AnyKeyOrTheInterruptKeyStopsWithoutEnding)
{
    struct {
        const char *name;
        const char *stop;   // "<^C>" is the interrupt key
    } cases[] = {{"a key", "x"}, {"the interrupt key", "<^C>"}, {"space", " "}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        temp_home dir;
        auto s = start_on(dir, numbered_text(1, 30), {"-F"});
        ASSERT_TRUE(s);
        ASSERT_TRUE(waiting_at(*s, 30));
        append_to_file(dir.path + "/g.txt", numbered_text(31, 31));
        ASSERT_TRUE(waiting_at(*s, 31));
        play(*s, c.stop);
        ASSERT_TRUE(vt_row_is(*s, 23, "g.txt: END"));
        append_to_file(dir.path + "/g.txt", numbered_text(32, 32));
        play(*s, "=");
        ASSERT_TRUE(vt_row_has(*s, 23, "line 31 col 0"));
        EXPECT_ROW(*s, 22, "line 31");
        // following again shows what came meanwhile
        play(*s, "F");
        ASSERT_TRUE(waiting_at(*s, 32));
        EXPECT_ROW(*s, 22, "line 32");
        vt_key(*s, "^C");
        ASSERT_TRUE(vt_row_has(*s, 23, "g.txt: file 1/1 line 32"));
        vt_key(*s, "^C");
        EXPECT_EQ(vt_wait_exit(*s), 0);
    }
}

// A window change and a stop with its continue while following: the end is
// shown again in the new window, and following goes on.
TEST(Follow, WindowChangeAndSuspendWhileFollowing)
{
    temp_home dir;
    auto s = start_on(dir, numbered_text(1, 50), {"-F"});
    ASSERT_TRUE(s);
    ASSERT_TRUE(waiting_at(*s, 50));
    vt_resize(*s, 30, 80);
    ASSERT_TRUE(vt_row_has(*s, 29, std::string("g.txt line 50: ") + waiting));
    EXPECT_ROW(*s, 28, "line 50");
    EXPECT_ROW(*s, 0, "line 22");
    vt_signal(*s, SIGTSTP);
    ASSERT_TRUE(vt_wait_stopped(*s)) << vt_screen(*s);
    append_to_file(dir.path + "/g.txt", numbered_text(51, 52));
    vt_signal(*s, SIGCONT);
    ASSERT_TRUE(vt_row_has(*s, 29, std::string("g.txt line 52: ") + waiting));
    EXPECT_ROW(*s, 28, "line 52");
    append_to_file(dir.path + "/g.txt", numbered_text(53, 53));
    ASSERT_TRUE(vt_row_has(*s, 29, "g.txt line 53: "));
    EXPECT_ROW(*s, 28, "line 53");
    EXPECT_ROW(*s, 27, "line 52");
    vt_type(*s, "q");
    ASSERT_TRUE(vt_row_is(*s, 29, "g.txt: END"));
    vt_type(*s, "q");
    EXPECT_EQ(vt_wait_exit(*s), 0);
}

// A file cut short while followed (rotated by copy and truncate) is shown
// again from its new beginning, with a note, and its new lines follow,
// numbered from 1.
TEST(Follow, TruncatedFileStartsAgainFromItsBeginning)
{
    temp_home dir;
    auto s = start_on(dir, numbered_text(1, 100), {"-F"});
    ASSERT_TRUE(s);
    ASSERT_TRUE(waiting_at(*s, 100));
    {
        std::ofstream cut(dir.path + "/g.txt", std::ios::binary | std::ios::trunc);
        cut << "fresh 1\n";
    }
    // (the pager may see the empty file first: the number may come later)
    ASSERT_TRUE(vt_row_is(*s, 23, std::string("g.txt line 1: file truncated; ") + waiting));
    EXPECT_ROW(*s, 0, "fresh 1");
    EXPECT_ROW(*s, 1, "");
    append_to_file(dir.path + "/g.txt", numbered_text(2, 3, "fresh"));
    ASSERT_TRUE(vt_row_is(*s, 23, std::string("g.txt line 3: file truncated; ") + waiting));
    EXPECT_ROW(*s, 0, "fresh 1");
    EXPECT_ROW(*s, 2, "fresh 3");
    vt_type(*s, "x");
    ASSERT_TRUE(vt_row_is(*s, 23, "g.txt: END"));
    EXPECT_ROW(*s, 3, "");
    vt_type(*s, "q");
    EXPECT_EQ(vt_wait_exit(*s), 0);
}

// A file replaced under its name (rotated by rename): with following by
// name (-W, VORN, or the follow_name command in a script) the new file is
// opened and followed; without it the old file, still growing under
// another name, stays the one followed.
TEST(Follow, ReplacedFileIsReopenedWhenFollowingByName)
{
    struct {
        const char *name;
        std::vector<std::string> args;
        std::vector<std::pair<std::string, std::string>> env;
        const char *script;     // ~/.vornrc
    } by_name[] = {
        {"option -W", {"-F", "-W"}, {}, ""},
        {"VORN=-FW", {}, {{"VORN", "-FW"}}, ""},
        {"follow_name on", {"-F"}, {}, "follow_name on\n"},
    };
    for (const auto &c : by_name) {
        SCOPED_TRACE(c.name);
        temp_home dir;
        dir.write(".vornrc", c.script);
        auto s = start_on(dir, numbered_text(1, 40, "old"), c.args, c.env);
        ASSERT_TRUE(s);
        ASSERT_TRUE(waiting_at(*s, 40));
        dir.write("g.new", numbered_text(1, 2, "new"));
        ASSERT_EQ(rename((dir.path + "/g.new").c_str(), (dir.path + "/g.txt").c_str()), 0);
        ASSERT_TRUE(vt_row_is(*s, 23, std::string("g.txt line 2: file replaced; ") + waiting));
        EXPECT_ROW(*s, 0, "new 1");
        EXPECT_ROW(*s, 1, "new 2");
        append_to_file(dir.path + "/g.txt", numbered_text(3, 3, "new"));
        ASSERT_TRUE(vt_row_has(*s, 23, "g.txt line 3: file replaced; "));
        EXPECT_ROW(*s, 2, "new 3");
        vt_type(*s, "q");
        vt_type(*s, "q");
        EXPECT_EQ(vt_wait_exit(*s), 0);
    }
    {
        SCOPED_TRACE("by descriptor");
        temp_home dir;
        auto s = start_on(dir, numbered_text(1, 40, "old"), {"-F"});
        ASSERT_TRUE(s);
        ASSERT_TRUE(waiting_at(*s, 40));
        ASSERT_EQ(link((dir.path + "/g.txt").c_str(), (dir.path + "/g.old").c_str()), 0);
        dir.write("g.new", numbered_text(1, 2, "new"));
        ASSERT_EQ(rename((dir.path + "/g.new").c_str(), (dir.path + "/g.txt").c_str()), 0);
        append_to_file(dir.path + "/g.old", numbered_text(41, 41, "old"));
        ASSERT_TRUE(waiting_at(*s, 41));
        EXPECT_ROW(*s, 22, "old 41");
        vt_type(*s, "q");
        vt_type(*s, "q");
        EXPECT_EQ(vt_wait_exit(*s), 0);
    }
}

// Standard input from a writer that writes a line at a time (one of them
// in two pieces) and then closes the pipe: each line shows as it comes,
// the closing ends the waiting with a message, and the program stays.
TEST(Follow, SlowPipeShowsLinesAsWrittenAndItsClosingEndsTheWait)
{
    vt_options options;
    options.args = {"-F"};
    options.stdin_pipe = true;
    options.stdin_keep_open = true;
    vt_ptr s = vt_start(options);
    ASSERT_TRUE(s);
    ASSERT_TRUE(vt_row_is(*s, 23, std::string("stdin: ") + waiting));
    vt_stdin_write(*s, "slow 1\n");
    ASSERT_TRUE(waiting_at(*s, 1, "stdin"));
    EXPECT_ROW(*s, 0, "slow 1");
    vt_stdin_write(*s, "slow 2\nhal");
    ASSERT_TRUE(vt_row_is(*s, 1, "slow 2"));
    vt_stdin_write(*s, "ves\n");
    ASSERT_TRUE(vt_row_is(*s, 2, "halves"));
    ASSERT_TRUE(waiting_at(*s, 3, "stdin"));
    vt_stdin_write(*s, numbered_text(4, 30, "slow"));
    ASSERT_TRUE(waiting_at(*s, 30, "stdin"));
    EXPECT_ROW(*s, 22, "slow 30");
    vt_stdin_close(*s);
    ASSERT_TRUE(vt_row_is(*s, 23, pressed("End of input: the writer closed the pipe")));
    vt_type(*s, "\n");
    ASSERT_TRUE(vt_row_is(*s, 23, "stdin: END"));
    EXPECT_ROW(*s, 22, "slow 30");
    vt_type(*s, "g");
    ASSERT_ROW(*s, 0, "slow 1");
    vt_type(*s, "q");
    EXPECT_EQ(vt_wait_exit(*s), 0);
}

// A named pipe is followed as standard input is: its name on the bottom
// line, its lines as they come, its writer's closing the end of the wait.
TEST(Follow, NamedPipe)
{
    temp_home dir;
    std::string fifo = dir.path + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    vt_ptr s = start_in_dir(dir, {"-F", "fifo"});
    ASSERT_TRUE(s);
    // the write end opens once the pager has opened the read end (nothing
    // it writes marks the moment: try again and again)
    int writer = -1;
    auto opened = [&](vt_session &) {
        writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        return writer >= 0;
    };
    for (int tries = 0; tries < 250 && writer < 0; tries++)
        vt_wait(*s, opened, 20);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(fcntl(writer, F_SETFL, 0), 0);
    ASSERT_TRUE(vt_row_is(*s, 23, std::string("fifo: ") + waiting));
    ASSERT_EQ(write(writer, "fifo 1\n", 7), 7);
    ASSERT_TRUE(waiting_at(*s, 1, "fifo"));
    EXPECT_ROW(*s, 0, "fifo 1");
    ASSERT_EQ(write(writer, "fifo 2\n", 7), 7);
    ASSERT_TRUE(waiting_at(*s, 2, "fifo"));
    close(writer);
    ASSERT_TRUE(vt_row_is(*s, 23, pressed("End of input: the writer closed the pipe")));
    vt_type(*s, "\nq");
    EXPECT_EQ(vt_wait_exit(*s), 0);
}

// Standard input that is a file ends as a file does: no writer to speak of.
TEST(Follow, StandardInputFromAFileEndsTheWait)
{
    temp_home dir;
    dir.write("g.txt", numbered_text(1, 30));
    vt_options options;
    options.program = "/bin/sh";
    vt_ptr s = start_in_dir(dir, {"-c", std::string("exec '") + VORN_BINARY + "' -F < g.txt"},
                            options);
    ASSERT_TRUE(s);
    ASSERT_TRUE(vt_row_is(*s, 23, pressed("End of input")));
    EXPECT_ROW(*s, 22, "line 30");
    vt_type(*s, "\n");
    ASSERT_TRUE(vt_row_is(*s, 23, "stdin: END"));
    vt_type(*s, "q");
    EXPECT_EQ(vt_wait_exit(*s), 0);
}

// A search after following finds the lines that arrived, and so does n.
TEST(Follow, SearchAfterFollowingCoversTheArrivedText)
{
    temp_home dir;
    auto s = start_on(dir, numbered_text(1, 10), {"-e"});
    ASSERT_TRUE(s);
    ASSERT_ROW(*s, 22, "line 10");
    play(*s, "/needle<enter>");
    ASSERT_TRUE(vt_row_has(*s, 23, "not found"));
    play(*s, "\nF");
    ASSERT_TRUE(waiting_at(*s, 10));
    append_to_file(dir.path + "/g.txt",
                numbered_text(11, 50) + "needle one\n" + numbered_text(52, 80) +
                    "needle two\n" + numbered_text(82, 120));
    ASSERT_TRUE(waiting_at(*s, 120));
    play(*s, "xg/needle<enter>");
    ASSERT_TRUE(vt_row_is(*s, 0, "needle one"));
    play(*s, "n");
    ASSERT_TRUE(vt_row_is(*s, 0, "needle two"));
    vt_type(*s, "q");
    EXPECT_EQ(vt_wait_exit(*s), 0);
}

// While waiting the pager sleeps: a second of waiting costs (next to) no
// CPU time, on a named file and on a quiet pipe, and sends nothing to the
// terminal (a mark put on the bottom line stays).
TEST(Follow, WaitingTakesNoCpuTime)
{
    temp_home dir;
    auto on_file = start_on(dir, numbered_text(1, 30), {"-F"});
    ASSERT_TRUE(on_file);
    vt_options options;
    options.args = {"-F"};
    options.stdin_pipe = true;
    options.stdin_keep_open = true;
    options.stdin_data = "piped\n";
    vt_ptr on_pipe = vt_start(options);
    ASSERT_TRUE(on_pipe);
    ASSERT_TRUE(waiting_at(*on_file, 30));
    ASSERT_TRUE(waiting_at(*on_pipe, 1, "stdin"));
    vt_feed(*on_file, "\x1b[24;1Hmarked\x1b[K");
    long file_before = cpu_ticks(*on_file), pipe_before = cpu_ticks(*on_pipe);
    ASSERT_GE(file_before, 0);
    ASSERT_GE(pipe_before, 0);
    // the one fixed wait: the measured stretch of idle time
    std::this_thread::sleep_for(std::chrono::seconds(1));
    long ticks_per_second = sysconf(_SC_CLK_TCK);
    // a loop that never slept would have used about ticks_per_second
    EXPECT_LE(cpu_ticks(*on_file) - file_before, ticks_per_second / 10);
    EXPECT_LE(cpu_ticks(*on_pipe) - pipe_before, ticks_per_second / 10);
    vt_pump(*on_file);
    EXPECT_EQ(vt_row(*on_file, 23), "marked");
    vt_type(*on_file, "qq");
    vt_type(*on_pipe, "qq");
    EXPECT_EQ(vt_wait_exit(*on_file), 0);
    EXPECT_EQ(vt_wait_exit(*on_pipe), 0);
}

// Following a file that grows by far more than the block cache holds: the
// pager's memory stays where it was, and the line count stays right.
TEST(Follow, MemoryKeepsItsBoundsWhileAFileGrows)
{
    temp_home dir;
    auto s = start_on(dir, numbered_text(1, 10), {"-F"});
    ASSERT_TRUE(s);
    ASSERT_TRUE(waiting_at(*s, 10));
    auto resident_kib = [&] {
        std::ifstream in("/proc/" + std::to_string(s->vorn_pid) + "/status");
        std::string line;
        while (std::getline(in, line))
            if (line.rfind("VmRSS:", 0) == 0)
                return std::stol(line.substr(6));
        return -1L;
    };
    long before = resident_kib();
    ASSERT_GT(before, 0);
    std::string chunk(1023, 'x');
    chunk += '\n';
    std::string mib;
    for (int i = 0; i < 1024; i++)
        mib += chunk;
    int lines = 10;
    for (int step = 0; step < 32; step++) {
        append_to_file(dir.path + "/g.txt", mib);
        lines += 1024;
        ASSERT_TRUE(waiting_at(*s, lines)) << "after " << step + 1 << " MiB";
    }
    EXPECT_LE(resident_kib() - before, 4096) << "resident KiB before: " << before;
    vt_type(*s, "qq");
    EXPECT_EQ(vt_wait_exit(*s), 0);
}

}  // namespace
