#include "app/ReaderInstance.h"

#include "platform/AppFolders.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QStandardPaths>
#include <QSysInfo>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <deque>
#include <memory>
#include <optional>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A socket path must fit the system's address (108 bytes with its end).
constexpr qsizetype kMaxSocketPath = 100;
// How long a connection may take to send its one line.
constexpr int kRequestTimeoutMs = 5000;
// Between two tries of a start that waits for the running reader.
constexpr int kRetryMs = 100;
// Requests kept while an earlier one is still being handled (its alert is up).
constexpr size_t kMaxWaitingRequests = 64;

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

// What lstat says of `path`; nothing when there is nothing there.
std::optional<mode_t> fileTypeAt(const QString& path)
{
    struct stat st = {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return st.st_mode & S_IFMT;
}

// Clears `path` of something that does not belong there (a folder where a file goes, a link, a
// pipe): a folder with anything in it is renamed beside it, so that nothing in it is lost; an empty
// folder or anything else is removed (a link's target is untouched). False when it stays.
bool setAside(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    const std::optional<mode_t> type = fileTypeAt(path);
    if (!type)
        return true;
    if (*type != S_IFDIR) {
        if (::unlink(native.constData()) != 0)
            return false;
        qWarning().noquote() << "removed what stood in the place of" << path;
        return true;
    }
    if (::rmdir(native.constData()) == 0) {
        qWarning().noquote() << "removed the empty folder that stood in the place of" << path;
        return true;
    }
    for (int n = 1; n <= 20; ++n) {
        const QString aside = path + QStringLiteral(".set-aside") + (n > 1 ? QString::number(n) : QString());
        if (fileTypeAt(aside))
            continue;
        if (::rename(native.constData(), QFile::encodeName(aside).constData()) != 0)
            return false;
        qWarning().noquote() << "the folder that stood in the place of" << path << "was moved to" << aside;
        return true;
    }
    return false;
}

// The requests of later starts, run one at a time from the event loop.
struct PendingRequests {
    std::function<void(const QString& bookPath)> run;
    std::deque<QString> waiting;
    bool running = false;

    static void runAll(const std::shared_ptr<PendingRequests>& self)
    {
        // A request that came while another one's alert is up waits for that one to end.
        if (self->running)
            return;
        self->running = true;
        while (!self->waiting.empty()) {
            const QString path = self->waiting.front();
            self->waiting.pop_front();
            self->run(path);
        }
        self->running = false;
    }
};

}  // namespace

ReaderInstance::ReaderInstance(const QString& lockFile, const QString& socketName)
    : m_lockFilePath(lockFile), m_socketName(socketName)
{
}

ReaderInstance::~ReaderInstance()
{
    if (m_fd < 0)
        return;
    // The file no longer names a process once the lock ends with it.
    if (m_owner && ::ftruncate(m_fd, 0) != 0)
        qWarning().noquote() << "cannot empty the profile's lock file:" << m_lockFilePath;
    ::close(m_fd);
}

ReaderInstance& ReaderInstance::forThisProfile()
{
    static ReaderInstance instance(QDir(AppFolders::privateDataDirectory()).filePath(QStringLiteral("reader.lock")),
        socketNameFor(AppFolders::privateDataDirectory()));
    return instance;
}

std::optional<ReaderInstance::Lock> ReaderInstance::openLockFile()
{
    const QByteArray native = QFile::encodeName(m_lockFilePath);
    QDir().mkpath(QFileInfo(m_lockFilePath).absolutePath());
    for (int tries = 0; tries < 3; ++tries) {
        int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
        // A lock file that cannot be written still takes the system's lock.
        if (fd < 0 && (errno == EACCES || errno == EPERM || errno == EROFS))
            fd = ::open(native.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        if (fd >= 0) {
            struct stat st = {};
            if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
                m_fd = fd;
                return std::nullopt;
            }
            ::close(fd);
        }
        // Something else stands in the file's place (a folder, a link, a pipe): it is no lock.
        const std::optional<mode_t> type = fileTypeAt(m_lockFilePath);
        if (!type)
            return Lock::Unwritable;
        if (*type == S_IFREG) {
            // A lock file that cannot even be read is no one's lock: it is replaced, when the
            // folder allows it.
            if (::unlink(native.constData()) != 0)
                return Lock::Unwritable;
            qWarning().noquote() << "replaced the unreadable lock file" << m_lockFilePath;
            continue;
        }
        if (!setAside(m_lockFilePath))
            return Lock::Blocked;
    }
    return Lock::Blocked;
}

ReaderInstance::Lock ReaderInstance::tryLock()
{
    if (m_owner)
        return Lock::Taken;
    if (m_fd < 0) {
        if (const std::optional<Lock> failed = openLockFile())
            return *failed;
    }
    if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0)
        return errno == EWOULDBLOCK || errno == EINTR ? Lock::Held : Lock::Unwritable;
    // Taken: the file names this process, for the messages of later starts. What it held before
    // (nothing, garbage, a process that ended or that is not a reader of this profile) is no matter.
    const QByteArray holder = QByteArray::number(QCoreApplication::applicationPid()) + '\n' +
        QCoreApplication::applicationName().toUtf8() + '\n' + QSysInfo::machineHostName().toUtf8() + '\n';
    if (::ftruncate(m_fd, 0) != 0 || ::pwrite(m_fd, holder.constData(), size_t(holder.size()), 0) != holder.size())
        qWarning().noquote() << "the profile's lock is taken but its file cannot be written:" << m_lockFilePath;
    return Lock::Taken;
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
    case Lock::Blocked:
        break;
    }
    return m_owner;
}

qint64 ReaderInstance::ownerPid() const
{
    if (m_fd < 0)
        return 0;
    char text[64] = {};
    const ssize_t got = ::pread(m_fd, text, sizeof text - 1, 0);
    if (got <= 0)
        return 0;
    bool ok = false;
    const qint64 pid = QByteArray(text, got).split('\n').value(0).trimmed().toLongLong(&ok);
    return ok && pid > 0 ? pid : 0;
}

bool ReaderInstance::socketPathIsBlocked() const
{
    const std::optional<mode_t> type = fileTypeAt(m_socketName);
    return type && *type != S_IFSOCK;
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
        case Lock::Blocked:
            if (handOver(m_socketName, bookPath, std::min(waitMs, 1000)))
                return Claim::HandedOver;
            return Claim::Blocked;
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
    // The profile is this process's: a socket left by a reader that ended is no one's, and
    // whatever else stands in its place is set aside.
    if (socketPathIsBlocked() && !setAside(m_socketName))
        qWarning().noquote() << "cannot clear the place of the socket for later starts:" << m_socketName;
    QLocalServer::removeServer(m_socketName);
    auto* server = new QLocalServer(parent);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(m_socketName)) {
        qWarning().noquote() << "cannot listen for later starts at" << m_socketName << server->errorString();
        delete server;
        return nullptr;
    }
    auto pending = std::make_shared<PendingRequests>();
    pending->run = std::move(request);
    QObject::connect(server, &QLocalServer::newConnection, server, [server, pending] {
        while (QLocalSocket* socket = server->nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            // A start that connects and says nothing is not waited for.
            QTimer::singleShot(kRequestTimeoutMs, socket, [socket] { socket->abort(); });
            QObject::connect(socket, &QLocalSocket::readyRead, socket, [server, socket, pending] {
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
                // take a while (an alert about the book); the socket is not touched after. The
                // request runs later from the event loop, not inside this signal: an alert's own
                // loop would let the socket be deleted while its signal is still running.
                QObject::disconnect(socket, &QLocalSocket::readyRead, nullptr, nullptr);
                if (pending->waiting.size() >= kMaxWaitingRequests) {
                    socket->abort();  // a flood of starts while an alert is up is not kept
                    return;
                }
                socket->write(kAnswer);
                socket->flush();
                pending->waiting.push_back(QString::fromUtf8(line).trimmed());
                QMetaObject::invokeMethod(
                    server, [pending] { PendingRequests::runAll(pending); }, Qt::QueuedConnection);
            });
        }
    });
    return server;
}
