// The list of found sections of the bookmark and highlight sub-panes, without a book: nothing is
// looked up, listed or gone to (the lists over a real book are tested with their sub-panes).

#include <gtest/gtest.h>

#include "SubpaneTestSupport.h"
#include "search/core/BitVector.h"
#include "studypane/StudyPaneSectionList.h"

#include <QTableWidget>

using namespace StudyPaneTest;

TEST(StudyPaneSectionList, WithoutABookNothingIsListedOrChosen)
{
    ensureApplication();
    QWidget root;
    StudyPaneSectionList list;
    list.show(nullptr);  // no table yet: nothing
    QList<int> rows;
    QTableWidget* table = list.makeTable(&root, &root, [&rows](int r) { rows.append(r); });
    bool searched = false;
    list.list(nullptr, [&searched](BitVector&) { searched = true; });
    EXPECT_FALSE(searched);
    EXPECT_TRUE(list.sections().isEmpty());
    EXPECT_EQ(table->rowCount(), 0);
    ASSERT_TRUE(list.header().has_value());
    EXPECT_TRUE(list.header()->isEmpty());
    EXPECT_EQ(table->horizontalHeaderItem(0)->text(), QString());

    int wentTo = 0;
    for (int row : {-1, 0, 5})
        list.activate(row, nullptr, [&wentTo](quint32) { ++wentTo; });
    EXPECT_EQ(wentTo, 0);
    list.resetHeader();
    EXPECT_FALSE(list.header().has_value());
}
