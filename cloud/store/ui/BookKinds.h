// BookKinds: the six kinds of book both library sheets list on their left ("All Owned Books",
// "Bibles", "Commentaries", "Dictionaries", "Devotionals", "Other Books"), each with its type mask,
// whether it has books, and up to five (first kind) or three (others) books drawn at random whose
// covers make the kind's picture; and the pictures themselves: a book's cover or the placeholder of
// its kind, and the 184 x 184 stack of a kind's covers.
//
// Main thread only (pictures are QPixmaps).
#pragma once

#include <QList>
#include <QPair>
#include <QPixmap>
#include <QString>

#include <functional>

namespace qs::cloud {

struct StoreContext;

struct BookKind {
    QString name;
    int includeValue = 0;
    bool active = false;
    // (publisher, book) of the books whose covers stand for the kind.
    QList<QPair<qint64, qint64>> covers;
};

namespace BookKinds {

inline constexpr int kCount = 6;
inline constexpr int kCompositeSize = 184;
inline constexpr int kCoverSize = 144;

QString name(int row);
int includeValue(int row);
// How many covers a kind's picture shows at most.
int maxCovers(int row);
// A stored kind row made safe: 0 .. kCount-1, anything else 0.
int clampRow(qint64 row);

// Builds the kind of a row over `count` books; `bookAt(i)` gives the (publisher, book) of book i.
// Distinct books are drawn at random (drawn again when already picked).
BookKind make(int row, int count, const std::function<QPair<qint64, qint64>(int)>& bookAt);

// The placeholder of a kind: "Bibles", "Commentaries", "Devotionals", "Dictionaries" (any case, or
// the library's classification 1, 3, 4, 5) and anything else.
QPixmap placeholderForType(const QString& type);
QPixmap placeholderForClassification(qint64 classification);
// The cached cover of a book, or a null pixmap (the request is then queued).
QPixmap cover(const StoreContext& context, qint64 pubId, qint64 bookId);
// The kind's picture: covers drawn from the last to the first, book i at (40 - s·i, 40 - s·i) from the
// top left, s = 20 for fewer than four covers and 10 for four or five, each framed in white; a missing
// cover shows the other-books placeholder. No covers: a null pixmap.
QPixmap composite(const StoreContext& context, const BookKind& kind);
// The offsets composite() uses for `count` covers (exposed for tests).
QList<QPoint> compositeOffsets(int count);

}  // namespace BookKinds

}  // namespace qs::cloud
