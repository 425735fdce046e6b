#include "studypane/StudyPaneBookmarksViewController.h"

#include "library/GoToLink.h"
#include "library/GoToRequest.h"
#include "library/LibraryNotifications.h"
#include "library/SourceManager.h"
#include "panes/layout/PaneNotifications.h"
#include "platform/Alerts.h"
#include "platform/ui/ContentTextDocument.h"
#include "search/core/BitVector.h"
#include "studypane/BookmarkMenus.h"
#include "studypane/StudyPaneNotifications.h"
#include "studypane/StudyPaneRegionContentItemState.h"
#include "studypane/StudyPaneSubpanes.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

using namespace BookmarkMenus;

// --- the sub-pane ---

StudyPaneBookmarksViewController::StudyPaneBookmarksViewController(
    StudyPaneEnvironment env, StudyPaneViewController* host)
    : StudyPaneSubpane(std::move(env), host), m_store(m_env.center)
{
    if (m_env.center == nullptr)
        return;
    observe(
        PaneNotifications::ThisSourceIsNowActiveNotification, [this](Notification& n) { thisSourceIsNowActive(&n); });
    observe(
        PaneNotifications::DisplayPreferencesChangedNotification, [this](Notification&) { m_list.show(listedBook()); });
    observe(StudyPaneNotifications::qsBookmarksHaveChangedNotification, [this](Notification& n) {
        // A bookmark just made: its category is the one listed from now on.
        const QVariant used = n.userInfo.value(QStringLiteral("categoryID"));
        StudyPaneRegionContentItemState* s = paneState();
        if (used.isValid() && s != nullptr && isLayoutCurrent() && s->bookmarkPaneSelectedCatID != used.toUInt()) {
            s->bookmarkPaneSelectedCatID = quint16(used.toUInt());
            populateCategoryMenu();
        }
        thisSourceIsNowActive(nullptr);
    });
    observe(
        StudyPaneNotifications::qsCategoriesHaveChangedNotification, [this](Notification&) { populateCategoryMenu(); });
    observe(PaneNotifications::qsDevotionalStartDateHasChangedNotification, [this](Notification&) {
        const SourceTuple::Ptr book = listedBook();
        if (book && book->docSupports(kDocSupportsDateLookup))
            m_list.show(listedBook());
    });
}

StudyPaneBookmarksViewController::~StudyPaneBookmarksViewController()
{
    stopObserving();
}

void StudyPaneBookmarksViewController::loadView()
{
    createView(QStringLiteral("StudyPaneBookmarksView"));
    auto* column = new QVBoxLayout(loadedView());
    column->setContentsMargins(4, 4, 4, 4);
    auto* row = new QHBoxLayout;
    m_popup = new QComboBox(loadedView());
    m_popup->setObjectName(QStringLiteral("categoryPopUp"));
    m_popup->setToolTip(tr("Bookmark category to list"));
    m_popup->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_popup->setMinimumContentsLength(8);
    auto button = [this](const QString& text, const QString& tip) {
        auto* b = new QToolButton(loadedView());
        b->setText(text);
        b->setToolTip(ContentTextDocument::plainToolTip(tip));
        return b;
    };
    m_newButton = button(tr("New"), tr("Create a new bookmark category"));
    m_renameButton = button(tr("Rename"), tr("Rename the selected category"));
    m_deleteButton = button(tr("Delete"), tr("Delete the bookmarks of the selected category"));
    m_newButton->setObjectName(QStringLiteral("newCategoryButton"));
    m_renameButton->setObjectName(QStringLiteral("renameCategoryButton"));
    m_deleteButton->setObjectName(QStringLiteral("deleteCategoryButton"));
    row->addWidget(m_popup, 1);
    row->addWidget(m_newButton);
    row->addWidget(m_renameButton);
    row->addWidget(m_deleteButton);
    column->addLayout(row);
    column->addWidget(m_list.makeTable(loadedView(), this, [this](int r) { activateRow(r); }), 1);

    connect(m_popup, &QComboBox::activated, this, [this](int index) { onCategorySelected(index); });
    connect(m_newButton, &QToolButton::clicked, this, [this] { onNewCategory(); });
    connect(m_renameButton, &QToolButton::clicked, this, [this] { onRenameCategory(); });
    connect(m_deleteButton, &QToolButton::clicked, this, [this] { onDeleteCategory(); });
}

void StudyPaneBookmarksViewController::viewDidLoad()
{
    populateCategoryMenu();
    thisSourceIsNowActive(nullptr);
    const quint16 id = paneState() != nullptr ? paneState()->bookmarkPaneSelectedCatID : 0;
    if (id == BookmarkStore::kNoCategory) {
        m_deleteButton->setEnabled(m_popup->currentIndex() >= 0);
        m_renameButton->setEnabled(false);
    } else {
        m_deleteButton->setEnabled(true);
        m_renameButton->setEnabled(id != BookmarkStore::kAllCategories);
    }
}

void StudyPaneBookmarksViewController::studyPaneDidActivateSubview()
{
    if (m_popup != nullptr)
        m_popup->setFocus();
}

SourceTuple::Ptr StudyPaneBookmarksViewController::listedBook() const
{
    const StudyPaneRegionContentItemState* s = paneState();
    return s != nullptr ? StudyPaneSubpanes::bookForID(m_env, s->bookmarkPaneSourceTupleID) : nullptr;
}

void StudyPaneBookmarksViewController::populateCategoryMenu()
{
    if (m_popup == nullptr)
        return;
    QMenu scratch;
    BookmarkMenus::populate(&scratch, m_store, kOptionAll | kOptionNoCategory, {});
    const QSignalBlocker block(m_popup);
    m_popup->clear();
    for (QAction* a : scratch.actions()) {
        if (!a->isSeparator())
            m_popup->addItem(a->text(), a->data());
    }
    m_renameButton->setEnabled(false);
    m_deleteButton->setEnabled(false);
    const quint16 wanted = paneState() != nullptr ? paneState()->bookmarkPaneSelectedCatID : 0;
    int chosen = -1;
    int lastAll = -1;
    for (int i = 0; i < m_popup->count(); ++i) {
        const quint32 id = m_popup->itemData(i).toMap().value(kCategoryID).toUInt();
        if (id == wanted && chosen < 0)
            chosen = i;
        if (id >= BookmarkStore::kAllCategories)
            lastAll = i;
    }
    if (chosen < 0)
        chosen = lastAll;
    m_popup->setCurrentIndex(chosen);
    const quint16 id = chosen >= 0 ? quint16(m_popup->itemData(chosen).toMap().value(kCategoryID).toUInt()) : wanted;
    if (StudyPaneRegionContentItemState* s = paneState())
        s->bookmarkPaneSelectedCatID = id;
    m_deleteButton->setEnabled(true);
    m_renameButton->setEnabled(id != BookmarkStore::kNoCategory && id != BookmarkStore::kAllCategories);
}

void StudyPaneBookmarksViewController::thisSourceIsNowActive(const Notification* n)
{
    if (!isLayoutCurrent())
        return;
    SourceTuple::Ptr candidate = StudyPaneSubpanes::notifiedPlace(n).book;
    if (!candidate)
        candidate = StudyPaneSubpanes::activeBook(m_env).book;
    if (!candidate && n == nullptr)
        candidate = listedBook();
    StudyPaneRegionContentItemState* s = paneState();
    const std::optional<SourceTupleID> stored = s != nullptr ? s->bookmarkPaneSourceTupleID : std::nullopt;
    const bool same = candidate && stored && candidate->isEqual(*stored);
    if (candidate && !same) {
        if (s != nullptr)
            s->bookmarkPaneSourceTupleID = candidate->sourceTupleID();
        m_list.resetHeader();
    } else if (same && n != nullptr) {
        return;
    }
    searchCurrentSourceForCategoryId(s != nullptr ? s->bookmarkPaneSelectedCatID : 0);
}

void StudyPaneBookmarksViewController::onCategorySelected(int index)
{
    if (m_popup == nullptr || index < 0 || index >= m_popup->count())
        return;
    const quint16 id = quint16(m_popup->itemData(index).toMap().value(kCategoryID).toUInt());
    SourceTuple::Ptr book = StudyPaneSubpanes::activeBook(m_env).book;
    StudyPaneRegionContentItemState* s = paneState();
    if (book && s != nullptr) {
        s->bookmarkPaneSourceTupleID = book->sourceTupleID();
    } else {
        book = listedBook();
    }
    if (book)
        searchCurrentSourceForCategoryId(id);
    m_deleteButton->setEnabled(true);
    m_renameButton->setEnabled(id >= 1 && id <= 65534);
}

void StudyPaneBookmarksViewController::searchCurrentSourceForCategoryId(quint16 id)
{
    if (StudyPaneRegionContentItemState* s = paneState())
        s->bookmarkPaneSelectedCatID = id;
    const SourceTuple::Ptr book = listedBook();
    m_list.list(book, [&book, id](BitVector& found) { book->words().results(found, id); });
}

void StudyPaneBookmarksViewController::activateRow(int row)
{
    const SourceTuple::Ptr book = listedBook();
    const StudyPaneRegionContentItemState* s = paneState();
    if (book == nullptr && row >= 0 && row < m_list.sections().size() && s != nullptr && s->bookmarkPaneSourceTupleID &&
        s->bookmarkPaneSourceTupleID->isValid()) {
        // The list outlives its book (removed since it was listed): say so rather than do nothing.
        const SourceTupleID id = *s->bookmarkPaneSourceTupleID;
        const QString name = m_list.header().value_or(QString());
        m_list.activate(-1, nullptr, {});
        Alert alert;
        alert.messageText = name.isEmpty() ? QStringLiteral("The book of this bookmark is not installed.")
                                           : QStringLiteral("\"%1\" is not installed.").arg(name);
        alert.informativeText = GoToLink::bookNotInstalledText(id.pubID(), id.bookID());
        alert.style = AlertStyle::Warning;
        m_env.ask(alert);
        return;
    }
    m_list.activate(row, book, [this, &book](quint32 section) { goToSection(book, section); });
}

// --- category commands ---

void StudyPaneBookmarksViewController::onNewCategory()
{
    askAndRename(true);
}

void StudyPaneBookmarksViewController::onRenameCategory()
{
    askAndRename(false);
}

void StudyPaneBookmarksViewController::askAndRename(bool isNew)
{
    QVariantMap options;
    std::optional<QString> oldName;
    if (isNew) {
        options = {{QStringLiteral("title"), QStringLiteral("New Bookmark Category")},
            {QStringLiteral("prompt"), QStringLiteral("Enter a new category name below.")},
            {QStringLiteral("default"), QString()},
            {QStringLiteral("detailPrompt"),
                QStringLiteral("If you enter the name of an existing category, that category will be shown. Category "
                               "names are not case-sensitive, so 'faith' and 'Faith' are the same category.")}};
    } else {
        const quint16 id = paneState() != nullptr ? paneState()->bookmarkPaneSelectedCatID : 0;
        oldName = m_store.categoryNameForId(id).value_or(QString());
        options = {{QStringLiteral("title"), QStringLiteral("Rename Bookmark Category")},
            {QStringLiteral("prompt"),
                QStringLiteral(
                    "Enter a new name for this category below. The new category name must not already exist.")},
            {QStringLiteral("default"), *oldName},
            {QStringLiteral("detailPrompt"),
                QStringLiteral("The program will not allow you to enter an existing category name. Category names are "
                               "not case-sensitive, so 'faith' and 'Faith' are the same category.")}};
    }
    const std::optional<QString> answer = m_env.promptForText(options);
    if (!answer || answer->isEmpty())
        return;
    BookmarkError error;
    if (!m_store.addOrRenameCategory(*answer, oldName, &error)) {
        alertWithError(m_env, error);
        return;
    }
    const quint16 id = m_store.categoryIdForName(answer->trimmed(), &error);
    if (id == BookmarkStore::kAllCategories) {
        alertWithError(m_env, error);
        return;
    }
    if (StudyPaneRegionContentItemState* s = paneState())
        s->bookmarkPaneSelectedCatID = id;
    populateCategoryMenu();
    thisSourceIsNowActive(nullptr);
}

void StudyPaneBookmarksViewController::onDeleteCategory()
{
    const quint16 id = paneState() != nullptr ? paneState()->bookmarkPaneSelectedCatID : 0;
    const std::optional<QString> name = m_store.categoryNameForId(id);
    if (!name) {
        Alert alert;
        alert.messageText = QStringLiteral("Error reading the selected category.");
        alert.informativeText =
            QStringLiteral("For some reason, Quillstead cannot find the name of the current category.");
        alert.style = AlertStyle::Critical;
        m_env.ask(alert);
        return;
    }
    Alert alert;
    alert.style = AlertStyle::Warning;
    alert.buttons = {QStringLiteral("Yes"), QStringLiteral("No")};
    alert.defaultButton = 1;  // Return keeps the bookmarks, at both questions
    if (id == BookmarkStore::kNoCategory) {
        alert.messageText = QStringLiteral("Are you sure you want to delete uncategorized bookmarks?");
        alert.informativeText =
            QStringLiteral("If you answer 'Yes', you will delete all uncategorized bookmarks. You will "
                           "not (and cannot) delete the 'No Category' category itself. This "
                           "operation cannot be undone.");
    } else if (id == BookmarkStore::kAllCategories) {
        alert.messageText = QStringLiteral("Are you sure you want to delete ALL your bookmarks?");
        alert.informativeText = QStringLiteral("If you answer 'Yes', you will delete ALL BOOKMARKS in ALL CATEGORIES "
                                               "including uncategorized bookmarks. This operation cannot be undone.");
    } else {
        alert.messageText = QStringLiteral("Are you sure you want to delete the bookmarks in this category?");
        alert.informativeText = QStringLiteral("If you answer 'Yes', you will delete all bookmarks in the category "
                                               "called '%1'. This operation cannot be undone.")
                                    .arg(*name);
    }
    if (m_env.ask(alert) != AlertFirstButtonReturn)
        return;
    alert.messageText = QStringLiteral("LAST CHANCE: %1").arg(alert.messageText);
    if (m_env.ask(alert) != AlertFirstButtonReturn)
        return;
    const bool ok = m_store.deleteCategory(id);
    if (!ok) {
        Alert problem;
        problem.messageText = QStringLiteral("There was a problem deleting the category or highlights.");
        problem.informativeText =
            QStringLiteral("This is an unusual error. There appears to be a problem accessing the database.");
        problem.buttons = {QStringLiteral("OK")};
        problem.style = AlertStyle::Warning;
        m_env.ask(problem);
    }
}
