// The study pane's view: draws the pane's background in the display colours, lays out the row of
// tab buttons along its top (hiding those that do not fit behind a "more" button), holds the shown
// sub-pane's view below them, and carries at its right edge the expand/contract box: dragging the
// box resizes the study pane, clicking it cycles between collapsed, the user's width and the
// default width. A button dragged along the row and dropped elsewhere moves its tab there (the
// controller keeps the order in the pane's state). Owned by its StudyPaneViewController; the sub-pane views it shows stay owned by
// their sub-panes (it lets go of them when it leaves its window). Main thread only.
#pragma once

#include <QWidget>

#include <vector>

class QFrame;
class QToolButton;
class StudyPaneViewController;

class StudyPaneView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kButtonRowHeight = 32;
    static constexpr int kBoxWidth = 6;
    static constexpr double kMinimumDragWidth = 6.0;

    // The default left-to-right order of the row, as tab identifiers (the tab table's order).
    static QList<qint64> defaultRowOrder();

    explicit StudyPaneView(StudyPaneViewController* controller, QWidget* parent = nullptr);
    ~StudyPaneView() override;

    StudyPaneViewController* viewController() const { return m_controller; }
    // The button of a tab (one per row of the tab table); null for no tab.
    QToolButton* button(qint64 tab) const;
    QToolButton* moreMenuButton() const { return m_moreMenuButton; }
    QFrame* expandContractBox() const { return m_box; }

    // The row's buttons left to right, as tab identifiers (tabs missing from the list follow in
    // their default order); the buttons move to their new places.
    void setRowOrder(const QList<qint64>& tabs);
    QList<qint64> rowOrder() const;
    // Draws the selected tab's button bordered and every other borderless; when the selected
    // button is hidden behind the more button, the more button is drawn bordered instead.
    void setSelectedTab(qint64 tab);
    qint64 selectedTab() const { return m_selectedTab; }

    // Shows the view below the button row (null: nothing); the same view again changes nothing.
    void setPaneContents(QWidget* contents);

    // 0 idle, 1 pressed in the box and not moved yet, 2 dragging.
    int dragging() const { return m_dragging; }
    // The box's drag and click, in this view's coordinates (mouse events of the box arrive here).
    void boxPressed(const QPoint& at);
    void boxDragged(const QPoint& at);
    void boxReleased();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void layoutButtonRow();
    void layoutContents();
    void showSelection();
    // Where a button dropped at x (this view's coordinates) goes in the row.
    int dropIndexAt(int x) const;

    StudyPaneViewController* m_controller;
    // By the tab table's rows: each tab's button and where it stands.
    std::vector<QToolButton*> m_buttons;
    std::vector<QRect> m_buttonFrames;
    QList<size_t> m_row;  // the rows' buttons left to right
    QToolButton* m_moreMenuButton = nullptr;
    QFrame* m_box = nullptr;
    QWidget* m_paneContents = nullptr;
    int m_dragging = 0;
    double m_draggingDistanceToRightEdge = 0;
    // A button pressed in the row and maybe dragged along it.
    QToolButton* m_pressedButton = nullptr;
    QPoint m_pressAt;
    qint64 m_dragTab = 0;
    qint64 m_selectedTab = 0;
    int m_dragGrabOffset = 0;
};
