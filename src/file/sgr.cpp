// The text's own select-graphic-rendition sequences (ESC [ parameters m):
// recognising one and applying it to a style.
//
// Owned here: `show_colour`, whether the sequences of the input are shown
// as colours and attributes (the -R option and the colour command set it).
//
// A sequence counts only whole and well formed: ESC, '[', digits, ';' and
// ':' only, then 'm'; at most SGR_MAX_LENGTH bytes, no number of more than
// SGR_MAX_DIGITS digits, and the extended colours (38 and 48, with 5 and an
// index or 2 and red, green, blue) complete and in range.  Anything else
// is no colour sequence and keeps the escaped display every other control
// sequence has.  Well-formed parameters that are not known here (overline,
// strike-through, fonts ...) are passed over.
#include "file.h"

int show_colour;

namespace {

enum { SGR_MAX_DIGITS = 5, NO_MORE = -1 };

struct sgr_parameter {
    int value;          // 0 when empty
    bool sub;           // came after a ':' (part of the group before)
};

struct sgr_parameters {
    sgr_parameter at[SGR_MAX_LENGTH];
    int count;
};

bool is_parameter_byte(int c)
{
    return (c >= '0' && c <= '9') || c == ';' || c == ':';
}

// Splits the bytes between '[' and 'm'; false when a number is too long.
bool split_parameters(const unsigned char *text, size_t length, sgr_parameters *out)
{
    out->count = 0;
    sgr_parameter current = {0, false};
    int digits = 0;
    for (size_t i = 0; i < length; i++) {
        int c = text[i];
        if (c >= '0' && c <= '9') {
            if (++digits > SGR_MAX_DIGITS)
                return false;
            current.value = current.value * 10 + (c - '0');
            continue;
        }
        out->at[out->count++] = current;
        current = {0, c == ':'};
        digits = 0;
    }
    out->at[out->count++] = current;
    return true;
}

// The sub-parameters that follow the parameter at `first` (its colon
// group), not counting it.
int group_size(const sgr_parameters &params, int first)
{
    int size = 0;
    while (first + 1 + size < params.count && params.at[first + 1 + size].sub)
        size++;
    return size;
}

bool make_rgb(int red, int green, int blue, text_colour *colour)
{
    if (red > 255 || green > 255 || blue > 255)
        return false;
    colour->kind = COLOUR_RGB;
    colour->index = 0;
    colour->red = static_cast<uint8_t>(red);
    colour->green = static_cast<uint8_t>(green);
    colour->blue = static_cast<uint8_t>(blue);
    return true;
}

bool make_index(int index, text_colour *colour)
{
    if (index > 255)
        return false;
    *colour = text_colour{};
    colour->kind = COLOUR_INDEX;
    colour->index = static_cast<uint8_t>(index);
    return true;
}

// An extended colour, its values at `values` (the mode first): 5 and an
// index, or 2 and red, green, blue.  With colons the form with a colour
// space before red, green and blue (given or empty) is taken too.
bool extended_colour(const sgr_parameter *values, int count, bool colon_form,
                     text_colour *colour)
{
    if (count >= 2 && values[0].value == 5 && (count == 2 || !colon_form))
        return make_index(values[1].value, colour);
    if (values[0].value != 2)
        return false;
    if (count == 4)
        return make_rgb(values[1].value, values[2].value, values[3].value, colour);
    if (colon_form && count == 5)
        return make_rgb(values[2].value, values[3].value, values[4].value, colour);
    return false;
}

// The values an extended colour written with semicolons takes from the
// parameters after `at`: 2 for an index, 4 for red, green, blue.
int semicolon_colour_size(const sgr_parameters &params, int at)
{
    if (at + 1 >= params.count)
        return 0;
    int mode = params.at[at + 1].value;
    return mode == 5 ? 2 : mode == 2 ? 4 : 0;
}

void set_flag(text_style *style, unsigned flag, bool on)
{
    if (on)
        style->flags |= flag;
    else
        style->flags &= ~flag;
}

// A plain parameter (no extended colour); unknown ones change nothing.
void apply_code(int code, text_style *style)
{
    if (code >= 30 && code <= 37)
        make_index(code - 30, &style->fg);
    else if (code >= 40 && code <= 47)
        make_index(code - 40, &style->bg);
    else if (code >= 90 && code <= 97)
        make_index(code - 90 + 8, &style->fg);
    else if (code >= 100 && code <= 107)
        make_index(code - 100 + 8, &style->bg);
    switch (code) {
    case 0: *style = text_style{}; break;
    case 1: set_flag(style, STYLE_BOLD, true); break;
    case 2: set_flag(style, STYLE_DIM, true); break;
    case 3: set_flag(style, STYLE_ITALIC, true); break;
    case 4: set_flag(style, STYLE_UNDERLINE, true); break;
    case 5: case 6: set_flag(style, STYLE_BLINK, true); break;
    case 7: set_flag(style, STYLE_REVERSE, true); break;
    case 22: set_flag(style, STYLE_BOLD | STYLE_DIM, false); break;
    case 23: set_flag(style, STYLE_ITALIC, false); break;
    case 24: set_flag(style, STYLE_UNDERLINE, false); break;
    case 25: set_flag(style, STYLE_BLINK, false); break;
    case 27: set_flag(style, STYLE_REVERSE, false); break;
    case 39: style->fg = text_colour{}; break;
    case 49: style->bg = text_colour{}; break;
    default: break;
    }
}

// A parameter with sub-parameters: an extended colour, or the underline
// styles (4:0 none, 4:1 to 4:5 some underline); others are passed over.
bool apply_group(const sgr_parameter *group, int size, text_style *style)
{
    int code = group[0].value;
    if (code == 38 || code == 48 || code == 58) {
        text_colour colour;
        if (!extended_colour(group + 1, size, true, &colour))
            return false;
        if (code != 58)
            (code == 38 ? style->fg : style->bg) = colour;
        return true;
    }
    if (code == 4)
        set_flag(style, STYLE_UNDERLINE, group[1].value != 0);
    return true;
}

// Applies every parameter to *style; false (style half changed) when one
// is malformed.
bool apply_parameters(const sgr_parameters &params, text_style *style)
{
    for (int at = 0; at < params.count;) {
        if (params.at[at].sub)
            return false;
        int code = params.at[at].value;
        int size = group_size(params, at);
        if (size > 0) {
            if (!apply_group(params.at + at, size, style))
                return false;
            at += 1 + size;
            continue;
        }
        if (code == 38 || code == 48 || code == 58) {
            int taken = semicolon_colour_size(params, at);
            if (taken == 0 || at + taken >= params.count)
                return false;
            for (int i = 1; i <= taken; i++)
                if (params.at[at + i].sub)
                    return false;
            text_colour colour;
            if (!extended_colour(params.at + at + 1, taken, false, &colour))
                return false;
            if (code != 58)
                (code == 38 ? style->fg : style->bg) = colour;
            at += 1 + taken;
            continue;
        }
        apply_code(code, style);
        at++;
    }
    return true;
}

// Where the bytes of a sequence (ESC, '[', parameter bytes, 'm') end,
// within the length and SGR_MAX_LENGTH; 0 when they do not.  Whether the
// parameters make sense is not looked at yet.
size_t sequence_end(const unsigned char *text, size_t length)
{
    if (length < 3 || text[0] != 0x1b || text[1] != '[')
        return 0;
    size_t limit = length < size_t{SGR_MAX_LENGTH} ? length : size_t{SGR_MAX_LENGTH};
    for (size_t i = 2; i < limit; i++) {
        if (text[i] == 'm')
            return i + 1;
        if (!is_parameter_byte(text[i]))
            return 0;
    }
    return 0;
}

// Whether the parameter bytes (between '[' and 'm') are plain codes only:
// no colon, no extended colour (38, 48, 58), no number of more than
// SGR_MAX_DIGITS digits.  Such parameters always apply.
bool plain_codes_only(const unsigned char *text, size_t length)
{
    int value = 0, digits = 0;
    for (size_t i = 0; i <= length; i++) {
        int c = i < length ? text[i] : ';';
        if (c >= '0' && c <= '9') {
            if (++digits > SGR_MAX_DIGITS)
                return false;
            value = value * 10 + (c - '0');
            continue;
        }
        if (c != ';' || value == 38 || value == 48 || value == 58)
            return false;
        value = 0;
        digits = 0;
    }
    return true;
}

}  // namespace

// A sequence with parameters that cannot be applied (a number too long, an
// extended colour cut short) is no sequence to the length either: what is
// measured as a colour is always applied as one.  The common sequences,
// plain codes only, are told by their bytes alone, without applying them.
size_t sgr_length(const unsigned char *text, size_t length)
{
    size_t total = sequence_end(text, length);
    if (total == 0)
        return 0;
    if (plain_codes_only(text + 2, total - 3))
        return total;
    text_style scratch;
    return sgr_apply(text, length, &scratch);
}

size_t sgr_apply(const unsigned char *text, size_t length, text_style *style)
{
    size_t total = sequence_end(text, length);
    if (total == 0)
        return 0;
    sgr_parameters params;
    if (!split_parameters(text + 2, total - 3, &params))
        return 0;
    text_style changed = *style;
    if (!apply_parameters(params, &changed))
        return 0;
    *style = changed;
    return total;
}

void set_show_colour(int on)
{
    show_colour = on != 0;
}

void sgr_reset()
{
    show_colour = 0;
}
