// BookPageScheme: the reader's own URL scheme "qsbook", through which book pages are loaded and
// talk to the reader, and the web profile all book pages share.
//
//   qsbook://page/<token>/<serial>                 the page with that serial number
//   qsbook://page/<token>/<file>.png ...           an image of the page (.png, .jpg, .jpeg, .gif, .bmp)
//   qsbook://bridge/<token>/<secret>/<name>?<a>    a bridge call; <a> is the JSON array of its arguments
//
// Each book page view registers under a random token; requests for an unknown token, a replaced
// page or a malformed call fail. Bridge calls live on a host of their own that a page's security
// policy allows only for script requests (never for images, styles, fonts or frames); the request
// interceptor refuses every other kind of request to it, and the handler answers only requests
// from a book page that carry the secret of the endpoint's current page, which only the page
// script knows. So book content cannot call the reader, whatever markup or style it holds. A page
// that needs an answer at once asks with a synchronous request: the handler answers on the main
// thread while the page's renderer waits.
//
// Book pages share renderer processes: the web engine runs one renderer per site, and every book
// page is of the one site qsbook://page.
//
// The profile keeps nothing on disk, runs no plug-ins, opens no windows, and its request
// interceptor refuses every URL outside the reader (anything but qsbook:, data: and about:), so
// book content cannot reach the network or local files.
//
// registerScheme() must run before the QApplication is made; everything else on the main thread.
#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonValue>
#include <QString>

class QWebEngineProfile;
class QUrl;

// The reader's side of one page: what a token serves.
class BookPageEndpoint {
public:
    virtual ~BookPageEndpoint() = default;
    // The page with that serial; empty when it is not the current page.
    virtual QByteArray pageHtml(quint64 serial) = 0;
    // Whether a bridge call carrying this secret comes from the current page's script.
    virtual bool isBridgeSecret(const QString& secret) const = 0;
    // A bridge call; the answer goes back to the page as JSON (null when there is none).
    virtual QJsonValue bridgeCall(const QString& name, const QJsonArray& arguments) = 0;
    // An image of the shown page (a file the book holds, or the reader's logo); empty when there is
    // none of that name.
    virtual QByteArray bookFile(const QString& name) = 0;
};

class BookPageScheme {
public:
    static constexpr const char* kScheme = "qsbook";
    static constexpr const char* kHost = "page";
    static constexpr const char* kBridgeHost = "bridge";
    // Longest bridge request the handler reads.
    static constexpr int kMaxCallBytes = 1 << 20;

    // Registers the scheme with the web engine; once, before the application object exists. The
    // engine's process model is set with its flags (panes/page/EngineProcesses.h).
    static void registerScheme();
    // The shared profile of book pages, made on first use.
    static QWebEngineProfile* profile();

    // Registers an endpoint and returns its token; unregister before the endpoint goes.
    static QString registerEndpoint(BookPageEndpoint* endpoint);
    static void unregisterEndpoint(const QString& token);

    static QUrl pageUrl(const QString& token, quint64 serial);
    // The address the page script puts a call's name and arguments after.
    static QString bridgeBase(const QString& token, const QString& secret);
    // Whether a URL may be loaded or requested by a book page.
    static bool isAllowedUrl(const QUrl& url);
};
