// The go-to sub-panes on the sample library: the study pane picks the Bible, book, devotional or
// other form by the active book; the Bible form's pop-ups follow location sync, its completion list
// follows what is typed, typed references in any accepted spelling go there and unknown ones show a
// toast, recent verses show their text; the book forms' outlines (grouped above 125 entries) and
// look-up fields open the chosen entry; the devotional form's catch-up and start-over dialogs move
// the start date and the read marks.

#include "SubpaneTestSupport.h"
#include "engine/foundation/SimpleDate.h"
#include "engine/references/BibleRef.h"
#include "library/GoToRequest.h"
#include "library/LibraryNotifications.h"
#include "panes/layout/PaneNotifications.h"
#include "studypane/BibleVerseTableCellView.h"
#include "studypane/StudyPaneBibleGotoViewController.h"
#include "studypane/StudyPaneBookGotoViewController.h"
#include "studypane/StudyPaneDevoGotoViewController.h"
#include "studypane/StudyPaneHitList.h"
#include "studypane/StudyPaneView.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>
#include <QTextDocument>
#include <QToolButton>
#include <QTreeView>

using namespace SubpaneTest;

namespace {

bool sameDay(const SimpleDate& a, const SimpleDate& b)
{
    return a.year() == b.year() && a.month() == b.month() && a.day() == b.day();
}

SimpleDate daysFromToday(int n)
{
    SimpleDate d;
    d.addDays(n);
    return d;
}

class GotoTest : public SubpaneFixture {
protected:
    StudyPaneBibleGotoViewController* biblePane()
    {
        return static_cast<StudyPaneBibleGotoViewController*>(
            pane->subpane(StudyPaneViewController::kBibleGotoSubpane));
    }
    StudyPaneBookGotoViewController* bookPane()
    {
        return static_cast<StudyPaneBookGotoViewController*>(pane->subpane(StudyPaneViewController::kBookGotoSubpane));
    }
    StudyPaneBookGotoViewController* otherPane()
    {
        return static_cast<StudyPaneBookGotoViewController*>(pane->subpane(StudyPaneViewController::kOtherGotoSubpane));
    }
    StudyPaneDevoGotoViewController* devoPane()
    {
        return static_cast<StudyPaneDevoGotoViewController*>(pane->subpane(StudyPaneViewController::kDevoGotoSubpane));
    }
    void activate(const SourceTuple::Ptr& book, quint64 section = 0)
    {
        activeBook = book;
        screen->center.postNotificationName(PaneNotifications::ThisSourceIsNowActiveNotification, nullptr,
            {{"sourceTuple", bookVariant(book)}, {"section", section}, {"block", qint64(0xFFFFFFFF)}});
    }
    void sync(quint32 bibleKey)
    {
        GoToRequest place;
        place.layoutUuid = screen->layout->uuidString();
        place.sourceTuple = world().kjv;
        place.bibleKey = bibleKey;
        place.postLocationSync(screen->center, nullptr);
    }
};

}  // namespace

TEST(TOCGroups, LevelsAboveOneHundredTwentyFiveAreGrouped)
{
    using B = StudyPaneBookGotoViewController;
    EXPECT_EQ(B::displayedRows(125), 125);
    EXPECT_EQ(B::displayedRows(126), 2);
    EXPECT_EQ(B::displayedRows(250), 3);
    EXPECT_EQ(B::displayedRows(251), 3);
    EXPECT_EQ(B::groupSpan(126, 0), (std::pair<qint64, qint64> {0, 63}));
    EXPECT_EQ(B::groupSpan(126, 1), (std::pair<qint64, qint64> {63, 63}));
    EXPECT_EQ(B::groupSpan(250, 0).second, 83);
    EXPECT_EQ(B::groupSpan(250, 1), (std::pair<qint64, qint64> {83, 83}));
    EXPECT_EQ(B::groupSpan(250, 2), (std::pair<qint64, qint64> {166, 84}));
    EXPECT_EQ(B::groupSpan(251, 0).second, 84);
    EXPECT_EQ(B::groupSpan(251, 2), (std::pair<qint64, qint64> {168, 83}));
    // Every level's groups cover it exactly, none above 125.
    for (qint64 n : {126, 200, 251, 375, 376, 1000, 8674}) {
        qint64 next = 0;
        for (qint64 i = 0; i < B::displayedRows(n); ++i) {
            const auto [first, count] = B::groupSpan(n, i);
            EXPECT_EQ(first, next) << n;
            EXPECT_GT(count, 0) << n;
            EXPECT_LE(count, 125) << n;
            next = first + count;
        }
        EXPECT_EQ(next, n);
    }
}

TEST_F(GotoTest, TheGotoTabFollowsTheKindOfTheActiveBook)
{
    makePane(world().kjv);
    pane->makeSubpaneTabCurrent(StudyPaneSubpaneSlots::kBibleGotoSubpane);
    EXPECT_EQ(pane->subpaneViewController(), pane->subpane(StudyPaneViewController::kBibleGotoSubpane));
    ASSERT_TRUE(world().nave && world().scofield && world().devotional && world().help);
    activate(world().nave);
    EXPECT_EQ(pane->subpaneViewController(), pane->subpane(StudyPaneViewController::kBookGotoSubpane));
    activate(world().devotional);
    EXPECT_EQ(pane->subpaneViewController(), pane->subpane(StudyPaneViewController::kDevoGotoSubpane));
    activate(world().help);
    EXPECT_EQ(pane->subpaneViewController(), pane->subpane(StudyPaneViewController::kOtherGotoSubpane));
    activeBook = nullptr;
    pane->makeSubpaneTabCurrent(StudyPaneSubpaneSlots::kBibleGotoSubpane);
    EXPECT_EQ(pane->subpaneViewController(), pane->subpane(StudyPaneViewController::kBibleGotoSubpane));
    activate(world().help);
    EXPECT_EQ(pane->subpaneViewController(), pane->subpane(StudyPaneViewController::kOtherGotoSubpane));
    // Another layout's pane does not follow.
    Layout* other =
        screen->manager.addLayoutWithDescriptor(QStringLiteral("H1"), LayoutRect {0, 0, 800, 600}, QString());
    screen->manager.setCurrentLayout(other);
    activate(world().kjv);
    EXPECT_EQ(pane->subpaneViewController(), pane->subpane(StudyPaneViewController::kOtherGotoSubpane));
}

TEST_F(GotoTest, BiblePopUpsFollowLocationSync)
{
    makePane(world().kjv);
    pane->makeSubpaneTabCurrent(StudyPaneSubpaneSlots::kBibleGotoSubpane);
    StudyPaneBibleGotoViewController* go = biblePane();
    ASSERT_EQ(go->sourceTuple(), world().kjv);
    auto* bookPopUp = control<QComboBox>(go, "bookPopUp");
    auto* chapterPopUp = control<QComboBox>(go, "chapterPopUp");
    auto* versePopUp = control<QComboBox>(go, "versePopUp");
    sync(key(45, 8, 28));
    EXPECT_EQ(bookPopUp->currentText(), QStringLiteral("Romans"));
    EXPECT_EQ(chapterPopUp->currentText(), QStringLiteral("8"));
    EXPECT_EQ(versePopUp->currentText(), QStringLiteral("28"));
    EXPECT_EQ(chapterPopUp->count(), 16);
    EXPECT_EQ(openedList(versePopUp)->count(), 39);
    EXPECT_EQ(versePopUp->currentText(), QStringLiteral("28"));
    EXPECT_EQ(bookPopUp->itemText(0), QStringLiteral("-- Choose Book --"));
    EXPECT_EQ(bookPopUp->itemData(0).toInt(), -1);
    // The tags are the start sections of books, chapters and verses.
    EXPECT_EQ(quint32(versePopUp->currentData().toInt()), world().kjv->locations().sectionForBibleKey(key(45, 8, 28)));
    // A place inside the last book selects the last book item.
    sync(key(66, 22, 21));
    EXPECT_EQ(bookPopUp->currentIndex(), bookPopUp->count() - 1);
    EXPECT_EQ(chapterPopUp->currentText(), QStringLiteral("22"));
    // Another layout's sync changes nothing.
    GoToRequest elsewhere;
    elsewhere.layoutUuid = QStringLiteral("elsewhere");
    elsewhere.sourceTuple = world().kjv;
    elsewhere.bibleKey = key(1, 1, 1);
    elsewhere.postLocationSync(screen->center, nullptr);
    EXPECT_EQ(chapterPopUp->currentText(), QStringLiteral("22"));

    // Choosing a book, a chapter and a verse goes there.
    Recorder goTo(screen->center, LibraryNotifications::GoToNotification);
    const int john = bookPopUp->findText(QStringLiteral("John"));
    ASSERT_GT(john, 0);
    bookPopUp->setCurrentIndex(john);
    go->onBookSelected(john);
    EXPECT_EQ(chapterPopUp->count(), 21);
    EXPECT_EQ(chapterPopUp->currentText(), QStringLiteral("1"));
    chapterPopUp->setCurrentIndex(2);
    go->onChapterSelected(2);
    EXPECT_EQ(versePopUp->count(), 36);
    versePopUp->setCurrentIndex(15);
    go->onVerseSelected(15);
    ASSERT_EQ(goTo.posts.size(), 1);
    const GoToRequest g = GoToRequest::of(goTo.posts[0]);
    EXPECT_EQ(g.bibleKey, key(43, 3, 16));
    EXPECT_EQ(g.section, world().kjv->locations().sectionForBibleKey(key(43, 3, 16)));
    EXPECT_TRUE(g.sync);
    EXPECT_FALSE(g.activate);
    EXPECT_EQ(g.layoutUuid, screen->layout->uuidString());
    // The placeholder book empties the other two.
    go->onBookSelected(0);
    EXPECT_EQ(chapterPopUp->currentText(), QStringLiteral("Ch"));
    EXPECT_EQ(versePopUp->currentText(), QStringLiteral("Vs"));
    go->onGoToBCVButton();
    EXPECT_EQ(goTo.posts.size(), 1);

    // Syncs within one chapter and on to the next: the verse list is the chapter's each time, also
    // after the placeholder emptied it, whether or not the list was opened in between.
    const auto expectVerse = [&](quint32 verseKey, const QString& verse, int verses, bool open) {
        sync(verseKey);
        EXPECT_EQ(versePopUp->currentText(), verse);
        EXPECT_EQ(quint32(versePopUp->currentData().toInt()), world().kjv->locations().sectionForBibleKey(verseKey));
        if (!open)
            return;
        EXPECT_EQ(openedList(versePopUp)->count(), verses);
        EXPECT_EQ(versePopUp->currentText(), verse);
        EXPECT_EQ(quint32(versePopUp->currentData().toInt()), world().kjv->locations().sectionForBibleKey(verseKey));
    };
    expectVerse(key(43, 3, 16), QStringLiteral("16"), 36, true);
    expectVerse(key(43, 3, 20), QStringLiteral("20"), 36, true);
    expectVerse(key(43, 4, 1), QStringLiteral("1"), 54, false);
    expectVerse(key(43, 4, 7), QStringLiteral("7"), 54, false);
    expectVerse(key(43, 4, 3), QStringLiteral("3"), 54, true);
    go->onBookSelected(0);
    expectVerse(key(43, 4, 2), QStringLiteral("2"), 54, true);
    // The arrow keys step from the shown verse to the next, the list not opened.
    sync(key(43, 6, 9));
    goTo.posts.clear();
    QTest::keyClick(versePopUp, Qt::Key_Down);
    EXPECT_EQ(versePopUp->currentText(), QStringLiteral("10"));
    ASSERT_EQ(goTo.posts.size(), 1);
    EXPECT_EQ(GoToRequest::of(goTo.posts[0]).bibleKey, key(43, 6, 10));
    // A chapter's heading shows its first verse.
    sync(key(43, 5, 0));
    EXPECT_EQ(versePopUp->currentText(), QStringLiteral("1"));
    EXPECT_EQ(openedList(versePopUp)->currentText(), QStringLiteral("1"));
}

TEST_F(GotoTest, TheCompletionListFollowsWhatIsTyped)
{
    makePane(world().kjv);
    pane->makeSubpaneTabCurrent(StudyPaneSubpaneSlots::kBibleGotoSubpane);
    StudyPaneBibleGotoViewController* go = biblePane();
    // Before anything is typed the list is the books; without one the field offers Genesis.
    EXPECT_EQ(go->comboBoxObjectValueForItemAtIndex(0), QStringLiteral("Genesis"));
    // Opening the field's list before typing fills it with the book names.
    go->verseComboBox()->showPopup();
    EXPECT_GE(go->verseComboBox()->count(), 66);
    go->verseComboBox()->hidePopup();
    EXPECT_GE(go->numberOfItemsInComboBox(), 66);
    EXPECT_EQ(go->comboBoxObjectValueForItemAtIndex(100000), QStringLiteral("Revelation"));

    const auto offered = [go] {
        QStringList list;
        for (int i = 0; i < go->verseComboBox()->count(); ++i)
            list.append(go->verseComboBox()->itemText(i));
        return list;
    };
    go->controlTextDidChange(QStringLiteral("Jo"));
    const QStringList jo = offered();
    for (const char* name : {"Job", "Joel", "John", "Jonah", "Joshua"})
        EXPECT_TRUE(jo.contains(QLatin1String(name))) << name;
    for (const QString& s : jo)
        EXPECT_TRUE(s.startsWith(QStringLiteral("Jo"), Qt::CaseInsensitive)) << s.toStdString();
    EXPECT_TRUE(go->comboBoxCompletedString(QStringLiteral("jo")).startsWith(QStringLiteral("Jo")));
    EXPECT_EQ(go->comboBoxIndexOfItemWithStringValue(QStringLiteral("JOHN")), jo.indexOf(QStringLiteral("John")));
    EXPECT_EQ(go->comboBoxIndexOfItemWithStringValue(QStringLiteral("Johnny")), -1);

    go->controlTextDidChange(QStringLiteral("John "));
    EXPECT_EQ(offered().size(), 21);
    EXPECT_TRUE(offered().value(2).contains(QStringLiteral("3")));
    go->controlTextDidChange(QStringLiteral("John 3:"));
    EXPECT_EQ(offered().size(), 36);
    go->controlTextDidChange(QStringLiteral("John 3"));
    EXPECT_EQ(offered(), QStringList {QStringLiteral("John 3")});
    go->controlTextDidChange(QStringLiteral("Zzz"));
    EXPECT_TRUE(offered().isEmpty());

    // Typing into the field completes the book name in place, once the burst of keys has been
    // taken: not once a key.
    QLineEdit* edit = go->verseComboBox()->lineEdit();
    edit->setText(QString());
    const int before = go->completionsRun();
    QTest::keyClicks(edit, QStringLiteral("Rom"));
    EXPECT_EQ(edit->text(), QStringLiteral("Rom"));
    ASSERT_TRUE(waitFor([&] { return edit->text() == QStringLiteral("Romans"); }));
    EXPECT_EQ(edit->selectedText(), QStringLiteral("ans"));
    EXPECT_EQ(go->completionsRun(), before + 1);
    // Typed over the completion, the list follows the whole burst: the verses of the chapter.
    QTest::keyClicks(edit, QStringLiteral("ans 8:"));
    ASSERT_TRUE(waitFor([&] { return go->completionsRun() == before + 2; }));
    EXPECT_TRUE(edit->text().startsWith(QStringLiteral("Romans 8:"))) << edit->text().toStdString();
    EXPECT_EQ(offered().size(), 39);
    QTest::qWait(2 * StudyPaneBibleGotoViewController::kCompleteAfterKeysMs);
    EXPECT_EQ(go->completionsRun(), before + 2);
}

TEST_F(GotoTest, TypedReferencesGoThereOrShowAToast)
{
    makePane(world().kjv);
    pane->makeSubpaneTabCurrent(StudyPaneSubpaneSlots::kBibleGotoSubpane);
    StudyPaneBibleGotoViewController* go = biblePane();
    Recorder goTo(screen->center, LibraryNotifications::GoToNotification);
    for (const QString& text : {QStringLiteral("Jn 3:16"), QStringLiteral("john 3.16"), QStringLiteral("Joh 3:16"),
             QStringLiteral("John 3 16")}) {
        goTo.posts.clear();
        go->doGoToRefInString(text);
        ASSERT_EQ(goTo.posts.size(), 1) << text.toStdString();
        EXPECT_EQ(GoToRequest::of(goTo.posts[0]).bibleKey, key(43, 3, 16)) << text.toStdString();
    }
    EXPECT_EQ(pane->recentGoToVerseKeys(), QList<quint32> {key(43, 3, 16)});
    EXPECT_TRUE(toasts.isEmpty());
    go->verseComboBox()->setEditText(QStringLiteral("Ps 23:1"));
    go->comboBoxAction();
    EXPECT_EQ(pane->recentGoToVerseKeys().value(0), key(19, 23, 1));

    goTo.posts.clear();
    go->doGoToRefInString(QStringLiteral("Hezekiah 3:1"));
    EXPECT_EQ(toasts, QStringList {QStringLiteral("Verse not found (Hezekiah 3:1).")});
    EXPECT_TRUE(goTo.posts.isEmpty());
    EXPECT_EQ(pane->recentGoToVerseKeys().size(), 2);

    // The recent list shows each verse with its text; a verse this Bible lacks says so.
    go->reloadRecentList();
    auto* recent = control<QTableWidget>(go, "recentVerses");
    ASSERT_EQ(recent->rowCount(), 2);
    EXPECT_EQ(
        recent->horizontalHeaderItem(0)->text(), QStringLiteral("Recent Verses - %1").arg(world().kjv->record().name));
    EXPECT_TRUE(recent->item(0, 0)->text().contains(QStringLiteral("23:1")));
    EXPECT_TRUE(
        recent->item(0, 0)->data(BibleVerseTableCellView::HtmlRole).toString().contains(QStringLiteral("shepherd")));
    // What the style sheet hides (Strong's numbers) is not drawn.
    QTextDocument verse;
    verse.setHtml(recent->item(1, 0)->data(BibleVerseTableCellView::HtmlRole).toString());
    EXPECT_TRUE(verse.toPlainText().contains(QStringLiteral("God so loved")));
    EXPECT_FALSE(verse.toPlainText().contains(QStringLiteral("G1063")));
    pane->pushKeyOnRecentStack(key(43, 22, 1), QString());
    go->reloadRecentList();
    EXPECT_TRUE(recent->item(0, 0)
                    ->data(BibleVerseTableCellView::HtmlRole)
                    .toString()
                    .contains(QStringLiteral("<p><i>Verse not found in this Bible.</i></p>")));
    // Painting the list again, or filling it again with the same verses, lays out no verse again.
    recent->grab();
    const int made = StudyPaneHitDelegate::documentsMade();
    go->reloadRecentList();
    for (int i = 0; i < 3; ++i)
        recent->grab();
    EXPECT_EQ(StudyPaneHitDelegate::documentsMade(), made);
    // Choosing a recent verse goes there and moves it to the front; the list follows once the
    // go-to has been drawn.
    goTo.posts.clear();
    go->activateRecentRow(2);
    ASSERT_EQ(goTo.posts.size(), 1);
    EXPECT_EQ(pane->recentGoToVerseKeys().value(0), key(43, 3, 16));
    ASSERT_TRUE(waitFor([&] { return recent->item(0, 0)->text().contains(QStringLiteral("3:16")); }));
    screenshot(QStringLiteral("bible-goto-subpane.png"));

    // The list made narrower between two paints: a verse drawn on one line in the wide list is drawn
    // laid out again at the new width, wrapped onto the cell's lines, never the wide line cut short.
    {
        pane->pushKeyOnRecentStack(key(45, 6, 23), QString());
        go->reloadRecentList();
        ASSERT_TRUE(recent->item(0, 0)->text().contains(QStringLiteral("6:23")));
        QWidget* view = pane->paneView();
        view->show();
        // The lines of ink the first row's verse shows below its title.
        const auto verseLines = [&](int width) {
            view->resize(width, 600);
            for (int i = 0; i < 5; ++i)
                QCoreApplication::processEvents();
            const QImage image = recent->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
            const QRect cell = recent->visualRect(recent->model()->index(0, 0)).adjusted(4, 0, -4, 0);
            QFont bold = recent->font();
            bold.setBold(true);
            const int top = cell.y() + QFontMetrics(bold).height() + 2;
            const QRgb ground = image.pixel(cell.x(), cell.bottom() - 1);
            int lines = 0;
            bool inLine = false;
            for (int y = top; y < cell.bottom(); ++y) {
                bool ink = false;
                for (int x = cell.x(); x <= cell.right() && !ink; ++x)
                    ink = std::abs(qGray(image.pixel(x, y)) - qGray(ground)) > 96;
                lines += ink && !inLine ? 1 : 0;
                inLine = ink;
            }
            return lines;
        };
        ASSERT_EQ(verseLines(900), 1) << "the verse does not fit one line of the wide list";
        EXPECT_EQ(verseLines(260), BibleVerseTableCellView::kTextLines)
            << "the verse is drawn as laid out for the wide list";
        view->resize(320, 600);
    }
}

// A commentary's look-up field goes to the note that covers a typed verse, across a chapter's end as
// within one; it says when no note does; a one-verse note completes as that verse.
TEST_F(GotoTest, ACommentaryGoesToTheNoteCoveringAVerseOrSaysThereIsNone)
{
    ASSERT_TRUE(world().scofield);
    makePane(world().scofield);
    pane->makeSubpaneTabCurrent(StudyPaneSubpaneSlots::kBibleGotoSubpane);
    StudyPaneBookGotoViewController* book = bookPane();
    ASSERT_EQ(book->sourceTuple(), world().scofield);
    auto* lookUp = control<QComboBox>(book, "lookUpField");
    Recorder goTo(screen->center, LibraryNotifications::GoToNotification);
    // In the notes' source the note at Genesis 29:1 is followed by the one at 31:11, and the note at
    // Romans 8:23 by the one at 8:38.
    const std::pair<const char*, const char*> covered[] = {{"Gen 29:20", "Genesis 29:1"},
        {"Genesis 31:10", "Genesis 29:1"}, {"Gen 30:1", "Genesis 29:1"}, {"Romans 8:28", "Romans 8:23"}};
    for (const auto& [typed, note] : covered) {
        goTo.posts.clear();
        lookUp->setEditText(QString::fromLatin1(typed));
        book->comboBoxEnterKey();
        ASSERT_EQ(goTo.posts.size(), 1) << typed;
        EXPECT_EQ(world().scofield->locations().tocNameForSection(
                      quint32(GoToRequest::of(goTo.posts[0]).section.value_or(0))),
            QString::fromLatin1(note))
            << typed;
    }
    EXPECT_TRUE(toasts.isEmpty());
    EXPECT_EQ(book->comboBoxCompletedString(QStringLiteral("Genesis 29:")), QStringLiteral("Genesis 29:1-31:10"));
    EXPECT_EQ(book->comboBoxCompletedString(QStringLiteral("John 3:16")), QStringLiteral("John 3:16"));
    EXPECT_EQ(book->comboBoxIndexOfItemWithStringValue(QStringLiteral("john 3:16")) >= 0, true);

    // Joel's first note is at 1:4: nothing covers 1:2.
    goTo.posts.clear();
    lookUp->setEditText(QStringLiteral("Joel 1:2"));
    book->comboBoxEnterKey();
    EXPECT_TRUE(goTo.posts.isEmpty());
    EXPECT_EQ(toasts, QStringList {QStringLiteral("No note for Joel 1:2.")});
    lookUp->setEditText(QStringLiteral("qqqqxz"));
    book->comboBoxEnterKey();
    EXPECT_TRUE(goTo.posts.isEmpty());
    EXPECT_EQ(toasts.value(1), QStringLiteral("Not found (qqqqxz)."));
}

TEST_F(GotoTest, OutlinesAndLookUpsOpenTheChosenEntry)
{
    ASSERT_TRUE(world().nave && world().treasury);
    makePane(world().nave);
    pane->makeSubpaneTabCurrent(StudyPaneSubpaneSlots::kBibleGotoSubpane);
    StudyPaneBookGotoViewController* book = bookPane();
    ASSERT_EQ(pane->subpaneViewController(), book);
    ASSERT_EQ(book->sourceTuple(), world().nave);
    auto* outline = control<QTreeView>(book, "outline");
    auto* lookUp = control<QComboBox>(book, "lookUpField");
    QAbstractItemModelTester tester(outline->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    TOCItem* root = book->getOrMakeRootTOCItem();
    EXPECT_EQ(root->name, world().nave->record().name);
    const qint64 n = qint64(world().nave->locations().numChildrenOfSection(0));
    ASSERT_GT(n, 0);
    EXPECT_EQ(root->numChildren, StudyPaneBookGotoViewController::displayedRows(n));
    Recorder goTo(screen->center, LibraryNotifications::GoToNotification);
    TOCItem* first = book->child(0, root);
    ASSERT_NE(first, nullptr);
    if (n > 125) {
        // A group row joins its first and last titles and leads to its first entry.
        ASSERT_TRUE(first->isGroup());
        const auto [start, count] = StudyPaneBookGotoViewController::groupSpan(n, 0);
        EXPECT_EQ(first->numChildren, count);
        const quint32 s0 = world().nave->locations().sectionForChild(quint32(start), 0);
        const quint32 sLast = world().nave->locations().sectionForChild(quint32(start + count - 1), 0);
        EXPECT_EQ(first->name,
            QStringLiteral("'%1' to '%2'")
                .arg(world().nave->locations().tocNameForSection(s0),
                    world().nave->locations().tocNameForSection(sLast)));
        EXPECT_EQ(first->section, s0);
        TOCItem* entry = book->child(1, first);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->section, world().nave->locations().sectionForChild(quint32(start + 1), 0));
    }
    // Choosing a row in the outline posts its section.
    outline->setCurrentIndex(outline->model()->index(0, 0));
    ASSERT_EQ(goTo.posts.size(), 1);
    GoToRequest g = GoToRequest::of(goTo.posts[0]);
    EXPECT_EQ(g.section, first->section);
    EXPECT_EQ(g.sourceTuple, world().nave);
    EXPECT_FALSE(g.sync);
    // Rows are cached: asking again gives the same row.
    EXPECT_EQ(book->child(0, root), first);

    // The look-up field over the headwords.
    const int words = book->numberOfItemsInComboBox();
    ASSERT_GT(words, 10);
    const QString word = book->comboBoxObjectValueForItemAtIndex(5);
    EXPECT_EQ(book->comboBoxIndexOfItemWithStringValue(word.toUpper()), 5);
    EXPECT_TRUE(book->comboBoxCompletedString(word.left(3)).startsWith(word.left(3), Qt::CaseInsensitive));
    goTo.posts.clear();
    lookUp->setEditText(word);
    book->comboBoxEnterKey();
    ASSERT_EQ(goTo.posts.size(), 1);
    g = GoToRequest::of(goTo.posts[0]);
    EXPECT_EQ(g.wordSync, word);
    EXPECT_TRUE(g.sync);
    EXPECT_EQ(g.section, world().nave->locations().sectionForSyncString(word));
    goTo.posts.clear();
    lookUp->setEditText(QStringLiteral("qqqqxz"));
    book->comboBoxEnterKey();
    EXPECT_TRUE(goTo.posts.isEmpty());
    screenshot(QStringLiteral("book-goto-subpane.png"));

    // A commentary: the outline of Treasury of David opens its entries.
    activate(world().treasury);
    ASSERT_EQ(book->sourceTuple(), world().treasury);
    TOCItem* psalm = book->child(0, book->getOrMakeRootTOCItem());
    ASSERT_NE(psalm, nullptr);
    goTo.posts.clear();
    book->outlineViewSelectionDidChange(psalm);
    ASSERT_EQ(goTo.posts.size(), 1);
    EXPECT_EQ(GoToRequest::of(goTo.posts[0]).section, psalm->section);
    EXPECT_EQ(GoToRequest::of(goTo.posts[0]).sourceTuple, world().treasury);
    // A Bible leaves the form on its book.
    activate(world().kjv);
    EXPECT_EQ(book->sourceTuple(), world().treasury);
    // The other-books form took the help book only.
    activate(world().help);
    EXPECT_EQ(otherPane()->sourceTuple(), world().help);
    EXPECT_EQ(book->sourceTuple(), world().treasury);
    EXPECT_EQ(control<QComboBox>(otherPane(), "lookUpField"), nullptr);
    EXPECT_GT(otherPane()->getOrMakeRootTOCItem()->numChildren, 0);
}

TEST_F(GotoTest, TheDevotionalListsItsReadingsWhenItBecameActiveBeforeTheTabWasShown)
{
    const SourceTuple::Ptr devo = world().plan;
    ASSERT_TRUE(devo);
    devo->readings().setStartDate(daysFromToday(-4));  // today is reading 5
    // The reader starts on a Bible with Find shown, then opens the devotional: the go-to sub-pane hears
    // of it before its view exists.
    makePane(world().kjv);
    pane->makeSubpaneTabCurrent(StudyPaneSubpaneSlots::kSearchSubpane);
    activate(world().plan);
    StudyPaneDevoGotoViewController* go = devoPane();
    ASSERT_EQ(go->sourceTuple(), devo);
    // Then clicks GoTo.
    pane->paneView()->show();
    QTest::mouseClick(StudyPaneTest::tabButton(pane->paneView(), "goToButton"), Qt::LeftButton);
    ASSERT_EQ(pane->subpaneViewController(), go);
    QTableWidget* table = control<QTableWidget>(go, "readingProgress");
    ASSERT_NE(table, nullptr);
    EXPECT_TRUE(table->isVisible());
    ASSERT_EQ(quint64(table->rowCount()), devo->record().numReadings);
    ASSERT_NE(table->horizontalHeaderItem(0), nullptr);
    EXPECT_EQ(table->horizontalHeaderItem(0)->text(), devo->record().name);
    EXPECT_EQ(table->item(0, 0)->text(),
        devo->readings().dateForReadingNumber(1).stringWithStyle(SimpleDate::kStyleWithWeekday));
    EXPECT_EQ(table->item(4, 0)->text(), SimpleDate().stringWithStyle(SimpleDate::kStyleWithWeekday));
    EXPECT_EQ(table->item(4, 0)->data(ReadingProgressCellView::ReadingNumberRole).toString(),
        QStringLiteral("Reading 5 of %1").arg(devo->record().numReadings));
    // What the reader sees: the rows are drawn with their dates.
    EXPECT_FALSE(table->visualItemRect(table->item(0, 0)).isEmpty());
    screenshot(QStringLiteral("devotional-goto.png"));
    // A row goes to its reading.
    Recorder goTos(screen->center, LibraryNotifications::GoToNotification);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualItemRect(table->item(1, 0)).center());
    ASSERT_EQ(goTos.posts.size(), 1);
    EXPECT_EQ(GoToRequest::of(goTos.posts.first()).section.value_or(0), devo->readings().sectionForReadingNumber(2));
}

TEST_F(GotoTest, CatchingUpOnOrBeforeTheStartDayMarksNothing)
{
    // The schedule starts today and today's reading is read: no reading is scheduled through
    // yesterday, and none but the first through today. Then a start date in the future.
    const SourceTuple::Ptr devo = world().plan;
    ASSERT_TRUE(devo);
    devo->readings().setStartDate(SimpleDate());
    devo->readings().resetProgress();
    devo->readings().toggleReadingNumber(1, true);
    makePane(devo);
    pane->makeSubpaneTabCurrent(StudyPaneSubpaneSlots::kBibleGotoSubpane);
    StudyPaneDevoGotoViewController* go = devoPane();
    ASSERT_EQ(go->sourceTuple(), devo);
    QTableWidget* table = control<QTableWidget>(go, "readingProgress");
    auto shades = [table] {
        QStringList out;
        for (int row = 0; row < table->rowCount(); ++row)
            out << table->item(row, 0)->background().color().name();
        return out;
    };
    const QStringList before = shades();
    ASSERT_NE(before.value(0), before.value(1));
    EXPECT_TRUE(control<QToolButton>(go, "catchUpButton")->isEnabled());

    auto markRead = [&](int endPointIndex) {
        dialogAnswer = [endPointIndex](QDialog& d) {
            auto& c = static_cast<DevotionalCatchUpWindowController&>(d);
            c.findChild<QComboBox*>(QStringLiteral("catchUpMethodPopUp"))->setCurrentIndex(1);
            c.findChild<QComboBox*>(QStringLiteral("endPointPopUp"))->setCurrentIndex(endPointIndex);
            c.onOK();
            return c.result();
        };
        go->onCatchUp();
    };
    const QString yesterday = QStringLiteral("You have already read all readings scheduled through yesterday.");
    const QString today = QStringLiteral("You have already read all readings scheduled through today.");
    markRead(0);
    ASSERT_EQ(alerts->shown().size(), 1);
    EXPECT_EQ(alerts->shown()[0].messageText, yesterday);
    EXPECT_EQ(devo->readings().numReadReadings(), 1u);
    EXPECT_EQ(devo->readings().firstUnreadReadingNumber(), 2u);
    markRead(1);
    ASSERT_EQ(alerts->shown().size(), 2);
    EXPECT_EQ(alerts->shown()[1].messageText, today);
    EXPECT_EQ(devo->readings().numReadReadings(), 1u);
    EXPECT_EQ(shades(), before);

    // Starting in three days, nothing is due yet, through either day.
    devo->readings().resetProgress();
    SimpleDate later;
    later.addDays(3);
    devo->readings().setStartDate(later);
    markRead(0);
    markRead(1);
    ASSERT_EQ(alerts->shown().size(), 4);
    EXPECT_EQ(alerts->shown()[2].messageText, yesterday);
    EXPECT_EQ(alerts->shown()[3].messageText, today);
    EXPECT_EQ(devo->readings().numReadReadings(), 0u);
}

TEST_F(GotoTest, DevotionalCatchUpAndStartOver)
{
    const SourceTuple::Ptr devo = world().plan;
    ASSERT_TRUE(devo);
    ASSERT_GT(devo->record().numReadings, 20u);
    devo->readings().setStartDate(daysFromToday(-9));  // today is reading 10
    devo->readings().resetProgress();
    makePane(devo);
    pane->makeSubpaneTabCurrent(StudyPaneSubpaneSlots::kBibleGotoSubpane);
    StudyPaneDevoGotoViewController* go = devoPane();
    ASSERT_EQ(pane->subpaneViewController(), go);
    ASSERT_EQ(go->sourceTuple(), devo);
    QTableWidget* table = control<QTableWidget>(go, "readingProgress");
    ASSERT_EQ(quint64(table->rowCount()), devo->record().numReadings);
    EXPECT_EQ(table->item(9, 0)->text(), SimpleDate().stringWithStyle(SimpleDate::kStyleWithWeekday));
    EXPECT_EQ(table->item(9, 0)->data(ReadingProgressCellView::ReadingNumberRole).toString(),
        QStringLiteral("Reading 10 of %1").arg(devo->record().numReadings));
    EXPECT_EQ(table->horizontalHeaderItem(0)->text(), devo->record().name);
    EXPECT_TRUE(control<QToolButton>(go, "catchUpButton")->isEnabled());
    EXPECT_EQ(devo->readings().firstUnreadReadingNumber(), 1u);

    Recorder dates(screen->center, PaneNotifications::qsDevotionalStartDateHasChangedNotification);
    Recorder progress(screen->center, LibraryNotifications::DevotionalProgressHasChangedNotification);
    Recorder goTo(screen->center, LibraryNotifications::GoToNotification);
    // Mark read through yesterday: readings 1 to 9.
    dialogAnswer = [](QDialog& d) {
        auto& c = static_cast<DevotionalCatchUpWindowController&>(d);
        auto* method = c.findChild<QComboBox*>(QStringLiteral("catchUpMethodPopUp"));
        auto* endPoint = c.findChild<QComboBox*>(QStringLiteral("endPointPopUp"));
        EXPECT_EQ(method->currentData().toInt(), 1);
        EXPECT_EQ(endPoint->currentData().toInt(), 1);
        method->setCurrentIndex(1);
        EXPECT_EQ(c.findChild<QLabel*>(QStringLiteral("descriptionLabel"))->text(),
            DevotionalCatchUpWindowController::descriptionFor(2, 1));
        c.onOK();
        return c.result();
    };
    go->onCatchUp();
    for (quint32 r = 1; r <= 9; ++r)
        EXPECT_TRUE(devo->readings().isReadingComplete(r)) << r;
    EXPECT_FALSE(devo->readings().isReadingComplete(10));
    EXPECT_EQ(devo->readings().firstUnreadReadingNumber(), 10u);
    EXPECT_EQ(dates.posts.size(), 1);
    ASSERT_EQ(goTo.posts.size(), 1);
    EXPECT_TRUE(GoToRequest::of(goTo.posts[0]).todaysReading);
    EXPECT_NE(table->item(0, 0)->background().color(), table->item(9, 0)->background().color());

    // Again through yesterday: nothing is left to mark.
    go->onCatchUp();
    ASSERT_EQ(alerts->shown().size(), 1);
    EXPECT_EQ(alerts->shown()[0].messageText,
        QStringLiteral("You have already read all readings scheduled through yesterday."));
    EXPECT_EQ(alerts->shown()[0].informativeText, QStringLiteral("Nothing will be changed."));
    EXPECT_EQ(dates.posts.size(), 1);
    EXPECT_EQ(devo->readings().firstUnreadReadingNumber(), 10u);

    // Move the start date through today: reading 10 is scheduled for tomorrow.
    dialogAnswer = [](QDialog& d) {
        auto& c = static_cast<DevotionalCatchUpWindowController&>(d);
        c.findChild<QComboBox*>(QStringLiteral("endPointPopUp"))->setCurrentIndex(1);
        c.onOK();
        return c.result();
    };
    go->onCatchUp();
    EXPECT_TRUE(sameDay(devo->readings().startDate(), daysFromToday(2 - 10)));
    EXPECT_EQ(devo->readings().readingNumberForDate(daysFromToday(1)), 10u);
    EXPECT_EQ(dates.posts.size(), 2);

    // Cancel changes nothing.
    dialogAnswer = [](QDialog& d) {
        static_cast<DevotionalCatchUpWindowController&>(d).onCancel();
        return d.result();
    };
    go->onCatchUp();
    EXPECT_EQ(dates.posts.size(), 2);

    // Start over without clearing keeps the marks and posts only the start date.
    dialogAnswer = [](QDialog& d) {
        auto& s = static_cast<DevotionalStartOverWindowController&>(d);
        EXPECT_TRUE(s.clearAllProgressCheckbox()->isChecked());
        EXPECT_EQ(s.startDateDatePicker()->minimumDate(), QDate::currentDate().addDays(-731));
        EXPECT_EQ(s.startDateDatePicker()->maximumDate(), QDate::currentDate().addDays(731));
        s.clearAllProgressCheckbox()->setChecked(false);
        s.startDateDatePicker()->setDate(QDate::currentDate().addDays(-4));
        s.onOK();
        return s.result();
    };
    go->onStartOver();
    EXPECT_TRUE(sameDay(devo->readings().startDate(), daysFromToday(-4)));
    EXPECT_EQ(devo->readings().firstUnreadReadingNumber(), 10u);
    EXPECT_EQ(dates.posts.size(), 3);
    EXPECT_TRUE(progress.posts.isEmpty());
    // With clearing, every mark goes.
    dialogAnswer = [](QDialog& d) {
        static_cast<DevotionalStartOverWindowController&>(d).onOK();
        return d.result();
    };
    go->onStartOver();
    EXPECT_TRUE(sameDay(devo->readings().startDate(), SimpleDate()));
    EXPECT_EQ(devo->readings().firstUnreadReadingNumber(), 1u);
    EXPECT_EQ(progress.posts.size(), 1);

    // Moving the start date with reading 1 unread through today: tomorrow.
    dialogAnswer = [](QDialog& d) {
        auto& c = static_cast<DevotionalCatchUpWindowController&>(d);
        c.findChild<QComboBox*>(QStringLiteral("endPointPopUp"))->setCurrentIndex(1);
        c.onOK();
        return c.result();
    };
    go->onCatchUp();
    EXPECT_TRUE(sameDay(devo->readings().startDate(), daysFromToday(1)));

    // A row goes to its reading; a reading number below 1 scrolls to the first row.
    goTo.posts.clear();
    go->activateRow(4);
    ASSERT_EQ(goTo.posts.size(), 1);
    EXPECT_EQ(GoToRequest::of(goTo.posts[0]).section, devo->readings().sectionForReadingNumber(5));
    GoToRequest reading;
    reading.layoutUuid = screen->layout->uuidString();
    reading.sourceTuple = devo;
    pane->paneView()->show();
    reading.readingNumber = 30;
    reading.postLocationSync(screen->center, nullptr);
    EXPECT_TRUE(waitFor([table] { return table->rowAt(0) == 29; })) << table->rowAt(0);
    reading.readingNumber = -3;
    reading.postLocationSync(screen->center, nullptr);
    EXPECT_TRUE(waitFor([table] { return table->rowAt(0) == 0; })) << table->rowAt(0);
    screenshot(QStringLiteral("devotional-goto-subpane.png"));
    devo->readings().resetProgress();
}
