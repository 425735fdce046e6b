// The location-sync options window: which kinds of books follow location sync (three
// application-wide settings), whether one book pane sends and receives it, whether the pane's
// current book does, and a reset of all of it to the defaults.
//
// Opened modally for one pane (which must outlive the window), with the window's defaults, centre
// and alerts (the reset asks first); every change takes effect at once
// in the user defaults or in the pane's layout records. Closing asks the application to save its
// state (the pane and tab flags live in the layout archive). Main thread only.
#pragma once

#include <QDialog>

#include <functional>

class Alerts;
class LayoutBookPane;
class NotificationCenter;
class QCheckBox;
class QGroupBox;
class UserDefaults;
struct WindowEnvironment;

class LocationSyncOptionsWindowController : public QDialog {
    Q_OBJECT
public:
    static inline const QString kResetMessage = QStringLiteral(
        "Are you sure you want to restore the default location sync settings for all books in all panes?");
    static inline const QString kResetInformative = QStringLiteral("Be careful: You cannot undo this action.");

    // `pane` may be null (only the three kind settings are shown); `saveState` may be empty.
    LocationSyncOptionsWindowController(LayoutBookPane* pane, const WindowEnvironment& window,
        std::function<void()> saveState, QWidget* parent = nullptr);

    // Makes the window for the pane and runs it modally; returns when it is closed.
    static void run(LayoutBookPane* pane, const WindowEnvironment& window, std::function<void()> saveState,
        QWidget* parent = nullptr);

    void updateWindowFields();

    // The check-box actions (also what a click runs).
    void onBibleCommentarySyncCheckBox();
    void onDictionarySyncCheckBox();
    void onDevotionalSyncCheckBox();
    void onPaneSendOptionCheckBox();
    void onPaneReceiveOptionCheckBox();
    void onBookSendOptionCheckBox();
    void onBookReceiveOptionCheckBox();
    void onResetAllButton();
    void onClose();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    bool windowShouldClose();

    LayoutBookPane* m_pane;
    UserDefaults& m_defaults;
    NotificationCenter& m_center;
    Alerts& m_alerts;
    std::function<void()> m_saveState;
    bool m_closing = false;
    QCheckBox* m_bibleCommentary = nullptr;
    QCheckBox* m_dictionary = nullptr;
    QCheckBox* m_devotional = nullptr;
    QGroupBox* m_paneGroup = nullptr;
    QCheckBox* m_paneSend = nullptr;
    QCheckBox* m_paneReceive = nullptr;
    QGroupBox* m_bookGroup = nullptr;
    QCheckBox* m_bookSend = nullptr;
    QCheckBox* m_bookReceive = nullptr;
};
