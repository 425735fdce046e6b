#include "app/preferences/LoginPreferencesViewController.h"
#include "platform/ui/PlainLabel.h"

#include "cloud/account/CustomerAccount.h"
#include "cloud/account/CustomerPassword.h"
#include "cloud/protocol/ServiceHost.h"
#include "platform/Alerts.h"
#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

QProgressBar* busyIndicator(QWidget* parent, const QString& name)
{
    auto* p = new QProgressBar(parent);
    p->setObjectName(name);
    p->setRange(0, 0);
    p->setTextVisible(false);
    p->setMaximumWidth(80);
    p->hide();
    return p;
}

}  // namespace

LoginPreferencesViewController::LoginPreferencesViewController(const Environment& env, QWidget* parent)
    : PreferencesViewController(env, kIdentity, parent)
{
    auto* top = new QVBoxLayout(this);
    m_credentials = new QStackedWidget(this);
    top->addWidget(m_credentials);

    auto* login = new QWidget(m_credentials);
    login->setObjectName(QStringLiteral("LoginView"));
    auto* loginLayout = new QVBoxLayout(login);
    auto* have = new QGroupBox(tr("I have a Tavrosen account"), login);
    auto* haveForm = new QFormLayout(have);
    accountField(haveForm, tr("Customer ID or e-mail:"), SettingsKeys::CustomerID.name, false);
    accountField(haveForm, tr("Password:"), QStringLiteral("password"), true);
    auto* loginButtons = new QHBoxLayout;
    auto* logIn = new QPushButton(tr("Log In"), have);
    logIn->setObjectName(QStringLiteral("loginButton"));
    logIn->setDefault(true);
    auto* reset = new QPushButton(tr("Reset Password"), have);
    reset->setObjectName(QStringLiteral("resetPasswordButton"));
    m_loginProgress = busyIndicator(have, QStringLiteral("loginProgressIndicator"));
    m_resetProgress = busyIndicator(have, QStringLiteral("resetPasswordProgressIndicator"));
    loginButtons->addWidget(logIn);
    loginButtons->addWidget(reset);
    loginButtons->addWidget(m_loginProgress);
    loginButtons->addWidget(m_resetProgress);
    loginButtons->addStretch(1);
    haveForm->addRow(loginButtons);
    loginLayout->addWidget(have);
    auto* create = new QGroupBox(tr("Create an account"), login);
    auto* createForm = new QFormLayout(create);
    accountField(createForm, tr("First name:"), QStringLiteral("firstName"), false);
    accountField(createForm, tr("Last name:"), QStringLiteral("lastName"), false);
    accountField(createForm, tr("E-mail:"), QStringLiteral("email"), false);
    accountField(createForm, tr("E-mail again:"), QStringLiteral("emailAgain"), false);
    accountField(createForm, tr("Password:"), QStringLiteral("newPassword"), true);
    accountField(createForm, tr("Password again:"), QStringLiteral("newPasswordAgain"), true);
    auto* createButtons = new QHBoxLayout;
    auto* createButton = new QPushButton(tr("Create Account"), create);
    createButton->setObjectName(QStringLiteral("createAccountButton"));
    // Return in a field of this group creates the account; in the group above it logs in.
    createButton->setDefault(true);
    m_createProgress = busyIndicator(create, QStringLiteral("createAccountProgressIndicator"));
    createButtons->addWidget(createButton);
    createButtons->addWidget(m_createProgress);
    createButtons->addStretch(1);
    createForm->addRow(QString(), createButtons);
    loginLayout->addWidget(create);
    auto* privacy = new QPushButton(tr("Privacy Policy"), login);
    privacy->setObjectName(QStringLiteral("privacyPolicyButton"));
    loginLayout->addWidget(privacy, 0, Qt::AlignLeft);
    loginLayout->addStretch(1);
    m_credentials->addWidget(login);

    auto* logout = new QWidget(m_credentials);
    logout->setObjectName(QStringLiteral("LogoutView"));
    auto* logoutLayout = new QVBoxLayout(logout);
    m_loggedInMessage = new PlainLabel(logout);
    m_loggedInMessage->setObjectName(QStringLiteral("loggedInCustomerMessage"));
    m_loggedInMessage->setWordWrap(true);
    logoutLayout->addWidget(m_loggedInMessage);
    m_userDataMessage = new PlainLabel(logout);
    m_userDataMessage->setObjectName(QStringLiteral("userCreatedDataStatusMessage"));
    m_userDataMessage->setWordWrap(true);
    logoutLayout->addWidget(m_userDataMessage);
    auto* logOut = new QPushButton(tr("Log Out"), logout);
    logOut->setObjectName(QStringLiteral("logoutButton"));
    logoutLayout->addWidget(logOut, 0, Qt::AlignLeft);
    logoutLayout->addStretch(1);
    m_credentials->addWidget(logout);

    connect(logIn, &QPushButton::clicked, this, &LoginPreferencesViewController::onLogIn);
    connect(reset, &QPushButton::clicked, this, &LoginPreferencesViewController::onResetPassword);
    connect(createButton, &QPushButton::clicked, this, &LoginPreferencesViewController::onCreateAccount);
    connect(logOut, &QPushButton::clicked, this, &LoginPreferencesViewController::onLogOut);
    connect(privacy, &QPushButton::clicked, this, &LoginPreferencesViewController::onPrivacyPolicy);
    finishConstruction();
}

QLineEdit* LoginPreferencesViewController::accountField(
    QFormLayout* form, const QString& label, const QString& key, bool secret)
{
    auto* f = new QLineEdit(this);
    f->setObjectName(key);
    f->setMinimumWidth(220);
    if (secret)
        f->setEchoMode(QLineEdit::Password);
    form->addRow(new PlainLabel(label, this), f);
    return f;
}

QWidget* LoginPreferencesViewController::initialKeyView() const
{
    // The first control of the view shown: the customer ID field, or Log Out (which asks before it
    // leaves unsynced data behind) where the account is shown.
    if (shownCredentialsView() == QLatin1String("LogoutView"))
        return findChild<QPushButton*>(QStringLiteral("logoutButton"));
    return textField(SettingsKeys::CustomerID);
}

QUrl LoginPreferencesViewController::privacyPolicyUrl() const
{
    return qs::cloud::ServiceHost::fromDefaults(defaults()).url(QStringLiteral("privacy.html"));
}

QProgressBar* LoginPreferencesViewController::progressIndicator(const QString& name) const
{
    return findChild<QProgressBar*>(name);
}

void LoginPreferencesViewController::refreshPage()
{
    UserDefaults& d = defaults();
    // Every page refreshes when the window changes pages: what the reader has typed and not yet
    // sent stays in its field until the window closes (a new window starts afresh).
    auto load = [](QLineEdit* field, const QString& stored) {
        if (!field->isModified())
            field->setText(stored);
    };
    load(textField(SettingsKeys::CustomerID), d.value(SettingsKeys::CustomerID));
    load(textField(QStringLiteral("password")), qs::cloud::CustomerPassword::load());
    initializeLoggedInCustomerMessage();
    initializeUserCreatedDataStatusMessage();
    if (d.value(SettingsKeys::CredentialsValid))
        swapInCredentialsView(QStringLiteral("LogoutView"));
}

QString LoginPreferencesViewController::shownCredentialsView() const
{
    return m_credentials->currentWidget() ? m_credentials->currentWidget()->objectName() : QString();
}

qs::cloud::CustomerAccount* LoginPreferencesViewController::account()
{
    if (!m_account) {
        m_account = new qs::cloud::CustomerAccount(defaults(), this);
        connect(m_account, &qs::cloud::CustomerAccount::finished, this, [this](const qs::cloud::AccountResult& r) {
            if (m_resetting)
                finishPasswordReminder(r);
            else
                finishLogin(r);
        });
    }
    return m_account;
}

void LoginPreferencesViewController::swapInCredentialsView(const QString& identifier)
{
    if (shownCredentialsView() == identifier || !commitEditing())
        return;
    for (int i = 0; i < m_credentials->count(); ++i) {
        if (m_credentials->widget(i)->objectName() != identifier)
            continue;
        m_credentials->setCurrentIndex(i);
    }
    if (shownCredentialsView() == QLatin1String("LogoutView")) {
        initializeLoggedInCustomerMessage();
        initializeUserCreatedDataStatusMessage();
    }
    // The keys stay in the page, on the first control of the view now shown.
    if (QWidget* key = initialKeyView(); key && isVisible() && key->isVisibleTo(this))
        key->setFocus();
}

void LoginPreferencesViewController::initializeLoggedInCustomerMessage()
{
    UserDefaults& d = defaults();
    m_loggedInMessage->setText(d.value(SettingsKeys::CredentialsValid)
            ? tr("Welcome, %1! You are logged in as customer %2")
                  .arg(d.value(SettingsKeys::CustomerFirstName))
                  .arg(d.value(SettingsKeys::CustomerIDNum))
            : tr("You are not logged in. Press Log Out below and enter your customer ID and password"));
}

void LoginPreferencesViewController::initializeUserCreatedDataStatusMessage()
{
    SyncServices& sync = syncServices();
    if (sync.hasUnsyncedData && sync.hasUnsyncedData())
        m_userDataMessage->setText(
            tr("You have user-created data (notes, highlights, bookmarks, etc.) that have not been synced to the "
               "Tavrosen Cloud. You might want to perform a Cloud Sync before logging out."));
    else if (sync.hasSomeData && sync.hasSomeData())
        m_userDataMessage->setText(tr("All changes to your user-created data (notes, highlights, bookmarks, etc.) "
                                      "have been synced to the Tavrosen Cloud."));
    else
        m_userDataMessage->clear();
}

void LoginPreferencesViewController::enableLoginControls(bool enabled)
{
    for (const char* key :
        {"customerID", "password", "firstName", "lastName", "email", "emailAgain", "newPassword", "newPasswordAgain"})
        if (QLineEdit* f = textField(QString::fromLatin1(key)))
            f->setEnabled(enabled);
    for (const char* name : {"loginButton", "resetPasswordButton", "createAccountButton", "privacyPolicyButton"})
        if (QPushButton* b = findChild<QPushButton*>(QString::fromLatin1(name)))
            b->setEnabled(enabled);
}

bool LoginPreferencesViewController::refuseWhileSyncing()
{
    SyncServices& sync = syncServices();
    if (!sync.isSyncing || !sync.isSyncing())
        return false;
    informational(tr("Can't log in while Cloud Sync is running."),
        tr("Not sure how that can be happening, since you haven't logged in yet."));
    return true;
}

void LoginPreferencesViewController::onLogIn()
{
    if (refuseWhileSyncing())
        return;
    m_resetting = false;
    m_loginProgress->show();
    enableLoginControls(false);
    account()->logIn(textField(SettingsKeys::CustomerID)->text(), textField(QStringLiteral("password"))->text());
}

void LoginPreferencesViewController::onCreateAccount()
{
    if (textField(QStringLiteral("email"))->text() != textField(QStringLiteral("emailAgain"))->text()) {
        informational(tr("Check your email address. Both email fields must match."));
        return;
    }
    if (textField(QStringLiteral("newPassword"))->text() != textField(QStringLiteral("newPasswordAgain"))->text()) {
        informational(tr("Check your password. Both password fields must match."));
        return;
    }
    if (refuseWhileSyncing())
        return;
    m_resetting = false;
    m_createProgress->show();
    enableLoginControls(false);
    account()->createAccount(textField(QStringLiteral("firstName"))->text(),
        textField(QStringLiteral("lastName"))->text(), textField(QStringLiteral("email"))->text(),
        textField(QStringLiteral("newPassword"))->text());
}

void LoginPreferencesViewController::onResetPassword()
{
    const QString id = textField(SettingsKeys::CustomerID)->text();
    if (id.isEmpty()) {
        informational(
            tr("Enter your email address above, then press Reset Password and we will email you the reset link."));
        return;
    }
    m_resetting = true;
    m_resetProgress->show();
    enableLoginControls(false);
    account()->resetPassword(id);
}

bool LoginPreferencesViewController::confirmLogOut()
{
    SyncServices& sync = syncServices();
    if (!defaults().value(SettingsKeys::CredentialsValid) || !sync.hasUnsyncedData || !sync.hasUnsyncedData())
        return true;
    Alert alert;
    alert.messageText = tr("Log out with changes that have not been synced?");
    alert.informativeText =
        tr("Your notes, highlights, bookmarks or other changes made since the last Cloud Sync have not reached the "
           "Tavrosen Cloud. They stay on this computer, but reach your other devices only once you log in with this "
           "account again and sync.");
    alert.buttons = {tr("Log Out"), tr("Stay Logged In")};
    alert.defaultButton = 1;  // Return or Space keeps the account
    alert.escapeButton = 1;   // and so do Escape and the close box
    alert.style = AlertStyle::Warning;
    return environment().window.alert().runModal(alert) == AlertFirstButtonReturn;
}

void LoginPreferencesViewController::onLogOut()
{
    if (!confirmLogOut())
        return;
    UserDefaults& d = defaults();
    d.set(SettingsKeys::CustomerIDNum, 0);
    for (const SettingKey<QString>* key : {&SettingsKeys::CustomerID, &SettingsKeys::Optionsbitfield,
             &SettingsKeys::CustomerFirstName, &SettingsKeys::CustomerLastName})
        d.set(*key, QStringLiteral(""));
    d.set(SettingsKeys::CustomerHasRegistered, false);
    d.set(SettingsKeys::CredentialsValid, false);
    qs::cloud::CustomerPassword::clear();
    if (QLineEdit* f = textField(QStringLiteral("password")))
        f->clear();
    if (QLineEdit* f = textField(SettingsKeys::CustomerID))
        f->clear();
    swapInCredentialsView(QStringLiteral("LoginView"));
}

void LoginPreferencesViewController::onPrivacyPolicy()
{
    if (SyncServices& sync = syncServices(); sync.openUrl && !sync.openUrl(privacyPolicyUrl()))
        informational(tr("The privacy policy could not be opened."),
            tr("No web browser is set up on this desktop. The policy is at %1").arg(privacyPolicyUrl().toString()));
}

void LoginPreferencesViewController::finishLogin(const qs::cloud::AccountResult& r)
{
    if (r.ok()) {
        UserDefaults& d = defaults();
        // The server sends the number as text; it is stored as the number it is.
        d.set(SettingsKeys::CustomerIDNum, UserDefaults::integerFromValue(r.customerIDNum.trimmed()));
        d.set(SettingsKeys::CustomerID, r.customerID);
        // The password stays out of the settings file.
        qs::cloud::CustomerPassword::store(r.password);
        d.set(SettingsKeys::Optionsbitfield, QStringLiteral(""));
        d.set(SettingsKeys::CustomerFirstName, r.firstName);
        d.set(SettingsKeys::CustomerLastName, r.lastName);
        d.set(SettingsKeys::CustomerHasRegistered, true);
        d.set(SettingsKeys::CredentialsValid, true);
    }
    enableLoginControls(true);
    m_loginProgress->hide();
    m_createProgress->hide();
    if (!r.ok()) {
        informational(r.error, tr("While trying to log into your Tavrosen account."));
        return;
    }
    if (QLineEdit* f = textField(SettingsKeys::CustomerID))
        f->setText(r.customerID);
    if (QLineEdit* f = textField(QStringLiteral("password")))
        f->setModified(false);
    for (const char* key : {"firstName", "lastName", "email", "emailAgain", "newPassword", "newPasswordAgain"})
        textField(QString::fromLatin1(key))->clear();
    swapInCredentialsView(QStringLiteral("LogoutView"));
}

void LoginPreferencesViewController::finishPasswordReminder(const qs::cloud::AccountResult& r)
{
    m_resetting = false;
    m_resetProgress->hide();
    if (!r.ok())
        informational(r.error, tr("While asking the server to send your password reset code."));
    else if (!r.message.isEmpty())
        informational(r.message);
    enableLoginControls(true);
}
