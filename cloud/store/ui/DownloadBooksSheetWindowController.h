// DownloadBooksSheetWindowController: the Cloud Library sheet. It lists the books the signed-in
// customer owns (the owned-books list, refreshed when the sheet opens) by kind with covers, and
// starts, cancels, updates and removes downloads and installed copies: choosing a book that is not
// installed downloads it, one being downloaded offers to cancel it, an installed one offers to remove
// it (or, when the server has a newer file, to replace it). Each row shows a progress bar while its
// book downloads; failures are shown in an alert with the reason. A downloaded book is installed in
// the library, from where the Open Book sheet opens it. Products marked for automatic installation
// are downloaded when the list arrives.
//
// BookTableCellView is the view of one book row. The shell makes the sheet with factory() (it deletes
// itself when closed) and connects switchToOpenBook / switchToBookstore. Main thread only.
#pragma once

#include "cloud/store/OwnedBooksManager.h"
#include "cloud/store/ui/BookKindLists.h"
#include "cloud/store/ui/BookKinds.h"
#include "cloud/store/ui/StoreContext.h"
#include "platform/ui/PlainLabel.h"

#include <QDialog>
#include <QHash>
#include <QStringList>
#include <memory>

class QCheckBox;
class QLabel;
class QListWidget;
class QProgressBar;
struct Notification;

namespace qs::cloud {

class BookTableCellView : public QWidget {
    Q_OBJECT
public:
    explicit BookTableCellView(QWidget* parent = nullptr);
    QLabel* imageView() const { return m_image; }
    PlainLabel* textField() const { return m_text; }
    QLabel* sizeField() const { return m_size; }
    QProgressBar* progressIndicator() const { return m_progress; }
    QLabel* messageField() const { return m_message; }

private:
    QLabel* m_image;
    PlainLabel* m_text;
    QLabel* m_size;
    QProgressBar* m_progress;
    QLabel* m_message;
};

class DownloadBooksSheetWindowController : public QDialog {
    Q_OBJECT
public:
    static inline const QString kNewerVersionMessage =
        QStringLiteral("A newer version is available. Remove and re-download.");

    DownloadBooksSheetWindowController(const StoreContext& context, QWidget* parent = nullptr);
    ~DownloadBooksSheetWindowController() override;

    // A sheet over `parent` that deletes itself when closed; windowDidLoad has run.
    static DownloadBooksSheetWindowController* factory(const StoreContext& context, QWidget* parent);

    // Observes the managers, reads the stored kind row and check box, lists the cached books, then
    // asks for the sign-in or refreshes the owned-books list.
    void windowDidLoad();
    void closeDownloadBooksSheet();
    void onSwitchToOpenBookWindow();
    void onSwitchToBookstoreWindow();

    const QList<BookKind>& kinds() const { return m_kinds; }
    const QList<OwnedBook>& bookList() const { return m_bookList; }

    void chooseKindRow(int row);
    void chooseBookRow(int row);
    void hideDownloadedBooks();
    void onDownloadAllBooks();
    void onCancelAllDownloads();
    void downloadBook(const OwnedBook& book);
    bool bookIsBeingDownloaded(const OwnedBook& book) const;
    bool isInstalled(const OwnedBook& book) const;
    // Installed, the installed copy's date is earlier than the server's file's, and (when the list
    // names the file's digest) its contents are not that file's.
    bool isOutOfDate(const OwnedBook& book) const;
    // The row of the book a request names, or -1.
    int rowForBook(const QVariantMap& request) const;

    // "1k", "1,025k", "1,000,001k": the file size in kilobytes, rounded up past every whole k.
    static QString sizeText(qint64 fileSize);

    BookTableCellView* cellForRow(int row) const;

signals:
    void switchToOpenBook();
    void switchToBookstore();

private:
    void buildKinds();
    void loadBookList();
    void reloadBooksTable();
    void fillCell(BookTableCellView* cell, const OwnedBook& book);
    void setRefreshing(bool on);
    void ownedListFinished(bool failed, const Notification& notification);
    void downloadProgress(const QVariantMap& request);
    void automaticDownloads();
    QVariantMap identityRequest(const OwnedBook& book) const;
    static QString progressKey(const QVariantMap& request);
    // Whether the file has this size and SHA-256 digest (lower-case hex).
    static bool sameContents(const QString& path, qint64 size, const QString& sha256);

    StoreContext m_context;
    QList<BookKind> m_kinds;
    QList<OwnedBook> m_bookList;
    QList<OwnedBook> m_alreadyDownloadedList;
    // The books the list shows, by their key (progressKey), row by row.
    QStringList m_shownProducts;
    bool m_closed = false;
    // The last progress of each download in transfer, so a redrawn row keeps its bar.
    QHash<QString, double> m_progress;

    std::unique_ptr<BookKindLists> m_lists;
    QCheckBox* m_hideDownloaded = nullptr;
    QProgressBar* m_refreshingIndicator = nullptr;
    QLabel* m_refreshingLabel = nullptr;
};

}  // namespace qs::cloud
