#include "app/ReaderInstance.h"

#include "platform/AppFolders.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <algorithm>

namespace {

// A socket path must fit the system's address (108 bytes with its end).
constexpr qsizetype kMaxSocketPath = 100;
// How long a connection may take to send its one line.
constexpr int kRequestTimeoutMs = 5000;
// Between two tries of a start that waits for the running reader.
constexpr int kRetryMs = 100;

const QByteArray kAnswer = "ok\n";

// The socket of the profile whose data folder this is: in the user's runtime folder, named after
// the folder, so that readers of other profiles (another XDG data home) each keep their own.
QString socketNameFor(const QString& dataFolder)
{
    const QString canonical = QFileInfo(dataFolder).canonicalFilePath();
    const QByteArray hash =
        QCryptographicHash::hash((canonical.isEmpty() ? dataFolder : canonical).toUtf8(), QCryptographicHash::Sha256)
            .toHex()
            .left(16);
    const QString file = AppFolders::bundleIdentifier() + QLatin1Char('.') + QString::fromLatin1(hash);
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty() || QDir(folder).filePath(file).toUtf8().size() > kMaxSocketPath)
        folder = QDir::tempPath();
    return QDir(folder).filePath(file);
}

}  // namespace

ReaderInstance::ReaderInstance(const QString& lockFile, const QString& socketName)
    : m_lockFilePath(lockFile), m_socketName(socketName)
{
}

ReaderInstance::~ReaderInstance() = default;

ReaderInstance& ReaderInstance::forThisProfile()
{
    static ReaderInstance instance(QDir(AppFolders::privateDataDirectory()).filePath(QStringLiteral("reader.lock")),
        socketNameFor(AppFolders::privateDataDirectory()));
    return instance;
}

ReaderInstance::Lock ReaderInstance::tryLock()
{
    if (!m_lock) {
        m_lock = std::make_unique<QLockFile>(m_lockFilePath);
        // Only a lock whose process has ended is taken over, however old it is.
        m_lock->setStaleLockTime(0);
    }
    if (m_lock->isLocked() || m_lock->tryLock(0))
        return Lock::Taken;
    return m_lock->error() == QLockFile::LockFailedError ? Lock::Held : Lock::Unwritable;
}

bool ReaderInstance::ownsProfile()
{
    if (m_owner)
        return true;
    switch (tryLock()) {
    case Lock::Taken:
        m_owner = true;
        break;
    case Lock::Unwritable:
        // Nothing can mark the profile taken (a read-only folder): the reader runs without the lock.
        qWarning().noquote() << "the profile's lock file cannot be written:" << m_lockFilePath;
        m_owner = true;
        break;
    case Lock::Held:
        break;
    }
    return m_owner;
}

qint64 ReaderInstance::ownerPid() const
{
    qint64 pid = 0;
    QString host, app;
    if (m_lock && m_lock->getLockInfo(&pid, &host, &app))
        return pid;
    return 0;
}

ReaderInstance::Claim ReaderInstance::claim(const QString& bookPath, int waitMs)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        switch (tryLock()) {
        case Lock::Taken:
            m_owner = true;
            return Claim::Owner;
        case Lock::Unwritable:
            if (handOver(m_socketName, bookPath, std::min(waitMs, 1000)))
                return Claim::HandedOver;
            qWarning().noquote() << "the profile's lock file cannot be written:" << m_lockFilePath;
            m_owner = true;
            return Claim::Owner;
        case Lock::Held:
            break;
        }
        // The reader that holds the profile may still be starting: it answers once it listens.
        const int left = waitMs - int(clock.elapsed());
        if (handOver(m_socketName, bookPath, std::max(left, 0)))
            return Claim::HandedOver;
        if (clock.elapsed() >= waitMs)
            return Claim::NoAnswer;
        QThread::msleep(kRetryMs);
    }
}

bool ReaderInstance::handOver(const QString& socketName, const QString& bookPath, int waitMs)
{
    QElapsedTimer clock;
    clock.start();
    const auto left = [&] { return std::max(0, waitMs - int(clock.elapsed())); };
    const QByteArray line = bookPath.isEmpty() ? QByteArray() : QFileInfo(bookPath).absoluteFilePath().toUtf8();
    if (line.size() + 1 > kMaxRequest || line.contains('\n'))
        return false;
    QLocalSocket socket;
    socket.connectToServer(socketName);
    if (!socket.waitForConnected(std::max(50, std::min(left(), 1000))))
        return false;
    socket.write(line + '\n');
    socket.flush();
    QByteArray answer;
    while (!answer.endsWith('\n') && answer.size() < 64) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(std::max(left(), 50)))
            break;
        answer += socket.read(64);
    }
    return answer.startsWith(kAnswer);
}

QLocalServer* ReaderInstance::listen(QObject* parent, std::function<void(const QString& bookPath)> request)
{
    if (!ownsProfile())
        return nullptr;
    // The profile is this process's: a socket left by a reader that ended is no one's.
    QLocalServer::removeServer(m_socketName);
    auto* server = new QLocalServer(parent);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(m_socketName)) {
        qWarning().noquote() << "cannot listen for later starts at" << m_socketName << server->errorString();
        delete server;
        return nullptr;
    }
    QObject::connect(server, &QLocalServer::newConnection, server, [server, request] {
        while (QLocalSocket* socket = server->nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            // A start that connects and says nothing is not waited for.
            QTimer::singleShot(kRequestTimeoutMs, socket, [socket] { socket->abort(); });
            QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket, request] {
                if (!socket->canReadLine()) {
                    if (socket->bytesAvailable() >= kMaxRequest)
                        socket->abort();
                    return;
                }
                const QByteArray line = socket->readLine(kMaxRequest);
                if (!line.endsWith('\n')) {
                    socket->abort();
                    return;
                }
                // One request a connection: the answer goes before the reader acts, which may
                // take a while (an alert about the book); the socket is not touched after.
                QObject::disconnect(socket, &QLocalSocket::readyRead, nullptr, nullptr);
                socket->write(kAnswer);
                socket->flush();
                request(QString::fromUtf8(line).trimmed());
            });
        }
    });
    return server;
}
