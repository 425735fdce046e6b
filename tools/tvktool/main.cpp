// tvktool: looks into book files through the engine.
//   tvktool streams FILE           the stream directory of any container: id, start, size, name
//   tvktool info BOOK              the header of a book: titles, identity, kind, versions and counts
//   tvktool verse BOOK REFERENCE   each verse of the reference: spelled reference, a tab, plain text
//   tvktool count BOOK WORD        the number of sections holding the word (wildcards "*" and "?")
//   tvktool strongs BOOK NUMBER    the number of sections carrying a Strong's number (G25, H430)
//   tvktool phrase BOOK "WORDS"    the number of sections holding the words one after another
//   tvktool render BOOK SECTION [--database FILE]
//                                  the display HTML of the section's blocks, with the highlights and
//                                  note links of the user-data database FILE when one is given
//   tvktool library FOLDER         the books the library finds in a folder, then the files skipped and why
//   tvktool search BOOK QUERY [INTERPRETATION [WORDFORM [LIMIT]]]
//                                  one search run of a query ("all" and "exact" by default), within a
//                                  limit expression when one is given: the number of sections found,
//                                  then the name of each in book order
//   tvktool contents BOOK          every contents entry: number, level and its place as the title bar
//                                  names it ("Genesis | Genesis 1 | 1")
//   tvktool copy BOOK REFERENCE [KEY=VALUE ...]
//                                  the plain-text copy of a passage ("cp..." choices as options)
// On failure it prints the engine's result code ("error 223") and exits with 1; bad usage exits 2.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "documents/cBookDoc.h"
#include "documents/cBookUserData.h"
#include "engine/bookfile/BkText.h"
#include "engine/bookfile/cBkBookFile.h"
#include "tools/tvktool/LibraryListing.h"
#include "tools/tvktool/PassageCopy.h"
#include "tools/tvktool/cTvkToolBook.h"

namespace {

std::string tagText(uint32_t id)
{
    std::string s;
    for (int i = 0; i < 4; ++i) {
        const unsigned char c = static_cast<unsigned char>(id >> (8 * i));
        s.push_back(c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '.');
    }
    return s;
}

int fail(uint32_t code, const std::string& detail = std::string())
{
    std::fprintf(stderr, "error %u\n", static_cast<unsigned>(code));
    if (!detail.empty())
        std::fprintf(stderr, "%s\n", detail.c_str());
    return 1;
}

int streams(const char* path)
{
    cBkStreamFile file;
    uint32_t r;
    {
        std::lock_guard<cPlatformMutex> lock(file.mutex());
        r = file.open(path);
    }
    if (r == BkResult::kWrongLength)
        return fail(r,
            "file length " + std::to_string(file.recordedLength()) + ", header length " +
                std::to_string(file.foundLength()));
    if (r != 0)
        return fail(r);
    std::printf("%-4s %10s %10s  %s\n", "id", "start", "size", "name");
    for (size_t i = 0; i < file.entryCount(); ++i) {
        const cBkStreamEntry* e = file.entryAt(i);
        std::printf("%-4s %10u %10u  %s\n", tagText(e->id).c_str(), static_cast<unsigned>(e->absoluteStart),
            static_cast<unsigned>(e->length), e->name().c_str());
    }
    return 0;
}

const char* kindName(cBkGenInfoStg& g)
{
    if (g.headerFlag0())
        return "Bible";
    return g.bookType() == BkInfoFormat::kBookTypeDated ? "dated book" : "book";
}

int info(const char* path)
{
    cBkBookFile* book = nullptr;
    const uint32_t r = acquireBookFile(BkText::utf8ToUtf16(path), book);
    if (r != 0)
        return fail(r);
    cBkGenInfoStg& g = book->genInfo();
    std::string s;
    auto line = [](const char* label, const std::string& value) { std::printf("%-22s %s\n", label, value.c_str()); };
    g.bookName(s, true);
    line("Title:", s);
    g.abbreviatedTitle(s, true);
    line("Abbreviation:", s);
    g.subtitle(s, true);
    line("Subtitle:", s);
    g.sortTitle(s, true, false);
    line("Sort title:", s);
    g.author(s, true);
    line("Author:", s);
    g.publisher(s, true);
    line("Publisher:", s);
    g.publisherCity(s, true);
    line("Publisher city:", s);
    g.publisherDate(s, true);
    line("Publication date:", s);
    g.copyright(s, true);
    line("Copyright:", s);
    line("Identity:",
        std::to_string(g.publisherId()) + ":" + std::to_string(g.bookId()) + ":" + std::to_string(g.edition()) + ":" +
            std::to_string(g.revision()));
    line("Kind:", kindName(g));
    line("File version:", std::to_string(g.fileMajor()) + "." + std::to_string(g.fileMinor()));
    line("Minimum reader:", std::to_string(g.minimumReaderMajor()) + "." + std::to_string(g.minimumReaderMinor()));
    line("Language:", std::to_string(g.languageNumber()) + " (" + g.languageName() + ")");
    line("Sections:", std::to_string(book->sections().sectionCount()));
    line("Blocks:", std::to_string(book->nodes().blockCount()));
    line("Contents entries:", std::to_string(book->toc().entryCount()));
    line("Words:", std::to_string(book->wordList().wordCount()));
    line("Punctuation:", std::to_string(book->punctuation()->wordCount()));
    line("Text bytes:", std::to_string(book->text().textSize()));
    line("Verse-sync records:", std::to_string(book->verseSync().recordCount()));
    line("Readings:", std::to_string(book->dateSync().readingCount()));
    std::string pairs;
    const std::pair<const char*, const cBkWordListPair*> optional[] = {{"VIDX", book->verseIndex()},
        {"WSYN", book->syncWords()}, {"VSYN", book->verseSyncWords()}, {"SHEA", book->strongsHebrew()},
        {"SGRK", book->strongsGreek()}, {"STEM", book->stemmed()}, {"PHON", book->phonetic()}};
    for (const auto& [name, pair] : optional)
        if (pair != nullptr)
            pairs += (pairs.empty() ? "" : " ") + std::string(name);
    line("Index pairs:", pairs.empty() ? "none" : pairs);
    line("Word attributes:", std::to_string(g.wordAttributeDefs().definitionCount()));
    auto embedded = [](cBkEmbeddedFiles* files) {
        return files == nullptr || files->subFile() == nullptr
            ? std::string("none")
            : std::to_string(files->subFile()->entryCount() - 1) + " files";
    };
    line("Images:", embedded(book->images()));
    line("Reference tables:", embedded(book->bibleRefFiles()));
    releaseBookFile(book);
    return 0;
}

bool parseSection(const char* text, std::uint32_t& section)
{
    std::uint64_t v = 0;
    if (*text == 0)
        return false;
    for (const char* p = text; *p != 0; ++p) {
        if (*p < '0' || *p > '9' || v > 0xFFFFFFFFull / 10)
            return false;
        v = v * 10 + static_cast<std::uint64_t>(*p - '0');
    }
    if (v > 0xFFFFFFFFull)
        return false;
    section = static_cast<std::uint32_t>(v);
    return true;
}

// The book commands: open, ask, print the answer.
int query(const std::string& command, const char* path, const std::string& argument)
{
    cTvkToolBook book;
    std::uint32_t r = book.open(path);
    if (r != 0)
        return fail(r);
    if (command == "verse") {
        std::vector<cTvkToolBook::Verse> verses;
        r = book.verses(argument, verses);
        if (r != 0)
            return fail(r, book.referenceFault());
        for (const cTvkToolBook::Verse& v : verses)
            std::printf("%s\t%s\n", v.reference.c_str(), v.text.c_str());
        return 0;
    }
    if (command == "render") {
        std::uint32_t section = 0;
        if (!parseSection(argument.c_str(), section))
            return fail(BkResult::kBadArgument);
        std::string html;
        r = book.renderSection(section, html);
        if (r != 0)
            return fail(r);
        std::printf("%s\n", html.c_str());
        return 0;
    }
    std::uint32_t count = 0;
    if (command == "count")
        r = book.countWord(argument, count);
    else if (command == "strongs")
        r = book.countStrongs(argument, count);
    else
        r = book.countPhrase(argument, count);
    if (r != 0)
        return fail(r);
    std::printf("%u\n", static_cast<unsigned>(count));
    return 0;
}

// tvktool search BOOK QUERY [INTERPRETATION [WORDFORM [LIMIT]]]: the number of sections found, then
// each section's name in book order.
int searchCommand(const char* path, const std::string& query, const std::string& interpretation,
    const std::string& wordform, const std::string& limit)
{
    cTvkToolBook book;
    std::uint32_t r = book.open(path);
    if (r != 0)
        return fail(r);
    std::vector<std::uint32_t> sections;
    r = book.search(query, interpretation, wordform, sections, limit);
    if (r == cBookDoc::kVerseNotFound)
        return fail(r, "the limit was not understood: \"" + limit + "\"");
    if (r != 0)
        return fail(
            r, "interpretation: all, any, exact, goto or xref; word form: exact, stem, metaphone or stemormeta");
    std::printf("%zu\n", sections.size());
    for (std::uint32_t s : sections)
        std::printf("%s\n", book.sectionName(s).c_str());
    return 0;
}

// tvktool contents BOOK: the contents in order, each entry with its level and its place, walked up
// through its parents as the title bar shows it.
int contentsCommand(const char* path)
{
    cTvkToolBook book;
    if (const std::uint32_t r = book.open(path))
        return fail(r);
    cBookDoc* doc = book.document();
    cBkTOCStg& toc = doc->bookFile()->toc();
    const std::uint32_t entries = toc.entryCount();
    for (std::uint32_t s = 0; s < entries; ++s) {
        std::uint8_t level = 0;
        std::string title;
        if (toc.readEntry(s, level, title) != 0) {
            std::printf("%u\t-\t(unreadable)\n", static_cast<unsigned>(s));
            continue;
        }
        cLString8 place;
        doc->GetPositionNameForTitleBar(place, s, true, false);
        std::printf("%u\t%u\t%s\n", static_cast<unsigned>(s), static_cast<unsigned>(level), place.chars());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 4 && argc <= 7 && std::strcmp(argv[1], "search") == 0)
        return searchCommand(
            argv[2], argv[3], argc >= 5 ? argv[4] : "all", argc >= 6 ? argv[5] : "exact", argc >= 7 ? argv[6] : "");
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string database;
    for (size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == "--database") {
            database = args[i + 1];
            args.erase(
                args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
            break;
        }
    const bool databaseGiven = args.size() + 1 < static_cast<size_t>(argc);
    if (args.size() == 2 && args[0] == "streams" && !databaseGiven)
        return streams(args[1].c_str());
    if (args.size() == 2 && args[0] == "info" && !databaseGiven)
        return info(args[1].c_str());
    if (args.size() == 2 && args[0] == "contents" && !databaseGiven)
        return contentsCommand(args[1].c_str());
    if (args.size() == 2 && args[0] == "library" && !databaseGiven)
        return listLibrary(args[1].c_str(), stdout);
    if (args.size() >= 3 && args[0] == "copy" && !databaseGiven)
        return copyPassage(
            args[1].c_str(), args[2].c_str(), std::vector<std::string>(args.begin() + 3, args.end()), stdout, stderr);
    if (args.size() == 3 && !(databaseGiven && args[0] != "render")) {
        for (const char* c : {"verse", "count", "strongs", "phrase", "render"})
            if (args[0] == c) {
                if (databaseGiven) {
                    if (database.empty())
                        return fail(BkResult::kBadArgument, "no database file named");
                    cLString16 path;
                    path.assignFromUTF8(database.c_str());
                    if (!cBookUserData::install(path))
                        return fail(BkResult::kCannotOpen, "cannot open the database " + database);
                }
                const int rc = query(args[0], args[1].c_str(), args[2]);
                cBookUserData::uninstall();
                return rc;
            }
    }
    std::fprintf(stderr,
        "usage: tvktool streams FILE | info BOOK | verse BOOK REFERENCE | count BOOK WORD |\n"
        "               strongs BOOK NUMBER | phrase BOOK \"WORDS\" |\n"
        "               render BOOK SECTION [--database FILE] | library FOLDER |\n"
        "               search BOOK QUERY [INTERPRETATION [WORDFORM [LIMIT]]] | contents BOOK |\n"
        "               copy BOOK REFERENCE [OPTION=VALUE ...]\n");
    return 2;
}
