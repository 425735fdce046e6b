#include "panes/page/BookPageBlocks.h"

#include "panes/page/BookPageHtml.h"
#include "platform/UserDefaults.h"

#include <QWidget>

#include <algorithm>
#include <cmath>

double BookPageBlocks::textWidth() const
{
    return std::trunc(static_cast<double>(m_view.width())) -
        static_cast<double>(m_defaults.integerForKey("leftMargin")) -
        static_cast<double>(m_defaults.integerForKey("rightMargin")) - std::trunc(m_host.scrollerWidth());
}

QVariantMap BookPageBlocks::renderParams(const BookPageSourcePtr& book)
{
    QVariantMap p;
    if (!book)
        return p;
    const UserDefaults& d = m_defaults;
    m_host.addSearchRenderParams(book, p);
    if (book->isABible()) {
        if (const LayoutRegionContentItemState* state = m_host.currentState()) {
            p.insert(QStringLiteral("tempHighlightStartSection"), state->tempHighlightStartSection());
            p.insert(QStringLiteral("tempHighlightEndSection"), state->tempHighlightEndSection());
        }
        const QVariant oneVerse = d.objectForKey(QStringLiteral("oneVersePerParagraph"));
        if (oneVerse.isValid())
            p.insert(QStringLiteral("oneVersePerParagraph"), oneVerse);
        p.insert(QStringLiteral("hideVerseNumbers"),
            d.boolForKey(QStringLiteral("hideVerseNumbers")) ||
                (book->noVerseNums() && !d.boolForKey(QStringLiteral("showMsgVerses"))));
        const qsizetype style =
            QStringList {QStringLiteral("Show"), QStringLiteral("Verse"), QStringLiteral("Hide")}.indexOf(
                d.stringForKey(QStringLiteral("highlightStyle")));
        p.insert(QStringLiteral("highlightStyle"), static_cast<qint64>(style < 0 ? 0 : style));
    }
    if (book->supportsWordAttributes())
        p.insert(QStringLiteral("omitStrongsNumbersInDecode"), !d.boolForKey(QStringLiteral("strongsNumbers")));
    p.insert(QStringLiteral("omitUserNoteLinks"), d.boolForKey(QStringLiteral("hideNoteLinks")));
    p.insert(QStringLiteral("enableTempHighlights"), d.boolForKey(QStringLiteral("highlightLinkedPassage")));
    m_lastPaneWidth = textWidth();
    p.insert(QStringLiteral("paneWidth"), static_cast<float>(m_lastPaneWidth));
    p.insert(QStringLiteral("tavrosenLogoOriginalName"), QStringLiteral("logo100x24.bmp"));
    p.insert(QStringLiteral("tavrosenLogoReplacementName"), QStringLiteral("Tavrosen Logo.png"));
    return p;
}

QJsonValue BookPageBlocks::htmlForBlock(const BookPageSourcePtr& book, qint64 block, const QString& frameKey)
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
    const QString html = book->htmlTextForBlock(b, renderParams(book));
    if (html.contains(QLatin1String("<img"), Qt::CaseInsensitive))
        m_pageHasImages = true;
    return header + html;
}

BookPageBlocks::FirstScreen BookPageBlocks::firstScreen(
    const BookPageSourcePtr& book, const LayoutRegionContentItemState& state, const QString& frameKey)
{
    m_pageHasImages = false;
    // A Bible's screen of 800 x 600 holds about 25 KB of block markup.
    const qsizetype budget = std::max<qsizetype>(8192, qsizetype(m_view.width()) * m_view.height() / 16);
    FirstScreen screen;
    for (qint64 b = state.block(); screen.blocks.size() < kMaxBlocksPerFetch && screen.characters < budget; ++b) {
        const QJsonValue html = htmlForBlock(book, b, frameKey);
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
