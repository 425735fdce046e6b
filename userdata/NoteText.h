// NoteText: what a note's stored HTML shows. A note that shows nothing (empty paragraphs, breaks,
// blanks and no-break spaces, comments, a style sheet) is no note: the stores keep it as a deletion,
// the sync engine takes a received one for a deletion, and the note editor stores an emptied editor
// as one. This is the one place that decides it.
//
// Stateless; any thread.
#pragma once

#include <string_view>

#include "engine/foundation/cLStringTmpl.h"

struct sqlite3;

namespace NoteText {

// Whether the HTML shows nothing: no character other than white space (blanks, line ends, no-break
// and zero-width spaces, soft hyphens and control characters, also written as character references)
// outside its tags, comments, style sheets, scripts and titles, and no element seen without text (a
// picture, a rule, an embedded object, a form control). A "<" that starts no tag and an "&" that names
// nothing are shown as written.
bool showsNothing(std::u16string_view html);
bool showsNothing(const cLString16& html);

// Makes showsNothing available to SQL on the connection as "qs_note_shows_nothing(text)" (1 or 0;
// NULL reads as empty). False when SQLite refused it.
bool registerSqlFunction(sqlite3* connection);

}  // namespace NoteText
