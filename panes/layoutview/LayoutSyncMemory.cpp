#include "panes/layoutview/LayoutSyncMemory.h"

#include "platform/UserDefaults.h"

#include <QTimer>

#include <utility>

LayoutSyncMemory::LayoutSyncMemory(UserDefaults& defaults, QObject* parent) : QObject(parent), m_defaults(defaults)
{
}

LayoutSyncMemory::~LayoutSyncMemory()
{
    write();
}

void LayoutSyncMemory::remember(const QString& key, const QVariant& value)
{
    const bool idle = m_pending.isEmpty();
    m_pending.insert(key, value);
    if (idle)
        QTimer::singleShot(kDelayMs, this, [this] { write(); });
}

void LayoutSyncMemory::write()
{
    const QVariantMap pending = std::exchange(m_pending, {});
    for (auto it = pending.cbegin(); it != pending.cend(); ++it) {
        if (it.value().typeId() == QMetaType::LongLong)
            m_defaults.setInteger(it.value().toLongLong(), it.key());
        else
            m_defaults.setObject(it.value(), it.key());
    }
}
