// Reading compiled books back through the engine's book-file readers, for the importer tests: the
// display blocks of a section, the plain text and words of its text nodes (footnotes apart), and the
// Strong's numbers that follow each word.

#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/bookfile/BkText.h"
#include "engine/bookfile/BkTextTokens.h"
#include "engine/bookfile/cBkBookFile.h"
#include "engine/bookfile/cBkConcordStg.h"
#include "engine/bookfile/cBkHTMLNodeStg.h"
#include "engine/bookfile/cBkSectionStg.h"
#include "engine/bookfile/cBkTextStg.h"
#include "engine/bookfile/cBkWordListStg.h"
#include "engine/foundation/CharacterClasses.h"

namespace bookreading {

constexpr uint8_t kTagText = 75, kTagNote = 53, kTagSync = 54, kTagWoc = 56, kTagI = 32, kTagLi = 38;

struct Word {
    std::string text;                  // as displayed
    std::vector<std::string> strongs;  // "H430", "G26a"
    bool inNote = false, inWoc = false, inItalic = false;
};

struct SectionText {
    std::vector<Word> words;
    std::string text;  // words and punctuation as displayed, footnotes left out
    std::string notes;
    std::vector<uint8_t> blockTags;
    uint32_t verseKey = 0;  // of the qs_sync marker, when there is one
};

inline std::string applyCapital(const std::string& word, uint8_t capital, uint32_t mask)
{
    std::u16string u = BkText::utf8ToUtf16(word);
    if (u.empty())
        return word;
    if (capital == 1)
        for (auto& c : u)
            c = toUpperChar16(c);
    else if (capital == 2)
        u[0] = toUpperChar16(u[0]);
    else if (capital == 7) {
        // one step per byte, or per upper-cased character
        std::string out;
        for (size_t k = 0; k < u.size(); ++k) {
            const std::string one = BkText::utf16ToUtf8(u.substr(k, 1));
            if (mask & 0x80000000u) {
                out += BkText::utf16ToUtf8(std::u16string(1, toUpperChar16(u[k])));
                mask <<= 1;
            } else {
                out += one;
                for (size_t b = 0; b < one.size(); ++b)
                    mask <<= 1;
            }
        }
        return out;
    }
    return BkText::utf16ToUtf8(u);
}

class Reader {
public:
    explicit Reader(cBkBookFile& book) : m_book(book), m_tokens(book) { }

    uint32_t sectionCount() { return m_book.sections().sectionCount(); }

    SectionText section(uint32_t s)
    {
        SectionText out;
        uint32_t firstBlock, offset, nextBlock, nextOffset;
        m_book.sections().getSectionStart(s, firstBlock, offset);
        if (s + 1 < sectionCount())
            m_book.sections().getSectionStart(s + 1, nextBlock, nextOffset);
        else
            nextBlock = m_book.nodes().blockCount();
        for (uint32_t b = firstBlock; b < nextBlock; ++b) {
            std::unique_ptr<cBkNode> tree;
            if (m_book.nodes().loadBlockTree(static_cast<int32_t>(b), 1, 1033, tree) != 0 || !tree)
                continue;
            out.blockTags.push_back(tree->tag);
            walk(*tree, out, false, false, false);
            if (out.text.empty() || out.text.back() != ' ')
                out.text += ' ';
        }
        return out;
    }

private:
    void walk(const cBkNode& n, SectionText& out, bool note, bool woc, bool italic)
    {
        note = note || n.tag == kTagNote;
        woc = woc || n.tag == kTagWoc;
        italic = italic || n.tag == kTagI;
        if (n.tag == kTagSync) {
            for (const auto& a : n.attributes)
                if (!a.named && a.code == 115 && a.hasText)
                    out.verseKey = static_cast<uint32_t>(std::stoul(a.text));
        }
        if (n.tag == kTagText) {
            for (const auto& a : n.attributes) {
                if (a.named && a.name == "untagged_text")
                    (note ? out.notes : out.text) += a.text;
                if (!a.named && a.code == 3 && a.hasText)
                    readRun(static_cast<uint32_t>(std::stoul(a.text)), out, note, woc, italic);
            }
        }
        for (const auto& c : n.children)
            walk(*c, out, note, woc, italic);
        if (n.tag == kTagLi && !out.text.empty() && out.text.back() != ' ')
            out.text += ' ';
    }

    void readRun(uint32_t p, SectionText& out, bool note, bool woc, bool italic)
    {
        std::string& text = note ? out.notes : out.text;
        cBkTextToken t;
        bool previousWord = false;
        uint8_t capital = 0;
        uint32_t mask = 0;
        while (m_tokens.read(p, t)) {
            p = t.next();
            if (t.lead == BkTextFormat::kEndOfSection)
                break;
            if (t.isWord()) {
                std::string w;
                m_book.wordList().wordForNumber(t.number, w);
                w = applyCapital(w, capital, mask);
                capital = 0;
                if (previousWord)
                    text += ' ';
                text += w;
                out.words.push_back({w, {}, note, woc, italic});
                previousWord = true;
            } else if (t.isPunctuation()) {
                std::string s;
                m_book.punctuation()->wordForNumber(t.number, s);
                if (t.blankBefore && !text.empty() && text.back() != ' ')
                    text += ' ';
                text += s;
                if (t.blankAfter)
                    text += ' ';
                previousWord = false;
            } else if (t.isStrongs() && !out.words.empty()) {
                std::string s = (t.lead == BkTextFormat::kStrongsHebrew ? "H" : "G") + std::to_string(t.number);
                if (t.suffix)
                    s += static_cast<char>('a' + t.suffix - 1);
                out.words.back().strongs.push_back(s);
            } else if (t.lead >= BkTextFormat::kNoBlankFirst && t.lead <= BkTextFormat::kNoBlankLast) {
                previousWord = false;
            } else if (t.lead >= BkTextFormat::kCapitalFirst && t.lead <= BkTextFormat::kCapitalLast) {
                capital = t.lead & 7;
                mask = t.mask;
            } else if (t.lead == BkTextFormat::kReference) {
                if (previousWord)
                    text += ' ';
                text += "<ref>";
                previousWord = true;
            }
        }
    }

    cBkBookFile& m_book;
    cBkTextTokenReader m_tokens;
};

// The sections of a concordance entry of `words` (exact match); empty when the word is not listed.
inline std::set<uint32_t> concordanceSections(cBkWordListStg& words, cBkConcordStg& conc, const std::string& word)
{
    std::set<uint32_t> out;
    const uint32_t w = words.wordNumberForString(BkText::utf8ToUtf16(word), false);
    if (w == 0xFFFFFFFFu)
        return out;
    std::string found;
    words.wordForNumber(w, found);
    if (!BkText::equalIgnoringCase8(found, word))
        return out;
    uint32_t count = 0;
    conc.forEachSection(w, count, [&](uint32_t s) { out.insert(s); });
    return out;
}

}  // namespace bookreading
