#include "app/ViewCommands.h"

#include "app/QuillsteadAppController.h"
#include "app/preferences/ColorPreferencesViewController.h"
#include "app/preferences/DisplayPreferencesViewController.h"
#include "app/preferences/SettingsPages.h"
#include "panes/layout/PaneNotifications.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"
#include "platform/ui/ActionRegistry.h"

#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOptionButton>

namespace {

// The footnote item's mixed state (a bool property of the action) and the icon it had before.
constexpr char kMixedStateProperty[] = "mixedState";
constexpr char kPlainIconProperty[] = "plainIcon";

// The style's partly-checked box, as an icon.
QIcon mixedStateIcon()
{
    QStyle* style = QApplication::style();
    const int size = style->pixelMetric(QStyle::PM_IndicatorWidth);
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    QStyleOptionButton option;
    option.rect = QRect(0, 0, size, size);
    option.state = QStyle::State_Enabled | QStyle::State_NoChange;
    option.palette = QApplication::palette();
    style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &option, &painter);
    painter.end();
    return QIcon(pixmap);
}

}  // namespace

ViewCommands::ViewCommands(const WindowEnvironment& environment, QuillsteadAppController& app)
    : m_environment(environment), m_app(app)
{
    using namespace CommandNames;
    ActionRegistry& actions = *m_environment.actions;
    const auto isOn = [this](const SettingKey<bool>& key) {
        return [this, &key] { return m_environment.settings().value(key); };
    };

    actions.add(ToggleStrongs,
        {.text = tr("Strong's Numbers and Word Attributes"),
            .toolbarLabel = tr("Strong's"),
            .checkable = true,
            .menu = ActionRegistry::in(Menus::View, 1, 0),
            .toolbarOrder = 160,
            .checked = isOn(SettingsKeys::StrongsNumbers)},
        this, [this] {
            toggle(SettingsKeys::StrongsNumbers,
                QStringLiteral("Word attributes are disabled in Bibles that have them."),
                QStringLiteral("Word attributes enabled."), true);
        });
    actions.add(CycleFootnoteMarker,
        {.text = tr("Cycle Footnote Markers"),
            .toolbarLabel = tr("Footnotes"),
            .checkable = true,
            .menu = ActionRegistry::in(Menus::View, 1, 1),
            .toolbarOrder = 170,
            .refresh = [this](QAction& item) { showFootnoteState(item); }},
        this, &ViewCommands::cycleFootnoteMarkers);
    actions.add(ToggleLinkPreview,
        {.text = tr("Link Previews"),
            .toolbarLabel = tr("Previews"),
            .checkable = true,
            .menu = ActionRegistry::in(Menus::View, 1, 2),
            .toolbarOrder = 290,
            .checked = isOn(SettingsKeys::VersePopovers)},
        this, [this] {
            toggle(SettingsKeys::VersePopovers, QStringLiteral("Link previews are now disabled."),
                QStringLiteral("Link previews enabled."), false);
        });
    actions.add(DisplaySettings, {.text = tr("Display Settings..."), .menu = ActionRegistry::in(Menus::View, 2, 0)},
        this, [this] {
            m_app.showPreferencesPane(SettingsPages::indexOf(DisplayPreferencesViewController::kIdentity.identifier));
        });
    actions.add(ColorSettings, {.text = tr("Colors..."), .menu = ActionRegistry::in(Menus::View, 2, 1)}, this, [this] {
        m_app.showPreferencesPane(SettingsPages::indexOf(ColorPreferencesViewController::kIdentity.identifier));
    });
    actions.add(ToggleBibleSync,
        {.text = tr("Bible / Commentary Sync"),
            .toolbarLabel = tr("Bible Sync"),
            .checkable = true,
            .menu = ActionRegistry::in(Menus::Panes, 3, 0),
            .toolbarOrder = 60,
            .checked = isOn(SettingsKeys::SyncBiblesComm)},
        this, [this] {
            toggle(SettingsKeys::SyncBiblesComm, QStringLiteral("Bible / commentary sync is now disabled"),
                QStringLiteral("Bible / commentary sync enabled."), false);
        });
}

void ViewCommands::postDisplayChange()
{
    m_environment.notifications().postNotificationName(PaneNotifications::DisplayPreferencesChangedNotification, this);
}

void ViewCommands::toggle(const SettingKey<bool>& key, const QString& offText, const QString& onText, bool postChange)
{
    UserDefaults& defaults = m_environment.settings();
    const bool on = !defaults.value(key);
    defaults.set(key, on);
    if (postChange)
        postDisplayChange();
    m_app.showToast(on ? onText : offText);
}

void ViewCommands::cycleFootnoteMarkers()
{
    UserDefaults& defaults = m_environment.settings();
    const QString now = defaults.value(SettingsKeys::FootnoteStyle);
    const QString next = now == QLatin1String("Collapse") ? QStringLiteral("Expand")
        : now == QLatin1String("Expand")                  ? QStringLiteral("Hide")
                                                          : QStringLiteral("Collapse");
    defaults.set(SettingsKeys::FootnoteStyle, next);
    postDisplayChange();
    m_app.showToast(QStringLiteral("Footnote markers now set to '%1'").arg(next));
}

void ViewCommands::showFootnoteState(QAction& item) const
{
    // Three states: "Hide" unchecked, "Expand" checked, anything else (collapsed markers) mixed. A
    // menu item draws no mixed check box of its own: the mixed state is an unchecked item showing the
    // style's partly-checked box as its icon (the item's text names the state as well).
    const QString footnotes = m_environment.settings().value(SettingsKeys::FootnoteStyle);
    const bool hidden = footnotes == QLatin1String("Hide");
    const bool expanded = footnotes == QLatin1String("Expand");
    item.setChecked(expanded);
    const bool mixed = !hidden && !expanded;
    item.setProperty(kMixedStateProperty, mixed);
    item.setIconVisibleInMenu(mixed);
    if (mixed) {
        if (!item.property(kPlainIconProperty).isValid())
            item.setProperty(kPlainIconProperty, item.icon());
        item.setIcon(mixedStateIcon());
    } else if (const QVariant plain = item.property(kPlainIconProperty); plain.isValid()) {
        item.setIcon(plain.value<QIcon>());
    }
    item.setText(tr("Footnote Markers: %1").arg(mixed ? QStringLiteral("Collapse") : footnotes));
}
