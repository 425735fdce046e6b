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

void OverlayView::hoverPage(const QPointF* at, const QPointF& global)
{
    BookPageView* page = m_controller->page();
    QWidget* input = page == nullptr ? nullptr : page->focusProxy() != nullptr ? page->focusProxy() : page;
    if (input == nullptr)
        return;
    // Over the page's own input widget, unless the pane's notice lies over the page there.
    QLabel* notice = m_controller->nothingHereLabel();
    const QPoint inWindow = at != nullptr ? mapTo(window(), at->toPoint()) : QPoint();
    const QPointF local =
        at != nullptr ? *at + QPointF(mapTo(window(), QPoint()) - input->mapTo(window(), QPoint())) : QPointF();
    const bool over = at != nullptr && input->isVisible() && input->rect().contains(local.toPoint()) &&
        !(notice != nullptr && notice->isVisible() && notice->rect().contains(notice->mapFrom(window(), inWindow)));
    if (over) {
        QMouseEvent move(QEvent::MouseMove, local, global, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(input, &move);
        m_overPage = true;
    } else if (m_overPage) {
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(input, &leave);
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
    QWidget::mouseReleaseEvent(event);
}
