#include "panes/bookpane/OverlayView.h"

#include "panes/bookpane/BookPaneViewController.h"
#include "panes/page/BookPageView.h"

#include <QCoreApplication>
#include <QHideEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

OverlayView::OverlayView(BookPaneViewController* controller, QWidget* parent)
    : QWidget(parent), m_controller(controller)
{
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
}

void OverlayView::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() == Qt::NoButton) {
        const QPointF at = event->position();
        hoverPage(&at, event->globalPosition());
    }
    QWidget::mouseMoveEvent(event);
}

void OverlayView::leaveEvent(QEvent* event)
{
    hoverPage(nullptr, QPointF());
    QWidget::leaveEvent(event);
}

void OverlayView::hideEvent(QHideEvent* event)
{
    // The pane became current: the page gets the pointer itself from now on.
    m_overPage = false;
    QWidget::hideEvent(event);
}

QWidget* OverlayView::pageInput() const
{
    BookPageView* page = m_controller->page();
    return page == nullptr ? nullptr : page->focusProxy() != nullptr ? page->focusProxy() : page;
}

QWidget* OverlayView::pageInputAt(const QPointF& at, QPointF& local) const
{
    QWidget* input = pageInput();
    if (input == nullptr || !input->isVisible())
        return nullptr;
    // Over the page's own input widget, unless the pane's notice lies over the page there.
    QLabel* notice = m_controller->nothingHereLabel();
    const QPoint inWindow = mapTo(window(), at.toPoint());
    local = at + QPointF(mapTo(window(), QPoint()) - input->mapTo(window(), QPoint()));
    if (!input->rect().contains(local.toPoint()) ||
        (notice != nullptr && notice->isVisible() && notice->rect().contains(notice->mapFrom(window(), inWindow))))
        return nullptr;
    return input;
}

void OverlayView::hoverPage(const QPointF* at, const QPointF& global)
{
    QPointF local;
    QWidget* input = at != nullptr ? pageInputAt(*at, local) : nullptr;
    if (input != nullptr) {
        QMouseEvent move(QEvent::MouseMove, local, global, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(input, &move);
        m_overPage = true;
    } else if (m_overPage) {
        if (QWidget* gone = pageInput()) {
            QEvent leave(QEvent::Leave);
            QCoreApplication::sendEvent(gone, &leave);
        }
        m_overPage = false;
    }
}

void OverlayView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), QColor(0, 0, 0, 26));
}

void OverlayView::mouseReleaseEvent(QMouseEvent* event)
{
    {
        BookPaneViewController::HistoryStep step(*m_controller);
        m_controller->requestBecomeCurrent();
    }
    // The click that made the pane current gives its page the keys, as a click in it would.
    if (m_controller->page() != nullptr)
        m_controller->page()->setFocus(Qt::MouseFocusReason);
    // A right-click opens the page's menu where it was made, as it does in the current pane.
    QPointF local;
    if (event->button() == Qt::RightButton) {
        if (QWidget* input = pageInputAt(event->position(), local)) {
            for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
                QMouseEvent click(type, local, event->globalPosition(), Qt::RightButton,
                    type == QEvent::MouseButtonPress ? Qt::RightButton : Qt::NoButton, event->modifiers());
                QCoreApplication::sendEvent(input, &click);
            }
        }
    }
    QWidget::mouseReleaseEvent(event);
}
