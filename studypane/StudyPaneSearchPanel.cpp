#include "studypane/StudyPaneSearchPanel.h"
#include "platform/ui/ContentTextDocument.h"
#include "platform/ui/PlainLabel.h"
#include "platform/ui/PopupMenu.h"

#include "studypane/StudyPaneRecentSearches.h"

#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

StudyPaneSearchPanel::StudyPaneSearchPanel(QObject* parent) : QObject(parent)
{
    m_hideTimer.setSingleShot(true);
    m_hideTimer.setInterval(kHideProgressDelayMs);
    connect(&m_hideTimer, &QTimer::timeout, this, [this] {
        if (m_progress != nullptr)
            m_progress->hide();
    });
}

void StudyPaneSearchPanel::build(QWidget* root, const QString& placeholder, const QString& menuToolTip)
{
    m_searchField = new QLineEdit(root);
    m_searchField->setObjectName(QStringLiteral("searchField"));
    m_searchField->setPlaceholderText(placeholder);
    m_searchField->setClearButtonEnabled(true);
    m_menuButton = new QToolButton(root);
    m_menuButton->setObjectName(QStringLiteral("searchMenuButton"));
    m_menuButton->setText(QStringLiteral("\u25BE"));
    m_menuButton->setToolTip(ContentTextDocument::plainToolTip(menuToolTip));
    m_menuButton->setAutoRaise(true);
    m_refreshButton = new QToolButton(root);
    m_refreshButton->setObjectName(QStringLiteral("refreshButton"));
    m_refreshButton->setText(QStringLiteral("\u21BB"));
    m_refreshButton->setToolTip(QStringLiteral("Search again"));
    m_refreshButton->setAutoRaise(true);
    m_progress = new QProgressBar(root);
    m_progress->setObjectName(QStringLiteral("searchProgress"));
    m_progress->setRange(0, kProgressSteps);
    m_progress->setTextVisible(false);
    m_progress->setMaximumHeight(6);
    m_progress->hide();
    m_status = new PlainLabel(root);
    m_status->setObjectName(QStringLiteral("searchStatus"));
    m_status->setTextFormat(Qt::PlainText);
    m_status->setWordWrap(true);
    m_status->setContentsMargins(4, 2, 4, 2);
    m_status->hide();
    m_count = 0;
    connect(m_menuButton, &QToolButton::clicked, this, [this] {
        QMenu* menu = m_menu ? m_menu() : nullptr;
        if (menu != nullptr)
            PopupMenu::exec(
                menu, m_menuButton->mapToGlobal(QPoint(0, m_menuButton->height())), PopupMenu::Afterwards::KeepMenu);
    });
}

void StudyPaneSearchPanel::layOut(
    QWidget* root, QTableView* table, std::function<void(int row)> activate, QLabel* between)
{
    m_table = table;
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    row->addWidget(m_menuButton);
    row->addWidget(m_searchField, 1);
    row->addWidget(m_refreshButton);
    auto* column = new QVBoxLayout(root);
    column->setContentsMargins(2, 2, 2, 2);
    column->setSpacing(2);
    column->addLayout(row);
    if (between != nullptr)
        column->addWidget(between);
    column->addWidget(m_progress);
    column->addWidget(m_status);
    column->addWidget(table, 1);
    connect(
        table->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this, activate = std::move(activate)] {
            const QModelIndexList rows = m_table->selectionModel()->selectedRows();
            if (!rows.isEmpty())
                activate(rows.first().row());
        });
}

void StudyPaneSearchPanel::setMenu(std::function<QMenu*()> menu)
{
    m_menu = std::move(menu);
}

void StudyPaneSearchPanel::showRecentSearches(
    QMenu* menu, StudyPaneRecentSearches& recents, std::function<void()> search)
{
    auto chosen = [this, search = std::move(search)](const QString& text) {
        if (m_searchField != nullptr)
            m_searchField->setText(text);
        search();
    };
    recents.fill(menu, chosen);
    connect(menu, &QMenu::aboutToShow, this, [menu, &recents, chosen] { recents.fill(menu, chosen); });
}

void StudyPaneSearchPanel::showStatus(const QString& text)
{
    if (m_status == nullptr)
        return;
    m_status->setText(text);
    m_status->setVisible(!text.isEmpty());
}

void StudyPaneSearchPanel::startProgress()
{
    m_count = 0;
    m_completed = 0;
    m_hideTimer.stop();
    if (m_progress != nullptr) {
        m_progress->show();
        m_progress->setValue(kProgressSteps / 20);
    }
}

void StudyPaneSearchPanel::updateProgress(double add, double increment)
{
    if (m_progress == nullptr)
        return;
    m_hideTimer.stop();
    m_progress->show();
    m_count += add;
    m_completed += increment;
    if (m_count == 0) {
        m_progress->setValue(kProgressSteps / 20);
        return;
    }
    const int value = int(std::min(1.0, m_completed / m_count) * kProgressSteps);
    if (value > m_progress->value())
        m_progress->setValue(value);
    if (m_progress->value() >= kProgressSteps)
        m_hideTimer.start();
}

void StudyPaneSearchPanel::hideProgress()
{
    m_hideTimer.stop();
    if (m_progress != nullptr)
        m_progress->hide();
}

void StudyPaneSearchPanel::clearSelection()
{
    if (m_table == nullptr)
        return;
    const QSignalBlocker block(m_table->selectionModel());
    m_table->clearSelection();
    m_table->viewport()->update();
}
