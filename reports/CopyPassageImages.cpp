// The passage's images: each points at a copy in the book's image cache (extracted from the book,
// or one of the application's own pictures), and a report may carry the cached ones inline.
#include "reports/CopyPassageCopier.h"
#include "reports/CopyPassageMarkup.h"

#include "library/SourceTuple.h"
#include "platform/AppFolders.h"
#include "platform/FileSave.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

using namespace CopyPassageMarkup;

namespace {

// The pictures of the application copied beside a copied passage are small; a larger file is no
// picture of ours.
constexpr qint64 kMaxBundleFileBytes = 16 * 1024 * 1024;

QString& bundleFolder()
{
    static QString folder = QStringLiteral(":/images");
    return folder;
}

// A local copy of an image: the book's image cache folder and the last path component of the
// URL-decoded source.
QString cachePathFor(const QString& source, const std::shared_ptr<SourceTuple>& tuple)
{
    QVariantMap identity;
    identity.insert(QStringLiteral("pubID"), static_cast<qlonglong>(tuple->record().pubID));
    identity.insert(QStringLiteral("bookID"), static_cast<qlonglong>(tuple->record().bookID));
    identity.insert(QStringLiteral("editionNumber"), static_cast<qlonglong>(tuple->record().editionNumber));
    identity.insert(QStringLiteral("revisionNumber"), static_cast<qlonglong>(tuple->record().revisionNumber));
    const QString folder = AppFolders::bookImageCache(identity);
    QString name = QUrl::fromPercentEncoding(source.toUtf8());
    name = name.section(QLatin1Char('/'), -1);
    // A name from a book is untrusted: only its last component is used, and never ".." or empty.
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        name = QStringLiteral("_image");
    return QDir(folder).filePath(name);
}

// The image types a report carries inline, by file name.
QString inlineImageMime(const QString& path)
{
    const QString lower = path.toLower();
    if (lower.endsWith(QLatin1String(".png")))
        return QStringLiteral("image/png");
    if (lower.endsWith(QLatin1String(".jpg")) || lower.endsWith(QLatin1String(".jpeg")))
        return QStringLiteral("image/jpeg");
    if (lower.endsWith(QLatin1String(".gif")))
        return QStringLiteral("image/gif");
    if (lower.endsWith(QLatin1String(".bmp")))
        return QStringLiteral("image/bmp");
    return QString();
}

}  // namespace

QString CopyPassageCopier::stringWithImgSrcPatched(const QString& html, const std::shared_ptr<SourceTuple>& book)
{
    QString out;
    walkTags(
        html, [&](const QString& text) { out += text; },
        [&](const QString& tag) {
            if (!tag.startsWith(QLatin1String("<img "), Qt::CaseInsensitive) || !book) {
                out += tag;
                return;
            }
            const QVariantMap attributes = attributesOf(tag);
            const auto src = attributes.constFind(QStringLiteral("src"));
            if (src == attributes.constEnd()) {
                out += tag;
                return;
            }
            const QString path = src->toString() == QLatin1String("logo100x24.bmp")
                ? copyFile(QStringLiteral("Tavrosen Logo"), QStringLiteral("png"), book)
                : copyFileFromTvkToCache(src->toString(), book);
            QString rebuilt = QStringLiteral("<img ");
            for (auto it = attributes.constBegin(); it != attributes.constEnd(); ++it) {
                const QString value =
                    it.key() == QLatin1String("src") ? QStringLiteral("file://") + path : it.value().toString();
                const QChar quote = value.contains(QLatin1Char('"')) ? QLatin1Char('\'') : QLatin1Char('"');
                rebuilt += it.key() + QLatin1Char('=') + quote + value + quote + QLatin1Char(' ');
            }
            rebuilt += QStringLiteral("/>");
            out += rebuilt;
        });
    return out;
}

QString CopyPassageCopier::stringWithCachedImagesInlined(const QString& html, const std::shared_ptr<SourceTuple>& book)
{
    if (!book || !html.contains(QLatin1String("file://")))
        return html;
    const QString folder = QFileInfo(cachePathFor(QStringLiteral("_image"), book)).dir().canonicalPath();
    // The form stringWithImgSrcPatched writes: src, a quote, file://, the cache path, the quote.
    static const QRegularExpression source(
        QStringLiteral("(<img\\s[^>]*?\\bsrc=)([\"'])file://([^\"'>]*)\\2"), QRegularExpression::CaseInsensitiveOption);
    QString out;
    qsizetype from = 0;
    for (auto it = source.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out += html.mid(from, m.capturedStart() - from);
        from = m.capturedEnd();
        const QFileInfo file(m.captured(3));
        const QString mime = inlineImageMime(file.fileName());
        QFile image(file.canonicalFilePath());
        const bool inCache = !folder.isEmpty() && file.canonicalFilePath().startsWith(folder + QLatin1Char('/'));
        if (inCache && !mime.isEmpty() && file.size() <= kMaxInlineImageBytes && image.open(QIODevice::ReadOnly)) {
            out += m.captured(1) + m.captured(2) + QStringLiteral("data:") + mime + QStringLiteral(";base64,") +
                QString::fromLatin1(image.read(kMaxInlineImageBytes).toBase64()) + m.captured(2);
        } else {
            // An image the report cannot carry is left out rather than named.
            out += m.captured(1) + m.captured(2) + m.captured(2);
        }
    }
    out += html.mid(from);
    return out;
}

QString CopyPassageCopier::copyFile(const QString& name, const QString& type, const std::shared_ptr<SourceTuple>& tuple)
{
    const QString fileName = name + QLatin1Char('.') + type;
    const QString cached = cachePathFor(fileName, tuple);
    if (QFileInfo::exists(cached))
        return cached;
    // Written whole or not at all: a copy cut short by a full disk would be served from then on.
    QFile source(QDir(bundleFolder()).filePath(fileName));
    if (source.open(QIODevice::ReadOnly) && source.size() <= kMaxBundleFileBytes) {
        const QByteArray bytes = source.readAll();
        if (source.error() == QFileDevice::NoError)
            FileSave::writeFile(cached, bytes);
    }
    return cached;
}

QString CopyPassageCopier::copyFileFromTvkToCache(const QString& source, const std::shared_ptr<SourceTuple>& tuple)
{
    const QString cached = cachePathFor(source, tuple);
    QDir().mkpath(QFileInfo(cached).absolutePath());
    tuple->words().extractImage(QFileInfo(cached).fileName(), cached);
    return cached;
}
