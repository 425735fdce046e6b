// The main window's pane area: shows the layout manager's current layout with one pane widget per
// region, placed where the layout model says and inset so that 3-point divider lines show between
// panes; draws the inner dividers, lets the user drag them within the layout's size limits, sizes
// and shows or hides the study pane, hosts the busy indicator and passes the study sub-pane
// commands on to the study pane.
//
// The layout model counts points with y growing upwards; this view is the only place that flips
// them into widget coordinates (widget y = view height − model top). The model's rectangle is
// always (0, 0, width, height) of this view.
//
// The region contents own their pane controllers and the controllers own their widgets; this view
// makes missing controllers through the installed LayoutPaneFactory, parents and places their
// widgets and lets go of them again (on a layout change and when it is destroyed). Posts
// LayoutWillResizePanesNotification / LayoutDidResizePanesNotification ({"layoutUuid"}) on its
// centre around divider drags and study-pane width changes. Main thread only.
#pragma once

#include "panes/layout/LayoutRect.h"

#include <QPointer>
#include <QWidget>

#include <memory>
#include <vector>

class Layout;
class LayoutDivider;
class LayoutManager;
class LayoutPaneFactory;
class LayoutRegion;
class LayoutStudyPane;
class NotificationCenter;
class QProgressBar;
class SearchResultsAggregator;
class SourceTupleID;
class UserDefaults;

class LayoutView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kTag = 102359;
    // A study pane at least this wide shows its contents and counts as visible.
    static constexpr double kStudyPaneVisibleWidth = 100;
    // The width of a hidden study pane (a sliver that can still be dragged open).
    static constexpr double kHiddenStudyPaneWidth = 6;
    static constexpr double kDividerLineWidth = 3;

    LayoutView(LayoutManager& manager, NotificationCenter& center, UserDefaults& defaults, QWidget* parent = nullptr);
    ~LayoutView() override;

    int tag() const { return kTag; }
    // Draws again in the page colours of the display settings; the panes' own controls, which stand
    // on the page background, take labels that read on it.
    void displaySettingsChanged();
    // The factory that makes the controllers of regions that have none (not owned; may be null:
    // such regions then stay empty).
    void setPaneFactory(LayoutPaneFactory* factory) { m_factory = factory; }
    LayoutPaneFactory* paneFactory() const { return m_factory; }

    Layout* currentLayout() const;
    // The layout whose panes the view holds now (compare only; it may have been deleted since).
    const Layout* shownLayout() const { return m_shownLayout; }
    // Makes the layout current in the layout manager, rebuilds the pane widgets, fits the layout
    // into this view and places the panes; the layout's current region becomes the current pane.
    void setCurrentLayout(Layout* layout);
    // setCurrentLayout with the current layout again (after a region was added or removed).
    void refreshDisplay();
    // A one-region layout ("H1", book-pane kind) in the rectangle, made current.
    void createDefaultLayoutInRect(const LayoutRect& rect);

    // --- study pane ---
    quint64 studyPaneRegionIndex() const;  // kLayoutNotFound when none
    double studyPaneWidth() const;         // 0 when there is no study region
    bool isStudyPaneVisible() const;
    // true: a hidden study pane gets the default width; false: a visible one gets 6 points.
    void setShowStudyPane(bool show);
    // The book panes never go under their minimum widths for the study pane: a wider study pane
    // takes what they can give (a shown one no less than it needs to show), and for what is still
    // missing the layout grows and, with the minimum raised, the window with it.
    void setStudyPaneWidth(double width);
    LayoutStudyPane* studyPane() const;
    SearchResultsAggregator* searchResultsAggregatorForTuple(const SourceTupleID& id);
    // Shows a sub-pane of the study pane by its slot (see LayoutStudyPane); nothing without one.
    void makeStudySubpaneCurrent(int slot);

    // --- current pane ---
    // Among book panes only: the one showing this widget becomes current; every book pane is told.
    void makePaneCurrentWithView(QWidget* view);
    // The region becomes current; every pane, the study pane included, is told.
    void makePaneCurrentWithRegion(LayoutRegion* region);

    // --- geometry ---
    // The frame of the region's pane in model points (y up).
    LayoutRect adjustedBoundsForRegion(const LayoutRegion* region) const;
    // The same in widget pixels: every edge rounded to the nearest point, y flipped.
    QRect widgetRectForModelRect(const LayoutRect& rect) const;
    LayoutPoint modelPointForWidgetPoint(const QPointF& point) const;
    // Places the panes in their regions' bounds; the view's minimum size follows the layout's.
    void layoutSubviews();
    void addSubviewsForCurrentLayout();
    // The view's minimum size is the current layout's minSize (the window adds what is around it).
    void updateMinimumSize();

    QProgressBar* busyIndicator();
    void setBusyIndicatorRunning(bool running);
    bool isBusyIndicatorRunning() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    LayoutRect viewBounds() const;
    void postResize(bool did);
    void releasePaneViews();
    LayoutDivider* innerDividerAt(const LayoutPoint& point, bool useBand) const;

    LayoutManager& m_manager;
    NotificationCenter& m_center;
    UserDefaults& m_defaults;
    LayoutPaneFactory* m_factory = nullptr;
    LayoutDivider* m_draggingDiv = nullptr;
    const Layout* m_shownLayout = nullptr;
    QProgressBar* m_busyIndicator = nullptr;
    std::vector<QPointer<QWidget>> m_paneViews;
};
