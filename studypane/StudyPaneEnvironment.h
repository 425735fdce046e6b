// What the study pane and its sub-panes use of the rest of the program, gathered in one value so a
// test can hand in its own: the notification centre, the user defaults, the layout manager, the
// library, the active book, the layout view that holds the pane, and the application's state save.
// `application()` gives the program's shared objects; the application fills in `activeBook`,
// `saveState` and the navigator's books and settings where it installs the study pane's factory (the
// layout view is found from the pane's view when `layoutHost` is left null). Main thread only.
#pragma once

#include "library/SourceTuple.h"
#include "library/SourceTupleID.h"

#include <functional>
#include <vector>

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

// The navigator's choice of books: kinds of books in the navigator's order, each chosen or not, with
// their books, each chosen or not.
struct NavigatorBookChoice {
    SourceTupleID id;
    bool checked = true;
};
struct NavigatorElementChoice {
    QString name;
    bool checked = true;
    std::vector<NavigatorBookChoice> books;
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
    // The books the navigator searches (the navigator settings' list); empty: the library's
    // commentaries, dictionaries and other books.
    std::function<std::vector<NavigatorElementChoice>()> navigatorElements;
    // Runs the navigator settings modally; false when the user cancelled. Empty: the navigator's
    // settings button is disabled.
    std::function<bool()> runNavigatorSettings;

    // The shared centre, defaults, layout manager and library.
    static StudyPaneEnvironment application();
};
