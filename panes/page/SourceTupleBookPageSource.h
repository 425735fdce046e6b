// SourceTupleBookPageSource: a book page source over the library's book facade (SourceTuple), the
// source of every book page the reader shows. It holds its tuple (shared) and answers through it;
// the facade opens the book's document on first use and answers neutral values without one.
//
// Main thread only, like the page.
#pragma once

#include "library/SourceTuple.h"
#include "panes/page/BookPageSource.h"

class SourceTupleBookPageSource : public BookPageSource {
public:
    explicit SourceTupleBookPageSource(SourceTuple::Ptr tuple);

    const SourceTuple::Ptr& tuple() const { return m_tuple; }

    QString identityString() const override;
    QString abbr() const override { return m_tuple->record().abbr; }
    bool isABible() const override { return m_tuple->isABible(); }
    bool supportsDailyReadings() const override { return m_tuple->isADevotional(); }
    bool supportsWordAttributes() const override { return m_tuple->docSupports(kDocSupportsWordAttributes); }
    bool noVerseNums() const override { return m_tuple->record().noVerseNums; }
    quint64 syncType() const override { return m_tuple->record().syncType; }

    quint64 numBlocks() override { return m_tuple->record().numBlocks; }
    quint64 numSections() override { return m_tuple->numSections(); }
    quint32 sectionForBlock(quint32 block) override { return m_tuple->locations().sectionForBlock(block); }
    quint32 blockForSection(quint32 section) override { return m_tuple->locations().blockForSection(section); }
    quint32 keyForSection(quint32 section) override { return m_tuple->locations().keyForSection(section); }
    quint32 sectionForBibleKey(quint32 key) override { return m_tuple->locations().sectionForBibleKey(key); }
    quint32 lastSectionForAmbiguousKey(quint32 key) override
    {
        return m_tuple->locations().lastSectionForAmbiguousKey(key);
    }
    quint32 sectionForPreviousChapter(quint32 section) override
    {
        return m_tuple->locations().sectionForPreviousChapter(section);
    }
    quint32 sectionForNextChapter(quint32 section) override
    {
        return m_tuple->locations().sectionForNextChapter(section);
    }
    bool passageKeysForReference(const QString& text, quint32& startKey, quint32& endKey) override;
    QString getPositionNameForTitleBar(quint64 section) override
    {
        return m_tuple->locations().getPositionNameForTitleBar(section);
    }
    qint64 tocLevelForSection(quint32 section) override;
    QString htmlTextForBlock(quint32 block, const DisplayOptions& options) override
    {
        return m_tuple->locations().htmlTextForBlock(block, options);
    }
    QByteArray embeddedFile(const QString& name) override;

    quint64 numReadings() override { return m_tuple->record().numReadings; }
    quint32 readingNumberForSection(quint32 section) override
    {
        return m_tuple->readings().readingNumberForSection(section);
    }
    quint32 sectionForReadingNumber(quint32 reading) override
    {
        return m_tuple->readings().sectionForReadingNumber(reading);
    }
    quint32 readingNumberForToday() override;
    quint32 firstUnreadReadingNumber() override { return m_tuple->readings().firstUnreadReadingNumber(); }
    bool isReadingComplete(quint32 reading) override { return m_tuple->readings().isReadingComplete(reading); }
    void toggleReadingNumber(quint32 reading) override { m_tuple->readings().toggleReadingNumber(reading, true); }
    QString readingDateText(quint32 reading) override;

private:
    SourceTuple::Ptr m_tuple;
};
