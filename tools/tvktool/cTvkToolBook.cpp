#include "tools/tvktool/cTvkToolBook.h"

#include <algorithm>
#include <cctype>
#include <unistd.h>

#include "documents/cBibleDoc.h"
#include "documents/cBookDoc.h"
#include "engine/bookfile/BkText.h"
#include "engine/bookfile/BkTextMarkers.h"
#include "engine/bookfile/cBkBookFile.h"
#include "engine/bookfile/cBkWordLinks.h"
#include "engine/references/cBibleRef.h"
#include "library/SourceTuple.h"
#include "render/cHTMLRenderConfiguration.h"
#include "render/cHTMLRenderString.h"
#include "search/core/SearchOptions.h"
#include "search/core/SearchSpecification.h"
#include "search/core/TextFolding.h"
#include "search/core/WildcardPattern.h"
#include "search/core/cBitVector.h"
#include "search/core/cSearchWordList.h"
#include "search/execution/SearchRun.h"
#include "search/execution/SourceTupleSearchBook.h"

namespace {

constexpr std::uint32_t kPastEnd = 219;
constexpr std::uint32_t kBadArgument = 221;

cLString16 wideText(const std::string& s)
{
    cLString16 w;
    w.assignFromUTF8(s.c_str(), static_cast<std::int32_t>(s.size()));
    return w;
}

// Plain text without the marker bytes the text walk leaves in (word starts, hit ends, Strong's
// numbers, word attributes), one blank between words and none at the ends.
std::string plainFromWalk(const std::string& text)
{
    std::string s;
    s.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == BkTextMarker::kStrongsGreek || c == BkTextMarker::kStrongsHebrew) {
            // marker, letter, number, an optional suffix letter; a letter that starts a word (one
            // more letter follows) is the next word, not a suffix
            ++i;
            if (i < text.size() && std::isalpha(static_cast<unsigned char>(text[i])))
                ++i;
            while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
                ++i;
            if (i < text.size() && std::islower(static_cast<unsigned char>(text[i])) &&
                (i + 1 >= text.size() || !std::isalpha(static_cast<unsigned char>(text[i + 1]))))
                ++i;
        } else if (c == BkTextMarker::kAttributeStart) {
            const size_t end = text.find(BkTextMarker::kAttributesEnd, i);
            i = end == std::string::npos ? text.size() : end + 1;
        } else if (c == BkTextMarker::kWordStart || c == BkTextMarker::kHitEnd || c == BkTextMarker::kAttributesEnd ||
            c == BkTextMarker::kAttributeField) {
            ++i;
        } else {
            s.push_back(c);
            ++i;
        }
    }
    std::string tidy;
    for (char c : s) {
        if (c == ' ' || c == '\n' || c == '\t' || c == '\r') {
            if (!tidy.empty() && tidy.back() != ' ')
                tidy.push_back(' ');
        } else {
            tidy.push_back(c);
        }
    }
    while (!tidy.empty() && tidy.back() == ' ')
        tidy.pop_back();
    return tidy;
}

std::vector<std::string> splitWords(const std::string& text)
{
    std::vector<std::string> words;
    std::string w;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            if (!w.empty())
                words.push_back(std::move(w));
            w.clear();
        } else {
            w.push_back(c);
        }
    }
    if (!w.empty())
        words.push_back(std::move(w));
    return words;
}

}  // namespace

cTvkToolBook::cTvkToolBook() = default;

cTvkToolBook::~cTvkToolBook()
{
    close();
}

void cTvkToolBook::close()
{
    if (m_doc == nullptr)
        return;
    // Closing a Bible document leaves a progress line on standard output; the tool's output is its
    // answers only.
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    std::FILE* sink = std::fopen("/dev/null", "w");
    if (saved >= 0 && sink != nullptr)
        dup2(fileno(sink), STDOUT_FILENO);
    m_doc.reset();
    std::fflush(stdout);
    if (saved >= 0 && sink != nullptr)
        dup2(saved, STDOUT_FILENO);
    if (sink != nullptr)
        std::fclose(sink);
    if (saved >= 0)
        ::close(saved);
}

std::uint32_t cTvkToolBook::open(const std::string& path)
{
    close();
    const cLString16 widePath = wideText(path);
    cBkBookFile* file = nullptr;
    const std::uint32_t r = acquireBookFile(widePath, file);
    if (r != 0)
        return r;
    m_bible = file->genInfo().headerFlag0();
    if (m_bible)
        m_doc = std::make_unique<cBibleDoc>();
    else
        m_doc = std::make_unique<cBookDoc>();
    m_doc->SetPathName(widePath);
    std::uint32_t kind = cBookDoc::kKindBible;
    if (!m_bible)
        kind = file->genInfo().bookType() == BkInfoFormat::kBookTypeDated ? cBookDoc::kKindDated : cBookDoc::kKindBook;
    m_doc->AttachBookFile(file, kind);
    return 0;
}

std::string cTvkToolBook::plainText(std::uint32_t section)
{
    if (m_doc == nullptr || m_doc->bookFile() == nullptr)
        return std::string();
    cBkBookFile& book = *m_doc->bookFile();
    std::uint32_t firstBlock = 0, endBlock = 0, start = 0, end = 0;
    if (!m_doc->sectionBlockSpan(section, firstBlock, endBlock) || firstBlock == cBookDoc::kNone)
        return std::string();
    cBkWordLinks(book).sectionRange(section, start, end);
    if (start >= end)
        return std::string();
    // The section's text may run on into the block where the next section starts.
    const std::uint32_t blocks = book.nodes().blockCount();
    const std::uint32_t lastBlock = std::min(std::max(endBlock, firstBlock), blocks == 0 ? 0 : blocks - 1);
    // The tree walk leaves notes out (no note marker is configured) and writes no word marks.
    cHTMLRenderString walk;
    if (!walk.parseFromNodes(nullptr, &book))
        return std::string();
    cHTMLRenderConfiguration config;
    const bool suppress = true;
    config.suppressWordMarks = &suppress;
    walk.setConfiguration(&config);
    std::string text;
    if (walk.renderRange(firstBlock, start, lastBlock, end - 1, text) != 1)
        return std::string();
    return plainFromWalk(text);
}

std::uint32_t cTvkToolBook::verses(const std::string& reference, std::vector<Verse>& out)
{
    out.clear();
    if (m_doc == nullptr)
        return cBookDoc::kNotOpen;
    if (!m_bible)
        return kBadArgument;
    // References are typed and spelled in the book's language and translation.
    const int language = static_cast<int>(m_doc->GetLanguage());
    const std::int32_t translation = m_doc->translationNumber();
    cBibleRef parsed;
    parsed.setTranslation(translation);
    parsed.setLanguage(language);
    std::int32_t position = 0;
    m_fault.clear();
    if (parsed.parseInEitherLanguage(reference.c_str(), position) != 0 || !parsed.hasRanges())
        return kBadArgument;
    auto* bible = static_cast<cBibleDoc*>(m_doc.get());
    const cBibleDoc::ReferenceFault fault = bible->referenceFault(parsed);
    if (!fault.empty()) {
        m_fault = fault.description + " " + fault.reason;
        return cBookDoc::kVerseNotFound;
    }
    const std::uint32_t sectionCount = m_doc->GetNumSections();
    for (const bibleRefRange* r = parsed.firstRange(); r != nullptr; r = cBibleRef::nextRange(r)) {
        cBibleRef one;
        one.appendRangeCopy(*r);
        std::uint32_t first = 0, last = 0;
        if (!bible->SectionRangeForBibleKey(one, first, last)) {
            // The verse-sync look-up of a range that runs to the end of a book ("Gen", "Gen-Ex") finds
            // nothing; such a range ends with the last section of its end book, in the Bible's order of
            // books (which need not be their numbers').
            const bool toEndOfBook = r->endChapter < 0 && (r->endBook >= 0 || r->startChapter < 0);
            first = bible->sectionForKey(cBibleRef::startKeyOf(r));
            if (!toEndOfBook || first == 0)
                continue;
            const std::uint32_t endBook = static_cast<std::uint32_t>(r->endBook >= 0 ? r->endBook : r->startBook);
            last = first;
            bool reached = (m_doc->bibleKeyForSection(first) >> 16) == endBook;
            for (std::uint32_t s = first + 1; s < sectionCount; ++s) {
                const std::uint32_t book = m_doc->bibleKeyForSection(s) >> 16;
                if (book == endBook)
                    reached = true;
                else if (reached || book == 0)
                    break;
                last = s;
            }
            if (!reached)
                continue;
        }
        for (std::uint32_t s = first; s <= last && s < sectionCount; ++s) {
            const std::uint32_t key = m_doc->bibleKeyForSection(s);
            if ((key & 0xFF) == 0)
                continue;  // book and chapter headings
            Verse v;
            v.section = s;
            v.key = key;
            cBibleRef spelled(static_cast<packedBibleKey>(key));
            spelled.setTranslation(translation);
            spelled.setLanguage(language);
            spelled.formatSpelling(kSpellFullNames | kSpellUTF8);
            v.reference = spelled.spellingText();
            v.text = plainText(s);
            out.push_back(std::move(v));
        }
    }
    return out.empty() ? static_cast<std::uint32_t>(cBookDoc::kVerseNotFound) : 0u;
}

std::uint32_t cTvkToolBook::countWord(const std::string& word, std::uint32_t& count)
{
    count = 0;
    if (m_doc == nullptr)
        return cBookDoc::kNotOpen;
    if (word.empty() || word.find_first_of(" \t\r\n") != std::string::npos)
        return kBadArgument;
    cBitVector* hits = nullptr;
    m_doc->SearchMainConcordance(wideText(word), hits, count);
    delete hits;
    return 0;
}

std::uint32_t cTvkToolBook::countStrongs(const std::string& number, std::uint32_t& count)
{
    count = 0;
    if (m_doc == nullptr)
        return cBookDoc::kNotOpen;
    if (number.size() < 2 || number.size() > 8)
        return kBadArgument;
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(number[0])));
    if (letter != 'G' && letter != 'H')
        return kBadArgument;
    std::uint32_t value = 0;
    for (size_t i = 1; i < number.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(number[i])))
            return kBadArgument;
        value = value * 10 + static_cast<std::uint32_t>(number[i] - '0');
    }
    if (value == 0)
        return kBadArgument;
    cBitVector* hits = nullptr;
    const cLString16 key = wideText(std::to_string(value));
    if (letter == 'G')
        m_doc->SearchStrongsGreekConcordance(key, hits, count);
    else
        m_doc->SearchStrongsHebrewConcordance(key, hits, count);
    delete hits;
    return 0;
}

std::uint32_t cTvkToolBook::phraseSections(const std::string& words, std::vector<std::uint32_t>& sections)
{
    sections.clear();
    if (m_doc == nullptr)
        return cBookDoc::kNotOpen;
    const std::vector<std::string> list = splitWords(words);
    if (list.empty() || list.size() > kMaxPhraseWords)
        return kBadArgument;
    // The phrase starts from the sections of its rarest word, narrowed by each other word from the
    // rarer to the commoner (a word's section count is known without reading its entry); the word
    // positions are then checked only in the sections that hold every word. A word with a wildcard
    // has no single count and comes last.
    cSearchWordList phrase;
    std::vector<std::pair<std::uint32_t, size_t>> order;  // (sections holding the word, word)
    for (size_t i = 0; i < list.size(); ++i) {
        const std::u16string w16 = BkText::utf8ToUtf16(list[i]);
        if (phrase.appendItem(w16.c_str(), AnItem::kNoWordNumber, false, nullptr) != 0)
            return kBadArgument;
        std::uint32_t sectionsOf = UINT32_MAX;
        if (!hasWildcardOrNegationInChars(w16.c_str())) {
            sectionsOf = m_doc->WordOccursInXSections(cLString8(list[i].c_str()));
            if (sectionsOf == 0)
                return 0;  // a word the book lacks: no section holds the phrase
        }
        order.emplace_back(sectionsOf, i);
    }
    std::stable_sort(order.begin(), order.end());
    std::unique_ptr<cBitVector> candidates;
    for (const auto& [sectionsOf, i] : order) {
        cBitVector* hits = nullptr;
        std::uint32_t count = 0;
        m_doc->SearchMainConcordance(wideText(list[i]), hits, count);
        std::unique_ptr<cBitVector> owned(hits);
        if (owned == nullptr || count == 0)
            return 0;
        if (candidates == nullptr)
            candidates = std::move(owned);
        else
            candidates->andVector(*owned);
        if (candidates->count(1) == 0)
            return 0;
    }
    // One view of the book for every candidate, which remembers what each word number matched.
    if (m_doc->bookFile() == nullptr)
        return cBookDoc::kNotOpen;
    cBkWordLinks links(*m_doc->bookFile());
    links.rememberMatchesOf(&phrase);
    for (std::uint32_t s = candidates->first(1); s != cBitVector::kNone; s = candidates->nextAfter(s, 1))
        if (links.isPhrasePresentInSection(s, phrase))
            sections.push_back(s);
    return 0;
}

std::uint32_t cTvkToolBook::countPhrase(const std::string& words, std::uint32_t& count)
{
    std::vector<std::uint32_t> sections;
    const std::uint32_t r = phraseSections(words, sections);
    count = static_cast<std::uint32_t>(sections.size());
    return r;
}

std::uint32_t cTvkToolBook::renderSection(std::uint32_t section, std::string& html)
{
    html.clear();
    if (m_doc == nullptr)
        return cBookDoc::kNotOpen;
    std::uint32_t firstBlock = 0, endBlock = 0;
    if (!m_doc->sectionBlockSpan(section, firstBlock, endBlock) || firstBlock == cBookDoc::kNone)
        return kPastEnd;
    // A section whose start lies inside a block shares that block with the section before it.
    if (endBlock <= firstBlock)
        endBlock = firstBlock + 1;
    // The section table's block numbers come from the file: no more blocks than the book holds.
    endBlock = std::min(endBlock, m_doc->bookFile() != nullptr ? m_doc->bookFile()->nodes().blockCount() : 0u);
    cLString8 out;
    for (std::uint32_t b = firstBlock; b < endBlock; ++b) {
        m_doc->htmlTextForBlockCore(b, nullptr, out);
        html.append(out.chars(), static_cast<size_t>(out.length()));
    }
    return 0;
}

std::string cTvkToolBook::sectionName(std::uint32_t section)
{
    if (m_doc == nullptr || m_doc->bookFile() == nullptr)
        return std::string();
    if (m_bible) {
        const std::uint32_t key = m_doc->bibleKeyForSection(section);
        if (key != 0) {
            // A heading names its chapter or book.
            packedBibleKey k = static_cast<packedBibleKey>(key);
            if (bibleKeyVerse(k) == 0)
                k |= 0xFF;
            if (bibleKeyChapter(k) == 0)
                k |= 0xFF00;
            // The range of the key, set directly: building the reference from the key would spell
            // it once more with the default flags.
            cBibleRef spelled;
            bibleRefRange* range = spelled.appendRange();
            range->startBook = range->endBook = bibleKeyBook(k);
            if (bibleKeyChapter(k) != 0xFF)
                range->startChapter = range->endChapter = bibleKeyChapter(k);
            if (bibleKeyVerse(k) != 0xFF)
                range->startVerse = range->endVerse = bibleKeyVerse(k);
            spelled.setTranslation(m_doc->translationNumber());
            spelled.setLanguage(static_cast<int>(m_doc->GetLanguage()));
            spelled.formatSpelling(kSpellFullNames | kSpellUTF8);
            return spelled.spellingText();
        }
    }
    std::uint8_t level = 0;
    std::string title;
    if (m_doc->bookFile()->toc().readEntry(section, level, title) != 0)
        return "section " + std::to_string(section);
    return title;
}

std::uint32_t cTvkToolBook::search(const std::string& query, const std::string& interpretation,
    const std::string& wordform, std::vector<std::uint32_t>& sections, const std::string& limit)
{
    sections.clear();
    if (m_doc == nullptr)
        return cBookDoc::kNotOpen;
    bool known = false;
    for (const char* i :
        {kInterpretationAll, kInterpretationAny, kInterpretationExact, kInterpretationGoto, kInterpretationXref})
        known = known || interpretation == i;
    bool knownForm = false;
    for (const char* f : {kWordFormExact, kWordFormStem, kWordFormMetaphone, kWordFormStemOrMeta})
        knownForm = knownForm || wordform == f;
    if (!known || !knownForm)
        return kBadArgument;
    // The search goes through the library's book handle over the document this object keeps open.
    const SourceTuple::Ptr tuple =
        SourceTuple::sourceTupleForSource(std::shared_ptr<cSourceDoc>(m_doc.get(), [](cSourceDoc*) {}));
    if (tuple == nullptr)
        return cBookDoc::kNotOpen;
    const SourceTupleSearchBook book(tuple);
    const SearchSpecification spec(TextFolding::utf8ToUtf16(query));
    SearchOptions options;
    options.interpretation = interpretation;
    options.wordform = wordform;
    if (!limit.empty())
        options.searchlimits = TextFolding::utf8ToUtf16(limit);
    searchrun::RunError error = searchrun::RunError::None;
    const std::unique_ptr<BitVector> hits = searchrun::searchResults(spec, book, options, 0, &error);
    if (error == searchrun::RunError::LimitNotUnderstood)
        return cBookDoc::kVerseNotFound;
    if (hits == nullptr)
        return 0;
    for (std::uint32_t s = hits->first(true); s != cBitVector::kNone; s = hits->nextAfter(s, true))
        sections.push_back(s);
    return 0;
}
