#include "app/StoreCommands.h"

#include "cloud/store/MyOffersManager.h"
#include "cloud/store/StoreCredentials.h"
#include "cloud/store/StoreManagers.h"
#include "cloud/store/ui/BookStoreWindowController.h"
#include "cloud/store/ui/DownloadBooksSheetWindowController.h"
#include "cloud/store/ui/OpenBookSheetWindowController.h"
#include "cloud/store/ui/StoreContext.h"
#include "library/SourceManager.h"
#include "platform/Alerts.h"
#include "platform/ui/ActionRegistry.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

using qs::cloud::BookStoreWindowController;
using qs::cloud::DownloadBooksSheetWindowController;
using qs::cloud::OpenBookSheetWindowController;
using qs::cloud::StoreContext;

StoreCommands::StoreCommands(const WindowEnvironment& environment, std::function<QWidget*()> parentWindow,
    std::function<void()> showCustomerIdPage)
    : m_environment(environment),
      m_parentWindow(std::move(parentWindow)),
      m_showCustomerIdPage(std::move(showCustomerIdPage))
{
    using namespace CommandNames;
    ActionRegistry& actions = *m_environment.actions;
    actions.add(OpenBook,
        {.text = tr("Open Book..."),
            .toolbarLabel = tr("Open Book"),
            .shortcut = QKeySequence::Open,
            .menu = ActionRegistry::in(Menus::File, 0, 0),
            .toolbarOrder = 10,
            .toolbarIcon = QStyle::SP_DialogOpenButton},
        this, &StoreCommands::openBook);
    actions.add(CloudLibrary, {.text = tr("Cloud Library..."), .menu = ActionRegistry::in(Menus::File, 1, 0)}, this,
        &StoreCommands::cloudLibrary);
    actions.add(MyOffers,
        {.text = tr("My Special Offers..."),
            .menu = ActionRegistry::in(Menus::File, 1, 1),
            .enabled =
                [this] {
                    return qs::cloud::StoreCredentials::signedIn(m_environment.settings()) &&
                        m_environment.store != nullptr && m_environment.store->offers().hasOffers();
                },
            .visible = [this] { return qs::cloud::StoreCredentials::signedIn(m_environment.settings()); }},
        this, &StoreCommands::myOffers);
}

void StoreCommands::openBook()
{
    m_environment.books().validate();
    OpenBookSheetWindowController* sheet =
        OpenBookSheetWindowController::factory(StoreContext::fromWindow(m_environment), m_parentWindow());
    // Queued: the sheet has closed before the next window opens.
    connect(sheet, &OpenBookSheetWindowController::switchToCloudLibrary, this, &StoreCommands::cloudLibrary,
        Qt::QueuedConnection);
    connect(sheet, &OpenBookSheetWindowController::switchToBookstore, this, &StoreCommands::bookstore,
        Qt::QueuedConnection);
    sheet->open();
}

bool StoreCommands::explainSignInNeeded(const QString& what)
{
    if (StoreContext::fromWindow(m_environment).signedIn())
        return false;
    Alert alert;
    alert.messageText = tr("You must be signed in to your Tavrosen account to use %1.").arg(what);
    alert.informativeText = tr("Enter your customer ID or e-mail and your password on the Customer ID page of "
                               "Settings, then choose the command again.");
    m_environment.alert().runModal(alert);
    m_showCustomerIdPage();
    return true;
}

void StoreCommands::cloudLibrary()
{
    if (explainSignInNeeded(tr("the Cloud Library")))
        return;
    DownloadBooksSheetWindowController* sheet =
        DownloadBooksSheetWindowController::factory(StoreContext::fromWindow(m_environment), m_parentWindow());
    connect(sheet, &DownloadBooksSheetWindowController::switchToOpenBook, this, &StoreCommands::openBook,
        Qt::QueuedConnection);
    connect(sheet, &DownloadBooksSheetWindowController::switchToBookstore, this, &StoreCommands::bookstore,
        Qt::QueuedConnection);
    sheet->open();
}

void StoreCommands::bookstore()
{
    if (explainSignInNeeded(tr("the Bookstore")))
        return;
    openStore(QString());
}

void StoreCommands::myOffers()
{
    if (explainSignInNeeded(tr("your special offers")))
        return;
    openStore(BookStoreWindowController::kMyOffersProductId);
}

void StoreCommands::openStore(const QString& productId)
{
    QWidget* parent = m_parentWindow();
    BookStoreWindowController* store =
        BookStoreWindowController::factoryWithProductID(StoreContext::fromWindow(m_environment), productId, parent);
    // At least three quarters of the screen's height.
    if (QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
        const int height = std::max(store->height(), screen->availableGeometry().height() * 3 / 4);
        store->resize(store->width(), height);
    }
    connect(store, &BookStoreWindowController::switchToOpenBook, this, &StoreCommands::openBook, Qt::QueuedConnection);
    connect(store, &BookStoreWindowController::switchToCloudLibrary, this, &StoreCommands::cloudLibrary,
        Qt::QueuedConnection);
    store->open();
}
