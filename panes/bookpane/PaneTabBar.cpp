#include "panes/bookpane/PaneTabBar.h"
#include "platform/ui/ContentTextDocument.h"
#include "platform/ui/MenuText.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QHBoxLayout>
#include <QMenu>
#include <QMimeData>
#include <QSignalBlocker>
#include <QToolButton>

namespace {
// The bar that a drag in progress started from (drags stay inside this process).
PaneTabBar* g_dragSource = nullptr;
constexpr int kButtonWidth = 24;
}  // namespace

PaneTabBar::PaneTabBar(QWidget* parent) : QTabBar(parent)
{
    setMovable(true);
    setTabsClosable(true);
    setExpanding(false);
    setUsesScrollButtons(true);
    setElideMode(Qt::ElideRight);
    setDocumentMode(true);
    setAcceptDrops(true);
    setStyleSheet(QStringLiteral("QTabBar::tab { min-width: 120px; max-width: 250px; font-weight: bold; }"));
    m_addButton = new QToolButton(this);
    m_addButton->setText(QStringLiteral("+"));
    m_addButton->setToolTip(tr("Open a book in a new tab"));
    m_addButton->setAutoRaise(true);
    connect(m_addButton, &QToolButton::clicked, this, &PaneTabBar::addTabRequested);
    m_menu = new QMenu(this);
    m_overflowButton = new QToolButton(this);
    m_overflowButton->setObjectName(QStringLiteral("tabOverflowButton"));
    m_overflowButton->setText(QStringLiteral("\u00BB"));
    m_overflowButton->setToolTip(tr("All tabs"));
    m_overflowButton->setAutoRaise(true);
    m_overflowButton->setPopupMode(QToolButton::InstantPopup);
    m_overflowButton->setMenu(m_menu);
    connect(m_menu, &QMenu::aboutToShow, this, [this] { overflowMenu(); });
}

int PaneTabBar::addTabForItem(const QString& uuid, const QString& label, const QString& tooltip)
{
    // The first tab of a bar becomes current as it is added: no one hears of it before it
    // carries its uuid.
    const QSignalBlocker blocker(this);
    const int index = addTab(MenuText::asWritten(label));
    setTabData(index, uuid);
    setTabToolTip(index, ContentTextDocument::plainToolTip(tooltip));
    return index;
}

QString PaneTabBar::uuidAt(int index) const
{
    return tabData(index).toString();
}

int PaneTabBar::indexOfUuid(const QString& uuid) const
{
    for (int i = 0; i < count(); ++i)
        if (uuidAt(i) == uuid)
            return i;
    return -1;
}

QMenu* PaneTabBar::overflowMenu()
{
    m_menu->clear();
    for (int i = 0; i < count(); ++i) {
        QAction* action = m_menu->addAction(tabText(i));
        action->setToolTip(tabToolTip(i));
        action->setCheckable(true);
        action->setChecked(i == currentIndex());
        connect(action, &QAction::triggered, this, [this, i] { setCurrentIndex(i); });
    }
    return m_menu;
}

bool PaneTabBar::dropTabFrom(PaneTabBar* from, const QString& uuid, int index)
{
    if (!from || from == this)
        return false;
    const int fromIndex = from->indexOfUuid(uuid);
    if (fromIndex < 0 || (m_dropFilter && !m_dropFilter(from, uuid)))
        return false;
    const QString label = from->tabText(fromIndex);
    const QString tooltip = from->tabToolTip(fromIndex);
    from->removeTab(fromIndex);
    index = std::clamp(index, 0, count());
    {
        const QSignalBlocker blocker(this);
        const int at = insertTab(index, label);
        setTabData(at, uuid);
        setTabToolTip(at, tooltip);
    }
    // The receiving pane takes the item first, then the pane it left settles its own tabs.
    emit tabDroppedIn(from, uuid);
    emit from->tabDraggedOut(this, uuid);
    return true;
}

QSize PaneTabBar::minimumSizeHint() const
{
    QSize size = QTabBar::minimumSizeHint();
    return QSize(size.width(), std::max(size.height(), 24));
}

QWidget* PaneTabBar::header(QWidget* parent)
{
    if (m_header != nullptr)
        return m_header;
    m_header = new QWidget(parent);
    m_header->setObjectName(QStringLiteral("paneTabHeader"));
    auto* row = new QHBoxLayout(m_header);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    // The bar is as wide as its tabs while they fit, so "+" follows the last tab; when they do not,
    // the bar shrinks (and scrolls) in the room left of the buttons.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    for (QToolButton* button : {m_addButton, m_overflowButton}) {
        button->setFixedWidth(kButtonWidth);
        button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    }
    row->addWidget(this);
    row->addWidget(m_addButton);
    row->addStretch(1);
    row->addWidget(m_overflowButton);
    return m_header;
}

void PaneTabBar::mousePressEvent(QMouseEvent* event)
{
    m_pressPos = event->position().toPoint();
    m_pressIndex = tabAt(m_pressPos);
    QTabBar::mousePressEvent(event);
}

void PaneTabBar::mouseMoveEvent(QMouseEvent* event)
{
    // Dragging below or above the bar takes the tab out of it, towards another pane.
    const QPoint pos = event->position().toPoint();
    if ((event->buttons() & Qt::LeftButton) && m_pressIndex >= 0 && m_pressIndex < count() &&
        std::abs(pos.y() - m_pressPos.y()) > height()) {
        const QString uuid = uuidAt(m_pressIndex);
        m_pressIndex = -1;
        auto* mime = new QMimeData;
        mime->setData(kMimeType, uuid.toUtf8());
        auto* drag = new QDrag(this);
        drag->setMimeData(mime);
        g_dragSource = this;
        emit tabDragStarted();
        drag->exec(Qt::MoveAction);
        g_dragSource = nullptr;
        emit tabDragEnded();
        return;
    }
    QTabBar::mouseMoveEvent(event);
}

void PaneTabBar::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasFormat(kMimeType) && g_dragSource && g_dragSource != this)
        event->acceptProposedAction();
    else
        event->ignore();
}

void PaneTabBar::dragMoveEvent(QDragMoveEvent* event)
{
    if (event->mimeData()->hasFormat(kMimeType) && g_dragSource && g_dragSource != this)
        event->acceptProposedAction();
    else
        event->ignore();
}

void PaneTabBar::dropEvent(QDropEvent* event)
{
    const QString uuid = QString::fromUtf8(event->mimeData()->data(kMimeType));
    int index = tabAt(event->position().toPoint());
    if (index < 0)
        index = count();
    if (dropTabFrom(g_dragSource, uuid, index))
        event->acceptProposedAction();
    else
        event->ignore();
}
