// tvktool's "copy" command: the plain-text copy of a passage through the passage copier, with the
// copy-passage choices given as KEY=VALUE options (the "cp..." defaults keys, e.g. cpRefLocation=4).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// Prints the plain text of `reference` copied from the book file `book`, lines broken with "\n".
// Returns 0; 1 when the book does not open or the copy fails: the reference does not parse, or names a
// book or verse the Bible does not hold (the reason on `err`, nothing on `out`); 2 for an option that
// is not KEY=VALUE or names no copy-passage choice.
int copyPassage(
    const char* book, const char* reference, const std::vector<std::string>& options, std::FILE* out, std::FILE* err);
