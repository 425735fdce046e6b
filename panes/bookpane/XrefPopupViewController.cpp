#include "panes/bookpane/XrefPopupViewController.h"
#include "platform/SettingsRegistry.h"
#include "platform/ui/PlainLabel.h"

#include "platform/SettingsKeys.h"
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
    const QColor background(defaults.value(SettingsKeys::TextColor));
    const QColor text(defaults.value(SettingsKeys::BackColor));
    QPalette palette = label->palette();
    if (background.isValid())
        palette.setColor(QPalette::Window, background);
    if (text.isValid())
        palette.setColor(QPalette::WindowText, text);
    label->setPalette(palette);
    label->setAutoFillBackground(true);
    QFont font(defaults.value(SettingsKeys::BodyFont));
    font.setPointSizeF(SettingsRegistry::clampedDouble(defaults, SettingsKeys::BaseFontSize) * 1.3);
    label->setFont(font);
    return label;
}
