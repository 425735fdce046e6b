#include "app/preferences/NavigatorSettingsWindowController.h"
#include "platform/ui/PlainLabel.h"

#include "platform/NotificationCenter.h"
#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"
#include "reports/AutoStudyManager.h"
#include "reports/ui/AutostudyTableModel.h"
#include "studypane/StudyPaneNavigatorViewController.h"
#include "studypane/StudyPaneNotifications.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

}  // namespace

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

    auto makeTable = [this](AutostudyTableModel* model, const QString& name, const QString& title) {
        QTableView* table = AutostudyTableModel::makeTableView(model, this);
        table->setObjectName(name);
        model->setHeaderTitles(tr("Use"), title);
        table->horizontalHeader()->show();
        table->setMinimumSize(260, 240);
        return table;
    };
    const int study = AutoStudyElements::NavigatorStudy;
    m_elementModel = new AutostudyTableModel(AutostudyTableModel::Elements, m_elements, study,
        QStringLiteral("application/x-tqsNavigatorElementRowPasteboardType"), this);
    m_bookModel = new AutostudyTableModel(AutostudyTableModel::Books, m_elements, study,
        QStringLiteral("application/x-tqsNavigatorBookRowPasteboardType"), this);
    m_elementsTable = makeTable(m_elementModel, QStringLiteral("ElementTable"), tr("Kind of book"));
    m_booksTable = makeTable(m_bookModel, QStringLiteral("BookTable"), tr("Book"));
    connect(m_elementModel, &AutostudyTableModel::edited, this, &NavigatorSettingsWindowController::announceChange);
    connect(m_bookModel, &AutostudyTableModel::edited, this, &NavigatorSettingsWindowController::announceChange);
    connect(m_elementModel, &AutostudyTableModel::rowMoved, this, &NavigatorSettingsWindowController::elementMoved);

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
    const qint64 stored = m_env.settings().value(SettingsKeys::MaxNavRowsPerBook);
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
    NavigatorSettingsWindowController window(env, elements ? *elements : env.autoStudy().elements(), parent);
    window.exec();
    return true;
}

// ---- the lists

void NavigatorSettingsWindowController::setAllKinds(bool checked)
{
    m_elementModel->setAllChecked(checked);
}

void NavigatorSettingsWindowController::setAllBooks(bool checked)
{
    m_bookModel->setAllChecked(checked);
}

void NavigatorSettingsWindowController::elementMoved(int from, int to)
{
    // The move reset the model: the selection goes to the row the selected kind went to.
    const int selected = selectedElementRow();
    const int row =
        AutostudyTableModel::selectionAfterMove(selected < 0 ? m_bookModel->shownElement() : selected, from, to);
    m_elementsTable->selectRow(row);
    booksTableShowsSelectedElement();
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
    const int selected = selectedElementRow();
    m_bookModel->setShownElement(selected < 0 ? 0 : selected);
}

// ---- actions

void NavigatorSettingsWindowController::onMaxResultsShownButton()
{
    const QVariant tag = m_maxResults->currentData();
    if (!tag.isValid())
        return;
    m_env.settings().set(SettingsKeys::MaxNavRowsPerBook, tag.toInt());
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
