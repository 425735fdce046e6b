#include "panes/bookpane/XrefPopupViewController.h"
#include "platform/SettingsRegistry.h"
#include "platform/ui/PlainLabel.h"

#include "platform/UserDefaults.h"

#include <QColor>

QLabel* XrefPopupViewController::makeView(const UserDefaults& defaults, QWidget* parent)
{
    auto* label = new PlainLabel(QStringLiteral("Hello, World!"), parent);
    label->setProperty("tag", kTextTag);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    label->setWordWrap(true);
    label->setFrameShape(QFrame::Box);
    label->setTextFormat(Qt::PlainText);
    const QColor background(defaults.stringForKey(QStringLiteral("textColor")));
    const QColor text(defaults.stringForKey(QStringLiteral("backColor")));
    QPalette palette = label->palette();
    if (background.isValid())
        palette.setColor(QPalette::Window, background);
    if (text.isValid())
        palette.setColor(QPalette::WindowText, text);
    label->setPalette(palette);
    label->setAutoFillBackground(true);
    QFont font(defaults.stringForKey(QStringLiteral("bodyFont")));
    font.setPointSizeF(SettingsRegistry::clampedDouble(defaults, QStringLiteral("baseFontSize")) * 1.3);
    label->setFont(font);
    return label;
}
