// StudyPanePopUpButton: the study pane's pop-up and editable reference field. It asks its owner to
// fill its items just before it opens or before the keys or the wheel step through them. Made and
// used on the main thread by the sub-pane that owns it (the Bible go-to pop-ups and field).
#pragma once

#include <QComboBox>

// A pop-up that asks for its items just before it opens. When editable, a Return or Enter key
// press reaches its line edit once: one sent to the line edit itself (which ignores it) is not
// handed to the line edit a second time when it passes on to the box.
class StudyPanePopUpButton : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    void showPopup() override;
    void setEditable(bool editable);

signals:
    // The list is about to open, or the keys or the wheel step through it: its owner fills it now.
    void popupAboutToShow();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    const QEvent* m_returnAtLineEdit = nullptr;  // the Return the line edit got first, passing on to the box
};
