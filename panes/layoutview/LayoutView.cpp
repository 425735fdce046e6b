#include "panes/layoutview/LayoutView.h"

#include "library/QSHTMLColors.h"
#include "panes/layout/Layout.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layout/PaneNotifications.h"
#include "panes/layoutview/LayoutPanes.h"
#include "panes/layoutview/LayoutViewController.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"
#include "platform/ui/SchemePalette.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QScreen>

#include <algorithm>
#include <cmath>

LayoutView::LayoutView(LayoutManager& manager, NotificationCenter& center, UserDefaults& defaults, QWidget* parent)
    : QWidget(parent), m_manager(manager), m_center(center), m_defaults(defaults)
{
    setObjectName(QStringLiteral("LayoutView"));
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    SchemePalette::apply(this, m_defaults.value(SettingsKeys::BackColor), m_defaults.value(SettingsKeys::TextColor));
}

void LayoutView::displaySettingsChanged()
{
    SchemePalette::apply(this, m_defaults.value(SettingsKeys::BackColor), m_defaults.value(SettingsKeys::TextColor));
    update();
}

LayoutView::~LayoutView()
{
    // The pane controllers own their widgets: they must not die with this view.
    releasePaneViews();
}

void LayoutView::releasePaneViews()
{
    for (auto& view : m_paneViews) {
        if (view) {
            view->hide();
            view->setParent(nullptr);
        }
    }
    m_paneViews.clear();
}

Layout* LayoutView::currentLayout() const
{
    return m_manager.currentLayout();
}

LayoutRect LayoutView::viewBounds() const
{
    return LayoutRect {0, 0, double(width()), double(height())};
}

void LayoutView::setCurrentLayout(Layout* layout)
{
    if (layout && !m_manager.setCurrentLayout(layout))
        return;
    m_draggingDiv = nullptr;
    addSubviewsForCurrentLayout();
    Layout* current = currentLayout();
    if (current && width() > 0 && height() > 0)
        current->resizeLayoutIntoRect(viewBounds());
    layoutSubviews();
    if (current && current->currentRegion())
        makePaneCurrentWithRegion(current->currentRegion());
    update();
}

void LayoutView::refreshDisplay()
{
    setCurrentLayout(currentLayout());
    layoutSubviews();
    update();
}

void LayoutView::createDefaultLayoutInRect(const LayoutRect& rect)
{
    Layout* layout = m_manager.addLayoutWithDescriptor(QStringLiteral("H1"), rect, QString());
    setCurrentLayout(layout);
}

void LayoutView::addSubviewsForCurrentLayout()
{
    Layout* layout = currentLayout();
    m_shownLayout = layout;
    std::vector<QPointer<QWidget>> views;
    if (layout) {
        for (const auto& contents : layout->contents()) {
            const bool study = contents->kind() == LayoutRegionContents::kStudyKind;
            const bool book = contents->kind().isEmpty();
            if (!contents->viewController() && m_factory) {
                if (book)
                    contents->setViewController(m_factory->makeBookPane(*contents));
                else if (study)
                    contents->setViewController(m_factory->makeStudyPane(*contents));
            }
            if (book && !contents->state())
                contents->setState(std::make_unique<LayoutRegionContentsState>());
            QWidget* view = nullptr;
            if (LayoutBookPane* pane = asBookPane(contents->viewController()))
                view = pane->paneView();
            else if (LayoutStudyPane* pane = asStudyPane(contents->viewController()))
                view = pane->paneView();
            if (view)
                views.emplace_back(view);
        }
    }
    // The views that leave go first, as before any other is shown. A view that stays in the layout
    // stays where it is: taking a web view out of its window and back moves its page (the engine
    // loses its scroll offset).
    for (auto& view : m_paneViews) {
        if (view && std::find(views.begin(), views.end(), view) == views.end()) {
            view->hide();
            view->setParent(nullptr);
        }
    }
    m_paneViews = std::move(views);
    bool joined = false;
    for (auto& view : m_paneViews) {
        if (view->parentWidget() != this) {
            view->setParent(this);
            joined = true;
        }
        view->show();
    }
    if (joined)
        SchemePalette::apply(
            this, m_defaults.value(SettingsKeys::BackColor), m_defaults.value(SettingsKeys::TextColor));
    busyIndicator()->raise();
    if (!isBusyIndicatorRunning())
        m_busyIndicator->hide();
    updateMinimumSize();
}

void LayoutView::updateMinimumSize()
{
    Layout* layout = currentLayout();
    if (!layout)
        return;
    // The layout's minimum changes with its regions and with the study pane's width (a hidden one
    // needs no room); the window's minimum is this one with what the window shows around it, which
    // the window's layouts add.
    // Never more than the screen offers: a window held larger than its screen puts panes out of
    // reach (the panes then share what there is, below their minimums).
    const LayoutSize min = layout->minSize();
    QSize reach(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    if (const QScreen* s = screen())
        reach = s->availableGeometry().size().boundedTo(reach);
    const auto bounded = [](double v, int most) {
        return std::isfinite(v) && v > 0 ? int(std::min(std::ceil(v), double(std::max(most, 0)))) : 0;
    };
    const QSize size(bounded(min.width, reach.width()), bounded(min.height, reach.height()));
    if (size != minimumSize())
        setMinimumSize(size);
}

LayoutRect LayoutView::adjustedBoundsForRegion(const LayoutRegion* region) const
{
    Layout* layout = currentLayout();
    if (!region || !layout)
        return {};
    LayoutRect r = region->bounds();
    const LayoutRect lb = layout->bounds();
    // Exact comparisons: a side on the layout's edge is the edge's own number.
    if (r.x != lb.x && !(region->left() && region->left()->treatAsOutside())) {
        r.x += 1.5;
        r.width -= 1.5;
    }
    if (r.y + r.height != lb.y + lb.height && !(region->top() && region->top()->treatAsOutside()))
        r.height -= 1.5;
    if (r.x + r.width != lb.x + lb.width && !(region->right() && region->right()->treatAsOutside()))
        r.width -= 1.5;
    if (r.y != lb.y && !(region->bottom() && region->bottom()->treatAsOutside())) {
        r.y += 1.5;
        r.height -= 1.5;
    }
    return r;
}

QRect LayoutView::widgetRectForModelRect(const LayoutRect& rect) const
{
    const double h = height();
    // Bounded before the conversion: a double beyond int's range has no int value.
    const auto whole = [](double v) {
        return std::isfinite(v) ? int(std::clamp(std::round(v), -double(QWIDGETSIZE_MAX), double(QWIDGETSIZE_MAX))) : 0;
    };
    const int left = whole(rect.left());
    const int right = whole(rect.right());
    const int top = whole(h - rect.top());
    const int bottom = whole(h - rect.bottom());
    return QRect(left, top, std::max(0, right - left), std::max(0, bottom - top));
}

LayoutPoint LayoutView::modelPointForWidgetPoint(const QPointF& point) const
{
    return LayoutPoint {point.x(), double(height()) - point.y()};
}

void LayoutView::layoutSubviews()
{
    updateMinimumSize();
    Layout* layout = currentLayout();
    if (layout) {
        for (size_t i = 0; i < layout->regions().size(); ++i) {
            LayoutRegion* region = layout->regionAt(i);
            LayoutRegionContents* contents = layout->contentsAt(i);
            if (!contents)
                continue;
            const QRect frame = widgetRectForModelRect(adjustedBoundsForRegion(region));
            if (LayoutBookPane* pane = asBookPane(contents->viewController())) {
                if (QWidget* view = pane->paneView())
                    view->setGeometry(frame);
            } else if (LayoutStudyPane* pane = asStudyPane(contents->viewController())) {
                if (QWidget* view = pane->paneView())
                    view->setGeometry(frame);
                if (adjustedBoundsForRegion(region).width < kStudyPaneVisibleWidth)
                    pane->hidePaneContents();
                else
                    pane->showHiddenPaneContents();
            }
        }
    }
    if (width() > 0 && height() > 0 && m_busyIndicator) {
        const QSize size = m_busyIndicator->sizeHint().boundedTo(QSize(160, 24)).expandedTo(QSize(120, 16));
        m_busyIndicator->setGeometry(QRect(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size));
    }
}

// --- study pane ---

quint64 LayoutView::studyPaneRegionIndex() const
{
    Layout* layout = currentLayout();
    return layout ? layout->firstRegionIndexWithKind(LayoutRegionContents::kStudyKind) : kLayoutNotFound;
}

double LayoutView::studyPaneWidth() const
{
    Layout* layout = currentLayout();
    LayoutRegion* region = layout ? layout->regionAt(studyPaneRegionIndex()) : nullptr;
    if (!region || !region->left() || !region->right())
        return 0;
    return region->right()->at() - region->left()->at();
}

bool LayoutView::isStudyPaneVisible() const
{
    return studyPaneWidth() >= kStudyPaneVisibleWidth;
}

void LayoutView::setShowStudyPane(bool show)
{
    if (show == isStudyPaneVisible())
        return;
    setStudyPaneWidth(show ? LayoutViewController::defaultStudyPaneWidth() : kHiddenStudyPaneWidth);
}

void LayoutView::setStudyPaneWidth(double newWidth)
{
    Layout* layout = currentLayout();
    if (!layout || studyPaneRegionIndex() == kLayoutNotFound)
        return;
    postResize(false);
    const LayoutRect bounds = layout->bounds();
    const double current = studyPaneWidth();
    double width = newWidth;
    LayoutRect fitted = bounds;
    const LayoutRegion* study = layout->regionAt(studyPaneRegionIndex());
    if (newWidth > current && study->right()) {
        const LayoutDivider* top = layout->outerDivider(LayoutRegion::Top);
        const LayoutDivider* right = layout->outerDivider(LayoutRegion::Right);
        const LayoutDivider* bottom = layout->outerDivider(LayoutRegion::Bottom);
        // What the book panes right of the study pane need at the least.
        const double books = layout->minSizeOfRegionsBoundedByTop(top, right, bottom, study->right()).width;
        const double room = bounds.width - books;
        if (width > room)
            width = std::max({room, std::min(newWidth, kStudyPaneVisibleWidth), current});
        fitted.width = std::max(bounds.width, layoutRound(width + books));
    }
    const double delta = width - current;
    const double leftEdge = layoutRound(bounds.left());
    for (const auto& divider : layout->dividers()) {
        if (!divider->vertical())
            continue;
        if (divider->treatAsOutside() || layoutRound(divider->at()) != leftEdge)
            divider->setAt(divider->at() + delta);
    }
    layout->resizeLayoutIntoRect(fitted, true);  // the book panes make room for the new width
    // The minimum follows the layout's, so a window too narrow for it grows.
    layoutSubviews();
    update();
    postResize(true);
}

LayoutStudyPane* LayoutView::studyPane() const
{
    Layout* layout = currentLayout();
    LayoutRegionContents* contents = layout ? layout->contentsAt(studyPaneRegionIndex()) : nullptr;
    return contents ? asStudyPane(contents->viewController()) : nullptr;
}

SearchResultsAggregator* LayoutView::searchResultsAggregatorForTuple(const SourceTupleID& id)
{
    LayoutStudyPane* pane = studyPane();
    return pane ? pane->searchResultsAggregatorForTuple(id) : nullptr;
}

void LayoutView::makeStudySubpaneCurrent(int slot)
{
    if (LayoutStudyPane* pane = studyPane())
        pane->makeSubpaneCurrent(slot);
}

// --- current pane ---

void LayoutView::makePaneCurrentWithView(QWidget* view)
{
    Layout* layout = currentLayout();
    if (!layout || !view)
        return;
    LayoutRegion* match = nullptr;
    for (size_t i = 0; i < layout->contents().size(); ++i) {
        LayoutBookPane* pane =
            layout->contentsAt(i)->kind().isEmpty() ? asBookPane(layout->contentsAt(i)->viewController()) : nullptr;
        if (pane && pane->paneView() == view && !match)
            match = layout->regionAt(i);
    }
    if (!match)
        return;
    layout->setCurrentRegion(match);
    for (size_t i = 0; i < layout->contents().size(); ++i) {
        LayoutRegionContents* contents = layout->contentsAt(i);
        if (contents->kind().isEmpty() && contents->viewController())
            contents->viewController()->makeYourselfCurrent(layout->regionAt(i) == match);
    }
}

void LayoutView::makePaneCurrentWithRegion(LayoutRegion* region)
{
    Layout* layout = currentLayout();
    if (!layout || layout->indexOfRegion(region) == kLayoutNotFound)
        return;
    layout->setCurrentRegion(region);
    for (size_t i = 0; i < layout->contents().size(); ++i) {
        if (auto* controller = layout->contentsAt(i)->viewController())
            controller->makeYourselfCurrent(layout->regionAt(i) == region);
    }
}

// --- busy indicator ---

QProgressBar* LayoutView::busyIndicator()
{
    if (!m_busyIndicator) {
        m_busyIndicator = new QProgressBar(this);
        m_busyIndicator->setObjectName(QStringLiteral("busyIndicator"));
        m_busyIndicator->setRange(0, 0);  // indeterminate: the style animates it
        m_busyIndicator->setTextVisible(false);
        m_busyIndicator->hide();
    }
    return m_busyIndicator;
}

void LayoutView::setBusyIndicatorRunning(bool running)
{
    // A modal alert or dialog is what the reader waits on then: the indicator does not show behind it.
    if (running && QApplication::activeModalWidget() != nullptr)
        return;
    busyIndicator()->setVisible(running);
    if (running) {
        m_busyIndicator->raise();
        layoutSubviews();
    }
}

bool LayoutView::isBusyIndicatorRunning() const
{
    return m_busyIndicator && !m_busyIndicator->isHidden();
}

// --- drawing and events ---

void LayoutView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const auto back = QSHTMLColors::colorFromHTMLColorString(m_defaults.value(SettingsKeys::BackColor));
    painter.fillRect(event->rect(), back.toQColor());
    Layout* layout = currentLayout();
    if (!layout)
        return;
    QPainterPath path;
    for (size_t i = 4; i < layout->dividers().size(); ++i) {
        const LayoutDivider* divider = layout->dividerAt(i);
        if (divider->treatAsOutside())
            continue;
        const LayoutPoint a = divider->startPoint();
        const LayoutPoint b = divider->endPoint();
        path.moveTo(a.x, height() - a.y);
        path.lineTo(b.x, height() - b.y);
    }
    if (path.isEmpty())
        return;
    const auto text = QSHTMLColors::colorFromHTMLColorString(m_defaults.value(SettingsKeys::TextColor));
    const auto line = QSHTMLColors::colorByMultiplyingBy(text, QSHTMLColors::minMultiplier(text));
    QPen pen(line.toQColor(), kDividerLineWidth, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    painter.setPen(pen);
    painter.drawPath(path);
}

void LayoutView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (event->size() == event->oldSize())
        return;
    if (!currentLayout())
        createDefaultLayoutInRect(viewBounds());
    else
        currentLayout()->resizeLayoutIntoRect(viewBounds());
    layoutSubviews();
}

LayoutDivider* LayoutView::innerDividerAt(const LayoutPoint& point, bool useBand) const
{
    Layout* layout = currentLayout();
    if (!layout || layout->dividers().size() <= 4)
        return nullptr;
    for (size_t i = 4; i < layout->dividers().size(); ++i) {
        LayoutDivider* divider = layout->dividerAt(i);
        if (useBand) {
            const LayoutRect b = divider->bounds();
            if (point.x >= b.left() && point.x <= b.right() && point.y >= b.bottom() && point.y <= b.top())
                return divider;
        } else if (divider->pointIsOnDivider(point)) {
            return divider;
        }
    }
    return nullptr;
}

void LayoutView::postResize(bool did)
{
    Layout* layout = currentLayout();
    QVariantMap info;
    info.insert(QStringLiteral("layoutUuid"), layout ? layout->uuidString() : QString());
    m_center.postNotificationName(did ? PaneNotifications::LayoutDidResizePanesNotification
                                      : PaneNotifications::LayoutWillResizePanesNotification,
        nullptr, info);
}

void LayoutView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    LayoutDivider* divider = innerDividerAt(modelPointForWidgetPoint(event->position()), false);
    if (!divider)
        return;
    postResize(false);
    m_draggingDiv = divider;
    setCursor(divider->vertical() ? Qt::SplitHCursor : Qt::SplitVCursor);
}

void LayoutView::mouseMoveEvent(QMouseEvent* event)
{
    const LayoutPoint point = modelPointForWidgetPoint(event->position());
    Layout* layout = currentLayout();
    if (m_draggingDiv && layout) {
        // A move past a pane's limit takes the divider to the limit.
        const std::optional<LayoutPoint> to = layout->nearestDragPoint(m_draggingDiv, point);
        if (to && (m_draggingDiv->vertical() ? to->x : to->y) != m_draggingDiv->at()) {
            m_draggingDiv->dragToPoint(*to);
            layoutSubviews();
            update();
        }
        return;
    }
    // Cursor feedback over every inner divider's band.
    if (LayoutDivider* divider = innerDividerAt(point, true))
        setCursor(divider->vertical() ? Qt::SplitHCursor : Qt::SplitVCursor);
    else
        unsetCursor();
}

void LayoutView::mouseReleaseEvent(QMouseEvent* event)
{
    Q_UNUSED(event);
    const bool wasDragging = m_draggingDiv != nullptr;
    m_draggingDiv = nullptr;
    unsetCursor();
    if (wasDragging)
        postResize(true);
}
