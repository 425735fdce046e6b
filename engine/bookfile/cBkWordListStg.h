// cBkWordListStg: a sorted word list of a book (layout in BkWordListFormat.h). A word's number is its
// index in the list; the concordance of the same pair (cBkConcordStg) maps numbers to sections.
//
// Word decoding is serialised across all word lists by a process-wide mutex (a second one guards the
// UTF-16 form and takes the first inside it); stream reads take the container mutex inside those.
// A word is decoded from the file once: the first request for a word decodes its whole group, and the
// words are kept in memory (under the same mutex) until the list is opened again.

#pragma once

#include <string>
#include <vector>

#include "engine/bookfile/BkWordListFormat.h"
#include "engine/bookfile/cBkSubstorageSupport.h"
#include "engine/bookfile/cBkWordCache.h"

class cBkWordListStg : public cBkSubstorageSupport {
public:
    explicit cBkWordListStg(uint32_t tag);

    // The base open under the container mutex, then the word-value table is loaded, the table of
    // decoded words emptied and the word cache emptied and switched off (the table makes it redundant). A list with words but a group size of 0, a value width outside 1..4,
    // or a value table that does not fit in its stream is malformed (220).
    uint32_t open(cBkStreamFile* container) override;
    uint32_t openNamed(cBkStreamFile* container, const char* name) override;

    uint32_t wordCount() const { return bkGetLE32(m_hdr + BkWordListFormat::kWordCount); }
    uint8_t groupSize() const { return m_hdr[BkWordListFormat::kGroupSize]; }

    // The word's 8-bit text (a marked word starts with 0xFF); empty when unreadable.
    void wordForNumber(uint32_t w, std::string& out);
    // The UTF-16 form (a marked word starts with U+FFFF).
    void wordForNumber(uint32_t w, std::u16string& out);
    void wordForNumber(uint32_t w, cLString8& out)
    {
        std::string s;
        wordForNumber(w, s);
        bkAssign(out, s);
    }
    void wordForNumber(uint32_t w, cLString16& out)
    {
        std::u16string s;
        wordForNumber(w, s);
        bkAssign(out, s);
    }
    uint32_t wordNumberForString(const cLString16& s, bool partial) { return wordNumberForString(bkStd(s), partial); }
    int32_t firstWildcardMatch(const cLString16& pattern) { return firstWildcardMatch(bkStd(pattern)); }
    int32_t nextWildcardMatch(const cLString16& pattern, int32_t after)
    {
        return nextWildcardMatch(bkStd(pattern), after);
    }
    // Exact (case-insensitive) or prefix search; 0xFFFFFFFF when none. A partial search for "" is 0.
    uint32_t wordNumberForString(const std::u16string& s, bool partial);
    // Wildcard scans ("?*_[" wildcards, a leading "-" negates); -1 when none.
    int32_t firstWildcardMatch(const std::u16string& pattern);
    int32_t nextWildcardMatch(const std::u16string& pattern, int32_t after);
    // Entry i of the word-value table; 0xFFFFFFFF when i >= V.
    uint32_t wordValue(uint32_t i) const;

private:
    uint32_t finishOpen(uint32_t r);
    void resetCache();
    void decodeWord(uint32_t w, std::string& out);
    // The caller holds the 8-bit word mutex and the container mutex. Decodes the words of w's group up
    // to the first unreadable one, keeping each; `out` gets word w (empty when unreadable).
    void decodeGroup(uint32_t w, std::string& out);
    void keepWord(uint32_t w, const std::string& word);

    uint8_t m_hdr[BkWordListFormat::kHeaderSize] = {};
    uint32_t m_bases[4] = {};
    uint32_t m_counts[4] = {};
    std::vector<uint32_t> m_values;
    cBkWordCache m_cache;
    // Decoded words: word w is m_wordText.substr(m_wordStart[w], m_wordLength[w]) when its start is
    // not kNone. Made on first use; the text stays under kMaxKeptText bytes (beyond it words are
    // decoded each time), since a hostile list can make its groups share and re-read long texts.
    static constexpr size_t kMaxKeptText = 16u << 20;
    std::vector<uint32_t> m_wordStart;
    std::vector<uint32_t> m_wordLength;
    std::string m_wordText;
    // The UTF-16 forms the same way, under the UTF-16 word mutex.
    std::vector<uint32_t> m_word16Start;
    std::vector<uint32_t> m_word16Length;
    std::u16string m_word16Text;
    bool m_caching = false;
};
