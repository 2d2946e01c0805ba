// Fuzz target: the parser of the text's own colour sequences.
//
// The input is taken as the text at a sequence's start.  What must hold:
// - the length found never passes the text, and a sequence found starts
//   with ESC [ and ends with m, with only parameters between;
// - applying gives the same length, and a style whose colours are of a
//   known kind (default, an index, a direct colour);
// - the text cut short of a sequence found is not a sequence (nothing
//   reads past the end it is given).
// A failed property aborts, which the fuzzer reports as a crash.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "display/display.h"
#include "terminal/terminal.h"

namespace {

bool known_colour(const text_colour &colour)
{
    return colour.kind == COLOUR_DEFAULT || colour.kind == COLOUR_INDEX ||
           colour.kind == COLOUR_RGB;
}

void check_sequence(const unsigned char *text, size_t length)
{
    if (length < 3 || text[0] != 0x1b || text[1] != '[' || text[length - 1] != 'm')
        abort();
    for (size_t i = 2; i + 1 < length; ++i) {
        if (!isdigit(text[i]) && text[i] != ';' && text[i] != ':')
            abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // A copy of exactly the input's size, so that the sanitizer sees any
    // read past it.
    std::vector<unsigned char> text(data, data + size);
    const unsigned char *start = text.empty() ? nullptr : text.data();
    size_t found = start ? sgr_length(start, size) : 0;
    if (found > size || found > SGR_MAX_LENGTH)
        abort();
    text_style style;
    style.flags = size > 0 ? data[0] : 0;
    text_style before = style;
    size_t applied = start ? sgr_apply(start, size, &style) : 0;
    if (applied != found)
        abort();
    if (found == 0) {
        if (!(style == before))
            abort();
        return 0;
    }
    check_sequence(start, found);
    if (!known_colour(style.fg) || !known_colour(style.bg))
        abort();
    if (sgr_length(start, found - 1) != 0)
        abort();
    return 0;
}
