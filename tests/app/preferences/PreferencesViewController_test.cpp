#include "app/preferences/ColorPreferencesViewController.h"
#include "app/preferences/DisplayPreferencesViewController.h"
#include "app/preferences/GeneralPreferencesViewController.h"
#include "app/preferences/LoginPreferencesViewController.h"
#include "app/preferences/PreferencesViewController.h"
#include "app/preferences/PreferredBooksViewController.h"
#include "app/preferences/SettingsPages.h"
#include "app/preferences/SyncPreferencesViewController.h"
#include "app/preferences/UpdatePreferencesViewController.h"
#include "app/preferences/VoicesPreferencesViewController.h"
#include "platform/SettingsKeys.h"

#include "app/preferences/AppNotifications.h"
#include "app/preferences/ColorWell.h"
#include "app/preferences/MASPreferencesWindowController.h"
#include "library/SourceManager.h"
#include "panes/bookpane/QtSpeechSynthesizer.h"
#include "panes/bookpane/SpeechSynthesizer.h"
#include "panes/layout/PaneNotifications.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsRegistry.h"
#include "platform/UserDefaults.h"
#include "render/CSSManager.h"
#include "support/RecordingAlerts.h"
#include "support/TestSupport.h"

#include "SettingsTestSupport.h"

#include <gtest/gtest.h>

#include <tuple>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <memory>

namespace {

// What the pages of a test are made with: the program's centre and defaults (the style sheets follow
// them), alerts the test reads, and sync services that ask no engine.
PreferencesViewController::Environment& pageEnv()
{
    static PreferencesViewController::Environment env;
    return env;
}

// A page as its settings window makes it, as its own class.
template <class Page> std::unique_ptr<Page> makePage()
{
    const QString identifier = QString::fromLatin1(Page::kIdentity.identifier);
    auto* page = dynamic_cast<Page*>(SettingsPages::make(pageEnv(), identifier));
    EXPECT_NE(page, nullptr) << identifier.toStdString();
    return std::unique_ptr<Page>(page);
}

// Every registered page, in toolbar order.
QVector<PreferencesViewController*> allPages(const PreferencesViewController::Environment& env = pageEnv())
{
    return SettingsPages::makeAll(env);
}

class Preferences : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "preferences-test";
        static char* argv[] = {name, nullptr};
        // Kept to the end of the process: destroying it among the exit handlers runs Qt's clean-up
        // after the toolkit's own statics are gone.
        static QApplication* app = new QApplication(argc, argv);
        (void)app;
        // The system's speech service is not asked: its plug-in outlives the application object.
        VoicesPreferencesViewController::voiceLister() = [] {
            return QList<SpeechVoice> {{"Alex", "en_US"}, {"Kate", "en_GB"}, {"Jorge", "es_ES"}, {"Melina", "el_GR"}};
        };
    }
    void SetUp() override
    {
        m_dir = std::make_unique<QTemporaryDir>();
        s_defaults = std::make_shared<UserDefaults>(m_dir->filePath(QStringLiteral("settings.ini")));
        SettingsRegistry::registerDefaultsForAllPreferences(*s_defaults);
        // No page asks a sync engine or opens the desktop's browser.
        WindowEnvironment window;
        window.setNotifications(&NotificationCenter::defaultCenter());
        window.setSettings(s_defaults.get());
        window.setAlert(&m_alerts);
        window.setBooks(&SourceManager::singleton());
        pageEnv() = PreferencesViewController::Environment::fromWindow(window);
        pageEnv().sync.openUrl = [](const QUrl&) { return true; };
        m_obs = NotificationCenter::defaultCenter().addObserver(
            this, PaneNotifications::DisplayPreferencesChangedNotification, [this](Notification&) { ++m_posted; });
    }
    void TearDown() override { NotificationCenter::defaultCenter().removeObservation(m_obs); }
    // The settings of the test's pages.
    static UserDefaults& d() { return *s_defaults; }
    static inline std::shared_ptr<UserDefaults> s_defaults;
    static void spin(int ms)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    std::unique_ptr<QTemporaryDir> m_dir;
    RecordingAlerts m_alerts;
    NotificationCenter::ObservationId m_obs = 0;
    int m_posted = 0;
};

TEST_F(Preferences, RegistryMakesEightPagesWithTheirIdentifiersInToolbarOrder)
{
    const QStringList ids = {"GeneralPreferences", "DisplayPreferences", "ColorPreferences", "LoginPreferences",
        "SyncPreferences", "PreferredBooks", "UpdatePreferences", "VoicesPreferences"};
    EXPECT_EQ(SettingsPages::identifiers(), ids);
    EXPECT_EQ(SettingsPages::make(pageEnv(), QStringLiteral("NoSuchPage")), nullptr);
    EXPECT_EQ(SettingsPages::indexOf(QStringLiteral("NoSuchPage")), -1);
    const QVector<PreferencesViewController*> pages = allPages();
    ASSERT_EQ(pages.size(), ids.size());
    for (int i = 0; i < ids.size(); ++i) {
        std::unique_ptr<PreferencesViewController> p(pages[i]);
        ASSERT_TRUE(p);
        EXPECT_EQ(p->identifier(), ids[i]);
        EXPECT_EQ(SettingsPages::indexOf(ids[i]), i);
        EXPECT_FALSE(p->toolbarItemLabel().isEmpty());
        // One class per page, named after the page.
        EXPECT_EQ(QString::fromLatin1(p->metaObject()->className()), ids[i] + QStringLiteral("ViewController"));
        std::unique_ptr<PreferencesViewController> again(SettingsPages::make(pageEnv(), ids[i]));
        ASSERT_TRUE(again);
        EXPECT_EQ(again->metaObject(), p->metaObject());
    }
}

TEST_F(Preferences, DisplayFieldsWriteTheirKeysAndRestyleOpenPages)
{
    auto display = makePage<DisplayPreferencesViewController>();
    auto other = makePage<DisplayPreferencesViewController>();
    const QString cssBefore = CSSManager(d()).cssForBookView();
    const std::pair<const char*, const char*> edits[] = {{"baseFontSize", "23"}, {"leftMargin", "31"},
        {"rightMargin", "17"}, {"lineHeight", "1.75"}, {"poetryLeft", "41"}, {"poetryRight", "12"}};
    for (const auto& [key, value] : edits) {
        QLineEdit* f = display->textField(QString::fromLatin1(key));
        ASSERT_TRUE(f) << key;
        const int before = m_posted;
        f->setText(QString::fromLatin1(value));
        emit f->editingFinished();
        EXPECT_EQ(m_posted, before + 1) << key;
        EXPECT_EQ(d().stringForKey(QString::fromLatin1(key)), QString::fromLatin1(value)) << key;
        // The other open page shows the new value at once.
        EXPECT_EQ(other->textField(QString::fromLatin1(key))->text(), QString::fromLatin1(value)) << key;
    }
    EXPECT_DOUBLE_EQ(d().value(SettingsKeys::LineHeight), 1.75);
    EXPECT_EQ(d().value(SettingsKeys::BaseFontSize), 23);
    const QString cssAfter = CSSManager(d()).cssForBookView();
    EXPECT_NE(cssBefore, cssAfter);
    EXPECT_TRUE(cssAfter.contains(QStringLiteral("23"))) << cssAfter.left(400).toStdString();

    // A size outside its range is refused as it is typed, and the line beside the field says why: a text
    // size of 0 blanked every book. Each size field shows its range.
    EXPECT_EQ(display->rangeLabel(QStringLiteral("baseFontSize"))->text(), QStringLiteral("6 to 72 points"));
    EXPECT_EQ(display->rangeLabel(QStringLiteral("leftMargin"))->text(), QStringLiteral("0 to 300 pixels"));
    const std::pair<const char*, const char*> refused[] = {
        {"baseFontSize", "0"}, {"baseFontSize", "73"}, {"lineHeight", "0"}, {"rightMargin", "5000"}};
    for (const auto& [key, value] : refused) {
        QLineEdit* f = display->textField(QString::fromLatin1(key));
        const QString before = d().stringForKey(QString::fromLatin1(key));
        const int posted = m_posted;
        f->selectAll();
        QTest::keyClicks(f, QString::fromLatin1(value));
        QTest::keyClick(f, Qt::Key_Return);
        EXPECT_EQ(m_posted, posted) << key;
        EXPECT_EQ(d().stringForKey(QString::fromLatin1(key)), before) << key;
        EXPECT_EQ(f->text(), before) << key;
        EXPECT_TRUE(display->rangeLabel(QString::fromLatin1(key))
                        ->text()
                        .startsWith(QString::fromLatin1(value) + QStringLiteral(" is out of range: use ")))
            << key;
        // The reason has room to be read whole, and the field keeps its width.
        const QLabel* why = display->rangeLabel(QString::fromLatin1(key));
        EXPECT_GE(std::max(why->width(), why->minimumWidth()), why->fontMetrics().horizontalAdvance(why->text()))
            << key;
        EXPECT_EQ(f->minimumWidth(), f->maximumWidth()) << key;
    }
    EXPECT_EQ(display->rangeLabel(QStringLiteral("baseFontSize"))->text(),
        QStringLiteral("73 is out of range: use 6 to 72 points."));
    // An entry left unfinished (an emptied field, a lone point) is refused at Return and when the
    // field loses the focus alike: the field shows the size in force again, never stays blank.
    const std::tuple<const char*, const char*, const char*> unfinished[] = {
        {"baseFontSize", "", "A size is needed: 6 to 72 points."},
        {"lineHeight", "", "A size is needed: 0.5 to 5 lines."},
        {"lineHeight", ".", ". is out of range: use 0.5 to 5 lines."}};
    for (const bool byFocus : {false, true}) {
        for (const auto& [key, typed, said] : unfinished) {
            QLineEdit* f = display->textField(QString::fromLatin1(key));
            const QString inForce = f->text();
            const QString stored = d().stringForKey(QString::fromLatin1(key));
            ASSERT_FALSE(inForce.isEmpty()) << key;
            f->setFocus();
            f->selectAll();
            QTest::keyClick(f, Qt::Key_Backspace);
            QTest::keyClicks(f, QString::fromLatin1(typed));
            if (byFocus) {
                QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
                QApplication::sendEvent(f, &out);
            } else
                QTest::keyClick(f, Qt::Key_Return);
            EXPECT_EQ(f->text(), inForce) << key << " '" << typed << "' " << byFocus;
            EXPECT_EQ(d().stringForKey(QString::fromLatin1(key)), stored) << key;
            EXPECT_EQ(display->rangeLabel(QString::fromLatin1(key))->text(), QString::fromLatin1(said))
                << key << " '" << typed << "' " << byFocus;
        }
    }
    // A size in range is taken again, and the line shows the range once more.
    QLineEdit* size = display->textField(QStringLiteral("baseFontSize"));
    size->selectAll();
    QTest::keyClicks(size, QStringLiteral("72"));
    QTest::keyClick(size, Qt::Key_Return);
    EXPECT_EQ(d().value(SettingsKeys::BaseFontSize), 72);
    EXPECT_EQ(display->rangeLabel(QStringLiteral("baseFontSize"))->text(), QStringLiteral("6 to 72 points"));
    // A size stored out of range (an older reader's settings) is read as the nearest end of the range.
    d().set(SettingsKeys::BaseFontSize, 0);
    d().set(SettingsKeys::LineHeight, 0.0);
    const QString css = CSSManager(d()).cssForBookView();
    EXPECT_TRUE(css.contains(QStringLiteral("font:normal 6pt"))) << css.left(300).toStdString();
    EXPECT_TRUE(css.contains(QStringLiteral("line-height: 0.5;"))) << css.left(300).toStdString();
    display->refresh();
    EXPECT_EQ(size->text(), QStringLiteral("6"));
}

// Every control of the pages reads and writes its setting through the setting's typed key: a flag an
// earlier version stored as text shows as the reader reads it, a size is stored as a number of its
// key's type and read back by a page made afresh, and the Strong's box stores its two words.
TEST_F(Preferences, PagesStoreEverySettingThroughItsTypedKey)
{
    d().setString(QStringLiteral("true"), SettingsKeys::IndentPoetry.name);
    d().setString(QStringLiteral("YES"), SettingsKeys::WocBold.name);
    d().set(SettingsKeys::StrongsDecoration, QStringLiteral("none"));
    auto display = makePage<DisplayPreferencesViewController>();
    auto colors = makePage<ColorPreferencesViewController>();
    ASSERT_TRUE(display->checkBox(SettingsKeys::IndentPoetry));
    EXPECT_TRUE(display->checkBox(SettingsKeys::IndentPoetry)->isChecked());
    EXPECT_TRUE(colors->checkBox(SettingsKeys::WocBold)->isChecked());

    display->checkBox(SettingsKeys::IndentPoetry)->click();
    EXPECT_FALSE(d().value(SettingsKeys::IndentPoetry));
    EXPECT_NE(d().objectForKey(SettingsKeys::IndentPoetry.name).typeId(), QMetaType::QString);
    const std::pair<QLineEdit*, QString> typed[] = {
        {display->textField(SettingsKeys::LineHeight), "1.5"}, {display->textField(SettingsKeys::BaseFontSize), "20"}};
    for (const auto& [field, text] : typed) {
        field->selectAll();
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
    }
    EXPECT_EQ(d().objectForKey(SettingsKeys::LineHeight.name).typeId(), QMetaType::Double);
    EXPECT_DOUBLE_EQ(d().value(SettingsKeys::LineHeight), 1.5);
    EXPECT_EQ(d().objectForKey(SettingsKeys::BaseFontSize.name).typeId(), QMetaType::LongLong);
    EXPECT_EQ(d().value(SettingsKeys::BaseFontSize), 20);

    QCheckBox* underline = colors->checkBox(SettingsKeys::StrongsDecoration);
    ASSERT_TRUE(underline);
    EXPECT_FALSE(underline->isChecked());
    underline->click();
    EXPECT_EQ(d().value(SettingsKeys::StrongsDecoration), QStringLiteral("underline"));

    auto again = makePage<DisplayPreferencesViewController>();
    EXPECT_EQ(again->textField(SettingsKeys::LineHeight)->text(), QStringLiteral("1.5"));
    EXPECT_EQ(again->textField(SettingsKeys::BaseFontSize)->text(), QStringLiteral("20"));
    EXPECT_FALSE(again->checkBox(SettingsKeys::IndentPoetry)->isChecked());
    EXPECT_TRUE(makePage<ColorPreferencesViewController>()->checkBox(SettingsKeys::StrongsDecoration)->isChecked());
}

TEST_F(Preferences, DisplayCheckBoxesAndPopUpsWriteTheirKeys)
{
    auto display = makePage<DisplayPreferencesViewController>();
    const QStringList keys = {"indentPoetry", "strongsNumbers", "wocInRed", "oneVersePerParagraph", "hideVerseNumbers",
        "showMsgVerses", "versePopovers", "hideNoteLinks", "highlightLinkedPassage"};
    for (const QString& key : keys) {
        QCheckBox* b = display->checkBox(key);
        ASSERT_TRUE(b) << key.toStdString();
        const bool was = d().boolForKey(key);
        EXPECT_EQ(b->isChecked(), was) << key.toStdString();
        const int before = m_posted;
        b->click();
        EXPECT_EQ(d().boolForKey(key), !was) << key.toStdString();
        EXPECT_TRUE(d().hasStoredValue(key));
        // Verse pop-overs change no page's look.
        EXPECT_EQ(m_posted, before + (key == QLatin1String("versePopovers") ? 0 : 1)) << key.toStdString();
    }
    QComboBox* footnotes = display->popUp(QStringLiteral("footnotePopUpButton"));
    footnotes->setCurrentIndex(2);
    emit footnotes->activated(2);
    EXPECT_EQ(d().value(SettingsKeys::FootnoteStyle), QStringLiteral("Hide"));
    QComboBox* highlights = display->popUp(QStringLiteral("highlightStylePopUpButton"));
    highlights->setCurrentIndex(1);
    emit highlights->activated(1);
    EXPECT_EQ(d().value(SettingsKeys::HighlightStyle), QStringLiteral("Verse"));

    QComboBox* font = display->popUp(QStringLiteral("fontPopUpButton"));
    const QStringList families = DisplayPreferencesViewController::fontFamiliesWithAllFaces();
    ASSERT_EQ(font->count(), families.size());
    if (!families.isEmpty()) {
        font->setCurrentIndex(font->count() - 1);
        emit font->activated(font->count() - 1);
        EXPECT_EQ(d().value(SettingsKeys::BodyFont), families.last());
    }
    // A family that is not installed: the list shows the family the page draws with in its place,
    // and the stored name stays as it is.
    for (const QString& missing : {QStringLiteral("Arial"), QStringLiteral("No Such Family")}) {
        if (QFontDatabase::hasFamily(missing))
            continue;
        d().set(SettingsKeys::BodyFont, missing);
        display->refresh();
        const QString used = DisplayPreferencesViewController::familyInPlaceOf(missing);
        EXPECT_FALSE(used.isEmpty());
        EXPECT_NE(used, missing);
        EXPECT_TRUE(QFontDatabase::hasFamily(used)) << used.toStdString();
        if (families.contains(used)) {
            EXPECT_EQ(font->currentText(), used) << missing.toStdString();
        } else {
            EXPECT_EQ(font->placeholderText(), QStringLiteral("%1 (in place of %2)").arg(used, missing));
        }
        EXPECT_FALSE(font->placeholderText().contains(QStringLiteral("not available")));
        EXPECT_TRUE(font->toolTip().contains(used)) << font->toolTip().toStdString();
        EXPECT_EQ(d().value(SettingsKeys::BodyFont), missing);
    }
    // Where the metric-compatible Liberation fonts are installed, Arial is drawn in Liberation Sans.
    if (!QFontDatabase::hasFamily(QStringLiteral("Arial")) &&
        QFontDatabase::hasFamily(QStringLiteral("Liberation Sans"))) {
        EXPECT_EQ(DisplayPreferencesViewController::familyInPlaceOf(QStringLiteral("Arial")),
            QStringLiteral("Liberation Sans"));
    }
    // An installed family is itself.
    if (!families.isEmpty()) {
        EXPECT_EQ(DisplayPreferencesViewController::familyInPlaceOf(families.first()), families.first());
    }
}

TEST_F(Preferences, PosterDoesNotRefreshItselfButOthersDo)
{
    auto a = makePage<DisplayPreferencesViewController>();
    auto b = makePage<DisplayPreferencesViewController>();
    // An edit typed but not finished in a stays as typed while b's own change is announced.
    a->textField(QStringLiteral("leftMargin"))->setText(QStringLiteral("99"));
    QLineEdit* bf = b->textField(QStringLiteral("rightMargin"));
    bf->setText(QStringLiteral("77"));
    emit bf->editingFinished();
    EXPECT_EQ(a->textField(QStringLiteral("rightMargin"))->text(), QStringLiteral("77"));
    EXPECT_EQ(bf->text(), QStringLiteral("77"));
    // b did not refresh: its text field is as typed.
    b->textField(QStringLiteral("leftMargin"))->setText(QStringLiteral("5"));
    QLineEdit* af = a->textField(QStringLiteral("rightMargin"));
    af->setText(QStringLiteral("66"));
    emit af->editingFinished();
    EXPECT_EQ(b->textField(QStringLiteral("leftMargin"))->text(), d().stringForKey(SettingsKeys::LeftMargin.name));
}

TEST_F(Preferences, ColourDragCommitsOnceAfterThePause)
{
    auto colors = makePage<ColorPreferencesViewController>();
    QComboBox* schemes = colors->popUp(QStringLiteral("colorSchemePopUpButton"));
    schemes->setCurrentIndex(schemes->findData(1));
    emit schemes->activated(schemes->currentIndex());
    EXPECT_EQ(d().value(SettingsKeys::TextColor), QStringLiteral("#800000"));
    EXPECT_TRUE(d().value(SettingsKeys::SearchBold));
    EXPECT_FALSE(d().hasStoredValue(SettingsKeys::CustomTextColor));

    ColorWell* well = colors->findChild<ColorWell*>(QStringLiteral("linkColor"));
    ASSERT_TRUE(well);
    const int before = m_posted;
    for (int i = 0; i < 20; ++i) {
        well->userPicked(QColor(i * 10, 0, 200));
        spin(20);
    }
    EXPECT_EQ(m_posted, before);
    EXPECT_EQ(d().value(SettingsKeys::LinkColor), QStringLiteral("#0000c0"));
    EXPECT_TRUE(TestSupport::waitFor([&] { return m_posted > before; }));
    EXPECT_EQ(m_posted, before + 1);
    EXPECT_EQ(d().value(SettingsKeys::LinkColor), QStringLiteral("#be00c8"));
    EXPECT_EQ(d().value(SettingsKeys::CustomLinkColor), QStringLiteral("#be00c8"));
    // The Ivory values moved to the custom keys, so the custom scheme reproduces them.
    EXPECT_EQ(d().value(SettingsKeys::CustomTextColor), QStringLiteral("#800000"));
    EXPECT_TRUE(d().value(SettingsKeys::CustomSearchBold));
    EXPECT_EQ(d().value(SettingsKeys::ColorScheme), 99);
    EXPECT_EQ(schemes->currentText(), QStringLiteral("Custom Color Scheme"));
    EXPECT_TRUE(CSSManager(d()).cssForBookView().contains(QStringLiteral("#be00c8")));

    // Back to the default scheme and then to Custom again.
    schemes->setCurrentIndex(0);
    emit schemes->activated(0);
    EXPECT_EQ(d().value(SettingsKeys::LinkColor), QStringLiteral("#0000CC"));
    EXPECT_EQ(well->color(), QColor(QStringLiteral("#0000CC")));
    schemes->setCurrentIndex(schemes->findData(99));
    emit schemes->activated(schemes->currentIndex());
    EXPECT_EQ(d().value(SettingsKeys::LinkColor), QStringLiteral("#be00c8"));
    EXPECT_EQ(d().value(SettingsKeys::TextColor), QStringLiteral("#800000"));

    // Default after Ivory and Custom is the look of a first start, Strong's numbers in the link
    // colour among it, and so is the page's style sheet.
    schemes->setCurrentIndex(0);
    emit schemes->activated(0);
    QTemporaryDir firstStartDir;
    UserDefaults firstStart(firstStartDir.filePath(QStringLiteral("first.ini")));
    SettingsRegistry::registerDefaultsForAllPreferences(firstStart);
    for (const char* key :
        {"textColor", "backColor", "wocColor", "linkColor", "strongsColor", "footnoteBGColor", "searchColor",
            "tempHLColor", "devoReadColor", "devoUnreadColor", "wocBold", "searchBold", "strongsDecoration"})
        EXPECT_EQ(d().objectForKey(QLatin1String(key)), firstStart.objectForKey(QLatin1String(key))) << key;
    EXPECT_EQ(d().value(SettingsKeys::StrongsColor), QStringLiteral("#0000CC"));
    EXPECT_EQ(CSSManager(d()).cssForBookView(), CSSManager(firstStart).cssForBookView());
    EXPECT_EQ(colors->findChild<ColorWell*>(QStringLiteral("strongsColor"))->color(), QColor(0, 0, 0xCC));
    EXPECT_EQ(schemes->currentText(), QStringLiteral("Default Color Scheme"));
}

TEST_F(Preferences, TheColourChooserHasOkAndCancelAndCancelPutsTheColourBack)
{
    auto colors = makePage<ColorPreferencesViewController>();
    colors->show();
    colors->chooseColorScheme(1);
    ColorWell* well = colors->findChild<ColorWell*>(QStringLiteral("backColor"));
    ASSERT_TRUE(well);
    auto openChooser = [well] {
        QTest::mouseClick(well, Qt::LeftButton);
        QColorDialog* chooser = well->chooser();
        return chooser != nullptr && TestSupport::waitFor([chooser] { return chooser->isVisible(); }) ? chooser
                                                                                                      : nullptr;
    };
    auto press = [](QDialog* dialog, Qt::Key key) {
        QWidget* focus = dialog->focusWidget();
        QTest::keyClick(focus != nullptr ? focus : dialog, key);
    };
    QColorDialog* chooser = openChooser();
    ASSERT_NE(chooser, nullptr);
    auto* buttons = chooser->findChild<QDialogButtonBox*>();
    ASSERT_NE(buttons, nullptr);
    EXPECT_TRUE(buttons->button(QDialogButtonBox::Ok) && buttons->button(QDialogButtonBox::Ok)->isVisible());
    EXPECT_TRUE(buttons->button(QDialogButtonBox::Cancel) && buttons->button(QDialogButtonBox::Cancel)->isVisible());

    // A colour tried shows on the pages after the pause; Escape takes it back, with the scheme.
    const int before = m_posted;
    chooser->setCurrentColor(QColor(QStringLiteral("#203040")));
    EXPECT_TRUE(TestSupport::waitFor([] { return d().value(SettingsKeys::BackColor) == QLatin1String("#203040"); }));
    EXPECT_EQ(d().value(SettingsKeys::ColorScheme), 99);
    press(chooser, Qt::Key_Escape);
    EXPECT_TRUE(TestSupport::waitFor([chooser] { return !chooser->isVisible(); }));
    EXPECT_EQ(d().value(SettingsKeys::BackColor), QStringLiteral("#fffff8"));
    EXPECT_EQ(d().value(SettingsKeys::ColorScheme), 1);
    EXPECT_FALSE(d().hasStoredValue(SettingsKeys::CustomBackColor));
    EXPECT_EQ(well->color(), QColor(QStringLiteral("#fffff8")));
    EXPECT_EQ(colors->popUp(QStringLiteral("colorSchemePopUpButton"))->currentData(), 1);
    EXPECT_EQ(m_posted, before + 2);  // the colour tried, then the colour before

    // Cancel before the pause: nothing was stored, nothing is announced.
    chooser = openChooser();
    ASSERT_NE(chooser, nullptr);
    chooser->setCurrentColor(QColor(QStringLiteral("#102030")));
    buttons->button(QDialogButtonBox::Cancel)->click();
    spin(3 * ColorPreferencesViewController::kColorDebounceMs);
    EXPECT_EQ(d().value(SettingsKeys::BackColor), QStringLiteral("#fffff8"));
    EXPECT_EQ(m_posted, before + 2);

    // Return is OK: the colour is kept, stored at once.
    chooser = openChooser();
    ASSERT_NE(chooser, nullptr);
    chooser->setCurrentColor(QColor(QStringLiteral("#102030")));
    press(chooser, Qt::Key_Return);
    EXPECT_TRUE(TestSupport::waitFor([chooser] { return !chooser->isVisible(); }));
    EXPECT_EQ(d().value(SettingsKeys::BackColor), QStringLiteral("#102030"));
    EXPECT_EQ(d().value(SettingsKeys::ColorScheme), 99);
    EXPECT_EQ(well->color(), QColor(QStringLiteral("#102030")));
}

TEST_F(Preferences, StyleBoxesKeepTheSchemeAndTheCustomKeys)
{
    auto colors = makePage<ColorPreferencesViewController>();
    colors->chooseColorScheme(2);
    QCheckBox* underline = colors->checkBox(QStringLiteral("strongsDecoration"));
    underline->click();
    EXPECT_EQ(d().value(SettingsKeys::StrongsDecoration), QStringLiteral("underline"));
    colors->checkBox(QStringLiteral("wocBold"))->click();
    EXPECT_EQ(d().integerForKey(SettingsKeys::WocBold.name), 1);
    EXPECT_EQ(d().value(SettingsKeys::ColorScheme), 2);
    EXPECT_FALSE(d().hasStoredValue(SettingsKeys::CustomWocBold));
    // An unknown tag is the default scheme.
    colors->chooseColorScheme(42);
    EXPECT_EQ(d().value(SettingsKeys::ColorScheme), 0);
    EXPECT_EQ(d().value(SettingsKeys::StrongsDecoration), QStringLiteral("none"));
}

TEST_F(Preferences, GeneralAndUpdateSettings)
{
    auto general = makePage<GeneralPreferencesViewController>();
    for (const char* key : {"syncBiblesComm", "syncDevotionals", "syncDictionaries"}) {
        const QString k = QString::fromLatin1(key);
        const bool was = d().boolForKey(k);
        general->checkBox(k)->click();
        EXPECT_EQ(d().boolForKey(k), !was) << key;
    }
    QComboBox* scroll = general->popUp(QStringLiteral("scrollTrackIntervalPopUpButton"));
    // The choices say what a click in the scroller's track does.
    EXPECT_EQ(scroll->itemText(scroll->findData(1)), QStringLiteral("Pages the text"));
    EXPECT_EQ(scroll->itemText(scroll->findData(2)), QStringLiteral("Steps by chapter, reading or section"));
    emit scroll->activated(scroll->findData(2));
    scroll->setCurrentIndex(scroll->findData(2));
    emit scroll->activated(scroll->currentIndex());
    EXPECT_EQ(d().value(SettingsKeys::ScrollTrackInterval), QStringLiteral("perbook"));
    QComboBox* toolbar = general->popUp(QStringLiteral("toolbarStylePopUpButton"));
    toolbar->setCurrentIndex(toolbar->findData(2));
    emit toolbar->activated(toolbar->currentIndex());
    EXPECT_EQ(d().value(SettingsKeys::MainWindowToolbarStyle), 3);
    // Each style tells the window, which restyles its toolbar; the page shows the stored style.
    EXPECT_EQ(m_posted, 1);
    for (auto [tag, stored] : {std::pair {3, 2}, std::pair {4, 4}, std::pair {1, 1}}) {
        toolbar->setCurrentIndex(toolbar->findData(tag));
        emit toolbar->activated(toolbar->currentIndex());
        EXPECT_EQ(d().value(SettingsKeys::MainWindowToolbarStyle), stored) << tag;
        toolbar->setCurrentIndex(0);
        general->refresh();
        EXPECT_EQ(toolbar->currentData().toInt(), tag);
    }
    EXPECT_EQ(m_posted, 4);
    m_posted = 0;
    d().set(SettingsKeys::MyOffersIgnored, 4);
    QCheckBox* offers = general->checkBox(QStringLiteral("myOffersNotifications"));
    if (offers->isChecked())
        offers->click();
    EXPECT_EQ(d().value(SettingsKeys::MyOffersIgnored), 4);
    offers->click();
    EXPECT_EQ(d().value(SettingsKeys::MyOffersIgnored), 0);
    EXPECT_EQ(m_posted, 0);

    auto updates = makePage<UpdatePreferencesViewController>();
    QCheckBox* automatic = updates->checkBox(QStringLiteral("appUpdateAutomatic"));
    QComboBox* freq = updates->popUp(QStringLiteral("checkForUpdatesFrequencyButton"));
    const bool was = d().value(SettingsKeys::AppUpdateAutomatic);
    // The box flips the stored value even when it shows something else.
    automatic->setChecked(!was);
    automatic->click();
    EXPECT_EQ(d().value(SettingsKeys::AppUpdateAutomatic), !was);
    EXPECT_EQ(freq->isEnabled(), !was);
    freq->setCurrentIndex(freq->findData(604800));
    emit freq->activated(freq->currentIndex());
    EXPECT_EQ(d().value(SettingsKeys::AppUpdateFreqSeconds), 604800);
    d().set(SettingsKeys::AppUpdateFreqSeconds, 0);
    updates->refresh();
    EXPECT_EQ(freq->currentData().toInt(), 2629800);
}

TEST_F(Preferences, VoicesFillFromTheInstalledVoices)
{
    auto saved = VoicesPreferencesViewController::voiceLister();
    VoicesPreferencesViewController::voiceLister() = [] {
        return QList<SpeechVoice> {{"Kate", "en_GB"}, {"Alex", "en_US"}, {"Jorge", "es_ES"}};
    };
    d().set(SettingsKeys::VoiceEN, QString());
    d().set(SettingsKeys::VoiceES, QStringLiteral("Jorge"));
    d().set(SettingsKeys::VoiceEL, QString());
    {
        auto voices = makePage<VoicesPreferencesViewController>();
        // The first English voice becomes the setting; Greek has none and stays unset.
        EXPECT_EQ(d().value(SettingsKeys::VoiceEN), QStringLiteral("Kate"));
        EXPECT_EQ(d().value(SettingsKeys::VoiceEL), QString());
        QComboBox* en = voices->popUp(QStringLiteral("enVoicePopUp"));
        ASSERT_EQ(en->count(), 2);
        EXPECT_EQ(en->currentIndex(), 0);
        EXPECT_EQ(voices->popUp(QStringLiteral("elVoicePopUp"))->count(), 0);
        EXPECT_EQ(voices->popUp(QStringLiteral("esVoicePopUp"))->currentData().toString(), QStringLiteral("Jorge"));
        en->setCurrentIndex(1);
        emit en->activated(1);
        EXPECT_EQ(d().value(SettingsKeys::VoiceEN), QStringLiteral("Alex"));
        QSlider* rate = voices->rateSlider(QStringLiteral("es"));
        EXPECT_EQ(rate->minimum(), 100);
        EXPECT_EQ(rate->maximum(), 300);
        rate->setValue(250);
        EXPECT_DOUBLE_EQ(d().value(SettingsKeys::VoiceESRate), 250.0);
        const bool scroll = d().value(SettingsKeys::VoiceScrollText);
        voices->checkBox(QStringLiteral("voiceScrollText"))->click();
        EXPECT_EQ(d().value(SettingsKeys::VoiceScrollText), !scroll);
    }
    VoicesPreferencesViewController::voiceLister() = saved;
}

TEST_F(Preferences, PreferredBooksOfferThePlaceholderWhenNothingIsChosen)
{
    auto books = makePage<PreferredBooksViewController>();
    QComboBox* bible = books->popUp(QStringLiteral("prefBiblePopUpButton"));
    ASSERT_TRUE(bible);
    EXPECT_EQ(bible->itemText(0), QStringLiteral("--- Select a Bible ---"));
    EXPECT_EQ(books->popUp(QStringLiteral("prefGreekDictionaryPopUpButton"))->itemText(0),
        QStringLiteral("--- Select a Dictionary ---"));
    bible->setCurrentIndex(0);
    emit bible->activated(0);
    EXPECT_FALSE(d().hasStoredValue(SettingsKeys::PreferredBiblePubId));
}

TEST_F(Preferences, WindowRemembersPaneAndPositionAndSavesScreenshots)
{
    const QVector<PreferencesViewController*> panes = allPages();
    {
        MASPreferencesWindowController window(pageEnv().window, panes, QStringLiteral("Settings"));
        window.show();
        EXPECT_EQ(window.indexOfSelectedController(), 0);
        EXPECT_EQ(window.windowTitle(), QStringLiteral("Settings"));
        QDir().mkpath(QStringLiteral(QS_BINARY_DIR "/screenshots"));
        for (int i = 0; i < 8; ++i) {
            window.selectControllerAtIndex(i);
            EXPECT_EQ(window.indexOfSelectedController(), i);
            QApplication::processEvents();
            const QString file = QStringLiteral(QS_BINARY_DIR "/screenshots/preferences-%1.png")
                                     .arg(settings_test::shownPage(&window)->identifier());
            EXPECT_TRUE(window.grab().save(file));
        }
        EXPECT_EQ(window.windowTitle(), QStringLiteral("Settings"));
        window.selectControllerAtIndex(2);
        window.selectControllerAtIndex(99);
        EXPECT_EQ(window.indexOfSelectedController(), 2);
        window.move(140, 90);
        QApplication::processEvents();
        window.close();
    }
    EXPECT_EQ(d().value(SettingsKeys::PreferencesSelectedView), QStringLiteral("ColorPreferences"));
    const QVector<PreferencesViewController*> again = allPages();
    MASPreferencesWindowController reopened(pageEnv().window, again, QStringLiteral("Settings"));
    EXPECT_EQ(reopened.indexOfSelectedController(), 2);
    EXPECT_EQ(reopened.pos(), QPoint(140, 90));
    // A pane identifier no pane has any more shows the first pane.
    d().set(SettingsKeys::PreferencesSelectedView, QStringLiteral("Gone"));
    QVector<PreferencesViewController*> third;
    for (const QString& id : SettingsPages::identifiers().mid(0, 3))
        third << SettingsPages::make(pageEnv(), id);
    third.insert(1, nullptr);
    MASPreferencesWindowController fallback(pageEnv().window, third);
    EXPECT_EQ(fallback.indexOfSelectedController(), 0);
    EXPECT_EQ(fallback.windowTitle(), QStringLiteral("General"));
}

// Every page from the keyboard, wherever the keys are in the window: Ctrl+Tab and Ctrl+Page Down go
// on round the page bar, Ctrl+Shift+Tab and Ctrl+Page Up back; Tab reaches the bar, and Space on one
// of its buttons shows that page.
TEST_F(Preferences, EveryPageIsReachedFromTheKeyboard)
{
    d().set(SettingsKeys::PreferencesSelectedView, QStringLiteral("GeneralPreferences"));
    MASPreferencesWindowController window(pageEnv().window, allPages(), QStringLiteral("Settings"));
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    const QStringList ids = SettingsPages::identifiers();
    ASSERT_EQ(ids.size(), 8);
    const auto shown = [&window] { return settings_test::shownPage(&window)->identifier(); };
    const auto press = [](QKeyCombination keys) {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        QTest::keyClick(focus, keys.key(), keys.keyboardModifiers());
    };
    ASSERT_EQ(shown(), ids[0]);
    for (int step = 1; step <= 8; ++step) {
        press(QKeyCombination(Qt::ControlModifier, step % 2 != 0 ? Qt::Key_Tab : Qt::Key_PageDown));
        EXPECT_EQ(shown(), ids[step % 8]) << "step " << step;
    }
    for (int step = 1; step <= 8; ++step) {
        press(step % 2 != 0 ? QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Backtab)
                            : QKeyCombination(Qt::ControlModifier, Qt::Key_PageUp));
        EXPECT_EQ(shown(), ids[(8 - step) % 8]) << "step back " << step;
    }
    // Tab from the page reaches the page bar's buttons; Space on Voices shows it.
    QToolButton* voices = nullptr;
    for (int presses = 0; presses < 60 && voices == nullptr; ++presses) {
        press(QKeyCombination(Qt::Key_Tab));
        auto* button = qobject_cast<QToolButton*>(QApplication::focusWidget());
        if (button != nullptr && button->parentWidget() == window.toolbar() && button->defaultAction() != nullptr &&
            button->defaultAction()->objectName() == ids[7])
            voices = button;
    }
    ASSERT_NE(voices, nullptr) << "Tab never reached the page bar's last button";
    press(QKeyCombination(Qt::Key_Space));
    EXPECT_EQ(shown(), ids[7]);
}

// A settings window made over an environment of its own: its pages write those defaults and tell
// that centre and those alerts, and leave the program's alone.
TEST_F(Preferences, TheWindowAndItsPagesWorkThroughTheEnvironmentTheyAreMadeWith)
{
    UserDefaults mine(m_dir->filePath(QStringLiteral("window.ini")));
    SettingsRegistry::registerDefaultsForAllPreferences(mine);
    NotificationCenter centre;
    RecordingAlerts alerts;
    WindowEnvironment window;
    window.setNotifications(&centre);
    window.setSettings(&mine);
    window.setAlert(&alerts);
    window.setBooks(&SourceManager::singleton());
    auto env = PreferencesViewController::Environment::fromWindow(window);
    env.sync.writeSyncLog = [](const QString&) { return false; };
    env.sync.openUrl = [](const QUrl&) { return true; };
    int restyles = 0;
    int pageChanges = 0;
    int probe = 0;
    centre.addObserver(
        &probe, PaneNotifications::DisplayPreferencesChangedNotification, [&](Notification&) { ++restyles; });
    centre.addObserver(&probe, AppNotifications::MASPreferencesWindowControllerDidChangeViewNotification,
        [&](Notification&) { ++pageChanges; });
    const QString programMargin = d().stringForKey(SettingsKeys::LeftMargin.name);
    {
        const QVector<PreferencesViewController*> panes = allPages(env);
        MASPreferencesWindowController settings(window, panes, QStringLiteral("Settings"));
        const int before = pageChanges;
        settings.selectControllerAtIndex(1);
        EXPECT_EQ(pageChanges, before + 1);
        EXPECT_EQ(mine.value(SettingsKeys::PreferencesSelectedView), QStringLiteral("DisplayPreferences"));

        QLineEdit* margin = settings_test::shownPage(&settings)->textField(QStringLiteral("leftMargin"));
        ASSERT_NE(margin, nullptr);
        margin->setText(QStringLiteral("37"));
        emit margin->editingFinished();
        EXPECT_EQ(mine.stringForKey(SettingsKeys::LeftMargin.name), QStringLiteral("37"));
        EXPECT_EQ(d().stringForKey(SettingsKeys::LeftMargin.name), programMargin);
        EXPECT_EQ(restyles, 1);
        EXPECT_EQ(m_posted, 0) << "the program's centre heard of the change";

        auto* sync =
            dynamic_cast<SyncPreferencesViewController*>(settings.viewControllerForIdentifier("SyncPreferences"));
        ASSERT_NE(sync, nullptr);
        sync->onViewLogButton();
        ASSERT_EQ(alerts.shown().size(), 1);
        EXPECT_EQ(alerts.shown()[0].messageText, QStringLiteral("The Cloud Sync log could not be written."));
        EXPECT_TRUE(m_alerts.shown().isEmpty());
    }
    centre.removeObserver(&probe);
    EXPECT_EQ(centre.observationCount(), 0) << "a page or the window still observes the centre";
}

}  // namespace

#include "cloud/account/CustomerPassword.h"
#include "cloud/protocol/ServiceHost.h"
#include "platform/AppFolders.h"
#include "tests/tools/standin-services/StandinTestServer.h"

#include <QPushButton>
#include <QStackedWidget>

namespace {

TEST_F(Preferences, CustomerAccountLogsInAndOutAgainstTheStandIn)
{
    standin_test::Server server;
    ASSERT_NE(server.httpPort(), 0);
    QTemporaryDir home;
    setenv("XDG_DATA_HOME", home.path().toUtf8().constData(), 1);
    d().set(SettingsKeys::ServiceHostAddress, server.serviceHostSetting());
    auto alerts = std::make_shared<RecordingAlerts>();
    pageEnv().window.setAlert(alerts.get());
    auto pane = makePage<LoginPreferencesViewController>();
    EXPECT_EQ(pane->shownCredentialsView(), QStringLiteral("LoginView"));
    auto waitForAnswer = [&pane] {
        QPushButton* login = pane->findChild<QPushButton*>(QStringLiteral("loginButton"));
        EXPECT_TRUE(TestSupport::waitFor([login] { return login->isEnabled(); }, 20000)) << "no answer";
    };

    // A wrong password: the server's message, nothing stored.
    pane->textField(QStringLiteral("customerID"))->setText(QStringLiteral("demo@quillstead.test"));
    pane->textField(QStringLiteral("password"))->setText(QStringLiteral("wrong"));
    pane->onLogIn();
    waitForAnswer();
    ASSERT_EQ(alerts->shown().size(), 1);
    EXPECT_TRUE(alerts->shown()[0].messageText.startsWith(QStringLiteral("Error from server: ")));
    EXPECT_EQ(alerts->shown()[0].informativeText, QStringLiteral("While trying to log into your Tavrosen account."));
    EXPECT_FALSE(d().value(SettingsKeys::CredentialsValid));
    EXPECT_EQ(pane->shownCredentialsView(), QStringLiteral("LoginView"));

    // The right one: the customer is stored, the password only in its own file.
    pane->textField(QStringLiteral("password"))->setText(QStringLiteral("demo"));
    pane->onLogIn();
    waitForAnswer();
    EXPECT_EQ(alerts->shown().size(), 1);
    EXPECT_TRUE(d().value(SettingsKeys::CredentialsValid));
    EXPECT_EQ(d().value(SettingsKeys::CustomerIDNum), 10001);
    // Stored as the number it is typed as, not as the server's text.
    EXPECT_EQ(d().objectForKey(SettingsKeys::CustomerIDNum.name).typeId(), QMetaType::LongLong);
    EXPECT_EQ(d().value(SettingsKeys::CustomerID), QStringLiteral("demo@quillstead.test"));
    EXPECT_EQ(d().value(SettingsKeys::Optionsbitfield), QString());
    EXPECT_EQ(qs::cloud::CustomerPassword::load(), QStringLiteral("demo"));
    EXPECT_EQ(pane->shownCredentialsView(), QStringLiteral("LogoutView"));
    EXPECT_TRUE(pane->loggedInCustomerMessage()->text().endsWith(QStringLiteral("logged in as customer 10001")));
    pane->refresh();
    EXPECT_EQ(pane->textField(QStringLiteral("password"))->text(), QStringLiteral("demo"));
    QDir().mkpath(QStringLiteral(QS_BINARY_DIR "/screenshots"));
    pane->resize(pane->sizeHint());
    pane->grab().save(QStringLiteral(QS_BINARY_DIR "/screenshots/preferences-LoginPreferences-loggedin.png"));

    // Mismatched fields are reported before anything is sent.
    pane->onLogOut();
    EXPECT_FALSE(d().value(SettingsKeys::CredentialsValid));
    EXPECT_EQ(qs::cloud::CustomerPassword::load(), QString());
    EXPECT_EQ(pane->shownCredentialsView(), QStringLiteral("LoginView"));
    pane->textField(QStringLiteral("email"))->setText(QStringLiteral("a@x.test"));
    pane->textField(QStringLiteral("emailAgain"))->setText(QStringLiteral("b@x.test"));
    pane->onCreateAccount();
    EXPECT_EQ(
        alerts->shown().last().messageText, QStringLiteral("Check your email address. Both email fields must match."));
    pane->textField(QStringLiteral("customerID"))->clear();
    pane->onResetPassword();
    EXPECT_TRUE(alerts->shown().last().messageText.startsWith(QStringLiteral("Enter your email address above")));
}

}  // namespace

#include "userdata/cPersistentData.h"

#include <QProgressBar>

namespace {

// The sync engine and the desktop as the pages see them, recorded.
struct FakeSync {
    bool syncing = false;
    bool unsynced = false;
    bool someData = false;
    QList<qint64> frequencies;
    int syncNow = 0;
    QList<QUrl> opened;
    bool desktopOpens = true;
    QList<QUrl> shownInReader;
    void install()
    {
        auto& s = pageEnv().sync;
        s.isSyncing = [this] { return syncing; };
        s.hasUnsyncedData = [this] { return unsynced; };
        s.hasSomeData = [this] { return someData; };
        s.setAutoSyncFreq = [this](qint64 ms) { frequencies << ms; };
        s.syncNow = [this] { ++syncNow; };
        s.openUrl = [this](const QUrl& u) {
            opened << u;
            return desktopOpens;
        };
        s.showPage = [this](const QUrl& u, const QString&) { shownInReader << u; };
    }
};

TEST_F(Preferences, AccountFieldsBeingTypedNeverReachTheSettingsFile)
{
    QTemporaryDir home;
    setenv("XDG_DATA_HOME", home.path().toUtf8().constData(), 1);
    const QVector<PreferencesViewController*> panes = allPages();
    MASPreferencesWindowController window(pageEnv().window, panes, QStringLiteral("Settings"));
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QAction* customerPage = window.toolbar()->actions().value(3);
    QAction* displayPage = window.toolbar()->actions().value(1);
    ASSERT_TRUE(customerPage && displayPage);

    // The password field has the focus as the user clicks another page.
    customerPage->trigger();
    PreferencesViewController* account = settings_test::shownPage(&window);
    ASSERT_EQ(account->identifier(), QStringLiteral("LoginPreferences"));
    QLineEdit* password = account->textField(QStringLiteral("password"));
    password->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([password] { return password->hasFocus(); }));
    QTest::keyClicks(password, QStringLiteral("8675309"));
    displayPage->trigger();
    ASSERT_EQ(settings_test::shownPage(&window)->identifier(), QStringLiteral("DisplayPreferences"));

    // So does the customer ID field (its text is no number: it used to be stored as 0).
    customerPage->trigger();
    QLineEdit* customer = account->textField(QStringLiteral("customerID"));
    customer->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([customer] { return customer->hasFocus(); }));
    QTest::keyClicks(customer, QStringLiteral("someone@quillstead.test"));
    displayPage->trigger();

    // A display field with the focus is still committed as the page changes.
    QLineEdit* size = settings_test::shownPage(&window)->textField(QStringLiteral("baseFontSize"));
    size->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([size] { return size->hasFocus(); }));
    size->selectAll();
    QTest::keyClicks(size, QStringLiteral("23"));
    customerPage->trigger();
    window.close();

    ASSERT_TRUE(d().synchronize());
    QFile file(m_dir->filePath(QStringLiteral("settings.ini")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray stored = file.readAll();
    EXPECT_TRUE(stored.contains("baseFontSize=23")) << stored.constData();
    EXPECT_FALSE(stored.contains("8675309")) << stored.constData();
    EXPECT_FALSE(stored.contains("password")) << stored.constData();
    EXPECT_FALSE(stored.contains("customerID")) << stored.constData();
    EXPECT_FALSE(d().hasStoredValue(SettingsKeys::Password));
    EXPECT_FALSE(d().hasStoredValue(SettingsKeys::CustomerID));
}

TEST_F(Preferences, CloudSyncIntervalsAndAutomaticSync)
{
    FakeSync fake;
    fake.install();
    d().set(SettingsKeys::AutoSyncEnabled, false);
    d().set(SettingsKeys::AutoSyncFreq, 5000);
    auto pane = makePage<SyncPreferencesViewController>();
    auto* box = pane->findChild<QCheckBox*>(QStringLiteral("autoSyncCheckbox"));
    auto* freq = pane->findChild<QComboBox*>(QStringLiteral("autoSyncFrequencyPopUpButton"));
    auto* description = pane->findChild<QLabel*>(QStringLiteral("autoSyncFrequencyDescriptionTextField"));
    ASSERT_TRUE(box && freq && description);
    pane->show();
    // Off: the interval cannot be chosen and its description is hidden.
    EXPECT_FALSE(box->isChecked());
    EXPECT_FALSE(freq->isEnabled());
    EXPECT_FALSE(description->isVisible());
    EXPECT_EQ(freq->currentData().toInt(), 2);
    EXPECT_TRUE(description->text().contains(QStringLiteral("every few seconds")));

    box->click();
    EXPECT_TRUE(d().value(SettingsKeys::AutoSyncEnabled));
    EXPECT_TRUE(freq->isEnabled());
    EXPECT_TRUE(description->isVisible());

    freq->setCurrentIndex(freq->findData(1));
    emit freq->activated(freq->currentIndex());
    EXPECT_EQ(d().value(SettingsKeys::AutoSyncFreq), 300000);
    EXPECT_EQ(fake.frequencies, QList<qint64> {300000});
    EXPECT_TRUE(description->text().contains(QStringLiteral("every few minutes")));
    // The same interval again does not reach the engine.
    emit freq->activated(freq->currentIndex());
    EXPECT_EQ(fake.frequencies.size(), 1);
    freq->setCurrentIndex(freq->findData(0));
    emit freq->activated(freq->currentIndex());
    EXPECT_EQ(d().value(SettingsKeys::AutoSyncFreq), 3600000);
    EXPECT_EQ(fake.frequencies, (QList<qint64> {300000, 3600000}));

    // Any stored value other than the two short ones shows as hourly.
    d().set(SettingsKeys::AutoSyncFreq, 12345);
    pane->refresh();
    EXPECT_EQ(freq->currentData().toInt(), 0);
    EXPECT_TRUE(description->text().contains(QStringLiteral("every hour")));
    EXPECT_EQ(fake.frequencies.size(), 2);

    auto* syncNow = pane->findChild<QPushButton*>(QStringLiteral("syncNowButton"));
    syncNow->click();
    EXPECT_EQ(fake.syncNow, 1);
}

// The automatic sync's description, shown as the box is ticked and reworded with each interval, is
// never cut: the page, and the window around it, grow to hold its lines, and shrink when it goes.
TEST_F(Preferences, TheAutomaticSyncDescriptionWrapsAndThePageGrowsToHoldIt)
{
    FakeSync fake;
    fake.install();
    d().set(SettingsKeys::AutoSyncEnabled, false);
    d().set(SettingsKeys::AutoSyncFreq, 3600000);
    d().set(SettingsKeys::PreferencesSelectedView, QStringLiteral("SyncPreferences"));
    MASPreferencesWindowController window(pageEnv().window, allPages(), QStringLiteral("Settings"));
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    auto* page = settings_test::shownPage<SyncPreferencesViewController>(&window);
    ASSERT_NE(page, nullptr);
    auto* box = page->findChild<QCheckBox*>(QStringLiteral("autoSyncCheckbox"));
    auto* freq = page->findChild<QComboBox*>(QStringLiteral("autoSyncFrequencyPopUpButton"));
    auto* description = page->findChild<QLabel*>(QStringLiteral("autoSyncFrequencyDescriptionTextField"));
    ASSERT_TRUE(box && freq && description);
    const int closedHeight = window.height();

    // Every line of the description inside the page, and the page inside the window.
    const auto wholeDescription = [&] {
        return description->isVisible() && description->height() >= description->heightForWidth(description->width()) &&
            description->geometry().bottom() < page->height() &&
            page->mapTo(&window, QPoint(0, page->height())).y() <= window.height();
    };
    // The box ticked by the keys: the window grows to hold the hourly description.
    box->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([box] { return box->hasFocus(); }));
    QTest::keyClick(box, Qt::Key_Space);
    ASSERT_TRUE(d().value(SettingsKeys::AutoSyncEnabled));
    EXPECT_TRUE(QTest::qWaitFor(wholeDescription))
        << description->height() << " of " << description->heightForWidth(description->width());
    EXPECT_GT(window.height(), closedHeight);
    // "Every few seconds", chosen with the keys: its longer description is whole too.
    freq->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([freq] { return freq->hasFocus(); }));
    QTest::keyClick(freq, Qt::Key_Down);
    QTest::keyClick(freq, Qt::Key_Down);
    ASSERT_EQ(d().value(SettingsKeys::AutoSyncFreq), SyncPreferencesViewController::kAutoSyncSecondsMs);
    ASSERT_TRUE(description->text().contains(QStringLiteral("every few seconds")));
    EXPECT_TRUE(QTest::qWaitFor(wholeDescription))
        << description->height() << " of " << description->heightForWidth(description->width());
    // Unticked, the page gives the room back.
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Space);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.height() == closedHeight; }))
        << window.height() << " " << closedHeight << " page " << page->sizeHint().height() << " " << page->height()
        << " vis " << description->isVisible();
}

// Reopened on Customer ID, the settings window puts the keys in the page's first control: the
// customer ID field, or Log Out once logged in. A log-out that would leave unsynced changes asks
// first, and the answer Return or Space gives keeps the account.
TEST_F(Preferences, TheAccountPageTakesTheKeysAndALogOutLeavingUnsyncedChangesAsksFirst)
{
    QTemporaryDir home;
    setenv("XDG_DATA_HOME", home.path().toUtf8().constData(), 1);
    FakeSync fake;
    fake.install();
    fake.someData = true;
    fake.unsynced = true;
    d().set(SettingsKeys::PreferencesSelectedView, QStringLiteral("LoginPreferences"));
    const auto openSettings = [] {
        auto window =
            std::make_unique<MASPreferencesWindowController>(pageEnv().window, allPages(), QStringLiteral("Settings"));
        window->show();
        QApplication::setActiveWindow(window.get());
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        return window;
    };
    {
        auto window = openSettings();
        auto* page = settings_test::shownPage<LoginPreferencesViewController>(window.get());
        ASSERT_NE(page, nullptr);
        QLineEdit* customer = page->textField(SettingsKeys::CustomerID);
        EXPECT_TRUE(QTest::qWaitFor([customer] { return QApplication::focusWidget() == customer; }));
    }

    // Logged in: the keys are on Log Out.
    d().set(SettingsKeys::CredentialsValid, true);
    d().set(SettingsKeys::CustomerID, QStringLiteral("demo@quillstead.test"));
    d().set(SettingsKeys::CustomerIDNum, 10001);
    d().set(SettingsKeys::CustomerFirstName, QStringLiteral("Demo"));
    auto window = openSettings();
    auto* page = settings_test::shownPage<LoginPreferencesViewController>(window.get());
    ASSERT_NE(page, nullptr);
    ASSERT_EQ(page->shownCredentialsView(), QStringLiteral("LogoutView"));
    auto* logOut = page->findChild<QPushButton*>(QStringLiteral("logoutButton"));
    ASSERT_TRUE(QTest::qWaitFor([logOut] { return QApplication::focusWidget() == logOut; }))
        << (QApplication::focusWidget() ? QApplication::focusWidget()->metaObject()->className() : "nothing");

    // Space: asked first; the default answer keeps the account, and the settings file keeps it.
    m_alerts.clear();
    m_alerts.setWhileShown(
        [this](const Alert& a) { m_alerts.queueAnswer(AlertFirstButtonReturn + a.effectiveDefaultButton()); });
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    ASSERT_EQ(m_alerts.shown().size(), 1);
    const Alert asked = m_alerts.shown()[0];
    EXPECT_EQ(asked.effectiveButtons().value(asked.effectiveDefaultButton()), QStringLiteral("Stay Logged In"));
    // Escape and the close box keep the account too.
    EXPECT_EQ(asked.effectiveButtons().value(asked.escapeButton), QStringLiteral("Stay Logged In"));
    EXPECT_EQ(page->shownCredentialsView(), QStringLiteral("LogoutView"));
    ASSERT_TRUE(d().synchronize());
    QSettings stored(m_dir->filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
    EXPECT_TRUE(stored.value(SettingsKeys::CredentialsValid.name).toBool());
    EXPECT_EQ(stored.value(SettingsKeys::CustomerIDNum.name).toLongLong(), 10001);

    // The other answer logs out.
    m_alerts.setWhileShown([this](const Alert& a) {
        m_alerts.queueAnswer(AlertFirstButtonReturn + int(a.effectiveButtons().indexOf(QStringLiteral("Log Out"))));
    });
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_EQ(m_alerts.shown().size(), 2);
    EXPECT_EQ(page->shownCredentialsView(), QStringLiteral("LoginView"));
    ASSERT_TRUE(d().synchronize());
    stored.sync();
    EXPECT_FALSE(stored.value(SettingsKeys::CredentialsValid.name).toBool());
    // Nothing left to lose: no question.
    m_alerts.setWhileShown({});
    window.reset();
    d().set(SettingsKeys::CredentialsValid, true);
    fake.unsynced = false;
    window = openSettings();
    page = settings_test::shownPage<LoginPreferencesViewController>(window.get());
    page->findChild<QPushButton*>(QStringLiteral("logoutButton"))->click();
    EXPECT_EQ(m_alerts.shown().size(), 2);
    EXPECT_FALSE(d().value(SettingsKeys::CredentialsValid));
}

TEST_F(Preferences, CloudSyncShowsTheProgressOfARunningSync)
{
    FakeSync fake;
    fake.install();
    auto pane = makePage<SyncPreferencesViewController>();
    pane->show();
    QLabel* status = pane->findChild<QLabel*>(QStringLiteral("syncStatusTextField"));
    QProgressBar* progress = pane->syncStatusProgressIndicator();
    EXPECT_FALSE(status->isVisible());
    EXPECT_FALSE(progress->isVisible());
    NotificationCenter& nc = NotificationCenter::defaultCenter();
    nc.postNotificationName(AppNotifications::qsSyncCommStartedNotification);
    EXPECT_TRUE(status->isVisible());
    EXPECT_TRUE(progress->isVisible());
    EXPECT_EQ(progress->value(), 0);
    nc.postNotificationName(AppNotifications::qsSyncProgressPercentNotification, nullptr,
        {{"progress", 0.427}, {"statusMessage", QStringLiteral("Receiving notes")}});
    EXPECT_EQ(progress->value(), 43);
    EXPECT_EQ(status->text(), QStringLiteral("Receiving notes"));
    // Out-of-range figures from the engine stay inside the bar.
    nc.postNotificationName(AppNotifications::qsSyncProgressPercentNotification, nullptr, {{"progress", 2.5}});
    EXPECT_EQ(progress->value(), 100);
    nc.postNotificationName(AppNotifications::qsSyncProgressPercentNotification, nullptr, {{"progress", -1.0}});
    EXPECT_EQ(progress->value(), 0);
    nc.postNotificationName(AppNotifications::qsSyncErrorOccurredNotification);
    EXPECT_TRUE(progress->isVisible());
    nc.postNotificationName(AppNotifications::qsSyncCommFinishedNotification);
    // A quick sync's progress stays up, full, for a moment, then goes.
    EXPECT_TRUE(progress->isVisible());
    EXPECT_EQ(progress->value(), 100);
    EXPECT_TRUE(TestSupport::waitFor([&] { return !progress->isVisible(); }));
    EXPECT_FALSE(status->isVisible());
    EXPECT_EQ(status->text(), QString());
    // A page opened while a sync runs shows its progress bar at once.
    fake.syncing = true;
    pane->refresh();
    EXPECT_TRUE(progress->isVisible());
    EXPECT_EQ(progress->value(), 0);
    // Every refresh leaves one observer per notification.
    pane->refresh();
    nc.postNotificationName(AppNotifications::qsSyncProgressPercentNotification, nullptr, {{"progress", 0.05}});
    EXPECT_EQ(progress->value(), 5);
}

TEST_F(Preferences, SyncLogIsWrittenAfreshOrNotShownAtAll)
{
    FakeSync fake;
    fake.install();
    QTemporaryDir home;
    setenv("XDG_CACHE_HOME", home.filePath(QStringLiteral("cache")).toUtf8().constData(), 1);
    const cLString16 folder((home.path() + QStringLiteral("/data/")).toUtf8().constData());
    QDir().mkpath(home.path() + QStringLiteral("/data"));
    cSQLiteDbBase::setEngineDataFolder(folder);
    {
        cPersistentData history;
        ASSERT_TRUE(history.openOrCreate());
        cDateTimeValue now;
        now.setToNowUTC();
        ASSERT_TRUE(history.recordSyncTime("BibleNotes", now, 0, nullptr));
        ASSERT_TRUE(history.recordSyncTime("Bookmarks", now, 7, "Server <went> away"));
    }
    auto alerts = std::make_shared<RecordingAlerts>();
    pageEnv().window.setAlert(alerts.get());
    // The application's writer: every recorded sync, errors and all; later one that fails.
    bool failing = false;
    const auto writer = pageEnv().sync.writeSyncLog;
    pageEnv().sync.writeSyncLog = [&failing, writer](const QString& path) { return !failing && writer(path); };
    auto pane = makePage<SyncPreferencesViewController>();
    pane->findChild<QPushButton*>(QStringLiteral("viewLogButton"))->click();
    const QString path = SyncPreferencesViewController::syncLogPath();
    EXPECT_TRUE(path.startsWith(home.path()));
    ASSERT_EQ(fake.opened.size(), 1);
    EXPECT_EQ(fake.opened[0], QUrl::fromLocalFile(path));
    QFile page(path);
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QByteArray html = page.readAll();
    page.close();
    EXPECT_TRUE(html.contains("Bible notes"));
    EXPECT_TRUE(html.contains("Server &lt;went&gt; away"));
    EXPECT_TRUE(alerts->shown().isEmpty());

    // A desktop that has nothing to open pages with: the reader's own window shows the log.
    fake.desktopOpens = false;
    pane->onViewLogButton();
    ASSERT_EQ(fake.opened.size(), 2);
    ASSERT_EQ(fake.shownInReader.size(), 1);
    EXPECT_EQ(fake.shownInReader[0], QUrl::fromLocalFile(path));
    EXPECT_TRUE(alerts->shown().isEmpty());
    // Without that window either, an alert says where the file is.
    pageEnv().sync.showPage = nullptr;
    auto bare = makePage<SyncPreferencesViewController>();
    bare->onViewLogButton();
    ASSERT_EQ(alerts->shown().size(), 1);
    EXPECT_EQ(alerts->shown()[0].messageText, QStringLiteral("The Cloud Sync log could not be opened."));
    EXPECT_TRUE(alerts->shown()[0].informativeText.contains(QDir::toNativeSeparators(path)));
    EXPECT_EQ(fake.shownInReader.size(), 1);
    alerts->clear();
    fake.desktopOpens = true;
    const qsizetype openedBefore = fake.opened.size();

    // A log that cannot be written: the old page goes, an alert says so, nothing is opened.
    failing = true;
    pane->onViewLogButton();
    EXPECT_EQ(fake.opened.size(), openedBefore);
    EXPECT_FALSE(QFile::exists(path));
    ASSERT_EQ(alerts->shown().size(), 1);
    EXPECT_EQ(alerts->shown()[0].messageText, QStringLiteral("The Cloud Sync log could not be written."));
    cSQLiteDbBase::setEngineDataFolder(cLString16());
}

TEST_F(Preferences, AccountPageAgainstTheStandInsFaultsAndARunningSync)
{
    FakeSync fake;
    fake.install();
    standin_test::Server server;
    ASSERT_NE(server.httpPort(), 0);
    QTemporaryDir home;
    setenv("XDG_DATA_HOME", home.path().toUtf8().constData(), 1);
    d().set(SettingsKeys::ServiceHostAddress, server.serviceHostSetting());
    auto alerts = std::make_shared<RecordingAlerts>();
    pageEnv().window.setAlert(alerts.get());
    auto pane = makePage<LoginPreferencesViewController>();
    auto* login = pane->findChild<QPushButton*>(QStringLiteral("loginButton"));
    auto* privacy = pane->findChild<QPushButton*>(QStringLiteral("privacyPolicyButton"));
    QProgressBar* loginBusy = pane->progressIndicator(QStringLiteral("loginProgressIndicator"));
    QProgressBar* resetBusy = pane->progressIndicator(QStringLiteral("resetPasswordProgressIndicator"));
    ASSERT_TRUE(login && privacy && loginBusy && resetBusy);
    auto logInAndWait = [&](const QString& id, const QString& password) {
        pane->textField(QStringLiteral("customerID"))->setText(id);
        pane->textField(QStringLiteral("password"))->setText(password);
        pane->onLogIn();
        EXPECT_FALSE(login->isEnabled());
        EXPECT_FALSE(privacy->isEnabled());
        EXPECT_FALSE(loginBusy->isHidden());
        EXPECT_TRUE(TestSupport::waitFor([login] { return login->isEnabled(); }, 20000));
        EXPECT_TRUE(loginBusy->isHidden());
    };

    // The server fails with an error status: its reply is read as any other, nothing stored.
    ASSERT_TRUE(server.fault(QStringLiteral("http.status=500&http.path=booklist")));
    logInAndWait(QStringLiteral("demo@quillstead.test"), QStringLiteral("demo"));
    ASSERT_EQ(alerts->shown().size(), 1);
    EXPECT_TRUE(alerts->shown()[0].messageText.startsWith(QStringLiteral("Error from server: ")))
        << alerts->shown()[0].messageText.toStdString();
    EXPECT_FALSE(d().value(SettingsKeys::CredentialsValid));
    // Bytes that are no reply.
    ASSERT_TRUE(server.fault(QStringLiteral("http.garbage=1&http.path=booklist")));
    logInAndWait(QStringLiteral("demo@quillstead.test"), QStringLiteral("demo"));
    ASSERT_EQ(alerts->shown().size(), 2);
    EXPECT_EQ(alerts->shown()[1].messageText,
        QStringLiteral("Unexpected response from server. If this problem persists, contact technical support."));
    // A reply cut short.
    ASSERT_TRUE(server.fault(QStringLiteral("http.truncate=10&http.path=booklist")));
    logInAndWait(QStringLiteral("demo@quillstead.test"), QStringLiteral("demo"));
    ASSERT_EQ(alerts->shown().size(), 3);
    EXPECT_TRUE(alerts->shown()[2].messageText.startsWith(QStringLiteral("System reported error: ")))
        << alerts->shown()[2].messageText.toStdString();
    EXPECT_FALSE(d().value(SettingsKeys::CredentialsValid));
    EXPECT_EQ(pane->shownCredentialsView(), QStringLiteral("LoginView"));

    // An unknown customer: the server's own message.
    logInAndWait(QStringLiteral("nobody@quillstead.test"), QStringLiteral("demo"));
    ASSERT_EQ(alerts->shown().size(), 4);
    EXPECT_EQ(alerts->shown()[3].messageText, QStringLiteral("Error from server: Invalid customer ID or password."));
    EXPECT_EQ(alerts->shown()[3].informativeText, QStringLiteral("While trying to log into your Tavrosen account."));

    // A password reset for the demo account: the server's success message.
    pane->textField(QStringLiteral("customerID"))->setText(QStringLiteral("demo@quillstead.test"));
    pane->onResetPassword();
    EXPECT_FALSE(resetBusy->isHidden());
    EXPECT_TRUE(TestSupport::waitFor([login] { return login->isEnabled(); }, 20000));
    EXPECT_TRUE(resetBusy->isHidden());
    ASSERT_EQ(alerts->shown().size(), 5);
    EXPECT_EQ(alerts->shown()[4].informativeText, QString());
    EXPECT_FALSE(alerts->shown()[4].messageText.isEmpty());

    // A sync that runs refuses log-in and creation before anything is sent.
    fake.syncing = true;
    pane->onLogIn();
    EXPECT_TRUE(login->isEnabled());
    ASSERT_EQ(alerts->shown().size(), 6);
    EXPECT_EQ(alerts->shown()[5].messageText, QStringLiteral("Can't log in while Cloud Sync is running."));
    pane->onCreateAccount();
    EXPECT_EQ(alerts->shown().size(), 7);
    EXPECT_EQ(alerts->shown()[6].messageText, QStringLiteral("Can't log in while Cloud Sync is running."));
    fake.syncing = false;

    // Creating an account logs in with it.
    for (auto [key, value] : {std::pair {"firstName", "Ann"}, std::pair {"lastName", "Lee"},
             std::pair {"email", "ann@quillstead.test"}, std::pair {"emailAgain", "ann@quillstead.test"},
             std::pair {"newPassword", "s3cret+word"}, std::pair {"newPasswordAgain", "s3cret+word"}})
        pane->textField(QString::fromLatin1(key))->setText(QString::fromLatin1(value));
    pane->onCreateAccount();
    EXPECT_TRUE(TestSupport::waitFor([login] { return login->isEnabled(); }, 20000));
    EXPECT_EQ(alerts->shown().size(), 7);
    EXPECT_TRUE(d().value(SettingsKeys::CredentialsValid));
    EXPECT_EQ(d().value(SettingsKeys::CustomerID), QStringLiteral("ann@quillstead.test"));
    EXPECT_EQ(d().value(SettingsKeys::CustomerFirstName), QStringLiteral("Ann"));
    EXPECT_GT(d().value(SettingsKeys::CustomerIDNum), 0);
    EXPECT_EQ(qs::cloud::CustomerPassword::load(), QStringLiteral("s3cret+word"));
    EXPECT_EQ(pane->shownCredentialsView(), QStringLiteral("LogoutView"));

    // The logged-in page tells whether local data still waits for the cloud.
    fake.someData = true;
    fake.unsynced = true;
    pane->refresh();
    EXPECT_TRUE(pane->userCreatedDataStatusMessage()->text().startsWith(
        QStringLiteral("You have user-created data (notes, highlights, bookmarks, etc.) that have not been synced")));
    fake.unsynced = false;
    pane->refresh();
    EXPECT_TRUE(pane->userCreatedDataStatusMessage()->text().startsWith(QStringLiteral("All changes")));
    fake.someData = false;
    pane->refresh();
    EXPECT_EQ(pane->userCreatedDataStatusMessage()->text(), QString());
    // The sync engine found the account no longer valid: the page stays and says so.
    d().set(SettingsKeys::CredentialsValid, false);
    pane->refresh();
    EXPECT_EQ(pane->shownCredentialsView(), QStringLiteral("LogoutView"));
    EXPECT_TRUE(pane->loggedInCustomerMessage()->text().startsWith(QStringLiteral("You are not logged in.")));
    pane->findChild<QPushButton*>(QStringLiteral("logoutButton"))->click();
    EXPECT_EQ(pane->shownCredentialsView(), QStringLiteral("LoginView"));
    EXPECT_EQ(d().value(SettingsKeys::CustomerIDNum), 0);

    // The privacy policy opens in the browser.
    privacy->click();
    ASSERT_EQ(fake.opened.size(), 1);
    EXPECT_EQ(fake.opened[0].host(), QStringLiteral("127.0.0.1"));
}

TEST_F(Preferences, ADeadServerIsReportedAsTheSystemSaysIt)
{
    FakeSync fake;
    fake.install();
    quint16 port = 0;
    {
        // A port that nobody listens on any more.
        standin_test::Server server;
        port = server.httpPort();
    }
    ASSERT_NE(port, 0);
    d().set(SettingsKeys::ServiceHostAddress, standin_test::serviceHostSetting(port, 1));
    auto alerts = std::make_shared<RecordingAlerts>();
    pageEnv().window.setAlert(alerts.get());
    auto pane = makePage<LoginPreferencesViewController>();
    pane->textField(QStringLiteral("customerID"))->setText(QStringLiteral("demo@quillstead.test"));
    pane->onResetPassword();
    auto* login = pane->findChild<QPushButton*>(QStringLiteral("loginButton"));
    ASSERT_TRUE(TestSupport::waitFor([login] { return login->isEnabled(); }, 20000));
    ASSERT_EQ(alerts->shown().size(), 1);
    EXPECT_TRUE(alerts->shown()[0].messageText.startsWith(QStringLiteral("System reported error: ")));
    EXPECT_EQ(alerts->shown()[0].informativeText,
        QStringLiteral("While asking the server to send your password reset code."));
}

}  // namespace

#include <QSlider>

#include <algorithm>

namespace {

QVariantMap snapshotOfDefaults(UserDefaults& d)
{
    QVariantMap all;
    QStringList keys = d.registeredDefaults().keys() + d.storedKeys();
    for (const QString& k : keys)
        all.insert(k, d.objectForKey(k));
    return all;
}

QStringList changedKeys(const QVariantMap& before, const QVariantMap& after)
{
    QStringList out;
    for (auto it = after.begin(); it != after.end(); ++it)
        if (before.value(it.key()) != it.value())
            out << it.key();
    return out;
}

TEST_F(Preferences, EveryControlOfEveryPaneWritesItsDefault)
{
    FakeSync fake;
    fake.install();
    d().set(SettingsKeys::AutoSyncEnabled, true);
    for (const QString& id : SettingsPages::identifiers()) {
        std::unique_ptr<PreferencesViewController> p(SettingsPages::make(pageEnv(), id));
        p->show();
        const std::string where = p->identifier().toStdString();
        for (QCheckBox* box : p->findChildren<QCheckBox*>()) {
            const QVariantMap before = snapshotOfDefaults(d());
            box->click();
            EXPECT_FALSE(changedKeys(before, snapshotOfDefaults(d())).isEmpty())
                << where << " " << box->objectName().toStdString();
            box->click();
        }
        for (QComboBox* combo : p->findChildren<QComboBox*>()) {
            if (!combo->isEnabled() || combo->count() < 2)
                continue;  // a list with one choice (no fonts, no books) changes nothing
            const int other = combo->currentIndex() == combo->count() - 1 ? 0 : combo->count() - 1;
            const QVariantMap before = snapshotOfDefaults(d());
            combo->setCurrentIndex(other);
            emit combo->activated(other);
            EXPECT_FALSE(changedKeys(before, snapshotOfDefaults(d())).isEmpty())
                << where << " " << combo->objectName().toStdString();
        }
        for (QLineEdit* field : p->findChildren<QLineEdit*>()) {
            if (field->property("account").toBool() || !field->objectName().size() || field->parent() != p.get())
                continue;  // account fields are sent, not kept; a combo box's own editor is not a control
            const QVariantMap before = snapshotOfDefaults(d());
            field->setText(
                field->objectName() == QLatin1String("lineHeight") ? QStringLiteral("2.25") : QStringLiteral("37"));
            emit field->editingFinished();
            EXPECT_FALSE(changedKeys(before, snapshotOfDefaults(d())).isEmpty())
                << where << " " << field->objectName().toStdString();
        }
        for (QSlider* slider : p->findChildren<QSlider*>()) {
            const QVariantMap before = snapshotOfDefaults(d());
            slider->setValue(slider->value() == slider->maximum() ? slider->minimum() : slider->maximum());
            EXPECT_FALSE(changedKeys(before, snapshotOfDefaults(d())).isEmpty())
                << where << " " << slider->objectName().toStdString();
        }
    }
}

}  // namespace

namespace {
// The application's one synthesizer, recording what it is asked.
class RecordingVoice : public SpeechSynthesizer {
public:
    void speak(const QString& text) override
    {
        spoken << QStringLiteral("%1@%2:%3").arg(m_voice).arg(m_rate).arg(text.left(8));
        m_speaking = true;
    }
    void stop() override
    {
        ++stops;
        m_speaking = false;
        notifyFinished(false);
    }
    bool isSpeaking() const override { return m_speaking; }
    QString voice() const override { return m_voice; }
    void setVoice(const QString& voice) override { m_voice = voice; }
    double rate() const override { return m_rate; }
    void setRate(double wordsPerMinute) override { m_rate = wordsPerMinute; }
    void finish()
    {
        m_speaking = false;
        notifyFinished(true);
    }

    QStringList spoken;
    int stops = 0;

private:
    QString m_voice;
    double m_rate = 0;
    bool m_speaking = false;
};
}  // namespace

TEST_F(Preferences, VoicePropertiesAndTestSpeakThroughTheSharedSynthesizer)
{
    auto savedLister = VoicesPreferencesViewController::voiceLister();
    VoicesPreferencesViewController::voiceLister() = [] {
        return QList<SpeechVoice> {{"Kate", "en_GB"}, {"Alex", "en_US"}, {"Jorge", "es_ES"}, {"Odd", "el_GR"}};
    };
    d().set(SettingsKeys::VoiceEN, QStringLiteral("Kate"));
    d().set(SettingsKeys::VoiceES, QStringLiteral("Nobody"));
    d().set(SettingsKeys::VoiceENRate, 250);
    auto recording = std::make_shared<RecordingVoice>();
    // The page speaks through the window's one synthesizer, here the recording one.
    SharedSpeechSynthesizer shared([recording](const QString&) { return recording; });
    ASSERT_EQ(shared.currentOrCreate(QString()), recording);
    pageEnv().window.speech = &shared;
    {
        auto voices = makePage<VoicesPreferencesViewController>();
        // A voice the system does not know has no properties.
        EXPECT_EQ(voices->findChild<QLabel*>(QStringLiteral("esVoiceProperties"))->text(), QString());
        // What the properties say for each kind of voice the engine has.
        for (const auto& [v, locale] : QtSpeechSynthesizer::installedVoices()) {
            d().set(SettingsKeys::VoiceEL, v.name());
            const QString text = voices->voicePropertiesForVoiceWithKey(SettingsKeys::VoiceEL);
            if (QtSpeechSynthesizer::gender(v) == QVoice::Female)
                EXPECT_EQ(text, QStringLiteral("Female, Age ") + QVoice::ageName(v.age()));
            else if (QtSpeechSynthesizer::gender(v) == QVoice::Male)
                EXPECT_EQ(text, QStringLiteral("Male, Age ") + QVoice::ageName(v.age()));
            else
                EXPECT_EQ(text, QStringLiteral("Neutral or Novelty"));
        }
        // flite calls every voice male; its "slt" is a woman's voice.
        for (const auto& [v, locale] : QtSpeechSynthesizer::installedVoices())
            if (v.name() == QStringLiteral("slt")) {
                d().set(SettingsKeys::VoiceEL, v.name());
                EXPECT_EQ(voices->voicePropertiesForVoiceWithKey(SettingsKeys::VoiceEL),
                    QStringLiteral("Female, Age ") + QVoice::ageName(v.age()));
            }
        d().set(SettingsKeys::VoiceEL, QString());
        EXPECT_EQ(voices->voicePropertiesForVoiceWithKey(SettingsKeys::VoiceEL), QString());

        // A pane was reading: the test takes the synthesizer over, stops the reading and speaks
        // after a moment, in the chosen voice and rate.
        bool paneTold = false;
        recording->setFinishedHandler([&](bool) { paneTold = true; }, &paneTold);
        recording->speak(QStringLiteral("Genesis"));
        voices->voiceTestButton(QStringLiteral("en"))->click();
        EXPECT_EQ(recording->stops, 1);
        EXPECT_FALSE(paneTold);
        EXPECT_TRUE(QTest::qWaitFor([&] { return recording->spoken.size() == 2; }));
        EXPECT_EQ(recording->spoken.value(1), QStringLiteral("Kate@250:For God "));
        // Stop Speaking, which stops the shared synthesizer, stops the test.
        recording->stop();
        EXPECT_FALSE(recording->isSpeaking());
        EXPECT_EQ(recording->handlerOwner(), nullptr);
        // A test that ends lets go of the synthesizer.
        voices->voiceTestButton(QStringLiteral("en"))->click();
        EXPECT_NE(recording->handlerOwner(), nullptr);
        recording->finish();
        EXPECT_EQ(recording->handlerOwner(), nullptr);
    }
    pageEnv().window.speech = nullptr;
    VoicesPreferencesViewController::voiceLister() = savedLister;
}
