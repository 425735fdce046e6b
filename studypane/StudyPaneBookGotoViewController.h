// The go-to sub-pane of the study pane for books that are not Bibles (tab 6). Two forms: for a
// commentary or a dictionary, a look-up field over the book's headwords (or commentary look-up
// words) above the book's table of contents; for other books, the table of contents alone. The
// outline is made lazily, row by row as the view asks for rows; a level of more than 125 entries is
// shown as groups of at most 125 ("'first' to 'last'"), each leading to its first entry. Choosing an
// entry, or Return in the field, posts a go-to request.
//
// TOCItem: one outline row, owned by its parent's child cache (the root by the controller).
// Owned by the study pane controller; owns its view and the outline. Main thread only.
#pragma once

#include "library/SourceTuple.h"
#include "platform/NotificationCenter.h"
#include "studypane/StudyPaneEnvironment.h"
#include "studypane/StudyPaneSubpane.h"

#include <QAbstractItemModel>
#include <QAbstractListModel>
#include <QList>
#include <QObject>
#include <QPointer>

#include <memory>
#include <utility>
#include <vector>

class QComboBox;
class QProgressBar;
class QTreeView;
class StudyPaneBookGotoViewController;

class TOCItem {
public:
    quint32 section = 0;
    QString name;
    qint64 numChildren = 0;
    // Child rows made so far, by index; null where not made yet. Empty (hasChildItems false) for a
    // row without children.
    std::vector<std::unique_ptr<TOCItem>> childItems;
    bool hasChildItems = false;
    qint64 firstChildNumber = 0;
    quint32 childrenOfSection = 0;
    // The sections of the contents entries under childrenOfSection, read once when first needed
    // (a group row shares its parent's list).
    std::shared_ptr<const QList<quint32>> entries;
    TOCItem* parent = nullptr;  // not owned; null for the root
    int row = 0;                // index among the parent's children

    bool isGroup() const { return childrenOfSection != section; }
};

// The outline's rows for the view, made through the controller as they are asked for.
class StudyPaneTOCModel : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit StudyPaneTOCModel(StudyPaneBookGotoViewController* owner);
    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    TOCItem* itemForIndex(const QModelIndex& index) const;
    void reload();

private:
    StudyPaneBookGotoViewController* m_owner;
};

// The look-up words of a commentary or dictionary, asked of the book one at a time.
class StudyPaneLookupWordModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit StudyPaneLookupWordModel(StudyPaneBookGotoViewController* owner);
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    void reload();

private:
    StudyPaneBookGotoViewController* m_owner;
};

class StudyPaneBookGotoViewController : public StudyPaneSubpane {
    Q_OBJECT
public:
    static constexpr qint64 kMaxRowsPerLevel = 125;
    static constexpr quint32 kNotFound = 0xFFFFFFFF;

    StudyPaneBookGotoViewController(
        StudyPaneEnvironment env, StudyPaneViewController* host, bool commentaryOrDictionary);
    ~StudyPaneBookGotoViewController() override;
    // The factory of the commentary and dictionary form (true) or of the outline-only form.
    static StudyPaneSubpane::Factory factory(bool commentaryOrDictionary);

    void studyPaneDidActivateSubview() override;
    SourceTuple::Ptr sourceTuple() const { return m_sourceTuple; }
    QProgressBar* progressIndicator() const { return m_progress; }

    // The rows a level of n entries shows: n up to 125, else n / 125 + 1 groups.
    static qint64 displayedRows(qint64 n);
    // Group i of a level of n entries (more than 125): its first entry and its number of entries.
    static std::pair<qint64, qint64> groupSpan(qint64 n, qint64 i);

    TOCItem* getOrMakeRootTOCItem();
    // The child row `index` of a row (made and cached on first use); null for a row without children.
    TOCItem* child(qint64 index, TOCItem* parent);
    // Follows the active book (a notification's "sourceTuple" when given).
    void thisSourceIsNowActive(const Notification* n);
    // A row was chosen: a go-to request for its section.
    void outlineViewSelectionDidChange(TOCItem* item);
    void outlineViewItemDidExpand(TOCItem* item);

    // The look-up field's data source.
    int numberOfItemsInComboBox() const;
    QString comboBoxObjectValueForItemAtIndex(int index) const;
    QString comboBoxCompletedString(const QString& typed) const;
    int comboBoxIndexOfItemWithStringValue(const QString& text) const;
    // Return in the field.
    void comboBoxEnterKey();

private:
    void loadView() override;
    quint64 lookupKind() const;  // 1 commentary, 2 dictionary, 0 neither
    void textEdited(const QString& text);
    void setAnimating(bool on);
    std::unique_ptr<TOCItem> makeChild(qint64 index, TOCItem* parent, qint64 n);
    qint64 displayedChildCount(quint32 section);
    const QList<quint32>& entriesOf(TOCItem* item);

    bool m_lookupForm;
    SourceTuple::Ptr m_sourceTuple;
    std::unique_ptr<TOCItem> m_root;
    QComboBox* m_combo = nullptr;
    StudyPaneLookupWordModel* m_words = nullptr;
    QTreeView* m_outline = nullptr;
    StudyPaneTOCModel* m_model = nullptr;
    QProgressBar* m_progress = nullptr;
    QString m_lastTyped;
    bool m_editing = false;
};
