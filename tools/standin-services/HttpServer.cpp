#include "tools/standin-services/HttpServer.h"

#include <QFile>
#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

namespace qs::standin {

namespace {

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 303:
        return "See Other";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 411:
        return "Length Required";
    case 413:
        return "Payload Too Large";
    case 431:
        return "Request Header Fields Too Large";
    case 500:
        return "Internal Server Error";
    case 501:
        return "Not Implemented";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

constexpr qint64 kFileChunk = 64 * 1024;

}  // namespace

HttpResponse HttpResponse::text(int status, const QByteArray& body, const QByteArray& type)
{
    HttpResponse r;
    r.status = status;
    r.body = body;
    r.contentType = type;
    return r;
}

// One client connection: reads one request, answers it, closes.
class HttpServer::Connection : public QObject {
public:
    Connection(HttpServer* server, QTcpSocket* socket) : QObject(server), m_server(server), m_socket(socket)
    {
        socket->setParent(this);
        ++m_server->m_connections;
        connect(socket, &QTcpSocket::readyRead, this, [this] { onReadyRead(); });
        connect(socket, &QTcpSocket::bytesWritten, this, [this] { pumpFile(); });
        connect(socket, &QTcpSocket::disconnected, this, [this] { finish(); });
        m_timeout.setSingleShot(true);
        connect(&m_timeout, &QTimer::timeout, this, [this] {
            if (!m_answered)
                fail(408, "The request took too long.");
        });
        m_timeout.start(kRequestTimeoutMs);
    }
    ~Connection() override { --m_server->m_connections; }

private:
    void onReadyRead()
    {
        if (m_answered) {
            m_socket->readAll();
            return;
        }
        m_buffer.append(m_socket->readAll());
        if (m_headerEnd < 0) {
            const qsizetype end = m_buffer.indexOf("\r\n\r\n");
            if (end < 0) {
                if (m_buffer.size() > kMaxHeaderBytes)
                    fail(431, "The request headers are too large.");
                return;
            }
            if (end > kMaxHeaderBytes) {
                fail(431, "The request headers are too large.");
                return;
            }
            m_headerEnd = end + 4;
            if (!parseHead(m_buffer.left(end)))
                return;
        }
        if (m_buffer.size() - m_headerEnd < m_bodyLength)
            return;
        m_request.body = m_buffer.mid(m_headerEnd, m_bodyLength);
        m_answered = true;
        m_timeout.stop();
        answer(m_server->m_handler(m_request));
    }

    bool parseHead(const QByteArray& head)
    {
        const QList<QByteArray> lines = head.split('\n');
        if (lines.size() > kMaxHeaderLines + 1) {
            fail(431, "Too many header lines.");
            return false;
        }
        const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
        if (requestLine.size() != 3 || !requestLine[2].startsWith("HTTP/1.")) {
            fail(400, "The request line is not HTTP.");
            return false;
        }
        m_request.method = requestLine[0];
        const QByteArray target = requestLine[1];
        const qsizetype q = target.indexOf('?');
        const QByteArray rawPath = q < 0 ? target : target.left(q);
        m_request.rawQuery = q < 0 ? QString() : QString::fromLatin1(target.mid(q + 1));
        m_request.path = QUrl::fromPercentEncoding(rawPath);
        if (!m_request.path.startsWith(QLatin1Char('/'))) {
            fail(400, "The request path is not absolute.");
            return false;
        }
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QByteArray line = lines[i].trimmed();
            const qsizetype colon = line.indexOf(':');
            if (colon <= 0) {
                fail(400, "A header line is malformed.");
                return false;
            }
            m_request.headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
        }
        if (m_request.headers.contains("transfer-encoding")) {
            fail(411, "Send the body with a Content-Length.");
            return false;
        }
        if (m_request.headers.contains("content-length")) {
            bool ok = false;
            m_bodyLength = m_request.headers.value("content-length").toLongLong(&ok);
            if (!ok || m_bodyLength < 0) {
                fail(400, "The Content-Length is not a number.");
                return false;
            }
            if (m_bodyLength > kMaxBodyBytes) {
                fail(413, "The body is too large.");
                return false;
            }
        }
        return true;
    }

    void fail(int status, const QByteArray& message)
    {
        m_answered = true;
        m_timeout.stop();
        send(HttpResponse::text(status, message + '\n'), std::nullopt);
    }

    void answer(const HttpResponse& response)
    {
        std::optional<FaultPlan> fault;
        if (!m_request.path.startsWith(QLatin1String("/_control/")))
            fault = m_server->m_faults->takeHttpFault(m_request.path);
        if (fault && fault->httpStallMs > 0) {
            QTimer::singleShot(fault->httpStallMs, this, [this, response, fault] { send(response, fault); });
            return;
        }
        send(response, fault);
    }

    void send(HttpResponse response, const std::optional<FaultPlan>& fault)
    {
        if (m_socket->state() != QAbstractSocket::ConnectedState) {
            finish();
            return;
        }
        if (fault && fault->httpStatus != 0) {
            response = HttpResponse::text(fault->httpStatus,
                "<error>The stand-in services were asked to fail with status " + QByteArray::number(fault->httpStatus) +
                    ".</error>");
        } else if (fault && fault->httpGarbage) {
            static const char garbage[] = "\x00\xff\xfe<<garbage \x01 not a reply>";
            response = HttpResponse::text(200, QByteArray(garbage, sizeof(garbage) - 1), "application/octet-stream");
        }
        qint64 length = response.body.size();
        if (!response.filePath.isEmpty()) {
            m_file.setFileName(response.filePath);
            if (!m_file.open(QIODevice::ReadOnly)) {
                response = HttpResponse::text(500, "The file cannot be read.\n");
                length = response.body.size();
            } else {
                length = m_file.size();
            }
        }
        const bool truncated = fault && fault->httpTruncate >= 0 && fault->httpTruncate < length;
        m_remaining = truncated ? fault->httpTruncate : length;
        // A cut body is announced as on a connection that would stay open, so that the client sees the
        // connection drop in the middle of the body rather than an ordinary end.
        QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + reasonPhrase(response.status) +
            "\r\nContent-Type: " + response.contentType + "\r\nContent-Length: " + QByteArray::number(length) +
            "\r\nCache-Control: no-store\r\n" + (truncated ? "" : "Connection: close\r\n");
        for (const auto& [name, value] : response.headers)
            head += name + ": " + value + "\r\n";
        head += "\r\n";
        m_socket->write(head);
        if (m_request.method == "HEAD")
            m_remaining = 0;
        if (!m_file.isOpen()) {
            m_socket->write(response.body.left(m_remaining));
            m_remaining = 0;
        }
        m_sent = true;
        pumpFile();
    }

    // Writes the file as the socket drains; closes once everything is handed over.
    void pumpFile()
    {
        if (!m_sent || m_closing)
            return;
        while (m_remaining > 0 && m_file.isOpen() && m_socket->bytesToWrite() < 4 * kFileChunk) {
            const QByteArray chunk = m_file.read(std::min(kFileChunk, m_remaining));
            if (chunk.isEmpty()) {
                m_remaining = 0;
                break;
            }
            m_socket->write(chunk);
            m_remaining -= chunk.size();
        }
        if (m_remaining == 0) {
            // Closing waits until the written bytes have gone out.
            m_closing = true;
            m_file.close();
            m_socket->disconnectFromHost();
        }
    }

    void finish()
    {
        if (m_finished)
            return;
        m_finished = true;
        m_timeout.stop();
        deleteLater();
    }

    HttpServer* m_server;
    QTcpSocket* m_socket;
    QByteArray m_buffer;
    qsizetype m_headerEnd = -1;
    qint64 m_bodyLength = 0;
    HttpRequest m_request;
    QTimer m_timeout;
    QFile m_file;
    qint64 m_remaining = 0;
    bool m_answered = false;
    bool m_sent = false;
    bool m_closing = false;
    bool m_finished = false;
};

HttpServer::HttpServer(Handler handler, FaultPlan* faults, QObject* parent)
    : QObject(parent), m_handler(std::move(handler)), m_faults(faults), m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, [this] { accept(); });
}

HttpServer::~HttpServer()
{
    // Connections reach back into this object when they go, so they go first.
    const QObjectList kids = children();
    for (QObject* child : kids) {
        if (auto* connection = dynamic_cast<Connection*>(child))
            delete connection;
    }
}

bool HttpServer::listen(quint16 port, QString* error)
{
    if (m_server->listen(QHostAddress::LocalHost, port))
        return true;
    if (error)
        *error = QStringLiteral("cannot listen on 127.0.0.1:%1: %2").arg(port).arg(m_server->errorString());
    return false;
}

quint16 HttpServer::port() const
{
    return m_server->serverPort();
}

void HttpServer::accept()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        if (m_connections >= kMaxConnections) {
            // Too many at once: this one is turned away so the others keep their file handles.
            socket->abort();
            socket->deleteLater();
            continue;
        }
        new Connection(this, socket);
    }
}

}  // namespace qs::standin
