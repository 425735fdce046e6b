// DesktopWindows: the reader's other windows as a desktop user expects them. Installed once on the
// application by the app controller, it watches every top-level window of the program:
//
// - placement: a window shown for the first time without a place of its own (a dialog, a tool window,
//   a report, a page) opens centred on the window it belongs to (its parent's window, else the main
//   window), inside that screen's free area; a window that does have a place (restored from the
//   settings) keeps it unless its title bar would be off every screen, when it is brought back the
//   same way. Positions are of the frame (title bar included), as the window manager places them. A
//   window first shown too narrow for its title is widened so its title bar shows the title whole.
// - keys: Ctrl+W (the platform's Close key) closes the window it is pressed in, a dialog as Cancel
//   does; in the main window the key stays the window's own command (closing the current book).
//   Escape is left to dialogs, which close with it themselves.
// - the keys' way back: when a window that has the keys closes (a dialog, a colour chooser, a save
//   panel, an alert), the keys go back to the window it came from: its parent's window, else the
//   window that had the keys when it showed. A window manager that picks the window to focus itself
//   passes over utility windows (Settings, the reports) and would give the keys to the main window.
//   A window that shows as another closes (the report a dialog makes) takes the keys instead.
//
// Main thread only.
#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <functional>

class QWidget;

class DesktopWindows : public QObject {
    Q_OBJECT
public:
    // `mainWindow` answers the main window (null before it exists).
    explicit DesktopWindows(std::function<QWidget*()> mainWindow, QObject* parent = nullptr);
    ~DesktopWindows() override;

    // The frame's top-left corner that centres a frame of `frameSize` on `anchor` (a frame), moved
    // inside `area` as far as it fits (the title bar first: the top-left corner is never above or
    // left of the area).
    static QPoint centredFrameOrigin(const QSize& frameSize, const QRect& anchor, const QRect& area);
    // The width a window needs for its title bar to show `title` whole.
    static int titleBarWidth(const QString& title);
    // Whether enough of a frame's top edge (its title bar) lies on one of `areas` to take hold of.
    static bool titleBarReachable(const QRect& frame, const QList<QRect>& areas);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place(QWidget* window);
    // Once the window manager has framed it: a title bar off the screen is moved back onto it.
    static void keepTitleBarOnScreen(QWidget* window, int triesLeft);
    bool isMainWindow(const QWidget* window) const;
    // A window that had the keys has closed: they go back to the window it came from.
    void returnKeysFrom(QWidget* window);
    std::function<QWidget*()> m_mainWindow;
    QPointer<QWidget> m_lastActive;    // the window last activated
    quint64 m_windowsShown = 0;        // how many windows have shown, the main window's aside
    quint64 m_shownWhenActivated = 0;  // how many had when the last window was activated
};
