// The Cloud Sync page of the settings window: automatic sync and its interval (the sync engine is
// told only of a new interval), the progress of a running sync from the application's sync
// notifications, Sync Now, and the sync log, written afresh each time it is opened. Main thread
// only.
#pragma once

#include <QElapsedTimer>

#include "app/preferences/PreferencesViewController.h"

class QCheckBox;
class QLabel;
class QProgressBar;

class SyncPreferencesViewController : public PreferencesViewController {
    Q_OBJECT
public:
    // The page in the settings window's toolbar.
    static constexpr Identity kIdentity = {
        "SyncPreferences", "view-refresh", QT_TRANSLATE_NOOP("PreferencesViewController", "Cloud Sync")};

    static constexpr qint64 kAutoSyncHourMs = 3600000;
    static constexpr qint64 kAutoSyncMinutesMs = 300000;
    static constexpr qint64 kAutoSyncSecondsMs = 5000;

    explicit SyncPreferencesViewController(const Environment& env, QWidget* parent = nullptr);

    // The interval stored for a frequency pop-up tag, the tag shown for a stored interval, and the
    // description of a stored interval.
    static qint64 autoSyncIntervalForTag(int tag);
    static int autoSyncTagForInterval(qint64 ms);
    static QString autoSyncDescription(qint64 ms);
    static QString syncLogPath();

    // `fromControl` is false when the refresh calls them.
    void onAutoSyncChange(bool fromControl);
    void onAutoSyncFrequencyChange(bool fromControl);
    void onSyncNow();
    void onViewLogButton();
    QProgressBar* syncStatusProgressIndicator() const { return m_syncProgress; }

private:
    void refreshPage() override;

    QCheckBox* m_autoSync = nullptr;
    QComboBox* m_autoSyncFreq = nullptr;
    QLabel* m_syncDescription = nullptr;
    QLabel* m_syncStatus = nullptr;
    QProgressBar* m_syncProgress = nullptr;
    // The progress of a sync stays shown at least this long.
    static constexpr qint64 kMinimumProgressMs = 1200;
    QElapsedTimer m_progressShown;
    quint64 m_syncRun = 0;
};
