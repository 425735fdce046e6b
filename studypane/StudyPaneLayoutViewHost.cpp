#include "studypane/StudyPaneLayoutViewHost.h"

#include "panes/layoutview/LayoutView.h"

LayoutView* StudyPaneLayoutViewHost::layoutView() const
{
    for (QWidget* w = m_paneView ? m_paneView->parentWidget() : nullptr; w != nullptr; w = w->parentWidget()) {
        if (auto* view = qobject_cast<LayoutView*>(w))
            return view;
    }
    return nullptr;
}

double StudyPaneLayoutViewHost::studyPaneWidth() const
{
    const LayoutView* view = layoutView();
    return view != nullptr ? view->studyPaneWidth() : 0;
}

bool StudyPaneLayoutViewHost::isStudyPaneVisible() const
{
    const LayoutView* view = layoutView();
    return view != nullptr && view->isStudyPaneVisible();
}

void StudyPaneLayoutViewHost::setShowStudyPane(bool show)
{
    if (LayoutView* view = layoutView())
        view->setShowStudyPane(show);
}

void StudyPaneLayoutViewHost::setStudyPaneWidth(double width)
{
    if (LayoutView* view = layoutView())
        view->setStudyPaneWidth(width);
}
