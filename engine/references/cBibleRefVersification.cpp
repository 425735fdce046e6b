#include "engine/references/cBibleRefVersification.h"

#include <algorithm>

namespace {

constexpr int kLargestVerse = 253;

// Rows [first, last) of the verse map whose source book is `book`.
void sourceBookRows(const VerseMapTable& map, int book, std::size_t& first, std::size_t& last)
{
    const auto lower = std::lower_bound(
        map.rows.begin(), map.rows.end(), book, [](const VerseMapRow& row, int b) { return row.sourceBook < b; });
    const auto upper =
        std::upper_bound(lower, map.rows.end(), book, [](int b, const VerseMapRow& row) { return b < row.sourceBook; });
    first = static_cast<std::size_t>(lower - map.rows.begin());
    last = static_cast<std::size_t>(upper - map.rows.begin());
}

bool inTranslation(const cBibleRefTables& t, int translation, int book)
{
    return t.positionOfBook(translation, book) >= 0;
}

bool containsVerse(const VerseMapRow& row, int verse)
{
    return verse >= row.sourceFirstVerse && (row.sourceLastVerse == kToChapterEnd || verse <= row.sourceLastVerse);
}

void addKeyPair(cLIntArray& starts, cLIntArray& ends, packedBibleKey start, packedBibleKey end)
{
    for (std::int32_t i = 0; i < starts.count(); ++i)
        if (starts.getAt(i) == static_cast<std::int32_t>(start) && ends.getAt(i) == static_cast<std::int32_t>(end))
            return;
    starts.add(static_cast<std::int32_t>(start));
    ends.add(static_cast<std::int32_t>(end));
}

}  // namespace

bool cBibleRefVersification::needsRemap(const cBibleRefTables& t, int book, int translation)
{
    const int nameNumber = t.nameNumberOfBook(book);
    if (nameNumber == 0)
        return false;
    std::size_t first = 0, last = 0;
    sourceBookRows(t.verseMap(), book, first, last);
    for (std::size_t i = first; i < last; ++i) {
        const VerseMapRow& row = t.verseMap().rows[i];
        if (row.targetBook != book && t.nameNumberOfBook(row.targetBook) == nameNumber &&
            inTranslation(t, translation, row.targetBook))
            return true;
    }
    return false;
}

bool cBibleRefVersification::mapPoint(const cBibleRefTables& t, int translation, int intoBook, std::int32_t& book,
    std::int32_t& chapter, std::int32_t& verse)
{
    const bool intoGivenBook = intoBook > 0;
    if (intoGivenBook) {
        if (book == intoBook)
            return true;
    } else {
        if (inTranslation(t, translation, book) && !needsRemap(t, book, translation))
            return true;
        // The Psalm 151 of translation 6 has its own book number.
        if (translation == 6 && book == 88 && chapter == 151)
            return true;
        if (translation == 6 && book == 19 && chapter == 151) {
            book = 88;
            return true;
        }
    }
    const auto applies = [&](const VerseMapRow& row) {
        return intoGivenBook ? row.targetBook == intoBook : inTranslation(t, translation, row.targetBook);
    };
    const VerseMapTable& map = t.verseMap();
    const VerseMapRow* lastApplying = nullptr;
    if (chapter >= 0 && chapter <= 255) {
        const int firstRow = t.firstVerseMapRow(book, chapter);
        for (std::size_t i = firstRow < 0 ? map.rows.size() : static_cast<std::size_t>(firstRow); i < map.rows.size();
             ++i) {
            const VerseMapRow& row = map.rows[i];
            if (row.sourceBook != book || row.sourceChapter != chapter)
                break;
            if (!applies(row))
                continue;
            if (verse == -1 || verse == -2) {
                book = row.targetBook;
                chapter = row.targetChapter;
                return true;
            }
            lastApplying = &row;
            if (!containsVerse(row, verse))
                continue;
            const int mapped = row.targetFirstVerse + row.step * (verse - row.sourceFirstVerse);
            if (mapped < 0 || mapped > kLargestVerse)
                continue;
            book = row.targetBook;
            chapter = row.targetChapter;
            verse = mapped;
            return true;
        }
    }
    // No row holds the verse: take the book from the chapter's last applying row, or from
    // the first applying row of the source book; chapter and verse stay.
    int chosen = lastApplying ? lastApplying->targetBook : 0;
    if (chosen == 0) {
        std::size_t first = 0, last = 0;
        sourceBookRows(map, book, first, last);
        for (std::size_t i = first; i < last && chosen == 0; ++i)
            if (applies(map.rows[i]))
                chosen = map.rows[i].targetBook;
    }
    if (chosen == 0)
        return false;
    for (const SpecialCaseRow& row : t.specialCases()) {
        if (row.targetBook != chosen || row.sourceBook != book)
            continue;
        if (chapter < row.firstChapter || chapter > row.lastChapter)
            continue;
        if ((row.firstVerse != kAnyVerse && verse < row.firstVerse) ||
            (row.lastVerse != kAnyVerse && verse > row.lastVerse))
            continue;
        if (intoGivenBook || row.replacementBook <= 0)
            return false;
        chosen = row.replacementBook;
        break;
    }
    book = chosen;
    return true;
}

bool cBibleRefVersification::mapRange(const cBibleRefTables& t, bibleRefRange& range, int translation)
{
    const bool point = !cBibleRef::isSpan(&range);
    std::int32_t sb = range.startBook, sc = range.startChapter, sv = range.startVerse;
    if (!mapPoint(t, translation, 0, sb, sc, sv))
        return false;
    std::int32_t eb = range.endBook, ec = range.endChapter, ev = range.endVerse;
    if (point) {
        eb = sb;
        ec = sc;
        ev = sv;
    } else if (!mapPoint(t, translation, 0, eb, ec, ev)) {
        return false;
    }
    range.startBook = sb;
    range.startChapter = sc;
    range.startVerse = sv;
    range.endBook = eb;
    range.endChapter = ec;
    range.endVerse = ev;
    return true;
}

bool cBibleRef::setTranslation(int translation)
{
    m_translation = translation > 0 ? static_cast<std::uint32_t>(translation) : 0;
    m_spelledWith = -1;
    if (translation <= 0)
        return true;
    const cBibleRefTables::Ptr t = cBibleRefTables::current();
    for (bibleRefRange* r = m_first; r; r = r->next)
        if (!cBibleRefVersification::mapRange(*t, *r, translation))
            return false;
    return true;
}

void cBibleRef::collectEquivalentKeys(cLIntArray& startKeys, cLIntArray& endKeys) const
{
    startKeys.removeAll();
    endKeys.removeAll();
    if (!m_first)
        return;
    const packedBibleKey key = startKey();
    startKeys.add(static_cast<std::int32_t>(key));
    endKeys.add(static_cast<std::int32_t>(key));
    const int book = bibleKeyBook(key);
    const int chapter = bibleKeyChapter(key);
    const int verse = bibleKeyVerse(key);

    const cBibleRefTables::Ptr t = cBibleRefTables::current();
    const VerseMapTable& map = t->verseMap();
    const auto lower = std::lower_bound(map.byTarget.begin(), map.byTarget.end(), book,
        [&](std::uint32_t i, int b) { return map.rows[i].targetBook < b; });
    const auto upper = std::upper_bound(
        lower, map.byTarget.end(), book, [&](int b, std::uint32_t i) { return b < map.rows[i].targetBook; });

    // The same chapter and verse in every other source book that maps into this book.
    std::vector<int> sourceBooks;
    for (auto it = lower; it != upper; ++it) {
        const int source = map.rows[*it].sourceBook;
        if (std::find(sourceBooks.begin(), sourceBooks.end(), source) != sourceBooks.end())
            continue;
        sourceBooks.push_back(source);
        std::int32_t b = source, c = chapter, v = verse;
        if (cBibleRefVersification::mapPoint(*t, 0, book, b, c, v) && c == chapter && v == verse) {
            const packedBibleKey k = makeBibleKey(source, chapter, verse);
            addKeyPair(startKeys, endKeys, k, k);
        }
    }
    // Rows whose target verses cover this verse.
    for (auto it = lower; it != upper; ++it) {
        const VerseMapRow& row = map.rows[*it];
        if (row.targetChapter != chapter)
            continue;
        const int span =
            (row.sourceLastVerse == kToChapterEnd ? kLargestVerse : row.sourceLastVerse) - row.sourceFirstVerse;
        const int reach = row.targetFirstVerse + row.step * span;
        const int low = std::min<int>(row.targetFirstVerse, reach);
        const int high = std::max<int>(row.targetFirstVerse, reach);
        if (verse < low || verse > high)
            continue;
        if (row.step != 0) {
            const int sourceVerse = row.sourceFirstVerse + (verse - row.targetFirstVerse) * row.step;
            if (sourceVerse < 0 || sourceVerse > kLargestVerse)
                continue;
            const packedBibleKey k = makeBibleKey(row.sourceBook, row.sourceChapter, sourceVerse);
            addKeyPair(startKeys, endKeys, k, k);
        } else {
            const int lastVerse = row.sourceLastVerse == kToChapterEnd ? 254 : row.sourceLastVerse;
            addKeyPair(startKeys, endKeys, makeBibleKey(row.sourceBook, row.sourceChapter, row.sourceFirstVerse),
                makeBibleKey(row.sourceBook, row.sourceChapter, lastVerse));
        }
    }
}
