// The names of the notifications that only the application posts or observes: the preferences
// window, the sync progress that the application's sync delegate reports, and the update download.
// Every file of app/ and app/preferences/ spells these names through this header, never as text (names that lower layers
// share are in the notifications headers of library/, panes/layout/ and studypane/).
#pragma once

#include <QString>

namespace AppNotifications {

// The preferences window shows another page / is closing (object: the window).
inline const QString MASPreferencesWindowControllerDidChangeViewNotification =
    QStringLiteral("MASPreferencesWindowControllerDidChangeViewNotification");
inline const QString MASPreferencesWindowControllerWindowWillCloseNotification =
    QStringLiteral("MASPreferencesWindowControllerWindowWillCloseNotification");

// Sync progress, posted by the sync delegate: a connection started or finished, its progress
// ({"progress", "statusMessage"}) and errors ({"message"}).
inline const QString qsSyncCommStartedNotification = QStringLiteral("qsSyncCommStartedNotification");
inline const QString qsSyncCommFinishedNotification = QStringLiteral("qsSyncCommFinishedNotification");
inline const QString qsSyncProgressPercentNotification = QStringLiteral("qsSyncProgressPercentNotification");
inline const QString qsSyncErrorOccurredNotification = QStringLiteral("qsSyncErrorOccurredNotification");

// The update window asks for the new version to be downloaded.
inline const QString UserWantsToDownloadAppUpdateNotification = QStringLiteral("userWantsToDownloadAppUpdate");

}  // namespace AppNotifications
