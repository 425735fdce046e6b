// BookKindLists: the two lists both library sheets show side by side, the six kinds on the left
// (each with the stack of its covers; a kind without books is grey and cannot be chosen) and the books
// of the chosen kind on the right. It keeps which kind is chosen; the sheet fills the books list.
// Both lists work from the keyboard as from the mouse.
//
// The lists are children of the sheet they are made in and live as long as it. Main thread only.
#pragma once

#include "cloud/store/ui/BookKinds.h"

#include <functional>

class QBoxLayout;
class QListWidget;
class QWidget;

namespace qs::cloud {

struct StoreContext;

class BookKindLists {
public:
    // How a book row is chosen: with one click (a row that acts, as the Cloud Library's), or as a
    // desktop's list opens an item, with a double-click (or the desktop's single click where it
    // opens items so).
    enum class BookChoice { Click, Activation };

    // Lays the two lists out in `into`. The kind list chooses the kind its current row moves to
    // (a click or the arrow keys); a book row chosen as `choice` says calls `bookChosen`. From the
    // keyboard: Up and Down move in either list, Right and Return go from the kinds to the books,
    // Left back, and Return (or Enter) on a book chooses it, never the sheet's default button.
    BookKindLists(QWidget* sheet, QBoxLayout* into, std::function<void(int row)> kindChosen,
        std::function<void(int row)> bookChosen, BookChoice choice = BookChoice::Click);

    QListWidget* kinds() const { return m_kinds; }
    QListWidget* books() const { return m_books; }
    int selectedRow() const { return m_selectedRow; }
    void setSelectedRow(int row) { m_selectedRow = row; }

    // Lists `kinds` with their pictures, the chosen one current.
    void showKinds(const StoreContext& context, const QList<BookKind>& kinds);
    // Choosing a kind row: true when it is another row with books, which is then the chosen one and
    // current; a row without books (or out of range) leaves the chosen one current and answers false.
    bool choose(const QList<BookKind>& kinds, int row);

private:
    QListWidget* m_kinds;
    QListWidget* m_books;
    int m_selectedRow = 0;
    bool m_filling = false;
};

}  // namespace qs::cloud
