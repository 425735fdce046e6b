// BookPageSource: what a book page asks of the book it shows. The names and neutral answers are
// those of the book facade (SourceTuple): 0 for no section, 0xFFFFFFFF for no block, "" for no
// text, and no call reports an error. The book page holds its source with std::shared_ptr; a page
// source is used on the main thread only.
//
// The application hands the page a source over its SourceTuple; tests may wrap one to feed the
// page blocks of their own.
#pragma once

#include "library/DisplayOptions.h"

#include <QString>

#include <memory>

class BookPageSource {
public:
    static constexpr quint32 kNoBlock = 0xFFFFFFFF;

    virtual ~BookPageSource() = default;

    // Identity as the page shows it: "publisher:book:edition:revision".
    virtual QString identityString() const = 0;
    virtual QString abbr() const = 0;
    virtual bool isABible() const = 0;
    // Books of daily readings (read by date).
    virtual bool supportsDailyReadings() const = 0;
    virtual bool supportsWordAttributes() const = 0;
    // The book asks that its verse numbers stay hidden.
    virtual bool noVerseNums() const = 0;
    // 3 for a book whose sections are daily readings.
    virtual quint64 syncType() const = 0;

    virtual quint64 numBlocks() = 0;
    virtual quint64 numSections() = 0;
    virtual quint32 sectionForBlock(quint32 block) = 0;
    virtual quint32 blockForSection(quint32 section) = 0;
    virtual quint32 keyForSection(quint32 section) = 0;
    virtual quint32 sectionForBibleKey(quint32 key) = 0;
    virtual quint32 lastSectionForAmbiguousKey(quint32 key) = 0;
    // First section of the chapter before or after the section's chapter (Bibles).
    virtual quint32 sectionForPreviousChapter(quint32 section) = 0;
    virtual quint32 sectionForNextChapter(quint32 section) = 0;
    // The start and end Bible keys of a passage reference read in this Bible's translation; false
    // when the text is no reference or does not map to this Bible.
    virtual bool passageKeysForReference(const QString& text, quint32& startKey, quint32& endKey) = 0;
    virtual QString getPositionNameForTitleBar(quint64 section) = 0;
    // The contents level of a section (0 without an entry).
    virtual qint64 tocLevelForSection(quint32 section) = 0;

    // The display HTML of one block rendered with the options.
    virtual QString htmlTextForBlock(quint32 block, const DisplayOptions& options) = 0;
    // A file the book holds (an image a block names); empty when the book has none of that name.
    virtual QByteArray embeddedFile(const QString& name) = 0;

    virtual quint64 numReadings() = 0;
    virtual quint32 readingNumberForSection(quint32 section) = 0;
    virtual quint32 sectionForReadingNumber(quint32 reading) = 0;
    virtual quint32 readingNumberForToday() = 0;
    virtual quint32 firstUnreadReadingNumber() = 0;
    virtual bool isReadingComplete(quint32 reading) = 0;
    // Toggles the reading's read mark and tells the rest of the reader.
    virtual void toggleReadingNumber(quint32 reading) = 0;
    // The reading's date as the reading header shows it.
    virtual QString readingDateText(quint32 reading) = 0;
};

using BookPageSourcePtr = std::shared_ptr<BookPageSource>;
