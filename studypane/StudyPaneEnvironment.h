// What the study pane and its sub-panes use of the rest of the program, gathered in one value that
// is handed to the pane and to each sub-pane when it is made, so a test can hand in its own: the
// notification centre, the user defaults, the layout manager, the library, the alerts, the note and
// highlight documents, the active book, the layout view that holds the pane, the application's state
// save, its prompt, toast and dialogs, the registry of the format commands' target and the sub-panes'
// factories. Nothing in the study pane reaches a process-wide object except through this value.
// `fromWindow()` takes the shared objects of the main window's environment; the window fills in the
// rest (with the factories of the study tools outside the pane's own folder) where it installs the
// study pane's factory (the layout view is found from the pane's view when
// `layoutHost` is left null). Main thread only.
#pragma once

#include "library/SourceTuple.h"
#include "library/SourceTupleID.h"

#include <QString>
#include <QVariantMap>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class Alerts;
class cNoteDoc;
class cVerseHighlightDoc;
class EditFormatRegistry;
class LayoutManager;
class LinkPreview;
class QDialog;
class StudyPaneViewController;
class StudyPaneSubpane;
struct Alert;
struct GoToRequest;
class NotificationCenter;
class SourceManager;
class UserDefaults;
struct WindowEnvironment;

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

struct StudyPaneEnvironment;

// Makes a sub-pane for a study pane, with the pane's environment and the pane as its host (null: the
// sub-pane on its own).
using StudyPaneSubpaneFactory =
    std::function<std::unique_ptr<StudyPaneSubpane>(const StudyPaneEnvironment&, StudyPaneViewController*)>;

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
    // Asks the user; null: nothing is shown and `ask` answers with no button (so nothing is confirmed).
    Alerts* alerts = nullptr;
    // The user's notes and highlights (WindowEnvironment, read when the environment is made); null:
    // none are found and none are kept.
    cNoteDoc* notes = nullptr;
    cVerseHighlightDoc* highlights = nullptr;
    // Where the note editor registers itself as the target of the window's format commands; may be
    // null. Shared, since the panes (owned by the layouts) can outlive the window that made it.
    std::shared_ptr<EditFormatRegistry> formatRegistry;
    // The window's link previews; null: links in notes have no preview.
    std::shared_ptr<const LinkPreview> linkPreview;
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
    // The modal one-field prompt: options "title", "prompt", "default", "detailPrompt"; the entered
    // text, or nothing when cancelled. Empty: a plain input dialog asks.
    std::function<std::optional<QString>(const QVariantMap& options)> textPrompt;
    // A short message that fades away. Empty: it is written to the log.
    std::function<void(const QString& message)> toast;
    // Runs a dialog of a sub-pane modally and gives its result. Empty: QDialog::exec.
    std::function<int(QDialog& dialog)> runDialog;
    // Asks for Find's custom search limits (the current ones given); nothing when cancelled. Empty: a
    // plain input dialog asks.
    std::function<std::optional<QString>(const QString& current)> customLimitPrompt;
    // Asks where to save a file, the suggested file name given; an empty path when cancelled. Empty: the
    // platform's save dialog asks.
    std::function<QString(const QString& suggestedName)> chooseSaveFile;
    // Opens a place in a new tab of the window (a layout of its own); empty: Find's row menu offers
    // no new tab.
    std::function<void(const GoToRequest& request)> openInNewTab;
    // Whether the sync runs by itself (the note editor's cloud status line); empty: it does not.
    std::function<bool()> syncAutomatically;
    // The factories of sub-panes by slot (StudyPaneSubpaneSlots::Slot), filled by whoever makes the
    // environment: one here takes the place of the slot's built-in one (Find, the note viewer and
    // editor, the notes and journal lists, the library search and the Navigator have one); a slot
    // with neither has its tab's button disabled.
    std::map<int, StudyPaneSubpaneFactory> subpaneFactories;

    // Shows the alert through `alerts`; the button chosen, or 0 without alerts.
    int ask(const Alert& alert) const;
    // Runs `textPrompt`, or the plain input dialog.
    std::optional<QString> promptForText(const QVariantMap& options) const;
    // Shows the message through `toast`, or logs it.
    void showToast(const QString& message) const;
    // Runs `chooseSaveFile`, or the platform's save dialog.
    QString askForSaveFile(const QString& suggestedName) const;
    // Runs the dialog through `runDialog`, or QDialog::exec.
    int runModal(QDialog& dialog) const;

    // The window's centre, defaults, layout manager, library, alerts, note and highlight documents and
    // link previews; the rest left empty.
    static StudyPaneEnvironment fromWindow(const WindowEnvironment& window);
};
