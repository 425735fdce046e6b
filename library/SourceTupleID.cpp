#include "library/SourceTupleID.h"

#include "library/SourceTuple.h"
#include "platform/KeyedArchive.h"

#include <QDebug>

namespace {

constexpr qint64 kReservedPubID = 24326;
constexpr qint64 kJournalBookID = 15184;
constexpr qint64 kBiblesBookID = 15185;

bool isReserved(const SourceTupleID& id, qint64 bookID)
{
    return id.pubID() == kReservedPubID && id.bookID() == bookID && id.editionNumber() == 1 && id.revisionNumber() == 1;
}

}  // namespace

bool SourceTupleID::isFakeJournalDoc() const
{
    return isReserved(*this, kJournalBookID);
}

bool SourceTupleID::isFakeBibleDoc() const
{
    return isReserved(*this, kBiblesBookID);
}

SourceTupleID SourceTupleID::sourceTupleIDForTuple(const SourceTuple& tuple)
{
    return tuple.sourceTupleID();
}

bool SourceTupleID::isEqual(const SourceTuple& tuple) const
{
    return *this == tuple.sourceTupleID();
}

const SourceTupleID& SourceTupleID::sourceTupleIDForFakeJournalDoc()
{
    static const SourceTupleID id(kReservedPubID, kJournalBookID, 1, 1);  // thread-safe first use
    return id;
}

const SourceTupleID& SourceTupleID::sourceTupleIDForFakeBibleDoc()
{
    static const SourceTupleID id(kReservedPubID, kBiblesBookID, 1, 1);
    return id;
}

quint64 SourceTupleID::hash() const
{
    return (static_cast<quint64>(m_pubID) << 48) | ((static_cast<quint64>(m_bookID) & 0xFFFF) << 32) |
        ((static_cast<quint64>(m_editionNumber) & 0xFF) << 16) | (static_cast<quint64>(m_revisionNumber) & 0xFF);
}

QString SourceTupleID::description() const
{
    // html-safe: a debugging description, numbers only, never HTML
    return QStringLiteral("<SourceTupleID: pubID=%1 bookID=%2 editionNumber=%3 revisionNumber=%4 isValid=%5 "
                          "isFakeBibleDoc=%6 isFakeJournalDoc=%7>")
        .arg(m_pubID)
        .arg(m_bookID)
        .arg(m_editionNumber)
        .arg(m_revisionNumber)
        .arg(int(isValid()))
        .arg(int(isFakeBibleDoc()))
        .arg(int(isFakeJournalDoc()));
}

QString SourceTupleID::colonString() const
{
    return QStringLiteral("%1:%2:%3:%4").arg(m_pubID).arg(m_bookID).arg(m_editionNumber).arg(m_revisionNumber);
}

QVariant SourceTupleID::encode() const
{
    KeyedArchiver a(kArchiveClassName);
    a.encodeInt32(QStringLiteral("version"), kArchiveVersion);
    a.encodeInt64(QStringLiteral("pubID"), m_pubID);
    a.encodeInt64(QStringLiteral("bookID"), m_bookID);
    a.encodeInt64(QStringLiteral("editionNumber"), m_editionNumber);
    a.encodeInt64(QStringLiteral("revisionNumber"), m_revisionNumber);
    return a.archivedObject();
}

SourceTupleID SourceTupleID::decode(const QVariant& archived)
{
    const KeyedUnarchiver u(archived);
    const qint32 version = u.decodeInt32(QStringLiteral("version"));
    if (version != kArchiveVersion) {
        qWarning().noquote() << QStringLiteral("Unrecognized Source Tuple archive version (%1)").arg(version);
        return SourceTupleID(0, 0, 0, 0);
    }
    return SourceTupleID(u.decodeInt64(QStringLiteral("pubID")), u.decodeInt64(QStringLiteral("bookID")),
        u.decodeInt64(QStringLiteral("editionNumber")), u.decodeInt64(QStringLiteral("revisionNumber")));
}
