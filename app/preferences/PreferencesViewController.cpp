#include "app/preferences/PreferencesViewController.h"

#include "app/preferences/ColorWell.h"
#include "app/preferences/MASPreferencesWindowController.h"
#include "cloud/account/CustomerAccount.h"
#include "cloud/account/CustomerPassword.h"
#include "cloud/protocol/ServiceHost.h"
#include "cloud/sync/SyncManager.h"
#include "library/SourceManager.h"
#include "library/SourceTuple.h"
#include "library/SourceTupleArray.h"
#include "platform/Alerts.h"
#include "platform/AppFolders.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "userdata/cPersistentData.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QDoubleValidator>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QStackedWidget>
#include <QTextToSpeech>
#include <QVBoxLayout>
#include <algorithm>

const QString PreferencesViewController::DisplayPreferencesChangedNotification =
    QStringLiteral("DisplayPreferencesChangedNotification");

namespace {

// Account fields carry this property; they are never written to the user defaults.
constexpr char kAccountProperty[] = "account";
bool isAccountField(const QLineEdit* field)
{
    return field->property(kAccountProperty).toBool();
}

struct PaneInfo {
    const char* identifier;
    const char* icon;
    const char* label;
};
const PaneInfo kPanes[PreferencesViewController::kPaneCount] = {
    {"GeneralPreferences", "preferences-system", "General"},
    {"DisplayPreferences", "preferences-desktop-font", "Display"},
    {"ColorPreferences", "preferences-desktop-color", "Color"},
    {"LoginPreferences", "system-users", "Customer ID"},
    {"SyncPreferences", "view-refresh", "Cloud Sync"},
    {"PreferredBooks", "accessories-dictionary", "Preferred Books"},
    {"UpdatePreferences", "system-software-update", "Updates"},
    {"VoicesPreferences", "audio-volume-high", "Voices"},
};

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

// How a check box shows and stores its key.
enum class BoxMode { Flag, IntegerOne, Underline, Flip };

UserDefaults& defaults()
{
    return UserDefaults::standardUserDefaults();
}

QString firstWord(const QString& title)
{
    return title.section(QLatin1Char(' '), 0, 0);
}

struct VoiceRow {
    const char* prefix;
    const char* language;
    const char* voiceKey;
    const char* rateKey;
};
const VoiceRow kVoiceRows[3] = {
    {"en", "English", "voiceEN", "voiceENRate"},
    {"es", "Spanish", "voiceES", "voiceESRate"},
    {"el", "Greek", "voiceEL", "voiceELRate"},
};
const VoiceRow* rowFor(const QString& prefix)
{
    for (const VoiceRow& r : kVoiceRows)
        if (prefix == QLatin1String(r.prefix))
            return &r;
    return nullptr;
}
}  // namespace

PreferencesViewController* PreferencesViewController::factoryForPane(unsigned index, QWidget* parent)
{
    if (index >= unsigned(kPaneCount))
        return nullptr;
    return new PreferencesViewController(int(index), parent);
}

PreferencesViewController::PreferencesViewController(int paneIndex, QWidget* parent)
    : QWidget(parent), m_paneIndex(paneIndex)
{
    setObjectName(identifier());
    switch (paneIndex) {
    case 0:
        buildGeneral();
        break;
    case 1:
        buildDisplay();
        break;
    case 2:
        buildColor();
        break;
    case 3:
        buildCustomerID();
        break;
    case 4:
        buildSync();
        break;
    case 5:
        buildPreferredBooks();
        break;
    case 6:
        buildUpdates();
        break;
    case 7:
        buildVoices();
        break;
    default:
        break;
    }
    NotificationCenter& nc = NotificationCenter::defaultCenter();
    nc.addObserver(
        this, MASPreferencesWindowController::DidChangeViewNotification, [this](Notification&) { refresh(); });
    nc.addObserver(this, DisplayPreferencesChangedNotification, [this](Notification& n) {
        if (n.object != this)
            refresh();
    });
    refresh();
}

PreferencesViewController::~PreferencesViewController()
{
    NotificationCenter::defaultCenter().removeObserver(this);
    // A colour still waiting for its pause is committed rather than lost.
    for (int i = 0; i < 10; ++i)
        if (m_colorTimers[i] && m_colorTimers[i]->isActive())
            commitColor(i);
}

QString PreferencesViewController::identifier() const
{
    return QString::fromLatin1(kPanes[m_paneIndex].identifier);
}
QString PreferencesViewController::toolbarItemLabel() const
{
    return tr(kPanes[m_paneIndex].label);
}
QIcon PreferencesViewController::toolbarItemImage() const
{
    return QIcon::fromTheme(QString::fromLatin1(kPanes[m_paneIndex].icon));
}

QWidget* PreferencesViewController::initialKeyView() const
{
    if (QLineEdit* id = textField(QStringLiteral("customerID")))
        return id;
    if (QComboBox* font = popUp(QStringLiteral("fontPopUpButton")))
        return font;
    return popUp(QStringLiteral("colorSchemePopUpButton"));
}

bool PreferencesViewController::commitEditing()
{
    // Only the display fields are settings; the account fields (a password, a customer ID being
    // typed) are sent to the server by their own buttons and never written to the settings file.
    for (QLineEdit* f : m_fields)
        if (f->hasFocus() && !isAccountField(f))
            textFieldDidEndEditing(f);
    return true;
}

QLineEdit* PreferencesViewController::textField(const QString& key) const
{
    for (QLineEdit* f : m_fields)
        if (f->objectName() == key)
            return f;
    return nullptr;
}

QCheckBox* PreferencesViewController::checkBox(const QString& key) const
{
    for (QCheckBox* b : m_boxes)
        if (b->objectName() == key)
            return b;
    return nullptr;
}

QComboBox* PreferencesViewController::popUp(const QString& name) const
{
    for (QComboBox* c : m_popUps)
        if (c->objectName() == name)
            return c;
    return nullptr;
}

ColorWell* PreferencesViewController::colorWell(const QString& key) const
{
    for (int i = 0; i < 10; ++i)
        if (m_wells[i] && QLatin1String(kWells[i].key) == key)
            return m_wells[i];
    return nullptr;
}

QStringList PreferencesViewController::colorKeys()
{
    QStringList keys;
    for (const WellInfo& w : kWells)
        keys << QString::fromLatin1(w.key);
    return keys;
}

// ---- building the pages

QLineEdit* PreferencesViewController::addField(QFormLayout* form, const QString& label, const QString& key)
{
    auto* f = new QLineEdit(this);
    f->setObjectName(key);
    f->setMaximumWidth(80);
    if (key == QLatin1String("lineHeight"))
        f->setValidator(new QDoubleValidator(0.5, 5.0, 2, f));
    else
        f->setValidator(new QIntValidator(0, 999, f));
    connect(f, &QLineEdit::editingFinished, this, [this, f] { textFieldDidEndEditing(f); });
    form->addRow(label, f);
    m_fields.append(f);
    return f;
}

QCheckBox* PreferencesViewController::addBox(QLayout* layout, const QString& label, const QString& key)
{
    auto* b = new QCheckBox(label, this);
    b->setObjectName(key);
    connect(b, &QCheckBox::clicked, this, [this, b] { checkBoxChanged(b); });
    layout->addWidget(b);
    m_boxes.append(b);
    return b;
}

QComboBox* PreferencesViewController::addPopUp(QFormLayout* form, const QString& label, const QString& name)
{
    auto* c = new QComboBox(this);
    c->setObjectName(name);
    form->addRow(label, c);
    m_popUps.append(c);
    return c;
}

void PreferencesViewController::buildGeneral()
{
    auto* top = new QVBoxLayout(this);
    auto* sync = new QGroupBox(tr("When a pane moves to a new passage, move along"), this);
    auto* syncLayout = new QVBoxLayout(sync);
    addBox(syncLayout, tr("Bibles and commentaries"), QStringLiteral("syncBiblesComm"));
    addBox(syncLayout, tr("Devotionals (to today's reading)"), QStringLiteral("syncDevotionals"));
    addBox(syncLayout, tr("Dictionaries"), QStringLiteral("syncDictionaries"));
    top->addWidget(sync);
    auto* form = new QFormLayout;
    QComboBox* scroll = addPopUp(form, tr("Scroll tracking:"), QStringLiteral("scrollTrackIntervalPopUpButton"));
    scroll->addItem(tr("Remember the place on each page"), 1);
    scroll->addItem(tr("Remember the place in each book"), 2);
    connect(scroll, &QComboBox::activated, this, [scroll] {
        const int tag = scroll->currentData().toInt();
        if (tag == 1 || tag == 2)
            defaults().setString(
                tag == 2 ? QStringLiteral("perbook") : QStringLiteral("page"), QStringLiteral("scrollTrackInterval"));
    });
    QComboBox* toolbar = addPopUp(form, tr("Toolbar style:"), QStringLiteral("toolbarStylePopUpButton"));
    toolbar->addItem(tr("Icons and labels"), 1);
    toolbar->addItem(tr("Compact"), 2);
    connect(toolbar, &QComboBox::activated, this, [toolbar] {
        const int tag = toolbar->currentData().toInt();
        if (tag == 1 || tag == 2)
            defaults().setInteger(tag == 2 ? 3 : 1, QStringLiteral("mainWindowToolbarStyle"));
    });
    top->addLayout(form);
    addBox(top, tr("Tell me about special offers"), QStringLiteral("myOffersNotifications"));
    top->addStretch(1);
}

void PreferencesViewController::buildDisplay()
{
    auto* top = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    auto* form = new QFormLayout;
    QComboBox* font = addPopUp(form, tr("Font:"), QStringLiteral("fontPopUpButton"));
    font->setMinimumWidth(220);
    connect(font, &QComboBox::activated, this, [this, font] {
        if (font->currentIndex() < 0)
            return;
        defaults().setString(font->currentText(), QStringLiteral("bodyFont"));
        notifyOthersDisplaySettingsChanged();
    });
    addField(form, tr("Text size:"), QStringLiteral("baseFontSize"));
    addField(form, tr("Left margin:"), QStringLiteral("leftMargin"));
    addField(form, tr("Right margin:"), QStringLiteral("rightMargin"));
    addField(form, tr("Line height:"), QStringLiteral("lineHeight"));
    addField(form, tr("Poetry indent, left:"), QStringLiteral("poetryLeft"));
    addField(form, tr("Poetry indent, right:"), QStringLiteral("poetryRight"));
    QComboBox* footnotes = addPopUp(form, tr("Footnotes:"), QStringLiteral("footnotePopUpButton"));
    footnotes->addItems({tr("Collapse footnotes"), tr("Expand footnotes"), tr("Hide footnotes")});
    QComboBox* highlights = addPopUp(form, tr("Highlights:"), QStringLiteral("highlightStylePopUpButton"));
    highlights->addItems({tr("Show highlights"), tr("Verse highlights (whole verses)"), tr("Hide highlights")});
    for (auto [combo, key] : {std::pair {footnotes, "footnoteStyle"}, std::pair {highlights, "highlightStyle"}}) {
        connect(combo, &QComboBox::activated, this, [this, combo, key] {
            defaults().setString(firstWord(combo->currentText()), QString::fromLatin1(key));
            notifyOthersDisplaySettingsChanged();
        });
    }
    left->addLayout(form);
    left->addStretch(1);
    top->addLayout(left);
    auto* right = new QVBoxLayout;
    addBox(right, tr("Indent poetry"), QStringLiteral("indentPoetry"));
    addBox(right, tr("Show Strong's numbers"), QStringLiteral("strongsNumbers"));
    addBox(right, tr("Words of Christ in red"), QStringLiteral("wocInRed"));
    addBox(right, tr("One verse per paragraph"), QStringLiteral("oneVersePerParagraph"));
    addBox(right, tr("Hide verse numbers"), QStringLiteral("hideVerseNumbers"));
    addBox(right, tr("Show verse numbers in paraphrases"), QStringLiteral("showMsgVerses"));
    addBox(right, tr("Show verse previews in pop-overs"), QStringLiteral("versePopovers"));
    addBox(right, tr("Hide links to my notes"), QStringLiteral("hideNoteLinks"));
    addBox(right, tr("Highlight the linked passage"), QStringLiteral("highlightLinkedPassage"));
    right->addStretch(1);
    top->addLayout(right);
}

void PreferencesViewController::buildColor()
{
    auto* top = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    QComboBox* schemes = addPopUp(form, tr("Color scheme:"), QStringLiteral("colorSchemePopUpButton"));
    connect(
        schemes, &QComboBox::activated, this, [this, schemes] { chooseColorScheme(schemes->currentData().toInt()); });
    top->addLayout(form);
    auto* grid = new QGridLayout;
    for (int i = 0; i < 10; ++i) {
        auto* well = new ColorWell(this);
        well->setObjectName(QString::fromLatin1(kWells[i].key));
        well->setToolTip(tr(kWells[i].label));
        m_wells[i] = well;
        connect(well, &ColorWell::colorChanged, this, [this, i] { colorWellChanged(i); });
        const int row = i % 5, col = (i / 5) * 2;
        grid->addWidget(new QLabel(tr(kWells[i].label) + QLatin1Char(':'), this), row, col);
        grid->addWidget(well, row, col + 1);
    }
    top->addLayout(grid);
    auto* styles = new QHBoxLayout;
    addBox(styles, tr("Words of Christ in bold"), QStringLiteral("wocBold"));
    addBox(styles, tr("Search hits in bold"), QStringLiteral("searchBold"));
    addBox(styles, tr("Underline Strong's numbers"), QStringLiteral("strongsDecoration"));
    top->addLayout(styles);
    top->addStretch(1);
}

void PreferencesViewController::buildUpdates()
{
    auto* top = new QVBoxLayout(this);
    addBox(top, tr("Check for updates automatically"), QStringLiteral("appUpdateAutomatic"));
    auto* form = new QFormLayout;
    QComboBox* freq = addPopUp(form, tr("Check:"), QStringLiteral("checkForUpdatesFrequencyButton"));
    freq->addItem(tr("Daily"), 86400);
    freq->addItem(tr("Weekly"), 604800);
    freq->addItem(tr("Monthly"), 2629800);
    connect(freq, &QComboBox::activated, this,
        [freq] { defaults().setInteger(freq->currentData().toLongLong(), QStringLiteral("appUpdateFreqSeconds")); });
    top->addLayout(form);
    top->addStretch(1);
}

// ---- actions

void PreferencesViewController::textFieldDidEndEditing(QLineEdit* field)
{
    if (m_refreshing || isAccountField(field))
        return;
    const QString key = field->objectName();
    if (key == QLatin1String("lineHeight")) {
        bool ok = false;
        const double v = field->text().toDouble(&ok);
        defaults().setDouble(ok ? v : 0.0, key);
    } else {
        defaults().setInteger(field->text().toLongLong(), key);
    }
    notifyOthersDisplaySettingsChanged();
}

namespace {
BoxMode modeFor(const QString& key)
{
    static const QStringList integerOne = {"indentPoetry", "strongsNumbers", "wocInRed", "oneVersePerParagraph",
        "hideVerseNumbers", "showMsgVerses", "wocBold", "searchBold"};
    if (integerOne.contains(key))
        return BoxMode::IntegerOne;
    if (key == QLatin1String("strongsDecoration"))
        return BoxMode::Underline;
    if (key == QLatin1String("appUpdateAutomatic"))
        return BoxMode::Flip;
    return BoxMode::Flag;
}
bool notifies(const QString& key)
{
    static const QStringList quiet = {"versePopovers", "syncBiblesComm", "syncDevotionals", "syncDictionaries",
        "myOffersNotifications", "appUpdateAutomatic", "voiceScrollText"};
    return !quiet.contains(key);
}
}  // namespace

void PreferencesViewController::checkBoxChanged(QCheckBox* box)
{
    const QString key = box->objectName();
    const bool on = box->isChecked();
    switch (modeFor(key)) {
    case BoxMode::Underline:
        defaults().setString(on ? QStringLiteral("underline") : QStringLiteral("none"), key);
        break;
    case BoxMode::Flip: {
        // The stored value is flipped whatever the box showed.
        const bool now = !defaults().boolForKey(key);
        defaults().setBool(now, key);
        box->setChecked(now);
        if (QComboBox* freq = popUp(QStringLiteral("checkForUpdatesFrequencyButton")))
            freq->setEnabled(now);
        break;
    }
    default:
        defaults().setBool(on, key);
        if (key == QLatin1String("myOffersNotifications") && on)
            defaults().setInteger(0, QStringLiteral("myOffersIgnored"));
        break;
    }
    if (notifies(key))
        notifyOthersDisplaySettingsChanged();
}

void PreferencesViewController::colorWellChanged(int index)
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

void PreferencesViewController::commitColor(int index)
{
    if (m_colorTimers[index])
        m_colorTimers[index]->stop();
    const QString text = m_wells[index]->color().toRgb().name(QColor::HexRgb);
    defaults().setString(text, QString::fromLatin1(kWells[index].key));
    moveCurrentColorsToCustom();
    defaults().setString(text, QString::fromLatin1(kWells[index].customKey));
    defaults().setInteger(kCustomScheme, QStringLiteral("colorScheme"));
    if (QComboBox* schemes = popUp(QStringLiteral("colorSchemePopUpButton")))
        schemes->setCurrentIndex(schemes->findData(kCustomScheme));
    notifyOthersDisplaySettingsChanged();
}

void PreferencesViewController::moveCurrentColorsToCustom()
{
    for (const auto& pair : kSchemeKeys)
        defaults().setObject(defaults().objectForKey(QString::fromLatin1(pair[0])), QString::fromLatin1(pair[1]));
}

void PreferencesViewController::chooseColorScheme(int tag)
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
    if (QComboBox* schemes = popUp(QStringLiteral("colorSchemePopUpButton")))
        schemes->setCurrentIndex(schemes->findData(tag));
    notifyOthersDisplaySettingsChanged();
}

void PreferencesViewController::notifyOthersDisplaySettingsChanged()
{
    NotificationCenter::defaultCenter().postNotificationName(DisplayPreferencesChangedNotification, this);
}

// ---- refresh

QStringList PreferencesViewController::fontFamiliesWithAllFaces()
{
    QStringList out;
    for (const QString& family : QFontDatabase::families()) {
        bool regular = false, italic = false, bold = false, boldItalic = false;
        for (const QString& style : QFontDatabase::styles(family)) {
            const int weight = QFontDatabase::weight(family, style);
            const bool it = QFontDatabase::italic(family, style);
            const bool isBold = QFontDatabase::bold(family, style) || weight >= QFont::Bold;
            if (!it && weight == QFont::Normal)
                regular = true;
            else if (it && !isBold)
                italic = true;
            else if (!it && isBold)
                bold = true;
            else if (it && isBold)
                boldItalic = true;
        }
        if (regular && italic && bold && boldItalic)
            out << family;
    }
    return out;
}

void PreferencesViewController::rebuildFontMenu()
{
    QComboBox* font = popUp(QStringLiteral("fontPopUpButton"));
    if (!font)
        return;
    const QString current = defaults().stringForKey(QStringLiteral("bodyFont"));
    font->clear();
    for (const QString& family : fontFamiliesWithAllFaces()) {
        font->addItem(family);
        QFont face(family);
        face.setPointSize(11);
        font->setItemData(font->count() - 1, face, Qt::FontRole);
    }
    font->setCurrentIndex(font->findText(current));
    // A family that is not installed (or lacks a face) selects nothing; say so rather than show a blank.
    font->setPlaceholderText(tr("%1 (not available)").arg(current));
}

void PreferencesViewController::rebuildColorSchemeMenu()
{
    QComboBox* schemes = popUp(QStringLiteral("colorSchemePopUpButton"));
    if (!schemes)
        return;
    schemes->clear();
    for (int tag = 0; tag < 4; ++tag)
        schemes->addItem(tr(kSchemes[tag].title), tag);
    schemes->addItem(tr("Custom Color Scheme"), kCustomScheme);
    schemes->setCurrentIndex(schemes->findData(int(defaults().integerForKey(QStringLiteral("colorScheme")))));
}

void PreferencesViewController::initializeColorWells()
{
    for (int i = 0; i < 10; ++i)
        if (m_wells[i])
            m_wells[i]->setColor(QColor(defaults().stringForKey(QString::fromLatin1(kWells[i].key))));
    for (const char* key : {"wocBold", "searchBold"})
        if (QCheckBox* b = checkBox(QString::fromLatin1(key)))
            b->setChecked(defaults().integerForKey(QString::fromLatin1(key)) == 1);
    if (QCheckBox* b = checkBox(QStringLiteral("strongsDecoration")))
        b->setChecked(defaults().stringForKey(QStringLiteral("strongsDecoration")) == QLatin1String("underline"));
}

void PreferencesViewController::refresh()
{
    m_refreshing = true;
    UserDefaults& d = defaults();
    for (QLineEdit* f : m_fields) {
        if (isAccountField(f))
            continue;
        f->setText(d.stringForKey(f->objectName()));
    }
    if (m_credentials) {
        textField(QStringLiteral("customerID"))->setText(d.stringForKey(QStringLiteral("customerID")));
        textField(QStringLiteral("password"))->setText(qs::cloud::CustomerPassword::load());
        for (const char* key : {"firstName", "lastName", "email", "emailAgain", "newPassword", "newPasswordAgain"})
            textField(QString::fromLatin1(key))->clear();
        initializeLoggedInCustomerMessage();
        initializeUserCreatedDataStatusMessage();
        if (d.boolForKey(QStringLiteral("credentialsValid")))
            swapInCredentialsView(QStringLiteral("LogoutView"));
    }
    onAutoSyncChange(false);
    onAutoSyncFrequencyChange(false);
    if (m_syncStatus || m_syncProgress) {
        const SyncServices& sync = syncServices();
        const bool syncing = sync.isSyncing && sync.isSyncing();
        if (m_syncStatus) {
            m_syncStatus->clear();
            m_syncStatus->setVisible(syncing);
        }
        if (m_syncProgress) {
            m_syncProgress->setValue(0);
            m_syncProgress->setVisible(syncing);
        }
    }
    if (QComboBox* freq = popUp(QStringLiteral("checkForUpdatesFrequencyButton"))) {
        qint64 seconds = d.integerForKey(QStringLiteral("appUpdateFreqSeconds"));
        if (seconds == 0)
            seconds = 2629800;
        freq->setCurrentIndex(freq->findData(seconds));
        freq->setEnabled(d.boolForKey(QStringLiteral("appUpdateAutomatic")));
    }
    for (auto [name, key] : {std::pair {"footnotePopUpButton", "footnoteStyle"},
             std::pair {"highlightStylePopUpButton", "highlightStyle"}}) {
        if (QComboBox* combo = popUp(QString::fromLatin1(name))) {
            const QString word = d.stringForKey(QString::fromLatin1(key));
            for (int i = 0; i < combo->count(); ++i)
                if (!word.isEmpty() && combo->itemText(i).startsWith(word))
                    combo->setCurrentIndex(i);
        }
    }
    for (QCheckBox* b : m_boxes) {
        const QString key = b->objectName();
        switch (modeFor(key)) {
        case BoxMode::IntegerOne:
            b->setChecked(d.integerForKey(key) == 1);
            break;
        case BoxMode::Underline:
            b->setChecked(d.stringForKey(key) == QLatin1String("underline"));
            break;
        default:
            b->setChecked(d.boolForKey(key));
            break;
        }
    }
    rebuildFontMenu();
    rebuildColorSchemeMenu();
    initializeColorWells();
    if (QComboBox* scroll = popUp(QStringLiteral("scrollTrackIntervalPopUpButton")))
        scroll->setCurrentIndex(scroll->findData(
            d.stringForKey(QStringLiteral("scrollTrackInterval")) == QLatin1String("perbook") ? 2 : 1));
    if (QComboBox* toolbar = popUp(QStringLiteral("toolbarStylePopUpButton")))
        toolbar->setCurrentIndex(
            toolbar->findData(d.integerForKey(QStringLiteral("mainWindowToolbarStyle")) == 3 ? 2 : 1));
    if (popUp(QStringLiteral("prefBiblePopUpButton"))) {
        rebuildPreferredBookMenus(0);
        if (!m_observingLibrary) {
            m_observingLibrary = true;
            auto changed = [this](Notification& n) {
                const auto tuple = n.userInfo.value(QStringLiteral("tuple")).value<std::shared_ptr<SourceTuple>>();
                rebuildPreferredBookMenus(tuple ? tuple->classification() : 0);
            };
            NotificationCenter& nc = NotificationCenter::defaultCenter();
            nc.addObserver(this, SourceManager::qsSourceManagerAddedBookNotification, changed);
            nc.addObserver(this, SourceManager::qsSourceManagerRemovedBookNotification, changed);
        }
    }
    for (const VoiceRow& row : kVoiceRows) {
        const QString prefix = QString::fromLatin1(row.prefix);
        if (QComboBox* voice = popUp(prefix + QStringLiteral("VoicePopUp")))
            populateVoiceMenu(voice, QString::fromLatin1(row.voiceKey), prefix);
        if (QPushButton* test = voiceTestButton(prefix))
            test->setEnabled(popUp(prefix + QStringLiteral("VoicePopUp"))->count() > 0);
        if (QSlider* rate = rateSlider(prefix))
            rate->setValue(int(d.doubleForKey(QString::fromLatin1(row.rateKey))));
    }
    m_refreshing = false;
}

// ---- voices

std::function<QList<SpeechVoice>()>& PreferencesViewController::voiceLister()
{
    static std::function<QList<SpeechVoice>()> lister = [] {
        QList<SpeechVoice> out;
        QTextToSpeech speech;
        for (const QLocale& locale : speech.availableLocales()) {
            speech.setLocale(locale);
            for (const QVoice& voice : speech.availableVoices())
                out.append({voice.name(), locale.name()});
        }
        return out;
    };
    return lister;
}

QString PreferencesViewController::testSentence(const QString& prefix)
{
    if (prefix == QLatin1String("es"))
        return QStringLiteral("Porque de tal manera amó Dios al mundo, que dio a su Hijo unigénito, para que todo "
                              "aquel que cree en El, no se pierda, mas tenga vida eterna.");
    if (prefix == QLatin1String("el"))
        return QStringLiteral("Οὕτως γὰρ ἠγάπησεν ὁ θεὸς τὸν κόσμον ὥστε τὸν  υἱὸν τὸν μονογενῆ ἔδωκεν, ἵνα πᾶς ὁ "
                              "πιστεύων εἰς αὐτὸν μὴ ἀπόληται ἀλλὰ ἔχῃ ζωὴν αἰώνιον.");
    return QStringLiteral("For God so loved the world, that he gave his only begotten Son, that whosoever believeth "
                          "in him should not perish, but have everlasting life.");
}

QSlider* PreferencesViewController::rateSlider(const QString& prefix) const
{
    return findChild<QSlider*>(prefix + QStringLiteral("RateSlider"));
}
QLabel* PreferencesViewController::voiceProperties(const QString& prefix) const
{
    return findChild<QLabel*>(prefix + QStringLiteral("VoiceProperties"));
}
QPushButton* PreferencesViewController::voiceTestButton(const QString& prefix) const
{
    return findChild<QPushButton*>(prefix + QStringLiteral("VoiceTestButton"));
}

void PreferencesViewController::buildVoices()
{
    auto* top = new QVBoxLayout(this);
    for (const VoiceRow& row : kVoiceRows) {
        const QString prefix = QString::fromLatin1(row.prefix);
        auto* box = new QGroupBox(tr(row.language), this);
        auto* form = new QFormLayout(box);
        auto* voice = new QComboBox(box);
        voice->setObjectName(prefix + QStringLiteral("VoicePopUp"));
        voice->setMinimumWidth(260);
        m_popUps.append(voice);
        auto* props = new QLabel(box);
        props->setObjectName(prefix + QStringLiteral("VoiceProperties"));
        auto* rate = new QSlider(Qt::Horizontal, box);
        rate->setObjectName(prefix + QStringLiteral("RateSlider"));
        rate->setRange(100, 300);
        auto* test = new QPushButton(tr("Test"), box);
        test->setObjectName(prefix + QStringLiteral("VoiceTestButton"));
        auto* voiceLine = new QHBoxLayout;
        voiceLine->addWidget(voice, 1);
        voiceLine->addWidget(test);
        form->addRow(tr("Voice:"), voiceLine);
        form->addRow(QString(), props);
        form->addRow(tr("Words per minute:"), rate);
        top->addWidget(box);
        const QString voiceKey = QString::fromLatin1(row.voiceKey);
        const QString rateKey = QString::fromLatin1(row.rateKey);
        connect(voice, &QComboBox::activated, this, [voice, voiceKey] {
            const QVariant id = voice->currentData();
            if (id.isValid())
                defaults().setString(id.toString(), voiceKey);
        });
        connect(rate, &QSlider::valueChanged, this, [this, rate, rateKey] {
            if (!m_refreshing)
                defaults().setDouble(double(rate->value()), rateKey);
        });
        connect(test, &QPushButton::clicked, this, [this, prefix] { testVoice(prefix); });
    }
    addBox(top, tr("Scroll the text along as it is read"), QStringLiteral("voiceScrollText"));
    top->addStretch(1);
}

void PreferencesViewController::populateVoiceMenu(QComboBox* popUp, const QString& key, const QString& prefix)
{
    popUp->clear();
    QString current = defaults().stringForKey(key);
    for (const SpeechVoice& v : voiceLister()()) {
        if (!v.localeIdentifier.startsWith(prefix))
            continue;
        if (current.isEmpty()) {
            defaults().setString(v.identifier, key);
            current = v.identifier;
        }
        const QString language = QLocale(v.localeIdentifier).nativeLanguageName();
        popUp->addItem(QStringLiteral("%1 - %2").arg(v.identifier, language), v.identifier);
        if (v.identifier == current)
            popUp->setCurrentIndex(popUp->count() - 1);
    }
}

void PreferencesViewController::testVoice(const QString& prefix)
{
    const VoiceRow* row = rowFor(prefix);
    if (!row)
        return;
    if (!m_speech)
        m_speech = new QTextToSpeech(this);
    if (m_speech->state() == QTextToSpeech::Speaking) {
        // Stop the sentence being read and start the new one a moment later.
        m_speech->stop();
        QTimer::singleShot(300, this, [this, prefix] { testVoice(prefix); });
        return;
    }
    const QString id = defaults().stringForKey(QString::fromLatin1(row->voiceKey));
    for (const QLocale& locale : m_speech->availableLocales()) {
        if (!locale.name().startsWith(prefix))
            continue;
        m_speech->setLocale(locale);
        for (const QVoice& v : m_speech->availableVoices())
            if (v.name() == id)
                m_speech->setVoice(v);
    }
    // Words per minute 100..300 around a normal 200 map onto the engine's -1..1.
    const double wpm = defaults().doubleForKey(QString::fromLatin1(row->rateKey));
    m_speech->setRate(std::clamp((wpm - 200.0) / 100.0, -1.0, 1.0));
    m_pendingTest = prefix;
    m_speech->say(testSentence(prefix));
}

// ---- preferred books

namespace {
struct PreferredRow {
    const char* name;
    const char* label;
    const char* pubKey;
    const char* bookKey;
    const char* placeholder;
    int list;  // 0 Bibles, 1 devotionals, 2 dictionaries
    bool strongsFirst;
};
const PreferredRow kPreferred[5] = {
    {"prefBiblePopUpButton", "Bible:", "preferredBiblePubId", "preferredBibleBookId", "--- Select a Bible ---", 0,
        false},
    {"prefDevotionalPopUpButton", "Devotional:", "preferredDevotionalPubId", "preferredDevotionalBookId",
        "--- Select a Devotional ---", 1, false},
    {"prefGreekDictionaryPopUpButton", "Greek dictionary:", "preferredGreekDictionaryPubId",
        "preferredGreekDictionaryBookId", "--- Select a Dictionary ---", 2, true},
    {"prefHebrewDictionaryPopUpButton", "Hebrew dictionary:", "preferredHebrewDictionaryPubId",
        "preferredHebrewDictionaryBookId", "--- Select a Dictionary ---", 2, true},
    {"prefDictionaryPopUpButton", "Dictionary:", "preferredDictionaryPubId", "preferredDictionaryBookId",
        "--- Select a Dictionary ---", 2, false},
};
const PreferredRow* preferredRow(const QString& name)
{
    for (const PreferredRow& r : kPreferred)
        if (name == QLatin1String(r.name))
            return &r;
    return nullptr;
}
SourceTupleArray::Ptr listFor(int list)
{
    SourceManager& sm = SourceManager::singleton();
    return list == 0 ? sm.bibleSources() : list == 1 ? sm.devotionalSources() : sm.dictionarySources();
}
}  // namespace

void PreferencesViewController::buildPreferredBooks()
{
    auto* top = new QVBoxLayout(this);
    top->addWidget(new QLabel(tr("Links and look-ups that name no book open these:"), this));
    auto* form = new QFormLayout;
    for (const PreferredRow& row : kPreferred) {
        QComboBox* popUp = addPopUp(form, tr(row.label), QString::fromLatin1(row.name));
        popUp->setMinimumWidth(320);
        connect(popUp, &QComboBox::activated, this, [popUp, &row] {
            const QVariant data = popUp->currentData();
            if (!data.isValid())
                return;  // the placeholder stores nothing
            const QVariantList ids = data.toList();
            defaults().setInteger(ids.value(0).toLongLong(), QString::fromLatin1(row.pubKey));
            defaults().setInteger(ids.value(1).toLongLong(), QString::fromLatin1(row.bookKey));
        });
    }
    top->addLayout(form);
    top->addStretch(1);
}

void PreferencesViewController::rebuildPreferredBookMenu(QComboBox* popUp)
{
    const PreferredRow* row = preferredRow(popUp->objectName());
    if (!row)
        return;
    SourceTupleArray::Ptr list = listFor(row->list);
    qint64 pub = defaults().integerForKey(QString::fromLatin1(row->pubKey));
    qint64 book = defaults().integerForKey(QString::fromLatin1(row->bookKey));
    if (!list || !list->tupleForPubID(pub, book))
        pub = book = 0;
    popUp->clear();
    if (pub == 0 || book == 0)
        popUp->addItem(QString::fromLatin1(row->placeholder));
    if (!list)
        return;
    QList<SourceTuple::Ptr> first, rest;
    for (const SourceTuple::Ptr& t : list->array()) {
        if (!t)
            continue;
        (row->strongsFirst && t->kind() == 6 ? first : rest).append(t);
    }
    auto add = [&](const SourceTuple::Ptr& t) {
        popUp->addItem(QStringLiteral("%1 (%2)").arg(t->name(), t->abbr()), QVariantList {t->pubID(), t->bookID()});
        if (t->pubID() == pub && t->bookID() == book)
            popUp->setCurrentIndex(popUp->count() - 1);
    };
    for (const SourceTuple::Ptr& t : first)
        add(t);
    if (!first.isEmpty() && !rest.isEmpty())
        popUp->insertSeparator(popUp->count());
    for (const SourceTuple::Ptr& t : rest)
        add(t);
    if (pub == 0 || book == 0)
        popUp->setCurrentIndex(0);
}

void PreferencesViewController::rebuildPreferredBookMenus(qint64 c)
{
    for (const PreferredRow& row : kPreferred) {
        QComboBox* popUp = this->popUp(QString::fromLatin1(row.name));
        if (!popUp)
            continue;
        const bool affected = row.list == 0 ? c < 2 : row.list == 1 ? (c == 0 || c == 4) : (c == 0 || c == 5);
        if (affected)
            rebuildPreferredBookMenu(popUp);
    }
}

// ---- customer account

namespace {
QLineEdit* accountField(QWidget* parent, QFormLayout* form, const QString& label, const QString& key, bool secret,
    QVector<QLineEdit*>& fields)
{
    auto* f = new QLineEdit(parent);
    f->setObjectName(key);
    f->setProperty(kAccountProperty, true);
    f->setMinimumWidth(220);
    if (secret)
        f->setEchoMode(QLineEdit::Password);
    form->addRow(label, f);
    fields.append(f);
    return f;
}
QProgressBar* busyIndicator(QWidget* parent, const QString& name)
{
    auto* p = new QProgressBar(parent);
    p->setObjectName(name);
    p->setRange(0, 0);
    p->setTextVisible(false);
    p->setMaximumWidth(80);
    p->hide();
    return p;
}
void informational(const QString& message, const QString& informative = QString())
{
    Alert alert;
    alert.messageText = message;
    alert.informativeText = informative;
    alert.style = AlertStyle::Informational;
    Alerts::shared().runModal(alert);
}
}  // namespace

const QString PreferencesViewController::SyncCommStartedNotification = QStringLiteral("qsSyncCommStartedNotification");
const QString PreferencesViewController::SyncCommFinishedNotification =
    QStringLiteral("qsSyncCommFinishedNotification");
const QString PreferencesViewController::SyncProgressPercentNotification =
    QStringLiteral("qsSyncProgressPercentNotification");
const QString PreferencesViewController::SyncErrorOccurredNotification =
    QStringLiteral("qsSyncErrorOccurredNotification");

PreferencesViewController::SyncServices& PreferencesViewController::syncServices()
{
    static SyncServices services = defaultSyncServices();
    return services;
}

PreferencesViewController::SyncServices PreferencesViewController::defaultSyncServices()
{
    SyncServices s;
    {
        s.isSyncing = [] { return qs::cloud::SyncManager::instance().itsAllHappening(); };
        s.hasUnsyncedData = [] { return qs::cloud::SyncManager::instance().userHasUnsyncedData(); };
        s.hasSomeData = [] { return qs::cloud::SyncManager::instance().userHasSomeData(); };
        s.setAutoSyncFreq = [](qint64 ms) { qs::cloud::SyncManager::instance().setAutoSyncFreq(ms); };
        s.writeSyncLog = [](const QString& path) {
            cPersistentData history;
            if (!history.openOrCreate())
                return false;
            return history.writeSyncLogHtml(QFile::encodeName(path).constData(), nullptr, false, true);
        };
        s.openUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    }
    return s;
}

qint64 PreferencesViewController::autoSyncIntervalForTag(int tag)
{
    return tag == 1 ? kAutoSyncMinutesMs : tag == 2 ? kAutoSyncSecondsMs : kAutoSyncHourMs;
}

int PreferencesViewController::autoSyncTagForInterval(qint64 ms)
{
    return ms == kAutoSyncSecondsMs ? 2 : ms == kAutoSyncMinutesMs ? 1 : 0;
}

QString PreferencesViewController::autoSyncDescription(qint64 ms)
{
    switch (autoSyncTagForInterval(ms)) {
    case 1:
        return tr("If you use Quillstead on more than on device at a time, checking for new/updated items every few "
                  "minutes keeps this device up to date with minimal effect on network traffic, program "
                  "performance, and battery life (if applicable).");
    case 2:
        return tr("If you actively jump between Quillstead running on two or more devices and want to see your "
                  "changes from those devices as soon as possible on this machine, checking for new/updated items "
                  "every few seconds at the expense of increased network traffic and decreased program performance "
                  "and battery life (if applicable) may be what you are looking for.");
    default:
        return tr("If you use Quillstead on one device at a time, checking for new/updated items every hour is "
                  "more than adequate. It minimizes network traffic and maximizes program performance and battery "
                  "life (if applicable).");
    }
}

QString PreferencesViewController::syncLogPath()
{
    return QDir(AppFolders::cacheDirectory()).filePath(QStringLiteral("CloudSyncLog.htm"));
}

QUrl PreferencesViewController::privacyPolicyUrl()
{
    return qs::cloud::ServiceHost::fromDefaults(defaults()).url(QStringLiteral("privacy.html"));
}

QProgressBar* PreferencesViewController::progressIndicator(const QString& name) const
{
    return findChild<QProgressBar*>(name);
}

void PreferencesViewController::buildCustomerID()
{
    auto* top = new QVBoxLayout(this);
    m_credentials = new QStackedWidget(this);
    top->addWidget(m_credentials);

    auto* login = new QWidget(m_credentials);
    login->setObjectName(QStringLiteral("LoginView"));
    auto* loginLayout = new QVBoxLayout(login);
    auto* have = new QGroupBox(tr("I have a Tavrosen account"), login);
    auto* haveForm = new QFormLayout(have);
    accountField(this, haveForm, tr("Customer ID or e-mail:"), QStringLiteral("customerID"), false, m_fields);
    accountField(this, haveForm, tr("Password:"), QStringLiteral("password"), true, m_fields);
    auto* loginButtons = new QHBoxLayout;
    auto* logIn = new QPushButton(tr("Log In"), have);
    logIn->setObjectName(QStringLiteral("loginButton"));
    logIn->setDefault(true);
    auto* reset = new QPushButton(tr("Reset Password"), have);
    reset->setObjectName(QStringLiteral("resetPasswordButton"));
    m_loginProgress = busyIndicator(have, QStringLiteral("loginProgressIndicator"));
    m_resetProgress = busyIndicator(have, QStringLiteral("resetPasswordProgressIndicator"));
    loginButtons->addWidget(logIn);
    loginButtons->addWidget(reset);
    loginButtons->addWidget(m_loginProgress);
    loginButtons->addWidget(m_resetProgress);
    loginButtons->addStretch(1);
    haveForm->addRow(loginButtons);
    loginLayout->addWidget(have);
    auto* create = new QGroupBox(tr("Create an account"), login);
    auto* createForm = new QFormLayout(create);
    accountField(this, createForm, tr("First name:"), QStringLiteral("firstName"), false, m_fields);
    accountField(this, createForm, tr("Last name:"), QStringLiteral("lastName"), false, m_fields);
    accountField(this, createForm, tr("E-mail:"), QStringLiteral("email"), false, m_fields);
    accountField(this, createForm, tr("E-mail again:"), QStringLiteral("emailAgain"), false, m_fields);
    accountField(this, createForm, tr("Password:"), QStringLiteral("newPassword"), true, m_fields);
    accountField(this, createForm, tr("Password again:"), QStringLiteral("newPasswordAgain"), true, m_fields);
    auto* createButtons = new QHBoxLayout;
    auto* createButton = new QPushButton(tr("Create Account"), create);
    createButton->setObjectName(QStringLiteral("createAccountButton"));
    m_createProgress = busyIndicator(create, QStringLiteral("createAccountProgressIndicator"));
    createButtons->addWidget(createButton);
    createButtons->addWidget(m_createProgress);
    createButtons->addStretch(1);
    createForm->addRow(QString(), createButtons);
    loginLayout->addWidget(create);
    auto* privacy = new QPushButton(tr("Privacy Policy"), login);
    privacy->setObjectName(QStringLiteral("privacyPolicyButton"));
    loginLayout->addWidget(privacy, 0, Qt::AlignLeft);
    loginLayout->addStretch(1);
    m_credentials->addWidget(login);

    auto* logout = new QWidget(m_credentials);
    logout->setObjectName(QStringLiteral("LogoutView"));
    auto* logoutLayout = new QVBoxLayout(logout);
    m_loggedInMessage = new QLabel(logout);
    m_loggedInMessage->setObjectName(QStringLiteral("loggedInCustomerMessage"));
    m_loggedInMessage->setWordWrap(true);
    logoutLayout->addWidget(m_loggedInMessage);
    m_userDataMessage = new QLabel(logout);
    m_userDataMessage->setObjectName(QStringLiteral("userCreatedDataStatusMessage"));
    m_userDataMessage->setWordWrap(true);
    logoutLayout->addWidget(m_userDataMessage);
    auto* logOut = new QPushButton(tr("Log Out"), logout);
    logOut->setObjectName(QStringLiteral("logoutButton"));
    logoutLayout->addWidget(logOut, 0, Qt::AlignLeft);
    logoutLayout->addStretch(1);
    m_credentials->addWidget(logout);

    connect(logIn, &QPushButton::clicked, this, &PreferencesViewController::onLogIn);
    connect(reset, &QPushButton::clicked, this, &PreferencesViewController::onResetPassword);
    connect(createButton, &QPushButton::clicked, this, &PreferencesViewController::onCreateAccount);
    connect(logOut, &QPushButton::clicked, this, &PreferencesViewController::onLogOut);
    connect(privacy, &QPushButton::clicked, this, &PreferencesViewController::onPrivacyPolicy);
}

QString PreferencesViewController::shownCredentialsView() const
{
    return m_credentials && m_credentials->currentWidget() ? m_credentials->currentWidget()->objectName() : QString();
}

qs::cloud::CustomerAccount* PreferencesViewController::account()
{
    if (!m_account) {
        m_account = new qs::cloud::CustomerAccount(this);
        connect(m_account, &qs::cloud::CustomerAccount::finished, this, [this](const qs::cloud::AccountResult& r) {
            if (m_resetting)
                finishPasswordReminder(r);
            else
                finishLogin(r);
        });
    }
    return m_account;
}

void PreferencesViewController::swapInCredentialsView(const QString& identifier)
{
    if (!m_credentials || shownCredentialsView() == identifier || !commitEditing())
        return;
    for (int i = 0; i < m_credentials->count(); ++i) {
        if (m_credentials->widget(i)->objectName() != identifier)
            continue;
        m_credentials->setCurrentIndex(i);
        if (QWidget* key = initialKeyView(); key && key->isVisibleTo(this) && key->focusPolicy() != Qt::NoFocus)
            key->setFocus();
    }
    if (shownCredentialsView() == QLatin1String("LogoutView")) {
        initializeLoggedInCustomerMessage();
        initializeUserCreatedDataStatusMessage();
    }
}

void PreferencesViewController::initializeLoggedInCustomerMessage()
{
    if (!m_loggedInMessage)
        return;
    UserDefaults& d = defaults();
    m_loggedInMessage->setText(d.boolForKey(QStringLiteral("credentialsValid"))
            ? tr("Welcome, %1! You are logged in as customer %2")
                  .arg(d.stringForKey(QStringLiteral("customerFirstName")))
                  .arg(d.integerForKey(QStringLiteral("customerIDNum")))
            : tr("You are not logged in. Press Log Out below and enter your customer ID and password"));
}

void PreferencesViewController::initializeUserCreatedDataStatusMessage()
{
    if (!m_userDataMessage)
        return;
    SyncServices& sync = syncServices();
    if (sync.hasUnsyncedData && sync.hasUnsyncedData())
        m_userDataMessage->setText(
            tr("You have user-created data (notes, highlights, bookmarks, etc.) that have not been synced to the "
               "Tavrosen Cloud. You might want to perform a Cloud Sync before logging out."));
    else if (sync.hasSomeData && sync.hasSomeData())
        m_userDataMessage->setText(tr("All changes to your user-created data (notes, highlights, bookmarks, etc.) "
                                      "have been synced to the Tavrosen Cloud."));
    else
        m_userDataMessage->clear();
}

void PreferencesViewController::enableLoginControls(bool enabled)
{
    for (const char* key :
        {"customerID", "password", "firstName", "lastName", "email", "emailAgain", "newPassword", "newPasswordAgain"})
        if (QLineEdit* f = textField(QString::fromLatin1(key)))
            f->setEnabled(enabled);
    for (const char* name : {"loginButton", "resetPasswordButton", "createAccountButton", "privacyPolicyButton"})
        if (QPushButton* b = findChild<QPushButton*>(QString::fromLatin1(name)))
            b->setEnabled(enabled);
}

bool PreferencesViewController::refuseWhileSyncing()
{
    SyncServices& sync = syncServices();
    if (!sync.isSyncing || !sync.isSyncing())
        return false;
    informational(tr("Can't log in while Cloud Sync is running."),
        tr("Not sure how that can be happening, since you haven't logged in yet."));
    return true;
}

void PreferencesViewController::onLogIn()
{
    if (!m_credentials || refuseWhileSyncing())
        return;
    m_resetting = false;
    m_loginProgress->show();
    enableLoginControls(false);
    account()->logIn(textField(QStringLiteral("customerID"))->text(), textField(QStringLiteral("password"))->text());
}

void PreferencesViewController::onCreateAccount()
{
    if (!m_credentials)
        return;
    if (textField(QStringLiteral("email"))->text() != textField(QStringLiteral("emailAgain"))->text()) {
        informational(tr("Check your email address. Both email fields must match."));
        return;
    }
    if (textField(QStringLiteral("newPassword"))->text() != textField(QStringLiteral("newPasswordAgain"))->text()) {
        informational(tr("Check your password. Both password fields must match."));
        return;
    }
    if (refuseWhileSyncing())
        return;
    m_resetting = false;
    m_createProgress->show();
    enableLoginControls(false);
    account()->createAccount(textField(QStringLiteral("firstName"))->text(),
        textField(QStringLiteral("lastName"))->text(), textField(QStringLiteral("email"))->text(),
        textField(QStringLiteral("newPassword"))->text());
}

void PreferencesViewController::onResetPassword()
{
    if (!m_credentials)
        return;
    const QString id = textField(QStringLiteral("customerID"))->text();
    if (id.isEmpty()) {
        informational(
            tr("Enter your email address above, then press Reset Password and we will email you the reset link."));
        return;
    }
    m_resetting = true;
    m_resetProgress->show();
    enableLoginControls(false);
    account()->resetPassword(id);
}

void PreferencesViewController::onLogOut()
{
    UserDefaults& d = defaults();
    d.setInteger(0, QStringLiteral("customerIDNum"));
    for (const char* key : {"customerID", "optionsbitfield", "customerFirstName", "customerLastName"})
        d.setString(QStringLiteral(""), QString::fromLatin1(key));
    d.setBool(false, QStringLiteral("customerHasRegistered"));
    d.setBool(false, QStringLiteral("credentialsValid"));
    qs::cloud::CustomerPassword::clear();
    if (QLineEdit* f = textField(QStringLiteral("password")))
        f->clear();
    if (QLineEdit* f = textField(QStringLiteral("customerID")))
        f->clear();
    swapInCredentialsView(QStringLiteral("LoginView"));
}

void PreferencesViewController::onPrivacyPolicy()
{
    if (SyncServices& sync = syncServices(); sync.openUrl)
        sync.openUrl(privacyPolicyUrl());
}

void PreferencesViewController::finishLogin(const qs::cloud::AccountResult& r)
{
    if (r.ok()) {
        UserDefaults& d = defaults();
        d.setString(r.customerIDNum, QStringLiteral("customerIDNum"));
        d.setString(r.customerID, QStringLiteral("customerID"));
        // The password stays out of the settings file.
        qs::cloud::CustomerPassword::store(r.password);
        d.setString(QStringLiteral(""), QStringLiteral("optionsbitfield"));
        d.setString(r.firstName, QStringLiteral("customerFirstName"));
        d.setString(r.lastName, QStringLiteral("customerLastName"));
        d.setBool(true, QStringLiteral("customerHasRegistered"));
        d.setBool(true, QStringLiteral("credentialsValid"));
    }
    enableLoginControls(true);
    m_loginProgress->hide();
    m_createProgress->hide();
    if (!r.ok()) {
        informational(r.error, tr("While trying to log into your Tavrosen account."));
        return;
    }
    if (QLineEdit* f = textField(QStringLiteral("customerID")))
        f->setText(r.customerID);
    swapInCredentialsView(QStringLiteral("LogoutView"));
}

void PreferencesViewController::finishPasswordReminder(const qs::cloud::AccountResult& r)
{
    m_resetting = false;
    m_resetProgress->hide();
    if (!r.ok())
        informational(r.error, tr("While asking the server to send your password reset code."));
    else if (!r.message.isEmpty())
        informational(r.message);
    enableLoginControls(true);
}

// ---- cloud sync

void PreferencesViewController::buildSync()
{
    auto* top = new QVBoxLayout(this);
    m_autoSync = new QCheckBox(tr("Sync my notes, highlights and bookmarks automatically"), this);
    m_autoSync->setObjectName(QStringLiteral("autoSyncCheckbox"));
    top->addWidget(m_autoSync);
    auto* form = new QFormLayout;
    m_autoSyncFreq = new QComboBox(this);
    m_autoSyncFreq->setObjectName(QStringLiteral("autoSyncFrequencyPopUpButton"));
    m_autoSyncFreq->addItem(tr("Every hour"), 0);
    m_autoSyncFreq->addItem(tr("Every few minutes"), 1);
    m_autoSyncFreq->addItem(tr("Every few seconds"), 2);
    form->addRow(tr("Check for changes:"), m_autoSyncFreq);
    top->addLayout(form);
    m_syncDescription = new QLabel(this);
    m_syncDescription->setObjectName(QStringLiteral("autoSyncFrequencyDescriptionTextField"));
    m_syncDescription->setWordWrap(true);
    m_syncDescription->setMinimumWidth(420);
    top->addWidget(m_syncDescription);
    auto* buttons = new QHBoxLayout;
    auto* syncNow = new QPushButton(tr("Sync Now"), this);
    syncNow->setObjectName(QStringLiteral("syncNowButton"));
    auto* viewLog = new QPushButton(tr("View Log..."), this);
    viewLog->setObjectName(QStringLiteral("viewLogButton"));
    buttons->addWidget(syncNow);
    buttons->addWidget(viewLog);
    buttons->addStretch(1);
    top->addLayout(buttons);
    m_syncStatus = new QLabel(this);
    m_syncStatus->setObjectName(QStringLiteral("syncStatusTextField"));
    top->addWidget(m_syncStatus);
    m_syncProgress = new QProgressBar(this);
    m_syncProgress->setObjectName(QStringLiteral("syncStatusProgressIndicator"));
    m_syncProgress->setRange(0, 100);
    top->addWidget(m_syncProgress);
    top->addStretch(1);

    connect(m_autoSync, &QCheckBox::clicked, this, [this] { onAutoSyncChange(true); });
    connect(m_autoSyncFreq, &QComboBox::activated, this, [this] { onAutoSyncFrequencyChange(true); });
    connect(syncNow, &QPushButton::clicked, this, &PreferencesViewController::onSyncNow);
    connect(viewLog, &QPushButton::clicked, this, &PreferencesViewController::onViewLogButton);

    NotificationCenter& nc = NotificationCenter::defaultCenter();
    nc.addObserver(this, SyncCommStartedNotification, [this](Notification&) {
        m_syncStatus->clear();
        m_syncStatus->show();
        m_syncProgress->setValue(0);
        m_syncProgress->show();
    });
    nc.addObserver(this, SyncCommFinishedNotification, [this](Notification&) {
        m_syncStatus->clear();
        m_syncStatus->hide();
        m_syncProgress->setValue(0);
        m_syncProgress->hide();
    });
    nc.addObserver(this, SyncProgressPercentNotification, [this](Notification& n) {
        // The engine reports the part done as a fraction (0 to 1).
        const double progress = n.userInfo.value(QStringLiteral("progress")).toDouble();
        m_syncProgress->setValue(int(std::clamp(progress, 0.0, 1.0) * 100.0 + 0.5));
        m_syncStatus->setText(n.userInfo.value(QStringLiteral("statusMessage")).toString());
    });
    // Errors are reported by the application; the page keeps what it shows.
    nc.addObserver(this, SyncErrorOccurredNotification, [](Notification&) {});
}

void PreferencesViewController::onAutoSyncChange(bool fromControl)
{
    if (!m_autoSync)
        return;
    if (fromControl)
        defaults().setBool(m_autoSync->isChecked(), QStringLiteral("autoSyncEnabled"));
    else
        m_autoSync->setChecked(defaults().boolForKey(QStringLiteral("autoSyncEnabled")));
    const bool on = m_autoSync->isChecked();
    if (m_autoSyncFreq)
        m_autoSyncFreq->setEnabled(on);
    if (m_syncDescription)
        m_syncDescription->setVisible(on);
}

void PreferencesViewController::onAutoSyncFrequencyChange(bool fromControl)
{
    if (!m_autoSyncFreq)
        return;
    UserDefaults& d = defaults();
    const QString key = QStringLiteral("autoSyncFreq");
    if (fromControl) {
        const qint64 ms = autoSyncIntervalForTag(m_autoSyncFreq->currentData().toInt());
        if (ms != d.integerForKey(key)) {
            d.setInteger(ms, key);
            if (SyncServices& sync = syncServices(); sync.setAutoSyncFreq)
                sync.setAutoSyncFreq(ms);
        }
    } else {
        m_autoSyncFreq->setCurrentIndex(m_autoSyncFreq->findData(autoSyncTagForInterval(d.integerForKey(key))));
    }
    if (m_syncDescription)
        m_syncDescription->setText(autoSyncDescription(d.integerForKey(key)));
}

void PreferencesViewController::onSyncNow()
{
    if (SyncServices& sync = syncServices(); sync.syncNow)
        sync.syncNow();
}

void PreferencesViewController::onViewLogButton()
{
    SyncServices& sync = syncServices();
    const QString path = syncLogPath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    // An old page is never shown as the current log: a page that cannot be written is removed.
    if (!sync.writeSyncLog || !sync.writeSyncLog(path)) {
        QFile::remove(path);
        informational(tr("The Cloud Sync log could not be written."), QDir::toNativeSeparators(path));
        return;
    }
    if (sync.openUrl)
        sync.openUrl(QUrl::fromLocalFile(path));
}
