// BookPaneCommands: the book pane's commands on the page's selection (copy, copy passage, sync to
// the selected verse, autostudy, look-up, notes, the linked-to highlighting, copying an image) and
// its context menu. The study pane's highlights, bookmarks and notes, and the passage copier, are
// reached through BookPaneHooks; the window's pane commands (split, close and maximize) are the
// window's own actions, taken by name from its ActionRegistry.
//
// The selection list holds Bible keys in a Bible and block numbers otherwise; it follows the page's
// reports of its selection, and a menu holds the one it opened on while it is open. The text of a
// selection is its words as the page tells them (BookPageView::selectionWords), never the numbers
// and markers beside them. Tests may set the selection instead of selecting in the page.
//
// Part of its BookPaneViewController, which owns it. Main thread only.
#pragma once

#include "library/SourceTuple.h"

#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

class BookPaneViewController;
class QAction;
class QPoint;
class QMenu;
class QWidget;

class BookPaneCommands : public QObject {
    Q_OBJECT
public:
    explicit BookPaneCommands(BookPaneViewController& pane);
    // The page's context menu and copy shortcut become the pane's; once, after the page is made.
    void attachToPage();

    // --- the selection ---
    const QList<quint32>& selectedBlocksOrKeys() const { return m_selectedBlocksOrKeys; }
    void setSelectedBlocksOrKeys(const QList<quint32>& list) { m_selectedBlocksOrKeys = list; }
    void findSelectedBlocksOrKeys();
    QString selectedBibleRefString() const;
    // The verse at the top of a Bible's page ("John 3:1"; a chapter's heading or a book's opening
    // stands for the first verse under it); empty for other books.
    QString currentVerseRefString() const;
    // While a menu is open (or a test set one), the words of its selection; otherwise the web engine's
    // text of the page's selection, which tells only whether there is one.
    QString selectedText() const;
    // The selection's words (text and HTML) that the commands read instead of the page's.
    void setSelectionOverride(const QString& text, const QString& html);
    // What Look Up looks up: the words of the menu's selection.
    QString lookUpText() const;
    // The words of the selection (text and HTML) handed to `done`: the menu's, or else the page's as
    // it is now. Not called when the page goes before it answers.
    void withSelectionWords(std::function<void(const QString& text, const QString& html)> done);
    // The page items a context menu keeps: copy, copy image and select all, each tagged with its
    // role ("copy", "copyImage", "selectAll") in its "pageItem" property; the engine's others go.
    static QList<QAction*> keptPageItems(const QList<QAction*>& standardItems, QWidget* page);
    // The daily reading of the first selected block; 0 for none.
    quint32 selectedReadingNumber() const;

    // --- commands ---
    // Copies the page's selection to the clipboard (HTML and text); `done` runs after.
    void onCopy(std::function<void()> done = nullptr);
    static void putOnClipboard(const QString& html, const QString& text);
    void doCopyPassage(bool now);
    void onSyncToSelectedVerse();
    void onAutostudyVerse();
    void onAutostudyThisVerse(const QString& refString);
    void onAutostudyWord();
    void onAutostudyToday();
    void onLookup();
    void onAddViewNoteSelected();
    // Shows the first selected verse's (block's) note and asks whether to delete it, naming it; "No"
    // is the default answer.
    void onRemoveNoteSelected();
    // The question that deletion asks: "Delete your note on John 3:18?".
    QString noteDeletionQuestion(quint32 blockOrKey) const;
    void onRemoveTempHL();
    void onCopyImage(const QString& imageUrl);

    // --- context menu ---
    struct MenuElement {
        QString linkUrl;    // absolute link under the pointer, "" for none
        QString linkLabel;  // its text
        QString imageUrl;   // image under the pointer, "" for none
    };
    // The pane's items followed by the kept default items; null when no item qualifies.
    QMenu* contextMenu(const MenuElement& element, const QList<QAction*>& defaultItems, QWidget* parent);
    // The context menu from the keyboard (Shift+F10, the Menu key): at the selection while some of
    // it is in view; else at the verse (block) of the caret or the last press while that is in view,
    // else at the one at the top of the view, which it selects first, so the menu's commands apply to
    // it. Never for a verse out of sight. Asked while the page loads (it knows no verse yet), the menu
    // opens once the page has loaded, if the keys are still in it.
    void showContextMenuFromKeyboard();

private:
    // The menu at `pos` of the page; `keys` (when given) are the selection's blocks or verse keys as
    // the page has just answered them, `text` its text.
    void showContextMenu(const MenuElement& element, const QPoint& pos, const QString& selectionHtml,
        const std::optional<QList<quint32>>& keys = std::nullopt, const std::optional<QString>& text = std::nullopt);
    // The groups of the context menu, in their order.
    void addSelectionItems(QMenu* menu, QString& lastNamed);
    void addWindowItems(QMenu* menu);
    void addAutostudyItems(QMenu* menu, const MenuElement& element, const QString& lastNamed);
    void addSpeechItems(QMenu* menu, const MenuElement& element);
    void addPageItems(QMenu* menu, const MenuElement& element, const QList<QAction*>& defaultItems);

    BookPaneViewController& m_pane;
    QList<quint32> m_selectedBlocksOrKeys;
    bool m_hasSelectionOverride = false;
    bool m_keyboardMenuWaits = false;  // a keyboard menu waits for the page being loaded
    QString m_selectionText;
    QString m_selectionHtml;
};
