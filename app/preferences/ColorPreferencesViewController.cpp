#include "app/preferences/ColorPreferencesViewController.h"
#include "platform/ui/PlainLabel.h"

#include "app/preferences/ColorWell.h"
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
    const char* key;
    const char* customKey;
    const char* label;
};
const WellInfo kWells[10] = {
    {"backColor", "customBackColor", "Background"},
    {"wocColor", "customWocColor", "Words of Christ"},
    {"linkColor", "customLinkColor", "Links"},
    {"strongsColor", "customStrongsColor", "Strong's numbers"},
    {"textColor", "customTextColor", "Text"},
    {"tempHLColor", "customTempHLColor", "Linked passage highlight"},
    {"footnoteBGColor", "customFootnoteBGColor", "Footnote background"},
    {"searchColor", "customSearchColor", "Search hits"},
    {"devoReadColor", "customDevoReadColor", "Devotional read"},
    {"devoUnreadColor", "customDevoUnreadColor", "Devotional unread"},
};

// Keys a colour scheme sets, with their custom keys, in the order moveCurrentColorsToCustom copies.
const char* const kSchemeKeys[13][2] = {
    {"backColor", "customBackColor"},
    {"footnoteBGColor", "customFootnoteBGColor"},
    {"linkColor", "customLinkColor"},
    {"searchColor", "customSearchColor"},
    {"searchBold", "customSearchBold"},
    {"strongsColor", "customStrongsColor"},
    {"strongsDecoration", "customStrongsDecoration"},
    {"tempHLColor", "customTempHLColor"},
    {"textColor", "customTextColor"},
    {"wocColor", "customWocColor"},
    {"wocBold", "customWocBold"},
    {"devoReadColor", "customDevoReadColor"},
    {"devoUnreadColor", "customDevoUnreadColor"},
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
        well->setObjectName(QString::fromLatin1(kWells[i].key));
        well->setToolTip(tr(kWells[i].label));
        m_wells[i] = well;
        connect(well, &ColorWell::colorChanged, this, [this, i] { colorWellChanged(i); });
        const int row = i % 5, col = (i / 5) * 2;
        grid->addWidget(new PlainLabel(tr(kWells[i].label) + QLatin1Char(':'), this), row, col);
        grid->addWidget(well, row, col + 1);
    }
    top->addLayout(grid);
    auto* styles = new QHBoxLayout;
    addBox(styles, tr("Words of Christ in bold"), QStringLiteral("wocBold"));
    addBox(styles, tr("Search hits in bold"), QStringLiteral("searchBold"));
    addBox(styles, tr("Underline Strong's numbers"), QStringLiteral("strongsDecoration"));
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
    defaults().setString(text, QString::fromLatin1(kWells[index].key));
    moveCurrentColorsToCustom();
    defaults().setString(text, QString::fromLatin1(kWells[index].customKey));
    defaults().setInteger(kCustomScheme, QStringLiteral("colorScheme"));
    m_schemes->setCurrentIndex(m_schemes->findData(kCustomScheme));
    notifyOthersDisplaySettingsChanged();
}

void ColorPreferencesViewController::moveCurrentColorsToCustom()
{
    for (const auto& pair : kSchemeKeys)
        defaults().setObject(defaults().objectForKey(QString::fromLatin1(pair[0])), QString::fromLatin1(pair[1]));
}

void ColorPreferencesViewController::chooseColorScheme(int tag)
{
    UserDefaults& d = defaults();
    if (tag == kCustomScheme) {
        // Keys with no custom value lose their stored value and fall back to their registered one.
        const char* const order[13] = {"textColor", "backColor", "wocColor", "linkColor", "footnoteBGColor",
            "searchColor", "tempHLColor", "devoReadColor", "devoUnreadColor", "searchBold", "wocBold", "strongsColor",
            "strongsDecoration"};
        for (const char* key : order)
            d.setObject(d.objectForKey(QStringLiteral("custom") + QChar(QLatin1Char(key[0])).toUpper() +
                            QString::fromLatin1(key + 1)),
                QString::fromLatin1(key));
    } else {
        if (tag < 0 || tag > 3)
            tag = 0;
        const FixedScheme& s = kSchemes[tag];
        d.setString(QString::fromLatin1(s.text), QStringLiteral("textColor"));
        d.setString(QString::fromLatin1(s.back), QStringLiteral("backColor"));
        d.setString(QString::fromLatin1(s.woc), QStringLiteral("wocColor"));
        d.setString(QString::fromLatin1(s.link), QStringLiteral("linkColor"));
        d.setString(QStringLiteral("#e0e0ff"), QStringLiteral("footnoteBGColor"));
        d.setString(QStringLiteral("#008000"), QStringLiteral("searchColor"));
        d.setString(QStringLiteral("#fff2ea"), QStringLiteral("tempHLColor"));
        d.setString(QStringLiteral("#C0FFDC"), QStringLiteral("devoReadColor"));
        d.setString(QStringLiteral("#FFE3E3"), QStringLiteral("devoUnreadColor"));
        d.setBool(s.wocBold, QStringLiteral("wocBold"));
        d.setBool(s.searchBold, QStringLiteral("searchBold"));
        d.setString(QString::fromLatin1(s.strongs), QStringLiteral("strongsColor"));
        d.setString(QStringLiteral("none"), QStringLiteral("strongsDecoration"));
    }
    d.setInteger(tag, QStringLiteral("colorScheme"));
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
    schemes->setCurrentIndex(schemes->findData(int(defaults().integerForKey(QStringLiteral("colorScheme")))));
}

void ColorPreferencesViewController::initializeColorWells()
{
    for (int i = 0; i < 10; ++i)
        m_wells[i]->setColor(QColor(defaults().stringForKey(QString::fromLatin1(kWells[i].key))));
    for (const char* key : {"wocBold", "searchBold"})
        if (QCheckBox* b = checkBox(QString::fromLatin1(key)))
            b->setChecked(defaults().integerForKey(QString::fromLatin1(key)) == 1);
    if (QCheckBox* b = checkBox(QStringLiteral("strongsDecoration")))
        b->setChecked(defaults().stringForKey(QStringLiteral("strongsDecoration")) == QLatin1String("underline"));
}
