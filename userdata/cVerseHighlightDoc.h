// cVerseHighlightDoc: the one process-wide highlight store that the renderer, the documents and the
// study pane share, fronted by a cache of the highlights of the chapters read lately.
//
// Every document operation runs under the highlight lock (cVerseHighlightStg.h), so they are
// serialised across threads. A walk over the highlights (firstHighlight, any number of nextHighlight,
// endHighlightWalk) holds the lock from its start to its end, on one thread; that thread may look up
// verses meanwhile. The lock may be taken again by the thread that holds it, so the `lockHeld`
// arguments only document the caller's situation: a walk's firstHighlight and endHighlightWalk must
// still be paired.
//
// The sync engine uses the store operations of the same instance directly.
#pragma once

#include <cstdint>

#include "userdata/cVerseHighlightStg.h"

class cBibleRef;

class cVerseHighlightDoc : public cVerseHighlightStg {
public:
    cVerseHighlightDoc() = default;
    ~cVerseHighlightDoc() override;

    // The process-wide document; the first call creates it and opens it at the default path.
    static cVerseHighlightDoc* verseHighlightDocInstance();

    // Opening goes through openShared; this answers false and does nothing.
    bool openOrCreate(const cLString16& path, bool report) override;
    // closeShared.
    void close() override;
    // The store's value while the document is open, else -1.
    std::int64_t highestServerId() override;

    // Takes one share of the document (the default path when `path` is null), opening the store with
    // the first. Every successful call is matched by one closeShared.
    virtual bool openShared(const cLString16* path);
    // Gives one share back; the store closes with the last.
    void closeShared();
    bool isDocOpen() const;

    // The colours of the reference's first verse, or of an equivalent verse under another
    // versification (0 and 0 when none). False when there is no live highlight or the document is
    // closed. Answered from the highlights of the chapters read lately (cVerseChapterCache, kept under
    // the highlight lock), one statement per chapter.
    bool getHighlight(const cBibleRef& reference, std::uint16_t& fore, std::uint16_t& back, bool lockHeld = false);
    // The live row of the reference's first verse, else of the first equivalent verse that has one.
    bool findHighlightInReference(const cBibleRef& reference, cVerseHighlightRecord& record);
    // Colours the reference's first verse (or the equivalent verse whose row it finds). With
    // useTimestamp the row takes `timestamp` instead of the current time. False, writing nothing, when
    // the verse's row could not be read.
    bool setHighlight(const cBibleRef& reference, std::uint16_t fore, std::uint16_t back,
        const cDBTimestamp* timestamp = nullptr, bool useTimestamp = false);
    // Soft-deletes the verse's live highlight; true when it has none, false when that could not be
    // read or the deletion not written.
    bool removeHighlight(const cBibleRef& reference);

    // A walk over the live highlights by recid (only back colours in `colours`, when given). The walk
    // holds the highlight lock from firstHighlight (also when it answers false) to endHighlightWalk.
    bool firstHighlight(cVerseHighlightRecord& record, const cLIntArray* colours, bool lockHeld = false);
    bool nextHighlight(cVerseHighlightRecord& record, const cLIntArray* colours);
    void endHighlightWalk(bool lockHeld = false);

private:
    // getHighlight from the chapter cache; false with `failed` set when a chapter could not be read.
    bool highlightFromChapters(const cBibleRef& reference, std::uint32_t& colours, bool& failed);

    bool m_docOpen = false;
    cVerseChapterCache m_verses;  // under the highlight lock
};
