// Micro-benchmarks of the hot loops of file input: the block cache's
// character reads, raw lines read forward and backward, the newline scan
// used for counting, and the assembly of display lines out of one long
// line.  Each benchmark writes its own input into a temporary file and
// opens it as the current input, the way the pager does.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "file/file.h"
#include "vorn.h"

namespace {

// Fixed-width lines ("000000001 text...\n"), then one long line.
std::string make_text(size_t lines, size_t long_line)
{
    std::string text;
    char number[16];
    for (size_t i = 1; i <= lines; i++) {
        snprintf(number, sizeof number, "%09zu ", i);
        text += number;
        text += "the quick brown fox jumps over the lazy dog again\n";
    }
    for (size_t i = 0; i < long_line; i++)
        text += static_cast<char>('a' + i % 26);
    if (long_line > 0)
        text += '\n';
    return text;
}

// Writes the text to a temporary file and makes it the input.
file_pos open_text(const std::string &text)
{
    char path[] = "/tmp/vorn-micro-XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0 || write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
        perror("vorn micro input");
        std::exit(1);
    }
    unlink(path);
    lseek(fd, 0, SEEK_SET);
    if (input_fd >= 0)
        close(input_fd);
    cache_open_input(fd);
    pipe_mode = 0;
    cache_init(buffer_setting);
    line_scan_reset();
    return static_cast<file_pos>(text.size());
}

void BM_cache_next_char(benchmark::State &state)
{
    file_pos size = open_text(make_text(20000, 0));
    for (auto _ : state) {
        cache_seek(0);
        unsigned sum = 0;
        for (int c; (c = cache_next_char()) != 0;)
            sum += static_cast<unsigned>(c);
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(state.iterations() * size);
}

void BM_cache_prev_char(benchmark::State &state)
{
    file_pos size = open_text(make_text(20000, 0));
    for (auto _ : state) {
        cache_seek(size);
        unsigned sum = 0;
        for (int c; (c = cache_prev_char()) != 0;)
            sum += static_cast<unsigned>(c);
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(state.iterations() * size);
}

void BM_raw_lines_forward(benchmark::State &state)
{
    file_pos size = open_text(make_text(20000, 0));
    for (auto _ : state) {
        for (file_pos pos = 0; pos != -1 && pos < size;)
            pos = next_raw_line(pos);
    }
    state.SetBytesProcessed(state.iterations() * size);
}

void BM_raw_lines_backward(benchmark::State &state)
{
    file_pos size = open_text(make_text(20000, 0));
    for (auto _ : state) {
        for (file_pos pos = size; pos > 0;)
            pos = prev_raw_line(pos);
    }
    state.SetBytesProcessed(state.iterations() * size);
}

void BM_line_scan_forward(benchmark::State &state)
{
    file_pos size = open_text(make_text(20000, 0));
    for (auto _ : state) {
        for (file_pos pos = 0; pos != -1 && pos < size;)
            pos = line_scan_next(pos, 0);
    }
    state.SetBytesProcessed(state.iterations() * size);
}

// Display lines of one line of 300 000 bytes, wrapped at 80 columns.
void BM_assemble_long_line(benchmark::State &state)
{
    file_pos size = open_text(make_text(0, 300000));
    screen_width = 80;
    wrap_lines = 1;
    for (auto _ : state) {
        for (file_pos pos = 0; pos != -1 && pos < size;)
            pos = next_display_line(pos);
    }
    state.SetBytesProcessed(state.iterations() * size);
}

}  // namespace

BENCHMARK(BM_cache_next_char);
BENCHMARK(BM_cache_prev_char);
BENCHMARK(BM_raw_lines_forward);
BENCHMARK(BM_raw_lines_backward);
BENCHMARK(BM_line_scan_forward);
BENCHMARK(BM_assemble_long_line);
BENCHMARK_MAIN();
