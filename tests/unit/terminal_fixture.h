// Helpers for in-process tests of the terminal code: test terminal
// descriptions compiled from tests/data/terminfo, descriptor 2 replaced by
// a pseudo-terminal of a chosen size (or by /dev/null), the environment
// changed for one test, and descriptor 1 captured while the output buffer
// is flushed.  None of it depends on the terminal the tests run from.
#ifndef VORN_TEST_TERMINAL_FIXTURE_H
#define VORN_TEST_TERMINAL_FIXTURE_H

#include <functional>
#include <optional>
#include <string>
#include <vector>

// Directory of the test descriptions, compiled once at build time.
std::string test_terminfo_dir();

// Replaces descriptor 2 for its lifetime: a pty slave with the window size
// rows x cols, or /dev/null when rows < 0.
struct fd2_replacement {
    int saved = -1;
    int master = -1;
    int slave = -1;
    fd2_replacement(int rows, int cols);
    ~fd2_replacement();
    fd2_replacement(const fd2_replacement &) = delete;
    fd2_replacement &operator=(const fd2_replacement &) = delete;
    void resize(int rows, int cols);
};

// Sets (or, with nullopt, removes) environment variables for its lifetime.
struct env_override {
    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
    void set(const std::string &name, std::optional<std::string> value);
    ~env_override();
};

// Runs action with descriptor 1 sent to a file, flushes the output buffer,
// and returns what was written.
std::string capture_output(const std::function<void()> &action);
// Same for descriptor 2 (nothing is flushed).
std::string capture_stderr(const std::function<void()> &action);
// Runs action, which is to show nothing itself (a test fails when it writes
// to descriptor 2), and takes the messages it recorded for whoever started
// the work to show: their texts, each followed by a newline, a fatal one
// marked "fatal: ".
std::string recorded_messages(const std::function<void()> &action);

#endif
