// FaultPlan: the faults the stand-in services put on for tests, set by name from the command line
// (--fault name=value) or the control endpoint (POST /_control/fault?name=value&...).
//
// Sync faults act on the received line with the given number (1 = the first line of a connection):
//   sync.closeAtLine=N       close the connection instead of answering line N
//   sync.garbageAtLine=N     answer line N with a line that is not a protocol line
//   sync.stallAtLine=N       answer line N only after sync.stallMs (default 15000, past the reader's 10 s)
//   sync.restartAtLine=N     restart the sync server at line N: every connection is dropped, the port
//                            closes and opens again after sync.restartDelayMs (default 500)
//   sync.refuseLogin=CODE    answer CONNECT with CONNECTED ERROR CODE sync.refuseMessage
//   sync.rejectUploads=1     answer ADD and DELETE with ADDED ERROR / DELETED ERROR
//   sync.clockSkewMs=MS      add MS to the server time GOT TIME reports
//   sync.greeting=0|1        send "Hi!\r\n" when a connection opens (default 1)
//   sync.times=K             how many connections the line faults act on (default 1; -1 until reset)
// HTTP faults act on every request outside /_control/ whose path holds http.path (default all):
//   http.status=CODE         answer with this status and a short body
//   http.truncate=BYTES      announce the whole body, send only BYTES of it, then close
//   http.stallMs=MS          answer only after MS
//   http.garbage=1           answer 200 with bytes that are no valid reply
//   http.times=K             how many requests the faults act on (default 1; -1 until reset)
// clockSkewMs and greeting are settings rather than faults: they stay until reset.
//
// Threads: owned by the server's main thread.
#pragma once

#include <QJsonObject>
#include <QString>

#include <optional>

namespace qs::standin {

struct FaultPlan {
    int closeAtLine = 0;
    int garbageAtLine = 0;
    int stallAtLine = 0;
    int stallMs = 15000;
    int restartAtLine = 0;
    int restartDelayMs = 500;
    int refuseLoginCode = 0;
    QString refuseMessage = QStringLiteral("Invalid customer ID or password.");
    bool rejectUploads = false;
    qint64 clockSkewMs = 0;
    bool greeting = true;
    int syncTimes = 1;

    int httpStatus = 0;
    QString httpPath;
    qint64 httpTruncate = -1;
    int httpStallMs = 0;
    bool httpGarbage = false;
    int httpTimes = 1;

    // Sets one fault; false with `error` set for an unknown name or a bad value.
    bool set(const QString& name, const QString& value, QString* error);
    void reset() { *this = FaultPlan(); }

    bool hasSyncLineFault() const
    {
        return closeAtLine > 0 || garbageAtLine > 0 || stallAtLine > 0 || restartAtLine > 0 || refuseLoginCode != 0 ||
            rejectUploads;
    }
    bool hasHttpFault() const { return httpStatus != 0 || httpTruncate >= 0 || httpStallMs > 0 || httpGarbage; }
    // The faults for a request of this path, when they act on it; clears them once used up.
    std::optional<FaultPlan> takeHttpFault(const QString& path);
    // The line faults for a new sync connection, when there are any; clears them once used up.
    std::optional<FaultPlan> takeSyncFaults();
    void clearSyncLineFaults();
    void clearHttpFaults();

    QJsonObject toJson() const;
};

}  // namespace qs::standin
