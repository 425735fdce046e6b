// What the bookmark, highlight and go-to sub-panes share: their factories for the study pane's
// environment, the book pane that is current in the current layout, and the look-up of a remembered
// book. Main thread only.
#pragma once

#include "library/SourceTuple.h"
#include "studypane/StudyPaneEnvironment.h"

#include <QList>
#include <QString>

#include <optional>

struct Notification;

namespace StudyPaneSubpanes {

// Adds the factories of the bookmark, highlight and four go-to sub-panes to the environment.
void addFactories(StudyPaneEnvironment& env);

// The book pane that is the current region of the current layout (a region of the empty kind):
// its book, section and block. Without such a pane, the environment's active book at section 0.
struct ActiveBook {
    SourceTuple::Ptr book;
    quint64 section = 0;
    quint32 block = SourceTuple::kNoBlock;
};
ActiveBook activeBook(const StudyPaneEnvironment& env);
// The book and place a notification names ("sourceTuple", "section", "block"); no book without one.
ActiveBook notifiedPlace(const Notification* n);

// The book of a library identity; null when the library does not hold it.
SourceTuple::Ptr bookForID(const StudyPaneEnvironment& env, const std::optional<SourceTupleID>& id);

}  // namespace StudyPaneSubpanes
