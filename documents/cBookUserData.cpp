#include "documents/cBookUserData.h"

#include <memory>
#include <mutex>

#include "engine/docbase/cSourceDoc.h"
#include "userdata/cNoteDoc.h"
#include "userdata/cSQLiteDbBase.h"
#include "userdata/cVerseChapterCache.h"
#include "userdata/cVerseHighlightDoc.h"

namespace {

// What install() put in place; guarded by its mutex.
struct Installed {
    std::mutex lock;
    std::shared_ptr<cBookUserData> provider;
    // Documents opened by install(path); the process-wide ones are never closed here.
    std::unique_ptr<cVerseHighlightDoc> ownHighlights;
    std::unique_ptr<cNoteDoc> ownNotes;
    bool processWide = false;
};

Installed& installed()
{
    static Installed instance;
    return instance;
}

// Takes down what is installed; the caller holds the lock.
void clearInstalled(Installed& state)
{
    cBlockRenderUserData::install(nullptr);
    cNoteDocProvider::install(nullptr);
    state.provider.reset();
    if (state.ownHighlights != nullptr)
        state.ownHighlights->closeShared();
    if (state.ownNotes != nullptr)
        state.ownNotes->Close();
    state.ownHighlights.reset();
    state.ownNotes.reset();
    state.processWide = false;
}

void put(Installed& state, cVerseHighlightDoc* highlights, cNoteDoc* notes)
{
    state.provider = std::make_shared<cBookUserData>(highlights, notes);
    cNoteDocProvider::install(state.provider);
    cBlockRenderUserData::install(state.provider);
}

}  // namespace

bool cBookUserData::verseHighlight(const cBibleRef& reference, std::uint16_t& fore, std::uint16_t& back) const
{
    fore = 0;
    back = 0;
    return m_highlights != nullptr && m_highlights->getHighlight(reference, fore, back);
}

bool cBookUserData::hasBibleNote(const cBibleRef& reference) const
{
    return m_notes != nullptr && m_notes->hasBibleNoteInReference(reference);
}

std::uint64_t cBookUserData::changeStamp() const
{
    return m_highlights != nullptr || m_notes != nullptr ? cSQLiteDbBase::changeSerial() : 0;
}

void cBookUserData::beginLookupBatch() const
{
    cVerseChapterCache::beginBatch();
}

void cBookUserData::endLookupBatch() const
{
    cVerseChapterCache::endBatch();
}

bool cBookUserData::install()
{
    Installed& state = installed();
    std::lock_guard<std::mutex> guard(state.lock);
    if (!state.processWide) {
        clearInstalled(state);
        put(state, cVerseHighlightDoc::verseHighlightDocInstance(), noteDocInstance());
        state.processWide = true;
    }
    // A document that could not be opened (another program held the database at the start) is
    // opened now: the documents installed are the same, and pages read them as soon as they are open.
    cVerseHighlightDoc* highlights = cVerseHighlightDoc::verseHighlightDocInstance();
    if (!highlights->isDocOpen())
        highlights->openShared(nullptr);
    cNoteDoc* notes = noteDocInstance();
    if (!notes->IsOpen())
        notes->openStores(cLString16());
    return highlights->isDocOpen() && notes->IsOpen();
}

bool cBookUserData::install(const cLString16& path)
{
    Installed& state = installed();
    std::lock_guard<std::mutex> guard(state.lock);
    clearInstalled(state);
    if (path.isEmpty())
        return false;
    auto highlights = std::make_unique<cVerseHighlightDoc>();
    auto notes = std::make_unique<cNoteDoc>();
    if (!highlights->openShared(&path))
        return false;
    if (!notes->openStores(path)) {
        highlights->closeShared();
        return false;
    }
    state.ownHighlights = std::move(highlights);
    state.ownNotes = std::move(notes);
    put(state, state.ownHighlights.get(), state.ownNotes.get());
    return true;
}

void cBookUserData::uninstall()
{
    Installed& state = installed();
    std::lock_guard<std::mutex> guard(state.lock);
    clearInstalled(state);
}
