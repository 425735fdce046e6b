#include "cloud/store/ui/BookKindLists.h"

#include <QBoxLayout>
#include <QKeyEvent>
#include <QListWidget>

#include <utility>

namespace qs::cloud {

namespace {

// The keys of the two lists: Return on a book chooses it (the sheet's default button is not
// pressed), Right or Return goes from the kinds to the books, Left back.
class ListKeys : public QObject {
public:
    ListKeys(QListWidget* kinds, QListWidget* books, std::function<void(int)> bookChosen, QObject* parent)
        : QObject(parent), m_kinds(kinds), m_books(books), m_bookChosen(std::move(bookChosen))
    {
        kinds->installEventFilter(this);
        books->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() & ~Qt::KeypadModifier)
            return false;
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        const bool fromKinds = watched == m_kinds && (enter || key->key() == Qt::Key_Right);
        const bool fromBooks = watched == m_books && (enter || key->key() == Qt::Key_Left);
        if (!fromKinds && !fromBooks)
            return false;
        if (event->type() == QEvent::ShortcutOverride) {
            // The key is the list's, not a shortcut's.
            event->accept();
            return true;
        }
        if (fromKinds) {
            if (m_books->count() > 0) {
                if (m_books->currentRow() < 0)
                    m_books->setCurrentRow(0);
                m_books->setFocus(Qt::TabFocusReason);
            }
        } else if (enter) {
            if (m_books->currentRow() >= 0)
                m_bookChosen(m_books->currentRow());
        } else {
            m_kinds->setFocus(Qt::BacktabFocusReason);
        }
        return true;
    }

private:
    QListWidget* m_kinds;
    QListWidget* m_books;
    std::function<void(int)> m_bookChosen;
};

}  // namespace

BookKindLists::BookKindLists(QWidget* sheet, QBoxLayout* into, std::function<void(int row)> kindChosen,
    std::function<void(int row)> bookChosen, BookChoice choice)
    : m_kinds(new QListWidget(sheet)), m_books(new QListWidget(sheet))
{
    m_kinds->setObjectName(QStringLiteral("BookKinds"));
    m_kinds->setIconSize(QSize(92, 92));
    m_kinds->setFixedWidth(250);
    m_kinds->setSpacing(2);
    m_books->setObjectName(QStringLiteral("Books"));
    into->addWidget(m_kinds);
    into->addWidget(m_books, 1);
    // The kind follows the current row, however it moved; not while the list is being filled.
    QObject::connect(m_kinds, &QListWidget::currentRowChanged, sheet, [this, kindChosen](int row) {
        if (!m_filling && row >= 0)
            kindChosen(row);
    });
    QListWidget* bookList = m_books;
    const auto chooseBook = [bookList, bookChosen](QListWidgetItem* item) { bookChosen(bookList->row(item)); };
    if (choice == BookChoice::Click)
        QObject::connect(m_books, &QListWidget::itemClicked, sheet, chooseBook);
    else
        QObject::connect(m_books, &QListWidget::itemActivated, sheet, chooseBook);
    new ListKeys(m_kinds, m_books, std::move(bookChosen), sheet);
}

void BookKindLists::showKinds(const StoreContext& context, const QList<BookKind>& kinds)
{
    m_filling = true;
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
    m_filling = false;
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
