#include "tools/standin-services/BookCatalog.h"

#include "engine/bookfile/cBkBookFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace qs::standin {

namespace {

QString productTypeOf(cBkBookFile& file, const QString& name)
{
    cBkGenInfoStg& info = file.genInfo();
    if (info.headerFlag0())
        return QStringLiteral("BIBLES");
    if (info.bookType() == BkInfoFormat::kBookTypeDated)
        return QStringLiteral("DEVOTIONALS");
    // The header's type: 1 synced to Bible verses (a commentary), 2 synced to headwords (a dictionary).
    if (info.bookType() == 1)
        return QStringLiteral("COMMENTARIES");
    if (info.bookType() == 2)
        return QStringLiteral("DICTIONARIES");
    // Books compiled without a type: judged by their Strong's numbers and their names.
    if (info.hasStrongsHebrew() || info.hasStrongsGreek() || name.contains(QLatin1String("Dictionary")) ||
        name.contains(QLatin1String("Lexicon")) || name.contains(QLatin1String("Topical")))
        return QStringLiteral("DICTIONARIES");
    if (name.contains(QLatin1String("Commentary")) || name.contains(QLatin1String("Notes")) ||
        name.contains(QLatin1String("Treasury")) || name.contains(QLatin1String("Reference Bible")))
        return QStringLiteral("COMMENTARIES");
    return QStringLiteral("OTHER");
}

bool digests(const QString& path, QString& sha256, QString& md5)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    QCryptographicHash sha(QCryptographicHash::Sha256);
    QCryptographicHash m(QCryptographicHash::Md5);
    while (!f.atEnd()) {
        const QByteArray chunk = f.read(1 << 20);
        if (chunk.isEmpty() && f.error() != QFile::NoError)
            return false;
        sha.addData(chunk);
        m.addData(chunk);
    }
    sha256 = QString::fromLatin1(sha.result().toHex());
    md5 = QString::fromLatin1(m.result().toHex());
    return true;
}

}  // namespace

void BookCatalog::load(const QString& folder, QStringList* skipped)
{
    m_books.clear();
    m_folder = folder;
    static const QRegularExpression safeId(QStringLiteral("^[A-Za-z0-9_-][A-Za-z0-9._-]*$"));
    const QFileInfoList files = QDir(folder).entryInfoList({QStringLiteral("*.tvk")}, QDir::Files, QDir::Name);
    for (const QFileInfo& fi : files) {
        const QString id = fi.completeBaseName();
        if (!safeId.match(id).hasMatch()) {
            if (skipped)
                skipped->append(fi.fileName() + QStringLiteral(": the name cannot be a product id"));
            continue;
        }
        cBkBookFile file;
        const std::uint32_t rc = file.open(fi.absoluteFilePath().toUtf8().constData());
        if (rc != 0) {
            if (skipped)
                skipped->append(fi.fileName() + QStringLiteral(": the engine answered %1").arg(rc));
            continue;
        }
        CatalogBook b;
        b.productId = id;
        b.fileName = fi.fileName();
        b.path = fi.absoluteFilePath();
        std::string text;
        file.genInfo().bookName(text, true);
        b.productName = text.empty() ? id : QString::fromStdString(text);
        file.genInfo().publisher(text, true);
        b.publisher = text.empty() ? QStringLiteral("Quillstead Sample Library") : QString::fromStdString(text);
        b.publisherId = file.genInfo().publisherId();
        b.bookId = file.genInfo().bookId();
        b.productType = productTypeOf(file, b.productName);
        b.size = fi.size();
        QDateTime modified = fi.lastModified().toUTC();
        modified.setTime(QTime(modified.time().hour(), modified.time().minute(), modified.time().second()));
        b.modified = modified;
        if (!digests(b.path, b.sha256, b.md5)) {
            if (skipped)
                skipped->append(fi.fileName() + QStringLiteral(": cannot be read"));
            continue;
        }
        m_books.append(b);
    }
}

const CatalogBook* BookCatalog::byProductId(const QString& productId) const
{
    for (const CatalogBook& b : m_books) {
        if (b.productId == productId)
            return &b;
    }
    return nullptr;
}

const CatalogBook* BookCatalog::byFileName(const QString& fileName) const
{
    for (const CatalogBook& b : m_books) {
        if (b.fileName == fileName)
            return &b;
    }
    return nullptr;
}

const CatalogBook* BookCatalog::byPublisherAndBook(int publisherId, int bookId) const
{
    for (const CatalogBook& b : m_books) {
        if (b.publisherId == publisherId && b.bookId == bookId)
            return &b;
    }
    return nullptr;
}

}  // namespace qs::standin
