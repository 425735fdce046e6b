// Opens the bytes as a book through the documents, as the reader does, and walks every section (up to
// kMaxSections): its marked-up text from the section text writer, its plain text through the stored
// blocks, the phrase test and the Strong's and attribute collector over its tokens, and the display
// HTML of its blocks; a Bible also gives the verses of its whole range. The per-storage targets look
// at the first items of each storage; faults that need a mostly valid book and a walk over all of it
// (a section spanning the book, a lost end-of-section code, blocks without text positions) show up
// here. Seeds are whole compiled books.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "documents/cBookDoc.h"
#include "engine/bookfile/cBkBookFile.h"
#include "engine/bookfile/cBkSectionTextWriter.h"
#include "engine/bookfile/cBkWordLinks.h"
#include "fuzz/FuzzSupport.h"
#include "search/core/cSearchWordList.h"
#include "tools/tvktool/cTvkToolBook.h"

namespace {

// Every section of the seeds and of any book the size of an input; more would only slow the run.
constexpr std::uint32_t kMaxSections = 5000;
// Output of one walk that no input of at most fuzz::kMaxInput bytes can need.
constexpr std::size_t kMaxOutput = 64u << 20;

// Two words of the book's list, as a phrase for the phrase test.
cSearchWordList phraseOf(cBkBookFile& book)
{
    cSearchWordList phrase;
    const std::uint32_t words = book.wordList().wordCount();
    for (std::uint32_t w : {0u, words / 2}) {
        if (w >= words)
            break;
        std::u16string text;
        book.wordList().wordForNumber(w, text);
        if (!text.empty())
            phrase.appendItem(text.c_str(), AnItem::kNoWordNumber, false, nullptr);
    }
    return phrase;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::ScratchFile file("bookfile_walk");
    if (size > fuzz::kMaxInput || !file.write(data, size))
        return 0;
    cTvkToolBook tool;
    if (tool.open(file.path()) != 0 || tool.document() == nullptr || tool.document()->bookFile() == nullptr)
        return 0;
    cBookDoc& doc = *tool.document();
    cBkBookFile& book = *doc.bookFile();
    const cSearchWordList phrase = phraseOf(book);
    cBkWordLinks links(book);
    const std::uint32_t sections = book.sections().sectionCount();
    std::size_t output = 0;
    for (std::uint32_t s = 0; s < sections && s < kMaxSections; ++s) {
        cLString8 text;
        cBkTextRangeOptions options;
        doc.sectionText(s, text, options, nullptr);
        const std::string plain = tool.plainText(s);
        std::string html;
        tool.renderSection(s, html);
        output += static_cast<std::size_t>(text.length()) + plain.size() + html.size();
        if (output > kMaxOutput)
            fuzz::fail("the walk of a small book wrote more than it could hold");
        if (phrase.count() > 0)
            links.isPhrasePresentInSection(s, phrase);
        std::vector<std::unique_ptr<cBkWordAttributeEntry>> entries;
        std::vector<std::string> seen;
        links.collectWordAttributes(0, std::u16string(), s, entries, seen);
    }
    if (tool.isBible()) {
        std::vector<cTvkToolBook::Verse> verses;
        tool.verses("Gen-Rev", verses);
        if (verses.size() > sections)
            fuzz::fail("more verses than sections");
    }
    return 0;
}
