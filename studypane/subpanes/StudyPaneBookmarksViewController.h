// The bookmarks sub-pane of the study pane (tab 2): a category pop-up with rename and delete buttons
// over the list of the bookmarked sections of one book in the chosen category; choosing a row goes
// there. The class functions are the bookmark services of the user interface: the book panes'
// context menus bookmark and un-bookmark verses and sections through them, build their category
// menus with them and ask whether a verse or section carries a bookmark. Storage goes through the
// category store and the bookmark manager of the user data, which stamp rows, keep deletions as
// tombstones and ask for a sync themselves.
//
// Category ids: 0 "No Category" (no row), 1-65534 rows of the category table, 65535 all categories
// (or not known yet). Menu payloads (QAction::data(), a QVariantMap): "title", "searchTitle" ("*"
// for all categories), "categoryID", and "isCreateNewCategory" true on the "Create New Category" item.
//
// Owned by the study pane controller; owns its view. Main thread only (the class functions too:
// each opens its stores for the call and closes them before returning).
#pragma once

#include "library/SourceTuple.h"
#include "platform/NotificationCenter.h"
#include "studypane/StudyPaneEnvironment.h"
#include "studypane/StudyPaneSubpane.h"
#include "studypane/subpanes/StudyPaneSectionList.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QComboBox;
class QMenu;
class QTableWidget;
class QToolButton;

// An error of the bookmark services, as the user sees it in an alert.
struct StudyPaneError {
    QString domain = QStringLiteral("QuillsteadErrorDomain");
    int code = -1;
    QString description;
    QString reason;  // may be empty
    QString suggestion;
};

class StudyPaneBookmarksViewController : public StudyPaneSubpane {
    Q_OBJECT
public:
    static constexpr quint16 kNoCategory = 0;
    static constexpr quint16 kAllCategories = 65535;
    // Options of the category menus.
    enum MenuOption {
        kOptionAll = 1,             // "All Bookmarks" / "All Categories"
        kOptionNoCategory = 2,      // "No Category"
        kOptionCreateNew = 4,       // "Create New Category" and a separator
        kOptionAllWhenSeveral = 8,  // "All Categories" only over two or more bookmarks
    };
    using MenuHandler = std::function<void(const QVariantMap& payload)>;

    // --- services (they post on the environment's centre and ask through its alerts) ---
    // The sender of the services' notifications.
    static const void* classObject();

    // Empties the menu and adds the items the options ask for, then every live category by name.
    static void populateCategoryMenu(QMenu* menu, int options, const MenuHandler& onChosen);
    // Appends the categories of the bookmarks on a verse (packed key) or on the section of a block.
    static void populateCategoryMenuFromVerse(QMenu* menu, quint32 key, int options, const MenuHandler& onChosen);
    static void populateCategoryMenuFromBlock(
        QMenu* menu, quint32 block, const SourceTuple::Ptr& book, int options, const MenuHandler& onChosen);

    // Creates a category (old name empty or null) or renames one, moving its bookmarks.
    static bool addOrRenameCategory(const StudyPaneEnvironment& env, const QString& newName,
        const std::optional<QString>& oldName, StudyPaneError* error = nullptr);
    // Bookmarks a verse or the section of a block in a category (id 65535: looked up by name). False
    // when nothing was written.
    static bool bookmarkThisVerse(
        const StudyPaneEnvironment& env, quint32 key, const QString& categoryName, quint16 categoryId);
    static bool bookmarkThisBlock(const StudyPaneEnvironment& env, quint32 block, const SourceTuple::Ptr& book,
        const QString& categoryName, quint16 categoryId);
    // Removes the bookmarks of one category (or all: id 65535 with name "*"). False when a deletion
    // failed or the category is not known.
    static bool deleteBookmarkOnThisVerse(
        const StudyPaneEnvironment& env, quint32 key, const QString& categoryName, quint16 categoryId);
    static bool deleteBookmarkOnThisBlock(const StudyPaneEnvironment& env, quint32 block, const SourceTuple::Ptr& book,
        const QString& categoryName, quint16 categoryId);
    // 65535 and an error when no live category has the name.
    static quint16 categoryIdForCategoryNamed(const QString& name, StudyPaneError* error = nullptr);
    // 0 "No Category", 65535 or more "All Categories" (no look-up); nothing and an error when unknown.
    static std::optional<QString> categoryNameForId(quint32 id, StudyPaneError* error = nullptr);
    static bool verseHasBookmarks(quint32 key);
    static bool blockHasBookmarks(quint32 block, const SourceTuple::Ptr& book);

    // Shows an error in a modal alert.
    static void alertWithError(const StudyPaneEnvironment& env, const StudyPaneError& error);

    // --- the sub-pane ---
    explicit StudyPaneBookmarksViewController(StudyPaneEnvironment env, StudyPaneHost* host = nullptr);
    ~StudyPaneBookmarksViewController() override;

    void studyPaneDidActivateSubview() override;

    QComboBox* categoryPopUpButton() const { return m_popup; }
    QTableWidget* resultsTableView() const { return m_list.table(); }
    QToolButton* renameCategoryButton() const { return m_renameButton; }
    QToolButton* deleteCategoryButton() const { return m_deleteButton; }
    // The listed book; null when none.
    SourceTuple::Ptr listedBook() const;
    // The sections listed, in book order.
    const QList<quint32>& bookmarkedSections() const { return m_list.sections(); }
    std::optional<QString> tableViewHeaderString() const { return m_list.header(); }

    void populateCategoryMenu();
    void onNewCategory();
    void onRenameCategory();
    void onDeleteCategory();
    // The pop-up's item at that index was chosen.
    void onCategorySelected(int index);
    void searchCurrentSourceForCategoryId(quint16 id);
    // Follows the active book (a notification's "sourceTuple" when given).
    void thisSourceIsNowActive(const Notification* n);
    // Activates a row as a click does: a go-to request for its section; the row is deselected.
    void activateRow(int row);

private:
    void loadView() override;
    void viewDidLoad() override;
    void askAndRename(bool isNew);

    QComboBox* m_popup = nullptr;
    QToolButton* m_newButton = nullptr;
    QToolButton* m_renameButton = nullptr;
    QToolButton* m_deleteButton = nullptr;
    StudyPaneSectionList m_list;
};
