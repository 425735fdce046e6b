// TvkModuleImport: turns exported modules into books. A Bible export becomes a Bible with one section
// per verse (and a heading section per book and per chapter), carrying the words of Christ, headings,
// paragraphs, added words, footnotes and Strong's numbers; a commentary export becomes a book whose
// entries are synced to the verses they cover; a dictionary export becomes a word-lookup book; and a
// Bible model yields a dated book of daily readings.
//
// Every entry is checked before it is compiled: text that is not clean UTF-8, markup that does not
// read, or a key that names no verse is skipped and reported, never compiled.

#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/tvkbuild/import/TvkImportText.h"
#include "tools/tvkbuild/import/cTvkRichBook.h"

struct TvkImportReport {
    std::string module;
    size_t entries = 0;                // entries in the export
    size_t imported = 0;               // entries compiled
    size_t empty = 0;                  // entries without text (markers only, or a verse the module leaves empty)
    size_t references = 0;             // references made into embedded references
    size_t unreadReferences = 0;       // references that do not read (kept as text)
    size_t repairedReferences = 0;     // chapter-only links given the verses the text after them names
    std::vector<std::string> skipped;  // entries that fail a check: "key: reason"
    std::vector<std::string> trimmed;  // entries compiled without a part that is not theirs
};

struct TvkBookIdentity {
    std::string title, abbreviation, copyright, author, publisher = "Quillstead";
    uint16_t publisherId = 1, bookId = 0, language = 1033;
    uint16_t strongsHebrew[2] = {0, 0}, strongsGreek[2] = {0, 0};  // dictionaries the Strong's links lead to
};

// Books by number (1-66 the canon, then the deuterocanonical books in the numbers the reference
// tables give them): the name the exports use in keys, and the OSIS book id.
struct TvkBookName {
    uint8_t number;
    const char* keyName;
    const char* osisId;
};
const std::vector<TvkBookName>& tvkBookNames();
const TvkBookName* tvkBookByNumber(uint8_t number);
// "Genesis 1:1" -> key; 0 when the text is not a verse key of a known book (the chapters of the
// canonical books are checked; verse counts vary with the versification). Verse may be 0 (a chapter's
// introduction), and chapter 0 with verse 0 is a book's introduction.
uint32_t tvkVerseKeyFromExportKey(const std::string& key);
// "Exod.6.16", "1Chr.24" -> key (a bare chapter gives verse 1); 0 when not a reference.
uint32_t tvkVerseKeyFromOsisRef(const std::string& ref);

struct TvkBibleVerse {
    uint32_t key = 0;
    bool paragraph = false;         // the verse starts a paragraph
    std::vector<TvkNode> headings;  // heading blocks written before the verse
    std::vector<TvkNode> inlines;   // the verse's content
    std::vector<TvkNode> trailing;  // blocks after it (an epistle's subscription)
};
struct TvkBibleBook {
    uint8_t number = 0;
    std::string name;               // the module's own short name of the book, else its key name
    std::vector<TvkNode> headings;  // the book's titles
    std::vector<TvkBibleVerse> verses;
    std::vector<std::pair<uint8_t, std::vector<TvkNode>>> chapterHeadings;  // chapter -> headings
};
struct TvkBibleModel {
    std::vector<TvkBibleBook> books;
    // The Bible's front matter (a preface), when the export holds one: its title and its blocks. It is
    // no part of any book and becomes a section of its own, before the first book, with no verse.
    std::string frontMatterTitle;
    std::vector<TvkNode> frontMatter;
};

// Reads a Bible export into the model, books in ascending number; entries of unknown books, text
// that belongs to another book, and markup that does not read are skipped and reported.
TvkBibleModel tvkParseBible(const std::vector<TvkImpEntry>& entries, TvkImportReport& report);
void tvkCompileBible(const TvkBibleModel& model, const TvkBookIdentity& id, cTvkRichBook& book);

// Plain text of a verse's content (without notes), for readings and checks.
std::string tvkPlainText(const std::vector<TvkNode>& nodes, bool withNotes = false);

void tvkImportCommentary(
    const std::vector<TvkImpEntry>& entries, const TvkBookIdentity& id, cTvkRichBook& book, TvkImportReport& report);

enum class TvkDictionaryKind { StrongsHebrew, StrongsGreek, Topical };
void tvkImportDictionary(const std::vector<TvkImpEntry>& entries, TvkDictionaryKind kind, const TvkBookIdentity& id,
    cTvkRichBook& book, TvkImportReport& report);

// 365 readings that walk through the given books of the model in order, the start on January 1; the
// verse index finds each reading by the verses it reads.
void tvkCompileDevotional(
    const TvkBibleModel& model, const std::vector<uint8_t>& books, const TvkBookIdentity& id, cTvkRichBook& book);

// One Bible of a library as the reference tables list it: its abbreviated title and the numbers of
// the books it holds, in the order it holds them.
struct TvkBibleBooks {
    std::string abbreviation;
    std::vector<uint8_t> books;
};
// The books of a model that hold verses, in order.
std::vector<uint8_t> tvkBookNumbers(const TvkBibleModel& model);

// The reference tables a Bible carries, as table files for its "BIBLEREF" stream, with their
// versions in the header: both book-name lists, the book numbering, and the books of each translation
// with the books of every Bible of `library` (the Bible itself among them) in their translation's
// place. All Bibles of one library carry the same tables, so whichever the engine reads first serves
// them all. A Bible whose abbreviation the translation list lacks has its own versification: its
// book list goes into the header, and the engine registers it as a translation of its own.
void tvkAddReferenceTables(
    cTvkRichBook& book, const std::string& abbreviation, const std::vector<TvkBibleBooks>& library);
