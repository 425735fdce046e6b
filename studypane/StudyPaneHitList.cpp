#include "studypane/StudyPaneHitList.h"

#include "platform/ReadableColors.h"

#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"
#include "platform/ui/ContentTextDocument.h"
#include "search/execution/SearchExecutor.h"
#include "search/execution/SearchResultsAggregator.h"
#include "studypane/SearchResultPage.h"

#include <QAbstractTextDocumentLayout>
#include <QCache>
#include <QHash>
#include <QHeaderView>
#include <QPainter>
#include <QScrollBar>
#include <QTableView>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QTimer>

#include <algorithm>
#include <cmath>

StudyPaneHitList::StudyPaneHitList(HitData hitData, TitleSource title)
    : m_session(SearchSession::create()), m_hitData(std::move(hitData)), m_titleSource(std::move(title))
{
}

StudyPaneHitList::~StudyPaneHitList()
{
    m_session->cancel();
}

SearchResultsAggregator& StudyPaneHitList::aggregator()
{
    return m_session->aggregator();
}

const SearchResultsAggregator& StudyPaneHitList::aggregator() const
{
    return m_session->aggregator();
}

SearchResultsAggregator* StudyPaneHitList::resultsFor(const SourceTupleID& id)
{
    return aggregator().searchedSourceTupleID == id ? &aggregator() : nullptr;
}

std::optional<quint32> StudyPaneHitList::positionOfRow(int row) const
{
    const SearchResultsAggregator& agg = aggregator();
    const SRTablePath path = agg.tablePathForRow(row);
    if (path.tableRowNum < 0)
        return std::nullopt;
    const quint32 position = agg.positionValueForTablePath(path);
    if (position == 0 || position == SearchResultsAggregator::kNoPosition)
        return std::nullopt;
    return position;
}

namespace {

// A table whose rows are as tall as what they show. The rows are measured as they come into view
// (those in view and a screen below), not all at once: a search may find thousands of verses, and
// each row's text must be laid out to be measured.
class HitTable : public QTableView {
public:
    explicit HitTable(QWidget* parent) : QTableView(parent)
    {
        m_fit.setSingleShot(true);
        m_fit.setInterval(0);
        connect(&m_fit, &QTimer::timeout, this, [this] { fitRows(); });
        connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { fitRows(); });
        connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this] { m_fit.start(); });
    }

    void setModel(QAbstractItemModel* model) override
    {
        QTableView::setModel(model);
        if (model == nullptr)
            return;
        connect(model, &QAbstractItemModel::modelReset, this, [this] { m_fit.start(); });
        connect(model, &QAbstractItemModel::layoutChanged, this, [this] { m_fit.start(); });
        connect(model, &QAbstractItemModel::rowsInserted, this, [this] { m_fit.start(); });
        connect(model, &QAbstractItemModel::dataChanged, this, [this] { m_fit.start(); });
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QTableView::resizeEvent(event);
        m_fit.start();
    }

private:
    void fitRows()
    {
        if (m_fitting || model() == nullptr)
            return;
        m_fitting = true;
        const int count = model()->rowCount();
        const int reach = 2 * viewport()->height();
        for (int row = std::max(0, verticalHeader()->logicalIndexAt(0)); row < count; ++row) {
            if (rowViewportPosition(row) > reach)
                break;
            const int height = sizeHintForRow(row);
            if (height > 0 && height != rowHeight(row))
                setRowHeight(row, height);
        }
        m_fitting = false;
    }

    QTimer m_fit;
    bool m_fitting = false;
};

}  // namespace

QTableView* StudyPaneHitList::makeTable(QWidget* parent, QObject* owner, const UserDefaults* defaults)
{
    m_model = new StudyPaneResultListModel(*this,
        {Qt::DisplayRole, Qt::ToolTipRole, StudyPaneResultListModel::TitleRole, StudyPaneResultListModel::HtmlRole},
        owner);
    labelColumn();
    // One column of rows of their own heights, chosen whole and one at a time, never edited.
    auto* table = new HitTable(parent);
    table->setTabKeyNavigation(false);  // Tab leaves the list for the next control
    table->setObjectName(QStringLiteral("searchResultsTableView"));
    table->setModel(m_model);
    table->setItemDelegate(new StudyPaneHitDelegate(defaults, table));
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setShowGrid(false);
    table->setWordWrap(true);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return table;
}

void StudyPaneHitList::setTitle(std::optional<QString> title)
{
    m_title = std::move(title);
    if (m_model != nullptr)
        m_model->columnTitleChanged();
}

void StudyPaneHitList::labelColumn()
{
    if (m_model == nullptr || m_title || !m_titleSource)
        return;
    if (std::optional<QString> title = m_titleSource())
        setTitle(std::move(title));
}

void StudyPaneHitList::reload()
{
    if (m_model == nullptr)
        return;
    labelColumn();
    m_model->reload();
}

int StudyPaneHitList::resultRowCount() const
{
    return StudyPaneResultListModel::hitRowCount(aggregator());
}

QVariant StudyPaneHitList::resultData(int row, int role) const
{
    const SearchResultsAggregator& agg = aggregator();
    if (std::optional<QVariant> header = StudyPaneResultListModel::hitHeaderData(agg, row, role, m_counted))
        return *header;
    return m_hitData(agg, row, role);
}

namespace {

// The bottom of the last line of the document that ends at or above `limit` (the bottom of the last
// line at all when `limit` is negative); 0 when none does.
qreal bottomOfLines(const QTextDocument& doc, qreal limit)
{
    qreal bottom = 0;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        const QTextLayout* layout = block.layout();
        if (layout == nullptr)
            continue;
        const qreal top = doc.documentLayout()->blockBoundingRect(block).top();
        for (int i = 0; i < layout->lineCount(); ++i) {
            const QTextLine line = layout->lineAt(i);
            const qreal lineBottom = top + line.y() + line.height();
            if (limit >= 0 && lineBottom > limit + 0.5)
                return bottom;
            bottom = std::max(bottom, lineBottom);
        }
    }
    return bottom;
}

}  // namespace

namespace {

// Rows laid out, by font, width and markup: a list repaints its rows whenever anything near it
// changes (each go-to repaints the recent verses), and parsing a row's markup and style sheet again
// each time was most of that paint. A row costs 4 and one more per KB of its markup: a couple of
// hundred rows at most, several screens of every list.
constexpr int kLaidOutRowsCost = 2048;

QCache<QString, ContentTextDocument>& laidOutRows()
{
    static QCache<QString, ContentTextDocument> rows(kLaidOutRowsCost);
    return rows;
}

int documentsMadeForRows = 0;

ReadableColors::Rgb rgbOf(const QColor& color)
{
    return {color.redF(), color.greenF(), color.blueF()};
}

// Text of a colour of its own (a search hit's) that does not read on `background` is given the
// nearest colour that does; text on a background of its own (a highlight) keeps its colours.
void readableOn(QTextDocument& doc, const QColor& background)
{
    const ReadableColors::Rgb under = rgbOf(background);
    std::vector<std::pair<QTextFragment, QColor>> changes;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            if (!fragment.isValid() || format.foreground().style() == Qt::NoBrush ||
                format.background().style() != Qt::NoBrush)
                continue;
            const QColor color = format.foreground().color();
            const ReadableColors::Rgb readable = ReadableColors::readableOn(rgbOf(color), under);
            if (readable != rgbOf(color))
                changes.emplace_back(fragment,
                    QColor::fromRgbF(float(readable.red), float(readable.green), float(readable.blue), color.alphaF()));
        }
    QTextCursor cursor(&doc);
    for (const auto& [fragment, color] : changes) {
        cursor.setPosition(fragment.position());
        cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
        QTextCharFormat readable;
        readable.setForeground(color);
        cursor.mergeCharFormat(readable);
    }
}

}  // namespace

const QTextDocument& StudyPaneHitDelegate::laidOutHtml(
    const QString& html, const QFont& font, int width, const QColor& background)
{
    const QString key = font.key() + QLatin1Char('\x1f') + QString::number(width) + QLatin1Char('\x1f') +
        (background.isValid() ? background.name() : QString()) + QLatin1Char('\x1f') + html;
    QCache<QString, ContentTextDocument>& rows = laidOutRows();
    if (ContentTextDocument* doc = rows.object(key))
        return *doc;
    auto* doc = new ContentTextDocument;
    doc->setDefaultFont(font);
    doc->setHtml(html);
    // The row stands on the list's own colours (the page's, see SchemePalette): the page's background
    // is not painted again behind the text, where it would box the verse in on a selected row.
    QTextFrameFormat root = doc->rootFrame()->frameFormat();
    root.clearBackground();
    doc->rootFrame()->setFrameFormat(root);
    if (background.isValid())
        readableOn(*doc, background);
    doc->setTextWidth(width);
    doc->documentLayout()->documentSize();  // laid out now, not at the first paint
    ++documentsMadeForRows;
    const QTextDocument& made = *doc;
    rows.insert(key, doc, int(std::min<qsizetype>(4 + html.size() / 1024, kLaidOutRowsCost)));
    return made;
}

int StudyPaneHitDelegate::documentsMade()
{
    return documentsMadeForRows;
}

int StudyPaneHitDelegate::htmlHeight(const QString& html, const QFont& font, int width, int room)
{
    return int(std::ceil(bottomOfLines(laidOutHtml(html, font, std::max(width, 1)), room)));
}

QRect StudyPaneHitDelegate::paintTitleAndHtml(QPainter* painter, const QStyleOptionViewItem& option, const QRect& r,
    const QString& title, const QString& html, bool* overflows)
{
    QFont bold = option.font;
    bold.setBold(true);
    painter->setFont(bold);
    painter->setPen(option.palette.text().color());
    const int line = QFontMetrics(bold).height();
    painter->drawText(QRect(r.x(), r.y() + 1, r.width(), line), Qt::AlignLeft | Qt::AlignVCenter,
        QFontMetrics(bold).elidedText(title, Qt::ElideRight, r.width()));
    const QTextDocument& doc = laidOutHtml(html, option.font, std::max(r.width(), 1),
        (option.state & QStyle::State_Selected) != 0 ? option.palette.highlight().color() : QColor());
    painter->translate(r.x(), r.y() + line + 1);
    // Only whole lines: a line the row cannot hold is left out, never cut through.
    const int room = option.rect.height() - line - 2;
    const int whole = int(std::ceil(bottomOfLines(doc, room)));
    const QRect clip(0, 0, r.width(), whole > 0 ? std::min(whole, room) : room);
    painter->setClipRect(clip, Qt::IntersectClip);
    QAbstractTextDocumentLayout::PaintContext ctx;
    ctx.clip = clip;
    ctx.palette.setColor(QPalette::Text, option.palette.text().color());
    doc.documentLayout()->draw(painter, ctx);
    if (overflows != nullptr)
        *overflows = bottomOfLines(doc, -1) > clip.height() + 1;
    return clip;
}

int StudyPaneHitDelegate::titleAndTextRowHeight(const UserDefaults* defaults, const QFont& font, int lines)
{
    // Measured once per font, text size and body font: every row of a list asks.
    const QString key = font.key() + QLatin1Char('|') + QString::number(lines) + QLatin1Char('|') +
        (defaults == nullptr ? QStringLiteral("-")
                             : QString::number(defaults->value(SettingsKeys::BaseFontSize)) + QLatin1Char('|') +
                    defaults->value(SettingsKeys::BodyFont));
    static QHash<QString, int> measured;
    if (const auto found = measured.constFind(key); found != measured.constEnd())
        return *found;
    QStringList text;
    for (int i = 0; i < std::max(lines, 1); ++i)
        text << QStringLiteral("Xg");
    ContentTextDocument doc;
    doc.setDefaultFont(font);
    doc.setHtml(SearchResultPage::page(defaults, text.join(QStringLiteral("<br>"))));
    doc.setTextWidth(10000);
    QFont bold = font;
    bold.setBold(true);
    const int height = QFontMetrics(bold).height() + 2 + int(std::ceil(bottomOfLines(doc, -1))) + 1;
    if (measured.size() > 64)
        measured.clear();
    measured.insert(key, height);
    return height;
}

QSize StudyPaneHitDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const int kind = index.data(StudyPaneResultListModel::KindRole).toInt();
    QFont bold = option.font;
    bold.setBold(true);
    if (kind == StudyPaneResultListModel::LargeHit) {
        // As tall as the lines of text it shows, up to its most: a short verse leaves no gap under it.
        const int most = titleAndTextRowHeight(m_defaults, option.font, StudyPaneHitList::kLargeRowTextLines);
        const int title = QFontMetrics(bold).height();
        const QString html = index.data(StudyPaneResultListModel::HtmlRole).toString();
        const int width = option.rect.width() - 8;
        const int text = html.isEmpty() || width <= 0 ? 0 : htmlHeight(html, option.font, width, most - title - 3);
        return QSize(option.rect.width(), text > 0 ? std::min(most, title + 3 + text) : most);
    }
    return QSize(option.rect.width(), std::max(StudyPaneHitList::kSmallRowHeight, QFontMetrics(bold).height() + 2));
}

void StudyPaneHitDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const int kind = index.data(StudyPaneResultListModel::KindRole).toInt();
    painter->save();
    painter->setClipRect(option.rect);
    const QRect r = option.rect.adjusted(4, 0, -4, 0);
    if (kind == StudyPaneResultListModel::Header) {
        painter->fillRect(option.rect, option.palette.alternateBase());
        QFont bold = option.font;
        bold.setBold(true);
        painter->setFont(bold);
        painter->setPen(option.palette.text().color());
        painter->drawText(r, Qt::AlignVCenter | Qt::AlignLeft,
            option.fontMetrics.elidedText(index.data().toString(), Qt::ElideRight, r.width()));
    } else {
        if (option.state & QStyle::State_Selected)
            painter->fillRect(option.rect, option.palette.highlight());
        const QString title = index.data(StudyPaneResultListModel::TitleRole).toString();
        painter->setPen(option.palette.text().color());
        if (kind == StudyPaneResultListModel::SmallHit) {
            painter->drawText(
                r, Qt::AlignVCenter | Qt::AlignLeft, option.fontMetrics.elidedText(title, Qt::ElideRight, r.width()));
        } else {
            bool overflows = false;
            const QRect clip = paintTitleAndHtml(
                painter, option, r, title, index.data(StudyPaneResultListModel::HtmlRole).toString(), &overflows);
            if (overflows) {
                // The verse goes on below the cell: say so at its bottom right.
                const QString more = QStringLiteral("\u2026");
                const QFontMetrics fm(option.font);
                const QRect mark(clip.right() - fm.horizontalAdvance(more) - 6, clip.bottom() - fm.height() + 1,
                    fm.horizontalAdvance(more) + 6, fm.height());
                painter->fillRect(
                    mark, option.state & QStyle::State_Selected ? option.palette.highlight() : option.palette.base());
                painter->setFont(option.font);
                painter->drawText(mark, Qt::AlignRight | Qt::AlignBottom, more);
            }
        }
        painter->setPen(option.palette.mid().color());
        painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
    }
    painter->restore();
    paintCurrentFrame(painter, option);
}

void StudyPaneHitDelegate::paintCurrentFrame(QPainter* painter, const QStyleOptionViewItem& option)
{
    if (!(option.state & QStyle::State_HasFocus))
        return;
    painter->save();
    const QColor selection = option.palette.color(QPalette::Active, QPalette::Highlight);
    QColor frame = selection.darker(option.state & QStyle::State_Selected ? 160 : 100);
    // A selection that barely stands apart from the list (a page whose text reads on nothing lighter)
    // is framed in the text's colour, which reads there.
    const auto rgb = [](const QColor& c) { return ReadableColors::Rgb {c.redF(), c.greenF(), c.blueF()}; };
    if (ReadableColors::contrast(rgb(selection), rgb(option.palette.color(QPalette::Active, QPalette::Base))) < 1.5)
        frame = option.palette.color(QPalette::Active, QPalette::Text);
    QPen pen(frame);
    pen.setWidth(2);
    pen.setJoinStyle(Qt::MiterJoin);
    painter->setPen(pen);
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(option.rect.adjusted(1, 1, -1, -1));
    painter->restore();
}
