// The randomised soak: the real pager fed long runs of random keys and key
// sequences (counts, prompts with random patterns, marks, file switches,
// horizontal scrolls, colour and highlighting on and off, following) on a
// mix of inputs (text, overstrikes, caret bytes and binary, long lines,
// UTF-8 with wide and malformed sequences, coloured text, an empty file, a
// file that another process appends to all along, standard input fed in
// pieces), with window changes, stops and continues at random moments, and
// spells in which the terminal stops reading.
//
// Following (F) is a step of its own: at a prompt it types F and waits for
// the pager's waiting line, may change the window or stop and continue the
// pager while it follows, waits for text that arrives (from the appending
// process, or a piece of standard input), and ends it with a key or the
// interrupt key.
//
// Every so often the run synchronises: it cancels whatever prompt is open,
// types a key bound to a message and waits for the message, so that all the
// keys before it have been served.  On the files (shown with -c), with
// VORN_SOAK_REPAINTS=1, the screen must then hold what the pager paints
// again on a repaint (rows that showed
// text show the same text: no stale or garbled row survives a window change
// or a scroll).  At the
// end the pager must leave on q with status 0 and the terminal settings as
// they were; the harness fails the test on any sanitizer report.
//
// VORN_SOAK_SEED chooses the seed (printed; the default is fixed, so that a
// run repeats), VORN_SOAK_KEYS the number of random steps (`make soak` runs
// a long one under the sanitizers), VORN_SOAK_SYNC the steps between
// synchronisations (40; 1 shows the very step that failed), and
// VORN_SOAK_REPAINTS=1 turns on the repaint comparison.  libvterm's table
// of character widths is older than the C library's: a row holding a mark
// it counts as one column (U+0617, for one) wraps in the emulator and not
// on a terminal that agrees with the pager, and the comparison then fails
// for the emulator's sake.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "pager_session.h"

namespace {

// Keys the soak binds in its script: the sync message and the toggles.
const char SYNC_KEY = '\x01';
const char *const SYNC_TEXT = "soak sync";
// (The script language takes control keys as the bytes themselves.)
const char *const SOAK_SCRIPT =
    "macro 0 \"\x01\" 'error \"soak sync\"'\n"
    "macro 0 \"\x05\" 'colour on'\n"
    "macro 0 \"\x0e\" 'colour off'\n"
    "macro 0 \"\x0f\" 'highlight on'\n"
    "macro 0 \"\x14\" 'highlight off'\n";

unsigned long env_number(const char *name, unsigned long fallback)
{
    const char *text = getenv(name);
    if (text == nullptr || *text == '\0')
        return fallback;
    return strtoul(text, nullptr, 10);
}

struct soak_files {
    temp_home dir;
    std::vector<std::string> names;
    std::string growing;
};

std::string numbered_lines(int count)
{
    std::string text;
    for (int i = 1; i <= count; i++)
        text += "line " + std::to_string(i) + " of the text\n";
    return text;
}

void make_files(soak_files &files, std::mt19937 &random)
{
    std::string overstrikes;
    for (char c : std::string("bold words and underlined words"))
        overstrikes += c == ' ' ? std::string(" ") : std::string{c, '\b', c};
    overstrikes += "\n";
    for (char c : std::string("under lined"))
        overstrikes += std::string{'_', '\b', c};
    overstrikes += "\ttabs\tand\x01\x7f carets \x9b\x85 C1\r\n";
    std::string binary;
    for (int i = 0; i < 6000; i++)
        binary += static_cast<char>(random() & 0xff);
    std::string utf8 =
        "caf\xc3\xa9 na\xc3\xafve \xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e wide\n"
        "malformed \xc3 \xe6\x97 \xff\xfe \xed\xa0\x80 \xc0\xaf end\n"
        "\xf0\x9f\x98\x80 emoji and combining e\xcc\x81\n";
    std::string coloured;
    for (int i = 0; i < 60; i++) {
        coloured += "\x1b[3" + std::to_string(i % 8) + "mcolour " + std::to_string(i) +
                    "\x1b[0m \x1b[1;4;38;5;" + std::to_string(i * 4) + "mmore\x1b[m" +
                    " \x1b[48;2;1;2;3mdirect\x1b[0m \x1b[99;999999999m odd\x1b[\n";
    }
    std::string long_lines = std::string(20000, 'x') + "\nshort\n" +
                             std::string(5000, 'y') + "\tz\n";
    const std::pair<const char *, std::string> contents[] = {
        {"text.txt", numbered_lines(400)},
        {"overstrike.txt", overstrikes + numbered_lines(30)},
        {"binary.bin", binary},
        {"utf8.txt", utf8 + numbered_lines(20)},
        {"colour.txt", coloured},
        {"long.txt", long_lines},
        {"empty.txt", ""},
        {"growing.txt", numbered_lines(5)},
    };
    for (const auto &[name, text] : contents) {
        files.dir.write(name, text);
        files.names.push_back(name);
    }
    files.growing = files.dir.path + "/growing.txt";
}

void append_to(const std::string &path, const std::string &text)
{
    FILE *file = fopen(path.c_str(), "a");
    ASSERT_NE(file, nullptr);
    fputs(text.c_str(), file);
    fclose(file);
}

// Another process that appends a numbered line to a file every 20 ms
// while it lives (at most ten minutes' worth; it also ends when the test
// process is gone).
struct appending_process {
    pid_t pid = -1;

    explicit appending_process(const std::string &path)
    {
        pid_t parent = getpid();
        pid = fork();
        if (pid != 0)
            return;
        for (int i = 1; i <= 30000 && getppid() == parent; i++) {
            std::string line = "appended line " + std::to_string(i) + "\n";
            int fd = open(path.c_str(), O_WRONLY | O_APPEND);
            if (fd >= 0) {
                ssize_t written = write(fd, line.data(), line.size());
                (void)written;
                close(fd);
            }
            timespec pause = {0, 20 * 1000 * 1000};
            nanosleep(&pause, nullptr);
        }
        _exit(0);
    }
    ~appending_process()
    {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    appending_process(const appending_process &) = delete;
    appending_process &operator=(const appending_process &) = delete;
};

// Keys that never read on past what the pager holds: a pipe that is still
// open leaves any other key waiting for its next data (as it must).
std::string holding_keys(std::mt19937 &random)
{
    static const char *const keys[] = {
        "k", "b", "u", "\x02", "\x15", "r", "\x0c", "=", "\x07", "\t", "\x1b[Z",
        "\x1bOA", "\x1bOC", "\x1bOD", "\x1bOH", "\x05", "\x0e", "\x0f", "\x14", "x",
        "ma", "mb", "3k", "12\t", ":a",
    };
    return keys[random() % (sizeof keys / sizeof keys[0])];
}

// One random step of keys.
std::string random_keys(std::mt19937 &random)
{
    static const char *const single[] = {
        "j", "k", " ", "f", "b", "d", "u", "g", "G", "p", "%", "n", "N", "r",
        "R", "\x0c", "=", "\x07", "\t", "\x1b[Z", "\n", "\x06", "\x02", "\x04",
        "\x15", "l", ":n", ":p", "P", ":a", "t", "T", "\x05", "\x0e", "\x0f",
        "\x14", "x", "\x7f",
    };
    static const char pattern_bytes[] = "abcdefxyz0123 .*[]^$\\()|+?{}-_\t";
    std::uniform_int_distribution<int> kind(0, 99);
    int k = kind(random);
    std::string keys;
    if (k < 15) {   // a count first
        int digits = 1 + static_cast<int>(random() % 3);
        for (int i = 0; i < digits; i++)
            keys += static_cast<char>('0' + random() % 10);
    }
    if (k < 60) {
        keys += single[random() % (sizeof single / sizeof single[0])];
    } else if (k < 75) {
        keys += random() % 2 ? "/" : "?";
        int length = static_cast<int>(random() % 7);
        for (int i = 0; i < length; i++)
            keys += pattern_bytes[random() % (sizeof pattern_bytes - 1)];
        keys += random() % 5 == 0 ? "\x15" : "\n";    // cancel or search
    } else if (k < 85) {
        keys += random() % 2 ? "m" : "'";
        keys += static_cast<char>("abcde'"[random() % 6]);
    } else {
        // arrows and page keys in the terminal's keypad mode
        static const char *const arrows[] = {"\x1bOA", "\x1bOB", "\x1bOC", "\x1bOD",
                                             "\x1b[5~", "\x1b[6~", "\x1bOH", "\x1bOF"};
        keys += arrows[random() % 8];
    }
    return keys;
}

bool shows_sync_message(vt_session &s)
{
    return vt_screen(s).find(SYNC_TEXT) != std::string::npos;
}

// The line the cursor is on says the pager follows: the bottom line, or
// the line below a text that fits the screen (a row elsewhere may still
// show the line of an earlier, smaller window).
bool following(vt_session &s)
{
    return vt_row(s, vt_cursor(s).first).find("waiting for data") != std::string::npos;
}

// Waits for the sync message that the key typed last asks for, and
// acknowledges it: every key typed before has been served.  The message is
// looked for on every row: after a file that fits the screen it follows
// the text.
::testing::AssertionResult await_sync_message(vt_session &s)
{
    vt_type(s, std::string(1, SYNC_KEY));
    if (!vt_wait(s, shows_sync_message, 20000)) {
        vt_pump(s);
        return ::testing::AssertionFailure()
               << "no sync message" << (s.exited ? ", the pager has ended with status " +
                                                       std::to_string(s.exit_status)
                                                 : "");
    }
    vt_type(s, "\n");
    if (!vt_wait(s, [](vt_session &v) { return !shows_sync_message(v); }, 20000))
        return ::testing::AssertionFailure() << "sync message stays";
    return ::testing::AssertionSuccess();
}

// Cancels whatever prompt a step left open, then synchronises.  Where no
// prompt is open, the kill character is a key of its own (back half a
// screen), so the view may move: harmless between random steps, but not
// where a screen is compared with what it showed before.
::testing::AssertionResult synchronise(vt_session &s)
{
    vt_type(s, "\x15\x15");
    return await_sync_message(s);
}

std::vector<std::string> text_rows(vt_session &s, int rows)
{
    std::vector<std::string> shown;
    for (int row = 0; row < rows - 1; row++)
        shown.push_back(vt_row(s, row));
    return shown;
}

// A repaint paints what the screen shows: every row that showed text shows
// the same text again (rows below the end may fill when a file grew, and
// the note of a forward jump goes).  False when the growing file is shown
// and nothing was compared.
bool check_repaint(vt_session &s, int rows)
{
    // A file that grows while it is read may show a line it had only in
    // part, and its rest on the next row; a repaint joins them.
    if (vt_screen(s).find("growing.txt") != std::string::npos)
        return false;
    std::vector<std::string> before = text_rows(s, rows);
    std::string screen_before = vt_screen(s);
    // No prompt is open (the run has just synchronised), so nothing is
    // typed but the repaint and the sync key: a cancelling ^U would move
    // the view back half a screen and the rows could not be compared.
    vt_type(s, "\x0c");
    ::testing::AssertionResult synchronised = await_sync_message(s);
    EXPECT_TRUE(synchronised) << vt_screen(s);
    if (!synchronised)
        return true;
    std::vector<std::string> after = text_rows(s, rows);
    for (int row = 0; row < rows - 1; row++) {
        // the note of a forward jump is not text of the file
        if (!before[row].empty() && before[row] != "...skipping...") {
            EXPECT_EQ(after[row], before[row]) << "row " << row << ", before the repaint:\n"
                                               << screen_before << "after:\n" << vt_screen(s);
            if (after[row] != before[row])
                break;      // one row tells; the rest follow from it
        }
    }
    return true;
}

struct soak_run {
    vt_session &s;
    std::mt19937 &random;
    int rows, cols;
    const std::string *growing;         // appended to now and then, or null
    void (*feed)(vt_session &, std::mt19937 &);   // more standard input, or null
    bool check_repaints;                // the pager runs with -c
    bool reading_on = true;             // keys may read past what is held
    bool follow_on = true;              // F may be typed
    unsigned long keys_fed = 0, resizes = 0, stops = 0, syncs = 0, repaints = 0, follows = 0,
                  stalls = 0;
    std::string recent_keys = {};       // the last keys typed, for the report
    // Steps between synchronisations; VORN_SOAK_SYNC=1 finds the step
    // that went wrong.
    unsigned long sync_every = env_number("VORN_SOAK_SYNC", 40) | 1;

    // Any size, down to windows too small for a line of text; `wide_only`:
    // wide enough for the waiting line of following to show whole.
    void resize(bool wide_only = false)
    {
        static const int sizes[][2] = {{24, 80}, {40, 132}, {60, 200}, {10, 100}, {5, 20},
                                       {3, 10}, {12, 41}, {30, 2}, {2, 60}};
        const int choices = wide_only ? 4 : sizeof sizes / sizeof sizes[0];
        const int *size = sizes[random() % choices];
        rows = size[0];
        cols = size[1];
        vt_resize(s, rows, cols);
        resizes++;
    }

    void stop_and_continue()
    {
        stops++;
        vt_signal(s, SIGTSTP);
        ASSERT_TRUE(vt_wait_stopped(s, 20000)) << vt_screen(s);
        vt_signal(s, SIGCONT);
    }

    // A terminal that stops reading for a while (a slow link, a paused
    // pane): the pager's writes fill the pty and wait while keys and window
    // changes still come.  Once it reads again every byte must arrive whole
    // and in order, which the next synchronisation and repaint check see.
    // (A stop is not sent meanwhile: the pager serves it only once its
    // output is written.)
    void stall_reader()
    {
        stalls++;
        s.reader_stalled = true;
        for (int i = 1 + static_cast<int>(random() % 4); i > 0; i--) {
            if (random() % 2 == 0)
                resize();
            else
                type(reading_on ? random_keys(random) : holding_keys(random));
        }
        s.reader_stalled = false;
    }

    void type(const std::string &keys)
    {
        recent_keys = (recent_keys + keys).substr(
            recent_keys.size() + keys.size() > 200 ? recent_keys.size() + keys.size() - 200 : 0);
        vt_type(s, keys);
        keys_fed += keys.size();
    }

    // F at a prompt (now and then on the growing file first); window
    // changes and stops while it follows; text arriving; then any key or
    // the interrupt key ends it.
    void follow()
    {
        follows++;
        if (cols < 80)
            resize(true);
        ASSERT_TRUE(synchronise(s)) << "before F\n" << vt_screen(s);
        if (growing != nullptr && random() % 2 == 0)
            type(":e growing.txt\n");
        type("F");
        ASSERT_TRUE(vt_wait(s, following, 20000)) << "F shows no waiting line\n" << vt_screen(s);
        for (int i = static_cast<int>(random() % 3); i > 0; i--) {
            if (random() % 2 == 0)
                resize(true);
            else
                stop_and_continue();
            ASSERT_TRUE(vt_wait(s, following, 20000))
                << "no waiting line after a window change or stop\n" << vt_screen(s);
        }
        std::string waiting = vt_row(s, vt_cursor(s).first);
        if (feed != nullptr) {
            feed(s, random);
            vt_stdin_write(s, "followed\n");
        }
        if (feed != nullptr || waiting.find("growing.txt") != std::string::npos) {
            // the line number on the waiting line counts on as text comes
            ASSERT_TRUE(vt_wait(s, [&](vt_session &v) {
                std::string now = vt_row(v, vt_cursor(v).first);
                return now != waiting && now.find("waiting for data") != std::string::npos;
            }, 20000)) << "nothing arrives while following\n" << vt_screen(s);
        }
        static const char *const stops_following[] = {"\x03", "j", "q", " ", "G", "/"};
        type(stops_following[random() % (sizeof stops_following / sizeof stops_following[0])]);
        ASSERT_TRUE(vt_wait(s, [](vt_session &v) { return !following(v); }, 20000))
            << "following goes on after a key\n" << vt_screen(s);
    }

    void step()
    {
        int what = static_cast<int>(random() % 1000);
        if (what < 15) {
            resize();
        } else if (what < 18) {
            stop_and_continue();
        } else if (what < 28 && growing != nullptr) {
            append_to(*growing, numbered_lines(1 + static_cast<int>(random() % 30)));
        } else if (what < 38 && feed != nullptr) {
            feed(s, random);
        } else if (what < 46 && follow_on) {
            follow();
        } else if (what < 52) {
            stall_reader();
        } else {
            type(reading_on ? random_keys(random) : holding_keys(random));
        }
    }

    void run(unsigned long steps)
    {
        for (unsigned long i = 0; i < steps; i++) {
            step();
            if (::testing::Test::HasFatalFailure())
                return;
            if (i % sync_every == sync_every - 1) {
                leave_tiny_size();
                syncs++;
                ASSERT_TRUE(synchronise(s))
                    << "step " << i << ", the last keys " << ::testing::PrintToString(recent_keys)
                    << "\n" << vt_screen(s);
                if (check_repaints && i % (5 * sync_every) == 5 * sync_every - 1) {
                    SCOPED_TRACE("repaint after step " + std::to_string(i) + ", the last keys " +
                                 ::testing::PrintToString(recent_keys));
                    if (check_repaint(s, rows))
                        repaints++;
                }
            }
        }
    }

    // Sizes where the bottom line cannot show the sync message whole are
    // left before synchronising.
    void leave_tiny_size()
    {
        if (rows >= 4 && cols >= 30)
            return;
        rows = 24;
        cols = 80;
        vt_resize(s, rows, cols);
    }

    void quit()
    {
        printf("soak: %lu key bytes, %lu window changes, %lu stops, %lu follows, %lu stalls, "
               "%lu syncs, %lu repaints compared\n", keys_fed, resizes, stops, follows, stalls,
               syncs, repaints);
        leave_tiny_size();
        ASSERT_TRUE(synchronise(s)) << vt_screen(s);
        vt_type(s, "q");
        EXPECT_EQ(vt_wait_exit(s, 20000), 0) << vt_screen(s);
        termios before = vt_initial_tty(s), after = vt_final_tty(s);
        EXPECT_EQ(after.c_lflag, before.c_lflag);
        EXPECT_EQ(after.c_iflag, before.c_iflag);
        EXPECT_EQ(after.c_oflag, before.c_oflag);
        EXPECT_EQ(memcmp(after.c_cc, before.c_cc, sizeof after.c_cc), 0);
    }
};

unsigned long soak_seed()
{
    unsigned long seed = env_number("VORN_SOAK_SEED", 20261210);
    printf("soak seed %lu (VORN_SOAK_SEED=%lu repeats this run)\n", seed, seed);
    return seed;
}

vt_options soak_options(const soak_files &files, std::vector<std::string> args)
{
    vt_options options;
    options.args = std::move(args);
    options.env = {{"HOME", files.dir.path}, {"LC_ALL", "C.UTF-8"}, {"EDITOR", "true"},
                   {"VISUAL", "true"}};
    options.cwd = files.dir.path;
    options.utf8 = true;
    options.home_files = {{".vornrc", SOAK_SCRIPT}};
    return options;
}

TEST(Soak, RandomKeysOnManyFiles)
{
    unsigned long seed = soak_seed();
    SCOPED_TRACE("VORN_SOAK_SEED=" + std::to_string(seed));
    std::mt19937 random(static_cast<std::mt19937::result_type>(seed));
    soak_files files;
    make_files(files, random);
    // -e: the end of the last file does not end the run; -c: a new screen
    // is painted from the top of a cleared screen, so that a repaint must
    // give the very same rows (without it, the rows above a short file keep
    // what was there before, as on a printing terminal)
    std::vector<std::string> args = {"-e", "-c", "-R"};
    args.insert(args.end(), files.names.begin(), files.names.end());
    vt_ptr s = vt_start(soak_options(files, args));
    ASSERT_TRUE(s);
    ASSERT_TRUE(vt_row_is(*s, 0, "line 1 of the text", 20000)) << vt_screen(*s);
    // another process appends to the growing file all along
    appending_process appender(files.dir.path + "/growing.txt");
    ASSERT_GT(appender.pid, 0);
    // The repaint comparison is part of the long run (make soak), where
    // its many repaints have the time.
    bool compare_repaints = env_number("VORN_SOAK_REPAINTS", 0) != 0;
    soak_run run{*s, random, 24, 80, &files.growing, nullptr, compare_repaints};
    unsigned long steps = env_number("VORN_SOAK_KEYS", 4000);
    printf("soak: %lu random steps on %zu files\n", steps, files.names.size());
    run.run(steps);
    if (HasFatalFailure())
        return;
    run.quit();
}

// Standard input that arrives in pieces, some of them binary or coloured,
// while the keys go on; the pipe stays open to the end.
void feed_standard_input(vt_session &s, std::mt19937 &random)
{
    std::string piece = numbered_lines(static_cast<int>(random() % 40));
    if (random() % 3 == 0) {
        for (int i = 0; i < 200; i++)
            piece += static_cast<char>(random() & 0xff);
        piece += "\n\x1b[31mred\x1b[0m \xe6\x97\xa5\n";
    }
    vt_stdin_write(s, piece);
}

TEST(Soak, RandomKeysOnStandardInput)
{
    unsigned long seed = soak_seed() + 1;
    SCOPED_TRACE("VORN_SOAK_SEED=" + std::to_string(seed - 1));
    std::mt19937 random(static_cast<std::mt19937::result_type>(seed));
    soak_files files;
    vt_options options = soak_options(files, {"-e"});
    options.stdin_pipe = true;
    options.stdin_keep_open = true;
    // More lines than the tallest window: with the pipe still open, a
    // screen that is not full would wait for the next piece.
    options.stdin_data = numbered_lines(400);
    vt_ptr s = vt_start(options);
    ASSERT_TRUE(s);
    ASSERT_TRUE(vt_row_is(*s, 0, "line 1 of the text", 20000)) << vt_screen(*s);
    soak_run run{*s, random, 24, 80, nullptr, feed_standard_input, false};
    run.follow_on = false;      // following is soaked on the growing file
    unsigned long steps = env_number("VORN_SOAK_KEYS", 4000) / 4;
    printf("soak: %lu random steps on standard input\n", steps);
    // While more may come, keys that would wait for it are left out; once
    // the pipe is closed every key is fair.
    run.reading_on = false;
    run.run(steps / 2);
    if (HasFatalFailure())
        return;
    vt_stdin_close(*s);
    run.feed = nullptr;
    run.reading_on = true;
    run.run(steps - steps / 2);
    if (HasFatalFailure())
        return;
    run.quit();
}

}  // namespace
