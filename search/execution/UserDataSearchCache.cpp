#include "search/execution/UserDataSearchCache.h"

#include <cstdio>
#include <mutex>

#include "documents/cJournalDoc.h"
#include "engine/foundation/FileHelpers.h"
#include "engine/foundation/cLIntArray.h"
#include "engine/references/cBibleRef.h"
#include "library/SourceManager.h"
#include "render/cHTMLColor.h"
#include "search/core/TextFolding.h"
#include "search/execution/cSearchExpressionResult.h"
#include "userdata/cCategory.h"
#include "userdata/cCategoryStg.h"
#include "userdata/cSQLiteDbBase.h"

namespace userdatasearch {

namespace {

enum Kind : int32_t { kColour = 1, kCategory = 2, kNote = 4 };

const char* kindFolder(int32_t kind)
{
    return kind == kColour ? "color" : kind == kCategory ? "category" : kind == kNote ? "note" : nullptr;
}

std::mutex& directoryLock()
{
    static std::mutex m;
    return m;
}

BookDirectory& directory()
{
    static BookDirectory d;
    return d;
}

std::shared_ptr<cSourceDoc> findBook(uint16_t publisher, uint16_t book, uint8_t edition)
{
    if (publisher == cJournalDoc::kPublisher && book == cJournalDoc::kBook && edition == cJournalDoc::kEdition) {
        cSourceDoc* journal = journalDocForSearchCache();
        return journal != nullptr ? std::shared_ptr<cSourceDoc>(journal, [](cSourceDoc*) {}) : nullptr;
    }
    std::function<std::shared_ptr<cSourceDoc>(uint16_t, uint16_t, uint8_t)> find;
    {
        std::lock_guard<std::mutex> guard(directoryLock());
        find = directory().find;
    }
    if (find)
        return find(publisher, book, edition);
    if (!SourceManager::singletonInUse())
        return nullptr;
    return sourceDocForPubIDBookIDEdition(publisher, book, edition);
}

std::string hex(uint32_t value, int digits)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*X", digits, static_cast<unsigned>(value));
    return buf;
}

std::string bookFolderName(uint16_t publisher, uint16_t book, uint8_t edition)
{
    return hex(publisher, 4) + hex(book, 4) + hex(edition, 2);
}

bool parseBookFolderName(const std::string& name, uint16_t& publisher, uint16_t& book, uint8_t& edition)
{
    if (name.size() != 10 || name.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return false;
    publisher = static_cast<uint16_t>(std::stoul(name.substr(0, 4), nullptr, 16));
    book = static_cast<uint16_t>(std::stoul(name.substr(4, 4), nullptr, 16));
    edition = static_cast<uint8_t>(std::stoul(name.substr(8, 2), nullptr, 16));
    return true;
}

std::string baseName(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<std::string> listFolder(const std::string& folder, bool folders)
{
    std::vector<std::string> out;
    cFolderListing* listing = openFolder(folder.c_str());
    if (listing == nullptr)
        return out;
    cLString8 entry;
    while (readNextFolderEntry(folder.c_str(), listing, folders, !folders, entry))
        out.emplace_back(entry.chars(), static_cast<size_t>(entry.length()));
    closeFolder(listing);
    return out;
}

bool readResult(const std::string& path, cSearchExpressionResult& result)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return false;
    const bool ok = result.serialize(0, f);
    std::fclose(f);
    return ok;
}

bool writeResult(const std::string& path, const cSearchExpressionResult& result)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        const size_t slash = path.find_last_of('/');
        if (slash == std::string::npos)
            return false;
        makeFolderPath(path.substr(0, slash).c_str());
        f = std::fopen(path.c_str(), "wb");
        if (f == nullptr)
            return false;
    }
    const bool ok = const_cast<cSearchExpressionResult&>(result).serialize(1, f);
    const bool closed = std::fclose(f) == 0;
    if (!ok || !closed) {
        std::remove(path.c_str());
        return false;
    }
    return true;
}

// Re-evaluates one cached file over first..last: read, delete, re-evaluate, write back on success.
void refreshFile(const std::string& path, cSourceDoc& doc, uint32_t first, uint32_t last, const cBibleRef* reference)
{
    cSearchExpressionResult result;
    if (!readResult(path, result))
        return;
    std::remove(path.c_str());
    if (result.searchSectionRange(nullptr, nullptr, &doc, first, last, reference, reference != nullptr))
        writeResult(path, result);
}

std::string bibleAbbreviation(cSourceDoc& doc)
{
    cLString8 abbreviation;
    doc.GetTitle(abbreviation, true);
    return std::string(abbreviation.chars(), static_cast<size_t>(abbreviation.length()));
}

// The first and last section of a reference in a Bible, in that Bible's translation.
bool bibleRange(cSourceDoc& doc, const cBibleRef& reference, cBibleRef& mapped, uint32_t& first, uint32_t& last)
{
    mapped = reference;
    mapped.mapToTranslationNamed(bibleAbbreviation(doc).c_str());
    first = last = 0;
    bool any = false;
    for (const bibleRefRange* r = mapped.firstRange(); r != nullptr; r = r->next) {
        cBibleRef single(mapped);
        single.removeAllRanges();
        single.appendRangeCopy(*r);
        uint32_t a = 0, b = 0;
        if (!doc.SectionRangeForBibleKey(single, a, b) || a == 0)
            continue;
        if (b < a)
            b = a;
        first = any ? std::min(first, a) : a;
        last = any ? std::max(last, b) : b;
        any = true;
    }
    return any;
}

std::u16string trimmedLeft(const std::u16string& s)
{
    size_t i = 0;
    while (i < s.size() && (s[i] == u' ' || s[i] == u'\t' || s[i] == u'\r' || s[i] == u'\n'))
        ++i;
    return s.substr(i);
}

uint32_t colourValue(const std::string& value)
{
    if (value == "*")
        return kAllValues;
    cHTMLColor colour;
    colour.setFromColorText(value);
    uint32_t id = colour.highlightColorId();
    if (id == 0 && value.size() == 7 && value[0] == '#' &&
        value.find_first_not_of("0123456789abcdefABCDEF", 1) == std::string::npos) {
        std::uint8_t red = 0, green = 0, blue = 0;
        colour.getRGBComponents(red, green, blue);
        id = highlightIdForRGB(red, green, blue, false);
        if (id == 0xFFFFFFFF)
            id = 0;
    }
    return id != 0 ? id : parseHighlightStyleName(value);
}

}  // namespace

std::string cacheRoot()
{
    cLString8 folder;
    folder.assignFromUTF16(cSQLiteDbBase::engineDataFolder());
    std::string root(folder.chars(), static_cast<size_t>(folder.length()));
    if (root.empty())
        return std::string();
    if (root.back() != '/')
        root += '/';
    return root + "userdatasearch/";
}

bool parseUserDataSearchTerms(const std::u16string& expression, Terms& terms)
{
    terms = Terms();
    const std::string s = TextFolding::utf16ToUtf8(trimmedLeft(expression));
    const size_t start = std::min({s.find("BOOKMARK("), s.find("COLOR("), s.find("NOTE()")});
    std::string text = start == std::string::npos ? s : s.substr(0, start);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
        text.pop_back();
    terms.text = text;
    if (start == std::string::npos)
        return true;
    const std::string part = s.substr(start);
    terms.note = part.find("NOTE()") != std::string::npos;

    // The quoted values after a keyword, separated by "," and closed by ")".
    auto values = [&](size_t at, bool doubled) {
        std::vector<std::string> out;
        auto blanks = [&] {
            while (at < part.size() && (part[at] == ' ' || part[at] == '\t'))
                ++at;
        };
        blanks();
        while (at < part.size() && part[at] == '"') {
            ++at;
            std::string value;
            bool closed = false;
            while (at < part.size()) {
                const char c = part[at++];
                if (c == '"') {
                    if (doubled && at < part.size() && part[at] == '"') {
                        value.push_back('"');
                        ++at;
                        continue;
                    }
                    closed = true;
                    break;
                }
                value.push_back(c);
            }
            if (!closed || (doubled && at >= part.size()))
                break;
            out.push_back(value);
            blanks();
            if (at >= part.size() || (part[at] != ',' && part[at] != ')'))
                break;
            if (part[at] == ')')
                break;
            ++at;
            blanks();
        }
        return out;
    };
    const size_t colourAt = part.find("COLOR(");
    if (colourAt != std::string::npos)
        for (const std::string& v : values(colourAt + 6, false))
            terms.colours.push_back(colourValue(v));
    const size_t bookmarkAt = part.find("BOOKMARK(");
    if (bookmarkAt != std::string::npos) {
        cCategoryStg categories;
        if (!categories.openDatabase(false))
            return false;
        for (const std::string& v : values(bookmarkAt + 9, true)) {
            if (v == "No Category") {
                terms.categories.push_back(0);
            } else if (v == "*") {
                terms.categories.push_back(kAllValues);
            } else {
                cCategory category;
                cLString16 name;
                name.assignFromUTF8(v.c_str(), static_cast<int32_t>(v.size()));
                if (categories.findCategoryByName(name, category))
                    terms.categories.push_back(category.catid);
            }
        }
    }
    return true;
}

std::string userDataSearchCachePath(
    const char* mainExpression, const std::u16string& limit, uint16_t publisher, uint16_t book, uint8_t edition)
{
    if (mainExpression != nullptr && mainExpression[0] != '\0' && std::string(mainExpression) != "*")
        return std::string();
    if (publisher == 0 || book == 0 || edition == 0)
        return std::string();
    if (publisher == cJournalDoc::kPublisher && book == cJournalDoc::kBook && edition == cJournalDoc::kEdition)
        return std::string();
    Terms terms;
    if (!parseUserDataSearchTerms(limit, terms) || !terms.text.empty())
        return std::string();
    if (terms.colours.size() + terms.categories.size() + (terms.note ? 1 : 0) != 1)
        return std::string();
    const std::string root = cacheRoot();
    if (root.empty())
        return std::string();
    const std::string folder = bookFolderName(publisher, book, edition);
    if (!terms.colours.empty())
        return root + "color/" + folder + "/" + hex(terms.colours[0], 8) + ".bin";
    if (!terms.categories.empty())
        return root + "category/" + folder + "/" + hex(terms.categories[0], 8) + ".bin";
    return root + "note/" + folder + "/note.bin";
}

bool userDataSearchCacheStat(
    const char* mainExpression, const std::u16string& limit, uint16_t publisher, uint16_t book, uint8_t edition)
{
    const std::string path = userDataSearchCachePath(mainExpression, limit, publisher, book, edition);
    return !path.empty() && fileExists(path.c_str());
}

bool userDataSearchCacheLoad(cSearchExpressionResult& result, const char* mainExpression, const std::u16string& limit,
    uint16_t publisher, uint16_t book, uint8_t edition)
{
    const std::string path = userDataSearchCachePath(mainExpression, limit, publisher, book, edition);
    return !path.empty() && readResult(path, result);
}

bool userDataSearchCacheStore(const cSearchExpressionResult& result, const char* mainExpression,
    const std::u16string& limit, uint16_t publisher, uint16_t book, uint8_t edition)
{
    const std::string path = userDataSearchCachePath(mainExpression, limit, publisher, book, edition);
    return !path.empty() && writeResult(path, result);
}

void clearUserDataSearchCache()
{
    const std::string root = cacheRoot();
    if (!root.empty())
        deleteFolderRecursively(root.substr(0, root.size() - 1).c_str());
}

void clearColorSearchCache()
{
    const std::string root = cacheRoot();
    if (!root.empty())
        deleteFolderRecursively((root + kindFolder(kColour)).c_str());
}

void clearNoteSearchCache()
{
    const std::string root = cacheRoot();
    if (!root.empty())
        deleteFolderRecursively((root + kindFolder(kNote)).c_str());
}

void clearCategorySearchCache()
{
    const std::string root = cacheRoot();
    if (!root.empty())
        deleteFolderRecursively((root + kindFolder(kCategory)).c_str());
}

void invalidateUserDataSearchCacheForBook(int32_t kind, const cBibleRef& reference)
{
    if (kind != kColour && kind != kNote)
        return;
    const std::string root = cacheRoot();
    if (root.empty())
        return;
    const std::string kindPath = root + kindFolder(kind);
    if (!fileExists(kindPath.c_str()))
        return;
    for (const std::string& folder : listFolder(kindPath, true)) {
        uint16_t publisher = 0, book = 0;
        uint8_t edition = 0;
        if (!parseBookFolderName(baseName(folder), publisher, book, edition)) {
            deleteFolderRecursively(folder.c_str());
            continue;
        }
        std::shared_ptr<cSourceDoc> doc = findBook(publisher, book, edition);
        if (doc == nullptr) {
            deleteFolderRecursively(folder.c_str());
            continue;
        }
        if (!doc->supports(kDocSupportsIsBible))
            continue;
        cBibleRef mapped;
        uint32_t first = 0, last = 0;
        if (!bibleRange(*doc, reference, mapped, first, last))
            continue;
        for (const std::string& file : listFolder(folder, false))
            refreshFile(file, *doc, first, last, &mapped);
    }
}

void updateUserDataSearchCacheForSection(
    int32_t kind, uint32_t section, uint16_t publisher, uint16_t book, uint8_t edition)
{
    const char* name = kindFolder(kind);
    const std::string root = cacheRoot();
    if (name == nullptr || root.empty())
        return;
    const std::string folder = root + name + "/" + bookFolderName(publisher, book, edition);
    if (!fileExists(folder.c_str()))
        return;
    std::shared_ptr<cSourceDoc> doc = findBook(publisher, book, edition);
    if (doc == nullptr) {
        deleteFolderRecursively(folder.c_str());
        return;
    }
    for (const std::string& file : listFolder(folder, false))
        refreshFile(file, *doc, section, section, nullptr);
}

void invalidateCategorySearchCache(const cBibleRef* reference, uint32_t section, uint16_t publisher, uint16_t book,
    uint8_t edition, const std::vector<uint32_t>& categories)
{
    const std::string root = cacheRoot();
    if (root.empty())
        return;
    const std::string kindPath = root + "category";
    if (!fileExists(kindPath.c_str()))
        return;
    std::vector<uint32_t> listed = categories;
    if (std::find(listed.begin(), listed.end(), kAllValues) == listed.end())
        listed.push_back(kAllValues);
    const bool identity = publisher != 0 || book != 0 || edition != 0;
    for (const std::string& folder : listFolder(kindPath, true)) {
        uint16_t p = 0, b = 0;
        uint8_t e = 0;
        if (!parseBookFolderName(baseName(folder), p, b, e)) {
            deleteFolderRecursively(folder.c_str());
            continue;
        }
        std::shared_ptr<cSourceDoc> doc = findBook(p, b, e);
        if (doc == nullptr) {
            deleteFolderRecursively(folder.c_str());
            continue;
        }
        const uint32_t n = doc->GetNumSections();
        if (n == 0)
            continue;
        uint32_t first = 1, last = n - 1;
        cBibleRef mapped;
        const cBibleRef* passed = nullptr;
        if (reference != nullptr) {
            if (!doc->supports(kDocSupportsIsBible) || !bibleRange(*doc, *reference, mapped, first, last))
                continue;
            passed = &mapped;
        } else if (identity) {
            if (p != publisher || b != book || e != edition)
                continue;
            if (section != 0 && section != 0xFFFFFFFF)
                first = last = section;
        }
        for (uint32_t category : listed) {
            const std::string file = folder + "/" + hex(category, 8) + ".bin";
            if (fileExists(file.c_str()))
                refreshFile(file, *doc, first, last, passed);
        }
    }
}

cSourceDoc* journalDocForSearchCache()
{
    static std::once_flag once;
    static cJournalDoc* journal = nullptr;
    std::call_once(once, [] {
        journal = new cJournalDoc();  // kept for the life of the process
        cLString16 path;
        path.assignFromUTF8("Journal");
        journal->SetPathName(path);
        journal->Open();
    });
    return journal;
}

void setBookDirectory(BookDirectory d)
{
    std::lock_guard<std::mutex> guard(directoryLock());
    directory() = std::move(d);
}

namespace {

class StoreHandler : public qs::userdata::SearchCacheHandler {
public:
    void invalidateNoteSearchCache(
        int32_t kind, int32_t section, uint16_t pubid, uint16_t bookid, uint8_t edition) override
    {
        updateUserDataSearchCacheForSection(kind, static_cast<uint32_t>(section), pubid, bookid, edition);
    }
    void invalidateUserDataSearchCacheForBook(int32_t kind, const cBibleRef& reference, int32_t) override
    {
        userdatasearch::invalidateUserDataSearchCacheForBook(kind, reference);
    }
    void clearColorSearchCache() override { userdatasearch::clearColorSearchCache(); }
    void invalidateCategorySearchCache(const cBibleRef* reference, int32_t section, uint16_t pubid, uint16_t bookid,
        uint8_t edition, const cLIntArray& categories) override
    {
        std::vector<uint32_t> ids;
        for (int32_t i = 0; i < categories.count(); ++i)
            ids.push_back(categories.getAt(i) == 0xFFFF ? kAllValues : static_cast<uint32_t>(categories.getAt(i)));
        userdatasearch::invalidateCategorySearchCache(
            reference, static_cast<uint32_t>(section), pubid, bookid, edition, ids);
    }
};

}  // namespace

qs::userdata::SearchCacheHandler& storeHandler()
{
    static StoreHandler handler;
    return handler;
}

}  // namespace userdatasearch
