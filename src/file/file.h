// File input: the block cache, line assembly and the line-number cache,
// and what lies under line assembly: how each character is shown
// (visible.cpp) and the text's own colour sequences (sgr.cpp).
#ifndef VORN_FILE_H
#define VORN_FILE_H

#include <cstddef>
#include <sys/types.h>
#include <sys/uio.h>
#include <string>
#include <vector>

#include "terminal/terminal.h"
#include "vorn.h"

// --- visible.cpp: what a character is and how it is shown, as itself, as
// ^ and a letter, or in hexadecimal ---
bool byte_is_printable(int c);      // shown as itself (never a C1 control)
int caret_letter(int c);            // the letter of ^X; always printable
int byte_width(int c);              // 1, or 2 in caret form (not for a tab)
int tab_columns();                  // the tab width in force
int out_shown_byte(int c);          // writes c as shown; returns its columns
// In UTF-8 text a byte from 0x80 up that is no part of a printable
// character shows as "<9B>": its value in hexadecimal, four columns.
enum { HEX_FORM_WIDTH = 4 };
bool byte_in_hex(int c);            // such a byte shows so (not as ^X)
void hex_form(int c, char form[HEX_FORM_WIDTH]);
int out_visible(const char *s);     // writes s as shown; returns the carets
// Writes s as shown within `columns` columns, cut before the first
// character (or caret pair) that would pass them; returns the columns
// written.
int out_visible_cut(const char *s, int columns);
size_t visible_width(const char *s);            // columns of s as shown
std::string visible_text(const char *s);        // s as shown, for stderr

// --- sgr.cpp: the text's own colour sequences (ESC [ parameters m) ---
enum { SGR_MAX_LENGTH = 128 };      // a longer sequence is shown escaped
extern int show_colour;             // the sequences are shown as colours
void set_show_colour(int on);
// The length of the well-formed sequence at the start of `text` (at most
// `length` bytes), or 0 when there is none.
size_t sgr_length(const unsigned char *text, size_t length);
// Same, and the sequence applied to *style (left alone when 0).
size_t sgr_apply(const unsigned char *text, size_t length, text_style *style);
void sgr_reset();                   // sequences shown escaped again

// 1 while the text is read as UTF-8 characters: the locale's code set is
// UTF-8 and the user has not turned it off (option -b, command utf8).
extern int utf8_text;
// After setlocale: UTF-8 when the locale's code set is UTF-8 and `allowed`.
void charset_init(int allowed);
// Turns UTF-8 on or off; -1 (and nothing changes) for "on" in a locale
// whose code set is not UTF-8.
int set_utf8_text(int on);
void charset_reset();               // byte by byte, as in the C locale
// The bytes of the UTF-8 sequence a lead byte begins (2 to 4), 0 for a
// byte that begins none.
int utf8_sequence_length(int lead);
enum { CHAR_PRINTABLE, CHAR_ESCAPED, CHAR_INCOMPLETE };
struct text_char {
    int length;     // bytes
    int width;      // columns: its own when printable, when escaped 2 a
                    // byte in caret form, HEX_FORM_WIDTH in hexadecimal
    int kind;       // CHAR_PRINTABLE, CHAR_ESCAPED (caret or hexadecimal
                    // form, byte by byte) or CHAR_INCOMPLETE (the avail bytes begin a
                    // well-formed sequence that is not yet complete)
};
// The character at s, of which `avail` bytes (at least 1) may be read.
// One byte unless `utf8_text` is set and s begins a multibyte sequence.
// A printable character of width 0 is a combining mark.
text_char decode_char(const unsigned char *s, size_t avail);
// The bytes of the character that ends at `end` (after `start`): in UTF-8
// text a whole well-formed printable character, else 1.
size_t char_length_before(const unsigned char *start, const unsigned char *end);

// A text being shown character by character: to the terminal, into a
// string, or only measured.  `joinable`: a combining mark next joins the
// character before it.
struct shown_text {
    bool to_terminal = false;
    std::string *into = nullptr;
    size_t columns = 0;
    int carets = 0;             // bytes shown escaped (caret or hexadecimal)
    bool joinable = false;
};
// Shows the character at s (`avail` bytes readable); returns its bytes.
size_t show_char(shown_text *shown, const unsigned char *s, size_t avail);
void show_text(shown_text *shown, const char *s, size_t length);

// --- input_name.cpp: the name of the current input ---
extern char *current_file;          // heap; null before any input
// `name` (heap, or null) becomes the current input's name; the one it
// replaces is returned, the caller's to keep or free.
char *replace_current_file(char *name);

// --- cache.cpp: the block cache ---
enum { BLOCK_SIZE = 1024 };
struct block_buffer {
    block_buffer *next;
    block_buffer *prev;
    int64_t block;                  // block number held, -1 for none
    int size;                       // valid bytes, end-of-file marker included
    unsigned char data[BLOCK_SIZE];
};
// Buffers added at once when a sequential input has filled the pool: as
// many as fill a huge page of memory.
enum : size_t { HUGE_PAGE_SIZE = 2 << 20 };
enum { PIPE_BUFFER_GROUP = static_cast<int>(HUGE_PAGE_SIZE / sizeof(block_buffer)) };
extern block_buffer buffer_ring;
extern block_buffer *current_buffer;
extern int64_t read_block;
extern int read_offset;
extern int input_fd;
extern int pipe_mode;
extern int64_t pipe_read_offset;
extern int64_t eof_offset;
extern int buffer_count;
extern int buffer_setting;
// Changes whenever what the cache delivers may have changed (a new input,
// a flush, a file cut short): what was worked out from the old bytes is
// then stale.
extern unsigned cache_generation;
void cache_note_change();           // what was worked out is stale now
// Standard input is the input (set with each new input): it is read once,
// in sequence.
void set_pipe_mode(int on);
// Bytes read from the input so far, through the cache or straight: what
// the walks over the text really cost.
extern int64_t input_bytes_read;

// Makes fd the input: a new one, even when its number is that of the input
// before (input_fd is set only here).  cache_init then starts it afresh.
void cache_open_input(int fd);
void cache_init(int count);
// No input and no data; the buffers stay allocated (the pool lives for the
// whole run) and the descriptor is not closed.
void cache_reset();
int cache_add_buffers(int n);
int cache_seek(file_pos pos);
file_pos cache_tell();
int cache_fill_block();             // slow path of the two character reads
block_buffer *cache_buffer_of(int64_t block);   // null when none holds it
file_pos cache_length();
int cache_seek_end();
int cache_seek_begin();

// While clear (when following), a sequential input is read only as far as
// its writer has written: where nothing more has come yet it seems to end,
// without an end-of-file marker, so the next look reads on.  Set otherwise.
extern int sequential_reads_wait;
void set_sequential_reads_wait(int on);
// The input must be read in sequence (a pipe, standard input, a fifo).
int cache_input_sequential();
// The one read by position of the input, past the cache (for walks over
// large stretches): up to `length` bytes from `pos` into `into`, as they
// are (a NUL stays 0).  Returns the byte count, 0 at the end, -1 when the
// input cannot be read by position or the read failed; counted in
// input_bytes_read.
ssize_t input_read_at(unsigned char *into, size_t length, file_pos pos);

// A named file that shrank: forget what is held at or beyond its end.
// Returns the length, or -1 for an input without one.
file_pos cache_drop_beyond_end();

// The byte at the read position, advancing; 0 at the end of the input.
// An end-of-file marker is looked at again by the slow path: a named file
// may have grown.
inline int cache_next_char()
{
    int c = 0;
    if (current_buffer->block == read_block && read_offset < current_buffer->size)
        c = current_buffer->data[read_offset];
    if (c == 0)
        c = cache_fill_block();
    if (c == 0)
        return 0;
    if (++read_offset == BLOCK_SIZE) {
        read_offset = 0;
        read_block++;
    }
    return c;
}

int cache_prev_char_slow();
// Step back one byte and return it; 0 at the beginning.
inline int cache_prev_char()
{
    if (read_offset > 0 && current_buffer->block == read_block &&
        read_offset - 1 < current_buffer->size &&
        current_buffer->data[read_offset - 1] != 0) {
        read_offset--;
        return current_buffer->data[read_offset];
    }
    return cache_prev_char_slow();
}

// --- decompress.cpp: compressed files read as their text ---
// Recognition of compressed files (by their first bytes), on by default;
// off, they are read as the bytes they are.
extern int decompress_files;
void set_decompress_files(int on);
enum { DECODER_INPUT_SIZE = 64 * 1024 };
enum { DECODER_MEMORY_LIMIT = 16 << 20 };   // for the library's state
// Starts decoding the input on fd when recognition is on and it is a
// regular file whose first bytes begin a gzip, xz, zstd or bzip2 stream:
// 1 then (its text is read with decoder_read from the start), else 0.
// Whatever was decoded before is given up.
int decoder_start(int fd);
void decoder_stop();
void decompress_reset();            // nothing decoded; recognition on
// The name of the format being decoded, or null when none is.
const char *decoded_format();
// Fills the pieces in order with the next bytes of the text: their number,
// 0 at the end of the text, DECODE_FAULT once at a fault (after recording
// its message; the text ends there), -1 when the file cannot be read
// (errno says why).
enum { DECODE_FAULT = -3 };
ssize_t decoder_read(const iovec *pieces, int count);

// --- line.cpp: line assembly ---
enum {
    LINE_BUFFER_SIZE = 8192,
    RAW_LINE_MAX = 8191,
    MARK_NUL = 0x80,
    MARK_UL_ON = 0x81,
    MARK_UL_OFF = 0x82,
    MARK_BOLD_ON = 0x83,
    MARK_BOLD_OFF = 0x84,
    // In UTF-8 text only: the byte after it, with the high bit set again,
    // is an input byte from 0x81 up that belongs to no printable character
    // (shown in hexadecimal form).  Kept apart so that no stray byte can
    // pass for a lead byte or a mark; the byte after the mark is always
    // below 0x80 and never 0.
    MARK_ESCAPED = 0xFF,
};
enum {
    OS_NONE, OS_UL_CHAR, OS_UL_NEXT, OS_UL_BS,
    OS_BOLD_CHAR, OS_BOLD_NEXT, OS_BOLD_BS,
};
extern char line_buffer[LINE_BUFFER_SIZE];
extern char *line_text;
// line_text shows the display line being assembled again (raw lines were
// read meanwhile).
void line_text_to_display_line();
extern int line_column;
extern int overstrike_state;
void line_start();
int line_append(int c);
file_pos next_display_line(file_pos pos);
// next_display_line as though no filter were set (the header lines).
file_pos next_display_line_unfiltered(file_pos pos);
file_pos prev_display_line(file_pos pos);
// The start of the display line holding the byte at `pos` (pos itself
// where a text line begins).
file_pos display_line_holding(file_pos pos);
file_pos next_raw_line(file_pos pos);
file_pos prev_raw_line(file_pos pos);
void line_reset();                  // no line assembled
// The columns left of the text that the line-number column takes (0: none;
// a column that would leave no room for text is none); the display sets
// it, and display lines wrap in the columns that remain (`text_width`).
void set_number_columns(int columns);
int number_column_width();
int text_width();
// Whether a text line begins at `pos` (not a later row of a wrapped one).
bool starts_text_line(file_pos pos);
// While a filter is set (the finding layer decides which text lines it
// shows), display lines are stepped over the shown text lines alone.  The
// finder gives, for the text line start `start`, going forward the start
// of the first shown text line at or after it (the end of the input when
// none follows), going backward the start of the last shown text line
// before it; -1 when there is none backward, with a signal pending, or
// where the input cannot be read.
typedef file_pos (*shown_line_finder)(file_pos start, int forward);
void set_line_filter(shown_line_finder finder);     // null: every line shown
// The display line to show for `pos` (a display line start): pos itself
// when its text line is shown, else the start of the first shown text line
// after it, the end of the input when there is none; -1 with a signal
// pending.
file_pos shown_display_line(file_pos pos);

// --- linestyle.cpp: the styles of a display line (colours, matches) ---
struct file_range {
    file_pos start, end;            // [start, end)
};
// The state from byte `offset` of the display line on: the text's own
// style, and whether the bytes lie inside a match.
struct line_style_change {
    int offset;
    text_style style;
    int highlight;
};
enum { LINE_STYLE_CHANGES_MAX = LINE_BUFFER_SIZE + 1 };
extern line_style_change line_style_changes[LINE_STYLE_CHANGES_MAX];
extern int line_style_change_count;     // 0: the line is plain
// Fills `ranges` with the matches of the raw piece of a text line that
// starts at `piece`, in order and apart; may move the read position and
// read raw lines.  Null while nothing is highlighted.
typedef void (*match_range_finder)(file_pos piece, std::vector<file_range> *ranges);
extern match_range_finder line_match_finder;
void set_line_match_finder(match_range_finder finder);
int line_styles_active();
// Before a display line starting at `pos` is assembled; `origin` is the
// start of its text line, or -1 when not known.  Moves the read position.
void line_styles_begin(file_pos pos, file_pos origin);
void line_styles_restart();             // a wrapped row begins (backward)
// After an ESC was read: 1 when a colour sequence followed and was taken
// (the read position after it), else 0 (the read position unchanged).
int line_styles_sequence(int offset);
// Before the byte at `pos` is appended at `offset`.
void line_styles_at(file_pos pos, int offset);
// A byte was put in before offset `from`: the changes from there move on.
void line_styles_shift(int from);
// After a display line: where the next one starts, and whether it
// continues the same text line.
void line_styles_end(file_pos next, int wrapped);
void line_styles_reset();

// --- wrapstarts.cpp: display-line starts kept for one long text line ---
// While lines wrap, the starts found in the text line last gone back in
// are kept, so that moves inside it never assemble it from its start
// again.  Display start number 0 is the text line's start.
struct display_start {
    int64_t number;
    file_pos pos;
};
void wrap_starts_forget();
// Keeps the starts of the text line beginning at `line_begin`, of which
// [line_begin, newline_free_end) is known to hold no newline.
void wrap_starts_begin(file_pos line_begin, file_pos newline_free_end);
// Whether the text line kept, under the settings in force, is the one a
// backward scan from `read_pos` finds (it holds the bytes before it).
bool wrap_starts_hold(file_pos read_pos);
void wrap_starts_note(int64_t number, file_pos pos);
void wrap_starts_reach(file_pos end);   // [line_begin, end) holds no newline
// The last start known at or before `target`; only while one is kept.
display_start wrap_starts_before(file_pos target);

// --- linescan.cpp: fast line walking for counting ---
// Move the read position just past the next newline (1), or to the end of
// the input (0); and back onto the newline before the read position (1),
// or to the beginning (0).  With `stop_on_signal` both give up (0) once a
// signal is pending.
int scan_past_newline(int stop_on_signal, file_pos limit = -1);
int scan_back_to_newline(int stop_on_signal);
// Line starts: the start of the line after the one holding `pos` (the end
// of the input for a last line without newline; *newline, when given, says
// whether a newline ended the line), and the start of the line before the
// line start `pos`; -1 when there is none or it cannot be reached.  The
// read position is not kept.  A walk begins with line_scan_reset, so that
// a changed file is read afresh.  With `limit` (not -1), a line that has
// not ended by `limit` is looked at no further: a position at or beyond
// `limit` is returned with *newline 0 (a line need not end at all, on a
// device or in an endless pipe); scan_past_newline stops there too (0).
void line_scan_reset();
file_pos line_scan_next(file_pos pos, int stop_on_signal, int *newline = nullptr,
                        file_pos limit = -1);
file_pos line_scan_prev(file_pos pos, int stop_on_signal);
// The bytes of the input from `pos` on that are at hand in one piece, and
// their number in *avail; null (and 0) at the end of the input, where it
// cannot be reached, or when a signal abandoned the read.  Straight from a
// named file in large pieces (a NUL of the input is 0 there), or through
// the block cache a block at a time (NUL as 0x80; the input that cannot
// be read by position always).  Valid until the next read of either kind.
const unsigned char *line_scan_bytes(file_pos pos, size_t *avail);
const unsigned char *cache_bytes_at(file_pos pos, size_t *avail);
// The newlines in [from, to) of the input, read straight (an input that
// cannot be read by position, such as a pipe, through the blocks of the
// cache): their number, and the line starts just after the first and the
// last of them (-1 when there is none).  Returns where the count ended:
// `to`, or the end of the input when that comes first, or where a signal
// abandoned the reading of a pipe.
struct newline_count {
    int64_t lines;
    file_pos first_start;
    file_pos last_start;
};
file_pos line_scan_count(file_pos from, file_pos to, newline_count *count);
// The bytes '\n' in [from, end).
int64_t count_newlines(const unsigned char *from, const unsigned char *end);

// --- linenum.cpp: the line-number cache ---
enum { LINENUM_POOL_SIZE = 50 };
void linenum_clear();
void linenum_add(int line, file_pos pos);
int linenum_find(file_pos pos);
// Forgets the pairs at or beyond `pos` (the file was cut short there).
void linenum_forget_from(file_pos pos);
// Says on the bottom line, in standout, that a long count goes on and the
// interrupt key abandons it.
void show_busy_message(const char *msg);
// The start of text line `line` (from 1), counted from the nearest known
// pair and then kept as one; -1 when the input has fewer lines (their
// number in *lines_in_input) or a signal abandoned the count.
file_pos linenum_line_start(int line, int *lines_in_input);

#endif
