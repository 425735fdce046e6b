// SyncManagerDelegate: what the sync engine asks of the application and reports to it. The
// application shell implements it (progress item, notifications, sync log, alerts) and installs it
// on the engine it was handed (installSyncEngine) at start-up; the engine does not own it.
//
// Every call arrives on the main thread.
#pragma once

#include "cloud/protocol/ServiceHost.h"

#include <QString>

#include <optional>

namespace qs::cloud {

// The values a connection logs in with.
struct SyncConnectParameters {
    QString customerID;  // the account's user name (e-mail or number)
    QString password;    // clear text
    QString programID;
    QString version;
    QString deviceid;
    QString devicename;
    qint64 customerIDNumber = 0;
};

class SyncManagerDelegate {
public:
    virtual ~SyncManagerDelegate() = default;

    // A connection opened; it closed (only after one opened).
    virtual void syncCommStarted() { }
    virtual void syncCommFinished() { }
    // true on a successful log-in; false when the server refused the credentials.
    virtual void syncLoginComplete(bool /*valid*/) { }
    virtual void syncProgressPercent(float /*progress*/, const QString& /*statusMessage*/) { }
    // One report per failure; `userAsked` when the failing run serves a sync the user asked for
    // (Sync Now), which the user hears of even when syncs otherwise run quietly.
    virtual void syncErrorOccurred(const QString& /*message*/, bool /*userAsked*/) { }
    // What a type's sync left out of the server's records, in one sentence; said once per record in a
    // session unless the user asked for the sync. No failure of the run, which went on: by default it
    // is reported as an error all the same.
    virtual void syncRecordsLeftOut(const QString& summary, bool userAsked) { syncErrorOccurred(summary, userAsked); }
    // A record type starts (noun such as "BIBLENOTES"; the delegate names it with
    // SyncManager::lastSyncTableNames) and ends; `changed` tells whether received records changed
    // local data. The note types' start is where a note editor must save first.
    virtual void syncRecordTypeWillStart(const QString& /*noun*/) { }
    virtual void syncRecordTypeComplete(const QString& /*noun*/, bool /*changed*/) { }
    // Asked before every automatic request: "autoSyncEnabled", credentials valid and the local data
    // belonging to the logged-in customer.
    virtual bool syncAutomatically() { return false; }
    // The log-in values, built fresh at each call; nothing when there is no account.
    virtual std::optional<SyncConnectParameters> connectParameters() { return std::nullopt; }
    // Where the sync server is, asked before each connection (the application reads its "serviceHost"
    // setting; by default the local stand-in); an engine given a server with setServer does not ask.
    virtual ServiceHost serviceHost() { return ServiceHost(); }
};

}  // namespace qs::cloud
