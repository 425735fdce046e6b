#include "studypane/StudyPaneSubpaneSlots.h"

#include "platform/MainThread.h"
#include "studypane/StudyPaneLibrarySearchViewController.h"
#include "studypane/StudyPaneNavigatorViewController.h"
#include "studypane/StudyPaneNoteViewEditViewController.h"
#include "studypane/StudyPaneNotesListViewController.h"
#include "studypane/StudyPaneSearchResultsViewController.h"

namespace {

using enum StudyPaneSubpaneSlots::Slot;

// The tab identifiers (as the study pane numbers them).
enum : qint64 {
    kFindTab = 1,
    kBookmarksTab,
    kHighlightsTab,
    kNoteViewEditTab,
    kNotesListTab,
    kGotoTab,
    kJournalTab,
    kLibraryTab,
    kNavigatorTab
};

StudyPaneSubpane::Factory builtInFactory(StudyPaneSubpaneSlots::Slot slot)
{
    switch (slot) {
    case kSearchSubpane:
        return StudyPaneSubpane::factoryFor<StudyPaneSearchResultsViewController>();
    case kNavigatorSubpane:
        return StudyPaneSubpane::factoryFor<StudyPaneNavigatorViewController>();
    case kNoteViewEditSubpane:
        return StudyPaneSubpane::factoryFor<StudyPaneNoteViewEditViewController>();
    case kNotesListSubpane:
        return StudyPaneSubpane::factoryFor<StudyPaneNotesListViewController>();
    case kJournalListSubpane:
        return [](const StudyPaneEnvironment& env, StudyPaneHost* host) -> std::unique_ptr<StudyPaneSubpane> {
            return StudyPaneNotesListViewController::journalList(env, host);
        };
    case kLibrarySearchSubpane:
        return StudyPaneSubpane::factoryFor<StudyPaneLibrarySearchViewController>();
    default:
        return {};
    }
}

StudyPaneSubpane::Factory factoryOf(const StudyPaneEnvironment& env, StudyPaneSubpaneSlots::Slot slot)
{
    const auto given = env.subpaneFactories.find(int(slot));
    return given != env.subpaneFactories.end() && given->second ? given->second : builtInFactory(slot);
}

// The one slot a tab shows; kSubpaneCount for the GoTo tab (four slots) and for no tab.
StudyPaneSubpaneSlots::Slot slotForTab(qint64 tab)
{
    for (int slot = 0; slot < kSubpaneCount; ++slot) {
        const qint64 shownBy = StudyPaneSubpaneSlots::tabForSlot(StudyPaneSubpaneSlots::Slot(slot));
        if (shownBy == tab && shownBy != kGotoTab)
            return StudyPaneSubpaneSlots::Slot(slot);
    }
    return kSubpaneCount;
}

}  // namespace

qint64 StudyPaneSubpaneSlots::tabForSlot(Slot slot)
{
    switch (slot) {
    case kSearchSubpane:
        return kFindTab;
    case kHighlightsSubpane:
        return kHighlightsTab;
    case kBookmarksSubpane:
        return kBookmarksTab;
    case kNotesListSubpane:
        return kNotesListTab;
    case kNoteViewEditSubpane:
        return kNoteViewEditTab;
    case kJournalListSubpane:
        return kJournalTab;
    case kLibrarySearchSubpane:
        return kLibraryTab;
    case kNavigatorSubpane:
        return kNavigatorTab;
    default:
        return kGotoTab;
    }
}

void StudyPaneSubpaneSlots::make(StudyPaneHost* host, const std::function<void(Slot, StudyPaneSubpane&)>& made)
{
    QS_ASSERT_MAIN_THREAD();
    m_made = true;
    for (int i = 0; i < kSubpaneCount; ++i) {
        const Slot slot = Slot(i);
        const StudyPaneSubpane::Factory make = factoryOf(m_env, slot);
        if (!make)
            continue;
        std::unique_ptr<StudyPaneSubpane>& subpane = m_subpanes[size_t(slot)];
        subpane = make(m_env, host);
        if (subpane)
            made(slot, *subpane);
    }
}

void StudyPaneSubpaneSlots::clear()
{
    for (auto& subpane : m_subpanes)
        subpane.reset();
}

StudyPaneSubpane* StudyPaneSubpaneSlots::at(Slot slot) const
{
    return slot >= 0 && slot < kSubpaneCount ? m_subpanes[size_t(slot)].get() : nullptr;
}

bool StudyPaneSubpaneSlots::has(Slot slot) const
{
    if (m_made)
        return m_subpanes[size_t(slot)] != nullptr;
    return static_cast<bool>(factoryOf(m_env, slot));
}

bool StudyPaneSubpaneSlots::hasTab(qint64 tab) const
{
    if (tab == kGotoTab)
        return has(kBibleGotoSubpane) || has(kBookGotoSubpane) || has(kDevoGotoSubpane) || has(kOtherGotoSubpane);
    const Slot slot = slotForTab(tab);
    return slot != kSubpaneCount && has(slot);
}

StudyPaneSubpane* StudyPaneSubpaneSlots::forTab(qint64 tab, const SourceTuple::Ptr& book) const
{
    if (tab != kGotoTab)
        return at(slotForTab(tab));
    // The active book's kind picks the go-to sub-pane.
    if (book == nullptr)
        return at(kOtherGotoSubpane);
    if (book->docSupports(SourceTuple::kDocSupportsIsBible()))
        return at(kBibleGotoSubpane);
    switch (book->syncType()) {
    case 1:
    case 2:
        return at(kBookGotoSubpane);
    case 3:
        return at(kDevoGotoSubpane);
    case 0:
        return at(kOtherGotoSubpane);
    default:
        // A kind of book no go-to sub-pane serves: what is shown stays.
        return nullptr;
    }
}

void StudyPaneSubpaneSlots::exitIsImminent()
{
    for (const auto& subpane : m_subpanes) {
        if (subpane)
            subpane->exitIsImminent();
    }
}
