// The view shared by the study pane's search sub-panes (Find, the notes and journal lists, the
// library search): a row of the menu button, the search field and the refresh button above a thin
// progress bar and the table of results. The panel makes and lays out the widgets under the
// sub-pane's root, follows the progress of the sub-pane's search (hidden a second after it is
// complete), runs the menu button's menu and hands a row chosen with the pointer, or the current row
// at Return, to the sub-pane, which then deselects it. Down in the field enters the results, where
// the keys move the current row (drawn as current) without opening it.
//
// Owned by its sub-pane; the widgets belong to the sub-pane's view. Main thread only.
#pragma once

#include <QObject>
#include <QTimer>

#include <QEvent>
#include <QPoint>

#include <functional>

class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QTableView;
class QToolButton;
class QWidget;
class StudyPaneRecentSearches;

// The keys of a study-pane list whose rows open when chosen with the pointer (`activate`): the keys
// move the current row, chosen and drawn as current, without opening it; Return opens it; Down in
// the field above the list (when there is one) enters it at its current row, else at its first
// result. A list with a row menu opens it for the row under the pointer at a right-click, and for
// the current row at the keyboard's menu keys (Shift+F10, the Menu key), below the row. Installed on
// the table (and the field) by its owner.
class StudyPaneRowKeys : public QObject {
public:
    // Fills a row's menu; the menu is shown only when it has items.
    using RowMenu = std::function<void(QMenu* menu, int row)>;

    StudyPaneRowKeys(QTableView* table, QLineEdit* field, std::function<void(int row)> activate, QObject* parent);

    // The field's Down: the keys go to the list at its current row or its first result.
    void enterList();
    void setRowMenu(RowMenu fill) { m_rowMenu = std::move(fill); }
    // Shows the row's menu at `globalPos`; false when the row has none.
    bool showRowMenu(int row, const QPoint& globalPos);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTableView* m_table;
    // The table's viewport, kept to be told apart while the table is being taken down.
    QObject* m_viewport;
    QLineEdit* m_field;
    std::function<void(int row)> m_activate;
    RowMenu m_rowMenu;
    bool m_keysMoving = false;  // the keys are moving the table's current row
};

class StudyPaneSearchPanel : public QObject {
    Q_OBJECT
public:
    // The progress bar's range.
    static constexpr int kProgressSteps = 1000;
    // How long a complete progress bar stays before it hides.
    static constexpr int kHideProgressDelayMs = 1000;

    explicit StudyPaneSearchPanel(QObject* parent = nullptr);

    // Makes the field row, the progress bar and the status line under the root (both hidden).
    void build(QWidget* root, const QString& placeholder, const QString& menuToolTip);
    // Lays out the root: the field row, then `between` when given, the progress bar, the status line
    // and the table (made under the root after `build`). A chosen row goes to `activate`, then is
    // deselected.
    void layOut(QWidget* root, QTableView* table, std::function<void(int row)> activate, QLabel* between = nullptr);

    QLineEdit* searchField() const { return m_searchField; }
    QToolButton* menuButton() const { return m_menuButton; }
    QToolButton* refreshButton() const { return m_refreshButton; }
    QProgressBar* progressBar() const { return m_progress; }
    QTableView* table() const { return m_table; }
    // Shows the status line with the text (plain text); an empty text hides it.
    void showStatus(const QString& text);

    // The menu button pops up the menu it gives (nothing when it gives null).
    void setMenu(std::function<QMenu*()> menu);
    // The results' rows have a menu, filled for a row by `fill` (after `layOut`).
    void setRowMenu(StudyPaneRowKeys::RowMenu fill);
    // Fills the menu's recent searches now and each time it shows; choosing one puts it in the field
    // and runs `search`.
    void showRecentSearches(QMenu* menu, StudyPaneRecentSearches& recents, std::function<void()> search);

    // --- progress: units of work counted and done ---
    // A new search: nothing counted, the bar shown half full until the first count.
    void startProgress();
    // Counts `add` more units and `increment` more done; the bar only ever grows, and hides a second
    // after it is full.
    void updateProgress(double add, double increment);
    // Hides the bar at once (a stopped search).
    void hideProgress();
    double progressCount() const { return m_count; }
    double progressCompleted() const { return m_completed; }

    // Deselects the table's row without activating it again.
    void clearSelection();

private:
    QLineEdit* m_searchField = nullptr;
    QToolButton* m_menuButton = nullptr;
    QToolButton* m_refreshButton = nullptr;
    QProgressBar* m_progress = nullptr;
    QTableView* m_table = nullptr;
    QLabel* m_status = nullptr;
    QTimer m_hideTimer;
    std::function<QMenu*()> m_menu;
    StudyPaneRowKeys* m_keys = nullptr;
    double m_count = 0;
    double m_completed = 0;
};
