// One search run: a parsed SearchSpecification evaluated against one book with one set of options,
// giving the book's hit set (bit n = section n) or null when nothing was found. The run serves each
// interpretation: "goto" (the query as a place to go), "xref" (the sections that refer to a
// reference), "userDataCount" (the bookmarks of a category), and the phrase search with its
// exclusions and limits; with "searchnotes" it searches the user's notes of the book instead.
//
// Progress goes to the options' delegate on the main thread: one announcement of the steps the run
// will report, then one report per step. The journal's hits are also written as journal search rows.
//
// A run keeps no state; any number may run at once over the same specification and book, on any
// thread. The caller drops results whose search id is no longer current.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "search/core/BitVector.h"
#include "search/core/SearchOptions.h"
#include "search/core/SearchSpecification.h"

class SearchBook;

namespace searchrun {

// A standard run: its section title and the options that make it.
struct StandardRun {
    const char* title;
    const char* interpretation;
    const char* wordform;  // null: not used by the interpretation
};
// In the order the study pane's find shows them.
std::span<const StandardRun> standardRuns();
inline constexpr const char* kAllNotesTitle = "All Notes in this Book";

// Why a run gave nothing although its query parsed.
enum class RunError {
    None,
    LimitNotUnderstood,  // "searchlimits" does not parse: nothing is searched and the run gives null
};

// The run; `error` (when given) is set to what went wrong, or to None.
std::unique_ptr<BitVector> searchResults(const SearchSpecification& query, const SearchBook& book,
    const SearchOptions& options, uint64_t searchID, RunError* error = nullptr);
std::unique_ptr<BitVector> searchResultsForGoTo(
    const SearchSpecification& query, const SearchBook& book, const SearchOptions& options);
std::unique_ptr<BitVector> searchResultsForXref(
    const SearchSpecification& query, const SearchBook& book, const SearchOptions& options);
// The notes run of one phrase list (the included one; the exclusions are applied inside).
std::unique_ptr<BitVector> searchResultsForPhraseListInNotes(
    const SearchSpecification& query, const PhraseList& list, const SearchBook& book, const SearchOptions& options);

// A note's text made ready for searching: markup removed, punctuation and control characters
// blanked except inside words (well-known, it's) and numbers (1,000). An apostrophe inside a word, in
// any of its forms (TextFolding::isApostrophe), becomes the straight one.
void cleanUpNoteForSearch(std::u16string& note);
// The text with every word replaced by its stem in `language`, or by its lower-case sound key (the
// placeholder word for keys shorter than two), each followed by a blank, with one blank in front.
std::u16string stemmedString(const std::u16string& text, uint16_t language = 1033);
std::u16string metaphonedString(const std::u16string& text);

// Removes journal search rows: of a layout (null: every row), of a search id (negative: all) and of a
// search tag (negative: all).
void clearJournalSearchResults(const char* layoutUuid, int64_t searchID = -1, int64_t searchTag = -1);

}  // namespace searchrun
