#include "studypane/HighlightMenus.h"

#include "platform/ui/MenuText.h"
#include "render/cHTMLColor.h"

#include <QColor>
#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QPixmap>

namespace {

using namespace HighlightMenus;

QVariantMap clearPayload(const QString& title)
{
    return {{kTitle, title}, {kColorID, 0u}, {kBgColor, QColor(Qt::transparent)}, {kUnderline, 0}};
}

// A swatch of the item: its background colour, or a line drawn in its underline pattern.
QIcon swatch(const QVariantMap& payload)
{
    QPixmap pixmap(28, 14);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    const QColor background = payload.value(kBgColor).value<QColor>();
    if (background.alpha() > 0) {
        painter.fillRect(pixmap.rect().adjusted(1, 1, -1, -1), background);
        painter.setPen(QColor(0, 0, 0, 90));
        painter.drawRect(pixmap.rect().adjusted(1, 1, -2, -2));
    }
    const int style = payload.value(kUnderline).toInt();
    if (style != 0) {
        QPen pen(Qt::black, 1.5);
        pen.setStyle(
            style == kUnderlineDotted ? Qt::DotLine : (style == kUnderlineDashed ? Qt::DashLine : Qt::SolidLine));
        painter.setPen(pen);
        painter.drawLine(2, 11, 26, 11);
    }
    return QIcon(pixmap);
}

QAction* addItem(QMenu* menu, const QVariantMap& payload, const MenuHandler& onChosen)
{
    QAction* a = menu->addAction(swatch(payload), MenuText::asWritten(payload.value(kTitle).toString()));
    a->setData(payload);
    if (onChosen)
        QObject::connect(a, &QAction::triggered, menu, [onChosen, payload] { onChosen(payload); });
    return a;
}

}  // namespace

const std::array<quint16, 19>& HighlightMenus::menuColorValues()
{
    static const std::array<quint16, 19> values {84, 89, 7, 3, 34, 44, 51, 69, 67, 90, 92, 103, 4, 14, 120, 135,
        kHighlightStyleUnderline, kHighlightStyleDottedUnderline, kHighlightStyleDashedUnderline};
    return values;
}

QVariantMap HighlightMenus::colorMenuPayload(const HighlightStore& store, quint16 value)
{
    QVariantMap p = clearPayload(store.nameForColorValue(value, false));
    p.insert(kColorID, quint32(value));
    if ((value & 0x8000) != 0) {
        int style = kUnderlineSingle;
        if (value == kHighlightStyleDottedUnderline)
            style = kUnderlineDotted;
        else if (value == kHighlightStyleDashedUnderline)
            style = kUnderlineDashed;
        else if (value != kHighlightStyleUnderline)
            style = kUnderlineNone;
        p.insert(kUnderline, style);
    } else if (value < kHighlightColorRowCount) {
        const std::uint32_t rgb = highlightColorTable()[value].rgb;
        p.insert(kBgColor,
            QColor::fromRgbF(float((rgb >> 16) & 0xFF) / 255.0f, float((rgb >> 8) & 0xFF) / 255.0f,
                float(rgb & 0xFF) / 255.0f, 1.0f));
    }
    return p;
}

void HighlightMenus::populate(QMenu* menu, const HighlightStore& store, int options, const MenuHandler& onChosen)
{
    if (menu == nullptr)
        return;
    menu->clear();
    if ((options & kOptionAnyColor) != 0)
        addItem(menu, clearPayload(QStringLiteral("Any Color")), onChosen);
    for (quint16 value : menuColorValues())
        addItem(menu, colorMenuPayload(store, value), onChosen);
    if ((options & kOptionRemoveHighlight) != 0)
        addItem(menu, clearPayload(QStringLiteral("Remove Highlight")), onChosen);
}
