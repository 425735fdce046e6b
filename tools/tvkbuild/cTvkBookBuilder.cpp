#include "tools/tvkbuild/cTvkBookBuilder.h"

#include <algorithm>
#include <stdexcept>

#include "engine/bookfile/BkInfoFormat.h"
#include "engine/bookfile/BkNodeFormat.h"
#include "engine/bookfile/BkStreamFormat.h"
#include "engine/bookfile/BkSyncFormat.h"
#include "engine/bookfile/BkTextFormat.h"
#include "tools/tvkbuild/TvkTextEncoder.h"
#include "tools/tvkbuild/cTvkContainerWriter.h"

using TvkEncode::Bytes;

namespace {

// Element, attribute and value codes of the display markup that the compiler writes.
constexpr uint8_t kTagP = 46;
constexpr uint8_t kTagText = 75;
constexpr uint32_t kAttrType = 111;
constexpr uint32_t kValueVerse = 116;

void addPair(cTvkContainerWriter& w, const std::set<std::string>& omitted, uint32_t& nextNamedId,
    const std::string& wordsName, const std::string& concName, bool named,
    const std::map<std::string, std::set<uint32_t>>& entries)
{
    auto [wordList, concordance] = tvkIndexPair(entries);
    if (named) {
        w.addStream(nextNamedId++, std::move(wordList), wordsName);
        w.addStream(nextNamedId++, std::move(concordance), concName);
        return;
    }
    if (!omitted.count(wordsName))
        w.addStream(bkTag(wordsName.c_str()), std::move(wordList));
    if (!omitted.count(concName))
        w.addStream(bkTag(concName.c_str()), std::move(concordance));
}

}  // namespace

cTvkBookBuilder::cTvkBookBuilder() : cTvkBookCompiler(0, 0)
{
}

uint32_t cTvkBookBuilder::addSection(const Section& section)
{
    m_sections.push_back(section);
    return static_cast<uint32_t>(m_sections.size());
}

void cTvkBookBuilder::addIndexPair(const std::string& words, const std::string& concordance,
    const std::map<std::string, std::set<uint32_t>>& entries, bool named)
{
    m_pairs.push_back({words, concordance, named, entries});
}

void cTvkBookBuilder::addImage(const std::string& name, const std::vector<uint8_t>& bytes)
{
    m_images.emplace_back(name, bytes);
}

void cTvkBookBuilder::omitStream(const std::string& tag)
{
    m_omitted.insert(tag);
}

void cTvkBookBuilder::replaceStream(const std::string& tag, const std::vector<uint8_t>& bytes)
{
    m_replaced[tag] = bytes;
}

std::vector<uint8_t> cTvkBookBuilder::build() const
{
    using namespace BkTextFormat;
    const bool bible = kind == Kind::Bible;
    const TvkEncode::InfoFields fields = headerFields(kind == Kind::Dated ? BkInfoFormat::kBookTypeDated : 0);

    // Cut every section's text; section 0 is the root and has none.
    std::vector<std::vector<TvkTextPiece>> cut(1);
    std::map<std::string, uint32_t> wordCounts, punctCounts;
    for (const Section& s : m_sections) {
        cut.push_back(tvkCutText(s.text));
        for (const TvkTextPiece& p : cut.back())
            ++(p.word ? wordCounts : punctCounts)[p.text];
    }
    const uint32_t escapeBase =
        (fields.fileMajor != 0 && fields.fileMinor <= 20) ? kWordEscapeBaseOld : kWordEscapeBase;
    const cTvkTokenWriter writer(wordCounts, punctCounts, escapeBase);
    const std::vector<std::string>& words = writer.words();

    Bytes tokens;
    std::vector<std::pair<uint32_t, uint32_t>> sectionStarts;
    std::vector<std::vector<uint32_t>> wordSections(words.size());
    for (uint32_t s = 0; s < cut.size(); ++s) {
        const uint32_t offset = static_cast<uint32_t>(kHeaderSize + tokens.size());
        sectionStarts.emplace_back(s, offset);
        for (const TvkTextPiece& p : cut[s]) {
            if (p.word) {
                const uint32_t w = writer.appendWord(tokens, p);
                if (wordSections[w].empty() || wordSections[w].back() != s)
                    wordSections[w].push_back(s);
            } else {
                writer.appendPunctuation(tokens, p);
            }
        }
        tokens.push_back(kEndOfSection);
    }

    std::vector<TvkEncode::TocEntry> toc {{0, fields.bookName}};
    std::vector<std::pair<uint32_t, uint32_t>> sync {{0, 0}};
    std::vector<TvkEncode::Node> blocks;
    for (uint32_t s = 0; s < cut.size(); ++s) {
        TvkEncode::Node p {kTagP, {}, {}};
        if (s > 0) {
            const Section& sec = m_sections[s - 1];
            toc.push_back({sec.level, sec.title});
            if (bible) {
                if (sec.verseKey <= sync.back().first && s > 1)
                    throw std::invalid_argument("Bible sections must ascend by verse key");
                sync.emplace_back(sec.verseKey, s);
                if ((sec.verseKey & 0xFF) != 0) {
                    TvkEncode::Node marker {BkNodeFormat::kSyncTag, {}, {}};
                    marker.attributes.push_back(TvkEncode::NodeAttribute::withCode(kAttrType, kValueVerse));
                    marker.attributes.push_back(TvkEncode::NodeAttribute::withNumber(BkNodeFormat::kSyncValueAttribute,
                        static_cast<int32_t>(sec.verseKey & 0x7FFFFF) | ((sec.verseKey & 0x800000) ? -0x800000 : 0)));
                    p.children.push_back(marker);
                }
            }
        }
        TvkEncode::Node textNode {kTagText, {TvkEncode::NodeAttribute::textAt(sectionStarts[s].second)}, {}};
        p.children.push_back(textNode);
        blocks.push_back(p);
    }

    cTvkContainerWriter w;
    std::map<std::string, Bytes> streams;
    streams["INFO"] = TvkEncode::info(fields);
    streams["SECT"] = TvkEncode::sections(sectionStarts);
    streams["PAGE"] = TvkEncode::page();
    streams["TEXT"] = TvkEncode::text(tokens);
    streams["TOFC"] = TvkEncode::toc(toc);
    const bool oldSync = fields.fileMajor < 2 && fields.fileMinor < BkSyncFormat::kNewHeaderMinor;
    streams["SYNC"] = TvkEncode::verseSync(sync, 3, 4, oldSync);
    streams["WRDS"] = TvkEncode::wordList(words, 16, writer.wordShortValues());
    streams["CONC"] = TvkEncode::concordance(wordSections);
    streams["PUNC"] = TvkEncode::wordList(writer.punctuation(), 16, writer.punctuationShortValues());
    streams["NODE"] = TvkEncode::nodes(blocks);
    if (kind == Kind::Dated || !m_readings.empty())
        streams["DATE"] = TvkEncode::dateSync(m_readings, m_month, m_day);
    for (const char* tag : {"INFO", "SECT", "PAGE", "TEXT", "TOFC", "SYNC", "WRDS", "CONC", "PUNC", "NODE", "DATE"}) {
        auto it = m_replaced.find(tag);
        if (m_omitted.count(tag))
            continue;
        if (it != m_replaced.end())
            w.addStream(bkTag(tag), it->second);
        else if (streams.count(tag))
            w.addStream(bkTag(tag), streams[tag]);
    }
    uint32_t nextNamedId = 0x7F000001u;
    if (!m_lookupWords.empty())
        addPair(w, m_omitted, nextNamedId, "WSYN", "WSCN", false, m_lookupWords);
    if (!m_verseLookup.empty())
        addPair(w, m_omitted, nextNamedId, "VSYN", "VSCN", false, m_verseLookup);
    for (const Pair& pair : m_pairs)
        addPair(w, m_omitted, nextNamedId, pair.words, pair.concordance, pair.named, pair.entries);
    for (const auto& [tag, bytes] : m_replaced)
        if (!w.hasStream(bkTag(tag.c_str())) && tag.size() <= 4)
            w.addStream(bkTag(tag.c_str()), bytes);
    if (!m_images.empty())
        w.addStream(nextNamedId++, TvkEncode::embeddedFiles(m_images), "IMAGES");
    if (!m_bibleRef.empty())
        w.addStream(nextNamedId++, TvkEncode::embeddedFiles(m_bibleRef), "BIBLEREF");
    return w.build();
}
