#include "panes/layout/LayoutRegionContentItem.h"

#include "panes/layout/LayoutRegionContentItemDescriptor.h"
#include "panes/layout/LayoutRegionContentItemState.h"
#include "platform/KeyedArchive.h"

#include <QDebug>
#include <QUuid>

namespace {
const QString kClassName = QStringLiteral("LayoutRegionContentItem");
}

LayoutRegionContentItem::LayoutRegionContentItem() : m_uuidString(newUuidString())
{
}

LayoutRegionContentItem::LayoutRegionContentItem(
    std::unique_ptr<LayoutArchivable> descriptor, std::unique_ptr<LayoutArchivable> state)
    : m_descriptor(std::move(descriptor)), m_state(std::move(state)), m_uuidString(newUuidString())
{
}

LayoutRegionContentItem::~LayoutRegionContentItem() = default;

QString LayoutRegionContentItem::newUuidString()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

LayoutRegionContentItemDescriptor* LayoutRegionContentItem::bookDescriptor() const
{
    return dynamic_cast<LayoutRegionContentItemDescriptor*>(m_descriptor.get());
}

LayoutRegionContentItemState* LayoutRegionContentItem::bookState() const
{
    return dynamic_cast<LayoutRegionContentItemState*>(m_state.get());
}

void LayoutRegionContentItem::dump() const
{
    qInfo().noquote() << "    LayoutRegionContentItem";
    qInfo().noquote() << QStringLiteral("      uuidString %1").arg(m_uuidString);
    qInfo().noquote() << QStringLiteral("      descriptor %1")
                             .arg(m_descriptor ? m_descriptor->description() : QStringLiteral("(null)"));
    qInfo().noquote()
        << QStringLiteral("      state %1").arg(m_state ? m_state->description() : QStringLiteral("(null)"));
}

QVariant LayoutRegionContentItem::encode() const
{
    KeyedArchiver a(kClassName);
    a.encodeInt32(QStringLiteral("version"), kArchiveVersion);
    a.encodeString(QStringLiteral("uuidString"), m_uuidString);
    a.encodeObject(QStringLiteral("descriptor"), m_descriptor ? m_descriptor->encode() : QVariant());
    a.encodeObject(QStringLiteral("state"), m_state ? m_state->encode() : QVariant());
    return a.archivedObject();
}

std::unique_ptr<LayoutRegionContentItem> LayoutRegionContentItem::decode(const QVariant& archived)
{
    const KeyedUnarchiver u(archived);
    const qint32 version = u.decodeInt32(QStringLiteral("version"));
    if (version != 1 && version != 2) {
        qWarning().noquote()
            << QStringLiteral("LayoutRegionContentItem: unrecognized archive version (%1)").arg(version);
        return nullptr;
    }
    auto item = std::make_unique<LayoutRegionContentItem>();  // fresh uuid, kept by version 1
    if (version == 2) {
        const QString uuid = u.decodeString(QStringLiteral("uuidString"));
        if (!uuid.isEmpty())
            item->m_uuidString = uuid;
    }
    const QVariant descriptor = u.decodeObject(QStringLiteral("descriptor"));
    if (descriptor.isValid())
        item->m_descriptor = LayoutArchivable::decode(descriptor);
    const QVariant state = u.decodeObject(QStringLiteral("state"));
    if (state.isValid())
        item->m_state = LayoutArchivable::decode(state);
    return item;
}
