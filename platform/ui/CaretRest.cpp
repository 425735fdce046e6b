#include "platform/ui/CaretRest.h"

#include <QApplication>
#include <QEvent>

#include <algorithm>

CaretRest::CaretRest(QObject* parent) : QObject(parent), m_flashTime(QApplication::cursorFlashTime())
{
    m_restAfter.setSingleShot(true);
    m_restAfter.setInterval(kRestAfterMs);
    connect(&m_restAfter, &QTimer::timeout, this, &CaretRest::rest);
    if (m_flashTime <= 0)
        return;
    qApp->installEventFilter(this);
    m_restAfter.start();
}

CaretRest::~CaretRest()
{
    if (qApp != nullptr)
        qApp->removeEventFilter(this);
    wake();
}

void CaretRest::setRestAfterMs(int ms)
{
    m_restAfter.setInterval(std::max(0, ms));
    if (m_flashTime > 0)
        m_restAfter.start();
}

bool CaretRest::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::InputMethod:
    case QEvent::MouseButtonPress:
    case QEvent::Wheel:
    case QEvent::FocusIn:
        wake();
        m_restAfter.start();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void CaretRest::rest()
{
    if (m_resting || m_flashTime <= 0)
        return;
    m_resting = true;
    // The fields stop their blink timers and show the caret.
    QApplication::setCursorFlashTime(0);
}

void CaretRest::wake()
{
    if (!m_resting)
        return;
    m_resting = false;
    QApplication::setCursorFlashTime(m_flashTime);
}
