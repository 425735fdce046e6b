#include "studypane/StudyPaneRegionContentItemDescriptor.h"

#include "platform/KeyedArchive.h"
#include "studypane/StudyPaneRegionContentItemState.h"

#include <mutex>

QVariant StudyPaneRegionContentItemDescriptor::encode() const
{
    KeyedArchiver a(kArchiveClassName);
    a.encodeInt32(QStringLiteral("version"), kArchiveVersion);
    return a.archivedObject();
}

QString StudyPaneRegionContentItemDescriptor::description() const
{
    return QStringLiteral("This is the one and only StudyPaneRegionContentItemDescriptor for the Study Pane");
}

std::unique_ptr<StudyPaneRegionContentItemDescriptor> StudyPaneRegionContentItemDescriptor::decode(const QVariant&)
{
    return std::make_unique<StudyPaneRegionContentItemDescriptor>();
}

void StudyPaneRegionContentItemDescriptor::registerArchiveReaders()
{
    static std::once_flag once;
    std::call_once(once, [] {
        LayoutArchivable::registerReader(
            kArchiveClassName, [](const QVariant& v) -> std::unique_ptr<LayoutArchivable> { return decode(v); });
        LayoutArchivable::registerReader(StudyPaneRegionContentItemState::kArchiveClassName,
            [](const QVariant& v) -> std::unique_ptr<LayoutArchivable> {
                return StudyPaneRegionContentItemState::decode(v);
            });
    });
}
