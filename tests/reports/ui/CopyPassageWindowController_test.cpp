#include "platform/SettingsKeys.h"
#include "reports/ui/CopyPassageWindowController.h"

#include "library/SourceManager.h"
#include "library/SourceTuple.h"
#include "platform/AppFolders.h"
#include "platform/SettingsRegistry.h"
#include "platform/UserDefaults.h"
#include "support/RecordingAlerts.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QTextBlock>
#include <QTextDocument>

namespace {

// One application, one private home with the KJV and the WEB installed, and defaults of its own.
class CopyPassageDialog : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        const QDir home(TestSupport::startApplication("copy-passage-test", TestSupport::Web::None));
        s_haveBooks = TestSupport::linkSampleBooks(AppFolders::booksDirectory(), {"KJV.tvk", "WEB.tvk"});
        // The dialog's window keeps its choices and asks through alerts of its own, not the process's.
        static UserDefaults windowDefaults(home.filePath(QStringLiteral("window-defaults.ini")));
        SettingsRegistry::registerDefaultsForAllPreferences(windowDefaults);
        s_alerts = std::make_shared<RecordingAlerts>();
        s_processAlerts = &TestSupport::programAlerts();
        s_env.setSettings(&windowDefaults);
        s_env.setAlert(s_alerts.get());
        s_env.setBooks(&SourceManager::singleton());
    }

    void SetUp() override
    {
        if (!s_haveBooks)
            GTEST_SKIP() << "the sample library is not built";
        s_alerts->clear();
        QGuiApplication::clipboard()->clear();
    }

    void TearDown() override { EXPECT_TRUE(s_processAlerts->shown().isEmpty()); }

    static SourceTuple::Ptr bible(const char* abbreviation)
    {
        const auto bibles = SourceManager::singleton().bibleSources();
        for (qint64 i = 0; i < bibles->count(); ++i)
            if (bibles->tupleAtIndex(i)->record().abbr == QLatin1String(abbreviation))
                return bibles->tupleAtIndex(i);
        return nullptr;
    }

    // A control of the dialog, found as the user finds it: by the place it has in the window.
    template <class W> static W* control(QWidget& dialog, const char* name)
    {
        W* found = dialog.findChild<W*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    static QLineEdit* passage(QWidget& dialog) { return control<QLineEdit>(dialog, "passageField"); }
    static QComboBox* popUp(QWidget& dialog, const char* name) { return control<QComboBox>(dialog, name); }
    // Chooses the item of a pop-up that carries a tag.
    static void choose(QWidget& dialog, const char* popUpName, int tag)
    {
        QComboBox* box = popUp(dialog, popUpName);
        const int index = box->findData(tag);
        ASSERT_GE(index, 0) << popUpName << " has no item " << tag;
        box->setCurrentIndex(index);
    }

    static inline bool s_haveBooks = false;
    static inline std::shared_ptr<RecordingAlerts> s_alerts;
    static inline RecordingAlerts* s_processAlerts = nullptr;
    static inline WindowEnvironment s_env;
};

}  // namespace

TEST_F(CopyPassageDialog, OpensWithTheSavedChoicesAndCopiesBothTexts)
{
    const auto kjv = bible("KJV");
    ASSERT_TRUE(kjv);
    UserDefaults& defaults = s_env.settings();
    defaults.set(SettingsKeys::CpBiblePubID, kjv->record().pubID);
    defaults.set(SettingsKeys::CpBibleBookID, kjv->record().bookID);
    defaults.set(SettingsKeys::CpRefLocation, 4);

    CopyPassageWindowController dialog(s_env, {{QStringLiteral("passage"), QStringLiteral("John 11:35")}});
    EXPECT_EQ(passage(dialog)->text(), QStringLiteral("John 11:35"));
    EXPECT_EQ(popUp(dialog, "biblePopUp")->currentText(), kjv->record().name + QStringLiteral(" (KJV)"));
    EXPECT_EQ(popUp(dialog, "referenceLocationPopUp")->currentData().toInt(), 4);
    EXPECT_EQ(popUp(dialog, "referenceFormatPopUp")->currentData().toInt(), 1);

    dialog.show();
    QDir().mkpath(QStringLiteral(QS_BINARY_DIR "/screenshots"));
    dialog.grab().save(QStringLiteral(QS_BINARY_DIR "/screenshots/copy-passage-dialog.png"));

    choose(dialog, "richTextVerseDelimitersPopUp", 2);
    QCheckBox* bold = control<QCheckBox>(dialog, "boldCheckBox");
    ASSERT_FALSE(bold->isChecked());
    bold->click();
    dialog.onCopyPassage();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(s_alerts->shown().isEmpty());

    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->text(), QStringLiteral("[35] Jesus wept. (Jn 11:35)"));
    EXPECT_TRUE(data->html().contains(QStringLiteral("<b>35</b> Jesus wept.")));
    EXPECT_TRUE(data->html().contains(QStringLiteral("<b>(Jn 11:35)</b>")));
    // The choices were saved for Copy Now.
    EXPECT_EQ(defaults.value(SettingsKeys::CpVerseDelimRich), 2);
    EXPECT_TRUE(defaults.value(SettingsKeys::CpRefStyleBold));
}

// A passage across a chapter's heading, with the reference before it on the same line: the pasted rich
// text and the plain text read alike, line by line.
TEST_F(CopyPassageDialog, APassageAcrossAHeadingPastesLineByLine)
{
    const auto kjv = bible("KJV");
    ASSERT_TRUE(kjv);
    CopyPassageWindowController dialog(s_env,
        {{QStringLiteral("passage"), QStringLiteral("Gen 1:31-2:1")},
            {QStringLiteral("bibleTuple"), QVariant::fromValue(kjv)}});
    dialog.show();
    choose(dialog, "referenceLocationPopUp", 2);
    choose(dialog, "plainTextVerseDelimitersPopUp", 4);
    choose(dialog, "richTextVerseDelimitersPopUp", 4);
    dialog.onCopyPassage();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);

    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    const QStringList expected {
        QStringLiteral("(Ge 1:31-2:1) And God saw every thing that he had made, and, behold, it was very good. And the "
                       "evening and the morning were the sixth day."),
        QStringLiteral("Genesis 2"),
        QStringLiteral("Thus the heavens and the earth were finished, and all the host of them.")};
    EXPECT_EQ(data->text().split(QLatin1Char('\n')), expected) << data->text().toStdString();
    QTextDocument pasted;
    pasted.setHtml(data->html());
    QStringList lines;
    for (QTextBlock block = pasted.begin(); block.isValid(); block = block.next())
        if (!block.text().trimmed().isEmpty())
            lines << block.text().trimmed();
    EXPECT_EQ(lines, expected) << data->html().toStdString();
    // The choices were saved; the next tests start from the usual ones.
    for (const char* key : {"cpRefLocation", "cpVerseDelimPlain", "cpVerseDelimRich"})
        s_env.settings().setInteger(1, QString::fromLatin1(key));
}

// The copy keeps the book's paragraphs (KJV John 3:16 and 3:18 open one): the plain text breaks its
// lines where the pasted rich text starts its blocks, before the verse that opens a paragraph.
TEST_F(CopyPassageDialog, AVerseThatOpensAParagraphStartsALineInBothTexts)
{
    const auto kjv = bible("KJV");
    ASSERT_TRUE(kjv);
    CopyPassageWindowController dialog(s_env,
        {{QStringLiteral("passage"), QStringLiteral("John 3:16-18")},
            {QStringLiteral("bibleTuple"), QVariant::fromValue(kjv)}});
    dialog.show();
    dialog.onCopyPassage();
    ASSERT_EQ(dialog.result(), QDialog::Accepted);
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    const QStringList expected {QStringLiteral("(Jn 3:16-18)"),
        QStringLiteral("[16] \u00b6 For God so loved the world, that he gave his only begotten Son, that whosoever "
                       "believeth in him should not perish, but have everlasting life. [17] For God sent not his Son "
                       "into the world to condemn the world; but that the world through him might be saved."),
        QStringLiteral("[18] \u00b6 He that believeth on him is not condemned: but he that believeth not is condemned "
                       "already, because he hath not believed in the name of the only begotten Son of God.")};
    EXPECT_EQ(data->text().split(QLatin1Char('\n')), expected) << data->text().toStdString();
    QTextDocument pasted;
    pasted.setHtml(data->html());
    QStringList blocks;
    for (QTextBlock block = pasted.begin(); block.isValid(); block = block.next())
        if (!block.text().trimmed().isEmpty())
            blocks << block.text().simplified();
    const QStringList starts {QStringLiteral("(Jn 3:16-18)"), QStringLiteral("16 \u00b6 For God so loved"),
        QStringLiteral("18 \u00b6 He that believeth")};
    ASSERT_EQ(blocks.size(), starts.size()) << data->html().toStdString();
    for (qsizetype i = 0; i < blocks.size(); ++i)
        EXPECT_TRUE(blocks[i].startsWith(starts[i])) << blocks[i].toStdString();
    // The verse that goes on with the paragraph is in its block (its number a superscript before it).
    EXPECT_TRUE(blocks[1].contains(QStringLiteral("everlasting life. 17For God sent not his Son")))
        << blocks[1].toStdString();
}

TEST_F(CopyPassageDialog, ARefusedReferenceKeepsTheDialogOpenWithAnAlert)
{
    const auto kjv = bible("KJV");
    ASSERT_TRUE(kjv);
    CopyPassageWindowController dialog(s_env,
        {{QStringLiteral("passage"), QStringLiteral("Tobit 1:1")},
            {QStringLiteral("bibleTuple"), QVariant::fromValue(kjv)}});
    dialog.onCopyPassage();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    ASSERT_EQ(s_alerts->shown().size(), 1);
    EXPECT_EQ(s_alerts->shown().first().messageText, QStringLiteral("Could not find the passage in this Bible."));
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    EXPECT_TRUE(data == nullptr || data->text().isEmpty());

    // A verse the chapter does not have is no copy either; nor is an empty field.
    dialog.show();
    passage(dialog)->setText(QStringLiteral("John 3:99"));
    dialog.onCopyPassage();
    EXPECT_TRUE(dialog.isVisible());
    ASSERT_EQ(s_alerts->shown().size(), 2);
    EXPECT_EQ(s_alerts->shown().last().messageText, QStringLiteral("John 3:99 is not in this Bible."));
    EXPECT_EQ(s_alerts->shown().last().informativeText.contains(QStringLiteral("John 3 ends at verse 36.")), true)
        << s_alerts->shown().last().informativeText.toStdString();
    passage(dialog)->clear();
    dialog.onCopyPassage();
    EXPECT_TRUE(dialog.isVisible());
    ASSERT_EQ(s_alerts->shown().size(), 3);
    EXPECT_EQ(s_alerts->shown().last().messageText, QStringLiteral("Unrecognized verse reference."));
    data = QGuiApplication::clipboard()->mimeData();
    EXPECT_TRUE(data == nullptr || data->text().isEmpty());
}

TEST_F(CopyPassageDialog, CopyNowUsesTheSavedChoicesAndFormat)
{
    const auto web = bible("WEB");
    ASSERT_TRUE(web);
    UserDefaults& defaults = s_env.settings();
    defaults.set(SettingsKeys::CpClipboardFormat, 3);
    defaults.set(SettingsKeys::CpRefLocation, 1);
    defaults.set(SettingsKeys::CpRefDelimPlain, 0);
    // The process's defaults ask for rich text only: the window's choices are the ones that count.
    TestSupport::privateDefaults().set(SettingsKeys::CpClipboardFormat, 2);
    CopyPassageWindowController::copyNow(s_env,
        {{QStringLiteral("passage"), QStringLiteral("Gen 1:1")},
            {QStringLiteral("bibleTuple"), QVariant::fromValue(web)}});
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_FALSE(data->hasHtml());
    EXPECT_EQ(data->text(), QStringLiteral("Ge 1:1\n[1] In the beginning, God created the heavens and the earth."));
    defaults.set(SettingsKeys::CpClipboardFormat, 1);
}
