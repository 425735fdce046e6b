// Opens the bytes as a whole book file, then walks every storage the open attached: the required
// ones, the optional word-list/concordance pairs, the attribute pairs, images and reference files.

#include <cstddef>
#include <cstdint>

#include "fuzz/BookFuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::ScratchFile file("bookfile_book");
    if (size > fuzz::kMaxInput || !file.write(data, size))
        return 0;
    cBkBookFile book;
    if (book.open(file.path().c_str()) != 0)
        return 0;
    const std::uint32_t sections = book.sections().sectionCount();
    fuzz::walkGenInfo(book.genInfo());
    fuzz::walkSections(book.sections());
    fuzz::walkText(book.text());
    fuzz::walkToc(book.toc());
    fuzz::walkVerseSync(book.verseSync());
    fuzz::walkDateSync(book.dateSync());
    fuzz::walkNodes(book.nodes());
    fuzz::walkWordList(book.wordList());
    fuzz::walkConcordance(book.concordance(), sections);
    if (book.punctuation() != nullptr)
        fuzz::walkWordList(*book.punctuation());
    for (const cBkWordListPair* pair : {book.stemmed(), book.phonetic(), book.strongsHebrew(), book.strongsGreek(),
             book.syncWords(), book.verseIndex(), book.verseSyncWords()})
        fuzz::walkPair(pair, sections);
    for (std::size_t i = 0; i < book.attributePairCount(); ++i) {
        if (book.attributeWordList(i) != nullptr)
            fuzz::walkWordList(*book.attributeWordList(i));
        if (book.attributeConcordance(i) != nullptr)
            fuzz::walkConcordance(*book.attributeConcordance(i), sections);
    }
    if (book.attributePrefixes() != nullptr)
        fuzz::walkWordList(*book.attributePrefixes());
    if (book.images() != nullptr)
        fuzz::walkEmbedded(*book.images());
    if (book.bibleRefFiles() != nullptr)
        fuzz::walkEmbedded(*book.bibleRefFiles());
    return 0;
}
