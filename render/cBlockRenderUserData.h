// cBlockRenderUserData: what the block renderer asks of the user's data for each verse it writes:
// the verse's highlight colours and whether the user has a note on it. The application installs an
// implementation over the process-wide highlight and note documents at start-up (the user-data
// library sits beside the renderer, so the renderer does not link it); until then, and in tests that
// need none, no verse is highlighted and none has a note.
//
// Implementations are called on the rendering thread and take the documents' own locks.

#pragma once

#include <cstdint>

#include "engine/foundation/cStartupHook.h"

class cBibleRef;

class cBlockRenderUserData : public cStartupHook<cBlockRenderUserData> {
public:
    virtual ~cBlockRenderUserData() = default;

    // The highlight of the reference's first verse: its fore and back colour values (highlight colour
    // ids or style codes); false when the verse has none.
    virtual bool verseHighlight(const cBibleRef& /*reference*/, std::uint16_t& /*fore*/, std::uint16_t& /*back*/) const
    {
        return false;
    }
    // Whether the user has a Bible note in the reference.
    virtual bool hasBibleNote(const cBibleRef& /*reference*/) const { return false; }

    // A number that moves whenever what the lookups answer may have changed (any write to the user's
    // data, by this program or another). A page keeps the number its verses were rendered under and
    // renders them again, even for a move within the page, once it has moved. 0 when nothing is read.
    virtual std::uint64_t changeStamp() const { return 0; }

    // The renderer brackets the lookups of one block with these (LookupBatch), so that an
    // implementation may look at what changed once per block rather than once per verse.
    virtual void beginLookupBatch() const { }
    virtual void endLookupBatch() const { }
    class LookupBatch {
    public:
        explicit LookupBatch(const cBlockRenderUserData& data) : m_data(data) { m_data.beginLookupBatch(); }
        ~LookupBatch() { m_data.endLookupBatch(); }
        LookupBatch(const LookupBatch&) = delete;
        LookupBatch& operator=(const LookupBatch&) = delete;

    private:
        const cBlockRenderUserData& m_data;
    };
};
