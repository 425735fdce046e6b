// A qs-standin process for tests: started on free loopback ports with a fresh data folder and the
// sample library, stopped when the object goes. Blocking HTTP and sync clients talk to it.
#pragma once

#include "cloud/protocol/SyncCommand.h"
#include "cloud/protocol/SyncLineBuffer.h"
#include "cloud/protocol/WebScriptQuery.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <optional>

namespace standin_test {

inline void ensureApplication()
{
    static int argc = 1;
    static char name[] = "standin_test";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
}

// Tests of the store's books need the sample library of the build (left out of sanitizer builds).
inline bool haveSampleLibrary()
{
    return QFile::exists(QStringLiteral(QS_BINARY_DIR "/library/KJV.tvk")) &&
        QFile::exists(QStringLiteral(QS_BINARY_DIR "/library/WEB.tvk"));
}

// The "serviceHost" setting that points the reader at a stand-in on these loopback ports, as a user
// writes it in the settings.
inline QString serviceHostSetting(quint16 httpPort, quint16 syncPort)
{
    return QStringLiteral("http://127.0.0.1:%1/?sync=%2").arg(httpPort).arg(syncPort);
}

struct HttpResult {
    int status = 0;
    QMap<QByteArray, QByteArray> headers;  // lower-case names
    QByteArray body;
    bool complete = false;  // the body had the announced length
};

class Server {
public:
    explicit Server(const QStringList& extra = {})
    {
        ensureApplication();
        m_process.setProgram(QStringLiteral(QS_BINARY_DIR "/tools/standin-services/qs-standin"));
        m_process.setArguments(QStringList {"--http-port", "0", "--sync-port", "0", "--data", m_dir.path(), "--books",
                                   QStringLiteral(QS_BINARY_DIR "/library")} +
            extra);
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start();
        QElapsedTimer t;
        t.start();
        static const QRegularExpression ports(
            QStringLiteral("http=127\\.0\\.0\\.1:(\\d+) sync=127\\.0\\.0\\.1:(\\d+)"));
        while (t.elapsed() < 20000 && m_process.state() != QProcess::NotRunning) {
            m_process.waitForReadyRead(200);
            m_output += m_process.readAllStandardOutput();
            const QRegularExpressionMatch m = ports.match(QString::fromUtf8(m_output));
            if (m.hasMatch()) {
                m_http = static_cast<quint16>(m.captured(1).toUInt());
                m_sync = static_cast<quint16>(m.captured(2).toUInt());
                return;
            }
        }
    }
    ~Server()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(10000))
                m_process.kill();
            m_process.waitForFinished(2000);
        }
        // Under the sanitizers the server reports its own faults (leaks included) as it exits.
        const QByteArray errors = m_process.readAllStandardError();
        if (errors.contains("Sanitizer") || errors.contains("runtime error:"))
            ADD_FAILURE() << "qs-standin reported:\n" << errors.toStdString();
    }

    bool running() const { return m_http != 0 && m_process.state() == QProcess::Running; }
    quint16 httpPort() const { return m_http; }
    quint16 syncPort() const { return m_sync; }
    QString serviceHostSetting() const { return standin_test::serviceHostSetting(m_http, m_sync); }
    QString dataDir() const { return m_dir.path(); }
    QProcess& process() { return m_process; }
    QByteArray output()
    {
        m_process.waitForReadyRead(300);
        m_output += m_process.readAllStandardOutput();
        return m_output;
    }

    // One request over a fresh connection; reads until the server closes.
    HttpResult request(const QByteArray& method, const QString& target, const QByteArray& body = {},
        const QByteArray& contentType = {}, int timeoutMs = 10000) const
    {
        QByteArray raw =
            method + ' ' + target.toUtf8() + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(m_http) + "\r\n";
        if (!contentType.isEmpty())
            raw += "Content-Type: " + contentType + "\r\n";
        if (!body.isEmpty() || method == "POST")
            raw += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
        raw += "\r\n" + body;
        return rawRequest(raw, timeoutMs);
    }
    HttpResult get(const QString& target, int timeoutMs = 10000) const
    {
        return request("GET", target, {}, {}, timeoutMs);
    }
    HttpResult post(const QString& target, const QByteArray& body = {}) const
    {
        return request("POST", target, body, body.isEmpty() ? QByteArray() : QByteArray("application/json"));
    }
    HttpResult rawRequest(const QByteArray& raw, int timeoutMs = 10000) const
    {
        QTcpSocket s;
        s.connectToHost(QStringLiteral("127.0.0.1"), m_http);
        HttpResult r;
        if (!s.waitForConnected(5000))
            return r;
        s.write(raw);
        s.waitForBytesWritten(5000);
        QByteArray data;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < timeoutMs) {
            if (s.waitForReadyRead(100))
                data += s.readAll();
            if (s.state() != QAbstractSocket::ConnectedState) {
                data += s.readAll();
                break;
            }
        }
        const qsizetype end = data.indexOf("\r\n\r\n");
        if (end < 0)
            return r;
        const QList<QByteArray> lines = data.left(end).split('\n');
        r.status = lines.first().split(' ').value(1).toInt();
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype c = lines[i].indexOf(':');
            r.headers.insert(lines[i].left(c).trimmed().toLower(), lines[i].mid(c + 1).trimmed());
        }
        r.body = data.mid(end + 4);
        r.complete = r.headers.value("content-length").toLongLong() == r.body.size();
        return r;
    }
    // A web-script request of the clear query, scrambled unless `plain`.
    HttpResult webScript(const QString& clearQuery, bool plain = false) const
    {
        return get(QStringLiteral("/mac/booklist.asp?") + qs::cloud::webScriptRequestQuery(clearQuery, plain));
    }
    QJsonObject state() const { return QJsonDocument::fromJson(get(QStringLiteral("/_control/state")).body).object(); }
    bool fault(const QString& query) const { return post(QStringLiteral("/_control/fault?") + query).status == 200; }
    // Waits until the sync service listens (again, after a restart); false when it did not within
    // the time. Each look is a round trip to the control service.
    bool waitForSyncListening(int msecs = 10000) const
    {
        QElapsedTimer clock;
        clock.start();
        while (!state().value(QStringLiteral("syncListening")).toBool()) {
            if (clock.elapsed() > msecs)
                return false;
            QThread::msleep(10);  // the pace of the looks, not a wait for the restart
        }
        return true;
    }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QByteArray m_output;
    quint16 m_http = 0;
    quint16 m_sync = 0;
};

// A blocking sync connection.
class SyncClient {
public:
    explicit SyncClient(quint16 port) : m_buffer(false)
    {
        m_socket.connectToHost(QStringLiteral("127.0.0.1"), port);
        m_socket.waitForConnected(5000);
    }
    bool connected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    void send(const qs::cloud::SyncCommand& c) { sendRaw(c.clientLine()); }
    void send(const char* verb, const QString& noun, const QStringList& params = {})
    {
        send(qs::cloud::SyncCommand(QString::fromLatin1(verb), noun, params));
    }
    void sendRaw(const QByteArray& bytes)
    {
        m_socket.write(bytes);
        m_socket.waitForBytesWritten(2000);
    }
    // The next line's raw bytes (lead field and separator included), or nothing within the time.
    std::optional<QByteArray> nextRaw(int timeoutMs = 5000)
    {
        QElapsedTimer t;
        t.start();
        for (;;) {
            QByteArray line;
            if (m_buffer.nextLine(line) == qs::cloud::SyncLineBuffer::Result::Line)
                return line;
            if (t.elapsed() >= timeoutMs)
                return std::nullopt;
            if (m_socket.state() != QAbstractSocket::ConnectedState && m_socket.bytesAvailable() == 0)
                return std::nullopt;
            if (m_socket.waitForReadyRead(std::min<int>(100, timeoutMs)))
                m_buffer.append(m_socket.readAll());
        }
    }
    std::optional<qs::cloud::SyncCommand> next(int timeoutMs = 5000)
    {
        const std::optional<QByteArray> raw = nextRaw(timeoutMs);
        if (!raw)
            return std::nullopt;
        return qs::cloud::SyncCommand::fromReceivedBytes(*raw);
    }
    // Reads and checks the greeting.
    bool greeting()
    {
        QElapsedTimer t;
        t.start();
        while (m_pending.size() < 5 && t.elapsed() < 5000 && m_socket.waitForReadyRead(100))
            m_pending += m_socket.readAll();
        const bool ok = m_pending.startsWith("Hi!\r\n");
        m_buffer.append(ok ? m_pending.mid(5) : m_pending);
        m_pending.clear();
        return ok;
    }
    bool closedWithin(int ms)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            if (m_socket.state() != QAbstractSocket::ConnectedState)
                return true;
            if (m_socket.waitForReadyRead(50))
                m_buffer.append(m_socket.readAll());
        }
        return m_socket.state() != QAbstractSocket::ConnectedState;
    }
    // CONNECT USER with these values; the reply.
    std::optional<qs::cloud::SyncCommand> login(
        const QString& customer, const QString& password, const QString& device = QStringLiteral("device-a"))
    {
        send(qs::cloud::SyncLoginValues {customer, password, QStringLiteral("org.quillstead/Linux"),
            QStringLiteral("0.1.0"), device, QStringLiteral("test host")}
                 .connectCommand());
        return next();
    }

private:
    QTcpSocket m_socket;
    qs::cloud::SyncLineBuffer m_buffer;
    QByteArray m_pending;
};

}  // namespace standin_test
