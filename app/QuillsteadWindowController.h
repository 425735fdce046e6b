// QuillsteadWindowController: the main window. From top to bottom it holds the toolbar, the layout tab
// bar (one tab per screen layout, with a "+" button) and the layout area where the pane manager shows
// the current layout. It keeps the tab bar and the LayoutManager's layouts in step both ways, and saves
// the window frame on quit.
//
// It owns the window's ActionRegistry: the application controller's command objects, the format
// commands and this controller register the commands they perform there, each with its menu place,
// toolbar offer and states (the history, copy, study pane and sub-pane commands are this
// controller's); the menus and the toolbar are built from it.
//
// Owned by the application controller; owns its window. Main thread only.
#pragma once

#include "panes/environment/WindowEnvironment.h"
#include "panes/layout/LayoutRect.h"
#include "studypane/EditFormatDelegate.h"
#include "studypane/StudyPaneEnvironment.h"
#include "studypane/StudyPaneTabs.h"

#include <QMainWindow>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QTimer>
#include <QVariantMap>

#include <memory>

class ActionRegistry;
class BookPaneHooks;
class LinkPreview;
class EditFormatCommands;
class QuillsteadWindowHost;
class QTabBar;
class QToolBar;
class QToolButton;
class QAction;
class QMenu;
class SourceTuple;
class LayoutViewController;
class LayoutPaneFactory;

// The window class: key equivalents go to the menus, and closing quits.
class QuillsteadWindow : public QMainWindow {
    Q_OBJECT
public:
    using QMainWindow::QMainWindow;
    // The toolbar's identifiers shown by default (the commands offered on it are the registry's
    // toolbarPalette()). An identifier other than a space is the name of the command its item runs.
    static const QStringList& toolbarDefaultItemIdentifiers();

signals:
    void closing();

protected:
    void closeEvent(QCloseEvent* event) override;
};

class WindowNotice;

class QuillsteadWindowController : public QObject {
    Q_OBJECT
public:
    QuillsteadWindowController(QuillsteadWindowHost* app, const WindowEnvironment& environment);
    ~QuillsteadWindowController() override;

    QuillsteadWindow* window() const { return m_window.get(); }
    QTabBar* tabBar() const { return m_tabBar; }
    QToolBar* toolbar() const { return m_toolbar; }
    // The line below the layout area that says what happened without taking the keys.
    WindowNotice* notice() const { return m_notice; }
    // The pane manager, which owns the layout view shown in the layout area.
    LayoutViewController* layoutViewController() const { return m_layoutViewController.get(); }
    // The panes the layout view makes for its regions (not owned; must outlive the window).
    void setPaneFactory(LayoutPaneFactory* factory);
    // The window's commands by name; the menus and the toolbar hold these actions.
    ActionRegistry& actions() const { return *m_actions; }
    // What this window works with: the application's environment with this window's commands.
    const WindowEnvironment& environment() const { return m_environment; }

    // Shows the window at the saved frame (or the screen's available area) and restores the layouts.
    void showWindow();
    // The saved frame made to fit `screen` (an available area): no larger than it and inside it. A
    // frame that is not a number, empty or negative gives the whole area.
    static QRect frameOnScreen(double x, double y, double width, double height, const QRect& screen);
    void exitIsImminent();
    void preemptiveSaveState();

    // The layout area as the layout model measures it (origin 0,0).
    LayoutRect layoutAreaRect() const;
    static double defaultStudyPaneWidth();

    // Layout tabs.
    void makeTabsForLayoutManagerLayouts();
    void makeLayoutManagerMatchTabs();
    void selectLayoutAtIndex(quint64 index);
    void selectLayoutWithName(const QString& name);
    bool isTabBarVisible() const;
    // Shows or hides the layout tab bar with its "+" button (the Layout Tabs command).
    void setTabBarVisible(bool visible);

    // What the commands need of the panes: the pane manager answers these once it is in the window.
    struct CurrentBook {
        std::shared_ptr<SourceTuple> book;
        quint32 section = 0;
        int region = -1;
    };
    CurrentBook currentBookAndSection() const;
    void makeGoToPaneCurrent();
    void setShowStudyPane(bool show);
    bool isStudyPaneVisible() const;
    void goBackInHistory();
    void goForwardInHistory();

    // What this window's study panes, their sub-panes and the book panes' study services are made
    // with: the shared objects, this window's prompt, toast and format-command registry.
    const StudyPaneEnvironment& studyPaneEnvironment() const { return m_studyPaneEnvironment; }
    // What this window's book panes ask of the study pane, the copier and the application.

    // Windows the commands open.
    QString runTextPrompt(const QVariantMap& options);
    QString runNewLayoutSheet();
    void onCopyPassage(bool now);
    void copyPassage(bool now);
    bool canCopyPassageNow() const;
    // Edit > Copy: the focused field of another window copies; in this window the selection of the
    // current book pane, else the focused field.
    void onCopy();
    // Whether Edit > Copy has a selection to copy.
    bool canCopy() const;

private:
    void setupActions();
    // Registers the command that shows a study pane tab, as its row of the tab table gives it.
    void addStudyPaneTabCommand(const StudyPaneTabs::Tab& tab);
    void buildMenus();
    void buildToolbar();
    void applyToolbarStyle();
    void tabMoved();
    void tabCloseRequested(int index);
    void tabSelected(int index);

    QuillsteadWindowHost* m_app;
    std::unique_ptr<QuillsteadWindow> m_window;
    QTabBar* m_tabBar = nullptr;
    QToolButton* m_addLayoutButton = nullptr;
    QToolBar* m_toolbar = nullptr;
    QWidget* m_layoutArea = nullptr;
    WindowNotice* m_notice = nullptr;
    ActionRegistry* m_actions = nullptr;
    WindowEnvironment m_environment;
    // Shared with the panes' note editors, which register in it and may outlive this window (the
    // layouts that own them are the layout manager's).
    std::shared_ptr<EditFormatRegistry> m_formatRegistry = std::make_shared<EditFormatRegistry>();
    std::unique_ptr<EditFormatCommands> m_formatCommands;
    StudyPaneEnvironment m_studyPaneEnvironment;
    // Shared with the book panes, which may outlive this window.
    std::shared_ptr<BookPaneHooks> m_bookPaneHooks;
    std::shared_ptr<LinkPreview> m_linkPreview;
    std::unique_ptr<LayoutPaneFactory> m_paneFactory;
    std::unique_ptr<LayoutViewController> m_layoutViewController;
    bool m_ignoreTabViewDelegateMessages = false;
    bool m_observingLayouts = false;
    // Writes the layout archive a moment after the screen changed, so a reader that ends without
    // quitting comes back to the screen it had.
    QTimer* m_layoutSave = nullptr;
    static constexpr int kLayoutSaveDelayMs = 2000;
};
