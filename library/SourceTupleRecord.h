// SourceTupleRecord: what the library knows of one installed book without opening it, as a plain
// value. A SourceTuple holds one (SourceTuple::record()); it is filled once, from the book's
// document or from an archive, before the tuple is shared, and never changes afterwards, so any
// thread may read it without a lock. What does change (the kind, removable, confirmedPresent) and
// what needs the document stay on the tuple.
//
// The fields are named as the archive keys are (SourceTuple::encode), and a record compares equal
// to another when every field does.
#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>

struct SourceTupleRecord {
    // Identity (SourceTuple::sourceTupleID() makes the SourceTupleID of these four).
    qint64 pubID = 0;
    qint64 bookID = 0;
    qint64 editionNumber = 0;
    qint64 revisionNumber = 0;

    // Titles: the full title, the abbreviation lists and menus show, the title lists sort by, the
    // subtitle.
    QString name;
    QString abbr;
    QString sortTitle;
    QString subtitle;

    // The classification of the kind the book had when the record was made (SourceTuple::kClassBible
    // ...).
    qint64 classification = 0;
    // The book file's modification date (UTC, whole seconds), and its path ("FakeJournalDoc" for
    // the journal).
    QDateTime modificationTime;
    QString filepath;

    // The versions of the Bible-reference tables a Bible carries (0 for other books), and its
    // custom versification's book list (comma separated; empty for the standard one).
    qint64 bookNameListVersion = 0;
    qint64 bookNumToNameNumVersion = 0;
    qint64 transListVersion = 0;
    qint64 bibleBooksVersion = 0;
    qint64 nameNumberToBookCategoriesVersion = 0;
    qint64 verseMapVersion = 0;
    qint64 totalOrderOnBookNumberVersion = 0;
    qint64 fixUpRefMapVersion = 0;
    qint64 getKeyMapVersion = 0;
    qint64 doMapSpecialCasesMapVersion = 0;
    qint64 getChapterNumberSpellingMapVersion = 0;
    qint64 isOneChapterBookListVersion = 0;
    QString bibleBooks;

    // Counts, and the book type the file records (1 commentary, 2 dictionary, 3 devotional).
    // numSections is the count when the record was made: ask SourceTuple::numSections() for the
    // current one (the journal's grows).
    quint64 numDictionaryLookupWords = 0;
    quint64 numCommentaryLookupWords = 0;
    quint64 syncType = 0;
    quint64 numSections = 0;
    quint64 numBlocks = 0;
    quint64 numReadings = 0;
    qint64 numWordAttributeDefinitions = 0;

    // The book's language number (1033 English) and its name.
    quint64 bookLanguage = 0;
    QString bookLanguageString;

    // Bibliographic texts: the book's own HTML, filtered when the record was made.
    QString copyrightText;
    QString author;
    QString publisher;
    QString publisherCity;
    QString publisherDate;

    // The oldest reader engine the book accepts and the version of its file format.
    qint64 minVerMaj = 0;
    qint64 minVerMin = 0;
    qint64 fileVerMaj = 0;
    qint64 fileVerMin = 0;

    // What the document supports (kDocSupports... bits; SourceTuple::docSupports asks them).
    quint64 docSupportsFlags = 0;
    // The book ignores its own links into itself; the copyright owner asks that verse numbers not
    // be shown.
    bool ignoreIntraBookSync = false;
    bool noVerseNums = false;

    bool operator==(const SourceTupleRecord&) const = default;
};
