// The descriptor of the study region's one tab. There is one kind of study content, so it carries
// nothing but its archive version. registerArchiveReaders() teaches the layout archive to read
// back both study-pane records (this one and StudyPaneRegionContentItemState) by their class tags;
// the study pane controller calls it, and the application may call it earlier at start-up.
// A value object; any thread (the layout archive is read on the main thread).
#pragma once

#include "panes/layout/LayoutArchivable.h"

#include <memory>

class StudyPaneRegionContentItemDescriptor : public LayoutArchivable {
public:
    static constexpr int kArchiveVersion = 1;
    static inline const QString kArchiveClassName = QStringLiteral("StudyPaneRegionContentItemDescriptor");

    QString archiveClassName() const override { return kArchiveClassName; }
    QVariant encode() const override;
    QString description() const override;
    // Reads nothing but the class tag: every archived descriptor gives the one descriptor.
    static std::unique_ptr<StudyPaneRegionContentItemDescriptor> decode(const QVariant& archived);

    // Registers the readers of the descriptor and the state with the layout archive (once).
    static void registerArchiveReaders();
};
