// The bookmarks sub-pane of the study pane (tab 2): a category pop-up with rename and delete buttons
// over the list of the bookmarked sections of one book in the chosen category; choosing a row goes
// there. Its reads and writes go through a BookmarkStore of its own (the book panes' context menus
// have theirs), its category pop-up is filled by BookmarkMenus.
//
// Owned by the study pane controller; owns its view. Main thread only.
#pragma once

#include "library/SourceTuple.h"
#include "platform/NotificationCenter.h"
#include "studypane/BookmarkStore.h"
#include "studypane/StudyPaneEnvironment.h"
#include "studypane/StudyPaneSectionList.h"
#include "studypane/StudyPaneSubpane.h"

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

class StudyPaneBookmarksViewController : public StudyPaneSubpane {
    Q_OBJECT
public:
    // --- the sub-pane ---
    explicit StudyPaneBookmarksViewController(StudyPaneEnvironment env, StudyPaneViewController* host = nullptr);
    ~StudyPaneBookmarksViewController() override;

    void studyPaneDidActivateSubview() override;

    // The listed book; null when none.
    SourceTuple::Ptr listedBook() const;

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
    BookmarkStore m_store;
};
