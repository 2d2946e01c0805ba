// The output buffer: every byte for the screen, text and control sequences
// alike, is collected here and written to descriptor 1 in as few writes as
// possible (one per full buffer, one per flush).
//
// Invariant: out_buffer <= out_pos <= out_buffer + OUT_BUFFER_SIZE.  A write
// that fails or is short loses the buffered bytes; the screen is then
// uncertain, so a repaint is requested.
//
// Also owned here: the repaint request, set by whatever leaves the screen
// different from what was painted and cleared by the painting that mends it.
#include "terminal.h"

#include <unistd.h>

namespace {

unsigned char out_buffer[OUT_BUFFER_SIZE];
unsigned char *out_pos = out_buffer;
bool repaint_pending;

} // namespace

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
    if (write(1, out_buffer, n) != static_cast<ssize_t>(n))
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
    // A failed flush also empties the buffer, so there is always room now.
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
