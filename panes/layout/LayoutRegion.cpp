#include "panes/layout/LayoutRegion.h"

#include "panes/layout/LayoutDivider.h"
#include "platform/KeyedArchive.h"

#include <QDebug>

namespace {
double positionOf(const LayoutDivider* d)
{
    return d ? d->at() : 0.0;
}
}  // namespace

std::unique_ptr<LayoutRegion> LayoutRegion::regionBoundedByTop(
    LayoutDivider* top, LayoutDivider* right, LayoutDivider* bottom, LayoutDivider* left)
{
    auto r = std::make_unique<LayoutRegion>();
    r->m_sides = {top, right, bottom, left};
    return r;
}

LayoutRect LayoutRegion::bounds() const
{
    const double l = positionOf(left());
    const double b = positionOf(bottom());
    return {l, b, positionOf(right()) - l, positionOf(top()) - b};
}

// ---------------------------------------------------------------------------------------------
// Archive

namespace {
const QString kClassName = QStringLiteral("LayoutRegion");
const char* const kSideKeys[4] = {"topindex", "rightindex", "bottomindex", "leftindex"};
}  // namespace

QVariant LayoutRegion::encode() const
{
    KeyedArchiver a(kClassName);
    a.encodeInt32(QStringLiteral("version"), kArchiveVersion);
    a.encodeFloat(QStringLiteral("minwidth"), static_cast<float>(m_minSize.width));
    a.encodeFloat(QStringLiteral("minheight"), static_cast<float>(m_minSize.height));
    a.encodeFloat(QStringLiteral("maxwidth"), static_cast<float>(m_maxSize.width));
    a.encodeFloat(QStringLiteral("maxheight"), static_cast<float>(m_maxSize.height));
    // Written in the order top, bottom, left, right.
    for (int s : {Top, Bottom, Left, Right}) {
        const LayoutDivider* d = side(s);
        a.encodeInt64(QLatin1String(kSideKeys[s]), d ? static_cast<qint64>(d->index()) : -1);
    }
    return a.archivedObject();
}

std::unique_ptr<LayoutRegion> LayoutRegion::decode(const QVariant& archived)
{
    const KeyedUnarchiver u(archived);
    const qint32 version = u.decodeInt32(QStringLiteral("version"));
    if (version != kArchiveVersion) {
        qWarning().noquote() << QStringLiteral("LayoutRegion: unrecognized archive version (%1)").arg(version);
        return nullptr;
    }
    auto r = std::make_unique<LayoutRegion>();
    // A file may hold any number: a minimum no screen can give (or none at all) is read as the
    // default, and a maximum that is not a size as none.
    const auto minimum = [&u](const QString& key) {
        const double v = u.decodeFloat(key, 100.0f);
        if (layoutNumberWithin(v, 0, kLayoutMaxMinimum))
            return v;
        qWarning().noquote() << QStringLiteral("LayoutRegion: %1 %2 out of range, read as 100").arg(key).arg(v);
        return 100.0;
    };
    const auto maximum = [&u](const QString& key) {
        const double v = u.decodeFloat(key, static_cast<float>(kLayoutMaxExtent));
        return layoutNumberWithin(v, 0, kLayoutMaxExtent) ? v : kLayoutMaxExtent;
    };
    r->m_minSize = {minimum(QStringLiteral("minwidth")), minimum(QStringLiteral("minheight"))};
    r->m_maxSize = {maximum(QStringLiteral("maxwidth")), maximum(QStringLiteral("maxheight"))};
    for (int s = 0; s < 4; ++s)
        r->m_storedSides[static_cast<size_t>(s)] = u.decodeInt64(QLatin1String(kSideKeys[s]), -1);
    return r;
}
