#include "studypane/notes/NoteStore.h"

#include "engine/references/cBibleRef.h"
#include "library/EngineStrings.h"
#include "userdata/NoteText.h"
#include "userdata/SQLiteFailure.h"
#include "userdata/cBibleNote.h"
#include "userdata/cBookNote.h"
#include "userdata/cNoteDoc.h"

#include <ctime>

namespace {

bool isJournalID(const SourceTupleID& id)
{
    return id == SourceTupleID::sourceTupleIDForFakeJournalDoc();
}

void place(cBookNote& record, const NoteLocation& location)
{
    if (location.hasJournalNote()) {
        record.pubid = NoteStore::kJournalPubID;
        record.bookid = NoteStore::kJournalBookID;
        record.edition = NoteStore::kJournalEdition;
        record.section = NoteStore::kJournalSection;
        record.formname = EngineStrings::utf16(location.journalTitle.value_or(QString()));
        record.fieldname = EngineStrings::utf16(NoteStore::journalFieldName());
    } else {
        record.pubid = static_cast<quint16>(location.source->pubID());
        record.bookid = static_cast<quint16>(location.source->bookID());
        record.edition = static_cast<quint8>(location.source->editionNumber());
        record.section = static_cast<qint32>(location.section);
        record.formname.makeEmpty();
        record.fieldname.makeEmpty();
    }
}

// A live note's record as the interface sees it (cBibleNote or cBookNote).
template <class Record> StoredNote storedNoteOf(const Record& record)
{
    StoredNote out;
    out.found = true;
    out.text = EngineStrings::fromUtf16(record.note);
    out.serverID = record.serverid;
    out.recordID = record.recid;
    return out;
}

// The journal note of the location's record, when the location names one (its section is the
// record id, as in the journal's pseudo-book) and that record is still a live journal note of the
// location's title, in any letter case (a title retyped otherwise names another note).
bool readJournalRecord(cNoteDoc& notes, const NoteLocation& location, cBookNote& record)
{
    if (!location.hasJournalNote() || location.section == 0)
        return false;
    record.clear();
    record.recid = qint64(location.section);
    return notes.readBookNoteByRecid(record) && record.deleted == 0 && record.pubid == NoteStore::kJournalPubID &&
        record.bookid == NoteStore::kJournalBookID && record.edition == NoteStore::kJournalEdition &&
        record.section == NoteStore::kJournalSection &&
        EngineStrings::fromUtf16(record.formname)
            .compare(location.journalTitle.value_or(QString()), Qt::CaseInsensitive) == 0;
}

bool readBookRecord(cNoteDoc& notes, const NoteLocation& location, cBookNote& record)
{
    if (readJournalRecord(notes, location, record))
        return true;
    cBookNote where;
    place(where, location);
    return notes.readFormNote(
        where.pubid, where.bookid, where.edition, where.section, where.formname, where.fieldname, record);
}

// The book, chapter and verse numbers of a verse key.
struct VerseNumbers {
    qint32 book, chapter, verse;
    explicit VerseNumbers(quint32 key)
        : book(qint32((key >> 16) & 0xFF)), chapter(qint32((key >> 8) & 0xFF)), verse(qint32(key & 0xFF))
    {
    }
};

// Runs the Bible form or the book form (books and the journal) of an operation on the notes;
// `none` when the document is not open or the location names no note.
template <class Result, class OnBible, class OnBook>
Result forLocation(cNoteDoc* notes, const NoteLocation& location, Result none, OnBible onBible, OnBook onBook)
{
    if (notes == nullptr)
        return none;
    switch (location.kind()) {
    case NoteLocation::Kind::None:
        return none;
    case NoteLocation::Kind::Bible:
        return onBible(*notes);
    case NoteLocation::Kind::Book:
    case NoteLocation::Kind::Journal:
        return onBook(*notes);
    }
    return none;
}

// A save that could not read what stands at its place writes nothing; the caller is told why as for
// a write the database refused (a caller capturing database errors gets the reason).
bool cannotRead(cNoteDoc& notes)
{
    const int code = SQLiteFailure::lastOnThisThread();
    notes.bibleNoteStore().reportError(code != 0 ? code : SQLITE_BUSY);
    return false;
}

}  // namespace

NoteLocation::Kind NoteLocation::kind() const
{
    if (key != 0)
        return Kind::Bible;
    if (source && !isJournalID(*source) && section != 0)
        return Kind::Book;
    if (source && isJournalID(*source) && journalTitle)
        return Kind::Journal;
    return Kind::None;
}

NoteLocation NoteLocation::bible(quint32 key)
{
    NoteLocation l;
    l.key = key;
    return l;
}

NoteLocation NoteLocation::book(const SourceTupleID& id, quint32 section)
{
    NoteLocation l;
    l.source = id;
    l.section = section;
    return l;
}

NoteLocation NoteLocation::journal(const QString& title)
{
    NoteLocation l;
    l.source = SourceTupleID::sourceTupleIDForFakeJournalDoc();
    l.journalTitle = title;
    return l;
}

cNoteDoc* NoteStore::openDocument() const
{
    return m_notes != nullptr && m_notes->IsOpen() ? m_notes : nullptr;
}

bool NoteStore::verseHasNote(quint32 key) const
{
    cNoteDoc* notes = openDocument();
    return key != 0 && notes != nullptr && notes->hasBibleNoteInReference(cBibleRef(key));
}

StoredNote NoteStore::read(const NoteLocation& location) const
{
    if (m_notes != nullptr && openDocument() == nullptr && location.hasSomethingToDisplay()) {
        // The document could not be opened (another program held the database at the start): what
        // is there is not known.
        StoredNote unknown;
        unknown.unreadable = true;
        return unknown;
    }
    const SQLiteFailure::Watch watch;
    StoredNote note = forLocation(
        openDocument(), location, StoredNote(),
        [&location](cNoteDoc& notes) {
            cBibleNote record;
            const bool live = notes.readBibleNoteInReference(cBibleRef(location.key), record) && record.deleted == 0;
            return live ? storedNoteOf(record) : StoredNote();
        },
        [&location](cNoteDoc& notes) {
            cBookNote record;
            const bool live = readBookRecord(notes, location, record) && record.deleted == 0;
            return live ? storedNoteOf(record) : StoredNote();
        });
    if (!note.found && watch.failed())
        note.unreadable = true;
    return note;
}

bool NoteStore::save(const NoteLocation& location, const QString& text, bool* newNote) const
{
    Save how;
    const bool ok = save(location, text, how);
    if (newNote != nullptr)
        *newNote = how.newNote;
    return ok;
}

bool NoteStore::save(const NoteLocation& location, const QString& text, Save& how) const
{
    how.newNote = false;
    how.written = false;
    const cLString16 note = EngineStrings::utf16(text);
    // A text already there is not written again: the note keeps its time, and its server copy.
    const auto unchanged = [&note](bool found, const cLString16& stored) {
        return found ? stored.equals(note) : NoteText::showsNothing(note);
    };
    const auto stamp = [&how](cDBRecord& record) {
        if (how.changedAt.isValid())
            record.stampAt(std::time_t(how.changedAt.toSecsSinceEpoch()));
    };
    const bool keepTimestamp = how.changedAt.isValid();
    return forLocation(
        openDocument(), location, false,
        [&](cNoteDoc& notes) {
            cBibleNote record;
            const SQLiteFailure::Watch watch;
            const bool found = notes.readBibleNoteInReference(cBibleRef(location.key), record) && record.deleted == 0;
            if (!found && watch.failed())
                return cannotRead(notes);
            how.newNote = !found;
            if (unchanged(found, record.note))
                return true;
            if (!found) {
                record.clear();
                const VerseNumbers at(location.key);
                record.booknum = at.book;
                record.chapter = at.chapter;
                record.verse = at.verse;
            }
            record.note = note;
            stamp(record);
            how.written = notes.saveBibleNote(record, keepTimestamp);
            return how.written;
        },
        [&](cNoteDoc& notes) {
            cBookNote record;
            const SQLiteFailure::Watch watch;
            const bool byRecord = readJournalRecord(notes, location, record);
            const bool found = byRecord || (readBookRecord(notes, location, record) && record.deleted == 0);
            if (!found && watch.failed())
                return cannotRead(notes);
            how.newNote = !found;
            // A note chosen by its record takes the title's letter case as the location spells it
            // (a text that shows nothing deletes it under the title it has).
            const bool respelled = byRecord && !NoteText::showsNothing(note) &&
                EngineStrings::fromUtf16(record.formname) != location.journalTitle.value_or(QString());
            if (unchanged(found, record.note) && !respelled)
                return true;
            if (!found) {
                record.clear();
                place(record, location);
            } else if (respelled) {
                record.formname = EngineStrings::utf16(*location.journalTitle);
            }
            record.note = note;
            stamp(record);
            how.written = notes.saveBookNote(record, keepTimestamp);
            return how.written;
        });
}

bool NoteStore::namesLiveJournalRecord(const NoteLocation& location) const
{
    cNoteDoc* notes = openDocument();
    cBookNote record;
    return notes != nullptr && readJournalRecord(*notes, location, record);
}

StoredNote NoteStore::readBookNoteByRecordID(qint64 recordID) const
{
    StoredNote out;
    cNoteDoc* notes = openDocument();
    if (notes == nullptr || recordID <= 0) {
        out.unreadable = m_notes != nullptr && notes == nullptr && recordID > 0;
        return out;
    }
    cBookNote record;
    record.recid = recordID;
    const SQLiteFailure::Watch watch;
    if (!notes->readBookNoteByRecid(record) || record.deleted != 0) {
        out.unreadable = watch.failed();
        return out;
    }
    return storedNoteOf(record);
}

bool NoteStore::remove(const NoteLocation& location) const
{
    return forLocation(
        openDocument(), location, false,
        [&location](cNoteDoc& notes) {
            const SQLiteFailure::Watch watch;
            const quint32 verse = notes.noteVerseInReference(cBibleRef(location.key));
            if (verse == 0)
                return !watch.failed();  // nothing live to delete, unless it could not be read
            const VerseNumbers at(verse);
            return notes.deleteBibleNoteAtVerse(at.book, at.chapter, at.verse);
        },
        [&location](cNoteDoc& notes) {
            cBookNote where;
            place(where, location);
            return notes.deleteFormNote(
                where.pubid, where.bookid, where.edition, where.section, where.formname, where.fieldname);
        });
}

QString NoteStore::uniqueJournalTitleFrom(const QString& title) const
{
    QString candidate = title;
    // The counter is bounded only by the number of notes, each of which takes one title.
    for (quint64 n = 1;; ++n) {
        const StoredNote there = read(NoteLocation::journal(candidate));
        if (there.unreadable)
            return QString();
        if (!there.found)
            return candidate;
        candidate = title + QLatin1Char('-') + QString::number(n);
    }
}

QString NoteStore::cleanJournalTitle(const QString& typed)
{
    qsizetype start = 0;
    qsizetype end = typed.size();
    auto blank = [](QChar c) { return c.isSpace() || c.category() == QChar::Other_Control; };
    while (start < end && blank(typed[start]))
        ++start;
    while (end > start && blank(typed[end - 1]))
        --end;
    QString title = typed.mid(start, end - start);
    if (title.size() > kMaxJournalTitleLength)
        title.truncate(kMaxJournalTitleLength);
    return title;
}
