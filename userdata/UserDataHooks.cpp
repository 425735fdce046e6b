#include "userdata/UserDataHooks.h"

#include "engine/foundation/cLIntArray.h"

#include <memory>

namespace qs::userdata {
namespace {

SyncRequestHandler& syncHandler()
{
    return SyncRequestHandler::current();
}

SearchCacheHandler& cacheHandler()
{
    return SearchCacheHandler::current();
}

// The handlers in place until the program installs its own: every call is dropped.
class IgnoredCalls : public SyncRequestHandler, public SearchCacheHandler {
public:
    void requestSync(SyncRecordType, bool, std::int64_t) override { }
    void invalidateNoteSearchCache(std::int32_t, std::int32_t, std::uint16_t, std::uint16_t, std::uint8_t) override { }
    void invalidateUserDataSearchCacheForBook(std::int32_t, const cBibleRef&, std::int32_t) override { }
    void clearColorSearchCache() override { }
    void invalidateCategorySearchCache(
        const cBibleRef*, std::int32_t, std::uint16_t, std::uint16_t, std::uint8_t, const cLIntArray&) override
    {
    }
};

IgnoredCalls& ignoredCalls()
{
    static IgnoredCalls* ignored = new IgnoredCalls();  // stores may call during exit
    return *ignored;
}

}  // namespace

const char* syncRecordTypeName(SyncRecordType type)
{
    switch (type) {
    case SyncRecordType::BibleBookmarks:
        return "BIBLEBOOKMARKS";
    case SyncRecordType::BibleHighlights:
        return "BIBLEHIGHLIGHTS";
    case SyncRecordType::BibleNotes:
        return "BIBLENOTES";
    case SyncRecordType::BookBookmarks:
        return "BOOKBOOKMARKS";
    case SyncRecordType::BookNotes:
        return "BOOKNOTES";
    case SyncRecordType::DevotionalProgress:
        return "DEVOTIONALPROGRESS";
    case SyncRecordType::DevotionalStartDate:
        return "DEVOTIONALSTARTDATE";
    case SyncRecordType::HighlightColorNames:
        return "HIGHLIGHTCOLORNAMES";
    }
    return "";
}

SyncRequestHandler& SyncRequestHandler::defaultHook()
{
    return ignoredCalls();
}

SearchCacheHandler& SearchCacheHandler::defaultHook()
{
    return ignoredCalls();
}

}  // namespace qs::userdata

using qs::userdata::syncHandler;
using qs::userdata::SyncRecordType;

void requestSyncBibleBookmarks(std::uint8_t now)
{
    syncHandler().requestSync(SyncRecordType::BibleBookmarks, now, -1);
}
void requestSyncBibleHighlights(std::uint8_t now)
{
    syncHandler().requestSync(SyncRecordType::BibleHighlights, now, -1);
}
void requestSyncBibleNotes(std::uint8_t now)
{
    syncHandler().requestSync(SyncRecordType::BibleNotes, now, -1);
}
void requestSyncBibleNotesEditing(std::uint8_t now, std::int64_t editingId)
{
    syncHandler().requestSync(SyncRecordType::BibleNotes, now, editingId < 0 ? 0 : editingId);
}
void requestSyncBookBookmarks(std::uint8_t now)
{
    syncHandler().requestSync(SyncRecordType::BookBookmarks, now, -1);
}
void requestSyncBookNotes(std::uint8_t now)
{
    syncHandler().requestSync(SyncRecordType::BookNotes, now, -1);
}
void requestSyncBookNotesEditing(std::uint8_t now, std::int64_t editingId)
{
    syncHandler().requestSync(SyncRecordType::BookNotes, now, editingId < 0 ? 0 : editingId);
}
void requestSyncDevotionalProgress(std::uint8_t now)
{
    syncHandler().requestSync(SyncRecordType::DevotionalProgress, now, -1);
}
void requestSyncDevotionalStartDate(std::uint8_t now)
{
    syncHandler().requestSync(SyncRecordType::DevotionalStartDate, now, -1);
}
void requestSyncHighlightColorNames(std::uint8_t now)
{
    syncHandler().requestSync(SyncRecordType::HighlightColorNames, now, -1);
}

void invalidateNoteSearchCache(
    std::int32_t kind, std::int32_t section, std::uint16_t pubid, std::uint16_t bookid, std::uint8_t edition)
{
    qs::userdata::cacheHandler().invalidateNoteSearchCache(kind, section, pubid, bookid, edition);
}
void invalidateUserDataSearchCacheForBook(std::int32_t kind, const cBibleRef& reference, std::int32_t flag)
{
    qs::userdata::cacheHandler().invalidateUserDataSearchCacheForBook(kind, reference, flag);
}
void clearColorSearchCache()
{
    qs::userdata::cacheHandler().clearColorSearchCache();
}
void invalidateCategorySearchCache(const cBibleRef* reference, std::int32_t section, std::uint16_t pubid,
    std::uint16_t bookid, std::uint8_t edition, const cLIntArray& categories)
{
    qs::userdata::cacheHandler().invalidateCategorySearchCache(reference, section, pubid, bookid, edition, categories);
}
