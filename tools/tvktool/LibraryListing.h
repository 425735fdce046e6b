// tvktool's "library" command: lists the books the library finds in a folder.
#pragma once

#include <cstdio>

// One line per listed book ("identity <tab> kind <tab> abbreviation <tab> title", in the library's
// order) on `out`, then the number of files skipped and, for each, its path and the reason. The
// folder is only read: nothing is moved, deleted or archived. Returns 0, or 1 when the folder does
// not exist.
int listLibrary(const char* folder, std::FILE* out);

// The name of a kind number, e.g. "Bible with Strong's numbers".
const char* libraryKindName(long long kind);
