#include "studypane/StudyPanePopUpButton.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QWheelEvent>

#include <utility>

void StudyPanePopUpButton::showPopup()
{
    emit popupAboutToShow();
    QComboBox::showPopup();
}

void StudyPanePopUpButton::setEditable(bool editable)
{
    QComboBox::setEditable(editable);
    if (lineEdit() != nullptr)
        lineEdit()->installEventFilter(this);
}

bool StudyPanePopUpButton::eventFilter(QObject* watched, QEvent* event)
{
    // Seen here only when the key was sent to the line edit itself; the box hands the keys it gets
    // to the line edit directly, past the filter.
    if (watched == lineEdit() && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        m_returnAtLineEdit = key == Qt::Key_Return || key == Qt::Key_Enter ? event : nullptr;
    }
    return QComboBox::eventFilter(watched, event);
}

void StudyPanePopUpButton::keyPressEvent(QKeyEvent* event)
{
    if (std::exchange(m_returnAtLineEdit, nullptr) == event) {
        event->ignore();  // the line edit has had it
        return;
    }
    // The keys step through the items without opening the list: it is filled first all the same.
    if (!isEditable())
        emit popupAboutToShow();
    QComboBox::keyPressEvent(event);
}

void StudyPanePopUpButton::wheelEvent(QWheelEvent* event)
{
    if (!isEditable())
        emit popupAboutToShow();
    QComboBox::wheelEvent(event);
}
