// The keys that lead out of the note sub-pane's editors. A web editor keeps every key while the text
// has the focus, so the window's pane keys would never leave it; here, while the focus is in one of
// the editors:
// - the window's pane keys (Ctrl+] and Ctrl+[ to the next and previous book pane, Ctrl+PgDown and
//   Ctrl+PgUp to the next and previous book) are the window's, as they are everywhere else;
// - Escape gives the keys back to the page of the current book pane;
// - Ctrl+Tab and Ctrl+Shift+Tab move the focus to the next and previous control, as they leave a
//   desktop's text area that takes Tab itself.
// Every other key, the editor's own menu key among them, stays the editor's.
//
// A child of the note sub-pane; it watches the application's key events for as long as it lives.
// Main thread only.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <vector>

class LayoutManager;

class StudyPaneNoteEditorKeys : public QObject {
public:
    // `editors` are the editor views; `toPage` gives the keys to the page (false when there is none).
    StudyPaneNoteEditorKeys(std::vector<QWidget*> editors, std::function<bool()> toPage, QObject* parent);
    ~StudyPaneNoteEditorKeys() override;

    // Gives the keys to the page of the current book pane of the manager's current layout; false
    // when no book pane is current or shown.
    static bool focusCurrentBookPage(LayoutManager* manager);

private:
    bool eventFilter(QObject* watched, QEvent* event) override;
    QWidget* editorHolding(QObject* watched) const;

    std::vector<QPointer<QWidget>> m_editors;
    std::function<bool()> m_toPage;
};
