#include "panes/layout/LayoutRegionContentItemDescriptor.h"

#include "platform/KeyedArchive.h"

QVariant LayoutRegionContentItemDescriptor::encode() const
{
    KeyedArchiver a(kArchiveClassName);
    a.encodeInt32(QStringLiteral("version"), kArchiveVersion);
    a.encodeObject(QStringLiteral("sourceTupleID"), m_sourceTupleID.encode());
    a.encodeString(QStringLiteral("abbreviation"), m_abbreviation);
    a.encodeString(QStringLiteral("title"), m_title);
    return a.archivedObject();
}

QString LayoutRegionContentItemDescriptor::description() const
{
    return QStringLiteral("{\n   bookID=%1:%2:%3:%4;\n   abbrev='%5';\n   title='%6';\n   }")
        .arg(m_sourceTupleID.pubID())
        .arg(m_sourceTupleID.bookID())
        .arg(m_sourceTupleID.editionNumber())
        .arg(m_sourceTupleID.revisionNumber())
        .arg(m_abbreviation, m_title);
}

std::unique_ptr<LayoutRegionContentItemDescriptor> LayoutRegionContentItemDescriptor::decode(const QVariant& archived)
{
    const KeyedUnarchiver u(archived);
    auto d = std::make_unique<LayoutRegionContentItemDescriptor>();
    switch (u.decodeInt32(QStringLiteral("version"))) {
    case 2:
        d->m_sourceTupleID = SourceTupleID::decode(u.decodeObject(QStringLiteral("sourceTupleID")));
        break;
    case 1:
        d->m_sourceTupleID =
            SourceTupleID(u.decodeInteger(QStringLiteral("pubid")), u.decodeInteger(QStringLiteral("bookid")),
                u.decodeInteger(QStringLiteral("edition")), u.decodeInteger(QStringLiteral("revision")));
        break;
    default:
        d->m_sourceTupleID = SourceTupleID(0, 0, 0, 0);
        break;
    }
    d->m_abbreviation = u.decodeString(QStringLiteral("abbreviation"));
    d->m_title = u.decodeString(QStringLiteral("title"));
    return d;
}
