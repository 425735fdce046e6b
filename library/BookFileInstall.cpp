#include "library/BookFileInstall.h"

#include "documents/cBookDoc.h"
#include "engine/bookfile/BkReadThrough.h"
#include "engine/bookfile/cBkBookFile.h"
#include "engine/bookfile/cBkSectionTextWriter.h"
#include "library/SourceTuple.h"
#include "platform/FileSave.h"
#include "platform/MainThread.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTemporaryFile>
#include <QThreadPool>

#include <cstdio>

namespace BookFileInstall {

namespace {

constexpr qint64 kCopyChunk = qint64(1) << 20;

bool copyContents(QFile& from, QFile& to, QString* error)
{
    QByteArray chunk;
    while (true) {
        chunk = from.read(kCopyChunk);
        if (chunk.isEmpty()) {
            if (from.error() != QFileDevice::NoError) {
                *error = QStringLiteral("The book file could not be read: %1").arg(from.errorString());
                return false;
            }
            break;
        }
        if (to.write(chunk) != chunk.size()) {
            *error = QStringLiteral("The copy could not be written: %1").arg(to.errorString());
            return false;
        }
    }
    if (QString why; !FileSave::flushToDisk(to, &why)) {
        *error = QStringLiteral("The copy could not be written: %1").arg(why);
        return false;
    }
    return true;
}

}  // namespace

QString partialPathFor(const QString& finalPath)
{
    return finalPath + QStringLiteral(".tmp");
}

bool isSameFile(const QString& a, const QString& b)
{
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

bool isInsideFolder(const QString& path, const QString& folder)
{
    const QString file = QFileInfo(path).canonicalFilePath();
    const QString dir = QFileInfo(folder).canonicalFilePath();
    return !file.isEmpty() && !dir.isEmpty() && file.startsWith(dir + QLatin1Char('/'));
}

bool isRegularFile(const QString& path)
{
    // QFileInfo calls FIFOs, sockets and devices neither files nor folders.
    return !path.isEmpty() && QFileInfo(path).isFile();
}

QString freePathFor(const QString& path)
{
    if (!QFileInfo::exists(path))
        return path;
    const QFileInfo info(path);
    const QString base = info.dir().filePath(info.completeBaseName());
    const QString ext = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    for (int n = 1;; ++n) {
        const QString candidate = QStringLiteral("%1 (%2)%3").arg(base).arg(n).arg(ext);
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
}

bool replaceWith(const QString& partial, const QString& destination)
{
    // rename(2) replaces the destination atomically when both are in the same file system.
    return std::rename(QFile::encodeName(partial).constData(), QFile::encodeName(destination).constData()) == 0;
}

bool readsThrough(const QString& path, QString* reason)
{
    QString ignored;
    QString& why = reason != nullptr ? *reason : ignored;
    const std::shared_ptr<cSourceDoc> doc = SourceTuple::allocateSourceForFile(path, &why);
    if (!doc)
        return false;
    auto* book = dynamic_cast<cBookDoc*>(doc.get());
    if (book == nullptr || book->bookFile() == nullptr) {
        why = QStringLiteral("the book's text cannot be read");
        return false;
    }
    const std::uint32_t sections = book->GetNumSections();
    // The contents, the verse and reading tables and the concordances first: quicker than the text.
    if (const std::string damage = BkReadThrough::firstDamage(*book->bookFile(), sections); !damage.empty()) {
        why = QString::fromStdString(damage) + QStringLiteral(" cannot be read");
        return false;
    }
    cLString8 text;
    // A section that does not render, or whose text holds codes the book cannot have (the book file
    // notes the damage once and goes on), is not read.
    for (std::uint32_t s = 0; s < sections; ++s) {
        cBkTextRangeOptions options;
        if (!book->sectionText(s, text, options, nullptr) || book->bookFile()->damageReported()) {
            why = QStringLiteral("its section %1 of %2 cannot be read").arg(s + 1).arg(sections);
            return false;
        }
    }
    return true;
}

namespace {

// Runs `work` on a worker of the global pool (which the application waits for at exit) and hands its
// answer to `done` on the main thread while `context` lives.
void onWorker(QObject* context, std::function<bool(QString*)> work, CheckAnswer done)
{
    QPointer<QObject> alive(context);
    QThreadPool::globalInstance()->start([alive, work = std::move(work), done = std::move(done)]() mutable {
        QString why;
        const bool ok = work(&why);
        runOnMainThread([alive, ok, why, done = std::move(done)] {
            if (alive)
                done(ok, why);
        });
    });
}

}  // namespace

void readsThroughOnWorker(const QString& path, QObject* context, CheckAnswer done)
{
    onWorker(
        context, [path](QString* why) { return readsThrough(path, why); }, std::move(done));
}

void installCopyOnWorker(
    const QString& source, const QString& destination, Check check, QObject* context, CheckAnswer done)
{
    onWorker(
        context, [source, destination, check](QString* why) { return installCopy(source, destination, why, check); },
        std::move(done));
}

bool haveSameContents(const QString& a, const QString& b)
{
    QFile first(a);
    QFile second(b);
    if (!first.open(QIODevice::ReadOnly) || !second.open(QIODevice::ReadOnly) || first.size() != second.size())
        return false;
    while (true) {
        const QByteArray x = first.read(kCopyChunk);
        const QByteArray y = second.read(kCopyChunk);
        if (x != y || first.error() != QFileDevice::NoError || second.error() != QFileDevice::NoError)
            return false;
        if (x.isEmpty())
            return true;
    }
}

bool installCopy(const QString& source, const QString& destination, QString* error, Check check)
{
    QString ignored;
    QString& why = error != nullptr ? *error : ignored;
    if (!isRegularFile(source)) {
        why = QStringLiteral("%1 is not a book file.").arg(source);
        return false;
    }
    if (isSameFile(source, destination))
        return true;
    const QFileInfo target(destination);
    if (!QDir().mkpath(target.absolutePath())) {
        why = QStringLiteral("The books folder could not be created.");
        return false;
    }
    QFile from(source);
    if (!from.open(QIODevice::ReadOnly)) {
        why = QStringLiteral("The book file could not be read: %1").arg(from.errorString());
        return false;
    }
    QTemporaryFile partial(
        target.dir().filePath(target.completeBaseName() + QStringLiteral(".XXXXXX") + QLatin1String(kPartialSuffix)));
    if (!partial.open()) {
        why = QStringLiteral("The copy could not be written: %1").arg(partial.errorString());
        return false;
    }
    if (!copyContents(from, partial, &why))
        return false;
    partial.close();
    {
        QString reason;
        if (!SourceTuple::allocateSourceForFile(partial.fileName(), &reason)) {
            why = QStringLiteral("%1 does not open as a book: %2.").arg(source, reason);
            return false;
        }
        if (check == Check::ReadsThrough && !readsThrough(partial.fileName(), &reason)) {
            why = QStringLiteral("%1 is damaged: %2.").arg(source, reason);
            return false;
        }
    }
    partial.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    if (!replaceWith(partial.fileName(), destination)) {
        why = QStringLiteral("The copy could not take the name %1.").arg(destination);
        return false;
    }
    partial.setAutoRemove(false);
    return true;
}

QStringList sweepPartialFiles(const QString& folder)
{
    QStringList removed;
    if (folder.isEmpty())
        return removed;
    QDirIterator it(folder, {QStringLiteral("*") + QLatin1String(kPartialSuffix)}, QDir::Files | QDir::Hidden,
        QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (QFile::remove(path))
            removed.append(path);
    }
    return removed;
}

}  // namespace BookFileInstall
