// The highlights sub-pane of the study pane (tab 3): a colour pop-up with rename-colour and
// remove-highlights buttons over the list of the verses of one Bible highlighted in the chosen
// colour or style; choosing a row goes there. Its reads and writes (removing the highlights of a
// colour, the user's names for the colours) go through a HighlightStore of its own (the book panes'
// context menus have theirs), its colour pop-up is filled by HighlightMenus.
//
// Owned by the study pane controller; owns its view. Main thread only.
#pragma once

#include "library/SourceTuple.h"
#include "platform/NotificationCenter.h"
#include "studypane/HighlightStore.h"
#include "studypane/StudyPaneEnvironment.h"
#include "studypane/StudyPaneSectionList.h"
#include "studypane/StudyPaneSubpane.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QComboBox;
class QMenu;
class QTableWidget;
class QToolButton;

class StudyPaneHighlightsViewController : public StudyPaneSubpane {
    Q_OBJECT
public:
    // --- the sub-pane ---
    explicit StudyPaneHighlightsViewController(StudyPaneEnvironment env, StudyPaneViewController* host = nullptr);
    ~StudyPaneHighlightsViewController() override;

    void studyPaneDidActivateSubview() override;

    SourceTuple::Ptr listedBible() const;

    void populateColorMenu();
    void onColorSelected(int index);
    void searchCurrentSourceForColor(quint16 value);
    void onRenameHighlightColorButton();
    void onRemoveHighlightsButton();
    void updateButtons();
    void thisSourceIsNowActive(const Notification* n);
    void activateRow(int row);

private:
    void loadView() override;
    void viewDidLoad() override;

    QComboBox* m_popup = nullptr;
    QToolButton* m_renameButton = nullptr;
    QToolButton* m_removeButton = nullptr;
    StudyPaneSectionList m_list;
    HighlightStore m_store;
};
