// SyncConnection: the transport of the sync engine. One QTcpSocket to the sync server on the main
// thread: received bytes are cut into lines (SyncLineBuffer, greeting dropped, bounded line length)
// and handed on as SyncCommand values; lines to send are queued in order and written as the socket
// takes them. A one-shot reply timer (10 s) runs from every line queued until the next line arrives.
//
// The engine owns it and is told about everything through the callbacks it sets: opened, a line,
// a line too long to take (the engine passes it over or ends the connection), the reply timer fired,
// the connection ended (closed by the peer or failed), and a socket error's text.
//
// Lines are handed on a batch at a time (kLinesPerSlice): the rest of what arrived waits for the next
// turn of the event loop, so that a server sending a flood of lines never holds the window still.
// The reply timer does not run while received lines wait to be handled.
//
// Threads: main thread only.
#pragma once

#include <QObject>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

#include <functional>

#include "cloud/protocol/SyncCommand.h"
#include "cloud/protocol/SyncLineBuffer.h"

namespace qs::cloud {

class SyncConnection : public QObject {
public:
    static constexpr int kReplyTimeoutMs = 10000;
    // Lines handed on before the event loop runs again.
    static constexpr int kLinesPerSlice = 256;

    SyncConnection();
    ~SyncConnection() override;

    std::function<void()> onOpened;
    std::function<void(const SyncCommand&)> onCommand;
    // A line longer than the line limit began with `head`: true passes it over (its bytes are
    // dropped up to its end and the lines after it are read), false closes the connection.
    std::function<bool(const QByteArray& head)> onLongLine;
    // The lines that arrived together have been handed on (or the rest dropped because the connection
    // ended): the engine ends the batch it applied them in.
    std::function<void()> onLinesHandled;
    std::function<void()> onTimeout;
    std::function<void(const QString& error)> onError;
    // The connection is gone (after onError when there was one).
    std::function<void()> onClosed;

    // Starts connecting; false when a connection exists already.
    bool open(const QString& host, quint16 port);
    bool isOpen() const { return m_socket != nullptr; }
    // Closes at once, dropping unwritten lines; onClosed follows when there was a connection.
    void close();
    // Closes once every queued line is written.
    void closeWhenWritten();

    // Queues a line (CONNECT scrambled) and restarts the reply timer; false without a connection.
    bool writeCommand(const SyncCommand& command);
    void stopReplyTimer() { m_timer.stop(); }
    void startReplyTimer() { m_timer.start(m_timeoutMs); }
    // For tests: a shorter reply timer.
    void setReplyTimeoutMs(int ms) { m_timeoutMs = ms; }

private:
    void readLines();
    // Hands on the lines waiting (a slice of them); the rest go at the next turn of the event loop.
    void handleLines();
    void handleDisconnected();
    void maybeFinishClose();

    QPointer<QTcpSocket> m_socket;
    SyncLineBuffer m_buffer;
    QTimer m_timer;
    int m_timeoutMs = kReplyTimeoutMs;
    bool m_closeWhenWritten = false;
    bool m_connected = false;
    // A turn of the event loop is asked for to hand on the lines still waiting.
    bool m_moreScheduled = false;
    // The peer has closed: the connection ends once the lines that came before are handed on.
    bool m_peerClosed = false;
};

}  // namespace qs::cloud
