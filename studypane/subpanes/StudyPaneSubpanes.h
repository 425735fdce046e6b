// What the bookmark, highlight and go-to sub-panes share: their registration with the study pane,
// the book pane that is current in the current layout, and the look-up of a remembered book.
//
// `registerAll()` runs once at start-up, before any study pane loads its view. Main thread only.
#pragma once

#include "library/SourceTuple.h"
#include "studypane/StudyPaneEnvironment.h"

#include <QList>
#include <QString>

#include <optional>

class QTableWidget;

namespace StudyPaneSubpanes {

// Registers the bookmark, highlight and four go-to sub-panes with the study pane.
void registerAll();

// The book pane that is the current region of the current layout (a region of the empty kind):
// its book, section and block. Without such a pane, the environment's active book at section 0.
struct ActiveBook {
    SourceTuple::Ptr book;
    quint64 section = 0;
    quint32 block = SourceTuple::kNoBlock;
};
ActiveBook activeBook(const StudyPaneEnvironment& env);

// Lists the sections of the book in the one-column table by their titles, under the book's name (the
// header is named once, on the first call after it was reset); no rows without a book.
void showSections(
    QTableWidget* table, const SourceTuple::Ptr& book, const QList<quint32>& sections, std::optional<QString>& header);

// The book of a library identity; null when the library does not hold it.
SourceTuple::Ptr bookForID(const StudyPaneEnvironment& env, const std::optional<SourceTupleID>& id);

}  // namespace StudyPaneSubpanes
