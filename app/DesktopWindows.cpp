#include "app/DesktopWindows.h"

#include "platform/ui/WidgetLookup.h"

#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace {

// How much of a title bar must be on a screen to take hold of it.
constexpr int kReachableWidth = 60;
constexpr int kReachableHeight = 10;
constexpr char kPlacedProperty[] = "qsDesktopWindowPlaced";
// The window that had the keys when a window showed (a QPointer<QWidget>), where they go back to.
constexpr char kCameFromProperty[] = "qsDesktopWindowCameFrom";
// The number of windows shown, this one included, when a window last showed.
constexpr char kShownSerialProperty[] = "qsDesktopWindowShownSerial";
// The width a title bar takes besides its title: the icon, the buttons and their margins.
constexpr int kTitleBarControlsWidth = 160;
// How often a window not yet framed is looked at again (every 50 ms).
constexpr int kFrameTries = 20;

bool isOrdinaryWindow(const QWidget* window)
{
    if (window == nullptr || !window->isWindow())
        return false;
    switch (window->windowType()) {
    case Qt::Popup:
    case Qt::ToolTip:
    case Qt::SplashScreen:
    case Qt::Desktop:
    case Qt::SubWindow:
    case Qt::ForeignWindow:
        return false;
    default:
        break;
    }
    // Frameless windows (toasts, previews) place themselves.
    return !window->windowFlags().testFlag(Qt::FramelessWindowHint);
}

// The window frame's width around the client area, as the window manager draws it around `shown`.
QMargins frameMargins(const QWidget* shown)
{
    if (shown == nullptr || !shown->isVisible())
        return {};
    const QRect frame = shown->frameGeometry();
    const QRect client = shown->geometry();
    return QMargins(std::max(0, client.left() - frame.left()), std::max(0, client.top() - frame.top()),
        std::max(0, frame.right() - client.right()), std::max(0, frame.bottom() - client.bottom()));
}

QList<QRect> screenAreas()
{
    QList<QRect> areas;
    for (const QScreen* screen : QGuiApplication::screens())
        areas << screen->availableGeometry();
    return areas;
}

}  // namespace

DesktopWindows::DesktopWindows(std::function<QWidget*()> mainWindow, QObject* parent)
    : QObject(parent), m_mainWindow(std::move(mainWindow))
{
    qApp->installEventFilter(this);
}

DesktopWindows::~DesktopWindows()
{
    qApp->removeEventFilter(this);
}

QPoint DesktopWindows::centredFrameOrigin(const QSize& frameSize, const QRect& anchor, const QRect& area)
{
    QPoint origin = anchor.center() - QPoint(frameSize.width() / 2, frameSize.height() / 2);
    if (area.isEmpty())
        return origin;
    origin.setX(std::max(area.left(), std::min(origin.x(), area.left() + area.width() - frameSize.width())));
    origin.setY(std::max(area.top(), std::min(origin.y(), area.top() + area.height() - frameSize.height())));
    return origin;
}

bool DesktopWindows::titleBarReachable(const QRect& frame, const QList<QRect>& areas)
{
    const QRect titleBar(frame.left(), frame.top(), frame.width(), kReachableHeight);
    for (const QRect& area : areas) {
        const QRect seen = titleBar.intersected(area);
        if (seen.width() >= std::min(kReachableWidth, frame.width()) && seen.height() >= kReachableHeight / 2)
            return true;
    }
    return false;
}

int DesktopWindows::titleBarWidth(const QString& title)
{
    // The title as the window system shows it (after it the application's name, as Qt adds it on
    // X11), in the window manager's bold font, beside the window's icon and its three buttons.
    QString shown = title;
    const QString application = QGuiApplication::applicationDisplayName();
    if (!application.isEmpty() && !title.contains(application))
        shown += QStringLiteral(" \u2014 ") + application;
    QFont font = QApplication::font();
    font.setBold(true);
    return QFontMetrics(font).horizontalAdvance(shown) + kTitleBarControlsWidth;
}

bool DesktopWindows::isMainWindow(const QWidget* window) const
{
    const QWidget* main = m_mainWindow ? m_mainWindow() : nullptr;
    return window != nullptr && (window == main || window->inherits("QuillsteadWindow"));
}

void DesktopWindows::place(QWidget* window)
{
    QWidget* main = m_mainWindow ? m_mainWindow() : nullptr;
    QWidget* anchor = window->parentWidget() != nullptr ? window->parentWidget()->window() : nullptr;
    if (anchor == nullptr || anchor == window || !anchor->isVisible())
        anchor = main != nullptr && main->isVisible() ? main : nullptr;
    const QScreen* screen = anchor != nullptr ? anchor->screen() : window->screen();
    if (screen == nullptr)
        screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    const QRect area = screen->availableGeometry();
    // A window not yet shown has no frame of its own: the main window's tells its width.
    QMargins margins = frameMargins(window);
    if (margins.isNull())
        margins = frameMargins(main);
    const QSize frameExtra(margins.left() + margins.right(), margins.top() + margins.bottom());

    const bool first = !window->property(kPlacedProperty).toBool();
    window->setProperty(kPlacedProperty, true);
    // A window too narrow for its title bar to show its title whole is widened, as far as it may be.
    if (const QString title = window->windowTitle(); first && !title.isEmpty()) {
        const int needed = titleBarWidth(title);
        if (window->width() < needed && window->maximumWidth() >= needed)
            window->resize(std::min(needed, area.width() - frameExtra.width()), window->height());
    }

    // A window larger than the free area is made to fit it.
    const QSize room = (area.size() - frameExtra).expandedTo(window->minimumSize());
    if (window->width() > room.width() || window->height() > room.height())
        window->resize(window->size().boundedTo(room));
    const QSize frameSize = window->size() + frameExtra;

    if (window->testAttribute(Qt::WA_Moved) || !first) {
        // A place of its own (restored, or where the user left it): kept while it can be reached.
        if (titleBarReachable(QRect(window->pos(), frameSize), screenAreas()))
            return;
    }
    const QRect anchorFrame = anchor != nullptr ? anchor->frameGeometry() : area;
    window->move(centredFrameOrigin(frameSize, anchorFrame, area));
    // A window made before it was shown may be put there by its client area: it is looked at again
    // once framed.
    QTimer::singleShot(0, window, [window] { keepTitleBarOnScreen(window, kFrameTries); });
}

void DesktopWindows::returnKeysFrom(QWidget* window)
{
    QWidget* to = window->parentWidget() != nullptr ? window->parentWidget()->window() : nullptr;
    if (to == nullptr || to == window || !to->isVisible())
        to = window->property(kCameFromProperty).value<QPointer<QWidget>>();
    if (to == nullptr || to == window || !to->isVisible())
        return;
    // Only a window that had the keys gives them back (the last one activated: the application has
    // let go of it by now), or one closed before the window system activated it, the window it came
    // from still the last; one closed behind another leaves them where they are.
    if (m_lastActive != window && m_lastActive != to)
        return;
    // The keys are the reader's to give only while it has them: a window closing while the user works
    // in another program takes nothing from it.
    if (QGuiApplication::applicationState() != Qt::ApplicationActive)
        return;
    // A window shown after the closed one had the keys (a report its dialog made as it closes), or
    // since, keeps them.
    const quint64 shown = std::max(m_shownWhenActivated, window->property(kShownSerialProperty).toULongLong());
    // After the window system has taken the closed window away (and its window manager has given
    // the focus wherever it gives it), the window it came from asks for the keys.
    QTimer::singleShot(0, this, [this, to = QPointer<QWidget>(to), shown] {
        const QWidget* modal = QApplication::activeModalWidget();
        if (to == nullptr || !to->isVisible() || shown != m_windowsShown ||
            QApplication::activePopupWidget() != nullptr || (modal != nullptr && modal != to->window()))
            return;
        to->activateWindow();
    });
}

void DesktopWindows::keepTitleBarOnScreen(QWidget* window, int triesLeft)
{
    if (!window->isVisible())
        return;
    const QRect frame = window->frameGeometry();
    if (frame == window->geometry()) {
        // The window manager has not framed it yet: looked at again shortly, a few times.
        if (triesLeft > 0)
            QTimer::singleShot(50, window, [window, triesLeft] { keepTitleBarOnScreen(window, triesLeft - 1); });
        return;
    }
    const QScreen* screen = window->screen() != nullptr ? window->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    const QRect area = screen->availableGeometry();
    if (titleBarReachable(frame, screenAreas()) && frame.top() >= area.top())
        return;
    QPoint origin = frame.topLeft();
    origin.setX(std::max(area.left(), std::min(origin.x(), area.left() + area.width() - frame.width())));
    origin.setY(std::max(area.top(), std::min(origin.y(), area.top() + area.height() - frame.height())));
    if (origin != frame.topLeft())
        window->move(origin);
}

bool DesktopWindows::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::Show) {
        QWidget* widget = WidgetLookup::window(watched);
        if (widget != nullptr && widget->isWindow() && isOrdinaryWindow(widget) && !isMainWindow(widget)) {
            widget->setProperty(kShownSerialProperty, ++m_windowsShown);
            place(widget);
            QWidget* active = QApplication::activeWindow();
            if (active != widget)
                widget->setProperty(kCameFromProperty, QVariant::fromValue(QPointer<QWidget>(active)));
        }
        return false;
    }
    if (type == QEvent::WindowActivate) {
        if (QWidget* widget = WidgetLookup::window(watched); widget != nullptr && widget->isWindow()) {
            m_lastActive = widget;
            m_shownWhenActivated = m_windowsShown;
        }
        return false;
    }
    if (type == QEvent::Hide) {
        // Not a window the window manager hid (minimised with its owner): one the reader closed.
        QWidget* widget = event->spontaneous() ? nullptr : WidgetLookup::window(watched);
        if (widget != nullptr && widget->isWindow() && isOrdinaryWindow(widget) && !isMainWindow(widget))
            returnKeysFrom(widget);
        return false;
    }
    if (type == QEvent::Move) {
        // Where the window manager put a window shown by the reader: a title bar above or beside the
        // screen (a position taken as the client area's) is brought back in.
        QWidget* widget = WidgetLookup::window(watched);
        if (widget != nullptr && widget->isWindow() && widget->isVisible() &&
            widget->property(kPlacedProperty).toBool() && isOrdinaryWindow(widget) && !isMainWindow(widget))
            QTimer::singleShot(0, widget, [widget] { keepTitleBarOnScreen(widget, kFrameTries); });
        return false;
    }
    if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (!key->matches(QKeySequence::Close))
        return false;
    QWidget* widget = WidgetLookup::widget(watched);
    QWidget* window = widget != nullptr ? widget->window() : nullptr;
    if (!isOrdinaryWindow(window) || isMainWindow(window))
        return false;
    if (type == QEvent::ShortcutOverride) {
        // The key is this window's, not a shortcut of another.
        event->accept();
        return true;
    }
    if (auto* dialog = qobject_cast<QDialog*>(window))
        dialog->reject();
    else
        window->close();
    return true;
}
