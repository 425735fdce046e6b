#include "platform/ProfileLink.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ProfileLink {

QString target(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    QByteArray written(4096, '\0');
    const ssize_t n = ::readlink(name.constData(), written.data(), static_cast<size_t>(written.size()));
    if (n <= 0)
        return QString();
    written.resize(n);
    const QString text = QFile::decodeName(written);
    return QDir::isAbsolutePath(text) ? text : QFileInfo(path).absoluteDir().filePath(text);
}

QString brokenReason(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info { };
    if (path.isEmpty() || ::lstat(name.constData(), &info) != 0 || !S_ISLNK(info.st_mode))
        return QString();
    struct stat named { };
    if (::stat(name.constData(), &named) != 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR)
            return QStringLiteral("which does not exist (on a disk that is not connected, or moved or deleted)");
        if (error == ELOOP)
            return QStringLiteral("which leads round a loop of links to no file");
        return QStringLiteral("which cannot be reached (%1)").arg(QString::fromLocal8Bit(std::strerror(error)));
    }
    if (S_ISDIR(named.st_mode))
        return QStringLiteral("which is a folder, not a file");
    if (!S_ISREG(named.st_mode))
        return QStringLiteral("which is not a regular file");
    return QString();
}

QString describe(const QString& path, const QString& reason)
{
    return QStringLiteral("\"%1\" is a link to \"%2\", %3.").arg(path, target(path), reason);
}

QString advice()
{
    return QStringLiteral(
        "Quillstead has changed neither the link nor what it names. Connect the disk that holds the file or "
        "correct the link; to start over with a new file instead, move the link out of its folder. Then start "
        "Quillstead again.");
}

}  // namespace ProfileLink
