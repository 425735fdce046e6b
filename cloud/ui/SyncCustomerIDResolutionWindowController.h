// SyncCustomerIDResolutionWindowController: the window shown when the user is logged in as another
// customer than the one the local user data was last synced to. It offers four ways out (replace
// the local data, combine it with the account, log out, do nothing for now), confirms the two that
// change data twice, and ends with code 1 when the sync may go on, 0 otherwise.
//
// The application's sync-now command calls resolveBeforeSync before SyncManager::syncAll(true). The
// window asks its confirmations through the window environment's alerts, changes the data through its
// sync engine (which must be set), and asks for the preferences with preferencesPaneRequested.
//
// Threads: main thread.
#pragma once

#include "panes/environment/WindowEnvironment.h"

#include <QDialog>

#include <functional>

class QComboBox;
class QLabel;

namespace qs::cloud {

class SyncCustomerIDResolutionWindowController : public QDialog {
    Q_OBJECT
public:
    enum Choice { ReplaceLocalData = 0, CombineData = 1, LogOut = 2, DoNotSync = 3 };
    // The preferences pane of the customer id.
    static constexpr int kCustomerIdPreferencesPane = 3;

    SyncCustomerIDResolutionWindowController(
        const WindowEnvironment& env, qint64 loggedInCustomer, qint64 syncedToCustomer, QWidget* parent = nullptr);

    static QString promptText(qint64 loggedInCustomer, qint64 syncedToCustomer);
    static const QStringList& menuItems();
    static const QStringList& details();

    // True when the sync may start: no conflict (the synced-to id below 1 or equal), or the window
    // ended with code 1.
    static bool resolveBeforeSync(const WindowEnvironment& env, qint64 loggedInCustomer, qint64 syncedToCustomer,
        QWidget* parent, const std::function<void(int pane)>& showPreferencesPane);

    void onOptionSelected();
    void onOKButton();
    void onCancelButton();

signals:
    // The preferences should open on a pane (choice 2).
    void preferencesPaneRequested(int pane);

private:
    bool confirmTwice(const QString& message, const QString& informative, const QString& lastChanceFormat);
    SyncManager& syncEngine() const;

    WindowEnvironment m_env;
    QComboBox* m_choices = nullptr;
    QLabel* m_details = nullptr;
};

}  // namespace qs::cloud
