// cBookUserData: the user's highlights and notes as the block renderer asks for them while it writes
// a Bible's verses, read from a highlight document and a note document. The book documents read the
// same note document for their book-note links and Bible-note queries (it is their cNoteDocProvider).
//
// install() is the one start-up call of the application (after the engine data folder is set): it
// opens the process-wide highlight and note documents on the user-data database and installs them
// for every book rendered from then on. Tools and tests that name a database file install documents
// of their own on that file with install(path). Until either is called nothing reads a database: no
// verse shows a highlight or a note link, and no database is opened or reported.
//
// The documents are not owned by the provider. Installing is meant for start-up (or a tool's main);
// the provider itself may be called from any thread, since both documents take their own locks.
#pragma once

#include <cstdint>

#include "engine/docbase/cSourceDoc.h"
#include "engine/foundation/cLStringTmpl.h"
#include "render/cBlockRenderUserData.h"

class cNoteDoc;
class cVerseHighlightDoc;

class cBookUserData final : public cBlockRenderUserData, public cNoteDocProvider {
public:
    cBookUserData(cVerseHighlightDoc* highlights, cNoteDoc* notes) : m_highlights(highlights), m_notes(notes) { }

    bool verseHighlight(const cBibleRef& reference, std::uint16_t& fore, std::uint16_t& back) const override;
    bool hasBibleNote(const cBibleRef& reference) const override;
    // The database's change serial (cSQLiteDbBase::changeSerial); 0 with no documents.
    std::uint64_t changeStamp() const override;
    // A block's lookups look at the database file once (cVerseChapterCache batches).
    void beginLookupBatch() const override;
    void endLookupBatch() const override;
    cNoteDoc* noteDoc() const override { return m_notes; }

    // The process-wide highlight and note documents on the database at its default path, installed
    // for the renderer and the documents. Answers whether both documents are open; calling it again
    // opens a document that could not be opened before (another program held the database), and
    // opens nothing twice.
    static bool install();
    // Documents of their own on the database file at `path` (kept until uninstall), installed in the
    // same way. False, with nothing installed, when either document cannot be opened.
    static bool install(const cLString16& path);
    // Back to no user data; documents opened by install(path) are closed.
    static void uninstall();

private:
    cVerseHighlightDoc* m_highlights;
    cNoteDoc* m_notes;
};
