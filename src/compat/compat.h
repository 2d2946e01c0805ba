// Small stand-ins for BSD interfaces that glibc does not offer.
#ifndef VORN_COMPAT_H
#define VORN_COMPAT_H

#include <cstddef>
#include <cstdio>

// The next line of `stream` with its newline (if any), not NUL-terminated;
// *len receives its length.  Null at the end of the stream.  The text stays
// valid until the next call for the same stream.
char *fgetln(FILE *stream, size_t *len);

// A read-only stream whose bytes come from `readfn(cookie, buf, n)`.
FILE *funopen_read(const void *cookie, int (*readfn)(void *, char *, int));

// realloc that frees the old block when it fails.
void *reallocf(void *ptr, size_t size);

// Replace the process signal mask by the mask of `mask` (bit n-1 for signal
// n); returns the previous mask the same way.  glibc still declares its own,
// deprecated sigsetmask in <signal.h>; that declaration is read first and the
// name is then mapped onto ours, so callers write sigsetmask as usual.
#include <csignal>
#undef sigsetmask
#define sigsetmask vorn_sigsetmask
int sigsetmask(int mask);

#endif
