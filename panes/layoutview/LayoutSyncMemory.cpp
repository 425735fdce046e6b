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
    // One write of the settings file for every value kept.
    m_defaults.setObjects(std::exchange(m_pending, {}));
}
