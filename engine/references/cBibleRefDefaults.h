// The built-in rows of the reference tables, with the versions they carry.
#pragma once

#include "engine/references/cBibleRefTables.h"

#include <cstdint>
#include <vector>

class cBibleRefDefaults {
public:
    static constexpr std::uint32_t kBookNamesVersion = 2;
    static constexpr std::uint32_t kBookNumToNameNumVersion = 3;
    static constexpr std::uint32_t kTranslationListVersion = 10;
    static constexpr std::uint32_t kBibleBooksVersion = 9;
    static constexpr std::uint32_t kCategoriesVersion = 1;
    static constexpr std::uint32_t kVerseMapVersion = 4;
    static constexpr std::uint32_t kTotalOrderVersion = 2;
    static constexpr std::uint32_t kFixUpRefMapVersion = 1;
    static constexpr std::uint32_t kGetKeyMapVersion = 1;
    static constexpr std::uint32_t kSpecialCasesVersion = 1;
    static constexpr std::uint32_t kChapterWordsVersion = 1;
    static constexpr std::uint32_t kOneChapterBooksVersion = 1;

    static std::vector<BookNameRow> englishBookNames();
    static std::vector<BookNameRow> spanishBookNames();
    static std::vector<std::uint8_t> bookNumToNameNum();
    static std::vector<std::int32_t> totalOrderOnBookNumber();
    static std::vector<TranslationRow> translations();
    static std::vector<BibleBookList> bibleBooks();
    static std::vector<CategoryRow> categories();
    static VerseMapTable verseMap();
    static std::vector<FixUpRow> fixUps();
    static std::vector<KeyMapRow> keyMap();
    static std::vector<SpecialCaseRow> specialCases();
    static std::vector<ChapterWordRow> chapterWords();
    static std::vector<std::int32_t> oneChapterBooks();  // ends with -1

    // Verse count of every chapter of a canonical book (1-66) in King James versification;
    // empty for any other book.
    static const std::vector<std::uint8_t>& kjvVerseCounts(int book);
};
