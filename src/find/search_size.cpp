// How much an expression's repetitions make the C library build, reckoned
// before it is compiled, so that an expression it would take minutes and
// gigabytes to compile is refused at once instead.
//
// The library builds an interval {m,n} out of copies: m copies of what it
// repeats, then n - m optional copies nested one in the other.  Copies are
// cheap to make (a{16000} compiles in milliseconds), but the work on the
// nested optional ones grows with the square of their number (a{1,4000}
// takes about 0.4 s, a{1,32767} minutes), and a repetition of a repetition
// multiplies both: a{1,32767}{1,32767} grows by hundreds of megabytes a
// second without end.  So two measures are kept, each an upper bound:
// - the copies of every atom (the product of the upper bounds of the
//   repetitions around it, `{m,}` and `+` counted as m + 1 and 2), summed
//   over the expression: at most EXPRESSION_MAX_COPIES;
// - the optional copies (n - m of each interval and one for `?`, times the
//   copies of what holds it), summed: at most EXPRESSION_MAX_OPTIONAL.
// Ordinary expressions stay far below both (x{1000}, (ab){3},
// [0-9]{1,3}(\.[0-9]{1,3}){3}); the limits leave every expression that
// compiles within a fraction of a second.  The reading is rough where
// roughness is safe: anything that is not a repetition is one atom,
// alternatives are added up as if they all were present.
//
// Owns nothing.
#include <cctype>
#include <cstdint>

#include "find.h"

namespace {

enum : uint64_t {
    EXPRESSION_MAX_COPIES = 1 << 16,
    EXPRESSION_MAX_OPTIONAL = 1 << 12,
    // Counts saturate here, far above the limits and far below overflow.
    SATURATED = uint64_t{1} << 40,
};

struct expression_size {
    uint64_t copies;
    uint64_t optional;
};

uint64_t saturate(uint64_t value)
{
    return value > SATURATED ? SATURATED : value;
}

uint64_t times(uint64_t a, uint64_t b)
{
    if (a != 0 && b > SATURATED / a)
        return SATURATED;
    return saturate(a * b);
}

// A decimal bound at *p (digits), saturated; -1 when there are none.
long read_bound(const char **p)
{
    if (!isdigit(static_cast<unsigned char>(**p)))
        return -1;
    long value = 0;
    while (isdigit(static_cast<unsigned char>(**p))) {
        value = value * 10 + (**p - '0');
        if (value > 1000000)
            value = 1000000;
        ++*p;
    }
    return value;
}

// The repetition at `p`, if any: its lower and upper bound (upper -1 for
// none) and where it ends.  Null when `p` holds none.
const char *read_repetition(const char *p, long *low, long *high)
{
    switch (*p) {
    case '*':
        *low = 0;
        *high = -1;
        return p + 1;
    case '+':
        *low = 1;
        *high = -1;
        return p + 1;
    case '?':
        *low = 0;
        *high = 1;
        return p + 1;
    case '{':
        break;
    default:
        return nullptr;
    }
    const char *q = p + 1;
    *low = read_bound(&q);
    *high = *low;
    if (*q == ',') {
        q++;
        *high = read_bound(&q);
    }
    if (*q != '}' || (*low < 0 && *high < 0))
        return nullptr;
    if (*low < 0)
        *low = 0;
    return q + 1;
}

// What the repetition low..high makes of an item of size `item`.
expression_size repeated(expression_size item, long low, long high)
{
    // unbounded: the library makes the lower bound's copies and one more
    uint64_t upper = high >= 0 ? static_cast<uint64_t>(high) : static_cast<uint64_t>(low) + 1;
    if (upper == 0)
        upper = 1;
    uint64_t optional_copies = high >= 0 ? static_cast<uint64_t>(high - (high > low ? low : high))
                                         : 0;
    return {times(item.copies, upper),
            saturate(times(item.optional, upper) + times(item.copies, optional_copies))};
}

// The size of the sequence at *p up to a closing parenthesis at this level
// (which it passes) or the end.
expression_size sequence_size(const char **p, int depth)
{
    expression_size total = {0, 0};
    expression_size last = {0, 0};
    while (**p != 0) {
        const char *q = *p;
        long low, high;
        const char *after = read_repetition(q, &low, &high);
        if (after != nullptr) {
            // the repetition applies to the item before (stacked ones too)
            total.copies -= last.copies;
            total.optional -= last.optional;
            last = repeated(last, low, high);
            total = {saturate(total.copies + last.copies), saturate(total.optional + last.optional)};
            *p = after;
            continue;
        }
        if (*q == ')' && depth > 0) {
            *p = q + 1;
            return total;
        }
        if (*q == '(') {
            *p = q + 1;
            last = sequence_size(p, depth + 1);
        } else {
            if (*q == '[')
                *p = skip_bracket_expression(q);
            else if (*q == '\\' && q[1] != 0)
                *p = q + 2;
            else
                *p = q + 1;
            // '|' and the anchors are counted as atoms: a little too much
            last = {1, 0};
        }
        total = {saturate(total.copies + last.copies), saturate(total.optional + last.optional)};
    }
    return total;
}

}  // namespace

bool expression_too_large(const char *pattern)
{
    const char *p = pattern;
    expression_size size = sequence_size(&p, 0);
    return size.copies > EXPRESSION_MAX_COPIES || size.optional > EXPRESSION_MAX_OPTIONAL;
}
