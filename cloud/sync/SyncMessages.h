// SyncMessages: the words of a sync run. The progress messages of each record type, how a record or
// a local row is named to the user, and the small readers of the protocol's numbers and times the
// run shares. No state; any thread.
#pragma once

#include <QAbstractSocket>
#include <QString>

#include <optional>

#include "cloud/protocol/SyncCommand.h"
#include "cloud/sync/SyncLocalData.h"

namespace qs::cloud {

// What the progress line says while a type is counted, started, received and sent, and the error of
// a failed write of its records.
struct SyncTypeMessages {
    const char* counting;
    const char* starting;
    const char* receiving;
    const char* sending;
    const char* openError;
};

// Null for a noun that is no data type.
const SyncTypeMessages* messagesOf(qint64 noun);
// The message of a failed write of the type's records; when the disk is full (the last failure of a
// statement on this thread), it says so. A noun that is no data type (-1: the tables could not be
// opened) names all the synced data.
QString storeErrorOf(qint64 noun);
// A type of the user's data (bookmarks to highlight color names), not a program setting.
bool isDataNoun(qint64 noun);
// The wire word of a noun ("BIBLEBOOKMARKS"); empty for an unknown one.
QString nounWord(qint64 noun);

std::optional<qint64> toInt64(const QString& text);
// MM/DD/YYYY hh:mm:ss of a calendar time.
QString usTime(qint64 calendarMs);
// What the user calls a type's records ("Bible note"), for messages that name one.
QString recordKindOf(qint64 noun);
// A local row as the user knows it: a note by its verse (a Bible note) or its section and opening
// words (a book or journal note).
QString describeRow(qint64 noun, const SyncLocalRow& row);
// What a type's sync left out of the server's records, in one sentence: "412 Bible notes from the
// server could not be read and were left out."; with other reasons, each counted.
QString leftOutSummary(qint64 noun, int unreadable, int tooLong, int noPlace);
// "4 MB", "1.5 MB".
QString megabytes(qint64 bytes);
// Why a run failed when its connection did, in words: "Cloud Sync could not reach the server
// (connection refused)." before the connection was made, "Cloud Sync lost the connection to the
// server (...)." after. `detail` (the socket's own text) stands in for an error without words here.
QString connectionFailureMessage(QAbstractSocket::SocketError error, const QString& detail, bool wasConnected);

}  // namespace qs::cloud
