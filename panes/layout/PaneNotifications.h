// The names of the notifications that the panes layer posts or observes and that no lower layer
// does: the pane manager's requests, the layout view's resizes, the book panes' state and commands,
// and the changes of user data and display settings that the book panes redraw for. Every folder at
// or above the panes spells these names through this header, never as text (the go-to and library
// names are in library/LibraryNotifications.h).
#pragma once

#include <QString>

namespace PaneNotifications {

// --- the layout and the pane manager ---

// Posted by the layout view around every change of pane sizes; user info {"layoutUuid"}.
inline const QString LayoutWillResizePanesNotification = QStringLiteral("LayoutWillResizePanesNotification");
inline const QString LayoutDidResizePanesNotification = QStringLiteral("LayoutDidResizePanesNotification");
// Posted by whoever renames a layout (object: the layout manager, or nil).
inline const QString qsLayoutManagerLayoutNameChangedNotification =
    QStringLiteral("qsLayoutManagerLayoutNameChangedNotification");
// Requests the pane manager answers (posted by menus, the toolbar, sheets and panes).
inline const QString UserWantsToOpenThisBookNotification = QStringLiteral("UserWantsToOpenThisBookNotification");
inline const QString UserWantsToCloseActiveBookNotification = QStringLiteral("UserWantsToCloseActiveBookNotification");
inline const QString UserWantsToSeeCurrentBookProperties = QStringLiteral("UserWantsToSeeCurrentBookProperties");
inline const QString UserWantsToSplitActivePaneNotification = QStringLiteral("UserWantsToSplitActivePaneNotification");
inline const QString UserWantsToCloseActivePaneNotification = QStringLiteral("UserWantsToCloseActivePaneNotification");
inline const QString UserWantsToScrollUpOneLine = QStringLiteral("UserWantsToScrollUpOneLine");
inline const QString UserWantsToScrollUpOnePage = QStringLiteral("UserWantsToScrollUpOnePage");
inline const QString UserWantsToScrollDownOneLine = QStringLiteral("UserWantsToScrollDownOneLine");
inline const QString UserWantsToScrollDownOnePage = QStringLiteral("UserWantsToScrollDownOnePage");
inline const QString UserWantsToMaximizeCurrentPaneNotification =
    QStringLiteral("UserWantsToMaximizeCurrentPaneNotification");
inline const QString UserWantsToMaximizeCurrentBookNotification =
    QStringLiteral("UserWantsToMaximizeCurrentBookNotification");
inline const QString resetLocationSyncToDefaultsNotification =
    QStringLiteral("resetLocationSyncToDefaultsNotification");

// Posted by a watched web page whose renderer process ended (crashed, killed, out of memory); user
// info {"status" (QWebEnginePage's termination status), "exitCode", "restored" (false: the page was
// left blank), "noteText" (true: the page was a note editor showing a note)}. One renderer draws
// many pages, so one end comes as one post per page.
inline const QString PageRendererEndedNotification = QStringLiteral("PageRendererEndedNotification");

// --- the book panes ---

// Posted by the book pane whose book became the active one (object: the pane).
inline const QString ThisSourceIsNowActiveNotification = QStringLiteral("ThisSourceIsNowActiveNotification");
// Commands the book panes answer: speech of the current pane ({"layoutUuid"}) and the reading
// mark of a devotional.
inline const QString UserWantsToStartSpeakingNotification = QStringLiteral("UserWantsToStartSpeakingNotification");
inline const QString UserWantsToStopSpeakingNotification = QStringLiteral("UserWantsToStopSpeakingNotification");
inline const QString UserWantsToToggleCurrentReading = QStringLiteral("UserWantsToToggleCurrentReading");
// Study requests a book pane posts for the autostudy windows (user info: the request).
inline const QString UserWantsToDoVerseAutostudy = QStringLiteral("UserWantsToDoVerseAutostudy");
inline const QString UserWantsToDoWordAutostudy = QStringLiteral("UserWantsToDoWordAutostudy");
inline const QString UserWantsToDoTodayAutostudy = QStringLiteral("UserWantsToDoTodayAutostudy");

// --- what the book panes redraw for ---

// Display settings changed (object: the poster, which does not refresh itself).
inline const QString DisplayPreferencesChangedNotification = QStringLiteral("DisplayPreferencesChangedNotification");
// A search finished, so its hits are marked in the pages.
inline const QString qsSearchHasCompletedNotification = QStringLiteral("qsSearchHasCompletedNotification");
// User data changed: notes ({"changed"}, or {"deletedNote"}), highlights, a devotional's start date.
inline const QString qsNotesHaveChangedNotification = QStringLiteral("qsNotesHaveChangedNotification");
inline const QString qsHighlightsHaveChangedNotification = QStringLiteral("qsHighlightsHaveChangedNotification");
inline const QString qsDevotionalStartDateHasChangedNotification =
    QStringLiteral("qsDevotionalStartDateHasChangedNotification");

}  // namespace PaneNotifications
