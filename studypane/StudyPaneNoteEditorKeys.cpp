#include "studypane/StudyPaneNoteEditorKeys.h"

#include "panes/layout/Layout.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layout/LayoutRegionContents.h"
#include "panes/layoutview/LayoutPanes.h"
#include "platform/ui/FocusChain.h"
#include "platform/ui/WidgetLookup.h"

#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>

namespace {

// The window's commands whose keys work from the editors as from anywhere in the window.
bool isWindowPaneKey(const QKeyEvent* key)
{
    const QKeyCombination pressed = key->keyCombination();
    for (const char* keys : {"Ctrl+]", "Ctrl+[", "Ctrl+PgDown", "Ctrl+PgUp"})
        if (QKeySequence(QString::fromLatin1(keys))[0] == pressed)
            return true;
    return false;
}

bool isFocusKey(const QKeyEvent* key, bool* forward)
{
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    if (key->key() == Qt::Key_Tab && mods == Qt::ControlModifier) {
        *forward = true;
        return true;
    }
    if ((key->key() == Qt::Key_Backtab || key->key() == Qt::Key_Tab) &&
        mods == (Qt::ControlModifier | Qt::ShiftModifier)) {
        *forward = false;
        return true;
    }
    return false;
}

}  // namespace

StudyPaneNoteEditorKeys::StudyPaneNoteEditorKeys(
    std::vector<QWidget*> editors, std::function<bool()> toPage, QObject* parent)
    : QObject(parent), m_toPage(std::move(toPage))
{
    for (QWidget* editor : editors)
        m_editors.emplace_back(editor);
    // The editor's input widget is the web engine's and is made again after its renderer ended: the
    // keys are watched where they are delivered, whichever widget that is now.
    qApp->installEventFilter(this);
}

StudyPaneNoteEditorKeys::~StudyPaneNoteEditorKeys()
{
    qApp->removeEventFilter(this);
}

QWidget* StudyPaneNoteEditorKeys::editorHolding(QObject* watched) const
{
    QWidget* widget = WidgetLookup::widget(watched);
    if (widget == nullptr)
        return nullptr;
    for (const QPointer<QWidget>& editor : m_editors)
        if (editor != nullptr && (widget == editor || editor->isAncestorOf(widget)))
            return editor;
    return nullptr;
}

bool StudyPaneNoteEditorKeys::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    bool forward = true;
    const bool windowKey = isWindowPaneKey(key);
    const bool focusKey = isFocusKey(key, &forward);
    const bool escape = key->key() == Qt::Key_Escape && (key->modifiers() & ~Qt::KeypadModifier) == 0;
    if (!windowKey && !focusKey && !escape)
        return false;
    QWidget* editor = editorHolding(watched);
    if (editor == nullptr)
        return false;
    if (windowKey) {
        // Not taken by the editor: the window's shortcut runs.
        if (type == QEvent::ShortcutOverride) {
            event->ignore();
            return true;
        }
        return false;
    }
    if (type == QEvent::ShortcutOverride) {
        // The key is handled here, as a key press, before any shortcut or the page sees it.
        event->accept();
        return true;
    }
    if (escape) {
        if (!m_toPage || !m_toPage())
            FocusChain::moveFocusPast(editor, true);
    } else {
        FocusChain::moveFocusPast(editor, forward);
    }
    return true;
}

bool StudyPaneNoteEditorKeys::focusCurrentBookPage(LayoutManager* manager)
{
    Layout* layout = manager != nullptr ? manager->currentLayout() : nullptr;
    LayoutRegionContents* contents = layout != nullptr ? layout->currentRegionContents() : nullptr;
    LayoutBookPane* pane =
        contents != nullptr && contents->kind().isEmpty() ? asBookPane(contents->viewController()) : nullptr;
    QWidget* view = pane != nullptr ? pane->paneView() : nullptr;
    if (view == nullptr || !view->isVisible())
        return false;
    view->setFocus(Qt::ShortcutFocusReason);
    return true;
}
