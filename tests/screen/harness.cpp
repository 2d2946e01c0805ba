// Screen-test harness: pty + job-control leader + libvterm.  See harness.h.
//
// Process layout: test process -> leader (setsid, pty as controlling
// terminal, ignores the job-control signals) -> pager (own process group,
// made the foreground group).  The leader writes the pager's pid, then one
// byte per event ('S' stopped, 'C' continued) to the status pipe, and exits
// with the pager's exit code, or 128+signal when the pager was killed.  The
// status pipe reaching end of file therefore means the leader is gone.
#include "harness.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vterm.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

extern char **environ;

namespace {

// Sanitized children start and run several times slower.
int scaled(int timeout_ms)
{
#if defined(__SANITIZE_ADDRESS__)
    return timeout_ms * 4;
#else
    return timeout_ms;
#endif
}

using clock_type = std::chrono::steady_clock;

int ms_left(clock_type::time_point deadline)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - clock_type::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

std::string make_temp_dir(const char *prefix)
{
    const char *tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/" +
                          prefix + "XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) {
        ADD_FAILURE() << "mkdtemp " << pattern << ": " << strerror(errno);
        return "";
    }
    return buffer.data();
}

void set_nonblocking(int fd)
{
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
}

// ---- environment and arguments, all built before forking ----

bool is_locale_name(const std::string &name)
{
    return name == "LANG" || name.rfind("LC_", 0) == 0;
}

void set_env(std::vector<std::string> &env, const std::string &name,
             const std::string &value)
{
    std::string prefix = name + "=";
    for (auto &entry : env)
        if (entry.rfind(prefix, 0) == 0) {
            entry = prefix + value;
            return;
        }
    env.push_back(prefix + value);
}

void unset_env(std::vector<std::string> &env, const std::string &name)
{
    std::string prefix = name + "=";
    std::erase_if(env, [&](const std::string &entry) {
        return entry.rfind(prefix, 0) == 0;
    });
}

// The child's environment: the test's own, minus everything that would let
// the machine the tests run on leak into the results.
std::vector<std::string> child_environment(const vt_options &options,
                                           const std::string &home,
                                           const std::string &log_dir)
{
    static const char *const scrubbed[] = {
        "VORN", "LINES", "COLUMNS", "TERMCAP", "TERMINFO", "TERMINFO_DIRS",
        "EDITOR", "VISUAL", "ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"};
    std::vector<std::string> env;
    for (char **entry = environ; *entry; ++entry) {
        std::string text = *entry;
        std::string name = text.substr(0, text.find('='));
        bool drop = is_locale_name(name);
        for (const char *bad : scrubbed)
            drop = drop || name == bad;
        if (!drop)
            env.push_back(text);
    }
    set_env(env, "TERM", options.term);
    set_env(env, "HOME", home);
    set_env(env, "SHELL", "/bin/sh");
    bool locale_given = false;
    for (const auto &[name, value] : options.env)
        locale_given = locale_given || is_locale_name(name);
    if (!locale_given)
        set_env(env, "LC_ALL", "C");
    set_env(env, "ASAN_OPTIONS",
            "log_path=" + log_dir + "/asan:detect_leaks=1");
    set_env(env, "UBSAN_OPTIONS", "log_path=" + log_dir +
                                      "/ubsan:print_stacktrace=1:"
                                      "halt_on_error=1");
    for (const auto &[name, value] : options.env)
        set_env(env, name, value);
    for (const auto &name : options.unset_env)
        unset_env(env, name);
    return env;
}

std::string env_value(const std::vector<std::string> &env,
                      const std::string &name)
{
    std::string prefix = name + "=";
    for (const auto &entry : env)
        if (entry.rfind(prefix, 0) == 0)
            return entry.substr(prefix.size());
    return "";
}

std::vector<char *> c_strings(std::vector<std::string> &texts)
{
    std::vector<char *> pointers;
    for (auto &text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// ---- running helper programs (tic, infocmp) ----

// Runs argv with env, returns its standard output; status in *status.
std::string run_capture(std::vector<std::string> argv,
                        std::vector<std::string> env, int *status)
{
    auto args = c_strings(argv);
    auto envp = c_strings(env);
    int out[2];
    *status = -1;
    if (pipe2(out, O_CLOEXEC) != 0)
        return "";
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        execvpe(args[0], args.data(), envp.data());
        _exit(127);
    }
    close(out[1]);
    std::string result;
    char buffer[4096];
    ssize_t n;
    while ((n = read(out[0], buffer, sizeof buffer)) > 0 ||
           (n < 0 && errno == EINTR))
        if (n > 0)
            result.append(buffer, static_cast<size_t>(n));
    close(out[0]);
    int wait_status = 0;
    if (pid > 0 && waitpid(pid, &wait_status, 0) == pid)
        *status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
    return result;
}

// Decodes one string value as infocmp prints it.
std::string decode_terminfo(std::string_view text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '^' && i + 1 < text.size()) {
            char next = text[++i];
            out += next == '?' ? '\x7f' : static_cast<char>(next & 0x1f);
        } else if (c == '\\' && i + 1 < text.size()) {
            char next = text[++i];
            switch (next) {
            case 'E': case 'e': out += '\x1b'; break;
            case 'n': case 'l': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 's': out += ' '; break;
            default:
                if (next >= '0' && next <= '7') {
                    int value = 0, digits = 0;
                    --i;
                    while (digits < 3 && i + 1 < text.size() &&
                           text[i + 1] >= '0' && text[i + 1] <= '7') {
                        value = value * 8 + (text[++i] - '0');
                        ++digits;
                    }
                    out += static_cast<char>(value ? value : 0x80);
                } else {
                    out += next;  // \\ \^ \, \:
                }
            }
        } else {
            out += c;
        }
    }
    return out;
}

// Key name -> terminfo capability of the key's sequence.
const std::pair<const char *, const char *> key_capabilities[] = {
    {"up", "kcuu1"},   {"down", "kcud1"}, {"left", "kcub1"},
    {"right", "kcuf1"}, {"home", "khome"}, {"end", "kend"},
    {"pgup", "kpp"},   {"pgdn", "knp"},   {"backtab", "kcbt"},
};

std::map<std::string, std::string> load_keys(const std::vector<std::string> &env)
{
    std::map<std::string, std::string> keys{{"tab", "\t"},
                                            {"enter", "\r"},
                                            {"esc", "\x1b"},
                                            {"backspace", "\x7f"}};
    std::string term = env_value(env, "TERM");
    if (term.empty())
        return keys;
    int status;
    std::string listing =
        run_capture({"infocmp", "-1", "-x", term}, env, &status);
    if (status != 0)
        return keys;
    std::map<std::string, std::string> caps;
    std::istringstream lines(listing);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] != '\t')
            continue;
        size_t equals = line.find('=');
        if (equals == std::string::npos || line.back() != ',')
            continue;
        caps[line.substr(1, equals - 1)] =
            decode_terminfo(std::string_view(line).substr(
                equals + 1, line.size() - equals - 2));
    }
    for (const auto &[name, cap] : key_capabilities)
        if (caps.count(cap))
            keys[name] = caps[cap];
    return keys;
}

// ---- the two child processes ----

void reset_signals(bool ignore_sighup)
{
    for (int sig : {SIGINT, SIGQUIT, SIGTSTP, SIGTTIN, SIGTTOU, SIGWINCH,
                    SIGPIPE, SIGCHLD})
        signal(sig, SIG_DFL);
    signal(SIGHUP, ignore_sighup ? SIG_IGN : SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
}

[[noreturn]] void exec_pager(const vt_options &options, int stdin_read,
                             char **argv, char **envp)
{
    setpgid(0, 0);
    signal(SIGTTOU, SIG_IGN);
    tcsetpgrp(0, getpid());
    reset_signals(options.ignore_sighup);
    if (stdin_read >= 0)
        dup2(stdin_read, 0);
    if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0)
        _exit(126);
    execve(argv[0], argv, envp);
    _exit(127);
}

[[noreturn]] void run_leader(const vt_options &options, int slave,
                             int status_write, int stdin_read, char **argv,
                             char **envp)
{
    setsid();
    ioctl(slave, TIOCSCTTY, 0);
    for (int fd = 0; fd < 3; ++fd)
        dup2(slave, fd);
    if (slave > 2)
        close(slave);
    for (int sig : {SIGHUP, SIGINT, SIGQUIT, SIGTSTP, SIGTTIN, SIGTTOU})
        signal(sig, SIG_IGN);
    pid_t pager = fork();
    if (pager == 0)
        exec_pager(options, stdin_read, argv, envp);
    if (pager < 0)
        _exit(125);
    setpgid(pager, pager);
    if (stdin_read >= 0)
        close(stdin_read);
    (void)!write(status_write, &pager, sizeof pager);
    for (;;) {
        int status;
        pid_t got = waitpid(pager, &status, WUNTRACED | WCONTINUED);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            _exit(125);
        if (WIFSTOPPED(status))
            (void)!write(status_write, "S", 1);
        else if (WIFCONTINUED(status))
            (void)!write(status_write, "C", 1);
        else if (WIFEXITED(status))
            _exit(WEXITSTATUS(status));
        else if (WIFSIGNALED(status))
            _exit(128 + WTERMSIG(status));
    }
}

// ---- output pumping ----

int record_termprop(VTermProp prop, VTermValue *value, void *user)
{
    if (prop == VTERM_PROP_MOUSE)
        static_cast<vt_session *>(user)->mouse_mode = value->number;
    return 1;
}

const VTermScreenCallbacks screen_callbacks = [] {
    VTermScreenCallbacks callbacks{};
    callbacks.settermprop = record_termprop;
    return callbacks;
}();

void emulator_output(const char *bytes, size_t len, void *user)
{
    auto *s = static_cast<vt_session *>(user);
    if (s->master_fd >= 0)
        (void)!write(s->master_fd, bytes, len);
}

// Escape sequences and carriage returns removed, for a readable excerpt.
std::string plain_text(const std::string &bytes)
{
    std::string text;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\x1b') {
            if (i + 1 < bytes.size() && bytes[i + 1] == '[') {
                i += 2;
                while (i < bytes.size() && (bytes[i] < 0x40 || bytes[i] > 0x7e))
                    ++i;
            } else {
                ++i;
            }
        } else if (bytes[i] != '\r') {
            text += bytes[i];
        }
    }
    return text;
}

// Where a sanitizer report starts in text, or npos.  An undefined-behaviour
// report starts "file:line:column: runtime error: ".
size_t report_start(const std::string &text)
{
    for (const char *marker : {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer",
                               "AddressSanitizer:DEADLYSIGNAL",
                               "ERROR: UndefinedBehaviorSanitizer"}) {
        size_t at = text.find(marker);
        if (at != std::string::npos)
            return at;
    }
    const std::string ub_marker = ": runtime error: ";
    for (size_t at = text.find(ub_marker); at != std::string::npos;
         at = text.find(ub_marker, at + 1))
        if (at > 0 && isdigit(static_cast<unsigned char>(text[at - 1])))
            return text.rfind('\n', at) == std::string::npos
                       ? 0
                       : text.rfind('\n', at) + 1;
    return std::string::npos;
}

void scan_for_report(vt_session &s, const char *bytes, size_t size)
{
    const size_t report_limit = 4000, tail_keep = 256;
    if (!s.terminal_report.empty()) {
        if (s.terminal_report.size() < report_limit)
            s.terminal_report.append(bytes, size);
        return;
    }
    s.output_tail.append(bytes, size);
    size_t at = report_start(s.output_tail);
    if (at != std::string::npos)
        s.terminal_report = s.output_tail.substr(at);
    else if (s.output_tail.size() > tail_keep)
        s.output_tail.erase(0, s.output_tail.size() - tail_keep);
}

void check_sanitizer_logs(vt_session &s)
{
    if (!s.terminal_report.empty() && !s.terminal_report_shown) {
        s.terminal_report_shown = true;
        ADD_FAILURE() << "sanitizer report from the pager on its terminal:\n"
                      << plain_text(s.terminal_report);
    }
    if (s.log_dir.empty())
        return;
    std::error_code error;
    for (const auto &entry :
         std::filesystem::directory_iterator(s.log_dir, error)) {
        std::ifstream in(entry.path());
        std::stringstream content;
        content << in.rdbuf();
        ADD_FAILURE() << "sanitizer report from the pager ("
                      << entry.path().filename().string() << "):\n"
                      << content.str();
        std::filesystem::remove(entry.path(), error);
    }
}

void reap_leader(vt_session &s)
{
    if (s.exited || s.pid <= 0)
        return;
    int status;
    pid_t got;
    while ((got = waitpid(s.pid, &status, 0)) < 0 && errno == EINTR) {
    }
    s.exited = true;
    s.stopped = false;
    if (got == s.pid)
        s.exit_status = WIFEXITED(status) ? WEXITSTATUS(status)
                                          : 128 + WTERMSIG(status);
    check_sanitizer_logs(s);
}

// How many bytes at the end of `bytes` begin a UTF-8 character that the
// next read completes.
size_t incomplete_utf8_tail(const std::string &bytes)
{
    size_t size = bytes.size();
    for (size_t back = 1; back <= 3 && back <= size; back++) {
        unsigned char c = static_cast<unsigned char>(bytes[size - back]);
        if ((c & 0xc0) == 0x80)
            continue;       // a continuation byte: look further back
        size_t length = c >= 0xf0 ? 4 : c >= 0xe0 ? 3 : c >= 0xc0 ? 2 : 1;
        return length > back ? back : 0;
    }
    return 0;
}

// A UTF-8 character split between two writes to libvterm is shown as a
// replacement character (and a combining mark so split is lost), where a
// real terminal waits for its rest: in UTF-8 the tail that begins one is
// kept for the next read.  A pager stalled on a full terminal writes in
// pieces, and its screen must not look garbled for that.
void feed_terminal(vt_session &s, const char *bytes, size_t size, bool utf8)
{
    s.unfed_utf8.append(bytes, size);
    size_t keep = utf8 ? incomplete_utf8_tail(s.unfed_utf8) : 0;
    size_t feed = s.unfed_utf8.size() - keep;
    vterm_input_write(s.vt, s.unfed_utf8.data(), feed);
    s.unfed_utf8.erase(0, feed);
}

void read_master(vt_session &s)
{
    char buffer[4096];
    bool utf8 = vterm_get_utf8(s.vt) != 0;
    for (;;) {
        ssize_t n = read(s.master_fd, buffer, sizeof buffer);
        if (n > 0) {
            feed_terminal(s, buffer, static_cast<size_t>(n), utf8);
            scan_for_report(s, buffer, static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
            s.output_closed = true;  // EIO: no slave side is open any more
            feed_terminal(s, "", 0, false);     // what is left, as it is
        }
        return;
    }
}

void read_status(vt_session &s)
{
    char events[64];
    for (;;) {
        ssize_t n = read(s.status_fd, events, sizeof events);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return;
        if (n == 0) {
            close(s.status_fd);
            s.status_fd = -1;
            reap_leader(s);
            return;
        }
        for (ssize_t i = 0; i < n; ++i)
            s.stopped = events[i] == 'S';
    }
}

void write_stdin(vt_session &s)
{
    while (!s.stdin_pending.empty() && s.stdin_fd >= 0) {
        ssize_t n = write(s.stdin_fd, s.stdin_pending.data(),
                          s.stdin_pending.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        if (n < 0) {  // the pager closed its end: nobody will read the rest
            s.stdin_pending.clear();
            break;
        }
        s.stdin_pending.erase(0, static_cast<size_t>(n));
    }
    if (s.stdin_pending.empty() && s.stdin_close_when_written &&
        s.stdin_fd >= 0) {
        close(s.stdin_fd);
        s.stdin_fd = -1;
    }
}

// Waits up to wait_ms for something to happen, then handles all of it.
// Returns false when nothing can happen any more.
bool pump_once(vt_session &s, int wait_ms, bool want_output_space = false)
{
    pollfd fds[3];
    int count = 0;
    short master_events = static_cast<short>((s.reader_stalled ? 0 : POLLIN) |
                                             (want_output_space ? POLLOUT : 0));
    if (s.master_fd >= 0 && !s.output_closed && master_events != 0)
        fds[count++] = {s.master_fd, master_events, 0};
    if (s.status_fd >= 0)
        fds[count++] = {s.status_fd, POLLIN, 0};
    if (s.stdin_fd >= 0 && !s.stdin_pending.empty())
        fds[count++] = {s.stdin_fd, POLLOUT, 0};
    if (count == 0) {
        reap_leader(s);
        return false;
    }
    if (poll(fds, static_cast<nfds_t>(count), wait_ms) < 0 && errno != EINTR)
        return false;
    if (s.master_fd >= 0 && !s.output_closed && !s.reader_stalled)
        read_master(s);
    if (s.status_fd >= 0)
        read_status(s);
    write_stdin(s);
    return true;
}

std::string cell_text(const VTermScreenCell &cell)
{
    std::string out;
    if (cell.chars[0] == 0)
        return " ";
    for (int i = 0; i < VTERM_MAX_CHARS_PER_CELL && cell.chars[i]; ++i) {
        uint32_t c = cell.chars[i];
        if (c == 0xffffffffu)
            return "";
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xc0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3f));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xe0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (c & 0x3f));
        } else {
            out += static_cast<char>(0xf0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3f));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (c & 0x3f));
        }
    }
    return out;
}

bool get_cell(vt_session &s, int row, int col, VTermScreenCell *cell)
{
    int rows, cols;
    vterm_get_size(s.vt, &rows, &cols);
    if (row < 0 || row >= rows || col < 0 || col >= cols)
        return false;
    return vterm_screen_get_cell(s.screen, VTermPos{row, col}, cell) != 0;
}

}  // namespace

vt_session::~vt_session()
{
    if (pid > 0 && !exited) {
        if (vorn_pid > 0) {
            kill(vorn_pid, SIGKILL);
        } else {
            kill(pid, SIGKILL);
        }
        while (status_fd >= 0 && pump_once(*this, 1000)) {
        }
        reap_leader(*this);
    } else if (vt && master_fd >= 0 && !output_closed) {
        pump_once(*this, 0);
    }
    check_sanitizer_logs(*this);
    if (vt && ::testing::Test::HasFailure())
        printf("---- screen at the end of the session ----\n%s",
               vt_screen(*this).c_str());
    if (vt)
        vterm_free(vt);
    for (int fd : {master_fd, stdin_fd, status_fd})
        if (fd >= 0)
            close(fd);
    std::error_code error;
    if (own_home && !home.empty())
        std::filesystem::remove_all(home, error);
    if (!log_dir.empty())
        std::filesystem::remove_all(log_dir, error);
}

vt_ptr vt_start(const vt_options &options)
{
    signal(SIGPIPE, SIG_IGN);  // a pager that quit early must not kill us
    auto s = std::make_unique<vt_session>();
    s->log_dir = make_temp_dir("vorn-log-");
    std::string home;
    for (const auto &[name, value] : options.env)
        if (name == "HOME")
            home = value;
    if (home.empty()) {
        home = make_temp_dir("vorn-home-");
        s->own_home = true;
    }
    s->home = home;
    if (s->log_dir.empty() || home.empty())
        return nullptr;
    for (const auto &[name, text] : options.home_files)
        vt_write_file(home + "/" + name, text);

    std::vector<std::string> env =
        child_environment(options, home, s->log_dir);
    std::vector<std::string> argv{options.program.empty() ? VORN_BINARY
                                                          : options.program};
    argv.insert(argv.end(), options.args.begin(), options.args.end());
    auto envp = c_strings(env);
    auto args = c_strings(argv);
    s->keys = load_keys(env);

    winsize size{};
    size.ws_row = static_cast<unsigned short>(options.rows);
    size.ws_col = static_cast<unsigned short>(options.cols);
    int slave;
    if (openpty(&s->master_fd, &slave, nullptr, nullptr, &size) != 0) {
        ADD_FAILURE() << "openpty: " << strerror(errno);
        return nullptr;
    }
    fcntl(s->master_fd, F_SETFD, FD_CLOEXEC);
    tcgetattr(slave, &s->initial_tty);

    int status_pipe[2], stdin_pipe[2] = {-1, -1};
    if (pipe2(status_pipe, O_CLOEXEC) != 0 ||
        (options.stdin_pipe && pipe2(stdin_pipe, O_CLOEXEC) != 0)) {
        ADD_FAILURE() << "pipe: " << strerror(errno);
        close(slave);
        return nullptr;
    }
    s->vt = vterm_new(options.rows, options.cols);
    vterm_set_utf8(s->vt, options.utf8 ? 1 : 0);
    vterm_output_set_callback(s->vt, emulator_output, s.get());
    s->screen = vterm_obtain_screen(s->vt);
    vterm_screen_set_callbacks(s->screen, &screen_callbacks, s.get());
    vterm_screen_enable_altscreen(s->screen, 1);
    vterm_screen_reset(s->screen, 1);

    fflush(nullptr);
    pid_t leader = fork();
    if (leader == 0) {
        close(s->master_fd);
        close(status_pipe[0]);
        if (stdin_pipe[1] >= 0)
            close(stdin_pipe[1]);
        run_leader(options, slave, status_pipe[1], stdin_pipe[0],
                   args.data(), envp.data());
    }
    close(slave);
    close(status_pipe[1]);
    if (stdin_pipe[0] >= 0)
        close(stdin_pipe[0]);
    if (leader < 0) {
        ADD_FAILURE() << "fork: " << strerror(errno);
        close(status_pipe[0]);
        if (stdin_pipe[1] >= 0)
            close(stdin_pipe[1]);
        return nullptr;
    }
    s->pid = leader;
    s->status_fd = status_pipe[0];
    s->stdin_fd = stdin_pipe[1];

    // The leader's first words are the pager's pid.
    pollfd wait_pid{s->status_fd, POLLIN, 0};
    if (poll(&wait_pid, 1, scaled(5000)) != 1 ||
        read(s->status_fd, &s->vorn_pid, sizeof s->vorn_pid) !=
            static_cast<ssize_t>(sizeof s->vorn_pid)) {
        ADD_FAILURE() << "the session leader did not start the pager";
        return nullptr;
    }
    set_nonblocking(s->master_fd);
    set_nonblocking(s->status_fd);
    if (s->stdin_fd >= 0) {
        set_nonblocking(s->stdin_fd);
        s->stdin_pending = options.stdin_data;
        s->stdin_close_when_written = !options.stdin_keep_open;
        write_stdin(*s);
    }
    return s;
}

void vt_pump(vt_session &s)
{
    pump_once(s, 0);
}

void vt_feed(vt_session &s, std::string_view bytes)
{
    vt_pump(s);
    feed_terminal(s, bytes.data(), bytes.size(), vterm_get_utf8(s.vt) != 0);
}

int vt_mouse_mode(vt_session &s)
{
    vt_pump(s);
    return s.mouse_mode;
}

void vt_mouse_button(vt_session &s, int button, bool pressed, int row, int col)
{
    vt_pump(s);
    vterm_mouse_move(s.vt, row, col, VTERM_MOD_NONE);
    vterm_mouse_button(s.vt, button, pressed, VTERM_MOD_NONE);
}

void vt_type(vt_session &s, std::string_view bytes)
{
    auto deadline = clock_type::now() + std::chrono::milliseconds(scaled(5000));
    while (!bytes.empty()) {
        if (s.master_fd < 0) {
            ADD_FAILURE() << "typing on a terminal that was hung up";
            return;
        }
        ssize_t n = write(s.master_fd, bytes.data(), bytes.size());
        if (n > 0) {
            bytes.remove_prefix(static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            ADD_FAILURE() << "writing keys: " << strerror(errno);
            return;
        }
        int left = ms_left(deadline);
        if (left == 0) {
            ADD_FAILURE() << "the pager does not read its keys";
            return;
        }
        pump_once(s, left, true);
    }
    vt_pump(s);
}

void vt_key(vt_session &s, std::string_view name)
{
    if (name.size() == 2 && name[0] == '^') {
        char key = name[1] == '?' ? '\x7f' : static_cast<char>(name[1] & 0x1f);
        vt_type(s, std::string_view(&key, 1));
        return;
    }
    auto found = s.keys.find(std::string(name));
    if (found == s.keys.end()) {
        ADD_FAILURE() << "no sequence for the key \"" << name
                      << "\" in the description in use";
        return;
    }
    vt_type(s, found->second);
}

bool vt_wait(vt_session &s, std::function<bool(vt_session &)> cond,
             int timeout_ms)
{
    auto deadline =
        clock_type::now() + std::chrono::milliseconds(scaled(timeout_ms));
    for (;;) {
        bool alive = pump_once(s, 0);
        if (cond(s))
            return true;
        int left = ms_left(deadline);
        if (!alive || left == 0)
            return false;
        if (!pump_once(s, left))
            return cond(s);
        if (cond(s))
            return true;
    }
}

bool vt_wait_row(vt_session &s, int row, std::string_view text, int timeout_ms)
{
    return vt_wait(
        s, [&](vt_session &v) { return vt_row(v, row) == text; }, timeout_ms);
}

bool vt_wait_contains(vt_session &s, int row, std::string_view text,
                      int timeout_ms)
{
    return vt_wait(
        s,
        [&](vt_session &v) {
            return vt_row(v, row).find(text) != std::string::npos;
        },
        timeout_ms);
}

std::string vt_row(vt_session &s, int row)
{
    int rows, cols;
    vterm_get_size(s.vt, &rows, &cols);
    std::string text;
    VTermScreenCell cell;
    for (int col = 0; col < cols; ++col)
        if (get_cell(s, row, col, &cell))
            text += cell_text(cell);
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

std::string vt_screen(vt_session &s)
{
    int rows, cols;
    vterm_get_size(s.vt, &rows, &cols);
    std::string text;
    char label[16];
    for (int row = 0; row < rows; ++row) {
        snprintf(label, sizeof label, "%2d|", row);
        text += label + vt_row(s, row) + "\n";
    }
    auto [cursor_row, cursor_col] = vt_cursor(s);
    snprintf(label, sizeof label, "%d,%d", cursor_row, cursor_col);
    return text + "cursor at " + label + "\n";
}

vt_attrs vt_attr(vt_session &s, int row, int col)
{
    VTermScreenCell cell;
    if (!get_cell(s, row, col, &cell)) {
        ADD_FAILURE() << "no cell at " << row << "," << col;
        return {false, false, false};
    }
    return {cell.attrs.bold != 0, cell.attrs.underline != 0,
            cell.attrs.reverse != 0};
}

static std::string colour_words(const VTermColor &colour, const char *name)
{
    if (VTERM_COLOR_IS_DEFAULT_FG(&colour) || VTERM_COLOR_IS_DEFAULT_BG(&colour))
        return "";
    if (VTERM_COLOR_IS_INDEXED(&colour))
        return std::string(" ") + name + "=" + std::to_string(colour.indexed.idx);
    return std::string(" ") + name + "=rgb(" + std::to_string(colour.rgb.red) + "," +
           std::to_string(colour.rgb.green) + "," + std::to_string(colour.rgb.blue) + ")";
}

std::string vt_style(vt_session &s, int row, int col)
{
    VTermScreenCell cell;
    if (!get_cell(s, row, col, &cell)) {
        ADD_FAILURE() << "no cell at " << row << "," << col;
        return "";
    }
    std::string words;
    const std::pair<bool, const char *> attributes[] = {
        {cell.attrs.bold != 0, " bold"},       {cell.attrs.italic != 0, " italic"},
        {cell.attrs.underline != 0, " underline"}, {cell.attrs.blink != 0, " blink"},
        {cell.attrs.reverse != 0, " reverse"},
    };
    for (const auto &[on, name] : attributes) {
        if (on)
            words += name;
    }
    words += colour_words(cell.fg, "fg") + colour_words(cell.bg, "bg");
    return words.empty() ? "plain" : words.substr(1);
}

std::pair<int, int> vt_cursor(vt_session &s)
{
    VTermPos pos;
    vterm_state_get_cursorpos(vterm_obtain_state(s.vt), &pos);
    return {pos.row, pos.col};
}

void vt_resize(vt_session &s, int rows, int cols)
{
    vt_pump(s);  // what was written for the old size lands on the old size
    // The same size again is no change: the pty signals nothing, and the
    // emulator would still redo its rows (libvterm moves them up).
    int old_rows = 0, old_cols = 0;
    vterm_get_size(s.vt, &old_rows, &old_cols);
    if (rows == old_rows && cols == old_cols)
        return;
    winsize size{};
    size.ws_row = static_cast<unsigned short>(rows);
    size.ws_col = static_cast<unsigned short>(cols);
    if (s.master_fd >= 0 && ioctl(s.master_fd, TIOCSWINSZ, &size) != 0)
        ADD_FAILURE() << "TIOCSWINSZ: " << strerror(errno);
    vterm_set_size(s.vt, rows, cols);
}

void vt_signal(vt_session &s, int sig)
{
    if (s.vorn_pid > 0 && !s.exited)
        kill(s.vorn_pid, sig);
}

bool vt_wait_stopped(vt_session &s, int timeout_ms)
{
    return vt_wait(
        s, [](vt_session &v) { return v.stopped; }, timeout_ms);
}

int vt_wait_exit(vt_session &s, int timeout_ms)
{
    bool done = vt_wait(
        s, [](vt_session &v) { return v.exited && v.output_closed; },
        timeout_ms);
    return done || s.exited ? s.exit_status : -1;
}

void vt_hangup(vt_session &s)
{
    vt_pump(s);
    if (s.master_fd >= 0)
        close(s.master_fd);
    s.master_fd = -1;
    s.output_closed = true;
}

struct termios vt_initial_tty(vt_session &s)
{
    return s.initial_tty;
}

struct termios vt_final_tty(vt_session &s)
{
    struct termios settings {};
    if (s.master_fd < 0 || tcgetattr(s.master_fd, &settings) != 0)
        ADD_FAILURE() << "cannot read the terminal settings";
    return settings;
}

std::string vt_home(vt_session &s)
{
    return s.home;
}

void vt_stdin_write(vt_session &s, std::string_view bytes)
{
    if (s.stdin_fd < 0) {
        ADD_FAILURE() << "standard input is not an open pipe";
        return;
    }
    s.stdin_pending.append(bytes);
    write_stdin(s);
}

void vt_stdin_close(vt_session &s)
{
    s.stdin_close_when_written = true;
    write_stdin(s);
}

std::string vt_terminfo_dir()
{
    return VORN_TEST_TERMINFO;     // compiled once at build time
}

void vt_write_file(const std::string &path, std::string_view content)
{
    std::ofstream out(path, std::ios::binary);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out)
        ADD_FAILURE() << "cannot write " << path;
}

::testing::AssertionResult vt_row_is(vt_session &s, int row,
                                     std::string_view text, int timeout_ms)
{
    if (vt_wait_row(s, row, text, timeout_ms))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "row " << row << " is \"" << vt_row(s, row) << "\", expected \""
           << text << "\"\n"
           << vt_screen(s);
}

::testing::AssertionResult vt_row_has(vt_session &s, int row,
                                      std::string_view text, int timeout_ms)
{
    if (vt_wait_contains(s, row, text, timeout_ms))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "row " << row << " is \"" << vt_row(s, row)
           << "\", expected it to contain \"" << text << "\"\n"
           << vt_screen(s);
}
