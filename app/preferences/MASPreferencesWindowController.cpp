#include "app/preferences/MASPreferencesWindowController.h"

#include "app/preferences/AppNotifications.h"
#include "app/preferences/PreferencesViewController.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLayout>
#include <QPushButton>
#include <QShortcut>
#include <QSizePolicy>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <limits>

namespace {
// "{{x, y}, {w, h}}" and "{x, y}", the forms the stored frames use.
QString rectString(const QRect& r)
{
    return QStringLiteral("{{%1, %2}, {%3, %4}}").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}
bool parseNumbers(const QString& text, int count, QVector<int>& out)
{
    QString cleaned = text;
    cleaned.remove(QLatin1Char('{')).remove(QLatin1Char('}'));
    const QStringList parts = cleaned.split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (parts.size() != count)
        return false;
    out.clear();
    for (const QString& p : parts) {
        bool ok = false;
        const double v = p.trimmed().toDouble(&ok);
        if (!ok || v < -1e6 || v > 1e6)
            return false;
        out.append(int(v));
    }
    return true;
}

// The control of a page that takes the keys when the page shows: the one the page names, else the
// first the Tab key reaches in it, so that the keys never stay on a page no longer shown.
QWidget* firstControl(const PreferencesViewController* page)
{
    const auto shown = [page](QWidget* w) { return w != nullptr && w->isEnabled() && w->isVisibleTo(page); };
    if (QWidget* named = page->initialKeyView(); shown(named))
        return named;
    for (QWidget* w = page->nextInFocusChain(); w != nullptr && w != page; w = w->nextInFocusChain())
        if (page->isAncestorOf(w) && shown(w) && w->focusProxy() == nullptr &&
            (w->focusPolicy() & Qt::TabFocus) == Qt::TabFocus)
            return w;
    return nullptr;
}
}  // namespace

MASPreferencesWindowController::MASPreferencesWindowController(const WindowEnvironment& env,
    const QVector<PreferencesViewController*>& panes, const QString& title, QWidget* parent)
    : QMainWindow(parent), m_env(env), m_title(title)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
    m_toolbar = new QToolBar(this);
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_toolbar->setContextMenuPolicy(Qt::PreventContextMenu);
    addToolBar(Qt::TopToolBarArea, m_toolbar);
    m_group = new QActionGroup(this);
    m_group->setExclusive(true);
    // The pages stay children of one content widget: a page is shown or hidden there, never made a
    // window of its own for a moment (which would take the active window, and the keys, away).
    auto* content = new QWidget(this);
    m_content = new QVBoxLayout(content);
    m_content->setContentsMargins(0, 0, 0, 0);
    m_content->setSpacing(0);
    setCentralWidget(content);
    for (PreferencesViewController* p : panes)
        addViewController(p);
    // The pages from the keyboard, wherever the keys are in the window: Ctrl+Tab and Ctrl+Page Down
    // go to the next page, Ctrl+Shift+Tab and Ctrl+Page Up to the one before (round the bar).
    for (const auto& [keys, step] : {std::pair {QKeyCombination(Qt::ControlModifier, Qt::Key_Tab), 1},
             std::pair {QKeyCombination(Qt::ControlModifier, Qt::Key_PageDown), 1},
             std::pair {QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Tab), -1},
             std::pair {QKeyCombination(Qt::ControlModifier, Qt::Key_PageUp), -1}}) {
        auto* shortcut = new QShortcut(QKeySequence(keys), this);
        connect(shortcut, &QShortcut::activated, this, [this, step] { selectNeighbourPage(step); });
    }

    // Window loaded: title, the last pane, the last position.
    if (!m_title.isEmpty())
        setWindowTitle(m_title);
    UserDefaults& d = m_env.settings();
    if (!m_panes.isEmpty()) {
        PreferencesViewController* p = viewControllerForIdentifier(d.value(SettingsKeys::PreferencesSelectedView));
        setSelectedViewController(p ? p : firstViewController());
    }
    QVector<int> pt;
    if (parseNumbers(d.value(SettingsKeys::PreferencesTopLeft), 2, pt)) {
        m_restoring = true;
        move(pt[0], pt[1]);
        m_restoring = false;
    }
}

MASPreferencesWindowController::~MASPreferencesWindowController()
{
    m_env.notifications().removeObserver(this);
}

void MASPreferencesWindowController::addViewController(PreferencesViewController* pane)
{
    if (pane) {
        pane->setParent(centralWidget());
        pane->hide();
        pane->installEventFilter(this);
    }
    m_panes.append(pane);
    addToolbarItem(m_panes.size() - 1);
}

void MASPreferencesWindowController::addToolbarItem(int index)
{
    PreferencesViewController* p = m_panes[index];
    if (!p) {
        auto* spacer = new QWidget(m_toolbar);
        spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        m_toolbar->addWidget(spacer);
        m_actions.append(nullptr);
        return;
    }
    QAction* a = m_toolbar->addAction(p->toolbarItemImage(), p->toolbarItemLabel());
    a->setCheckable(true);
    m_group->addAction(a);
    a->setObjectName(p->identifier());
    // The page bar is in the window's Tab order: Space on a button shows its page.
    if (QWidget* button = m_toolbar->widgetForAction(a))
        button->setFocusPolicy(Qt::TabFocus);
    connect(a, &QAction::triggered, this, [this, a] {
        PreferencesViewController* target = viewControllerForIdentifier(a->objectName());
        setSelectedViewController(target);
        // A refused switch keeps the old pane's button checked.
        for (int i = 0; i < m_actions.size(); ++i)
            if (m_actions[i])
                m_actions[i]->setChecked(m_panes[i] == m_selected);
    });
    m_actions.append(a);
}

QStringList MASPreferencesWindowController::toolbarItemIdentifiers() const
{
    QStringList ids;
    for (PreferencesViewController* p : m_panes)
        ids << (p ? p->identifier() : QStringLiteral("NSToolbarFlexibleSpaceItem"));
    return ids;
}

int MASPreferencesWindowController::indexOfSelectedController() const
{
    return m_selected ? int(toolbarItemIdentifiers().indexOf(m_selected->identifier())) : -1;
}

PreferencesViewController* MASPreferencesWindowController::viewControllerForIdentifier(const QString& identifier) const
{
    for (PreferencesViewController* p : m_panes)
        if (p && p->identifier() == identifier)
            return p;
    return nullptr;
}

PreferencesViewController* MASPreferencesWindowController::firstViewController() const
{
    for (PreferencesViewController* p : m_panes)
        if (p)
            return p;
    return nullptr;
}

void MASPreferencesWindowController::selectControllerAtIndex(int index)
{
    if (index >= 0 && index < m_panes.size())
        setSelectedViewController(m_panes[index]);
}

void MASPreferencesWindowController::setSelectedViewController(PreferencesViewController* p)
{
    if (p == m_selected)
        return;
    if (m_selected) {
        if (!m_selected->commitEditing())
            return;
        m_content->removeWidget(m_selected);
        m_selected->hide();
        m_selected = nullptr;
    }
    if (!p)
        return;
    if (m_title.isEmpty())
        setWindowTitle(p->toolbarItemLabel());
    for (int i = 0; i < m_actions.size(); ++i)
        if (m_actions[i])
            m_actions[i]->setChecked(m_panes[i] == p);
    UserDefaults& d = m_env.settings();
    d.set(SettingsKeys::PreferencesSelectedView, p->identifier());

    m_selected = p;
    m_content->addWidget(p);
    p->show();
    fitSelectedPage(true);
    if (QWidget* key = firstControl(p))
        key->setFocus(Qt::TabFocusReason);
    m_env.notifications().postNotificationName(
        AppNotifications::MASPreferencesWindowControllerDidChangeViewNotification, this);
}

void MASPreferencesWindowController::selectNeighbourPage(int step)
{
    const qsizetype count = m_panes.size();
    const qsizetype from = m_panes.indexOf(m_selected);
    for (qsizetype i = 1; i <= count; ++i) {
        PreferencesViewController* p = m_panes[((from < 0 ? 0 : from) + step * i % count + count) % count];
        if (p != nullptr) {
            setSelectedViewController(p);
            return;
        }
    }
}

QSize MASPreferencesWindowController::neededSize(PreferencesViewController* p)
{
    if (QLayout* layout = p->layout())
        layout->activate();
    QSize size = p->sizeHint().expandedTo(p->minimumSizeHint()).expandedTo(QSize(360, 120));
    // Wrapped text (a description shown or changed) takes the height its lines need at that width.
    if (QLayout* layout = p->layout(); layout && layout->hasHeightForWidth())
        size.setHeight(std::max(size.height(), layout->totalHeightForWidth(size.width())));
    return size;
}

void MASPreferencesWindowController::fitSelectedPage(bool useStoredFrame)
{
    PreferencesViewController* p = m_selected;
    if (p == nullptr || m_fitting)
        return;
    m_fitting = true;
    UserDefaults& d = m_env.settings();
    const QRect needed(QPoint(0, 0), neededSize(p));
    // A page that grows (a description shown) keeps the larger least size; one that shrinks gives it up.
    m_minimumViewRects.insert(p->identifier(), needed);
    const QRect minimum = needed;
    QRect old = useStoredFrame ? needed : QRect(QPoint(0, 0), p->size());
    QVector<int> r;
    if (useStoredFrame && parseNumbers(d.value(SettingsKeys::PreferencesPaneFrame(p->identifier())), 4, r))
        old = QRect(r[0], r[1], r[2], r[3]);
    const bool wide = p->hasResizableWidth();
    const bool tall = p->hasResizableHeight();
    const QSize size(wide && old.width() >= minimum.width() ? old.width() : minimum.width(),
        tall && old.height() >= minimum.height() ? old.height() : minimum.height());

    // Window y grows downwards here: keeping the top-left corner means keeping pos(). A window with no
    // place yet (never shown, none stored) gets none here: it is placed as it first shows.
    const bool keepPlace = isVisible() || testAttribute(Qt::WA_Moved);
    const QPoint topLeft = pos();
    p->setMinimumSize(minimum.size());
    p->setMaximumSize(wide ? QWIDGETSIZE_MAX : size.width(), tall ? QWIDGETSIZE_MAX : size.height());
    const int toolbarHeight = m_toolbar->sizeHint().height();
    // Never narrower than the row of pane buttons.
    setMinimumWidth(m_toolbar->sizeHint().width());
    // The window's least size follows the page's new one now, not at the next layout pass: a page
    // that shrinks lets the window shrink with it.
    for (QLayout* own : {static_cast<QLayout*>(m_content), layout()})
        if (own != nullptr)
            own->activate();
    m_restoring = true;
    resize(std::max(size.width(), m_toolbar->sizeHint().width()), size.height() + toolbarHeight);
    if (keepPlace)
        move(topLeft);
    m_restoring = false;
    m_fitting = false;
}

bool MASPreferencesWindowController::eventFilter(QObject* watched, QEvent* event)
{
    // What the shown page holds changed its size (a description shown, hidden or reworded): the
    // window fits the page again once its layout has settled.
    if (event->type() == QEvent::LayoutRequest && watched == m_selected && !m_fitting)
        QTimer::singleShot(0, this, [this, page = QPointer<QWidget>(m_selected)] {
            if (page && page == m_selected &&
                neededSize(m_selected) != m_minimumViewRects.value(m_selected->identifier()).size())
                fitSelectedPage(false);
        });
    return QMainWindow::eventFilter(watched, event);
}

void MASPreferencesWindowController::closeEvent(QCloseEvent* event)
{
    if (m_selected && !m_selected->commitEditing()) {
        event->ignore();
        return;
    }
    m_env.notifications().postNotificationName(
        AppNotifications::MASPreferencesWindowControllerWindowWillCloseNotification, nullptr,
        {{QStringLiteral("MASPreferencesWindowController"), QVariant::fromValue(static_cast<QObject*>(this))}});
    QMainWindow::closeEvent(event);
}

void MASPreferencesWindowController::floatAbove(QWidget* owner)
{
    if (owner == nullptr)
        return;
    // A tool window with a transient parent: the window manager keeps it above that window, even
    // while that window is the one clicked.
    setWindowFlag(Qt::Tool, true);
    winId();
    if (QWindow* own = windowHandle(); own != nullptr)
        own->setTransientParent(owner->window()->windowHandle());
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive) {
            if (m_hiddenWhileInactive) {
                m_hiddenWhileInactive = false;
                show();
            }
        } else if (isVisible() && QGuiApplication::modalWindow() == nullptr) {
            m_hiddenWhileInactive = true;
            hide();
        }
    });
}

QPushButton* MASPreferencesWindowController::defaultButtonFor(QWidget* focus) const
{
    for (QWidget* around = focus; around != nullptr && around != this; around = around->parentWidget())
        for (QPushButton* button : around->findChildren<QPushButton*>())
            if (button->isDefault() && button->isVisibleTo(this))
                return button;
    return nullptr;
}

void MASPreferencesWindowController::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (QPushButton* button = defaultButtonFor(focusWidget())) {
            if (button->isEnabled())
                button->click();
            return;
        }
    }
    QMainWindow::keyPressEvent(event);
}

void MASPreferencesWindowController::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    if (!m_restoring)
        m_env.settings().set(
            SettingsKeys::PreferencesTopLeft, QStringLiteral("{%1, %2}").arg(pos().x()).arg(pos().y()));
}

void MASPreferencesWindowController::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (!m_restoring && m_selected)
        m_env.settings().set(SettingsKeys::PreferencesPaneFrame(m_selected->identifier()),
            rectString(QRect(QPoint(0, 0), m_selected->size())));
}
