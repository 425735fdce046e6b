// StoreContext: what the store windows work with: the user defaults, the library, the owned-books,
// download and cover-art managers, and where the web script and the store pages are. The
// application passes application(); tests pass their own library, managers and stand-in address.
//
// A value of pointers; the objects it names outlive the windows made with it. Main thread only.
#pragma once

#include <QString>
#include <QUrl>
#include <QVariantMap>

class SourceManager;
class UserDefaults;

namespace qs::cloud {

class CoverArtManager;
class DownloadBooksManager;
class OwnedBooksManager;
struct WebScriptCaller;

struct StoreContext {
    UserDefaults* defaults = nullptr;
    SourceManager* library = nullptr;
    OwnedBooksManager* ownedBooks = nullptr;
    DownloadBooksManager* downloads = nullptr;
    CoverArtManager* covers = nullptr;
    // The web script; empty: the configured one (the "serviceHost" setting).
    QUrl script;
    // The store pages ("…/MacStore/"); empty: the configured one.
    QUrl storePages;
    // The folder of the kept password; empty: the application's.
    QString passwordFolder;

    // The program's defaults, library and managers.
    static StoreContext application();

    bool signedIn() const;
    WebScriptCaller caller() const;
    QUrl storePagesUrl() const;
    // A cover request for a book at the size the sheets draw ("144x144").
    QVariantMap coverRequest(qint64 pubId, qint64 bookId) const;
};

// The alert shown when a store window needs a signed-in customer.
void showSignInAlert();
// A modal alert made from an error's user info (description, failure reason, recovery suggestion).
void showErrorAlert(const QVariantMap& errorInfo, const QString& fallbackMessage);

}  // namespace qs::cloud
