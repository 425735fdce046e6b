#include "studypane/StudyPaneView.h"
#include "platform/ui/ContentTextDocument.h"

#include "library/QSHTMLColors.h"
#include "panes/layout/Layout.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layout/PaneNotifications.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"
#include "studypane/StudyPaneViewController.h"

#include <QApplication>
#include <QFrame>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>

#include <algorithm>

namespace {

// The box at the right edge: its mouse events go to the view, in the view's coordinates.
class EdgeBox : public QFrame {
public:
    explicit EdgeBox(StudyPaneView* view) : QFrame(view), m_view(view)
    {
        setCursor(Qt::SizeHorCursor);
        setToolTip(QStringLiteral("Drag to resize the study pane; click to show or hide it"));
    }

protected:
    void mousePressEvent(QMouseEvent* e) override
    {
        if (e->button() == Qt::LeftButton)
            m_view->boxPressed(mapTo(m_view, e->position().toPoint()));
    }
    void mouseMoveEvent(QMouseEvent* e) override { m_view->boxDragged(mapTo(m_view, e->position().toPoint())); }
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        if (e->button() == Qt::LeftButton)
            m_view->boxReleased();
    }
    void paintEvent(QPaintEvent*) override
    {
        const UserDefaults* defaults = m_view->viewController()->environment().defaults;
        const QString text = defaults ? defaults->value(SettingsKeys::TextColor) : QString();
        const QSHTMLColors::Color base =
            QSHTMLColors::colorFromHTMLColorString(text.isEmpty() ? QStringLiteral("#000000") : text);
        const QColor border = QSHTMLColors::colorByMultiplyingBy(base, QSHTMLColors::maxMultiplier(base)).toQColor();
        const QColor fill = QSHTMLColors::colorByMultiplyingBy(base, QSHTMLColors::minMultiplier(base)).toQColor();
        QPainter p(this);
        p.fillRect(rect(), fill);
        p.setPen(border);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }

private:
    StudyPaneView* m_view;
};

}  // namespace

QList<qint64> StudyPaneView::defaultRowOrder()
{
    QList<qint64> out;
    for (const StudyPaneTabs::Tab& tab : StudyPaneTabs::all())
        out.append(tab.id);
    return out;
}

QToolButton* StudyPaneView::button(qint64 tab) const
{
    const auto tabs = StudyPaneTabs::all();
    for (size_t i = 0; i < tabs.size(); ++i) {
        if (tabs[i].id == tab)
            return m_buttons[i];
    }
    return nullptr;
}

StudyPaneView::StudyPaneView(StudyPaneViewController* controller, QWidget* parent)
    : QWidget(parent), m_controller(controller)
{
    setObjectName(QStringLiteral("StudyPaneView"));
    for (const StudyPaneTabs::Tab& tab : StudyPaneTabs::all()) {
        auto* b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(tab.buttonName));
        b->setText(QString::fromUtf8(tab.label));
        b->setToolTip(ContentTextDocument::plainToolTip(QString::fromUtf8(tab.tooltip)));
        b->setAutoRaise(true);
        b->setCheckable(false);
        b->installEventFilter(this);
        m_buttons.push_back(b);
    }
    m_buttonFrames.resize(m_buttons.size());
    m_moreMenuButton = new QToolButton(this);
    m_moreMenuButton->setObjectName(QStringLiteral("moreMenuButton"));
    m_moreMenuButton->setText(QStringLiteral("\u00BB"));
    m_moreMenuButton->setToolTip(QStringLiteral("More study tools"));
    m_moreMenuButton->setAutoRaise(true);
    m_moreMenuButton->hide();
    m_box = new EdgeBox(this);
    m_box->setObjectName(QStringLiteral("expandContractBox"));
    setRowOrder(defaultRowOrder());
}

void StudyPaneView::setRowOrder(const QList<qint64>& tabs)
{
    const auto all = StudyPaneTabs::all();
    m_row.clear();
    for (qint64 tab : tabs) {
        const auto row = std::ranges::find(all, tab, &StudyPaneTabs::Tab::id);
        const size_t b = size_t(row - all.begin());
        if (row != all.end() && !m_row.contains(b))
            m_row.append(b);
    }
    for (size_t b = 0; b < all.size(); ++b) {
        if (!m_row.contains(b))
            m_row.append(b);
    }
    int x = 4;
    for (size_t b : m_row) {
        const QSize hint = m_buttons[b]->sizeHint();
        m_buttonFrames[b] = QRect(x, (kButtonRowHeight - hint.height()) / 2, hint.width(), hint.height());
        x += hint.width() + 2;
    }
    layoutButtonRow();
}

QList<qint64> StudyPaneView::rowOrder() const
{
    QList<qint64> out;
    for (size_t b : m_row)
        out.append(StudyPaneTabs::all()[b].id);
    return out;
}

StudyPaneView::~StudyPaneView()
{
    // The sub-pane views belong to their sub-panes.
    setPaneContents(nullptr);
}

void StudyPaneView::setPaneContents(QWidget* contents)
{
    if (contents == m_paneContents)
        return;
    if (m_paneContents != nullptr) {
        m_paneContents->hide();
        m_paneContents->setParent(nullptr);
    }
    m_paneContents = contents;
    if (contents != nullptr) {
        contents->setParent(this);
        layoutContents();
        contents->show();
    }
}

void StudyPaneView::layoutContents()
{
    if (m_paneContents != nullptr)
        m_paneContents->setGeometry(
            0, kButtonRowHeight, std::max(0, width() - kBoxWidth), std::max(0, height() - kButtonRowHeight));
}

void StudyPaneView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_box->setGeometry(width() - kBoxWidth, 0, kBoxWidth, height());
    layoutContents();
    layoutButtonRow();
}

void StudyPaneView::layoutButtonRow()
{
    m_moreMenuButton->hide();
    const int limit = width() - kBoxWidth;
    bool someDidNotFit = false;
    bool moreIsPlaced = false;
    // From the right end of the row to its left end.
    for (auto it = m_row.crbegin(); it != m_row.crend(); ++it) {
        QToolButton* b = m_buttons[*it];
        const QRect frame = m_buttonFrames[*it];
        b->setGeometry(frame);
        const bool fits = frame.x() + frame.width() < limit;
        if (!fits) {
            b->hide();
            someDidNotFit = true;
        } else if (someDidNotFit && !moreIsPlaced) {
            b->hide();
            m_moreMenuButton->setGeometry(frame);
            m_moreMenuButton->show();
            moreIsPlaced = true;
        } else {
            b->show();
        }
    }
    showSelection();
}

void StudyPaneView::setSelectedTab(qint64 tab)
{
    m_selectedTab = tab;
    showSelection();
}

void StudyPaneView::showSelection()
{
    bool selectedIsHidden = false;
    const auto all = StudyPaneTabs::all();
    for (size_t i = 0; i < m_buttons.size(); ++i) {
        const bool selected = all[i].id == m_selectedTab;
        m_buttons[i]->setAutoRaise(!selected);
        m_buttons[i]->setDown(selected);
        selectedIsHidden = selectedIsHidden || (selected && m_buttons[i]->isHidden());
    }
    m_moreMenuButton->setAutoRaise(!selectedIsHidden);
    m_moreMenuButton->setDown(selectedIsHidden);
}

int StudyPaneView::dropIndexAt(int x) const
{
    // Before the first other button whose middle lies right of x.
    int index = 0;
    for (size_t b : m_row) {
        if (StudyPaneTabs::all()[b].id == m_dragTab)
            continue;
        if (m_buttonFrames[b].center().x() > x)
            break;
        ++index;
    }
    return index;
}

bool StudyPaneView::eventFilter(QObject* watched, QEvent* event)
{
    auto* button = qobject_cast<QToolButton*>(watched);
    if (button == nullptr || button->parentWidget() != this)
        return QWidget::eventFilter(watched, event);
    const auto index = size_t(std::ranges::find(m_buttons, button) - m_buttons.begin());
    if (index >= m_buttons.size())
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* e = static_cast<QMouseEvent*>(event);
        if (e->button() == Qt::LeftButton) {
            m_pressedButton = button;
            m_pressAt = button->mapTo(this, e->position().toPoint());
            m_dragGrabOffset = e->position().toPoint().x();
        }
        break;
    }
    case QEvent::MouseMove: {
        auto* e = static_cast<QMouseEvent*>(event);
        if (m_pressedButton != button || !(e->buttons() & Qt::LeftButton))
            break;
        const QPoint at = button->mapTo(this, e->position().toPoint());
        if (m_dragTab == 0) {
            if (std::abs(at.x() - m_pressAt.x()) < QApplication::startDragDistance())
                break;
            m_dragTab = StudyPaneTabs::all()[index].id;
            button->setDown(false);
            button->raise();
        }
        // The button follows the pointer along the row.
        QRect g = button->geometry();
        g.moveLeft(std::clamp(at.x() - m_dragGrabOffset, 0, std::max(0, width() - kBoxWidth - g.width())));
        button->setGeometry(g);
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto* e = static_cast<QMouseEvent*>(event);
        if (e->button() != Qt::LeftButton || m_pressedButton != button)
            break;
        m_pressedButton = nullptr;
        if (m_dragTab == 0)
            break;  // a click
        const qint64 tab = m_dragTab;
        const int to = dropIndexAt(button->mapTo(this, e->position().toPoint()).x());
        m_dragTab = 0;
        button->setDown(false);
        if (to == rowOrder().indexOf(tab))
            layoutButtonRow();  // back to its place
        else
            m_controller->moveTab(tab, to);
        return true;  // no click after a drag
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void StudyPaneView::paintEvent(QPaintEvent* event)
{
    const UserDefaults* defaults = m_controller->environment().defaults;
    const QString back = defaults ? defaults->value(SettingsKeys::BackColor) : QString();
    QPainter p(this);
    p.fillRect(event->rect(),
        back.isEmpty() ? palette().window().color() : QSHTMLColors::colorFromHTMLColorString(back).toQColor());
}

namespace {

void postResize(StudyPaneViewController* controller, const QString& name)
{
    const StudyPaneEnvironment& env = controller->environment();
    if (env.center == nullptr)
        return;
    QVariantMap info;
    if (env.layoutManager != nullptr && env.layoutManager->currentLayout() != nullptr)
        info.insert(QStringLiteral("layoutUuid"), env.layoutManager->currentLayout()->uuidString());
    env.center->postNotificationName(name, nullptr, info);
}

}  // namespace

void StudyPaneView::boxPressed(const QPoint& at)
{
    if (!m_box->geometry().contains(at))
        return;
    postResize(m_controller, PaneNotifications::LayoutWillResizePanesNotification);
    m_draggingDistanceToRightEdge = double(m_box->geometry().x() + m_box->geometry().width() - at.x());
    m_dragging = 1;
}

void StudyPaneView::boxDragged(const QPoint& at)
{
    if (m_dragging == 0)
        return;
    const double width = double(at.x()) + m_draggingDistanceToRightEdge;
    if (width >= kMinimumDragWidth) {
        if (StudyPaneLayoutHost* host = m_controller->layoutHost())
            host->setStudyPaneWidth(width);
        m_controller->setManualStudyPaneWidth(width);
    }
    m_dragging = 2;
}

void StudyPaneView::boxReleased()
{
    if (m_dragging == 0)
        return;
    StudyPaneLayoutHost* host = m_controller->layoutHost();
    if (m_dragging == 1 && host != nullptr) {
        const double w = host->studyPaneWidth();
        const double m = m_controller->manualStudyPaneWidth();
        const double d = StudyPaneEnvironment::kDefaultStudyPaneWidth;
        const double collapsed = StudyPaneEnvironment::kCollapsedStudyPaneWidth;
        double next;
        if (m != w) {
            if (w <= collapsed)
                // A collapsed pane opens to the user's width, or to the default width when there is
                // none to return to (so the pane never loses its box).
                next = m > collapsed ? m : d;
            else
                next = collapsed;
        } else {
            next = (w != d) ? d : collapsed;
        }
        host->setStudyPaneWidth(next);
    }
    m_dragging = 0;
    postResize(m_controller, PaneNotifications::LayoutDidResizePanesNotification);
}
