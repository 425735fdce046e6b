// The names of the notifications that the library layer posts or observes: the go-to routing and the
// navigation history, and the library's changes. Every folder at or above the library spells these
// names through this header, never as text. Who posts each and what its user info holds is said
// beside it.
#pragma once

#include <QString>

namespace LibraryNotifications {

// --- go-to routing and history ---

// A go-to request (GoToRequest, carried typed; see GoToRequest.h). Observed by the go-to router.
inline const QString GoToNotification = QStringLiteral("GoToNotification");
// After the routing went to a Bible verse from a link: {"key", "abbr", "layoutUuid"}.
inline const QString PushKeyOnRecentStackNotification = QStringLiteral("PushKeyOnRecentStackNotification");
// After a move with "sync": the request's map form, for the panes that follow (location sync).
inline const QString EverybodySyncToMeNotification = QStringLiteral("EverybodySyncToMeNotification");
// A user-note link was chosen in a page or the notes list.
inline const QString qsUserNoteLinkSelected = QStringLiteral("qsUserNoteLinkSelected");
// A pane asks the history to record the layout: {"layoutUuid", "alwaysAdd"}.
inline const QString AddStateToHistoryNotification = QStringLiteral("AddStateToHistoryNotification");
// Posted by the layout manager (object: the manager) after a layout was added, deleted or the
// archive was read; the history drops the stacks of deleted layouts on it.
inline const QString qsLayoutManagerAddedOrRemovedLayoutsNotification =
    QStringLiteral("qsLayoutManagerAddedOrRemovedLayoutsNotification");

// --- the library ---

// Posted by the library (object: the library): a book came ({"tuple", "modified"}), went or was
// put in another kind ({"tuple"}); the library changed ({"added", "removed", ...}) or is empty.
inline const QString qsSourceManagerAddedBookNotification = QStringLiteral("qsSourceManagerAddedBookNotification");
inline const QString qsSourceManagerRemovedBookNotification = QStringLiteral("qsSourceManagerRemovedBookNotification");
inline const QString SourceManagerReclassifiedBookNotification =
    QStringLiteral("SourceManagerReclassifiedBookNotification");
inline const QString qsSourceManagerDidChangeNotification = QStringLiteral("qsSourceManagerDidChangeNotification");
inline const QString qsSourceManagerIsEmptyNotification = QStringLiteral("qsSourceManagerIsEmptyNotification");
// A file of the books folder that does not open as a book was moved to the refused-books folder:
// {"path" (where it was), "movedTo", "folder" (the refused-books folder), "reason"}.
inline const QString qsSourceManagerSetAsideBookNotification =
    QStringLiteral("qsSourceManagerSetAsideBookNotification");
// A book file was placed in the books folder: {"path"}; the library installs it.
inline const QString qsBookFileCopiedToBooksFolder = QStringLiteral("qsBookFileCopiedToBooksFolder");
// The reading progress of a devotional changed (object: the book, or nil after a sync).
inline const QString DevotionalProgressHasChangedNotification =
    QStringLiteral("DevotionalProgressHasChangedNotification");

}  // namespace LibraryNotifications
