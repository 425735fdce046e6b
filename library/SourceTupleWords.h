// SourceTupleWords: the words of a book, reached through its book record (`book->words()`): word
// numbers, the concordances, word attributes, limit expressions, the text of search hits, and the
// reader's bookmarks in the book.
//
// A part of its SourceTuple and lives as long as it; it keeps no state of its own and works on the
// book's document (opened on first use), answering a neutral value when there is none, and an index
// of its marked words built on first use. Any thread, as the document's own calls.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

class BibleRef;
class BitVector;
class cSearchWordList;
class SourceTuple;

class SourceTupleWords {
public:
    explicit SourceTupleWords(SourceTuple& book) : m_book(book) { }
    SourceTupleWords(const SourceTupleWords&) = delete;
    SourceTupleWords& operator=(const SourceTupleWords&) = delete;

    bool isPhrasePresent(const cSearchWordList& phrase, quint32 section) const;
    // The numbers of the main word list's words that carry accents or other marks and read as
    // `folded` once reduced to base letters in lower case ("corazón" for "corazon"), so that a word
    // typed with or without its accents finds the same verses. `folded` may be a pattern with
    // wildcards ("cora*"): then every such word whose plain form it matches. Built once, on first use.
    std::vector<quint32> markedWordNumbersFoldingTo(const std::u16string& folded) const;
    QString plainTextSearchResultTitleForSection(quint32 section) const;
    QString htmlSearchResultTextForSection(quint32 section, const cSearchWordList* markWords, quint32 style) const;
    // Null when the book lists none.
    std::unique_ptr<QList<BibleRef>> bibleLinksListForSection(quint32 section, const QString& translation) const;
    // The words of a verse of the kinds asked for (WordListKind values or-ed together); null when
    // the engine gives no list.
    enum WordListKind : quint32 {
        kWordListWords = 1,
        kWordListStrongsGreek = 2,
        kWordListStrongsHebrew = 4,
        kWordListWordAttributes = 8,
    };
    std::unique_ptr<QStringList> wordListForVerse(const BibleRef& verse, quint32 kinds) const;

    quint32 canonicalWordNumberForString(const QString& word) const;
    quint32 wordNumberForString(const QString& word, bool partialMatch) const;
    QString wordForWordNumber(quint32 number) const;
    quint32 metaphoneWordNumberForString(const QString& code) const;
    quint32 stemmerWordNumberForString(const QString& stem) const;
    // Not found: 0xFFFFFFFF (word 0 is a real headword).
    quint32 wordNumberForDictionaryLookupWord(const QString& word, bool partialMatch) const;
    QString dictionaryLookupWordForWordNumber(quint32 number) const;
    QString commentaryLookupWordForWordNumber(quint32 number) const;
    QString wordForWordNumber(quint32 number, qint64 inAttributeDefinition) const;
    quint32 numWordsInAttributeDefinition(qint64 index) const;

    quint32 resultsFromMainConcordanceForWordNum(quint32 wordNumber, BitVector& results) const;
    quint32 resultsFromMainConcordanceForWord(const QString& word, BitVector& results) const;
    quint32 resultsFromMetaphoneConcordanceForWordNum(quint32 wordNumber, BitVector& results) const;
    quint32 resultsFromStemmerConcordanceForWordNum(quint32 wordNumber, BitVector& results) const;
    quint32 resultsFromStrongsHebrewConcordanceForWord(const QString& word, BitVector& results) const;
    quint32 resultsFromStrongsGreekConcordanceForWord(const QString& word, BitVector& results) const;
    quint32 resultsFromWordAttributeConcordanceForWord(const QString& word, BitVector& results) const;
    quint32 resultsFromVerseReferenceConcordanceForVerse(const BibleRef& verse, BitVector& results) const;
    quint32 resultsFromWordSyncConcordanceForWord(const QString& word, BitVector& results) const;
    quint32 wordOccursInXSections(const QString& word) const;
    quint32 sectionForDictionaryLookupWordNumber(quint32 number) const;
    quint32 sectionForCommentaryLookupWordNumber(quint32 number) const;
    bool dictionaryEntry(const QString& headword, quint32* startSection, quint32* endSection, bool matchAsPrefix) const;

    // One map per attribute {"attribute", "description", "displayPrefix", "syncPrefix", "linkType"};
    // null when the engine gives none.
    std::unique_ptr<QList<QVariantMap>> wordAttributesForWord(const QString& word) const;
    bool couldBeWordAttribute(const QString& text) const;
    QString searchPrefixForAttribute(qint64 index) const;
    QString syncPrefixForAttribute(qint64 index) const;
    QString linkTypeForAttribute(qint64 index) const;
    QString humanReadableNameForAttribute(qint64 index) const;
    quint32 resultsForAllVerses(BitVector& results, const QString& thatMightMatchWordAttribute) const;

    // The sections a limit expression admits; `understood` (when given) says whether it parsed
    // (an expression that does not parse admits nothing).
    quint32 results(BitVector& results, const QString& forLimitString, bool* understood = nullptr) const;
    quint32 results(BitVector& results, quint16 forCategoryId) const;
    quint32 resultsForColorNamed(BitVector& results, const QString& colorName) const;
    quint32 resultsForAllOTVerses(BitVector& results) const;
    quint32 resultsForAllNTVerses(BitVector& results) const;

    qint64 countOfBookmarksForCategory(const QString& category) const;
    bool bookmarkExistsForKeyOrBlockNumber(quint32 keyOrBlock) const;
    // Null without a document, without the category store, or for block 0 of a book.
    std::unique_ptr<QList<QVariantMap>> getAllBookmarksForKeyOrBlockNumber(quint32 keyOrBlock) const;

    bool extractImage(const QString& image, const QString& toLocalFile) const;
    bool extractBibleRefCSV(const QString& table, const QString& toLocalFile) const;

private:
    quint32 evaluateLimit(BitVector& results, const QString& expression, bool* understood = nullptr) const;
    quint32 testamentSet(BitVector& results, bool oldTestament) const;

    SourceTuple& m_book;
    mutable std::once_flag m_markedWordsOnce;
    mutable std::unordered_multimap<std::u16string, quint32> m_markedWords;
};
