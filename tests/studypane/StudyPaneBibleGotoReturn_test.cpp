// Return in the Bible go-to's reference field moves the Bible once, whether the key comes to the
// field's box (as the window system delivers it) or to the field itself; a Return in the chapter
// or verse pop-ups moves nothing. The field taking the keys readies the pane the go-to will move.

#include "SubpaneTestSupport.h"
#include "library/LibraryNotifications.h"
#include "studypane/StudyPaneBibleGotoViewController.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>

#include <algorithm>

using namespace SubpaneTest;

namespace {

class BibleGotoReturnTest : public SubpaneFixture {
protected:
    StudyPaneBibleGotoViewController* biblePane()
    {
        return static_cast<StudyPaneBibleGotoViewController*>(
            pane->subpane(StudyPaneViewController::kBibleGotoSubpane));
    }
};

void press(QWidget* target, int key)
{
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &event);
}

}  // namespace

TEST_F(BibleGotoReturnTest, OneReturnInTheReferenceFieldIsOneGoTo)
{
    makePane(world().kjv);
    Recorder goTo(screen->center, LibraryNotifications::GoToNotification);
    pane->makeSubpaneTabCurrent(StudyPaneSubpaneSlots::kBibleGotoSubpane);
    // The field taking the keys readies the Bible's pane at once: a reference pasted with its Return
    // leaves no pause in which to ready it.
    ASSERT_EQ(goTo.posts.size(), 1);
    EXPECT_TRUE(GoToRequest::of(goTo.posts[0]).prepareOnly);
    StudyPaneBibleGotoViewController* go = biblePane();
    QComboBox* box = go->verseComboBox();
    ASSERT_NE(box, nullptr);
    // Keys typed go to the box: the field hands its focus to it.
    EXPECT_EQ(box->lineEdit()->focusProxy(), box);
    struct Case {
        QString reference;
        quint32 key;
        bool toTheField;
        int keyCode;
    };
    const Case cases[] = {
        {QStringLiteral("John 3:16"), key(43, 3, 16), false, Qt::Key_Return},
        {QStringLiteral("Psalm 23:1"), key(19, 23, 1), true, Qt::Key_Return},
        {QStringLiteral("Romans 8:28"), key(45, 8, 28), true, Qt::Key_Enter},
        {QStringLiteral("Genesis 1:1"), key(1, 1, 1), false, Qt::Key_Enter},
        // The field again after a key that went to the box: the box's record of the field's key is
        // not left over.
        {QStringLiteral("John 5:1"), key(43, 5, 1), true, Qt::Key_Return},
    };
    for (const Case& c : cases) {
        goTo.posts.clear();
        box->setEditText(c.reference);
        press(c.toTheField ? static_cast<QWidget*>(box->lineEdit()) : box, c.keyCode);
        ASSERT_EQ(goTo.posts.size(), 1) << c.reference.toStdString()
                                        << (c.toTheField ? " to the field" : " to the box");
        EXPECT_EQ(GoToRequest::of(goTo.posts[0]).bibleKey, c.key) << c.reference.toStdString();
    }
    // Other keys still reach the field, whichever way they come.
    box->setEditText(QString());
    QTest::keyClicks(box, QStringLiteral("Ro"));
    QTest::keyClicks(box->lineEdit(), QStringLiteral("m"));
    EXPECT_TRUE(box->lineEdit()->text().startsWith(QStringLiteral("Rom"))) << box->lineEdit()->text().toStdString();
    // They make no go-to (the pane is only readied for one).
    const auto goTos = std::count_if(
        goTo.posts.cbegin(), goTo.posts.cend(), [](const auto& post) { return !GoToRequest::of(post).prepareOnly; });
    EXPECT_EQ(goTos, 1);
}
