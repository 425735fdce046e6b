#include "panes/layout/LayoutRegionContents.h"

#include "platform/KeyedArchive.h"

#include <QDebug>

namespace {
const QString kClassName = QStringLiteral("LayoutRegionContents");
}

LayoutRegionContents::~LayoutRegionContents() = default;

std::unique_ptr<LayoutRegionContents> LayoutRegionContents::factory()
{
    return std::make_unique<LayoutRegionContents>();
}

void LayoutRegionContents::setViewController(std::unique_ptr<LayoutRegionContentsViewControllerProtocol> controller)
{
    m_viewController = std::move(controller);
}

quint64 LayoutRegionContents::indexOfItemWithUuidString(const QString& uuid) const
{
    for (size_t i = 0; i < m_items.size(); ++i) {
        if (m_items[i]->uuidString() == uuid)
            return i;
    }
    return kLayoutNotFound;
}

void LayoutRegionContents::willBeRemovedFromLayoutManager()
{
    if (m_viewController)
        m_viewController->willBeRemovedFromLayoutManager();
}

void LayoutRegionContents::dump() const
{
    qInfo().noquote() << QStringLiteral("  LayoutRegionContents kind=%1").arg(m_kind);
    qInfo().noquote() << QStringLiteral("    currentItemIndex=%1").arg(static_cast<qint64>(m_currentItemIndex));
    qInfo().noquote() << QStringLiteral("    %1 items:").arg(m_items.size());
    for (const auto& item : m_items)
        item->dump();
}

QVariant LayoutRegionContents::encode() const
{
    KeyedArchiver a(kClassName);
    a.encodeInt32(QStringLiteral("version"), kArchiveVersion);
    QVariantList items;
    items.reserve(static_cast<qsizetype>(m_items.size()));
    for (const auto& item : m_items)
        items.append(item->encode());
    a.encodeArray(QStringLiteral("items"), items);
    a.encodeInteger(QStringLiteral("currentItemIndex"), static_cast<qint64>(m_currentItemIndex));
    // A book pane's kind is the empty string, written as such (a null string would be nil).
    a.encodeString(QStringLiteral("kind"), m_kind.isNull() ? QString(QLatin1String("")) : m_kind);
    a.encodeObject(QStringLiteral("state"), m_state ? m_state->encode() : QVariant());
    return a.archivedObject();
}

std::unique_ptr<LayoutRegionContents> LayoutRegionContents::decode(const QVariant& archived)
{
    const KeyedUnarchiver u(archived);
    auto c = factory();
    // An item that cannot be read is dropped with its own log line; the pane keeps the rest.
    for (const QVariant& element : u.decodeArray(QStringLiteral("items"))) {
        if (auto item = LayoutRegionContentItem::decode(element))
            c->m_items.push_back(std::move(item));
    }
    const qint32 version = u.decodeInt32(QStringLiteral("version"));
    const QString empty = QLatin1String("");
    switch (version) {
    case 1:
        c->m_currentItemIndex = c->m_items.empty() ? kLayoutNotFound : 0;
        c->m_kind = empty;
        break;
    case 2:
    case 3:
    case 4:
        c->m_currentItemIndex = static_cast<quint64>(
            u.decodeInteger(QStringLiteral("currentItemIndex"), static_cast<qint64>(kLayoutNotFound)));
        c->m_kind = version >= 3 ? u.decodeString(QStringLiteral("kind"), empty) : empty;
        if (version == 4) {
            const QVariant state = u.decodeObject(QStringLiteral("state"));
            if (state.isValid())
                c->m_state = LayoutRegionContentsState::decode(state);
        }
        break;
    default:
        qWarning().noquote() << QStringLiteral("LayoutRegionContents: unrecognized archive version (%1)").arg(version);
        return nullptr;
    }
    if (c->m_items.empty())
        c->m_currentItemIndex = kLayoutNotFound;
    else if (c->m_currentItemIndex >= c->m_items.size())
        c->m_currentItemIndex = 0;
    return c;
}
