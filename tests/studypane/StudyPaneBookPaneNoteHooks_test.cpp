// The book panes' note questions and deletion through the study pane's hooks: a verse or a block's
// section tells whether it carries a note, and a deletion removes the note and tells everyone.

#include <gtest/gtest.h>

#include "SubpaneTestSupport.h"
#include "panes/layout/PaneNotifications.h"
#include "studypane/StudyPaneBookPaneHooks.h"
#include "studypane/notes/NoteStore.h"

using namespace SubpaneTest;

TEST(StudyPaneBookPaneNoteHooks, NotesOfVersesAndBlocksAreFoundAndDeleted)
{
    if (world().library == nullptr || !world().kjv)
        GTEST_SKIP() << "the sample library is not built";
    NotificationCenter center;
    StudyPaneEnvironment env;
    env.center = &center;
    env.notes = world().notes;
    StudyPaneBookPaneHooks hooks(env);
    const SourceTuple::Ptr kjv = world().kjv;
    const SourceTuple::Ptr scofield = world().scofield;
    const quint32 key = makeBibleKey(19, 23, 1);
    const quint32 block = scofield->locations().blockForSection(20);
    ASSERT_NE(block, SourceTuple::kNoBlock);
    EXPECT_FALSE(hooks.hasNote(kjv, key, true));
    EXPECT_FALSE(hooks.hasNote(scofield, block, false));
    ASSERT_TRUE(NoteStore(world().notes).save(NoteLocation::bible(key), QStringLiteral("shepherd")));
    ASSERT_TRUE(
        NoteStore(world().notes).save(NoteLocation::book(scofield->sourceTupleID(), 20), QStringLiteral("commentary")));
    EXPECT_TRUE(hooks.hasNote(kjv, key, true));
    EXPECT_TRUE(hooks.hasNote(scofield, block, false));
    EXPECT_FALSE(hooks.hasNote(nullptr, block, false));

    Recorder changes(center, PaneNotifications::qsNotesHaveChangedNotification);
    hooks.deleteNote(kjv, key, kjv->locations().sectionForBibleKey(key), true);
    hooks.deleteNote(scofield, 0, 20, false);
    EXPECT_FALSE(hooks.hasNote(kjv, key, true));
    EXPECT_FALSE(hooks.hasNote(scofield, block, false));
    ASSERT_EQ(changes.posts.size(), 2);
    EXPECT_EQ(changes.posts[0].userInfo.value(QStringLiteral("key")).toUInt(), key);
    EXPECT_EQ(changes.posts[1].userInfo.value(QStringLiteral("section")).toUInt(), 20u);
    EXPECT_TRUE(changes.posts[1].userInfo.value(QStringLiteral("deletedNote")).toBool());
}
