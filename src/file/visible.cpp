// How the text is shown on the screen: what one character is, and whether
// it shows as itself, in caret form or (a high byte in UTF-8 text) in
// hexadecimal.
//
// The one place that decides it.  Line assembly reckons widths and tab stops
// here, the painter, the bottom-line editor's echo, the messages and the
// prompts write through here, and messages bound for standard error are put
// in the same form first.  Whatever the source of a byte (a file, a file
// name, a typed key), nothing but a printable character reaches the
// terminal outside the terminal's own control sequences.
//
// A byte is printable when the locale says so and it is not a C1 control
// (0x80 to 0x9F): whatever a single-byte locale claims for them, terminals
// take those bytes as control sequence introducers.  Every other byte shows
// as a caret and a letter, and the letter is always printable.
//
// In a locale whose code set is UTF-8 (unless the user turned it off) the
// text is read in characters: a well-formed sequence of a printable
// character is one character, its bytes reach the terminal as they are and
// it takes the columns `wcwidth` gives.  Everything else stays byte by
// byte: invalid and truncated sequences, overlong forms, surrogates, code
// points above U+10FFFF, and characters the C library does not call
// printable (C1 controls among them).  Characters of no width are shown
// only when the locale classes them as combining: they join the character
// before them, or stand on a blank where there is none.  Other zero-width
// characters (U+FEFF, U+200B ...) would leave no trace and are escaped.  A
// byte from 0x80 up that is escaped shows as its value in hexadecimal in
// angle brackets ("<9B>", four columns; the painter puts it in standout):
// a caret form would show 0x01, 0x81 and 0xC1 all as "^A".  A byte below
// 0x80 is always one character and keeps its caret form, so text without
// high bytes takes the byte path and costs what it always did.
//
// Turning UTF-8 off switches the character-type locale to "C", so that every
// classification (and the regular expressions compiled afterwards) works on
// bytes exactly as in a single-byte locale; turning it on again restores the
// locale chosen at start-up.
//
// Owned here: `utf8_text`, and the locale it was derived from.
#include "file.h"

#include <cctype>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <langinfo.h>
#include <strings.h>

#include "terminal/terminal.h"

int utf8_text;

static int locale_is_utf8;          // the start-up locale's code set is UTF-8
static char *start_locale;          // its LC_CTYPE name, restored by "on"
static wctype_t combining_class;    // 0 when the locale has no such class

bool byte_is_printable(int c)
{
    if (c < 0 || c > 0xff || (c >= 0x80 && c <= 0x9f))
        return false;
    return isprint(c) != 0;
}

// The byte with its high bit cleared and the bit 0x40 set; "?" where that
// gives DEL, which is the case for DEL itself and for 0xbf, whose letter
// would otherwise be a raw DEL.
int caret_letter(int c)
{
    int letter = (c & 0x7f) | 0x40;
    return letter == 0x7f ? '?' : letter;
}

int byte_width(int c)
{
    return byte_is_printable(c) ? 1 : 2;
}

int tab_columns()
{
    return tab_width > 0 ? tab_width : 8;
}

bool byte_in_hex(int c)
{
    return utf8_text && c >= 0x80;
}

void hex_form(int c, char form[HEX_FORM_WIDTH])
{
    static const char digits[] = "0123456789ABCDEF";
    form[0] = '<';
    form[1] = digits[(c >> 4) & 15];
    form[2] = digits[c & 15];
    form[3] = '>';
}

void charset_init(int allowed)
{
    const char *codeset = nl_langinfo(CODESET);
    locale_is_utf8 = codeset != nullptr &&
        (strcasecmp(codeset, "UTF-8") == 0 || strcasecmp(codeset, "UTF8") == 0);
    free(start_locale);
    const char *name = setlocale(LC_CTYPE, nullptr);
    start_locale = name != nullptr ? strdup(name) : nullptr;
    combining_class = locale_is_utf8 ? wctype("combining") : 0;
    utf8_text = locale_is_utf8 && start_locale != nullptr;
    if (!allowed)
        set_utf8_text(0);
}

int set_utf8_text(int on)
{
    if (on && (!locale_is_utf8 || start_locale == nullptr))
        return -1;
    if (on == utf8_text)
        return 0;
    setlocale(LC_CTYPE, on ? start_locale : "C");
    utf8_text = on;
    return 0;
}

void charset_reset()
{
    set_utf8_text(0);
    locale_is_utf8 = 0;
    combining_class = 0;
}

int utf8_sequence_length(int lead)
{
    if (lead < 0xC2)
        return 0;
    if (lead < 0xE0)
        return 2;
    if (lead < 0xF0)
        return 3;
    return lead < 0xF5 ? 4 : 0;
}

// A decoded character of no width: shown when it combines with the one
// before it (or when the locale cannot tell).
static bool is_combining(wchar_t wc)
{
    return combining_class == 0 || iswctype(static_cast<wint_t>(wc), combining_class);
}

text_char decode_char(const unsigned char *s, size_t avail)
{
    int c = s[0];
    if (c < 0x80 || !utf8_text)
        return {1, byte_width(c), byte_is_printable(c) ? CHAR_PRINTABLE : CHAR_ESCAPED};
    if (utf8_sequence_length(c) == 0)
        return {1, HEX_FORM_WIDTH, CHAR_ESCAPED};
    size_t want = static_cast<size_t>(utf8_sequence_length(c));
    size_t have = avail < want ? avail : want;
    mbstate_t state;
    memset(&state, 0, sizeof state);
    wchar_t wc = 0;
    size_t length = mbrtowc(&wc, reinterpret_cast<const char *>(s), have, &state);
    if (length == static_cast<size_t>(-2))
        return {static_cast<int>(have), 0, CHAR_INCOMPLETE};
    // The C library also takes sequences beyond U+10FFFF; UTF-8 does not.
    if (length == static_cast<size_t>(-1) || length == 0 || length != want ||
        static_cast<uint32_t>(wc) > 0x10FFFF)
        return {1, HEX_FORM_WIDTH, CHAR_ESCAPED};
    int width = wcwidth(wc);
    if (!iswprint(static_cast<wint_t>(wc)) || width < 0 || (width == 0 && !is_combining(wc)))
        return {static_cast<int>(length), HEX_FORM_WIDTH * static_cast<int>(length), CHAR_ESCAPED};
    return {static_cast<int>(length), width, CHAR_PRINTABLE};
}

size_t char_length_before(const unsigned char *start, const unsigned char *end)
{
    if (!utf8_text || end[-1] < 0x80)
        return 1;
    size_t back = 1;
    while (back < 4 && end - back > start && (end[-back] & 0xC0) == 0x80)
        back++;
    const unsigned char *lead = end - back;
    if (static_cast<size_t>(utf8_sequence_length(*lead)) == back &&
        decode_char(lead, back).kind == CHAR_PRINTABLE)
        return back;
    return 1;
}

// --- texts: names, messages, prompts, the echo ---

static void shown_write(shown_text *shown, int c)
{
    if (shown->to_terminal)
        out_char(c);
    if (shown->into != nullptr)
        *shown->into += static_cast<char>(c);
}

// A text on the bottom line or in a message is in an attribute of its own
// (standout, bold) already: a byte in hexadecimal form is not set apart
// by another one there.
static void shown_byte(shown_text *shown, int c)
{
    if (byte_is_printable(c)) {
        shown_write(shown, c);
        shown->columns += 1;
        shown->joinable = true;
        return;
    }
    if (byte_in_hex(c)) {
        char form[HEX_FORM_WIDTH];
        hex_form(c, form);
        for (char f : form)
            shown_write(shown, f);
        shown->columns += HEX_FORM_WIDTH;
    } else {
        shown_write(shown, '^');
        shown_write(shown, caret_letter(c));
        shown->columns += 2;
    }
    shown->carets++;
    shown->joinable = false;
}

int out_shown_byte(int c)
{
    shown_text shown;
    shown.to_terminal = true;
    shown_byte(&shown, c);
    return static_cast<int>(shown.columns);
}

size_t show_char(shown_text *shown, const unsigned char *s, size_t avail)
{
    if (!utf8_text || *s < 0x80) {
        shown_byte(shown, *s);
        return 1;
    }
    text_char ch = decode_char(s, avail);
    if (ch.kind != CHAR_PRINTABLE) {
        for (int i = 0; i < ch.length; i++)
            shown_byte(shown, s[i]);
        return static_cast<size_t>(ch.length);
    }
    int width = ch.width;
    if (width == 0 && !shown->joinable) {
        // a combining mark with nothing to join stands on a blank
        shown_write(shown, ' ');
        width = 1;
    }
    for (int i = 0; i < ch.length; i++)
        shown_write(shown, s[i]);
    shown->columns += static_cast<size_t>(width);
    shown->joinable = true;
    return static_cast<size_t>(ch.length);
}

void show_text(shown_text *shown, const char *s, size_t length)
{
    const unsigned char *p = reinterpret_cast<const unsigned char *>(s);
    while (length > 0) {
        size_t taken = show_char(shown, p, length);
        p += taken;
        length -= taken;
    }
}

int out_visible(const char *s)
{
    shown_text shown;
    shown.to_terminal = true;
    show_text(&shown, s, strlen(s));
    return shown.carets;
}

// Each character is measured first, on a copy of the state that writes
// nothing, so that a wide character or a caret pair is never cut in two.
int out_visible_cut(const char *s, int columns)
{
    shown_text shown;
    shown.to_terminal = true;
    const unsigned char *p = reinterpret_cast<const unsigned char *>(s);
    size_t left = strlen(s);
    while (left > 0) {
        shown_text measured = shown;
        measured.to_terminal = false;
        show_char(&measured, p, left);
        if (measured.columns > static_cast<size_t>(columns > 0 ? columns : 0))
            break;
        size_t taken = show_char(&shown, p, left);
        p += taken;
        left -= taken;
    }
    return static_cast<int>(shown.columns);
}

size_t visible_width(const char *s)
{
    shown_text shown;
    show_text(&shown, s, strlen(s));
    return shown.columns;
}

std::string visible_text(const char *s)
{
    std::string text;
    shown_text shown;
    shown.into = &text;
    show_text(&shown, s, strlen(s));
    return text;
}
