#include "tools/standin-services/SyncServer.h"

#include "cloud/protocol/SyncCommand.h"
#include "cloud/protocol/SyncLineBuffer.h"
#include "cloud/protocol/SyncRecordTypes.h"
#include "cloud/protocol/SyncTime.h"

#include <QHostAddress>
#include <QJsonValue>
#include <QStringDecoder>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <optional>

namespace qs::standin {

using qs::cloud::SyncCommand;
using qs::cloud::SyncLineBuffer;

namespace {

const QByteArray kGarbageLine = QByteArray("~~~~~~~~\xff\xfeGARBAGE\x1f\x80\x01\x1e");

SyncCommand line(const char* verb, const QString& noun, const QStringList& params = {})
{
    return SyncCommand(QString::fromLatin1(verb), noun, params);
}

}  // namespace

class SyncServer::Session : public QObject {
public:
    Session(SyncServer* server, QTcpSocket* socket, std::optional<FaultPlan> faults, QJsonArray script)
        : QObject(server), m_server(server), m_socket(socket), m_faults(std::move(faults)), m_script(std::move(script))
    {
        socket->setParent(this);
        ++m_server->m_sessions;
        m_server->m_live.insert(this);
        connect(socket, &QTcpSocket::readyRead, this, [this] {
            m_idle.start(kIdleTimeoutMs);
            m_buffer.append(m_socket->readAll());
            processLines();
        });
        connect(socket, &QTcpSocket::disconnected, this, [this] { finish(); });
        m_idle.setSingleShot(true);
        connect(&m_idle, &QTimer::timeout, this, [this] { m_socket->abort(); });
        m_idle.start(kIdleTimeoutMs);
        if (m_server->m_faults->greeting)
            m_socket->write(QByteArray(SyncLineBuffer::kGreeting));
    }
    ~Session() override
    {
        --m_server->m_sessions;
        m_server->m_live.erase(this);
    }

    void drop()
    {
        m_closed = true;
        m_socket->abort();
    }

private:
    void finish()
    {
        if (m_finished)
            return;
        m_finished = true;
        m_closed = true;
        deleteLater();
    }

    void processLines()
    {
        while (!m_paused && !m_closed) {
            QByteArray bytes;
            const SyncLineBuffer::Result result = m_buffer.nextLine(bytes);
            if (result == SyncLineBuffer::Result::NeedMore)
                return;
            if (result == SyncLineBuffer::Result::Overflow) {
                send({reply(line("SYNC", "ERROR", {"The line is too long."}))});
                closeGracefully();
                return;
            }
            ++m_lineNumber;
            ++m_server->m_linesReceived;
            if (m_faults && m_faults->closeAtLine == m_lineNumber) {
                m_closed = true;
                m_socket->disconnectFromHost();
                return;
            }
            if (m_faults && m_faults->restartAtLine == m_lineNumber) {
                m_server->restart(m_faults->restartDelayMs);
                return;
            }
            bool closeAfter = false;
            QList<QByteArray> replies;
            if (m_lineNumber <= m_script.size())
                replies = scriptedReplies(m_script.at(m_lineNumber - 1).toArray(), bytes);
            else
                replies = handle(bytes, closeAfter);
            if (m_faults && m_faults->garbageAtLine == m_lineNumber)
                replies = {kGarbageLine};
            if (m_faults && m_faults->stallAtLine == m_lineNumber) {
                m_paused = true;
                QTimer::singleShot(m_faults->stallMs, this, [this, replies, closeAfter] {
                    m_paused = false;
                    if (m_closed)
                        return;
                    send(replies);
                    if (closeAfter)
                        closeGracefully();
                    else
                        processLines();
                });
                return;
            }
            send(replies);
            if (closeAfter) {
                closeGracefully();
                return;
            }
        }
    }

    void closeGracefully()
    {
        m_closed = true;
        m_socket->disconnectFromHost();
    }

    void send(const QList<QByteArray>& replies)
    {
        for (const QByteArray& r : replies)
            m_socket->write(r);
    }

    QByteArray reply(const SyncCommand& command)
    {
        return command.serverLine(QStringLiteral("%1").arg(++m_sent, 8, 10, QLatin1Char('0')).right(8));
    }

    // "$fill:N": N letters, for a line longer than the client can take (which a script could not
    // carry in one control request); at most kMaxFillBytes.
    static QString filler(const QString& token)
    {
        const qsizetype n = token.mid(6).toLongLong();
        return QString(qBound<qsizetype>(0, n, kMaxFillBytes), QLatin1Char('w'));
    }

    QList<QByteArray> scriptedReplies(const QJsonArray& entry, const QByteArray& received)
    {
        const SyncCommand in = SyncCommand::fromReceivedBytes(received, false);
        QList<QByteArray> out;
        for (const QJsonValue& v : entry) {
            if (v.isString()) {
                out.append(v.toString().toUtf8());
                continue;
            }
            QStringList parts;
            for (const QJsonValue& p : v.toArray()) {
                QString s = p.toString();
                if (s == QLatin1String("$now"))
                    s = qs::cloud::formatSyncTime(qs::cloud::currentSyncTimeMs() + m_server->m_faults->clockSkewMs);
                else if (s.size() == 3 && s.startsWith(QLatin1String("$p")) && s.at(2).isDigit())
                    s = in.paramAtIndex(s.at(2).digitValue());
                else if (s.startsWith(QLatin1String("$fill:")))
                    s = filler(s);
                parts.append(s);
            }
            while (parts.size() < 2)
                parts.append(QString());
            out.append(reply(SyncCommand(parts.at(0), parts.at(1), parts.mid(2))));
        }
        return out;
    }

    // The error line of the reply verb a client waits for after `verb`.
    QByteArray errorReply(qint64 verb, const SyncCommand& in, const QString& message)
    {
        ++m_badLines;
        if (m_badLines >= kMaxBadLines)
            m_closed = true;
        switch (verb) {
        case SyncCommand::Connect:
            return reply(line("CONNECTED", "ERROR", {"4", message}));
        case SyncCommand::Get:
            return reply(line("GOT", "ERROR", {message}));
        case SyncCommand::Count:
            return reply(line("COUNTED", "ERROR", {message}));
        case SyncCommand::Add:
            return reply(line("ADDED", "ERROR", {in.noun(), in.paramAtIndex(0), QString(), message}));
        case SyncCommand::Delete:
            return reply(line("DELETED", "ERROR", {in.noun(), in.paramAtIndex(0), QString(), message}));
        default:
            return reply(line("SYNC", "ERROR", {message}));
        }
    }

    QList<QByteArray> handle(const QByteArray& bytes, bool& closeAfter)
    {
        QStringDecoder decoder(QStringDecoder::Utf8);
        const QString text = decoder(bytes);
        const SyncCommand in = SyncCommand::fromReceivedText(text, false);
        const qint64 verb = in.verbNumber();
        if (decoder.hasError())
            return {errorReply(verb, in, QStringLiteral("The line is not UTF-8 text."))};
        switch (verb) {
        case SyncCommand::Connect:
            return {connectUser(in)};
        case SyncCommand::Disconnect:
            closeAfter = true;
            return {};
        case SyncCommand::Get:
        case SyncCommand::Count:
        case SyncCommand::Sync:
        case SyncCommand::Add:
        case SyncCommand::Delete:
            break;
        default:
            return {errorReply(verb, in, QStringLiteral("Unrecognized command."))};
        }
        if (!m_account)
            return {errorReply(verb, in, QStringLiteral("Log in first."))};
        if (verb == SyncCommand::Get)
            return {get(in)};
        if (verb == SyncCommand::Count)
            return {count(in)};
        if (verb == SyncCommand::Sync)
            return sync(in);
        return {upload(in, verb)};
    }

    QByteArray connectUser(const SyncCommand& in)
    {
        m_account.reset();
        if (m_faults && m_faults->refuseLoginCode != 0)
            return reply(
                line("CONNECTED", "ERROR", {QString::number(m_faults->refuseLoginCode), m_faults->refuseMessage}));
        if (in.noun() != QLatin1String("USER") || in.parameterCount() != 1)
            return errorReply(SyncCommand::Connect, in, QStringLiteral("The log-in values are missing."));
        const auto login = qs::cloud::SyncLoginValues::fromScrambledParameter(in.paramAtIndex(0));
        if (!login)
            return errorReply(SyncCommand::Connect, in, QStringLiteral("The log-in values could not be read."));
        m_account = m_server->m_db->authenticate(login->customerId, login->password);
        if (!m_account)
            return reply(line("CONNECTED", "ERROR", {"2", "Invalid customer ID or password."}));
        m_deviceId = login->deviceId;
        return reply(line("CONNECTED", "SUCCESS"));
    }

    QByteArray get(const SyncCommand& in)
    {
        if (in.noun() == QLatin1String("TIME")) {
            if (in.parameterCount() < 1)
                return errorReply(SyncCommand::Get, in, QStringLiteral("GET TIME needs the client's time."));
            const qint64 now = qs::cloud::currentSyncTimeMs() + m_server->m_faults->clockSkewMs;
            return reply(line("GOT", "TIME", {in.paramAtIndex(0), qs::cloud::formatSyncTime(now)}));
        }
        if (in.noun() == QLatin1String("SERVERID")) {
            const qs::cloud::SyncRecordType* type = qs::cloud::syncRecordType(in.paramAtIndex(0));
            const std::optional<qint64> serverTime = qs::cloud::parseSyncTime(in.paramAtIndex(2));
            if (in.parameterCount() < 3 || !type || !serverTime)
                return errorReply(
                    SyncCommand::Get, in, QStringLiteral("GET SERVERID needs a record type and two times."));
            const qint64 id =
                m_server->m_db->highestServerIdAtOrBefore(m_account->customerId, type->nounWord, *serverTime);
            return reply(line("GOT", "SERVERID", {type->nounWord, in.paramAtIndex(1), QString::number(id)}));
        }
        return errorReply(SyncCommand::Get, in, QStringLiteral("Unknown GET request."));
    }

    std::optional<qint64> watermark(const SyncCommand& in)
    {
        bool ok = false;
        const qint64 w = in.paramAtIndex(0).toLongLong(&ok);
        return ok ? std::optional<qint64>(w) : std::nullopt;
    }

    QByteArray count(const SyncCommand& in)
    {
        const qs::cloud::SyncRecordType* type = qs::cloud::syncRecordType(in.noun());
        const std::optional<qint64> w = watermark(in);
        if (!type || !w)
            return errorReply(SyncCommand::Count, in, QStringLiteral("COUNT needs a record type and a server id."));
        if (type->noun == SyncCommand::ProgramSettings)
            return reply(line("COUNTED", type->nounWord, {"0", "0"}));
        const qint64 highest = m_server->m_db->highestServerId(m_account->customerId, type->nounWord);
        const qint64 n = m_server->m_db->countAfter(m_account->customerId, type->nounWord, *w);
        return reply(line("COUNTED", type->nounWord, {QString::number(highest), QString::number(n)}));
    }

    QList<QByteArray> sync(const SyncCommand& in)
    {
        if (in.noun() == QLatin1String("COMPLETE"))
            return {};  // the client has sent its records; nothing to answer
        const qs::cloud::SyncRecordType* type = qs::cloud::syncRecordType(in.noun());
        const std::optional<qint64> w = watermark(in);
        if (!type || !w)
            return {errorReply(SyncCommand::Sync, in, QStringLiteral("SYNC needs a record type and a server id."))};
        QList<QByteArray> out;
        if (type->noun != SyncCommand::ProgramSettings) {
            const std::vector<SyncedRecord> records =
                m_server->m_db->recordsAfter(m_account->customerId, type->nounWord, *w);
            const QString total = QString::number(records.size());
            for (const SyncedRecord& r : records) {
                // A record is echoed with its client record id only to the device that sent it.
                const qint64 clientRecId = r.originDevice == m_deviceId ? r.originRecId : 0;
                QStringList params {QString::number(clientRecId), QString::number(r.serverId), r.timestamp, total};
                params.append(r.fields);
                out.append(reply(line(r.deleted ? "DELETE" : "ADD", type->nounWord, params)));
            }
        }
        out.append(reply(line("SYNC", "COMPLETE")));
        return out;
    }

    QByteArray upload(const SyncCommand& in, qint64 verb)
    {
        const qs::cloud::SyncRecordType* type = qs::cloud::syncRecordType(in.noun());
        if (!type || type->noun == SyncCommand::ProgramSettings)
            return errorReply(verb, in, QStringLiteral("Unknown record type."));
        bool ok = false;
        const qint64 recId = in.paramAtIndex(0).toLongLong(&ok);
        if (!ok)
            return errorReply(verb, in, QStringLiteral("The record id is not a number."));
        const std::optional<qint64> time = qs::cloud::parseSyncTime(in.paramAtIndex(1));
        if (!time)
            return errorReply(verb, in, QStringLiteral("The modification time is not a time."));
        const QStringList fields = in.parameters().mid(2, type->fields.size());
        if (const std::optional<QString> fault = qs::cloud::checkSyncRecordFields(*type, fields))
            return errorReply(verb, in, *fault);
        if (m_faults && m_faults->rejectUploads)
            return errorReply(verb, in, QStringLiteral("The server was asked to refuse this record."));
        SyncedRecord record;
        record.deleted = verb == SyncCommand::Delete;
        record.timestamp = qs::cloud::formatSyncTime(*time);
        record.fields = fields;
        record.originDevice = m_deviceId;
        record.originRecId = recId;
        QString error;
        const std::optional<UploadResult> stored = m_server->m_db->upload(
            m_account->customerId, type->nounWord, qs::cloud::syncRecordMatchKey(*type, fields), record, *time, &error);
        if (!stored)
            return errorReply(verb, in, error);
        return reply(line(verb == SyncCommand::Delete ? "DELETED" : "ADDED", "SUCCESS",
            {type->nounWord, QString::number(recId), QString::number(stored->acknowledgedServerId)}));
    }

    SyncServer* m_server;
    QTcpSocket* m_socket;
    std::optional<FaultPlan> m_faults;
    QJsonArray m_script;
    SyncLineBuffer m_buffer;
    QTimer m_idle;
    std::optional<Account> m_account;
    QString m_deviceId;
    int m_lineNumber = 0;
    qint64 m_sent = 0;
    int m_badLines = 0;
    bool m_paused = false;
    bool m_closed = false;
    bool m_finished = false;
};

SyncServer::SyncServer(StandinDatabase* db, FaultPlan* faults, QObject* parent)
    : QObject(parent), m_db(db), m_faults(faults), m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, [this] { accept(); });
}

SyncServer::~SyncServer()
{
    // Sessions reach back into this object when they go, so they go first.
    const std::set<Session*> live = m_live;
    for (Session* s : live)
        delete s;
}

bool SyncServer::listen(quint16 port, QString* error)
{
    if (m_server->listen(QHostAddress::LocalHost, port)) {
        m_port = m_server->serverPort();
        return true;
    }
    if (error)
        *error = QStringLiteral("cannot listen on 127.0.0.1:%1: %2").arg(port).arg(m_server->errorString());
    return false;
}

bool SyncServer::isListening() const
{
    return m_server->isListening();
}

void SyncServer::restart(int delayMs)
{
    ++m_restarts;
    m_server->close();
    const std::set<Session*> live = m_live;
    for (Session* s : live)
        s->drop();
    QTimer::singleShot(delayMs, this, [this] {
        QString error;
        // The port was ours a moment ago; try a few times in case the system holds it briefly.
        for (int attempt = 0; attempt < 20 && !listen(m_port, &error); ++attempt)
            QThread::msleep(50);
    });
}

bool SyncServer::setScript(const QJsonArray& script, QString* error)
{
    for (const QJsonValue& entry : script) {
        if (!entry.isArray()) {
            *error = QStringLiteral("every script entry is an array of reply lines");
            return false;
        }
        for (const QJsonValue& r : entry.toArray()) {
            if (r.isString())
                continue;
            if (!r.isArray()) {
                *error = QStringLiteral("a reply line is an array of components or a string");
                return false;
            }
            for (const QJsonValue& c : r.toArray()) {
                if (!c.isString()) {
                    *error = QStringLiteral("line components are strings");
                    return false;
                }
            }
        }
    }
    m_script = script;
    m_hasScript = !script.isEmpty();
    return true;
}

void SyncServer::accept()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        if (m_sessions >= kMaxSessions) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        QJsonArray script;
        if (m_hasScript) {
            script = m_script;
            m_script = QJsonArray();
            m_hasScript = false;
        }
        new Session(this, socket, m_faults->takeSyncFaults(), script);
    }
}

}  // namespace qs::standin
