// SyncServer: the stand-in cloud-sync server. It listens on one loopback port and speaks the line
// protocol of cloud/protocol with each connection: log-in against the account database, the clock,
// counting, sending every record past a client's watermark, and storing uploads per account, so two
// readers of one account converge and another account sees nothing of them.
//
// Every reply line starts with an 8-character lead field (the line's number on its connection).
// Bad input gets an error line of the reply verb the client waits for; a line longer than
// SyncLineBuffer's limit, or 100 bad lines on one connection, ends the connection. An idle
// connection is closed after 5 minutes; at most 256 connections are served at once.
//
// Faults (FaultPlan) close, garble, stall or restart at a chosen line, refuse log-in, reject uploads
// and skew the clock. A script (setScript) answers the lines of the next connection with given
// lines instead, for error paths no ordinary server would produce.
//
// Threads: lives on the server's main thread.
#pragma once

#include "tools/standin-services/FaultPlan.h"
#include "tools/standin-services/StandinDatabase.h"

#include <QByteArray>
#include <QJsonArray>
#include <QList>
#include <QObject>

#include <set>

class QTcpServer;

namespace qs::standin {

class SyncServer : public QObject {
public:
    static constexpr int kIdleTimeoutMs = 5 * 60 * 1000;
    static constexpr int kMaxBadLines = 100;
    static constexpr int kMaxSessions = 256;
    // The longest filler a script's "$fill:N" parameter makes.
    static constexpr qsizetype kMaxFillBytes = 64 * 1024 * 1024;

    SyncServer(StandinDatabase* db, FaultPlan* faults, QObject* parent = nullptr);
    ~SyncServer() override;

    bool listen(quint16 port, QString* error);
    quint16 port() const { return m_port; }
    bool isListening() const;

    // Drops every connection and closes the port, then listens on the same port again after
    // `delayMs`.
    void restart(int delayMs);
    // Replies for the lines of the next connection, one entry per received line. Each entry is an
    // array of reply lines; a reply line is an array of components (written as a protocol line with
    // a lead field; "$p0".."$p9" stand for the received line's parameters, "$now" for the server
    // time, "$fill:N" for N letters) or a string sent as raw bytes. False with `error` set when the
    // script is malformed.
    bool setScript(const QJsonArray& script, QString* error);

    int sessionCount() const { return m_sessions; }
    qint64 linesReceived() const { return m_linesReceived; }
    int restarts() const { return m_restarts; }

private:
    class Session;
    void accept();

    StandinDatabase* m_db;
    FaultPlan* m_faults;
    QTcpServer* m_server;
    quint16 m_port = 0;
    QJsonArray m_script;
    bool m_hasScript = false;
    std::set<Session*> m_live;
    int m_sessions = 0;
    qint64 m_linesReceived = 0;
    int m_restarts = 0;
};

}  // namespace qs::standin
