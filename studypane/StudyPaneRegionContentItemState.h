// The archived settings of the study pane: the selected tab and the tab order, the width the user
// dragged it to, the recently visited verses, and the remembered selections of the sub-panes
// (highlights, bookmarks, note viewer). One per study region, held by its one tab and written with
// the layout into the layout archive. The study pane controller reads and writes it through its
// pass-through properties, its sub-panes through their host (`StudyPaneViewController::state`).
//
// Archive versions 5 to 8 are read (older versions lack the later fields, which get defaults);
// version 8 is written. An unknown version logs a line and reads as an empty state with no tab
// selected, never failing the layout archive. Main thread only.
#pragma once

#include "library/SourceTupleID.h"
#include "panes/layout/LayoutArchivable.h"

#include <QList>
#include <QString>

#include <memory>
#include <optional>

class StudyPaneRegionContentItemState : public LayoutArchivable {
public:
    static constexpr int kArchiveVersion = 8;
    static inline const QString kArchiveClassName = QStringLiteral("StudyPaneRegionContentItemState");
    static constexpr int kMaxRecentVerses = 30;

    // The order of a new study pane's first tabs (1 to 6; the controller appends the rest).
    static QList<qint64> arrayWithDefaultTabIDOrder();

    StudyPaneRegionContentItemState();

    qint64 selectedTabID = 0;
    double manualStudyPaneWidth = 0;
    QList<quint32> recentGoToVerseKeys;  // packed Bible keys, newest first
    std::optional<SourceTupleID> highlightPaneSourceTupleID;
    quint16 highlightPaneSelectedColorEnum = 0;
    std::optional<SourceTupleID> bookmarkPaneSourceTupleID;
    quint16 bookmarkPaneSelectedCatID = 0;
    std::optional<SourceTupleID> noteViewPaneSourceTupleID;
    quint32 noteViewPaneBibleKey = 0;
    quint32 noteViewPaneSection = 0;
    QString noteViewPaneJournalTitle;  // null: none
    QList<qint64> tabIDOrder;

    QString archiveClassName() const override { return kArchiveClassName; }
    QVariant encode() const override;
    // "Study Panel State:" and one line per field.
    QString description() const override;

    // Never fails (see above). `log` receives the line about an unknown version (qWarning when null).
    static std::unique_ptr<StudyPaneRegionContentItemState> decode(const QVariant& archived, QString* log = nullptr);
};
