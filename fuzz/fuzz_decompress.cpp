// Fuzz target: the reading of compressed files (gzip, xz, zstd, bzip2),
// fed whole, cut short and corrupted streams.
//
// The input is the file: it is put in an anonymous memory file and read
// through the decoder in pieces whose sizes its last byte chooses.  What
// must hold:
// - a read never gives more bytes than its pieces hold;
// - the text ends once: after 0 or DECODE_FAULT every read gives 0;
// - the end (0) comes with no message; a fault with exactly one, naming
//   the format, and where it names a byte, one within the file;
// - recognition off, or a file of no known format, is not decoded.
// The text is read only to a bound, so that a small stream that unpacks
// to gigabytes does not stall the run.  A failed property aborts, which
// the fuzzer reports as a crash.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "file/file.h"
#include "message_text.h"

namespace {

const size_t TEXT_BOUND = 4 << 20;

void check_fault_message(const std::string &format, size_t size)
{
    std::string message = take_message_text();
    if (message.empty() || message.find(format + " data") == std::string::npos)
        abort();
    size_t at = message.find("at byte ");
    if (at != std::string::npos &&
        strtoull(message.c_str() + at + 8, nullptr, 10) > size)
        abort();
    if (!take_message_text().empty())
        abort();
}

// Reads the text to its end or the bound; returns how the reading ended.
ssize_t read_text(uint8_t shape)
{
    std::vector<char> a(1 + shape % 37), b(1 + shape / 37 * 100), c(1024);
    size_t total = 0;
    for (;;) {
        iovec pieces[] = {{a.data(), a.size()}, {b.data(), b.size()}, {c.data(), c.size()}};
        int count = 1 + shape % 3;
        size_t room = 0;
        for (int i = 0; i < count; i++)
            room += pieces[i].iov_len;
        ssize_t n = decoder_read(pieces, count);
        if (n <= 0)
            return n;
        if (static_cast<size_t>(n) > room)
            abort();
        total += static_cast<size_t>(n);
        if (total > TEXT_BOUND)
            return 1;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    discard_messages();
    int fd = memfd_create("fuzz-decompress", MFD_CLOEXEC);
    if (fd < 0)
        return 0;
    if (size > 0 && write(fd, data, size) != static_cast<ssize_t>(size)) {
        close(fd);
        return 0;
    }
    set_decompress_files(0);
    if (decoder_start(fd) != 0 || decoded_format() != nullptr)
        abort();
    set_decompress_files(1);
    if (decoder_start(fd) == 0) {
        if (decoded_format() != nullptr)
            abort();
        close(fd);
        return 0;
    }
    std::string format = decoded_format();
    ssize_t ended = read_text(size > 0 ? data[size - 1] : 0);
    if (ended == 0 && !take_message_text().empty())
        abort();
    if (ended == DECODE_FAULT)
        check_fault_message(format, size);
    if (ended == 0 || ended == DECODE_FAULT) {
        char byte;
        iovec piece = {&byte, 1};
        if (decoder_read(&piece, 1) != 0 || decoder_read(&piece, 1) != 0)
            abort();
    }
    if (ended < 0 && ended != DECODE_FAULT)
        abort();    // a memory file can always be read
    decoder_stop();
    discard_messages();
    close(fd);
    return 0;
}
