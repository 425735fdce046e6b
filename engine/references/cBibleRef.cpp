#include "engine/references/cBibleRef.h"

#include "engine/references/cBibleRefText.h"

#include <charconv>
#include <cstdio>

namespace {

constexpr std::int32_t kForgotBook = -1;
constexpr std::int32_t kForgotChapter = -3;
constexpr std::int32_t kForgotVerse = -4;

std::int32_t asOne(std::int32_t v)
{
    return v == -1 ? 1 : v;
}
bool isWhole(std::int32_t v)
{
    return v == -1 || v == -2;
}

// Verse-order exchange of books 106-109, applied after a key is split (forward) and in
// reverse when a key is composed.
int exchangeVerse(int book, int chapter, int verse, bool forward)
{
    switch (book) {
    case 106:
        if (chapter == 20 && (verse == 22 || verse == 23))
            return verse == 22 ? 23 : 22;
        break;
    case 107:
        if (chapter != 14)
            break;
        if (forward) {
            if (verse >= 8 && verse <= 10)
                return verse + 7;
            if (verse >= 11 && verse <= 17)
                return verse - 3;
        } else {
            if (verse >= 15 && verse <= 17)
                return verse - 7;
            if (verse >= 8 && verse <= 14)
                return verse + 3;
        }
        break;
    case 108:
        if (chapter == 27 && (verse == 11 || verse == 12))
            return verse == 11 ? 12 : 11;
        break;
    case 109:
        if (chapter == 2 && (verse == 2 || verse == 3))
            return verse == 2 ? 3 : 2;
        break;
    default:
        break;
    }
    return verse;
}

void appendDecimal(std::string& out, long value)
{
    char buffer[24];
    const std::to_chars_result end = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, end.ptr);
}

void appendHexByte(std::string& out, std::int32_t value)
{
    char buffer[4];
    std::snprintf(buffer, sizeof buffer, "%02X", static_cast<unsigned>(value & 0xFF));
    out += buffer;
}

// Writes the spelling of one reference; holds the previous-part markers of step to step.
class SpellingWriter {
public:
    SpellingWriter(const cBibleRefTables& tables, const cBibleRef& ref, std::uint32_t flags)
        : m_t(tables), m_ref(ref), m_flags(flags)
    {
    }

    std::string run();

private:
    bool has(std::uint32_t bits) const { return (m_flags & bits) != 0; }
    void writeEndpoint(std::int32_t book, std::int32_t chapter, std::int32_t verse, std::uint8_t part);
    void writeBookName(std::int32_t book);
    void writeChapter(std::int32_t book, std::int32_t chapter);
    void writeVerse(std::int32_t book, std::int32_t chapter, std::int32_t verse, std::uint8_t part);
    void writeSeparator(std::int32_t book);
    void writeTranslation();

    const cBibleRefTables& m_t;
    const cBibleRef& m_ref;
    std::uint32_t m_flags;
    std::string m_out;
    std::int32_t m_prevBook = kForgotBook, m_prevChapter = kForgotChapter, m_prevVerse = kForgotVerse;
    int m_depth = 0;
};

std::string bookNameText(const cBibleRefTables& t, int language, std::int32_t book, std::uint32_t flags)
{
    const int nameNumber = t.nameNumberOfBook(book);
    const std::uint8_t kind = (flags & kSpellFullNames) ? kBookNameFull : kBookNameAbbreviationSource;
    for (const BookNameRow& row : t.bookNames(language)) {
        if (nameNumber == 0 || row.nameNumber != nameNumber || !(row.kinds & kind))
            continue;
        if (!(flags & kSpellFullNames)) {
            const std::string abbreviation = cBibleRefText::firstChars(row.text, row.minimumMatch);
            return (flags & kSpellUTF8) ? cBibleRefText::toUTF8(abbreviation) : abbreviation;
        }
        std::string text = (flags & kSpellUTF8) ? cBibleRefText::toUTF8(row.text) : row.text;
        if (flags & kSpellSpoken) {
            static const char* const kOrdinals[] = {"First ", "Second ", "Third ", "Fourth "};
            if (text.size() >= 2 && text[0] >= '1' && text[0] <= '4' && text[1] == ' ')
                text = kOrdinals[text[0] - '1'] + text.substr(2);
            for (std::size_t p; (p = text.find(" (Greek)")) != std::string::npos;)
                text.erase(p, 8);
        }
        return text;
    }
    return "ERROR";
}

void SpellingWriter::writeBookName(std::int32_t book)
{
    m_out += bookNameText(m_t, m_ref.nameListLanguage(), book, m_flags);
}

void SpellingWriter::writeChapter(std::int32_t book, std::int32_t chapter)
{
    if (const ChapterWordRow* word = m_t.chapterWordForSpelling(book, chapter)) {
        m_out += has(kSpellFullNames) ? word->longWord : word->shortWord;
        return;
    }
    if (m_t.isOneChapterBook(book) && !has(kSpellChapterAlways | kSpellChapterOnly))
        return;
    appendDecimal(m_out, chapter);
}

void SpellingWriter::writeVerse(std::int32_t book, std::int32_t chapter, std::int32_t verse, std::uint8_t part)
{
    for (const FixUpRow& row : m_t.fixUps()) {
        if (row.targetBook != book || row.targetChapter != chapter)
            continue;
        if (!row.shifting) {
            if (row.targetVerse == verse && (row.targetPart == kAnyPart || row.targetPart == part)) {
                verse = row.sourceVerse;
                part = row.sourcePart == kAnyPart ? 0 : row.sourcePart;
                break;
            }
        } else if (row.sourceVerse + row.targetVerse <= verse) {
            verse -= row.targetVerse;
            if (row.targetPart != kAnyPart)
                part = row.targetPart;
            break;
        }
    }
    appendDecimal(m_out, verse);
    if (part != 0)
        m_out += static_cast<char>(part);
}

void SpellingWriter::writeSeparator(std::int32_t book)
{
    if (has(kSpellBookOnly | kSpellChapterOnly | kSpellVerseOnly | kSpellNoVerse))
        return;
    if (!has(kSpellChapterAlways) && m_t.isOneChapterBook(book))
        return;
    m_out += has(kSpellSeparatorDot) ? "." : has(kSpellSeparatorBlank) ? " " : ":";
}

void SpellingWriter::writeEndpoint(std::int32_t book, std::int32_t chapter, std::int32_t verse, std::uint8_t part)
{
    const bool verseShown = !has(kSpellBookOnly | kSpellChapterOnly | kSpellNoVerse);
    if (book != m_prevBook) {
        if (!has(kSpellChapterOnly | kSpellVerseOnly | kSpellNoBook))
            writeBookName(book);
        m_depth = 1;
        if (!isWhole(chapter)) {
            const bool blank = !has(kSpellBookOnly | kSpellChapterOnly | kSpellVerseOnly | kSpellNoBook);
            if (blank)
                m_out += ' ';
            const std::size_t afterBlank = m_out.size();
            if (!has(kSpellBookOnly | kSpellVerseOnly))
                writeChapter(book, chapter);
            m_depth = 2;
            if (!isWhole(verse)) {
                writeSeparator(book);
                if (verseShown)
                    writeVerse(book, chapter, verse, part);
                m_depth = 3;
            }
            // A one-chapter book shown whole writes no chapter: no blank after its name.
            if (blank && m_out.size() == afterBlank)
                m_out.pop_back();
        }
    } else if (asOne(chapter) != m_prevChapter) {
        if (!isWhole(chapter)) {
            if (!has(kSpellBookOnly | kSpellVerseOnly))
                writeChapter(book, chapter);
            m_depth = 2;
            if (!isWhole(verse)) {
                writeSeparator(book);
                if (verseShown)
                    writeVerse(book, chapter, verse, part);
                m_depth = 3;
            }
        }
    } else if (!isWhole(verse)) {
        if (verseShown)
            writeVerse(book, chapter, verse, part);
        m_depth = 3;
    }
    m_prevBook = book;
    m_prevChapter = asOne(chapter);
    m_prevVerse = asOne(verse);
}

void SpellingWriter::writeTranslation()
{
    const TranslationRow* row = m_t.translationByNumber(static_cast<int>(m_ref.translation()), true);
    if (!row) {
        m_out += "(ERROR)";
        return;
    }
    if (has(kSpellTranslationParens))
        m_out += '(';
    const std::string& text = has(kSpellTranslationName) ? row->name : row->abbreviation;
    m_out += has(kSpellUTF8) ? cBibleRefText::toUTF8(text) : text;
    if (has(kSpellTranslationParens))
        m_out += ')';
}

std::string SpellingWriter::run()
{
    const bool keyLink = has(kSpellKeyLink | kSpellTypedText);
    const char* listJoiner = has(kSpellSpoken) ? " and " : ",";
    const char* rangeJoiner = has(kSpellSpoken) ? " to " : "-";
    const bibleRefRange* previous = nullptr;
    for (const bibleRefRange* r = m_ref.firstRange(); r; previous = r, r = r->next) {
        const int depth = r->startChapter == -1 ? 1 : r->startVerse == -1 ? 2 : 3;
        if (previous) {
            // A typed separator written after the previous range replaces the joiner.
            const bool typedJoiner = has(kSpellTypedText) && previous->followingText.has_value();
            if (!typedJoiner) {
                const bool list = depth == m_depth &&
                    ((depth == 2 && r->startBook == m_prevBook) ||
                        (depth == 3 && r->startBook == m_prevBook && asOne(r->startChapter) == m_prevChapter));
                m_out += list ? listJoiner : "; ";
            }
            if (m_depth < depth) {
                if (r->startVerse == -1)
                    m_prevBook = kForgotBook;
                else
                    m_prevChapter = kForgotChapter;
            } else if (m_depth > depth) {
                if (r->startChapter != -1)
                    m_prevChapter = kForgotChapter;
                else
                    m_prevBook = kForgotBook;
            } else if (depth == 3) {
                m_prevVerse = kForgotVerse;
            } else if (depth == 2) {
                m_prevChapter = kForgotChapter;
            } else {
                m_prevBook = kForgotBook;
            }
        }

        std::size_t textLinkStart = 0;
        if (keyLink) {
            if (!cBibleRef::isSpan(r)) {
                m_out += "<a href=\"bible:#";
                appendHexByte(m_out, static_cast<std::int32_t>(m_ref.translation()));
                appendHexByte(m_out, r->startBook);
                appendHexByte(m_out, asOne(r->startChapter));
                appendHexByte(m_out, asOne(r->startVerse));
            } else {
                m_out += "<a href=\"bible:-";
                appendHexByte(m_out, static_cast<std::int32_t>(m_ref.translation()));
                for (std::int32_t v :
                    {r->startBook, r->startChapter, r->startVerse, r->endBook, r->endChapter, r->endVerse})
                    appendHexByte(m_out, v);
            }
            m_out += "\">";
        } else if (has(kSpellLinkTag)) {
            m_out += "<LINK BIBLE=";
            writeBookName(r->startBook);
            m_out += ' ';
            appendDecimal(m_out, asOne(r->startChapter));
            m_out += ':';
            appendDecimal(m_out, asOne(r->startVerse));
            m_out += '>';
        } else if (has(kSpellTextLink)) {
            textLinkStart = m_out.size();
        }

        if (has(kSpellTypedText) && r->typedText) {
            m_out += *r->typedText;
        } else {
            writeEndpoint(r->startBook, r->startChapter, r->startVerse, r->startPart);
            const bool said = r->endBook == m_prevBook &&
                (r->endChapter == -2 || asOne(r->endChapter) == m_prevChapter) &&
                (r->endVerse == -2 || asOne(r->endVerse) == m_prevVerse) && r->endPart == r->startPart;
            if (cBibleRef::isSpan(r) && !said) {
                m_out += rangeJoiner;
                writeEndpoint(r->endBook, r->endChapter, r->endVerse, r->endPart);
            }
        }

        if (keyLink) {
            m_out += "</a>";
        } else if (has(kSpellLinkTag)) {
            m_out += "</LINK>";
        } else if (has(kSpellTextLink)) {
            const std::string text = m_out.substr(textLinkStart);
            m_out.resize(textLinkStart);
            m_out += "<a href=\"bible:" + text + "\">" + text + "</a>";
        }
        if (has(kSpellTypedText) && r->followingText)
            m_out += *r->followingText;
    }
    if (has(kSpellTranslation | kSpellTranslationParens | kSpellTranslationName)) {
        if (m_out.empty() || m_out.back() != ' ')
            m_out += ' ';
        writeTranslation();
    }
    return m_out;
}

}  // namespace

// ---------------------------------------------------------------------------------------

bool bibleRefRange::sameFields(const bibleRefRange& o) const
{
    return startBook == o.startBook && startChapter == o.startChapter && startVerse == o.startVerse &&
        startPart == o.startPart && endBook == o.endBook && endChapter == o.endChapter && endVerse == o.endVerse &&
        endPart == o.endPart;
}

cBibleRef::cBibleRef() = default;

cBibleRef::cBibleRef(packedBibleKey key)
{
    setFromKey(key);
}

cBibleRef::cBibleRef(const bibleRefRange* node)
{
    if (!node)
        return;
    appendRangeCopy(*node);
    formatSpelling(0);
}

cBibleRef::cBibleRef(const cBibleRef& other)
{
    copyFrom(other);
}

cBibleRef& cBibleRef::operator=(const cBibleRef& other)
{
    if (this != &other) {
        removeAllRanges();
        copyFrom(other);
    }
    return *this;
}

cBibleRef::~cBibleRef()
{
    removeAllRanges();
}

void cBibleRef::copyFrom(const cBibleRef& other)
{
    m_translation = other.m_translation;
    m_language = other.m_language;
    m_hints = other.m_hints;
    m_spelledWith = other.m_spelledWith;
    m_spelling = other.m_spelling;
    for (const bibleRefRange* r = other.m_first; r; r = r->next)
        appendRangeCopy(*r);
}

bool cBibleRef::operator==(const cBibleRef& other) const
{
    if (m_translation != other.m_translation)
        return false;
    const bibleRefRange* a = m_first;
    const bibleRefRange* b = other.m_first;
    for (; a && b; a = a->next, b = b->next)
        if (!a->sameFields(*b))
            return false;
    return a == nullptr && b == nullptr;
}

void cBibleRef::removeAllRanges()
{
    while (m_first) {
        bibleRefRange* next = m_first->next;
        delete m_first;
        m_first = next;
    }
    m_last = nullptr;
    invalidateSpelling();
}

bibleRefRange* cBibleRef::appendRange()
{
    auto* node = new bibleRefRange;
    if (m_last)
        m_last->next = node;
    else
        m_first = node;
    m_last = node;
    invalidateSpelling();
    return node;
}

bibleRefRange* cBibleRef::appendRangeCopy(const bibleRefRange& range)
{
    bibleRefRange* node = appendRange();
    bibleRefRange* keep = node->next;
    *node = range;
    node->next = keep;
    return node;
}

void cBibleRef::truncateRangesFrom(bibleRefRange* node)
{
    if (!node)
        return;
    bibleRefRange* before = nullptr;
    bibleRefRange* r = m_first;
    while (r && r != node) {
        before = r;
        r = r->next;
    }
    if (!r)
        return;  // not in this list
    while (r) {
        bibleRefRange* next = r->next;
        delete r;
        r = next;
    }
    if (before)
        before->next = nullptr;
    else
        m_first = nullptr;
    m_last = before;
    invalidateSpelling();
}

int cBibleRef::rangeCount() const
{
    int n = 0;
    for (const bibleRefRange* r = m_first; r; r = r->next)
        ++n;
    return n;
}

bool cBibleRef::isSpan(const bibleRefRange* node)
{
    return node &&
        !(node->startBook == node->endBook && node->startChapter == node->endChapter &&
            node->startVerse == node->endVerse && node->startPart == node->endPart);
}

void cBibleRef::setFromKey(packedBibleKey key)
{
    removeAllRanges();
    m_translation = 0;
    m_hints = 0;
    m_spelling.makeEmpty();
    if (key != 0) {
        bibleRefRange* r = appendRange();
        r->startBook = r->endBook = bibleKeyBook(key);
        const int chapter = bibleKeyChapter(key);
        const int verse = bibleKeyVerse(key);
        if (chapter == 255) {
            r->startChapter = -1;
            r->endChapter = -2;
        } else {
            r->startChapter = r->endChapter = chapter;
        }
        if (verse == 255) {
            r->startVerse = -1;
            r->endVerse = -2;
        } else {
            r->startVerse = r->endVerse = verse;
        }
    }
    m_spelledWith = -1;
    formatSpelling(0);
}

packedBibleKey cBibleRef::startKey() const
{
    return startKeyOf(m_first);
}

packedBibleKey cBibleRef::startKeyOf(const bibleRefRange* node)
{
    if (!node)
        return 0;
    const cBibleRefTables::Ptr t = cBibleRefTables::current();
    int chapter = node->startChapter == -1 ? 1 : node->startChapter;
    int verse = node->startVerse == -1 ? 1 : node->startVerse;
    for (const KeyMapRow& row : t->keyMap()) {
        if (row.book > node->startBook)
            break;
        if (row.book != node->startBook || row.chapter != node->startChapter)
            continue;
        if (row.verse != node->startVerse && row.verse != kAnyVerse)
            continue;
        if (row.keyChapter != kAnyVerse)
            chapter = row.keyChapter;
        if (row.keyVerse != kAnyVerse)
            verse = row.keyVerse;
        break;
    }
    return makeBibleKey(node->startBook, chapter, verse);
}

packedBibleKey cBibleRef::endKeyOf(const bibleRefRange* node)
{
    if (!node)
        return 0;
    return makeBibleKey(node->endBook, node->endChapter, node->endVerse);
}

bool cBibleRef::getStartBookChapterVerse(int& nameNumber, int& chapter, int& verse) const
{
    if (!m_first)
        return false;
    const packedBibleKey key = startKey();
    const int book = bibleKeyBook(key);
    nameNumber = cBibleRefTables::current()->nameNumberOfBook(book);
    chapter = bibleKeyChapter(key);
    verse = exchangeVerse(book, chapter, bibleKeyVerse(key), true);
    return true;
}

std::string cBibleRef::nextAlternativeSpelling(int nameNumber, int& index, bool utf8) const
{
    const cBibleRefTables::Ptr t = cBibleRefTables::current();
    const std::vector<BookNameRow>& names = t->bookNames(nameListLanguage());
    const int count = static_cast<int>(names.size());
    for (int i = index < 0 ? 0 : index + 1; i < count; ++i) {
        const BookNameRow& row = names[static_cast<std::size_t>(i)];
        if (row.nameNumber != nameNumber || (row.kinds & kBookNameFull))
            continue;
        index = i;
        return utf8 ? cBibleRefText::toUTF8(row.text) : row.text;
    }
    index = count;
    return std::string();
}

void cBibleRef::formatSpelling(std::uint32_t flags)
{
    if (static_cast<std::int32_t>(flags) == m_spelledWith)
        return;
    m_spelling.makeEmpty();
    if (!m_first)
        return;
    m_spelledWith = static_cast<std::int32_t>(flags);
    std::uint32_t effective = flags;
    if (effective & kSpellSpoken)
        effective |= kSpellFullNames | kSpellSeparatorBlank;
    const cBibleRefTables::Ptr t = cBibleRefTables::current();
    const std::string text = SpellingWriter(*t, *this, effective).run();
    m_spelling.appendChars(text.data(), static_cast<std::int32_t>(text.size()));
}

int cBibleRef::nextChapter()
{
    if (!m_first || m_first->startChapter < 0)
        return 1;
    const int book = m_first->startBook;
    const int chapter = m_first->startChapter + 1;
    if (chapter > 253)
        return 1;
    int verse = 1;
    const cBibleRefTables::Ptr t = cBibleRefTables::current();
    for (const KeyMapRow& row : t->keyMap()) {
        if (row.book > book)
            break;
        if (row.book == book && row.chapter == chapter && (row.verse == -1 || row.verse == kAnyVerse) &&
            row.keyVerse != kAnyVerse) {
            verse = row.keyVerse;
            break;
        }
    }
    const std::uint32_t translation = m_translation;
    const std::uint16_t language = m_language;
    setFromKey(makeBibleKey(book, chapter, verse));
    m_language = language;
    setTranslation(static_cast<int>(translation));
    return 0;
}

int cBibleRef::nextBook()
{
    if (!m_first)
        return 1;
    const cBibleRefTables::Ptr t = cBibleRefTables::current();
    const int translation = m_translation == 0 ? 1 : static_cast<int>(m_translation);
    const int position = t->positionOfBook(translation, m_first->startBook);
    if (position < 0)
        return 1;
    const int book = t->bookAtPosition(translation, position + 1);
    if (book <= 0)
        return 1;
    int chapter = 1, verse = 1;
    for (const KeyMapRow& row : t->keyMap()) {
        if (row.book > book)
            break;
        if (row.book == book && row.chapter == -1) {
            if (row.keyChapter != kAnyVerse)
                chapter = row.keyChapter;
            if (row.keyVerse != kAnyVerse)
                verse = row.keyVerse;
            break;
        }
    }
    const std::uint32_t keep = m_translation;
    const std::uint16_t language = m_language;
    setFromKey(makeBibleKey(book, chapter, verse));
    m_translation = keep;
    m_language = language;
    m_spelledWith = -1;
    return 0;
}

bool cBibleRef::isOneChapterBook(int book)
{
    return cBibleRefTables::current()->isOneChapterBook(book);
}

int cBibleRef::generalCategory() const
{
    if (!m_first)
        return 255;
    const cBibleRefTables::Ptr t = cBibleRefTables::current();
    const CategoryRow* row = t->categories(t->nameNumberOfBook(m_first->startBook));
    return row ? row->general : 255;
}

int cBibleRef::detailedCategory() const
{
    if (!m_first)
        return 255;
    const cBibleRefTables::Ptr t = cBibleRefTables::current();
    const CategoryRow* row = t->categories(t->nameNumberOfBook(m_first->startBook));
    if (!row)
        return 255;
    const TranslationRow* translation = t->translationByNumber(static_cast<int>(m_translation), false);
    return (translation && translation->alternateCategories) ? row->alternateDetailed : row->detailed;
}
