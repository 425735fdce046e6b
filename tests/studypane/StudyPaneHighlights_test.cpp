// The highlight store, its colour menu and the highlights sub-pane on the sample library and a private database: the
// colour menu, style names, highlighting and removing verses (one notification per call, rendered
// verses carry the colour at once), the user's colour names, the pane listing a Bible's verses per
// colour and removing highlights after two confirmations.

#include "SubpaneTestSupport.h"
#include "engine/references/cBibleRef.h"
#include "library/LibraryNotifications.h"
#include "panes/layout/PaneNotifications.h"
#include "studypane/HighlightMenus.h"
#include "studypane/HighlightStore.h"
#include "studypane/StudyPaneHighlightsViewController.h"
#include "studypane/StudyPaneNotifications.h"
#include "studypane/StudyPaneRegionContentItemState.h"
#include "userdata/cHighlightColorNameStg.h"
#include "userdata/cVerseHighlightDoc.h"

#include <QComboBox>
#include <QMenu>
#include <QTableWidget>
#include <QToolButton>

using namespace SubpaneTest;
using Highlights = StudyPaneHighlightsViewController;

namespace {

quint16 backColour(quint32 verse)
{
    std::uint16_t fore = 0, back = 0;
    cVerseHighlightDoc::verseHighlightDocInstance()->getHighlight(cBibleRef(verse), fore, back);
    return back;
}

class HighlightsTest : public SubpaneFixture {
protected:
    void SetUp() override
    {
        SubpaneFixture::SetUp();
        if (IsSkipped())
            return;
        cVerseHighlightDoc::verseHighlightDocInstance()->deleteHighlightsWithColor(-1, false);
        store = HighlightStore(env.center, env.highlights);
        for (quint16 v : HighlightMenus::menuColorValues())
            store.deleteColorName(v);
    }

    HighlightStore store {nullptr, nullptr};
};

}  // namespace

TEST(HighlightNames, StylesAndTableRows)
{
    const HighlightStore store(nullptr, nullptr);
    EXPECT_EQ(HighlightStore::defaultNameForStyle(0x8002), QStringLiteral("Bold"));
    EXPECT_EQ(HighlightStore::defaultNameForStyle(0x8004), QStringLiteral("Italic"));
    EXPECT_EQ(HighlightStore::defaultNameForStyle(0x8008), QStringLiteral("Underline"));
    EXPECT_EQ(HighlightStore::defaultNameForStyle(0x8010), QStringLiteral("Dotted Underline"));
    EXPECT_EQ(HighlightStore::defaultNameForStyle(0x8018), QStringLiteral("Dashed Underline"));
    for (quint32 other : {0x8000u, 0x8001u, 0x8003u, 0x8006u, 0x800Cu, 0x8020u, 0xFFFFu, 5u})
        EXPECT_TRUE(HighlightStore::defaultNameForStyle(other).isEmpty()) << other;
    EXPECT_EQ(store.nameForColorValue(0, true), QStringLiteral("<default>"));
    EXPECT_EQ(store.nameForColorValue(84, true), QStringLiteral("Yellow"));
    EXPECT_EQ(store.nameForColorValue(0x8010, true), QStringLiteral("Dotted Underline"));
    EXPECT_TRUE(store.nameForColorValue(141, true).isEmpty());
}

TEST_F(HighlightsTest, TheColourMenuOffersNineteenValuesWithSwatches)
{
    QMenu menu;
    QVariantMap chosen;
    HighlightMenus::populate(&menu, store, HighlightMenus::kOptionAnyColor | HighlightMenus::kOptionRemoveHighlight,
        [&](const QVariantMap& p) { chosen = p; });
    const QList<QAction*> items = menu.actions();
    ASSERT_EQ(items.size(), 21);
    const QStringList expected {"Any Color", "Yellow", "Khaki", "Hot Pink", "Pink", "Cornflower Blue", "Light Blue",
        "Aqua", "Lime Green", "Pale Green", "Gold", "Goldenrod", "Tan", "Crimson", "Fuchsia", "Salmon", "Silver",
        "Underline", "Dotted Underline", "Dashed Underline", "Remove Highlight"};
    for (int i = 0; i < items.size(); ++i)
        EXPECT_EQ(items[i]->text(), expected[i]);
    const QVariantMap yellow = items[1]->data().toMap();
    EXPECT_EQ(yellow.value("colorID").toUInt(), 84u);
    EXPECT_EQ(yellow.value("bgColor").value<QColor>().name(), QStringLiteral("#ffff00"));
    EXPECT_EQ(yellow.value("underlineStyle").toInt(), 0);
    const QVariantMap salmon = items[15]->data().toMap();
    EXPECT_EQ(salmon.value("bgColor").value<QColor>().name(), QStringLiteral("#fa8072"));
    EXPECT_EQ(items[18]->data().toMap().value("colorID").toUInt(), 0x8010u);
    EXPECT_EQ(items[18]->data().toMap().value("underlineStyle").toInt(), 257);
    EXPECT_EQ(items[19]->data().toMap().value("underlineStyle").toInt(), 513);
    EXPECT_EQ(items[18]->data().toMap().value("bgColor").value<QColor>().alpha(), 0);
    EXPECT_EQ(items[20]->data().toMap().value("colorID").toUInt(), 0u);
    items[5]->trigger();
    EXPECT_EQ(chosen.value("colorID").toUInt(), 34u);
    // Without the options: the 19 values alone.
    HighlightMenus::populate(&menu, store, 0, {});
    EXPECT_EQ(menu.actions().size(), 19);
}

TEST_F(HighlightsTest, HighlightingWritesAndPostsOncePerCall)
{
    Recorder changed(screen->center, PaneNotifications::qsHighlightsHaveChangedNotification);
    store.highlightVerses({}, 84);
    EXPECT_TRUE(changed.posts.isEmpty());

    store.highlightVerses({key(43, 3, 16), key(43, 3, 17)}, 84);
    ASSERT_EQ(changed.posts.size(), 1);
    EXPECT_EQ(changed.posts[0].object, &store);
    EXPECT_EQ(backColour(key(43, 3, 16)), 84);
    EXPECT_EQ(backColour(key(43, 3, 17)), 84);
    // A new colour replaces the old one.
    store.highlightVerses({key(43, 3, 17)}, 0x8008);
    EXPECT_EQ(backColour(key(43, 3, 17)), 0x8008);

    // The rendered verse carries its colour at once (what every pane showing it draws).
    const SourceTuple::Ptr kjv = world().kjv;
    const quint32 block = kjv->locations().blockForSection(kjv->locations().sectionForBibleKey(key(43, 3, 16)));
    const QString html = kjv->locations().htmlTextForBlock(block);
    EXPECT_TRUE(html.contains(QStringLiteral("#FFFF00"), Qt::CaseInsensitive) ||
        html.contains(QStringLiteral("yellow"), Qt::CaseInsensitive))
        << html.left(600).toStdString();

    // Removing verses without highlights succeeds silently and still posts.
    changed.posts.clear();
    store.highlightVerses({key(43, 3, 16), key(1, 1, 1)}, 0);
    EXPECT_EQ(changed.posts.size(), 1);
    EXPECT_EQ(backColour(key(43, 3, 16)), 0);
    EXPECT_EQ(backColour(key(1, 1, 1)), 0);
    EXPECT_FALSE(kjv->locations().htmlTextForBlock(block).contains(QStringLiteral("#FFFF00"), Qt::CaseInsensitive));
}

TEST_F(HighlightsTest, ColourNamesAreTheUsersOwn)
{
    Recorder names(screen->center, StudyPaneNotifications::qsHighlightColorNamesHaveChangedNotification);
    store.renameColor(84, QStringLiteral("Yellow"), QStringLiteral("Yellow"));
    store.renameColor(84, QStringLiteral("Yellow"), QStringLiteral("  Yellow \t"));
    EXPECT_TRUE(names.posts.isEmpty());
    cHighlightColorNameStg rows;
    cHighlightColorNameRecord record;
    EXPECT_FALSE(rows.findColorName(84, true, record));

    store.renameColor(84, QStringLiteral("Yellow"), QStringLiteral(" Promises\n"));
    ASSERT_EQ(names.posts.size(), 1);
    EXPECT_EQ(names.posts[0].object, &store);
    EXPECT_EQ(store.nameForColorValue(84, false), QStringLiteral("Promises"));
    EXPECT_EQ(store.nameForColorValue(84, true), QStringLiteral("Yellow"));
    ASSERT_TRUE(rows.findColorName(84, false, record));
    const std::int64_t recid = record.recid;
    // A second name rewrites the same row, unsynced.
    store.renameColor(84, QStringLiteral("ignored"), QStringLiteral("Covenant"));
    ASSERT_TRUE(rows.findColorName(84, false, record));
    EXPECT_EQ(record.recid, recid);
    EXPECT_EQ(record.serverid, 0);
    QMenu menu;
    HighlightMenus::populate(&menu, store, 0, {});
    EXPECT_EQ(menu.actions()[0]->text(), QStringLiteral("Covenant"));

    // Clearing the field in the pane's prompt brings the default name back.
    makePane(world().kjv);
    pane->makeSubpaneTabCurrent(StudyPaneSubpaneSlots::kHighlightsSubpane);
    auto* sub = static_cast<Highlights*>(pane->subpane(StudyPaneViewController::kHighlightsSubpane));
    pane->state()->highlightPaneSelectedColorEnum = 84;
    sub->populateColorMenu();
    EXPECT_EQ(control<QComboBox>(sub, "colorPopUp")->currentText(), QStringLiteral("Covenant"));
    answers = {QStringLiteral("   ")};
    sub->onRenameHighlightColorButton();
    ASSERT_EQ(prompts.size(), 1);
    EXPECT_EQ(prompts[0].value("default").toString(), QStringLiteral("Covenant"));
    EXPECT_EQ(store.nameForColorValue(84, false), QStringLiteral("Yellow"));
    EXPECT_EQ(control<QComboBox>(sub, "colorPopUp")->currentText(), QStringLiteral("Yellow"));
    EXPECT_FALSE(rows.findColorName(84, false, record));
    // Cancel changes nothing.
    sub->onRenameHighlightColorButton();
    EXPECT_EQ(store.nameForColorValue(84, false), QStringLiteral("Yellow"));
}

TEST_F(HighlightsTest, ThePaneListsAColoursVersesAndRemovesThem)
{
    store.highlightVerses({key(45, 8, 28), key(1, 1, 1)}, 84);
    store.highlightVerses({key(19, 23, 1)}, 0x8010);
    makePane(world().kjv);
    pane->makeSubpaneTabCurrent(StudyPaneSubpaneSlots::kHighlightsSubpane);
    auto* sub = static_cast<Highlights*>(pane->subpane(StudyPaneViewController::kHighlightsSubpane));
    ASSERT_EQ(pane->subpaneViewController(), sub);
    QComboBox* popup = control<QComboBox>(sub, "colorPopUp");
    QTableWidget* table = control<QTableWidget>(sub, "sectionList");
    auto* rename = control<QToolButton>(sub, "renameColorButton");
    // "Any Color" lists every highlighted verse, colours and styles alike.
    EXPECT_EQ(popup->currentText(), QStringLiteral("Any Color"));
    EXPECT_FALSE(rename->isEnabled());
    ASSERT_EQ(table->rowCount(), 3);
    EXPECT_EQ(table->horizontalHeaderItem(0)->text(), world().kjv->record().name);

    popup->setCurrentIndex(1);
    sub->onColorSelected(1);
    EXPECT_EQ(pane->state()->highlightPaneSelectedColorEnum, 84);
    EXPECT_TRUE(rename->isEnabled());
    ASSERT_EQ(table->rowCount(), 2);
    EXPECT_EQ(table->item(1, 0)->text(),
        world().kjv->words().plainTextSearchResultTitleForSection(
            world().kjv->locations().sectionForBibleKey(key(45, 8, 28))));
    const int dotted = popup->findText(QStringLiteral("Dotted Underline"));
    sub->onColorSelected(dotted);
    ASSERT_EQ(table->rowCount(), 1);
    sub->onColorSelected(1);
    screenshot(QStringLiteral("highlights-subpane.png"));

    Recorder goTo(screen->center, LibraryNotifications::GoToNotification);
    sub->activateRow(1);
    ASSERT_EQ(goTo.posts.size(), 1);
    EXPECT_EQ(GoToRequest::of(goTo.posts[0]).bibleKey, key(45, 8, 28));
    EXPECT_EQ(pane->recentGoToVerseKeys().value(0), key(45, 8, 28));

    // A new highlight shows in the list at once.
    store.highlightVerses({key(43, 1, 1)}, 84);
    EXPECT_EQ(table->rowCount(), 3);

    // Removing one colour asks twice, then removes only that colour.
    alerts->queueAnswer(AlertFirstButtonReturn);
    alerts->queueAnswer(AlertFirstButtonReturn);
    sub->onRemoveHighlightsButton();
    ASSERT_EQ(alerts->shown().size(), 2);
    EXPECT_EQ(alerts->shown()[0].messageText,
        QStringLiteral("Are you sure you want to remove all highlights in this color?"));
    EXPECT_TRUE(alerts->shown()[0].informativeText.contains(QStringLiteral("'Yellow'")));
    EXPECT_EQ(alerts->shown()[1].messageText,
        QStringLiteral("LAST CHANCE: Are you sure you want to remove all highlights in this color?"));
    for (const Alert& asked : alerts->shown())  // Return keeps the highlights
        EXPECT_EQ(asked.effectiveButtons()[asked.effectiveDefaultButton()], QStringLiteral("No"));
    EXPECT_EQ(table->rowCount(), 0);
    EXPECT_EQ(backColour(key(19, 23, 1)), 0x8010);

    // With "Any Color", every highlight goes, also of verses only another Bible shows.
    store.highlightVerses({key(43, 3, 16)}, 7);
    sub->onColorSelected(0);
    alerts->clear();
    alerts->queueAnswer(AlertFirstButtonReturn);
    alerts->queueAnswer(AlertSecondButtonReturn);
    sub->onRemoveHighlightsButton();
    EXPECT_EQ(alerts->shown()[0].messageText, QStringLiteral("Are you sure you want to remove ALL your highlights?"));
    EXPECT_EQ(table->rowCount(), 2);
    alerts->queueAnswer(AlertFirstButtonReturn);
    alerts->queueAnswer(AlertFirstButtonReturn);
    sub->onRemoveHighlightsButton();
    EXPECT_EQ(table->rowCount(), 0);
    EXPECT_EQ(backColour(key(19, 23, 1)), 0);
    EXPECT_EQ(cVerseHighlightDoc::verseHighlightDocInstance()->countHighlights(0, nullptr), 0);
}
