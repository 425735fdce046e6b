// A book's places: sections, blocks, text offsets, Bible keys, references, the table of contents, the
// display HTML of a block and the completion lists of Bible names.

#include "library/SourceTupleLocations.h"

#include "documents/cBibleDoc.h"
#include "documents/cBookDoc.h"
#include "engine/bookfile/cBkBookFile.h"
#include "engine/references/BibleRef.h"
#include "library/DisplayOptions.h"
#include "library/EngineStrings.h"
#include "library/SourceTuple.h"
#include "render/cHTMLRenderConfiguration.h"

#include <QSet>

#include <utility>

namespace {

// A go-to link or reference text, read in the book's language and translation.
bool parseLink(const SourceTuple& book, const QString& text, cBibleRef& reference)
{
    reference.setLanguage(static_cast<int>(book.record().bookLanguage));
    const cLString8 link = EngineStrings::utf8(text);
    const cLString8 translation = EngineStrings::utf8(book.record().abbr);
    return reference.parseLinkString(link.chars(), translation.chars());
}

constexpr quint32 kNone = 0xFFFFFFFF;

// The book's translation number, found by its abbreviation (0 when it names none).
int translationOf(const QString& abbr)
{
    const cLString8 text = EngineStrings::utf8(abbr);
    std::int32_t position = 0;
    int number = 0;
    if (text.isEmpty() || !cBibleRef::matchTranslationAbbreviation(text.chars(), position, number) || number < 0)
        return 0;
    return number;
}

}  // namespace

// --- sections, blocks and offsets --------------------------------------------------------------

quint32 SourceTupleLocations::sectionForTextOffset(quint32 offset) const
{
    const auto doc = m_book.bookDoc();
    if (doc == nullptr || doc->bookFile() == nullptr)
        return 0;
    return doc->bookFile()->sections().sectionForTextOffset(offset);
}

quint32 SourceTupleLocations::sectionForBlock(quint32 block) const
{
    const auto doc = m_book.bookDoc();
    if (doc == nullptr || doc->bookFile() == nullptr)
        return 0;
    if (block >= doc->bookFile()->nodes().blockCount())
        return 0;
    const quint32 section = doc->bookFile()->sections().sectionForBlock(block);
    return section == kNone ? 0 : section;
}

quint32 SourceTupleLocations::blockForSection(quint32 section) const
{
    const auto doc = m_book.bookDoc();
    if (section == 0 || doc == nullptr || doc->bookFile() == nullptr)
        return kNone;
    cBkSectionStg& sections = doc->bookFile()->sections();
    if (section >= sections.sectionCount())
        return kNone;
    std::uint32_t firstBlock = kNone, offset = 0;
    sections.getSectionStart(section, firstBlock, offset);
    return firstBlock;
}

quint32 SourceTupleLocations::lastBlockForSection(quint32 section) const
{
    const auto doc = m_book.bookDoc();
    if (doc == nullptr || doc->bookFile() == nullptr)
        return kNone;
    const quint32 numBlocks = doc->bookFile()->nodes().blockCount();
    quint32 next = numBlocks;
    if (section + 1 < doc->GetNumSections()) {
        next = blockForSection(section + 1);
        if (next == kNone)
            next = numBlocks;
    }
    quint32 last = next == 0 ? 0 : next - 1;
    if (doc->supports(::kDocSupportsIsBible)) {
        const quint32 first = blockForSection(section);
        if (first != kNone && last < first)
            last = first;
    }
    return last;
}

quint32 SourceTupleLocations::textOffsetForSection(quint32 section) const
{
    const auto doc = m_book.bookDoc();
    if (doc == nullptr || doc->bookFile() == nullptr)
        return 0;
    cBkSectionStg& sections = doc->bookFile()->sections();
    std::uint32_t firstBlock = kNone, offset = kNone;
    if (section < sections.sectionCount())
        sections.getSectionStart(section, firstBlock, offset);
    return offset == kNone ? doc->bookFile()->text().textSize() : offset;
}

quint32 SourceTupleLocations::textSize() const
{
    const auto doc = m_book.bookDoc();
    if (doc == nullptr || doc->bookFile() == nullptr)
        return 0;
    return doc->bookFile()->text().textSize();
}

// --- Bible keys and references -----------------------------------------------------------------

quint32 SourceTupleLocations::keyForSection(quint32 section) const
{
    const auto doc = m_book.bookDoc();
    if (doc == nullptr || !doc->supports(::kDocSupportsIsBible))
        return 0;
    return doc->bibleKeyForSection(section);
}

quint32 SourceTupleLocations::sectionForBibleKey(quint32 key) const
{
    if (key == 0)
        return 0;
    const auto doc = m_book.sourceDoc();
    if (doc == nullptr)
        return 0;
    std::uint32_t first = 0, last = 0;
    if (doc->supports(::kDocSupportsIsBible)) {
        cBibleRef reference(key);
        reference.setLanguage(static_cast<int>(m_book.record().bookLanguage));
        reference.setTranslation(translationOf(m_book.record().abbr));
        if (!reference.hasRanges())
            return 0;
        return doc->SectionRangeForVerse(reference, first, last) ? first : 0;
    }
    if (doc->supports(::kDocSupportsBibleSync)) {
        cBibleRef reference(key);
        return doc->SectionRangeForVerse(reference, first, last) ? first : 0;
    }
    return 0;
}

quint32 SourceTupleLocations::lastSectionForAmbiguousKey(quint32 key) const
{
    const auto doc = m_book.bookDoc();
    if (doc == nullptr || doc->bookFile() == nullptr || !doc->supports(::kDocSupportsIsBible))
        return 0;
    std::uint32_t record = 0, value = 0;
    doc->bookFile()->verseSync().lastSectionForAmbiguousKey(key, translationOf(m_book.record().abbr), record, value);
    return record;
}

SourceTupleLocations::ReferenceFault SourceTupleLocations::referenceFault(const BibleRef& reference) const
{
    const auto doc = m_book.bibleDoc();
    if (doc == nullptr || reference.cBibleRefPointer() == nullptr)
        return {};
    cBibleRef mapped(*reference.cBibleRefPointer());
    mapped.setLanguage(static_cast<int>(m_book.record().bookLanguage));
    mapped.setTranslation(translationOf(m_book.record().abbr));
    const cBibleDoc::ReferenceFault fault = doc->referenceFault(mapped);
    return {QString::fromStdString(fault.description), QString::fromStdString(fault.reason)};
}

bool SourceTupleLocations::sectionRangeForVerse(const BibleRef& verse, quint32* startSection, quint32* endSection) const
{
    quint32 start = 0, end = 0;
    bool found = false;
    const auto doc = m_book.sourceDoc();
    if (doc != nullptr && doc->supports(::kDocSupportsIsBible)) {
        start = sectionForBibleKey(verse.bibleKey());
        if (start != 0) {
            end = lastSectionForAmbiguousKey(verse.endBibleKey());
            if (end == 0 || end < start)  // a range that ends before it starts names no passage
                start = end = 0;
            else
                found = true;
        }
    } else if (doc != nullptr && doc->supports(::kDocSupportsBibleSync) && verse.cBibleRefPointer() != nullptr) {
        std::uint32_t first = 0, last = 0;
        if (doc->SectionRangeForVerse(*verse.cBibleRefPointer(), first, last)) {
            start = first;
            end = last;
            found = true;
        }
    }
    if (startSection != nullptr)
        *startSection = start;
    if (endSection != nullptr)
        *endSection = end;
    return found;
}

bool SourceTupleLocations::sectionRangeForSyncString(
    const QString& text, bool requiresMoreThanBookName, quint32* startSection, quint32* endSection) const
{
    if (startSection != nullptr)
        *startSection = 0;
    if (endSection != nullptr)
        *endSection = 0;
    const auto doc = m_book.bookDoc();
    if (doc == nullptr)
        return false;
    std::uint32_t first = 0, last = 0;
    if (doc->supports(::kDocSupportsIsBible) || doc->supports(::kDocSupportsBibleSync)) {
        cBibleRef reference;
        if (!parseLink(m_book, text, reference))
            return false;
        if (requiresMoreThanBookName && BibleRef::bibleRefWithcBibleRef(reference).isBookOnly())
            return false;
        if (!doc->SectionRangeForVerse(reference, first, last))
            return false;
    } else if (doc->supports(::kDocSupportsWordLookup)) {
        if (!doc->dictionaryWordToSectionRange(EngineStrings::utf16(text), true, first, last))
            return false;
        last = first;
    } else {
        return false;
    }
    if (startSection != nullptr)
        *startSection = first;
    if (endSection != nullptr)
        *endSection = last;
    return true;
}

bool SourceTupleLocations::sectionRangeForGoTo(const QString& text, quint32* startSection, quint32* endSection) const
{
    quint32 start = 0, end = 0;
    const bool found = sectionRangeForSyncString(text, false, &start, &end);
    const auto doc = m_book.bookDoc();
    if (found && start > 1 && doc != nullptr && doc->supports(::kDocSupportsIsBible)) {
        cBibleRef reference;
        const bibleRefRange* first = parseLink(m_book, text, reference) ? reference.firstRange() : nullptr;
        // No verse named: the chapter's heading.
        if (first != nullptr && first->startVerse == -1)
            start = chapterHeadingSectionAbove(start);
    }
    if (startSection != nullptr)
        *startSection = found ? start : 0;
    if (endSection != nullptr)
        *endSection = found ? end : 0;
    return found;
}

bool SourceTupleLocations::sectionRangeForBackwardLink(
    const QString& text, quint32* startSection, quint32* endSection) const
{
    *startSection = *endSection = 0;
    const auto doc = m_book.bookDoc();
    if (doc == nullptr || !doc->supports(::kDocSupportsIsBible))
        return false;
    // A link in a book's text whose range ends before it starts (a slip of the book's source, as
    // "Matthew 22:43-35") still leads to its first verse; a reference the reader types is refused
    // instead, by its own caller.
    cBibleRef reference;
    bibleRefRange* range =
        parseLink(m_book, text, reference) && reference.rangeCount() == 1 ? reference.firstRange() : nullptr;
    // Within one book, its end chapter and verse before its start's.
    const bool backward = range != nullptr && (range->endBook < 0 || range->endBook == range->startBook) &&
        range->endChapter > 0 && range->startChapter > 0 &&
        (range->endChapter < range->startChapter ||
            (range->endChapter == range->startChapter && range->endVerse > 0 && range->endVerse < range->startVerse));
    if (!backward)
        return false;
    range->endBook = range->startBook;
    range->endChapter = range->startChapter;
    range->endVerse = range->startVerse;
    range->endPart = range->startPart;
    reference.invalidateSpelling();
    std::uint32_t first = 0, last = 0;
    if (!doc->SectionRangeForVerse(reference, first, last) || first == 0)
        return false;
    *startSection = first;
    *endSection = last;
    return true;
}

quint32 SourceTupleLocations::chapterHeadingSectionAbove(quint32 section) const
{
    // The heading's key is the chapter's with verse 0.
    const quint32 key = section > 1 ? keyForSection(section) : 0;
    const quint32 headingKey = key & 0xFFFFFF00;
    if (key == 0 || (key & 0xFF) == 0 || ((headingKey >> 8) & 0xFF) == 0)
        return section;
    const quint32 heading = sectionForBibleKey(headingKey);
    return heading != 0 && heading < section && keyForSection(heading) == headingKey ? heading : section;
}

quint32 SourceTupleLocations::sectionForSyncString(const QString& text, bool requiresMoreThanBookName) const
{
    quint32 start = 0;
    sectionRangeForSyncString(text, requiresMoreThanBookName, &start, nullptr);
    return start;
}

quint32 SourceTupleLocations::sectionForTocPath(const QString& path) const
{
    const auto doc = m_book.bookDoc();
    if (doc == nullptr || doc->bookFile() == nullptr)
        return 0;
    const std::int32_t section = doc->bookFile()->toc().sectionForTocPath(EngineStrings::utf8(path));
    return section < 0 ? 0 : static_cast<quint32>(section);
}

quint32 SourceTupleLocations::sectionForPreviousChapter(quint32 section) const
{
    const auto doc = m_book.bibleDoc();
    if (doc == nullptr)
        return kNone;
    const std::int32_t s =
        doc->adjacentChapterSection(cBibleDoc::kPreviousChapterKind, doc->bibleKeyForSection(section));
    return s < 0 ? kNone : static_cast<quint32>(s);
}

quint32 SourceTupleLocations::sectionForNextChapter(quint32 section) const
{
    const auto doc = m_book.bibleDoc();
    if (doc == nullptr)
        return kNone;
    const std::int32_t s = doc->adjacentChapterSection(cBibleDoc::kNextChapterKind, doc->bibleKeyForSection(section));
    return s < 0 ? kNone : static_cast<quint32>(s);
}

QString SourceTupleLocations::getPositionNameForTitleBar(quint64 section) const
{
    if (section == 0 || section == kNone || section == 9223372036854775807ull || section > kNone)
        return QString();
    const auto doc = m_book.bookDoc();
    if (doc == nullptr || doc->bookFile() == nullptr)
        return QString();
    const auto s = static_cast<quint32>(section);
    // A Bible's front matter (a preface before the first book, keyed 0) is named by its contents title.
    if (doc->bookFile()->genInfo().headerFlag0() && keyForSection(s) != 0) {
        // A book or chapter heading is named by its book, or its book and chapter.
        cBibleRef reference(cBibleDoc::headingAsWhole(keyForSection(s)));
        reference.setLanguage(static_cast<int>(m_book.record().bookLanguage));
        reference.setTranslation(translationOf(m_book.record().abbr));
        BibleRef ref = BibleRef::bibleRefWithcBibleRef(reference);
        // The book's name in full, the translation's abbreviated.
        return ref.spellingUsingAbbreviatedBookName(false, true, true);
    }
    cLString8 out;
    doc->GetPositionNameForTitleBar(out, s, true, false);
    return EngineStrings::fromUtf8(out);
}

// --- table of contents -------------------------------------------------------------------------

namespace {

bool childList(cBookDoc& doc, quint32 section, cLIntArray& list)
{
    if (section == 0)
        return doc.collectSectionPathAndChildren(1, list);
    return doc.childSectionsOf(section, list);
}

}  // namespace

quint32 SourceTupleLocations::numChildrenOfSection(quint32 section) const
{
    const auto doc = m_book.bookDoc();
    if (doc == nullptr)
        return 0;
    cLIntArray list;
    childList(*doc, section, list);
    return static_cast<quint32>(list.count());
}

quint32 SourceTupleLocations::sectionForChild(quint32 index, quint32 section) const
{
    const auto doc = m_book.bookDoc();
    if (doc == nullptr)
        return 0;
    cLIntArray list;
    childList(*doc, section, list);
    if (index >= static_cast<quint32>(list.count()))
        return 0;
    return static_cast<quint32>(list.getAt(static_cast<std::int32_t>(index)));
}

void SourceTupleLocations::loadChildSectionsOf(quint32 section, QList<quint32>& array, bool append) const
{
    const auto doc = m_book.bookDoc();
    if (doc == nullptr)
        return;
    if (!append)
        array.clear();
    cLIntArray list;
    childList(*doc, section, list);
    for (std::int32_t i = 0; i < list.count(); ++i)
        array.append(static_cast<quint32>(list.getAt(i)));
}

bool SourceTupleLocations::hasChildren(quint32 section) const
{
    const auto doc = m_book.bookDoc();
    return doc != nullptr && doc->HasChildren(section);
}

QVariantMap SourceTupleLocations::tocForSection(quint32 section) const
{
    const auto doc = m_book.bookDoc();
    if (doc == nullptr || doc->bookFile() == nullptr)
        return QVariantMap();
    std::uint8_t level = 0;
    std::string title;
    if (doc->bookFile()->toc().readEntry(section, level, title) != 0)
        return QVariantMap();
    return QVariantMap {{QSTOCSectionNumberKey, section}, {QSTOCLevelNumberKey, static_cast<quint32>(level)},
        {QSTOCTitleStringKey, EngineStrings::fromUtf8(title)}};
}

QString SourceTupleLocations::tocNameForSection(quint32 section) const
{
    return tocForSection(section).value(QSTOCTitleStringKey).toString();
}

// --- rendering ---------------------------------------------------------------------------------

namespace {

const cLString8& defaultLinkPrefix()
{
    static const cLString8 prefix(cHTMLRenderConfiguration::kDefaultLinkPrefix);
    return prefix;
}

const cLString8& defaultLinkSuffix()
{
    static const cLString8 suffix(cHTMLRenderConfiguration::kDefaultLinkSuffix);
    return suffix;
}

const bool kSharedNo = false;

// The values the configuration points at; they live as long as the rendering.
struct RenderValues {
    bool enableTempHighlights = false;
    std::int32_t footnoteOption = 0;
    bool omitStrongsNumbersInDecode = false;
    cLString8 strongsTag, strongsGreekTagAttributes, strongsHebrewTagAttributes;
    bool oneVersePerParagraph = false;
    bool hideVerseNumbers = false;
    cLString8 logoOriginalName, logoReplacementName;
    bool omitUserNoteLinks = false;
    float paneWidth = 0;
    std::int32_t highlightStyle = 0;
    bool highlightHits = false;
};

// A configuration field pointed at its value, kept in the rendering's storage.
template <typename Field, typename Value> void pointAt(const Field*& field, Field& storage, Value&& value)
{
    storage = std::forward<Value>(value);
    field = &storage;
}

}  // namespace

void SourceTupleLocations::loadDefaultHtmlRenderConfigurationInto(cHTMLRenderConfiguration& configuration) const
{
    configuration.linkPrefix = &defaultLinkPrefix();
    configuration.linkSuffix = &defaultLinkSuffix();
    configuration.omitStrongsNumbersInDecode = &kSharedNo;
    configuration.suppressWordMarks = &kSharedNo;
}

QString SourceTupleLocations::htmlTextForBlock(quint32 block, const DisplayOptions& options) const
{
    if (block == kNone)
        return QString();
    const auto doc = m_book.bookDoc();
    if (doc == nullptr || doc->bookFile() == nullptr)
        return QString();

    cHTMLRenderConfiguration config;
    loadDefaultHtmlRenderConfigurationInto(config);
    RenderValues v;
    if (options.search != nullptr) {
        config.searchHits = options.search->searchHitsForTuple(m_book);
        config.wordsToMark = options.search->wordsToMark();
        config.search = options.search;
    }
    config.tempHighlightStartSection = options.tempHighlightStartSection;
    config.tempHighlightEndSection = options.tempHighlightEndSection;
    pointAt(config.highlightHits, v.highlightHits, options.highlightHits);
    pointAt(config.enableTempHighlights, v.enableTempHighlights, options.enableTempHighlights);
    pointAt(config.omitStrongsNumbersInDecode, v.omitStrongsNumbersInDecode, options.omitStrongsNumbers);
    pointAt(config.oneVersePerParagraph, v.oneVersePerParagraph, options.oneVersePerParagraph);
    pointAt(config.hideVerseNumbers, v.hideVerseNumbers, options.hideVerseNumbers);
    pointAt(config.omitUserNoteLinks, v.omitUserNoteLinks, options.omitUserNoteLinks);
    pointAt(config.paneWidth, v.paneWidth, options.paneWidth);
    pointAt(config.highlightStyle, v.highlightStyle, static_cast<std::int32_t>(options.highlightStyle));
    // The renderer leaves footnotes out only for footnote option 0.
    if (options.omitFootnotes)
        pointAt(config.footnoteOption, v.footnoteOption, 0);
    if (!options.strongsTag.isEmpty()) {
        pointAt(config.strongsTag, v.strongsTag, EngineStrings::utf8(options.strongsTag));
        pointAt(config.strongsGreekTagAttributes, v.strongsGreekTagAttributes,
            EngineStrings::utf8(options.strongsGreekTagAttributes));
        pointAt(config.strongsHebrewTagAttributes, v.strongsHebrewTagAttributes,
            EngineStrings::utf8(options.strongsHebrewTagAttributes));
    }
    if (options.replaceOldLogo) {
        pointAt(config.logoOriginalName, v.logoOriginalName, EngineStrings::utf8(DisplayOptions::kOldLogoName));
        pointAt(config.logoReplacementName, v.logoReplacementName,
            EngineStrings::utf8(DisplayOptions::kLogoReplacementName));
    }
    cBkGenInfoStg& info = doc->bookFile()->genInfo();
    if (info.hasWordAttributeDefs())
        config.wordAttributeDefinitions = &info.wordAttributeDefs();
    config.update();

    cLString8 out;
    if (doc->htmlTextForBlockCore(block, &config, out) == 0)
        return QString();
    return EngineStrings::fromUtf8(out);
}

// --- completion lists --------------------------------------------------------------------------

QStringList SourceTupleLocations::bibleBookNameSpellingsAbbreviated(
    quint32 mask, const QString& prefix, QList<quint32>* sectionArray) const
{
    QStringList names;
    names.reserve(132);
    const auto doc = m_book.bibleDoc();
    if (doc == nullptr)
        return names;
    const cLIntArray* shared = nullptr;
    auto take = [&](const cWordList8* list, const cLIntArray* sections) {
        if (list == nullptr)
            return;
        for (std::int32_t i = 0; i < list->count(); ++i) {
            const cLString8* name = list->at(i);
            if (name == nullptr)
                continue;
            const QString text = EngineStrings::fromWindows1252(name->chars(), name->length());
            if (!text.startsWith(prefix))
                continue;
            names.append(text);
            if (sectionArray != nullptr) {
                const cLIntArray* from = sections != nullptr ? sections : shared;
                const bool inRange = from != nullptr && i < from->count();
                sectionArray->append(inRange ? static_cast<quint32>(from->getAt(i)) : 0);
            }
        }
    };
    const cWordList8* list = nullptr;
    const cLIntArray* sections = nullptr;
    if (mask & 0x1) {
        doc->getBookNameSpellingLists(false, list, sections, false);
        shared = sections;
        take(list, sections);
    }
    if (mask & 0x2) {
        doc->getBookNameSpellingLists(true, list, sections, false);
        shared = sections;
        take(list, sections);
    }
    if (mask & 0x4) {
        doc->getBookNameSpellingLists(false, list, sections, true);
        take(list, nullptr);
    }
    return names;
}

namespace {

enum class CompletionLevel { Chapters, Verses };

}  // namespace

static QStringList completeNames(SourceTuple& tuple, const QString& typed, quint32 startSection, bool numbersOnly,
    QList<quint32>* sectionArray, CompletionLevel level)
{
    QStringList out;
    out.reserve(151);
    const auto doc = tuple.bibleDoc();
    if (doc == nullptr)
        return out;
    // Peel characters off the end until what is left names a book (a chapter) alone; a start
    // section names them itself.
    QString remainder = typed;
    QString tail;
    BibleRef ref;
    bool found = false;
    if (startSection != 0 && startSection < doc->GetNumSections()) {
        const quint32 key = doc->bibleKeyForSection(startSection);
        if ((key >> 16) != 0 && (level == CompletionLevel::Chapters || ((key >> 8) & 0xFF) != 0)) {
            ref = BibleRef::bibleRefWithStartKey(key, key);
            found = true;
        }
    }
    while (!found && !remainder.isEmpty()) {
        if (!remainder.back().isSpace()) {
            ref = BibleRef();
            ref.setLanguage(static_cast<int>(tuple.record().bookLanguage));
            if (ref.parse(remainder, tuple.record().abbr) &&
                (level == CompletionLevel::Chapters ? ref.isBookOnly() : ref.isBookChapterOnly())) {
                found = true;
                break;
            }
        }
        tail.prepend(remainder.back());
        remainder.chop(1);
    }
    if (!found)
        return out;
    const QString separatorSet = level == CompletionLevel::Chapters ? QStringLiteral(" \t") : QStringLiteral(" \t.:");
    qsizetype n = 0;
    while (n < tail.size() && separatorSet.contains(tail.at(n)))
        ++n;
    QString separator = tail.left(n);
    tail = tail.mid(n);
    if (separator.isEmpty())
        separator = level == CompletionLevel::Chapters ? QStringLiteral(" ") : QStringLiteral(":");

    const quint32 key = ref.bibleKey();
    const auto book = static_cast<std::int32_t>((key >> 16) & 0xFF);
    const auto chapter = static_cast<std::int32_t>((key >> 8) & 0xFF);
    cWordList8 names;
    cLIntArray sections;
    if (level == CompletionLevel::Chapters)
        doc->bibleChapterNameSpellings(book, names, sections);
    else
        doc->bibleVerseNameSpellings(book, chapter, names, sections);
    for (std::int32_t i = 0; i < names.count(); ++i) {
        const QString spelling = EngineStrings::fromUtf8(*names.at(i));
        if (!tail.isEmpty() && !spelling.startsWith(tail))
            continue;
        out.append(numbersOnly ? spelling : remainder + separator + spelling);
        if (sectionArray != nullptr)
            sectionArray->append(i < sections.count() ? static_cast<quint32>(sections.getAt(i)) : 0);
    }
    return out;
}

QStringList SourceTupleLocations::bibleChapterNameSpellingsForBook(
    const QString& typed, quint32 startSection, bool numbersOnly, QList<quint32>* sectionArray) const
{
    return completeNames(m_book, typed, startSection, numbersOnly, sectionArray, CompletionLevel::Chapters);
}

QStringList SourceTupleLocations::bibleVerseNameSpellingsForChapter(
    const QString& typed, quint32 startSection, bool numbersOnly, QList<quint32>* sectionArray) const
{
    return completeNames(m_book, typed, startSection, numbersOnly, sectionArray, CompletionLevel::Verses);
}
