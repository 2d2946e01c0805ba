// Fuzz target: the matching of one raw line by a search, with the literal
// that the scan looks for before it runs the expression.
//
// An input is a flags byte (bit 0: ignore case, bit 1: look for lines that
// do not match), an expression up to the first newline, and one raw line
// (every byte but a newline).  What must hold, for every expression the
// library accepts:
// - the overstrike reduction never grows the line and leaves no backspace
//   behind a byte it kept (only backspaces at the very start stay); the
//   origin it gives each kept byte increases and points at raw bytes that
//   hold it; reduced in place it gives the same text;
// - a line the expression matches holds the expression's literal, or a
//   backspace (the scan passes over lines that hold neither without
//   running the expression, so anything else would lose matches).
// A failed property aborts, which the fuzzer reports as a crash.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "file/file.h"
#include "find/find.h"
#include "command/command.h"
#include "startup/startup.h"

namespace {

int null_fd = -1;

// The C library builds repeated intervals out by copying: nested or large
// counts (a{200}{200}) take gigabytes and minutes to compile, and so do
// repetitions stacked on repetitions (a+++++, a??????, which the extended
// syntax leaves undefined).  That is the library's, and the user's own
// expression; such expressions are passed over here.
bool compiles_in_reason(const std::string &pattern)
{
    int intervals = 0;
    int stacked = 0;
    for (size_t i = 0; i < pattern.size(); ++i) {
        bool repeats = strchr("*+?", pattern[i]) != nullptr && pattern[i] != '\0';
        stacked = repeats ? stacked + 1 : 0;
        if (stacked > 2)
            return false;
        if (pattern[i] != '{')
            continue;
        if (++intervals > 2)
            return false;
        // both bounds of {m,n}
        const char *p = pattern.c_str() + i + 1;
        for (int bound = 0; bound < 2; ++bound) {
            char *end;
            if (strtol(p, &end, 10) > 32)
                return false;
            if (*end != ',')
                break;
            p = end + 1;
        }
    }
    return pattern.size() <= 256;
}

// A rejected expression says why on standard error; the fuzzer's own
// report must stay readable.
bool compile_quietly(const char *pattern)
{
    fflush(stderr);
    int saved = dup(2);
    dup2(null_fd, 2);
    bool compiled = search_compile(pattern) != 0;
    fflush(stderr);
    dup2(saved, 2);
    close(saved);
    return compiled;
}

// The origins are offsets in the line, in strictly increasing order, and
// each kept byte (a NUL as 0x80) lies in the raw bytes from its origin to
// the next byte's.
void check_origins(const std::string &line, const std::string &reduced,
                   const std::vector<size_t> &origin, size_t length)
{
    for (size_t i = 0; i < length; ++i) {
        size_t limit = i + 1 < length ? origin[i + 1] : line.size();
        if (origin[i] >= limit)
            abort();
        char wanted = reduced[i];
        bool found = false;
        for (size_t at = origin[i]; at < limit && !found; ++at)
            found = line[at] == wanted || (line[at] == 0 && wanted == '\x80');
        if (!found)
            abort();
    }
}

void check_reduction(const std::string &line)
{
    std::string reduced(line.size(), 0);
    std::vector<size_t> origin(line.size());
    size_t length = reduce_for_matching(line.data(), line.size(), reduced.data(), origin.data());
    if (length > line.size())
        abort();
    check_origins(line, reduced, origin, length);
    // in place, without origins, the same text
    std::string in_place = line;
    if (reduce_for_matching(in_place.data(), in_place.size(), in_place.data(), nullptr) != length ||
        in_place.compare(0, length, reduced, 0, length) != 0)
        abort();
    size_t leading = 0;
    while (leading < length && reduced[leading] == '\b')
        ++leading;
    if (memchr(reduced.data() + leading, '\b', length - leading) != nullptr)
        abort();
}

// Whether the scan's filter lets the line through to the expression.
bool may_match(const std::string &line)
{
    const search_literal &literal = current_search_literal();
    if (literal.text.empty() || line.find('\b') != std::string::npos)
        return true;
    auto *text = reinterpret_cast<const unsigned char *>(line.data());
    return find_search_literal(&literal, text, text + line.size()) != nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    null_fd = open("/dev/null", O_WRONLY);
    if (null_fd < 0)
        abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    int flags = data[0];
    std::string rest(reinterpret_cast<const char *>(data + 1), size - 1);
    size_t newline = rest.find('\n');
    if (newline == std::string::npos)
        return 0;
    std::string pattern = rest.substr(0, newline);
    std::string line = rest.substr(newline + 1);
    if (line.size() > RAW_LINE_MAX || line.find('\n') != std::string::npos)
        return 0;
    check_reduction(line);
    if (pattern.find('\0') != std::string::npos || !compiles_in_reason(pattern))
        return 0;
    opt_ignore_case = flags & 1;
    if (compile_quietly(pattern.c_str())) {
        int want_match = (flags & 2) ? 0 : 1;
        bool qualifies = search_line_qualifies(line.data(), line.size(), want_match);
        bool matches = qualifies == (want_match == 1);
        if (matches && !may_match(line))
            abort();
    }
    search_reset();
    opt_ignore_case = 0;
    return 0;
}
