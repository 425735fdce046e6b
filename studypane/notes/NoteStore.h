// NoteStore: where a user note lives and how the study pane reads, writes and deletes it. A note is
// a Bible note (one verse, by its packed key), a book note (one section of a book) or a journal note
// (a titled note of the journal pseudo-book); NoteLocation names one, and a NoteStore turns it into
// the records of the note document (cNoteDoc) it is made over: the profile's, which the renderer and
// the sync engine share, handed down through the study pane's environment.
//
// Writes never remove rows: a text that shows nothing or a deletion makes the note's row a tombstone
// for the next sync. A save of the text a note already holds writes nothing, so the note keeps the
// time of the user's last change (the newer copy wins a sync).
// A journal note is found by its record when the location names one that is still live, else by its
// title: ignoring case, a note of exactly that title first. Over no document nothing is found and every
// write fails; over a closed one (it could not be opened) every read is unreadable and every write
// fails.
//
// A value over a pointer (the document must outlive it); any thread (the note document serialises
// its stores), although the study pane calls it from the main thread only.
#pragma once

#include "library/SourceTupleID.h"

#include <QDateTime>
#include <QString>

#include <optional>

struct NoteLocation {
    enum class Kind { None, Bible, Book, Journal };

    std::optional<SourceTupleID> source;  // the book of a book note, or the journal identity
    quint32 section = 0;                  // section of a book note; of a journal note, its record id (0 = by title)
    quint32 key = 0;                      // packed verse key of a Bible note; 0 = none
    std::optional<QString> journalTitle;  // title of a journal note ("" for a new one)

    // By precedence: a key makes a Bible note; a book that is not the journal with a section a book
    // note; the journal with a title a journal note.
    Kind kind() const;
    bool hasBibleNote() const { return kind() == Kind::Bible; }
    bool hasJournalNote() const { return kind() == Kind::Journal; }
    bool hasSomethingToDisplay() const { return kind() != Kind::None; }

    static NoteLocation bible(quint32 key);
    static NoteLocation book(const SourceTupleID& id, quint32 section);
    static NoteLocation journal(const QString& title);
    friend bool operator==(const NoteLocation&, const NoteLocation&) = default;
};

// A read answers three ways: the live note (found), none there (neither flag), or the database could
// not be read just now (unreadable: another program holds it, or it failed), which says nothing of
// whether a note is there.
struct StoredNote {
    bool found = false;
    bool unreadable = false;
    QString text;
    qint64 serverID = 0;
    qint64 recordID = 0;
};

class cNoteDoc;

class NoteStore {
public:
    explicit NoteStore(cNoteDoc* notes) : m_notes(notes) { }

    // The journal pseudo-book's record place and field name.
    static constexpr quint16 kJournalPubID = 24326;
    static constexpr quint16 kJournalBookID = 15184;
    static constexpr quint8 kJournalEdition = 1;
    static constexpr qint32 kJournalSection = 1;
    static constexpr int kMaxJournalTitleLength = 128;
    static QString journalFieldName() { return QStringLiteral("Note"); }

    // The live note at the location (not found for None; unreadable when a read of it failed).
    StoredNote read(const NoteLocation& location) const;
    // How a save went, and when the text it stores was last changed.
    struct Save {
        QDateTime changedAt;   // the time of the user's last change; invalid: now
        bool newNote = false;  // out: no live note was there before
        bool written = false;  // out: something was written (not when the text was there already)
    };
    // Stores the text at the location: adds, updates, or (a text that shows nothing) soft-deletes;
    // nothing when the live note holds exactly that text, or there is none and the text shows
    // nothing. `newNote` tells whether no live note was there before. False when the store refused it,
    // or when what stands there could not be read (nothing is written then: a note that could not be
    // read is never taken for none and replaced).
    bool save(const NoteLocation& location, const QString& text, bool* newNote = nullptr) const;
    bool save(const NoteLocation& location, const QString& text, Save& how) const;
    // The location names its journal note's record (as section), and that note is live under the
    // location's title in some letter case: a save there stores into that record, and respells its
    // title as the location does.
    bool namesLiveJournalRecord(const NoteLocation& location) const;
    // The live book or journal note of a record id (the journal list's positions).
    StoredNote readBookNoteByRecordID(qint64 recordID) const;
    // Soft-deletes the note at the location; false when the store refused it or could not read it.
    bool remove(const NoteLocation& location) const;

    // A live note exists at the location (false also when it could not be read: ask read to tell).
    bool exists(const NoteLocation& location) const { return read(location).found; }
    // A live Bible note on the verse (packed key), in any versification of it.
    bool verseHasNote(quint32 key) const;
    // The first of T, T-1, T-2, ... under which no live journal note exists; empty when the notes
    // could not be read (no title is known to be free then).
    QString uniqueJournalTitleFrom(const QString& title) const;
    // A typed journal title as it is stored: trimmed of blanks and control characters at both ends and
    // cut to its first 128 characters.
    static QString cleanJournalTitle(const QString& typed);

    // The document while it is open, else null.
    cNoteDoc* openDocument() const;

private:
    cNoteDoc* m_notes = nullptr;
};
