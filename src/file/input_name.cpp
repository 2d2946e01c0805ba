// The name of the current input, as it was asked for ("-" for standard
// input): what a remembered view records as its file, and what the file
// list (in the command layer) opens again after an editor.
//
// Owns current_file: a heap string, or null before any input is current.
// The file list hands it each new name and takes back the one it replaces.
#include "file.h"

char *current_file;

char *replace_current_file(char *name)
{
    char *replaced = current_file;
    current_file = name;
    return replaced;
}
