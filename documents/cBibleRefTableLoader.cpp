#include "documents/cBibleRefTableLoader.h"

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "engine/bookfile/cBkBookFile.h"
#include "engine/bookfile/cBkEmbeddedFiles.h"
#include "engine/bookfile/cPlatformMemPtr.h"
#include "engine/references/cBibleRefTables.h"

namespace {

// An embedded table file opened as a stream over its bytes; null when the book lacks it.
struct TableFile {
    cPlatformMemPtr bytes;
    std::FILE* file = nullptr;
    TableFile(cBkEmbeddedFiles* files, const char* name)
    {
        if (files != nullptr && files->readIntoMemory(name, bytes) == 0 && bytes.size() > 0)
            file = fmemopen(bytes.data(), bytes.size(), "r");
    }
    ~TableFile()
    {
        if (file != nullptr)
            std::fclose(file);
    }
    TableFile(const TableFile&) = delete;
    TableFile& operator=(const TableFile&) = delete;
};

using Loader = std::int32_t (*)(std::FILE*);

struct TableRule {
    BibleRefTable table;
    const char* file;
    Loader load;
    bool equalSuffices;  // loaded when the book's version is at least the loaded one
};

// In this order, as the library refreshes them.
const TableRule kRules[] = {
    {BibleRefTable::BookNumToNameNum, "BookNumToNameNum.csv", &cBibleRefTables::loadBookNumToNameNum, false},
    {BibleRefTable::TotalOrderOnBookNumber, "TotalOrderOnBookNumber.csv", &cBibleRefTables::loadTotalOrderOnBookNumber,
        false},
    {BibleRefTable::TranslationList, "TranslationList.csv", &cBibleRefTables::loadTranslationList, false},
    {BibleRefTable::BibleBooks, "BibleBooks.csv", &cBibleRefTables::loadBibleBooks, false},
    {BibleRefTable::NameNumberToBookCategories, "NameNumberToBookCategories.csv",
        &cBibleRefTables::loadNameNumberToBookCategories, false},
    {BibleRefTable::VerseMap, "VerseMap.csv", &cBibleRefTables::loadVerseMap, false},
    {BibleRefTable::FixUpRefMap, "FixUpRefMap.csv", &cBibleRefTables::loadFixUpRefMap, true},
    {BibleRefTable::GetKeyMap, "GetKeyMap.csv", &cBibleRefTables::loadGetKeyMap, true},
    {BibleRefTable::DoMapSpecialCasesMap, "DoMapSpecialCasesMap.csv", &cBibleRefTables::loadDoMapSpecialCasesMap, true},
    {BibleRefTable::GetChapterNumberSpellingMap, "GetChapterNumberSpellingMap.csv",
        &cBibleRefTables::loadGetChapterNumberSpellingMap, true},
    {BibleRefTable::IsOneChapterBookList, "IsOneChapterBookList.csv", &cBibleRefTables::loadIsOneChapterBookList, true},
};

std::uint32_t headerVersion(cBkGenInfoStg& info, BibleRefTable table)
{
    switch (table) {
    case BibleRefTable::BookNames:
        return info.bookNameListVersion();
    case BibleRefTable::BookNumToNameNum:
        return info.bookNumToNameNumVersion();
    case BibleRefTable::TranslationList:
        return info.transListVersion();
    case BibleRefTable::BibleBooks:
        return info.bibleBooksVersion();
    case BibleRefTable::NameNumberToBookCategories:
        return info.nameNumberToBookCategoriesVersion();
    case BibleRefTable::VerseMap:
        return info.verseMapVersion();
    case BibleRefTable::TotalOrderOnBookNumber:
        return info.totalOrderOnBookNumberVersion();
    case BibleRefTable::FixUpRefMap:
        return info.fixUpRefMapVersion();
    case BibleRefTable::GetKeyMap:
        return info.getKeyMapVersion();
    case BibleRefTable::DoMapSpecialCasesMap:
        return info.doMapSpecialCasesMapVersion();
    case BibleRefTable::GetChapterNumberSpellingMap:
        return info.getChapterNumberSpellingMapVersion();
    case BibleRefTable::IsOneChapterBookList:
        return info.isOneChapterBookListVersion();
    }
    return 0;
}

// The book numbers of a header's book list ("67,1,2,...,68"); empty when it is not one.
std::vector<int> bookNumbers(const std::string& text)
{
    std::vector<int> out;
    size_t i = 0;
    while (i < text.size() && out.size() <= kMaxBooksPerTranslation) {
        size_t end = text.find(',', i);
        if (end == std::string::npos)
            end = text.size();
        std::string field = text.substr(i, end - i);
        while (!field.empty() && field.front() == ' ')
            field.erase(field.begin());
        while (!field.empty() && field.back() == ' ')
            field.pop_back();
        if (field.empty() || field.size() > 5 || field.find_first_not_of("0123456789") != std::string::npos)
            return {};
        const int book = std::stoi(field);
        if (book < 1 || book > 32767)
            return {};
        out.push_back(book);
        i = end + 1;
    }
    if (out.size() > kMaxBooksPerTranslation)
        return {};
    return out;
}

// Whether the translation list already holds the book's own translation with exactly these books.
bool registeredAlready(const cBibleRefTables& tables, const TranslationRow& row, const std::vector<int>& books)
{
    const BibleBookList* list = tables.bookList(row.number);
    if (list == nullptr)
        return false;
    size_t n = 0;
    while (n < kBookListSlots && (*list)[n] != kBookListEnd)
        ++n;
    if (n != books.size())
        return false;
    for (size_t i = 0; i < n; ++i)
        if ((*list)[i] != books[i])
            return false;
    return true;
}

// Table loads and translation registrations of several books do not interleave.
std::mutex gLoading;

}  // namespace

bool cBibleRefTableLoader::loadFrom(cBkBookFile& book)
{
    cBkGenInfoStg& info = book.genInfo();
    if (!info.headerFlag0())
        return false;
    std::lock_guard<std::mutex> guard(gLoading);
    bool changed = false;
    cBkEmbeddedFiles* files = book.bibleRefFiles();
    if (files != nullptr) {
        // Both name lists come together, English first.
        if (headerVersion(info, BibleRefTable::BookNames) > cBibleRefTables::version(BibleRefTable::BookNames)) {
            TableFile english(files, "EnglishBookNameList.csv"), spanish(files, "SpanishBookNameList.csv");
            const std::uint32_t before = cBibleRefTables::version(BibleRefTable::BookNames);
            if (english.file != nullptr && spanish.file != nullptr &&
                cBibleRefTables::loadBookNameLists(english.file, spanish.file) == kBibleRefLoadOk)
                changed = changed || cBibleRefTables::version(BibleRefTable::BookNames) != before;
        }
        for (const TableRule& rule : kRules) {
            const std::uint32_t carried = headerVersion(info, rule.table);
            const std::uint32_t loaded = cBibleRefTables::version(rule.table);
            if (carried == 0 || carried < loaded || (carried == loaded && !rule.equalSuffices))
                continue;
            TableFile table(files, rule.file);
            if (table.file != nullptr && rule.load(table.file) == kBibleRefLoadOk &&
                cBibleRefTables::version(rule.table) != loaded)
                changed = true;
        }
        if (changed) {
            cBibleRefTables::freeTranslationBookPositionCache();
            cBibleRefTables::allocateTranslationBookPositionCache();
        }
    }

    std::string booksText;
    info.bibleBooksString(booksText, false);
    const std::vector<int> books = bookNumbers(booksText);
    std::string abbreviation, name;
    info.abbreviatedTitle(abbreviation, false);
    info.bookName(name, false);
    if (books.empty() || abbreviation.empty())
        return changed;
    const cBibleRefTables::Ptr tables = cBibleRefTables::current();
    const TranslationRow* row = tables->translationByAbbreviation(abbreviation);
    // A translation of the list keeps its own books; one registered before with these books stays.
    if (row != nullptr && (!row->custom || registeredAlready(*tables, *row, books)))
        return changed;
    std::string list;
    for (int b : books)
        list += (list.empty() ? "" : ",") + std::to_string(b);
    cBibleRefTables::addCustomTranslation(abbreviation, name, list);
    return true;
}
