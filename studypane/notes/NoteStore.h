// NoteStore: where a user note lives and how the study pane reads, writes and deletes it. A note is
// a Bible note (one verse, by its packed key), a book note (one section of a book) or a journal note
// (a titled note of the journal pseudo-book); NoteLocation names one, and the functions here turn it
// into the records of the process-wide note document (cNoteDoc).
//
// Writes never remove rows: an empty text or a deletion leaves a tombstone for the next sync.
// Journal titles are compared ignoring case by the store.
//
// Stateless; any thread (the note document serialises its stores), although the study pane calls
// it from the main thread only.
#pragma once

#include "library/SourceTupleID.h"

#include <QString>

#include <optional>

struct NoteLocation {
    enum class Kind { None, Bible, Book, Journal };

    std::optional<SourceTupleID> source;  // the book of a book note, or the journal identity
    quint32 section = 0;                  // section of a book note; 0 = none
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

struct StoredNote {
    bool found = false;
    QString text;
    qint64 serverID = 0;
    qint64 recordID = 0;
};

class NoteStore {
public:
    // The journal pseudo-book's record place and field name.
    static constexpr quint16 kJournalPubID = 24326;
    static constexpr quint16 kJournalBookID = 15184;
    static constexpr quint8 kJournalEdition = 1;
    static constexpr qint32 kJournalSection = 1;
    static constexpr int kMaxJournalTitleLength = 128;
    static QString journalFieldName() { return QStringLiteral("Note"); }

    // The live note at the location (not found for None).
    static StoredNote read(const NoteLocation& location);
    // Stores the text at the location: adds, updates, or (empty text) soft-deletes. `newNote` tells
    // whether no live note was there before. False when the store refused it.
    static bool save(const NoteLocation& location, const QString& text, bool* newNote = nullptr);
    // The live book or journal note of a record id (the journal list's positions).
    static StoredNote readBookNoteByRecordID(qint64 recordID);
    // Soft-deletes the note at the location; false when the store refused it.
    static bool remove(const NoteLocation& location);

    // A live note exists at the location.
    static bool exists(const NoteLocation& location) { return read(location).found; }
    // The first of T, T-1, T-2, ... under which no live journal note exists.
    static QString uniqueJournalTitleFrom(const QString& title);
    // A typed journal title as it is stored: trimmed of blanks and control characters at both ends and
    // cut to its first 128 characters.
    static QString cleanJournalTitle(const QString& typed);
};
