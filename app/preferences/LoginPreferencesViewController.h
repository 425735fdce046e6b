// The Customer ID page of the settings window: log in, create an account, ask for a password reset
// and log out against the maker's web script (cloud/account). The page shows the log-in view or,
// with valid credentials, the logged-in view. Its fields are the account's, never settings: they
// are not written to the user defaults (the password is kept in the desktop's secret store once
// the server accepted it). Main thread only; the server's answers arrive on the main thread.
#pragma once

#include "app/preferences/PreferencesViewController.h"

class QLabel;
class QProgressBar;
class QStackedWidget;
namespace qs::cloud {
class CustomerAccount;
struct AccountResult;
}  // namespace qs::cloud

class LoginPreferencesViewController : public PreferencesViewController {
    Q_OBJECT
public:
    // The page in the settings window's toolbar.
    static constexpr Identity kIdentity = {
        "LoginPreferences", "system-users", QT_TRANSLATE_NOOP("PreferencesViewController", "Customer ID")};

    explicit LoginPreferencesViewController(const Environment& env, QWidget* parent = nullptr);

    QWidget* initialKeyView() const override;
    QUrl privacyPolicyUrl() const;
    // "LoginView" or "LogoutView".
    QString shownCredentialsView() const;
    QLabel* loggedInCustomerMessage() const { return m_loggedInMessage; }
    QLabel* userCreatedDataStatusMessage() const { return m_userDataMessage; }
    QProgressBar* progressIndicator(const QString& name) const;
    qs::cloud::CustomerAccount* account();
    void onLogIn();
    void onCreateAccount();
    void onResetPassword();
    // Logs out, after asking when unsynced changes would be left behind.
    void onLogOut();
    void onPrivacyPolicy();

private:
    void refreshPage() override;
    void swapInCredentialsView(const QString& identifier);
    void initializeLoggedInCustomerMessage();
    void initializeUserCreatedDataStatusMessage();
    bool refuseWhileSyncing();
    // True when the log-out may go on: asked first (keeping the account as the default) while
    // changes wait for a sync.
    bool confirmLogOut();
    void enableLoginControls(bool enabled);
    void finishLogin(const qs::cloud::AccountResult& result);
    void finishPasswordReminder(const qs::cloud::AccountResult& result);
    QLineEdit* accountField(QFormLayout* form, const QString& label, const QString& key, bool secret);

    QStackedWidget* m_credentials = nullptr;
    QLabel* m_loggedInMessage = nullptr;
    QLabel* m_userDataMessage = nullptr;
    QProgressBar* m_loginProgress = nullptr;
    QProgressBar* m_createProgress = nullptr;
    QProgressBar* m_resetProgress = nullptr;
    qs::cloud::CustomerAccount* m_account = nullptr;
    bool m_resetting = false;
};
