// TvkJsonSource: the book compiler's source form, a JSON description of one book.
//
// {
//   "kind": "book" | "bible" | "dated",
//   "title", "abbreviation", "subtitle", "sortTitle", "author", "publisher", "city", "date",
//   "copyright", "bookRanges", "bibleBooks", "wordAttributes": strings,
//   "publisherId", "bookId", "edition", "revision", "language": numbers,
//   "sections": [ { "title": "...", "level": 1, "text": "...", "key": "book:chapter:verse" } ],
//   "readings": [ section numbers ], "startMonth": 1, "startDay": 1,
//   "lookupWords": { "word": [ section numbers ] },
//   "verseLookup": [ { "key": "43:3:16", "end": "43:3:18", "section": 2 } ],
//   "images": [ { "name": "map.png", "file": "path" } ], "bibleRef": [ { "name": "...", "file": "..." } ]
// }
// Relative file paths are taken from the folder of the source file. A book without "sortTitle" is
// sorted by its "title".

#pragma once

#include <string>

#include "tools/tvkbuild/cTvkBookBuilder.h"

// Fills `builder` from the JSON text; false with a message on a malformed source.
bool tvkBuilderFromJson(
    const std::string& json, const std::string& baseFolder, cTvkBookBuilder& builder, std::string& error);
