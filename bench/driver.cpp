// Interactive benchmark driver: runs one pager (this program or a peer) in a
// pseudo-terminal through the screen-test harness and times scripted steps
// from the key to the moment the expected screen is there.
//
// Usage: vorn_bench_driver [--rows N] [--cols N]
//            [--rss-name NAME] [--utf8]
//            [--cwd DIR] [--timeout SECONDS] -- PROGRAM ARGS... -- STEP...
// --utf8 runs the pager in the C.UTF-8 locale on a terminal that decodes
// UTF-8.
// Steps (run in order; waits give up after --timeout seconds):
//   type:TEXT        type the bytes          key:NAME     a named key
//   row:R:TEXT       wait until row R holds TEXT (R < 0 counts from the end)
//   notrow:R:TEXT    wait until row R does not hold TEXT
//   filled:R         wait until row R is not blank (a prompt is written
//                    after the rows above it)
//   rowany:R:A|B|C   wait until row R holds one of the texts
//   any:TEXT         wait until some row holds TEXT
//   snap / changed   remember the screen / wait until it differs
//   mark             start the clock (it starts with the program)
//   lap:NAME         print the time since the mark, and the processor time
//                    the pager had since then
//   page:N:STEP:TOP  press space N times, one at a time as a held key would
//                    reach a pager that keeps up, each time waiting for the
//                    top row to show line TOP + STEP*i (nine digits)
//   burst:N:STEP:TOP press space N times in one write, as keys typed ahead
//                    arrive, then wait for the top row to show line
//                    TOP + STEP*N
//                    (both: with ":ROW" after TOP, row ROW instead of the
//                    top row, the first beneath header lines)
//   grow:FILE:RATE:S append numbered lines (nine digits, starting after
//                    the number of lines FILE holds) at RATE bytes a second
//                    for S seconds, looking at the screen between writes:
//                    prints how far the last text row (the one above the
//                    prompt) fell behind the end, at most, in seconds
//   caughtup[:N]     wait until that row shows the last line appended (with
//                    N: the last one whose number is a multiple of N, the
//                    last a filter showing those lets through)
//   idle:S           print the pager's processor time over S seconds, in
//                    per cent of one processor
//   rss              print the peak resident size of the pager (kB)
// Output lines: "BENCH lap NAME SECONDS", "BENCH cpu NAME SECONDS", "BENCH rss
// KB", "BENCH value NAME NUMBER", "BENCH fail WHY".
// It is a GoogleTest program only because the harness reports through it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "harness.h"

namespace {

struct driver_config {
    vt_options options;
    std::vector<std::string> steps;
    std::string rss_name;
    int timeout_ms = 600000;
};

driver_config config;

using clock_type = std::chrono::steady_clock;

// The number of the last line a grow step appended (0: none yet).
long last_grown_line;

// "row:R:TEXT" -> R and TEXT (the text may hold colons).
std::pair<int, std::string> row_and_text(const std::string &step)
{
    size_t first = step.find(':') + 1;
    size_t second = step.find(':', first);
    if (second == std::string::npos)
        return {0, ""};
    int row = std::atoi(step.substr(first, second - first).c_str());
    return {row < 0 ? config.options.rows + row : row, step.substr(second + 1)};
}

// Whether the row holds one of the texts separated by '|'.
bool holds_any(const std::string &row, const std::string &texts)
{
    size_t start = 0;
    for (;;) {
        size_t end = texts.find('|', start);
        std::string text = texts.substr(start, end == std::string::npos ? end : end - start);
        if (row.find(text) != std::string::npos)
            return true;
        if (end == std::string::npos)
            return false;
        start = end + 1;
    }
}

// The pager's process: the started one, or (behind a shell) the descendant
// whose command name is rss_name.
pid_t find_pager(pid_t root)
{
    if (config.rss_name.empty())
        return root;
    std::vector<pid_t> todo{root};
    while (!todo.empty()) {
        pid_t pid = todo.back();
        todo.pop_back();
        std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
        std::string name;
        std::getline(comm, name);
        if (name == config.rss_name)
            return pid;
        std::ifstream children("/proc/" + std::to_string(pid) + "/task/" +
                               std::to_string(pid) + "/children");
        pid_t child;
        while (children >> child)
            todo.push_back(child);
    }
    return root;
}

long peak_rss_kb(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

// The N, STEP and TOP of "page:N:STEP:TOP" or "burst:N:STEP:TOP", and
// the ROW the top line is on after a fourth ":ROW" (0 without: the top
// row; 1 beneath a header line).
struct page_step {
    long count = 0, stride = 0, top = 0;
    int row = 0;
};

page_step page_numbers(const std::string &step)
{
    std::istringstream in(step.substr(step.find(':') + 1));
    page_step p;
    char colon;
    in >> p.count >> colon >> p.stride >> colon >> p.top;
    if (in >> colon)
        in >> p.row;
    return p;
}

bool top_shows(vt_session &s, long line, int row)
{
    char want[32];
    snprintf(want, sizeof want, "%09ld ", line);
    return vt_wait_contains(s, row, want, config.timeout_ms);
}

bool page(vt_session &s, const std::string &step)
{
    page_step p = page_numbers(step);
    for (long i = 1; i <= p.count; i++) {
        vt_type(s, " ");
        if (!top_shows(s, p.top + p.stride * i, p.row))
            return false;
    }
    return true;
}

bool burst(vt_session &s, const std::string &step)
{
    page_step p = page_numbers(step);
    vt_type(s, std::string(static_cast<size_t>(p.count), ' '));
    return top_shows(s, p.top + p.stride * p.count, p.row);
}

// The line number at the start of row `row`, or -1.
long number_in_row(vt_session &s, int row)
{
    std::string text = vt_row(s, row);
    if (text.size() < 9 || text.find_first_not_of("0123456789") < 9)
        return -1;
    return std::atol(text.substr(0, 9).c_str());
}

long lines_in(const std::string &path)
{
    std::ifstream in(path);
    long count = 0;
    std::string line;
    while (std::getline(in, line))
        count++;
    return count;
}

// Appends lines at the rate asked, every ten milliseconds what is due by
// then, and looks at the screen in between.
bool grow(vt_session &s, const std::string &step)
{
    std::istringstream in(step.substr(5));
    std::string path;
    std::getline(in, path, ':');
    double rate = 0, seconds = 0;
    char colon;
    in >> rate >> colon >> seconds;
    if (!config.options.cwd.empty() && path[0] != '/')
        path = config.options.cwd + "/" + path;
    long next = lines_in(path) + 1;
    int fd = open(path.c_str(), O_WRONLY | O_APPEND);
    if (fd < 0 || rate <= 0)
        return false;
    const int row = config.options.rows - 2;
    const std::string filler = " a line of the growing file, as a busy log writes them\n";
    double line_bytes = static_cast<double>(10 + filler.size() - 1);
    auto start = clock_type::now();
    double written = 0, worst_lag = 0;
    for (;;) {
        std::chrono::duration<double> since = clock_type::now() - start;
        bool done = since.count() >= seconds;
        double due = rate * (done ? seconds : since.count());
        std::string chunk;
        char number[24];
        while (written + static_cast<double>(chunk.size()) + line_bytes <= due) {
            snprintf(number, sizeof number, "%09ld", next++);
            chunk += number + filler;
        }
        if (!chunk.empty() && write(fd, chunk.data(), chunk.size()) != static_cast<ssize_t>(chunk.size())) {
            close(fd);
            return false;
        }
        written += static_cast<double>(chunk.size());
        last_grown_line = next - 1;
        long shown = number_in_row(s, row);
        if (shown > 0) {
            double lag = static_cast<double>(last_grown_line - shown) * line_bytes / rate;
            worst_lag = lag > worst_lag ? lag : worst_lag;
        }
        if (done)
            break;
        vt_wait(s, [](vt_session &) { return false; }, 10);
    }
    close(fd);
    printf("BENCH value lag-max %.6f\n", worst_lag);
    return true;
}

// The processor time the pager has had, in seconds (from the scheduler's
// own account, in nanoseconds).
double cpu_seconds(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/schedstat");
    double ns = -1;
    in >> ns;
    return ns / 1e9;
}

bool idle(vt_session &s, const std::string &step)
{
    double seconds = std::atof(step.c_str() + 5);
    double before = cpu_seconds(s.vorn_pid);
    auto start = clock_type::now();
    vt_wait(s, [](vt_session &) { return false; }, static_cast<int>(seconds * 1000));
    std::chrono::duration<double> took = clock_type::now() - start;
    double after = cpu_seconds(s.vorn_pid);
    if (before < 0 || after < 0)
        return false;
    printf("BENCH value idle-cpu-percent %.3f\n", (after - before) / took.count() * 100);
    return true;
}

// The pager's processor time at the last mark.
double mark_cpu;

bool run_step(vt_session &s, const std::string &step, clock_type::time_point &mark,
              std::string &snapshot)
{
    int t = config.timeout_ms;
    if (step.rfind("type:", 0) == 0) {
        vt_type(s, step.substr(5));
    } else if (step.rfind("key:", 0) == 0) {
        vt_key(s, step.substr(4));
    } else if (step.rfind("row:", 0) == 0) {
        auto [row, text] = row_and_text(step);
        return vt_wait_contains(s, row, text, t);
    } else if (step.rfind("rowany:", 0) == 0) {
        auto [row, texts] = row_and_text(step);
        return vt_wait(s, [&, row = row, texts = texts](vt_session &v) {
            return holds_any(vt_row(v, row), texts); }, t);
    } else if (step.rfind("notrow:", 0) == 0) {
        auto [row, text] = row_and_text(step);
        return vt_wait(s, [&, row = row, text = text](vt_session &v) {
            return vt_row(v, row).find(text) == std::string::npos; }, t);
    } else if (step.rfind("filled:", 0) == 0) {
        int row = std::atoi(step.c_str() + 7);
        if (row < 0)
            row += config.options.rows;
        return vt_wait(s, [row](vt_session &v) { return !vt_row(v, row).empty(); }, t);
    } else if (step.rfind("any:", 0) == 0) {
        std::string text = step.substr(4);
        return vt_wait(s, [&](vt_session &v) {
            return vt_screen(v).find(text) != std::string::npos; }, t);
    } else if (step == "snap") {
        snapshot = vt_screen(s);
    } else if (step == "changed") {
        return vt_wait(s, [&](vt_session &v) { return vt_screen(v) != snapshot; }, t);
    } else if (step == "mark") {
        mark_cpu = cpu_seconds(find_pager(s.vorn_pid));
        mark = clock_type::now();
    } else if (step.rfind("lap:", 0) == 0) {
        std::chrono::duration<double> took = clock_type::now() - mark;
        printf("BENCH lap %s %.6f\n", step.substr(4).c_str(), took.count());
        double cpu = cpu_seconds(find_pager(s.vorn_pid));
        if (cpu >= 0 && mark_cpu >= 0)
            printf("BENCH cpu %s %.6f\n", step.substr(4).c_str(), cpu - mark_cpu);
    } else if (step.rfind("page:", 0) == 0) {
        return page(s, step);
    } else if (step.rfind("burst:", 0) == 0) {
        return burst(s, step);
    } else if (step.rfind("grow:", 0) == 0) {
        return grow(s, step);
    } else if (step.rfind("caughtup", 0) == 0) {
        const int row = config.options.rows - 2;
        // a filtered view shows the lines whose number is a multiple of N
        long every = step.size() > 9 ? std::atol(step.c_str() + 9) : 1;
        long last = every > 0 ? last_grown_line / every * every : last_grown_line;
        return vt_wait(s, [row, last](vt_session &v) { return number_in_row(v, row) == last; }, t);
    } else if (step.rfind("idle:", 0) == 0) {
        return idle(s, step);
    } else if (step == "rss") {
        printf("BENCH rss %ld\n", peak_rss_kb(find_pager(s.vorn_pid)));
    } else {
        printf("BENCH fail unknown step %s\n", step.c_str());
        return false;
    }
    return true;
}

}  // namespace

TEST(Bench, Session)
{
    auto mark = clock_type::now();
    vt_ptr s = vt_start(config.options);
    ASSERT_TRUE(s);
    std::string snapshot;
    for (const std::string &step : config.steps) {
        if (!run_step(*s, step, mark, snapshot)) {
            printf("BENCH fail %s\n%s", step.c_str(), vt_screen(*s).c_str());
            FAIL() << "step " << step;
        }
        fflush(stdout);
    }
    vt_type(*s, "q");
    if (vt_wait_exit(*s, 10000) < 0)
        vt_signal(*s, SIGKILL);
}

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    int i = 1;
    for (; i < argc && std::string(argv[i]) != "--"; i++) {
        std::string arg = argv[i];
        if (arg == "--rows" && i + 1 < argc)
            config.options.rows = std::atoi(argv[++i]);
        else if (arg == "--cols" && i + 1 < argc)
            config.options.cols = std::atoi(argv[++i]);
        else if (arg == "--utf8") {
            config.options.utf8 = true;
            config.options.env.push_back({"LC_ALL", "C.UTF-8"});
        } else if (arg == "--timeout" && i + 1 < argc)
            config.timeout_ms = std::atoi(argv[++i]) * 1000;
        else if (arg == "--cwd" && i + 1 < argc)
            config.options.cwd = argv[++i];
        else if (arg == "--rss-name" && i + 1 < argc)
            config.rss_name = argv[++i];
    }
    if (i + 1 >= argc) {
        fprintf(stderr, "usage: %s [options] -- PROGRAM ARGS... -- STEP...\n", argv[0]);
        return 2;
    }
    config.options.program = argv[++i];
    for (i++; i < argc && std::string(argv[i]) != "--"; i++)
        config.options.args.push_back(argv[i]);
    for (i++; i < argc; i++)
        config.steps.push_back(argv[i]);
    return RUN_ALL_TESTS();
}
