// The go-to routing: every request to show a place in a book (GoToNotification) is taken here,
// its book found (given, by identity, or by resolving its link), its pane chosen, the pane told
// to go there, and the follow-ups run: activation, the recent-references stack, location sync
// to the other panes, the navigation history and the due-only sync of the user data. Web links
// leave the reader through the browser or the in-app web window. callerNeedsSourceForGoToInfo
// answers the same resolution synchronously (for link previews): the answer is written into the
// request.
//
// Link resolution prefers what the reader is looking at, then the books chosen in the
// preferences, then books open in tabs, then any installed book of the right kind. Failures
// are shown as an alert, or returned as "alertText" when the request asks for no alerts. After
// every move the sync engine is asked (through the user data's sync entry points, not
// immediately) for the Bible highlights, Bible notes, book notes and devotional progress and
// start dates.
//
// The pane manager makes one router for its life (after loading the history from its file) and
// reaches it through notifications; the router observes GoToNotification (whose request it hands,
// typed, to the chosen pane's goTo), AddStateToHistoryNotification and the layout manager's
// added-or-removed notification on the given centre. The panes, the library, the history, the
// centre, the defaults and the alerts (where failures are shown) must outlive it. The pane manager saves the history at shut-down.
//
// Main thread only. Re-entrant: a pane's goTo may post notifications that move other panes or
// post further go-to requests; each request keeps its state on the stack.
#pragma once

#include "library/GoToRequest.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsKeys.h"

#include <QTimer>

#include <memory>
#include <optional>
#include <vector>

class Alerts;
class GoToPanes;
class NavigationHistory;
class SourceManager;
class SourceTuple;
class UserDefaults;

class GoToRouter {
public:
    using Book = std::shared_ptr<SourceTuple>;

    static constexpr int kBusyIndicatorDelayMs = 1200;

    GoToRouter(GoToPanes& panes, SourceManager& library, NavigationHistory& history, NotificationCenter& center,
        UserDefaults& defaults, Alerts& alerts);
    ~GoToRouter();
    GoToRouter(const GoToRouter&) = delete;
    GoToRouter& operator=(const GoToRouter&) = delete;

    // The handler of GoToNotification.
    void goToHandler(const Notification& notification);
    // The resolution alone, without moving anything: the book is written into the request with
    // what sourceForGoTo writes ("section", "endSectionNumber", "alertText", ...). Overlong links
    // get no answer.
    void callerNeedsSourceForGoToInfo(GoToRequest& request);
    void goTo(GoToRequest request);

    // The book a request that names no book means, with "section", "endSectionNumber",
    // "paneRegion" and "wordSync" written into the request; null when there is nothing to show
    // (the failure was reported, the link was handled otherwise, or it is no link).
    Book sourceForGoTo(GoToRequest& request);
    // The pane that shows the book: written under "paneRegion" (removed when there is none);
    // may set "activate".
    std::optional<int> paneForGoTo(GoToRequest& request, const Book& book);
    // A go-to being typed (prepareOnly): its pane, chosen as for the go-to, is readied for it.
    void prepare(GoToRequest& request);

    // The book the user prefers in a role, when it is installed.
    Book preferredBook(const SettingKey<qint64>& pubIdKey, const SettingKey<qint64>& bookIdKey);

private:
    struct Context;
    Context readingContext() const;
    Book resolveBibleLink(GoToRequest& request, const QString& text, const Context& context);
    Book resolveBookLink(GoToRequest& request, const QString& text);
    Book resolveSyncRequest(GoToRequest& request, const QString& text, const Context& context);
    Book resolveReadingRequest(GoToRequest& request, const Context& context);
    void handleNoteLink(const QString& text, const Context& context);
    void reportFailure(GoToRequest& request, const QString& message, const QString& informative,
        const QString& separator = QStringLiteral("\n"));
    void startBusyIndicator();
    void stopBusyIndicator();
    // Hides the indicator and drops its pending start for the requests still running.
    void endBusyIndicator();
    void requestUserDataSync();

    GoToPanes& m_panes;
    SourceManager& m_library;
    NavigationHistory& m_history;
    NotificationCenter& m_center;
    UserDefaults& m_defaults;
    Alerts& m_alerts;
    QTimer m_busyTimer;
    int m_busyDepth = 0;
    bool m_busyShown = false;
    int m_routing = 0;  // go-tos moving their pane (nested ones included)
    std::vector<Observation> m_observations;
};
