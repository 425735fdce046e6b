#include "studypane/StudyPaneView.h"

#include "library/QSHTMLColors.h"
#include "panes/layout/Layout.h"
#include "panes/layout/LayoutManager.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "studypane/StudyPaneViewController.h"

#include <QFrame>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>

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
        const QString text = defaults ? defaults->stringForKey(QStringLiteral("textColor")) : QString();
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

struct ButtonSpec {
    qint64 tab;
    const char* name;
};
// The buttons left to right and the tab each selects.
constexpr ButtonSpec kButtonSpecs[StudyPaneView::kButtonCount] = {{6, "goToButton"}, {1, "findButton"},
    {2, "bookmarkButton"}, {3, "highlightsButton"}, {4, "noteViewEditButton"}, {5, "notesListButton"},
    {7, "journalButton"}, {8, "libraryButton"}, {9, "navigatorButton"}};

}  // namespace

StudyPaneView::StudyPaneView(StudyPaneViewController* controller, QWidget* parent)
    : QWidget(parent), m_controller(controller)
{
    setObjectName(QStringLiteral("StudyPaneView"));
    int x = 4;
    for (int i = 0; i < kButtonCount; ++i) {
        const auto& tab = StudyPaneViewController::tabs()[static_cast<size_t>(kButtonSpecs[i].tab - 1)];
        auto* b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(kButtonSpecs[i].name));
        b->setText(QString::fromUtf8(tab.label));
        b->setToolTip(QString::fromUtf8(tab.tooltip));
        b->setAutoRaise(true);
        b->setCheckable(false);
        const QSize hint = b->sizeHint();
        m_buttonFrames[i] = QRect(x, (kButtonRowHeight - hint.height()) / 2, hint.width(), hint.height());
        b->setGeometry(m_buttonFrames[i]);
        x += hint.width() + 2;
        m_buttons[i] = b;
    }
    m_moreMenuButton = new QToolButton(this);
    m_moreMenuButton->setObjectName(QStringLiteral("moreMenuButton"));
    m_moreMenuButton->setText(QStringLiteral("\u00BB"));
    m_moreMenuButton->setToolTip(QStringLiteral("More study tools"));
    m_moreMenuButton->setAutoRaise(true);
    m_moreMenuButton->hide();
    m_box = new EdgeBox(this);
    m_box->setObjectName(QStringLiteral("expandContractBox"));
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
    for (int i = kButtonCount - 1; i >= 0; --i) {
        QToolButton* b = m_buttons[i];
        const QRect frame = m_buttonFrames[i];
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
}

void StudyPaneView::paintEvent(QPaintEvent* event)
{
    const UserDefaults* defaults = m_controller->environment().defaults;
    const QString back = defaults ? defaults->stringForKey(QStringLiteral("backColor")) : QString();
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
    postResize(m_controller, QStringLiteral("LayoutWillResizePanesNotification"));
    m_draggingDistanceToRightEdge = double(m_box->geometry().x() + m_box->geometry().width() - at.x());
    m_dragging = 1;
}

void StudyPaneView::boxDragged(const QPoint& at)
{
    if (m_dragging == 0)
        return;
    const double width = double(at.x()) + m_draggingDistanceToRightEdge;
    if (width >= kMinimumDragWidth) {
        if (StudyPaneLayoutHost* host = m_controller->environment().layoutHost)
            host->setStudyPaneWidth(width);
        m_controller->setManualStudyPaneWidth(width);
    }
    m_dragging = 2;
}

void StudyPaneView::boxReleased()
{
    if (m_dragging == 0)
        return;
    StudyPaneLayoutHost* host = m_controller->environment().layoutHost;
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
    postResize(m_controller, QStringLiteral("LayoutDidResizePanesNotification"));
}
