#include "cloud/store/ui/StoreContext.h"

#include "cloud/protocol/ServiceHost.h"
#include "cloud/store/CoverArtManager.h"
#include "cloud/store/DownloadBooksManager.h"
#include "cloud/store/OwnedBooksManager.h"
#include "cloud/store/StoreCredentials.h"
#include "cloud/store/StoreManagers.h"
#include "platform/Alerts.h"
#include "platform/UserDefaults.h"

namespace qs::cloud {

StoreContext StoreContext::fromWindow(const WindowEnvironment& window)
{
    StoreContext c;
    c.window = window;
    if (window.store != nullptr) {
        c.ownedBooks = &window.store->ownedBooks();
        c.downloads = &window.store->downloads();
        c.covers = &window.store->covers();
    }
    return c;
}

bool StoreContext::signedIn() const
{
    return StoreCredentials::signedIn(window.settings());
}

WebScriptCaller StoreContext::caller() const
{
    return StoreCredentials::caller(window.settings(), QString(), passwordFolder);
}

QUrl StoreContext::storePagesUrl() const
{
    return storePages.isEmpty() ? ServiceHost::fromDefaults(window.settings()).storeUrl() : storePages;
}

QVariantMap StoreContext::coverRequest(qint64 pubId, qint64 bookId) const
{
    QVariantMap r {{QStringLiteral("pubid"), pubId}, {QStringLiteral("bookid"), bookId},
        {QStringLiteral("size"), QStringLiteral("144x144")}};
    if (!script.isEmpty())
        r.insert(QStringLiteral("webscript"), script.toString());
    return r;
}

void StoreContext::showSignInAlert() const
{
    Alert alert;
    alert.messageText = QStringLiteral(
        "You must be logged into your Tavrosen account to download books from your account on the Tavrosen Cloud.");
    alert.style = AlertStyle::Informational;
    window.alert().runModal(alert);
}

void StoreContext::showErrorAlert(const QVariantMap& errorInfo, const QString& fallbackMessage) const
{
    const StoreError error = StoreError::fromUserInfo(errorInfo);
    Alert alert;
    alert.messageText = error.description.isEmpty() ? fallbackMessage : error.description;
    alert.informativeText = QStringLiteral("%1 %2").arg(error.reason, error.suggestion).trimmed();
    alert.style = AlertStyle::Informational;
    window.alert().runModal(alert);
}

}  // namespace qs::cloud
