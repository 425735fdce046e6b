#include "platform/AppFolders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <mutex>

namespace {

QString ensured(const QString& path)
{
    if (!QFileInfo::exists(path))
        QDir().mkpath(path);
    return path;
}

QString standardFolder(QStandardPaths::StandardLocation location)
{
    QString path = QStandardPaths::writableLocation(location);
    if (path.isEmpty())
        path = QDir::homePath();
    return QDir::cleanPath(path);
}

QString identityText(const QVariant& v)
{
    return v.toString();
}

}  // namespace

QString AppFolders::bundleIdentifier()
{
    return QStringLiteral("com.tavrosen.Quillstead");
}

QString AppFolders::privateDataDirectory()
{
    return ensured(standardFolder(QStandardPaths::GenericDataLocation) + QLatin1Char('/') + bundleIdentifier());
}

QString AppFolders::booksDirectory()
{
    // Kept for the life of the process: a folder moved or deleted while the program runs is
    // not silently replaced by another one.
    static std::once_flag once;
    static QString books;
    std::call_once(once, [] { books = ensured(privateDataDirectory() + QLatin1Char('/') + kBooksFolderName); });
    return books;
}

QString AppFolders::publicDataDirectory()
{
    return ensured(standardFolder(QStandardPaths::DocumentsLocation));
}

QString AppFolders::cacheDirectory()
{
    return ensured(standardFolder(QStandardPaths::GenericCacheLocation) + QLatin1Char('/') + bundleIdentifier());
}

QString AppFolders::localCacheDirectory()
{
    return cacheDirectory();
}

QString AppFolders::downloadsDirectory()
{
    return ensured(standardFolder(QStandardPaths::DownloadLocation));
}

QString AppFolders::bookImageCache(const QVariantMap& id)
{
    return QStringLiteral("%1/%2/%3/%4-%5-%6")
        .arg(cacheDirectory(), kImageCacheFolderName, identityText(id.value(AppFoldersPublisherIDKey)),
            identityText(id.value(AppFoldersBookIDKey)), identityText(id.value(AppFoldersEditionNumberKey)),
            identityText(id.value(AppFoldersRevisionNumberKey)));
}

bool AppFolders::isProfileFile(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo file(path);
    // The file's folder, as written and with every link in it resolved: a profile reached through
    // a linked home or data folder is still the profile.
    const QString folder = QDir::cleanPath(file.absolutePath());
    const QString canonicalFolder = QFileInfo(folder).canonicalFilePath();
    const auto within = [&](const QString& root) {
        const QString canonicalRoot = QFileInfo(root).canonicalFilePath();
        for (const auto& [dir, top] : {std::pair(folder, root), std::pair(canonicalFolder, canonicalRoot)}) {
            if (!dir.isEmpty() && !top.isEmpty() && (dir == top || dir.startsWith(top + QLatin1Char('/'))))
                return true;
        }
        return false;
    };
    if (within(privateDataDirectory()) || within(cacheDirectory()))
        return true;
    const QString config = standardFolder(QStandardPaths::GenericConfigLocation);
    if (within(config + QLatin1Char('/') + bundleIdentifier()))
        return true;
    // The settings file sits in the configuration folder itself, under the program's name.
    const bool inConfig =
        folder == config || (!canonicalFolder.isEmpty() && canonicalFolder == QFileInfo(config).canonicalFilePath());
    return inConfig && file.fileName().startsWith(bundleIdentifier());
}
