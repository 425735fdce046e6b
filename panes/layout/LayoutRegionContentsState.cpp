#include "panes/layout/LayoutRegionContentsState.h"

#include "platform/KeyedArchive.h"

namespace {
const QString kClassName = QStringLiteral("LayoutRegionContentsState");
}

QString LayoutRegionContentsState::description() const
{
    return QStringLiteral("{\n   paneDoesNotSendLocationSync=%1;\n   paneDoesNotReceiveLocationSync=%2;\n   }")
        .arg(int(m_doesNotSend))
        .arg(int(m_doesNotReceive));
}

QVariant LayoutRegionContentsState::encode() const
{
    KeyedArchiver a(kClassName);
    a.encodeInt32(QStringLiteral("version"), kArchiveVersion);
    a.encodeBool(QStringLiteral("paneDoesNotSendLocationSync"), m_doesNotSend);
    a.encodeBool(QStringLiteral("paneDoesNotReceiveLocationSync"), m_doesNotReceive);
    return a.archivedObject();
}

std::unique_ptr<LayoutRegionContentsState> LayoutRegionContentsState::decode(const QVariant& archived)
{
    const KeyedUnarchiver u(archived);
    auto s = std::make_unique<LayoutRegionContentsState>();
    if (u.decodeInt32(QStringLiteral("version")) == 1) {
        s->m_doesNotSend = u.decodeBool(QStringLiteral("paneDoesNotSendLocationSync"));
        s->m_doesNotReceive = u.decodeBool(QStringLiteral("paneDoesNotReceiveLocationSync"));
    }
    return s;
}
