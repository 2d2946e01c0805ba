// Finding things: regular-expression search, marks and tags.
#ifndef VORN_FIND_H
#define VORN_FIND_H

#include <string>
#include <vector>

#include "vorn.h"

// --- search.cpp ---
int search_pattern(int forward, const char *pattern, int n, int want_match);

// --- marks.cpp ---
void init_marks();
void set_mark(int letter);
void remember_position();
void gomark(int key);
int list_marks();

// --- tags.cpp: tags from a tags file or from the global program ---
enum { TAGS_FILE = 0, GLOBAL_PROGRAM = 1 };
enum { TAG_ANCHOR_START = 1, TAG_ANCHOR_END = 2 };
// One place global reported for a name.
struct tag_entry {
    std::string file;
    int line;                       // greater than 0
};
extern int tag_source;              // index asked first; the current tag's
extern const char *tag_file;        // file of the current tag, or null
extern std::string tag_pattern;     // tags file: text of the tag's line
extern int tag_match_mode;          // tags file: TAG_ANCHOR_* bits
extern std::vector<tag_entry> tag_list;  // global: definitions, references
extern int tag_current;             // index into tag_list, -1 for none
void find_tag(const char *name);
void next_tag(int64_t n);
void prev_tag(int64_t n);
int go_to_tag();
const char *lookup_tags_file(const char *name);
const char *lookup_global(const char *name);
int parse_global_line(char *line, char **name, char **file, char **number_text);
const char *next_tag_entry();
const char *prev_tag_entry();
int locate_ctag();
int locate_gtag();
void reset_tags();

// --- tag_program.cpp: running global for one name ---
// The output of one run of the program, read line by line.
struct program_output {
    int pid;                        // -1 when nothing runs
    int fd;                         // read end of its standard output
    char chunk[1024];
    int chunk_start, chunk_end;
    int at_end;
};
int start_global(program_output *out, const char *option, const char *name);
int read_output_line(program_output *out, char *line, int size);
void finish_program(program_output *out, int abandon);
// tags.cpp: the places of one run's output, appended to tag_list.
int append_global_places(program_output *out);

#endif
