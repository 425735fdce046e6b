#include "studypane/StudyPaneFieldKeys.h"

#include "studypane/StudyPaneNoteEditorKeys.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>

#include <algorithm>

StudyPaneFieldKeys::StudyPaneFieldKeys(QWidget* pane, LayoutManager* manager)
    : QObject(pane), m_pane(pane), m_manager(manager)
{
    qApp->installEventFilter(this);
}

StudyPaneFieldKeys::~StudyPaneFieldKeys()
{
    qApp->removeEventFilter(this);
}

bool StudyPaneFieldKeys::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Escape || (key->modifiers() & ~Qt::KeypadModifier) != 0 || m_pane == nullptr)
        return false;
    // The key goes to the focus widget: a field of this pane (an editable pop-up's too) is the one.
    QWidget* focus = QApplication::focusWidget();
    // (Found among the pane's fields by address: the focus may be a web engine's item, on which no
    // call may be made.)
    if (focus == nullptr || static_cast<QObject*>(focus) != watched)
        return false;
    // An editable pop-up (Go To, the look-up) has the focus itself and hands the keys to its field.
    const QList<QLineEdit*> fields = m_pane->findChildren<QLineEdit*>();
    const QList<QComboBox*> popups = m_pane->findChildren<QComboBox*>();
    if (std::ranges::none_of(fields, [focus](const QLineEdit* field) { return field == focus; }) &&
        std::ranges::none_of(popups, [focus](const QComboBox* popup) { return popup == focus && popup->isEditable(); }))
        return false;
    if (type == QEvent::ShortcutOverride) {
        // Handled here as a key press, before a shortcut or the field's pop-up sees it.
        event->accept();
        return true;
    }
    return StudyPaneNoteEditorKeys::focusCurrentBookPage(m_manager);
}
