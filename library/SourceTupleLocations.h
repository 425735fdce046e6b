// SourceTupleLocations: the places of a book, reached through its book record
// (`book->locations()`): conversions between sections, blocks, text offsets and Bible keys, the
// sections of a reference or a sync string, chapters and the table of contents, the display HTML of
// a block, and the completion lists of Bible book, chapter and verse names.
//
// A part of its SourceTuple and lives as long as it; it keeps no state of its own and works on the
// book's document (opened on first use), answering a neutral value when there is none. Any thread,
// as the document's own calls.
#pragma once

#include "library/DisplayOptions.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

class BibleRef;
class cHTMLRenderConfiguration;
class SourceTuple;

class SourceTupleLocations {
public:
    explicit SourceTupleLocations(SourceTuple& book) : m_book(book) { }
    SourceTupleLocations(const SourceTupleLocations&) = delete;
    SourceTupleLocations& operator=(const SourceTupleLocations&) = delete;

    quint32 sectionForTextOffset(quint32 offset) const;
    quint32 sectionForBlock(quint32 block) const;
    quint32 blockForSection(quint32 section) const;
    quint32 lastBlockForSection(quint32 section) const;
    quint32 textOffsetForSection(quint32 section) const;
    quint32 textSize() const;
    quint32 keyForSection(quint32 section) const;
    quint32 sectionForBibleKey(quint32 key) const;
    quint32 lastSectionForAmbiguousKey(quint32 key) const;
    bool sectionRangeForVerse(const BibleRef& verse, quint32* startSection, quint32* endSection) const;
    // In a Bible, why a reference read in it names no passage, for a reader: a range that ends
    // before it starts ("John 3:16-10 ends before it starts.") or a chapter past its book's end
    // ("John 22 is not in this Bible.", reason "John has 21 chapters."). Empty when neither is so.
    struct ReferenceFault {
        QString description, reason;
        bool isEmpty() const { return description.isEmpty(); }
    };
    ReferenceFault referenceFault(const BibleRef& reference) const;
    bool sectionRangeForSyncString(
        const QString& text, bool requiresMoreThanBookName, quint32* startSection, quint32* endSection) const;
    quint32 sectionForSyncString(const QString& text, bool requiresMoreThanBookName) const;
    // As sectionRangeForSyncString, for a place the reader asked to go to: in a Bible, a reference
    // that names a chapter and no verse ("Ps 23", "John 1") starts at the chapter's heading when
    // the Bible has one, so that the heading and a psalm's title stand above its first verse.
    bool sectionRangeForGoTo(const QString& text, quint32* startSection, quint32* endSection) const;
    // In a Bible, for a link in a book's text whose range ends before it starts within one book (a
    // slip of the book's source, as "Matthew 22:43-35"): the section of its first verse. A reference
    // the reader types is refused instead (referenceFault).
    bool sectionRangeForBackwardLink(const QString& text, quint32* startSection, quint32* endSection) const;
    // In a Bible, the section of the heading of the chapter that `section` (a verse) is in, when
    // the heading comes before it; otherwise `section` itself.
    quint32 chapterHeadingSectionAbove(quint32 section) const;
    quint32 sectionForSyncString(const QString& text) const { return sectionForSyncString(text, false); }
    quint32 sectionForTocPath(const QString& path) const;
    quint32 sectionForPreviousChapter(quint32 section) const;
    quint32 sectionForNextChapter(quint32 section) const;
    QString getPositionNameForTitleBar(quint64 section) const;

    quint32 numChildrenOfSection(quint32 section) const;
    quint32 sectionForChild(quint32 index, quint32 section) const;
    void loadChildSectionsOf(quint32 section, QList<quint32>& array, bool append) const;
    bool hasChildren(quint32 section) const;
    static inline const QString QSTOCSectionNumberKey = QStringLiteral("QSTOCSectionNumberKey");
    static inline const QString QSTOCLevelNumberKey = QStringLiteral("QSTOCLevelNumberKey");
    static inline const QString QSTOCTitleStringKey = QStringLiteral("QSTOCTitleStringKey");
    QVariantMap tocForSection(quint32 section) const;
    QString tocNameForSection(quint32 section) const;

    // The display HTML of one block; "" for block 0xFFFFFFFF, without a document, or on failure.
    QString htmlTextForBlock(quint32 block, const DisplayOptions& options = DisplayOptions()) const;
    void loadDefaultHtmlRenderConfigurationInto(cHTMLRenderConfiguration& configuration) const;

    QStringList bibleBookNameSpellingsAbbreviated(
        quint32 mask, const QString& prefix, QList<quint32>* sectionArray) const;
    // The chapters of a book (the verses of a chapter) that complete `typed`. A `startSection` other
    // than 0 (the book's or chapter's own section, as the go-to pop-ups hold it) names the book and
    // chapter itself: a name that reads as another place ("Psalms 151", a book of one chapter
    // numbered 151, beside Psalms) is then not read again.
    QStringList bibleChapterNameSpellingsForBook(
        const QString& typed, quint32 startSection, bool numbersOnly, QList<quint32>* sectionArray) const;
    QStringList bibleVerseNameSpellingsForChapter(
        const QString& typed, quint32 startSection, bool numbersOnly, QList<quint32>* sectionArray) const;

private:
    SourceTuple& m_book;
};
