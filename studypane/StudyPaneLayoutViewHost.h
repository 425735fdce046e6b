// The study pane's hold on the layout view it sits in: its width, whether it is visible, showing and
// hiding it, and a new width after a drag of its edge box. The width of a study pane is the width of
// its layout's study region, so it is kept in the layout's dividers and comes back with the layout
// archive; the user's dragged width is kept apart in the study pane's archived state.
//
// The host looks for the layout view among the ancestors of the study pane's view at every call (the
// view is placed in a layout view only once the layout is shown, and moves when layouts change); with
// none, the width reads 0 and changes are dropped. Not owning; main thread only.
#pragma once

#include "studypane/StudyPaneEnvironment.h"

#include <QPointer>
#include <QWidget>

class LayoutView;

class StudyPaneLayoutViewHost final : public StudyPaneLayoutHost {
public:
    explicit StudyPaneLayoutViewHost(QWidget* paneView) : m_paneView(paneView) { }

    // The layout view holding the pane's view; null when it is in none.
    LayoutView* layoutView() const;

    double studyPaneWidth() const override;
    bool isStudyPaneVisible() const override;
    void setShowStudyPane(bool show) override;
    void setStudyPaneWidth(double width) override;

private:
    QPointer<QWidget> m_paneView;
};
