// See terminal_fixture.h.
#include "terminal_fixture.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "display/display.h"

namespace {

// Removed by the process that compiled it only: a death test's child runs
// the static destructors too when its statement calls exit().
struct compiled_terminfo {
    std::string dir;
    pid_t owner = 0;
    ~compiled_terminfo()
    {
        std::error_code error;
        if (!dir.empty() && owner == getpid())
            std::filesystem::remove_all(dir, error);
    }
};

bool run_tic(const std::string &dir, const std::string &source)
{
    pid_t pid = fork();
    if (pid == 0) {
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 2);  // tic's warnings about the oversized entry
        execlp("tic", "tic", "-x", "-o", dir.c_str(), source.c_str(),
               static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

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
    static compiled_terminfo compiled;
    if (!compiled.dir.empty())
        return compiled.dir;
    char pattern[] = "/tmp/vorn-unit-terminfo-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        ADD_FAILURE() << "mkdtemp failed";
        return "";
    }
    compiled.dir = pattern;
    compiled.owner = getpid();
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator(
             std::string(VORN_TEST_DATA) + "/terminfo", error))
        if (entry.path().extension() == ".ti" &&
            !run_tic(compiled.dir, entry.path().string()))
            ADD_FAILURE() << "tic failed on " << entry.path();
    return compiled.dir;
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
