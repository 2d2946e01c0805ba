// Compressed files read as their text.
//
// A named regular file whose first bytes begin a gzip, xz, zstd or bzip2
// stream (its name does not matter) is read through that format's library
// while recognition is on (`decompress_files`).  The block cache then
// treats it as it treats a pipe: the text is read in sequence and every
// block is kept, because a compressed stream cannot be entered in its
// middle.  This file owns the one stream being decoded, if any.
//
// The compressed bytes are read by position (pread) from an offset of our
// own, so that nothing else that moves the descriptor's offset disturbs the
// stream.  Memory is bounded: an input buffer of DECODER_INPUT_SIZE bytes
// and the library's state, which may not grow beyond DECODER_MEMORY_LIMIT
// (xz is given that limit; zstd frames may not ask for a larger window;
// bzip2 needs under 4 MiB and zlib under 64 KiB whatever the data).
//
// Concatenated streams (gzip members, bzip2 streams, xz streams, zstd
// frames) are read one after another as one text, as the formats' own
// tools do.  Anything after a stream that does not begin another is a
// fault.
//
// A fault ends the text where it was found: the bytes decoded before it
// are delivered, then decoder_read answers DECODE_FAULT once, after
// recording a message naming the format and a byte offset N of the
// compressed file: the number of compressed bytes the library had taken
// when it reported the fault.  zlib, liblzma and libbz2 take bytes up to
// the damage and a little beyond, so the fault lies at or shortly before
// byte N; libzstd refuses a frame header or block whole, so there the
// damage lies in the piece that begins at byte N.  A fault that only a
// check value finds (gzip's CRC at the end of a member, a bzip2 block's)
// is found where the check is, after the text it spoiled was shown.  A
// file that ends inside a stream is "truncated" at its length.  After a
// fault or the end, reads give 0 until decoding starts again.
#include "file.h"

#include <bzlib.h>
#include <cerrno>
#include <cstring>
#include <lzma.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>
#include <zstd.h>
#include <zstd_errors.h>

int decompress_files = 1;

void set_decompress_files(int on)
{
    decompress_files = on;
}

namespace {

enum { FORMAT_NONE, FORMAT_GZIP, FORMAT_XZ, FORMAT_ZSTD, FORMAT_BZIP2 };
const char *const format_names[] = {nullptr, "gzip", "xz", "zstd", "bzip2"};

// Window log of the largest zstd window accepted: 8 MiB, what every
// compression level up to 19 uses; with the stream's buffers the state
// stays below DECODER_MEMORY_LIMIT.
const int ZSTD_WINDOW_LOG_MAX = 23;

// What one call of a format's decoding step found.
enum step_result {
    STEP_GOING,         // went on (or needs more input)
    STEP_MEMBER_END,    // a stream (member, frame) ended just now
    STEP_FAULT,         // the data is corrupt
    STEP_TRUNCATED,     // the data ends inside a stream
    STEP_TOO_LARGE,     // the stream needs more memory than allowed
    STEP_NO_MEMORY,     // the library could not get its memory
};

struct decoder_state {
    int format = FORMAT_NONE;
    int fd = -1;
    unsigned char input[DECODER_INPUT_SIZE];
    size_t in_pos = 0, in_length = 0;
    file_pos in_offset = 0;         // the file offset of input[0]
    bool file_ended = false;        // the file has no bytes after the buffer
    bool between_streams = false;   // the last stream ended; none began since
    bool started = false;           // the library's state exists
    bool finished = false;          // the text ended (at its end or a fault)
    bool fault_owed = false;        // a fault recorded but not yet answered
    z_stream gzip{};
    lzma_stream xz = LZMA_STREAM_INIT;
    ZSTD_DStream *zstd = nullptr;
    bz_stream bzip2{};
};

decoder_state decoder;

int format_of(const unsigned char *p, size_t n)
{
    if (n >= 2 && p[0] == 0x1f && p[1] == 0x8b)
        return FORMAT_GZIP;
    if (n >= 6 && memcmp(p, "\xfd" "7zXZ\0", 6) == 0)
        return FORMAT_XZ;
    if (n >= 4 && memcmp(p, "\x28\xb5\x2f\xfd", 4) == 0)
        return FORMAT_ZSTD;
    if (n >= 4 && memcmp(p, "BZh", 3) == 0 && p[3] >= '1' && p[3] <= '9')
        return FORMAT_BZIP2;
    return FORMAT_NONE;
}

// The library's state for a new stream; false when it cannot be had.
bool library_begin()
{
    decoder_state &d = decoder;
    switch (d.format) {
    case FORMAT_GZIP:
        d.gzip = z_stream{};
        // 16: a gzip header and trailer around the deflate data
        return inflateInit2(&d.gzip, 16 + MAX_WBITS) == Z_OK;
    case FORMAT_XZ:
        d.xz = LZMA_STREAM_INIT;
        return lzma_stream_decoder(&d.xz, DECODER_MEMORY_LIMIT, LZMA_CONCATENATED) == LZMA_OK;
    case FORMAT_ZSTD:
        d.zstd = ZSTD_createDStream();
        if (d.zstd == nullptr)
            return false;
        ZSTD_DCtx_setParameter(d.zstd, ZSTD_d_windowLogMax, ZSTD_WINDOW_LOG_MAX);
        return true;
    case FORMAT_BZIP2:
        d.bzip2 = bz_stream{};
        return BZ2_bzDecompressInit(&d.bzip2, 0, 0) == BZ_OK;
    }
    return false;
}

void library_end()
{
    decoder_state &d = decoder;
    if (!d.started)
        return;
    d.started = false;
    switch (d.format) {
    case FORMAT_GZIP: inflateEnd(&d.gzip); break;
    case FORMAT_XZ: lzma_end(&d.xz); break;
    case FORMAT_ZSTD: ZSTD_freeDStream(d.zstd); d.zstd = nullptr; break;
    case FORMAT_BZIP2: BZ2_bzDecompressEnd(&d.bzip2); break;
    }
}

step_result gzip_step(unsigned char *out, size_t room, size_t *produced)
{
    decoder_state &d = decoder;
    d.gzip.next_in = d.input + d.in_pos;
    d.gzip.avail_in = static_cast<uInt>(d.in_length - d.in_pos);
    d.gzip.next_out = out;
    d.gzip.avail_out = static_cast<uInt>(room);
    int r = inflate(&d.gzip, Z_NO_FLUSH);
    d.in_pos = d.in_length - d.gzip.avail_in;
    *produced = room - d.gzip.avail_out;
    switch (r) {
    case Z_OK: case Z_BUF_ERROR: return STEP_GOING;
    case Z_STREAM_END: return STEP_MEMBER_END;
    case Z_MEM_ERROR: return STEP_NO_MEMORY;
    }
    return STEP_FAULT;
}

step_result xz_step(unsigned char *out, size_t room, size_t *produced)
{
    decoder_state &d = decoder;
    d.xz.next_in = d.input + d.in_pos;
    d.xz.avail_in = d.in_length - d.in_pos;
    d.xz.next_out = out;
    d.xz.avail_out = room;
    // The concatenated decoder learns the end of the file from the action.
    bool last = d.file_ended && d.in_pos == d.in_length;
    lzma_ret r = lzma_code(&d.xz, last ? LZMA_FINISH : LZMA_RUN);
    d.in_pos = d.in_length - d.xz.avail_in;
    *produced = room - d.xz.avail_out;
    switch (r) {
    case LZMA_OK: return STEP_GOING;
    case LZMA_STREAM_END: return STEP_MEMBER_END;
    case LZMA_BUF_ERROR: return last ? STEP_TRUNCATED : STEP_GOING;
    case LZMA_MEM_ERROR: return STEP_NO_MEMORY;
    case LZMA_MEMLIMIT_ERROR: return STEP_TOO_LARGE;
    default: return STEP_FAULT;
    }
}

step_result zstd_step(unsigned char *out, size_t room, size_t *produced)
{
    decoder_state &d = decoder;
    ZSTD_inBuffer in = {d.input, d.in_length, d.in_pos};
    ZSTD_outBuffer o = {out, room, 0};
    size_t r = ZSTD_decompressStream(d.zstd, &o, &in);
    d.in_pos = in.pos;
    *produced = o.pos;
    if (ZSTD_isError(r)) {
        if (ZSTD_getErrorCode(r) == ZSTD_error_frameParameter_windowTooLarge)
            return STEP_TOO_LARGE;
        if (ZSTD_getErrorCode(r) == ZSTD_error_memory_allocation)
            return STEP_NO_MEMORY;
        return STEP_FAULT;
    }
    // 0: a frame ended and all of it was given out; the next bytes (if
    // any) begin another frame in the same state
    return r == 0 ? STEP_MEMBER_END : STEP_GOING;
}

step_result bzip2_step(unsigned char *out, size_t room, size_t *produced)
{
    decoder_state &d = decoder;
    d.bzip2.next_in = reinterpret_cast<char *>(d.input + d.in_pos);
    d.bzip2.avail_in = static_cast<unsigned>(d.in_length - d.in_pos);
    d.bzip2.next_out = reinterpret_cast<char *>(out);
    d.bzip2.avail_out = static_cast<unsigned>(room);
    int r = BZ2_bzDecompress(&d.bzip2);
    d.in_pos = d.in_length - d.bzip2.avail_in;
    *produced = room - d.bzip2.avail_out;
    switch (r) {
    case BZ_OK: return STEP_GOING;
    case BZ_STREAM_END: return STEP_MEMBER_END;
    case BZ_MEM_ERROR: return STEP_NO_MEMORY;
    }
    return STEP_FAULT;
}

step_result format_step(unsigned char *out, size_t room, size_t *produced)
{
    switch (decoder.format) {
    case FORMAT_GZIP: return gzip_step(out, room, produced);
    case FORMAT_XZ: return xz_step(out, room, produced);
    case FORMAT_ZSTD: return zstd_step(out, room, produced);
    default: return bzip2_step(out, room, produced);
    }
}

// The next piece of the compressed file into the input buffer; false when
// it cannot be read (errno says why).
bool refill()
{
    decoder_state &d = decoder;
    d.in_offset += static_cast<file_pos>(d.in_length);
    d.in_pos = d.in_length = 0;
    ssize_t n;
    do {
        n = pread(d.fd, d.input, sizeof d.input, d.in_offset);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        return false;
    d.in_length = static_cast<size_t>(n);
    d.file_ended = n == 0;
    return true;
}

// The text ends at a fault: its message, with where it lies, is recorded
// now; decoder_read answers DECODE_FAULT once the text before it is given.
void fault(int result)
{
    decoder_state &d = decoder;
    const char *name = format_names[d.format];
    auto at = static_cast<long long>(d.in_offset + static_cast<file_pos>(d.in_pos));
    switch (result) {
    case STEP_TRUNCATED:
        set_message("truncated %s data at byte %lld", name, at);
        break;
    case STEP_TOO_LARGE:
        set_message("%s data at byte %lld needs more than %d MiB to decompress", name, at,
                    DECODER_MEMORY_LIMIT >> 20);
        break;
    case STEP_NO_MEMORY:
        set_message("cannot allocate memory for %s data", name);
        break;
    default:
        set_message("corrupt %s data at byte %lld", name, at);
        break;
    }
    d.finished = true;
    d.fault_owed = true;
    library_end();
}

// Before a step: the input buffer holds bytes unless the file has ended,
// and a stream that ended is followed by a new one when more bytes come.
// STEP_GOING to go on, STEP_MEMBER_END at the end of the text,
// STEP_NO_MEMORY when the new stream's state cannot be had; false from
// *readable when the file cannot be read.
step_result prepare_step(bool *readable)
{
    decoder_state &d = decoder;
    *readable = d.in_pos < d.in_length || d.file_ended || refill();
    if (!*readable || !d.between_streams)
        return STEP_GOING;
    if (d.in_pos == d.in_length && d.file_ended)
        return STEP_MEMBER_END;
    d.between_streams = false;
    // zstd and xz read the next frame or stream in the state they have
    if (d.format == FORMAT_GZIP || d.format == FORMAT_BZIP2) {
        library_end();
        d.started = library_begin();
        if (!d.started)
            return STEP_NO_MEMORY;
    }
    return STEP_GOING;
}

// A step that neither took nor gave a byte: with the file at its end the
// stream was cut short; with bytes at hand the library refuses them.
step_result judge_stall(step_result r, size_t produced, size_t before)
{
    const decoder_state &d = decoder;
    if (r != STEP_GOING || produced > 0 || d.in_pos != before)
        return r;
    if (d.in_pos == d.in_length && d.file_ended)
        return STEP_TRUNCATED;
    return d.in_pos < d.in_length ? STEP_FAULT : STEP_GOING;
}

// Decodes into out[0, room): the bytes given, 0 at the end of the text or
// at a fault (recorded), -1 when the file cannot be read.
ssize_t decode_into(unsigned char *out, size_t room)
{
    decoder_state &d = decoder;
    while (!d.finished) {
        bool readable;
        step_result r = prepare_step(&readable);
        if (!readable)
            return -1;
        if (r == STEP_MEMBER_END) {
            d.finished = true;
            break;
        }
        size_t before = d.in_pos, produced = 0;
        if (r == STEP_GOING) {
            r = format_step(out, room, &produced);
            r = judge_stall(r, produced, before);
        }
        if (r == STEP_MEMBER_END)
            d.between_streams = true;
        else if (r != STEP_GOING)
            fault(r);
        if (produced > 0)
            return static_cast<ssize_t>(produced);
    }
    return 0;
}

} // namespace

int decoder_start(int fd)
{
    decoder_stop();
    struct stat st;
    if (!decompress_files || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return 0;
    decoder_state &d = decoder;
    d.fd = fd;
    d.in_offset = 0;
    d.in_pos = d.in_length = 0;
    d.file_ended = false;
    if (!refill())
        return 0;   // read as it is, where reading will say what is wrong
    d.format = format_of(d.input, d.in_length);
    if (d.format == FORMAT_NONE)
        return 0;
    d.started = library_begin();
    if (!d.started)
        fault(STEP_NO_MEMORY);
    return 1;
}

void decoder_stop()
{
    library_end();
    decoder_state &d = decoder;
    d.format = FORMAT_NONE;
    d.fd = -1;
    d.between_streams = d.finished = d.fault_owed = false;
}

void decompress_reset()
{
    decoder_stop();
    decompress_files = 1;
}

const char *decoded_format()
{
    return format_names[decoder.format];
}

ssize_t decoder_read(const iovec *pieces, int count)
{
    decoder_state &d = decoder;
    if (d.format == FORMAT_NONE)
        return 0;
    ssize_t total = 0;
    for (int i = 0; i < count && !d.finished; i++) {
        auto *out = static_cast<unsigned char *>(pieces[i].iov_base);
        size_t room = pieces[i].iov_len;
        while (room > 0 && !d.finished) {
            ssize_t n = decode_into(out, room);
            if (n < 0)
                return total > 0 ? total : -1;
            out += n;
            room -= static_cast<size_t>(n);
            total += n;
        }
    }
    if (total == 0 && d.fault_owed) {
        d.fault_owed = false;
        return DECODE_FAULT;
    }
    return total;
}
