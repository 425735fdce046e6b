#include "cloud/sync/SyncEntryPoints.h"

#include "cloud/protocol/SyncCommand.h"
#include "cloud/sync/SyncManager.h"
#include "platform/MainThread.h"

namespace qs::cloud {

qint64 SyncRequestForwarder::nounOf(qs::userdata::SyncRecordType type)
{
    using T = qs::userdata::SyncRecordType;
    switch (type) {
    case T::BibleBookmarks:
        return SyncCommand::BibleBookmarks;
    case T::BibleHighlights:
        return SyncCommand::BibleHighlights;
    case T::BibleNotes:
        return SyncCommand::BibleNotes;
    case T::BookBookmarks:
        return SyncCommand::BookBookmarks;
    case T::BookNotes:
        return SyncCommand::BookNotes;
    case T::DevotionalProgress:
        return SyncCommand::DevotionalProgress;
    case T::DevotionalStartDate:
        return SyncCommand::DevotionalStartDate;
    case T::HighlightColorNames:
        return SyncCommand::HighlightColorNames;
    }
    return SyncCommand::BibleBookmarks;
}

void SyncRequestForwarder::requestSync(qs::userdata::SyncRecordType type, bool now, std::int64_t editingId)
{
    const qint64 noun = nounOf(type);
    const qint64 id = editingId > 0 ? editingId : 0;
    SyncManager* engine = &m_engine;
    auto call = [engine, noun, now, id] { engine->syncRecordTypeRequest(noun, now, id); };
    // The queue and the due times belong to the main thread.
    if (isMainThread())
        call();
    else
        runOnMainThread(call);
}

void installSyncEngine(SyncManager& engine, SyncManagerDelegate* delegate)
{
    engine.setDelegate(delegate);
    qs::userdata::SyncRequestHandler::install(
        delegate ? std::make_shared<SyncRequestForwarder>(engine) : std::shared_ptr<SyncRequestForwarder>());
}

}  // namespace qs::cloud
