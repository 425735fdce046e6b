#include "reports/ui/AutostudyWindowController.h"
#include "platform/ui/PlainLabel.h"

#include "platform/MainThread.h"
#include "reports/AutoStudyManager.h"
#include "reports/ui/AutostudyCSSEditorWindowController.h"
#include "reports/ui/AutostudyTableModel.h"

#include <QDebug>
#include <QFile>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {

QPushButton* button(const QString& title, QWidget* parent, const char* name)
{
    auto* b = new QPushButton(title, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

// The drag type of a study's element or book rows: the verse study's unnamed, the others' named after
// their study, so a row never lands in another study's table.
QString rowType(int study, const char* row)
{
    const char* name = study == AutoStudyElements::WordStudy ? "Word"
        : study == AutoStudyElements::TodayStudy             ? "Today"
                                                             : "";
    return QStringLiteral("application/x-quillstead-tqs%1%2RowPasteboardType")
        .arg(QLatin1String(name), QLatin1String(row));
}

}  // namespace

AutostudyWindowController::AutostudyWindowController(
    const WindowEnvironment& env, int study, const QString& title, QWidget* parent)
    : QDialog(parent), m_env(env)
{
    QS_ASSERT_MAIN_THREAD();
    setWindowTitle(title);
    AutoStudyElements& set = m_env.autoStudy().elements();
    m_elementsModel =
        new AutostudyTableModel(AutostudyTableModel::Elements, set, study, rowType(study, "Element"), this);
    m_booksModel = new AutostudyTableModel(AutostudyTableModel::Books, set, study, rowType(study, "Book"), this);
    m_elementsTableView = AutostudyTableModel::makeTableView(m_elementsModel, this);
    m_elementsTableView->setObjectName(QStringLiteral("ElementTable"));
    m_booksTableView = AutostudyTableModel::makeTableView(m_booksModel, this);
    m_booksTableView->setObjectName(QStringLiteral("BookTable"));

    m_inputForm = new QFormLayout;
    m_elementDescription = new PlainLabel(this);
    m_elementDescription->setWordWrap(true);
    m_elementDescription->setStyleSheet(QStringLiteral("color: palette(mid);"));
    m_booksLabel = new PlainLabel(this);

    QPushButton* allKinds = button(tr("All"), this, "allKindsButton");
    QPushButton* noKinds = button(tr("None"), this, "noneKindsButton");
    QPushButton* allBooks = button(tr("All"), this, "allBooksButton");
    QPushButton* noBooks = button(tr("None"), this, "noneBooksButton");
    QPushButton* editCSS = button(tr("Edit Styles…"), this, "editCSSButton");
    QPushButton* close = button(tr("Close"), this, "closeButton");
    m_performButton = button(tr("Study"), this, "performButton");
    m_performButton->setDefault(true);
    m_performButton->setAutoDefault(true);
    connect(allKinds, &QPushButton::clicked, this, &AutostudyWindowController::onAllKindsButton);
    connect(noKinds, &QPushButton::clicked, this, &AutostudyWindowController::onNoneKindsButton);
    connect(allBooks, &QPushButton::clicked, this, &AutostudyWindowController::onAllBooksButton);
    connect(noBooks, &QPushButton::clicked, this, &AutostudyWindowController::onNoneBooksButton);
    connect(editCSS, &QPushButton::clicked, this, &AutostudyWindowController::onEditCSS);
    connect(close, &QPushButton::clicked, this, &AutostudyWindowController::onClose);
    connect(m_performButton, &QPushButton::clicked, this, [this] { onPerformAutostudy(); });

    auto* grid = new QGridLayout;
    grid->addWidget(new PlainLabel(tr("Include, in this order (drag to reorder):"), this), 0, 0);
    grid->addWidget(m_booksLabel, 0, 1);
    grid->addWidget(m_elementsTableView, 1, 0);
    grid->addWidget(m_booksTableView, 1, 1);
    auto* kindButtons = new QHBoxLayout;
    kindButtons->addWidget(allKinds);
    kindButtons->addWidget(noKinds);
    kindButtons->addStretch(1);
    auto* bookButtons = new QHBoxLayout;
    bookButtons->addWidget(allBooks);
    bookButtons->addWidget(noBooks);
    bookButtons->addStretch(1);
    grid->addLayout(kindButtons, 2, 0);
    grid->addLayout(bookButtons, 2, 1);
    grid->addWidget(m_elementDescription, 3, 0, 1, 2);
    grid->setColumnStretch(0, 2);
    grid->setColumnStretch(1, 3);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(editCSS);
    bottom->addStretch(1);
    bottom->addWidget(close);
    bottom->addWidget(m_performButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(m_inputForm);
    layout->addSpacing(6);
    layout->addLayout(grid, 1);
    layout->addLayout(bottom);
    resize(680, 440);

    connect(m_elementsTableView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
        &AutostudyWindowController::elementSelectionChanged);
    connect(m_elementsModel, &AutostudyTableModel::rowMoved, this, &AutostudyWindowController::elementMoved);
    selectElement(0);
}

QLineEdit* AutostudyWindowController::addTextField(const QString& label, const char* name, const QString& placeholder)
{
    auto* field = new QLineEdit(this);
    field->setObjectName(QLatin1String(name));
    field->setPlaceholderText(placeholder);
    m_inputForm->addRow(new PlainLabel(label, this), field);
    return field;
}

void AutostudyWindowController::selectElement(int row)
{
    if (row >= 0 && row < m_elementsModel->rowCount())
        m_elementsTableView->selectRow(row);
    else
        m_elementsTableView->clearSelection();
    elementSelectionChanged();
}

void AutostudyWindowController::elementSelectionChanged()
{
    const QModelIndexList rows = m_elementsTableView->selectionModel()->selectedRows();
    m_booksModel->setShownElement(rows.isEmpty() ? 0 : rows.first().row());
    const AutoStudyElement* shown = m_booksModel->element();
    m_booksLabel->setText(shown ? shown->detailText + QLatin1Char(':') : QString());
    m_elementDescription->setText(shown ? shown->descriptionText : QString());
}

void AutostudyWindowController::elementMoved(int from, int to)
{
    const QModelIndexList rows = m_elementsTableView->selectionModel()->selectedRows();
    const int selected = rows.isEmpty() ? m_booksModel->shownElement() : rows.first().row();
    // The model was reset by the move; select the row the selected element went to.
    selectElement(AutostudyTableModel::selectionAfterMove(selected, from, to));
}

void AutostudyWindowController::onAllKindsButton()
{
    m_elementsModel->setAllChecked(true);
}

void AutostudyWindowController::onNoneKindsButton()
{
    m_elementsModel->setAllChecked(false);
}

void AutostudyWindowController::onAllBooksButton()
{
    m_booksModel->setAllChecked(true);
}

void AutostudyWindowController::onNoneBooksButton()
{
    m_booksModel->setAllChecked(false);
}

void AutostudyWindowController::onEditCSS()
{
    AutostudyCSSEditorWindowController editor(m_env.alert(), &m_env.autoStudy().css(), this);
    editor.exec();
}

void AutostudyWindowController::onClose()
{
    if (m_closed)
        return;
    m_closed = true;
    m_env.autoStudy().save();
    QDialog::done(QDialog::Rejected);
}

void AutostudyWindowController::presentResults(
    const QString& file, const QString& notificationName, const QVariantMap& userInfo)
{
    if (file.isEmpty())
        return;
    if (m_env.autostudyResults) {
        m_env.autostudyResults(m_env, file, notificationName, userInfo);
    } else {
        qWarning() << "no results window to show the autostudy" << file;
        QFile::remove(file);
    }
    onClose();
}
