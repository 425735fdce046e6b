// The highlights sub-pane of the study pane (tab 3): a colour pop-up with rename-colour and
// remove-highlights buttons over the list of the verses of one Bible highlighted in the chosen
// colour or style; choosing a row goes there. The class functions are the highlight services of the
// user interface: the book panes' colour menu, highlighting verses (which every book pane shows at
// once through "qsHighlightsHaveChangedNotification") and the user's names for the colours. The
// highlights and colour names live in the user data's highlight document and colour-name store,
// which stamp rows, keep deletions as tombstones and ask for a sync themselves.
//
// Colour values: 0 no colour ("Any Color" when listing, removal when applying), 1-140 rows of the
// highlight colour table, values with bit 0x8000 text styles. Menu payloads (QAction::data(), a
// QVariantMap): "title", "colorID", "bgColor" (a QColor; transparent for styles), "underlineStyle".
//
// Owned by the study pane controller; owns its view. Main thread only.
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
    enum MenuOption {
        kOptionAnyColor = 1,         // "Any Color" first
        kOptionRemoveHighlight = 2,  // "Remove Highlight" last
    };
    // The underline styles of the menu's swatches.
    enum UnderlineStyle { kUnderlineNone = 0, kUnderlineSingle = 1, kUnderlineDotted = 257, kUnderlineDashed = 513 };
    using MenuHandler = std::function<void(const QVariantMap& payload)>;

    // The 19 values the colour menu offers, in menu order.
    static const std::array<quint16, 19>& menuColorValues();

    // --- services (they post on the environment's centre) ---
    static const void* classObject();
    // Empties the menu and fills it: "Any Color" (option 1), the 19 values, "Remove Highlight" (option 2).
    static void populateColorMenu(QMenu* menu, int options, const MenuHandler& onChosen);
    // The item payload of a value (its name as the menu shows it).
    static QVariantMap colorMenuPayload(quint16 value);
    // Colours every verse (packed keys) with the value, or removes their highlights with 0; posts
    // one "qsHighlightsHaveChangedNotification" (nothing for an empty list).
    static void highlightTheseVerses(const StudyPaneEnvironment& env, const QList<quint32>& keys, quint16 color);
    // The user's name for the value unless noCustomNames, else the default name.
    static QString nameForColorValue(quint16 value, bool noCustomNames);
    static QString defaultNameForStyle(quint32 value);
    // Stores the user's name for a colour (nothing when it is the name it has).
    static void renameHighlightColor(
        const StudyPaneEnvironment& env, quint16 value, const QString& currentName, const QString& newName);
    // Back to the default name.
    static void deleteHighlightColorNameFor(const StudyPaneEnvironment& env, quint16 value);

    // --- the sub-pane ---
    explicit StudyPaneHighlightsViewController(StudyPaneEnvironment env, StudyPaneHost* host = nullptr);
    ~StudyPaneHighlightsViewController() override;

    void studyPaneDidActivateSubview() override;

    QComboBox* highlightColorPopUpButton() const { return m_popup; }
    QTableWidget* resultsTableView() const { return m_list.table(); }
    QToolButton* renameHighlightColorButton() const { return m_renameButton; }
    QToolButton* removeHighlightsButton() const { return m_removeButton; }
    SourceTuple::Ptr listedBible() const;
    const QList<quint32>& highlightedVerses() const { return m_list.sections(); }
    std::optional<QString> tableViewHeaderString() const { return m_list.header(); }

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
};
