#include "cloud/store/ui/OpenBookSheetWindowController.h"
#include "platform/ui/PlainLabel.h"

#include "cloud/store/CoverArtManager.h"
#include "cloud/store/StoreNotifications.h"
#include "library/LibraryNotifications.h"
#include "library/SourceManager.h"
#include "panes/layout/PaneNotifications.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace qs::cloud {

namespace {
const QString kCloseOnOpen = QStringLiteral("closeOpenBookOnOpen");
}

OpenBookSheetWindowController::OpenBookSheetWindowController(const StoreContext& context, QWidget* parent)
    : QDialog(parent), m_context(context)
{
    setObjectName(QStringLiteral("OpenBookSheet"));
    setWindowTitle(tr("Open Book"));
    setWindowModality(parent ? Qt::WindowModal : Qt::NonModal);
    resize(760, 520);

    auto* column = new QVBoxLayout(this);
    auto* heading = new PlainLabel(tr("Choose a book to open it in a new tab."), this);
    column->addWidget(heading);
    auto* lists = new QHBoxLayout;
    m_kindsTable = new QListWidget(this);
    m_kindsTable->setObjectName(QStringLiteral("BookKinds"));
    m_kindsTable->setIconSize(QSize(92, 92));
    m_kindsTable->setFixedWidth(250);
    m_kindsTable->setSpacing(2);
    m_booksTable = new QListWidget(this);
    m_booksTable->setObjectName(QStringLiteral("Books"));
    m_booksTable->setIconSize(QSize(36, 48));
    m_booksTable->setSpacing(1);
    lists->addWidget(m_kindsTable);
    lists->addWidget(m_booksTable, 1);
    column->addLayout(lists, 1);

    auto* buttons = new QHBoxLayout;
    m_closeAutomatically = new QCheckBox(tr("Close this window when a book is opened"), this);
    m_closeAutomatically->setChecked(m_context.window.settings().boolForKey(kCloseOnOpen));
    buttons->addWidget(m_closeAutomatically);
    buttons->addStretch(1);
    auto* library = new QPushButton(tr("Cloud Library..."), this);
    auto* store = new QPushButton(tr("Bookstore..."), this);
    auto* done = new QPushButton(tr("Done"), this);
    buttons->addWidget(library);
    buttons->addWidget(store);
    buttons->addWidget(done);
    column->addLayout(buttons);

    connect(m_closeAutomatically, &QCheckBox::toggled, this, [this] { onCloseAutomaticallyCheckbox(); });
    connect(library, &QPushButton::clicked, this, [this] { onSwitchToCloudLibraryWindow(); });
    connect(store, &QPushButton::clicked, this, [this] { onSwitchToBookstore(); });
    connect(done, &QPushButton::clicked, this, [this] { closeOpenBookSheet(); });
    connect(m_kindsTable, &QListWidget::itemClicked, this,
        [this](QListWidgetItem* item) { chooseKindRow(m_kindsTable->row(item)); });
    connect(m_booksTable, &QListWidget::itemClicked, this,
        [this](QListWidgetItem* item) { chooseBookRow(m_booksTable->row(item)); });

    NotificationCenter& center = m_context.window.notifications();
    center.addObserver(
        this, StoreNotifications::qsCoverArtFinishedDownloading, [this](Notification&) { reloadTables(); });
    // A book of a kind that had none makes that kind choosable.
    center.addObserver(this, LibraryNotifications::qsSourceManagerAddedBookNotification, [this](Notification&) {
        m_kinds.clear();
        reloadTables();
    });
    reloadTables();
}

OpenBookSheetWindowController::~OpenBookSheetWindowController()
{
    m_context.window.notifications().removeObserver(this);
}

OpenBookSheetWindowController* OpenBookSheetWindowController::factory(const StoreContext& context, QWidget* parent)
{
    auto* sheet = new OpenBookSheetWindowController(context, parent);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    return sheet;
}

SourceTupleArray::Ptr OpenBookSheetWindowController::listForInclude(int includeValue) const
{
    SourceManager& library = m_context.window.books();
    switch (includeValue) {
    case 63:
        return library.allSources();
    case 1:
        return library.bibleSources();
    case 2:
        return library.commentarySources();
    case 8:
        return library.dictionarySources();
    case 4:
        return library.devotionalSources();
    case 16:
        return library.otherSources();
    default:
        return nullptr;
    }
}

const QList<BookKind>& OpenBookSheetWindowController::kinds()
{
    if (m_kinds.isEmpty()) {
        for (int row = 0; row < BookKinds::kCount; ++row) {
            const SourceTupleArray::Ptr list = listForInclude(BookKinds::includeValue(row));
            // The cover books: distinct tuples drawn at random from the list.
            const std::vector<SourceTuple::Ptr> all = list ? list->array() : std::vector<SourceTuple::Ptr>();
            m_kinds.append(BookKinds::make(row, int(all.size()),
                [&](int i) { return qMakePair(all[size_t(i)]->pubID(), all[size_t(i)]->bookID()); }));
        }
    }
    return m_kinds;
}

SourceTupleArray::Ptr OpenBookSheetWindowController::sourcesOfSelectedKind() const
{
    if (m_selectedBookKindRow < 0 || m_selectedBookKindRow >= m_kinds.size())
        return listForInclude(BookKinds::includeValue(m_selectedBookKindRow));
    return listForInclude(m_kinds[m_selectedBookKindRow].includeValue);
}

void OpenBookSheetWindowController::reloadTables()
{
    reloadKinds();
    reloadBooks();
}

void OpenBookSheetWindowController::reloadKinds()
{
    kinds();
    m_kindsTable->clear();
    for (const BookKind& kind : m_kinds) {
        auto* item = new QListWidgetItem(kind.name, m_kindsTable);
        const QPixmap picture = BookKinds::composite(m_context, kind);
        if (!picture.isNull())
            item->setIcon(QIcon(picture));
        item->setForeground(kind.active ? Qt::black : Qt::gray);
        if (!kind.active)
            item->setFlags(item->flags() & ~Qt::ItemIsEnabled);
    }
    m_kindsTable->setCurrentRow(m_selectedBookKindRow);
}

void OpenBookSheetWindowController::reloadBooks()
{
    m_booksTable->clear();
    const SourceTupleArray::Ptr list = sourcesOfSelectedKind();
    if (!list)
        return;
    for (const SourceTuple::Ptr& tuple : list->array()) {
        const QString text = tuple->subtitle().isEmpty()
            ? tuple->name()
            : QStringLiteral("%1: %2").arg(tuple->name(), tuple->subtitle());
        auto* item = new QListWidgetItem(text, m_booksTable);
        QPixmap picture = BookKinds::cover(m_context, tuple->pubID(), tuple->bookID());
        if (picture.isNull())
            picture = BookKinds::placeholderForClassification(tuple->classification());
        item->setIcon(QIcon(picture));
    }
}

void OpenBookSheetWindowController::chooseKindRow(int row)
{
    if (row == m_selectedBookKindRow || row < 0 || row >= kinds().size())
        return;
    if (!m_kinds[row].active) {
        m_kindsTable->setCurrentRow(m_selectedBookKindRow);
        return;
    }
    m_selectedBookKindRow = row;
    m_kindsTable->setCurrentRow(row);
    reloadBooks();
    m_booksTable->scrollToTop();
}

void OpenBookSheetWindowController::chooseBookRow(int row)
{
    const SourceTupleArray::Ptr list = sourcesOfSelectedKind();
    const SourceTuple::Ptr tuple = list ? list->tupleAtIndex(row) : nullptr;
    if (row >= 0 && tuple) {
        m_context.window.notifications().postNotificationName(PaneNotifications::UserWantsToOpenThisBookNotification,
            nullptr,
            {{QStringLiteral("pubid"), tuple->pubID()}, {QStringLiteral("bookid"), tuple->bookID()},
                {QStringLiteral("edition"), tuple->editionNumber()},
                {QStringLiteral("revision"), tuple->revisionNumber()}});
    }
    if (m_closeAutomatically->isChecked())
        closeOpenBookSheet();
}

void OpenBookSheetWindowController::onCloseAutomaticallyCheckbox()
{
    m_context.window.settings().setBool(m_closeAutomatically->isChecked(), kCloseOnOpen);
}

void OpenBookSheetWindowController::closeOpenBookSheet()
{
    if (m_closed)
        return;
    m_closed = true;
    m_context.window.notifications().removeObserver(this);
    close();
}

void OpenBookSheetWindowController::onSwitchToCloudLibraryWindow()
{
    closeOpenBookSheet();
    emit switchToCloudLibrary();
}

void OpenBookSheetWindowController::onSwitchToBookstore()
{
    closeOpenBookSheet();
    emit switchToBookstore();
}

}  // namespace qs::cloud
