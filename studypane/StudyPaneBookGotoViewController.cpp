#include "studypane/StudyPaneBookGotoViewController.h"

#include "engine/references/BibleRef.h"
#include "library/GoToRequest.h"
#include "library/LibraryNotifications.h"
#include "panes/layout/PaneNotifications.h"
#include "platform/ui/ContentTextDocument.h"
#include "studypane/StudyPaneSubpanes.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QProgressBar>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include <cmath>

// --- the outline model ---

StudyPaneTOCModel::StudyPaneTOCModel(StudyPaneBookGotoViewController* owner) : QAbstractItemModel(owner), m_owner(owner)
{
}

TOCItem* StudyPaneTOCModel::itemForIndex(const QModelIndex& index) const
{
    return index.isValid() ? static_cast<TOCItem*>(index.internalPointer()) : m_owner->getOrMakeRootTOCItem();
}

QModelIndex StudyPaneTOCModel::index(int row, int column, const QModelIndex& parent) const
{
    TOCItem* p = itemForIndex(parent);
    if (p == nullptr || column != 0 || row < 0 || row >= p->numChildren)
        return {};
    TOCItem* c = m_owner->child(row, p);
    return c != nullptr ? createIndex(row, 0, c) : QModelIndex();
}

QModelIndex StudyPaneTOCModel::parent(const QModelIndex& child) const
{
    const TOCItem* c = child.isValid() ? static_cast<TOCItem*>(child.internalPointer()) : nullptr;
    if (c == nullptr || c->parent == nullptr || c->parent->parent == nullptr)
        return {};
    return createIndex(c->parent->row, 0, c->parent);
}

int StudyPaneTOCModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return 0;
    const TOCItem* p = itemForIndex(parent);
    return p != nullptr && p->hasChildItems ? int(p->numChildren) : 0;
}

int StudyPaneTOCModel::columnCount(const QModelIndex&) const
{
    return 1;
}

bool StudyPaneTOCModel::hasChildren(const QModelIndex& parent) const
{
    return rowCount(parent) > 0;
}

QVariant StudyPaneTOCModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    const QString& name = static_cast<TOCItem*>(index.internalPointer())->name;
    return role == Qt::ToolTipRole ? ContentTextDocument::plainToolTip(name) : name;
}

QVariant StudyPaneTOCModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (section != 0 || orientation != Qt::Horizontal || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    const TOCItem* root = m_owner->getOrMakeRootTOCItem();
    const QString name = root != nullptr ? root->name : QString();
    return role == Qt::ToolTipRole ? ContentTextDocument::plainToolTip(name) : name;
}

void StudyPaneTOCModel::reload()
{
    beginResetModel();
    endResetModel();
}

// --- the look-up words ---

StudyPaneLookupWordModel::StudyPaneLookupWordModel(StudyPaneBookGotoViewController* owner)
    : QAbstractListModel(owner), m_owner(owner)
{
}

int StudyPaneLookupWordModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_owner->numberOfItemsInComboBox();
}

QVariant StudyPaneLookupWordModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    return m_owner->comboBoxObjectValueForItemAtIndex(index.row());
}

void StudyPaneLookupWordModel::reload()
{
    beginResetModel();
    endResetModel();
}

// --- the controller ---

StudyPaneBookGotoViewController::StudyPaneBookGotoViewController(
    StudyPaneEnvironment env, StudyPaneViewController* host, bool commentaryOrDictionary)
    : StudyPaneSubpane(std::move(env), host), m_lookupForm(commentaryOrDictionary)
{
    m_model = new StudyPaneTOCModel(this);
    if (m_lookupForm)
        m_words = new StudyPaneLookupWordModel(this);
    observe(
        PaneNotifications::ThisSourceIsNowActiveNotification, [this](Notification& n) { thisSourceIsNowActive(&n); });
    thisSourceIsNowActive(nullptr);
}

StudyPaneBookGotoViewController::~StudyPaneBookGotoViewController()
{
    stopObserving();
}

StudyPaneSubpane::Factory StudyPaneBookGotoViewController::factory(bool commentaryOrDictionary)
{
    return [commentaryOrDictionary](const StudyPaneEnvironment& env, StudyPaneViewController* host) {
        return std::make_unique<StudyPaneBookGotoViewController>(env, host, commentaryOrDictionary);
    };
}

void StudyPaneBookGotoViewController::loadView()
{
    createView(m_lookupForm ? QStringLiteral("StudyPaneBookGotoView") : QStringLiteral("StudyPaneOtherGotoView"));
    auto* column = new QVBoxLayout(loadedView());
    column->setContentsMargins(4, 4, 4, 4);
    if (m_lookupForm) {
        m_combo = new QComboBox(loadedView());
        m_combo->setObjectName(QStringLiteral("lookUpField"));
        m_combo->setEditable(true);
        m_combo->setInsertPolicy(QComboBox::NoInsert);
        m_combo->setCompleter(nullptr);
        m_combo->setModel(m_words);
        m_combo->setMaxVisibleItems(20);
        m_combo->setCurrentIndex(-1);
        m_combo->lineEdit()->setPlaceholderText(tr("Look up a word"));
        column->addWidget(m_combo);
        connect(m_combo->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& t) { textEdited(t); });
        connect(m_combo->lineEdit(), &QLineEdit::returnPressed, this, [this] { comboBoxEnterKey(); });
        connect(m_combo, &QComboBox::activated, this, [this](int) { comboBoxEnterKey(); });
    }
    m_progress = new QProgressBar(loadedView());
    m_progress->setRange(0, 0);
    m_progress->setMaximumHeight(6);
    m_progress->setTextVisible(false);
    m_progress->hide();
    column->addWidget(m_progress);
    m_outline = new QTreeView(loadedView());
    m_outline->setObjectName(QStringLiteral("outline"));
    m_outline->setUniformRowHeights(true);
    m_outline->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_outline->setSelectionMode(QAbstractItemView::SingleSelection);
    m_outline->setModel(m_model);
    m_outline->header()->setStretchLastSection(true);
    m_outline->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    column->addWidget(m_outline, 1);
    connect(
        m_outline->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& current) {
            if (current.isValid())
                outlineViewSelectionDidChange(m_model->itemForIndex(current));
        });
    connect(m_outline, &QTreeView::expanded, this,
        [this](const QModelIndex& i) { outlineViewItemDidExpand(m_model->itemForIndex(i)); });
    m_model->reload();
}

void StudyPaneBookGotoViewController::studyPaneDidActivateSubview()
{
    if (m_combo != nullptr)
        m_combo->setFocus();
}

void StudyPaneBookGotoViewController::thisSourceIsNowActive(const Notification* n)
{
    if (!isLayoutCurrent())
        return;
    SourceTuple::Ptr candidate = StudyPaneSubpanes::notifiedPlace(n).book;
    if (!candidate)
        candidate = StudyPaneSubpanes::activeBook(m_env).book;
    const bool same = candidate ? (m_sourceTuple && m_sourceTuple->isEqual(*candidate)) : m_sourceTuple == nullptr;
    if (same)
        return;
    if (m_lookupForm) {
        if (!candidate || candidate->docSupports(kDocSupportsIsBible) ||
            (candidate->record().syncType != 1 && candidate->record().syncType != 2))
            return;
        m_sourceTuple = candidate;
        m_words->reload();
        if (m_combo != nullptr) {
            m_combo->setCurrentIndex(-1);
            m_combo->setEditText(QString());
        }
    } else {
        if (candidate && candidate->record().syncType != 0)
            return;
        m_sourceTuple = candidate;
    }
    m_root.reset();
    m_model->reload();
}

qint64 StudyPaneBookGotoViewController::displayedRows(qint64 n)
{
    return n > kMaxRowsPerLevel ? n / kMaxRowsPerLevel + 1 : n;
}

std::pair<qint64, qint64> StudyPaneBookGotoViewController::groupSpan(qint64 n, qint64 i)
{
    // g + 1 groups of nearly equal size; the last takes what is left.
    const qint64 g = n / kMaxRowsPerLevel;
    const qint64 s = qint64(std::floor(double(n) / double(g + 1) + 0.5));
    return {s * i, i >= g ? n - s * i : s};
}

const QList<quint32>& StudyPaneBookGotoViewController::entriesOf(TOCItem* item)
{
    if (!item->entries) {
        if (item->isGroup() && item->parent != nullptr) {
            entriesOf(item->parent);
            item->entries = item->parent->entries;
        } else {
            auto list = std::make_shared<QList<quint32>>();
            if (m_sourceTuple)
                m_sourceTuple->locations().loadChildSectionsOf(item->childrenOfSection, *list, false);
            item->entries = std::move(list);
        }
    }
    return *item->entries;
}

qint64 StudyPaneBookGotoViewController::displayedChildCount(quint32 section)
{
    return displayedRows(m_sourceTuple ? qint64(m_sourceTuple->locations().numChildrenOfSection(section)) : 0);
}

TOCItem* StudyPaneBookGotoViewController::getOrMakeRootTOCItem()
{
    if (!m_root) {
        m_root = std::make_unique<TOCItem>();
        if (m_sourceTuple) {
            m_root->name = m_sourceTuple->record().name;
            m_root->numChildren = displayedChildCount(0);
            m_root->hasChildItems = true;
            m_root->childItems.reserve(size_t(m_root->numChildren));
        }
        if (m_outline != nullptr)
            m_outline->header()->setToolTip(ContentTextDocument::plainToolTip(m_root->name));
    }
    return m_root.get();
}

TOCItem* StudyPaneBookGotoViewController::child(qint64 index, TOCItem* parent)
{
    if (parent == nullptr || !parent->hasChildItems || !m_sourceTuple || index < 0 || index >= parent->numChildren)
        return nullptr;
    const qint64 n = qint64(entriesOf(parent).size());
    const bool cached = size_t(index) < parent->childItems.size() && parent->childItems[size_t(index)];
    // Busy while a long level's rows are being made (not when the view asks again for rows it has).
    if (index == 0 && n >= 251 && !cached)
        setAnimating(true);
    else if (index == parent->numChildren - 1 && m_progress != nullptr && m_progress->isVisible())
        setAnimating(false);
    if (cached)
        return parent->childItems[size_t(index)].get();
    std::unique_ptr<TOCItem> made = makeChild(index, parent, n);
    if (parent->childItems.size() <= size_t(index))
        parent->childItems.resize(size_t(index) + 1);
    parent->childItems[size_t(index)] = std::move(made);
    return parent->childItems[size_t(index)].get();
}

std::unique_ptr<TOCItem> StudyPaneBookGotoViewController::makeChild(qint64 i, TOCItem* parent, qint64 n)
{
    auto item = std::make_unique<TOCItem>();
    item->parent = parent;
    item->row = int(i);
    if (n > kMaxRowsPerLevel && !parent->isGroup()) {
        const auto [first, count] = groupSpan(n, i);
        item->numChildren = count;
        item->firstChildNumber = first;
        item->childrenOfSection = parent->section;
        item->hasChildItems = count > 0;
        item->childItems.reserve(size_t(std::max<qint64>(count, 0)));
        item->entries = parent->entries;
        item->section = parent->entries->value(first);
        const quint32 last = parent->entries->value(first + count - 1);
        item->name = QStringLiteral("'%1' to '%2'")
                         .arg(m_sourceTuple->locations().tocNameForSection(item->section),
                             m_sourceTuple->locations().tocNameForSection(last));
        return item;
    }
    const qint64 entry = n > kMaxRowsPerLevel ? parent->firstChildNumber + i : i;
    item->section = parent->entries->value(entry);
    item->name = m_sourceTuple->locations().tocNameForSection(item->section);
    item->numChildren = displayedChildCount(item->section);
    item->firstChildNumber = 0;
    item->childrenOfSection = item->section;
    item->hasChildItems = item->numChildren != 0;
    if (item->hasChildItems)
        item->childItems.reserve(size_t(item->numChildren));
    return item;
}

void StudyPaneBookGotoViewController::setAnimating(bool on)
{
    if (m_progress == nullptr)
        return;
    m_progress->setVisible(on);
    // The rows are made while the view lays itself out; once it is done nothing is left to wait for,
    // even when the view never asks for a level's last row.
    if (on)
        QTimer::singleShot(0, m_progress, [bar = m_progress] { bar->hide(); });
}

void StudyPaneBookGotoViewController::outlineViewItemDidExpand(TOCItem*)
{
    setAnimating(false);
}

void StudyPaneBookGotoViewController::outlineViewSelectionDidChange(TOCItem* item)
{
    if (item == nullptr || item->section == 0 || !m_sourceTuple)
        return;
    GoToRequest g;
    g.section = item->section;
    g.sourceTuple = m_sourceTuple;
    requestGoTo(std::move(g));
}

// --- the look-up field ---

quint64 StudyPaneBookGotoViewController::lookupKind() const
{
    if (!m_lookupForm || !m_sourceTuple)
        return 0;
    const quint64 kind = m_sourceTuple->record().syncType;
    return kind == 1 || kind == 2 ? kind : 0;
}

int StudyPaneBookGotoViewController::numberOfItemsInComboBox() const
{
    switch (lookupKind()) {
    case 1:
        return int(std::min<quint64>(m_sourceTuple->record().numCommentaryLookupWords, quint64(INT32_MAX)));
    case 2:
        return int(std::min<quint64>(m_sourceTuple->record().numDictionaryLookupWords, quint64(INT32_MAX)));
    default:
        return 0;
    }
}

QString StudyPaneBookGotoViewController::comboBoxObjectValueForItemAtIndex(int index) const
{
    if (!m_sourceTuple)
        return QStringLiteral("Error");
    switch (lookupKind()) {
    case 1:
        return m_sourceTuple->words().commentaryLookupWordForWordNumber(quint32(index));
    case 2:
        return m_sourceTuple->words().dictionaryLookupWordForWordNumber(quint32(index));
    default:
        return QString();
    }
}

QString StudyPaneBookGotoViewController::comboBoxCompletedString(const QString& typed) const
{
    switch (lookupKind()) {
    case 2: {
        const quint32 n = m_sourceTuple->words().wordNumberForDictionaryLookupWord(typed, true);
        return n == kNotFound ? QString() : m_sourceTuple->words().dictionaryLookupWordForWordNumber(n);
    }
    case 1: {
        const int count = numberOfItemsInComboBox();
        for (int i = 0; i < count; ++i) {
            const QString word = m_sourceTuple->words().commentaryLookupWordForWordNumber(quint32(i));
            if (word.size() >= typed.size() && word.startsWith(typed, Qt::CaseInsensitive))
                return word;
        }
        return QString();
    }
    default:
        return QString();
    }
}

int StudyPaneBookGotoViewController::comboBoxIndexOfItemWithStringValue(const QString& text) const
{
    switch (lookupKind()) {
    case 2: {
        const quint32 n = m_sourceTuple->words().wordNumberForDictionaryLookupWord(text, false);
        return n == kNotFound ? -1 : int(n);
    }
    case 1: {
        const int count = numberOfItemsInComboBox();
        for (int i = 0; i < count; ++i) {
            if (m_sourceTuple->words()
                    .commentaryLookupWordForWordNumber(quint32(i))
                    .compare(text, Qt::CaseInsensitive) == 0)
                return i;
        }
        return -1;
    }
    default:
        return -1;
    }
}

void StudyPaneBookGotoViewController::comboBoxEnterKey()
{
    const QString text = m_combo != nullptr ? m_combo->currentText() : QString();
    quint32 section = 0;
    switch (lookupKind()) {
    case 2:
        section = m_sourceTuple->locations().sectionForSyncString(text);
        break;
    case 1: {
        const int index = comboBoxIndexOfItemWithStringValue(text);
        section = index >= 0 ? m_sourceTuple->words().sectionForCommentaryLookupWordNumber(quint32(index))
                             : m_sourceTuple->locations().sectionForSyncString(text);
        break;
    }
    default:
        return;
    }
    if (section == 0 || section == kNotFound) {
        // A commentary says why nothing moves: no note covers the verse, or the text names none.
        if (lookupKind() == 1 && !text.trimmed().isEmpty()) {
            BibleRef verse;
            m_env.showToast(verse.parse(text) && !verse.isBookOnly()
                    ? QStringLiteral("No note for %1.").arg(verse.fullSpelling())
                    : QStringLiteral("Not found (%1).").arg(text.trimmed()));
        }
        return;
    }
    GoToRequest g;
    g.section = section;
    g.sourceTuple = m_sourceTuple;
    g.wordSync = text;
    g.sync = true;
    requestGoTo(std::move(g));
}

void StudyPaneBookGotoViewController::textEdited(const QString& text)
{
    if (m_editing || m_combo == nullptr)
        return;
    QLineEdit* edit = m_combo->lineEdit();
    const bool grew = text.size() > m_lastTyped.size();
    m_lastTyped = text;
    if (!grew || text.isEmpty() || edit->cursorPosition() != text.size())
        return;
    const QString completed = comboBoxCompletedString(text);
    if (completed.size() > text.size() && completed.startsWith(text, Qt::CaseInsensitive)) {
        m_editing = true;
        edit->setText(text + completed.mid(text.size()));
        edit->setSelection(int(text.size()), int(completed.size() - text.size()));
        m_editing = false;
    }
}
