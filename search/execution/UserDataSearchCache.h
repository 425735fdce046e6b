// The user-data search terms and their result cache. A limit expression may restrict a search to
// the user's own data: BOOKMARK("category", ...), COLOR("#RRGGBB" or "name", ...), NOTE(). A result
// whose limit names exactly one such value (and whose main expression is empty or "*") is kept as a
// file under the private data folder:
//     userdatasearch/color/<book>/<colour as 8 hex digits>.bin
//     userdatasearch/category/<book>/<category as 8 hex digits>.bin
//     userdatasearch/note/<book>/note.bin
// where <book> is publisher (4 hex digits), book (4) and edition (2). Each file holds one search
// result cache record. After every highlight, note or bookmark change the user-data stores call the
// update operations, which re-evaluate the stored results of the affected books over the changed
// sections only and write them back.
//
// Every update begins with one look at its folder, so a change costs nothing when no result is
// kept. Operations run on the thread of the store that changed (the main thread for the user
// interface and sync); the cache folder is not locked. Failures are silent by design: an unreadable
// file is skipped, one that fails to re-evaluate is not written back.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "userdata/UserDataHooks.h"

class cBibleRef;
class cSearchExpressionResult;
class cSourceDoc;

namespace userdatasearch {

inline constexpr uint32_t kAllValues = 0xFFFFFFFFu;

struct Terms {
    std::string text;                  // the expression before the first term keyword, trimmed
    std::vector<uint32_t> colours;     // highlight colour ids or style codes; kAllValues for "*"
    std::vector<uint32_t> categories;  // category ids; 0 "No Category"; kAllValues for "*"
    bool note = false;                 // NOTE() occurs
};

// Splits a limit expression. False only when it names a bookmark category and the category store
// cannot be opened.
bool parseUserDataSearchTerms(const std::u16string& expression, Terms& terms);

// The cache file of a search, or "" when the search is not cacheable. `mainExpression` may be null.
std::string userDataSearchCachePath(
    const char* mainExpression, const std::u16string& limit, uint16_t publisher, uint16_t book, uint8_t edition);
bool userDataSearchCacheStat(
    const char* mainExpression, const std::u16string& limit, uint16_t publisher, uint16_t book, uint8_t edition);
bool userDataSearchCacheLoad(cSearchExpressionResult& result, const char* mainExpression, const std::u16string& limit,
    uint16_t publisher, uint16_t book, uint8_t edition);
bool userDataSearchCacheStore(const cSearchExpressionResult& result, const char* mainExpression,
    const std::u16string& limit, uint16_t publisher, uint16_t book, uint8_t edition);

// Removes the whole cache (after all user data is removed), the colour results (after all
// highlights are removed), or the note or bookmark category results (after notes or bookmarks were
// written by something other than the stores, such as received sync records).
void clearUserDataSearchCache();
void clearColorSearchCache();
void clearNoteSearchCache();
void clearCategorySearchCache();

// After a change to the verses of `reference`: the cached colour (kind 1) or note (kind 4) results of
// every Bible.
void invalidateUserDataSearchCacheForBook(int32_t kind, const cBibleRef& reference);
// After a change to one section of one book (a book note: kind 4).
void updateUserDataSearchCacheForSection(
    int32_t kind, uint32_t section, uint16_t publisher, uint16_t book, uint8_t edition);
// After a bookmark change: with a reference the Bibles over its verses; with an identity that book
// over the section (the whole book for section 0 or 0xFFFFFFFF); with neither every installed book.
// The result for all categories is always updated.
void invalidateCategorySearchCache(const cBibleRef* reference, uint32_t section, uint16_t publisher, uint16_t book,
    uint8_t edition, const std::vector<uint32_t>& categories);

// The journal document of the cache, opened once and kept for the life of the process.
cSourceDoc* journalDocForSearchCache();

// How the cache finds an installed book by identity. The library answers by default; tests set
// their own. (Every book with kept results has a folder, so the updates walk the folders, never the
// whole library.)
struct BookDirectory {
    std::function<std::shared_ptr<cSourceDoc>(uint16_t, uint16_t, uint8_t)> find;
};
void setBookDirectory(BookDirectory directory);

// The store hooks of the user-data layer, served by this cache. Register with
// qs::userdata::SearchCacheHandler::install (installSearchHooks does).
qs::userdata::SearchCacheHandler& storeHandler();

// The cache folder: the private data folder followed by "userdatasearch/".
std::string cacheRoot();

}  // namespace userdatasearch
