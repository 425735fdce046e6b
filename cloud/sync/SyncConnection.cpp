#include "cloud/sync/SyncConnection.h"

#include <QScopeGuard>

#include "cloud/sync/SyncMessages.h"

namespace qs::cloud {

SyncConnection::SyncConnection() : m_buffer(true)
{
    m_timer.setSingleShot(true);
    QObject::connect(&m_timer, &QTimer::timeout, this, [this] {
        if (onTimeout)
            onTimeout();
    });
}

SyncConnection::~SyncConnection()
{
    onClosed = nullptr;
    onError = nullptr;
    close();
}

bool SyncConnection::open(const QString& host, quint16 port)
{
    if (m_socket)
        return false;
    m_buffer.clear();
    m_closeWhenWritten = false;
    m_connected = false;
    m_peerClosed = false;
    m_socket = new QTcpSocket(this);
    QTcpSocket* socket = m_socket;
    QObject::connect(socket, &QTcpSocket::connected, this, [this] {
        m_connected = true;
        if (onOpened)
            onOpened();
    });
    QObject::connect(socket, &QTcpSocket::readyRead, this, [this] { readLines(); });
    QObject::connect(socket, &QTcpSocket::bytesWritten, this, [this](qint64) { maybeFinishClose(); });
    QObject::connect(socket, &QTcpSocket::errorOccurred, this, [this, socket](QAbstractSocket::SocketError error) {
        if (socket != m_socket)
            return;
        // The peer closing is an end of stream, not an error worth a message.
        if (error != QAbstractSocket::RemoteHostClosedError && onError)
            onError(connectionFailureMessage(error, socket->errorString(), m_connected));
        handleDisconnected();
    });
    QObject::connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
        if (socket == m_socket)
            handleDisconnected();
    });
    socket->connectToHost(host, port);
    return true;
}

void SyncConnection::close()
{
    m_timer.stop();
    if (!m_socket)
        return;
    QTcpSocket* socket = m_socket;
    m_socket = nullptr;
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
    m_buffer.clear();
    if (onClosed)
        onClosed();
}

void SyncConnection::closeWhenWritten()
{
    m_closeWhenWritten = true;
    maybeFinishClose();
}

void SyncConnection::maybeFinishClose()
{
    if (m_closeWhenWritten && m_socket && m_socket->bytesToWrite() == 0) {
        m_socket->flush();
        close();
    }
}

bool SyncConnection::writeCommand(const SyncCommand& command)
{
    if (!m_socket)
        return false;
    m_socket->write(command.clientLine());
    startReplyTimer();
    return true;
}

void SyncConnection::readLines()
{
    if (!m_socket)
        return;
    m_buffer.append(m_socket->readAll());
    if (!m_moreScheduled)
        handleLines();
}

void SyncConnection::handleLines()
{
    if (!m_socket)
        return;
    QPointer<QTcpSocket> socket = m_socket;
    const auto handled = qScopeGuard([this] {
        if (onLinesHandled)
            onLinesHandled();
    });
    // Enough of a long line to read its verb, noun and record ids.
    constexpr qsizetype kLongLineHead = 256;
    for (int handedOn = 0;; ++handedOn) {
        if (handedOn == kLinesPerSlice) {
            // The rest waits for the next turn of the event loop; no reply is late meanwhile.
            m_timer.stop();
            if (!m_moreScheduled) {
                m_moreScheduled = true;
                QTimer::singleShot(0, this, [this] {
                    m_moreScheduled = false;
                    handleLines();
                });
            }
            return;
        }
        QByteArray line;
        const SyncLineBuffer::Result r = m_buffer.nextLine(line);
        if (r == SyncLineBuffer::Result::NeedMore) {
            if (m_peerClosed)
                close();
            return;
        }
        m_timer.stop();
        if (r == SyncLineBuffer::Result::Overflow) {
            const bool passOver = onLongLine && onLongLine(m_buffer.head(kLongLineHead));
            if (socket != m_socket || !m_socket)
                return;
            if (!passOver) {
                close();
                return;
            }
            m_buffer.skipLongLine();
            continue;
        }
        if (onCommand)
            onCommand(SyncCommand::fromReceivedBytes(line));
        // The handler may have closed or replaced the connection.
        if (socket != m_socket || !m_socket)
            return;
    }
}

void SyncConnection::handleDisconnected()
{
    if (!m_socket)
        return;
    // Lines that arrived with the close are still handled, then the connection ends.
    if (m_socket->bytesAvailable() > 0)
        m_buffer.append(m_socket->readAll());
    m_peerClosed = true;
    if (!m_moreScheduled)
        handleLines();
}

}  // namespace qs::cloud
