// Inputs that are not plain files that stay put: a named pipe, an endless
// character device, a directory, a file the user may not read, and a file
// deleted while it is shown.  None of them may hang the pager beyond the
// reach of the interrupt key, crash it, or leave the terminal changed.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "pager_session.h"

namespace {

// Opens the writing end of a FIFO once the pager has opened its reading
// end (pumping the pager's output meanwhile); -1 when it never does.
int open_fifo_writer(vt_session &s, const std::string &path)
{
    int fd = -1;
    wait_for(s, [&] {
        fd = open(path.c_str(), O_WRONLY | O_NONBLOCK);
        return fd >= 0 || errno != ENXIO;
    });
    if (fd >= 0)
        fcntl(fd, F_SETFL, 0);
    return fd;
}

// A named pipe on the command line is read as it comes, like standard
// input: lines written later are shown, its end is found once the writer
// closes, and then it can be moved in and searched both ways.
TEST(OddInput, NamedPipeIsReadAsItComes)
{
    temp_home dir;
    std::string fifo = dir.path + "/pipe";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    auto s = start_in_dir(dir, {"-e", "pipe"});
    ASSERT_TRUE(s);
    int writer = open_fifo_writer(*s, fifo);
    ASSERT_GE(writer, 0) << strerror(errno);
    std::string first = numbered_text(1, 30);
    ASSERT_EQ(write(writer, first.data(), first.size()), (ssize_t)first.size());
    ASSERT_ROW(*s, 0, "line 1");
    std::string rest = numbered_text(31, 60);
    ASSERT_EQ(write(writer, rest.data(), rest.size()), (ssize_t)rest.size());
    close(writer);
    play(*s, "G");
    EXPECT_ROW(*s, 22, "line 60");
    play(*s, "?line 7$\n");
    EXPECT_TRUE(shows_line(*s, "line 7"));
    play(*s, "/line 44\n");
    EXPECT_TRUE(shows_line(*s, "line 44"));
    play(*s, "g");
    EXPECT_ROW(*s, 0, "line 1");
    vt_type(*s, "q");
    EXPECT_EQ(vt_wait_exit(*s), 0);
}

// A named pipe nobody writes to: the open waits, and the interrupt key
// still ends the pager in order.
TEST(OddInput, InterruptWhileANamedPipeWaitsForItsWriter)
{
    temp_home dir;
    ASSERT_EQ(mkfifo((dir.path + "/pipe").c_str(), 0600), 0);
    auto s = start_in_dir(dir, {"pipe"});
    ASSERT_TRUE(s);
    // The open blocks: the pager waits in the system call (the handlers
    // are in place before the first open).
    std::string syscall = "/proc/" + std::to_string(s->vorn_pid) + "/syscall";
    ASSERT_TRUE(wait_for(*s, [&] {
        return read_file(syscall).rfind(std::to_string(SYS_openat) + " ", 0) == 0;
    })) << read_file(syscall);
    vt_signal(*s, SIGINT);
    EXPECT_EQ(vt_wait_exit(*s), 0);
    EXPECT_TRUE(terminal_restored(*s));
}

// An endless device: the first screen is one long line of NULs; a jump to
// the end never finds one, and the interrupt key ends it.
TEST(OddInput, InterruptEndsAJumpToTheEndOfAnEndlessDevice)
{
    temp_home dir;
    auto s = start_in_dir(dir, {"/dev/zero"});
    ASSERT_TRUE(s);
    ASSERT_TRUE(vt_wait(*s, [](vt_session &v) {
        return vt_row(v, 0).compare(0, 4, "^@^@") == 0 &&
               vt_row(v, 23).find("zero") != std::string::npos;
    })) << vt_screen(*s);
    vt_type(*s, "G");
    // The jump is under way once the prompt has been taken away.
    ASSERT_TRUE(vt_wait(*s, [](vt_session &v) {
        return vt_row(v, 23).find("zero") == std::string::npos;
    })) << vt_screen(*s);
    interrupt_and_check(*s);
}

// A directory typed at "Examine: " is refused with its message; the file
// shown before stays, and so does its screen.
TEST(OddInput, DirectoryToExamineIsRefused)
{
    temp_home dir;
    dir.write("lines.txt", numbered_text(1, 100));
    ASSERT_EQ(mkdir((dir.path + "/sub").c_str(), 0700), 0);
    auto s = start_in_dir(dir, {"lines.txt"});
    ASSERT_TRUE(s);
    ASSERT_ROW(*s, 0, "line 1");
    play(*s, "5j:e");
    ASSERT_ROW_HAS(*s, 23, "Examine:");
    play(*s, "sub\n");
    EXPECT_ROW(*s, 23, pressed("sub is a directory"));
    play(*s, "\n");
    EXPECT_ROW(*s, 0, "line 6");
    EXPECT_ROW_HAS(*s, 23, "lines.txt");
    vt_type(*s, "q");
    EXPECT_EQ(vt_wait_exit(*s), 0);
}

// A file the user may not read: refused with the system's reason, at the
// start (the next file is shown) and when examined.  Root reads every
// file, so the pager runs as "nobody".
TEST(OddInput, FileWithoutReadPermissionIsRefused)
{
    if (geteuid() != 0 && access("/usr/bin/setpriv", X_OK) != 0)
        GTEST_SKIP() << "needs root and setpriv to run the pager as another user";
    temp_home dir;
    dir.write("secret.txt", "hidden\n");
    dir.write("lines.txt", numbered_text(1, 100));
    ASSERT_EQ(chmod((dir.path + "/secret.txt").c_str(), 0), 0);
    ASSERT_EQ(chmod(dir.path.c_str(), 0755), 0);
    vt_options options;
    if (geteuid() == 0) {
        options.program = "/usr/bin/setpriv";
        options.args = {"--reuid=nobody", "--regid=nogroup", "--clear-groups", VORN_BINARY};
    }
    options.args.insert(options.args.end(), {"secret.txt", "lines.txt"});
    options.cwd = dir.path;
    options.env.emplace_back("HOME", dir.path);
    auto s = vt_start(options);
    ASSERT_TRUE(s);
    EXPECT_TRUE(vt_wait(*s, [](vt_session &v) {
        return vt_screen(v).find("secret.txt: Permission denied") != std::string::npos;
    })) << vt_screen(*s);
    play(*s, "\n");
    EXPECT_ROW(*s, 0, "line 1");
    play(*s, ":e");
    ASSERT_ROW_HAS(*s, 23, "Examine:");
    play(*s, "secret.txt\n");
    EXPECT_ROW(*s, 23, pressed("secret.txt: Permission denied"));
    play(*s, "\n");
    EXPECT_ROW(*s, 0, "line 1");
    vt_type(*s, "q");
    EXPECT_EQ(vt_wait_exit(*s), 0);
}

// A file deleted while it is shown is still read through the descriptor
// the pager holds: every move and search works on what it held.
TEST(OddInput, DeletedFileIsStillReadThroughItsDescriptor)
{
    temp_home dir;
    dir.write("gone.txt", numbered_text(1, 100));
    auto s = start_in_dir(dir, {"-e", "gone.txt"});
    ASSERT_TRUE(s);
    ASSERT_ROW(*s, 0, "line 1");
    ASSERT_EQ(unlink((dir.path + "/gone.txt").c_str()), 0);
    run_steps(*s, {{"G", "line 78", ""}, {"g", "line 1", ""}, {"50p", "line 51", ""},
                   {"b", "line 28", ""}},
              23);
    play(*s, "/line 90\n");
    EXPECT_TRUE(shows_line(*s, "line 90"));
    play(*s, "?line 3$\n");
    EXPECT_TRUE(shows_line(*s, "line 3"));
    play(*s, "R");
    EXPECT_TRUE(shows_line(*s, "line 3"));
    EXPECT_ROW_HAS(*s, 23, "gone.txt");
    vt_type(*s, "q");
    EXPECT_EQ(vt_wait_exit(*s), 0);
}

}  // namespace
