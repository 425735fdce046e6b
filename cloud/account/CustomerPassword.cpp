#include "cloud/account/CustomerPassword.h"

#include "cloud/protocol/ScrambledText.h"
#include "platform/AppFolders.h"
#include "platform/FileSave.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace qs::cloud {

namespace {
constexpr qint64 kMaxFileBytes = 4096;
}

QString CustomerPassword::filePath(const QString& folder)
{
    const QString dir = folder.isEmpty() ? AppFolders::privateDataDirectory() : folder;
    return QDir(dir).filePath(QStringLiteral("account-password"));
}

bool CustomerPassword::store(const QString& password, const QString& folder)
{
    const QString path = filePath(folder);
    FileSave file(path, QStringLiteral("your Tavrosen Cloud password"));
    // Narrow the permissions before anything is written.
    if (!file.open() || !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
        !file.write(scrambleText(password, ScramblePad::Default).toUtf8()) || !file.commit())
        return false;
    return QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

QString CustomerPassword::load(const QString& folder)
{
    QFile file(filePath(folder));
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxFileBytes)
        return QString();
    const QString scrambled = QString::fromUtf8(file.readAll()).trimmed();
    return unscrambleTextChecked(scrambled, ScramblePad::Default).value_or(QString());
}

void CustomerPassword::clear(const QString& folder)
{
    QFile::remove(filePath(folder));
}

}  // namespace qs::cloud
