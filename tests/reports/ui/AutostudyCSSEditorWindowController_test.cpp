#include "reports/ui/AutostudyCSSEditorWindowController.h"

#include "platform/AppFolders.h"
#include "reports/AutoStudyCSS.h"
#include "support/RecordingAlerts.h"

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

    // The editor's text and Save button, found by name as the user finds them by place.
    static QTextEdit* textView(QWidget& editor) { return editor.findChild<QTextEdit*>(QStringLiteral("textView")); }
    static QPushButton* saveButton(QWidget& editor)
    {
        return editor.findChild<QPushButton*>(QStringLiteral("saveChangesButton"));
    }
    static QString shownText(QWidget& editor) { return textView(editor)->toPlainText(); }
    static void edit(QWidget& editor, const QString& text)
    {
        textView(editor)->selectAll();
        textView(editor)->insertPlainText(text);
    }

    void TearDown() override { EXPECT_TRUE(s_processAlerts->shown().isEmpty()); }

    static inline std::shared_ptr<RecordingAlerts> s_alerts;
    static inline RecordingAlerts* s_processAlerts = nullptr;
};

TEST_F(CSSEditor, SaveIsOfferedOnlyForUnsavedEditsAndWritesTheUserCopy)
{
    AutoStudyCSS css;
    AutostudyCSSEditorWindowController editor(*s_alerts, &css);
    EXPECT_EQ(shownText(editor), css.defaultCSSString());
    EXPECT_FALSE(saveButton(editor)->isEnabled());
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
    EXPECT_TRUE(saveButton(editor)->isEnabled());
    saveButton(editor)->click();
    EXPECT_FALSE(saveButton(editor)->isEnabled());
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
    EXPECT_EQ(shownText(editor), saved);
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
    EXPECT_EQ(shownText(editor), QStringLiteral("<style>.subtitle {color:red;}</style>"));

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
    EXPECT_EQ(shownText(editor), QStringLiteral("half-typed"));
    EXPECT_TRUE(editor.isWindowModified());

    s_alerts->queueAnswer(AlertFirstButtonReturn);  // Yes
    editor.onRevertToDefaults();
    EXPECT_FALSE(QFile::exists(AutoStudyCSS::userCopyPath()));
    EXPECT_EQ(shownText(editor), css.defaultCSSString());
    EXPECT_FALSE(editor.isWindowModified());
    EXPECT_FALSE(saveButton(editor)->isEnabled());
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
    EXPECT_TRUE(saveButton(editor)->isEnabled());

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
