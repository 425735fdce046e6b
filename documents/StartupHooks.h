// StartupHooks: every call that a lower layer makes up into a higher one, in one list. Each entry is
// a hook class (cStartupHook, engine/foundation/cStartupHook.h): an interface whose virtual functions
// give the answers in force until the application installs its implementation. The application
// fills one StartupHooks at start-up and calls installStartupHooks once, before any book opens and
// before worker threads start; entries it leaves null keep their defaults. Tests install single
// hooks with Hook::install(std::make_shared<Fake>()) and restore the defaults with install(nullptr)
// or uninstallStartupHooks().
//
// Who implements each hook is noted beside it; a new hook joins this list (and the README of
// documents/) in the same commit that adds it.
//
// Main thread (start-up) only.

#pragma once

#include <memory>

#include "documents/cBibleDoc.h"
#include "engine/bookfile/cBkGenInfoStg.h"
#include "engine/bookfile/cBkHTMLNodeStg.h"
#include "engine/bookfile/cBkSearchHitHooks.h"
#include "engine/bookfile/cBkVerseSyncStg.h"
#include "engine/docbase/cSourceDoc.h"
#include "engine/foundation/cMsgBox.h"
#include "engine/references/cBibleRefText.h"
#include "render/cBlockRenderUserData.h"
#include "userdata/UserDataHooks.h"

struct StartupHooks {
    // Search execution: hits of kept results and of the search pane's aggregator, for the section
    // text writer (book file) ...
    std::shared_ptr<cBkSearchHitHooks> bookSearchHits;
    // ... and for the documents (note searches, a result's hits in one book).
    std::shared_ptr<cDocSearchHitHooks> documentSearchHits;
    // Library (Bible references): mapping verse keys between translations, next chapter and book.
    std::shared_ptr<cBkVerseKeyNavigator> verseKeyNavigator;
    // Library (Bible references): spelling a qs_sync element's Bible key.
    std::shared_ptr<cBkReferenceFormatter> referenceFormatter;
    // Renderer's entity table: named entities in typed references and in book information texts.
    std::shared_ptr<cBibleRefEntityLookup> referenceEntities;
    std::shared_ptr<cBkInfoEntityLookup> bookInfoEntities;
    // User data (documents/cBookUserData): highlights and note marks of rendered verses, and the
    // process-wide note document of the documents. cBookUserData::install() installs both.
    std::shared_ptr<cBlockRenderUserData> renderUserData;
    std::shared_ptr<cNoteDocProvider> noteDoc;
    // Application settings: the user default findProximity of Bible documents.
    std::shared_ptr<cFindProximitySetting> findProximity;
    // Cloud sync: a user-data store asks for a sync of a record type after a change.
    std::shared_ptr<qs::userdata::SyncRequestHandler> syncRequests;
    // Search execution: the user-data search caches to drop after a change.
    std::shared_ptr<qs::userdata::SearchCacheHandler> searchCache;
    // Application: telling the user that the database could not be opened or written.
    std::shared_ptr<cDatabaseErrorReporter> databaseErrors;
    // Application: the log that takes the engine's traces.
    std::shared_ptr<cEngineTraceLog> engineTraces;
};

// Installs every entry that is set; null entries leave their hook as it is.
void installStartupHooks(const StartupHooks& hooks);
// Every hook back to its default (tests, and the end of a tool's main).
void uninstallStartupHooks();
