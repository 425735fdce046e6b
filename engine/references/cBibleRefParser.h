// The reference-text grammar behind cBibleRef::parse. A text is a list of groups separated
// by ";". A group names a book (or continues with the previous range's book) and is read at
// the most detailed level that fits:
//   verse level    book chapter (":" | "." | blank) verse-list
//   chapter level  book chapter ["-" [book] chapter] {"," chapter-element}
//   book level     book ["-" book] {"," book-element}
// A verse list is verse[part] ["-" ([book] chapter sep verse[part] | chapter sep verse[part]
// | verse[part])] {"," element}. Chapters are digits or the book's chapter words; dashes are
// "-" or one of the Unicode dashes; a part letter is one lower-case letter after verse
// digits, but not the "f" of "ff". Numbers above 253 are not chapters or verses.
#pragma once

#include "engine/references/cBibleRef.h"

#include <cstdint>
#include <string>

class cBibleRefParser {
public:
    cBibleRefParser(cBibleRef& ref, const cBibleRefTables& tables, const char* text, std::int32_t length)
        : m_ref(ref), m_t(tables), m_text(text), m_length(length)
    {
    }

    // See cBibleRef::parse.
    int parse(std::int32_t& position);
    // Book names are read in either language's list, the reference's own first (see
    // cBibleRef::parseInEitherLanguage).
    void readEitherLanguage() { m_eitherLanguage = true; }

    // Name match at pos in the list of `language`; false leaves pos unchanged.
    static bool matchBookName(const cBibleRefTables& tables, int language, const char* text, std::int32_t length,
        std::int32_t& pos, int& nameNumber);

private:
    char at(std::int32_t i) const { return i >= 0 && i < m_length ? m_text[i] : '\0'; }
    bool isDigit(std::int32_t i) const { return at(i) >= '0' && at(i) <= '9'; }
    void skipBlanks()
    {
        while (at(m_pos) == ' ')
            ++m_pos;
    }
    bool readNumber(std::int32_t& value);
    bool readChapter(std::int32_t book, std::int32_t& chapter);
    bool readPart(std::uint8_t& part);
    bool readDash();
    bool readBook(std::int32_t& book);
    bool matchName(int& nameNumber);
    bool readVerseSeparator();

    bool group();
    bool verseLevel(std::int32_t book, std::int32_t groupStart, bool skipLeadingBlanks);
    bool chapterLevel(std::int32_t book, std::int32_t groupStart, bool skipLeadingBlanks);
    bool bookLevel(std::int32_t groupStart);
    bool verseEnd(bibleRefRange& range);
    void finishRange(bibleRefRange& range, std::int32_t start, std::int32_t end);
    void dropRangesAfter(bibleRefRange* keep);
    bibleRefRange* newRange();  // appends a range and remembers the one before it

    void checkOneChapterBooks(std::int32_t startPosition);
    void normalise(bibleRefRange& range);

    cBibleRef& m_ref;
    const cBibleRefTables& m_t;
    const char* m_text;
    std::int32_t m_length;
    std::int32_t m_pos = 0;
    bibleRefRange* m_previous = nullptr;
    bool m_eitherLanguage = false;
};
