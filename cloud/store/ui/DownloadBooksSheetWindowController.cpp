#include "cloud/store/ui/DownloadBooksSheetWindowController.h"
#include "platform/ui/ContentTextDocument.h"
#include "platform/ui/PlainLabel.h"

#include "cloud/store/CoverArtManager.h"
#include "cloud/store/DownloadBooksManager.h"
#include "cloud/store/StoreNotifications.h"
#include "library/SourceManager.h"
#include "platform/Alerts.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"

#include <QCheckBox>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace qs::cloud {

namespace {
constexpr int kRowHeight = 60;

int askYesNo(Alerts& alerts, const QString& message, const QString& informative)
{
    Alert alert;
    alert.messageText = message;
    alert.informativeText = informative;
    alert.buttons = {QStringLiteral("Yes"), QStringLiteral("No")};
    alert.style = AlertStyle::Informational;
    return alerts.runModal(alert);
}

}  // namespace

// ---- BookTableCellView ----

BookTableCellView::BookTableCellView(QWidget* parent) : QWidget(parent)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 2, 8, 2);
    m_image = new PlainLabel(this);
    m_image->setFixedSize(40, 54);
    m_image->setAlignment(Qt::AlignCenter);
    row->addWidget(m_image);
    auto* column = new QVBoxLayout;
    column->setSpacing(2);
    m_text = new PlainLabel(this);
    QFont bold = m_text->font();
    bold.setBold(true);
    m_text->setFont(bold);
    // A long title ends in an ellipsis where the row ends (the whole title in its tool tip).
    m_text->setElidesText(true);
    column->addWidget(m_text);
    auto* line = new QHBoxLayout;
    m_size = new PlainLabel(this);
    m_size->setMinimumWidth(80);
    line->addWidget(m_size);
    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 1000);
    m_progress->setTextVisible(false);
    m_progress->setMaximumHeight(12);
    m_progress->hide();
    line->addWidget(m_progress, 1);
    line->addStretch(0);
    column->addLayout(line);
    m_message = new PlainLabel(this);
    m_message->setStyleSheet(QStringLiteral("color: red"));
    m_message->hide();
    column->addWidget(m_message);
    row->addLayout(column, 1);
}

// ---- DownloadBooksSheetWindowController ----

DownloadBooksSheetWindowController::DownloadBooksSheetWindowController(const StoreContext& context, QWidget* parent)
    : QDialog(parent), m_context(context)
{
    setObjectName(QStringLiteral("DownloadBooksSheet"));
    setWindowTitle(tr("Cloud Library"));
    setWindowModality(parent ? Qt::WindowModal : Qt::NonModal);
    resize(780, 560);

    auto* column = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(
        new PlainLabel(tr("Books you own. Choose one to download it, or to remove a downloaded copy."), this), 1);
    m_refreshingLabel = new PlainLabel(tr("Updating the list of books you own..."), this);
    m_refreshingLabel->setObjectName(QStringLiteral("refreshingBookListLabel"));
    m_refreshingLabel->hide();
    m_refreshingIndicator = new QProgressBar(this);
    m_refreshingIndicator->setRange(0, 0);
    m_refreshingIndicator->setMaximumWidth(80);
    m_refreshingIndicator->setMaximumHeight(12);
    m_refreshingIndicator->hide();
    top->addWidget(m_refreshingLabel);
    top->addWidget(m_refreshingIndicator);
    column->addLayout(top);

    auto* lists = new QHBoxLayout;
    m_lists = std::make_unique<BookKindLists>(
        this, lists, [this](int row) { chooseKindRow(row); }, [this](int row) { chooseBookRow(row); });
    m_lists->books()->setSelectionMode(QAbstractItemView::SingleSelection);
    column->addLayout(lists, 1);

    auto* bottom = new QHBoxLayout;
    m_hideDownloaded = new QCheckBox(tr("Hide downloaded books"), this);
    m_hideDownloaded->setObjectName(QStringLiteral("hideDownloadedCheckbox"));
    bottom->addWidget(m_hideDownloaded);
    bottom->addStretch(1);
    auto* all = new QPushButton(tr("Download All"), this);
    auto* cancelAll = new QPushButton(tr("Cancel All"), this);
    auto* open = new QPushButton(tr("Open Book..."), this);
    auto* store = new QPushButton(tr("Bookstore..."), this);
    auto* done = new QPushButton(tr("Done"), this);
    for (QPushButton* b : {all, cancelAll, open, store, done})
        bottom->addWidget(b);
    column->addLayout(bottom);

    connect(m_hideDownloaded, &QCheckBox::clicked, this, [this] { hideDownloadedBooks(); });
    connect(all, &QPushButton::clicked, this, [this] { onDownloadAllBooks(); });
    connect(cancelAll, &QPushButton::clicked, this, [this] { onCancelAllDownloads(); });
    connect(open, &QPushButton::clicked, this, [this] { onSwitchToOpenBookWindow(); });
    connect(store, &QPushButton::clicked, this, [this] { onSwitchToBookstoreWindow(); });
    connect(done, &QPushButton::clicked, this, [this] { closeDownloadBooksSheet(); });
}

DownloadBooksSheetWindowController::~DownloadBooksSheetWindowController()
{
    m_context.window.notifications().removeObserver(this);
}

DownloadBooksSheetWindowController* DownloadBooksSheetWindowController::factory(
    const StoreContext& context, QWidget* parent)
{
    auto* sheet = new DownloadBooksSheetWindowController(context, parent);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->windowDidLoad();
    return sheet;
}

void DownloadBooksSheetWindowController::windowDidLoad()
{
    NotificationCenter& center = m_context.window.notifications();
    center.removeObserver(this);
    center.addObserver(this, StoreNotifications::qsCoverArtFinishedDownloading, [this](Notification&) {
        m_lists->showKinds(m_context, m_kinds);
        reloadBooksTable();
    });
    center.addObserver(
        this, StoreNotifications::qsOwnedBooksListStartedDownloading, [this](Notification&) { setRefreshing(true); });
    center.addObserver(this, StoreNotifications::qsOwnedBooksListFinishedDownloading,
        [this](Notification& n) { ownedListFinished(false, n); });
    center.addObserver(this, StoreNotifications::qsOwnedBooksListFinishedDownloadingWithError,
        [this](Notification& n) { ownedListFinished(true, n); });
    center.addObserver(this, StoreNotifications::qsDownloadBooksFinishedDownloading, [this](Notification& n) {
        m_progress.remove(progressKey(n.userInfo));
        loadBookList();
        reloadBooksTable();
    });
    center.addObserver(this, StoreNotifications::qsDownloadBooksProgressNotification,
        [this](Notification& n) { downloadProgress(n.userInfo); });
    center.addObserver(this, StoreNotifications::qsDownloadBooksFinishedDownloadingWithError, [this](Notification& n) {
        m_progress.remove(progressKey(n.userInfo));
        loadBookList();
        reloadBooksTable();
        // Shown once the manager has finished with the failure, not from inside its notification.
        if (n.userInfo.contains(QStringLiteral("error"))) {
            const QVariantMap error = n.userInfo.value(QStringLiteral("error")).toMap();
            QMetaObject::invokeMethod(
                this,
                [this, error] {
                    m_context.showErrorAlert(error, QStringLiteral("There was a problem downloading this book."));
                },
                Qt::QueuedConnection);
        }
    });

    // A stored row outside the six kinds shows the first.
    m_lists->setSelectedRow(BookKinds::clampRow(m_context.window.settings().value(SettingsKeys::SelectedBookKindRow)));
    m_hideDownloaded->setChecked(m_context.window.settings().value(SettingsKeys::HideDownloaded));
    loadBookList();
    if (!m_kinds.value(m_lists->selectedRow()).active) {
        m_lists->setSelectedRow(0);
        loadBookList();
    }
    m_lists->showKinds(m_context, m_kinds);
    reloadBooksTable();

    if (!m_context.signedIn()) {
        m_context.showSignInAlert();
        return;
    }
    if (m_context.ownedBooks->isRefreshing())
        setRefreshing(true);
    m_context.ownedBooks->refresh(m_context.caller(), QString(), m_context.script);
}

void DownloadBooksSheetWindowController::closeDownloadBooksSheet()
{
    if (m_closed)
        return;
    m_closed = true;
    m_context.window.notifications().removeObserver(this);
    close();
}

void DownloadBooksSheetWindowController::onSwitchToOpenBookWindow()
{
    closeDownloadBooksSheet();
    emit switchToOpenBook();
}

void DownloadBooksSheetWindowController::onSwitchToBookstoreWindow()
{
    closeDownloadBooksSheet();
    emit switchToBookstore();
}

QString DownloadBooksSheetWindowController::sizeText(qint64 fileSize)
{
    const qint64 k = std::max<qint64>(fileSize, 0) / 1024 + 1;
    if (k < 1000)
        return QStringLiteral("%1k").arg(k);
    if (k < 1000000)
        return QStringLiteral("%1,%2k").arg(k / 1000).arg(k % 1000, 3, 10, QLatin1Char('0'));
    return QStringLiteral("%1,%2,%3k")
        .arg(k / 1000000)
        .arg((k / 1000) % 1000, 3, 10, QLatin1Char('0'))
        .arg(k % 1000, 3, 10, QLatin1Char('0'));
}

void DownloadBooksSheetWindowController::buildKinds()
{
    m_kinds.clear();
    for (int row = 0; row < BookKinds::kCount; ++row) {
        const QList<OwnedBook> books = m_context.ownedBooks->ownedBooksArraySortedBy(0, BookKinds::includeValue(row));
        m_kinds.append(BookKinds::make(
            row, int(books.size()), [&](int i) { return qMakePair(books[i].publisherId, books[i].bookId); }));
    }
}

bool DownloadBooksSheetWindowController::isInstalled(const OwnedBook& book) const
{
    return m_context.window.books().allSources()->tupleForPubID(book.publisherId, book.bookId) != nullptr;
}

bool DownloadBooksSheetWindowController::isOutOfDate(const OwnedBook& book) const
{
    const SourceTuple::Ptr tuple = m_context.window.books().allSources()->tupleForPubID(book.publisherId, book.bookId);
    if (!tuple || !book.fileDate.isValid() || !tuple->record().modificationTime.isValid())
        return false;
    // A downloaded copy carries the store's date of its file (DownloadBooksManager).
    if (tuple->record().modificationTime >= book.fileDate)
        return false;
    // An older date on a copy of the very file the store offers (a copy made before the dates were
    // kept, or a file the store dated anew) offers nothing newer.
    return book.fileSha256.isEmpty() || !sameContents(tuple->record().filepath, book.fileSize, book.fileSha256);
}

bool DownloadBooksSheetWindowController::sameContents(const QString& path, qint64 size, const QString& sha256)
{
    const QFileInfo info(path);
    if (!info.isFile() || info.size() != size)
        return false;
    // Each file is read once while it stays as it is: the list is drawn again on every download.
    struct Known {
        qint64 size;
        QDateTime modified;
        QString sha256;
    };
    static QHash<QString, Known> known;
    const QDateTime modified = info.lastModified();
    auto it = known.constFind(path);
    if (it == known.cend() || it->size != info.size() || it->modified != modified) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        QCryptographicHash hash(QCryptographicHash::Sha256);
        if (!hash.addData(&file))
            return false;
        it = known.insert(path, {info.size(), modified, QString::fromLatin1(hash.result().toHex())});
    }
    return it->sha256 == sha256;
}

void DownloadBooksSheetWindowController::loadBookList()
{
    if (m_kinds.isEmpty())
        buildKinds();
    m_bookList = m_context.ownedBooks->ownedBooksArraySortedBy(0, BookKinds::includeValue(m_lists->selectedRow()));
    m_alreadyDownloadedList.clear();
    const bool hide = m_hideDownloaded->isChecked();
    for (qsizetype i = m_bookList.size() - 1; i >= 0; --i) {
        OwnedBook& book = m_bookList[i];
        book.installed = isInstalled(book);
        if (hide && book.installed && !isOutOfDate(book))
            m_alreadyDownloadedList.append(m_bookList.takeAt(i));
    }
}

void DownloadBooksSheetWindowController::hideDownloadedBooks()
{
    const bool hide = m_hideDownloaded->isChecked();
    m_context.window.settings().set(SettingsKeys::HideDownloaded, hide);
    if (hide) {
        loadBookList();
    } else {
        qsizetype at = 0;
        while (!m_alreadyDownloadedList.isEmpty()) {
            const OwnedBook book = m_alreadyDownloadedList.takeLast();
            while (at < m_bookList.size() &&
                m_bookList[at].productName.compare(book.productName, Qt::CaseInsensitive) <= 0)
                ++at;
            m_bookList.insert(at, book);
        }
    }
    reloadBooksTable();
}

void DownloadBooksSheetWindowController::fillCell(BookTableCellView* cell, const OwnedBook& book)
{
    QPixmap picture = BookKinds::cover(m_context, book.publisherId, book.bookId);
    if (picture.isNull())
        picture = BookKinds::placeholderForType(book.productType);
    cell->imageView()->setPixmap(
        picture.scaled(cell->imageView()->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    const QString colour = book.installed ? QStringLiteral("color: gray") : QStringLiteral("color: black");
    cell->textField()->setText(book.productName);
    cell->textField()->setToolTip(ContentTextDocument::plainToolTip(book.productName));
    cell->textField()->setStyleSheet(colour);
    cell->sizeField()->setText(sizeText(book.fileSize));
    cell->sizeField()->setStyleSheet(colour);
    const bool downloading = bookIsBeingDownloaded(book);
    cell->progressIndicator()->setVisible(downloading);
    cell->progressIndicator()->setValue(
        downloading ? int(m_progress.value(progressKey(identityRequest(book)), 0.0) * 1000) : 0);
    const bool older = book.installed && isOutOfDate(book);
    cell->messageField()->setText(older ? kNewerVersionMessage : QString());
    cell->messageField()->setVisible(older);
}

void DownloadBooksSheetWindowController::reloadBooksTable()
{
    // The list keeps its place (and the row the keys are on) across a reload, so that a download
    // finishing elsewhere never moves the row under the pointer.
    QListWidget* list = m_lists->books();
    const int scrolled = list->verticalScrollBar()->value();
    const int currentRow = list->currentRow();
    const QString currentProduct = currentRow >= 0 ? m_shownProducts.value(currentRow) : QString();
    list->clear();
    m_shownProducts.clear();
    for (const OwnedBook& book : m_bookList) {
        auto* item = new QListWidgetItem(list);
        item->setSizeHint(QSize(0, kRowHeight));
        auto* cell = new BookTableCellView(list);
        fillCell(cell, book);
        list->setItemWidget(item, cell);
        m_shownProducts.append(progressKey(identityRequest(book)));
    }
    if (!currentProduct.isEmpty())
        if (const qsizetype row = m_shownProducts.indexOf(currentProduct); row >= 0)
            list->setCurrentRow(int(row), QItemSelectionModel::NoUpdate);
    list->doItemsLayout();
    list->verticalScrollBar()->setValue(scrolled);
}

BookTableCellView* DownloadBooksSheetWindowController::cellForRow(int row) const
{
    QListWidgetItem* item = m_lists->books()->item(row);
    return item ? qobject_cast<BookTableCellView*>(m_lists->books()->itemWidget(item)) : nullptr;
}

QVariantMap DownloadBooksSheetWindowController::identityRequest(const OwnedBook& book) const
{
    return {{QStringLiteral("pubid"), book.publisherId}, {QStringLiteral("bookid"), book.bookId},
        {QStringLiteral("productid"), book.productId}, {QStringLiteral("filename"), book.fileName}};
}

QString DownloadBooksSheetWindowController::progressKey(const QVariantMap& request)
{
    const QString product = request.value(QStringLiteral("productid")).toString();
    if (!product.isEmpty())
        return product;
    return QStringLiteral("%1:%2")
        .arg(request.value(QStringLiteral("pubid")).toLongLong())
        .arg(request.value(QStringLiteral("bookid")).toLongLong());
}

bool DownloadBooksSheetWindowController::bookIsBeingDownloaded(const OwnedBook& book) const
{
    return m_context.downloads->isInQueue(identityRequest(book));
}

int DownloadBooksSheetWindowController::rowForBook(const QVariantMap& request) const
{
    const QString product = request.value(QStringLiteral("productid")).toString();
    const qint64 pub = request.value(QStringLiteral("pubid")).toLongLong();
    const qint64 bookId = request.value(QStringLiteral("bookid")).toLongLong();
    for (int row = 0; row < m_bookList.size(); ++row) {
        const OwnedBook& b = m_bookList[row];
        if (!product.isEmpty() && !b.productId.isEmpty() && product == b.productId)
            return row;
        if (pub != 0 && bookId != 0 && b.publisherId == pub && b.bookId == bookId)
            return row;
    }
    return -1;
}

void DownloadBooksSheetWindowController::downloadBook(const OwnedBook& book)
{
    m_context.downloads->enqueue(DownloadBooksManager::requestForBook(
        book, m_context.caller(), m_context.downloads->booksFolder(), m_context.script));
    reloadBooksTable();
}

void DownloadBooksSheetWindowController::chooseKindRow(int row)
{
    if (!m_lists->choose(m_kinds, row))
        return;
    m_context.window.settings().set(SettingsKeys::SelectedBookKindRow, row);
    loadBookList();
    reloadBooksTable();
    m_lists->books()->scrollToTop();
}

void DownloadBooksSheetWindowController::chooseBookRow(int row)
{
    if (row < 0 || row >= m_bookList.size())
        return;
    const OwnedBook book = m_bookList[row];
    m_lists->books()->clearSelection();
    if (!m_context.signedIn()) {
        m_context.showSignInAlert();
        return;
    }
    if (bookIsBeingDownloaded(book)) {
        if (askYesNo(m_context.window.alert(),
                QStringLiteral("\"%1\" is currently being downloaded. Do you want to cancel?").arg(book.productName),
                QStringLiteral("If you answer yes, the download will be canceled. You can download this book later if "
                               "you want.")) == AlertFirstButtonReturn)
            m_context.downloads->cancel(identityRequest(book));
        reloadBooksTable();
        return;
    }
    if (isInstalled(book)) {
        const bool older = isOutOfDate(book);
        const int answer = older
            ? askYesNo(m_context.window.alert(),
                  QStringLiteral("A newer version of \"%1\" is available. Do you want to update it?")
                      .arg(book.productName),
                  QStringLiteral(
                      "If you answer yes, the latest version will be downloaded and then replace the book in local "
                      "storage. If it is open in any panes, you will need to re-open it."))
            : askYesNo(m_context.window.alert(),
                  QStringLiteral("\"%1\" has been downloaded and is installed locally. Do you want to remove it?")
                      .arg(book.productName),
                  QStringLiteral("If you answer yes, the book will be removed from local storage. You can re-download "
                                 "it from your Cloud Library later if you want."));
        if (answer != AlertFirstButtonReturn)
            return;
        if (older) {
            // The installed book stays until the new one has arrived and been checked.
            QVariantMap request = DownloadBooksManager::requestForBook(
                book, m_context.caller(), m_context.downloads->booksFolder(), m_context.script);
            if (const SourceTuple::Ptr installed =
                    m_context.window.books().allSources()->tupleForPubID(book.publisherId, book.bookId))
                request.insert(QStringLiteral("replacefile"), installed->record().filepath);
            m_context.downloads->enqueue(request);
        } else {
            m_context.window.books().removeSourceForPubID(book.publisherId, book.bookId);
        }
        loadBookList();
        reloadBooksTable();
        return;
    }
    downloadBook(book);
}

void DownloadBooksSheetWindowController::onDownloadAllBooks()
{
    if (!m_context.signedIn()) {
        m_context.showSignInAlert();
        return;
    }
    bool any = false;
    // An enqueue may report a refused request at once, which reloads the list: walk a copy.
    const QList<OwnedBook> books = m_bookList;
    for (const OwnedBook& book : books) {
        if (bookIsBeingDownloaded(book) || isInstalled(book))
            continue;
        m_context.downloads->enqueue(DownloadBooksManager::requestForBook(
            book, m_context.caller(), m_context.downloads->booksFolder(), m_context.script));
        any = true;
    }
    if (any)
        reloadBooksTable();
}

void DownloadBooksSheetWindowController::onCancelAllDownloads()
{
    bool any = false;
    // A cancel reports its failure at once, and the report reloads the list: walk a copy.
    const QList<OwnedBook> books = m_bookList;
    for (const OwnedBook& book : books) {
        if (!bookIsBeingDownloaded(book))
            continue;
        m_context.downloads->cancel(identityRequest(book));
        any = true;
    }
    if (any)
        reloadBooksTable();
}

void DownloadBooksSheetWindowController::setRefreshing(bool on)
{
    m_refreshingLabel->setVisible(on);
    m_refreshingIndicator->setVisible(on);
}

void DownloadBooksSheetWindowController::ownedListFinished(bool failed, const Notification& notification)
{
    setRefreshing(false);
    const int selectedRow = m_lists->books()->currentRow();
    const QString selectedProduct = m_bookList.value(selectedRow).productId;
    buildKinds();
    if (!m_kinds.value(m_lists->selectedRow()).active) {
        m_lists->setSelectedRow(0);
        for (int row = 0; row < m_kinds.size(); ++row) {
            if (m_kinds[row].active) {
                m_lists->setSelectedRow(row);
                break;
            }
        }
    }
    m_lists->showKinds(m_context, m_kinds);
    loadBookList();
    reloadBooksTable();
    if (selectedRow >= 0 && !selectedProduct.isEmpty()) {
        const int row = rowForBook({{QStringLiteral("productid"), selectedProduct}});
        if (row >= 0)
            m_lists->books()->setCurrentRow(row);
    }
    automaticDownloads();
    if (failed) {
        const QVariantMap& info = notification.userInfo;
        Alert alert;
        alert.messageText = info.value(QStringLiteral("NSLocalizedDescription")).toString();
        if (alert.messageText.isEmpty())
            alert.messageText = QStringLiteral("There was an error downloading the list of books you own.");
        alert.informativeText =
            QStringLiteral("%1 %2").arg(info.value(QStringLiteral("NSLocalizedFailureReason")).toString(),
                info.value(QStringLiteral("NSLocalizedRecoverySuggestion")).toString());
        alert.style = AlertStyle::Informational;
        QMetaObject::invokeMethod(
            this, [this, alert] { m_context.window.alert().runModal(alert); }, Qt::QueuedConnection);
    }
}

void DownloadBooksSheetWindowController::downloadProgress(const QVariantMap& request)
{
    const double progress = request.value(QStringLiteral("progress")).toDouble();
    m_progress.insert(progressKey(request), progress);
    const int row = rowForBook(request);
    if (BookTableCellView* cell = cellForRow(row)) {
        cell->progressIndicator()->show();
        cell->progressIndicator()->setValue(int(progress * 1000));
    }
}

void DownloadBooksSheetWindowController::automaticDownloads()
{
    bool any = false;
    for (const OwnedBook& book : m_context.ownedBooks->arrayOfAutoinstallBooks()) {
        if (isInstalled(book) || bookIsBeingDownloaded(book))
            continue;
        downloadBook(book);
        any = true;
    }
    if (!any)
        return;
    Alert alert;
    alert.messageText = QStringLiteral("Quillstead is downloading recent purchase(s).");
    alert.informativeText = QStringLiteral(
        "When you purchase a new book for Quillstead, it will be downloaded automatically. Once the download is "
        "complete, you'll see the book in the Open Books window and can open it from there.");
    alert.style = AlertStyle::Informational;
    // Shown from the event loop: this runs inside the list's notification, within its reply's signal.
    QMetaObject::invokeMethod(
        this, [this, alert] { m_context.window.alert().runModal(alert); }, Qt::QueuedConnection);
}

}  // namespace qs::cloud
