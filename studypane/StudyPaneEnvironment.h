// What the study pane and its sub-panes use of the rest of the program, gathered in one value so a
// test can hand in its own: the notification centre, the user defaults, the layout manager, the
// library, the active book, the layout view that holds the pane, and the application's state save.
// `application()` gives the program's shared objects; the application fills in `activeBook`,
// `layoutHost` and `saveState` where it installs the study pane's factory. Main thread only.
#pragma once

#include "library/SourceTuple.h"

#include <functional>

class LayoutManager;
class NotificationCenter;
class SourceManager;
class UserDefaults;

// What the study pane needs of the layout view that holds it.
class StudyPaneLayoutHost {
public:
    virtual ~StudyPaneLayoutHost() = default;
    virtual double studyPaneWidth() const = 0;
    virtual bool isStudyPaneVisible() const = 0;
    // A hidden study pane gets the default width, a visible one is collapsed.
    virtual void setShowStudyPane(bool show) = 0;
    virtual void setStudyPaneWidth(double width) = 0;
};

struct StudyPaneEnvironment {
    // The width a study pane gets when it is shown.
    static constexpr double kDefaultStudyPaneWidth = 290;
    // The width of a collapsed study pane: a strip that still shows its edge box.
    static constexpr double kCollapsedStudyPaneWidth = 6;
    // A study pane at least this wide shows its contents.
    static constexpr double kVisibleStudyPaneWidth = 100;

    NotificationCenter* center = nullptr;
    UserDefaults* defaults = nullptr;
    LayoutManager* layoutManager = nullptr;
    SourceManager* library = nullptr;
    // The book of the book pane that is current in the current layout; null when the current pane
    // is no book pane or shows no book.
    std::function<SourceTuple::Ptr()> activeBook;
    // The layout view holding the pane (may be null: widths then cannot change).
    StudyPaneLayoutHost* layoutHost = nullptr;
    // Writes the layout archive at once (after the tab order changed); may be empty.
    std::function<void()> saveState;

    // The shared centre, defaults, layout manager and library.
    static StudyPaneEnvironment application();
};
