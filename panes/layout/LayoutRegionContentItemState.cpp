#include "panes/layout/LayoutRegionContentItemState.h"

#include "platform/KeyedArchive.h"

#include <QDebug>
#include <QHash>

namespace {

// Null and empty strings compare equal, so both hash to 0.
quint64 stringHash(const QString& s)
{
    return s.isEmpty() ? 0 : static_cast<quint64>(qHash(s));
}

}  // namespace

void LayoutRegionContentItemState::cloneInto(LayoutRegionContentItemState* target) const
{
    if (target)
        *target = *this;
}

void LayoutRegionContentItemState::clear()
{
    m_block = kNoBlock;
    m_section = 0;
    m_yOffset = 0;
    m_gotoAnchor = QLatin1String("");
    m_sectionString = QLatin1String("");
    m_tempHighlightStartSection = 0;
    m_tempHighlightEndSection = 0;
    m_doesNotSendLocationSync = false;
    m_doesNotReceiveLocationSync = false;
    m_dirty = false;
    m_pageYOffset = 0;
}

bool LayoutRegionContentItemState::operator==(const LayoutRegionContentItemState& o) const
{
    return m_block == o.m_block && m_section == o.m_section && m_yOffset == o.m_yOffset &&
        m_tempHighlightStartSection == o.m_tempHighlightStartSection &&
        m_tempHighlightEndSection == o.m_tempHighlightEndSection && m_sectionString == o.m_sectionString &&
        m_gotoAnchor == o.m_gotoAnchor;
}

quint64 LayoutRegionContentItemState::hash() const
{
    quint64 h = 1;
    for (quint64 v :
        {static_cast<quint64>(m_block), m_section, static_cast<quint64>(m_yOffset), stringHash(m_sectionString),
            stringHash(m_gotoAnchor), m_tempHighlightStartSection, m_tempHighlightEndSection})
        h = h * 31 + v;
    return h;
}

QString LayoutRegionContentItemState::description() const
{
    return QStringLiteral("{block=%1; section=%2; sectionString=%3; yOffset=%4; gotoAnchor=%5; "
                          "tempHighlightStartSection=%6; tempHighlightEndSection=%7; pageYOffset=%8; "
                          "doesNotSendLocationSync=%9; doesNotReceiveLocationSync=%10; }")
        .arg(m_block)
        .arg(m_section)
        .arg(m_sectionString)
        .arg(m_yOffset)
        .arg(m_gotoAnchor)
        .arg(m_tempHighlightStartSection)
        .arg(m_tempHighlightEndSection)
        .arg(m_pageYOffset)
        .arg(int(m_doesNotSendLocationSync))
        .arg(int(m_doesNotReceiveLocationSync));
}

QVariant LayoutRegionContentItemState::encode() const
{
    KeyedArchiver a(kArchiveClassName);
    a.encodeInt32(QStringLiteral("version"), kArchiveVersion);
    a.encodeInteger(QStringLiteral("block"), m_block);
    a.encodeInteger(QStringLiteral("section"), static_cast<qint64>(m_section));
    a.encodeString(QStringLiteral("sectionString"), m_sectionString);
    a.encodeInteger(QStringLiteral("yOffset"), m_yOffset);
    a.encodeString(QStringLiteral("gotoAnchor"), m_gotoAnchor);
    a.encodeBool(QStringLiteral("doesNotSendLocationSync"), m_doesNotSendLocationSync);
    a.encodeBool(QStringLiteral("doesNotReceiveLocationSync"), m_doesNotReceiveLocationSync);
    return a.archivedObject();
}

std::unique_ptr<LayoutRegionContentItemState> LayoutRegionContentItemState::decode(const QVariant& archived)
{
    const KeyedUnarchiver u(archived);
    auto s = std::make_unique<LayoutRegionContentItemState>();
    const QString empty = QLatin1String("");
    const auto str = [&u, &empty](const char* key) { return u.decodeString(QLatin1String(key), empty); };
    const qint32 version = u.decodeInt32(QStringLiteral("version"));
    if (version < 1 || version > kArchiveVersion) {
        qWarning().noquote() << QStringLiteral("Unrecognized Book Pane archive version (%1)").arg(version);
    }
    if (version >= 2 && version <= kArchiveVersion) {
        s->m_block = u.decodeInteger(QStringLiteral("block"));
        s->m_section = static_cast<quint64>(u.decodeInteger(QStringLiteral("section")));
        s->m_sectionString = version >= 4 ? str("sectionString") : str("anchor");
        s->m_yOffset = version >= 3 ? u.decodeInteger(QStringLiteral("yOffset")) : 0;
        s->m_gotoAnchor = version >= 5 ? str("gotoAnchor") : empty;
        if (version >= 6) {
            s->m_doesNotSendLocationSync = u.decodeBool(QStringLiteral("doesNotSendLocationSync"));
            s->m_doesNotReceiveLocationSync = u.decodeBool(QStringLiteral("doesNotReceiveLocationSync"));
        }
    } else {
        s->m_block = 0;
        s->m_section = 1;
        s->m_sectionString = empty;
        s->m_yOffset = 0;
        s->m_gotoAnchor = empty;
    }
    return s;
}
