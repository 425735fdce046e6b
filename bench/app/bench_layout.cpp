// qs_bench_layout: writes a screen layout archive for a reader that has not started yet, so that a
// benchmark can open the reader on a layout the pane-arrangement sheet does not offer (six book
// panes, for the screen comparison with six Bibles showing at once).
//
//   qs_bench_layout ARCHIVE DESCRIPTOR BOOK.tvk...
//
// DESCRIPTOR is a layout descriptor ("V33": two columns of three panes); the study pane is added at
// the left as a new layout gets it. Each book pane, in region order, gets one tab with the books
// given, in turn (the first book again after the last), at the book's first section; the first
// book pane is the current one. The books' identities are read from the files, which are opened and
// left untouched. Exit status 0, or 1 with the reason on standard error.
#include "library/SourceTuple.h"
#include "panes/layout/Layout.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layout/LayoutRegion.h"
#include "panes/layout/LayoutRegionContentItemDescriptor.h"
#include "panes/layout/LayoutRegionContentItemState.h"
#include "panes/layout/LayoutRegionContents.h"
#include "panes/layoutview/LayoutViewController.h"
#include "platform/NotificationCenter.h"

#include <QCoreApplication>

#include <cstdio>
#include <memory>
#include <vector>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: qs_bench_layout ARCHIVE DESCRIPTOR BOOK.tvk...\n");
        return 2;
    }
    std::vector<SourceTuple::Ptr> books;
    for (qsizetype i = 3; i < args.size(); ++i) {
        QString reason;
        auto doc = SourceTuple::allocateSourceForFile(args[i], &reason);
        if (doc == nullptr) {
            std::fprintf(stderr, "qs_bench_layout: %s: %s\n", qPrintable(args[i]), qPrintable(reason));
            return 1;
        }
        books.push_back(SourceTuple::sourceTupleForSource(std::move(doc)));
    }

    NotificationCenter center;
    LayoutManager manager(center);
    const LayoutRect window {0, 0, 1600, 1000};
    Layout* layout = manager.addLayoutWithDescriptor(args[2], window, QString());
    if (layout == nullptr) {
        std::fprintf(stderr, "qs_bench_layout: '%s' is no layout descriptor\n", qPrintable(args[2]));
        return 1;
    }
    const size_t bookRegions = layout->regions().size();
    if (LayoutRegion* study = layout->addRegionWithDimension(
            LayoutViewController::defaultStudyPaneWidth(), LayoutRegion::Left, LayoutRegionContents::kStudyKind, true))
        study->setMinSize({6, study->minSize().height});
    for (size_t i = 0; i < bookRegions; ++i) {
        LayoutRegionContents* contents = layout->contentsForRegion(layout->regions()[i].get());
        if (contents == nullptr || !contents->kind().isEmpty())
            continue;
        const SourceTuple& book = *books[i % books.size()];
        auto state = std::make_unique<LayoutRegionContentItemState>();
        state->setSection(1);
        contents->items().push_back(std::make_unique<LayoutRegionContentItem>(
            std::make_unique<LayoutRegionContentItemDescriptor>(
                SourceTupleID::sourceTupleIDForTuple(book), book.record().abbr, book.record().name),
            std::move(state)));
        contents->setCurrentItemIndex(0);
    }
    layout->setCurrentRegion(layout->regions().front().get());
    manager.setCurrentLayout(layout);
    if (!manager.writeArchive(args[1])) {
        std::fprintf(stderr, "qs_bench_layout: %s cannot be written\n", qPrintable(args[1]));
        return 1;
    }
    return 0;
}
