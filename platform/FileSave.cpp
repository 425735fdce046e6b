#include "platform/FileSave.h"

#include "platform/AppFolders.h"
#include "platform/ProfileLink.h"
#include "platform/SaveFailureAlerts.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

// The reason for a failed write: a write cut short leaves the device's own error text empty ("Unknown
// error"), while the system's reason (no space, file too large) is in errno.
QString reasonFor(const QFileDevice& file, int error)
{
    if (error != 0)
        return QString::fromLocal8Bit(std::strerror(error));
    return file.error() != QFileDevice::NoError ? file.errorString()
                                                : QStringLiteral("The file could not be written whole.");
}

}  // namespace

FileSave::FileSave(const QString& path, const QString& what, Reporting reporting)
    : m_path(path),
      m_what(what.isEmpty() ? QStringLiteral("files in the folder %1").arg(QFileInfo(path).absolutePath()) : what),
      m_file(path),
      m_reporting(reporting)
{
}

FileSave::~FileSave()
{
    if (m_opened)
        m_file.cancelWriting();
}

bool FileSave::open(Folder folder)
{
    if (m_failed)
        return false;
    const QString dir = QFileInfo(m_path).absolutePath();
    if (folder == Folder::Make && !QDir().mkpath(dir))
        return fail(QStringLiteral("The folder %1 could not be made.").arg(dir));
    // QSaveFile writes to the file a link names, as the user who made the link expects. A link of the
    // profile whose target is gone (a disk not mounted) or is no file is refused and left as it is:
    // a new file in its place would hide the one it stands for.
    const QFileInfo existing(m_path);
    if (existing.isSymLink() && AppFolders::isProfileFile(m_path)) {
        if (const QString why = ProfileLink::brokenReason(m_path); !why.isEmpty())
            return fail(ProfileLink::describe(m_path, why) + QLatin1Char(' ') + ProfileLink::advice());
    }
    m_hadCopy = existing.isFile();
    if (!m_file.open(QIODevice::WriteOnly))
        return fail(m_file.errorString());
    m_opened = true;
    return true;
}

bool FileSave::write(const QByteArray& bytes)
{
    if (m_failed || !m_opened)
        return false;
    errno = 0;
    const qint64 written = m_file.write(bytes);
    if (written == bytes.size() && m_file.error() == QFileDevice::NoError)
        return true;
    return fail(reasonFor(m_file, errno));
}

bool FileSave::commit()
{
    if (m_failed || !m_opened)
        return false;
    QString reason;
    if (!flushToDisk(m_file, &reason))
        return fail(reason);
    m_opened = false;
    if (!m_file.commit())
        return fail(m_file.errorString());
    if (m_reporting == Reporting::Alert)
        SaveFailureAlerts::reportSuccess(m_what);
    return true;
}

bool FileSave::setPermissions(QFileDevice::Permissions permissions)
{
    if (m_failed || !m_opened)
        return false;
    if (!m_file.setPermissions(permissions))
        return fail(m_file.errorString());
    return true;
}

void FileSave::cancel()
{
    if (m_opened)
        m_file.cancelWriting();
    m_opened = false;
    m_failed = true;
}

bool FileSave::fail(const QString& reason)
{
    if (m_opened) {
        m_file.cancelWriting();
        m_opened = false;
    }
    m_failed = true;
    m_error = reason.isEmpty() ? QStringLiteral("The file could not be written.") : reason;
    if (m_reporting == Reporting::Alert)
        SaveFailureAlerts::reportFailure(m_what, m_path, m_error, m_hadCopy);
    else
        qWarning().noquote() << "could not save" << m_path << ":" << m_error;
    return false;
}

bool FileSave::flushToDisk(QFileDevice& file, QString* error)
{
    // A short write can sit in the buffer until now; its error shows only here.
    errno = 0;
    if (!file.flush() || file.error() != QFileDevice::NoError) {
        if (error != nullptr)
            *error = reasonFor(file, errno);
        return false;
    }
#ifdef Q_OS_UNIX
    // A file system that allocates late reports a full disk at the sync, not at the write.
    if (const int fd = file.handle(); fd >= 0 && ::fsync(fd) != 0 && errno != EINVAL) {
        if (error != nullptr)
            *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
#endif
    return true;
}

bool FileSave::writeFile(
    const QString& path, const QByteArray& bytes, const QString& what, QString* error, Reporting reporting)
{
    FileSave save(path, what, reporting);
    const bool saved = save.open() && save.write(bytes) && save.commit();
    if (!saved && error != nullptr)
        *error = save.errorString();
    return saved;
}
