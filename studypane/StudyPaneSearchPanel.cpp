#include "studypane/StudyPaneSearchPanel.h"
#include "platform/ui/ContentTextDocument.h"
#include "platform/ui/PlainLabel.h"
#include "platform/ui/PopupMenu.h"

#include "studypane/StudyPaneRecentSearches.h"
#include "studypane/StudyPaneResultListModel.h"

#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
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
    // Tab from the field goes to the results, then to the refresh button.
    QWidget::setTabOrder(m_searchField, table);
    QWidget::setTabOrder(table, m_refreshButton);
    m_keys = new StudyPaneRowKeys(table, m_searchField, std::move(activate), this);
}

StudyPaneRowKeys::StudyPaneRowKeys(
    QTableView* table, QLineEdit* field, std::function<void(int row)> activate, QObject* parent)
    : QObject(parent), m_table(table), m_viewport(table->viewport()), m_field(field), m_activate(std::move(activate))
{
    if (m_field != nullptr)
        m_field->installEventFilter(this);
    m_table->installEventFilter(this);
    m_viewport->installEventFilter(this);
    // A row chosen with the pointer opens at once; one the keys move to is only made current.
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (m_keysMoving)
            return;
        const QModelIndexList rows = m_table->selectionModel()->selectedRows();
        if (!rows.isEmpty() && m_activate)
            m_activate(rows.first().row());
    });
}

bool StudyPaneRowKeys::showRowMenu(int row, const QPoint& globalPos)
{
    QAbstractItemModel* model = m_table->model();
    if (!m_rowMenu || model == nullptr || row < 0 || row >= model->rowCount())
        return false;
    auto* menu = new QMenu(m_table);
    menu->setObjectName(QStringLiteral("rowMenu"));
    m_rowMenu(menu, row);
    if (menu->isEmpty()) {
        delete menu;
        return false;
    }
    PopupMenu::exec(menu, globalPos);
    return true;
}

bool StudyPaneRowKeys::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == m_table || watched == m_viewport) && event->type() == QEvent::ContextMenu && m_rowMenu) {
        // A right-click opens the menu of the row under the pointer, the keyboard's of the current row.
        auto* asked = static_cast<QContextMenuEvent*>(event);
        if (asked->reason() == QContextMenuEvent::Mouse) {
            const QPoint at = m_table->viewport()->mapFromGlobal(asked->globalPos());
            const int row = m_table->rowAt(at.y());
            if (row >= 0)
                showRowMenu(row, asked->globalPos());
        } else if (m_table->currentIndex().isValid()) {
            const int row = m_table->currentIndex().row();
            const QRect shown =
                m_table->visualRect(m_table->model()->index(row, 0)).intersected(m_table->viewport()->rect());
            showRowMenu(row, m_table->viewport()->mapToGlobal(shown.isValid() ? shown.bottomLeft() : QPoint(0, 0)));
        }
        return true;
    }
    if (watched == m_table && (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) &&
        m_rowMenu) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
        if ((key->key() == Qt::Key_Menu && mods == Qt::NoModifier) ||
            (key->key() == Qt::Key_F10 && mods == Qt::ShiftModifier)) {
            if (event->type() == QEvent::ShortcutOverride) {
                // The list's own key, not a shortcut of the window's.
                event->accept();
                return true;
            }
            QContextMenuEvent asked(QContextMenuEvent::Keyboard, QPoint(0, 0), m_table->mapToGlobal(QPoint(0, 0)));
            return eventFilter(m_table, &asked);
        }
    }
    if (watched == m_viewport && event->type() == QEvent::MouseButtonPress) {
        // A right-click opens the row's menu (which follows the press), not the row.
        if (m_rowMenu && static_cast<QMouseEvent*>(event)->button() == Qt::RightButton)
            return true;
        // A row the keys left chosen opens when clicked all the same.
        const QSignalBlocker block(m_table->selectionModel());
        m_table->clearSelection();
        return false;
    }
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (m_field != nullptr && watched == m_field && key->key() == Qt::Key_Down && key->modifiers() == Qt::NoModifier) {
        enterList();
        return true;
    }
    if (watched != m_table)
        return false;
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && m_activate) {
        if (m_table->currentIndex().isValid())
            m_activate(m_table->currentIndex().row());
        return true;
    }
    // The table moves its current row (and the selection with it) without opening it.
    m_keysMoving = true;
    const bool handled = static_cast<QObject*>(m_table)->event(event);
    m_keysMoving = false;
    return handled;
}

void StudyPaneRowKeys::enterList()
{
    QAbstractItemModel* model = m_table->model();
    if (model == nullptr || model->rowCount() == 0)
        return;
    // The current row, else the first result (past a section's header row), chosen and current.
    int row = m_table->currentIndex().isValid() ? m_table->currentIndex().row() : 0;
    if (!m_table->currentIndex().isValid()) {
        const auto isHeader = [model](int r) {
            const QVariant kind = model->index(r, 0).data(StudyPaneResultListModel::KindRole);
            return kind.isValid() && kind.toInt() == StudyPaneResultListModel::Header;
        };
        while (row + 1 < model->rowCount() && isHeader(row))
            ++row;
    }
    m_keysMoving = true;
    m_table->selectionModel()->setCurrentIndex(
        model->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_keysMoving = false;
    m_table->scrollTo(model->index(row, 0));
    m_table->setFocus(Qt::TabFocusReason);
}

void StudyPaneSearchPanel::setRowMenu(StudyPaneRowKeys::RowMenu fill)
{
    if (m_keys != nullptr)
        m_keys->setRowMenu(std::move(fill));
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
