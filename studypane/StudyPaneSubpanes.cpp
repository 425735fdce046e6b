#include "studypane/StudyPaneSubpanes.h"

#include "library/GoToRequest.h"
#include "library/SourceManager.h"
#include "library/SourceTupleArray.h"
#include "panes/layout/Layout.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layout/LayoutRegionContents.h"
#include "panes/layoutview/LayoutPanes.h"
#include "studypane/StudyPaneBibleGotoViewController.h"
#include "studypane/StudyPaneBookGotoViewController.h"
#include "studypane/StudyPaneBookmarksViewController.h"
#include "studypane/StudyPaneDevoGotoViewController.h"
#include "studypane/StudyPaneHighlightsViewController.h"
#include "studypane/StudyPaneViewController.h"

namespace StudyPaneSubpanes {

void addFactories(StudyPaneEnvironment& env)
{
    using Pane = StudyPaneViewController;
    auto& factories = env.subpaneFactories;
    factories[Pane::kBookmarksSubpane] = StudyPaneSubpane::factoryFor<StudyPaneBookmarksViewController>();
    factories[Pane::kHighlightsSubpane] = StudyPaneSubpane::factoryFor<StudyPaneHighlightsViewController>();
    factories[Pane::kBibleGotoSubpane] = StudyPaneSubpane::factoryFor<StudyPaneBibleGotoViewController>();
    factories[Pane::kBookGotoSubpane] = StudyPaneBookGotoViewController::factory(true);
    factories[Pane::kDevoGotoSubpane] = StudyPaneSubpane::factoryFor<StudyPaneDevoGotoViewController>();
    factories[Pane::kOtherGotoSubpane] = StudyPaneBookGotoViewController::factory(false);
}

ActiveBook notifiedPlace(const Notification* n)
{
    ActiveBook out;
    if (n == nullptr)
        return out;
    out.book = bookFromVariant(n->userInfo.value(QStringLiteral("sourceTuple")));
    out.section = n->userInfo.value(QStringLiteral("section")).toULongLong();
    if (n->userInfo.contains(QStringLiteral("block")))
        out.block = quint32(n->userInfo.value(QStringLiteral("block")).toLongLong());
    return out;
}

ActiveBook activeBook(const StudyPaneEnvironment& env)
{
    ActiveBook out;
    const Layout* layout = env.layoutManager ? env.layoutManager->currentLayout() : nullptr;
    const LayoutRegionContents* contents = layout ? layout->currentRegionContents() : nullptr;
    if (contents != nullptr && contents->kind().isEmpty()) {
        if (auto* pane = dynamic_cast<LayoutBookPane*>(contents->viewController())) {
            out.book = pane->currentSourceTuple();
            if (out.book) {
                out.section = pane->currentSourceSection();
                const qint64 block = pane->currentSourceBlock();
                out.block = block < 0 || block > qint64(SourceTuple::kNoBlock) ? SourceTuple::kNoBlock : quint32(block);
            }
            return out;
        }
    }
    if (env.activeBook)
        out.book = env.activeBook();
    return out;
}

SourceTuple::Ptr bookForID(const StudyPaneEnvironment& env, const std::optional<SourceTupleID>& id)
{
    if (!id || !id->isValid() || env.library == nullptr)
        return nullptr;
    const SourceTupleArray::Ptr all = env.library->allSources();
    return all ? all->tupleForSourceTupleID(*id) : nullptr;
}

}  // namespace StudyPaneSubpanes
