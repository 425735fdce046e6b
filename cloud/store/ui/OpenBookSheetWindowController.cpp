#include "cloud/store/ui/OpenBookSheetWindowController.h"
#include "platform/ui/PlainLabel.h"

#include "cloud/store/CoverArtManager.h"
#include "cloud/store/StoreNotifications.h"
#include "library/LibraryNotifications.h"
#include "library/SourceManager.h"
#include "panes/layout/PaneNotifications.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsKeys.h"
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
}

OpenBookSheetWindowController::OpenBookSheetWindowController(const StoreContext& context, QWidget* parent)
    : QDialog(parent), m_context(context)
{
    setObjectName(QStringLiteral("OpenBookSheet"));
    setWindowTitle(tr("Open Book"));
    setWindowModality(parent ? Qt::WindowModal : Qt::NonModal);
    resize(760, 520);

    auto* column = new QVBoxLayout(this);
    auto* heading =
        new PlainLabel(tr("Double-click a book (or choose it and press Return) to open it in a new tab."), this);
    column->addWidget(heading);
    auto* lists = new QHBoxLayout;
    // A book opens as a desktop's list opens an item: a double-click, or Return on the chosen row.
    m_lists = std::make_unique<BookKindLists>(
        this, lists, [this](int row) { chooseKindRow(row); }, [this](int row) { chooseBookRow(row); },
        BookKindLists::BookChoice::Activation);
    m_lists->books()->setIconSize(QSize(36, 48));
    m_lists->books()->setSpacing(1);
    column->addLayout(lists, 1);

    auto* buttons = new QHBoxLayout;
    m_closeAutomatically = new QCheckBox(tr("Close this window when a book is opened"), this);
    m_closeAutomatically->setObjectName(QStringLiteral("closeAutomaticallyCheckbox"));
    m_closeAutomatically->setChecked(m_context.window.settings().value(SettingsKeys::CloseOpenBookOnOpen));
    buttons->addWidget(m_closeAutomatically);
    buttons->addStretch(1);
    auto* library = new QPushButton(tr("Cloud Library..."), this);
    auto* store = new QPushButton(tr("Bookstore..."), this);
    store->setObjectName(QStringLiteral("bookstoreButton"));
    auto* done = new QPushButton(tr("Done"), this);
    buttons->addWidget(library);
    buttons->addWidget(store);
    buttons->addWidget(done);
    column->addLayout(buttons);

    connect(m_closeAutomatically, &QCheckBox::toggled, this, [this] { onCloseAutomaticallyCheckbox(); });
    connect(library, &QPushButton::clicked, this, [this] { onSwitchToCloudLibraryWindow(); });
    connect(store, &QPushButton::clicked, this, [this] { onSwitchToBookstore(); });
    connect(done, &QPushButton::clicked, this, [this] { closeOpenBookSheet(); });

    NotificationCenter& center = m_context.window.notifications();
    center.addObserver(
        this, StoreNotifications::qsCoverArtFinishedDownloading, [this](Notification&) { reloadTables(); });
    // A book of a kind that had none makes that kind choosable.
    center.addObserver(this, LibraryNotifications::qsSourceManagerAddedBookNotification, [this](Notification&) {
        m_kinds.clear();
        reloadTables();
    });
    reloadTables();
    // The keys start in the book list: typing a book's first letters chooses it, Return opens it.
    m_lists->books()->setFocus(Qt::OtherFocusReason);
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
                [&](int i) { return qMakePair(all[size_t(i)]->record().pubID, all[size_t(i)]->record().bookID); }));
        }
    }
    return m_kinds;
}

SourceTupleArray::Ptr OpenBookSheetWindowController::sourcesOfSelectedKind() const
{
    const int row = m_lists->selectedRow();
    if (row < 0 || row >= m_kinds.size())
        return listForInclude(BookKinds::includeValue(row));
    return listForInclude(m_kinds[row].includeValue);
}

void OpenBookSheetWindowController::reloadTables()
{
    m_lists->showKinds(m_context, kinds());
    reloadBooks();
}

void OpenBookSheetWindowController::reloadBooks()
{
    m_lists->books()->clear();
    const SourceTupleArray::Ptr list = sourcesOfSelectedKind();
    if (!list)
        return;
    for (const SourceTuple::Ptr& tuple : list->array()) {
        const QString text = tuple->record().subtitle.isEmpty()
            ? tuple->record().name
            : QStringLiteral("%1: %2").arg(tuple->record().name, tuple->record().subtitle);
        auto* item = new QListWidgetItem(text, m_lists->books());
        QPixmap picture = BookKinds::cover(m_context, tuple->record().pubID, tuple->record().bookID);
        if (picture.isNull())
            picture = BookKinds::placeholderForClassification(tuple->record().classification);
        item->setIcon(QIcon(picture));
    }
}

void OpenBookSheetWindowController::chooseKindRow(int row)
{
    if (!m_lists->choose(kinds(), row))
        return;
    reloadBooks();
    m_lists->books()->scrollToTop();
}

void OpenBookSheetWindowController::chooseBookRow(int row)
{
    const SourceTupleArray::Ptr list = sourcesOfSelectedKind();
    const SourceTuple::Ptr tuple = list ? list->tupleAtIndex(row) : nullptr;
    if (row >= 0 && tuple) {
        m_context.window.notifications().postNotificationName(PaneNotifications::UserWantsToOpenThisBookNotification,
            nullptr,
            {{QStringLiteral("pubid"), tuple->record().pubID}, {QStringLiteral("bookid"), tuple->record().bookID},
                {QStringLiteral("edition"), tuple->record().editionNumber},
                {QStringLiteral("revision"), tuple->record().revisionNumber}});
    }
    if (m_closeAutomatically->isChecked())
        closeOpenBookSheet();
}

void OpenBookSheetWindowController::onCloseAutomaticallyCheckbox()
{
    m_context.window.settings().set(SettingsKeys::CloseOpenBookOnOpen, m_closeAutomatically->isChecked());
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
