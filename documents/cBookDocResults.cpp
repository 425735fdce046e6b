// cBookDoc: result lines, excerpts, section texts, Bible links, word lists and block rendering.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

#include "documents/DocLanguage.h"
#include "documents/cBookDoc.h"
#include "engine/bookfile/BkTextMarkers.h"
#include "engine/bookfile/cBkBookFile.h"
#include "engine/bookfile/cBkSectionTextWriter.h"
#include "engine/bookfile/cBkWordLinks.h"
#include "engine/foundation/CharacterClasses.h"
#include "engine/references/cBibleRef.h"
#include "render/BookSectionTreeProvider.h"
#include "render/cBlockRenderUserData.h"
#include "render/cHTMLColor.h"
#include "render/cHTMLParser.h"
#include "render/cHTMLRenderConfiguration.h"
#include "render/cHTMLRenderString.h"
#include "render/cHTMLTagElement.h"
#include "userdata/cNoteDoc.h"

namespace {
// Excerpts mark the words a search found.
const bool kMarkHits = true;
void renderBlock(cBkBookFile& book, std::int32_t block, std::string& out, std::uint16_t language, bool rightToLeft,
    const cHTMLRenderConfiguration* config, cHTMLBlockRenderContext& context)
{
    cHTMLParser parser;
    parser.setNodeSource(bookSectionTreeProvider, &book);
    if (!parser.parseSection(static_cast<std::uint32_t>(block)) || parser.rootElement() == nullptr)
        return;
    cHTMLBlockRenderer::renderItem(
        parser, parser.rootElement()->firstChild(), out, language, rightToLeft, config, &context);
}

std::atomic<cBookBlockRenderer> g_blockRenderer {&renderBlock};

constexpr char kWordMark = 0x01;
constexpr char kAttributeMark = 0x02;
constexpr char kAttributeEnd = 0x03;
constexpr char kFieldSeparator = 0x04;
constexpr char kGreekMark = 0x05;
constexpr char kHebrewMark = 0x06;
constexpr char kHitMark = 0x07;

void appendPadded(cLString8& out, std::uint32_t value, std::int32_t width)
{
    out.formatInt64(static_cast<std::int64_t>(value), 10, true, width, true, true);
}

// Blanks, tabs and punctuation removed from both ends (the text is UTF-8).
void trimRun(std::string& run)
{
    cLString16 wide;
    wide.assignFromUTF8(run.c_str(), static_cast<std::int32_t>(run.size()));
    std::int32_t a = 0, b = wide.length();
    auto strip = [](unsigned short u) { return u == ' ' || u == '\t' || isPunctuationChar16(u); };
    while (a < b && strip(wide.charAt(a)))
        ++a;
    while (b > a && strip(wide.charAt(b - 1)))
        --b;
    cLString16 kept(wide, a, b - a);
    cLString8 utf8;
    utf8.assignFromUTF16(kept);
    run.assign(utf8.chars(), static_cast<size_t>(utf8.length()));
}

void addOnce(cWordList8& list, const std::string& text)
{
    cLString8 s(text.c_str());
    if (list.indexOf(s) < 0)
        list.addCopy(s);
}
}  // namespace

void cBookDoc::setBlockRenderer(cBookBlockRenderer renderer)
{
    g_blockRenderer.store(renderer != nullptr ? renderer : &renderBlock);
}

void cBookDoc::noteLinkTarget(
    cLString8& out, std::uint16_t publisher, std::uint16_t book, std::uint8_t edition, std::uint32_t section)
{
    out.assignCStr("note:_");
    appendPadded(out, publisher, 5);
    appendPadded(out, book, 5);
    appendPadded(out, edition, 3);
    appendPadded(out, section, 10);
}

// --- section text ---

bool cBookDoc::sectionText(
    std::uint32_t section, cLString8& out, cBkTextRangeOptions& options, const cHTMLRenderConfiguration* config)
{
    out.makeEmpty();
    if (!IsOpen() || m_bookFile == nullptr)
        return false;
    std::uint32_t start = 0, end = 0;
    cBkWordLinks(*m_bookFile).sectionRange(section, start, end);
    if (start >= end)
        return false;
    options.endPosition = end;
    const bool rtl = DocLanguage::isRightToLeft(GetLanguage());
    return cBkSectionTextWriter::renderTextRangeToHTML(*m_bookFile, start, rtl, config, out, &options) == 0;
}

bool cBookDoc::renderedSectionText(std::uint32_t section, const cHTMLRenderConfiguration* config, cLString8& out)
{
    out.makeEmpty();
    std::uint32_t firstBlock = kNone, endBlock = kNone;
    if (!sectionBlockSpan(section, firstBlock, endBlock) || firstBlock == kNone)
        return false;
    std::uint32_t start = 0, end = 0;
    cBkWordLinks(*m_bookFile).sectionRange(section, start, end);
    if (start >= end)
        return false;
    // The section's text may run on into the block where the next section starts.
    const std::uint32_t blocks = m_bookFile->nodes().blockCount();
    if (blocks == 0)
        return false;
    const std::uint32_t lastBlock = std::min(std::max(endBlock, firstBlock), blocks - 1);
    cHTMLRenderString walk;
    if (!walk.parseFromNodes(nullptr, m_bookFile))
        return false;
    walk.setConfiguration(config);
    std::string text;
    if (walk.renderRange(firstBlock, start, lastBlock, end - 1, text) != 1)
        return false;
    out.appendChars(text.data(), static_cast<std::int32_t>(text.size()));
    return true;
}

void cBookDoc::trimToHitExcerpt(cLString8& text, std::uint32_t before, std::uint32_t after)
{
    std::string t(text.chars(), static_cast<size_t>(text.length()));
    for (size_t p = t.find("  "); p != std::string::npos; p = t.find("  ", p))
        t.erase(p, 1);

    // Groups of hit marks: each next mark comes before the blank that follows the previous one.
    size_t bestStart = std::string::npos, bestEnd = std::string::npos, bestCount = 0;
    for (size_t p = t.find(kHitMark); p != std::string::npos;) {
        const size_t groupStart = p;
        size_t count = 1, lastMark = p;
        for (;;) {
            const size_t blank = t.find(' ', lastMark);
            const size_t next = t.find(kHitMark, lastMark + 1);
            if (next == std::string::npos || (blank != std::string::npos && next > blank))
                break;
            lastMark = next;
            ++count;
        }
        if (count > bestCount) {
            bestCount = count;
            bestStart = groupStart;
            const size_t blank = t.find(' ', lastMark);
            bestEnd = blank == std::string::npos ? t.size() : blank;
        }
        p = t.find(kHitMark, lastMark + 1);
    }
    if (bestCount == 0) {
        bestStart = 0;
        const size_t blank = t.find(' ');
        bestEnd = blank == std::string::npos ? t.size() : blank;
        after += before;
    }

    // The end first, so that the positions found stay valid.
    if (after < 2) {
        t.erase(bestEnd);
        t += "....";
    } else {
        size_t end = bestEnd;
        bool ended = end >= t.size();
        for (std::uint32_t i = 0; i + 1 < after && !ended; ++i) {
            const size_t blank = t.find(' ', end + 1);
            if (blank == std::string::npos)
                ended = true;
            else
                end = blank;
        }
        if (!ended) {
            t.erase(end);
            t += "....";
        }
    }
    // Then everything before the word that lies `before` words in front of the start.
    size_t cut = bestStart;
    bool found = true;
    for (std::uint32_t i = 0; i <= before; ++i) {
        if (cut == 0) {
            found = false;
            break;
        }
        const size_t blank = t.rfind(' ', cut - 1);
        if (blank == std::string::npos) {
            found = false;
            break;
        }
        cut = blank;
    }
    if (found)
        t.erase(0, cut + 1);
    text.assignCStr(t.c_str());
}

bool cBookDoc::GetSearchResultText(std::uint32_t section, std::uint32_t mode, bool html, std::uint32_t,
    const cMultiBookSearchHits* hits, const cSearchWordList* words, cLString8& out)
{
    out.makeEmpty();
    if (IsOpen() && m_bookFile != nullptr && section < GetNumSections()) {
        if (!html) {
            if (mode == 0)
                GetPositionNameForTitleBar(out, section, true, false);
        } else if (mode == 0) {
            ContentsPath cp;
            if (contentsPath(section, cp)) {
                cLString8 key;
                key.formatInt64(section, 10);
                out.assignCStr("<nobr>");
                for (std::uint32_t k = cp.depth; k >= 1; --k) {
                    std::uint8_t level = 0;
                    std::string title;
                    m_bookFile->toc().readEntry(cp.entries[k], level, title);
                    if (k == cp.depth) {
                        out.appendCStr("&nbsp;&nbsp;&nbsp;<a name=\"");
                        out.append(key);
                        out.appendCStr("\" href=\"");
                        out.append(key);
                        out.appendCStr("\">");
                        appendHtmlEscaped(out, title);
                        out.appendCStr("</a>");
                        if (hits != nullptr && cDocSearchHitHooks::current().isNoteSearch(hits)) {
                            const BookIdentity id = bookIdentity();
                            cLString8 target;
                            noteLinkTarget(target, id.publisher, id.book, id.edition, section);
                            out.appendCStr(" <a href=\"");
                            out.append(target);
                            out.appendCStr("\">Note</a>");
                        }
                    } else {
                        out.appendCStr(" | ");
                        appendHtmlEscaped(out, title);
                    }
                }
                out.appendCStr("</nobr>");
            }
        } else if (mode == 1 || mode == 2) {
            // A configuration of this call's own: result lines are made on several search threads.
            cHTMLRenderConfiguration config;
            cHTMLColor background, foreground;
            background.setFromColorText("white");
            foreground.setFromColorText("black");
            const auto language = static_cast<std::uint16_t>(GetLanguage());
            cLString8 font;
            DocLanguage::fontFor(font, language);
            config.backgroundColor = &background;
            config.textColor = &foreground;
            config.languageNumber = &language;
            config.fontName = &font;
            if (hits != nullptr) {
                const BookIdentity id = bookIdentity();
                config.searchHits = cDocSearchHitHooks::current().resultForBook(hits, id.publisher, id.book);
            }
            config.wordsToMark = words;
            config.highlightHits = &kMarkHits;
            // Excerpts hold the text a reader sees: no note bodies (the note-marker text is empty).
            const cLString8 none;
            config.noteMarkerText = &none;
            config.verseNumberOverrideText = &none;
            config.update();
            if (renderedSectionText(section, &config, out)) {
                out.replaceAll("\r\n", " ");
                if (mode == 1)
                    trimToHitExcerpt(out, 2, 5);
                else
                    trimToHitExcerpt(out, 5, 15);
            }
        }
    }
    if (out.isEmpty()) {
        out.assignCStr(html ? "<p>Error</p>" : "Error");
        return false;
    }
    return true;
}

std::uint32_t cBookDoc::GetDisplayedSectionRange(std::uint32_t& first, std::uint32_t& last)
{
    first = last = kNone;
    if (!IsOpen() || m_bookFile == nullptr)
        return kNone;
    if (!(m_current.options() & cRenderParams::kBlockPair))
        return kNone;
    if (m_current.options() & cRenderParams::kRangePair) {
        first = m_current.getOption8000First();
        last = m_current.getOption8000Second();
        return first;
    }
    const std::uint32_t firstBlock = m_current.firstBlockOfPair();
    const std::uint32_t lastBlock = m_current.secondBlockOfPair();
    if (firstBlock == kNone || lastBlock == kNone)
        return kNone;
    const std::uint32_t a = m_bookFile->sections().sectionForBlock(firstBlock);
    const std::uint32_t b = m_bookFile->sections().lastSectionForBlock(lastBlock);
    if (a == kNone || b == kNone)
        return kNone;
    m_current.setOption8000(a, b);
    first = a;
    last = b;
    return first;
}

std::unique_ptr<cWordList8> cBookDoc::CollectSectionWords(
    std::uint32_t first, std::uint32_t last, const cHTMLRenderConfiguration* config, std::uint32_t mask)
{
    if (mask == 0 || !IsOpen() || m_bookFile == nullptr)
        return nullptr;
    auto list = std::make_unique<cWordList8>();
    list->setCapacity(10, 10);
    const std::uint32_t n = GetNumSections();
    if (last >= n)
        last = n == 0 ? 0 : n - 1;
    const bool hasDefs = m_bookFile->genInfo().hasWordAttributeDefs();
    const cBkWordAttributeDefs* defs = hasDefs ? &m_bookFile->genInfo().wordAttributeDefs() : nullptr;
    for (std::uint32_t section = first; section <= last && section < n; ++section) {
        cLString8 text;
        cBkTextRangeOptions options;
        options.showBrackets = 0;
        options.languageTags = 0;
        options.referenceLinks = 1;
        if (!sectionText(section, text, options, config))
            continue;
        const std::string t(text.chars(), static_cast<size_t>(text.length()));
        for (size_t p = 0; p < t.size(); ++p) {
            const char m = t[p];
            const bool enabled = (m == kWordMark && (mask & 0x1)) || (m == kGreekMark && (mask & 0x2)) ||
                (m == kHebrewMark && (mask & 0x4)) || (m == kAttributeMark && (mask & 0x8));
            if (!enabled)
                continue;
            size_t end = t.size();
            for (size_t q = p + 2; q < t.size(); ++q) {
                const char c = t[q];
                if (c == kWordMark || c == kGreekMark || c == kHebrewMark || c == kAttributeEnd ||
                    c == kAttributeMark) {
                    end = q;
                    break;
                }
            }
            std::string run = p + 1 < end ? t.substr(p + 1, end - p - 1) : std::string();
            if (m != kAttributeMark) {
                trimRun(run);
                if (!run.empty())
                    addOnce(*list, run);
            } else if (defs != nullptr) {
                size_t entryStart = 0;
                while (entryStart <= run.size()) {
                    size_t entryEnd = run.find(kAttributeMark, entryStart);
                    if (entryEnd == std::string::npos)
                        entryEnd = run.size();
                    const std::string entry = run.substr(entryStart, entryEnd - entryStart);
                    const size_t sep = entry.find(kFieldSeparator);
                    if (sep != std::string::npos) {
                        const size_t sep2 = entry.find(kFieldSeparator, sep + 1);
                        const std::string index = entry.substr(0, sep);
                        const std::string value =
                            entry.substr(sep + 1, sep2 == std::string::npos ? std::string::npos : sep2 - sep - 1);
                        char* endp = nullptr;
                        const long d = std::strtol(index.c_str(), &endp, 10);
                        if (!value.empty() && !index.empty() && endp != nullptr && *endp == 0 && d >= 0 &&
                            d < defs->definitionCount()) {
                            const auto di = static_cast<std::int32_t>(d);
                            if (defs->linkType(di).rfind("sync:", 0) == 0)
                                addOnce(*list, defs->syncPrefix(di) + value);
                        }
                    }
                    entryStart = entryEnd + 1;
                }
            }
            p = end - 1;
        }
    }
    if (list->count() == 0)
        return nullptr;
    return list;
}

std::unique_ptr<cBibleRefList> cBookDoc::BibleLinksListForSection(
    std::uint32_t section, const char* translation, const cHTMLRenderConfiguration* config)
{
    cLString8 text;
    cBkTextRangeOptions options;
    options.showBrackets = 0;
    options.languageTags = 0;
    options.referenceLinks = 1;
    if (!sectionText(section, text, options, config) || text.isEmpty())
        return nullptr;
    return bibleLinksInText(text, translation, config);
}

std::unique_ptr<cBibleRefList> cBookDoc::bibleLinksInText(
    const cLString8& text, const char* translation, const cHTMLRenderConfiguration* config)
{
    auto list = std::make_unique<cBibleRefList>();
    list->setCapacity(10, 10);
    // Each link's target alone is read: the text of the href attribute up to its closing quotation
    // mark, without the link prefix and suffix the configuration wraps targets in. A target whose
    // quotation mark never closes is not a link.
    static const std::string kHref = "<a href=\"";
    static const std::string kScript = cHTMLRenderConfiguration::kDefaultLinkPrefix;
    const auto field = [](const cLString8* s) {
        return s != nullptr ? std::string(s->chars(), static_cast<std::size_t>(s->length())) : std::string();
    };
    const std::string prefix = config != nullptr ? field(config->linkPrefix) : std::string();
    const std::string suffix = config != nullptr ? field(config->linkSuffix) : std::string();
    const std::string body(text.chars(), static_cast<std::size_t>(text.length()));
    for (std::size_t p = body.find(kHref); p != std::string::npos; p = body.find(kHref, p)) {
        p += kHref.size();
        const std::size_t close = body.find('"', p);
        if (close == std::string::npos)
            break;
        std::string target = body.substr(p, close - p);
        p = close + 1;
        if (!prefix.empty() && target.compare(0, prefix.size(), prefix) == 0)
            target.erase(0, prefix.size());
        if (!suffix.empty() && target.size() >= suffix.size() &&
            target.compare(target.size() - suffix.size(), suffix.size(), suffix) == 0)
            target.erase(target.size() - suffix.size());
        // The reference parser also reads a target still wrapped as a call of the page script.
        const std::size_t scheme = target.compare(0, kScript.size(), kScript) == 0 ? kScript.size() : 0;
        if (target.compare(scheme, 6, "bible:") != 0)
            continue;
        cBibleRef reference;
        if (reference.parseLinkString(target.c_str(), translation) && reference.hasRanges())
            list->addCopy(reference);
    }
    if (list->count() == 0)
        return nullptr;
    return list;
}

// --- block rendering ---

std::uint32_t cBookDoc::htmlTextForBlockCore(
    std::uint32_t block, const cHTMLRenderConfiguration* config, cLString8& out)
{
    out.makeEmpty();
    if (!IsOpen() || m_bookFile == nullptr)
        return 1;
    // The block's verses look at the user's data once.
    const cBlockRenderUserData::LookupBatch lookups(cBlockRenderUserData::current());
    static std::once_flag kjvOnce;
    static std::int32_t kjvNumber = -1;
    std::call_once(kjvOnce, [] {
        int number = 0;
        std::int32_t position = 0;
        if (!cBibleRef::matchTranslationAbbreviation("KJV", position, number))
            number = 0;
        kjvNumber = number;
    });
    const bool bible = isBibleHeader();
    std::int32_t translation = kjvNumber;
    if (bible) {
        const std::int32_t own = translationNumber();
        if (own != 0)
            translation = own;
    }
    const std::uint32_t language = GetLanguage();
    std::unique_ptr<cBkNode> tree;
    if (m_bookFile->nodes().loadBlockTree(
            static_cast<std::int32_t>(block), translation, static_cast<std::int32_t>(language), tree) != 0)
        return 1;

    cHTMLBlockRenderContext context;
    context.isBible = bible ? 1 : 0;
    context.language = static_cast<std::uint16_t>(language);
    context.oneVersePerParagraph =
        config != nullptr && config->oneVersePerParagraph != nullptr && *config->oneVersePerParagraph ? 1 : 0;

    if (!bible && (config == nullptr || config->omitUserNoteLinks == nullptr || !*config->omitUserNoteLinks)) {
        const std::uint32_t section = m_bookFile->sections().sectionForBlock(block);
        std::uint32_t firstBlock = kNone, offset = 0;
        if (section != 0 && section != kNone)
            m_bookFile->sections().getSectionStart(section, firstBlock, offset);
        cNoteDoc* notes = noteDoc();
        const BookIdentity id = bookIdentity();
        if (section != 0 && section != kNone && firstBlock == block && notes != nullptr &&
            notes->findBookNoteRecid(id.publisher, id.book, id.edition, static_cast<std::int32_t>(section))) {
            cLString8 target;
            noteLinkTarget(target, id.publisher, id.book, id.edition, section);
            out.appendCStr("<p><a href=\"");
            if (config != nullptr && config->linkPrefix != nullptr)
                out.append(*config->linkPrefix);
            out.append(target);
            if (config != nullptr && config->linkSuffix != nullptr)
                out.append(*config->linkSuffix);
            out.appendCStr("\">Note</a></p>");
        }
    }
    if (bible) {
        // The block starts in the verse of the section ending before it. Only a block that carries
        // that verse's text on takes its highlight and anchor: a block of a book or chapter heading
        // (a key without a verse), or one that follows such a heading, belongs to no verse.
        std::uint32_t section = kNone;
        m_bookFile->sections().sectionEndingBeforeBlock(block, section);
        std::uint32_t key = section == kNone ? 0 : bibleKeyForSection(section);
        const std::uint32_t own = m_bookFile->sections().sectionForBlock(block);
        const std::uint32_t ownKey = own == kNone ? 0 : bibleKeyForSection(own);
        if ((key & 0xFF) == 0 || (ownKey != 0 && (ownKey & 0xFF) == 0))
            key = 0;
        cBibleRef verse(key);
        verse.setTranslation(translation);
        bool found = false;
        if (key != 0 && (config == nullptr || config->highlightStyle == nullptr || *config->highlightStyle == 0)) {
            std::uint16_t fore = 0, back = 0;
            if (cBlockRenderUserData::current().verseHighlight(verse, fore, back)) {
                const std::string style = highlightStyleClassName(back != 0 ? back : fore);
                if (!style.empty()) {
                    context.highlightClass = style;
                    found = true;
                }
            }
        }
        if (key != 0 && !found && config != nullptr && config->enableTempHighlights != nullptr &&
            *config->enableTempHighlights &&
            (config->highlightStyle == nullptr || *config->highlightStyle == 0 || *config->highlightStyle == 2) &&
            config->tempHighlightStartSection != 0 && config->tempHighlightEndSection != 0 &&
            section >= config->tempHighlightStartSection && section <= config->tempHighlightEndSection)
            context.highlightClass = "_temphl";
        if (key != 0) {
            cLString8 anchor("_s");
            anchor.formatInt32(static_cast<std::int32_t>((key >> 16) & 0xFF), 10, true);
            anchor.appendChar('.');
            anchor.formatInt32(static_cast<std::int32_t>((key >> 8) & 0xFF), 10, true);
            anchor.appendChar('.');
            anchor.formatInt32(static_cast<std::int32_t>(key & 0xFF), 10, true);
            context.verseAnchorId = anchor.chars();
        }
    }
    std::string html;
    g_blockRenderer.load()(*m_bookFile, static_cast<std::int32_t>(block), html, static_cast<std::uint16_t>(language),
        DocLanguage::isRightToLeft(language), config, context);
    out.appendChars(html.data(), static_cast<std::int32_t>(html.size()));
    return 1;
}

void cBookDoc::appendHtmlEscaped(cLString8& out, const std::string& text)
{
    for (const char c : text) {
        switch (c) {
        case '<':
            out.appendCStr("&lt;");
            break;
        case '>':
            out.appendCStr("&gt;");
            break;
        case '&':
            out.appendCStr("&amp;");
            break;
        case '"':
            out.appendCStr("&quot;");
            break;
        default:
            out.appendChar(c);
        }
    }
}
