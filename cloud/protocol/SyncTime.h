// Times on the sync wire: "YYYY-MM-DD hh:mm:ss.mmm" in UTC, every field zero-padded. Received times
// may also come in the stored colon form "YYYY:MM:DD:HH:MM:SS:mmm:WW" (the last field, the weekday,
// is not checked against the date).
//
// Threads: pure functions, any thread.
#pragma once

#include <QString>

#include <optional>

namespace qs::cloud {

// Milliseconds since 1970-01-01 00:00 UTC written in the wire form.
QString formatSyncTime(qint64 msSinceEpoch);
// The wire form or the colon form back to milliseconds since 1970 (UTC); nothing for any other text
// or an impossible date or time.
std::optional<qint64> parseSyncTime(const QString& text);
// The current UTC time in milliseconds.
qint64 currentSyncTimeMs();

}  // namespace qs::cloud
