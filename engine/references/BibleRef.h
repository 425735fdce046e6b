// BibleRef: the user-interface side's handle on a Bible reference. It owns one cBibleRef,
// converts texts between QString and the engine's UTF-8, and exposes the reference
// tables' loaders and versions. A value class: copying copies the reference.
//
// Threads: an instance is used on the thread that made it. The table loaders must not run
// while references are parsed or spelled elsewhere (a reference operation already running
// keeps the tables it started with).
#pragma once

#include "engine/references/cBibleRef.h"

#include <QList>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <memory>

class BibleRef {
public:
    BibleRef();
    BibleRef(const BibleRef& other);
    BibleRef& operator=(const BibleRef& other);
    BibleRef(BibleRef&&) noexcept = default;
    BibleRef& operator=(BibleRef&&) noexcept = default;
    ~BibleRef();

    // --- Creation -------------------------------------------------------------------------
    // One range from the bytes of two keys, taken as they are (255 and 254 stay numbers).
    static BibleRef bibleRefWithStartKey(packedBibleKey startKey, packedBibleKey endKey);
    static BibleRef bibleRefWithcBibleRef(const cBibleRef& ref);
    static BibleRef bibleRefWithLinkString(const QString& link);
    static BibleRef bibleRefWithLinkString(const QString& link, const QString& translation);

    // --- Tables ---------------------------------------------------------------------------
    static std::int32_t loadBookNameListsFromFile(std::FILE* english, std::FILE* spanish);
    static std::int32_t loadBookNumToNameNumFromFile(std::FILE* file);
    static std::int32_t loadTransListFromFile(std::FILE* file);
    static std::int32_t loadBibleBooksFromFile(std::FILE* file);
    static std::int32_t loadNameNumberToBookCategoriesFromFile(std::FILE* file);
    static std::int32_t loadFromVerseMapFromFile(std::FILE* file);
    static std::int32_t loadTotalOrderOnBookNumberFromFile(std::FILE* file);
    static std::int32_t loadFixUpRefMapFromFile(std::FILE* file);
    static std::int32_t loadGetKeyMapFromFile(std::FILE* file);
    static std::int32_t loadDoMapSpecialCasesMapFromFile(std::FILE* file);
    static std::int32_t loadGetChapterNumberSpellingMapFromFile(std::FILE* file);
    static std::int32_t loadIsOneChapterBookListFromFile(std::FILE* file);

    static std::uint32_t bookNameListVersion();
    static std::uint32_t bookNumToNameNumVersion();
    static std::uint32_t transListVersion();
    static std::uint32_t bibleBooksVersion();
    static std::uint32_t nameNumberToBookCategoriesVersion();
    static std::uint32_t verseMapVersion();
    static std::uint32_t totalOrderOnBookNumberVersion();
    static std::uint32_t fixUpRefMapVersion();
    static std::uint32_t getKeyMapVersion();
    static std::uint32_t doMapSpecialCasesMapVersion();
    static std::uint32_t getChapterNumberSpellingMapVersion();
    static std::uint32_t isOneChapterBookListVersion();

    // Registers a translation (abbreviation, full name, up to 100 comma-separated book
    // numbers); returns its number, or 1 when a built-in translation has the abbreviation.
    static int addCustomTranslation(const QString& abbreviation, const QString& name, const QString& books);

    // --- Instance -------------------------------------------------------------------------
    BibleRef copy() const { return *this; }
    void appendBibleRef(const BibleRef& other);
    bool parse(const QString& text);
    // Book names are read in the reference's language or, failing that, the other one.
    bool parse(const QString& text, const QString& abbreviation);  // parse:inBibleWithAbbreviation:
    bool mapToTranslation(const QString& abbreviation);
    QList<BibleRef> arrayOfRefsFromRanges() const;

    QString spellingUsingAbbreviatedBookName(bool abbreviated, bool includeTranslation, bool abbreviateTranslation);
    QString fullSpelling();
    QString bookSpelling();
    QString chapterSpelling();
    QString verseSpelling();

    void setLanguage(int language);
    int language() const;
    QString translation() const;
    bool isBookOnly() const;
    bool isBookChapterOnly() const;
    bool isValid() const;
    packedBibleKey bibleKey() const;
    packedBibleKey endBibleKey() const;
    void setBibleKey(packedBibleKey key);
    bool isFrontOrBack() const;
    bool isOneChapterBook() const;
    cBibleRef* cBibleRefPointer() const { return m_bibleRef.get(); }
    int numRanges() const;
    int detailedCategory() const;
    int generalCategory() const;

private:
    QString spelling(std::uint32_t flags);

    std::unique_ptr<cBibleRef> m_bibleRef;
};
