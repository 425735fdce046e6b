// The study pane's view: draws the pane's background in the display colours, lays out the row of
// tab buttons along its top (hiding those that do not fit behind a "more" button), holds the shown
// sub-pane's view below them, and carries at its right edge the expand/contract box: dragging the
// box resizes the study pane, clicking it cycles between collapsed, the user's width and the
// default width. Owned by its StudyPaneViewController; the sub-pane views it shows stay owned by
// their sub-panes (it lets go of them when it leaves its window). Main thread only.
#pragma once

#include <QWidget>

#include <array>

class QFrame;
class QToolButton;
class StudyPaneViewController;

class StudyPaneView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kButtonRowHeight = 32;
    static constexpr int kBoxWidth = 6;
    static constexpr double kMinimumDragWidth = 6.0;

    // The tab buttons in their left-to-right order.
    enum Button {
        GoTo,
        Find,
        Bookmark,
        Highlights,
        NoteViewEdit,
        NotesList,
        Journal,
        Library,
        Navigator,
        kButtonCount
    };

    explicit StudyPaneView(StudyPaneViewController* controller, QWidget* parent = nullptr);
    ~StudyPaneView() override;

    StudyPaneViewController* viewController() const { return m_controller; }
    QToolButton* button(Button b) const { return m_buttons[b]; }
    QToolButton* moreMenuButton() const { return m_moreMenuButton; }
    QFrame* expandContractBox() const { return m_box; }

    QWidget* paneContents() const { return m_paneContents; }
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

private:
    void layoutButtonRow();
    void layoutContents();

    StudyPaneViewController* m_controller;
    std::array<QToolButton*, kButtonCount> m_buttons {};
    std::array<QRect, kButtonCount> m_buttonFrames {};  // where each button stands
    QToolButton* m_moreMenuButton = nullptr;
    QFrame* m_box = nullptr;
    QWidget* m_paneContents = nullptr;
    int m_dragging = 0;
    double m_draggingDistanceToRightEdge = 0;
};
