// The sync engine's side of the stores' sync entry points (userdata/UserDataHooks.h): a
// SyncRequestHandler that forwards each request to a SyncManager on the main thread, whatever thread
// the store ran on (stores are read on search threads too).
//
// The application installs it once at start-up, with the engine it was handed and its delegate:
//     qs::cloud::installSyncEngine(engine, &syncDelegate);   // SyncManagerDelegate*
// which sets the engine's delegate and installs the handler with SyncRequestHandler::install.
// installSyncEngine(engine, nullptr) takes the handler (and the delegate) out again. The engine must
// outlive the handler and every request already on its way.
//
// Threads: requests from any thread; installSyncEngine on the main thread.
#pragma once

#include "cloud/sync/SyncManagerDelegate.h"
#include "userdata/UserDataHooks.h"

namespace qs::cloud {

class SyncManager;

class SyncRequestForwarder : public qs::userdata::SyncRequestHandler {
public:
    explicit SyncRequestForwarder(SyncManager& engine) : m_engine(engine) { }
    void requestSync(qs::userdata::SyncRecordType type, bool now, std::int64_t editingId) override;
    // The protocol noun of a store's record type.
    static qint64 nounOf(qs::userdata::SyncRecordType type);

private:
    SyncManager& m_engine;
};

void installSyncEngine(SyncManager& engine, SyncManagerDelegate* delegate);

}  // namespace qs::cloud
