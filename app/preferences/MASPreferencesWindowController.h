// The settings window: a toolbar of pane buttons over one pane at a time.
//
// Clicking a button swaps the window's content for that pane and resizes the window around it with
// its top-left corner kept in place; so does a change of what the pane holds (a description shown). The window remembers in the user defaults where it was, which
// pane showed last and the size the user gave each resizable pane, in the defaults of the environment
// it is made with, and posts its changes of pane and its closing on that environment's centre. The
// controller owns its panes (they are children of its content widget).
//
// The window answers the keys of a dialog: Return or Enter presses the default button of the part of
// the page being typed in (the Log In button for the password field), Escape closes the window,
// Ctrl+Tab and Ctrl+Page Down show the next page, Ctrl+Shift+Tab and Ctrl+Page Up the one before, and
// the page bar's buttons are in the Tab order. Given an owner window (floatAbove), it floats above
// that window, as a tool window the window manager keeps in front of it, and hides while the
// application is not active. Main thread only.
#pragma once

#include "panes/environment/WindowEnvironment.h"

#include <QMainWindow>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QVector>

class QToolBar;
class QAction;
class QActionGroup;
class QPushButton;
class QVBoxLayout;
class PreferencesViewController;

class MASPreferencesWindowController : public QMainWindow {
    Q_OBJECT
public:
    // A null entry stands for a flexible space in the toolbar.
    MASPreferencesWindowController(const WindowEnvironment& env, const QVector<PreferencesViewController*>& panes,
        const QString& title = {}, QWidget* parent = nullptr);
    ~MASPreferencesWindowController() override;

    void addViewController(PreferencesViewController* pane);
    void selectControllerAtIndex(int index);
    int indexOfSelectedController() const;
    PreferencesViewController* viewControllerForIdentifier(const QString& identifier) const;
    PreferencesViewController* firstViewController() const;
    QStringList toolbarItemIdentifiers() const;
    void setSelectedViewController(PreferencesViewController* pane);
    QToolBar* toolbar() const { return m_toolbar; }
    // Keeps the window in front of `owner` (call before the window first shows); null: a window of its own.
    void floatAbove(QWidget* owner);
    // The default button that Return presses with `focus` being typed in: the nearest one around it.
    QPushButton* defaultButtonFor(QWidget* focus) const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void addToolbarItem(int index);
    // Shows the next page (`step` 1) or the one before (-1), round the bar.
    void selectNeighbourPage(int step);
    // The size the page needs: its size hint, with the height its wrapped text takes at that width.
    static QSize neededSize(PreferencesViewController* p);
    // Sizes the shown page and the window around it (the stored size of a resizable page first).
    void fitSelectedPage(bool useStoredFrame);

    WindowEnvironment m_env;
    QVector<PreferencesViewController*> m_panes;
    QVector<QAction*> m_actions;
    QHash<QString, QRect> m_minimumViewRects;
    QString m_title;
    PreferencesViewController* m_selected = nullptr;
    QToolBar* m_toolbar = nullptr;
    QVBoxLayout* m_content = nullptr;  // the shown page
    QActionGroup* m_group = nullptr;
    bool m_restoring = false;
    bool m_fitting = false;
    bool m_hiddenWhileInactive = false;
};
