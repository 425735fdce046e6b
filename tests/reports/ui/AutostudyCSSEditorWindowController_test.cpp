#include "reports/ui/AutostudyCSSEditorWindowController.h"

#include "platform/AppFolders.h"
#include "platform/ui/WidgetAlerts.h"
#include "reports/AutoStudyCSS.h"
#include "support/RecordingAlerts.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

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

// By the keyboard, with the questions shown as the user sees them: after Save the typing goes on in the
// text, and the question before the defaults come back keeps the user's styles on Return or Space.
TEST_F(CSSEditor, KeysAfterSaveGoToTheTextAndNeverDeleteTheSavedStyles)
{
    WidgetAlerts shownAlerts;
    AutoStudyCSS css;
    AutostudyCSSEditorWindowController editor(shownAlerts, &css);
    editor.show();
    editor.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&editor));
    // Any question that comes up is answered by the key the test plans next, as the user types on.
    QStringList asked;
    QStringList defaults;
    Qt::Key answerWith = Qt::Key_Space;
    QTimer answering;
    QObject::connect(&answering, &QTimer::timeout, [&] {
        // Keys reach the question only once it holds the focus (before that they would go to the
        // editor's window behind it, which no user's keys can reach while the question is up).
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QWidget* focus = QApplication::focusWidget();
        if (box == nullptr || !box->isVisible() || focus == nullptr || (focus != box && !box->isAncestorOf(focus)))
            return;
        asked.append(box->text());
        defaults.append(box->defaultButton() != nullptr ? box->defaultButton()->text() : QString());
        QTest::keyClick(focus, answerWith);
    });
    answering.start(50);
    const auto typed = [](Qt::Key key) {
        if (QWidget* focus = QApplication::focusWidget())
            QTest::keyClick(focus, key);
        else
            ADD_FAILURE() << "no widget has the focus";
    };

    ASSERT_EQ(QApplication::focusWidget(), textView(editor));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral(".title {color:navy;}"));
    const QString mine = shownText(editor);
    ASSERT_EQ(mine, QStringLiteral(".title {color:navy;}"));
    QTest::mouseClick(saveButton(editor), Qt::LeftButton);
    ASSERT_EQ(userCopy(), mine);
    EXPECT_EQ(QApplication::focusWidget(), textView(editor));

    // Space, Space: two blanks in the text, no question, the saved file as it was.
    typed(Qt::Key_Space);
    typed(Qt::Key_Space);
    EXPECT_TRUE(asked.isEmpty()) << asked.join(QStringLiteral(" | ")).toStdString();
    EXPECT_EQ(shownText(editor), mine + QStringLiteral("  "));
    EXPECT_EQ(userCopy(), mine);

    // Restore Defaults pressed by the keyboard: Return, then Space, answer the question with No.
    auto* revert = editor.findChild<QPushButton*>(QStringLiteral("revertButton"));
    ASSERT_NE(revert, nullptr);
    for (const Qt::Key answer : {Qt::Key_Return, Qt::Key_Space}) {
        answerWith = answer;
        // The editor is the active window again once the question has gone.
        editor.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&editor));
        revert->setFocus(Qt::TabFocusReason);
        ASSERT_EQ(QApplication::focusWidget(), revert);
        typed(Qt::Key_Space);
        EXPECT_TRUE(QFile::exists(AutoStudyCSS::userCopyPath()));
    }
    EXPECT_EQ(asked, QStringList(2, QStringLiteral("Are you sure you want to restore the default styles?")));
    EXPECT_EQ(defaults, (QStringList {QStringLiteral("No"), QStringLiteral("No")}));
    EXPECT_EQ(userCopy(), mine);
    EXPECT_EQ(shownText(editor), mine + QStringLiteral("  "));
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
