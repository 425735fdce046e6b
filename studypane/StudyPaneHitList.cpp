#include "studypane/StudyPaneHitList.h"

#include "platform/ui/ContentTextDocument.h"
#include "search/execution/SearchExecutor.h"
#include "search/execution/SearchResultsAggregator.h"

#include <QAbstractTextDocumentLayout>
#include <QHeaderView>
#include <QPainter>
#include <QTableView>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

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

QTableView* StudyPaneHitList::makeTable(QWidget* parent, QObject* owner)
{
    m_model = new StudyPaneResultListModel(*this,
        {Qt::DisplayRole, Qt::ToolTipRole, StudyPaneResultListModel::TitleRole, StudyPaneResultListModel::HtmlRole},
        owner);
    labelColumn();
    // One column of rows of their own heights, chosen whole and one at a time, never edited.
    auto* table = new QTableView(parent);
    table->setObjectName(QStringLiteral("searchResultsTableView"));
    table->setModel(m_model);
    table->setItemDelegate(new StudyPaneHitDelegate(table));
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setShowGrid(false);
    table->setWordWrap(true);
    table->verticalHeader()->hide();
    table->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
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
    if (std::optional<QVariant> header = StudyPaneResultListModel::hitHeaderData(agg, row, role))
        return *header;
    return m_hitData(agg, row, role);
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
    ContentTextDocument doc;
    doc.setDefaultFont(option.font);
    doc.setHtml(html);
    doc.setTextWidth(r.width());
    painter->translate(r.x(), r.y() + line + 1);
    const QRect clip(0, 0, r.width(), option.rect.height() - line - 2);
    painter->setClipRect(clip, Qt::IntersectClip);
    QAbstractTextDocumentLayout::PaintContext ctx;
    ctx.clip = clip;
    ctx.palette.setColor(QPalette::Text, option.palette.text().color());
    doc.documentLayout()->draw(painter, ctx);
    if (overflows != nullptr) {
        // The bottom of the last line (the document's own height also counts its margins).
        const QTextBlock last = doc.lastBlock();
        qreal textBottom = 0;
        if (last.isValid() && last.layout() != nullptr && last.layout()->lineCount() > 0) {
            const QTextLine lastLine = last.layout()->lineAt(last.layout()->lineCount() - 1);
            textBottom = doc.documentLayout()->blockBoundingRect(last).top() + lastLine.y() + lastLine.height();
        }
        *overflows = textBottom > clip.height() + 1;
    }
    return clip;
}

QSize StudyPaneHitDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const int kind = index.data(StudyPaneResultListModel::KindRole).toInt();
    const int h = kind == StudyPaneResultListModel::LargeHit ? StudyPaneHitList::kLargeRowHeight
                                                             : StudyPaneHitList::kSmallRowHeight;
    return QSize(option.rect.width(), std::max(h, option.fontMetrics.height() + 2));
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
}
