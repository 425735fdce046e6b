// The calls the user-data stores make upward, to the sync engine and to the search subsystem's
// cache of user-data search results. Those subsystems sit above the store, so they install an
// implementation at start-up (SyncRequestHandler::install, SearchCacheHandler::install: cStartupHook,
// listed in documents/StartupHooks.h); until one is installed the calls do nothing. Tests install a
// recorder of every call (tests/support/CallRecorder.h) to check that every write asks for its sync.
//
// Each entry point may be called from any thread; the registered implementation must accept that.
#pragma once

#include <cstdint>

#include "engine/foundation/cStartupHook.h"

class cBibleRef;
class cLIntArray;

// The ten sync entry points, one per record type. `now` is 1 after a local change and 0 after a
// read. The editing forms pass the server id the written note had before the write (0 when the
// write kept it).
void requestSyncBibleBookmarks(std::uint8_t now);
void requestSyncBibleHighlights(std::uint8_t now);
void requestSyncBibleNotes(std::uint8_t now);
void requestSyncBibleNotesEditing(std::uint8_t now, std::int64_t editingId);
void requestSyncBookBookmarks(std::uint8_t now);
void requestSyncBookNotes(std::uint8_t now);
void requestSyncBookNotesEditing(std::uint8_t now, std::int64_t editingId);
void requestSyncDevotionalProgress(std::uint8_t now);
void requestSyncDevotionalStartDate(std::uint8_t now);
void requestSyncHighlightColorNames(std::uint8_t now);

// Cache kinds of the user-data search caches.
enum : std::int32_t { kUserDataCacheColor = 1, kUserDataCacheCategory = 2, kUserDataCacheNote = 4 };

// The search subsystem's cache calls. Failures are silent by design.
void invalidateNoteSearchCache(
    std::int32_t kind, std::int32_t section, std::uint16_t pubid, std::uint16_t bookid, std::uint8_t edition);
void invalidateUserDataSearchCacheForBook(std::int32_t kind, const cBibleRef& reference, std::int32_t flag);
void clearColorSearchCache();
void invalidateCategorySearchCache(const cBibleRef* reference, std::int32_t section, std::uint16_t pubid,
    std::uint16_t bookid, std::uint8_t edition, const cLIntArray& categories);

namespace qs::userdata {

// The record types as the sync engine names them.
enum class SyncRecordType {
    BibleBookmarks,       // "BIBLEBOOKMARKS"
    BibleHighlights,      // "BIBLEHIGHLIGHTS"
    BibleNotes,           // "BIBLENOTES"
    BookBookmarks,        // "BOOKBOOKMARKS"
    BookNotes,            // "BOOKNOTES"
    DevotionalProgress,   // "DEVOTIONALPROGRESS"
    DevotionalStartDate,  // "DEVOTIONALSTARTDATE"
    HighlightColorNames,  // "HIGHLIGHTCOLORNAMES"
};
const char* syncRecordTypeName(SyncRecordType type);

class SyncRequestHandler : public cStartupHook<SyncRequestHandler> {
public:
    virtual ~SyncRequestHandler() = default;
    // Until the sync engine installs its handler: one that does nothing and keeps nothing.
    static SyncRequestHandler& defaultHook();
    // editingId is >= 0 only for the two editing entry points; -1 otherwise.
    virtual void requestSync(SyncRecordType type, bool now, std::int64_t editingId) = 0;
};

class SearchCacheHandler : public cStartupHook<SearchCacheHandler> {
public:
    virtual ~SearchCacheHandler() = default;
    // Until the search subsystem installs its handler: one that does nothing and keeps nothing.
    static SearchCacheHandler& defaultHook();
    virtual void invalidateNoteSearchCache(
        std::int32_t kind, std::int32_t section, std::uint16_t pubid, std::uint16_t bookid, std::uint8_t edition) = 0;
    virtual void invalidateUserDataSearchCacheForBook(
        std::int32_t kind, const cBibleRef& reference, std::int32_t flag) = 0;
    virtual void clearColorSearchCache() = 0;
    virtual void invalidateCategorySearchCache(const cBibleRef* reference, std::int32_t section, std::uint16_t pubid,
        std::uint16_t bookid, std::uint8_t edition, const cLIntArray& categories) = 0;
};

}  // namespace qs::userdata
