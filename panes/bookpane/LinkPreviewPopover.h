// LinkPreviewPopover: the preview of a link or footnote beside the place the pointer rests on. It
// shows the footnote, or else the preview text of the link's target (LinkPreview), or else "No
// preview available for" the link. The view is XrefPopupViewController's label, 35 x
// "baseFontSize" wide (half the window's width in a narrow window), in a frameless window that
// takes no focus and no mouse grab, placed to the right of the link's rectangle (widened by
// baseFontSize) when it fits on the screen and to its left otherwise. It closes by itself when the
// user clicks or types anywhere outside it, and when a menu or a modal window opens; none opens
// while one is up (menuOrModalIsUp).
//
// Owned by its parent widget's window (Qt parent) and closed by the pane. Main thread only.
#pragma once

#include <QFrame>
#include <QRect>
#include <QString>

class LinkPreview;
class QLabel;
class UserDefaults;

class LinkPreviewPopover : public QFrame {
    Q_OBJECT
public:
    // The text of a preview: the footnote when it is not empty, the link's preview text from
    // `preview` (may be null), or the fallback with the link unwrapped.
    static QString previewText(const LinkPreview* preview, const QString& href, const QString& footnote);
    // The width the text is laid out in: 35 x baseFontSize, or half the window's width when that
    // is not larger.
    static int textWidthFor(double baseFontSize, int windowWidth);
    // Whether a menu (any pop-up) or a modal window is shown now.
    static bool menuOrModalIsUp();

    // A preview of `text` for `rect` in `anchor`'s coordinates, shown at once.
    LinkPreviewPopover(const QString& text, QWidget* anchor, const QRect& rect, const UserDefaults& defaults);
    ~LinkPreviewPopover() override;

    QLabel* label() const { return m_label; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* m_label;
};
