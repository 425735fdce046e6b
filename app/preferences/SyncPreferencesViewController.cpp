#include "app/preferences/SyncPreferencesViewController.h"
#include "platform/ui/PlainLabel.h"

#include "app/preferences/AppNotifications.h"
#include "platform/AppFolders.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

SyncPreferencesViewController::SyncPreferencesViewController(const Environment& env, QWidget* parent)
    : PreferencesViewController(env, kIdentity, parent)
{
    auto* top = new QVBoxLayout(this);
    m_autoSync = new QCheckBox(tr("Sync my notes, highlights and bookmarks automatically"), this);
    m_autoSync->setObjectName(QStringLiteral("autoSyncCheckbox"));
    top->addWidget(m_autoSync);
    auto* form = new QFormLayout;
    m_autoSyncFreq = new QComboBox(this);
    m_autoSyncFreq->setObjectName(QStringLiteral("autoSyncFrequencyPopUpButton"));
    m_autoSyncFreq->addItem(tr("Every hour"), 0);
    m_autoSyncFreq->addItem(tr("Every few minutes"), 1);
    m_autoSyncFreq->addItem(tr("Every few seconds"), 2);
    form->addRow(tr("Check for changes:"), m_autoSyncFreq);
    top->addLayout(form);
    m_syncDescription = new PlainLabel(this);
    m_syncDescription->setObjectName(QStringLiteral("autoSyncFrequencyDescriptionTextField"));
    m_syncDescription->setWordWrap(true);
    m_syncDescription->setMinimumWidth(420);
    top->addWidget(m_syncDescription);
    auto* buttons = new QHBoxLayout;
    auto* syncNow = new QPushButton(tr("Sync Now"), this);
    syncNow->setObjectName(QStringLiteral("syncNowButton"));
    auto* viewLog = new QPushButton(tr("View Log..."), this);
    viewLog->setObjectName(QStringLiteral("viewLogButton"));
    buttons->addWidget(syncNow);
    buttons->addWidget(viewLog);
    buttons->addStretch(1);
    top->addLayout(buttons);
    m_syncStatus = new PlainLabel(this);
    m_syncStatus->setObjectName(QStringLiteral("syncStatusTextField"));
    top->addWidget(m_syncStatus);
    m_syncProgress = new QProgressBar(this);
    m_syncProgress->setObjectName(QStringLiteral("syncStatusProgressIndicator"));
    m_syncProgress->setRange(0, 100);
    top->addWidget(m_syncProgress);
    top->addStretch(1);

    connect(m_autoSync, &QCheckBox::clicked, this, [this] { onAutoSyncChange(true); });
    connect(m_autoSyncFreq, &QComboBox::activated, this, [this] { onAutoSyncFrequencyChange(true); });
    connect(syncNow, &QPushButton::clicked, this, &SyncPreferencesViewController::onSyncNow);
    connect(viewLog, &QPushButton::clicked, this, &SyncPreferencesViewController::onViewLogButton);

    NotificationCenter& nc = environment().window.notifications();
    nc.addObserver(this, AppNotifications::qsSyncCommStartedNotification, [this](Notification&) {
        ++m_syncRun;
        if (!m_syncProgress->isVisible())
            m_progressShown.start();
        m_syncStatus->clear();
        m_syncStatus->show();
        m_syncProgress->setValue(0);
        m_syncProgress->show();
    });
    nc.addObserver(this, AppNotifications::qsSyncCommFinishedNotification, [this](Notification&) {
        // A quick sync's progress stays up for a moment, full, so that the reader sees it happen.
        const quint64 run = m_syncRun;
        const auto hide = [this, run] {
            if (run != m_syncRun)
                return;
            m_syncStatus->clear();
            m_syncStatus->hide();
            m_syncProgress->setValue(0);
            m_syncProgress->hide();
        };
        const qint64 shown = m_progressShown.isValid() ? m_progressShown.elapsed() : kMinimumProgressMs;
        if (shown >= kMinimumProgressMs || !m_syncProgress->isVisible()) {
            hide();
            return;
        }
        m_syncProgress->setValue(m_syncProgress->maximum());
        QTimer::singleShot(int(kMinimumProgressMs - shown), this, hide);
    });
    nc.addObserver(this, AppNotifications::qsSyncProgressPercentNotification, [this](Notification& n) {
        // The engine reports the part done as a fraction (0 to 1).
        const double progress = n.userInfo.value(QStringLiteral("progress")).toDouble();
        m_syncProgress->setValue(int(std::clamp(progress, 0.0, 1.0) * 100.0 + 0.5));
        m_syncStatus->setText(n.userInfo.value(QStringLiteral("statusMessage")).toString());
    });
    // Errors are reported by the application; the page keeps what it shows.
    nc.addObserver(this, AppNotifications::qsSyncErrorOccurredNotification, [](Notification&) {});
    finishConstruction();
}

qint64 SyncPreferencesViewController::autoSyncIntervalForTag(int tag)
{
    return tag == 1 ? kAutoSyncMinutesMs : tag == 2 ? kAutoSyncSecondsMs : kAutoSyncHourMs;
}

int SyncPreferencesViewController::autoSyncTagForInterval(qint64 ms)
{
    return ms == kAutoSyncSecondsMs ? 2 : ms == kAutoSyncMinutesMs ? 1 : 0;
}

QString SyncPreferencesViewController::autoSyncDescription(qint64 ms)
{
    switch (autoSyncTagForInterval(ms)) {
    case 1:
        return tr("If you use Quillstead on more than on device at a time, checking for new/updated items every few "
                  "minutes keeps this device up to date with minimal effect on network traffic, program "
                  "performance, and battery life (if applicable).");
    case 2:
        return tr("If you actively jump between Quillstead running on two or more devices and want to see your "
                  "changes from those devices as soon as possible on this machine, checking for new/updated items "
                  "every few seconds at the expense of increased network traffic and decreased program performance "
                  "and battery life (if applicable) may be what you are looking for.");
    default:
        return tr("If you use Quillstead on one device at a time, checking for new/updated items every hour is "
                  "more than adequate. It minimizes network traffic and maximizes program performance and battery "
                  "life (if applicable).");
    }
}

QString SyncPreferencesViewController::syncLogPath()
{
    return QDir(AppFolders::cacheDirectory()).filePath(QStringLiteral("CloudSyncLog.htm"));
}

void SyncPreferencesViewController::refreshPage()
{
    onAutoSyncChange(false);
    onAutoSyncFrequencyChange(false);
    const SyncServices& sync = syncServices();
    const bool syncing = sync.isSyncing && sync.isSyncing();
    m_syncStatus->clear();
    m_syncStatus->setVisible(syncing);
    m_syncProgress->setValue(0);
    m_syncProgress->setVisible(syncing);
}

void SyncPreferencesViewController::onAutoSyncChange(bool fromControl)
{
    if (fromControl)
        defaults().set(SettingsKeys::AutoSyncEnabled, m_autoSync->isChecked());
    else
        m_autoSync->setChecked(defaults().value(SettingsKeys::AutoSyncEnabled));
    const bool on = m_autoSync->isChecked();
    m_autoSyncFreq->setEnabled(on);
    m_syncDescription->setVisible(on);
}

void SyncPreferencesViewController::onAutoSyncFrequencyChange(bool fromControl)
{
    UserDefaults& d = defaults();
    if (fromControl) {
        const qint64 ms = autoSyncIntervalForTag(m_autoSyncFreq->currentData().toInt());
        if (ms != d.value(SettingsKeys::AutoSyncFreq)) {
            d.set(SettingsKeys::AutoSyncFreq, ms);
            if (SyncServices& sync = syncServices(); sync.setAutoSyncFreq)
                sync.setAutoSyncFreq(ms);
        }
    } else {
        m_autoSyncFreq->setCurrentIndex(
            m_autoSyncFreq->findData(autoSyncTagForInterval(d.value(SettingsKeys::AutoSyncFreq))));
    }
    m_syncDescription->setText(autoSyncDescription(d.value(SettingsKeys::AutoSyncFreq)));
}

void SyncPreferencesViewController::onSyncNow()
{
    if (SyncServices& sync = syncServices(); sync.syncNow)
        sync.syncNow();
}

void SyncPreferencesViewController::onViewLogButton()
{
    SyncServices& sync = syncServices();
    const QString path = syncLogPath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    // An old page is never shown as the current log: a page that cannot be written is removed.
    if (!sync.writeSyncLog || !sync.writeSyncLog(path)) {
        QFile::remove(path);
        informational(tr("The Cloud Sync log could not be written."), QDir::toNativeSeparators(path));
        return;
    }
    // A desktop with no application for pages (no default browser) gets the reader's own window.
    const QUrl page = QUrl::fromLocalFile(path);
    if (sync.openUrl && sync.openUrl(page))
        return;
    if (sync.showPage) {
        sync.showPage(page, tr("Cloud Sync Log"));
        return;
    }
    informational(
        tr("The Cloud Sync log could not be opened."), tr("It is the file %1").arg(QDir::toNativeSeparators(path)));
}
