#include "engine/references/cBibleRefTables.h"
#include "engine/references/cBibleRefText.h"

#include "engine/references/cBibleRefDefaults.h"
#include "engine/references/cBibleRefTableReader.h"

#include <algorithm>
#include <cctype>
#include <functional>

// Position cache: one byte per (translation, book) pair, kUnknownPosition until the row of
// that translation is filled; kAbsent marks a book that is not in the list.
struct cBibleRefTables::PositionCache {
    static constexpr std::uint8_t kAbsent = 254;
    int books = 0;         // book count + 1 columns (book numbers 0..book count)
    int translations = 0;  // rows for translations 1..translations
    std::unique_ptr<std::atomic<std::uint8_t>[]> cells;
    std::unique_ptr<std::atomic<bool>[]> filled;
};

namespace {

std::mutex gTablesMutex;
std::shared_ptr<cBibleRefTables> gTables;  // guarded by gTablesMutex

using Rows = std::vector<cBibleRefTableReader::Row>;

template <typename T> std::shared_ptr<const T> share(T value)
{
    return std::make_shared<const T>(std::move(value));
}

// Field i of a row (stored or handed over) as a number within [low, high].
template <typename RowType>
bool numberField(const RowType& row, std::size_t i, std::int64_t low, std::int64_t high, std::int64_t& out)
{
    return i < row.size() && cBibleRefTableReader::parseNumber(row[i], out) && out >= low && out <= high;
}

bool flagField(const cBibleRefTableReader::Row& row, std::size_t i, std::uint8_t& out)
{
    std::int64_t v = 0;
    if (!numberField(row, i, -2147483648LL, 2147483647LL, v))
        return false;
    out = v != 0 ? 1 : 0;
    return true;
}

bool equalsIgnoreCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

}  // namespace

// Grants the loaders below write access to a snapshot under construction.
class cBibleRefTablesAccess {
public:
    static std::shared_ptr<cBibleRefTables> copyCurrent(bool withDefaults)
    {
        if (!gTables)
            gTables = initialTables();
        if (withDefaults && gTables->anyEmpty()) {
            auto copy = std::make_shared<cBibleRefTables>(*gTables);
            copy->ensureDefaults();
            gTables = copy;
        }
        return std::make_shared<cBibleRefTables>(*gTables);
    }

    static std::shared_ptr<cBibleRefTables> initialTables()
    {
        // Only the book-number tables start loaded; every other table starts empty and
        // takes its default on first use.
        auto tables = std::make_shared<cBibleRefTables>();
        tables->m_bookNumToNameNum = share(cBibleRefDefaults::bookNumToNameNum());
        tables->m_totalOrder = share(cBibleRefDefaults::totalOrderOnBookNumber());
        tables->m_versions[idx(BibleRefTable::BookNumToNameNum)] = cBibleRefDefaults::kBookNumToNameNumVersion;
        tables->m_versions[idx(BibleRefTable::TotalOrderOnBookNumber)] = cBibleRefDefaults::kTotalOrderVersion;
        return tables;
    }

    static std::size_t idx(BibleRefTable t) { return static_cast<std::size_t>(t); }

    static std::uint32_t loadedVersion(BibleRefTable t)
    {
        std::lock_guard<std::mutex> lock(gTablesMutex);
        if (!gTables)
            gTables = initialTables();
        return gTables->m_versions[idx(t)];
    }

    // Installs a table built by `fill` when the version is still greater than the loaded
    // one (a concurrent loader may have installed a newer table meanwhile).
    static void install(BibleRefTable t, std::uint32_t version, const std::function<void(cBibleRefTables&)>& fill)
    {
        std::lock_guard<std::mutex> lock(gTablesMutex);
        auto next = copyCurrent(false);
        if (version <= next->m_versions[idx(t)])
            return;
        fill(*next);
        next->m_versions[idx(t)] = version;
        gTables = next;
    }

    static std::int32_t bookNames(std::FILE* english, std::FILE* spanish);
    static std::int32_t bookNumToNameNum(std::FILE* file);
    static std::int32_t totalOrder(std::FILE* file);
    static std::int32_t translationList(std::FILE* file);
    static std::int32_t bibleBooks(std::FILE* file);
    static std::int32_t categories(std::FILE* file);
    static std::int32_t verseMap(std::FILE* file);
    static std::int32_t fixUps(std::FILE* file);
    static std::int32_t keyMap(std::FILE* file);
    static std::int32_t specialCases(std::FILE* file);
    static std::int32_t chapterWords(std::FILE* file);
    static std::int32_t oneChapterBooks(std::FILE* file);
    static void reset(BibleRefTable t, int mode);
    static int addCustomTranslation(const std::string& abbreviation, const std::string& name, const std::string& books);
    static void freeCache();

private:
    static std::int32_t parseBookNames(const Rows& rows, std::vector<BookNameRow>& out);
};

// ---------------------------------------------------------------------------------------
// Snapshot

cBibleRefTables::cBibleRefTables(const cBibleRefTables& other)
    : m_english(other.m_english),
      m_spanish(other.m_spanish),
      m_bookNumToNameNum(other.m_bookNumToNameNum),
      m_totalOrder(other.m_totalOrder),
      m_translations(other.m_translations),
      m_bibleBooks(other.m_bibleBooks),
      m_categories(other.m_categories),
      m_verseMap(other.m_verseMap),
      m_fixUps(other.m_fixUps),
      m_keyMap(other.m_keyMap),
      m_specialCases(other.m_specialCases),
      m_chapterWords(other.m_chapterWords),
      m_oneChapterBooks(other.m_oneChapterBooks),
      m_versions(other.m_versions)
{
}

cBibleRefTables::~cBibleRefTables()
{
    delete m_positionCache.load();
}

bool cBibleRefTables::anyEmpty() const
{
    return !m_english || !m_spanish || !m_bookNumToNameNum || !m_totalOrder || !m_translations || !m_bibleBooks ||
        !m_categories || !m_verseMap || !m_fixUps || !m_keyMap || !m_specialCases || !m_chapterWords ||
        !m_oneChapterBooks;
}

void cBibleRefTables::ensureDefaults()
{
    using A = cBibleRefTablesAccess;
    auto v = [this](BibleRefTable t) -> std::uint32_t& { return m_versions[A::idx(t)]; };
    if ((!m_english || m_english->empty()) && (!m_spanish || m_spanish->empty())) {
        m_english = share(cBibleRefDefaults::englishBookNames());
        m_spanish = share(cBibleRefDefaults::spanishBookNames());
        v(BibleRefTable::BookNames) = cBibleRefDefaults::kBookNamesVersion;
    }
    if (!m_english)
        m_english = share(std::vector<BookNameRow>());
    if (!m_spanish)
        m_spanish = share(std::vector<BookNameRow>());
    if (!m_bookNumToNameNum) {
        m_bookNumToNameNum = share(cBibleRefDefaults::bookNumToNameNum());
        v(BibleRefTable::BookNumToNameNum) = cBibleRefDefaults::kBookNumToNameNumVersion;
    }
    if (!m_totalOrder) {
        m_totalOrder = share(cBibleRefDefaults::totalOrderOnBookNumber());
        v(BibleRefTable::TotalOrderOnBookNumber) = cBibleRefDefaults::kTotalOrderVersion;
    }
    if (!m_translations) {
        m_translations = share(cBibleRefDefaults::translations());
        v(BibleRefTable::TranslationList) = cBibleRefDefaults::kTranslationListVersion;
    }
    if (!m_bibleBooks) {
        m_bibleBooks = share(cBibleRefDefaults::bibleBooks());
        v(BibleRefTable::BibleBooks) = cBibleRefDefaults::kBibleBooksVersion;
    }
    if (!m_categories) {
        m_categories = share(cBibleRefDefaults::categories());
        v(BibleRefTable::NameNumberToBookCategories) = cBibleRefDefaults::kCategoriesVersion;
    }
    if (!m_verseMap) {
        static const auto defaultMap = share(cBibleRefDefaults::verseMap());
        m_verseMap = defaultMap;
        v(BibleRefTable::VerseMap) = cBibleRefDefaults::kVerseMapVersion;
    }
    if (!m_fixUps) {
        m_fixUps = share(cBibleRefDefaults::fixUps());
        v(BibleRefTable::FixUpRefMap) = cBibleRefDefaults::kFixUpRefMapVersion;
    }
    if (!m_keyMap) {
        m_keyMap = share(cBibleRefDefaults::keyMap());
        v(BibleRefTable::GetKeyMap) = cBibleRefDefaults::kGetKeyMapVersion;
    }
    if (!m_specialCases) {
        m_specialCases = share(cBibleRefDefaults::specialCases());
        v(BibleRefTable::DoMapSpecialCasesMap) = cBibleRefDefaults::kSpecialCasesVersion;
    }
    if (!m_chapterWords) {
        m_chapterWords = share(cBibleRefDefaults::chapterWords());
        v(BibleRefTable::GetChapterNumberSpellingMap) = cBibleRefDefaults::kChapterWordsVersion;
    }
    if (!m_oneChapterBooks) {
        m_oneChapterBooks = share(cBibleRefDefaults::oneChapterBooks());
        v(BibleRefTable::IsOneChapterBookList) = cBibleRefDefaults::kOneChapterBooksVersion;
    }
}

cBibleRefTables::Ptr cBibleRefTables::current()
{
    std::lock_guard<std::mutex> lock(gTablesMutex);
    if (!gTables)
        gTables = cBibleRefTablesAccess::initialTables();
    if (gTables->anyEmpty()) {
        auto copy = std::make_shared<cBibleRefTables>(*gTables);
        copy->ensureDefaults();
        gTables = copy;
    }
    return gTables;
}

std::uint32_t cBibleRefTables::version(BibleRefTable table)
{
    return current()->m_versions[cBibleRefTablesAccess::idx(table)];
}

void cBibleRefTables::resetTable(BibleRefTable table, int mode)
{
    cBibleRefTablesAccess::reset(table, mode);
}

int cBibleRefTables::addCustomTranslation(
    const std::string& abbreviation, const std::string& name, const std::string& books)
{
    return cBibleRefTablesAccess::addCustomTranslation(abbreviation, name, books);
}

void cBibleRefTables::allocateTranslationBookPositionCache()
{
    current()->positionCache();
}

void cBibleRefTables::freeTranslationBookPositionCache()
{
    cBibleRefTablesAccess::freeCache();
}

void cBibleRefTables::sortVerseMapIndex()
{
    std::lock_guard<std::mutex> lock(gTablesMutex);
    auto next = cBibleRefTablesAccess::copyCurrent(true);
    VerseMapTable table = *next->m_verseMap;
    sortVerseMapIndex(table);
    next->m_verseMap = share(std::move(table));
    gTables = next;
}

void cBibleRefTables::sortVerseMapIndex(VerseMapTable& table)
{
    table.byTarget.resize(table.rows.size());
    for (std::uint32_t i = 0; i < table.byTarget.size(); ++i)
        table.byTarget[i] = i;
    std::stable_sort(table.byTarget.begin(), table.byTarget.end(),
        [&](std::uint32_t a, std::uint32_t b) { return table.rows[a].targetBook < table.rows[b].targetBook; });
}

// ---------------------------------------------------------------------------------------
// Lookups

int cBibleRefTables::nameNumberOfBook(int book) const
{
    if (book < 1 || book > static_cast<int>(m_bookNumToNameNum->size()))
        return 0;
    const int n = (*m_bookNumToNameNum)[static_cast<std::size_t>(book - 1)];
    return n == 255 ? 0 : n;
}

const BibleBookList* cBibleRefTables::bookList(int translation) const
{
    if (translation < 1 || translation > static_cast<int>(m_bibleBooks->size()))
        return nullptr;
    return &(*m_bibleBooks)[static_cast<std::size_t>(translation - 1)];
}

int cBibleRefTables::bookForName(int nameNumber, int translation) const
{
    if (nameNumber <= 0)
        return 0;
    if (translation == 0) {
        for (std::size_t i = 0; i < m_bookNumToNameNum->size(); ++i)
            if ((*m_bookNumToNameNum)[i] == nameNumber)
                return static_cast<int>(i + 1);
        return 0;
    }
    const BibleBookList* list = bookList(translation);
    if (!list)
        return 0;
    for (std::int16_t book : *list) {
        if (book == kBookListEnd)
            break;
        if (nameNumberOfBook(book) == nameNumber)
            return book;
    }
    return 0;
}

cBibleRefTables::PositionCache* cBibleRefTables::positionCache() const
{
    PositionCache* cache = m_positionCache.load(std::memory_order_acquire);
    if (cache)
        return cache;
    std::lock_guard<std::mutex> lock(m_positionCacheMutex);
    cache = m_positionCache.load(std::memory_order_acquire);
    if (cache)
        return cache;
    auto fresh = std::make_unique<PositionCache>();
    fresh->books = bookCount() + 1;
    fresh->translations = translationCount();
    const std::size_t cells = static_cast<std::size_t>(fresh->books) * static_cast<std::size_t>(fresh->translations);
    fresh->cells = std::make_unique<std::atomic<std::uint8_t>[]>(cells);
    fresh->filled = std::make_unique<std::atomic<bool>[]>(static_cast<std::size_t>(fresh->translations));
    for (std::size_t i = 0; i < cells; ++i)
        fresh->cells[i].store(PositionCache::kAbsent, std::memory_order_relaxed);
    for (int i = 0; i < fresh->translations; ++i)
        fresh->filled[i].store(false, std::memory_order_relaxed);
    cache = fresh.release();
    m_positionCache.store(cache, std::memory_order_release);
    return cache;
}

int cBibleRefTables::positionOfBook(int translation, int book) const
{
    const BibleBookList* list = bookList(translation);
    if (!list || book < 1 || book > bookCount())
        return -1;
    PositionCache* cache = positionCache();
    const std::size_t row = static_cast<std::size_t>(translation - 1) * static_cast<std::size_t>(cache->books);
    if (!cache->filled[translation - 1].load(std::memory_order_acquire)) {
        // Filling is idempotent, so two threads may fill the same row at once.
        std::vector<bool> seen(static_cast<std::size_t>(cache->books), false);
        for (int slot = 0; slot < kBookListSlots; ++slot) {
            const int b = (*list)[static_cast<std::size_t>(slot)];
            if (b == kBookListEnd)
                break;
            if (b < 1 || b >= cache->books || seen[static_cast<std::size_t>(b)])
                continue;
            seen[static_cast<std::size_t>(b)] = true;
            cache->cells[row + static_cast<std::size_t>(b)].store(
                static_cast<std::uint8_t>(slot), std::memory_order_relaxed);
        }
        cache->filled[translation - 1].store(true, std::memory_order_release);
    }
    const std::uint8_t p = cache->cells[row + static_cast<std::size_t>(book)].load(std::memory_order_relaxed);
    return p == PositionCache::kAbsent ? -1 : p;
}

int cBibleRefTables::bookAtPosition(int translation, int position) const
{
    const BibleBookList* list = bookList(translation);
    if (!list || position < 0 || position >= kBookListSlots)
        return -1;
    for (int slot = 0; slot <= position; ++slot)
        if ((*list)[static_cast<std::size_t>(slot)] == kBookListEnd)
            return -1;
    return (*list)[static_cast<std::size_t>(position)];
}

const TranslationRow* cBibleRefTables::translationByNumber(int number, bool shownOnly) const
{
    for (const TranslationRow& row : *m_translations)
        if (row.number == number && number > 0 && (!shownOnly || row.shown))
            return &row;
    return nullptr;
}

const TranslationRow* cBibleRefTables::translationByAbbreviation(const std::string& abbreviation) const
{
    for (const TranslationRow& row : *m_translations)
        if (equalsIgnoreCase(row.abbreviation, abbreviation))
            return &row;
    return nullptr;
}

const std::vector<BookNameRow>& cBibleRefTables::bookNames(int language) const
{
    return language == kLanguageSpanish ? *m_spanish : *m_english;
}

const CategoryRow* cBibleRefTables::categories(int nameNumber) const
{
    if (nameNumber < 0 || nameNumber >= static_cast<int>(m_categories->size()))
        return nullptr;
    return &(*m_categories)[static_cast<std::size_t>(nameNumber)];
}

bool cBibleRefTables::isOneChapterBook(int book) const
{
    for (std::int32_t b : *m_oneChapterBooks) {
        if (b == -1)
            break;
        if (b == book)
            return true;
    }
    return false;
}

const ChapterWordRow* cBibleRefTables::chapterWordForSpelling(int book, int chapter) const
{
    for (const ChapterWordRow& row : *m_chapterWords)
        if (row.book == book && row.chapter == chapter && row.usedForSpelling)
            return &row;
    return nullptr;
}

int cBibleRefTables::firstVerseMapRow(int sourceBook, int sourceChapter) const
{
    const std::vector<VerseMapRow>& rows = m_verseMap->rows;
    const auto key = [](int book, int chapter) { return book * 256 + chapter; };
    const int wanted = key(sourceBook, sourceChapter);
    const auto it = std::lower_bound(rows.begin(), rows.end(), wanted,
        [&](const VerseMapRow& row, int k) { return key(row.sourceBook, row.sourceChapter) < k; });
    if (it == rows.end() || key(it->sourceBook, it->sourceChapter) != wanted)
        return -1;
    return static_cast<int>(it - rows.begin());
}

// ---------------------------------------------------------------------------------------
// Loaders

std::int32_t cBibleRefTablesAccess::parseBookNames(const Rows& rows, std::vector<BookNameRow>& out)
{
    out.clear();
    out.reserve(rows.size());
    for (const auto& row : rows) {
        if (row.size() < 5)
            return kBibleRefLoadMalformed;
        std::int64_t minimum = 0, nameNumber = 0;
        std::uint8_t abbreviation = 0, full = 0, matchOnly = 0;
        if (!numberField(row, 1, 0, 255, minimum) || !numberField(row, 2, 0, 255, nameNumber) ||
            !flagField(row, 3, abbreviation) || !flagField(row, 4, full))
            return kBibleRefLoadMismatch;
        if (row.size() >= 8 && !flagField(row, 7, matchOnly))
            return kBibleRefLoadMismatch;
        if (row[0].empty())
            return kBibleRefLoadMismatch;
        BookNameRow name;
        // Book names are kept in Latin-1 like the built-in rows, so every spelling of a list comes
        // out in one encoding; a file that brings them in UTF-8 is read all the same.
        name.text = cBibleRefText::toLatin1IfPossible(row[0]);
        name.minimumMatch = static_cast<std::uint8_t>(minimum);
        name.nameNumber = static_cast<std::uint8_t>(nameNumber);
        name.kinds = static_cast<std::uint8_t>((abbreviation ? kBookNameAbbreviationSource : 0) |
            (full ? kBookNameFull : 0) | (matchOnly ? kBookNameMatchOnly : 0));
        out.push_back(std::move(name));
    }
    return kBibleRefLoadOk;
}

std::int32_t cBibleRefTablesAccess::bookNames(std::FILE* english, std::FILE* spanish)
{
    // Both lists share one version. The English file replaces the English list and sets
    // the version; the Spanish file must then be newer still.
    const std::uint32_t loaded = loadedVersion(BibleRefTable::BookNames);
    cBibleRefTableReader::Result en = cBibleRefTableReader(english).readStrict(loaded, false);
    if (en.code != kBibleRefLoadOk)
        return en.code;
    if (en.newer) {
        if (en.rows.size() != en.count)
            return kBibleRefLoadMismatch;
        std::vector<BookNameRow> rows;
        if (const std::int32_t code = parseBookNames(en.rows, rows); code != kBibleRefLoadOk)
            return code;
        install(BibleRefTable::BookNames, en.version, [&](cBibleRefTables& t) {
            t.m_english = share(std::move(rows));
            if (!t.m_spanish)
                t.m_spanish = share(cBibleRefDefaults::spanishBookNames());
        });
    }
    const std::uint32_t afterEnglish = loadedVersion(BibleRefTable::BookNames);
    cBibleRefTableReader::Result es = cBibleRefTableReader(spanish).readStrict(afterEnglish, false);
    if (es.code != kBibleRefLoadOk || !es.newer)
        return es.code;
    if (es.rows.size() != es.count)
        return kBibleRefLoadMismatch;
    std::vector<BookNameRow> rows;
    if (const std::int32_t code = parseBookNames(es.rows, rows); code != kBibleRefLoadOk)
        return code;
    install(BibleRefTable::BookNames, es.version, [&](cBibleRefTables& t) {
        t.m_spanish = share(std::move(rows));
        if (!t.m_english)
            t.m_english = share(cBibleRefDefaults::englishBookNames());
    });
    return kBibleRefLoadOk;
}

std::int32_t cBibleRefTablesAccess::bookNumToNameNum(std::FILE* file)
{
    auto r = cBibleRefTableReader(file).readStrict(loadedVersion(BibleRefTable::BookNumToNameNum), true);
    if (r.code != kBibleRefLoadOk || !r.newer)
        return r.code;
    // Count is the table size; a key holds at most book number 255.
    if (r.count > static_cast<std::uint32_t>(kMaxBookNumber))
        return kBibleRefLoadMismatch;
    std::vector<std::uint8_t> table(r.count, 0);
    for (const auto& row : r.rows) {
        if (row.size() < 2)
            return kBibleRefLoadMalformed;
        std::int64_t book = 0, name = 0;
        if (!numberField(row, 0, 1, r.count, book) || !numberField(row, 1, 0, 255, name))
            return kBibleRefLoadMismatch;
        table[static_cast<std::size_t>(book - 1)] = static_cast<std::uint8_t>(name);
    }
    install(BibleRefTable::BookNumToNameNum, r.version,
        [&](cBibleRefTables& t) { t.m_bookNumToNameNum = share(std::move(table)); });
    return kBibleRefLoadOk;
}

std::int32_t cBibleRefTablesAccess::totalOrder(std::FILE* file)
{
    auto r = cBibleRefTableReader(file).readStrict(loadedVersion(BibleRefTable::TotalOrderOnBookNumber), true);
    if (r.code != kBibleRefLoadOk || !r.newer)
        return r.code;
    if (r.count > cBibleRefTableReader::kMaxRows)
        return kBibleRefLoadMismatch;
    std::vector<std::int32_t> order(r.count, 0);
    for (const auto& row : r.rows) {
        if (row.size() < 2)
            return kBibleRefLoadMalformed;
        std::int64_t position = 0, book = 0;
        if (!numberField(row, 0, 1, r.count, position) || !numberField(row, 1, 0, 32767, book))
            return kBibleRefLoadMismatch;
        order[static_cast<std::size_t>(position - 1)] = static_cast<std::int32_t>(book);
    }
    install(BibleRefTable::TotalOrderOnBookNumber, r.version,
        [&](cBibleRefTables& t) { t.m_totalOrder = share(std::move(order)); });
    return kBibleRefLoadOk;
}

std::int32_t cBibleRefTablesAccess::translationList(std::FILE* file)
{
    auto r = cBibleRefTableReader(file).readStrict(loadedVersion(BibleRefTable::TranslationList), true);
    if (r.code != kBibleRefLoadOk || !r.newer)
        return r.code;
    if (r.rows.size() != r.count)
        return kBibleRefLoadMismatch;
    std::vector<TranslationRow> rows;
    rows.reserve(r.rows.size());
    for (const auto& row : r.rows) {
        if (row.size() < 4)
            return kBibleRefLoadMalformed;
        std::int64_t number = 0;
        TranslationRow t;
        if (row[0].empty() || !numberField(row, 2, 0, 255, number) || !flagField(row, 3, t.shown))
            return kBibleRefLoadMismatch;
        t.abbreviation = row[0];
        t.name = row[1];
        for (std::size_t p = 0; (p = t.name.find("''", p)) != std::string::npos; ++p)
            t.name.erase(p, 1);
        t.number = static_cast<std::uint8_t>(number);
        if (row.size() >= 5) {
            if (!flagField(row, 4, t.alternateCategories))
                return kBibleRefLoadMismatch;
        } else {
            t.alternateCategories = (t.abbreviation == "NAB" || t.abbreviation == "NABRE") ? 1 : 0;
        }
        rows.push_back(std::move(t));
    }
    install(BibleRefTable::TranslationList, r.version,
        [&](cBibleRefTables& t) { t.m_translations = share(std::move(rows)); });
    return kBibleRefLoadOk;
}

std::int32_t cBibleRefTablesAccess::bibleBooks(std::FILE* file)
{
    // The largest table (a row per book of each translation): its rows are checked as they are read,
    // without keeping them. The first bad row decides the answer unless the file itself is bad.
    std::vector<BibleBookList> lists;
    int position = 0;
    std::int32_t rowFault = kBibleRefLoadOk;
    auto onRow = [&](const cBibleRefTableReader::Fields& row) {
        if (rowFault != kBibleRefLoadOk)
            return;
        if (row.size() < 3) {
            rowFault = kBibleRefLoadMalformed;
            return;
        }
        std::int64_t translation = 0, pos = 0, book = 0;
        if (!numberField(row, 0, 1, kMaxTranslations, translation) ||
            !numberField(row, 1, 0, kMaxBooksPerTranslation - 1, pos) || !numberField(row, 2, 1, 32767, book)) {
            rowFault = kBibleRefLoadMismatch;
            return;
        }
        if (translation == static_cast<std::int64_t>(lists.size()) + 1 && pos == 0) {
            BibleBookList list;
            list.fill(kBookListEnd);
            lists.push_back(list);
            position = 0;
        } else if (translation != static_cast<std::int64_t>(lists.size()) || pos != position + 1) {
            rowFault = kBibleRefLoadMismatch;
            return;
        } else {
            position = static_cast<int>(pos);
        }
        lists.back()[static_cast<std::size_t>(position)] = static_cast<std::int16_t>(book);
    };
    auto r = cBibleRefTableReader(file).readStrict(loadedVersion(BibleRefTable::BibleBooks), true, onRow);
    if (r.code != kBibleRefLoadOk || !r.newer)
        return r.code;
    if (rowFault != kBibleRefLoadOk)
        return rowFault;
    if (lists.size() != r.count)
        return kBibleRefLoadMismatch;
    install(
        BibleRefTable::BibleBooks, r.version, [&](cBibleRefTables& t) { t.m_bibleBooks = share(std::move(lists)); });
    return kBibleRefLoadOk;
}

std::int32_t cBibleRefTablesAccess::categories(std::FILE* file)
{
    auto r = cBibleRefTableReader(file).readStrict(loadedVersion(BibleRefTable::NameNumberToBookCategories), true);
    if (r.code != kBibleRefLoadOk || !r.newer)
        return r.code;
    std::vector<CategoryRow> rows;
    rows.reserve(r.rows.size());
    for (const auto& row : r.rows) {
        if (row.size() < 4)
            return kBibleRefLoadMalformed;
        std::int64_t name = 0, general = 0, detailed = 0, alternate = 0;
        if (!numberField(row, 0, 0, 255, name) || name != static_cast<std::int64_t>(rows.size()) ||
            !numberField(row, 1, 0, 255, general) || !numberField(row, 2, 0, 255, detailed) ||
            !numberField(row, 3, 0, 255, alternate))
            return kBibleRefLoadMismatch;
        rows.push_back({static_cast<std::uint8_t>(general), static_cast<std::uint8_t>(detailed),
            static_cast<std::uint8_t>(alternate)});
    }
    if (rows.size() != r.count)
        return kBibleRefLoadMismatch;
    install(BibleRefTable::NameNumberToBookCategories, r.version,
        [&](cBibleRefTables& t) { t.m_categories = share(std::move(rows)); });
    return kBibleRefLoadOk;
}

std::int32_t cBibleRefTablesAccess::verseMap(std::FILE* file)
{
    auto r = cBibleRefTableReader(file).readStrict(loadedVersion(BibleRefTable::VerseMap), true);
    if (r.code != kBibleRefLoadOk || !r.newer)
        return r.code;
    VerseMapTable table;
    table.rows.reserve(r.rows.size());
    for (const auto& row : r.rows) {
        if (row.size() < 8)
            return kBibleRefLoadMalformed;
        std::int64_t v[8] = {};
        for (std::size_t i = 0; i < 7; ++i)
            if (!numberField(row, i, 0, 255, v[i]))
                return kBibleRefLoadMismatch;
        // The step is a signed byte; files may write it either way.
        if (!numberField(row, 7, -128, 255, v[7]))
            return kBibleRefLoadMismatch;
        table.rows.push_back(
            {static_cast<std::uint8_t>(v[0]), static_cast<std::uint8_t>(v[1]), static_cast<std::uint8_t>(v[2]),
                static_cast<std::uint8_t>(v[3]), static_cast<std::uint8_t>(v[4]), static_cast<std::uint8_t>(v[5]),
                static_cast<std::uint8_t>(v[6]), static_cast<std::int8_t>(static_cast<std::uint8_t>(v[7]))});
    }
    if (table.rows.size() != r.count)
        return kBibleRefLoadMismatch;
    // The mapper binary-searches by source book and chapter.
    const auto key = [](const VerseMapRow& x) { return x.sourceBook * 256 + x.sourceChapter; };
    for (std::size_t i = 1; i < table.rows.size(); ++i)
        if (key(table.rows[i]) < key(table.rows[i - 1]))
            return kBibleRefLoadMismatch;
    cBibleRefTables::sortVerseMapIndex(table);
    install(BibleRefTable::VerseMap, r.version, [&](cBibleRefTables& t) { t.m_verseMap = share(std::move(table)); });
    return kBibleRefLoadOk;
}

namespace {
constexpr std::int64_t kSmallMin = -4;  // marker values -4..-1
constexpr std::int64_t kSmallMax = 65535;
}  // namespace

std::int32_t cBibleRefTablesAccess::fixUps(std::FILE* file)
{
    auto r = cBibleRefTableReader(file).readDictionary(loadedVersion(BibleRefTable::FixUpRefMap));
    if (r.code != kBibleRefLoadOk || !r.newer)
        return r.code;
    std::vector<FixUpRow> rows;
    for (const auto& row : r.rows) {
        if (row.size() < 9)
            return kBibleRefLoadMalformed;
        std::int64_t v[9] = {};
        for (std::size_t i = 0; i < 9; ++i) {
            const bool byte = i == 3 || i == 4 || i == 8;
            if (!numberField(row, i, byte ? 0 : kSmallMin, byte ? 255 : kSmallMax, v[i]))
                return kBibleRefLoadMismatch;
        }
        rows.push_back(
            {static_cast<std::int32_t>(v[0]), static_cast<std::int32_t>(v[1]), static_cast<std::int32_t>(v[2]),
                static_cast<std::uint8_t>(v[3]), static_cast<std::uint8_t>(v[4] != 0), static_cast<std::int32_t>(v[5]),
                static_cast<std::int32_t>(v[6]), static_cast<std::int32_t>(v[7]), static_cast<std::uint8_t>(v[8])});
    }
    install(BibleRefTable::FixUpRefMap, r.version, [&](cBibleRefTables& t) { t.m_fixUps = share(std::move(rows)); });
    return kBibleRefLoadOk;
}

std::int32_t cBibleRefTablesAccess::keyMap(std::FILE* file)
{
    auto r = cBibleRefTableReader(file).readDictionary(loadedVersion(BibleRefTable::GetKeyMap));
    if (r.code != kBibleRefLoadOk || !r.newer)
        return r.code;
    std::vector<KeyMapRow> rows;
    for (const auto& row : r.rows) {
        if (row.size() < 6)
            return kBibleRefLoadMalformed;
        std::int64_t v[6] = {};
        for (std::size_t i = 0; i < 6; ++i)
            if (!numberField(row, i, kSmallMin, kSmallMax, v[i]))
                return kBibleRefLoadMismatch;
        rows.push_back(
            {static_cast<std::int32_t>(v[0]), static_cast<std::int32_t>(v[1]), static_cast<std::int32_t>(v[2]),
                static_cast<std::int32_t>(v[3]), static_cast<std::int32_t>(v[4]), static_cast<std::int32_t>(v[5])});
    }
    install(BibleRefTable::GetKeyMap, r.version, [&](cBibleRefTables& t) { t.m_keyMap = share(std::move(rows)); });
    return kBibleRefLoadOk;
}

std::int32_t cBibleRefTablesAccess::specialCases(std::FILE* file)
{
    auto r = cBibleRefTableReader(file).readDictionary(loadedVersion(BibleRefTable::DoMapSpecialCasesMap));
    if (r.code != kBibleRefLoadOk || !r.newer)
        return r.code;
    std::vector<SpecialCaseRow> rows;
    for (const auto& row : r.rows) {
        if (row.size() < 7)
            return kBibleRefLoadMalformed;
        std::int64_t v[7] = {};
        for (std::size_t i = 0; i < 7; ++i)
            if (!numberField(row, i, kSmallMin, kSmallMax, v[i]))
                return kBibleRefLoadMismatch;
        rows.push_back({static_cast<std::int32_t>(v[0]), static_cast<std::int32_t>(v[1]),
            static_cast<std::int32_t>(v[2]), static_cast<std::int32_t>(v[3]), static_cast<std::int32_t>(v[4]),
            static_cast<std::int32_t>(v[5]), static_cast<std::int32_t>(v[6])});
    }
    install(BibleRefTable::DoMapSpecialCasesMap, r.version,
        [&](cBibleRefTables& t) { t.m_specialCases = share(std::move(rows)); });
    return kBibleRefLoadOk;
}

std::int32_t cBibleRefTablesAccess::chapterWords(std::FILE* file)
{
    auto r = cBibleRefTableReader(file).readDictionary(loadedVersion(BibleRefTable::GetChapterNumberSpellingMap));
    if (r.code != kBibleRefLoadOk || !r.newer)
        return r.code;
    std::vector<ChapterWordRow> rows;
    for (const auto& row : r.rows) {
        if (row.size() < 5)
            return kBibleRefLoadMalformed;
        std::int64_t book = 0, chapter = 0;
        ChapterWordRow word;
        if (!numberField(row, 0, 0, kSmallMax, book) || !numberField(row, 1, 0, 253, chapter) ||
            !flagField(row, 4, word.usedForSpelling) || row[2].empty() || row[3].empty())
            return kBibleRefLoadMismatch;
        word.book = static_cast<std::int32_t>(book);
        word.chapter = static_cast<std::int32_t>(chapter);
        word.longWord = row[2];
        word.shortWord = row[3];
        rows.push_back(std::move(word));
    }
    install(BibleRefTable::GetChapterNumberSpellingMap, r.version,
        [&](cBibleRefTables& t) { t.m_chapterWords = share(std::move(rows)); });
    return kBibleRefLoadOk;
}

std::int32_t cBibleRefTablesAccess::oneChapterBooks(std::FILE* file)
{
    auto r = cBibleRefTableReader(file).readDictionary(loadedVersion(BibleRefTable::IsOneChapterBookList));
    if (r.code != kBibleRefLoadOk || !r.newer)
        return r.code;
    std::vector<std::int32_t> books;
    for (const auto& row : r.rows) {
        if (row.empty() || row[0].empty())
            return kBibleRefLoadMalformed;
        if (books.size() >= r.count)
            break;  // rows beyond Count are not stored
        std::int64_t book = 0;
        if (!numberField(row, 0, -1, kSmallMax, book))
            return kBibleRefLoadMismatch;
        books.push_back(static_cast<std::int32_t>(book));
        if (book == -1)
            break;
    }
    if (books.empty() || books.back() != -1)
        books.push_back(-1);
    install(BibleRefTable::IsOneChapterBookList, r.version,
        [&](cBibleRefTables& t) { t.m_oneChapterBooks = share(std::move(books)); });
    return kBibleRefLoadOk;
}

void cBibleRefTablesAccess::reset(BibleRefTable table, int mode)
{
    std::lock_guard<std::mutex> lock(gTablesMutex);
    auto next = copyCurrent(false);
    if (mode == 0) {
        next->ensureDefaults();
        gTables = next;
        return;
    }
    cBibleRefTables& t = *next;
    switch (table) {
    case BibleRefTable::BookNames:
        t.m_english.reset();
        t.m_spanish.reset();
        break;
    case BibleRefTable::BookNumToNameNum:
        t.m_bookNumToNameNum.reset();
        break;
    case BibleRefTable::TranslationList:
        t.m_translations.reset();
        break;
    case BibleRefTable::BibleBooks:
        t.m_bibleBooks.reset();
        break;
    case BibleRefTable::NameNumberToBookCategories:
        t.m_categories.reset();
        break;
    case BibleRefTable::VerseMap:
        t.m_verseMap.reset();
        break;
    case BibleRefTable::TotalOrderOnBookNumber:
        t.m_totalOrder.reset();
        break;
    case BibleRefTable::FixUpRefMap:
        t.m_fixUps.reset();
        break;
    case BibleRefTable::GetKeyMap:
        t.m_keyMap.reset();
        break;
    case BibleRefTable::DoMapSpecialCasesMap:
        t.m_specialCases.reset();
        break;
    case BibleRefTable::GetChapterNumberSpellingMap:
        t.m_chapterWords.reset();
        break;
    case BibleRefTable::IsOneChapterBookList:
        t.m_oneChapterBooks.reset();
        break;
    }
    t.m_versions[idx(table)] = 0;
    if (mode > 0)
        t.ensureDefaults();
    gTables = next;
}

int cBibleRefTablesAccess::addCustomTranslation(
    const std::string& abbreviation, const std::string& name, const std::string& books)
{
    std::lock_guard<std::mutex> lock(gTablesMutex);
    auto next = copyCurrent(true);
    std::vector<TranslationRow> rows = *next->m_translations;
    std::vector<BibleBookList> lists = *next->m_bibleBooks;

    // A built-in translation is never replaced (nor renumbered) by a run-time one, whatever
    // the case of the abbreviation.
    for (const TranslationRow& row : rows)
        if (equalsIgnoreCase(row.abbreviation, abbreviation) && !row.custom)
            return 1;

    // Replace an earlier custom translation of the same abbreviation.
    const auto same = std::find_if(rows.begin(), rows.end(),
        [&](const TranslationRow& row) { return row.custom && equalsIgnoreCase(row.abbreviation, abbreviation); });
    if (same != rows.end()) {
        const int number = same->number;
        rows.erase(std::remove_if(rows.begin(), rows.end(),
                       [&](const TranslationRow& row) {
                           return row.custom && row.number == number &&
                               equalsIgnoreCase(row.abbreviation, abbreviation);
                       }),
            rows.end());
        if (number >= 1 && number <= static_cast<int>(lists.size()))
            lists.erase(lists.begin() + (number - 1));
        for (TranslationRow& row : rows)
            if (row.number > number)
                --row.number;
    }

    const int number = static_cast<int>(lists.size()) + 1;
    if (number > kMaxTranslations)
        return 0;
    for (TranslationRow& row : rows)
        if (row.number == 0)
            row.number = static_cast<std::uint8_t>(number);

    TranslationRow added;
    added.abbreviation = abbreviation;
    added.name = name;
    added.number = static_cast<std::uint8_t>(number);
    added.shown = 1;
    added.custom = 1;
    added.alternateCategories = 0;
    // Before the first shorter abbreviation that is a prefix of this one, so that the
    // longer abbreviation is matched first.
    auto at = std::find_if(rows.begin(), rows.end(), [&](const TranslationRow& row) {
        return row.abbreviation.size() < abbreviation.size() &&
            equalsIgnoreCase(row.abbreviation, abbreviation.substr(0, row.abbreviation.size()));
    });
    rows.insert(at, std::move(added));

    BibleBookList list;
    list.fill(kBookListEnd);
    std::size_t slot = 0, start = 0;
    while (slot < kMaxBooksPerTranslation && start <= books.size()) {
        const std::size_t comma = books.find(',', start);
        const std::string field = books.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        std::int64_t book = 0;
        if (cBibleRefTableReader::parseNumber(field, book) && book >= 1 && book <= 32767)
            list[slot++] = static_cast<std::int16_t>(book);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    lists.push_back(list);

    next->m_translations = share(std::move(rows));
    next->m_bibleBooks = share(std::move(lists));
    gTables = next;
    return number;
}

void cBibleRefTablesAccess::freeCache()
{
    std::lock_guard<std::mutex> lock(gTablesMutex);
    if (gTables)
        gTables = std::make_shared<cBibleRefTables>(*gTables);
}

// Public loader entry points.
std::int32_t cBibleRefTables::loadBookNameLists(std::FILE* english, std::FILE* spanish)
{
    return cBibleRefTablesAccess::bookNames(english, spanish);
}
std::int32_t cBibleRefTables::loadBookNumToNameNum(std::FILE* f)
{
    return cBibleRefTablesAccess::bookNumToNameNum(f);
}
std::int32_t cBibleRefTables::loadTotalOrderOnBookNumber(std::FILE* f)
{
    return cBibleRefTablesAccess::totalOrder(f);
}
std::int32_t cBibleRefTables::loadTranslationList(std::FILE* f)
{
    return cBibleRefTablesAccess::translationList(f);
}
std::int32_t cBibleRefTables::loadBibleBooks(std::FILE* f)
{
    return cBibleRefTablesAccess::bibleBooks(f);
}
std::int32_t cBibleRefTables::loadNameNumberToBookCategories(std::FILE* f)
{
    return cBibleRefTablesAccess::categories(f);
}
std::int32_t cBibleRefTables::loadVerseMap(std::FILE* f)
{
    return cBibleRefTablesAccess::verseMap(f);
}
std::int32_t cBibleRefTables::loadFixUpRefMap(std::FILE* f)
{
    return cBibleRefTablesAccess::fixUps(f);
}
std::int32_t cBibleRefTables::loadGetKeyMap(std::FILE* f)
{
    return cBibleRefTablesAccess::keyMap(f);
}
std::int32_t cBibleRefTables::loadDoMapSpecialCasesMap(std::FILE* f)
{
    return cBibleRefTablesAccess::specialCases(f);
}
std::int32_t cBibleRefTables::loadGetChapterNumberSpellingMap(std::FILE* f)
{
    return cBibleRefTablesAccess::chapterWords(f);
}
std::int32_t cBibleRefTables::loadIsOneChapterBookList(std::FILE* f)
{
    return cBibleRefTablesAccess::oneChapterBooks(f);
}
