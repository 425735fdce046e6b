#include "cloud/store/ui/BookKindLists.h"

#include <QBoxLayout>
#include <QListWidget>

namespace qs::cloud {

BookKindLists::BookKindLists(QWidget* sheet, QBoxLayout* into, std::function<void(int row)> kindClicked,
    std::function<void(int row)> bookClicked)
    : m_kinds(new QListWidget(sheet)), m_books(new QListWidget(sheet))
{
    m_kinds->setObjectName(QStringLiteral("BookKinds"));
    m_kinds->setIconSize(QSize(92, 92));
    m_kinds->setFixedWidth(250);
    m_kinds->setSpacing(2);
    m_books->setObjectName(QStringLiteral("Books"));
    into->addWidget(m_kinds);
    into->addWidget(m_books, 1);
    QListWidget* kindList = m_kinds;
    QObject::connect(m_kinds, &QListWidget::itemClicked, sheet,
        [kindList, kindClicked = std::move(kindClicked)](QListWidgetItem* item) { kindClicked(kindList->row(item)); });
    QListWidget* bookList = m_books;
    QObject::connect(m_books, &QListWidget::itemClicked, sheet,
        [bookList, bookClicked = std::move(bookClicked)](QListWidgetItem* item) { bookClicked(bookList->row(item)); });
}

void BookKindLists::showKinds(const StoreContext& context, const QList<BookKind>& kinds)
{
    m_kinds->clear();
    for (const BookKind& kind : kinds) {
        auto* item = new QListWidgetItem(kind.name, m_kinds);
        const QPixmap picture = BookKinds::composite(context, kind);
        if (!picture.isNull())
            item->setIcon(QIcon(picture));
        item->setForeground(kind.active ? Qt::black : Qt::gray);
        if (!kind.active)
            item->setFlags(item->flags() & ~Qt::ItemIsEnabled);
    }
    m_kinds->setCurrentRow(m_selectedRow);
}

bool BookKindLists::choose(const QList<BookKind>& kinds, int row)
{
    if (row == m_selectedRow || row < 0 || row >= kinds.size())
        return false;
    if (!kinds[row].active) {
        m_kinds->setCurrentRow(m_selectedRow);
        return false;
    }
    m_selectedRow = row;
    m_kinds->setCurrentRow(row);
    return true;
}

}  // namespace qs::cloud
