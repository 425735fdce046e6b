// HttpServer: a small HTTP/1.1 server on one loopback port for the stand-in services. Each request
// is read whole (bounded request line, headers and body), handed to the handler, and answered with
// "Connection: close". A response may name a file, which is streamed as the socket drains.
//
// Limits: request line and headers at most 16 KiB together, at most 100 header lines, a body of at
// most 1 MiB (announced by Content-Length; no chunked bodies), 30 s to send a whole request.
// Anything past a limit gets 400, 411, 413 or 431 and the connection is closed. At most 256
// connections are served at once; more are closed at once.
//
// The fault plan's HTTP faults (status, truncated body, stall, garbage) act on every request outside
// /_control/ that they match.
//
// Threads: lives on the thread that made it (the server's main thread).
#pragma once

#include "tools/standin-services/FaultPlan.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPair>
#include <QString>

#include <functional>

class QTcpServer;
class QTcpSocket;

namespace qs::standin {

struct HttpRequest {
    QByteArray method;
    QString path;                          // percent-decoded
    QString rawQuery;                      // as received, without "?"
    QMap<QByteArray, QByteArray> headers;  // names in lower case
    QByteArray body;
};

struct HttpResponse {
    int status = 200;
    QByteArray contentType = "text/plain; charset=utf-8";
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers;
    QString filePath;  // when set, the body is this file's bytes
    qint64 fileSize = 0;

    static HttpResponse text(int status, const QByteArray& body, const QByteArray& type = "text/plain; charset=utf-8");
};

class HttpServer : public QObject {
public:
    using Handler = std::function<HttpResponse(const HttpRequest&)>;

    static constexpr qsizetype kMaxHeaderBytes = 16 * 1024;
    static constexpr int kMaxHeaderLines = 100;
    static constexpr qsizetype kMaxBodyBytes = 1024 * 1024;
    static constexpr int kRequestTimeoutMs = 30000;
    static constexpr int kMaxConnections = 256;

    HttpServer(Handler handler, FaultPlan* faults, QObject* parent = nullptr);
    ~HttpServer() override;

    // Listens on 127.0.0.1 (port 0: a free port); false with `error` set on failure.
    bool listen(quint16 port, QString* error);
    quint16 port() const;

private:
    class Connection;
    void accept();

    Handler m_handler;
    FaultPlan* m_faults;
    QTcpServer* m_server;
    int m_connections = 0;
};

}  // namespace qs::standin
