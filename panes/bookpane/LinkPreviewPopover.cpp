#include "panes/bookpane/LinkPreviewPopover.h"

#include "panes/bookpane/XrefPopupViewController.h"
#include "panes/page/LinkPreview.h"
#include "platform/SettingsKeys.h"
#include "platform/SettingsRegistry.h"
#include "platform/UserDefaults.h"
#include "platform/ui/WidgetLookup.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QVBoxLayout>

#include <cmath>

QString LinkPreviewPopover::previewText(const LinkPreview* preview, const QString& href, const QString& footnote)
{
    if (!footnote.isEmpty())
        return footnote;
    const QString text = preview ? preview->stringForPopupFromHref(href) : QString();
    if (!text.isEmpty())
        return text;
    return tr("No preview available for %1").arg(LinkPreview::unwrapLink(href));
}

int LinkPreviewPopover::textWidthFor(double baseFontSize, int windowWidth)
{
    const double wide = 35.0 * baseFontSize;
    const double half = windowWidth / 2.0;
    return static_cast<int>(half <= wide ? half : wide);
}

bool LinkPreviewPopover::menuOrModalIsUp()
{
    return QApplication::activePopupWidget() != nullptr || QApplication::activeModalWidget() != nullptr ||
        QGuiApplication::modalWindow() != nullptr;
}

LinkPreviewPopover::LinkPreviewPopover(
    const QString& text, QWidget* anchor, const QRect& rect, const UserDefaults& defaults)
    : QFrame(anchor ? anchor->window() : nullptr, Qt::ToolTip | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("linkPreview"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    m_label = XrefPopupViewController::makeView(defaults, this);
    m_label->setText(text);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(m_label);

    const double base = SettingsRegistry::clampedDouble(defaults, SettingsKeys::BaseFontSize);
    const int windowWidth = anchor ? anchor->window()->width() : 800;
    const int width = std::max(1, textWidthFor(base, windowWidth));
    const QRectF bounds =
        QFontMetricsF(m_label->font()).boundingRect(QRectF(0, 0, width, 1e6), Qt::TextWordWrap | Qt::AlignLeft, text);
    const QSize size(
        static_cast<int>(std::ceil(bounds.width() + base)), static_cast<int>(std::ceil(bounds.height() + 1.0)));
    // The label's frame and margins come on top of the text's own size.
    const int frame = 2 * m_label->frameWidth() + 2 * m_label->margin();
    resize(size + QSize(frame, frame));

    // The link's rectangle, widened by baseFontSize, in global coordinates.
    QRect target = rect.adjusted(-static_cast<int>(base / 2), 0, static_cast<int>(base - base / 2), 0);
    if (anchor)
        target.moveTopLeft(anchor->mapToGlobal(target.topLeft()));
    const QScreen* screen = anchor && anchor->screen() ? anchor->screen() : QGuiApplication::primaryScreen();
    const QRect avail = screen ? screen->availableGeometry() : QRect(0, 0, 4096, 4096);
    QPoint at(target.right() + 1, target.center().y() - height() / 2);
    if (at.x() + this->width() > avail.right() && target.left() - this->width() >= avail.left())
        at.setX(target.left() - this->width());
    at.setX(std::clamp(at.x(), avail.left(), std::max(avail.left(), avail.right() - this->width())));
    at.setY(std::clamp(at.y(), avail.top(), std::max(avail.top(), avail.bottom() - height())));
    move(at);
    qApp->installEventFilter(this);
    show();
}

LinkPreviewPopover::~LinkPreviewPopover()
{
    qApp->removeEventFilter(this);
}

bool LinkPreviewPopover::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    // A menu or a modal window that opens takes the preview's place.
    QWidget* shown = type == QEvent::Show ? WidgetLookup::window(watched) : nullptr;
    const bool covering = shown != nullptr && (shown->windowType() == Qt::Popup || shown->isModal());
    if (covering || type == QEvent::MouseButtonPress || type == QEvent::KeyPress || type == QEvent::Wheel ||
        type == QEvent::ContextMenu) {
        QWidget* widget = WidgetLookup::widget(watched);
        if (covering || !widget || (widget != this && !isAncestorOf(widget))) {
            qApp->removeEventFilter(this);
            hide();
            deleteLater();
        }
    }
    return QFrame::eventFilter(watched, event);
}
