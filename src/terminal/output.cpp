// The output buffer: every byte for the screen, text and control sequences
// alike, is collected here and written to descriptor 1 in as few writes as
// possible (one per full buffer, one per flush).
//
// Invariant: out_buffer <= out_pos <= out_buffer + OUT_BUFFER_SIZE.
//
// Every byte handed to the buffer reaches the terminal whole and in order:
// a write that a signal cuts short (a window change or a stop while a slow
// terminal holds the write up) or that finds a non-blocking descriptor full
// goes on where it stopped.  Dropping the rest would leave the terminal with
// half a control sequence that the next bytes complete into another one.
// The signals themselves are served afterwards, by the command loop, so a
// repaint for a window change starts after the whole of the output before
// it.  Only a real failure (the terminal gone, an error) loses the buffered
// bytes; the screen is then uncertain, so a repaint is requested.
//
// Also owned here: the repaint request, set by whatever leaves the screen
// different from what was painted and cleared by the painting that mends it.
#include "terminal.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace {

unsigned char out_buffer[OUT_BUFFER_SIZE];
unsigned char *out_pos = out_buffer;
bool repaint_pending;

} // namespace

// Only async-signal-safe calls: the signal handlers write with it too.
bool write_fully(int fd, const void *data, size_t n)
{
    const char *bytes = static_cast<const char *>(data);
    while (n > 0) {
        ssize_t written = write(fd, bytes, n);
        if (written > 0) {
            bytes += written;
            n -= static_cast<size_t>(written);
        } else if (written < 0 && errno == EINTR) {
            continue;
        } else if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // The descriptor was made non-blocking by whoever shares it:
            // wait for room.  An error it reports is met by the next write.
            pollfd room{fd, POLLOUT, 0};
            if (poll(&room, 1, -1) < 0 && errno != EINTR)
                return false;
        } else {
            return false;
        }
    }
    return true;
}

void request_repaint()
{
    repaint_pending = true;
}

bool repaint_requested()
{
    return repaint_pending;
}

void repaint_done()
{
    repaint_pending = false;
}

void out_flush()
{
    size_t n = static_cast<size_t>(out_pos - out_buffer);
    if (n == 0)
        return;
    if (!write_fully(1, out_buffer, n))
        request_repaint();
    out_pos = out_buffer;
}

void out_discard()
{
    out_pos = out_buffer;
}

void out_char(int c)
{
    if (out_pos == out_buffer + OUT_BUFFER_SIZE)
        out_flush();
    // A flush always empties the buffer, so there is room now.
    *out_pos++ = static_cast<unsigned char>(c);
}

int out_char_sink(int c)
{
    out_char(c);
    return c;
}

void out_str(const char *s)
{
    for (; *s != '\0'; s++)
        out_char(static_cast<unsigned char>(*s));
}
