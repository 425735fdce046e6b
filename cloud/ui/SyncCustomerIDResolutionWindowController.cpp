#include "cloud/ui/SyncCustomerIDResolutionWindowController.h"
#include "platform/ui/PlainLabel.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "cloud/sync/SyncManager.h"
#include "platform/Alerts.h"

namespace qs::cloud {

SyncCustomerIDResolutionWindowController::SyncCustomerIDResolutionWindowController(
    const WindowEnvironment& env, qint64 loggedInCustomer, qint64 syncedToCustomer, QWidget* parent)
    : QDialog(parent), m_env(env)
{
    setWindowTitle(QStringLiteral("Cloud Sync"));
    auto* layout = new QVBoxLayout(this);
    auto* prompt = new PlainLabel(promptText(loggedInCustomer, syncedToCustomer), this);
    prompt->setObjectName(QStringLiteral("promptLabel"));
    prompt->setWordWrap(true);
    m_choices = new QComboBox(this);
    m_choices->setObjectName(QStringLiteral("choicesPopUp"));
    m_choices->addItems(menuItems());
    m_details = new PlainLabel(this);
    m_details->setObjectName(QStringLiteral("detailLabel"));
    m_details->setWordWrap(true);
    m_details->setMinimumHeight(110);
    m_details->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(prompt);
    layout->addWidget(m_choices);
    layout->addWidget(m_details);
    layout->addWidget(buttons);
    setMinimumWidth(560);
    connect(m_choices, &QComboBox::currentIndexChanged, this, [this] { onOptionSelected(); });
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { onOKButton(); });
    connect(buttons, &QDialogButtonBox::rejected, this, [this] { onCancelButton(); });
    m_choices->setCurrentIndex(DoNotSync);
    onOptionSelected();
}

QString SyncCustomerIDResolutionWindowController::promptText(qint64 loggedInCustomer, qint64 syncedToCustomer)
{
    return QStringLiteral("You are logged in as Tavrosen customer %1 but your user-created data (notes, highlights, "
                          "bookmarks, etc.) have been previously synchronized to the Tavrosen Cloud using customer ID "
                          "%2. Select one of the options below to see a description of the ways to resolve this "
                          "problem.")
        .arg(loggedInCustomer)
        .arg(syncedToCustomer);
}

const QStringList& SyncCustomerIDResolutionWindowController::menuItems()
{
    static const QStringList items = {
        QStringLiteral("Delete my local data and replace it with what's on the Tavrosen Cloud server."),
        QStringLiteral("Combine my local data with what is on the Tavrosen Cloud server."),
        QStringLiteral("Log out of this account so I can log back into the other one."),
        QStringLiteral(
            "Do not synchronize my local data with this Tavrosen Cloud account. I'll figure this out later."),
    };
    return items;
}

const QStringList& SyncCustomerIDResolutionWindowController::details()
{
    static const QStringList texts = {
        QStringLiteral(
            "If you choose this option, the program will delete ALL the user-created data (notes, highlights, "
            "bookmarks, devotional reading progress, highlight color names, etc.) from your local database. The next "
            "time you synchronize with the Cloud (either manually or automatically), the data currently in your "
            "Tavrosen Cloud account will be copied to your local machine to repopulate it. This option causes the "
            "loss of all local data and the retention of your data as it exists in your Tavrosen Cloud account."),
        QStringLiteral(
            "If you choose this option, the program will attempt to combine the user-created data (notes, "
            "highlights, bookmarks, devotional reading progress, highlight color names, etc.) contained on your "
            "local machine with the data from your Tavrosen Cloud account. If conflicts are found (for example, two "
            "notes on the same verse), the NEWER data will be retained and the older data discarded. This may or may "
            "not have the anticipated result."),
        QStringLiteral("If you choose this option, you will be logged out. It is assumed the reason for doing this is "
                       "so that you can later log in using the Tavrosen Customer ID that this data was previously "
                       "sync'ed with."),
        QStringLiteral(
            "If you choose this option, the program will leave both your local and Cloud data as-is. It will ignore "
            "any autosync requests and it will not allow you to manually sync your data with the Tavrosen Cloud. You "
            "will need to resolve this problem by logging out of the account you're logged into and log back into "
            "the account this data was previously synchronized with, or by choosing one of the other options above. "
            "You can do this by going to the Customer ID tab in Settings."),
    };
    return texts;
}

bool SyncCustomerIDResolutionWindowController::resolveBeforeSync(const WindowEnvironment& env, qint64 loggedInCustomer,
    qint64 syncedToCustomer, QWidget* parent, const std::function<void(int pane)>& showPreferencesPane)
{
    if (syncedToCustomer < 1 || syncedToCustomer == loggedInCustomer)
        return true;
    SyncCustomerIDResolutionWindowController window(env, loggedInCustomer, syncedToCustomer, parent);
    if (showPreferencesPane)
        connect(&window, &SyncCustomerIDResolutionWindowController::preferencesPaneRequested, &window,
            [&showPreferencesPane](int pane) { showPreferencesPane(pane); });
    return window.exec() == 1;
}

void SyncCustomerIDResolutionWindowController::onOptionSelected()
{
    m_details->setText(details().value(m_choices->currentIndex()));
}

bool SyncCustomerIDResolutionWindowController::confirmTwice(
    const QString& message, const QString& informative, const QString& lastChanceFormat)
{
    // Return and Space answer "No": the data stays as it is.
    Alert first {message, informative, {QStringLiteral("Yes"), QStringLiteral("No")}, AlertStyle::Warning, 1};
    if (m_env.alert().runModal(first) != AlertFirstButtonReturn)
        return false;
    Alert second {QStringLiteral("LAST CHANCE: %1").arg(message), lastChanceFormat.arg(informative),
        {QStringLiteral("Yes"), QStringLiteral("No")}, AlertStyle::Warning, 1};
    return m_env.alert().runModal(second) == AlertFirstButtonReturn;
}

SyncManager& SyncCustomerIDResolutionWindowController::syncEngine() const
{
    assert(m_env.sync != nullptr);
    return *m_env.sync;
}

void SyncCustomerIDResolutionWindowController::onOKButton()
{
    switch (m_choices->currentIndex()) {
    case ReplaceLocalData:
        if (!confirmTwice(QStringLiteral("Are you sure you want to delete your local data?"),
                QStringLiteral("This will permanently delete all notes, highlights, bookmarks, reading progress and "
                               "other user-created data on this machine."),
                QStringLiteral("%1 THIS OPERATION CAN NOT BE UNDONE.")))
            return;
        syncEngine().removeAllUserData();
        done(1);
        return;
    case CombineData:
        if (!confirmTwice(QStringLiteral("Are you sure you want to sync local data with the new account?"),
                QStringLiteral("On your next Cloud Sync, newer data from the server will overwrite older data stored "
                               "locally, while newer data on your local machine will overwrite older data on the "
                               "server."),
                QStringLiteral("%1 DELETED OR OVERWRITTEN DATA ARE NOT RECOVERABLE.")))
            return;
        syncEngine().removeAllUserSyncHistory();
        done(1);
        return;
    case LogOut:
        emit preferencesPaneRequested(kCustomerIdPreferencesPane);
        done(0);
        return;
    default:
        done(0);
        return;
    }
}

void SyncCustomerIDResolutionWindowController::onCancelButton()
{
    done(0);
}

}  // namespace qs::cloud
