// The list of the bookmark and highlight sub-panes: the sections of one book that a look-up found
// (the bookmarks of a category, the verses of a colour), in book order, shown by their titles in a
// one-column table under the book's name. Choosing a row goes to its section.
//
// Owned by its sub-pane; the table belongs to the sub-pane's view. Main thread only.
#pragma once

#include "library/SourceTuple.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

class BitVector;
class QTableWidget;
class QWidget;

class StudyPaneSectionList {
public:
    // Makes the table under the parent; a clicked or activated row goes to `activate`.
    QTableWidget* makeTable(QWidget* parent, QObject* receiver, std::function<void(int row)> activate);
    QTableWidget* table() const { return m_table; }
    // The sections listed, in book order.
    const QList<quint32>& sections() const { return m_sections; }
    // The column's title: the book's name, set when the list is next shown after a reset.
    const std::optional<QString>& header() const { return m_header; }
    void resetHeader() { m_header.reset(); }

    // Lists what `find` marks in the book's sections (nothing without a book), with a fresh header.
    void list(const SourceTuple::Ptr& book, const std::function<void(BitVector& found)>& find);
    // Shows the sections of the book in the table (no rows without a book).
    void show(const SourceTuple::Ptr& book);
    // Goes to the row's section through `goTo` (nothing for a row without one, or without a book),
    // then deselects the row.
    void activate(int row, const SourceTuple::Ptr& book, const std::function<void(quint32 section)>& goTo);

private:
    QTableWidget* m_table = nullptr;
    std::optional<QString> m_header;
    QList<quint32> m_sections;
};
