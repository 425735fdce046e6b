#include "panes/layout/LayoutArchivable.h"

#include "panes/layout/LayoutRegionContentItemDescriptor.h"
#include "panes/layout/LayoutRegionContentItemState.h"
#include "platform/KeyedArchive.h"

#include <QDebug>
#include <QHash>

#include <mutex>

namespace {

struct Registry {
    std::mutex mutex;
    QHash<QString, LayoutArchivable::Reader> readers;

    Registry()
    {
        readers.insert(LayoutRegionContentItemDescriptor::kArchiveClassName,
            [](const QVariant& v) { return LayoutRegionContentItemDescriptor::decode(v); });
        readers.insert(LayoutRegionContentItemState::kArchiveClassName,
            [](const QVariant& v) { return LayoutRegionContentItemState::decode(v); });
    }
};

Registry& registry()
{
    static Registry r;
    return r;
}

}  // namespace

void LayoutArchivable::registerReader(const QString& className, Reader reader)
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.readers.insert(className, std::move(reader));
}

std::unique_ptr<LayoutArchivable> LayoutArchivable::decode(const QVariant& archived)
{
    const QString className = KeyedArchive::classNameOf(archived);
    Reader reader;
    {
        Registry& r = registry();
        std::lock_guard lock(r.mutex);
        reader = r.readers.value(className);
    }
    if (!reader) {
        if (!className.isNull())
            qWarning().noquote()
                << QStringLiteral("LayoutRegionContentItem: no reader for archived class %1").arg(className);
        return nullptr;
    }
    return reader(archived);
}
