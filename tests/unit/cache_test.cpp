// The block cache over real files and real pipes.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <csignal>
#include <map>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <vector>

#include "command/command.h"
#include "file/file.h"
#include "terminal/terminal.h"
#include "test_files.h"

// In the sanitizer build an impossible allocation must come back as null
// (as it does from glibc) instead of ending the test run.
extern "C" const char *__asan_default_options()
{
    return "allocator_may_return_null=1";
}

namespace {

enum input_kind { NAMED_FILE, PIPE };

// Writes `bytes` into the pipe or FIFO `fd` and closes it, so that the
// reader sees the end after them.  More than a pipe holds at once is
// written by a child of its own while the test reads (the pool grows by
// groups of more blocks than the largest pipe holds).
void write_all_behind(int fd, const std::string &bytes)
{
    if (bytes.size() > 65536) {
        pid_t writer = fork();
        if (writer == 0) {
            size_t done = 0;
            while (done < bytes.size()) {
                ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
                if (n <= 0)
                    _exit(1);
                done += static_cast<size_t>(n);
            }
            _exit(0);
        }
        EXPECT_GT(writer, 0);
    } else {
        EXPECT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    close(fd);
}

int pipe_with(const std::string &bytes)
{
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    write_all_behind(fds[1], bytes);
    return fds[0];
}

// Makes `bytes` the cache's input, as open_file does.  The descriptor is
// closed by close_input.
void open_input(const temp_dir &dir, input_kind kind, const std::string &bytes)
{
    if (kind == PIPE) {
        cache_open_input(pipe_with(bytes));
        pipe_mode = 1;
    } else {
        cache_open_input(open(dir.write("input", bytes).c_str(), O_RDONLY));
        pipe_mode = 0;
    }
    ASSERT_GE(input_fd, 0);
    cache_init(buffer_setting);
}

void close_input()
{
    close(input_fd);
    while (waitpid(-1, nullptr, WNOHANG) > 0) {
    }   // a pipe's writer
    cache_open_input(-1);
    pipe_mode = 0;
}

// What the cache delivers for the input bytes: NUL becomes 0x80.
// The input is a pipe with nothing written yet; the test writes to fds[1].
void open_empty_pipe(int fds[2])
{
    ASSERT_EQ(pipe(fds), 0);
    cache_open_input(fds[0]);
    pipe_mode = 1;
    cache_init(buffer_setting);
}

std::string as_delivered(std::string bytes)
{
    for (char &c : bytes)
        if (c == '\0')
            c = static_cast<char>(0x80);
    return bytes;
}

// The index of the first byte in which `seen` differs from `wanted` (its
// length when one is a prefix of the other), or -1 when they are equal;
// keeps failures of long inputs readable.
long first_difference(const std::string &seen, const std::string &wanted)
{
    if (seen == wanted)
        return -1;
    size_t i = 0;
    while (i < seen.size() && i < wanted.size() && seen[i] == wanted[i])
        i++;
    return static_cast<long>(i);
}

std::string read_forward(size_t limit)
{
    std::string seen;
    int c;
    while (seen.size() < limit && (c = cache_next_char()) != 0)
        seen += static_cast<char>(c);
    return seen;
}

std::string read_backward()
{
    std::string seen;
    int c;
    while ((c = cache_prev_char()) != 0)
        seen += static_cast<char>(c);
    std::reverse(seen.begin(), seen.end());   // inserting in front would be quadratic
    return seen;
}

std::string pattern_bytes(size_t n)
{
    std::string bytes;
    for (size_t i = 0; i < n; i++)
        bytes += static_cast<char>(i % 251 == 7 ? 0 : 'a' + i % 23 + (i / 1024) % 3);
    return bytes;
}

// Bytes with NULs on both sides of every block edge and of every edge of
// a read that fills a group of buffers at once, and a newline before each.
std::string nuls_on_edges(size_t n)
{
    std::string bytes = pattern_bytes(n);
    for (size_t edge = BLOCK_SIZE; edge < n; edge += BLOCK_SIZE) {
        bytes[edge - 1] = '\0';
        bytes[edge] = '\0';
        if (edge >= 2)
            bytes[edge - 2] = '\n';
    }
    return bytes;
}

struct round_trip_case {
    const char *name;
    std::string bytes;
};

void PrintTo(const round_trip_case &input, std::ostream *os)
{
    *os << input.name;
}

class CacheRoundTrip : public ::testing::TestWithParam<std::tuple<round_trip_case, input_kind>> {};

TEST_P(CacheRoundTrip, ForwardToEndThenBackToStart)
{
    const auto &[input, kind] = GetParam();
    temp_dir dir;
    open_input(dir, kind, input.bytes);
    file_pos size = static_cast<file_pos>(input.bytes.size());

    EXPECT_EQ(first_difference(read_forward(input.bytes.size() + 10), as_delivered(input.bytes)), -1);
    EXPECT_EQ(cache_tell(), size);
    EXPECT_EQ(cache_next_char(), 0) << "the end is sticky";
    EXPECT_EQ(cache_tell(), size);
    EXPECT_EQ(cache_length(), size);
    EXPECT_EQ(eof_offset, size);

    EXPECT_EQ(first_difference(read_backward(), as_delivered(input.bytes)), -1);
    EXPECT_EQ(cache_tell(), 0);
    EXPECT_EQ(cache_prev_char(), 0);
    EXPECT_EQ(cache_tell(), 0);
    close_input();
}

const round_trip_case round_trip_inputs[] = {
    {"empty", ""},
    {"one_byte", "x"},
    {"nul_only", std::string(1, '\0')},
    {"nul_inside", std::string("a\0b\0\0c", 6)},
    {"one_block_less_one", pattern_bytes(1023)},
    {"one_block", pattern_bytes(1024)},
    {"two_blocks", pattern_bytes(2048)},
    {"two_blocks_and_one", pattern_bytes(2049)},
    {"fourteen_blocks", pattern_bytes(14 * 1024 + 300)},
    {"high_bytes", std::string("\x80\xff\x01\n", 4)},
    // several reads of a pipe, each of many blocks
    {"nuls_on_edges", nuls_on_edges(3 * PIPE_BUFFER_GROUP * BLOCK_SIZE + 77)},
};

INSTANTIATE_TEST_SUITE_P(
    Inputs, CacheRoundTrip,
    ::testing::Combine(::testing::ValuesIn(round_trip_inputs), ::testing::Values(NAMED_FILE, PIPE)),
    [](const auto &info) {
        return std::string(std::get<0>(info.param).name) +
               (std::get<1>(info.param) == PIPE ? "_pipe" : "_file");
    });

TEST(Cache, EmptyInputHoldsOnlyTheMarker)
{
    for (input_kind kind : {NAMED_FILE, PIPE}) {
        temp_dir dir;
        open_input(dir, kind, "");
        EXPECT_EQ(cache_next_char(), 0);
        EXPECT_EQ(cache_tell(), 0);
        EXPECT_EQ(current_buffer->block, 0);
        EXPECT_EQ(current_buffer->size, 1);
        EXPECT_EQ(current_buffer->data[0], 0);
        EXPECT_EQ(cache_length(), 0);
        close_input();
    }
}

TEST(Cache, TwoBlockInputEndsAtTheStartOfTheThird)
{
    std::string bytes = pattern_bytes(2048);
    for (input_kind kind : {NAMED_FILE, PIPE}) {
        temp_dir dir;
        open_input(dir, kind, bytes);
        ASSERT_EQ(first_difference(read_forward(2047), as_delivered(bytes.substr(0, 2047))), -1);
        EXPECT_EQ(cache_next_char(), static_cast<unsigned char>(bytes[2047]));
        EXPECT_EQ(read_block, 2);
        EXPECT_EQ(read_offset, 0);
        EXPECT_EQ(cache_next_char(), 0);
        EXPECT_EQ(current_buffer->block, 2);
        EXPECT_EQ(current_buffer->size, 1) << "block 2 holds just the marker";
        close_input();
    }
}

TEST(Cache, StepBackAcrossBlockBoundaries)
{
    std::string bytes = pattern_bytes(3000);
    struct {
        file_pos from;
        int expected;           // -1: the byte before `from`
        file_pos after;
    } cases[] = {
        {0, 0, 0},
        {1, -1, 0},
        {1024, -1, 1023},
        {2048, -1, 2047},
    };
    for (input_kind kind : {NAMED_FILE, PIPE}) {
        temp_dir dir;
        open_input(dir, kind, bytes);
        ASSERT_EQ(cache_seek_end(), 0);
        for (const auto &c : cases) {
            ASSERT_EQ(cache_seek(c.from), 0);
            int want = c.expected == -1 ? static_cast<unsigned char>(bytes[c.from - 1]) : 0;
            EXPECT_EQ(cache_prev_char(), want) << "from " << c.from;
            EXPECT_EQ(cache_tell(), c.after) << "from " << c.from;
        }
        close_input();
    }
}

// Reads one byte of each of `blocks` blocks, in order.
void visit_blocks(int64_t first, int64_t count)
{
    for (int64_t b = first; b < first + count; b++) {
        ASSERT_EQ(cache_seek(b * BLOCK_SIZE), 0);
        ASSERT_NE(cache_next_char(), 0);
    }
}

TEST(Cache, NamedFileReusesTheBufferFilledFirst)
{
    // Block 0 is read, then `others` further blocks; then block 0 is changed
    // on disk.  Reading it again shows the old byte while it is still
    // buffered and the new one once its buffer was reused.
    temp_dir dir;
    const int pool = buffer_count > 10 ? buffer_count : 10;
    open_input(dir, NAMED_FILE, std::string(static_cast<size_t>(pool + 10) * BLOCK_SIZE, 'o'));
    ASSERT_EQ(buffer_count, pool);
    EXPECT_EQ(buffer_setting, buffer_count);
    int writer = open((dir.path + "/input").c_str(), O_WRONLY);
    ASSERT_GE(writer, 0);
    struct {
        int others;
        int expected;
    } cases[] = {{pool - 1, 'o'}, {pool, 'n'}, {pool + 5, 'n'}, {1, 'o'}};
    for (const auto &c : cases) {
        ASSERT_EQ(pwrite(writer, "o", 1, 0), 1);
        cache_init(0);
        visit_blocks(0, 1);
        visit_blocks(1, c.others);
        ASSERT_EQ(pwrite(writer, "n", 1, 0), 1);
        ASSERT_EQ(cache_seek(0), 0);
        EXPECT_EQ(cache_next_char(), c.expected) << c.others << " other blocks";
        EXPECT_EQ(buffer_count, pool) << "a named file never grows the pool";
    }
    close(writer);
    close_input();
}

// The blocks held, found by walking the circle.
std::map<int64_t, block_buffer *> blocks_in_circle()
{
    std::map<int64_t, block_buffer *> held;
    for (block_buffer *p = buffer_ring.next; p != &buffer_ring; p = p->next)
        if (p->block != -1)
            held[p->block] = p;
    return held;
}

// The lookup of every block from 0 to `last` names the buffer the circle
// holds it in, or none when no buffer holds it.
::testing::AssertionResult lookup_matches_circle(int64_t last)
{
    std::map<int64_t, block_buffer *> held = blocks_in_circle();
    for (int64_t b = 0; b <= last; b++) {
        auto found = held.find(b);
        block_buffer *wanted = found != held.end() ? found->second : nullptr;
        block_buffer *found_by_lookup = cache_buffer_of(b);
        if (found_by_lookup != wanted)
            return ::testing::AssertionFailure()
                   << "block " << b << ": held in buffer " << wanted
                   << ", the lookup finds " << found_by_lookup;
    }
    return ::testing::AssertionSuccess();
}

TEST(Cache, LookupFollowsTheCircle)
{
    // The lookup does not walk the circle, so it must follow every change
    // of it: buffers reused in a named file, a fresh input, a growing pipe.
    temp_dir dir;
    const int pool = buffer_count > 10 ? buffer_count : 10;
    open_input(dir, NAMED_FILE, std::string(static_cast<size_t>(pool + 5) * BLOCK_SIZE, 'f'));
    visit_blocks(0, pool + 5);
    std::map<int64_t, block_buffer *> held = blocks_in_circle();
    ASSERT_EQ(held.size(), static_cast<size_t>(pool));
    EXPECT_EQ(held.begin()->first, 5) << "the five blocks read first gave up their buffers";
    EXPECT_TRUE(lookup_matches_circle(pool + 5));
    visit_blocks(0, 1);
    EXPECT_EQ(cache_buffer_of(5), nullptr) << "block 5's buffer now holds block 0";
    EXPECT_TRUE(lookup_matches_circle(pool + 5));
    close_input();

    std::string bytes = pattern_bytes(40 * BLOCK_SIZE + 10);
    open_input(dir, PIPE, bytes);
    EXPECT_TRUE(blocks_in_circle().empty());
    EXPECT_TRUE(lookup_matches_circle(pool + 5)) << "nothing of the named file is found";
    ASSERT_EQ(cache_seek_end(), 0);
    EXPECT_EQ(blocks_in_circle().size(), 41u);
    EXPECT_TRUE(lookup_matches_circle(45));
    ASSERT_EQ(cache_seek(0), 0);
    EXPECT_EQ(first_difference(read_forward(bytes.size()), as_delivered(bytes)), -1);
    close_input();
    cache_reset();
    EXPECT_TRUE(lookup_matches_circle(45)) << "a reset forgets every block";

    // a named file after the pipe: only its own blocks are found
    open_input(dir, NAMED_FILE, std::string(3 * BLOCK_SIZE, 'g'));
    visit_blocks(0, 3);
    EXPECT_EQ(blocks_in_circle().size(), 3u);
    EXPECT_TRUE(lookup_matches_circle(45));
    close_input();
}

TEST(Cache, PipeGrowsThePoolAndKeepsEveryBlock)
{
    temp_dir dir;
    if (buffer_count < 10)
        cache_add_buffers(10 - buffer_count);   // as the first open does
    int before = buffer_count;
    std::string bytes = pattern_bytes(static_cast<size_t>(before + 1) * BLOCK_SIZE);
    open_input(dir, PIPE, bytes);
    ASSERT_EQ(buffer_count, before) << "opening asks for no more than exist";
    EXPECT_EQ(first_difference(read_forward(bytes.size()), as_delivered(bytes)), -1);
    // a group at a time: no allocation (and its header) per kilobyte
    EXPECT_EQ(buffer_count, before + PIPE_BUFFER_GROUP);
    EXPECT_EQ(buffer_setting, buffer_count);
    ASSERT_EQ(cache_seek(0), 0);
    EXPECT_EQ(first_difference(read_forward(5), as_delivered(bytes.substr(0, 5))), -1);
    ASSERT_EQ(cache_seek_begin(), 0);
    EXPECT_EQ(cache_tell(), 0);
    close_input();
}

TEST(Cache, ReadOfAPipeTakesWhatThePipeHolds)
{
    // One read fills the buffer wanted and the empty ones behind it: a
    // pipe is not read a kilobyte at a time.  What is taken is kept and
    // delivered in order, NUL as 0x80.
    temp_dir dir;
    if (buffer_count < 10)
        cache_add_buffers(10 - buffer_count);
    std::string bytes = nuls_on_edges(8 * BLOCK_SIZE + 5);
    open_input(dir, PIPE, bytes);
    ASSERT_NE(cache_next_char(), 0);
    EXPECT_EQ(pipe_read_offset, static_cast<file_pos>(bytes.size()))
        << "the first read took all the pipe held";
    EXPECT_EQ(blocks_in_circle().size(), 9u);
    EXPECT_EQ(buffer_ring.next->block, 8) << "the newest block at the head";
    EXPECT_EQ(buffer_ring.next->size, 5);
    ASSERT_EQ(cache_seek(0), 0);
    EXPECT_EQ(first_difference(read_forward(bytes.size() + 1), as_delivered(bytes)), -1);
    EXPECT_EQ(cache_length(), static_cast<file_pos>(bytes.size()));
    close_input();
}

TEST(Cache, PipeRefusesPositionsNotRead)
{
    // A read takes all the pipe holds: the writer writes the first 2048
    // bytes, and the rest only once they have been read.
    int fds[2];
    ASSERT_NO_FATAL_FAILURE(open_empty_pipe(fds));
    std::string bytes = pattern_bytes(5000);
    ASSERT_EQ(write(fds[1], bytes.data(), 2048), 2048);
    ASSERT_EQ(cache_seek(1500), 1) << "nothing read yet";
    EXPECT_EQ(cache_tell(), 0);
    EXPECT_EQ(first_difference(read_forward(1030), as_delivered(bytes.substr(0, 1030))), -1);
    ASSERT_EQ(pipe_read_offset, 2048);
    ASSERT_EQ(write(fds[1], bytes.data() + 2048, 5000 - 2048), 5000 - 2048);
    close(fds[1]);
    struct {
        file_pos pos;
        int result;
    } cases[] = {
        {-1, 1}, {0, 0}, {2047, 0}, {2048, 0}, {2049, 1}, {3072, 1}, {100000, 1},
    };
    for (const auto &c : cases) {
        ASSERT_EQ(cache_seek(700), 0);
        EXPECT_EQ(cache_seek(c.pos), c.result) << c.pos;
        EXPECT_EQ(cache_tell(), c.result == 0 ? c.pos : 700) << c.pos;
    }
    ASSERT_EQ(cache_seek(2048), 0);
    EXPECT_EQ(cache_next_char(), static_cast<unsigned char>(bytes[2048]));
    close_input();
}

TEST(Cache, PipeLengthIsKnownOnlyAfterTheEnd)
{
    temp_dir dir;
    std::string bytes = pattern_bytes(4100);
    open_input(dir, PIPE, bytes);
    EXPECT_EQ(cache_length(), -1);
    read_forward(10);
    EXPECT_EQ(cache_length(), -1);
    ASSERT_EQ(cache_seek_end(), 0);
    EXPECT_EQ(cache_tell(), 4100);
    EXPECT_EQ(cache_length(), cache_tell());
    EXPECT_EQ(first_difference(read_backward(), as_delivered(bytes)), -1) << "all of it is kept";
    close_input();
}

TEST(Cache, SeekEndOnPipeStopsWhenASignalIsPending)
{
    // The signal comes while the first block is being walked: the walk
    // stops before it reads on and reports failure, short of the end.
    int fds[2];
    ASSERT_NO_FATAL_FAILURE(open_empty_pipe(fds));
    std::string bytes = pattern_bytes(3000);
    ASSERT_EQ(write(fds[1], bytes.data(), 1000), 1000);
    ASSERT_NE(cache_next_char(), 0);
    ASSERT_EQ(write(fds[1], bytes.data() + 1000, 2000), 2000);
    close(fds[1]);
    pending_signals = PENDING_STOP;
    int result = cache_seek_end();
    file_pos reached = cache_tell();
    pending_signals = 0;
    EXPECT_EQ(result, 1);
    EXPECT_LT(reached, 3000);
    EXPECT_EQ(cache_length(), -1) << "the end was not read";
    close_input();
}

TEST(Cache, SignalDuringAPipeReadIsNotTheEnd)
{
    // The pipe has no data yet and stays open, so the read of seek_end
    // waits until a resize signal abandons it.  The walk then ends where it
    // got, with success; the abandoned read is no end of input, and the
    // block is read on the next access.  The signal is held blocked until
    // the read waits (which lets it in), so that it never comes before the
    // walk starts (a walk that finds a signal pending does not start: see
    // above).
    int fds[2];
    ASSERT_NO_FATAL_FAILURE(open_empty_pipe(fds));
    pending_signals = 0;
    install_signals(1);
    sigset_t resize, previous;
    sigemptyset(&resize);
    sigaddset(&resize, SIGWINCH);
    sigprocmask(SIG_BLOCK, &resize, &previous);
    pid_t helper = fork();
    if (helper == 0) {
        kill(getppid(), SIGWINCH);
        _exit(0);
    }
    waitpid(helper, nullptr, 0);
    int result = cache_seek_end();
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    int pending = pending_signals;
    install_signals(0);
    pending_signals = 0;
    EXPECT_EQ(result, 0);
    EXPECT_EQ(pending, PENDING_RESIZE);
    EXPECT_EQ(cache_tell(), 0);
    EXPECT_EQ(cache_length(), -1) << "the end was not seen";

    std::string bytes = pattern_bytes(1500);
    ASSERT_EQ(write(fds[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    close(fds[1]);
    ASSERT_EQ(cache_seek_end(), 0);
    EXPECT_EQ(cache_length(), 1500);
    EXPECT_EQ(first_difference(read_backward(), as_delivered(bytes)), -1);
    close_input();
}

// While reads do not wait (following), a pipe whose writer is slow seems
// to end where its bytes end, without an end marker: what comes later is
// read on from there, and only the writer's closing is the end.
TEST(Cache, PipeReadWithoutWaitingStopsWhereTheWriterIs)
{
    int fds[2];
    ASSERT_NO_FATAL_FAILURE(open_empty_pipe(fds));
    sequential_reads_wait = 0;
    std::string first = pattern_bytes(1500), second = pattern_bytes(700);
    ASSERT_EQ(write(fds[1], first.data(), first.size()), static_cast<ssize_t>(first.size()));
    // the alarm ends the test program should a read wait for the writer
    signal(SIGALRM, SIG_DFL);
    alarm(20);
    EXPECT_EQ(cache_seek_end(), 0);
    EXPECT_EQ(cache_tell(), 1500);
    EXPECT_EQ(pipe_read_offset, 1500);
    EXPECT_EQ(cache_length(), -1) << "no end yet";
    EXPECT_EQ(cache_next_char(), 0);
    EXPECT_EQ(cache_next_char(), 0) << "still nothing, and no wait";
    ASSERT_EQ(write(fds[1], second.data(), second.size()), static_cast<ssize_t>(second.size()));
    ASSERT_EQ(cache_seek(1500), 0);
    EXPECT_EQ(cache_seek_end(), 0);
    EXPECT_EQ(cache_tell(), 2200);
    EXPECT_EQ(cache_length(), -1);
    close(fds[1]);
    EXPECT_EQ(cache_seek_end(), 0);
    EXPECT_EQ(cache_length(), 2200);
    alarm(0);
    sequential_reads_wait = 1;
    EXPECT_EQ(first_difference(read_backward(), as_delivered(first + second)), -1);
    close_input();
}

TEST(Cache, PastTheEndReadsNothing)
{
    // A named file accepts any position; past its end there is no byte.
    temp_dir dir;
    open_input(dir, NAMED_FILE, pattern_bytes(3000));
    for (file_pos pos : {3000, 3001, 5000, 1 << 20}) {
        ASSERT_EQ(cache_seek(pos), 0);
        EXPECT_EQ(cache_next_char(), 0) << pos;
        EXPECT_EQ(cache_tell(), pos);
    }
    EXPECT_EQ(cache_length(), 3000);
    ASSERT_EQ(cache_seek(2999), 0);
    EXPECT_NE(cache_next_char(), 0);
    close_input();
}

TEST(Cache, PipeBeyondItsEndInsideTheLastBlockReadsNothing)
{
    // The last block of a pipe that has ended is buffered, so positions
    // behind the end within it can be reached; they must read as the end,
    // not as a gap in the pipe (which would end the program).
    temp_dir dir;
    std::string bytes = pattern_bytes(3000);
    open_input(dir, PIPE, bytes);
    ASSERT_EQ(cache_seek_end(), 0);
    EXPECT_EXIT(
        {
            for (file_pos pos : {3001, 3010, 3071}) {
                if (cache_seek(pos) != 0 || cache_next_char() != 0 || cache_tell() != pos)
                    _exit(1);
            }
            if (cache_seek(2999) != 0 || cache_next_char() != static_cast<unsigned char>(bytes[2999]))
                _exit(2);
            _exit(42);
        },
        ::testing::ExitedWithCode(42), "");
    close_input();
}

TEST(Cache, ReInitialisingNeverServesTheOldInput)
{
    // Also when the buffers asked for cannot be had: the new input is read
    // from the buffers that exist.
    temp_dir dir;
    open_input(dir, NAMED_FILE, std::string(3000, 'A'));
    EXPECT_EQ(read_forward(3000), std::string(3000, 'A'));
    close(input_fd);
    cache_open_input(open(dir.write("second", std::string(2000, 'B')).c_str(), O_RDONLY));
    int before = buffer_count;
    cache_init(INT_MAX);
    EXPECT_EQ(buffer_count, before);
    // said once the work is done, and the run goes on with those it has
    char *message;
    EXPECT_EQ(take_message(&message), MESSAGE_PLAIN);
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(std::string(message),
              "cannot allocate " + std::to_string(INT_MAX - before) + " buffers");
    free(message);
    EXPECT_EQ(cache_tell(), 0);
    EXPECT_EQ(read_forward(5000), std::string(2000, 'B'));
    EXPECT_EQ(cache_length(), 2000);
    close_input();
    buffer_setting = buffer_count;
}

// A failed read shows nothing and ends nothing itself: it records the
// fatal error and the input reads as ended there, so that every walk stops;
// whoever shows the record ends the program with status 1.
TEST(Cache, ReadErrorIsRecordedAsFatalAndEndsTheInput)
{
    temp_dir dir;
    cache_open_input(open(dir.path.c_str(), O_RDONLY));   // reading a directory fails
    ASSERT_GE(input_fd, 0);
    pipe_mode = 0;
    cache_init(0);
    EXPECT_EQ(cache_next_char(), 0);
    EXPECT_TRUE(fatal_error_pending());
    char *message;
    EXPECT_EQ(take_message(&message), MESSAGE_FATAL);
    ASSERT_NE(message, nullptr);
    EXPECT_STREQ(message, "read error");
    free(message);
    EXPECT_EXIT(
        {
            cache_seek(0);
            cache_next_char();
            report_messages();
        },
        ::testing::ExitedWithCode(1), "^read error\n$");
    close_input();
}

// A FIFO named `name` in `dir` that holds `bytes` (grown to hold them),
// its writer closed behind them; returns the reading descriptor.
int fifo_with(const temp_dir &dir, const char *name, const std::string &bytes)
{
    std::string fifo = dir.path + "/" + name;
    EXPECT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    int writer = open(fifo.c_str(), O_WRONLY);
    EXPECT_GE(reader, 0);
    EXPECT_GE(writer, 0);
    fcntl(reader, F_SETFL, 0);
    write_all_behind(writer, bytes);
    return reader;
}

TEST(Cache, UnseekableNamedInputIsReadInSequenceAndKept)
{
    // A FIFO named on the command line: its blocks cannot be read twice, so
    // none is dropped, and re-initialising it (as flush does) keeps them.
    temp_dir dir;
    int pool = buffer_count;
    std::string bytes = pattern_bytes(static_cast<size_t>(pool + 3) * BLOCK_SIZE);
    int reader = fifo_with(dir, "fifo", bytes);
    ASSERT_GE(reader, 0);
    cache_open_input(reader);
    pipe_mode = 0;
    cache_init(buffer_setting);
    EXPECT_EQ(first_difference(read_forward(bytes.size() + 1), as_delivered(bytes)), -1);
    EXPECT_EQ(cache_length(), static_cast<file_pos>(bytes.size()));
    cache_init(0);
    EXPECT_EQ(first_difference(read_forward(bytes.size()), as_delivered(bytes)), -1);
    EXPECT_EQ(cache_seek(bytes.size() + 1500), 1);
    close_input();
}

// The next input gets the descriptor number the last one had.  It is still
// another input: the first FIFO's blocks, which cannot be read again and
// are therefore kept across a flush, must not be served for the second.
TEST(Cache, NewInputOnAReusedDescriptorNumberIsReadAfresh)
{
    temp_dir dir;
    std::string first(3000, 'A'), second = pattern_bytes(2500);
    int reader = fifo_with(dir, "first", first);
    ASSERT_GE(reader, 0);
    cache_open_input(reader);
    pipe_mode = 0;
    cache_init(buffer_setting);
    ASSERT_EQ(read_forward(first.size() + 1), first);
    close(reader);

    int next = fifo_with(dir, "second", second);
    ASSERT_EQ(next, reader) << "the descriptor number was not reused";
    cache_open_input(next);
    cache_init(buffer_setting);
    EXPECT_EQ(first_difference(read_forward(second.size() + 1), as_delivered(second)), -1);
    EXPECT_EQ(cache_length(), static_cast<file_pos>(second.size()));
    close_input();
}

// Lines of text with NUL bytes here and there, `n` bytes long.
std::string text_lines(size_t n)
{
    std::string bytes = pattern_bytes(n);
    for (size_t i = 37; i < n; i += 41)
        bytes[i] = '\n';
    return bytes;
}

void append_to(const temp_dir &dir, const std::string &bytes)
{
    FILE *stream = fopen((dir.path + "/input").c_str(), "ab");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(fwrite(bytes.data(), 1, bytes.size(), stream), bytes.size());
    fclose(stream);
}

// A named file read to its end (and beyond it) grows: its old end is no
// end and no beginning.  Every byte is delivered forward and backward, and
// the line scans find every newline, from either end.
TEST(CacheChangingFile, GrowthIsReadOnFromTheOldEnd)
{
    struct {
        size_t before, after;
    } cases[] = {{0, 10}, {4, 8}, {1024, 2100}, {1500, 1600}, {3000, 5000}};
    for (auto c : cases) {
        SCOPED_TRACE(std::to_string(c.before) + " -> " + std::to_string(c.after));
        temp_dir dir;
        std::string bytes = text_lines(c.after);
        open_input(dir, NAMED_FILE, bytes.substr(0, c.before));
        EXPECT_EQ(read_forward(c.after), as_delivered(bytes.substr(0, c.before)));
        ASSERT_EQ(cache_seek(c.before + 5), 0);     // markers beyond the end
        EXPECT_EQ(cache_next_char(), 0);
        append_to(dir, bytes.substr(c.before));

        ASSERT_EQ(cache_seek(c.after), 0);
        EXPECT_EQ(first_difference(read_backward(), as_delivered(bytes)), -1);
        EXPECT_EQ(cache_tell(), 0);
        EXPECT_EQ(first_difference(read_forward(c.after + 1), as_delivered(bytes)), -1);

        long newlines = std::count(bytes.begin(), bytes.end(), '\n');
        long found = 0;
        ASSERT_EQ(cache_seek(0), 0);
        while (scan_past_newline(0))
            found++;
        EXPECT_EQ(found, newlines);
        EXPECT_EQ(cache_tell(), static_cast<file_pos>(c.after));
        found = 0;
        while (scan_back_to_newline(0))
            found++;
        EXPECT_EQ(found, newlines);
        EXPECT_EQ(cache_tell(), 0);
        close_input();
    }
}

// A named file cut short after it was read: once the cache has looked at
// the new length, nothing at or beyond it is delivered; what lies before
// it is.
TEST(CacheChangingFile, NothingIsDeliveredBeyondTheEndOfAShrunkFile)
{
    struct {
        size_t before, after;
    } cases[] = {{3000, 1500}, {3000, 0}, {3000, 1024}, {2048, 2047}, {900, 899}};
    for (auto c : cases) {
        SCOPED_TRACE(std::to_string(c.before) + " -> " + std::to_string(c.after));
        temp_dir dir;
        std::string bytes = text_lines(c.before);
        open_input(dir, NAMED_FILE, bytes);
        EXPECT_EQ(read_forward(c.before + 1), as_delivered(bytes));
        ASSERT_EQ(truncate((dir.path + "/input").c_str(), static_cast<off_t>(c.after)), 0);
        EXPECT_EQ(cache_drop_beyond_end(), static_cast<file_pos>(c.after));
        for (size_t pos : {c.after, c.after + 1, c.before - 1, c.before}) {
            ASSERT_EQ(cache_seek(pos), 0);
            EXPECT_EQ(cache_next_char(), 0) << "at " << pos;
        }
        ASSERT_EQ(cache_seek(0), 0);
        EXPECT_EQ(first_difference(read_forward(c.before), as_delivered(bytes.substr(0, c.after))), -1);
        EXPECT_EQ(first_difference(read_backward(), as_delivered(bytes.substr(0, c.after))), -1);

        // Refilled with other bytes (a log rotated by copy and truncate):
        // the blocks forgotten are read again, none is served from an old
        // buffer that the block index still names.
        std::string other(c.before, 'z');
        append_to(dir, other.substr(c.after));
        std::string refilled = bytes.substr(0, c.after) + other.substr(c.after);
        ASSERT_EQ(cache_seek(0), 0);
        EXPECT_EQ(first_difference(read_forward(c.before + 1), as_delivered(refilled)), -1);
        EXPECT_EQ(first_difference(read_backward(), as_delivered(refilled)), -1);
        close_input();
    }
}

} // namespace
