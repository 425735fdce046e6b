#include "studypane/subpanes/StudyPaneBookmarksViewController.h"

#include "library/EngineStrings.h"
#include "library/GoToRequest.h"
#include "library/LibraryNotifications.h"
#include "library/SourceManager.h"
#include "panes/layout/PaneNotifications.h"
#include "platform/Alerts.h"
#include "platform/ui/ContentTextDocument.h"
#include "search/core/BitVector.h"
#include "studypane/StudyPaneNotifications.h"
#include "studypane/StudyPaneRegionContentItemState.h"
#include "studypane/subpanes/StudyPaneSubpanes.h"
#include "userdata/cBookmarkMgr.h"
#include "userdata/cCategoryStg.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

using Controller = StudyPaneBookmarksViewController;

const QString kTitle = QStringLiteral("title");
const QString kSearchTitle = QStringLiteral("searchTitle");
const QString kCategoryID = QStringLiteral("categoryID");
const QString kIsCreateNew = QStringLiteral("isCreateNewCategory");
const QString kNoCategoryName = QStringLiteral("No Category");
const QString kAllCategoriesName = QStringLiteral("All Categories");

void fail(StudyPaneError* error, const QString& description, const QString& reason, const QString& suggestion)
{
    if (error == nullptr)
        return;
    *error = StudyPaneError();
    error->description = description;
    error->reason = reason;
    error->suggestion = suggestion;
}

QAction* addItem(QMenu* menu, const QVariantMap& payload, const Controller::MenuHandler& onChosen)
{
    QAction* a = menu->addAction(payload.value(kTitle).toString());
    a->setData(payload);
    if (onChosen)
        QObject::connect(a, &QAction::triggered, menu, [onChosen, payload] { onChosen(payload); });
    return a;
}

QVariantMap payload(const QString& title, const QString& searchTitle, quint32 id)
{
    return {{kTitle, title}, {kSearchTitle, searchTitle}, {kCategoryID, id}};
}

// The category meant by a bookmark call: nothing when a name look-up finds none.
std::optional<quint16> resolveForAdding(const QString& name, quint16 id)
{
    if (id != Controller::kAllCategories)
        return id;
    cCategoryStg store;
    cCategory category;
    if (!store.openDatabase(false) || !store.findCategoryByName(EngineStrings::utf16(name), category))
        return std::nullopt;
    return category.catid;
}

// The category meant by an un-bookmark call: -1 for all categories; nothing when a name is unknown.
std::optional<int> resolveForDeleting(const QString& name, quint16 id)
{
    if (id != Controller::kAllCategories)
        return id;
    if (name == QStringLiteral("*"))
        return -1;
    cCategoryStg store;
    cCategory category;
    if (!store.openDatabase(false) || !store.findCategoryByName(EngineStrings::utf16(name), category))
        return std::nullopt;
    return category.catid;
}

void post(const StudyPaneEnvironment& env, const QString& name)
{
    if (env.center != nullptr)
        env.center->postNotificationName(name, Controller::classObject());
}

bool addBookmark(const StudyPaneEnvironment& env, cBookmark& bookmark)
{
    cBookmarkMgr store;
    bool ok = false;
    if (store.openDatabase(nullptr, true, false)) {
        ok = store.addBookmark(bookmark, false, false, false);
        store.close();
    }
    post(env, StudyPaneNotifications::qsBookmarksHaveChangedNotification);
    return ok;
}

// Soft-deletes the listed bookmarks of the category (all for -1). True when every deletion worked.
bool deleteListed(cBookmarkMgr& store, cLPtrArray* list, int category)
{
    bool ok = true;
    for (std::int32_t i = 0; list != nullptr && i < list->count(); ++i) {
        auto* bookmark = static_cast<cBookmark*>(list->elementAt(i));
        if (bookmark != nullptr && (category < 0 || bookmark->catid == category))
            ok = store.markBookmarkDeleted(*bookmark, false, false, false) && ok;
    }
    cBookmarkMgr::freeBookmarkList(list);
    return ok;
}

void appendCategoriesOf(QMenu* menu, cLPtrArray* list, int options, const Controller::MenuHandler& onChosen)
{
    if (list == nullptr || list->count() == 0) {
        cBookmarkMgr::freeBookmarkList(list);
        return;
    }
    if ((options & Controller::kOptionAll) != 0 ||
        ((options & Controller::kOptionAllWhenSeveral) != 0 && list->count() >= 2)) {
        addItem(menu, payload(kAllCategoriesName, QStringLiteral("*"), Controller::kAllCategories), onChosen);
        menu->addSeparator();
    }
    for (std::int32_t i = 0; i < list->count(); ++i) {
        const auto* bookmark = static_cast<const cBookmark*>(list->elementAt(i));
        if (bookmark == nullptr)
            continue;
        if (const std::optional<QString> name = Controller::categoryNameForId(bookmark->catid))
            addItem(menu, payload(*name, *name, bookmark->catid), onChosen);
    }
    cBookmarkMgr::freeBookmarkList(list);
}

quint32 sectionOfBlock(quint32 block, const SourceTuple::Ptr& book)
{
    return book ? book->sectionForBlock(block) : 0;
}

}  // namespace

// --- services ---

const void* StudyPaneBookmarksViewController::classObject()
{
    static const char tag = 0;
    return &tag;
}

void StudyPaneBookmarksViewController::populateCategoryMenu(QMenu* menu, int options, const MenuHandler& onChosen)
{
    if (menu == nullptr)
        return;
    menu->clear();
    if ((options & kOptionCreateNew) != 0) {
        QVariantMap create = payload(QStringLiteral("Create New Category"), QStringLiteral("*"), kAllCategories);
        create.insert(kIsCreateNew, true);
        addItem(menu, create, onChosen);
        menu->addSeparator();
    }
    if ((options & kOptionAll) != 0)
        addItem(menu, payload(QStringLiteral("All Bookmarks"), QStringLiteral("*"), kAllCategories), onChosen);
    if ((options & kOptionNoCategory) != 0)
        addItem(menu, payload(kNoCategoryName, kNoCategoryName, kNoCategory), onChosen);
    cCategoryStg store;
    if (!store.openDatabase(false))
        return;
    cCategory category;
    for (bool more = store.firstCategory(category, cCategoryStg::kByName, false); more;
         more = store.nextCategory(category, cCategoryStg::kByName, false)) {
        const QString name = EngineStrings::fromUtf16(category.name);
        addItem(menu, payload(name, name, category.catid), onChosen);
    }
    store.close();
}

void StudyPaneBookmarksViewController::populateCategoryMenuFromVerse(
    QMenu* menu, quint32 key, int options, const MenuHandler& onChosen)
{
    if (menu == nullptr)
        return;
    cBookmarkMgr store;
    appendCategoriesOf(menu, store.bibleBookmarksInRange(key), options, onChosen);
}

void StudyPaneBookmarksViewController::populateCategoryMenuFromBlock(
    QMenu* menu, quint32 block, const SourceTuple::Ptr& book, int options, const MenuHandler& onChosen)
{
    const quint32 section = sectionOfBlock(block, book);
    if (menu == nullptr || section == 0)
        return;
    cBookmarkMgr store;
    appendCategoriesOf(menu,
        store.bookBookmarksForSection(quint16(book->pubID()), quint16(book->bookID()), std::int32_t(section)), options,
        onChosen);
}

bool StudyPaneBookmarksViewController::addOrRenameCategory(const StudyPaneEnvironment& env, const QString& newNameIn,
    const std::optional<QString>& oldNameIn, StudyPaneError* error)
{
    const QString newName = newNameIn.trimmed();
    const QString oldName = oldNameIn.value_or(QString());
    if (newName.isEmpty()) {
        fail(error, QStringLiteral("The new name is empty."),
            QStringLiteral("Categories must have non-empty names. You cannot create a category with an empty name, nor "
                           "rename a category so that it has an empty name."),
            QStringLiteral("Enter a non-empty name."));
        return false;
    }
    const auto notFound = [error] {
        fail(error, QStringLiteral("The category cannot be found."),
            QStringLiteral("In order to rename the category, the original category must exist."),
            QStringLiteral("This is an unusual error. The original category should exist but it does not. There could "
                           "be a problem accessing the database."));
    };
    cCategoryStg categories;
    if (!categories.openDatabase(false)) {
        fail(error, QStringLiteral("The bookmark database could not be opened."), QString(),
            QStringLiteral("This is an unusual error. There appears to be a problem accessing the database."));
        return false;
    }
    cCategory existing;
    const bool newExists = categories.findCategoryByName(EngineStrings::utf16(newName), existing);
    if (newName == oldName)
        return true;
    const bool caseOnly = !oldName.isEmpty() && oldName.compare(newName, Qt::CaseInsensitive) == 0;
    if (!caseOnly) {
        if (newExists) {
            fail(error, QStringLiteral("The category already exists."),
                QStringLiteral("You cannot create a duplicate category, nor rename an existing category using an "
                               "existing name."),
                QStringLiteral("Enter a different name; one that does not already exist."));
            return false;
        }
        cCategory created;
        created.name = EngineStrings::utf16(newName);
        if (!categories.addCategory(created, false, false)) {
            fail(error, QStringLiteral("The category could not be created."), QString(),
                QStringLiteral("This is an unusual error. There appears to be a problem accessing the database."));
            return false;
        }
        if (!oldName.isEmpty()) {
            cBookmarkMgr bookmarks;
            if (!bookmarks.openDatabase(nullptr, true, false)) {
                fail(error, QStringLiteral("The bookmark database could not be opened."), QString(),
                    QStringLiteral("This is an unusual error. There appears to be a problem accessing the database."));
                return false;
            }
            cCategory old;
            if (!categories.findCategoryByName(EngineStrings::utf16(oldName), old)) {
                notFound();
                return false;
            }
            if (!bookmarks.copyCategoryBookmarks(old.catid, created.catid, false, false)) {
                fail(error, QStringLiteral("Bookmarks could not be copied."),
                    QStringLiteral("Once the new category is created, existing bookmarks are copied from the old "
                                   "category to the new one. The program failed while copying these bookmarks."),
                    QStringLiteral("This is an unusual error. There could be a problem accessing the database."));
                return false;
            }
            if (!bookmarks.deleteBookmarksInCategory(old.catid, false)) {
                fail(error, QStringLiteral("Bookmarks could not be deleted from the old category."),
                    QStringLiteral("Once the new category is created and existing bookmarks in the old category are "
                                   "copied to the new one, the original bookmarks are deleted. The program failed "
                                   "while deleting these bookmarks."),
                    QStringLiteral("This is an unusual error. There could be a problem accessing the database. You "
                                   "may find copies of some or all of the bookmarks still in the old category."));
                return false;
            }
            if (!categories.markCategoryDeleted(old, false, false)) {
                fail(error, QStringLiteral("The old category could not be deleted"),
                    QStringLiteral("Once the new category is created and existing bookmarks in the old category are "
                                   "copied to the new one, the original category is deleted. The program failed "
                                   "while deleting the category."),
                    QStringLiteral("This is an unusual error. There could be a problem accessing the database. You "
                                   "may find the old category name still exists, but bookmarks have been moved to the "
                                   "new category."));
                return false;
            }
            bookmarks.close();
        }
        post(env, StudyPaneNotifications::qsCategoriesHaveChangedNotification);
        return true;
    }
    // A change of letter case only: the row keeps its id.
    cCategory old;
    bool ok = categories.findCategoryByName(EngineStrings::utf16(oldName), old);
    if (ok) {
        old.name = EngineStrings::utf16(newName);
        ok = categories.renameCategory(&old, false);
        if (!ok)
            fail(error, QStringLiteral("The category could not be renamed."), QString(),
                QStringLiteral("This is an unusual error. There appears to be a problem accessing the database."));
    } else {
        notFound();
    }
    post(env, StudyPaneNotifications::qsCategoriesHaveChangedNotification);
    return ok;
}

bool StudyPaneBookmarksViewController::bookmarkThisVerse(
    const StudyPaneEnvironment& env, quint32 key, const QString& categoryName, quint16 categoryId)
{
    const std::optional<quint16> category = resolveForAdding(categoryName, categoryId);
    if (!category)
        return false;
    cBookmark bookmark;
    bookmark.setBibleVerse(key, *category);
    return addBookmark(env, bookmark);
}

bool StudyPaneBookmarksViewController::bookmarkThisBlock(const StudyPaneEnvironment& env, quint32 block,
    const SourceTuple::Ptr& book, const QString& categoryName, quint16 categoryId)
{
    const quint32 section = sectionOfBlock(block, book);
    if (section == 0)
        return false;
    const std::optional<quint16> category = resolveForAdding(categoryName, categoryId);
    if (!category)
        return false;
    cBookmark bookmark;
    bookmark.setBookSection(quint16(book->pubID()), quint16(book->bookID()), quint8(book->editionNumber() & 0xFF),
        std::int32_t(section), *category);
    return addBookmark(env, bookmark);
}

bool StudyPaneBookmarksViewController::deleteBookmarkOnThisVerse(
    const StudyPaneEnvironment& env, quint32 key, const QString& categoryName, quint16 categoryId)
{
    const std::optional<int> category = resolveForDeleting(categoryName, categoryId);
    if (!category)
        return false;
    cBookmarkMgr store;
    bool ok = false;
    if (store.openDatabase(nullptr, true, false)) {
        ok = deleteListed(store, store.bibleBookmarksInRange(key), *category);
        store.close();
    }
    post(env, StudyPaneNotifications::qsBookmarksHaveChangedNotification);
    return ok;
}

bool StudyPaneBookmarksViewController::deleteBookmarkOnThisBlock(const StudyPaneEnvironment& env, quint32 block,
    const SourceTuple::Ptr& book, const QString& categoryName, quint16 categoryId)
{
    const quint32 section = sectionOfBlock(block, book);
    if (section == 0)
        return false;
    const std::optional<int> category = resolveForDeleting(categoryName, categoryId);
    if (!category)
        return false;
    cBookmarkMgr store;
    bool ok = false;
    if (store.openDatabase(nullptr, true, false)) {
        ok = deleteListed(store,
            store.bookBookmarksForSection(quint16(book->pubID()), quint16(book->bookID()), std::int32_t(section)),
            *category);
        store.close();
    }
    post(env, StudyPaneNotifications::qsBookmarksHaveChangedNotification);
    return ok;
}

quint16 StudyPaneBookmarksViewController::categoryIdForCategoryNamed(const QString& name, StudyPaneError* error)
{
    cCategoryStg store;
    cCategory category;
    if (store.openDatabase(false) && store.findCategoryByName(EngineStrings::utf16(name), category))
        return category.catid;
    fail(error, QStringLiteral("Category could not be found."),
        QStringLiteral("Category '%1' could not be found").arg(name),
        QStringLiteral("This is an unusual error. The program would not be looking for a category if it didn't expect "
                       "to find it. If this problem persists, contact Technical Support."));
    return kAllCategories;
}

std::optional<QString> StudyPaneBookmarksViewController::categoryNameForId(quint32 id, StudyPaneError* error)
{
    if (id == kNoCategory)
        return kNoCategoryName;
    if (id >= kAllCategories)
        return kAllCategoriesName;
    cCategoryStg store;
    cCategory category;
    if (store.openDatabase(false) && store.findCategoryById(quint16(id), category) && category.deleted == 0)
        return EngineStrings::fromUtf16(category.name);
    fail(error, QStringLiteral("Category could not be found."), QString(),
        QStringLiteral("This is an unusual error. The program would not be looking for a category if it didn't expect "
                       "to find it. If this problem persists, contact Technical Support."));
    return std::nullopt;
}

bool StudyPaneBookmarksViewController::verseHasBookmarks(quint32 key)
{
    cBookmarkMgr store;
    return store.hasBookmarkInRange(key);
}

bool StudyPaneBookmarksViewController::blockHasBookmarks(quint32 block, const SourceTuple::Ptr& book)
{
    const quint32 section = sectionOfBlock(block, book);
    if (section == 0)
        return false;
    cBookmarkMgr store;
    return store.hasBookBookmark(quint16(book->pubID()), quint16(book->bookID()), std::int32_t(section));
}

void StudyPaneBookmarksViewController::alertWithError(const StudyPaneEnvironment& env, const StudyPaneError& error)
{
    Alert alert;
    alert.messageText = error.description;
    QStringList informative;
    if (!error.reason.isEmpty())
        informative << error.reason;
    if (!error.suggestion.isEmpty())
        informative << error.suggestion;
    alert.informativeText = informative.join(QStringLiteral("\n\n"));
    alert.style = AlertStyle::Warning;
    env.ask(alert);
}

// --- the sub-pane ---

StudyPaneBookmarksViewController::StudyPaneBookmarksViewController(StudyPaneEnvironment env, StudyPaneHost* host)
    : StudyPaneSubpane(std::move(env), host)
{
    if (m_env.center == nullptr)
        return;
    observe(
        PaneNotifications::ThisSourceIsNowActiveNotification, [this](Notification& n) { thisSourceIsNowActive(&n); });
    observe(
        PaneNotifications::DisplayPreferencesChangedNotification, [this](Notification&) { m_list.show(listedBook()); });
    observe(StudyPaneNotifications::qsBookmarksHaveChangedNotification,
        [this](Notification&) { thisSourceIsNowActive(nullptr); });
    observe(
        StudyPaneNotifications::qsCategoriesHaveChangedNotification, [this](Notification&) { populateCategoryMenu(); });
    observe(PaneNotifications::qsDevotionalStartDateHasChangedNotification, [this](Notification&) {
        const SourceTuple::Ptr book = listedBook();
        if (book && book->docSupports(SourceTuple::kDocSupportsDateLookup()))
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
    if (id == kNoCategory) {
        m_deleteButton->setEnabled(m_popup->currentIndex() >= 0);
        m_renameButton->setEnabled(false);
    } else {
        m_deleteButton->setEnabled(true);
        m_renameButton->setEnabled(id != kAllCategories);
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
    populateCategoryMenu(&scratch, kOptionAll | kOptionNoCategory, {});
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
        if (id >= kAllCategories)
            lastAll = i;
    }
    if (chosen < 0)
        chosen = lastAll;
    m_popup->setCurrentIndex(chosen);
    const quint16 id = chosen >= 0 ? quint16(m_popup->itemData(chosen).toMap().value(kCategoryID).toUInt()) : wanted;
    if (StudyPaneRegionContentItemState* s = paneState())
        s->bookmarkPaneSelectedCatID = id;
    m_deleteButton->setEnabled(true);
    m_renameButton->setEnabled(id != kNoCategory && id != kAllCategories);
}

void StudyPaneBookmarksViewController::thisSourceIsNowActive(const Notification* n)
{
    if (!isLayoutCurrent())
        return;
    SourceTuple::Ptr candidate = n ? bookFromVariant(n->userInfo.value(QStringLiteral("sourceTuple"))) : nullptr;
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
    m_list.list(book, [&book, id](BitVector& found) { book->results(found, id); });
}

void StudyPaneBookmarksViewController::activateRow(int row)
{
    const SourceTuple::Ptr book = listedBook();
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
        oldName = categoryNameForId(id).value_or(QString());
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
    StudyPaneError error;
    if (!addOrRenameCategory(m_env, *answer, oldName, &error)) {
        alertWithError(m_env, error);
        return;
    }
    const quint16 id = categoryIdForCategoryNamed(answer->trimmed(), &error);
    if (id == kAllCategories) {
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
    const std::optional<QString> name = categoryNameForId(id);
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
    if (id == kNoCategory) {
        alert.messageText = QStringLiteral("Are you sure you want to delete uncategorized bookmarks?");
        alert.informativeText =
            QStringLiteral("If you answer 'Yes', you will delete all uncategorized bookmarks. You will "
                           "not (and cannot) delete the 'No Category' category itself. This "
                           "operation cannot be undone.");
    } else if (id == kAllCategories) {
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
    // The bookmark tables are opened before any category goes, so a failure leaves no bookmark in a
    // deleted category.
    cBookmarkMgr bookmarks;
    bool ok = bookmarks.openDatabase(nullptr, true, false);
    if (ok) {
        ok = bookmarks.deleteBookmarksInCategory(id == kAllCategories ? -1 : int(id), false);
        cCategoryStg categories;
        if (ok && id != kNoCategory) {
            ok = categories.openDatabase(false);
            if (ok && id == kAllCategories) {
                ok = categories.deleteAllCategories(false, false);
            } else if (ok) {
                cCategory category;
                ok =
                    categories.findCategoryById(id, category) && categories.markCategoryDeleted(category, false, false);
            }
        }
        bookmarks.close();
    }
    if (m_env.center != nullptr) {
        m_env.center->postNotificationName(StudyPaneNotifications::qsCategoriesHaveChangedNotification, this);
        m_env.center->postNotificationName(StudyPaneNotifications::qsBookmarksHaveChangedNotification, this);
    }
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
