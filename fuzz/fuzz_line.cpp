// Fuzz target: line assembly and painting of arbitrary bytes.
//
// The first bytes of an input choose the settings (screen width, horizontal
// offset, wrapping, -u, -s, UTF-8 text, colours shown (-R), tab width, the columns the
// attribute sequences take); the rest is the file.  Every display line is assembled walking
// forward from the start and painted into the output buffer, then the lines
// are assembled again walking backward from the end.  What must hold:
// - backward gives the lines forward gives, in the same places (with -s,
//   where a run of empty lines may be entered from either end, the same
//   texts);
// - what the painter writes is printable bytes (in UTF-8 text also
//   well-formed printable characters), the line's closing newline, the
//   terminal's own sequences and (with -R) colour sequences, nothing else;
// - a painted row takes no more columns than the screen has (a backspace
//   takes one back, an attribute sequence takes its glitch width), unless
//   it holds a single character (or, in UTF-8 text, the hexadecimal form
//   of a single byte).
// A failed property aborts, which the fuzzer reports as a crash.
//
// The terminal description (xterm) is read once; before every input the
// state the walk touches is reset.  Standard output is a memory file that
// the check reads back after every painted line.  With FUZZ_LINE_SHOW set
// in the environment, a failing input prints the lines that differ or the
// row that is too wide before aborting.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <clocale>
#include <cstring>
#include <string>
#include <vector>

#include "display/display.h"
#include "file/file.h"
#include "command/command.h"
#include "startup/startup.h"
#include "terminal/terminal.h"

namespace {

int output_fd = -1;

// The terminal's sequences that the painter may send, each with the
// columns it takes on the screen.
struct sequence {
    std::string text;
    int columns;
};
std::vector<sequence> sequences;
std::string erase_sequence;

void add_sequence(const char *id, int columns)
{
    const char *text = termcap_value(id);
    if (text[0] != '\0' && !(text[0] >= '0' && text[0] <= '9'))
        sequences.push_back({text, columns});
}

void collect_sequences()
{
    sequences.clear();
    add_sequence("so", standout_width);
    add_sequence("se", standout_end_width);
    add_sequence("us", underline_width);
    add_sequence("ue", underline_end_width);
    add_sequence("md", bold_width);
    add_sequence("me", bold_end_width);
    add_sequence("ce", 0);
    erase_sequence = termcap_value("ce");
    add_sequence("bc", -1);
    sequences.push_back({"\b", -1});
}

struct settings_reader {
    const uint8_t *data;
    size_t size;
    int next()
    {
        if (size == 0)
            return 0;
        --size;
        return *data++;
    }
};

void apply_settings(settings_reader *in)
{
    int width = in->next();
    screen_width = width == 255 ? 100000 : width % 120 + 1;
    screen_height = 24;
    int offset = in->next();
    horiz_off = offset == 255 ? 1 << 30 : offset % 64;
    int flags = in->next();
    wrap_lines = horiz_off == 0 && (flags & 1) == 0;
    opt_no_overstrike = (flags >> 1) & 1;
    opt_squeeze = (flags >> 2) & 1;
    auto_margins = (flags >> 3) & 1;
    charset_reset();
    setlocale(LC_CTYPE, (flags >> 4) & 1 ? "C.UTF-8" : "C");
    charset_init(1);
    show_colour = (flags >> 5) & 1;
    tab_width = in->next() % 17;            // 0: the default
    // Every attribute takes the columns of the description's one `sg`, and
    // the styles the terminal can show follow from them, as when the
    // description is read: only states the pager can be in are explored.
    int glitch = in->next() % 3;
    underline_width = underline_end_width = glitch;
    bold_width = bold_end_width = glitch;
    standout_width = standout_end_width = glitch;
    read_style_capabilities(false);
}

std::string take_output()
{
    out_flush();
    off_t size = lseek(output_fd, 0, SEEK_CUR);
    std::string text(static_cast<size_t>(size), '\0');
    if (size > 0 && pread(output_fd, text.data(), text.size(), 0) != size)
        abort();
    if (ftruncate(output_fd, 0) != 0 || lseek(output_fd, 0, SEEK_SET) != 0)
        abort();
    return text;
}

// With colours shown, the painter applies the text's colours with SGR
// sequences of its own making: CSI, parameters, "m".  Their length at
// `at`, or 0.
size_t sgr_length(const std::string &row, size_t at)
{
    if (!show_colour || row.compare(at, 2, "\x1b[") != 0)
        return 0;
    size_t end = at + 2;
    while (end < row.size() && (isdigit(static_cast<unsigned char>(row[end])) ||
                                row[end] == ';' || row[end] == ':'))
        ++end;
    return end < row.size() && row[end] == 'm' ? end + 1 - at : 0;
}

// Whether the row holds the hexadecimal form of a byte ("<9B>") at `at`.
bool hex_form_at(const std::string &row, size_t at)
{
    auto hex_digit = [&](size_t i) { return isxdigit(static_cast<unsigned char>(row[i])) != 0; };
    return row.size() - at >= HEX_FORM_WIDTH && row[at] == '<' && hex_digit(at + 1) &&
           hex_digit(at + 2) && row[at + 3] == '>';
}

// The painted row: only printable bytes and the known sequences, ended
// by a newline unless the terminal's margin took the cursor on; and no
// more columns than the screen is wide.
void check_painted(const std::string &row)
{
    int64_t columns = 0, widest = 0;
    size_t i = 0, printable = 0;
    while (i < row.size()) {
        const sequence *found = nullptr;
        for (const sequence &s : sequences) {
            if (row.compare(i, s.text.size(), s.text) == 0 &&
                (found == nullptr || s.text.size() > found->text.size()))
                found = &s;
        }
        size_t sgr = sgr_length(row, i);
        if (found == nullptr && sgr > 0) {
            i += sgr;
        } else if (found != nullptr) {
            columns += found->columns;
            // A row that a row with an attribute on left behind is erased
            // first (attributes off, then erase): the text starts at the
            // left edge after that.
            if (found->text == erase_sequence)
                columns = 0;
            i += found->text.size();
        } else if (utf8_text && hex_form_at(row, i)) {
            // one unit, which a wrap never splits
            ++printable;
            columns += HEX_FORM_WIDTH;
            i += HEX_FORM_WIDTH;
        } else {
            unsigned char c = static_cast<unsigned char>(row[i]);
            if (c == '\n' && i + 1 == row.size())
                break;
            text_char ch = decode_char(reinterpret_cast<const unsigned char *>(row.data()) + i,
                                       row.size() - i);
            if (c < 0x20 || c == 0x7f || ch.kind != CHAR_PRINTABLE)
                abort();
            ++printable;
            columns += ch.width;
            i += static_cast<size_t>(ch.length);
        }
        if (columns > widest)
            widest = columns;
    }
    // A character alone on its row is shown even when the screen is
    // narrower than it (the walk must move on).
    if (widest > screen_width && printable > 2) {
        if (getenv("FUZZ_LINE_SHOW")) {
            fprintf(stderr, "width %d, %lld columns:", screen_width, static_cast<long long>(widest));
            for (unsigned char c : row)
                fprintf(stderr, c >= 0x20 && c < 0x7f ? "%c" : "\\x%02x", c);
            fprintf(stderr, "\n");
        }
        abort();
    }
}

struct display_line {
    file_pos start;
    std::string text;
};

std::vector<display_line> walk_forward()
{
    std::vector<display_line> lines;
    file_pos pos = 0;
    for (;;) {
        file_pos next = next_display_line(pos);
        if (next == -1)
            break;
        if (next <= pos && !(opt_squeeze && next == pos))
            abort();    // no progress: the walk would never end
        lines.push_back({pos, line_text});
        if (getenv("FUZZ_LINE_SHOW")) {
            fprintf(stderr, "line at %lld column %d tabs %d:", static_cast<long long>(pos), line_column, tab_width);
            for (const char *p = line_text; *p; ++p)
                fprintf(stderr, *p >= 0x20 && *p < 0x7f ? "%c" : "\\x%02x", static_cast<unsigned char>(*p));
            fprintf(stderr, "\n");
        }
        paint_line();
        check_painted(take_output());
        pos = next;
    }
    return lines;
}

std::vector<display_line> walk_backward(file_pos end)
{
    std::vector<display_line> lines;
    file_pos pos = end;
    for (;;) {
        file_pos start = prev_display_line(pos);
        if (start == -1)
            break;
        if (start >= pos)
            abort();
        lines.push_back({start, line_text});
        pos = start;
    }
    return {lines.rbegin(), lines.rend()};
}

void compare(const std::vector<display_line> &forward,
             const std::vector<display_line> &backward)
{
    if (getenv("FUZZ_LINE_SHOW")) {
        for (size_t i = 0; i < forward.size() || i < backward.size(); ++i) {
            const display_line *f = i < forward.size() ? &forward[i] : nullptr;
            const display_line *b = i < backward.size() ? &backward[i] : nullptr;
            if (f && b && f->start == b->start && f->text == b->text)
                continue;
            fprintf(stderr, "differ at %zu: forward %lld [%s] backward %lld [%s]\n", i,
                    f ? static_cast<long long>(f->start) : -1LL, f ? f->text.c_str() : "",
                    b ? static_cast<long long>(b->start) : -1LL, b ? b->text.c_str() : "");
            break;
        }
    }
    if (forward.size() != backward.size())
        abort();
    for (size_t i = 0; i < forward.size(); ++i) {
        if (forward[i].text != backward[i].text)
            abort();
        if (!opt_squeeze && forward[i].start != backward[i].start)
            abort();
    }
}

int open_input(const uint8_t *data, size_t size)
{
    int fd = memfd_create("fuzz-line-input", 0);
    if (fd < 0)
        abort();
    if (size > 0 && write(fd, data, size) != static_cast<ssize_t>(size))
        abort();
    return fd;
}

}  // namespace

extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libtinfo.so\n";
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    output_fd = memfd_create("fuzz-line-output", 0);
    if (output_fd < 0 || dup2(output_fd, 1) != 1)
        abort();
    close(output_fd);
    output_fd = 1;
    setenv("TERM", "xterm", 1);
    read_termcap();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    options_reset();
    scroll_reset();
    paint_reset();
    cache_reset();
    line_reset();
    linenum_clear();
    pos_reset();
    out_discard();
    sgr_reset();
    attr_state = 0;
    settings_reader in{data, size};
    apply_settings(&in);
    collect_sequences();

    int fd = open_input(in.data, in.size);
    cache_open_input(fd);
    pipe_mode = 0;
    cache_init(buffer_setting);
    std::vector<display_line> forward = walk_forward();
    std::vector<display_line> backward = walk_backward(static_cast<file_pos>(in.size));
    compare(forward, backward);
    cache_open_input(-1);
    close(fd);
    take_output();
    return 0;
}
