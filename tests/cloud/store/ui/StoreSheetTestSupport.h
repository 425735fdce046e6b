// What the tests of the store's sheets share: a sheet's lists, found among its widgets as the user
// sees them (the Open Book and Cloud Library sheets both show the kinds of books beside the books of
// the chosen kind).
#pragma once

#include <QLabel>
#include <QListWidget>
#include <QString>
#include <QWidget>

namespace store_sheet_test {

inline QListWidget* kindsList(const QWidget* sheet)
{
    return sheet->findChild<QListWidget*>(QStringLiteral("BookKinds"));
}

inline QListWidget* booksList(const QWidget* sheet)
{
    return sheet->findChild<QListWidget*>(QStringLiteral("Books"));
}

// The Cloud Library sheet's line that shows while the list of owned books is being brought up to date.
inline QLabel* refreshingLabel(const QWidget* sheet)
{
    return sheet->findChild<QLabel*>(QStringLiteral("refreshingBookListLabel"));
}

}  // namespace store_sheet_test
