// The block cache: every byte of the current input reaches the pager through
// a pool of 1024-byte buffers, one block of the input each.
//
// The buffers form a circle closed by the head record buffer_ring (which
// never holds data).  The circle is ordered by filling: buffer_ring.next is
// the buffer read into last, buffer_ring.prev the one read into longest ago
// (or an empty one).  Hits never reorder the circle; only reading moves a
// buffer to the head, so a named file reuses its buffers in filling order.
//
// A block's buffer is found through an index from block number to buffer,
// never by walking the circle: a pipe keeps every block it read, and a walk
// per block would make reading it to its end cost time quadratic in its
// length.  A named input (a few buffers, blocks anywhere in the file) has a
// hash index; a sequential input (every block from 0 on, held for good) has
// a table with one pointer per block, a hash entry and its node costing
// several times that for each kilobyte kept.  Invariant: the index of the
// input's kind has one entry for every buffer of the circle that holds a
// block, and no other (the other index is empty); every change of a
// buffer's block goes through hold_block, and emptying every buffer
// through empty_all_buffers.
//
// A buffer holds the input's bytes with NUL stored as 0x80, and where the
// input ends one 0 byte, the end-of-file marker, counted in `size`.  So 0
// from the character operations always means "nothing there".
//
// A named file may change while it is shown.  Its end-of-file marker is
// therefore only a note of where the end was: reaching it (forward or
// backward) drops the marker and reads there again, so that a file that
// grew is read on, and none of its earlier bytes is taken for the
// beginning or the end.  A file that shrank is noticed by
// cache_drop_beyond_end, which forgets every byte held at or beyond the
// new end; blocks read before the change may still be shown below it until
// the cache is emptied.  A sequential input's end is final.
//
// Sequential inputs (standard input, a named input that cannot be
// positioned such as a FIFO, and a compressed file, whose text comes from
// the decoder of decompress.cpp instead of the descriptor) are read
// strictly in order: every block read stays buffered for as long as the
// input is open, the pool grows by one buffer whenever it is full, and
// positions outside what has been read are refused.  Only descriptor 0
// sets pipe_mode, which the rest of the pager reads; the others are
// treated the same way inside this file (cache_input_sequential tells the
// layers above), because reading one again "at an offset" would silently
// deliver other data.
// A character device that can be positioned (/dev/zero) is read by position,
// but the size the system gives it means nothing: its length, and so its
// end, is known only once reading has found it.
//
// Reading.  A named input is read by position (pread): such a read never
// waits, so it neither flushes the output nor looks at signals.  That read
// is input_read_at, the one way to read the input by position: the cache
// fills its blocks with it, and the walks that pass over large stretches
// (counting lines, searching) read their pieces with it past the cache;
// every byte it gives is counted in input_bytes_read, which only this file
// writes (as it alone moves the read position).  Only a
// sequential input can make the pager wait; a read of one first asks
// (poll, without waiting) whether bytes are there: when they are, one
// readv takes as many as the pipe holds into the buffer wanted and the
// empty buffers behind it (up to SEQUENTIAL_READ_BLOCKS at once), so a
// pipe read to its end costs a system call or two per 64 KiB or more
// rather than per kilobyte; when none are, the same readv waits through
// the terminal layer's readv_interruptible, which a stop or a window
// change abandons.  A pipe is widened to hold a whole such read.
// A failed read records the fatal error "read error" (the command loop
// ends the run once it is shown) and reads as the end of the input; an
// abandoned one returns 0 with the signal pending.  Nothing here shows a
// message or ends the program.
//
// A writer that is slow must not hold the pager in a read: while
// sequential_reads_wait is clear, a read of a sequential input happens only
// when the descriptor already has bytes (or its end) to give.  Where it has
// none, the buffer is left without a marker, so that 0 means "nothing yet"
// and the same position is read again later.
//
// Buffers are allocated in groups, one malloc per cache_add_buffers call,
// and never freed or moved: pointers into them stay valid for the whole run.
// They are not cleared: no byte of a buffer beyond its size is looked at.
// A sequential input grows the pool by PIPE_BUFFER_GROUP buffers at a
// time, so that a long pipe costs no allocator header per kilobyte.
//
// Which input the buffers hold is judged by the open that made it the
// input, never by its descriptor number: a number is reused as soon as the
// file it named is closed, and the next file opened would then be served
// the old file's blocks.  cache_open_input counts the opens; cache_init
// keeps the data only when no open came since it last ran.
#include "file.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <deque>
#include <fcntl.h>
#include <new>
#include <poll.h>
#include <sys/uio.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

#include "terminal/terminal.h"

block_buffer buffer_ring = {&buffer_ring, &buffer_ring, -1, 0, {}};
block_buffer *current_buffer = &buffer_ring;
int64_t read_block;
int read_offset;
int input_fd = -1;
int pipe_mode;
int64_t pipe_read_offset;
int64_t eof_offset = -1;
int buffer_count;
// The pool the first input asks for.
static const int START_BUFFER_SETTING = 10;
int buffer_setting = START_BUFFER_SETTING;
unsigned cache_generation;
int64_t input_bytes_read;
int sequential_reads_wait = 1;

void cache_note_change()
{
    cache_generation++;
}

void set_pipe_mode(int on)
{
    pipe_mode = on;
}

void set_sequential_reads_wait(int on)
{
    sequential_reads_wait = on;
}

namespace {

// Set by cache_init: the input must be read in sequence (see above).
int sequential_input;
// Set by cache_init: a character device read by position, whose size the
// system does not know (lseek gives 0 for /dev/zero, which never ends):
// its length is known only once its end has been read.
int unsized_input;
// The open that made input_fd the input (a count that wraps), and the one
// whose data the buffers hold; they let cache_init tell the re-reading of
// the same input (flush, after the editor) from a new one.
unsigned input_serial;
unsigned cached_serial;
int cached_fd = -1;
// The length of a named input when it was opened or flushed, or when
// cache_drop_beyond_end last looked; -1 when unknown.
file_pos length_seen = -1;

// The most buffers one read of a sequential input fills: as many as a
// pipe holds once made as large as an unprivileged process may make it
// (see cache_init).
const int SEQUENTIAL_READ_BLOCKS = 1024;
const int WIDE_PIPE_SIZE = SEQUENTIAL_READ_BLOCKS * BLOCK_SIZE;

// The start of every group of buffers.  The ring alone links them, and
// its links run through groups whose memory comes from mmap, which a leak
// checker does not look into: a group reached only through such links
// would look lost.  Here each is owned for the whole run, by a list that
// is never destroyed (the check at exit comes after static destructors).
std::vector<void *> &buffer_groups()
{
    static auto *groups = new std::vector<void *>;
    return *groups;
}

std::unordered_map<int64_t, block_buffer *> buffer_of_block;     // named input
std::deque<block_buffer *> buffer_of_sequential_block;            // by number

block_buffer *indexed_buffer(int64_t block)
{
    if (sequential_input) {
        if (block < 0 || static_cast<uint64_t>(block) >= buffer_of_sequential_block.size())
            return nullptr;
        return buffer_of_sequential_block[static_cast<size_t>(block)];
    }
    auto found = buffer_of_block.find(block);
    return found != buffer_of_block.end() ? found->second : nullptr;
}

void index_block(int64_t block, block_buffer *b)
{
    if (!sequential_input) {
        buffer_of_block[block] = b;
        return;
    }
    auto slot = static_cast<size_t>(block);
    if (slot == buffer_of_sequential_block.size()) {
        buffer_of_sequential_block.push_back(b);    // the usual case: the next block
        return;
    }
    if (slot > buffer_of_sequential_block.size())
        buffer_of_sequential_block.resize(slot + 1, nullptr);
    buffer_of_sequential_block[slot] = b;
}

void unindex_block(int64_t block)
{
    if (!sequential_input)
        buffer_of_block.erase(block);
    else if (static_cast<uint64_t>(block) < buffer_of_sequential_block.size())
        buffer_of_sequential_block[static_cast<size_t>(block)] = nullptr;
}

// Makes `b` hold `block` (-1: nothing), in the buffer and in the index.
void hold_block(block_buffer *b, int64_t block)
{
    if (b->block != -1)
        unindex_block(b->block);
    b->block = block;
    if (block == -1)
        return;
    try {
        index_block(block, b);
    } catch (const std::bad_alloc &) {
        // A buffer the index does not know would be read into twice: the
        // run cannot go on, and ends once the command loop shows this.
        if (!fatal_error_pending())
            set_fatal_error("cannot allocate memory");
    }
}

// No buffer holds a block and both indexes are empty, whatever kind of
// input filled them.
void empty_all_buffers()
{
    for (block_buffer *p = buffer_ring.next; p != &buffer_ring; p = p->next)
        p->block = -1;
    buffer_of_block.clear();
    std::deque<block_buffer *>().swap(buffer_of_sequential_block);
    current_buffer = &buffer_ring;
}

void unlink_buffer(block_buffer *b)
{
    b->prev->next = b->next;
    b->next->prev = b->prev;
}

void insert_after(block_buffer *where, block_buffer *b)
{
    b->prev = where;
    b->next = where->next;
    where->next->prev = b;
    where->next = b;
}

// In a sequential input the buffers hold one contiguous run of blocks, the
// newest at the head of the circle and the oldest (or an empty buffer) at its
// tail, so the range test nearly always decides.
bool block_is_buffered(int64_t b)
{
    if (buffer_ring.prev->block <= b && b <= buffer_ring.next->block)
        return true;
    return indexed_buffer(b) != nullptr;
}

// The buffer a block not yet held is read into: the tail of the circle, or
// in a sequential input a new buffer when the tail holds data.  A failed
// allocation is not reported: the tail is reused and its block is lost.
block_buffer *take_buffer()
{
    bool pool_empty = buffer_ring.prev == &buffer_ring;
    if (pool_empty || (sequential_input && buffer_ring.prev->block != -1)) {
        if (!sequential_input || cache_add_buffers(PIPE_BUFFER_GROUP) != 0)
            cache_add_buffers(1);
    }
    if (buffer_ring.prev == &buffer_ring)
        return nullptr;             // no buffer at all: nothing can be read
    block_buffer *b = buffer_ring.prev;
    hold_block(b, read_block);
    b->size = 0;
    return b;
}

void replace_nul_bytes(unsigned char *p, size_t n)
{
    unsigned char *end = p + n;
    while ((p = static_cast<unsigned char *>(memchr(p, 0, static_cast<size_t>(end - p)))))
        *p++ = 0x80;
}

// Whether a read of fd would return at once.
bool readable_now(int fd)
{
    pollfd watched{fd, POLLIN, 0};
    return poll(&watched, 1, 0) > 0;
}

// Makes `b` the most recently filled buffer: the head of the circle.
void move_to_head(block_buffer *b)
{
    if (buffer_ring.next != b) {
        unlink_buffer(b);
        insert_after(&buffer_ring, b);
    }
}

// Hands the `n` bytes a read of a sequential input put into `b` (from its
// `size` on) and then into the `extra` buffers in turn, to those buffers:
// each extra one that got bytes holds the next block, and becomes the
// newest of the circle.
void take_bytes(block_buffer *b, size_t n, block_buffer *const *extra, int extras)
{
    input_bytes_read += static_cast<int64_t>(n);
    pipe_read_offset += static_cast<int64_t>(n);
    size_t first = std::min(n, static_cast<size_t>(BLOCK_SIZE - b->size));
    replace_nul_bytes(b->data + b->size, first);
    b->size += static_cast<int>(first);
    n -= first;
    move_to_head(b);
    int64_t block = b->block;
    for (int i = 0; i < extras && n > 0; i++) {
        block_buffer *e = extra[i];
        size_t got = std::min(n, size_t{BLOCK_SIZE});
        hold_block(e, ++block);
        e->size = static_cast<int>(got);
        replace_nul_bytes(e->data, got);
        move_to_head(e);
        n -= got;
    }
}

// A failed read ends the run once the command loop shows why; until then
// the input seems to end where the read failed, so that every walk stops.
int read_failed()
{
    if (!fatal_error_pending())
        set_fatal_error("read error");
    return 0;
}

// Reads a named input into `b` from its `size` on, by position: such a
// read never waits, so no output is flushed and no signal looked at.
// Returns the byte count.
int read_by_position(block_buffer *b, file_pos pos)
{
    ssize_t n = input_read_at(b->data + b->size, static_cast<size_t>(BLOCK_SIZE - b->size), pos);
    if (n < 0)
        return read_failed();
    return static_cast<int>(n);
}

// A read of a sequential input fills `b` and, behind it, the empty buffers
// at the tail of the circle, so that a pipe costs one system call for as
// many blocks as it holds.  It waits (interruptibly, through the terminal
// layer) only when nothing is there yet, and then fills as many buffers as
// the one read gives.  Returns the byte count, 0 at the end, or
// READ_ABANDONED (also, while reads do not wait, for "nothing yet").
int read_in_sequence(block_buffer *b)
{
    // A compressed file's text comes from its decoder, which never waits.
    bool decoded = decoded_format() != nullptr;
    bool ready = decoded || readable_now(input_fd);
    if (!ready && !sequential_reads_wait)
        return READ_ABANDONED;
    static iovec pieces[SEQUENTIAL_READ_BLOCKS];
    static block_buffer *behind[SEQUENTIAL_READ_BLOCKS];
    pieces[0] = {b->data + b->size, static_cast<size_t>(BLOCK_SIZE - b->size)};
    int count = 1;
    // (b itself, just taken, may still be at the tail)
    for (block_buffer *p = buffer_ring.prev; count < SEQUENTIAL_READ_BLOCKS; p = p->prev) {
        if (p == b)
            continue;
        if (p == &buffer_ring || p->block != -1)
            break;
        behind[count] = p;
        pieces[count++] = {p->data, BLOCK_SIZE};
    }
    ssize_t n;
    if (decoded) {
        // a fault ends the text: its message is recorded already
        n = decoder_read(pieces, count);
        if (n == DECODE_FAULT)
            n = 0;
    } else if (ready) {
        do {
            n = readv(input_fd, pieces, count);
        } while (n < 0 && errno == EINTR);
    } else {
        n = readv_interruptible(input_fd, pieces, count);
        if (n == READ_ABANDONED)
            return READ_ABANDONED;
    }
    if (n < 0)
        return read_failed();
    if (n > 0)
        take_bytes(b, static_cast<size_t>(n), behind + 1, count - 1);
    return static_cast<int>(n);
}

// A pipe holds 64 KiB unless its reader or writer makes it larger: made
// as large as the system lets anyone make one, a fast writer and the pager
// take turns far less often, and each read fills more buffers at once.
// Where that is refused (the user's pipes already hold much), or the
// input is no pipe, nothing changes.
void widen_pipe(int fd)
{
    int size = fcntl(fd, F_GETPIPE_SZ);
    if (size > 0 && size < WIDE_PIPE_SIZE)
        fcntl(fd, F_SETPIPE_SZ, WIDE_PIPE_SIZE);
}

// Reads into `b` until it covers read_offset; returns the byte there, or 0
// for the end of the input or a read abandoned by a signal.
int read_into(block_buffer *b)
{
    for (;;) {
        file_pos pos = read_block * BLOCK_SIZE + b->size;
        int n;
        if (sequential_input) {
            // Past the end of a sequential input nothing more can come; its
            // buffer holds the marker already (reading on would look like a
            // gap in the pipe).
            if (eof_offset != -1 && pos > eof_offset)
                return 0;
            if (pos != pipe_read_offset) {
                // a gap in what was read: the run cannot go on
                if (!fatal_error_pending())
                    set_fatal_error("pipe error");
                return 0;
            }
            n = read_in_sequence(b);
            if (n == READ_ABANDONED)
                return 0;
        } else {
            n = read_by_position(b, pos);
            replace_nul_bytes(b->data + b->size, static_cast<size_t>(n));
            b->size += n;
        }
        if (n == 0) {
            eof_offset = pos;
            b->data[b->size++] = 0;
        }
        // (the blocks of a sequential read are in order at the head already)
        if (!sequential_input || n == 0)
            move_to_head(b);
        if (read_offset < b->size)
            return b->data[read_offset];
    }
}

// The end-of-file markers at the end of a named file's buffer go: the
// bytes after them are read again.
void drop_end_markers(block_buffer *b)
{
    while (b->size > 0 && b->data[b->size - 1] == 0)
        b->size--;
}

} // namespace

ssize_t input_read_at(unsigned char *into, size_t length, file_pos pos)
{
    if (sequential_input || input_fd < 0 || pos < 0)
        return -1;
    ssize_t n;
    do {
        n = pread(input_fd, into, length, pos);
    } while (n < 0 && errno == EINTR);
    if (n > 0)
        input_bytes_read += n;
    return n;
}

int cache_input_sequential()
{
    return sequential_input;
}

block_buffer *cache_buffer_of(int64_t block)
{
    return indexed_buffer(block);
}

int cache_fill_block()
{
    block_buffer *b = cache_buffer_of(read_block);
    if (b != nullptr) {
        current_buffer = b;
        if (read_offset < b->size && (b->data[read_offset] != 0 || sequential_input))
            return b->data[read_offset];
        if (!sequential_input)
            drop_end_markers(b);
    } else {
        b = take_buffer();
        if (b == nullptr)
            return 0;
        current_buffer = b;
    }
    return read_into(b);
}

int cache_prev_char_slow()
{
    if (read_offset == 0) {
        if (read_block <= 0 || (sequential_input && !block_is_buffered(read_block - 1))) {
            read_offset = 0;
            return 0;
        }
        read_offset = BLOCK_SIZE - 1;
        read_block--;
    } else {
        read_offset--;
    }
    if (current_buffer->block == read_block && read_offset < current_buffer->size &&
        current_buffer->data[read_offset] != 0)
        return current_buffer->data[read_offset];
    return cache_fill_block();
}

// Memory for a group of buffers, never given back.  Not cleared: no byte
// of a buffer is looked at beyond its size.  A large group (a pipe's)
// gets memory of its own, aligned to huge pages and asked to be backed by
// them: taking the memory of a long pipe a small page at
// a time costs more in page faults than reading the pipe does.
static void *group_memory(size_t bytes)
{
    if (bytes < HUGE_PAGE_SIZE / 2)
        return malloc(bytes);
    size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    size_t used = (bytes + page - 1) / page * page;
    size_t span = used + HUGE_PAGE_SIZE;
    void *got = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (got == MAP_FAILED)
        return nullptr;
    auto at = reinterpret_cast<uintptr_t>(got);
    uintptr_t start = (at + HUGE_PAGE_SIZE - 1) & ~static_cast<uintptr_t>(HUGE_PAGE_SIZE - 1);
    if (start > at)
        munmap(got, start - at);
    if (at + span > start + used)
        munmap(reinterpret_cast<void *>(start + used), at + span - (start + used));
    madvise(reinterpret_cast<void *>(start), used, MADV_HUGEPAGE);
    return reinterpret_cast<void *>(start);
}

int cache_add_buffers(int n)
{
    if (n <= 0)
        return 0;
    if (n > INT_MAX - buffer_count)
        return 1;
    if (static_cast<size_t>(n) > (SIZE_MAX - HUGE_PAGE_SIZE) / sizeof(block_buffer))
        return 1;
    auto *group = static_cast<block_buffer *>(group_memory(static_cast<size_t>(n) * sizeof(block_buffer)));
    if (group == nullptr)
        return 1;
    buffer_groups().push_back(group);
    buffer_count += n;
    buffer_setting = buffer_count;
    for (int i = 0; i < n; i++) {
        group[i].block = -1;
        group[i].size = 0;
        insert_after(buffer_ring.prev, &group[i]);
    }
    return 0;
}

void cache_init(int count)
{
    cache_generation++;
    length_seen = -1;
    buffer_setting = buffer_count;
    if (buffer_count < count && cache_add_buffers(count - buffer_count) != 0) {
        // Without a buffer nothing can be read: the run ends once the
        // command loop has shown why.
        if (buffer_count == 0)
            set_fatal_error("cannot allocate %d buffers", count - buffer_count);
        else
            set_message("cannot allocate %d buffers", count - buffer_count);
        // The buffers that exist are emptied below like the others: the new
        // input is served from fewer buffers, never from the old data.
    }
    bool same_input = input_serial == cached_serial && input_fd == cached_fd &&
                      input_fd >= 0;
    cached_serial = input_serial;
    cached_fd = input_fd;
    bool sequential = pipe_mode || lseek(input_fd, 0, SEEK_CUR) < 0;
    struct stat status;
    unsized_input = !sequential && fstat(input_fd, &status) == 0 &&
                    S_ISCHR(status.st_mode);
    if (sequential && same_input && !pipe_mode && sequential_input) {
        // An unseekable named input cannot be read afresh: what was read of
        // it is all there is, so it is kept.
        cache_seek(0);
        return;
    }
    // A compressed file is read afresh from its start, in sequence.
    decoder_stop();
    if (!pipe_mode && !sequential && !unsized_input && decoder_start(input_fd))
        sequential = true;
    empty_all_buffers();
    sequential_input = sequential;
    if (sequential)
        widen_pipe(input_fd);
    pipe_read_offset = 0;
    eof_offset = -1;
    cache_seek(0);
    length_seen = cache_length();
}

void cache_open_input(int fd)
{
    input_fd = fd;
    ++input_serial;
}

void cache_reset()
{
    decoder_stop();
    empty_all_buffers();
    for (block_buffer *p = buffer_ring.next; p != &buffer_ring; p = p->next)
        p->size = 0;
    read_block = 0;
    read_offset = 0;
    input_fd = -1;
    pipe_mode = 0;
    pipe_read_offset = 0;
    eof_offset = -1;
    sequential_input = 0;
    sequential_reads_wait = 1;
    unsized_input = 0;
    ++input_serial;     // whatever comes next is a new input
    ++cache_generation;
    length_seen = -1;
    cached_fd = -1;
    buffer_setting = buffer_count > START_BUFFER_SETTING ? buffer_count : START_BUFFER_SETTING;
}

file_pos cache_drop_beyond_end()
{
    if (sequential_input || input_fd < 0)
        return -1;
    file_pos length = cache_length();
    if (length < 0)
        return -1;
    int64_t end_block = length / BLOCK_SIZE;
    int end_offset = static_cast<int>(length % BLOCK_SIZE);
    // Markers are harmless wherever they are; bytes of the input from the
    // new end on are not.
    auto holds_data_from = [](const block_buffer *b, int offset) {
        return offset < b->size && b->data[offset] != 0;
    };
    bool shrank = length < length_seen;
    for (block_buffer *p = buffer_ring.next; p != &buffer_ring; p = p->next) {
        if (p->block > end_block && holds_data_from(p, 0))
            hold_block(p, -1);
        else if (p->block == end_block && holds_data_from(p, end_offset))
            p->size = end_offset;   // read from the end again: the marker
        else
            continue;
        shrank = true;
    }
    // Whatever was worked out from bytes beyond the new end (held here or
    // not) is stale.
    if (shrank)
        cache_generation++;
    length_seen = length;
    return length;
}

// A compressed file's text can always be read again: a position ahead of
// what was read of it (a mark or the place left, after the file was opened
// again) is reached by reading on.  0 once it is read; 1 at its end, with
// a signal pending, or where nothing more comes.
static int read_on_to(file_pos pos)
{
    while (pipe_read_offset < pos) {
        if (pending_signals != 0)
            return 1;
        read_block = pipe_read_offset / BLOCK_SIZE;
        read_offset = static_cast<int>(pipe_read_offset % BLOCK_SIZE);
        if (cache_fill_block() == 0)
            return 1;
    }
    return 0;
}

int cache_seek(file_pos pos)
{
    if (pos < 0)
        return 1;
    if (sequential_input && pos != pipe_read_offset && !block_is_buffered(pos / BLOCK_SIZE) &&
        (decoded_format() == nullptr || pos < pipe_read_offset || read_on_to(pos) != 0))
        return 1;
    read_block = pos / BLOCK_SIZE;
    read_offset = static_cast<int>(pos % BLOCK_SIZE);
    return 0;
}

file_pos cache_tell()
{
    return read_block * BLOCK_SIZE + read_offset;
}

file_pos cache_length()
{
    if (sequential_input || unsized_input)
        return eof_offset;
    off_t end = lseek(input_fd, 0, SEEK_END);
    return end < 0 ? -1 : static_cast<file_pos>(end);
}

// A sequential input is read to its end a read at a time, not a byte at
// a time: only the position where the data read so far ends is visited.
int cache_seek_end()
{
    if (!sequential_input && !unsized_input) {
        file_pos length = cache_length();
        if (length == -1)
            return 1;
        return cache_seek(length);
    }
    if (!sequential_input) {
        // an unsized device, read by position
        while (cache_next_char() != 0)
            if (pending_signals != 0)
                return 1;
        return 0;
    }
    for (;;) {
        if (pending_signals != 0)
            return 1;
        cache_seek(pipe_read_offset);
        if (cache_fill_block() == 0)
            return 0;
    }
}

int cache_seek_begin()
{
    if (cache_seek(0) == 0)
        return 0;
    int64_t earliest = -1;
    for (block_buffer *p = buffer_ring.next; p != &buffer_ring; p = p->next)
        if (p->block != -1 && (earliest == -1 || p->block < earliest))
            earliest = p->block;
    if (earliest == -1)
        return 1;
    read_block = earliest;
    read_offset = 0;
    return 0;
}
