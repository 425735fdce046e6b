// Hands the progress of a sub-pane's search runs, which the engine reports on the main thread, to
// the sub-pane while it lives (a run may report after its sub-pane is gone). Main thread only.
#pragma once

#include "search/core/SearchOptions.h"

#include <QPointer>

#include <cstdint>

template <class Subpane> class StudyPaneProgressForwarder : public SearchProgressDelegate {
public:
    explicit StudyPaneProgressForwarder(Subpane* subpane) : m_subpane(subpane) { }
    void searchProgressAddToCount(uint64_t addToCount, int64_t searchID) override
    {
        if (m_subpane)
            m_subpane->searchProgressAddToCount(double(addToCount), quint64(searchID));
    }
    void searchProgressIncrementBy(uint64_t incrementBy, int64_t searchID) override
    {
        if (m_subpane)
            m_subpane->searchProgressIncrementBy(double(incrementBy), quint64(searchID));
    }

private:
    QPointer<Subpane> m_subpane;
};
