#include "app/QuillsteadSyncDelegate.h"
#include "app/AlertWhenFree.h"
#include "platform/ui/PlainLabel.h"

#include "app/preferences/AppNotifications.h"
#include "cloud/account/CustomerPassword.h"
#include "cloud/sync/SyncLocalData.h"
#include "cloud/sync/SyncManager.h"
#include "engine/foundation/cMsgBox.h"
#include "library/JavaScript.h"
#include "library/LibraryNotifications.h"
#include "panes/layout/PaneNotifications.h"
#include "platform/Alerts.h"
#include "platform/AppFolders.h"
#include "platform/AppVersion.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"
#include "search/execution/UserDataSearchCache.h"
#include "studypane/StudyPaneNotifications.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QSysInfo>
#include <QTimer>
#include <QToolBar>
#include <QWidgetAction>

namespace {

// The toolbar's busy item: a small indicator that keeps moving, labelled like the button it stands in for.
QAction* makeProgressItem(QToolBar* toolbar, const QString& identifier)
{
    auto* action = new QWidgetAction(toolbar);
    action->setObjectName(identifier);
    action->setText(QuillsteadSyncDelegate::kCloudSyncItem);
    auto* box = new QWidget(toolbar);
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(4, 2, 4, 2);
    column->setSpacing(2);
    auto* bar = new QProgressBar(box);
    bar->setObjectName(QStringLiteral("syncProgressIndicator"));
    bar->setRange(0, 0);
    bar->setTextVisible(false);
    bar->setFixedSize(48, 10);
    auto* label = new PlainLabel(QuillsteadSyncDelegate::kCloudSyncItem, box);
    label->setAlignment(Qt::AlignHCenter);
    column->addWidget(bar, 0, Qt::AlignHCenter);
    column->addWidget(label);
    action->setDefaultWidget(box);
    return action;
}

// The busy item's property that holds the button it stands in for.
constexpr char kHiddenButtonProperty[] = "hiddenButton";

qsizetype indexOfItem(const QList<QAction*>& items, const QString& identifier)
{
    for (qsizetype i = 0; i < items.size(); ++i)
        if (items[i]->objectName() == identifier)
            return i;
    return -1;
}

}  // namespace

QuillsteadSyncDelegate::QuillsteadSyncDelegate(
    NotificationCenter& center, UserDefaults& defaults, Alerts& alerts, Environment env)
    : m_center(center),
      m_defaults(defaults),
      m_alerts(alerts),
      m_environment(std::move(env)),
      m_alertContext(std::make_unique<QObject>())
{
}

QuillsteadSyncDelegate::~QuillsteadSyncDelegate() = default;

void QuillsteadSyncDelegate::post(const QString& name, const QVariantMap& userInfo, bool fromDelegate)
{
    m_center.postNotificationName(name, fromDelegate ? this : nullptr, userInfo);
}

void QuillsteadSyncDelegate::syncCommStarted()
{
    post(AppNotifications::qsSyncCommStartedNotification);
    m_tableBeingSynced.clear();
    m_errorInRun = false;
    m_commOpen = true;
    m_loggedInComm.clear();
    m_quietInComm.clear();
    // A removal still waiting from the last sync is not due: the item stays for this one.
    const bool stillShown = m_busyRemoval != nullptr;
    m_busyRemoval.reset();
    if (!stillShown)
        m_busySince.start();
    if (m_environment.toolbar)
        addSyncProgressToToolbar(m_environment.toolbar());
}

void QuillsteadSyncDelegate::syncCommFinished()
{
    post(AppNotifications::qsSyncCommFinishedNotification);
    m_commOpen = false;
    // The outcome of a sync the user asked for: all is in step (a message that goes by itself), or
    // what went wrong (one alert for the whole sync), with what earlier syncs left out and could not
    // say: those records are not up to date.
    const QStringList quiet = std::exchange(m_quietInComm, {});
    if (std::exchange(m_userAsked, false)) {
        // The user's sync joined a connection whose automatic part failed quietly: that failure is
        // this sync's too, and its answer.
        for (const QString& message : quiet)
            if (!m_errorsToSay.contains(message))
                m_errorsToSay.append(message);
        for (const QString& summary : std::exchange(m_leftOutToSay, {}))
            if (!m_errorsToSay.contains(summary))
                m_errorsToSay.append(summary);
        // Said in this answer: the notice line lists them no more.
        if (std::exchange(m_leftOutOnNotice, false) && m_environment.notice)
            m_environment.notice({}, {}, {});
        if (m_errorsToSay.isEmpty() && !m_errorInRun && m_environment.toast)
            m_environment.toast(syncFinishedMessage());
    }
    sayLeftOut();
    sayErrors();
    if (!m_environment.toolbar)
        return;
    // A sync quicker than the eye still shows its busy item for a moment.
    const qint64 shown = m_busySince.isValid() ? m_busySince.elapsed() : kMinimumBusyMs;
    if (shown >= kMinimumBusyMs) {
        removeSyncProgressFromToolbar(m_environment.toolbar());
        return;
    }
    m_busyRemoval = std::make_unique<QObject>();
    QTimer::singleShot(int(kMinimumBusyMs - shown), m_busyRemoval.get(), [this] {
        if (m_environment.toolbar)
            removeSyncProgressFromToolbar(m_environment.toolbar());
        m_busyRemoval.release()->deleteLater();
    });
}

void QuillsteadSyncDelegate::syncLoginComplete(bool valid)
{
    m_defaults.set(SettingsKeys::CredentialsValid, valid);
}

void QuillsteadSyncDelegate::syncProgressPercent(float progress, const QString& statusMessage)
{
    post(AppNotifications::qsSyncProgressPercentNotification,
        {{QStringLiteral("progress"), double(progress)}, {QStringLiteral("statusMessage"), statusMessage}});
}

void QuillsteadSyncDelegate::syncErrorOccurred(const QString& message, bool userAsked)
{
    m_errorInRun = true;
    post(AppNotifications::qsSyncErrorOccurredNotification, {{QStringLiteral("message"), message}});
    // The sync log keeps each error of a connection once (a row is a write to the disk).
    if (!m_loggedInComm.contains(message)) {
        m_loggedInComm.insert(message);
        recordSyncError(message);
    }
    // Automatic syncs fail quietly (the sync log and the settings page show it); a sync the user
    // started always says how it failed.
    const bool settingsShowSync = m_environment.syncSettingsVisible && m_environment.syncSettingsVisible();
    if (syncAutomatically() && !settingsShowSync && !userAsked && !m_userAsked) {
        if (m_commOpen && !m_quietInComm.contains(message))
            m_quietInComm.append(message);
        return;
    }
    if (!m_errorsToSay.contains(message))
        m_errorsToSay.append(message);
    // The errors of a connection are said together when it ends; one without a connection at once.
    if (!m_commOpen)
        sayErrors();
}

void QuillsteadSyncDelegate::syncRecordsLeftOut(const QString& summary, bool userAsked)
{
    post(AppNotifications::qsSyncErrorOccurredNotification, {{QStringLiteral("message"), summary}});
    if (!m_loggedInComm.contains(summary)) {
        m_loggedInComm.insert(summary);
        recordSyncError(summary);
    }
    // A sync the user asked for answers with it; any other says it on the notice line when its
    // connection ends, not in a modal over the user's work.
    if (userAsked || m_userAsked) {
        m_errorInRun = true;
        if (!m_errorsToSay.contains(summary))
            m_errorsToSay.append(summary);
        if (!m_commOpen)
            sayErrors();
        return;
    }
    if (!m_leftOutToSay.contains(summary))
        m_leftOutToSay.append(summary);
    // While nothing can say them (no window), only the latest are kept (the sync log has them all).
    if (m_leftOutToSay.size() > kErrorsInAnAlert)
        m_leftOutToSay.removeFirst();
    if (!m_commOpen)
        sayLeftOut();
}

void QuillsteadSyncDelegate::sayLeftOut()
{
    if (m_leftOutToSay.isEmpty() || !m_environment.notice)
        return;
    // Said once the user has closed the notice that listed them; those that come meanwhile join it.
    const QPointer<QObject> alive(m_alertContext.get());
    const QStringList said = m_leftOutToSay;
    m_leftOutOnNotice = m_environment.notice(leftOutNoticeMessage(), said.join(QLatin1Char('\n')), [this, alive, said] {
        if (!alive)
            return;
        m_leftOutOnNotice = false;
        m_leftOutToSay.removeIf([&said](const QString& summary) { return said.contains(summary); });
    });
}

void QuillsteadSyncDelegate::sayErrors()
{
    if (m_errorsToSay.isEmpty() || m_alertPending)
        return;
    Alert alert;
    alert.style = AlertStyle::Warning;
    if (m_errorsToSay.size() == 1) {
        alert.messageText = m_errorsToSay.first();
    } else {
        alert.messageText = severalErrorsMessage();
        QStringList said = m_errorsToSay.mid(0, kErrorsInAnAlert);
        if (m_errorsToSay.size() > kErrorsInAnAlert)
            said << QStringLiteral("%1 more are in the sync log.").arg(m_errorsToSay.size() - kErrorsInAnAlert);
        alert.informativeText = said.join(QStringLiteral("\n\n"));
    }
    m_errorsToSay.clear();
    m_alertPending = true;
    // The engine reports from inside its socket handlers: the alert's own event loop runs after the
    // handler has returned, never inside it, and never over another modal window.
    showAlertWhenFree(m_alerts, alert, m_alertContext.get(), [this] {
        m_alertPending = false;
        // Errors that came while it was up (another sync's) are said next, unless a sync still runs.
        if (!m_commOpen)
            sayErrors();
    });
}

void QuillsteadSyncDelegate::recordSyncError(const QString& message)
{
    // The sync log is no place the user asked to save: a write it cannot make (a full disk) is no
    // alert of its own; the sync's error says what went wrong.
    cDatabaseErrorCapture captured;
    qs::cloud::SyncLocalData().recordSyncTime(
        m_tableBeingSynced, qs::cloud::SyncLocalData::nowMs(), kErrorCode, message);
}

void QuillsteadSyncDelegate::syncRecordTypeWillStart(const QString& noun)
{
    m_tableBeingSynced = qs::cloud::SyncManager::lastSyncTableNames().value(noun);
    // A note being edited is saved before its type is synced.
    if (noun == QLatin1String("BIBLENOTES"))
        post(StudyPaneNotifications::qsBibleNoteSynchronizationWillStartNotification, {}, true);
    else if (noun == QLatin1String("BOOKNOTES"))
        post(StudyPaneNotifications::qsBookNoteSynchronizationWillStartNotification, {}, true);
}

void QuillsteadSyncDelegate::syncRecordTypeComplete(const QString& noun, bool changed)
{
    m_tableBeingSynced.clear();
    if (noun == QLatin1String("BIBLENOTES") || noun == QLatin1String("BOOKNOTES")) {
        // Received notes are written straight into the tables: the kept note results are stale.
        if (changed)
            userdatasearch::clearNoteSearchCache();
        post(PaneNotifications::qsNotesHaveChangedNotification, {{QStringLiteral("changed"), changed}}, true);
        return;
    }
    if (!changed)
        return;
    if (noun == QLatin1String("BIBLEBOOKMARKS") || noun == QLatin1String("BOOKBOOKMARKS")) {
        userdatasearch::clearCategorySearchCache();
        post(StudyPaneNotifications::qsCategoriesHaveChangedNotification, {}, true);
        post(StudyPaneNotifications::qsBookmarksHaveChangedNotification, {}, true);
    } else if (noun == QLatin1String("BIBLEHIGHLIGHTS")) {
        userdatasearch::clearColorSearchCache();
        post(PaneNotifications::qsHighlightsHaveChangedNotification, {}, true);
    } else if (noun == QLatin1String("DEVOTIONALPROGRESS")) {
        post(LibraryNotifications::DevotionalProgressHasChangedNotification, {}, true);
    } else if (noun == QLatin1String("DEVOTIONALSTARTDATE")) {
        post(PaneNotifications::qsDevotionalStartDateHasChangedNotification, {}, true);
    } else if (noun == QLatin1String("HIGHLIGHTCOLORNAMES")) {
        // Colour names are part of what COLOR("name") searches match.
        userdatasearch::clearColorSearchCache();
        post(StudyPaneNotifications::qsHighlightColorNamesHaveChangedNotification, {}, true);
    }
}

qint64 QuillsteadSyncDelegate::syncedToCustomerID()
{
    // Asked before every automatic sync: a database that cannot be read or made answers -1 here,
    // never with an alert each time.
    cDatabaseErrorCapture captured;
    return qs::cloud::SyncLocalData().syncedCustomerId();
}

bool QuillsteadSyncDelegate::syncAutomatically()
{
    if (!m_defaults.value(SettingsKeys::AutoSyncEnabled) || !m_defaults.value(SettingsKeys::CredentialsValid))
        return false;
    const qint64 synced = syncedToCustomerID();
    return synced < 1 || synced == m_defaults.value(SettingsKeys::CustomerIDNum);
}

std::optional<qs::cloud::SyncConnectParameters> QuillsteadSyncDelegate::connectParameters()
{
    qs::cloud::SyncConnectParameters p;
    p.customerID = m_defaults.value(SettingsKeys::CustomerID);
    // The password lives in its own private file; an older version kept it scrambled in the settings.
    p.password = qs::cloud::CustomerPassword::load();
    if (p.password.isEmpty())
        p.password = JavaScript::decryptedString(m_defaults.value(SettingsKeys::Optionsbitfield));
    if (p.customerID.isEmpty() || p.password.isEmpty())
        return std::nullopt;
    p.programID = AppFolders::bundleIdentifier() + QStringLiteral("/Mac OSX");
    p.version = AppVersion::version();
    p.deviceid = JavaScript::stringWithUniqueDeviceID();
    p.devicename = QSysInfo::machineHostName();
    p.customerIDNumber = m_defaults.value(SettingsKeys::CustomerIDNum);
    return p;
}

qs::cloud::ServiceHost QuillsteadSyncDelegate::serviceHost()
{
    return qs::cloud::ServiceHost::fromDefaults(m_defaults);
}

// ---- The toolbar's busy item ----

void QuillsteadSyncDelegate::addSyncProgressToToolbar(QToolBar* toolbar)
{
    if (toolbar == nullptr)
        return;
    const QList<QAction*> items = toolbar->actions();
    if (indexOfItem(items, kProgressItem) >= 0 || indexOfItem(items, kProgressTempItem) >= 0)
        return;
    if (const qsizetype at = indexOfItem(items, kCloudSyncItem); at >= 0) {
        QAction* before = at + 1 < items.size() ? items[at + 1] : nullptr;
        QAction* progress = makeProgressItem(toolbar, kProgressItem);
        // The button is the window's Sync Now command: the busy item keeps it to put it back.
        progress->setProperty(kHiddenButtonProperty, QVariant::fromValue(QPointer<QAction>(items[at])));
        toolbar->removeAction(items[at]);
        toolbar->insertAction(before, progress);
        return;
    }
    if (indexOfItem(items, kFlexibleSpaceItem) < 0) {
        auto* spacer = new QWidget(toolbar);
        spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        toolbar->addWidget(spacer)->setObjectName(kFlexibleSpaceItem);
    }
    toolbar->addAction(makeProgressItem(toolbar, kProgressTempItem));
}

void QuillsteadSyncDelegate::removeSyncProgressFromToolbar(QToolBar* toolbar)
{
    if (toolbar == nullptr)
        return;
    bool replaced = false;
    const QList<QAction*> items = toolbar->actions();
    for (qsizetype i = 0; i < items.size(); ++i) {
        QAction* item = items[i];
        if (item->objectName() == kProgressItem) {
            if (!replaced) {
                // The Cloud Sync button comes back where it was (the window keeps it while it is out).
                QAction* button = item->property(kHiddenButtonProperty).value<QPointer<QAction>>();
                for (QAction* candidate : toolbar->findChildren<QAction*>(kCloudSyncItem))
                    if (button == nullptr && !toolbar->actions().contains(candidate))
                        button = candidate;
                if (button == nullptr) {
                    button = new QAction(kCloudSyncItem, toolbar);
                    button->setObjectName(kCloudSyncItem);
                }
                toolbar->insertAction(item, button);
                replaced = true;
            }
            toolbar->removeAction(item);
            item->deleteLater();
        } else if (item->objectName() == kProgressTempItem) {
            toolbar->removeAction(item);
            item->deleteLater();
            if (i >= 2 && items[i - 1]->objectName() == kFlexibleSpaceItem) {
                toolbar->removeAction(items[i - 1]);
                items[i - 1]->deleteLater();
            }
        }
    }
}
