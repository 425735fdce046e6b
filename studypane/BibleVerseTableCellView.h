// BibleVerseTableCellView: the cell painter of the Bible go-to's list of recent verses. Owned by the
// table it paints; main thread only.
#pragma once

#include <QStyledItemDelegate>

class UserDefaults;

// Paints a recent verse: its reference in bold above its text (HTML).
class BibleVerseTableCellView : public QStyledItemDelegate {
    Q_OBJECT
public:
    // A row shows the reference and this many lines of the verse.
    static constexpr int kTextLines = 2;
    enum Role { HtmlRole = Qt::UserRole + 1 };
    // The verse is measured at the text size of `defaults` (the pane's).
    BibleVerseTableCellView(const UserDefaults* defaults, QObject* parent)
        : QStyledItemDelegate(parent), m_defaults(defaults)
    {
    }
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    const UserDefaults* m_defaults;
};
