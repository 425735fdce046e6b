// PaneTabBar: the tab bar of a book pane. One tab per book, each carrying the uuid of the layout
// item it shows (tab data); an add button (+) beside the tabs, an overflow button listing every
// tab in a menu, and dragging of tabs within the bar (reordering) and onto another pane's bar.
// The two buttons stand beside the bar, not on it: the pane puts header() in its column, a row
// of the bar, "+" right after the last tab and "»" at the right edge, so the tabs (their close
// boxes and the bar's scroll arrows) have only the room the buttons leave them.
//
// Dropping on another bar asks that bar's drop filter, set by its pane (the pane refuses a book it
// already holds); an accepted drop inserts the tab there and removes it from the bar it came from, then
// signals both sides. Owned by its pane's view. Main thread only.
#pragma once

#include <QTabBar>
#include <functional>
#include <utility>

class QToolButton;
class QMenu;

class PaneTabBar : public QTabBar {
    Q_OBJECT
public:
    static inline const QString kMimeType = QStringLiteral("application/x-quillstead-pane-tab");

    explicit PaneTabBar(QWidget* parent = nullptr);

    int addTabForItem(const QString& uuid, const QString& label, const QString& tooltip);
    QString uuidAt(int index) const;
    int indexOfUuid(const QString& uuid) const;

    QToolButton* addButton() const { return m_addButton; }
    // The row that holds the bar and its buttons, made on the first call (a child of `parent`).
    QWidget* header(QWidget* parent);
    // The overflow menu as it would open now: one checkable entry per tab.
    QMenu* overflowMenu();

    // What is asked before a tab of another bar is dropped here (none: every drop is taken).
    using DropFilter = std::function<bool(PaneTabBar* from, const QString& uuid)>;
    void setDropFilter(DropFilter filter) { m_dropFilter = std::move(filter); }
    // Moves the tab of `uuid` from `from` to position `index` of this bar (what a drop does);
    // false when refused or when `from` has no such tab.
    bool dropTabFrom(PaneTabBar* from, const QString& uuid, int index);

    QSize minimumSizeHint() const override;

signals:
    void addTabRequested();
    // A tab was dragged in from another bar (emitted on this bar after the move) ...
    void tabDroppedIn(PaneTabBar* from, const QString& uuid);
    // ... and left this bar for another (emitted on the bar it left).
    void tabDraggedOut(PaneTabBar* to, const QString& uuid);
    void tabDragStarted();
    void tabDragEnded();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    DropFilter m_dropFilter;
    QToolButton* m_addButton = nullptr;
    QToolButton* m_overflowButton = nullptr;
    QWidget* m_header = nullptr;
    QMenu* m_menu = nullptr;
    QPoint m_pressPos;
    int m_pressIndex = -1;
};
