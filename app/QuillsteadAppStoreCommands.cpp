// The application controller's store commands: the Open Book and Cloud Library sheets, the store
// pages and the special offers, each over the main window and each handing over to the others.
#include "app/QuillsteadAppController.h"
#include "app/QuillsteadWindowController.h"
#include "app/preferences/LoginPreferencesViewController.h"
#include "app/preferences/SettingsPages.h"
#include "cloud/store/ui/BookStoreWindowController.h"
#include "cloud/store/ui/DownloadBooksSheetWindowController.h"
#include "cloud/store/ui/OpenBookSheetWindowController.h"
#include "cloud/store/ui/StoreContext.h"
#include "platform/Alerts.h"

#include <QGuiApplication>
#include <QScreen>

using qs::cloud::BookStoreWindowController;
using qs::cloud::DownloadBooksSheetWindowController;
using qs::cloud::OpenBookSheetWindowController;
using qs::cloud::StoreContext;

namespace {

void openStore(
    QuillsteadAppController* app, const WindowEnvironment& environment, QWidget* parent, const QString& productId)
{
    BookStoreWindowController* store =
        BookStoreWindowController::factoryWithProductID(StoreContext::fromWindow(environment), productId, parent);
    // At least three quarters of the screen's height.
    if (QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
        const int height = std::max(store->height(), screen->availableGeometry().height() * 3 / 4);
        store->resize(store->width(), height);
    }
    QObject::connect(store, &BookStoreWindowController::switchToOpenBook, app, &QuillsteadAppController::onOpenBook,
        Qt::QueuedConnection);
    QObject::connect(store, &BookStoreWindowController::switchToCloudLibrary, app, &QuillsteadAppController::onLibrary,
        Qt::QueuedConnection);
    store->open();
}

}  // namespace

void QuillsteadAppController::showOpenBookSheet()
{
    if (!m_mainWindowController)
        return;
    OpenBookSheetWindowController* sheet = OpenBookSheetWindowController::factory(
        StoreContext::fromWindow(m_environment), m_mainWindowController->window());
    // Queued: the sheet has closed before the next window opens.
    connect(sheet, &OpenBookSheetWindowController::switchToCloudLibrary, this, &QuillsteadAppController::onLibrary,
        Qt::QueuedConnection);
    connect(sheet, &OpenBookSheetWindowController::switchToBookstore, this, &QuillsteadAppController::onBookstore,
        Qt::QueuedConnection);
    sheet->open();
}

bool QuillsteadAppController::explainSignInNeeded(const QString& what)
{
    if (StoreContext::fromWindow(m_environment).signedIn())
        return false;
    Alert alert;
    alert.messageText = tr("You must be signed in to your Tavrosen account to use %1.").arg(what);
    alert.informativeText = tr("Enter your customer ID or e-mail and your password on the Customer ID page of "
                               "Settings, then choose the command again.");
    m_environment.alert().runModal(alert);
    showPreferencesPane(SettingsPages::indexOf(LoginPreferencesViewController::kIdentity.identifier));
    return true;
}

void QuillsteadAppController::onLibrary()
{
    if (explainSignInNeeded(tr("the Cloud Library")) || !m_mainWindowController)
        return;
    const StoreContext context = StoreContext::fromWindow(m_environment);
    DownloadBooksSheetWindowController* sheet =
        DownloadBooksSheetWindowController::factory(context, m_mainWindowController->window());
    connect(sheet, &DownloadBooksSheetWindowController::switchToOpenBook, this, &QuillsteadAppController::onOpenBook,
        Qt::QueuedConnection);
    connect(sheet, &DownloadBooksSheetWindowController::switchToBookstore, this, &QuillsteadAppController::onBookstore,
        Qt::QueuedConnection);
    sheet->open();
}

void QuillsteadAppController::onBookstore()
{
    if (explainSignInNeeded(tr("the Bookstore")) || !m_mainWindowController)
        return;
    openStore(this, m_environment, m_mainWindowController->window(), QString());
}

void QuillsteadAppController::onMyOffers()
{
    if (explainSignInNeeded(tr("your special offers")) || !m_mainWindowController)
        return;
    openStore(this, m_environment, m_mainWindowController->window(), BookStoreWindowController::kMyOffersProductId);
}
