#include "studypane/StudyPaneSectionList.h"

#include "platform/ui/ContentTextDocument.h"
#include "search/core/BitVector.h"

#include <QHeaderView>
#include <QTableWidget>

QTableWidget* StudyPaneSectionList::makeTable(QWidget* parent, QObject* receiver, std::function<void(int row)> activate)
{
    m_table = new QTableWidget(0, 1, parent);
    m_table->setObjectName(QStringLiteral("sectionList"));
    m_table->setTabKeyNavigation(false);  // Tab leaves the list for the next control
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_table->setShowGrid(false);
    QObject::connect(m_table, &QTableWidget::cellClicked, receiver, [activate](int r, int) { activate(r); });
    QObject::connect(m_table, &QTableWidget::cellActivated, receiver, [activate](int r, int) { activate(r); });
    return m_table;
}

void StudyPaneSectionList::list(const SourceTuple::Ptr& book, const std::function<void(BitVector& found)>& find)
{
    m_header.reset();
    m_sections.clear();
    if (book != nullptr) {
        BitVector found(1);
        find(found);
        for (uint32_t s = found.first(true); s != cBitVector::kNone; s = found.nextAfter(s, true))
            m_sections.append(s);
    }
    show(book);
}

void StudyPaneSectionList::show(const SourceTuple::Ptr& book)
{
    if (m_table == nullptr)
        return;
    if (!m_header)
        m_header = book ? book->record().name : QString();
    auto* item = new QTableWidgetItem(*m_header);
    item->setToolTip(ContentTextDocument::plainToolTip(*m_header));
    m_table->setHorizontalHeaderItem(0, item);
    m_table->clearContents();
    m_table->setRowCount(book ? int(m_sections.size()) : 0);
    for (int r = 0; r < m_table->rowCount(); ++r)
        m_table->setItem(r, 0, new QTableWidgetItem(book->words().plainTextSearchResultTitleForSection(m_sections[r])));
}

void StudyPaneSectionList::activate(
    int row, const SourceTuple::Ptr& book, const std::function<void(quint32 section)>& goTo)
{
    if (row >= 0 && row < m_sections.size() && m_sections[row] != 0 && book)
        goTo(m_sections[row]);
    if (m_table != nullptr) {
        const QSignalBlocker block(m_table->selectionModel());
        m_table->clearSelection();
    }
}
