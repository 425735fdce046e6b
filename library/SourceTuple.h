// SourceTuple: one installed book as the library lists it, and the one door through which
// everything above the engine reaches that book's document.
//
// Its record (record(), a SourceTupleRecord) keeps what lists, menus and the library need without
// opening the book: identity, titles, classification, counts, language, bibliographic text, file
// path, capability flags, the versions of the Bible-reference tables the book carries. Callers read
// the fields they use (book->record().abbr). The tuple owns the book's engine document, opened on
// first use (sourceDoc) and shared with std::shared_ptr: a search thread that got the document
// keeps it alive even when the library drops the book meanwhile. Its parts work on that document:
// locations() (places, rendering, completion lists), words() (word numbers, concordances,
// attributes, limits, bookmarks) and readings() (a devotional's readings and progress); each
// answers a neutral value when there is none, so callers never check first.
//
// Tuples are shared too (std::shared_ptr<SourceTuple>): lists, panes, requests and search threads
// hold them. The record is filled once, before a tuple is shared (sourceTupleForSource, decode),
// and never changes afterwards; only kind, removable and confirmedPresent change, on the main
// thread, and those are atomic so that other threads may read them. sourceDoc() and the parts may
// be called from any thread; the engine serialises access to each book file.
#pragma once

#include "engine/docbase/cSourceDoc.h"
#include "engine/foundation/SimpleDate.h"
#include "library/DisplayOptions.h"
#include "library/SourceTupleID.h"
#include "library/SourceTupleLocations.h"
#include "library/SourceTupleReadings.h"
#include "library/SourceTupleRecord.h"
#include "library/SourceTupleWords.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <atomic>
#include <memory>
#include <mutex>

class BibleRef;
class BitVector;
class cBibleDoc;
class cBookDoc;
class cDateDoc;
class cHTMLRenderConfiguration;
class cSearchExpressionResult;
class cSearchWordList;
class SourceTuple;

// What DisplayOptions::search must offer: the search results of a book that the renderer asks
// which sections are hits and which words to mark. The search subsystem's result objects implement
// it; the options carry them as std::shared_ptr<RenderSearchResults>.
class RenderSearchResults {
public:
    virtual ~RenderSearchResults() = default;
    virtual const cSearchExpressionResult* searchHitsForTuple(const SourceTuple& tuple) const = 0;
    virtual const cSearchWordList* wordsToMark() const = 0;
};

class SourceTuple : public std::enable_shared_from_this<SourceTuple> {
public:
    using Ptr = std::shared_ptr<SourceTuple>;

    static constexpr quint32 kNoSection = 0;
    static constexpr quint32 kNoBlock = 0xFFFFFFFF;
    static constexpr quint32 kNoWord = 0xFFFFFFFF;
    static constexpr int kArchiveVersion = 3;
    static inline const QString kArchiveClassName = QStringLiteral("SourceTuple");

    // Kind numbers.
    enum : qint64 {
        kKindBible = 1,
        kKindStrongsBible = 2,
        kKindCommentary = 3,
        kKindDevotional = 4,
        kKindDictionary = 5,
        kKindStrongsDictionary = 6,
        kKindOther = 7,
        kKindCrossReferenceCommentary = 8,
        kKindWordAttributeBible = 9,
        kKindWordAttributeDictionary = 10,
    };
    // Classification numbers.
    enum : qint64 {
        kClassBible = 1,
        kClassCommentary = 3,
        kClassDevotional = 4,
        kClassDictionary = 5,
        kClassOther = 7,
    };

    SourceTuple() = default;
    virtual ~SourceTuple();
    SourceTuple(const SourceTuple&) = delete;
    SourceTuple& operator=(const SourceTuple&) = delete;

    // --- making tuples and documents -------------------------------------------------------
    static Ptr sourceTuple();
    // A new tuple filled from an open document (setSourceDoc).
    static Ptr sourceTupleForSource(std::shared_ptr<cSourceDoc> doc);
    // The shared journal tuple (JournalSourceTuple).
    static Ptr sourceTupleForFakeJournalDoc();
    // The shared "Bibles" placeholder: 24326/15185/1/1, kind 1, name "Bibles", abbr "BIBLES".
    static Ptr sourceTupleForFakeBibleDoc();
    // A new open document for a book file: a Bible document, a dated document or a contents
    // document, as the header says; null when the file does not open as a book (`reason`, when
    // given, then says why: kNotABookFile for a file that does not even begin as a book file, so
    // that it is never called a damaged book).
    static std::shared_ptr<cSourceDoc> allocateSourceForFile(const QString& path, QString* reason = nullptr);
    static inline const QString kNotABookFile = QStringLiteral("not a book file");
    static qint64 sourceClassificationForKind(qint64 kind);

    // --- the document ------------------------------------------------------------------------
    // The document, opened on first use from filepath (null when there is no path or the file
    // does not open; the next call tries again). Any thread; the open happens once.
    std::shared_ptr<cSourceDoc> sourceDoc();
    bool isSourceDocAllocated() const;
    // Takes a document (or none) and refills the record from it. Only for a tuple that no other
    // thread sees yet.
    void setSourceDoc(std::shared_ptr<cSourceDoc> doc);
    // Drops the tuple's hold on its document without touching the record: the library's removal.
    // Whoever still holds the document keeps it, open, until they let go.
    void releaseSourceDoc();
    // The same document seen through the interface the caller relies on (null when it is not one).
    std::shared_ptr<cBookDoc> bookDoc();
    std::shared_ptr<cBibleDoc> bibleDoc();
    std::shared_ptr<cDateDoc> dateDoc();

    // --- identity and record -----------------------------------------------------------------
    // What the library knows of the book without opening it: filled once, before the tuple is
    // shared, and the same afterwards, so any thread may read it.
    const SourceTupleRecord& record() const { return m_record; }
    // Same publisher and book (edition and revision are not compared).
    bool isEqual(const SourceTuple& other) const
    {
        return m_record.pubID == other.m_record.pubID && m_record.bookID == other.m_record.bookID;
    }
    bool isEqual(const SourceTupleID& other) const
    {
        return m_record.pubID == other.pubID() && m_record.bookID == other.bookID();
    }
    SourceTupleID sourceTupleID() const
    {
        return SourceTupleID(m_record.pubID, m_record.bookID, m_record.editionNumber, m_record.revisionNumber);
    }
    bool isFakeJournalDoc() const;
    bool isFakeBibleDoc() const;
    // NO only when the file at filepath exists and its modification date equals modificationTime.
    bool hasModificationTimeChanged() const;
    // A file's modification date as the record keeps it (UTC, whole seconds); invalid when the
    // file does not exist.
    static QDateTime fileModificationTime(const QString& path);
    // The number of sections: the record's, but the journal asks its document (it grows).
    virtual quint64 numSections() { return m_record.numSections; }

    // What changes after the tuple is shared: on the main thread, read from any.
    qint64 kind() const { return m_kind.load(); }
    void setKind(qint64 kind) { m_kind = kind; }
    bool removable() const { return m_removable.load(); }
    void setRemovable(bool v) { m_removable = v; }
    bool confirmedPresent() const { return m_confirmedPresent.load(); }
    void setConfirmedPresent(bool v) { m_confirmedPresent = v; }

    // Diagnostics: a multi-line listing, and the same as log lines.
    QString description() const;
    void log(const QString& heading = QString()) const;

    // --- archive -----------------------------------------------------------------------------
    // A path under `booksFolder` (the application's books folder when empty) or the public data
    // folder is stored relative to it, so the archive follows the folder when it moves.
    QVariant encode(const QString& booksFolder = QString()) const;
    // A tuple read back (no document, confirmedPresent NO); null when the value is not an
    // archived tuple or holds a field of the wrong kind.
    static Ptr decode(const QVariant& archived, const QString& booksFolder = QString());
    // Only the identity and the file, for a list whose records another list holds (the rest reads
    // back as missing).
    QVariant encodeReference(const QString& booksFolder = QString()) const;
    // Only the identity and the file of an archived tuple (either form), without making one; false
    // when the value is not an archived tuple or either is of the wrong kind.
    static bool decodeReference(
        const QVariant& archived, const QString& booksFolder, SourceTupleID& identity, QString& filepath);

    // --- capabilities ------------------------------------------------------------------------
    bool docSupports(quint64 mask) const { return (m_record.docSupportsFlags & mask) == mask; }
    bool isABible() const;
    bool isADevotional() const;

    // --- the parts that work on the document ---------------------------------------------------
    // The book's places, words and daily readings. Each answers a neutral value without a
    // document; the const parts open the document on first use as sourceDoc() does.
    const SourceTupleLocations& locations() const { return m_locations; }
    const SourceTupleWords& words() const { return m_words; }
    SourceTupleReadings& readings() { return m_readings; }
    const SourceTupleReadings& readings() const { return m_readings; }

    // --- book texts ----------------------------------------------------------------------------
    // The citation as text (the clipboard), and for HTML: the name escaped, the author and the
    // publisher as the book's own filtered HTML.
    QString bibliographicCitation() const;
    QString bibliographicCitationHtml() const;
    QString aboutThisBookContents();

private:
    SourceTupleLocations m_locations {*this};
    SourceTupleWords m_words {*this};
    SourceTupleReadings m_readings {*this};

    mutable std::mutex m_docMutex;
    std::shared_ptr<cSourceDoc> m_doc;

    SourceTupleRecord m_record;
    std::atomic<qint64> m_kind {0};
    std::atomic<bool> m_removable {false};
    std::atomic<bool> m_confirmedPresent {false};
};

Q_DECLARE_METATYPE(std::shared_ptr<SourceTuple>)
