// The base of every study sub-pane (Find, the go-to panes, bookmarks, highlights, the notes and
// journal lists, the note viewer and editor, the library search, the Navigator).
//
// A sub-pane is made by the factory its slot has in the study pane's environment (`subpaneFactories`,
// usually `StudyPaneSubpane::factoryFor<MySubpane>()`), or the slot's built-in one, with the study
// pane's environment and the study pane that holds it, its host (null when a sub-pane lives on its
// own, in a test). It asks the pane its layout, its archived state and its notes search results, and
// tells it things through two signals (`recentVerseVisited`, `showRequested`); the rest of the
// program it reaches only through its environment.
//
// The view is made on the first `view()`: the sub-pane's `loadView()` makes its root with
// `createView` and the children under it, then `viewDidLoad()` runs. The view belongs to this object
// and is deleted with it, unless Qt deleted it first (the study pane's view holds the shown
// sub-pane's view as a child while it is shown). Observations made with `observe` end with the
// sub-pane. Main thread only.
#pragma once

#include "platform/NotificationCenter.h"
#include "studypane/StudyPaneEnvironment.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

struct GoToRequest;
class Layout;
class SearchResultsAggregator;
class SourceTuple;
class SourceTupleID;
class StudyPaneRegionContentItemState;
class StudyPaneViewController;

class StudyPaneSubpane : public QObject {
    Q_OBJECT
public:
    // Makes a sub-pane for a study pane (host null: on its own).
    using Factory = StudyPaneSubpaneFactory;
    template <class Subpane> static Factory factoryFor()
    {
        return [](const StudyPaneEnvironment& env, StudyPaneViewController* host) -> std::unique_ptr<StudyPaneSubpane> {
            return std::make_unique<Subpane>(env, host);
        };
    }

    explicit StudyPaneSubpane(StudyPaneEnvironment env, StudyPaneViewController* host = nullptr);
    ~StudyPaneSubpane() override;

    // The sub-pane's view, made on the first call; owned by this object.
    QWidget* view();

    // Sent to the shown sub-pane before another one replaces it.
    virtual void studyPaneWillChangeSubview() { }
    // Sent to a sub-pane just after it became the shown one.
    virtual void studyPaneDidActivateSubview() { }
    // The application is about to quit.
    virtual void exitIsImminent() { }
    // The search results the sub-pane holds for that book; null when it holds none.
    virtual SearchResultsAggregator* searchResultsAggregatorForTuple(const SourceTupleID&) { return nullptr; }

    const StudyPaneEnvironment& environment() const { return m_env; }
    StudyPaneViewController* host() const { return m_host; }

signals:
    // The user went to a verse from this sub-pane: the pane puts it on its recent-verses stack
    // (compared in the given translation's numbering).
    void recentVerseVisited(quint32 key, const QString& translation);
    // The sub-pane asks to be the shown one (its tab selected).
    void showRequested();

protected:
    // Makes the view: its root with `createView`, then the children under it. Called once, by the
    // first `view()`.
    virtual void loadView() = 0;
    // Runs once the view is made (fills it from the current state).
    virtual void viewDidLoad() { }
    // Makes the view's root; from now on it is `loadedView()`.
    template <class View = QWidget> View* createView(const QString& objectName)
    {
        auto* root = new View;
        root->setObjectName(objectName);
        m_view = root;
        return root;
    }
    // The view when it is made, else null.
    QWidget* loadedView() const { return m_view; }

    // Observes a notification on the environment's centre (nothing without one) for this sub-pane's life.
    void observe(const QString& name, std::function<void(Notification&)> handler);
    // Ends every observation made with `observe`.
    void stopObserving() { m_observations.clear(); }

    // The host's layout and its identifier (null and empty without a host).
    Layout* layout() const;
    QString layoutUuid() const;
    // Whether the layout holding the pane is the layout manager's current layout.
    bool isLayoutCurrent() const;
    // The host's archived state; null without a host or a state.
    StudyPaneRegionContentItemState* paneState() const;
    // Posts the go-to request for this pane's layout.
    void requestGoTo(GoToRequest request);
    // Goes to the section of the book in this pane's layout (activating and syncing) as a click on a
    // listed place does; a Bible's verse goes on the recent-verses stack too.
    void goToSection(const std::shared_ptr<SourceTuple>& book, quint32 section);

    StudyPaneEnvironment m_env;

private:
    StudyPaneViewController* m_host;
    QPointer<QWidget> m_view;
    std::vector<Observation> m_observations;
};
