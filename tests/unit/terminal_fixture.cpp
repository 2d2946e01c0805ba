// See terminal_fixture.h.
#include "terminal_fixture.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "display/display.h"

// Every read of a terminal description leaves some memory with the
// terminal library that it never frees.  That is the library's, not ours;
// with all tests in one process the leaks add up and would fail the death
// tests, whose children check for leaks as they exit.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libtinfo.so\n";
}

// The statistics of the suppressions would otherwise be printed at every
// exit, after the last line that the death tests look for.
extern "C" const char *__lsan_default_options()
{
    return "print_suppressions=0";
}

namespace {

std::string read_all(FILE *file)
{
    std::string text;
    rewind(file);
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, n);
    return text;
}

std::string capture_fd(int fd, const std::function<void()> &action,
                       bool flush_output)
{
    fflush(nullptr);
    FILE *file = tmpfile();
    if (file == nullptr) {
        ADD_FAILURE() << "tmpfile failed";
        return "";
    }
    int saved = dup(fd);
    dup2(fileno(file), fd);
    action();
    if (flush_output)
        out_flush();
    dup2(saved, fd);
    close(saved);
    std::string text = read_all(file);
    fclose(file);
    return text;
}

}  // namespace

std::string test_terminfo_dir()
{
    return VORN_TEST_TERMINFO;
}

fd2_replacement::fd2_replacement(int rows, int cols)
{
    fflush(stderr);
    saved = dup(2);
    if (rows < 0) {
        int null = open("/dev/null", O_RDWR);
        dup2(null, 2);
        close(null);
        return;
    }
    winsize size{};
    size.ws_row = static_cast<unsigned short>(rows);
    size.ws_col = static_cast<unsigned short>(cols);
    if (openpty(&master, &slave, nullptr, nullptr, &size) != 0) {
        ADD_FAILURE() << "openpty failed";
        return;
    }
    dup2(slave, 2);
}

void fd2_replacement::resize(int rows, int cols)
{
    winsize size{};
    size.ws_row = static_cast<unsigned short>(rows);
    size.ws_col = static_cast<unsigned short>(cols);
    if (master < 0 || ioctl(master, TIOCSWINSZ, &size) != 0)
        ADD_FAILURE() << "cannot resize the test terminal";
}

fd2_replacement::~fd2_replacement()
{
    dup2(saved, 2);
    close(saved);
    if (slave >= 0)
        close(slave);
    if (master >= 0)
        close(master);
}

void env_override::set(const std::string &name,
                       std::optional<std::string> value)
{
    const char *old = getenv(name.c_str());
    saved.emplace_back(name, old ? std::optional<std::string>(old)
                                 : std::nullopt);
    if (value)
        setenv(name.c_str(), value->c_str(), 1);
    else
        unsetenv(name.c_str());
}

env_override::~env_override()
{
    for (auto entry = saved.rbegin(); entry != saved.rend(); ++entry) {
        if (entry->second)
            setenv(entry->first.c_str(), entry->second->c_str(), 1);
        else
            unsetenv(entry->first.c_str());
    }
}

std::string capture_output(const std::function<void()> &action)
{
    return capture_fd(1, action, true);
}

std::string capture_stderr(const std::function<void()> &action)
{
    return capture_fd(2, action, false);
}

std::string recorded_messages(const std::function<void()> &action)
{
    EXPECT_EQ(capture_stderr(action), "") << "shown at once, not recorded";
    std::string taken;
    char *text;
    int kind;
    while ((kind = take_message(&text)) != MESSAGE_NONE) {
        taken += kind == MESSAGE_FATAL ? "fatal: " : "";
        taken += text != nullptr ? text : "";
        taken += "\n";
        free(text);
    }
    return taken;
}
