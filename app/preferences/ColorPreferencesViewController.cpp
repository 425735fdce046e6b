#include "app/preferences/ColorPreferencesViewController.h"
#include "platform/ui/PlainLabel.h"

#include "app/preferences/ColorWell.h"
#include "platform/SettingsKeys.h"
#include "platform/SettingsRegistry.h"
#include "platform/UserDefaults.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace {

struct WellInfo {
    const SettingKey<QString>& key;
    const SettingKey<QString>& customKey;
    const char* label;
};
const WellInfo kWells[10] = {
    {SettingsKeys::BackColor, SettingsKeys::CustomBackColor, "Background"},
    {SettingsKeys::WocColor, SettingsKeys::CustomWocColor, "Words of Christ"},
    {SettingsKeys::LinkColor, SettingsKeys::CustomLinkColor, "Links"},
    {SettingsKeys::StrongsColor, SettingsKeys::CustomStrongsColor, "Strong's numbers"},
    {SettingsKeys::TextColor, SettingsKeys::CustomTextColor, "Text"},
    {SettingsKeys::TempHLColor, SettingsKeys::CustomTempHLColor, "Linked passage highlight"},
    {SettingsKeys::FootnoteBGColor, SettingsKeys::CustomFootnoteBGColor, "Footnote background"},
    {SettingsKeys::SearchColor, SettingsKeys::CustomSearchColor, "Search hits"},
    {SettingsKeys::DevoReadColor, SettingsKeys::CustomDevoReadColor, "Devotional read"},
    {SettingsKeys::DevoUnreadColor, SettingsKeys::CustomDevoUnreadColor, "Devotional unread"},
};

// Keys a colour scheme sets, with their custom keys: each entry names both and copies one to the
// other (`toCustom`: the key to its custom key; otherwise back).
template <const auto& key, const auto& custom> void copyKey(UserDefaults& d, bool toCustom)
{
    if (toCustom)
        d.copy(key, custom);
    else
        d.copy(custom, key);
}
struct SchemeKey {
    const QString* key;
    const QString* custom;
    void (*copy)(UserDefaults&, bool toCustom);
};
template <const auto& key, const auto& custom> SchemeKey schemeKey()
{
    return {&key.name, &custom.name, copyKey<key, custom>};
}
const SchemeKey kSchemeKeys[13] = {
    schemeKey<SettingsKeys::BackColor, SettingsKeys::CustomBackColor>(),
    schemeKey<SettingsKeys::FootnoteBGColor, SettingsKeys::CustomFootnoteBGColor>(),
    schemeKey<SettingsKeys::LinkColor, SettingsKeys::CustomLinkColor>(),
    schemeKey<SettingsKeys::SearchColor, SettingsKeys::CustomSearchColor>(),
    schemeKey<SettingsKeys::SearchBold, SettingsKeys::CustomSearchBold>(),
    schemeKey<SettingsKeys::StrongsColor, SettingsKeys::CustomStrongsColor>(),
    schemeKey<SettingsKeys::StrongsDecoration, SettingsKeys::CustomStrongsDecoration>(),
    schemeKey<SettingsKeys::TempHLColor, SettingsKeys::CustomTempHLColor>(),
    schemeKey<SettingsKeys::TextColor, SettingsKeys::CustomTextColor>(),
    schemeKey<SettingsKeys::WocColor, SettingsKeys::CustomWocColor>(),
    schemeKey<SettingsKeys::WocBold, SettingsKeys::CustomWocBold>(),
    schemeKey<SettingsKeys::DevoReadColor, SettingsKeys::CustomDevoReadColor>(),
    schemeKey<SettingsKeys::DevoUnreadColor, SettingsKeys::CustomDevoUnreadColor>(),
};

// The colour schemes of the menu by tag; the default one (tag 0) is the registered values, the
// others write these.
struct FixedScheme {
    const char* title;
    const char* text;
    const char* back;
    const char* woc;
    const char* link;
    const char* strongs;
    bool wocBold;
    bool searchBold;
};
const FixedScheme kSchemes[4] = {
    {"Default Color Scheme", nullptr, nullptr, nullptr, nullptr, nullptr, false, false},
    {"Ivory Color Scheme", "#800000", "#fffff8", "#c00000", "#0000c0", "#c08080", false, true},
    {"Honeydew Color Scheme", "#0a4b23", "#f8fff8", "#cc0000", "#0000cc", "#8db099", false, true},
    {"Azure Color Scheme", "#00006b", "#f8f8ff", "#cc0000", "#0000cc", "#8080c0", false, true},
};
constexpr int kCustomScheme = 99;

}  // namespace

ColorPreferencesViewController::ColorPreferencesViewController(const Environment& env, QWidget* parent)
    : PreferencesViewController(env, kIdentity, parent)
{
    auto* top = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_schemes = addPopUp(form, tr("Color scheme:"), QStringLiteral("colorSchemePopUpButton"));
    connect(m_schemes, &QComboBox::activated, this, [this] { chooseColorScheme(m_schemes->currentData().toInt()); });
    top->addLayout(form);
    auto* grid = new QGridLayout;
    for (int i = 0; i < 10; ++i) {
        auto* well = new ColorWell(this);
        well->setObjectName(kWells[i].key.name);
        well->setToolTip(tr(kWells[i].label));
        m_wells[i] = well;
        connect(well, &ColorWell::colorChanged, this, [this, i] { colorWellChanged(i); });
        connect(well, &ColorWell::chooserOpened, this, [this] { m_beforeChooser = storedSchemeState(); });
        connect(well, &ColorWell::chooserClosed, this, [this, i](bool accepted) { chooserClosed(i, accepted); });
        const int row = i % 5, col = (i / 5) * 2;
        grid->addWidget(new PlainLabel(tr(kWells[i].label) + QLatin1Char(':'), this), row, col);
        grid->addWidget(well, row, col + 1);
    }
    top->addLayout(grid);
    auto* styles = new QHBoxLayout;
    addBox(styles, tr("Words of Christ in bold"), SettingsKeys::WocBold);
    addBox(styles, tr("Search hits in bold"), SettingsKeys::SearchBold);
    addBox(styles, tr("Underline Strong's numbers"), SettingsKeys::StrongsDecoration, QStringLiteral("underline"),
        QStringLiteral("none"));
    top->addLayout(styles);
    top->addStretch(1);
    finishConstruction();
}

ColorPreferencesViewController::~ColorPreferencesViewController()
{
    // A colour still waiting for its pause is committed rather than lost.
    for (int i = 0; i < 10; ++i)
        if (m_colorTimers[i] && m_colorTimers[i]->isActive())
            commitColor(i);
}

QWidget* ColorPreferencesViewController::initialKeyView() const
{
    return m_schemes;
}

void ColorPreferencesViewController::colorWellChanged(int index)
{
    QTimer*& timer = m_colorTimers[index];
    if (!timer) {
        timer = new QTimer(this);
        timer->setSingleShot(true);
        timer->setInterval(kColorDebounceMs);
        connect(timer, &QTimer::timeout, this, [this, index] { commitColor(index); });
    }
    timer->start();  // restarting drops the pending commit
}

void ColorPreferencesViewController::commitColor(int index)
{
    if (m_colorTimers[index])
        m_colorTimers[index]->stop();
    const QString text = m_wells[index]->color().toRgb().name(QColor::HexRgb);
    defaults().set(kWells[index].key, text);
    moveCurrentColorsToCustom();
    defaults().set(kWells[index].customKey, text);
    defaults().set(SettingsKeys::ColorScheme, kCustomScheme);
    m_schemes->setCurrentIndex(m_schemes->findData(kCustomScheme));
    notifyOthersDisplaySettingsChanged();
}

QList<QPair<QString, QVariant>> ColorPreferencesViewController::storedSchemeState() const
{
    QList<QPair<QString, QVariant>> state;
    auto keep = [this, &state](const QString& key) {
        state.append({key, defaults().hasStoredValue(key) ? defaults().objectForKey(key) : QVariant()});
    };
    for (const SchemeKey& k : kSchemeKeys) {
        keep(*k.key);
        keep(*k.custom);
    }
    keep(SettingsKeys::ColorScheme.name);
    return state;
}

void ColorPreferencesViewController::chooserClosed(int index, bool accepted)
{
    QTimer* timer = m_colorTimers[index];
    if (accepted) {
        // OK: the colour chosen is stored now rather than after the pause.
        if (timer && timer->isActive())
            commitColor(index);
        return;
    }
    // Cancel: the colours stored while the chooser was open, and the scheme, are as before it.
    if (timer)
        timer->stop();
    const bool changed = storedSchemeState() != m_beforeChooser;
    if (changed) {
        for (const auto& [key, value] : std::as_const(m_beforeChooser))
            defaults().setObject(value, key);
    }
    m_beforeChooser.clear();
    rebuildColorSchemeMenu();
    initializeColorWells();
    if (changed)
        notifyOthersDisplaySettingsChanged();
}

void ColorPreferencesViewController::moveCurrentColorsToCustom()
{
    for (const SchemeKey& k : kSchemeKeys)
        k.copy(defaults(), true);
}

void ColorPreferencesViewController::chooseColorScheme(int tag)
{
    UserDefaults& d = defaults();
    if (tag == kCustomScheme) {
        // Keys with no custom value lose their stored value and fall back to their registered one.
        for (const SchemeKey& k : kSchemeKeys)
            k.copy(d, false);
    } else if (tag < 1 || tag > 3) {
        // The default scheme is the look of a first start: the scheme's keys lose their stored
        // values and read as registered, the Strong's colour again following the link colour.
        tag = 0;
        for (const SchemeKey& k : kSchemeKeys)
            d.setObject(QVariant(), *k.key);
        SettingsRegistry::registerDerivedDefaults(d);
    } else {
        const FixedScheme& s = kSchemes[tag];
        d.set(SettingsKeys::TextColor, QString::fromLatin1(s.text));
        d.set(SettingsKeys::BackColor, QString::fromLatin1(s.back));
        d.set(SettingsKeys::WocColor, QString::fromLatin1(s.woc));
        d.set(SettingsKeys::LinkColor, QString::fromLatin1(s.link));
        d.set(SettingsKeys::FootnoteBGColor, QStringLiteral("#e0e0ff"));
        d.set(SettingsKeys::SearchColor, QStringLiteral("#008000"));
        d.set(SettingsKeys::TempHLColor, QStringLiteral("#fff2ea"));
        d.set(SettingsKeys::DevoReadColor, QStringLiteral("#C0FFDC"));
        d.set(SettingsKeys::DevoUnreadColor, QStringLiteral("#FFE3E3"));
        d.set(SettingsKeys::WocBold, s.wocBold);
        d.set(SettingsKeys::SearchBold, s.searchBold);
        d.set(SettingsKeys::StrongsColor, QString::fromLatin1(s.strongs));
        d.set(SettingsKeys::StrongsDecoration, QStringLiteral("none"));
    }
    d.set(SettingsKeys::ColorScheme, tag);
    initializeColorWells();
    m_schemes->setCurrentIndex(m_schemes->findData(tag));
    notifyOthersDisplaySettingsChanged();
}

void ColorPreferencesViewController::refreshPage()
{
    rebuildColorSchemeMenu();
    initializeColorWells();
}

void ColorPreferencesViewController::rebuildColorSchemeMenu()
{
    QComboBox* schemes = m_schemes;
    schemes->clear();
    for (int tag = 0; tag < 4; ++tag)
        schemes->addItem(tr(kSchemes[tag].title), tag);
    schemes->addItem(tr("Custom Color Scheme"), kCustomScheme);
    schemes->setCurrentIndex(schemes->findData(int(defaults().value(SettingsKeys::ColorScheme))));
}

void ColorPreferencesViewController::initializeColorWells()
{
    for (int i = 0; i < 10; ++i)
        m_wells[i]->setColor(QColor(defaults().value(kWells[i].key)));
    for (const SettingKey<bool>* key : {&SettingsKeys::WocBold, &SettingsKeys::SearchBold})
        if (QCheckBox* b = checkBox(*key))
            b->setChecked(defaults().value(*key));
    if (QCheckBox* b = checkBox(SettingsKeys::StrongsDecoration))
        b->setChecked(defaults().value(SettingsKeys::StrongsDecoration) == QLatin1String("underline"));
}
