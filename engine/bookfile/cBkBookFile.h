// cBkBookFile: one opened book: the stream container followed by one storage per kind of data.
//
// Opening checks the book's versions, opens every storage in a fixed order and decides which optional
// word-list/concordance pairs the book has. Documents never open a book file themselves: they share one
// per path through acquireBookFile / releaseBookFile, which count references.
//
// Threads: storages take the container mutex around their reads. The rendering and scratch mutexes and
// the last-rendered-section fields belong to the section text writer (lock order: rendering mutex,
// scratch mutex, container mutex, file mutex). The open-book-file cache has its own lock.

#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/bookfile/cBkConcordStg.h"
#include "engine/bookfile/cBkEmbeddedFiles.h"
#include "engine/bookfile/cBkGenInfoStg.h"
#include "engine/bookfile/cBkHTMLNodeStg.h"
#include "engine/bookfile/cBkSectionStg.h"
#include "engine/bookfile/cBkStreamFile.h"
#include "engine/bookfile/cBkTOCStg.h"
#include "engine/bookfile/cBkTextIndexStg.h"
#include "engine/bookfile/cBkTextStg.h"
#include "engine/bookfile/cBkVerseSyncStg.h"
#include "engine/bookfile/cBkWordListStg.h"

// A word list and the concordance that goes with it; both or neither.
struct cBkWordListPair {
    std::unique_ptr<cBkWordListStg> words;
    std::unique_ptr<cBkConcordStg> concordance;
};

class cBkBookFile {
public:
    cBkBookFile();
    ~cBkBookFile();
    cBkBookFile(const cBkBookFile&) = delete;
    cBkBookFile& operator=(const cBkBookFile&) = delete;

    // 0, or the code of the first step that failed: 222, 220, 223, 219, 224 from the container, 218 for
    // a missing required stream, 208 when the book needs a newer reader, 214 when its format is too old.
    // `option` and `unused` have no effect.
    uint32_t open(const char* utf8Path, uint8_t option = 0, int unused = 1);

    cBkStreamFile& container() { return m_container; }
    cBkGenInfoStg& genInfo() { return m_genInfo; }
    cBkWordListStg* punctuation() { return m_punctuation.get(); }
    cBkSectionStg& sections() { return m_sections; }
    cBkTextStg& text() { return m_text; }
    cBkTOCStg& toc() { return m_toc; }
    cBkVerseSyncStg& verseSync() { return m_verseSync; }
    cBkWordListStg& wordList() { return m_wordList; }
    cBkEmbeddedFiles* images() { return m_images.get(); }
    cBkDateSyncStg& dateSync() { return m_dateSync; }
    cBkHTMLNodeStg& nodes() { return m_nodes; }
    cBkEmbeddedFiles* bibleRefFiles() { return m_bibleRef.get(); }
    cBkConcordStg& concordance() { return m_concordance; }

    // Optional pairs: null when the book does not have both halves.
    const cBkWordListPair* stemmed() const { return pairOrNull(m_stemmed); }
    const cBkWordListPair* phonetic() const { return pairOrNull(m_phonetic); }
    const cBkWordListPair* strongsHebrew() const { return pairOrNull(m_strongsHebrew); }
    const cBkWordListPair* strongsGreek() const { return pairOrNull(m_strongsGreek); }
    const cBkWordListPair* syncWords() const { return pairOrNull(m_syncWords); }
    const cBkWordListPair* verseIndex() const { return pairOrNull(m_verseIndex); }
    const cBkWordListPair* verseSyncWords() const { return pairOrNull(m_verseSyncWords); }

    // Word-attribute pairs by definition number (null where the pair did not open).
    size_t attributePairCount() const { return m_attributeWords.size(); }
    cBkWordListStg* attributeWordList(size_t i) const
    {
        return i < m_attributeWords.size() ? m_attributeWords[i].get() : nullptr;
    }
    cBkConcordStg* attributeConcordance(size_t i) const
    {
        return i < m_attributeConcordances.size() ? m_attributeConcordances[i].get() : nullptr;
    }
    cBkWordListStg* attributePrefixes() { return m_prefixes.get(); }

    const std::u16string& path() const { return m_path; }
    void path(cLString16& out) const { bkAssign(out, m_path); }
    void addReference(int32_t n) { m_referenceCount += static_cast<uint32_t>(n); }
    uint32_t referenceCount() const { return m_referenceCount; }

    // Damage found while reading the text (an invalid code): engine message `id` is shown for the
    // first report of this book only, so one damaged storage is reported once and not once per
    // damaged byte. Any thread.
    void reportDamage(int32_t id);
    bool damageReported() const { return m_damageReported.load(); }

    // Section text writer state.
    cPlatformMutex& renderMutex() { return m_renderMutex; }
    cPlatformMutex& scratchMutex() { return m_scratchMutex; }
    std::vector<uint8_t>& scratchBuffer() { return m_scratch; }
    uint32_t lastRenderedSection = BkResult::kNone;
    uint32_t lastRenderedValue = 0;

private:
    static const cBkWordListPair* pairOrNull(const cBkWordListPair& p) { return p.words ? &p : nullptr; }
    static void openPair(cBkStreamFile* container, cBkWordListPair& pair, const char* words, const char* conc);

    cBkStreamFile m_container;
    cBkGenInfoStg m_genInfo;
    std::unique_ptr<cBkWordListStg> m_punctuation;
    cBkSectionStg m_sections;
    cBkTextIndexStg m_textIndex;
    cBkTextStg m_text;
    cBkTOCStg m_toc;
    cBkVerseSyncStg m_verseSync;
    cBkWordListStg m_wordList;
    std::unique_ptr<cBkEmbeddedFiles> m_images;
    cBkDateSyncStg m_dateSync;
    cBkHTMLNodeStg m_nodes;
    cBkWordListPair m_stemmed, m_phonetic;
    std::unique_ptr<cBkEmbeddedFiles> m_bibleRef;
    cBkConcordStg m_concordance;
    cBkWordListPair m_strongsHebrew, m_strongsGreek, m_syncWords, m_verseIndex, m_verseSyncWords;
    std::vector<std::unique_ptr<cBkWordListStg>> m_attributeWords;
    std::vector<std::unique_ptr<cBkConcordStg>> m_attributeConcordances;
    std::unique_ptr<cBkWordListStg> m_prefixes;
    std::u16string m_path;
    uint32_t m_referenceCount = 0;
    cPlatformMutex m_scratchMutex;
    cPlatformMutex m_renderMutex;
    std::vector<uint8_t> m_scratch;
    std::atomic<bool> m_damageReported {false};
};

// The process-wide open-book-file cache. One cBkBookFile per path (UTF-16, case-sensitive, whole
// string), shared and counted. acquireBookFile sets `bookFile` to none on failure and answers the open's
// code; releaseBookFile lowers the count, destroys the book file at 0, and always sets the caller's
// pointer to none. Both are safe to call from any thread.
uint32_t acquireBookFile(const std::u16string& path, cBkBookFile*& bookFile, uint8_t option = 0);
void releaseBookFile(cBkBookFile*& bookFile);
inline uint32_t acquireBookFile(const cLString16& path, cBkBookFile*& bookFile, uint8_t option = 0)
{
    return acquireBookFile(bkStd(path), bookFile, option);
}
// Number of book files the cache holds (diagnostics and tests).
size_t openBookFileCount();
