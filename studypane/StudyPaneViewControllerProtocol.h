// What every study sub-pane is to the study pane controller: a controller with a view, a
// non-owning back reference to the study pane, and optional calls (the defaults do nothing).
// Main thread only.
#pragma once

class QWidget;
class SearchResultsAggregator;
class SourceTupleID;
class StudyPaneViewController;

class StudyPaneViewControllerProtocol {
public:
    virtual ~StudyPaneViewControllerProtocol() = default;

    // The sub-pane's view; owned by the sub-pane.
    virtual QWidget* view() = 0;
    // Sent to the shown sub-pane before another one replaces it.
    virtual void studyPaneWillChangeSubview() { }
    // Sent to a sub-pane just after it became the shown one.
    virtual void studyPaneDidActivateSubview() { }
    // The application is about to quit.
    virtual void exitIsImminent() { }
    // The search results the sub-pane holds for that book (Find, the notes and journal lists); null
    // when it holds none.
    virtual SearchResultsAggregator* searchResultsAggregatorForTuple(const SourceTupleID&) { return nullptr; }

    StudyPaneViewController* studyPaneViewController = nullptr;
};
