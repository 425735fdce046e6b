#include "studypane/StudyPaneSubpaneSlots.h"

#include "platform/MainThread.h"
#include "studypane/StudyPaneTabs.h"

namespace {

using enum StudyPaneSubpaneSlots::Slot;

StudyPaneSubpane::Factory factoryOf(const StudyPaneEnvironment& env, StudyPaneSubpaneSlots::Slot slot)
{
    const auto given = env.subpaneFactories.find(int(slot));
    if (given != env.subpaneFactories.end() && given->second)
        return given->second;
    for (const StudyPaneTabs::Tab& tab : StudyPaneTabs::all()) {
        if (tab.slot == slot && tab.builtIn != nullptr)
            return tab.builtIn;
    }
    return {};
}

}  // namespace

void StudyPaneSubpaneSlots::make(
    StudyPaneViewController* host, const std::function<void(Slot, StudyPaneSubpane&)>& made)
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

bool StudyPaneSubpaneSlots::hasTab(qint64 id) const
{
    const StudyPaneTabs::Tab* tab = StudyPaneTabs::find(id);
    if (tab == nullptr)
        return false;
    if (StudyPaneTabs::isGotoSlot(tab->slot))
        return has(kBibleGotoSubpane) || has(kBookGotoSubpane) || has(kDevoGotoSubpane) || has(kOtherGotoSubpane);
    return has(tab->slot);
}

StudyPaneSubpane* StudyPaneSubpaneSlots::forTab(qint64 id, const SourceTuple::Ptr& book) const
{
    const StudyPaneTabs::Tab* tab = StudyPaneTabs::find(id);
    if (tab == nullptr)
        return nullptr;
    if (!StudyPaneTabs::isGotoSlot(tab->slot))
        return at(tab->slot);
    // The active book's kind picks the go-to sub-pane. A pane with no book yet (just split off) takes
    // a Bible reference: its field, not an outline of no book.
    if (book == nullptr)
        return at(kBibleGotoSubpane);
    if (book->docSupports(kDocSupportsIsBible))
        return at(kBibleGotoSubpane);
    switch (book->record().syncType) {
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
