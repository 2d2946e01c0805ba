// Finding things: regular-expression search, marks and tags.
#ifndef VORN_FIND_H
#define VORN_FIND_H

#include "vorn.h"

// --- search.cpp ---
int search_pattern(int forward, const char *pattern, int n, int want_match);

// --- marks.cpp ---
void init_marks();
void set_mark(int letter);
void remember_position();
void gomark(int key);
int list_marks();

// --- tags.cpp ---
extern char *tag_file;
void find_tag(const char *name);
void next_tag(int n);
void prev_tag(int n);
int go_to_tag();

#endif
