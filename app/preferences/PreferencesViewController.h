// One page of the settings window. Every page is an instance of this class made by
// factoryForPane(index); each instance builds only its own page's controls, the pointers of the
// others stay null, and every step checks that its control is there. refresh() brings whatever
// controls the page has up to date from the user defaults; every change is written to the user
// defaults at once, and display changes post DisplayPreferencesChangedNotification so that book
// pages restyle and the other pages refresh.
//
// The settings window owns its pages. Main thread only; the colour wells commit through
// one-shot timers on the main event loop.
#pragma once

#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <QVector>
#include <QWidget>
#include <array>
#include <functional>

#include "platform/SettingsRegistry.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class ColorWell;
class QLabel;
class QSlider;
class QPushButton;
class QTextToSpeech;
class QStackedWidget;
class QProgressBar;
namespace qs::cloud {
class CustomerAccount;
struct AccountResult;
}  // namespace qs::cloud

class PreferencesViewController : public QWidget {
    Q_OBJECT
public:
    static const QString DisplayPreferencesChangedNotification;
    // Posted on the main thread by the application as the sync engine reports to it; the Cloud Sync
    // page shows them. Progress carries "progress" (the part done, 0 to 1) and "statusMessage".
    static const QString SyncCommStartedNotification;
    static const QString SyncCommFinishedNotification;
    static const QString SyncProgressPercentNotification;
    static const QString SyncErrorOccurredNotification;
    static constexpr qint64 kAutoSyncHourMs = 3600000;
    static constexpr qint64 kAutoSyncMinutesMs = 300000;
    static constexpr qint64 kAutoSyncSecondsMs = 5000;

    // What the account and sync pages ask of the sync engine and the application. The defaults use
    // the process-wide sync engine, the sync history store and the desktop's URL handler; the
    // application sets syncNow (its Sync Now command); tests replace any of them.
    struct SyncServices {
        std::function<bool()> isSyncing;
        std::function<bool()> hasUnsyncedData;
        std::function<bool()> hasSomeData;
        std::function<void(qint64)> setAutoSyncFreq;
        std::function<void()> syncNow;
        // Writes the sync log page (every recorded sync, newest first); false when it could not.
        std::function<bool(const QString& path)> writeSyncLog;
        std::function<void(const QUrl&)> openUrl;
    };
    static SyncServices& syncServices();
    static SyncServices defaultSyncServices();
    // The interval stored for a frequency pop-up tag, the tag shown for a stored interval, and the
    // description of a stored interval.
    static qint64 autoSyncIntervalForTag(int tag);
    static int autoSyncTagForInterval(qint64 ms);
    static QString autoSyncDescription(qint64 ms);
    static QString syncLogPath();
    static QUrl privacyPolicyUrl();
    static constexpr int kPaneCount = 8;
    static constexpr int kColorDebounceMs = 500;

    // Null for an index of 8 or more; the caller owns the page.
    static PreferencesViewController* factoryForPane(unsigned index, QWidget* parent = nullptr);
    ~PreferencesViewController() override;

    int paneIndex() const { return m_paneIndex; }
    QString identifier() const;
    QString toolbarItemLabel() const;
    QIcon toolbarItemImage() const;
    QWidget* initialKeyView() const;
    bool hasResizableWidth() const { return false; }
    bool hasResizableHeight() const { return false; }
    bool commitEditing();
    void viewWillAppear() { }
    void viewDidDisappear() { }

    // Brings every present control up to date from the user defaults.
    void refresh();
    void notifyOthersDisplaySettingsChanged();

    // Controls (null when this page has none), for the window and for tests.
    QLineEdit* textField(const QString& key) const;
    QCheckBox* checkBox(const QString& key) const;
    QComboBox* popUp(const QString& name) const;
    ColorWell* colorWell(const QString& key) const;
    // Colour keys in the order of the wells.
    static QStringList colorKeys();

    // Writes a colour scheme by its tag (unknown tags are the default scheme).
    void chooseColorScheme(int tag);
    // Copies the thirteen scheme values to their custom keys.
    static void moveCurrentColorsToCustom();
    // The family names the font list offers: families with regular, italic, bold and bold italic faces.
    static QStringList fontFamiliesWithAllFaces();

    // The installed speech voices (identifier = the voice's name); tests replace the lister.
    static std::function<QList<SpeechVoice>()>& voiceLister();
    static QString testSentence(const QString& prefix);
    QSlider* rateSlider(const QString& prefix) const;
    QLabel* voiceProperties(const QString& prefix) const;
    QPushButton* voiceTestButton(const QString& prefix) const;
    // Customer account page.
    QStackedWidget* credentialsViews() const { return m_credentials; }
    QString shownCredentialsView() const;
    QLabel* loggedInCustomerMessage() const { return m_loggedInMessage; }
    QLabel* userCreatedDataStatusMessage() const { return m_userDataMessage; }
    QProgressBar* progressIndicator(const QString& name) const;
    qs::cloud::CustomerAccount* account();
    void onLogIn();
    void onCreateAccount();
    void onResetPassword();
    void onLogOut();
    void onPrivacyPolicy();
    // Cloud Sync page; `fromControl` is false when the refresh calls them.
    void onAutoSyncChange(bool fromControl);
    void onAutoSyncFrequencyChange(bool fromControl);
    void onSyncNow();
    void onViewLogButton();
    QLabel* syncStatusTextField() const { return m_syncStatus; }
    QProgressBar* syncStatusProgressIndicator() const { return m_syncProgress; }
    QLabel* autoSyncFrequencyDescription() const { return m_syncDescription; }
    // The five preferred-book pop-ups rebuild from the library.
    void rebuildPreferredBookMenus(qint64 classification = 0);

private:
    explicit PreferencesViewController(int paneIndex, QWidget* parent);
    void buildGeneral();
    void buildDisplay();
    void buildColor();
    void buildUpdates();
    void buildVoices();
    void buildCustomerID();
    void buildSync();
    void swapInCredentialsView(const QString& identifier);
    void initializeLoggedInCustomerMessage();
    void initializeUserCreatedDataStatusMessage();
    bool refuseWhileSyncing();
    void enableLoginControls(bool enabled);
    void finishLogin(const qs::cloud::AccountResult& result);
    void finishPasswordReminder(const qs::cloud::AccountResult& result);
    void buildPreferredBooks();
    void populateVoiceMenu(QComboBox* popUp, const QString& key, const QString& prefix);
    void rebuildPreferredBookMenu(QComboBox* popUp);
    void testVoice(const QString& prefix);

    QLineEdit* addField(class QFormLayout* form, const QString& label, const QString& key);
    QCheckBox* addBox(class QLayout* layout, const QString& label, const QString& key);
    QComboBox* addPopUp(class QFormLayout* form, const QString& label, const QString& name);

    void textFieldDidEndEditing(QLineEdit* field);
    void checkBoxChanged(QCheckBox* box);
    void colorWellChanged(int index);
    void commitColor(int index);
    void rebuildFontMenu();
    void rebuildColorSchemeMenu();
    void initializeColorWells();

    int m_paneIndex;
    QVector<QLineEdit*> m_fields;
    QVector<QCheckBox*> m_boxes;
    QVector<QComboBox*> m_popUps;
    std::array<ColorWell*, 10> m_wells {};
    std::array<QTimer*, 10> m_colorTimers {};
    bool m_refreshing = false;
    bool m_observingLibrary = false;
    QTextToSpeech* m_speech = nullptr;
    QString m_pendingTest;
    QStackedWidget* m_credentials = nullptr;
    QLabel* m_loggedInMessage = nullptr;
    QLabel* m_userDataMessage = nullptr;
    QProgressBar* m_loginProgress = nullptr;
    QProgressBar* m_createProgress = nullptr;
    QProgressBar* m_resetProgress = nullptr;
    QCheckBox* m_autoSync = nullptr;
    QComboBox* m_autoSyncFreq = nullptr;
    QLabel* m_syncDescription = nullptr;
    QLabel* m_syncStatus = nullptr;
    QProgressBar* m_syncProgress = nullptr;
    qs::cloud::CustomerAccount* m_account = nullptr;
    bool m_resetting = false;
};
