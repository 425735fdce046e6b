// QuillsteadSyncDelegate: the application's side of the cloud-sync engine. It gives the engine the
// account's log-in values and the permission to sync on its own, and turns the engine's reports into
// what the rest of the program sees: notifications (start, end, progress, errors, each record type's
// changes), the busy item in the main window's toolbar, rows of the sync history for errors, and
// fresh user-data search results after received records changed notes, highlights or bookmarks.
//
// What the user hears of a sync: a sync they asked for (Sync Now) always ends with a word of its
// outcome: a short message that goes by itself when all is in step, one alert when something went
// wrong. An automatic sync says nothing unless it fails while the settings show the sync page. The
// errors of one connection are said together in one alert when it ends (one that came without a
// connection at once), and an alert never opens while another window is modal (AlertWhenFree.h).
// Records a sync left out of the server's are no failure of it: those of a sync the user did not ask
// for are said when its connection ends, on the window's notice line (no modal over the user's work),
// and count as said once the user has closed that notice; a sync the user asks for says those not
// said yet in its own answer (they leave the notice line then), never "up to date".
//
// Owned by the application controller, which installs it with installSyncEngine at start-up. The
// toolbar and the settings window are reached through the functions given, so the delegate also works
// without a main window (tests). Main thread only: the engine reports on the main thread.
#pragma once

#include "cloud/sync/SyncManagerDelegate.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSet>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>

class Alerts;
class NotificationCenter;
class QToolBar;
class UserDefaults;

class QuillsteadSyncDelegate : public qs::cloud::SyncManagerDelegate {
public:
    struct Environment {
        // The main window's toolbar; null when there is none.
        std::function<QToolBar*()> toolbar;
        // True while the settings window shows the cloud-sync page.
        std::function<bool()> syncSettingsVisible;
        // Says a short message for a moment (a toast); none when not given.
        std::function<void(const QString&)> toast;
        // Puts the delegate's entry on the main window's notice line (message, informative text), in
        // place of the one it put before; `closed` runs once the user has closed it. An empty message
        // takes the entry back. False when it could not (no window). None when not given.
        std::function<bool(const QString&, const QString&, std::function<void()> closed)> notice;
    };

    // The identifiers of the toolbar items the delegate looks for and inserts (QAction::objectName).
    static inline const QString kCloudSyncItem = QStringLiteral("Cloud Sync");
    static inline const QString kProgressItem = QStringLiteral("progress");
    static inline const QString kProgressTempItem = QStringLiteral("progressTemp");
    static inline const QString kFlexibleSpaceItem = QStringLiteral("flexibleSpace");
    // The error code of sync history rows written for errors.
    static constexpr int kErrorCode = 1;
    // The busy item stays at least this long, so that a quick sync is seen to happen.
    static constexpr int kMinimumBusyMs = 1200;
    // The errors one alert names; the rest are counted (the sync log holds them all).
    static constexpr int kErrorsInAnAlert = 10;
    // What a sync the user asked for says when it ends without an error.
    static QString syncFinishedMessage()
    {
        return QStringLiteral("Cloud Sync: your notes, highlights and bookmarks are up to date.");
    }
    // The first line of the alert that says several errors of one sync.
    static QString severalErrorsMessage() { return QStringLiteral("Cloud Sync could not sync everything."); }
    // The notice line's message over what syncs the user did not ask for left out (each type's summary
    // below it).
    static QString leftOutNoticeMessage()
    {
        return QStringLiteral("Cloud Sync left out records from the server that it could not use.");
    }

    // Posts on `center`, reads the account in `defaults` and shows errors through `alerts`.
    QuillsteadSyncDelegate(NotificationCenter& center, UserDefaults& defaults, Alerts& alerts, Environment environment);
    ~QuillsteadSyncDelegate() override;

    // The engine's reports.
    void syncCommStarted() override;
    void syncCommFinished() override;
    void syncLoginComplete(bool valid) override;
    void syncProgressPercent(float progress, const QString& statusMessage) override;
    void syncErrorOccurred(const QString& message, bool userAsked) override;
    void syncRecordsLeftOut(const QString& summary, bool userAsked) override;
    void syncRecordTypeWillStart(const QString& noun) override;
    void syncRecordTypeComplete(const QString& noun, bool changed) override;
    bool syncAutomatically() override;
    std::optional<qs::cloud::SyncConnectParameters> connectParameters() override;
    qs::cloud::ServiceHost serviceHost() override;

    // The user asked for the sync that comes next (the Sync Now command): its end is said in a toast.
    void userAskedForSync() { m_userAsked = true; }

    // Adds an error row to the sync history under the record type being synced.
    void recordSyncError(const QString& message);
    // The customer the local user data was last synced for: 0 when none, -1 on a database error.
    static qint64 syncedToCustomerID();

    // The busy item while a connection is open, and its removal (toolbar items are told apart by
    // their actions' object names).
    static void addSyncProgressToToolbar(QToolBar* toolbar);
    static void removeSyncProgressFromToolbar(QToolBar* toolbar);

private:
    void post(const QString& name, const QVariantMap& userInfo = {}, bool fromDelegate = false);
    // Shows the errors waiting to be said, as one alert, once no other is up.
    void sayErrors();
    // Says on the notice line what syncs the user did not ask for left out; kept when it cannot.
    void sayLeftOut();

    NotificationCenter& m_center;
    UserDefaults& m_defaults;
    Alerts& m_alerts;
    Environment m_environment;
    QString m_tableBeingSynced;
    bool m_userAsked = false;
    bool m_errorInRun = false;
    // A connection is open: its errors are said when it ends.
    bool m_commOpen = false;
    // The errors of this connection written to the sync log.
    QSet<QString> m_loggedInComm;
    // The errors of this connection not said (an automatic sync's), in order: said after all when the
    // user asks for a sync that joins the connection.
    QStringList m_quietInComm;
    // Errors to be said in the next alert, in order, each once.
    QStringList m_errorsToSay;
    // What syncs the user did not ask for left out and the user has not closed yet, in order.
    QStringList m_leftOutToSay;
    // m_leftOutToSay is on the notice line.
    bool m_leftOutOnNotice = false;
    // An alert with errors is waiting to be shown or is up; errors that come meanwhile wait for the next.
    bool m_alertPending = false;
    // The context of the delegate's alerts: they are not shown once the delegate is gone.
    std::unique_ptr<QObject> m_alertContext;
    QElapsedTimer m_busySince;
    // Ends the busy item's delayed removal when the delegate goes, or when a new sync starts.
    std::unique_ptr<QObject> m_busyRemoval;
};
