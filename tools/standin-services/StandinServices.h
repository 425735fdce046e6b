// StandinServices: the local stand-in of the maker's online services, all in one object: the web
// host (web script, update feed and its download, store pages, password-reset pages, JSON services,
// control endpoints) on one loopback HTTP port, and the sync server on another, over one SQLite
// database of accounts and synced records and one folder of compiled books that the store sells.
//
// Web-script replies are runs of XML elements without a root, in Windows-1252, as the reader expects;
// application errors are answered with status 200 and an <error> element so the reader shows the
// message. Control endpoints under /_control/ set faults and scripts for tests and report state.
//
// Threads: made and used on the main thread of a QCoreApplication.
#pragma once

#include "cloud/protocol/WebScriptQuery.h"
#include "tools/standin-services/BookCatalog.h"
#include "tools/standin-services/FaultPlan.h"
#include "tools/standin-services/HttpServer.h"
#include "tools/standin-services/StandinDatabase.h"
#include "tools/standin-services/SyncServer.h"

#include <QJsonArray>
#include <QObject>
#include <QString>

#include <functional>

namespace qs::standin {

struct StandinOptions {
    quint16 httpPort = 17380;
    quint16 syncPort = 17300;
    QString dataDir;
    QString booksDir;
    bool demoAccount = true;
    QString feedVersion = QStringLiteral("0.2.0");
    int feedBuild = 200;
    QStringList faults;  // name=value
};

class StandinServices : public QObject {
public:
    static constexpr char kDemoEmail[] = "demo@quillstead.test";
    static constexpr char kDemoPassword[] = "demo";

    explicit StandinServices(QObject* parent = nullptr);
    ~StandinServices() override;

    // Opens the database, reads the books and starts listening; false with `error` set.
    bool start(const StandinOptions& options, QString* error);
    quint16 httpPort() const { return m_http ? m_http->port() : 0; }
    quint16 syncPort() const { return m_sync ? m_sync->port() : 0; }
    const BookCatalog& catalog() const { return m_catalog; }
    StandinDatabase& database() { return m_db; }
    FaultPlan& faults() { return m_faults; }
    // Lines for the server's log (mail it would send, skipped books).
    void setLogger(std::function<void(const QString&)> logger) { m_log = std::move(logger); }
    // Called by POST /_control/quit.
    void setQuitHandler(std::function<void()> quit) { m_quit = std::move(quit); }

    HttpResponse handle(const HttpRequest& request);

private:
    HttpResponse webScript(const HttpRequest& request);
    HttpResponse createAccount(const qs::cloud::WebScriptRequest& r);
    HttpResponse logIn(const qs::cloud::WebScriptRequest& r);
    HttpResponse resetPassword(const qs::cloud::WebScriptRequest& r, const HttpRequest& request);
    HttpResponse ownedBooks(const qs::cloud::WebScriptRequest& r);
    HttpResponse download(const qs::cloud::WebScriptRequest& r);
    HttpResponse cover(const qs::cloud::WebScriptRequest& r);
    HttpResponse offers(const qs::cloud::WebScriptRequest& r);
    HttpResponse updateFeed(const HttpRequest& request);
    HttpResponse updateDownload(const HttpRequest& request);
    HttpResponse store(const HttpRequest& request);
    HttpResponse resetPage(const HttpRequest& request);
    HttpResponse json(const HttpRequest& request);
    HttpResponse control(const HttpRequest& request);
    HttpResponse index(const HttpRequest& request);

    QString baseUrl(const HttpRequest& request) const;
    // The offers served: the ones a test set, or two built-in ones expiring in 30 and 60 days.
    QJsonArray currentOffers() const;
    QString offersXml() const;
    void log(const QString& line) const;

    StandinOptions m_options;
    StandinDatabase m_db;
    BookCatalog m_catalog;
    FaultPlan m_faults;
    HttpServer* m_http = nullptr;
    SyncServer* m_sync = nullptr;
    QJsonArray m_offers;  // empty: the built-in offers
    bool m_customOffers = false;
    QByteArray m_feed;  // empty: the built-in feed
    std::function<void(const QString&)> m_log;
    std::function<void()> m_quit;
};

}  // namespace qs::standin
