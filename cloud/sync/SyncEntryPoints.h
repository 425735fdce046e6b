// The sync engine's side of the stores' sync entry points (userdata/UserDataHooks.h): a
// SyncRequestHandler that forwards each request to SyncManager on the main thread, whatever thread
// the store ran on (stores are read on search threads too).
//
// The application installs it once at start-up, together with its delegate:
//     qs::cloud::installSyncEngine(&appController);   // SyncManagerDelegate*
// which sets the delegate of SyncManager::instance() and installs the handler with
// SyncRequestHandler::install. installSyncEngine(nullptr) takes the handler out again.
//
// Threads: requests from any thread; installSyncEngine on the main thread.
#pragma once

#include "cloud/sync/SyncManagerDelegate.h"
#include "userdata/UserDataHooks.h"

namespace qs::cloud {

class SyncRequestForwarder : public qs::userdata::SyncRequestHandler {
public:
    void requestSync(qs::userdata::SyncRecordType type, bool now, std::int64_t editingId) override;
    // The protocol noun of a store's record type.
    static qint64 nounOf(qs::userdata::SyncRecordType type);
};

void installSyncEngine(SyncManagerDelegate* delegate);

}  // namespace qs::cloud
