#include "panes/layoutview/LayoutGoToPanes.h"

#include "library/SourceManager.h"
#include "library/SourceTuple.h"
#include "library/SourceTupleArray.h"
#include "panes/layout/Layout.h"
#include "panes/layout/LayoutHistorySnapshot.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layout/LayoutRegionContentItemDescriptor.h"
#include "panes/layout/LayoutRegionContentItemState.h"
#include "panes/layoutview/LayoutPanes.h"
#include "panes/layoutview/LayoutView.h"

#include <QDesktopServices>

LayoutGoToPanes::LayoutGoToPanes(LayoutManager& manager, SourceManager& library, LayoutView* view)
    : m_manager(manager), m_library(library), m_view(view)
{
}

void LayoutGoToPanes::setWebLinkHandler(std::function<void(const QUrl&, bool)> handler)
{
    m_webLinkHandler = std::move(handler);
}

// --- the current layout ---

QString LayoutGoToPanes::currentLayoutUuid() const
{
    Layout* layout = m_manager.currentLayout();
    return layout ? layout->uuidString() : QString();
}

int LayoutGoToPanes::regionCount() const
{
    Layout* layout = m_manager.currentLayout();
    return layout ? int(layout->regions().size()) : 0;
}

int LayoutGoToPanes::currentRegion() const
{
    Layout* layout = m_manager.currentLayout();
    const quint64 index = layout ? layout->currentRegionIndex() : kLayoutNotFound;
    return index == kLayoutNotFound ? -1 : int(index);
}

LayoutBookPane* LayoutGoToPanes::bookPaneAt(int region) const
{
    Layout* layout = m_manager.currentLayout();
    LayoutRegionContents* contents = layout && region >= 0 ? layout->contentsAt(size_t(region)) : nullptr;
    if (!contents || !contents->kind().isEmpty())
        return nullptr;
    return asBookPane(contents->viewController());
}

bool LayoutGoToPanes::isBookPane(int region) const
{
    return bookPaneAt(region) != nullptr;
}

GoToPanes::Book LayoutGoToPanes::paneCurrentBook(int region) const
{
    LayoutBookPane* pane = bookPaneAt(region);
    return pane ? pane->currentSourceTuple() : nullptr;
}

std::vector<GoToPanes::Book> LayoutGoToPanes::paneTabBooks(int region) const
{
    std::vector<Book> books;
    if (!bookPaneAt(region))
        return books;
    LayoutRegionContents* contents = m_manager.currentLayout()->contentsAt(size_t(region));
    auto all = m_library.allSources();
    for (const auto& item : contents->items()) {
        const LayoutRegionContentItemDescriptor* descriptor = item->bookDescriptor();
        books.push_back(descriptor && all ? all->tupleForSourceTupleID(descriptor->sourceTupleID()) : nullptr);
    }
    return books;
}

bool LayoutGoToPanes::paneDoesNotSendLocationSync(int region) const
{
    LayoutBookPane* pane = bookPaneAt(region);
    if (!pane)
        return false;
    if (pane->paneDoesNotSendLocationSync())
        return true;
    const LayoutRegionContentItemState* state = pane->currentSourceState();
    return state && state->doesNotSendLocationSync();
}

void LayoutGoToPanes::goTo(int region, GoToRequest& request)
{
    if (LayoutBookPane* pane = bookPaneAt(region))
        pane->goTo(request);
}

void LayoutGoToPanes::prepareGoTo(int region, const GoToRequest& request)
{
    if (LayoutBookPane* pane = bookPaneAt(region))
        pane->prepareGoTo(request);
}

void LayoutGoToPanes::makePaneCurrent(int region)
{
    LayoutBookPane* pane = bookPaneAt(region);
    if (pane && m_view)
        m_view->makePaneCurrentWithView(pane->paneView());
}

void LayoutGoToPanes::showBusyIndicator(bool show)
{
    if (m_view)
        m_view->setBusyIndicatorRunning(show);
}

void LayoutGoToPanes::openWebLink(const QUrl& url, bool inAppWindow)
{
    if (m_webLinkHandler)
        m_webLinkHandler(url, inAppWindow);
    else
        QDesktopServices::openUrl(url);
}

// --- any layout, by uuid ---

bool LayoutGoToPanes::hasLayout(const QString& layoutUuid) const
{
    return m_manager.layoutWithUuid(layoutUuid) != nullptr;
}

int LayoutGoToPanes::layoutRegionCount(const QString& layoutUuid) const
{
    Layout* layout = m_manager.layoutWithUuid(layoutUuid);
    return layout ? int(layout->regions().size()) : 0;
}

bool LayoutGoToPanes::paneShouldCaptureHistory(const QString& layoutUuid, int region)
{
    Layout* layout = m_manager.layoutWithUuid(layoutUuid);
    LayoutRegionContents* contents = layout && region >= 0 ? layout->contentsAt(size_t(region)) : nullptr;
    return contents && contents->viewController() && contents->viewController()->shouldCaptureHistory();
}

void LayoutGoToPanes::paneWillCaptureHistory(const QString& layoutUuid, int region)
{
    Layout* layout = m_manager.layoutWithUuid(layoutUuid);
    LayoutRegionContents* contents = layout && region >= 0 ? layout->contentsAt(size_t(region)) : nullptr;
    if (contents && contents->viewController())
        contents->viewController()->willCaptureHistory();
}

QVariant LayoutGoToPanes::archivedLayout(const QString& layoutUuid)
{
    Layout* layout = m_manager.layoutWithUuid(layoutUuid);
    return layout ? layout->encode() : QVariant();
}

bool LayoutGoToPanes::restoreLayout(const QString& layoutUuid, const QVariant& archived)
{
    Layout* restored = LayoutHistorySnapshot::restore(m_manager, layoutUuid, archived);
    if (!restored)
        return false;
    if (restored == m_manager.currentLayout() && m_view)
        m_view->setCurrentLayout(restored);
    for (const auto& contents : restored->contents()) {
        if (auto* controller = contents->viewController())
            controller->willCaptureHistory();
    }
    return true;
}

bool LayoutGoToPanes::showSamePlaces(const QVariant& archivedA, const QVariant& archivedB)
{
    return LayoutHistorySnapshot::showSamePlaces(archivedA, archivedB);
}
