// Compressed files read as their text: each format made by its own library
// here, read whole, in concatenated streams, cut short and corrupted, and
// through the block cache as the pager reads it.
#include <gtest/gtest.h>

#include <algorithm>
#include <bzlib.h>
#include <cstring>
#include <fcntl.h>
#include <lzma.h>
#include <string>
#include <vector>
#include <zlib.h>
#include <zstd.h>

#include "file/file.h"
#include "message_text.h"
#include "test_files.h"

namespace {

std::string gzip_of(const std::string &text)
{
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out(deflateBound(&z, text.size()) + 64, '\0');
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(text.data()));
    z.avail_in = static_cast<uInt>(text.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

std::string xz_of(const std::string &text)
{
    std::string out(lzma_stream_buffer_bound(text.size()), '\0');
    size_t used = 0;
    EXPECT_EQ(lzma_easy_buffer_encode(6, LZMA_CHECK_CRC64, nullptr,
                                      reinterpret_cast<const uint8_t *>(text.data()), text.size(),
                                      reinterpret_cast<uint8_t *>(out.data()), &used, out.size()),
              LZMA_OK);
    out.resize(used);
    return out;
}

std::string zstd_of(const std::string &text)
{
    std::string out(ZSTD_compressBound(text.size()), '\0');
    size_t used = ZSTD_compress(out.data(), out.size(), text.data(), text.size(), 3);
    EXPECT_FALSE(ZSTD_isError(used));
    out.resize(used);
    return out;
}

std::string bzip2_of(const std::string &text)
{
    std::string out(text.size() + text.size() / 100 + 600, '\0');
    auto used = static_cast<unsigned>(out.size());
    EXPECT_EQ(BZ2_bzBuffToBuffCompress(out.data(), &used, const_cast<char *>(text.data()),
                                       static_cast<unsigned>(text.size()), 9, 0, 0),
              BZ_OK);
    out.resize(used);
    return out;
}

struct format_case {
    const char *name;
    std::string (*compress)(const std::string &);
};
const format_case formats[] = {
    {"gzip", gzip_of}, {"xz", xz_of}, {"zstd", zstd_of}, {"bzip2", bzip2_of},
};

// Numbered lines, NUL and bytes beyond ASCII among them: many blocks of
// the cache, and more than one input buffer of the decoder when packed.
std::string sample_text(int lines)
{
    std::string text;
    for (int i = 1; i <= lines; i++) {
        text += "line " + std::to_string(i) + " of the sample";
        if (i % 97 == 0)
            text += std::string("\0\xff\x1f", 3);
        text += std::to_string(i * 7919 % 104729) + "\n";
    }
    return text;
}

// What decoder_read gives from the file's start in pieces of odd sizes,
// and how the text ended (0 at its end, DECODE_FAULT at a fault).
struct reading {
    std::string text;
    ssize_t last;
};

reading read_all()
{
    reading r{"", 0};
    std::vector<char> a(1000), b(3), c(4096);
    for (;;) {
        iovec pieces[] = {{a.data(), a.size()}, {b.data(), b.size()}, {c.data(), c.size()}};
        ssize_t n = decoder_read(pieces, 3);
        if (n <= 0) {
            r.last = n;
            return r;
        }
        auto left = static_cast<size_t>(n);
        for (const iovec &p : pieces) {
            size_t take = std::min(left, p.iov_len);
            r.text.append(static_cast<const char *>(p.iov_base), take);
            left -= take;
        }
    }
}

int open_written(const temp_dir &dir, const std::string &bytes)
{
    int fd = open(dir.write("input", bytes).c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_GE(fd, 0);
    return fd;
}

TEST(Decompress, EveryFormatWholeAndConcatenated)
{
    temp_dir dir;
    std::string text = sample_text(20000);
    for (const format_case &f : formats) {
        SCOPED_TRACE(f.name);
        std::string one = f.compress(text);
        std::string second = f.compress("and a second stream\n");
        for (const std::string &file : {one, one + second}) {
            int fd = open_written(dir, file);
            ASSERT_EQ(decoder_start(fd), 1);
            ASSERT_STREQ(decoded_format(), f.name);
            reading r = read_all();
            std::string want = file == one ? text : text + "and a second stream\n";
            EXPECT_EQ(r.last, 0);
            EXPECT_TRUE(r.text == want) << r.text.size() << " bytes of " << want.size();
            EXPECT_EQ(take_message_text(), "");
            decoder_stop();
            close(fd);
        }
    }
}

// Not compressed (even though named so), recognition off, or not a
// regular file: read as the bytes they are.
TEST(Decompress, OtherInputsAreNotDecoded)
{
    temp_dir dir;
    std::string gz = gzip_of("text\n");
    struct {
        const char *what;
        std::string bytes;
        int recognise;
    } cases[] = {
        {"plain text", "plain text\n", 1},
        {"empty", "", 1},
        {"magic alone of bzip2 without its level", "BZh", 1},
        {"xz magic cut short", std::string("\xfd" "7zX", 4), 1},
        {"gzip with recognition off", gz, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        set_decompress_files(c.recognise);
        int fd = open_written(dir, c.bytes);
        EXPECT_EQ(decoder_start(fd), 0);
        EXPECT_EQ(decoded_format(), nullptr);
        close(fd);
    }
    set_decompress_files(1);
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
    ASSERT_EQ(write(fds[1], gz.data(), gz.size()), static_cast<ssize_t>(gz.size()));
    EXPECT_EQ(decoder_start(fds[0]), 0);
    close(fds[0]);
    close(fds[1]);
}

// A stream cut short gives a beginning of its text, then the fault once,
// with the file's length as where it lies; never bytes of its own.
TEST(Decompress, TruncatedStreamsEndAtTheFault)
{
    temp_dir dir;
    std::string text = sample_text(20000);
    for (const format_case &f : formats) {
        std::string whole = f.compress(text);
        for (size_t length : {size_t{1} + (f.name[0] == 'x' ? 6 : 4), whole.size() / 3,
                              whole.size() / 2, whole.size() - 1}) {
            SCOPED_TRACE(std::string(f.name) + " cut to " + std::to_string(length));
            int fd = open_written(dir, whole.substr(0, length));
            ASSERT_EQ(decoder_start(fd), 1);
            reading r = read_all();
            EXPECT_EQ(r.last, DECODE_FAULT);
            EXPECT_TRUE(text.compare(0, r.text.size(), r.text) == 0) << "not the text";
            EXPECT_LT(r.text.size(), length == whole.size() - 1 ? text.size() + 1 : text.size());
            EXPECT_EQ(take_message_text(), std::string("truncated ") + f.name + " data at byte " +
                                           std::to_string(length));
            // the fault is answered once; the text stays ended
            iovec piece = {r.text.data(), 1};
            EXPECT_EQ(decoder_read(&piece, 1), 0);
            decoder_stop();
            close(fd);
        }
    }
}

// Bytes that no stream may hold: at the start (a broken header) nothing is
// shown; after a whole stream (trailing garbage) its text is.  The byte
// named is where the library stopped taking bytes: zlib, liblzma and libbz2
// take them up to the damage (and a little beyond, within the file),
// libzstd refuses the header or block that holds it whole.
TEST(Decompress, CorruptStreamsSayWhereAndWhich)
{
    temp_dir dir;
    std::string text = sample_text(3000);
    for (const format_case &f : formats) {
        std::string whole = f.compress(text);
        // the byte after each magic: gzip's method, xz's stream flags,
        // zstd's frame header (a reserved bit), bzip2's block magic
        size_t header_byte = f.name[0] == 'g' ? 2 : f.name[0] == 'x' ? 7 : 4;
        std::string broken_header = whole;
        broken_header[header_byte] = static_cast<char>(broken_header[header_byte] ^ 0x08);
        struct {
            const char *what;
            std::string bytes;
            size_t damage;
            std::string shown;
        } cases[] = {
            {"header", broken_header, header_byte, ""},
            {"trailing garbage", whole + "garbage after the stream\n", whole.size(), text},
        };
        for (const auto &c : cases) {
            SCOPED_TRACE(std::string(f.name) + ": " + c.what);
            int fd = open_written(dir, c.bytes);
            ASSERT_EQ(decoder_start(fd), 1);
            reading r = read_all();
            EXPECT_EQ(r.last, DECODE_FAULT);
            EXPECT_TRUE(r.text == c.shown) << r.text.size() << " bytes shown";
            std::string message = take_message_text();
            std::string prefix = std::string("corrupt ") + f.name + " data at byte ";
            ASSERT_EQ(message.compare(0, prefix.size(), prefix), 0) << message;
            long long at = std::stoll(message.substr(prefix.size()));
            if (strcmp(f.name, "zstd") != 0) {
                EXPECT_GE(at, static_cast<long long>(c.damage)) << message;
            } else {
                EXPECT_LE(at, static_cast<long long>(c.damage)) << message;
            }
            EXPECT_GE(at, c.shown.empty() ? 0LL : static_cast<long long>(whole.size())) << message;
            EXPECT_LE(at, static_cast<long long>(c.bytes.size())) << message;
            decoder_stop();
            close(fd);
        }
    }
}

// Through the block cache: the text in blocks (NUL kept as 0x80), read in
// sequence, its end and its length found as a pipe's are; a fault ends it
// with the message and no fatal error.
TEST(Decompress, TheCacheHoldsTheText)
{
    temp_dir dir;
    std::string text = sample_text(5000);
    std::string shown = text;
    std::replace(shown.begin(), shown.end(), '\0', '\x80');
    for (const format_case &f : formats) {
        SCOPED_TRACE(f.name);
        std::string whole = f.compress(text);
        for (bool cut : {false, true}) {
            cache_reset();
            int fd = open_written(dir, cut ? whole.substr(0, whole.size() / 2) : whole);
            cache_open_input(fd);
            cache_init(buffer_setting);
            EXPECT_EQ(cache_input_sequential(), 1);
            ASSERT_EQ(cache_seek_end(), 0);
            std::string read;
            ASSERT_EQ(cache_seek(0), 0);
            for (int c; (c = cache_next_char()) != 0;)
                read += static_cast<char>(c);
            EXPECT_EQ(cache_length(), static_cast<file_pos>(read.size()));
            if (!cut) {
                EXPECT_TRUE(read == shown) << read.size() << " of " << shown.size();
            } else {
                EXPECT_TRUE(read.size() < shown.size() && shown.compare(0, read.size(), read) == 0);
                EXPECT_NE(take_message_text().find(std::string("truncated ") + f.name), std::string::npos);
            }
            EXPECT_FALSE(fatal_error_pending());
            EXPECT_EQ(take_message_text(), "");
            cache_reset();
            close(fd);
        }
    }
}

// A stream whose window needs more memory than the decoder may take is
// refused with a message, before any of its text: zstd told a 16 MiB
// window (the size of the text not given to it, so the window stays as
// asked).
TEST(Decompress, AWindowBeyondTheLimitIsRefused)
{
    temp_dir dir;
    std::string text = sample_text(100);
    ZSTD_CCtx *c = ZSTD_createCCtx();
    ASSERT_NE(c, nullptr);
    ASSERT_FALSE(ZSTD_isError(ZSTD_CCtx_setParameter(c, ZSTD_c_windowLog, 24)));
    std::string packed(ZSTD_compressBound(text.size()) + 64, '\0');
    ZSTD_outBuffer out = {packed.data(), packed.size(), 0};
    ZSTD_inBuffer in = {text.data(), text.size(), 0};
    ASSERT_FALSE(ZSTD_isError(ZSTD_compressStream2(c, &out, &in, ZSTD_e_continue)));
    ZSTD_inBuffer none = {nullptr, 0, 0};
    ASSERT_EQ(ZSTD_compressStream2(c, &out, &none, ZSTD_e_end), 0u);
    ZSTD_freeCCtx(c);
    packed.resize(out.pos);
    int fd = open_written(dir, packed);
    ASSERT_EQ(decoder_start(fd), 1);
    reading r = read_all();
    EXPECT_EQ(r.last, DECODE_FAULT);
    EXPECT_EQ(r.text, "");
    EXPECT_EQ(take_message_text(), "zstd data at byte 0 needs more than 16 MiB to decompress");
    decoder_stop();
    close(fd);
}

} // namespace
