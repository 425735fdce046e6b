#include "cloud/store/ui/BookKinds.h"

#include "cloud/store/CoverArtManager.h"
#include "cloud/store/ui/StoreContext.h"

#include <QHash>
#include <QPainter>
#include <QPoint>
#include <QRandomGenerator>

namespace qs::cloud {

namespace {

struct KindRow {
    const char* name;
    int includeValue;
};

constexpr KindRow kRows[BookKinds::kCount] = {{"All Owned Books", 63}, {"Bibles", 1}, {"Commentaries", 2},
    {"Dictionaries", 8}, {"Devotionals", 4}, {"Other Books", 16}};

// A drawn placeholder: a plain book with the kind's word on it.
QPixmap drawPlaceholder(const QString& word, const QColor& colour)
{
    const int size = BookKinds::kCoverSize;
    QPixmap pixmap(size * 3 / 4, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(colour.darker(160), 2));
    p.setBrush(colour);
    p.drawRoundedRect(QRectF(1, 1, pixmap.width() - 2, size - 2), 6, 6);
    p.fillRect(QRectF(10, 1, 4, size - 2), colour.darker(130));
    p.setPen(Qt::white);
    QFont font = p.font();
    font.setPixelSize(13);
    font.setBold(true);
    p.setFont(font);
    p.drawText(QRectF(16, 20, pixmap.width() - 22, 60), Qt::AlignCenter | Qt::TextWordWrap, word);
    font.setBold(false);
    font.setPixelSize(10);
    p.setFont(font);
    p.drawText(QRectF(16, size - 50, pixmap.width() - 22, 40), Qt::AlignCenter | Qt::TextWordWrap,
        QStringLiteral("Cover not available"));
    return pixmap;
}

}  // namespace

QString BookKinds::name(int row)
{
    return row >= 0 && row < kCount ? QString::fromLatin1(kRows[row].name) : QString();
}

int BookKinds::includeValue(int row)
{
    return row >= 0 && row < kCount ? kRows[row].includeValue : 0;
}

int BookKinds::maxCovers(int row)
{
    return row == 0 ? 5 : 3;
}

int BookKinds::clampRow(qint64 row)
{
    return row >= 0 && row < kCount ? int(row) : 0;
}

BookKind BookKinds::make(int row, int count, const std::function<QPair<qint64, qint64>(int)>& bookAt)
{
    BookKind kind;
    kind.name = name(row);
    kind.includeValue = includeValue(row);
    kind.active = row == 0 || count > 0;
    const int wanted = std::min(count, maxCovers(row));
    QList<int> picked;
    while (picked.size() < wanted) {
        const int i = int(QRandomGenerator::global()->bounded(quint32(count)));
        if (!picked.contains(i))
            picked.append(i);
    }
    for (int i : picked)
        kind.covers.append(bookAt(i));
    return kind;
}

QPixmap BookKinds::placeholderForType(const QString& type)
{
    static QHash<QString, QPixmap> cache;
    const QString t = type.toLower();
    QString key = QStringLiteral("other");
    if (t == QLatin1String("bibles") || t == QLatin1String("commentaries") || t == QLatin1String("devotionals") ||
        t == QLatin1String("dictionaries"))
        key = t;
    auto it = cache.find(key);
    if (it != cache.end())
        return *it;
    QPixmap p;
    if (key == QLatin1String("bibles"))
        p = drawPlaceholder(QStringLiteral("Bible"), QColor(0x6b, 0x2d, 0x2d));
    else if (key == QLatin1String("commentaries"))
        p = drawPlaceholder(QStringLiteral("Commentary"), QColor(0x2d, 0x4a, 0x6b));
    else if (key == QLatin1String("devotionals"))
        p = drawPlaceholder(QStringLiteral("Devotional"), QColor(0x3d, 0x6b, 0x2d));
    else if (key == QLatin1String("dictionaries"))
        p = drawPlaceholder(QStringLiteral("Dictionary"), QColor(0x6b, 0x55, 0x2d));
    else
        p = drawPlaceholder(QStringLiteral("Book"), QColor(0x55, 0x55, 0x60));
    cache.insert(key, p);
    return p;
}

QPixmap BookKinds::placeholderForClassification(qint64 classification)
{
    switch (classification) {
    case 1:
        return placeholderForType(QStringLiteral("Bibles"));
    case 3:
        return placeholderForType(QStringLiteral("Commentaries"));
    case 4:
        return placeholderForType(QStringLiteral("Devotionals"));
    case 5:
        return placeholderForType(QStringLiteral("Dictionaries"));
    default:
        return placeholderForType(QString());
    }
}

QPixmap BookKinds::cover(const StoreContext& context, qint64 pubId, qint64 bookId)
{
    if (!context.covers)
        return QPixmap();
    const QString path = context.covers->pathForCover(context.coverRequest(pubId, bookId), true, true);
    if (path.isEmpty())
        return QPixmap();
    QPixmap pixmap(path);
    if (pixmap.isNull())
        return pixmap;
    if (pixmap.width() > kCoverSize || pixmap.height() > kCoverSize)
        pixmap = pixmap.scaled(kCoverSize, kCoverSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return pixmap;
}

QList<QPoint> BookKinds::compositeOffsets(int count)
{
    const int step = count < 4 ? 20 : 10;
    QList<QPoint> out;
    for (int i = 0; i < count; ++i)
        out.append(QPoint(40 - step * i, 40 - step * i));
    return out;
}

QPixmap BookKinds::composite(const StoreContext& context, const BookKind& kind)
{
    if (kind.covers.isEmpty())
        return QPixmap();
    QPixmap image(kCompositeSize, kCompositeSize);
    image.fill(Qt::transparent);
    QPainter p(&image);
    const QList<QPoint> offsets = compositeOffsets(int(kind.covers.size()));
    for (int i = int(kind.covers.size()) - 1; i >= 0; --i) {
        QPixmap c = cover(context, kind.covers[i].first, kind.covers[i].second);
        if (c.isNull())
            c = placeholderForType(QString());
        if (c.isNull())
            continue;
        const QRect r(offsets[i], c.size());
        p.drawPixmap(r.topLeft(), c);
        p.setPen(QPen(Qt::white, 2));
        p.setBrush(Qt::NoBrush);
        p.drawRect(r.adjusted(0, 0, -1, -1));
    }
    return image;
}

}  // namespace qs::cloud
