#include "reports/ui/AutostudyCSSEditorWindowController.h"

#include "platform/AppFolders.h"
#include "platform/RecordingAlerts.h"
#include "reports/AutoStudyCSS.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTextEdit>

namespace {

class CSSEditor : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        const QDir home(TestSupport::startApplication("autostudy-css-editor-test", TestSupport::Web::None));
        s_alerts = std::make_shared<RecordingAlerts>();
        // The process's alerts: the editor asks through the ones it is given, never these.
        s_processAlerts = &TestSupport::programAlerts();
    }

    void SetUp() override
    {
        s_alerts->clear();
        QFile::remove(AutoStudyCSS::userCopyPath());
    }

    static QString userCopy()
    {
        QFile f(AutoStudyCSS::userCopyPath());
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    static void edit(AutostudyCSSEditorWindowController& editor, const QString& text)
    {
        editor.textView()->selectAll();
        editor.textView()->insertPlainText(text);
    }

    void TearDown() override { EXPECT_TRUE(s_processAlerts->shown().isEmpty()); }

    static inline std::shared_ptr<RecordingAlerts> s_alerts;
    static inline RecordingAlerts* s_processAlerts = nullptr;
};

TEST_F(CSSEditor, SaveIsOfferedOnlyForUnsavedEditsAndWritesTheUserCopy)
{
    AutoStudyCSS css;
    AutostudyCSSEditorWindowController editor(*s_alerts, &css);
    EXPECT_EQ(editor.textView()->toPlainText(), css.defaultCSSString());
    EXPECT_FALSE(editor.saveChangesButton()->isEnabled());
    EXPECT_FALSE(editor.isWindowModified());
    editor.show();
    QDir().mkpath(QStringLiteral(QS_BINARY_DIR "/screenshots"));
    EXPECT_TRUE(editor.grab().save(QStringLiteral(QS_BINARY_DIR "/screenshots/autostudy-style-editor.png")));

    // The unchanged default saved: no file.
    editor.onSaveChanges();
    EXPECT_FALSE(QFile::exists(AutoStudyCSS::userCopyPath()));

    const QString mine = QStringLiteral("<style>.title {color:#800000;}</style>");
    edit(editor, mine);
    EXPECT_TRUE(editor.isWindowModified());
    EXPECT_TRUE(editor.saveChangesButton()->isEnabled());
    editor.saveChangesButton()->click();
    EXPECT_FALSE(editor.saveChangesButton()->isEnabled());
    EXPECT_EQ(userCopy(), mine);
    // Every later report reads the saved text.
    AutoStudyCSS other;
    EXPECT_EQ(other.cssString(), mine);

    // Saving the default text again deletes the user copy.
    edit(editor, css.defaultCSSString());
    editor.onSaveChanges();
    EXPECT_FALSE(QFile::exists(AutoStudyCSS::userCopyPath()));
    EXPECT_FALSE(editor.isWindowModified());
    EXPECT_TRUE(s_alerts->shown().isEmpty());
}

TEST_F(CSSEditor, ClosingWithEditsAsksToSaveDiscardOrGoOnEditing)
{
    AutoStudyCSS css;
    const QString saved = QStringLiteral("<style>.subtitle {font-weight:bold;}</style>");
    QString why;
    ASSERT_TRUE(css.saveCSSEditorContents(saved, why));

    AutostudyCSSEditorWindowController editor(*s_alerts, &css);
    editor.show();
    EXPECT_EQ(editor.textView()->toPlainText(), saved);
    // Nothing edited: closes without asking.
    {
        AutostudyCSSEditorWindowController quiet(*s_alerts, &css);
        quiet.show();
        EXPECT_TRUE(quiet.onCancel());
        EXPECT_FALSE(quiet.isVisible());
        EXPECT_TRUE(s_alerts->shown().isEmpty());
    }

    edit(editor, QStringLiteral("<style>.subtitle {color:red;}</style>"));
    s_alerts->queueAnswer(AlertThirdButtonReturn);  // Cancel: go on editing
    editor.close();
    ASSERT_EQ(s_alerts->shown().size(), 1);
    EXPECT_EQ(
        s_alerts->shown()[0].messageText, QStringLiteral("Are you sure you want to leave without saving changes?"));
    EXPECT_EQ(s_alerts->shown()[0].buttons,
        (QStringList {QStringLiteral("Save"), QStringLiteral("Discard"), QStringLiteral("Cancel")}));
    EXPECT_TRUE(editor.isVisible());
    EXPECT_EQ(editor.textView()->toPlainText(), QStringLiteral("<style>.subtitle {color:red;}</style>"));

    s_alerts->queueAnswer(AlertSecondButtonReturn);  // Discard
    EXPECT_TRUE(editor.onCancel());
    EXPECT_FALSE(editor.isVisible());
    EXPECT_EQ(userCopy(), saved);

    AutostudyCSSEditorWindowController again(*s_alerts, &css);
    again.show();
    edit(again, QStringLiteral("<style>.bibleref {font-style:italic;}</style>"));
    s_alerts->queueAnswer(AlertFirstButtonReturn);  // Save
    again.reject();                                 // Escape
    EXPECT_FALSE(again.isVisible());
    EXPECT_EQ(userCopy(), QStringLiteral("<style>.bibleref {font-style:italic;}</style>"));
}

TEST_F(CSSEditor, RestoringTheDefaultsAsksFirstAndDropsTheUserCopy)
{
    AutoStudyCSS css;
    QString why;
    ASSERT_TRUE(css.saveCSSEditorContents(QStringLiteral("<style>p {margin:1em;}</style>"), why));
    AutostudyCSSEditorWindowController editor(*s_alerts, &css);
    edit(editor, QStringLiteral("half-typed"));

    s_alerts->queueAnswer(AlertSecondButtonReturn);  // No
    editor.onRevertToDefaults();
    EXPECT_EQ(
        s_alerts->shown().last().messageText, QStringLiteral("Are you sure you want to restore the default styles?"));
    EXPECT_TRUE(QFile::exists(AutoStudyCSS::userCopyPath()));
    EXPECT_EQ(editor.textView()->toPlainText(), QStringLiteral("half-typed"));
    EXPECT_TRUE(editor.isWindowModified());

    s_alerts->queueAnswer(AlertFirstButtonReturn);  // Yes
    editor.onRevertToDefaults();
    EXPECT_FALSE(QFile::exists(AutoStudyCSS::userCopyPath()));
    EXPECT_EQ(editor.textView()->toPlainText(), css.defaultCSSString());
    EXPECT_FALSE(editor.isWindowModified());
    EXPECT_FALSE(editor.saveChangesButton()->isEnabled());
}

TEST_F(CSSEditor, AFailedWriteKeepsTheEditsUnsaved)
{
    // A folder where the user copy should be: the write fails.
    ASSERT_TRUE(QDir().mkpath(AutoStudyCSS::userCopyPath()));
    AutoStudyCSS css;
    AutostudyCSSEditorWindowController editor(*s_alerts, &css);
    editor.show();
    edit(editor, QStringLiteral("<style>.title {}</style>"));
    editor.onSaveChanges();
    ASSERT_EQ(s_alerts->shown().size(), 1);
    EXPECT_EQ(s_alerts->shown()[0].messageText, QStringLiteral("The autostudy styles could not be saved."));
    EXPECT_TRUE(editor.isWindowModified());
    EXPECT_TRUE(editor.saveChangesButton()->isEnabled());

    // Save chosen while closing fails too: the editor stays open with the edits.
    s_alerts->queueAnswer(AlertFirstButtonReturn);
    EXPECT_FALSE(editor.onCancel());
    EXPECT_TRUE(editor.isVisible());
    EXPECT_EQ(s_alerts->shown().size(), 3);  // the question, then the failed write again
    QDir(AutoStudyCSS::userCopyPath()).removeRecursively();
    editor.onSaveChanges();
    EXPECT_FALSE(editor.isWindowModified());
    EXPECT_EQ(userCopy(), QStringLiteral("<style>.title {}</style>"));
}

}  // namespace
