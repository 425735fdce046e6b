#include "panes/page/DocumentBookPageSource.h"

#include "documents/cBibleDoc.h"
#include "documents/cDateDoc.h"
#include "documents/cTOCDoc.h"
#include "engine/bookfile/cBkBookFile.h"
#include "engine/bookfile/cBkEmbeddedFiles.h"
#include "engine/bookfile/cBkHTMLNodeStg.h"
#include "engine/bookfile/cPlatformMemPtr.h"
#include "engine/foundation/SimpleDate.h"
#include "engine/references/BibleRef.h"
#include "render/cHTMLRenderConfiguration.h"

namespace {

cLString16 wide(const QString& s)
{
    cLString16 out;
    out.assignFromUTF8(s.toUtf8().constData());
    return out;
}

QString qstr(const cLString8& s)
{
    return QString::fromUtf8(s.chars(), static_cast<qsizetype>(s.length()));
}

}  // namespace

std::shared_ptr<DocumentBookPageSource> DocumentBookPageSource::open(const QString& path)
{
    std::uint32_t kind = cBookDoc::kKindNotOpen;
    {
        cBookDoc probe;
        probe.SetPathName(wide(path));
        if (!probe.Open())
            return nullptr;
        kind = probe.bookKindFromHeader();
    }
    std::shared_ptr<DocumentBookPageSource> source(new DocumentBookPageSource);
    if (kind == cBookDoc::kKindBible)
        source->m_doc = std::make_unique<cBibleDoc>();
    else if (kind == cBookDoc::kKindDated)
        source->m_doc = std::make_unique<cDateDoc>();
    else
        source->m_doc = std::make_unique<cTOCDoc>();
    source->m_doc->SetPathName(wide(path));
    if (!source->m_doc->Open())
        return nullptr;
    source->m_bible = kind == cBookDoc::kKindBible;
    source->m_dated = kind == cBookDoc::kKindDated;
    source->m_wordAttributes = (source->m_doc->GetSupportFlags() & kDocSupportsWordAttributes) != 0;
    cLString8 abbreviation;
    source->m_doc->GetTitle(abbreviation, true);
    source->m_abbr = qstr(abbreviation);
    source->m_doc->GetBookID(source->m_publisher, source->m_book, source->m_edition, source->m_revision);
    return source;
}

DocumentBookPageSource::~DocumentBookPageSource() = default;

QString DocumentBookPageSource::identityString() const
{
    return QStringLiteral("%1:%2:%3:%4").arg(m_publisher).arg(m_book).arg(m_edition).arg(m_revision);
}

quint64 DocumentBookPageSource::numBlocks()
{
    return m_doc->bookFile() != nullptr ? m_doc->bookFile()->nodes().blockCount() : 0;
}

quint64 DocumentBookPageSource::numSections()
{
    return m_doc->GetNumSections();
}

quint32 DocumentBookPageSource::sectionForBlock(quint32 block)
{
    if (m_doc->bookFile() == nullptr || block >= numBlocks())
        return 0;
    const quint32 s = m_doc->bookFile()->sections().sectionForBlock(block);
    return s == cBookDoc::kNone ? 0 : s;
}

quint32 DocumentBookPageSource::blockForSection(quint32 section)
{
    std::uint32_t first = 0, end = 0;
    if (section == 0 || !m_doc->sectionBlockSpan(section, first, end))
        return kNoBlock;
    return first;
}

quint32 DocumentBookPageSource::keyForSection(quint32 section)
{
    return m_bible ? m_doc->bibleKeyForSection(section) : 0;
}

quint32 DocumentBookPageSource::sectionForBibleKey(quint32 key)
{
    return m_bible && key != 0 ? static_cast<cBibleDoc*>(m_doc.get())->sectionForKey(key) : 0;
}

quint32 DocumentBookPageSource::lastSectionForAmbiguousKey(quint32 key)
{
    if (!m_bible || key == 0)
        return 0;
    // A whole chapter (verse 0) or book (chapter 0) ends at the last section before the next one.
    quint32 s = sectionForBibleKey(key);
    const quint32 n = static_cast<quint32>(numSections());
    const quint32 mask = (key & 0xFF) != 0 ? 0xFFFFFF : ((key & 0xFF00) != 0 ? 0xFFFF00 : 0xFF0000);
    while (s != 0 && s + 1 < n && (keyForSection(s + 1) & mask) == (key & mask))
        ++s;
    return s;
}

quint32 DocumentBookPageSource::sectionForPreviousChapter(quint32 section)
{
    if (!m_bible)
        return kNoBlock;
    auto* bible = static_cast<cBibleDoc*>(m_doc.get());
    const std::int32_t s = bible->adjacentChapterSection(cBibleDoc::kPreviousChapterKind, keyForSection(section));
    return s < 0 ? 0 : static_cast<quint32>(s);
}

quint32 DocumentBookPageSource::sectionForNextChapter(quint32 section)
{
    if (!m_bible)
        return kNoBlock;
    auto* bible = static_cast<cBibleDoc*>(m_doc.get());
    const std::int32_t s = bible->adjacentChapterSection(cBibleDoc::kNextChapterKind, keyForSection(section));
    return s < 0 ? 0 : static_cast<quint32>(s);
}

bool DocumentBookPageSource::passageKeysForReference(const QString& text, quint32& startKey, quint32& endKey)
{
    startKey = endKey = 0;
    if (!m_bible)
        return false;
    BibleRef reference;
    if (!reference.parse(text) || !reference.mapToTranslation(m_abbr))
        return false;
    startKey = reference.bibleKey();
    endKey = reference.endBibleKey();
    return startKey != 0 && endKey != 0;
}

QString DocumentBookPageSource::getPositionNameForTitleBar(quint64 section)
{
    if (section == 0 || section >= 0xFFFFFFFFull)
        return QString();
    cLString8 out;
    m_doc->GetPositionNameForTitleBar(out, static_cast<std::uint32_t>(section), true, false);
    return qstr(out);
}

qint64 DocumentBookPageSource::tocLevelForSection(quint32 section)
{
    cBookDoc::ContentsPath path;
    return m_doc->contentsPath(section, path) ? path.depth : 0;
}

QString DocumentBookPageSource::htmlTextForBlock(quint32 block, const QVariantMap& params)
{
    if (block == kNoBlock)
        return QString();
    cHTMLRenderConfiguration config;
    const cLString8 prefix(cHTMLRenderConfiguration::kDefaultLinkPrefix);
    const cLString8 suffix(cHTMLRenderConfiguration::kDefaultLinkSuffix);
    config.linkPrefix = &prefix;
    config.linkSuffix = &suffix;
    const bool oneVerse = params.value(QStringLiteral("oneVersePerParagraph")).toBool();
    const bool hideNumbers = params.value(QStringLiteral("hideVerseNumbers")).toBool();
    const bool omitNotes = params.value(QStringLiteral("omitUserNoteLinks")).toBool();
    const bool enableTemp = params.value(QStringLiteral("enableTempHighlights")).toBool();
    const float width = params.value(QStringLiteral("paneWidth")).toFloat();
    const bool hits = params.value(QStringLiteral("highlightHits")).toBool();
    const bool omitStrongs = params.value(QStringLiteral("omitStrongsNumbersInDecode")).toBool();
    if (params.contains(QStringLiteral("omitStrongsNumbersInDecode")))
        config.omitStrongsNumbersInDecode = &omitStrongs;
    if (params.contains(QStringLiteral("oneVersePerParagraph")))
        config.oneVersePerParagraph = &oneVerse;
    if (params.contains(QStringLiteral("hideVerseNumbers")))
        config.hideVerseNumbers = &hideNumbers;
    if (omitNotes)
        config.omitUserNoteLinks = &omitNotes;
    if (params.contains(QStringLiteral("tempHighlightStartSection")) &&
        params.contains(QStringLiteral("tempHighlightEndSection"))) {
        config.tempHighlightStartSection = params.value(QStringLiteral("tempHighlightStartSection")).toUInt();
        config.tempHighlightEndSection = params.value(QStringLiteral("tempHighlightEndSection")).toUInt();
        config.enableTempHighlights = &enableTemp;
    }
    if (params.contains(QStringLiteral("paneWidth")))
        config.paneWidth = &width;
    config.highlightHits = &hits;
    config.update();
    cLString8 out;
    m_doc->htmlTextForBlockCore(block, &config, out);
    return qstr(out);
}

QByteArray DocumentBookPageSource::embeddedFile(const QString& name)
{
    cBkBookFile* file = m_doc->bookFile();
    if (file == nullptr || file->images() == nullptr)
        return QByteArray();
    cPlatformMemPtr buffer;
    if (file->images()->readIntoMemory(name.toUtf8().toStdString(), buffer) != 0 || buffer.data() == nullptr)
        return QByteArray();
    return QByteArray(reinterpret_cast<const char*>(buffer.data()), static_cast<qsizetype>(buffer.size()));
}

quint64 DocumentBookPageSource::numReadings()
{
    return m_dated ? static_cast<cDateDoc*>(m_doc.get())->numReadings() : 0;
}

quint32 DocumentBookPageSource::readingNumberForSection(quint32 section)
{
    return m_dated ? m_doc->ReadingNumberForSection(section) : 0;
}

quint32 DocumentBookPageSource::sectionForReadingNumber(quint32 reading)
{
    return m_dated ? static_cast<cDateDoc*>(m_doc.get())->sectionForReadingNumber(reading) : 0;
}

quint32 DocumentBookPageSource::readingNumberForToday()
{
    return m_dated ? static_cast<cDateDoc*>(m_doc.get())->readingNumberForDate(cSimpleDate()) : 0;
}

quint32 DocumentBookPageSource::firstUnreadReadingNumber()
{
    return m_dated ? static_cast<cDateDoc*>(m_doc.get())->FirstUnreadReadingNumber() : 0;
}

bool DocumentBookPageSource::isReadingComplete(quint32 reading)
{
    return m_dated && static_cast<cDateDoc*>(m_doc.get())->IsReadingComplete(reading);
}

void DocumentBookPageSource::toggleReadingNumber(quint32 reading)
{
    if (m_dated)
        static_cast<cDateDoc*>(m_doc.get())->ToggleReadingNumber(reading);
}

QString DocumentBookPageSource::readingDateText(quint32 reading)
{
    if (!m_dated)
        return QString();
    cSimpleDate date;
    static_cast<cDateDoc*>(m_doc.get())->dateForReadingNumber(reading, date);
    return SimpleDate(date).stringWithStyle(1);
}
