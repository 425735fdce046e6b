#include "panes/layout/LayoutDivider.h"

#include "platform/KeyedArchive.h"

#include <QDebug>

#include <algorithm>
#include <cmath>

namespace {

std::unique_ptr<LayoutDivider> makeDivider(bool vertical, LayoutDivider* from, LayoutDivider* to, double at)
{
    auto d = std::make_unique<LayoutDivider>();
    d->setVertical(vertical);
    d->setFrom(from);
    d->setTo(to);
    d->setAt(at);
    return d;
}

double positionOf(const LayoutDivider* d)
{
    return d ? d->at() : 0.0;
}

}  // namespace

std::unique_ptr<LayoutDivider> LayoutDivider::verticalDividerFrom(LayoutDivider* from, LayoutDivider* to, double at)
{
    return makeDivider(true, from, to, at);
}

std::unique_ptr<LayoutDivider> LayoutDivider::horizontalDividerFrom(LayoutDivider* from, LayoutDivider* to, double at)
{
    return makeDivider(false, from, to, at);
}

LayoutPoint LayoutDivider::startPoint() const
{
    return m_vertical ? LayoutPoint {m_at, positionOf(m_from)} : LayoutPoint {positionOf(m_from), m_at};
}

LayoutPoint LayoutDivider::endPoint() const
{
    return m_vertical ? LayoutPoint {m_at, positionOf(m_to)} : LayoutPoint {positionOf(m_to), m_at};
}

LayoutRect LayoutDivider::bounds() const
{
    const LayoutPoint s = startPoint();
    const LayoutPoint e = endPoint();
    if (m_vertical)
        return {s.x - 1.5, std::min(s.y, e.y), 3.0, std::fabs(e.y - s.y)};
    return {std::min(s.x, e.x), s.y - 1.5, std::fabs(e.x - s.x), 3.0};
}

bool LayoutDivider::pointIsOnDivider(LayoutPoint p) const
{
    const double across = m_vertical ? p.x : p.y;
    const double along = m_vertical ? p.y : p.x;
    if (std::fabs(across - m_at) > 2.5)
        return false;
    const double a = positionOf(m_from);
    const double b = positionOf(m_to);
    return along > std::min(a, b) && along < std::max(a, b);
}

bool LayoutDivider::dragToPoint(LayoutPoint p)
{
    m_at = m_vertical ? p.x : p.y;
    return true;
}

bool LayoutDivider::connects(const LayoutDivider* a, const LayoutDivider* b) const
{
    return (m_from == a || m_from == b) && (m_to == a || m_to == b);
}

// ---------------------------------------------------------------------------------------------
// Archive

namespace {
const QString kClassName = QStringLiteral("LayoutDivider");

qint64 indexOf(const LayoutDivider* d)
{
    return d ? static_cast<qint64>(d->index()) : -1;
}
}  // namespace

QVariant LayoutDivider::encode() const
{
    KeyedArchiver a(kClassName);
    a.encodeInt32(QStringLiteral("version"), kArchiveVersion);
    a.encodeInt64(QStringLiteral("index"), static_cast<qint64>(m_index));
    a.encodeBool(QStringLiteral("vertical"), m_vertical);
    a.encodeFloat(QStringLiteral("at"), static_cast<float>(m_at));
    a.encodeInt64(QStringLiteral("fromindex"), indexOf(m_from));
    a.encodeInt64(QStringLiteral("toindex"), indexOf(m_to));
    a.encodeBool(QStringLiteral("treatAsOutside"), m_treatAsOutside);
    return a.archivedObject();
}

std::unique_ptr<LayoutDivider> LayoutDivider::decode(const QVariant& archived)
{
    const KeyedUnarchiver u(archived);
    const qint32 version = u.decodeInt32(QStringLiteral("version"));
    if (version != 1 && version != 2) {
        qWarning().noquote() << QStringLiteral("LayoutDivider: unrecognized archive version (%1)").arg(version);
        return nullptr;
    }
    auto d = std::make_unique<LayoutDivider>();
    d->m_index = static_cast<quint64>(u.decodeInt64(QStringLiteral("index")));
    d->m_vertical = u.decodeBool(QStringLiteral("vertical"));
    d->m_at = static_cast<double>(u.decodeFloat(QStringLiteral("at")));
    if (!layoutNumberWithin(d->m_at, -kLayoutMaxReach, kLayoutMaxReach)) {
        qWarning().noquote() << QStringLiteral("LayoutDivider: position %1 out of range").arg(d->m_at);
        return nullptr;
    }
    d->m_storedFrom = u.decodeInt64(QStringLiteral("fromindex"), -1);
    d->m_storedTo = u.decodeInt64(QStringLiteral("toindex"), -1);
    d->m_treatAsOutside = version >= 2 && u.decodeBool(QStringLiteral("treatAsOutside"));
    return d;
}
