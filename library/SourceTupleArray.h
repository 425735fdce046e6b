// SourceTupleArray: an ordered list of book records. The library keeps its installed books in
// seven of them (all books, one per classification, the Bibles with their own versification);
// other parts use them for ad-hoc sets of books. It keeps arrival order or sorts on insertion,
// finds books by identity, file, file name or document, and archives itself with a uuid that ties
// the library's lists together.
//
// The list holds shared tuples. Every operation takes the list's own lock, so the main thread may
// change a list while search threads read it; array() and the look-ups hand out copies of the
// shared pointers, never references into the list. Not found is kNotFound for index look-ups and
// null for tuple look-ups.
#pragma once

#include "library/SourceTuple.h"

#include <QHash>

#include <QString>
#include <QVariant>

#include <memory>
#include <mutex>
#include <vector>

class SourceTupleArray {
public:
    using Ptr = std::shared_ptr<SourceTupleArray>;
    static constexpr qint64 kNotFound = 9223372036854775807LL;
    static constexpr int kArchiveVersion = 2;
    static inline const QString kArchiveClassName = QStringLiteral("SourceTupleArray");

    // Insertion orders.
    enum : int { kOrderArrival = 0, kOrderSortTitle = 1, kOrderAbbreviation = 2 };

    SourceTupleArray();
    SourceTupleArray(const SourceTupleArray&) = delete;
    SourceTupleArray& operator=(const SourceTupleArray&) = delete;

    static Ptr sourceTupleArray();

    // A copy of the list as it is now.
    std::vector<SourceTuple::Ptr> array() const;
    qint64 count() const;
    // The classification every tuple shares; 0 when empty or when two differ.
    qint64 classification() const;
    QString uuid() const;
    void setUuid(const QString& uuid);
    qint64 archiveVersion() const;

    void add(SourceTuple::Ptr tuple) { add(std::move(tuple), kOrderArrival); }
    void add(SourceTuple::Ptr tuple, int inOrder);
    // add unless a tuple of the same publisher and book is listed. True when added.
    bool addNoDupes(SourceTuple::Ptr tuple);
    void replaceTupleAtIndex(qint64 index, SourceTuple::Ptr withTuple);
    void removeAtIndex(qint64 index);
    void removeAll();
    // Removes every tuple of the same publisher and book.
    void remove(const SourceTuple& tuple);

    qint64 indexForTuple(const SourceTuple& tuple) const;
    qint64 indexForPubID(qint64 pubID, qint64 bookID) const;
    qint64 indexForPubID(qint64 pubID, qint64 bookID, qint64 edition) const;
    qint64 indexForPubID(qint64 pubID, qint64 bookID, qint64 edition, qint64 revision) const;
    // The tuple whose document is `doc` (asking each tuple for its document opens it).
    qint64 indexForSourceTupleID(const SourceTupleID& id) const;
    qint64 indexForFile(const QString& path) const;
    qint64 indexForFileName(const QString& name) const;

    SourceTuple::Ptr tupleAtIndex(qint64 index) const;
    SourceTuple::Ptr tupleForPubID(qint64 pubID, qint64 bookID) const;
    SourceTuple::Ptr tupleForPubID(qint64 pubID, qint64 bookID, qint64 edition) const;
    SourceTuple::Ptr tupleForPubID(qint64 pubID, qint64 bookID, qint64 edition, qint64 revision) const;
    SourceTuple::Ptr tupleForSourceTupleID(const SourceTupleID* id) const;
    SourceTuple::Ptr tupleForSourceTupleID(const SourceTupleID& id) const { return tupleForSourceTupleID(&id); }
    SourceTuple::Ptr tupleForFile(const QString& path) const;
    SourceTuple::Ptr tupleForFileName(const QString& name) const;

    // A tuple chosen uniformly; null when empty.
    SourceTuple::Ptr randomTuple() const;

    void log(const QString& heading = QString()) const;

    // Tuple paths are stored relative to `booksFolder` (see SourceTuple::encode).
    QVariant encode(const QString& booksFolder = QString()) const;
    // The same with each tuple's identity and file only (SourceTuple::encodeReference), for a list
    // whose records another list holds; read back with decodeSharing.
    QVariant encodeReferences(const QString& booksFolder = QString()) const;
    // The list read back; null when the value is not an archived list or one of its elements is
    // not an archived tuple.
    static Ptr decode(const QVariant& archived, const QString& booksFolder = QString());
    // The same for a list whose records another list holds: each element is only looked up (by
    // its identity and file) in `shared`, keyed by file; null as above, or when an element is not
    // there under the same identity.
    static Ptr decodeSharing(
        const QVariant& archived, const QString& booksFolder, const QHash<QString, SourceTuple::Ptr>& shared);

private:
    template <class Match> qint64 find(Match&& match) const;
    SourceTuple::Ptr at(qint64 index) const;

    mutable std::mutex m_mutex;
    std::vector<SourceTuple::Ptr> m_array;
    QString m_uuid;
    qint64 m_archiveVersion = 0;
};
