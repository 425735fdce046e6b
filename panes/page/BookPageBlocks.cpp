#include "panes/page/BookPageBlocks.h"

#include "panes/page/BookPageHtml.h"
#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"
#include "render/cBlockRenderUserData.h"

#include <QJsonArray>
#include <QWidget>

#include <algorithm>
#include <cmath>

double BookPageBlocks::textWidth() const
{
    return std::trunc(static_cast<double>(m_view.width())) -
        static_cast<double>(m_defaults.value(SettingsKeys::LeftMargin)) -
        static_cast<double>(m_defaults.value(SettingsKeys::RightMargin)) - std::trunc(m_host.scrollerWidth());
}

DisplayOptions BookPageBlocks::renderOptions(const BookPageSourcePtr& book)
{
    DisplayOptions o;
    if (!book)
        return o;
    m_host.addSearchResults(book, o);
    if (book->isABible()) {
        if (const LayoutRegionContentItemState* state = m_host.currentState()) {
            const auto section = [](quint64 s) { return s > 0xFFFFFFFFu ? 0u : static_cast<quint32>(s); };
            o.tempHighlightStartSection = section(state->tempHighlightStartSection());
            o.tempHighlightEndSection = section(state->tempHighlightEndSection());
        }
        o.oneVersePerParagraph = m_display.oneVersePerParagraph;
        o.hideVerseNumbers =
            m_display.hideVerseNumbers || (book->noVerseNums() && !m_display.showVerseNumbersBooksHide);
        o.highlightStyle = m_display.highlightStyle;
    }
    if (book->supportsWordAttributes())
        o.omitStrongsNumbers = m_display.omitStrongsNumbers;
    o.omitUserNoteLinks = m_display.omitUserNoteLinks;
    o.enableTempHighlights = m_display.enableTempHighlights;
    m_lastPaneWidth = textWidth();
    o.paneWidth = static_cast<float>(m_lastPaneWidth);
    o.replaceOldLogo = true;
    return o;
}

std::uint64_t BookPageBlocks::userDataStamp()
{
    return cBlockRenderUserData::current().changeStamp();
}

bool BookPageBlocks::pageShowsCurrentUserData() const
{
    return !m_pageShowsUserData || (!m_pageMixed && userDataStamp() == m_pageUserData);
}

void BookPageBlocks::noteFetch()
{
    if (!m_pageMixed && userDataStamp() != m_pageUserData)
        m_pageMixed = true;
}

QJsonValue BookPageBlocks::htmlForBlock(const BookPageSourcePtr& book, qint64 block, const QString& frameKey)
{
    noteFetch();
    return renderBlock(book, block, frameKey);
}

QJsonValue BookPageBlocks::renderBlock(const BookPageSourcePtr& book, qint64 block, const QString& frameKey)
{
    if (!book || block < 0 || static_cast<quint64>(block) >= book->numBlocks())
        return QJsonValue();
    const auto b = static_cast<quint32>(block);
    QString header;
    if (book->syncType() == 3) {
        const quint32 section = book->sectionForBlock(b);
        const quint32 reading = book->readingNumberForSection(section);
        if (section != 0 && b == book->blockForSection(section) && reading != 0 &&
            book->sectionForReadingNumber(reading) == section)
            header = BookPageHtml::readingHeader(
                reading, book->isReadingComplete(reading), book->readingDateText(reading), frameKey);
    }
    const QString html = book->htmlTextForBlock(b, renderOptions(book));
    if (html.contains(QLatin1String("<img"), Qt::CaseInsensitive))
        m_pageHasImages = true;
    // The renderer's verse anchors: where it looked up the verse's highlight and note.
    if (!m_pageShowsUserData && html.contains(QLatin1String("<span id='_s")))
        m_pageShowsUserData = true;
    return header + html;
}

QJsonArray BookPageBlocks::htmlForBlocks(
    const BookPageSourcePtr& book, qint64 first, qint64 count, const QString& frameKey)
{
    noteFetch();
    const cBlockRenderUserData::LookupBatch lookups(cBlockRenderUserData::current());
    QJsonArray blocks;
    const qint64 n = std::clamp<qint64>(count, 0, kMaxBlocksPerFetch);
    for (qint64 b = first; b < first + n; ++b)
        blocks.append(renderBlock(book, b, frameKey));
    return blocks;
}

BookPageBlocks::FirstScreen BookPageBlocks::firstScreen(
    const BookPageSourcePtr& book, const LayoutRegionContentItemState& state, const QString& frameKey)
{
    m_pageHasImages = false;
    m_pageShowsUserData = false;
    // A Bible's screen of 800 x 600 holds about 25 KB of block markup.
    const qsizetype budget = std::max<qsizetype>(8192, qsizetype(m_view.width()) * m_view.height() / 16);
    FirstScreen screen;
    screen.userData = userDataStamp();
    const cBlockRenderUserData::LookupBatch lookups(cBlockRenderUserData::current());
    for (qint64 b = state.block(); screen.blocks.size() < kMaxBlocksPerFetch && screen.characters < budget; ++b) {
        const QJsonValue html = renderBlock(book, b, frameKey);
        if (!html.isString())
            break;  // past the book's end
        screen.blocks.append(html.toString());
        screen.characters += screen.blocks.last().size();
    }
    m_pageTextWidth = m_lastPaneWidth;
    if (!state.gotoAnchor().isEmpty()) {
        screen.target = state.gotoAnchor();
    } else {
        screen.target = QStringLiteral("_b%1").arg(state.block());
        screen.offset = state.yOffset();
    }
    return screen;
}
