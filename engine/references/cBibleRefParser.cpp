#include "engine/references/cBibleRefParser.h"

#include "engine/references/bibleRefRecord.h"
#include "engine/references/cBibleRefText.h"
#include "engine/references/cBibleRefVersification.h"

#include <cstring>

namespace {

constexpr std::int32_t kLargestNumber = 253;  // 254 and 255 are key markers
constexpr int kLongestNameChars = 64;

bool isDashChar(std::uint32_t c)
{
    return c == '-' || (c >= 0x2010 && c <= 0x2015) || c == 0x2E3A || c == 0x2E3B || c == 0xFE58 || c == 0xFE63 ||
        c == 0xFF0D;
}

bool equalsFolded(const std::uint32_t* chars, int count, const char* word)
{
    const int n = static_cast<int>(std::strlen(word));
    if (n != count)
        return false;
    for (int i = 0; i < n; ++i)
        if (chars[i] != static_cast<std::uint32_t>(word[i]))
            return false;
    return true;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads n hexadecimal byte pairs; false unless the text is exactly that.
bool readHexBytes(const std::string& text, std::size_t n, std::uint8_t* out)
{
    if (text.size() != 2 * n)
        return false;
    for (std::size_t i = 0; i < n; ++i) {
        const int hi = hexValue(text[2 * i]);
        const int lo = hexValue(text[2 * i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        out[i] = static_cast<std::uint8_t>(hi * 16 + lo);
    }
    return true;
}

void putBook(std::vector<std::uint8_t>& body, std::uint8_t book, bool hasEnd)
{
    const std::uint8_t endBit = hasEnd ? bibleRefRecord::kHasEnd : 0;
    if (book >= bibleRefRecord::kBookEscape) {
        body.push_back(static_cast<std::uint8_t>(endBit | bibleRefRecord::kBookEscape));
        body.push_back(book);
    } else {
        body.push_back(static_cast<std::uint8_t>(endBit | book));
    }
}

void putVerseByte(std::vector<std::uint8_t>& body, std::uint8_t verse)
{
    if (verse == bibleRefRecord::kVerseWithPart) {
        body.push_back(bibleRefRecord::kVerseWithPart);
        body.push_back(verse);
        body.push_back(0);
    } else {
        body.push_back(verse);
    }
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Book names

bool cBibleRefParser::matchBookName(const cBibleRefTables& tables, int language, const char* text, std::int32_t length,
    std::int32_t& pos, int& nameNumber)
{
    const std::vector<BookNameRow>& names = tables.bookNames(language);
    if (names.empty() || !text || pos < 0 || pos >= length)
        return false;

    // The text's characters, folded, with the offset after each.
    std::uint32_t chars[kLongestNameChars];
    std::int32_t ends[kLongestNameChars];
    int n = 0;
    const char* end = text + length;
    for (std::int32_t q = pos; n < kLongestNameChars && q < length;) {
        int bytes = 0;
        std::uint32_t c = cBibleRefText::entityAt(text + q, end, bytes);
        if (c == 0)
            c = cBibleRefText::decode(text + q, end, bytes);
        if (c == 0 || bytes <= 0)
            break;
        chars[n] = cBibleRefText::fold(c);
        q += bytes;
        ends[n++] = q;
    }
    if (n == 0)
        return false;

    int best = -1, bestCount = 0;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string& name = names[i].text;
        const char* np = name.data();
        const char* nend = np + name.size();
        int bytes = 0;
        const std::uint32_t first = cBibleRefText::fold(cBibleRefText::decode(np, nend, bytes));
        if (first > chars[0])
            break;  // the list is sorted by first letter
        if (first != chars[0])
            continue;

        int k = 0;
        bool nameEnded = false, lastBlank = false;
        for (;;) {
            if (np >= nend) {
                nameEnded = true;
                break;
            }
            if (k >= n)
                break;
            const std::uint32_t c = cBibleRefText::fold(cBibleRefText::decode(np, nend, bytes));
            if (c != chars[k])
                break;
            lastBlank = c == ' ';
            np += bytes;
            ++k;
        }
        int count = k;
        if (count > 0 && lastBlank)
            --count;  // a matched trailing blank does not count
        if (count < 1 || count < names[i].minimumMatch)
            continue;
        if (!nameEnded && k < n && cBibleRefText::isLetter(chars[k]))
            continue;  // not at a word end
        if (equalsFolded(chars, count, "levi") || equalsFolded(chars, count, "wisdom of"))
            continue;
        if (count > bestCount) {
            best = static_cast<int>(i);
            bestCount = count;
        }
    }
    if (best < 0)
        return false;
    pos = ends[bestCount - 1];
    if (pos < length && text[pos] == '.')
        ++pos;
    nameNumber = names[static_cast<std::size_t>(best)].nameNumber;
    return true;
}

// ---------------------------------------------------------------------------------------
// Tokens

bool cBibleRefParser::readNumber(std::int32_t& value)
{
    if (!isDigit(m_pos))
        return false;
    std::int32_t v = 0;
    std::int32_t q = m_pos;
    while (isDigit(q)) {
        if (v <= kLargestNumber)
            v = v * 10 + (at(q) - '0');
        ++q;
    }
    if (v > kLargestNumber)
        return false;
    value = v;
    m_pos = q;
    return true;
}

bool cBibleRefParser::readChapter(std::int32_t book, std::int32_t& chapter)
{
    for (const ChapterWordRow& row : m_t.chapterWords()) {
        if (row.book != book)
            continue;
        int bytes = 0;
        if (cBibleRefText::matchesWordAt(m_text + m_pos, m_text + m_length, row.longWord, bytes) ||
            cBibleRefText::matchesWordAt(m_text + m_pos, m_text + m_length, row.shortWord, bytes)) {
            chapter = row.chapter;
            m_pos += bytes;
            return true;
        }
    }
    return readNumber(chapter);
}

bool cBibleRefParser::readPart(std::uint8_t& part)
{
    const char c = at(m_pos);
    if (c < 'a' || c > 'z' || (c == 'f' && at(m_pos + 1) == 'f'))
        return false;
    part = static_cast<std::uint8_t>(c);
    ++m_pos;
    return true;
}

bool cBibleRefParser::readDash()
{
    if (m_pos >= m_length)
        return false;
    int bytes = 0;
    const std::uint32_t c = cBibleRefText::decode(m_text + m_pos, m_text + m_length, bytes);
    if (!isDashChar(c))
        return false;
    m_pos += bytes;
    skipBlanks();
    return true;
}

bool cBibleRefParser::readBook(std::int32_t& book)
{
    const std::int32_t start = m_pos;
    int nameNumber = 0;
    if (!matchName(nameNumber))
        return false;
    book = m_t.bookForName(nameNumber, static_cast<int>(m_ref.m_translation));
    if (book <= 0) {
        m_pos = start;
        return false;
    }
    return true;
}

// A book name at the position in the reference's own list or, when reading either language, the
// other one's where that matches more of the text.
bool cBibleRefParser::matchName(int& nameNumber)
{
    const int own = m_ref.nameListLanguage();
    std::int32_t ownEnd = m_pos;
    int ownNumber = 0;
    const bool ownMatched = matchBookName(m_t, own, m_text, m_length, ownEnd, ownNumber);
    if (m_eitherLanguage) {
        std::int32_t otherEnd = m_pos;
        int otherNumber = 0;
        const int other = own == kLanguageSpanish ? kLanguageEnglish : kLanguageSpanish;
        if (matchBookName(m_t, other, m_text, m_length, otherEnd, otherNumber) && (!ownMatched || otherEnd > ownEnd)) {
            m_pos = otherEnd;
            nameNumber = otherNumber;
            return true;
        }
    }
    if (!ownMatched)
        return false;
    m_pos = ownEnd;
    nameNumber = ownNumber;
    return true;
}

// After a chapter: blanks, then ":" or "." (and blanks) or directly a digit.
bool cBibleRefParser::readVerseSeparator()
{
    skipBlanks();
    if (at(m_pos) == ':' || at(m_pos) == '.') {
        ++m_pos;
        skipBlanks();
    }
    return isDigit(m_pos);
}

// ---------------------------------------------------------------------------------------
// Ranges and texts

void cBibleRefParser::finishRange(bibleRefRange& range, std::int32_t start, std::int32_t end)
{
    range.textStart = start;
    range.textEnd = end;
    range.typedText = std::string(m_text + start, m_text + end);
    // The range before this one learns what was typed in between.
    if (m_previous && m_previous->next == &range && m_previous->textEnd >= 0 && m_previous->textEnd <= start)
        m_previous->followingText = std::string(m_text + m_previous->textEnd, m_text + start);
}

bibleRefRange* cBibleRefParser::newRange()
{
    m_previous = m_ref.m_last;
    return m_ref.appendRange();
}

// Drops every range after `keep` (all when null) without walking the list from its head.
void cBibleRefParser::dropRangesAfter(bibleRefRange* keep)
{
    bibleRefRange* r = keep ? keep->next : m_ref.m_first;
    while (r) {
        bibleRefRange* next = r->next;
        delete r;
        r = next;
    }
    if (keep) {
        keep->next = nullptr;
        keep->followingText.reset();
    } else {
        m_ref.m_first = nullptr;
    }
    m_ref.m_last = keep;
    m_ref.m_spelledWith = -1;
}

// ---------------------------------------------------------------------------------------
// Grammar

bool cBibleRefParser::verseEnd(bibleRefRange& range)
{
    const std::int32_t save = m_pos;
    if (!readDash())
        return false;
    const std::int32_t afterDash = m_pos;
    std::int32_t book = 0, chapter = 0, verse = 0;
    std::uint8_t part = 0;

    if (readBook(book)) {
        skipBlanks();
        const std::int32_t afterBook = m_pos;
        if (readChapter(book, chapter) && readVerseSeparator() && readNumber(verse)) {
            readPart(part);
            range.endBook = book;
            range.endChapter = chapter;
            range.endVerse = verse;
            range.endPart = part;
            return true;
        }
        // A book of one chapter names its verse alone ("Amos 9:14-Obadiah 8"), as the spelling
        // of such a range writes it.
        m_pos = afterBook;
        if (m_t.isOneChapterBook(book) && readNumber(verse)) {
            readPart(part);
            range.endBook = book;
            range.endChapter = 1;
            range.endVerse = verse;
            range.endPart = part;
            return true;
        }
    }
    m_pos = afterDash;
    if (readChapter(range.endBook, chapter) && readVerseSeparator() && readNumber(verse)) {
        readPart(part);
        range.endChapter = chapter;
        range.endVerse = verse;
        range.endPart = part;
        return true;
    }
    m_pos = afterDash;
    if (readNumber(verse)) {
        readPart(part);
        range.endVerse = verse;
        range.endPart = part;
        return true;
    }
    m_pos = save;
    return false;
}

bool cBibleRefParser::verseLevel(std::int32_t book, std::int32_t groupStart, bool skipLeadingBlanks)
{
    if (skipLeadingBlanks)
        skipBlanks();
    std::int32_t chapter = 0;
    if (!readChapter(book, chapter))
        return false;
    skipBlanks();
    if (at(m_pos) == ':' || at(m_pos) == '.') {
        ++m_pos;
        skipBlanks();
    } else if (!isDigit(m_pos)) {
        return false;
    }
    std::int32_t elementStart = groupStart;
    std::int32_t comma = -1;
    for (bool first = true;; first = false) {
        std::int32_t verse = 0;
        if (!readNumber(verse)) {
            if (first)
                return false;
            m_pos = comma;  // the failed element is dropped; stop before its ","
            return true;
        }
        std::uint8_t part = 0;
        readPart(part);
        bibleRefRange* range = newRange();
        range->startBook = range->endBook = book;
        range->startChapter = range->endChapter = chapter;
        range->startVerse = range->endVerse = verse;
        range->startPart = range->endPart = part;
        std::int32_t elementEnd = m_pos;
        skipBlanks();
        if (verseEnd(*range)) {
            elementEnd = m_pos;
            skipBlanks();
        }
        finishRange(*range, elementStart, elementEnd);
        if (at(m_pos) != ',')
            return true;
        comma = m_pos;
        ++m_pos;
        skipBlanks();
        elementStart = m_pos;
        book = range->endBook;
        chapter = range->endChapter;
    }
}

bool cBibleRefParser::chapterLevel(std::int32_t book, std::int32_t groupStart, bool skipLeadingBlanks)
{
    if (skipLeadingBlanks)
        skipBlanks();
    std::int32_t elementStart = groupStart;
    for (bool first = true;; first = false) {
        const std::int32_t before = m_pos;
        std::int32_t chapter = 0;
        if (!readChapter(book, chapter)) {
            if (first)
                return false;
            m_pos = before;
            return true;
        }
        bibleRefRange* range = newRange();
        range->startBook = range->endBook = book;
        range->startChapter = range->endChapter = chapter;
        range->startVerse = -1;
        range->endVerse = -2;
        std::int32_t elementEnd = m_pos;
        skipBlanks();
        const std::int32_t save = m_pos;
        if (readDash()) {
            const std::int32_t afterDash = m_pos;
            std::int32_t endBook = 0, endChapter = 0, endVerse = 0;
            bool found = false;
            // A one-chapter book's lone number is its verse, also at the start of a range that ends
            // at a verse of another book ("Jude 25-Rev 1:1", as the copy heads such a passage).
            if (first && m_t.isOneChapterBook(book) && readBook(endBook)) {
                skipBlanks();
                if (readChapter(endBook, endChapter) && readVerseSeparator() && readNumber(endVerse)) {
                    std::uint8_t part = 0;
                    readPart(part);
                    range->startChapter = 1;
                    range->startVerse = chapter;
                    range->endBook = endBook;
                    range->endChapter = endChapter;
                    range->endVerse = endVerse;
                    range->endPart = part;
                    found = true;
                } else {
                    m_pos = afterDash;
                }
            }
            if (!found && readBook(endBook)) {
                skipBlanks();
                if (readChapter(endBook, endChapter)) {
                    range->endBook = endBook;
                    range->endChapter = endChapter;
                    found = true;
                }
            }
            if (!found) {
                m_pos = afterDash;
                if (readChapter(book, endChapter)) {
                    range->endChapter = endChapter;
                    found = true;
                }
            }
            if (found) {
                elementEnd = m_pos;
                skipBlanks();
            } else {
                m_pos = save;
            }
        }
        finishRange(*range, elementStart, elementEnd);
        if (at(m_pos) != ',')
            return true;
        const std::int32_t comma = m_pos;
        ++m_pos;
        skipBlanks();
        std::int32_t probe = 0;
        const std::int32_t probeStart = m_pos;
        book = range->endBook;
        if (!readChapter(book, probe)) {
            m_pos = comma;
            return true;
        }
        m_pos = probeStart;
        elementStart = m_pos;
    }
}

bool cBibleRefParser::bookLevel(std::int32_t groupStart)
{
    m_pos = groupStart;
    std::int32_t elementStart = groupStart;
    for (bool first = true;; first = false) {
        std::int32_t book = 0;
        if (!readBook(book))
            return !first;
        bibleRefRange* range = newRange();
        range->startBook = range->endBook = book;
        std::int32_t elementEnd = m_pos;
        skipBlanks();
        const std::int32_t save = m_pos;
        if (readDash()) {
            std::int32_t endBook = 0;
            if (readBook(endBook)) {
                range->endBook = endBook;
                elementEnd = m_pos;
                skipBlanks();
            } else {
                m_pos = save;
            }
        }
        finishRange(*range, elementStart, elementEnd);
        if (at(m_pos) != ',')
            return true;
        const std::int32_t comma = m_pos;
        ++m_pos;
        skipBlanks();
        const std::int32_t probeStart = m_pos;
        std::int32_t probe = 0;
        if (!readBook(probe)) {
            m_pos = comma;
            return true;
        }
        m_pos = probeStart;
        elementStart = m_pos;
    }
}

bool cBibleRefParser::group()
{
    const std::int32_t groupStart = m_pos;
    bibleRefRange* before = m_ref.m_last;
    int nameNumber = 0;
    const bool named = matchName(nameNumber);
    const std::int32_t book = named ? m_t.bookForName(nameNumber, static_cast<int>(m_ref.m_translation)) : 0;
    if (book > 0) {
        const std::int32_t afterBook = m_pos;
        if (verseLevel(book, groupStart, true))
            return true;
        dropRangesAfter(before);
        m_pos = afterBook;
        if (chapterLevel(book, groupStart, true))
            return true;
        dropRangesAfter(before);
        if (bookLevel(groupStart))
            return true;
    } else if (before) {
        // No usable book name: continue in the previous range's end book, directly here.
        const std::int32_t here = m_pos;
        if (verseLevel(before->endBook, groupStart, false))
            return true;
        dropRangesAfter(before);
        m_pos = here;
        if (chapterLevel(before->endBook, groupStart, false))
            return true;
    }
    dropRangesAfter(before);
    m_pos = groupStart;
    return false;
}

// ---------------------------------------------------------------------------------------
// After parsing

void cBibleRefParser::checkOneChapterBooks(std::int32_t startPosition)
{
    bibleRefRange* keep = nullptr;
    for (bibleRefRange* r = m_ref.m_first; r; keep = r, r = r->next) {
        const bool badStart = m_t.isOneChapterBook(r->startBook) && r->startVerse >= 0 && r->startChapter != 1;
        const bool badEnd = m_t.isOneChapterBook(r->endBook) && r->endVerse >= 0 && r->endChapter != 1;
        if (!badStart && !badEnd)
            continue;
        dropRangesAfter(keep);
        m_pos = keep ? keep->textEnd : startPosition;
        return;
    }
}

void cBibleRefParser::normalise(bibleRefRange& r)
{
    if (m_t.isOneChapterBook(r.startBook) && r.startVerse == -1) {
        r.startVerse = r.startChapter;
        r.startChapter = 1;
    }
    if (m_t.isOneChapterBook(r.endBook) && r.endVerse == -2) {
        r.endVerse = r.endChapter;
        r.endChapter = 1;
    }
    const auto fits = [](const FixUpRow& row, std::int32_t book, std::int32_t chapter, std::int32_t verse,
                          std::uint8_t part) {
        if (row.sourceBook != book || row.sourceChapter != chapter)
            return false;
        const bool verseFits = row.sourceVerse == kAnyVerse || row.sourceVerse == verse ||
            (row.shifting && verse >= 0 && row.sourceVerse < verse);
        return verseFits && (row.sourcePart == part || row.sourcePart == kAnyPart);
    };
    const auto apply = [](const FixUpRow& row, std::int32_t& book, std::int32_t& chapter, std::int32_t& verse,
                           std::uint8_t& part) {
        book = row.targetBook;
        chapter = row.targetChapter;
        verse = row.targetVerse + (row.shifting ? verse : 0);
        if (row.targetPart != kAnyPart)
            part = row.targetPart;
    };
    bool startDone = false, endDone = false;
    const std::int32_t sb = r.startBook, sc = r.startChapter, sv = r.startVerse;
    const std::uint8_t sp = r.startPart;
    const std::int32_t eb = r.endBook, ec = r.endChapter, ev = r.endVerse;
    const std::uint8_t ep = r.endPart;
    for (const FixUpRow& row : m_t.fixUps()) {
        if (row.sourceBook > sb && row.sourceBook > eb)
            break;
        if (!startDone && fits(row, sb, sc, sv, sp)) {
            apply(row, r.startBook, r.startChapter, r.startVerse, r.startPart);
            startDone = true;
        }
        if (!endDone && fits(row, eb, ec, ev, ep)) {
            apply(row, r.endBook, r.endChapter, r.endVerse, r.endPart);
            endDone = true;
        }
        if (startDone && endDone)
            break;
    }
}

int cBibleRefParser::parse(std::int32_t& position)
{
    m_ref.removeAllRanges();
    m_ref.m_spelling.makeEmpty();
    m_ref.m_spelledWith = -1;
    const std::int32_t startPosition = position;
    if (position < 0 || position > m_length)
        return 1;
    m_pos = position;
    skipBlanks();
    if (!group()) {
        m_ref.removeAllRanges();
        position = startPosition;
        return 1;
    }
    while (at(m_pos) == ';') {
        const std::int32_t semicolon = m_pos;
        ++m_pos;
        skipBlanks();
        bibleRefRange* before = m_ref.m_last;
        if (!group()) {
            dropRangesAfter(before);
            m_pos = semicolon;
            break;
        }
    }
    checkOneChapterBooks(startPosition);
    for (bibleRefRange* r = m_ref.m_first; r; r = r->next)
        normalise(*r);
    if (m_ref.m_translation > 0) {
        for (bibleRefRange* r = m_ref.m_first; r; r = r->next)
            cBibleRefVersification::mapRange(m_t, *r, static_cast<int>(m_ref.m_translation));
    }
    m_ref.m_spelledWith = -1;
    position = m_pos;
    return m_pos >= m_length ? 0 : 1;
}

// ---------------------------------------------------------------------------------------
// cBibleRef entry points

int cBibleRef::parse(const char* text, std::int32_t& position)
{
    if (!text) {
        removeAllRanges();
        m_spelling.makeEmpty();
        return 1;
    }
    const std::size_t length = std::strlen(text);
    if (length > 0x7FFFFFFF)
        return 1;
    const cBibleRefTables::Ptr t = cBibleRefTables::current();
    return cBibleRefParser(*this, *t, text, static_cast<std::int32_t>(length)).parse(position);
}

int cBibleRef::parseInEitherLanguage(const char* text, std::int32_t& position)
{
    if (!text)
        return parse(text, position);
    const std::size_t length = std::strlen(text);
    if (length > 0x7FFFFFFF)
        return 1;
    const cBibleRefTables::Ptr t = cBibleRefTables::current();
    cBibleRefParser parser(*this, *t, text, static_cast<std::int32_t>(length));
    parser.readEitherLanguage();
    return parser.parse(position);
}

bool cBibleRef::matchBookName(const char* text, std::int32_t& position, int& nameNumber) const
{
    if (!text)
        return false;
    const cBibleRefTables::Ptr t = cBibleRefTables::current();
    return cBibleRefParser::matchBookName(
        *t, nameListLanguage(), text, static_cast<std::int32_t>(std::strlen(text)), position, nameNumber);
}

int cBibleRef::bookForName(int nameNumber, int translation)
{
    return cBibleRefTables::current()->bookForName(nameNumber, translation);
}

bool cBibleRef::matchTranslationAbbreviation(const char* text, std::int32_t& position, int& translation)
{
    translation = 0;
    if (!text || position < 0)
        return false;
    const std::size_t length = std::strlen(text);
    if (static_cast<std::size_t>(position) > length)
        return false;
    const cBibleRefTables::Ptr t = cBibleRefTables::current();
    for (const TranslationRow& row : t->translations()) {
        const std::size_t n = row.abbreviation.size();
        if (n == 0 || position + n > length)
            continue;
        bool same = true;
        for (std::size_t i = 0; i < n && same; ++i) {
            const auto a = static_cast<unsigned char>(text[static_cast<std::size_t>(position) + i]);
            const auto b = static_cast<unsigned char>(row.abbreviation[i]);
            same = cBibleRefText::fold(a) == cBibleRefText::fold(b);
        }
        if (!same)
            continue;
        translation = row.number;
        position += static_cast<std::int32_t>(n);
        return true;
    }
    return false;
}

bool cBibleRef::mapToTranslationNamed(const char* abbreviation)
{
    std::int32_t position = 0;
    int translation = 0;
    if (!matchTranslationAbbreviation(abbreviation, position, translation))
        return false;
    return setTranslation(translation);
}

void cBibleRef::decodeRecord(const std::uint8_t* record, std::size_t size)
{
    using namespace bibleRefRecord;
    removeAllRanges();
    m_translation = 0;
    m_hints = 0;
    m_spelling.makeEmpty();
    m_spelledWith = -1;
    if (!record || size < 1)
        return;
    std::size_t p = 1;
    std::size_t length = record[0];
    if (length == kLongLength) {
        if (size < 5)
            return;
        length = (std::size_t {record[1]} << 24) | (std::size_t {record[2]} << 16) | (std::size_t {record[3]} << 8) |
            std::size_t {record[4]};
        p = 5;
    }
    if (length < kShortestRecord)
        return;
    const std::size_t end = p + (length < size - p ? length : size - p);  // never past the bytes held
    if (p >= end)
        return;
    const std::uint8_t translationByte = record[p++];
    m_translation = translationByte & kTranslationMask;
    if ((translationByte & kHintMask) == kHintVerseOnly)
        m_hints = kBibleRefHintVerseOnly;
    else if ((translationByte & kHintMask) == kHintNoBook)
        m_hints = kBibleRefHintNoBook;

    while (p < end) {
        bool ok = true;
        const auto next = [&]() -> std::uint8_t {
            if (p >= end) {
                ok = false;
                return 0;
            }
            return record[p++];
        };
        bibleRefRange r;
        const std::uint8_t bookByte = next();
        const bool hasEnd = (bookByte & kHasEnd) != 0;
        r.startBook = bookByte & kBookMask;
        if (r.startBook == kBookEscape)
            r.startBook = next();
        const std::uint8_t chapter = next();
        r.startChapter = chapter == kWhole ? -1 : chapter;
        const std::uint8_t verse = next();
        if (verse == kVerseWithPart) {
            r.startVerse = next();
            r.startPart = next();
        } else {
            r.startVerse = verse == kWhole ? -1 : verse;
        }
        if (hasEnd) {
            r.endBook = next();
            const std::uint8_t endChapter = next();
            r.endChapter = endChapter == kLast ? -2 : endChapter == kWhole ? -1 : endChapter;
            const std::uint8_t endVerse = next();
            if (endVerse == kVerseWithPart) {
                r.endVerse = next();
                r.endPart = next();
            } else {
                r.endVerse = endVerse == kLast ? -2 : endVerse == kWhole ? -1 : endVerse;
            }
        } else {
            r.endBook = r.startBook;
            r.endChapter = r.startChapter;
            r.endVerse = r.startVerse;
            r.endPart = r.startPart;
        }
        if (!ok)
            break;  // a range cut short is not completed
        appendRangeCopy(r);
    }
    m_spelledWith = -1;
}

bool cBibleRef::parseLinkString(const char* link, const char* translationAbbreviation)
{
    if (!link) {
        removeAllRanges();
        return false;
    }
    std::string s(link);
    static const char kScriptPrefix[] = "javascript:href('";
    static const char kScriptSuffix[] = "');";
    if (s.compare(0, sizeof kScriptPrefix - 1, kScriptPrefix) == 0) {
        s.erase(0, sizeof kScriptPrefix - 1);
        if (s.size() >= 3 && s.compare(s.size() - 3, 3, kScriptSuffix) == 0)
            s.erase(s.size() - 3);
    }
    if (s.compare(0, 6, "bible:") == 0)
        s.erase(0, 6);

    std::uint8_t bytes[7];
    std::vector<std::uint8_t> body;
    int linkTranslation = -1;
    if (!s.empty() && s[0] == '#' && readHexBytes(s.substr(1), 4, bytes)) {
        linkTranslation = bytes[0];
        body.push_back(0);
        putBook(body, bytes[1], false);
        body.push_back(bytes[2]);
        putVerseByte(body, bytes[3]);
    } else if (!s.empty() && s[0] == '-' && readHexBytes(s.substr(1), 7, bytes)) {
        linkTranslation = bytes[0];
        body.push_back(0);
        putBook(body, bytes[1], true);
        body.push_back(bytes[2]);
        putVerseByte(body, bytes[3]);
        body.push_back(bytes[4]);
        body.push_back(bytes[5]);
        putVerseByte(body, bytes[6]);
    }

    if (linkTranslation < 0) {
        // Reference text, parsed in the named translation.
        mapToTranslationNamed(translationAbbreviation);
        std::int32_t position = 0;
        parseInEitherLanguage(s.c_str(), position);
        return hasRanges();
    }

    std::vector<std::uint8_t> record;
    record.push_back(static_cast<std::uint8_t>(body.size()));
    record.insert(record.end(), body.begin(), body.end());
    decodeRecord(record.data(), record.size());
    m_translation = static_cast<std::uint32_t>(linkTranslation);  // a full byte in links
    if (translationAbbreviation && *translationAbbreviation)
        mapToTranslationNamed(translationAbbreviation);
    formatSpelling(0);
    return hasRanges();
}
