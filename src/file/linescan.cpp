// Fast line walking, for counting lines over large inputs.
//
// Three layers.  `scan_past_newline` and `scan_back_to_newline` work on the
// block cache's read position, searching the blocks it holds with memchr
// and using the character operations only to cross into the next block;
// they stop exactly where the character operations would.  The line
// scanner on top (`line_scan_next`, `line_scan_prev`) reads a named file
// straight in large pieces instead: counting a whole file through 1024-byte
// blocks would cost a system call per block and would push the blocks of
// the screen out of the cache.  It gives the same line starts as the cache
// would, and falls back to the cache for standard input and for any input
// that cannot be read by position.  `line_scan_count` counts the newlines
// of a whole range piece by piece (of a pipe, block by block of the cache),
// for the line numbers of far positions.
//
// Owned here: the scanner's piece of the file.  A piece read before the
// input was opened, flushed or cut short is never used; a walk that must
// see bytes changed in place starts with `line_scan_reset`.  Going back by
// display lines (line_scan_bytes, for line assembly) keeps the piece from row
// to row, so that a screenful of rows inside one piece reads it once.
#include <cstring>
#include <unistd.h>
#if defined(__SSE2__) && defined(__x86_64__)
#include <immintrin.h>
#endif

#include "file.h"

// Counting newlines is most of the work of numbering lines and of a search
// over a file where the match is rare, so it goes sixteen bytes at a time,
// or thirty-two where the processor can (decided once, at the first call).
// Each byte of a column sum counts the newlines of its column in at most
// 255 vectors before it is added up.
#if defined(__SSE2__) && defined(__x86_64__)
__attribute__((target("avx2")))
static int64_t count_newlines_avx2(const unsigned char *from, const unsigned char *end)
{
    int64_t count = 0;
    const __m256i newline = _mm256_set1_epi8('\n');
    const __m256i zero = _mm256_setzero_si256();
    while (end - from >= 32) {
        ptrdiff_t vectors = (end - from) / 32;
        if (vectors > 255)
            vectors = 255;
        __m256i sums = zero;
        for (ptrdiff_t i = 0; i < vectors; i++, from += 32) {
            __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(from));
            sums = _mm256_sub_epi8(sums, _mm256_cmpeq_epi8(bytes, newline));
        }
        __m256i quarters = _mm256_sad_epu8(sums, zero);
        count += _mm256_extract_epi64(quarters, 0) + _mm256_extract_epi64(quarters, 1) +
                 _mm256_extract_epi64(quarters, 2) + _mm256_extract_epi64(quarters, 3);
    }
    for (; from < end; from++)
        count += *from == '\n';
    return count;
}

static int64_t count_newlines_sse2(const unsigned char *from, const unsigned char *end)
{
    int64_t count = 0;
    const __m128i newline = _mm_set1_epi8('\n');
    const __m128i zero = _mm_setzero_si128();
    while (end - from >= 16) {
        ptrdiff_t vectors = (end - from) / 16;
        if (vectors > 255)
            vectors = 255;
        __m128i sums = zero;
        for (ptrdiff_t i = 0; i < vectors; i++, from += 16) {
            __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(from));
            sums = _mm_sub_epi8(sums, _mm_cmpeq_epi8(bytes, newline));
        }
        __m128i halves = _mm_sad_epu8(sums, zero);
        count += _mm_cvtsi128_si64(halves) + _mm_cvtsi128_si64(_mm_unpackhi_epi64(halves, halves));
    }
    for (; from < end; from++)
        count += *from == '\n';
    return count;
}

int64_t count_newlines(const unsigned char *from, const unsigned char *end)
{
    static const bool wide = __builtin_cpu_supports("avx2");
    return wide ? count_newlines_avx2(from, end) : count_newlines_sse2(from, end);
}
#else
int64_t count_newlines(const unsigned char *from, const unsigned char *end)
{
    int64_t count = 0;
    while (from < end) {
        auto *newline = static_cast<const unsigned char *>(
            memchr(from, '\n', static_cast<size_t>(end - from)));
        if (newline == nullptr)
            break;
        count++;
        from = newline + 1;
    }
    return count;
}
#endif

// Steps the read position by `count` bytes inside the current block (to
// its end at most: the next block's start, which the cache can always
// reach).
static void advance_read_offset(size_t count)
{
    cache_seek(cache_tell() + static_cast<file_pos>(count));
}

// Whole blocks are searched with memchr where the cache already holds them;
// the character operations are used only to cross into the next block.  A
// 0 in a buffer is an end-of-file marker (NUL bytes of the input are
// stored as 0x80): the scan hands it to the character operations, which
// stop there, or read on where a named file has grown since.
int scan_past_newline(int stop_on_signal, file_pos limit)
{
    for (;;) {
        if (stop_on_signal && pending_signals != 0)
            return 0;
        if (limit >= 0 && cache_tell() >= limit)
            return 0;
        block_buffer *buffer = current_buffer;
        if (buffer->block == read_block && read_offset < buffer->size) {
            const unsigned char *start = buffer->data + read_offset;
            size_t avail = static_cast<size_t>(buffer->size - read_offset);
            auto *newline = static_cast<const unsigned char *>(
                memchr(start, '\n', avail));
            size_t length = newline ? static_cast<size_t>(newline - start) : avail;
            auto *end = static_cast<const unsigned char *>(memchr(start, 0, length));
            if (end == nullptr) {
                advance_read_offset(newline ? length + 1 : avail);
                if (newline)
                    return 1;
                continue;
            }
            advance_read_offset(static_cast<size_t>(end - start));
        }
        int c = cache_next_char();
        if (c == '\n')
            return 1;
        if (c == 0)
            return 0;
    }
}

int scan_back_to_newline(int stop_on_signal)
{
    for (;;) {
        if (stop_on_signal && pending_signals != 0)
            return 0;
        block_buffer *buffer = current_buffer;
        if (buffer->block == read_block && read_offset > 0 &&
            read_offset <= buffer->size) {
            const unsigned char *data = buffer->data;
            size_t before = static_cast<size_t>(read_offset);
            auto *newline = static_cast<const unsigned char *>(
                memrchr(data, '\n', before));
            size_t from = newline ? static_cast<size_t>(newline - data) + 1 : 0;
            auto *end = static_cast<const unsigned char *>(
                memrchr(data + from, 0, before - from));
            file_pos block_start = buffer->block * BLOCK_SIZE;
            if (end != nullptr) {
                cache_seek(block_start + (end - data) + 1);
            } else if (newline) {
                cache_seek(block_start + (newline - data));
                return 1;
            } else {
                cache_seek(block_start);
            }
        }
        int c = cache_prev_char();
        if (c == '\n')
            return 1;
        if (c == 0)
            return 0;
    }
}

namespace {

enum { SCAN_PIECE_SIZE = 256 * 1024 };

}  // namespace

static unsigned char scan_piece[SCAN_PIECE_SIZE];
static file_pos scan_piece_start = -1;     // -1: nothing held
static size_t scan_piece_length;
static unsigned scan_piece_generation;     // cache_generation when read

void line_scan_reset()
{
    scan_piece_start = -1;
    scan_piece_length = 0;
}

// Reads the piece of the file starting at `start` (at most `length`
// bytes); false when the input cannot be read by position.
static bool load_piece(file_pos start, size_t length)
{
    scan_piece_start = -1;
    if (pipe_mode)
        return false;
    ssize_t got = input_read_at(scan_piece, length, start);
    if (got < 0)
        return false;
    scan_piece_start = start;
    scan_piece_length = static_cast<size_t>(got);
    scan_piece_generation = cache_generation;
    return true;
}

// A piece read before the input was opened, flushed or cut short holds
// nothing any more.
static bool piece_holds(file_pos pos)
{
    return scan_piece_start >= 0 && scan_piece_generation == cache_generation &&
           pos >= scan_piece_start &&
           pos < scan_piece_start + static_cast<file_pos>(scan_piece_length);
}

// The same through the block cache.
static file_pos cached_next(file_pos pos, int stop_on_signal, int *newline, file_pos limit)
{
    if (cache_seek(pos) != 0)
        return -1;
    *newline = scan_past_newline(stop_on_signal, limit);
    file_pos next = cache_tell();
    return next == pos ? -1 : next;
}

static file_pos cached_prev(file_pos pos, int stop_on_signal)
{
    if (cache_seek(pos - 1) != 0)
        return -1;
    if (scan_back_to_newline(stop_on_signal))
        return cache_tell() + 1;
    // the beginning of what a pipe still holds is no line start we know
    return cache_tell() == 0 ? 0 : -1;
}

file_pos line_scan_next(file_pos pos, int stop_on_signal, int *newline, file_pos limit)
{
    int ignored;
    if (newline == nullptr)
        newline = &ignored;
    *newline = 0;
    file_pos q = pos;
    for (;;) {
        if (!piece_holds(q) && !load_piece(q, SCAN_PIECE_SIZE))
            return cached_next(pos, stop_on_signal, newline, limit);
        if (!piece_holds(q))
            return q > pos ? q : -1;    // the end of the input
        size_t offset = static_cast<size_t>(q - scan_piece_start);
        const unsigned char *start = scan_piece + offset;
        size_t avail = scan_piece_length - offset;
        auto *found = static_cast<const unsigned char *>(memchr(start, '\n', avail));
        if (found != nullptr) {
            *newline = 1;
            return q + (found - start) + 1;
        }
        q += static_cast<file_pos>(avail);
        if (limit >= 0 && q >= limit)
            return q;
        if (stop_on_signal && pending_signals != 0)
            return -1;
    }
}

const unsigned char *cache_bytes_at(file_pos pos, size_t *avail)
{
    *avail = 0;
    if (cache_seek(pos) != 0 || cache_next_char() == 0)
        return nullptr;
    const block_buffer *b = cache_buffer_of(pos / BLOCK_SIZE);
    if (b == nullptr)
        return nullptr;
    const unsigned char *start = b->data + pos % BLOCK_SIZE;
    // The only 0 a buffer holds is an end-of-file marker, after its last
    // byte of data (a NUL of the input is held as 0x80).
    size_t held = static_cast<size_t>(b->size - pos % BLOCK_SIZE);
    while (held > 0 && start[held - 1] == 0)
        held--;
    *avail = held;
    return start;
}

// A piece begins a quarter of its size before the position asked for: a
// walk forward reads on in it, and walks that begin a little further back
// each time (going back by display lines) find their bytes there again.
const unsigned char *line_scan_bytes(file_pos pos, size_t *avail)
{
    *avail = 0;
    if (!piece_holds(pos)) {
        file_pos start = pos > SCAN_PIECE_SIZE / 4 ? pos - SCAN_PIECE_SIZE / 4 : 0;
        if (!load_piece(start, SCAN_PIECE_SIZE))
            return cache_bytes_at(pos, avail);
    }
    if (!piece_holds(pos))
        return nullptr;     // the end of the input
    size_t offset = static_cast<size_t>(pos - scan_piece_start);
    *avail = scan_piece_length - offset;
    return scan_piece + offset;
}

file_pos line_scan_prev(file_pos pos, int stop_on_signal)
{
    if (pos <= 0)
        return -1;
    // the newline at pos - 1 ends the line wanted; search what lies before
    file_pos end = pos - 1;
    while (end > 0) {
        if (stop_on_signal && pending_signals != 0)
            return -1;
        if (!piece_holds(end - 1)) {
            // the piece reaches the byte at `end` too (the newline that ends
            // the line found), so that reading that line forward next, as
            // going back by display lines does, stays in it
            file_pos start = end >= SCAN_PIECE_SIZE ? end + 1 - SCAN_PIECE_SIZE : 0;
            if (!load_piece(start, static_cast<size_t>(end + 1 - start)))
                return cached_prev(pos, stop_on_signal);
            if (!piece_holds(end - 1))
                return cached_prev(pos, stop_on_signal);    // the file shrank
        }
        size_t before = static_cast<size_t>(end - scan_piece_start);
        auto *newline = static_cast<const unsigned char *>(memrchr(scan_piece, '\n', before));
        if (newline != nullptr)
            return scan_piece_start + (newline - scan_piece) + 1;
        end = scan_piece_start;
    }
    return 0;
}

// Adds the newlines of the `length` bytes at `bytes` (the input from `q`
// on) to *count.
static void count_span(const unsigned char *bytes, size_t length, file_pos q,
                       newline_count *count)
{
    int64_t lines = count_newlines(bytes, bytes + length);
    if (lines == 0)
        return;
    if (count->first_start == -1) {
        auto *first = static_cast<const unsigned char *>(memchr(bytes, '\n', length));
        count->first_start = q + (first - bytes) + 1;
    }
    auto *last = static_cast<const unsigned char *>(memrchr(bytes, '\n', length));
    count->last_start = q + (last - bytes) + 1;
    count->lines += lines;
}

// The same over the blocks of the cache, for an input that cannot be read
// by position (a pipe, whose blocks the cache keeps): a block at a time,
// its bytes up to the end of what it holds.  Reading a pipe on may wait;
// a signal abandons it, and the count ends there.
static file_pos cache_count(file_pos from, file_pos to, newline_count *count)
{
    file_pos q = from;
    while (q < to) {
        size_t avail = 0;
        const unsigned char *bytes = cache_bytes_at(q, &avail);
        if (bytes == nullptr || avail == 0 || pending_signals != 0)
            return q;
        if (avail > static_cast<size_t>(to - q))
            avail = static_cast<size_t>(to - q);
        count_span(bytes, avail, q, count);
        q += static_cast<file_pos>(avail);
    }
    return q;
}

file_pos line_scan_count(file_pos from, file_pos to, newline_count *count)
{
    *count = {0, -1, -1};
    file_pos q = from;
    while (q < to) {
        size_t want = to - q < SCAN_PIECE_SIZE ? static_cast<size_t>(to - q) : size_t{SCAN_PIECE_SIZE};
        if (!load_piece(q, want))
            return cache_count(q, to, count);
        if (scan_piece_length == 0)
            return q;       // the end of the input
        count_span(scan_piece, scan_piece_length, q, count);
        q += static_cast<file_pos>(scan_piece_length);
    }
    return q;
}
