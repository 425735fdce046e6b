#include "studypane/BibleVerseTableCellView.h"

#include "studypane/StudyPaneHitList.h"

#include <QPainter>

QSize BibleVerseTableCellView::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    return QSize(option.rect.width(), StudyPaneHitDelegate::titleAndTextRowHeight(m_defaults, option.font, kTextLines));
}

void BibleVerseTableCellView::paint(
    QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    painter->save();
    painter->setClipRect(option.rect);
    if (option.state & QStyle::State_Selected)
        painter->fillRect(option.rect, option.palette.highlight());
    StudyPaneHitDelegate::paintTitleAndHtml(
        painter, option, option.rect.adjusted(4, 0, -4, 0), index.data().toString(), index.data(HtmlRole).toString());
    painter->restore();
    painter->save();
    painter->setPen(option.palette.mid().color());
    painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
    painter->restore();
    StudyPaneHitDelegate::paintCurrentFrame(painter, option);
}
