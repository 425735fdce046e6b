// The user-data stores' upward calls as tests see them: a handler of both hooks that records each call
// as a line of text. Thread-safe.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "userdata/UserDataHooks.h"

namespace qs::userdata {

// The handler of tests: it keeps one line per call, such as "sync BIBLENOTES now=1 editing=42" or
// "cache note kind=4 section=7 book=1:23:1", for as long as it is installed and not emptied.
class CallRecorder : public SyncRequestHandler, public SearchCacheHandler {
public:
    static CallRecorder& shared();
    // Installs the shared recorder as both handlers (install(nullptr) goes back to the defaults).
    static void installShared();

    void requestSync(SyncRecordType type, bool now, std::int64_t editingId) override;
    void invalidateNoteSearchCache(std::int32_t kind, std::int32_t section, std::uint16_t pubid, std::uint16_t bookid,
        std::uint8_t edition) override;
    void invalidateUserDataSearchCacheForBook(
        std::int32_t kind, const cBibleRef& reference, std::int32_t flag) override;
    void clearColorSearchCache() override;
    void invalidateCategorySearchCache(const cBibleRef* reference, std::int32_t section, std::uint16_t pubid,
        std::uint16_t bookid, std::uint8_t edition, const cLIntArray& categories) override;

    std::vector<std::string> calls() const;
    // The calls so far, emptying the record.
    std::vector<std::string> takeCalls();
    void clear();

private:
    void add(std::string line);

    mutable std::mutex m_lock;
    std::vector<std::string> m_calls;
};

}  // namespace qs::userdata
