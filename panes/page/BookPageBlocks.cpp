#include "panes/page/BookPageBlocks.h"

#include "panes/page/BookPageHtml.h"
#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"
#include "render/cBlockRenderUserData.h"

#include <QJsonArray>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <tuple>

namespace {

// Whether blocks rendered with one set of options read as with the other (every field).
bool sameRendering(const DisplayOptions& a, const DisplayOptions& b)
{
    const auto fields = [](const DisplayOptions& o) {
        return std::tie(o.oneVersePerParagraph, o.hideVerseNumbers, o.showVerseNumbersBooksHide, o.highlightStyle,
            o.omitStrongsNumbers, o.omitUserNoteLinks, o.enableTempHighlights, o.omitFootnotes, o.strongsTag,
            o.strongsGreekTagAttributes, o.strongsHebrewTagAttributes, o.paneWidth, o.tempHighlightStartSection,
            o.tempHighlightEndSection, o.search, o.highlightHits, o.replaceOldLogo);
    };
    return fields(a) == fields(b);
}

}  // namespace

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
    return !m_page.userData || (!m_pageMixed && userDataStamp() == m_pageUserData);
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
    return renderBlock(book, block, frameKey, renderOptions(book), m_page);
}

QJsonValue BookPageBlocks::renderBlock(
    const BookPageSourcePtr& book, qint64 block, const QString& frameKey, const DisplayOptions& options, Marks& marks)
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
    const QString html = book->htmlTextForBlock(b, options);
    if (html.contains(QLatin1String("<img"), Qt::CaseInsensitive))
        marks.images = true;
    // The renderer's verse anchors: where it looked up the verse's highlight and note.
    if (html.contains(QLatin1String("<span id='_s")))
        marks.userData = true;
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

qsizetype BookPageBlocks::firstScreenBudget() const
{
    // A Bible's screen of 800 x 600 holds about 25 KB of block markup.
    return std::max<qsizetype>(8192, qsizetype(m_view.width()) * m_view.height() / 16);
}

BookPageBlocks::FirstScreen BookPageBlocks::renderFirstScreen(const BookPageSourcePtr& book,
    const LayoutRegionContentItemState& state, const QString& frameKey, const DisplayOptions& options, Marks& marks)
{
    const qsizetype budget = firstScreenBudget();
    FirstScreen screen;
    screen.userData = userDataStamp();
    const cBlockRenderUserData::LookupBatch lookups(cBlockRenderUserData::current());
    for (qint64 b = state.block(); screen.blocks.size() < kMaxBlocksPerFetch && screen.characters < budget; ++b) {
        const QJsonValue html = renderBlock(book, b, frameKey, options, marks);
        if (!html.isString())
            break;  // past the book's end
        screen.blocks.append(html.toString());
        screen.characters += screen.blocks.last().size();
    }
    if (!state.gotoAnchor().isEmpty()) {
        screen.target = state.gotoAnchor();
    } else {
        screen.target = QStringLiteral("_b%1").arg(state.block());
        screen.offset = state.yOffset();
    }
    return screen;
}

bool BookPageBlocks::fits(const ReadyScreen& ready, const BookPageSourcePtr& book, qint64 block,
    const QString& frameKey, const DisplayOptions& options) const
{
    return book && ready.book == book->identityString() && ready.block == block && ready.frameKey == frameKey &&
        sameRendering(ready.options, options) && ready.budget == firstScreenBudget() &&
        ready.screen.userData == userDataStamp();
}

BookPageBlocks::FirstScreen BookPageBlocks::firstScreen(
    const BookPageSourcePtr& book, const LayoutRegionContentItemState& state, const QString& frameKey)
{
    const DisplayOptions options = renderOptions(book);
    m_pageTextWidth = m_lastPaneWidth;
    std::optional<ReadyScreen> ready;
    ready.swap(m_ready);  // taken once at most
    if (ready && fits(*ready, book, state.block(), frameKey, options)) {
        FirstScreen screen = std::move(ready->screen);
        // The anchor and offset are the go-to's own.
        screen.offset = 0;
        if (!state.gotoAnchor().isEmpty()) {
            screen.target = state.gotoAnchor();
        } else {
            screen.target = QStringLiteral("_b%1").arg(state.block());
            screen.offset = state.yOffset();
        }
        m_page = ready->marks;
        ++m_readyTaken;
        return screen;
    }
    m_page = {};
    return renderFirstScreen(book, state, frameKey, options, m_page);
}

bool BookPageBlocks::readyFirstScreen(
    const BookPageSourcePtr& book, const LayoutRegionContentItemState& state, const QString& frameKey)
{
    if (!book || state.block() < 0 || static_cast<quint64>(state.block()) >= book->numBlocks())
        return false;
    // renderOptions notes the text width the blocks are rendered for, which is the loaded page's
    // business: it is put back.
    const double lastWidth = m_lastPaneWidth;
    ReadyScreen ready;
    ready.options = renderOptions(book);
    m_lastPaneWidth = lastWidth;
    if (m_ready && fits(*m_ready, book, state.block(), frameKey, ready.options))
        return false;
    ready.book = book->identityString();
    ready.block = state.block();
    ready.frameKey = frameKey;
    ready.budget = firstScreenBudget();
    ready.screen = renderFirstScreen(book, state, frameKey, ready.options, ready.marks);
    m_ready = std::move(ready);
    return true;
}
