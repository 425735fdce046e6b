// The names of the notifications that the study pane posts or observes and that no lower layer
// does. Every folder at or above the study pane spells these names through this header, never as
// text (names the book panes share are in panes/layout/PaneNotifications.h, the go-to and library
// names in library/LibraryNotifications.h).
#pragma once

#include <QString>

namespace StudyPaneNotifications {

// The navigator's choice of books changed (posted by the navigator settings window).
inline const QString NavigatorSettingsChangedNotification = QStringLiteral("NavigatorSettingsChangedNotification");
// The library search or the navigator hands a book to search to the Find sub-pane
// ({"searchSpec", "sourceTupleID"}).
inline const QString StartSearchWithLibrarySearchResultsNotification =
    QStringLiteral("StartSearchWithLibrarySearchResultsNotification");
// User data the study pane lists changed: bookmarks, bookmark categories, the highlight colours'
// names (posted by the sub-panes and after a sync).
inline const QString qsBookmarksHaveChangedNotification = QStringLiteral("qsBookmarksHaveChangedNotification");
inline const QString qsCategoriesHaveChangedNotification = QStringLiteral("qsCategoriesHaveChangedNotification");
inline const QString qsHighlightColorNamesHaveChangedNotification =
    QStringLiteral("qsHighlightColorNamesHaveChangedNotification");
// A sync of Bible notes or book notes is about to read and change the notes (posted by the
// application's sync delegate): the note editor saves the text being typed first.
inline const QString qsBibleNoteSynchronizationWillStartNotification =
    QStringLiteral("qsBibleNoteSynchronizationWillStartNotification");
inline const QString qsBookNoteSynchronizationWillStartNotification =
    QStringLiteral("qsBookNoteSynchronizationWillStartNotification");

}  // namespace StudyPaneNotifications
