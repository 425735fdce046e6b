// cTvkToolBook: one book opened through the engine's documents for tvktool's queries. A Bible is
// opened as a cBibleDoc, any other book as a cBookDoc; every query answers the engine's result code
// (0 on success) and leaves its answer in its out-parameters.
//
// The queries are the ones a reader asks: the verses of a typed reference with their plain text, the
// sections that hold a word (wildcards allowed), a Strong's number or a phrase, and the display HTML
// of a section's blocks. One object serves one thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class cBookDoc;
class cBkBookFile;

class cTvkToolBook {
public:
    struct Verse {
        std::uint32_t section = 0;
        std::uint32_t key = 0;  // book << 16 | chapter << 8 | verse
        std::string reference;  // spelled with full book names, e.g. "John 3:16"
        std::string text;       // plain UTF-8 text, no markup
    };

    // The most words a phrase may have.
    static constexpr std::size_t kMaxPhraseWords = 32;

    cTvkToolBook();
    ~cTvkToolBook();
    cTvkToolBook(const cTvkToolBook&) = delete;
    cTvkToolBook& operator=(const cTvkToolBook&) = delete;

    // Opens the book at `path` (UTF-8); the open's result code.
    std::uint32_t open(const std::string& path);
    bool isBible() const { return m_bible; }
    cBookDoc* document() const { return m_doc.get(); }

    // The verses a reference names ("John 3:16", "Ps 23:1-3", "Jude 3", "Gen 1:1; Ex 2:1"), in order.
    // 221 when the text is no reference or the book no Bible; 226 when the book has none of them.
    std::uint32_t verses(const std::string& reference, std::vector<Verse>& out);
    // Why the last reference given to verses() names no passage, in words (a range that ends before
    // it starts, a chapter past its book's end); empty otherwise.
    const std::string& referenceFault() const { return m_fault; }
    // The plain text of one section: words, punctuation and spelled references, without markup, note
    // markers or Strong's numbers.
    std::string plainText(std::uint32_t section);
    // Sections holding the word; "*" and "?" make it a pattern over the word list.
    std::uint32_t countWord(const std::string& word, std::uint32_t& count);
    // Sections carrying a Strong's number: "G25", "H430" (leading zeros allowed, letter either case).
    // 221 for anything else; a book without that concordance counts 0.
    std::uint32_t countStrongs(const std::string& number, std::uint32_t& count);
    // Sections holding the words one after another: the sections of every word, intersected, then the
    // phrase test in each. 221 for no words or too many.
    std::uint32_t countPhrase(const std::string& words, std::uint32_t& count);
    // The display HTML of the blocks of one section; 219 when the book has no such section.
    std::uint32_t renderSection(std::uint32_t section, std::string& html);

    // The name of a section as a result line shows it: the spelled reference of a Bible section
    // ("John 3:16", "Genesis 1" for a heading), else its contents title.
    std::string sectionName(std::uint32_t section);
    // A query of the search language, run as one standard search run (interpretation and word form as
    // the search options name them: "all", "any", "exact", "goto", "xref"; "exact", "stem",
    // "metaphone", "stemormeta"), within a limit expression when one is given: the sections found,
    // ascending. 221 for an unknown interpretation or word form, 226 for a limit that does not parse.
    std::uint32_t search(const std::string& query, const std::string& interpretation, const std::string& wordform,
        std::vector<std::uint32_t>& sections, const std::string& limit = std::string());

    // The sections that hold the phrase (the phrase count's sections).
    std::uint32_t phraseSections(const std::string& words, std::vector<std::uint32_t>& sections);

private:
    void close();

    std::unique_ptr<cBookDoc> m_doc;
    bool m_bible = false;
    std::string m_fault;
};
