#include "tools/tvkbuild/import/cTvkRichBook.h"

#include <algorithm>
#include <stdexcept>

#include "engine/bookfile/BkInfoFormat.h"
#include "engine/bookfile/BkSyncFormat.h"
#include "engine/bookfile/BkTextFormat.h"
#include "search/core/Metaphone.h"
#include "search/core/WordStemming.h"
#include "tools/tvkbuild/cTvkContainerWriter.h"

using TvkEncode::Bytes;

namespace {

constexpr uint32_t kAttrIsWhitespace = 65;
constexpr uint32_t kValueYes = 123;

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

struct Piece {
    enum Type { Word, Punctuation, Reference } type = Word;
    std::string text;  // words lower-cased when a capitalisation code restores them
    uint8_t capital = 0;
    uint32_t mask = 0;
    bool blankBefore = false, blankAfter = false;

    TvkTextPiece piece() const { return TvkTextPiece {type == Word, text, capital, mask, blankBefore, blankAfter}; }
};

// One text node after cutting: its pieces, and the Strong's numbers that follow each piece.
struct CutNode {
    std::vector<Piece> pieces;
    std::vector<std::vector<std::string>> strongsAfter;  // parallel to pieces
    // Parallel to pieces: a word of a tagged run before its last word, which shares the numbers
    // written after the last (for search; the page shows them once, after the run).
    std::vector<bool> tiedToNext;
    bool blankBefore = false, blankAfter = false;
    bool inNote = false;  // a footnote's (or a book's or chapter's heading's) words are shown but not indexed
};

CutNode cutNode(const TvkNode& node)
{
    CutNode out;
    bool pendingBlank = false;
    for (const TvkRun& run : node.runs) {
        if (!run.reference.empty()) {
            Piece p;
            p.type = Piece::Reference;
            p.text.assign(run.reference.begin(), run.reference.end());
            if (!out.pieces.empty() && pendingBlank)
                out.pieces.back().blankAfter = true;
            out.pieces.push_back(std::move(p));
            out.strongsAfter.emplace_back();
            out.tiedToNext.push_back(false);
            pendingBlank = false;
            continue;
        }
        if (run.text.empty())
            continue;
        const bool leading = isBlank(run.text.front());
        const bool trailing = isBlank(run.text.back());
        std::vector<Piece> pieces;
        for (const TvkTextPiece& t : tvkCutText(run.text))
            pieces.push_back(Piece {
                t.word ? Piece::Word : Piece::Punctuation, t.text, t.capital, t.mask, t.blankBefore, t.blankAfter});
        if (out.pieces.empty() && pieces.empty() && leading)
            out.blankBefore = true;
        if (!pieces.empty()) {
            if (out.pieces.empty()) {
                out.blankBefore = out.blankBefore || leading;
            } else if (leading || pendingBlank) {
                out.pieces.back().blankAfter = true;
                pieces.front().blankBefore = true;
            }
            if (!pieces.empty() && trailing)
                pieces.back().blankAfter = true;
            size_t lastWord = pieces.size();
            for (size_t i = 0; i < pieces.size(); ++i)
                if (pieces[i].type == Piece::Word)
                    lastWord = i;
            for (size_t i = 0; i < pieces.size(); ++i) {
                out.pieces.push_back(pieces[i]);
                out.strongsAfter.emplace_back();
                out.tiedToNext.push_back(!run.strongs.empty() && pieces[i].type == Piece::Word && i < lastWord);
                if (i == lastWord)
                    out.strongsAfter.back() = run.strongs;
            }
            pendingBlank = trailing;
        } else {
            pendingBlank = pendingBlank || leading || trailing;
        }
    }
    out.blankAfter = pendingBlank && !out.pieces.empty();
    if (out.pieces.empty())
        out.blankBefore = pendingBlank || out.blankBefore;
    // A blank carried by the text node's last punctuation is already written by the renderer.
    if (!out.pieces.empty() && out.pieces.back().type == Piece::Punctuation && out.pieces.back().blankAfter)
        out.blankAfter = false;
    // A blank before the first punctuation is not: the renderer starts each text node without one, so
    // the node's leading blank stays a white-space node of its own.
    if (!out.pieces.empty() && out.pieces.front().type == Piece::Punctuation && out.pieces.front().blankBefore)
        out.blankBefore = true;
    if (!out.pieces.empty()) {
        out.pieces.front().blankBefore = out.pieces.front().blankBefore && !out.blankBefore;
    }
    return out;
}

// Visits the text nodes of a tree in document order, telling whether each lies inside a footnote.
template <typename F> void forEachText(const TvkNode& node, F&& f, bool inNote = false)
{
    if (node.tag == TvkTag::kText) {
        f(node, inNote);
        return;
    }
    for (const TvkNode& child : node.children)
        forEachText(child, f, inNote || node.tag == TvkTag::kQsNote);
}

// Text runs that touch without a blank between them make one word ("<w>in</w>asmuch" is
// "inasmuch"; a word cut by an italic, "pagar<i>la</i>", is "pagarla"), as the page shows it: the
// letters that continue a word move to the run that holds its start. The joined word carries the
// Strong's numbers of both runs; when the run before holds other words too, the joined word becomes a
// run of its own, so that those words keep their own numbers alone. Runs touch across text nodes
// inside the same inline elements (italic, bold, small letters, the words of Christ); any other
// element, a footnote, a line break or a reference keeps the words apart.
class RunJoiner {
public:
    void joinSection(TvkSection& section)
    {
        for (TvkNode& block : section.blocks) {
            m_last = {};
            visit(block);
        }
        for (auto& [node, runs] : m_out)
            node->runs = std::move(runs);
        m_out.clear();
    }

private:
    struct Place {
        TvkNode* node = nullptr;
        size_t index = 0;
    };

    void visit(TvkNode& node)
    {
        if (node.tag == TvkTag::kQsNote) {
            m_last = {};
            return;
        }
        if (node.tag == TvkTag::kText) {
            std::vector<TvkRun> runs = std::move(node.runs);
            // An apostrophe alone between two runs ("<w>day</w>’<w>s</w>") goes with the letters after
            // it, which then continue the word before.
            for (size_t i = 0; i + 1 < runs.size(); ++i)
                if (runs[i].reference.empty() && runs[i + 1].reference.empty() &&
                    (runs[i].text == "'" || runs[i].text == "\u2019") && tvkLeadingWordBytes(runs[i + 1].text) > 0) {
                    runs[i + 1].text.insert(0, runs[i].text);
                    runs[i].text.clear();
                }
            std::vector<TvkRun>& out = m_out[&node];
            for (TvkRun& run : runs)
                take(node, out, std::move(run));
            return;
        }
        const bool inlineElement = node.tag == TvkTag::kI || node.tag == TvkTag::kB || node.tag == TvkTag::kSmall ||
            node.tag == TvkTag::kQsWoc;
        if (!inlineElement)
            m_last = {};
        for (TvkNode& child : node.children)
            visit(child);
        if (!inlineElement)
            m_last = {};
    }

    static void addNumbers(std::vector<std::string>& into, const std::vector<std::string>& numbers)
    {
        for (const std::string& n : numbers)
            if (std::find(into.begin(), into.end(), n) == into.end())
                into.push_back(n);
    }

    void take(TvkNode& node, std::vector<TvkRun>& out, TvkRun run)
    {
        if (!run.reference.empty()) {
            out.push_back(std::move(run));
            m_last = {};
            return;
        }
        std::vector<TvkRun>& before = m_last.node == nullptr ? out : m_out[m_last.node];
        const size_t tail = m_last.node == nullptr ? 0 : tvkTrailingWordBytes(before[m_last.index].text);
        // How much of the run continues the word: its letters, and an apostrophe between letters.
        const size_t lead = tail == 0
            ? 0
            : tvkLeadingWordBytes(
                  before[m_last.index].text.substr(before[m_last.index].text.size() - tail) + run.text) -
                tail;
        if (lead > 0) {
            TvkRun& left = before[m_last.index];
            const std::string rest = run.text.substr(lead);
            const bool restHasWord = tvkHasWord(rest);
            std::vector<std::string> numbers = left.strongs;
            addNumbers(numbers, run.strongs);
            const std::string head = left.text.substr(0, left.text.size() - tail);
            if (numbers.size() != left.strongs.size() && tvkHasWord(head)) {
                // The joined word takes numbers the other words of its run do not have.
                TvkRun joined {left.text.substr(head.size()) + run.text.substr(0, lead), std::move(numbers), {}};
                left.text = head;
                before.push_back(std::move(joined));
                m_last.index = before.size() - 1;
            } else {
                left.text += run.text.substr(0, lead);
                left.strongs = std::move(numbers);
            }
            run.text = rest;
            if (!restHasWord)
                run.strongs.clear();
            if (run.text.empty())
                return;
            out.push_back(std::move(run));
            m_last = {&node, out.size() - 1};
            return;
        }
        const bool empty = run.text.empty();
        out.push_back(std::move(run));
        if (!empty)
            m_last = {&node, out.size() - 1};
    }

    Place m_last;
    std::map<TvkNode*, std::vector<TvkRun>> m_out;
};

void joinTouchingRuns(TvkSection& section)
{
    RunJoiner().joinSection(section);
}

void addPair(cTvkContainerWriter& w, const char* wordsTag, const char* concTag,
    const std::map<std::string, std::set<uint32_t>>& entries)
{
    if (entries.empty())
        return;
    auto [wordList, concordance] = tvkIndexPair(entries);
    w.addStream(bkTag(wordsTag), std::move(wordList));
    w.addStream(bkTag(concTag), std::move(concordance));
}

// Strong's number text: a letter, digits, an optional suffix letter.
bool parseStrongs(const std::string& s, bool& hebrew, uint32_t& number, uint32_t& suffix)
{
    if (s.size() < 2 || (s[0] != 'H' && s[0] != 'h' && s[0] != 'G' && s[0] != 'g'))
        return false;
    hebrew = s[0] == 'H' || s[0] == 'h';
    size_t i = 1;
    number = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        number = number * 10 + static_cast<uint32_t>(s[i] - '0');
        if (number > 99999)
            return false;
        ++i;
    }
    if (i == 1 || number == 0)
        return false;
    suffix = 0;
    if (i < s.size()) {
        const char c = static_cast<char>(s[i] | 0x20);
        if (i + 1 != s.size() || c < 'a' || c > 'z')
            return false;
        suffix = static_cast<uint32_t>(c - 'a' + 1);
    }
    return hebrew ? number <= 0x3FFF : (number <= 0x1FFF && suffix <= 7);
}

}  // namespace

cTvkRichBook::cTvkRichBook() : cTvkBookCompiler(1, 1)
{
}

uint32_t cTvkRichBook::addSection(TvkSection section)
{
    m_sections.push_back(std::move(section));
    return static_cast<uint32_t>(m_sections.size());
}

void cTvkRichBook::addVerseIndex(uint32_t key, uint32_t section)
{
    m_verseIndex[BkSyncFormat::verseKeyText(key)].insert(section);
}

std::vector<uint8_t> cTvkRichBook::strongsToken(const std::string& text)
{
    bool hebrew;
    uint32_t n, suffix;
    if (!parseStrongs(text, hebrew, n, suffix))
        return {};
    if (hebrew) {
        const uint32_t low = suffix >= 3 ? 3 : suffix;
        std::vector<uint8_t> out {
            BkTextFormat::kStrongsHebrew, static_cast<uint8_t>((n << 2) >> 8), static_cast<uint8_t>((n << 2) | low)};
        if (low == 3)
            out.push_back(static_cast<uint8_t>(suffix));
        return out;
    }
    return {BkTextFormat::kStrongsGreek, static_cast<uint8_t>((n << 3) >> 8), static_cast<uint8_t>((n << 3) | suffix)};
}

std::vector<uint8_t> cTvkRichBook::build() const
{
    using namespace BkTextFormat;
    const bool bible = kind == Kind::Bible;
    // The header's book type: 3 dated, 1 synced to Bible verses (a commentary), 2 synced to
    // headwords (a dictionary), 0 a book read by its contents alone.
    uint8_t bookType = 0;
    if (kind == Kind::Dated)
        bookType = BkInfoFormat::kBookTypeDated;
    else if (!bible && !m_verseLookup.empty())
        bookType = 1;
    else if (!bible && !m_lookupWords.empty())
        bookType = 2;
    const TvkEncode::InfoFields fields = headerFields(bookType);

    // Sections as written: the root, then every added section; a section without text gets an empty
    // paragraph so that it owns a text range.
    std::vector<TvkSection> sections;
    sections.reserve(m_sections.size() + 1);
    sections.push_back(TvkSection {fields.bookName, 0, 0, {TvkNode::element(TvkTag::kP, {TvkNode::text("")})}});
    for (const TvkSection& s : m_sections) {
        sections.push_back(s);
        joinTouchingRuns(sections.back());
        bool hasText = false;
        for (const TvkNode& b : s.blocks)
            forEachText(b, [&](const TvkNode&, bool) { hasText = true; });
        if (!hasText)
            sections.back().blocks.push_back(TvkNode::element(TvkTag::kP, {TvkNode::text("")}));
    }

    // Pass 1: cut every text node and count the strings.
    std::vector<CutNode> cuts;
    std::map<std::string, uint32_t> wordCounts, punctCounts;
    auto isHeading = [](uint8_t tag) { return tag == TvkTag::kH2 || tag == TvkTag::kH3 || tag == TvkTag::kH4; };
    for (const TvkSection& s : sections)
        for (const TvkNode& b : s.blocks)
            forEachText(b, [&, unindexed = !s.headingsIndexed && isHeading(b.tag)](const TvkNode& n, bool inNote) {
                cuts.push_back(cutNode(n));
                cuts.back().inNote = inNote || unindexed;
                for (const Piece& p : cuts.back().pieces)
                    if (p.type != Piece::Reference)
                        ++(p.type == Piece::Word ? wordCounts : punctCounts)[p.text];
            });
    const cTvkTokenWriter writer(wordCounts, punctCounts, kWordEscapeBase);
    const std::vector<std::string>& words = writer.words();

    // Pass 2: tokens and display blocks.
    Bytes tokens;
    std::vector<std::vector<uint32_t>> wordSections(words.size());
    std::map<std::string, std::set<uint32_t>> hebrew, greek;
    std::vector<std::pair<uint32_t, uint32_t>> sectionStarts;
    std::vector<TvkEncode::Node> blocks;
    size_t cutIndex = 0;
    uint32_t sectionNo = 0;

    auto whitespaceNode = [] {
        return TvkEncode::Node {TvkTag::kText,
            {TvkEncode::NodeAttribute::namedText("untagged_text", " "),
                TvkEncode::NodeAttribute::withCode(kAttrIsWhitespace, kValueYes)},
            {}};
    };
    auto emitText = [&](std::vector<TvkEncode::Node>& into) {
        const CutNode& c = cuts.at(cutIndex++);
        if (c.blankBefore && !into.empty())
            into.push_back(whitespaceNode());
        const bool firstOfSection = sectionStarts.size() == sectionNo;
        if (c.pieces.empty() && !firstOfSection)
            return;  // an empty text node after the section's first adds nothing
        const uint32_t offset = static_cast<uint32_t>(kHeaderSize + tokens.size());
        if (firstOfSection)
            sectionStarts.emplace_back(0, offset);
        // The words of a footnote (or of a heading left out of the index) are shown but belong to no
        // phrase of the main text: the phrase test passes over them as the concordance does, so that
        // a phrase is found by the words of the main text alone, whatever the interpretation.
        const bool phraseOff = c.inNote &&
            std::any_of(c.pieces.begin(), c.pieces.end(), [](const Piece& p) { return p.type == Piece::Word; });
        if (phraseOff)
            tokens.push_back(kPhraseOff);
        for (size_t i = 0; i < c.pieces.size(); ++i) {
            const Piece& p = c.pieces[i];
            if (p.type == Piece::Word) {
                // Two words that the source writes together (across runs) stay together.
                if (i > 0 && c.pieces[i - 1].type == Piece::Word && !c.pieces[i - 1].blankAfter && !p.blankBefore)
                    tokens.push_back(kNoBlankFirst);
                const uint32_t w = writer.appendWord(tokens, p.piece());
                if (!c.inNote && (wordSections[w].empty() || wordSections[w].back() != sectionNo))
                    wordSections[w].push_back(sectionNo);
                if (c.tiedToNext[i])
                    tokens.push_back(kTagsOfNextWord);
            } else if (p.type == Piece::Reference) {
                tokens.push_back(kReference);
                tokens.insert(tokens.end(), p.text.begin(), p.text.end());
            } else {
                writer.appendPunctuation(tokens, p.piece());
            }
            for (const std::string& s : c.strongsAfter[i]) {
                const std::vector<uint8_t> t = strongsToken(s);
                if (t.empty())
                    continue;
                tokens.insert(tokens.end(), t.begin(), t.end());
                const uint32_t n = ((static_cast<uint32_t>(t[1]) << 8) | t[2]) >> (t[0] == kStrongsHebrew ? 2 : 3);
                if (!c.inNote)
                    (t[0] == kStrongsHebrew ? hebrew : greek)[std::to_string(n)].insert(sectionNo);
            }
        }
        if (phraseOff)
            tokens.push_back(kPhraseOn);
        tokens.push_back(kEndOfSection);
        into.push_back(TvkEncode::Node {TvkTag::kText, {TvkEncode::NodeAttribute::textAt(offset)}, {}});
        if (c.blankAfter)
            into.push_back(whitespaceNode());
    };
    struct Emitter {
        decltype(emitText)& text;
        void operator()(const TvkNode& n, std::vector<TvkEncode::Node>& into) const
        {
            if (n.tag == TvkTag::kText) {
                text(into);
                return;
            }
            TvkEncode::Node out {n.tag, n.attributes, {}};
            for (const TvkNode& child : n.children)
                (*this)(child, out.children);
            into.push_back(std::move(out));
        }
    } emit {emitText};

    std::vector<TvkEncode::TocEntry> toc;
    std::vector<std::pair<uint32_t, uint32_t>> sync {{0, 0}};
    for (sectionNo = 0; sectionNo < sections.size(); ++sectionNo) {
        const TvkSection& s = sections[sectionNo];
        toc.push_back({sectionNo == 0 ? uint8_t(0) : std::max<uint8_t>(s.level, 1), s.title});
        // A Bible's sync has a record for every section, in section order (the reader takes a
        // section's key from its record). Front matter before the first book holds no verse: its
        // record is keyed 0, as the root's is. The books follow their source's order; within a
        // book the keys ascend.
        if (bible && sectionNo > 0 && s.verseKey != 0) {
            if (!TvkEncode::followsInBibleOrder(sync, s.verseKey))
                throw std::invalid_argument("Bible sections must ascend by verse key within a book, each book once");
            sync.emplace_back(s.verseKey, sectionNo);
        } else if (bible && sectionNo > 0) {
            if (sync.back().first != 0)
                throw std::invalid_argument("a Bible section after the first book needs a verse key");
            sync.emplace_back(0, sectionNo);
        }
        const size_t firstBlock = blocks.size();
        for (const TvkNode& b : s.blocks) {
            std::vector<TvkEncode::Node> one;
            emit(b, one);
            for (auto& n : one)
                blocks.push_back(std::move(n));
        }
        if (sectionStarts.size() == sectionNo)  // no text written (cannot happen: every section has a text node)
            sectionStarts.emplace_back(
                static_cast<uint32_t>(firstBlock), static_cast<uint32_t>(kHeaderSize + tokens.size()));
        sectionStarts.back().first = static_cast<uint32_t>(firstBlock);
    }
    // Each level may rise by one at most.
    for (size_t i = 1; i < toc.size(); ++i)
        toc[i].level = std::min<uint8_t>(toc[i].level, static_cast<uint8_t>(toc[i - 1].level + 1));

    // Strong's support: the header pair names the dictionary; both numbers must be set.
    cTvkContainerWriter w;
    w.addStream(bkTag("INFO"), TvkEncode::info(fields));
    w.addStream(bkTag("SECT"), TvkEncode::sections(sectionStarts));
    w.addStream(bkTag("PAGE"), TvkEncode::page());
    w.addStream(bkTag("TEXT"), TvkEncode::text(tokens));
    w.addStream(bkTag("TOFC"), TvkEncode::toc(toc));
    const bool oldSync = fields.fileMajor < 2 && fields.fileMinor < BkSyncFormat::kNewHeaderMinor;
    w.addStream(bkTag("SYNC"), TvkEncode::verseSync(sync, 3, 4, oldSync));
    w.addStream(bkTag("WRDS"), TvkEncode::wordList(words, 16, writer.wordShortValues()));
    w.addStream(bkTag("CONC"), TvkEncode::concordance(wordSections));
    w.addStream(bkTag("PUNC"), TvkEncode::wordList(writer.punctuation(), 16, writer.punctuationShortValues()));
    w.addStream(bkTag("NODE"), TvkEncode::nodes(blocks));
    if (kind == Kind::Dated || !m_readings.empty())
        w.addStream(bkTag("DATE"), TvkEncode::dateSync(m_readings, m_month, m_day));
    addPair(w, "WSYN", "WSCN", m_lookupWords);
    addPair(w, "VSYN", "VSCN", m_verseLookup);
    addPair(w, "VIDX", "VCON", m_verseIndex);
    addPair(w, "SHEA", "SHCN", hebrew);
    addPair(w, "SGRK", "SGCN", greek);
    if (stemAndSoundAlike) {
        std::map<std::string, std::set<uint32_t>> stems, sounds;
        for (uint32_t i = 0; i < words.size(); ++i) {
            const std::string stem = stemWordForLanguage(words[i], fields.language);
            if (!stem.empty())
                stems[stem].insert(wordSections[i].begin(), wordSections[i].end());
            const std::string key = metaphoneKey(std::string_view(words[i]));
            if (!key.empty())
                sounds[key].insert(wordSections[i].begin(), wordSections[i].end());
        }
        addPair(w, "STEM", "STMC", stems);
        addPair(w, "PHON", "PHNC", sounds);
    }
    uint32_t nextNamedId = 0x7F000001u;
    if (!m_bibleRef.empty())
        w.addStream(nextNamedId++, TvkEncode::embeddedFiles(m_bibleRef), "BIBLEREF");
    return w.build();
}
