// The study pane's sub-panes, one per slot, and the factories that make them: the factory the pane's
// environment has for a slot (`subpaneFactories`), else the built-in one its row of the tab table
// names (Find, the note viewer and editor, the notes and journal lists, the library search and the
// Navigator have one; the other slots none). Tells which sub-pane a tab shows (the GoTo tab: the
// go-to sub-pane for the kind of the active book).
//
// Owned by the study pane controller; owns the sub-panes it made. The environment it is made with
// must outlive it. Main thread only.
#pragma once

#include "library/SourceTuple.h"
#include "studypane/StudyPaneSubpane.h"

#include <array>
#include <functional>
#include <memory>

class StudyPaneSubpaneSlots {
public:
    // The sub-panes, in the order they are made (and told of the coming exit). A new one takes a
    // slot here and its tab a row in the tab table (StudyPaneTabs.cpp).
    enum Slot {
        kSearchSubpane,
        kBibleGotoSubpane,
        kBookGotoSubpane,  // commentaries and dictionaries
        kDevoGotoSubpane,
        kOtherGotoSubpane,
        kHighlightsSubpane,
        kBookmarksSubpane,
        kNotesListSubpane,
        kNoteViewEditSubpane,
        kJournalListSubpane,
        kLibrarySearchSubpane,
        kNavigatorSubpane,
        kSubpaneCount
    };

    explicit StudyPaneSubpaneSlots(const StudyPaneEnvironment& env) : m_env(env) { }

    // Makes the sub-pane of every slot that has a factory, with the environment and host given; each
    // one made goes to `made`.
    void make(StudyPaneViewController* host, const std::function<void(Slot, StudyPaneSubpane&)>& made);
    // Deletes the sub-panes.
    void clear();

    // A slot's sub-pane; null when it has no factory or before they are made.
    StudyPaneSubpane* at(Slot slot) const;
    // Whether the tab has a sub-pane: once they are made, whether one was; before, whether a factory
    // would make one (the GoTo tab: any of the four go-to slots).
    bool hasTab(qint64 tab) const;
    // The sub-pane a tab shows for the active book; null for none, or when the GoTo tab's book is of
    // a kind no go-to sub-pane serves (what is shown then stays).
    StudyPaneSubpane* forTab(qint64 tab, const SourceTuple::Ptr& activeBook) const;
    // Tells every sub-pane that the application is about to quit.
    void exitIsImminent();

private:
    bool has(Slot slot) const;

    const StudyPaneEnvironment& m_env;
    std::array<std::unique_ptr<StudyPaneSubpane>, kSubpaneCount> m_subpanes;
    bool m_made = false;
};
