#include "studypane/StudyPaneFieldKeys.h"

#include "studypane/StudyPaneNoteEditorKeys.h"

#include <QAbstractItemView>
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
    // An editable pop-up (Go To, the look-up) has the focus itself and hands the keys to its field. A
    // list of the pane (Find's results, the bookmarks, the highlights, the recent verses) hands them
    // on too; a row being edited in one keeps Escape for its editor, and a pop-up's open list (a
    // window of its own) for closing.
    const auto inList = [](const QWidget* widget) {
        for (const QWidget* w = widget; w != nullptr && !w->isWindow(); w = w->parentWidget())
            if (qobject_cast<const QAbstractItemView*>(w) != nullptr)
                return true;
        return false;
    };
    const QList<QLineEdit*> fields = m_pane->findChildren<QLineEdit*>();
    const QList<QComboBox*> popups = m_pane->findChildren<QComboBox*>();
    const QList<QAbstractItemView*> lists = m_pane->findChildren<QAbstractItemView*>();
    const bool field = std::ranges::any_of(fields, [&](const QLineEdit* f) { return f == focus && !inList(f); });
    // A pop-up that is not editable (the bookmarks' categories, the highlights' colours) hands them
    // on while its list is closed; Escape has no use of its own there.
    const bool popup = std::ranges::any_of(popups, [focus](const QComboBox* popup) {
        return popup == focus && (popup->isEditable() || popup->view() == nullptr || !popup->view()->isVisible());
    });
    const bool list = std::ranges::any_of(lists,
        [this, focus](const QAbstractItemView* list) { return list == focus && list->window() == m_pane->window(); });
    if (!field && !popup && !list)
        return false;
    if (type == QEvent::ShortcutOverride) {
        // Handled here as a key press, before a shortcut or the field's pop-up sees it.
        event->accept();
        return true;
    }
    return StudyPaneNoteEditorKeys::focusCurrentBookPage(m_manager);
}
