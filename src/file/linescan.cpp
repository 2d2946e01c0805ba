// Fast line walking, for counting lines over large inputs.
//
// Two layers.  `scan_past_newline` and `scan_back_to_newline` work on the
// block cache's read position, searching the blocks it holds with memchr
// and using the character operations only to cross into the next block;
// they stop exactly where the character operations would.  The line
// scanner on top (`line_scan_next`, `line_scan_prev`) reads a named file
// straight in large pieces instead: counting a whole file through 1024-byte
// blocks would cost a system call per block and would push the blocks of
// the screen out of the cache.  It gives the same line starts as the cache
// would, and falls back to the cache for standard input and for any input
// that cannot be read by position.
//
// Owned here: the scanner's piece of the file.  It is valid only within
// one walk; every walk starts with `line_scan_reset`.
#include <cstring>
#include <unistd.h>

#include "file.h"

// Steps the read position by `count` bytes inside the current block.
static void advance_read_offset(size_t count)
{
    read_offset += static_cast<int>(count);
    if (read_offset == BLOCK_SIZE) {
        read_offset = 0;
        read_block++;
    }
}

// Whole blocks are searched with memchr where the cache already holds them;
// the character operations are used only to cross into the next block.  A
// 0 in a buffer is the end-of-file marker (NUL bytes of the input are
// stored as 0x80), so the scan stops there just as cache_next_char would.
int scan_past_newline(int stop_on_signal)
{
    for (;;) {
        if (stop_on_signal && pending_signals != 0)
            return 0;
        block_buffer *buffer = current_buffer;
        if (buffer->block == read_block && read_offset < buffer->size) {
            const unsigned char *start = buffer->data + read_offset;
            size_t avail = static_cast<size_t>(buffer->size - read_offset);
            auto *newline = static_cast<const unsigned char *>(
                memchr(start, '\n', avail));
            size_t length = newline ? static_cast<size_t>(newline - start) : avail;
            auto *end = static_cast<const unsigned char *>(memchr(start, 0, length));
            if (end != nullptr) {
                advance_read_offset(static_cast<size_t>(end - start));
                return 0;
            }
            advance_read_offset(newline ? length + 1 : avail);
            if (newline)
                return 1;
            continue;
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
            if (end != nullptr) {
                read_offset = static_cast<int>(end - data);
                return 0;
            }
            if (newline) {
                read_offset = static_cast<int>(newline - data);
                return 1;
            }
            read_offset = 0;
        }
        int c = cache_prev_char();
        if (c == '\n')
            return 1;
        if (c == 0)
            return 0;
    }
}

namespace {

enum { SCAN_PIECE_SIZE = 65536 };

}  // namespace

static unsigned char scan_piece[SCAN_PIECE_SIZE];
static file_pos scan_piece_start = -1;     // -1: nothing held
static size_t scan_piece_length;

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
    if (pipe_mode || input_fd < 0 || start < 0)
        return false;
    ssize_t got = pread(input_fd, scan_piece, length, start);
    if (got < 0)
        return false;
    scan_piece_start = start;
    scan_piece_length = static_cast<size_t>(got);
    return true;
}

static bool piece_holds(file_pos pos)
{
    return scan_piece_start >= 0 && pos >= scan_piece_start &&
           pos < scan_piece_start + static_cast<file_pos>(scan_piece_length);
}

// The same through the block cache.
static file_pos cached_next(file_pos pos, int stop_on_signal, int *newline)
{
    if (cache_seek(pos) != 0)
        return -1;
    *newline = scan_past_newline(stop_on_signal);
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

file_pos line_scan_next(file_pos pos, int stop_on_signal, int *newline)
{
    int ignored;
    if (newline == nullptr)
        newline = &ignored;
    *newline = 0;
    file_pos q = pos;
    for (;;) {
        if (!piece_holds(q) && !load_piece(q, SCAN_PIECE_SIZE))
            return cached_next(pos, stop_on_signal, newline);
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
    }
}

file_pos line_scan_prev(file_pos pos, int stop_on_signal)
{
    if (pos <= 0)
        return -1;
    // the newline at pos - 1 ends the line wanted; search what lies before
    file_pos end = pos - 1;
    while (end > 0) {
        if (!piece_holds(end - 1)) {
            file_pos start = end > SCAN_PIECE_SIZE ? end - SCAN_PIECE_SIZE : 0;
            if (!load_piece(start, static_cast<size_t>(end - start)))
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
