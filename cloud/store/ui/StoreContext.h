// StoreContext: what the store windows work with: the window's environment (its centre, user
// defaults, alerts and library), the owned-books, download and cover-art managers, and where the web
// script and the store pages are. The application passes fromWindow() (the managers of the window's
// `store`); tests pass their own environment, managers and stand-in address.
//
// The managers post what they do on the program's notification centre, so the environment's centre
// is that one wherever the sheets follow the managers.
//
// A value of pointers; the objects it names outlive the windows made with it. Main thread only.
#pragma once

#include "panes/environment/WindowEnvironment.h"

#include <QString>
#include <QUrl>
#include <QVariantMap>

namespace qs::cloud {

class CoverArtManager;
class DownloadBooksManager;
class OwnedBooksManager;
struct WebScriptCaller;

struct StoreContext {
    // The centre, defaults, alerts and library of the window the sheets are shown over.
    WindowEnvironment window;
    OwnedBooksManager* ownedBooks = nullptr;
    DownloadBooksManager* downloads = nullptr;
    CoverArtManager* covers = nullptr;
    // The web script; empty: the configured one (the "serviceHost" setting).
    QUrl script;
    // The store pages ("…/MacStore/"); empty: the configured one.
    QUrl storePages;
    // The folder of the kept password; empty: the application's.
    QString passwordFolder;

    // The window's environment and its store managers (none where the environment has none).
    static StoreContext fromWindow(const WindowEnvironment& window);

    bool signedIn() const;
    WebScriptCaller caller() const;
    QUrl storePagesUrl() const;
    // A cover request for a book at the size the sheets draw ("144x144").
    QVariantMap coverRequest(qint64 pubId, qint64 bookId) const;

    // The alert shown when a store window needs a signed-in customer.
    void showSignInAlert() const;
    // A modal alert made from an error's user info (description, failure reason, recovery suggestion).
    void showErrorAlert(const QVariantMap& errorInfo, const QString& fallbackMessage) const;
};

}  // namespace qs::cloud
