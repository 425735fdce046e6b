// The identity of one installed book: publisher id, book id, edition and revision. A small
// value carried on its own in go-to requests, archives, preferred-book settings and look-ups.
// Two identities are reserved for books without a file: the journal and the "Bibles"
// placeholder. A value type: copy freely, use from any thread.
#pragma once

#include <QString>
#include <QVariant>
#include <QtGlobal>

#include <cstddef>
#include <functional>

class SourceTuple;

class SourceTupleID {
public:
    static constexpr int kArchiveVersion = 1;
    static inline const QString kArchiveClassName = QStringLiteral("SourceTupleID");

    // A new identity holds -1 in all four numbers (and is not valid).
    SourceTupleID() = default;
    SourceTupleID(qint64 pubID, qint64 bookID, qint64 editionNumber, qint64 revisionNumber)
        : m_pubID(pubID), m_bookID(bookID), m_editionNumber(editionNumber), m_revisionNumber(revisionNumber)
    {
    }

    qint64 pubID() const { return m_pubID; }
    qint64 bookID() const { return m_bookID; }
    qint64 editionNumber() const { return m_editionNumber; }
    void setEditionNumber(qint64 v) { m_editionNumber = v; }
    qint64 revisionNumber() const { return m_revisionNumber; }
    void setRevisionNumber(qint64 v) { m_revisionNumber = v; }

    // Publisher and book at least 1; edition and revision are not looked at.
    bool isValid() const { return m_pubID >= 1 && m_bookID >= 1; }
    bool isFakeJournalDoc() const;
    bool isFakeBibleDoc() const;

    // The four numbers of a book record.
    static SourceTupleID sourceTupleIDForTuple(const SourceTuple& tuple);
    // All four numbers equal those of the book record.
    bool isEqual(const SourceTuple& tuple) const;

    // The shared reserved identities (24326/15184/1/1 and 24326/15185/1/1).
    static const SourceTupleID& sourceTupleIDForFakeJournalDoc();
    static const SourceTupleID& sourceTupleIDForFakeBibleDoc();

    // All four numbers equal.
    friend bool operator==(const SourceTupleID&, const SourceTupleID&) = default;

    // Publisher << 48 | low 16 bits of book << 32 | low byte of edition << 16 | low byte of
    // revision: identities differing only above those bits hash alike.
    quint64 hash() const;

    // "<SourceTupleID: pubID=... bookID=... editionNumber=... revisionNumber=... isValid=...
    // isFakeBibleDoc=... isFakeJournalDoc=...>"
    QString description() const;
    // "pub:book:edition:revision", as written in book pages.
    QString colonString() const;

    QVariant encode() const;
    // Never fails: a value of an unknown version (or no archived identity at all) reads as
    // four zeros, after a log line.
    static SourceTupleID decode(const QVariant& archived);

private:
    qint64 m_pubID = -1;
    qint64 m_bookID = -1;
    qint64 m_editionNumber = -1;
    qint64 m_revisionNumber = -1;
};

inline size_t qHash(const SourceTupleID& id, size_t seed = 0)
{
    return static_cast<size_t>(id.hash()) ^ seed;
}

template <> struct std::hash<SourceTupleID> {
    size_t operator()(const SourceTupleID& id) const noexcept { return static_cast<size_t>(id.hash()); }
};

Q_DECLARE_METATYPE(SourceTupleID)
