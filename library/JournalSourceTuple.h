// JournalSourceTuple: the book record of the user's journal, a pseudo-book without a file. One
// instance for the process, made on first use around an open journal document. Its section count is
// asked of the document on every call, since the journal grows while the program runs.
// Any thread.
#pragma once

#include "library/SourceTuple.h"

class JournalSourceTuple : public SourceTuple {
public:
    JournalSourceTuple() = default;

    // The one journal tuple.
    static std::shared_ptr<SourceTuple> journalSourceTuple();

    quint64 numSections() override;
};
