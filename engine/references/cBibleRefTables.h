// The process-wide Bible-reference tables: book names (English and Spanish), the
// name number of every book number, the translation list and the books of each
// translation, book categories, the verse map between versifications with its
// fix-ups and special cases, start-of-book keys, chapter words and the one-chapter
// books. Every table has a built-in default and may be replaced by a newer version
// read from a CSV table file (see cBibleRefTableReader.h for the file format).
//
// Ownership and threads: the tables are held in an immutable snapshot. Readers take
// the current snapshot with current() and keep it for the length of one operation, so
// a loader running on another thread never changes a table under a reader; a loader
// builds a new snapshot and installs it. The translation book-position cache lives in
// the snapshot and starts empty with every new snapshot.
#pragma once

#include "engine/foundation/LanguageSupport.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// Kind bits of a book-name row.
enum : std::uint8_t {
    kBookNameAbbreviationSource = 1,  // its first minimum-match characters are the short name
    kBookNameFull = 2,                // the full name
    kBookNameMatchOnly = 4,           // a common abbreviation used only for matching
};

// Loader results.
enum : std::int32_t {
    kBibleRefLoadOk = 0,         // loaded, or not newer than the loaded table
    kBibleRefLoadMalformed = 1,  // no data section, missing end line, stray line, short row
    kBibleRefLoadNoVersion = 2,  // Version or Count missing or zero
    kBibleRefLoadMismatch = 3,   // Count differs from the rows read, or a value out of range
};

// The versioned tables, in the order of their version getters.
enum class BibleRefTable {
    BookNames,
    BookNumToNameNum,
    TranslationList,
    BibleBooks,
    NameNumberToBookCategories,
    VerseMap,
    TotalOrderOnBookNumber,
    FixUpRefMap,
    GetKeyMap,
    DoMapSpecialCasesMap,
    GetChapterNumberSpellingMap,
    IsOneChapterBookList,
};
inline constexpr int kBibleRefTableCount = 12;

// Marker values of the signed chapter and verse columns.
inline constexpr std::int32_t kAnyVerse = -4;       // FixUpRefMap, GetKeyMap, DoMapSpecialCasesMap
inline constexpr std::uint8_t kAnyPart = 255;       // FixUpRefMap source part; target part = keep
inline constexpr std::uint8_t kToChapterEnd = 250;  // VerseMap source last verse

// A translation's book list: up to 100 book numbers in 101 slots, kBookListEnd after the last.
inline constexpr int kMaxBooksPerTranslation = 100;
inline constexpr int kBookListSlots = 101;
inline constexpr std::int16_t kBookListEnd = static_cast<std::int16_t>(0xFFFF);
using BibleBookList = std::array<std::int16_t, kBookListSlots>;

// Largest book number a key can carry; BookNumToNameNum never holds more entries.
inline constexpr int kMaxBookNumber = 255;
// Upper bound on the translations of the BibleBooks table (translation numbers are bytes).
inline constexpr int kMaxTranslations = 255;

struct BookNameRow {
    std::string text;  // Latin-1 (files in UTF-8 are converted when read)
    std::uint8_t minimumMatch = 0;
    std::uint8_t nameNumber = 0;
    std::uint8_t kinds = 0;
};

struct TranslationRow {
    std::string abbreviation;
    std::string name;
    std::uint8_t number = 0;
    std::uint8_t shown = 0;
    std::uint8_t custom = 0;
    std::uint8_t alternateCategories = 0;
};

struct CategoryRow {
    std::uint8_t general = 255;  // 0 front/back matter, 1 OT, 2 NT, 3 other books
    std::uint8_t detailed = 255;
    std::uint8_t alternateDetailed = 255;
};

struct VerseMapRow {
    std::uint8_t sourceBook, sourceChapter, sourceFirstVerse, sourceLastVerse;
    std::uint8_t targetBook, targetChapter, targetFirstVerse;
    std::int8_t step;
};

struct FixUpRow {
    std::int32_t sourceBook, sourceChapter, sourceVerse;
    std::uint8_t sourcePart;
    std::uint8_t shifting;
    std::int32_t targetBook, targetChapter, targetVerse;
    std::uint8_t targetPart;
};

struct KeyMapRow {
    std::int32_t book, chapter, verse;
    std::int32_t keyBook, keyChapter, keyVerse;
};

struct SpecialCaseRow {
    std::int32_t targetBook, sourceBook, firstChapter, lastChapter, firstVerse, lastVerse;
    std::int32_t replacementBook;
};

struct ChapterWordRow {
    std::int32_t book = 0;
    std::int32_t chapter = 0;
    std::string longWord;
    std::string shortWord;
    std::uint8_t usedForSpelling = 0;
};

struct VerseMapTable {
    std::vector<VerseMapRow> rows;        // file order: sorted by source book, then chapter
    std::vector<std::uint32_t> byTarget;  // row indexes, stable-sorted by target book
};

class cBibleRefTables {
public:
    using Ptr = std::shared_ptr<const cBibleRefTables>;

    // The current tables, with the built-in default loaded into every empty table.
    static Ptr current();

    // --- Loaders: each reads one open table file (see cBibleRefTableReader.h). ---------
    static std::int32_t loadBookNameLists(std::FILE* english, std::FILE* spanish);
    static std::int32_t loadBookNumToNameNum(std::FILE* file);
    static std::int32_t loadTotalOrderOnBookNumber(std::FILE* file);
    static std::int32_t loadTranslationList(std::FILE* file);
    static std::int32_t loadBibleBooks(std::FILE* file);
    static std::int32_t loadNameNumberToBookCategories(std::FILE* file);
    static std::int32_t loadVerseMap(std::FILE* file);
    static std::int32_t loadFixUpRefMap(std::FILE* file);
    static std::int32_t loadGetKeyMap(std::FILE* file);
    static std::int32_t loadDoMapSpecialCasesMap(std::FILE* file);
    static std::int32_t loadGetChapterNumberSpellingMap(std::FILE* file);
    static std::int32_t loadIsOneChapterBookList(std::FILE* file);

    // The loaded version of a table (after ensure-loaded).
    static std::uint32_t version(BibleRefTable table);
    // mode 0: load the default when empty; 1: drop and load the default; -1: drop only
    // (the next reader loads the default again).
    static void resetTable(BibleRefTable table, int mode);
    // Appends (or replaces) a run-time translation; returns its number. See BibleRef.
    static int addCustomTranslation(const std::string& abbreviation, const std::string& name, const std::string& books);
    static void allocateTranslationBookPositionCache();
    static void freeTranslationBookPositionCache();

    // --- Lookups; out-of-table arguments give the "none" values. -----------------------
    // Name number of a book number; 0 when the book has none.
    int nameNumberOfBook(int book) const;
    int bookCount() const { return static_cast<int>(m_bookNumToNameNum->size()); }
    // First book with the name number: in BookNumToNameNum for translation 0, else in the
    // translation's book list. 0 when there is none.
    int bookForName(int nameNumber, int translation) const;
    // Slot index of a book in a translation's list; -1 when absent or out of range.
    int positionOfBook(int translation, int book) const;
    // Book at a slot of a translation's list; -1 past the end or out of range.
    int bookAtPosition(int translation, int position) const;
    int translationCount() const { return static_cast<int>(m_bibleBooks->size()); }
    const BibleBookList* bookList(int translation) const;

    const TranslationRow* translationByNumber(int number, bool shownOnly) const;
    // The row whose abbreviation equals the text (case-insensitive); null when none.
    const TranslationRow* translationByAbbreviation(const std::string& abbreviation) const;
    const std::vector<TranslationRow>& translations() const { return *m_translations; }

    // The name list of a language (10 = Spanish, any other = English).
    const std::vector<BookNameRow>& bookNames(int language) const;

    // Category row of a name number; null when there is none.
    const CategoryRow* categories(int nameNumber) const;
    bool isOneChapterBook(int book) const;
    const std::vector<ChapterWordRow>& chapterWords() const { return *m_chapterWords; }
    const ChapterWordRow* chapterWordForSpelling(int book, int chapter) const;
    const VerseMapTable& verseMap() const { return *m_verseMap; }
    const std::vector<FixUpRow>& fixUps() const { return *m_fixUps; }
    const std::vector<KeyMapRow>& keyMap() const { return *m_keyMap; }
    const std::vector<SpecialCaseRow>& specialCases() const { return *m_specialCases; }
    const std::vector<std::int32_t>& totalOrder() const { return *m_totalOrder; }
    const std::vector<std::int32_t>& oneChapterBooks() const { return *m_oneChapterBooks; }

    // Index of the first VerseMap row with this source book and chapter; -1 when none.
    int firstVerseMapRow(int sourceBook, int sourceChapter) const;

    // Builds the ordered-by-target index of a verse map.
    static void sortVerseMapIndex(VerseMapTable& table);
    // Rebuilds the index of the loaded verse map (every load already does; start-up calls
    // it once after installing tables).
    static void sortVerseMapIndex();

    cBibleRefTables() = default;
    cBibleRefTables(const cBibleRefTables& other);  // copies the tables, not the cache
    cBibleRefTables& operator=(const cBibleRefTables&) = delete;
    ~cBibleRefTables();

private:
    friend class cBibleRefTablesAccess;
    struct PositionCache;

    void ensureDefaults();
    bool anyEmpty() const;
    PositionCache* positionCache() const;

    std::shared_ptr<const std::vector<BookNameRow>> m_english, m_spanish;
    std::shared_ptr<const std::vector<std::uint8_t>> m_bookNumToNameNum;
    std::shared_ptr<const std::vector<std::int32_t>> m_totalOrder;
    std::shared_ptr<const std::vector<TranslationRow>> m_translations;
    std::shared_ptr<const std::vector<BibleBookList>> m_bibleBooks;
    std::shared_ptr<const std::vector<CategoryRow>> m_categories;
    std::shared_ptr<const VerseMapTable> m_verseMap;
    std::shared_ptr<const std::vector<FixUpRow>> m_fixUps;
    std::shared_ptr<const std::vector<KeyMapRow>> m_keyMap;
    std::shared_ptr<const std::vector<SpecialCaseRow>> m_specialCases;
    std::shared_ptr<const std::vector<ChapterWordRow>> m_chapterWords;
    std::shared_ptr<const std::vector<std::int32_t>> m_oneChapterBooks;
    std::array<std::uint32_t, kBibleRefTableCount> m_versions {};

    mutable std::atomic<PositionCache*> m_positionCache {nullptr};
    mutable std::mutex m_positionCacheMutex;
};
