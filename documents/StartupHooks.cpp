#include "documents/StartupHooks.h"

namespace {

template <class Hook> void installIfSet(const std::shared_ptr<Hook>& hook)
{
    if (hook != nullptr)
        Hook::install(hook);
}

}  // namespace

void installStartupHooks(const StartupHooks& hooks)
{
    installIfSet(hooks.bookSearchHits);
    installIfSet(hooks.documentSearchHits);
    installIfSet(hooks.verseKeyNavigator);
    installIfSet(hooks.referenceFormatter);
    installIfSet(hooks.referenceEntities);
    installIfSet(hooks.bookInfoEntities);
    installIfSet(hooks.renderUserData);
    installIfSet(hooks.noteDoc);
    installIfSet(hooks.findProximity);
    installIfSet(hooks.syncRequests);
    installIfSet(hooks.searchCache);
    installIfSet(hooks.databaseErrors);
    installIfSet(hooks.engineTraces);
}

void uninstallStartupHooks()
{
    cBkSearchHitHooks::install(nullptr);
    cDocSearchHitHooks::install(nullptr);
    cBkVerseKeyNavigator::install(nullptr);
    cBkReferenceFormatter::install(nullptr);
    cBibleRefEntityLookup::install(nullptr);
    cBkInfoEntityLookup::install(nullptr);
    cBlockRenderUserData::install(nullptr);
    cNoteDocProvider::install(nullptr);
    cFindProximitySetting::install(nullptr);
    qs::userdata::SyncRequestHandler::install(nullptr);
    qs::userdata::SearchCacheHandler::install(nullptr);
    cDatabaseErrorReporter::install(nullptr);
    cEngineTraceLog::install(nullptr);
}
