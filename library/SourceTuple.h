// SourceTuple: the record of one installed book and the one door through which everything above
// the engine reaches that book's document.
//
// The record keeps what lists, menus and the library need without opening the book (identity,
// titles, kind and classification, counts, language, bibliographic text, file path, capability
// flags, the versions of the Bible-reference tables the book carries). It owns the book's engine
// document, opened on first use (sourceDoc) and shared with std::shared_ptr: a search thread that
// got the document keeps it alive even when the library drops the book meanwhile. The facade
// (rendering, locations, words, concordances, limits, readings, book texts) works on that document
// and answers a neutral value when there is none, so callers never check first.
//
// Tuples are shared too (std::shared_ptr<SourceTuple>): lists, panes, requests and search threads
// hold them. The record fields are filled once, before a tuple is shared (sourceTupleForSource,
// decode); afterwards only kind, removable and confirmedPresent change, on the main thread, and
// those are atomic so that other threads may read them. sourceDoc() and the facade may be called
// from any thread; the engine serialises access to each book file.
#pragma once

#include "engine/docbase/cSourceDoc.h"
#include "engine/foundation/SimpleDate.h"
#include "library/DisplayOptions.h"
#include "library/SourceTupleID.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <atomic>
#include <ctime>
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
    static qint64 sourceClassificationForSource(cSourceDoc& doc);
    static qint64 sourceKindForSource(cSourceDoc& doc);
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
    // Same publisher and book (edition and revision are not compared).
    bool isEqual(const SourceTuple& other) const { return m_pubID == other.m_pubID && m_bookID == other.m_bookID; }
    bool isEqual(const SourceTupleID& other) const { return m_pubID == other.pubID() && m_bookID == other.bookID(); }
    SourceTupleID sourceTupleID() const { return SourceTupleID(m_pubID, m_bookID, m_editionNumber, m_revisionNumber); }
    bool isFakeJournalDoc() const;
    bool isFakeBibleDoc() const;
    // NO only when the file at filepath exists and its modification date equals modificationTime.
    bool hasModificationTimeChanged() const;
    // The modification time the document's book file reports (now without one), in UTC.
    void modificationTime(std::tm& out);
    // A file's modification date as the record keeps it (UTC, whole seconds); invalid when the
    // file does not exist.
    static QDateTime fileModificationTime(const QString& path);

    bool removable() const { return m_removable.load(); }
    void setRemovable(bool v) { m_removable = v; }
    bool ignoreIntraBookSync() const { return m_ignoreIntraBookSync; }
    bool noVerseNums() const { return m_noVerseNums; }
    bool confirmedPresent() const { return m_confirmedPresent.load(); }
    void setConfirmedPresent(bool v) { m_confirmedPresent = v; }
    const QString& name() const { return m_name; }
    const QString& abbr() const { return m_abbr; }
    const QString& sortTitle() const { return m_sortTitle; }
    const QString& subtitle() const { return m_subtitle; }
    qint64 pubID() const { return m_pubID; }
    qint64 bookID() const { return m_bookID; }
    qint64 editionNumber() const { return m_editionNumber; }
    qint64 revisionNumber() const { return m_revisionNumber; }
    qint64 kind() const { return m_kind.load(); }
    void setKind(qint64 kind) { m_kind = kind; }
    qint64 classification() const { return m_classification; }
    const QDateTime& modificationTime() const { return m_modificationTime; }
    qint64 bookNameListVersion() const { return m_tableVersions[0]; }
    qint64 bookNumToNameNumVersion() const { return m_tableVersions[1]; }
    qint64 transListVersion() const { return m_tableVersions[2]; }
    qint64 bibleBooksVersion() const { return m_tableVersions[3]; }
    qint64 nameNumberToBookCategoriesVersion() const { return m_tableVersions[4]; }
    qint64 verseMapVersion() const { return m_tableVersions[5]; }
    qint64 totalOrderOnBookNumberVersion() const { return m_tableVersions[6]; }
    qint64 fixUpRefMapVersion() const { return m_tableVersions[7]; }
    qint64 getKeyMapVersion() const { return m_tableVersions[8]; }
    qint64 doMapSpecialCasesMapVersion() const { return m_tableVersions[9]; }
    qint64 getChapterNumberSpellingMapVersion() const { return m_tableVersions[10]; }
    qint64 isOneChapterBookListVersion() const { return m_tableVersions[11]; }
    const QString& bibleBooks() const { return m_bibleBooks; }
    const QString& filepath() const { return m_filepath; }
    quint64 numDictionaryLookupWords() const { return m_numDictionaryLookupWords; }
    quint64 numCommentaryLookupWords() const { return m_numCommentaryLookupWords; }
    quint64 syncType() const { return m_syncType; }
    virtual quint64 numSections() { return m_numSections; }
    quint64 numBlocks() const { return m_numBlocks; }
    quint64 bookLanguage() const { return m_bookLanguage; }
    const QString& bookLanguageString() const { return m_bookLanguageString; }
    quint64 numReadings() const { return m_numReadings; }
    const QString& copyrightText() const { return m_copyrightText; }
    const QString& author() const { return m_author; }
    const QString& publisher() const { return m_publisher; }
    const QString& publisherCity() const { return m_publisherCity; }
    const QString& publisherDate() const { return m_publisherDate; }
    qint64 minVerMaj() const { return m_minVerMaj; }
    qint64 minVerMin() const { return m_minVerMin; }
    qint64 fileVerMaj() const { return m_fileVerMaj; }
    qint64 fileVerMin() const { return m_fileVerMin; }
    qint64 numWordAttributeDefinitions() const { return m_numWordAttributeDefinitions; }
    quint64 docSupportsFlags() const { return m_docSupportsFlags; }

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
    bool docSupports(quint64 mask) const { return (m_docSupportsFlags & mask) == mask; }
    bool isABible() const;
    bool isADevotional() const;
    static quint64 kDocSupportsBookmarks() { return ::kDocSupportsBookmarks; }
    static quint64 kDocSupportsBibleBookmarks() { return ::kDocSupportsBibleBookmarks; }
    static quint64 kDocSupportsVerseLimits() { return ::kDocSupportsVerseLimits; }
    static quint64 kDocSupportsNotes() { return ::kDocSupportsNotes; }
    static quint64 kDocSupportsWordLookup() { return ::kDocSupportsWordLookup; }
    static quint64 kDocSupportsBibleLookup() { return ::kDocSupportsBibleLookup; }
    static quint64 kDocSupportsCopyright() { return ::kDocSupportsCopyright; }
    static quint64 kDocSupportsBibleSync() { return ::kDocSupportsBibleSync; }
    static quint64 kDocSupportsDateLookup() { return ::kDocSupportsDateLookup; }
    static quint64 kDocSupportsStrongsGreek() { return ::kDocSupportsStrongsGreek; }
    static quint64 kDocSupportsStrongsHebrew() { return ::kDocSupportsStrongsHebrew; }
    static quint64 kDocSupportsTextHtml() { return ::kDocSupportsTextHtml; }
    static quint64 kDocSupportsDailyReadings() { return ::kDocSupportsDailyReadings; }
    static quint64 kDocSupportsIsBible() { return ::kDocSupportsIsBible; }
    static quint64 kDocSupportsIsSearchResults() { return ::kDocSupportsIsSearchResults; }
    static quint64 kDocSupportsIsFakeJournalDoc() { return ::kDocSupportsIsFakeJournalDoc; }
    static quint64 kDocSupportsWordAttributes() { return ::kDocSupportsWordAttributes; }

    // --- rendering and locations ---------------------------------------------------------------
    quint32 sectionForTextOffset(quint32 offset);
    quint32 sectionForBlock(quint32 block);
    quint32 blockForSection(quint32 section);
    quint32 lastBlockForSection(quint32 section);
    quint32 textOffsetForSection(quint32 section);
    quint32 textSize();
    quint32 keyForSection(quint32 section);
    quint32 sectionForBibleKey(quint32 key);
    quint32 lastSectionForAmbiguousKey(quint32 key);
    bool sectionRangeForVerse(const BibleRef& verse, quint32* startSection, quint32* endSection);
    bool sectionRangeForSyncString(
        const QString& text, bool requiresMoreThanBookName, quint32* startSection, quint32* endSection);
    quint32 sectionForSyncString(const QString& text, bool requiresMoreThanBookName);
    // As sectionRangeForSyncString, for a place the reader asked to go to: in a Bible, a reference
    // that names a chapter and no verse ("Ps 23", "John 1") starts at the chapter's heading when
    // the Bible has one, so that the heading and a psalm's title stand above its first verse.
    bool sectionRangeForGoTo(const QString& text, quint32* startSection, quint32* endSection);
    // In a Bible, the section of the heading of the chapter that `section` (a verse) is in, when
    // the heading comes before it; otherwise `section` itself.
    quint32 chapterHeadingSectionAbove(quint32 section);
    quint32 sectionForSyncString(const QString& text) { return sectionForSyncString(text, false); }
    quint32 sectionForTocPath(const QString& path);
    quint32 sectionForPreviousChapter(quint32 section);
    quint32 sectionForNextChapter(quint32 section);
    QString getPositionNameForTitleBar(quint64 section);

    quint32 numChildrenOfSection(quint32 section);
    quint32 sectionForChild(quint32 index, quint32 section);
    void loadChildSectionsOf(quint32 section, QList<quint32>& array, bool append);
    bool hasChildren(quint32 section);
    static inline const QString QSTOCSectionNumberKey = QStringLiteral("QSTOCSectionNumberKey");
    static inline const QString QSTOCLevelNumberKey = QStringLiteral("QSTOCLevelNumberKey");
    static inline const QString QSTOCTitleStringKey = QStringLiteral("QSTOCTitleStringKey");
    QVariantMap tocForSection(quint32 section);
    QString tocNameForSection(quint32 section);

    // The display HTML of one block; "" for block 0xFFFFFFFF, without a document, or on failure.
    QString htmlTextForBlock(quint32 block, const DisplayOptions& options = DisplayOptions());
    void loadDefaultHtmlRenderConfigurationInto(cHTMLRenderConfiguration& configuration);

    QStringList bibleBookNameSpellingsAbbreviated(quint32 mask, const QString& prefix, QList<quint32>* sectionArray);
    QStringList bibleChapterNameSpellingsForBook(
        const QString& typed, quint32 startSection, bool numbersOnly, QList<quint32>* sectionArray);
    QStringList bibleVerseNameSpellingsForChapter(
        const QString& typed, quint32 startSection, bool numbersOnly, QList<quint32>* sectionArray);

    // --- words, concordances and limits --------------------------------------------------------
    bool isPhrasePresent(const cSearchWordList& phrase, quint32 section);
    QString plainTextSearchResultTitleForSection(quint32 section);
    QString htmlSearchResultTextForSection(quint32 section, const cSearchWordList* markWords, quint32 style);
    // Null when the book lists none.
    std::unique_ptr<QList<BibleRef>> bibleLinksListForSection(quint32 section, const QString& translation);
    // The words of a verse of the kinds asked for (WordListKind values or-ed together); null when
    // the engine gives no list.
    enum WordListKind : quint32 {
        kWordListWords = 1,
        kWordListStrongsGreek = 2,
        kWordListStrongsHebrew = 4,
        kWordListWordAttributes = 8,
    };
    std::unique_ptr<QStringList> wordListForVerse(const BibleRef& verse, quint32 kinds);

    quint32 canonicalWordNumberForString(const QString& word);
    quint32 wordNumberForString(const QString& word, bool partialMatch);
    QString wordForWordNumber(quint32 number);
    quint32 metaphoneWordNumberForString(const QString& code);
    quint32 stemmerWordNumberForString(const QString& stem);
    // Not found: 0xFFFFFFFF (word 0 is a real headword).
    quint32 wordNumberForDictionaryLookupWord(const QString& word, bool partialMatch);
    QString dictionaryLookupWordForWordNumber(quint32 number);
    QString commentaryLookupWordForWordNumber(quint32 number);
    QString wordForWordNumber(quint32 number, qint64 inAttributeDefinition);
    quint32 numWordsInAttributeDefinition(qint64 index);

    quint32 resultsFromMainConcordanceForWordNum(quint32 wordNumber, BitVector& results);
    quint32 resultsFromMainConcordanceForWord(const QString& word, BitVector& results);
    quint32 resultsFromMetaphoneConcordanceForWordNum(quint32 wordNumber, BitVector& results);
    quint32 resultsFromStemmerConcordanceForWordNum(quint32 wordNumber, BitVector& results);
    quint32 resultsFromStrongsHebrewConcordanceForWord(const QString& word, BitVector& results);
    quint32 resultsFromStrongsGreekConcordanceForWord(const QString& word, BitVector& results);
    quint32 resultsFromWordAttributeConcordanceForWord(const QString& word, BitVector& results);
    quint32 resultsFromVerseReferenceConcordanceForVerse(const BibleRef& verse, BitVector& results);
    quint32 resultsFromWordSyncConcordanceForWord(const QString& word, BitVector& results);
    quint32 wordOccursInXSections(const QString& word);
    quint32 sectionForDictionaryLookupWordNumber(quint32 number);
    quint32 sectionForCommentaryLookupWordNumber(quint32 number);
    bool dictionaryEntry(const QString& headword, quint32* startSection, quint32* endSection, bool matchAsPrefix);

    // One map per attribute {"attribute", "description", "displayPrefix", "syncPrefix", "linkType"};
    // null when the engine gives none.
    std::unique_ptr<QList<QVariantMap>> wordAttributesForWord(const QString& word);
    bool couldBeWordAttribute(const QString& text);
    QString searchPrefixForAttribute(qint64 index);
    QString syncPrefixForAttribute(qint64 index);
    QString linkTypeForAttribute(qint64 index);
    QString humanReadableNameForAttribute(qint64 index);
    quint32 resultsForAllVerses(BitVector& results, const QString& thatMightMatchWordAttribute);

    // The sections a limit expression admits; `understood` (when given) says whether it parsed
    // (an expression that does not parse admits nothing).
    quint32 results(BitVector& results, const QString& forLimitString, bool* understood = nullptr);
    quint32 results(BitVector& results, quint16 forCategoryId);
    quint32 resultsForColorNamed(BitVector& results, const QString& colorName);
    quint32 resultsForAllOTVerses(BitVector& results);
    quint32 resultsForAllNTVerses(BitVector& results);

    qint64 countOfBookmarksForCategory(const QString& category);
    bool bookmarkExistsForKeyOrBlockNumber(quint32 keyOrBlock);
    // Null without a document, without the category store, or for block 0 of a book.
    std::unique_ptr<QList<QVariantMap>> getAllBookmarksForKeyOrBlockNumber(quint32 keyOrBlock);

    bool extractImage(const QString& image, const QString& toLocalFile);
    bool extractBibleRefCSV(const QString& table, const QString& toLocalFile);

    // --- readings and book texts ---------------------------------------------------------------
    SimpleDate dateForReadingNumber(quint32 number);
    quint32 sectionForReadingNumber(quint32 number);
    quint32 readingNumberForDate(const SimpleDate& date);
    quint32 readingNumberForSection(quint32 section);
    quint32 firstUnreadReadingNumber();
    bool isReadingComplete(quint32 number);
    void toggleReadingNumber(quint32 number, bool notify);
    void setStartDate(const SimpleDate& date);
    SimpleDate startDate();
    void resetProgress();
    quint32 numReadReadings();

    // The citation as text (the clipboard), and for HTML: the name escaped, the author and the
    // publisher as the book's own filtered HTML.
    QString bibliographicCitation() const;
    QString bibliographicCitationHtml() const { return citation(true); }
    QString aboutThisBookContents();

protected:
    // Clears the record (the journal and placeholder constructors fill it themselves).
    void clearRecord();
    void fillFrom(cSourceDoc& doc);
    quint32 numSectionsOfDocument();

private:
    friend class JournalSourceTuple;
    quint32 evaluateLimit(BitVector& results, const QString& expression, bool* understood = nullptr);
    quint32 testamentSet(BitVector& results, bool oldTestament);
    QString citation(bool escapeName) const;

    mutable std::mutex m_docMutex;
    std::shared_ptr<cSourceDoc> m_doc;

    std::atomic<bool> m_removable {false};
    bool m_ignoreIntraBookSync = false;
    bool m_noVerseNums = false;
    std::atomic<bool> m_confirmedPresent {false};
    QString m_name;
    QString m_abbr;
    QString m_sortTitle;
    QString m_subtitle;
    qint64 m_pubID = 0;
    qint64 m_bookID = 0;
    qint64 m_editionNumber = 0;
    qint64 m_revisionNumber = 0;
    std::atomic<qint64> m_kind {0};
    qint64 m_classification = 0;
    QDateTime m_modificationTime;
    qint64 m_tableVersions[12] = {};
    QString m_bibleBooks;
    QString m_filepath;
    quint64 m_numDictionaryLookupWords = 0;
    quint64 m_numCommentaryLookupWords = 0;
    quint64 m_syncType = 0;
    quint64 m_numSections = 0;
    quint64 m_numBlocks = 0;
    quint64 m_bookLanguage = 0;
    QString m_bookLanguageString;
    quint64 m_numReadings = 0;
    QString m_copyrightText;
    QString m_author;
    QString m_publisher;
    QString m_publisherCity;
    QString m_publisherDate;
    qint64 m_minVerMaj = 0;
    qint64 m_minVerMin = 0;
    qint64 m_fileVerMaj = 0;
    qint64 m_fileVerMin = 0;
    qint64 m_numWordAttributeDefinitions = 0;
    quint64 m_docSupportsFlags = 0;
};

Q_DECLARE_METATYPE(std::shared_ptr<SourceTuple>)
