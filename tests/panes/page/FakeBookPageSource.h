// Book page sources for tests: a small book of numbered sections whose every answer a test may set,
// and a wrapper that hands the page blocks of the test's own over a real book.
#pragma once

#include "panes/page/BookPageSource.h"

#include <QMap>

class FakeBookPageSource : public BookPageSource {
public:
    QString identity = QStringLiteral("9:9:1:1");
    bool bible = false;
    bool readings = false;
    quint64 blocks = 100;
    quint64 sections = 50;
    quint64 readingCount = 0;
    quint32 today = 0;
    quint32 unread = 0;
    QMap<quint32, bool> complete;
    QMap<quint32, qint64> levels;  // contents levels by section (default 1)
    // Passage references the fake understands: text -> (start key, end key).
    QMap<QString, QPair<quint32, quint32>> references;

    QString identityString() const override { return identity; }
    QString abbr() const override { return QStringLiteral("FAKE"); }
    bool isABible() const override { return bible; }
    bool supportsDailyReadings() const override { return readings; }
    bool supportsWordAttributes() const override { return false; }
    bool noVerseNums() const override { return false; }
    quint64 syncType() const override { return readings ? 3 : 0; }
    quint64 numBlocks() override { return blocks; }
    quint64 numSections() override { return sections; }
    // Section s starts block 2s; a Bible's section s is verse key 0x010100 + s (Genesis 1:s).
    quint32 sectionForBlock(quint32 block) override { return block / 2 < sections ? block / 2 : 0; }
    quint32 blockForSection(quint32 section) override { return section == 0 ? kNoBlock : section * 2; }
    quint32 keyForSection(quint32 section) override { return bible && section != 0 ? 0x010100 + section : 0; }
    quint32 sectionForBibleKey(quint32 key) override
    {
        return bible && key > 0x010100 && key - 0x010100 < sections ? key - 0x010100 : 0;
    }
    quint32 lastSectionForAmbiguousKey(quint32 key) override { return sectionForBibleKey(key); }
    quint32 sectionForPreviousChapter(quint32 section) override { return section > 10 ? section - 10 : 0; }
    quint32 sectionForNextChapter(quint32 section) override { return section + 10 < sections ? section + 10 : 0; }
    bool passageKeysForReference(const QString& text, quint32& startKey, quint32& endKey) override
    {
        const auto it = references.find(text);
        startKey = it == references.end() ? 0 : it->first;
        endKey = it == references.end() ? 0 : it->second;
        return it != references.end();
    }
    QString getPositionNameForTitleBar(quint64 section) override { return QStringLiteral("Section %1").arg(section); }
    qint64 tocLevelForSection(quint32 section) override { return levels.value(section, 1); }
    // A Bible's section starts with its verse anchor in its first block.
    QString htmlTextForBlock(quint32 block, const DisplayOptions&) override
    {
        if (bible && block % 2 == 0 && block / 2 != 0)
            return QStringLiteral("<p><span data-verse-span=\"sel_s1.1.%1\"><span id='_s1.1.%1'><sup>%1</sup></span> "
                                  "Verse %1 of the fake Bible.</span></p>")
                .arg(block / 2);
        return QStringLiteral("<p>Block %1 of the fake book.</p>").arg(block);
    }
    QByteArray embeddedFile(const QString&) override { return QByteArray(); }
    quint64 numReadings() override { return readingCount; }
    // Reading r is section r (readings books only).
    quint32 readingNumberForSection(quint32 section) override
    {
        return readings && section >= 1 && section <= readingCount ? section : 0;
    }
    quint32 sectionForReadingNumber(quint32 reading) override
    {
        return readings && reading >= 1 && reading <= readingCount ? reading : 0xFFFFFFFF;
    }
    quint32 readingNumberForToday() override { return today; }
    quint32 firstUnreadReadingNumber() override { return unread; }
    bool isReadingComplete(quint32 reading) override { return complete.value(reading); }
    void toggleReadingNumber(quint32 reading) override { complete[reading] = !complete.value(reading); }
    QString readingDateText(quint32 reading) override { return QStringLiteral("Day %1").arg(reading); }
};

// A real book whose chosen blocks read as the test says.
class WrappedBookPageSource : public BookPageSource {
public:
    explicit WrappedBookPageSource(BookPageSourcePtr inner) : m_inner(std::move(inner)) { }
    QMap<quint32, QString> replaced;
    QMap<QString, QByteArray> files;

    QString identityString() const override { return m_inner->identityString(); }
    QString abbr() const override { return m_inner->abbr(); }
    bool isABible() const override { return m_inner->isABible(); }
    bool supportsDailyReadings() const override { return m_inner->supportsDailyReadings(); }
    bool supportsWordAttributes() const override { return m_inner->supportsWordAttributes(); }
    bool noVerseNums() const override { return m_inner->noVerseNums(); }
    quint64 syncType() const override { return m_inner->syncType(); }
    quint64 numBlocks() override { return m_inner->numBlocks(); }
    quint64 numSections() override { return m_inner->numSections(); }
    quint32 sectionForBlock(quint32 b) override { return m_inner->sectionForBlock(b); }
    quint32 blockForSection(quint32 s) override { return m_inner->blockForSection(s); }
    quint32 keyForSection(quint32 s) override { return m_inner->keyForSection(s); }
    quint32 sectionForBibleKey(quint32 k) override { return m_inner->sectionForBibleKey(k); }
    quint32 lastSectionForAmbiguousKey(quint32 k) override { return m_inner->lastSectionForAmbiguousKey(k); }
    quint32 sectionForPreviousChapter(quint32 s) override { return m_inner->sectionForPreviousChapter(s); }
    quint32 sectionForNextChapter(quint32 s) override { return m_inner->sectionForNextChapter(s); }
    bool passageKeysForReference(const QString& t, quint32& a, quint32& b) override
    {
        return m_inner->passageKeysForReference(t, a, b);
    }
    QString getPositionNameForTitleBar(quint64 s) override { return m_inner->getPositionNameForTitleBar(s); }
    qint64 tocLevelForSection(quint32 s) override { return m_inner->tocLevelForSection(s); }
    QString htmlTextForBlock(quint32 b, const DisplayOptions& p) override
    {
        return replaced.contains(b) ? replaced.value(b) : m_inner->htmlTextForBlock(b, p);
    }
    QByteArray embeddedFile(const QString& n) override
    {
        return files.contains(n) ? files.value(n) : m_inner->embeddedFile(n);
    }
    quint64 numReadings() override { return m_inner->numReadings(); }
    quint32 readingNumberForSection(quint32 s) override { return m_inner->readingNumberForSection(s); }
    quint32 sectionForReadingNumber(quint32 r) override { return m_inner->sectionForReadingNumber(r); }
    quint32 readingNumberForToday() override { return m_inner->readingNumberForToday(); }
    quint32 firstUnreadReadingNumber() override { return m_inner->firstUnreadReadingNumber(); }
    bool isReadingComplete(quint32 r) override { return m_inner->isReadingComplete(r); }
    void toggleReadingNumber(quint32 r) override { m_inner->toggleReadingNumber(r); }
    QString readingDateText(quint32 r) override { return m_inner->readingDateText(r); }

private:
    BookPageSourcePtr m_inner;
};
