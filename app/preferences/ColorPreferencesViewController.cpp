#include "app/preferences/ColorPreferencesViewController.h"
#include "platform/ui/PlainLabel.h"

#include "app/preferences/ColorWell.h"
#include "platform/SettingsKeys.h"
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

// Keys a colour scheme sets, with their custom keys: each entry copies one key to its custom key
// (`toCustom`) or back.
template <const auto& key, const auto& custom> void copyKey(UserDefaults& d, bool toCustom)
{
    if (toCustom)
        d.copy(key, custom);
    else
        d.copy(custom, key);
}
using CopyKey = void (*)(UserDefaults&, bool);
const CopyKey kSchemeKeys[13] = {
    copyKey<SettingsKeys::BackColor, SettingsKeys::CustomBackColor>,
    copyKey<SettingsKeys::FootnoteBGColor, SettingsKeys::CustomFootnoteBGColor>,
    copyKey<SettingsKeys::LinkColor, SettingsKeys::CustomLinkColor>,
    copyKey<SettingsKeys::SearchColor, SettingsKeys::CustomSearchColor>,
    copyKey<SettingsKeys::SearchBold, SettingsKeys::CustomSearchBold>,
    copyKey<SettingsKeys::StrongsColor, SettingsKeys::CustomStrongsColor>,
    copyKey<SettingsKeys::StrongsDecoration, SettingsKeys::CustomStrongsDecoration>,
    copyKey<SettingsKeys::TempHLColor, SettingsKeys::CustomTempHLColor>,
    copyKey<SettingsKeys::TextColor, SettingsKeys::CustomTextColor>,
    copyKey<SettingsKeys::WocColor, SettingsKeys::CustomWocColor>,
    copyKey<SettingsKeys::WocBold, SettingsKeys::CustomWocBold>,
    copyKey<SettingsKeys::DevoReadColor, SettingsKeys::CustomDevoReadColor>,
    copyKey<SettingsKeys::DevoUnreadColor, SettingsKeys::CustomDevoUnreadColor>,
};

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
    {"Default Color Scheme", "#000000", "#ffffff", "#c00000", "#0000c0", "#808080", false, false},
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

void ColorPreferencesViewController::moveCurrentColorsToCustom()
{
    for (CopyKey copy : kSchemeKeys)
        copy(defaults(), true);
}

void ColorPreferencesViewController::chooseColorScheme(int tag)
{
    UserDefaults& d = defaults();
    if (tag == kCustomScheme) {
        // Keys with no custom value lose their stored value and fall back to their registered one.
        for (CopyKey copy : kSchemeKeys)
            copy(d, false);
    } else {
        if (tag < 0 || tag > 3)
            tag = 0;
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
