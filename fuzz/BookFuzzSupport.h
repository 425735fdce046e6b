// Walks of every storage of a book file, shared by the per-storage targets and the whole-book target.
// Each walk calls the storage's read operations over a bounded number of items, with in-range and
// out-of-range arguments, and checks the few answers that must hold whatever the bytes say.

#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/bookfile/cBkBookFile.h"
#include "engine/bookfile/cBkWordAttributeDefs.h"
#include "engine/bookfile/cPlatformMemPtr.h"
#include "fuzz/FuzzSupport.h"
#include "search/core/cBitVector.h"

namespace fuzz {

// The items a walk visits: the first ones, the last ones and a few past the end.
inline std::vector<std::uint32_t> probes(std::uint32_t count)
{
    std::vector<std::uint32_t> out;
    const std::uint32_t head = count < kMaxItems ? count : kMaxItems;
    for (std::uint32_t i = 0; i < head; ++i)
        out.push_back(i);
    for (std::uint32_t i = count > 8 ? count - 8 : 0; i < count; ++i)
        if (i >= head)
            out.push_back(i);
    out.push_back(count);
    out.push_back(count + 1);
    out.push_back(0x7FFFFFFFu);
    out.push_back(0xFFFFFFFFu);
    return out;
}

inline void walkStreams(cBkStreamFile& c)
{
    std::vector<std::uint8_t> buffer(4096);
    for (std::size_t i = 0; i < c.entryCount() && i < kMaxItems; ++i) {
        const cBkStreamEntry* e = c.entryAt(i);
        if (e == nullptr)
            fail("entryAt inside the directory answered none");
        const std::uint32_t id = e->id;
        (void)e->name();
        const std::uint32_t size = c.size(id);
        c.seek(id, 0);
        c.read(id, static_cast<std::uint32_t>(buffer.size()), buffer.data());
        if (c.tell(id) > size)
            fail("stream position past its length");
        c.seekAndRead(id, 16, buffer.data(), size > 16 ? size - 16 : 0);
        c.seekAndRead(id, 16, buffer.data(), size);
        c.seek(id, size + 1);
        std::string s;
        c.readString(id, s, 0);
        c.readString(id, s, size / 2);
        c.seek(id, 0);
        for (int b = 0; b < 20; ++b)
            c.readBit(id);
        c.streamIdForName(e->name().c_str());
        if (id != 0) {
            cBkStreamFile sub;
            if (sub.openSubFile(c, id) == 0)
                for (std::size_t k = 0; k < sub.entryCount() && k < 16; ++k) {
                    const cBkStreamEntry* se = sub.entryAt(k);
                    sub.seekAndRead(se->id, 64, buffer.data(), 0);
                }
        }
    }
    c.read(0x12345678u, 4, buffer.data());
    c.readBit(0x12345678u);
}

inline void walkWordAttributeDefs(const cBkWordAttributeDefs& defs)
{
    for (std::int32_t i = -1; i <= defs.definitionCount() && i < static_cast<std::int32_t>(kMaxItems); ++i) {
        (void)defs.key(i);
        for (std::int32_t k = -1; k < 10; ++k)
            (void)defs.field(i, k);
        (void)defs.fieldAsInteger(i);
        (void)defs.testamentScope(i);
        (void)defs.flagField(i);
    }
    (void)defs.maxFieldValue();
}

inline void walkGenInfo(cBkGenInfoStg& g)
{
    std::string s;
    for (bool decode : {false, true}) {
        uint32_t result = 0;
        g.bookName(s, decode, &result);
        g.abbreviatedTitle(s, decode);
        g.copyright(s, decode);
        g.author(s, decode);
        g.publisher(s, decode);
        g.publisherCity(s, decode);
        g.publisherDate(s, decode);
        g.subtitle(s, decode);
        g.sortTitle(s, decode, true);
        g.sortTitle(s, decode, false);
        g.bookRangesString(s, decode);
        g.bibleBooksString(s, decode);
        g.wordAttributeDefsString(s, decode);
    }
    (void)g.languageNumber();
    (void)g.languageName();
    (void)g.publisherId();
    (void)g.bookId();
    (void)g.edition();
    (void)g.revision();
    (void)g.bookType();
    if (g.hasWordAttributeDefs())
        walkWordAttributeDefs(g.wordAttributeDefs());
}

inline void walkSections(cBkSectionStg& s)
{
    const std::uint32_t n = s.sectionCount();
    for (std::uint32_t i : probes(n)) {
        std::uint32_t block = 0, offset = 0, section = 0;
        s.getSectionStart(i, block, offset);
        s.sectionForBlock(section, i);
        (void)s.sectionForBlock(i);
        (void)s.lastSectionForBlock(i);
        s.sectionEndingBeforeBlock(i, section);
        (void)s.sectionForTextOffset(offset);
        (void)s.sectionForTextOffset(i);
    }
}

inline void walkText(cBkTextStg& t)
{
    std::vector<std::uint8_t> buffer(1024);
    const std::uint32_t size = t.textSize();
    for (std::uint32_t position : {0u, 1u, size / 3, size / 2, size > 8 ? size - 8 : 0u, size, size + 1, 0xFFFFFFF0u}) {
        std::uint32_t count = static_cast<std::uint32_t>(buffer.size());
        t.readText(position, buffer.data(), count);
        if (count > buffer.size())
            fail("readText answered more bytes than asked for");
    }
}

inline void walkToc(cBkTOCStg& toc)
{
    std::string title;
    std::uint8_t level = 0;
    for (std::uint32_t i : probes(toc.entryCount())) {
        toc.readEntry(i, level, title);
        std::uint32_t a = 0, b = 0, c = 0;
        toc.readLinks(i, a, b, c);
    }
    // A path that follows the first few titles, then one that names nothing.
    std::string path;
    for (std::uint32_t i = 0; i < 3 && i < toc.entryCount(); ++i) {
        if (toc.readEntry(i, level, title) != 0)
            break;
        path += (i == 0 ? "" : "/") + title;
    }
    toc.sectionForTocPath(path);
    toc.sectionForTocPath(std::string("no/such/path"));
    toc.sectionForTocPath(std::string());
}

inline void walkWordList(cBkWordListStg& w)
{
    std::string word;
    std::u16string wide;
    std::vector<std::u16string> found;
    for (std::uint32_t i : probes(w.wordCount())) {
        w.wordForNumber(i, word);
        w.wordForNumber(i, wide);
        if (found.size() < 8 && !wide.empty())
            found.push_back(wide);
    }
    for (std::uint32_t i : probes(w.wordCount()))
        (void)w.wordValue(i);
    found.push_back(u"");
    found.push_back(u"zzzz");
    found.push_back(u"a*");
    found.push_back(u"?");
    for (const std::u16string& s : found) {
        (void)w.wordNumberForString(s, false);
        (void)w.wordNumberForString(s, true);
        std::int32_t m = w.firstWildcardMatch(s + u"*");
        for (int k = 0; k < 8 && m >= 0; ++k)
            m = w.nextWildcardMatch(s + u"*", m);
    }
}

inline void walkConcordance(cBkConcordStg& c, std::uint32_t sectionCount)
{
    cBitVector vector(sectionCount < (1u << 20) ? sectionCount + 1 : (1u << 20));
    for (std::uint32_t w : probes(c.entryCount())) {
        std::uint32_t count = 0;
        (void)c.sectionCount(w);
        c.lookupWord(w, count, vector);
        std::uint32_t seen = 0;
        c.forEachSection(w, count, [&](std::uint32_t) { ++seen; });
    }
}

inline void walkVerseSync(cBkVerseSyncStg& v)
{
    std::uint8_t key[4];
    for (std::uint32_t i : probes(v.recordCount())) {
        std::uint32_t value = 0, record = 0;
        v.readRecord(i, key, value);
        const std::uint32_t k = v.keyOfRecord(i);
        v.sectionForKey(k, record, value);
        v.sectionForKey(k + 1, record, value);
        v.lastSectionForAmbiguousKey(k | 0xFE, 0, record, value);
        v.lastSectionForAmbiguousKey((k & 0xFFFF0000u) | 0xFEFE, 1, record, value);
    }
}

inline void walkDateSync(cBkDateSyncStg& d)
{
    for (std::uint32_t r : probes(d.readingCount())) {
        const std::uint32_t s = d.sectionOfReading(r);
        (void)d.readingForSection(s);
        (void)d.readingForSection(r);
    }
    std::uint8_t month = 0, day = 0, third = 0;
    d.defaultStart(month, day, third);
}

inline std::size_t countNodes(const cBkNode& node)
{
    std::size_t n = 1;
    for (const auto& child : node.children) {
        if (child->parent != &node)
            fail("node child does not point back at its parent");
        n += countNodes(*child);
    }
    return n;
}

inline void walkNodes(cBkHTMLNodeStg& nodes)
{
    const std::uint32_t n = nodes.blockCount();
    std::vector<std::int32_t> blocks;
    for (std::uint32_t i : probes(n))
        blocks.push_back(static_cast<std::int32_t>(i));
    blocks.push_back(-1);
    blocks.push_back(-2);
    for (std::int32_t b : blocks) {
        std::unique_ptr<cBkNode> tree;
        if (nodes.loadBlockTree(b, 0, 1033, tree) == 0 && tree)
            (void)countNodes(*tree);
    }
}

inline void walkEmbedded(cBkEmbeddedFiles& files)
{
    cBkStreamFile* sub = files.subFile();
    std::vector<std::string> names {"", "missing.png"};
    if (sub != nullptr)
        for (std::size_t i = 0; i < sub->entryCount() && i < 32; ++i)
            names.push_back(sub->entryAt(i)->name());
    for (const std::string& name : names) {
        cPlatformMemPtr memory;
        if (files.readIntoMemory(name, memory) == 0 && memory.size() > 0 && memory.data() == nullptr)
            fail("embedded file read answered a size without bytes");
    }
}

inline void walkPair(const cBkWordListPair* pair, std::uint32_t sections)
{
    if (pair == nullptr)
        return;
    walkWordList(*pair->words);
    walkConcordance(*pair->concordance, sections);
}

}  // namespace fuzz
