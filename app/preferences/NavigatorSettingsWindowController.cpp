#include "app/preferences/NavigatorSettingsWindowController.h"
#include "platform/ui/ContentTextDocument.h"
#include "platform/ui/PlainLabel.h"

#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "reports/AutoStudyManager.h"
#include "studypane/StudyPaneNavigatorViewController.h"
#include "studypane/StudyPaneNotifications.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDataStream>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIODevice>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString kMaxNavRowsPerBook = QStringLiteral("maxNavRowsPerBook");

// The dragged rows travel as their numbers, first row first.
QByteArray encodeRows(QList<int> rows)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << qint32(rows.size());
    for (int r : rows)
        out << qint32(r);
    return bytes;
}

// The first dragged row, or -1 when the data holds none (or is not ours).
int firstRow(const QByteArray& bytes)
{
    QDataStream in(bytes);
    qint32 count = 0, row = -1;
    in >> count;
    if (in.status() != QDataStream::Ok || count <= 0)
        return -1;
    in >> row;
    return in.status() == QDataStream::Ok ? row : -1;
}

// Moves the record of row f to drop row t: inserted at t, the old copy removed after.
template <class List> void moveRecord(List& list, int f, int t)
{
    const auto record = list.at(f);
    list.insert(t, record);
    list.removeAt(f < t ? f : f + 1);
}

// Where a record at row r is after row f moved to drop row t.
int rowAfterMove(int r, int f, int t)
{
    if (r == f)
        return f < t ? t - 1 : t;
    if (f < t && r > f && r < t)
        return r - 1;
    if (f > t && r >= t && r < f)
        return r + 1;
    return r;
}

}  // namespace

// ---- table model

const QString NavigatorSettingsTableModel::ElementRowMimeType =
    QStringLiteral("application/x-tqsNavigatorElementRowPasteboardType");
const QString NavigatorSettingsTableModel::BookRowMimeType =
    QStringLiteral("application/x-tqsNavigatorBookRowPasteboardType");

NavigatorSettingsTableModel::NavigatorSettingsTableModel(NavigatorSettingsWindowController* owner, bool elements)
    : QAbstractTableModel(owner), m_owner(owner), m_elements(elements)
{
}

void NavigatorSettingsTableModel::reload()
{
    beginResetModel();
    endResetModel();
}

int NavigatorSettingsTableModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    return m_elements ? m_owner->elementCount() : m_owner->bookCount();
}

int NavigatorSettingsTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant NavigatorSettingsTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const int row = index.row();
    if (index.column() == CheckboxColumn) {
        if (role != Qt::CheckStateRole)
            return {};
        const bool on = m_elements ? m_owner->elementChecked(row) : m_owner->bookChecked(row);
        return on ? Qt::Checked : Qt::Unchecked;
    }
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        const QString name = m_elements ? m_owner->elementName(row) : m_owner->bookName(row);
        // Book names come from the books: a tool tip shows them as written.
        return role == Qt::ToolTipRole ? ContentTextDocument::plainToolTip(name) : name;
    }
    return {};
}

bool NavigatorSettingsTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.column() != CheckboxColumn || role != Qt::CheckStateRole || index.row() >= rowCount())
        return false;
    const bool on = value.toInt() == Qt::Checked;
    if (m_elements)
        m_owner->setElementChecked(index.row(), on);
    else
        m_owner->setBookChecked(index.row(), on);
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

QVariant NavigatorSettingsTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    if (section == CheckboxColumn)
        return tr("Use");
    return m_elements ? tr("Kind of book") : tr("Book");
}

Qt::ItemFlags NavigatorSettingsTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
    if (index.column() == CheckboxColumn)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

QStringList NavigatorSettingsTableModel::mimeTypes() const
{
    return {rowMimeType()};
}

QMimeData* NavigatorSettingsTableModel::mimeData(const QModelIndexList& indexes) const
{
    QList<int> rows;
    for (const QModelIndex& i : indexes)
        if (i.isValid())
            rows << i.row();
    auto* data = new QMimeData;
    data->setData(rowMimeType(), encodeRows(rows));
    return data;
}

bool NavigatorSettingsTableModel::canDropMimeData(
    const QMimeData* data, Qt::DropAction action, int, int, const QModelIndex&) const
{
    return data && action == Qt::MoveAction && data->hasFormat(rowMimeType());
}

bool NavigatorSettingsTableModel::dropMimeData(
    const QMimeData* data, Qt::DropAction action, int row, int, const QModelIndex& parent)
{
    if (!canDropMimeData(data, action, row, 0, parent))
        return false;
    const int count = rowCount();
    const int from = firstRow(data->data(rowMimeType()));
    if (from < 0 || from >= count)
        return false;
    // A drop on a row is a drop above it; a drop below the last row is a drop at the end.
    int to = row >= 0 ? row : parent.isValid() ? parent.row() : count;
    to = std::clamp(to, 0, count);
    if (m_elements)
        m_owner->moveElement(from, to);
    else
        m_owner->moveBook(from, to);
    return true;
}

// ---- window

const QList<int>& NavigatorSettingsWindowController::rowCountChoices()
{
    static const QList<int> choices {1, 2, 3, 4, 5, 10, 20};
    return choices;
}

NavigatorSettingsWindowController::NavigatorSettingsWindowController(
    const WindowEnvironment& env, AutoStudyElements& elements, QWidget* parent)
    : QDialog(parent), m_env(env), m_elements(elements)
{
    setObjectName(QStringLiteral("NavigatorSettingsWindowController"));
    setWindowTitle(tr("Navigator Settings"));
    setModal(true);

    auto makeTable = [this](NavigatorSettingsTableModel* model, const QString& name) {
        auto* table = new QTableView(this);
        table->setObjectName(name);
        table->setModel(model);
        table->setSelectionBehavior(QAbstractItemView::SelectRows);
        table->setSelectionMode(QAbstractItemView::SingleSelection);
        table->setEditTriggers(QAbstractItemView::NoEditTriggers);
        table->setDragEnabled(true);
        table->setAcceptDrops(true);
        table->setDropIndicatorShown(true);
        table->setDragDropMode(QAbstractItemView::DragDrop);
        // The model moves the row itself; the view must not clear or remove the dragged one after.
        table->setDragDropOverwriteMode(false);
        table->setDefaultDropAction(Qt::MoveAction);
        table->setShowGrid(false);
        table->verticalHeader()->hide();
        table->horizontalHeader()->setSectionResizeMode(
            NavigatorSettingsTableModel::CheckboxColumn, QHeaderView::ResizeToContents);
        table->horizontalHeader()->setStretchLastSection(true);
        table->setMinimumSize(260, 240);
        return table;
    };
    m_elementModel = new NavigatorSettingsTableModel(this, true);
    m_bookModel = new NavigatorSettingsTableModel(this, false);
    m_elementsTable = makeTable(m_elementModel, QStringLiteral("ElementTable"));
    m_booksTable = makeTable(m_bookModel, QStringLiteral("BookTable"));

    auto makeColumn = [this](const QString& title, QTableView* table, const QString& prefix,
                          void (NavigatorSettingsWindowController::*all)(),
                          void (NavigatorSettingsWindowController::*none)()) {
        auto* box = new QGroupBox(title, this);
        auto* column = new QVBoxLayout(box);
        column->addWidget(table, 1);
        auto* buttons = new QHBoxLayout;
        auto* allButton = new QPushButton(tr("All"), box);
        allButton->setObjectName(prefix + QStringLiteral("AllButton"));
        allButton->setAutoDefault(false);
        auto* noneButton = new QPushButton(tr("None"), box);
        noneButton->setObjectName(prefix + QStringLiteral("NoneButton"));
        noneButton->setAutoDefault(false);
        connect(allButton, &QPushButton::clicked, this, all);
        connect(noneButton, &QPushButton::clicked, this, none);
        buttons->addWidget(allButton);
        buttons->addWidget(noneButton);
        buttons->addStretch(1);
        column->addLayout(buttons);
        return box;
    };
    auto* tables = new QHBoxLayout;
    tables->addWidget(makeColumn(tr("Kinds of books, in the navigator's order"), m_elementsTable,
        QStringLiteral("kinds"), &NavigatorSettingsWindowController::onAllKindsAction,
        &NavigatorSettingsWindowController::onNoneKindsButton));
    tables->addWidget(makeColumn(tr("Books of the selected kind"), m_booksTable, QStringLiteral("books"),
        &NavigatorSettingsWindowController::onAllBooksButton, &NavigatorSettingsWindowController::onNoneBooksButton));

    m_maxResults = new QComboBox(this);
    m_maxResults->setObjectName(QStringLiteral("maxResultsShownButton"));
    for (int n : rowCountChoices())
        m_maxResults->addItem(QString::number(n), n);
    const qint64 stored = m_env.settings().integerForKey(kMaxNavRowsPerBook);
    m_maxResults->setCurrentIndex(m_maxResults->findData(int(stored)));
    connect(m_maxResults, &QComboBox::activated, this, &NavigatorSettingsWindowController::onMaxResultsShownButton);
    auto* bottom = new QHBoxLayout;
    auto* form = new QFormLayout;
    form->addRow(tr("Places shown per book:"), m_maxResults);
    bottom->addLayout(form);
    bottom->addStretch(1);
    auto* done = new QPushButton(tr("Done"), this);
    done->setObjectName(QStringLiteral("doneButton"));
    done->setDefault(true);
    connect(done, &QPushButton::clicked, this, &NavigatorSettingsWindowController::onDoneButton);
    bottom->addWidget(done);

    auto* top = new QVBoxLayout(this);
    top->addWidget(
        new PlainLabel(tr("Drag the rows to change the order; uncheck what the navigator should leave out."), this));
    top->addLayout(tables, 1);
    top->addLayout(bottom);

    connect(m_elementsTable->selectionModel(), &QItemSelectionModel::selectionChanged, this,
        [this] { booksTableShowsSelectedElement(); });
}

NavigatorSettingsWindowController::~NavigatorSettingsWindowController() = default;

bool NavigatorSettingsWindowController::runModal(
    const WindowEnvironment& env, QWidget* parent, AutoStudyElements* elements)
{
    NavigatorSettingsWindowController window(
        env, elements ? *elements : AutoStudyManager::singleton().elements(), parent);
    window.exec();
    return true;
}

// ---- the lists

int NavigatorSettingsWindowController::elementCount() const
{
    return int(m_elements.navigatorStudyElements().size());
}

int NavigatorSettingsWindowController::bookCount()
{
    const int selected = selectedElementRow();
    m_elementShown = selected < 0 ? 0 : selected;
    AutoStudyElementList& list = m_elements.navigatorStudyElements();
    return m_elementShown < list.size() ? int(list[m_elementShown].bookArray.size()) : 0;
}

bool NavigatorSettingsWindowController::elementChecked(int row) const
{
    const AutoStudyElementList& list = m_elements.navigatorStudyElements();
    return row >= 0 && row < list.size() && list[row].checked;
}

QString NavigatorSettingsWindowController::elementName(int row) const
{
    const AutoStudyElementList& list = m_elements.navigatorStudyElements();
    return row >= 0 && row < list.size() ? list[row].text : QString();
}

bool NavigatorSettingsWindowController::bookChecked(int row) const
{
    const AutoStudyElementList& list = m_elements.navigatorStudyElements();
    if (m_elementShown >= list.size())
        return false;
    const QList<AutoStudyBook>& books = list[m_elementShown].bookArray;
    return row >= 0 && row < books.size() && books[row].checked;
}

QString NavigatorSettingsWindowController::bookName(int row) const
{
    const AutoStudyElementList& list = m_elements.navigatorStudyElements();
    if (m_elementShown >= list.size())
        return {};
    const QList<AutoStudyBook>& books = list[m_elementShown].bookArray;
    return row >= 0 && row < books.size() ? books[row].detailText : QString();
}

void NavigatorSettingsWindowController::setElementChecked(int row, bool checked)
{
    AutoStudyElementList& list = m_elements.navigatorStudyElements();
    if (row < 0 || row >= list.size())
        return;
    list[row].checked = checked;
    saveChanges();
}

void NavigatorSettingsWindowController::setBookChecked(int row, bool checked)
{
    AutoStudyElementList& list = m_elements.navigatorStudyElements();
    if (m_elementShown >= list.size() || row < 0 || row >= list[m_elementShown].bookArray.size())
        return;
    list[m_elementShown].bookArray[row].checked = checked;
    saveChanges();
}

void NavigatorSettingsWindowController::moveElement(int from, int to)
{
    AutoStudyElementList& list = m_elements.navigatorStudyElements();
    if (from < 0 || from >= list.size() || to < 0 || to > list.size())
        return;
    const int selected = selectedElementRow();
    moveRecord(list, from, to);
    m_elementModel->reload();
    if (selected >= 0)
        m_elementsTable->selectRow(rowAfterMove(selected, from, to));
    m_bookModel->reload();
    saveChanges();
}

void NavigatorSettingsWindowController::moveBook(int from, int to)
{
    AutoStudyElementList& list = m_elements.navigatorStudyElements();
    bookCount();
    if (m_elementShown >= list.size())
        return;
    QList<AutoStudyBook>& books = list[m_elementShown].bookArray;
    if (from < 0 || from >= books.size() || to < 0 || to > books.size())
        return;
    moveRecord(books, from, to);
    m_bookModel->reload();
    saveChanges();
}

void NavigatorSettingsWindowController::setAllKinds(bool checked)
{
    bool changed = false;
    for (AutoStudyElement& e : m_elements.navigatorStudyElements()) {
        if (e.checked != checked) {
            e.checked = checked;
            changed = true;
        }
    }
    if (changed) {
        const int selected = selectedElementRow();
        m_elementModel->reload();
        if (selected >= 0)
            m_elementsTable->selectRow(selected);
        saveChanges();
    } else {
        m_elements.save();
    }
}

void NavigatorSettingsWindowController::setAllBooks(bool checked)
{
    AutoStudyElementList& list = m_elements.navigatorStudyElements();
    bookCount();
    bool changed = false;
    if (m_elementShown < list.size()) {
        for (AutoStudyBook& b : list[m_elementShown].bookArray) {
            if (b.checked != checked) {
                b.checked = checked;
                changed = true;
            }
        }
    }
    if (changed) {
        m_bookModel->reload();
        saveChanges();
    } else {
        m_elements.save();
    }
}

void NavigatorSettingsWindowController::saveChanges()
{
    m_elements.setDataChanged(true);
    m_elements.save();
    announceChange();
}

void NavigatorSettingsWindowController::announceChange()
{
    emit settingsChanged();
    m_env.notifications().postNotificationName(StudyPaneNotifications::NavigatorSettingsChangedNotification, this);
}

int NavigatorSettingsWindowController::selectedElementRow() const
{
    if (!m_elementsTable || !m_elementsTable->selectionModel())
        return -1;
    const QModelIndexList rows = m_elementsTable->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void NavigatorSettingsWindowController::booksTableShowsSelectedElement()
{
    m_bookModel->reload();
}

// ---- actions

void NavigatorSettingsWindowController::onMaxResultsShownButton()
{
    const QVariant tag = m_maxResults->currentData();
    if (!tag.isValid())
        return;
    m_env.settings().setInteger(tag.toInt(), kMaxNavRowsPerBook);
    announceChange();
}

void NavigatorSettingsWindowController::onDoneButton()
{
    if (m_done)
        return;
    m_done = true;
    m_elements.save();
    accept();
}

void NavigatorSettingsWindowController::closeEvent(QCloseEvent* event)
{
    // The window's close button ends the session as Done does.
    onDoneButton();
    event->accept();
}
