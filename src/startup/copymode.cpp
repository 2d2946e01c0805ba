// Copy mode: standard output is not a terminal, so the files of the list (or
// standard input) are copied to it and the program ends.
//
// The copy does not go through the block cache: the cache stores NUL as
// 0x80 for the screen, and a copy must be byte for byte.  It reads the
// descriptor open_file left in input_fd (or, for a compressed file while
// recognition is on, the text its decoder gives: a copy gives what paging
// shows, as `vorn file.gz | grep` expects; `-Z` copies the raw bytes) in
// large chunks and writes them
// straight to descriptor 1; with -s, runs of newlines are squeezed in place
// inside each chunk, the count of newlines in a row carrying over from one
// chunk to the next.
//
// The exit status tells a script whether everything was copied, as cat's
// does: 1 when a file could not be opened (the others are still copied) or
// when standard output failed.  A failed write stops the copy; it is
// reported with the system's reason, except when the reader went away (a
// closed pipe), which is no news to anyone and stays quiet.
#include "startup.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "command/command.h"
#include "display/display.h"
#include "terminal/terminal.h"
#include "file/file.h"

namespace {

enum { COPY_CHUNK = 128 * 1024 };
unsigned char copy_buffer[COPY_CHUNK];

// Set when standard output no longer takes data; nothing more is copied.
bool output_failed;

// 0 when all n bytes were written, else the reason of the failed write.
int write_all(const unsigned char *data, size_t n)
{
    while (n > 0) {
        ssize_t written = write(1, data, n);
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return errno;
        if (written == 0)
            return EIO;  // a device that takes nothing; never retried
        data += written;
        n -= static_cast<size_t>(written);
    }
    return 0;
}

void report_write_failure(int reason)
{
    output_failed = true;
    if (reason == EPIPE)
        return;
    char text[128];
    snprintf(text, sizeof text, "write error: %s", strerror(reason));
    show_message(text);
}

// Drops every newline that would be the third or later in a row; `newlines`
// is the number of newlines in a row just before the chunk and is updated.
// Returns the new length of the chunk.
size_t squeeze_newlines(unsigned char *chunk, size_t n, int *newlines)
{
    unsigned char *out = chunk;
    const unsigned char *p = chunk;
    const unsigned char *end = chunk + n;
    while (p < end) {
        if (*p == '\n') {
            if (*newlines < 2) {
                *out++ = '\n';
                ++*newlines;
            }
            p++;
            continue;
        }
        const void *found = memchr(p, '\n', static_cast<size_t>(end - p));
        const unsigned char *text_end = found ? static_cast<const unsigned char *>(found) : end;
        size_t length = static_cast<size_t>(text_end - p);
        if (out != p)
            memmove(out, p, length);
        out += length;
        p = text_end;
        *newlines = 0;
    }
    return static_cast<size_t>(out - chunk);
}

} // namespace

int copy_to_stdout()
{
    out_flush();
    if (output_failed)
        return 1;
    if (!pipe_mode)
        lseek(input_fd, 0, SEEK_SET);
    bool decoded = decoded_format() != nullptr;
    int newlines = 0;
    for (;;) {
        ssize_t n;
        if (decoded) {
            iovec whole = {copy_buffer, COPY_CHUNK};
            n = decoder_read(&whole, 1);
            if (n == DECODE_FAULT)
                return 1;   // the text up to the fault is copied
        } else {
            n = read(input_fd, copy_buffer, COPY_CHUNK);
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            show_message("read error");
            finish_and_exit(EXIT_FAILURE);
        }
        if (n == 0)
            return 0;
        size_t length = static_cast<size_t>(n);
        if (opt_squeeze)
            length = squeeze_newlines(copy_buffer, length, &newlines);
        int reason = write_all(copy_buffer, length);
        if (reason != 0) {
            report_write_failure(reason);
            return 1;
        }
    }
}

// Copies the input just opened (`opened` is open_file's answer); 0 when all
// of it was copied.
static int copy_input(int opened)
{
    if (!opened)
        return 1;
    int failed = copy_to_stdout();
    // what reading had to say (a read that failed ends the program here)
    report_messages();
    return failed;
}

int copy_mode()
{
    if (file_count < 1)
        return copy_input(open_file("-", 0)) == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
    int failures = 0;
    for (int i = 0; i < file_count && !output_failed; i++)
        failures += copy_input(open_file_at(i));
    return failures == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
}
