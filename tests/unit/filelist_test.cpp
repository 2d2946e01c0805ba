// The file list and the opening of files, over real files, directories, a
// pipe on standard input and a pseudo-terminal.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <pty.h>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "display/display.h"
#include "file/file.h"
#include "command/command.h"
#include "startup/startup.h"
#include "test_files.h"

namespace {

// Back to the state before the first open, with `names` as the list.
void start_list(std::vector<std::string> &names, std::vector<char *> &vector)
{
    if (input_fd > 0)
        close(input_fd);
    cache_reset();
    filelist_reset();
    vector.clear();
    for (std::string &name : names)
        vector.push_back(name.data());
    vector.push_back(nullptr);
    file_names = vector.data();
    file_count = static_cast<int>(names.size());
    file_index = 0;
}

struct open_result {
    int result;
    std::string messages;           // what went to standard error
};

// open_file with standard output and standard error captured (standard
// output is then no terminal, as in copy mode).
open_result open_captured(const char *name, int only_if_other = 0)
{
    fd_capture out = start_capture(1);
    fd_capture err = start_capture(2);
    int result = open_file(name, only_if_other);
    std::string messages = end_capture(err);
    end_capture(out);
    return {result, messages};
}

std::string captured_stderr(void (*action)(int), int n)
{
    fd_capture out = start_capture(1);
    fd_capture err = start_capture(2);
    action(n);
    std::string messages = end_capture(err);
    end_capture(out);
    return messages;
}

TEST(FileList, BoundedCopyAlwaysTerminates)
{
    struct {
        const char *source;
        size_t size;
        std::string expected;
    } cases[] = {
        {"hello", 10, "hello"}, {"hello", 6, "hello"}, {"hello", 5, "hell"},
        {"hello", 1, ""},       {"", 4, ""},
    };
    for (const auto &c : cases) {
        char buffer[16];
        memset(buffer, 'x', sizeof buffer);
        bounded_copy(buffer, c.source, c.size);
        EXPECT_EQ(std::string(buffer), c.expected) << c.source << " in " << c.size;
        EXPECT_EQ(buffer[c.size], 'x') << "nothing written past the size";
    }
    char untouched = 'x';
    bounded_copy(&untouched, "abc", 0);
    EXPECT_EQ(untouched, 'x');
}

TEST(FileList, CheckFileNamesWhatCannotBeOpened)
{
    temp_dir dir;
    std::string file = dir.write("plain", "text\n");
    std::string missing = dir.path + "/missing";
    // A directory path longer than the message buffer ("./" repeated).
    std::string long_dir = dir.path;
    while (long_dir.size() < 1200)
        long_dir += "/.";
    struct {
        std::string path;
        size_t size;
        const char *expected;       // null: the path may be opened
    } cases[] = {
        {file, 1074, nullptr},
        {"/dev/null", 1074, nullptr},
        {missing, 1074, "MISSING: No such file or directory"},
        {dir.path, 1074, "DIR is a directory"},
        {long_dir, 1074, "LONG is a directory"},
        {dir.path, 20, "SHORT is a directory"},
    };
    for (const auto &c : cases) {
        char buffer[1074];
        memset(buffer, 'x', sizeof buffer);
        const char *message = check_file(c.path.c_str(), buffer, c.size);
        if (c.expected == nullptr) {
            EXPECT_EQ(message, nullptr) << c.path;
            continue;
        }
        ASSERT_EQ(message, buffer) << c.path;
        std::string wanted = c.expected;
        if (wanted.rfind("MISSING", 0) == 0)
            wanted.replace(0, 7, missing);
        else if (wanted.rfind("DIR", 0) == 0)
            wanted.replace(0, 3, dir.path);
        else if (wanted.rfind("LONG", 0) == 0)
            wanted.replace(0, 4, long_dir.substr(0, c.size - 18));
        else
            wanted.replace(0, 5, dir.path.substr(0, c.size - 18));
        EXPECT_EQ(std::string(message), wanted) << c.path;
    }
}

TEST(FileList, OpeningMakesTheFileCurrentAndHashGoesBack)
{
    temp_dir dir;
    mkdir((dir.path + "/sub").c_str(), 0700);
    std::vector<std::string> names = {dir.write("sub/first", "1\n"), dir.write("second", "2\n")};
    std::vector<char *> vector;
    start_list(names, vector);

    struct {
        const char *name;
        std::string current;
        std::string previous;
        const char *prompt;
    } steps[] = {
        {nullptr, names[0], "", "first"},
        {names[1].c_str(), names[1], names[0], "second"},
        {"#", names[0], names[1], "first"},
        {"#", names[1], names[0], "second"},
    };
    for (const auto &s : steps) {
        open_result r = open_captured(s.name);
        EXPECT_EQ(r.result, 1) << r.messages;
        EXPECT_EQ(r.messages, "");
        ASSERT_NE(current_file, nullptr);
        EXPECT_EQ(current_file, s.current);
        EXPECT_EQ(previous_file ? previous_file : "", s.previous);
        EXPECT_STREQ(prompt_name, s.prompt);
        EXPECT_EQ(pipe_mode, 0);
        EXPECT_EQ(cache_next_char(), s.current == names[0] ? '1' : '2') << "the cache reads it";
    }
    EXPECT_EQ(next_file_name, names[1].c_str()) << "file_index stayed 0";
    file_index = 1;
    open_captured(nullptr);
    EXPECT_EQ(next_file_name, nullptr);
}

TEST(FileList, FailedOpenKeepsTheCurrentFile)
{
    temp_dir dir;
    std::vector<std::string> names = {dir.write("current", "c\n")};
    std::vector<char *> vector;
    std::string missing = dir.path + "/missing";
    std::string unreadable = dir.write("unreadable", "u\n");
    chmod(unreadable.c_str(), 0);
    int master, slave;
    char terminal[256];
    ASSERT_EQ(openpty(&master, &slave, terminal, nullptr, nullptr), 0);

    struct {
        const char *name;
        int stdin_was_used;
        int index;
        std::string message;
    } cases[] = {
        {missing.c_str(), 0, 0, missing + ": No such file or directory"},
        {dir.path.c_str(), 0, 0, dir.path + " is a directory"},
        {terminal, 0, 0, "Can't take input from a terminal"},
        {"-", 1, 0, "can view standard input only once"},
        {"#", 0, 0, "no previous file"},
        {"", 0, 1, "No current file"},
        {nullptr, 0, 5, "No current file"},
        {unreadable.c_str(), 0, 0, unreadable + ": Permission denied"},
    };
    for (const auto &c : cases) {
        if (geteuid() == 0 && c.name == unreadable.c_str())
            continue;               // root reads whatever it likes
        start_list(names, vector);
        ASSERT_EQ(open_captured(nullptr).result, 1);
        int fd = input_fd;
        horiz_off = 7;
        wrap_lines = 0;
        stdin_used = c.stdin_was_used;
        file_index = c.index;
        open_result r = open_captured(c.name);
        EXPECT_EQ(r.result, 0) << c.message;
        EXPECT_EQ(r.messages, c.message + "\n");
        EXPECT_EQ(current_file, names[0]) << c.message;
        EXPECT_EQ(input_fd, fd) << c.message;
        EXPECT_EQ(fcntl(fd, F_GETFD), FD_CLOEXEC) << "still open (and close-on-exec) after: " << c.message;
        EXPECT_EQ(horiz_off, 0) << "reset even when the open fails";
        EXPECT_EQ(wrap_lines, 1);
    }
    close(master);
    close(slave);
}

TEST(FileList, OnlyIfOtherLeavesTheCurrentFileAlone)
{
    temp_dir dir;
    std::vector<std::string> names = {dir.write("a", "a\n"), dir.write("b", "b\n")};
    std::vector<char *> vector;
    start_list(names, vector);
    ASSERT_EQ(open_captured(nullptr).result, 1);
    int fd = input_fd;
    horiz_off = 4;
    wrap_lines = 0;
    EXPECT_EQ(open_captured(names[0].c_str(), 1).result, 1);
    EXPECT_EQ(input_fd, fd) << "not reopened";
    EXPECT_EQ(horiz_off, 4);
    EXPECT_EQ(wrap_lines, 0);
    EXPECT_EQ(open_captured(names[1].c_str(), 1).result, 1);
    EXPECT_EQ(current_file, names[1]);
    EXPECT_EQ(horiz_off, 0);
    EXPECT_EQ(wrap_lines, 1);
}

TEST(FileList, StandardInputCanBeCurrentOnlyOnce)
{
    temp_dir dir;
    std::vector<std::string> names = {dir.write("other", "o\n")};
    std::vector<char *> vector;
    start_list(names, vector);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(write(fds[1], "piped\n", 6), 6);
    close(fds[1]);
    int saved_stdin = dup(0);
    dup2(fds[0], 0);
    close(fds[0]);

    open_result first = open_captured("-");
    EXPECT_EQ(first.result, 1);
    EXPECT_EQ(pipe_mode, 1);
    EXPECT_EQ(input_fd, 0);
    EXPECT_STREQ(prompt_name, "stdin");
    EXPECT_EQ(stdin_used, 1);
    EXPECT_EQ(cache_next_char(), 'p');
    EXPECT_EQ(open_captured(nullptr).result, 1);
    EXPECT_EQ(pipe_mode, 0);
    EXPECT_EQ(fcntl(0, F_GETFD), 0) << "descriptor 0 is never closed";
    open_result again = open_captured("#");
    EXPECT_EQ(again.result, 0);
    EXPECT_EQ(again.messages, "can view standard input only once\n");

    dup2(saved_stdin, 0);
    close(saved_stdin);
    stdin_used = 0;
}

TEST(FileList, MovingThroughTheList)
{
    temp_dir dir;
    std::vector<std::string> names = {dir.write("a", "a\n"), dir.path + "/missing",
                                      dir.write("c", "c\n")};
    std::vector<char *> vector;
    start_list(names, vector);
    ASSERT_EQ(open_captured(nullptr).result, 1);

    // A missing file leaves the old one current but file_index on itself, so
    // the next step goes on from there.
    EXPECT_EQ(captured_stderr(next_file, 1), names[1] + ": No such file or directory\n");
    EXPECT_EQ(file_index, 1);
    EXPECT_EQ(current_file, names[0]);
    EXPECT_EQ(captured_stderr(next_file, 1), "");
    EXPECT_EQ(file_index, 2);
    EXPECT_EQ(current_file, names[2]);

    // Past the end: a message only without -e and with something on the
    // screen.
    struct {
        int stay_at_end;
        file_pos top;
        const char *message;
    } past_end[] = {
        {1, 0, ""}, {1, -1, ""}, {0, -1, ""}, {0, 0, "No (N-th) next file\n"},
    };
    int saved_height = screen_height;
    screen_height = 24;
    for (const auto &c : past_end) {
        pos_reset();
        if (c.top != -1)
            pos_push_top(c.top);
        opt_stay_at_end = c.stay_at_end;
        EXPECT_EQ(captured_stderr(next_file, 1), c.message) << c.stay_at_end << " " << c.top;
        EXPECT_EQ(file_index, 2);
        EXPECT_EQ(current_file, names[2]);
    }
    opt_stay_at_end = 0;
    pos_reset();
    screen_height = saved_height;
    // Counts that lead out of the list, either way, change nothing.
    for (int n : {INT_MAX, -3, INT_MIN}) {
        captured_stderr(next_file, n);
        captured_stderr(prev_file, n);
        EXPECT_EQ(file_index, 2) << n;
        EXPECT_EQ(current_file, names[2]) << n;
    }

    EXPECT_EQ(captured_stderr(prev_file, 3), "No (N-th) previous file\n");
    EXPECT_EQ(file_index, 2);
    EXPECT_EQ(captured_stderr(prev_file, 2), "");
    EXPECT_EQ(file_index, 0);
    EXPECT_EQ(current_file, names[0]);
}

TEST(FileList, ListFillsLinesToTheScreenWidth)
{
    struct {
        int width;
        std::vector<std::string> names;
        int index;
        std::string shown;
    } cases[] = {
        {20, {"a", "bb", "ccc"}, 2, "a bb [ccc]\n"},
        {10, {"aaaa", "bbbb", "cccc"}, 0, "[aaaa]\nbbbb\ncccc\n"},
        {8, {"verylongname", "x"}, 1, "verylongname\n[x]\n"},
        {8, {"x", "verylongname", "y"}, 0, "[x]\nverylongname\ny\n"},
        {80, {"-", "f"}, 0, "[stdin] f\n"},
    };
    int saved_width = screen_width;
    for (auto &c : cases) {
        std::vector<char *> vector;
        for (std::string &name : c.names)
            vector.push_back(name.data());
        vector.push_back(nullptr);
        file_names = vector.data();
        file_count = static_cast<int>(c.names.size());
        file_index = c.index;
        screen_width = c.width;
        out_discard();
        fd_capture out = start_capture(1);
        fd_capture err = start_capture(2);
        show_file_list();
        out_flush();
        end_capture(err);
        EXPECT_EQ(end_capture(out), c.shown) << "width " << c.width;
    }
    file_count = 0;
    fd_capture err = start_capture(2);
    show_file_list();
    EXPECT_EQ(end_capture(err), "No files provided as arguments.\n");
    screen_width = saved_width;
}

} // namespace
