// Stand-ins for the BSD stream, memory and signal interfaces glibc lacks.
//
// fgetln keeps one line buffer per stream in a small table keyed by the
// FILE pointer, so that a script read from inside another script (the
// `readrc` command runs while its caller's line is still in use) does not
// overwrite the caller's line.  The table has FGETLN_SLOTS entries; when
// every slot is taken, the slot used longest ago is handed to the new
// stream.  Buffers are kept for the whole run and reused; a closed stream's
// slot is simply taken over by whatever stream next lands on its address.
#include "compat.h"

#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdlib>

namespace {

enum { FGETLN_SLOTS = 16 };

struct line_slot {
    FILE *stream;                   // owner, or null when unused
    char *text;                     // getline buffer, owned
    size_t capacity;
    unsigned long last_use;         // for choosing a slot to take over
};

line_slot line_slots[FGETLN_SLOTS];
unsigned long line_slot_clock;

line_slot *slot_for_stream(FILE *stream)
{
    line_slot *oldest = &line_slots[0];
    for (line_slot &slot : line_slots) {
        if (slot.stream == stream)
            return &slot;
        if (slot.stream == nullptr)
            return &slot;
        if (slot.last_use < oldest->last_use)
            oldest = &slot;
    }
    return oldest;
}

// Adapter between the read function of funopen_read and fopencookie.
struct read_cookie {
    void *cookie;
    int (*readfn)(void *, char *, int);
};

ssize_t cookie_read(void *raw, char *buffer, size_t size)
{
    read_cookie *rc = static_cast<read_cookie *>(raw);
    int n = size > INT_MAX ? INT_MAX : static_cast<int>(size);
    return rc->readfn(rc->cookie, buffer, n);
}

int cookie_close(void *raw)
{
    delete static_cast<read_cookie *>(raw);
    return 0;
}

} // namespace

char *fgetln(FILE *stream, size_t *len)
{
    line_slot *slot = slot_for_stream(stream);
    slot->stream = stream;
    slot->last_use = ++line_slot_clock;
    ssize_t n = getline(&slot->text, &slot->capacity, stream);
    if (n <= 0) {
        *len = 0;
        return nullptr;
    }
    *len = static_cast<size_t>(n);
    return slot->text;
}

FILE *funopen_read(const void *cookie, int (*readfn)(void *, char *, int))
{
    read_cookie *rc = new read_cookie{const_cast<void *>(cookie), readfn};
    cookie_io_functions_t functions = {};
    functions.read = cookie_read;
    functions.close = cookie_close;
    FILE *stream = fopencookie(rc, "r", functions);
    if (stream == nullptr)
        delete rc;
    return stream;
}

void *reallocf(void *ptr, size_t size)
{
    // glibc's realloc(ptr, 0) frees ptr and returns null; asking for one
    // byte instead keeps "null means the old block was freed by us" true.
    if (size == 0)
        size = 1;
    void *grown = realloc(ptr, size);
    if (grown == nullptr)
        free(ptr);
    return grown;
}

int sigsetmask(int mask)
{
    // Bit n-1 stands for signal n; an int holds signals 1 to 32.
    sigset_t wanted, previous;
    sigemptyset(&wanted);
    uint32_t bits = static_cast<uint32_t>(mask);
    for (int sig = 1; sig <= 32; sig++)
        if (bits & (UINT32_C(1) << (sig - 1)))
            sigaddset(&wanted, sig);
    if (sigprocmask(SIG_SETMASK, &wanted, &previous) != 0)
        return -1;
    uint32_t old_bits = 0;
    for (int sig = 1; sig <= 32; sig++)
        if (sigismember(&previous, sig) == 1)
            old_bits |= UINT32_C(1) << (sig - 1);
    return static_cast<int>(old_bits);
}
