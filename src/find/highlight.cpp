// Highlighting: the matches of the last pattern on the lines painted.
//
// Owned here: `highlight_matches`, whether matches are shown in standout
// (the highlight command sets it; off at start).
#include "find.h"

int highlight_matches;

void highlight_reset()
{
    highlight_matches = 0;
}
