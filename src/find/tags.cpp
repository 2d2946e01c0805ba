// Tags: a name looked up in the tags file of the current directory or
// through the global program, and the way to its place in the file.
//
// Owns the current tag.  `tag_source` names the index asked first, which is
// the one that answered last (global at the start of a run); it changes
// only when the preferred index does not know a name and the other one
// does.  `tag_file` is null when there is no current tag, else our own copy
// of the file name.  From the tags file come `tag_pattern` and the anchor
// bits of `tag_match_mode`; from global the list of places (definitions,
// then references, in the order printed) with `tag_current` indexing it.
// Every global lookup empties the list first, also when it finds nothing; a
// tags-file answer leaves the list alone, and stepping moves only while
// global is the source, so with the tags file a step goes to the same tag.
#include "find.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>

#include "display/display.h"
#include "file/file.h"

int tag_source = GLOBAL_PROGRAM;
const char *tag_file;
std::string tag_pattern;
int tag_match_mode;
std::vector<tag_entry> tag_list;
int tag_current = -1;

namespace {

// Where tag_file points while there is a current tag; holding our own copy
// keeps tag_file valid whatever happens to the list or to a lookup's answer.
std::string tag_file_copy;
// Set when the last read of the tags file was cut short by a signal: the
// name was then not looked for, and is not reported as unknown.
bool tags_file_abandoned;
// The file field of the tags-file line found last.
std::string tags_file_answer;

// The lines global prints are read into a buffer of this size; the rest of
// a longer line is dropped.
const int GLOBAL_LINE_SIZE = 256;

void set_tag_file(const char *name)
{
    if (name == nullptr) {
        tag_file = nullptr;
        return;
    }
    tag_file_copy = name;
    tag_file = tag_file_copy.c_str();
}

bool is_field_gap(char c)
{
    return c == ' ' || c == '\t';
}

// One line of the tags file, its newline removed: whether it is the line of
// `name`, and then its file field, pattern text and anchors.  Backslashes
// mean nothing: the text ends at the next delimiter, escaped or not.
bool parse_tags_line(std::string_view line, std::string_view name, std::string *file,
                     std::string *pattern, int *mode)
{
    if (!line.starts_with(name) || line.size() == name.size() ||
        !is_field_gap(line[name.size()]))
        return false;
    const char *gaps = " \t";
    size_t file_start = line.find_first_not_of(gaps, name.size());
    if (file_start == std::string_view::npos)
        return false;
    size_t file_end = line.find_first_of(gaps, file_start);
    if (file_end == std::string_view::npos)
        return false;
    size_t field = line.find_first_not_of(gaps, file_end);
    if (field == std::string_view::npos)
        return false;
    char delimiter = line[field];
    size_t text = field + 1;
    *mode = 0;
    if (text < line.size() && line[text] == '^') {
        *mode |= TAG_ANCHOR_START;
        text++;
    }
    size_t text_end = line.find(delimiter, text);
    if (text_end == std::string_view::npos)
        text_end = line.size();
    if (text_end > text && line[text_end - 1] == '$') {
        *mode |= TAG_ANCHOR_END;
        text_end--;
    }
    // A NUL would cut the name that is opened short of the one given.
    std::string_view file_field = line.substr(file_start, file_end - file_start);
    if (file_field.find('\0') != std::string_view::npos)
        return false;
    *file = file_field;
    *pattern = line.substr(text, text_end - text);
    return true;
}

// White space of global's output: the locale's, for bytes below 128 only.
bool is_global_space(char c)
{
    return static_cast<signed char>(c) >= 0 && isspace(static_cast<unsigned char>(c));
}

char *skip_global_space(char *p)
{
    while (*p != '\0' && is_global_space(*p))
        p++;
    return p;
}

// Ends the field that starts at p at the white space behind it; the
// position after that space, or null when the line ends first.
char *end_global_field(char *p)
{
    while (*p != '\0' && !is_global_space(*p))
        p++;
    if (*p == '\0')
        return nullptr;
    *p = '\0';
    return p + 1;
}

// The decimal value of a line field, taken as the largest int when it is
// larger, so that no number in the output can overflow.
int line_number_value(const char *text)
{
    long value = strtol(text, nullptr, 10);
    if (value > INT_MAX)
        return INT_MAX;
    return value < 0 ? 0 : static_cast<int>(value);
}

// One run of global with `option`; as append_global_places.  A program
// that cannot be started prints nothing.
int read_global_places(const char *option, const char *name)
{
    program_output out;
    if (start_global(&out, option, name) != 0)
        return 1;
    int read = append_global_places(&out);
    finish_program(&out, read != 1);
    return read;
}

// Moves the current global place `steps` places around the circle of
// places; the file of the new current place, or null when there is none.
const char *move_tag_current(uint64_t steps, int forward)
{
    if (tag_current < 0)
        return nullptr;
    uint64_t size = tag_list.size();
    uint64_t offset = steps % size;
    uint64_t current = static_cast<uint64_t>(tag_current);
    current = forward ? (current + offset) % size : (current + size - offset) % size;
    tag_current = static_cast<int>(current);
    return tag_list[current].file.c_str();
}

// next_tag and prev_tag: the count's sign means nothing.  Stepping n times
// round the circle lands where n modulo its size does.
void step_tag(int64_t n, int forward, const char *none_message)
{
    uint64_t steps = n < 0 ? 0 - static_cast<uint64_t>(n) : static_cast<uint64_t>(n);
    if (tag_source == GLOBAL_PROGRAM && steps > 0)
        set_tag_file(move_tag_current(steps, forward));
    if (tag_file == nullptr)
        set_message("%s", none_message);
}

bool line_matches(std::string_view line, int starts_line, int ends_line)
{
    switch (tag_match_mode & (TAG_ANCHOR_START | TAG_ANCHOR_END)) {
    case TAG_ANCHOR_START:
        return starts_line && line.starts_with(tag_pattern);
    case TAG_ANCHOR_END:
        return ends_line && line.ends_with(tag_pattern);
    case TAG_ANCHOR_START | TAG_ANCHOR_END:
        return starts_line && ends_line && line == tag_pattern;
    default:
        return line.find(tag_pattern) != std::string_view::npos;
    }
}

}  // namespace

// Appends the places of one run's output to the list.  1 when the output
// was read to its end, 0 when a line that does not parse ended the list
// (it and the lines after it are ignored), -1 when the lookup is abandoned
// (no memory).  A stop or window change meanwhile is served while the
// output is read, and the reading goes on: it abandons nothing.
int append_global_places(program_output *out)
{
    char line[GLOBAL_LINE_SIZE];
    while (read_output_line(out, line, sizeof line) == 1) {
        char *tag_name, *file, *number_text;
        if (!parse_global_line(line, &tag_name, &file, &number_text))
            return 0;
        try {
            tag_list.push_back(tag_entry{file, line_number_value(number_text)});
        } catch (const std::bad_alloc &) {
            set_message("malloc() failed");
            return -1;
        }
    }
    return 1;
}

void reset_tags()
{
    tag_source = GLOBAL_PROGRAM;
    tag_file = nullptr;
    tags_file_abandoned = false;
    tag_file_copy.clear();
    tags_file_answer.clear();
    tag_pattern.clear();
    tag_match_mode = 0;
    tag_list.clear();
    tag_current = -1;
}

void find_tag(const char *name)
{
    tags_file_abandoned = false;
    if (tag_source == TAGS_FILE) {
        set_tag_file(lookup_tags_file(name));
        if (tag_file == nullptr) {
            set_tag_file(lookup_global(name));
            if (tag_file != nullptr)
                tag_source = GLOBAL_PROGRAM;
        }
    } else {
        set_tag_file(lookup_global(name));
        if (tag_file == nullptr) {
            set_tag_file(lookup_tags_file(name));
            if (tag_file != nullptr)
                tag_source = TAGS_FILE;
        }
    }
    if (tag_file == nullptr && !tags_file_abandoned)
        set_message("could not find relevent tag information");
}

const char *lookup_tags_file(const char *name)
{
    FILE *tags = fopen("tags", "re");
    if (tags == nullptr)
        return nullptr;
    const char *found = nullptr;
    char *buffer = nullptr;
    size_t capacity = 0;
    ssize_t length;
    std::string file, pattern;
    int mode;
    while (pending_signals == 0 && (length = getline(&buffer, &capacity, tags)) > 0) {
        if (buffer[length - 1] != '\n')
            continue;   // a last line without its newline is not a tag
        std::string_view line(buffer, static_cast<size_t>(length - 1));
        if (parse_tags_line(line, name, &file, &pattern, &mode)) {
            tags_file_answer = file;
            tag_pattern = pattern;
            tag_match_mode = mode;
            found = tags_file_answer.c_str();
            break;
        }
    }
    tags_file_abandoned = found == nullptr && pending_signals != 0;
    free(buffer);
    fclose(tags);
    return found;
}

const char *lookup_global(const char *name)
{
    tag_list.clear();
    tag_current = -1;
    // Definitions first, then references.
    for (const char *option : {"-x", "-xr"}) {
        int read = read_global_places(option, name);
        if (read < 0) {
            tag_list.clear();
            return nullptr;
        }
        if (read == 0)
            break;
    }
    if (tag_list.empty())
        return nullptr;
    tag_current = 0;
    return tag_list[0].file.c_str();
}

int parse_global_line(char *line, char **name, char **file, char **number_text)
{
    *name = line;
    char *p = end_global_field(line);
    if (p == nullptr)
        return 0;
    *number_text = p = skip_global_space(p);
    if (*p == '\0' || (p = end_global_field(p)) == nullptr)
        return 0;
    *file = p = skip_global_space(p);
    if (*p == '\0' || end_global_field(p) == nullptr)
        return 0;
    return **name != '\0' && **number_text != '\0' && **file != '\0' &&
           line_number_value(*number_text) > 0;
}

const char *next_tag_entry()
{
    return move_tag_current(1, 1);
}

const char *prev_tag_entry()
{
    return move_tag_current(1, 0);
}

void next_tag(int64_t n)
{
    step_tag(n, 1, "no next tag");
}

void prev_tag(int64_t n)
{
    step_tag(n, 0, "no previous tag");
}

int go_to_tag()
{
    if (tag_source == TAGS_FILE && locate_ctag() != 0) {
        set_message("could not locate ctag");
        return 1;
    }
    if (tag_source == GLOBAL_PROGRAM && locate_gtag() != 0) {
        set_message("could not locate gtag");
        return 1;
    }
    return 0;
}

// The first line of the file, from the top, that matches the pattern the
// way its anchors say; the line numbers passed on the way are recorded.  A
// line longer than a raw line is read in pieces: only its first piece can
// match at its start, only its last at its end, the display goes to the
// start of the whole line, and only the end of a whole line is counted.
int locate_ctag()
{
    int lineno = linenum_find(0);
    file_pos line_start = 0;
    file_pos pos = 0;
    for (;;) {
        if (pending_signals != 0)
            return -1;
        file_pos piece_start = pos;
        pos = next_raw_line(piece_start);
        if (pos == -1)
            return -1;
        size_t length = strlen(line_text);
        int cut = length == RAW_LINE_MAX && pos == piece_start + RAW_LINE_MAX;
        if (!cut && lineno != 0) {
            lineno++;
            if (show_line_numbers)
                linenum_add(lineno, pos);
        }
        if (line_matches(std::string_view(line_text, length), piece_start == line_start, !cut)) {
            jump_pos(line_start);
            return 0;
        }
        if (!cut)
            line_start = pos;
    }
}

int locate_gtag()
{
    if (tag_current < 0)
        return -1;
    jump_line(tag_list[tag_current].line);
    return 0;
}
