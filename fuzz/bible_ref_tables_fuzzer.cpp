// Loads the bytes as one of the reference-table files (the first byte picks which; the book-name
// lists take the bytes split in two), parses and spells references with the loaded tables, then
// puts the built-in tables back.

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/references/cBibleRef.h"
#include "engine/references/cBibleRefTables.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > fuzz::kMaxInput)
        return 0;
    fuzz::Input in(data, size);
    const int table = in.byte() % kBibleRefTableCount;
    const std::uint8_t* rest = in.rest();
    const std::size_t restSize = in.restSize();

    std::int32_t result = 0;
    if (table == 0) {
        // English and Spanish lists, split at the first form feed.
        std::size_t split = 0;
        while (split < restSize && rest[split] != '\f')
            ++split;
        fuzz::MemoryFile english(rest, split);
        fuzz::MemoryFile spanish(
            rest + (split < restSize ? split + 1 : split), split < restSize ? restSize - split - 1 : 0);
        result = cBibleRefTables::loadBookNameLists(english.get(), spanish.get());
    } else {
        fuzz::MemoryFile file(rest, restSize);
        using Loader = std::int32_t (*)(std::FILE*);
        static const Loader loaders[kBibleRefTableCount] = {
            nullptr,
            &cBibleRefTables::loadBookNumToNameNum,
            &cBibleRefTables::loadTranslationList,
            &cBibleRefTables::loadBibleBooks,
            &cBibleRefTables::loadNameNumberToBookCategories,
            &cBibleRefTables::loadVerseMap,
            &cBibleRefTables::loadTotalOrderOnBookNumber,
            &cBibleRefTables::loadFixUpRefMap,
            &cBibleRefTables::loadGetKeyMap,
            &cBibleRefTables::loadDoMapSpecialCasesMap,
            &cBibleRefTables::loadGetChapterNumberSpellingMap,
            &cBibleRefTables::loadIsOneChapterBookList,
        };
        result = loaders[table](file.get());
    }
    if (result < kBibleRefLoadOk || result > kBibleRefLoadMismatch)
        fuzz::fail("a table loader answered an unknown result");

    // Use whatever was installed: typed references, mapping between translations, spelling.
    for (const char* typed : {"Gen 1:1-3", "Jn 3:16; 4:1", "Ps 23", "1 Cor 13:4-7,13", "Jude 3", "Mt 5-7"}) {
        for (int language : {kLanguageEnglish, kLanguageSpanish}) {
            cBibleRef ref;
            ref.setLanguage(language);
            std::int32_t position = 0;
            ref.parse(typed, position);
            ref.formatSpelling(kSpellFullNames | kSpellUTF8 | kSpellTranslation);
            ref.formatSpelling(kSpellSpoken);
            for (int t = 0; t < 4; ++t)
                ref.setTranslation(t);
            ref.mapToTranslationNamed("KJV");
            ref.nextChapter();
            ref.nextBook();
            ref.formatSpelling(0);
        }
    }
    const cBibleRefTables::Ptr tables = cBibleRefTables::current();
    for (int book = -1; book < 80; ++book) {
        (void)tables->nameNumberOfBook(book);
        (void)tables->isOneChapterBook(book);
        for (int t = 0; t < 3; ++t) {
            (void)tables->positionOfBook(t, book);
            (void)tables->bookAtPosition(t, book);
        }
        (void)tables->firstVerseMapRow(book, 1);
    }
    for (int t = 0; t < kBibleRefTableCount; ++t)
        cBibleRefTables::resetTable(static_cast<BibleRefTable>(t), 1);
    return 0;
}
