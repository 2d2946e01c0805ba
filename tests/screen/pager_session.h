// Helpers for the screen tests of the keys, the line editor and the
// initialization scripts: a temporary home directory that the test fills
// before the pager starts (its scripts are read at start-up), a pager
// started on the fixtures of tests/data, and key strings that name special
// keys inline.
#ifndef VORN_SCREEN_PAGER_SESSION_H
#define VORN_SCREEN_PAGER_SESSION_H

#include <stdlib.h>
#include <string.h>
#include <termios.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "harness.h"

// A home directory of the test's own, so that scripts can be put there
// before the pager reads them.
struct temp_home {
    std::string path;

    temp_home()
    {
        char name[] = "/tmp/vorn-test-home-XXXXXX";
        if (mkdtemp(name) != nullptr)
            path = name;
    }
    ~temp_home()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    temp_home(const temp_home &) = delete;
    temp_home &operator=(const temp_home &) = delete;

    void write(const std::string &name, std::string_view content) const
    {
        vt_write_file(path + "/" + name, content);
    }
};

inline std::string test_data(const std::string &name)
{
    return std::string(VORN_TEST_DATA) + "/" + name;
}

inline std::string read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The lines of a fixture of tests/data, without their newlines.
inline std::vector<std::string> fixture_lines(const std::string &name)
{
    std::vector<std::string> lines;
    std::istringstream in(read_file(test_data(name)));
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

// "word first" to "word last", a line each.
inline std::string numbered_text(int first, int last, const std::string &word = "line")
{
    std::string text;
    for (int i = first; i <= last; ++i)
        text += word + " " + std::to_string(i) + "\n";
    return text;
}

// Adds `text` to the end of the file at `path`, as a writer of a log does.
inline void append_to_file(const std::string &path, const std::string &text)
{
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out << text;
    if (!out.flush())
        ADD_FAILURE() << "cannot append to " << path;
}

// The pager on files of tests/data (named relative to it), with `home` as
// HOME; nothing is awaited.
inline vt_ptr start_pager(const temp_home &home,
                          const std::vector<std::string> &args, int rows = 24,
                          int cols = 80)
{
    vt_options options;
    options.args = args;
    options.env = {{"HOME", home.path}};
    options.rows = rows;
    options.cols = cols;
    options.cwd = VORN_TEST_DATA;
    return vt_start(options);
}

// The pager (by default with -e on numbered200.txt) once its first screen
// shows "line 1" on top; null, with the test failed, if it never does.
inline vt_ptr start_at_line_1(const temp_home &home,
                              const std::vector<std::string> &args = {"-e", "numbered200.txt"},
                              int cols = 80)
{
    vt_ptr s = start_pager(home, args, 24, cols);
    if (s && !vt_row_is(*s, 0, "line 1")) {
        ADD_FAILURE() << "no first screen\n" << vt_screen(*s);
        return nullptr;
    }
    return s;
}

// The pager run in `dir`, which is also its HOME, with `args`; the other
// fields of `options` as given.  Nothing is awaited.
inline vt_ptr start_in_dir(const temp_home &dir, const std::vector<std::string> &args,
                           vt_options options = {})
{
    options.cwd = dir.path;
    options.args = args;
    options.env.emplace_back("HOME", dir.path);
    return vt_start(options);
}

// Types `keys`; "<name>" stands for the special key of that name (as
// vt_key knows them: "<pgdn>", "<^L>", "<enter>" ...), everything else is
// typed as it is.
inline void play(vt_session &s, std::string_view keys)
{
    while (!keys.empty()) {
        size_t open = keys.find('<');
        size_t close = open == std::string_view::npos ? open : keys.find('>', open);
        if (open == std::string_view::npos || close == std::string_view::npos) {
            vt_type(s, keys);
            return;
        }
        if (open > 0)
            vt_type(s, keys.substr(0, open));
        vt_key(s, keys.substr(open + 1, close - open - 1));
        keys.remove_prefix(close + 1);
    }
}

// Some row of the text (all but the bottom row) shows exactly `line`: a
// search puts its match where the screen keeps the most of what it showed.
inline ::testing::AssertionResult shows_line(vt_session &s, const std::string &line,
                                             int text_rows = 23)
{
    if (vt_wait(s, [&](vt_session &v) {
            for (int row = 0; row < text_rows; row++)
                if (vt_row(v, row) == line)
                    return true;
            return false;
        }))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "no row shows \"" << line << "\"\n"
                                         << vt_screen(s);
}

// Waits for a condition on something other than the screen (a file, the
// pager's process): vt_wait looks again only when output comes, so this
// looks every few milliseconds, pumping the output meanwhile.
inline bool wait_for(vt_session &s, const std::function<bool()> &cond,
                     int timeout_ms = 5000)
{
    for (int waited = 0;; waited += 10) {
        if (vt_wait(s, [&](vt_session &) { return cond(); }, 10))
            return true;
        if (waited >= timeout_ms)
            return false;
    }
}

// The bytes the pager has read so far, the keyboard's included; -1 once
// it is gone.
inline long long bytes_read(const vt_session &s)
{
    std::ifstream io("/proc/" + std::to_string(s.vorn_pid) + "/io");
    std::string name;
    long long value = 0;
    while (io >> name >> value)
        if (name == "rchar:")
            return value;
    return -1;
}

// The pager reads on: a walk through its input is under way.
inline bool reading_on(vt_session &s)
{
    long long from = bytes_read(s);
    return wait_for(s, [&] { return bytes_read(s) > from + (4 << 20); });
}

// The terminal settings are those the pager found when it started.
inline ::testing::AssertionResult terminal_restored(vt_session &s)
{
    termios before = vt_initial_tty(s), after = vt_final_tty(s);
    if (before.c_lflag == after.c_lflag && before.c_iflag == after.c_iflag &&
        before.c_oflag == after.c_oflag &&
        memcmp(before.c_cc, after.c_cc, sizeof before.c_cc) == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "terminal settings not restored";
}

// Ends the session with the interrupt key: status 0, settings restored and
// the pager's rows taken away by the terminal-end sequence.
inline void interrupt_and_check(vt_session &s)
{
    vt_key(s, "^C");
    EXPECT_EQ(vt_wait_exit(s), 0);
    EXPECT_TRUE(terminal_restored(s));
    EXPECT_TRUE(vt_wait(s, [](vt_session &v) { return vt_row(v, 0).empty(); }))
        << vt_screen(s);
}

// The editing characters of the terminal the pager runs on.
inline std::string erase_key(vt_session &s)
{
    return std::string(1, static_cast<char>(vt_initial_tty(s).c_cc[VERASE]));
}
inline std::string kill_key(vt_session &s)
{
    return std::string(1, static_cast<char>(vt_initial_tty(s).c_cc[VKILL]));
}
inline std::string werase_key(vt_session &s)
{
    return std::string(1, static_cast<char>(vt_initial_tty(s).c_cc[VWERASE]));
}

// A message on the bottom line, waiting for its key.
inline std::string pressed(const std::string &message)
{
    return message.empty() ? "(press RETURN)" : message + "  (press RETURN)";
}

// One step of a typed session: the keys, then what the top row must be and
// what the bottom row must contain ("" = not checked).
struct key_step {
    std::string keys;
    std::string top;
    std::string bottom;
};

inline void run_steps(vt_session &s, const std::vector<key_step> &steps, int bottom_row)
{
    for (const key_step &st : steps) {
        SCOPED_TRACE("keys " + st.keys);
        play(s, st.keys);
        if (!st.top.empty()) {
            EXPECT_ROW(s, 0, st.top);
        }
        if (!st.bottom.empty()) {
            EXPECT_ROW_HAS(s, bottom_row, st.bottom);
        }
    }
}

#endif
