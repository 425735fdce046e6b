// DocumentBookPageSource: a book page source read straight from a book file through the engine's
// documents (a Bible, dated or contents document, as the file's header says). The reader's own
// pages read their books through the library's SourceTuple; this source serves tools, tests and
// benchmarks that open a book file by its path.
//
// Owns its document. Main thread only.
#pragma once

#include "panes/page/BookPageSource.h"

#include <memory>

class cBookDoc;

class DocumentBookPageSource : public BookPageSource {
public:
    // Null when the file does not open as a book.
    static std::shared_ptr<DocumentBookPageSource> open(const QString& path);
    ~DocumentBookPageSource() override;

    QString identityString() const override;
    QString abbr() const override { return m_abbr; }
    bool isABible() const override { return m_bible; }
    bool supportsDailyReadings() const override { return m_dated; }
    bool supportsWordAttributes() const override { return m_wordAttributes; }
    bool noVerseNums() const override { return false; }
    quint64 syncType() const override { return m_dated ? 3 : 0; }

    quint64 numBlocks() override;
    quint64 numSections() override;
    quint32 sectionForBlock(quint32 block) override;
    quint32 blockForSection(quint32 section) override;
    quint32 keyForSection(quint32 section) override;
    quint32 sectionForBibleKey(quint32 key) override;
    quint32 lastSectionForAmbiguousKey(quint32 key) override;
    quint32 sectionForPreviousChapter(quint32 section) override;
    quint32 sectionForNextChapter(quint32 section) override;
    bool passageKeysForReference(const QString& text, quint32& startKey, quint32& endKey) override;
    QString getPositionNameForTitleBar(quint64 section) override;
    qint64 tocLevelForSection(quint32 section) override;
    QString htmlTextForBlock(quint32 block, const QVariantMap& params) override;
    QByteArray embeddedFile(const QString& name) override;

    quint64 numReadings() override;
    quint32 readingNumberForSection(quint32 section) override;
    quint32 sectionForReadingNumber(quint32 reading) override;
    quint32 readingNumberForToday() override;
    quint32 firstUnreadReadingNumber() override;
    bool isReadingComplete(quint32 reading) override;
    void toggleReadingNumber(quint32 reading) override;
    QString readingDateText(quint32 reading) override;

private:
    DocumentBookPageSource() = default;

    std::unique_ptr<cBookDoc> m_doc;
    QString m_abbr;
    quint16 m_publisher = 0;
    quint16 m_book = 0;
    quint8 m_edition = 0;
    quint8 m_revision = 0;
    bool m_bible = false;
    bool m_dated = false;
    bool m_wordAttributes = false;
};
