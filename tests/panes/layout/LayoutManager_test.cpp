#include "panes/layout/LayoutManager.h"

#include "library/LibraryNotifications.h"
#include "panes/layout/LayoutRegionContentItemDescriptor.h"
#include "panes/layout/LayoutTestSupport.h"
#include "platform/KeyedArchive.h"
#include "platform/NotificationCenter.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace {

constexpr LayoutRect kWindow {0, 0, 1000, 700};

class Controller : public LayoutRegionContentsViewControllerProtocol {
public:
    explicit Controller(QStringList* events, QString name) : m_events(events), m_name(std::move(name)) { }
    void makeYourselfCurrent(bool) override { }
    void exitIsImminent() override { }
    bool shouldCaptureHistory() override { return true; }
    void willCaptureHistory() override { }
    void willBeRemovedFromLayoutManager() override { m_events->append(m_name); }

private:
    QStringList* m_events;
    QString m_name;
};

class LayoutManagerTest : public ::testing::Test {
protected:
    LayoutManagerTest()
    {
        center.addObserver(
            this, LibraryNotifications::qsLayoutManagerAddedOrRemovedLayoutsNotification,
            [this](Notification& n) {
                EXPECT_EQ(n.object, &manager);
                ++posts;
            },
            &manager);
    }

    // n layouts named "0".."n-1", each of one region.
    void addLayouts(int n)
    {
        for (int i = 0; i < n; ++i)
            manager.addLayoutWithDescriptor(QStringLiteral("H1"), kWindow, QString())->setName(QString::number(i));
    }

    NotificationCenter center;
    LayoutManager manager {center};
    int posts = 0;
};

}  // namespace

TEST_F(LayoutManagerTest, AddingAppendsAndOnlyTheFirstBecomesCurrent)
{
    EXPECT_EQ(manager.count(), 0u);
    EXPECT_EQ(manager.currentLayout(), nullptr);
    Layout* first = manager.addLayoutWithDescriptor(QStringLiteral("V12"), kWindow, QString());
    ASSERT_TRUE(first);
    EXPECT_EQ(first->regions().size(), 3u);
    EXPECT_EQ(manager.currentLayout(), first);
    EXPECT_EQ(posts, 1);
    Layout* second = manager.addLayoutWithDescriptor(QStringLiteral("H1"), kWindow, QStringLiteral("study"));
    EXPECT_EQ(manager.count(), 2u);
    EXPECT_EQ(manager.layoutAtIndex(1), second);
    EXPECT_EQ(manager.currentLayout(), first);
    EXPECT_EQ(posts, 2);
    EXPECT_EQ(manager.layoutAtIndex(2), nullptr);
    EXPECT_EQ(manager.findLayoutIndex(second), 1u);
    EXPECT_EQ(manager.findLayoutIndex(nullptr), kLayoutNotFound);
    EXPECT_EQ(manager.layoutWithUuid(second->uuidString()), second);
    EXPECT_EQ(manager.layoutWithUuid(QStringLiteral("none")), nullptr);
    second->setName(QStringLiteral("Study"));
    EXPECT_EQ(manager.layoutAtIndex(0)->name(), QStringLiteral("Untitled Layout"));
    EXPECT_EQ(manager.layoutAtIndex(1)->name(), QStringLiteral("Study"));
    EXPECT_FALSE(manager.setCurrentLayout(Layout::layoutInRect(kWindow, QString()).get()));
    EXPECT_TRUE(manager.setCurrentLayout(second));
    EXPECT_EQ(posts, 2);
}

TEST_F(LayoutManagerTest, DeletingTheCurrentLayoutPassesCurrencyOn)
{
    addLayouts(4);
    manager.setCurrentLayout(manager.layoutAtIndex(2));
    Layout* next = manager.layoutAtIndex(3);
    posts = 0;
    manager.deleteLayoutAtIndex(2);
    EXPECT_EQ(manager.currentLayout(), next);
    EXPECT_EQ(manager.findLayoutIndex(next), 2u);
    EXPECT_EQ(posts, 1);

    // Now the current layout is the last one: the one before it takes over.
    Layout* before = manager.layoutAtIndex(1);
    manager.deleteLayoutAtIndex(2);
    EXPECT_EQ(manager.currentLayout(), before);

    // A layout that is not current goes without changing the current one.
    manager.deleteLayoutAtIndex(0);
    EXPECT_EQ(manager.currentLayout(), before);
    EXPECT_EQ(manager.count(), 1u);

    manager.deleteLayoutAtIndex(1);  // == count: nothing
    EXPECT_EQ(posts, 3);
    manager.deleteLayoutAtIndex(0);
    EXPECT_EQ(manager.currentLayout(), nullptr);
    EXPECT_EQ(manager.count(), 0u);
    EXPECT_EQ(posts, 4);
}

TEST_F(LayoutManagerTest, DeletingTellsEveryPaneOfTheLayout)
{
    QStringList events;
    Layout* l = manager.addLayoutWithDescriptor(QStringLiteral("V11"), kWindow, QString());
    l->contentsAt(0)->setViewController(std::make_unique<Controller>(&events, QStringLiteral("a")));
    l->contentsAt(1)->setViewController(std::make_unique<Controller>(&events, QStringLiteral("b")));
    manager.deleteLayoutAtIndex(0);
    EXPECT_EQ(events, (QStringList {QStringLiteral("a"), QStringLiteral("b")}));
}

TEST_F(LayoutManagerTest, LookupsByViewController)
{
    QStringList events;
    Layout* a = manager.addLayoutWithDescriptor(QStringLiteral("V12"), kWindow, QString());
    Layout* b = manager.addLayoutWithDescriptor(QStringLiteral("V1"), kWindow, QString());
    auto owned = std::make_unique<Controller>(&events, QStringLiteral("x"));
    Controller* vc = owned.get();
    a->contentsAt(2)->setViewController(std::move(owned));
    b->contentsAt(0)->setViewController(std::make_unique<Controller>(&events, QStringLiteral("y")));
    EXPECT_EQ(manager.regionContentsForViewController(vc), a->contentsAt(2));
    EXPECT_EQ(manager.regionForViewController(vc), a->regionAt(2));
    EXPECT_EQ(manager.layoutContainingRegionWithViewController(vc), a);
    EXPECT_EQ(manager.layoutContainingRegionWithViewController(b->contentsAt(0)->viewController()), b);

    Controller stranger(&events, QStringLiteral("z"));
    EXPECT_EQ(manager.regionContentsForViewController(&stranger), nullptr);
    EXPECT_EQ(manager.regionForViewController(&stranger), nullptr);
    EXPECT_EQ(manager.layoutContainingRegionWithViewController(nullptr), nullptr);
}

TEST_F(LayoutManagerTest, SwapAndReplace)
{
    addLayouts(3);
    Layout* zero = manager.layoutAtIndex(0);
    Layout* two = manager.layoutAtIndex(2);
    posts = 0;
    EXPECT_TRUE(manager.swapLayoutAtIndex(0, 2));
    EXPECT_EQ(manager.layoutAtIndex(0), two);
    EXPECT_EQ(manager.layoutAtIndex(2), zero);
    EXPECT_FALSE(manager.swapLayoutAtIndex(0, 3));
    EXPECT_EQ(manager.layoutAtIndex(0), two);

    // The replaced layout was current: the new one is current in its place.
    auto snapshot = Layout::decode(zero->encode());
    Layout* restored = snapshot.get();
    auto replaced = manager.replaceLayoutWithUuid(zero->uuidString(), std::move(snapshot));
    EXPECT_EQ(replaced.get(), zero);
    EXPECT_EQ(manager.layoutAtIndex(2), restored);
    EXPECT_EQ(manager.currentLayout(), restored);
    EXPECT_EQ(
        manager.replaceLayoutWithUuid(QStringLiteral("nobody"), Layout::layoutInRect(kWindow, QString())), nullptr);
    EXPECT_EQ(manager.count(), 3u);
    EXPECT_EQ(posts, 0);
}

TEST_F(LayoutManagerTest, ArchiveFileRoundTrip)
{
    Layout* first = manager.addLayoutWithDescriptor(QStringLiteral("V12"), kWindow, QString());
    first->contentsAt(1)->items().push_back(std::make_unique<LayoutRegionContentItem>(
        std::make_unique<LayoutRegionContentItemDescriptor>(
            SourceTupleID(1, 23, 1, 1), QStringLiteral("H"), QStringLiteral("Help")),
        nullptr));
    first->contentsAt(1)->setCurrentItemIndex(0);
    Layout* second = manager.addLayoutWithDescriptor(QStringLiteral("H1"), kWindow, QString());
    second->addRegionWithDimension(290, LayoutRegion::Left, QStringLiteral("study"), true);
    manager.setCurrentLayout(second);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sub/") + LayoutManager::kArchiveFileName);
    ASSERT_TRUE(manager.writeArchive(path));

    NotificationCenter otherCenter;
    int otherPosts = 0;
    otherCenter.addObserver(this, LibraryNotifications::qsLayoutManagerAddedOrRemovedLayoutsNotification,
        [&otherPosts](Notification&) { ++otherPosts; });
    LayoutManager restored(otherCenter);
    ASSERT_TRUE(restored.readArchive(path));
    EXPECT_EQ(otherPosts, 1);
    ASSERT_EQ(restored.count(), 2u);
    EXPECT_EQ(restored.currentLayout(), restored.layoutAtIndex(1));
    for (quint64 i = 0; i < 2; ++i) {
        EXPECT_EQ(restored.layoutAtIndex(i)->uuidString(), manager.layoutAtIndex(i)->uuidString());
        EXPECT_EQ(restored.layoutAtIndex(i)->regions().size(), manager.layoutAtIndex(i)->regions().size());
    }
    const LayoutRegionContents* c = restored.layoutAtIndex(0)->contentsAt(1);
    ASSERT_EQ(c->items().size(), 1u);
    EXPECT_EQ(c->itemAt(0)->bookDescriptor()->sourceTupleID(), SourceTupleID(1, 23, 1, 1));
    EXPECT_EQ(c->itemAt(0)->state(), nullptr);
    EXPECT_EQ(restored.layoutAtIndex(1)->regionAt(1)->bounds(), (LayoutRect {0, 0, 290, 700}));

    // A write that cannot happen says so.
    LogCapture log;
    EXPECT_FALSE(manager.writeArchive(path + QStringLiteral("/below-a-file.plist")));
    EXPECT_FALSE(log.messages().isEmpty());
}

TEST_F(LayoutManagerTest, BadArchivesLeaveNoLayouts)
{
    addLayouts(2);
    const QVariant good = manager.encode();
    const auto with = [&good](const QString& key, const QVariant& value) {
        QVariantMap m = good.toMap();
        if (value.isValid())
            m.insert(key, value);
        else
            m.remove(key);
        return QVariant(m);
    };

    {
        LayoutManager m(center);
        ASSERT_TRUE(m.decode(with(QStringLiteral("currentLayoutIndex"), qint64(9))));
        EXPECT_EQ(m.currentLayout(), m.layoutAtIndex(0));
        ASSERT_TRUE(m.decode(with(QStringLiteral("currentLayoutIndex"), qint64(1))));
        EXPECT_EQ(m.currentLayout(), m.layoutAtIndex(1));
    }
    const struct {
        QVariant archive;
        QStringList lines;
        bool keepsLayouts = false;
    } cases[] = {
        {with(QStringLiteral("layouts"), QVariantList()),
            {QStringLiteral("LayoutManager: bad archive - version = 1"),
                QStringLiteral("-- no layouts in existing archive")}},
        {with(QStringLiteral("layouts"), QVariant()),
            {QStringLiteral("LayoutManager: bad archive - version = 1"), QStringLiteral("-- layouts array is nil")}},
        {with(QStringLiteral("layouts"), QVariantList {QVariant(1), QVariant(QStringLiteral("x"))}),
            {QStringLiteral("LayoutManager: bad archive - version = 1"),
                QStringLiteral("-- no layouts in existing archive")}},
        {with(QStringLiteral("version"), qint64(2)),
            {QStringLiteral("LayoutManager: unrecognized archive version (2)")}, true},
    };
    for (const auto& c : cases) {
        LayoutManager m(center);
        m.addLayoutWithDescriptor(QStringLiteral("H1"), kWindow, QString());
        LogCapture log;
        EXPECT_FALSE(m.decode(c.archive));
        for (const QString& line : c.lines)
            EXPECT_TRUE(log.contains(line)) << line.toStdString();
        // An archive of another version is not read at all; a bad one empties the manager.
        EXPECT_EQ(m.count(), c.keepsLayouts ? 1u : 0u);
        EXPECT_EQ(m.currentLayout() != nullptr, c.keepsLayouts);
    }
    // One unreadable layout among good ones is left out.
    QVariantList layouts = good.toMap().value(QStringLiteral("layouts")).toList();
    layouts.prepend(QVariant(5));
    LayoutManager partial(center);
    ASSERT_TRUE(partial.decode(with(QStringLiteral("layouts"), layouts)));
    EXPECT_EQ(partial.count(), 2u);
}

TEST_F(LayoutManagerTest, UnreadableFiles)
{
    QTemporaryDir dir;
    addLayouts(1);
    EXPECT_FALSE(manager.readArchive(dir.filePath(QStringLiteral("missing.plist"))));
    EXPECT_EQ(manager.count(), 1u);  // nothing read: left as it was

    const QString garbage = dir.filePath(QStringLiteral("garbage.plist"));
    for (const QByteArray& bytes :
        {QByteArray("\x00\x01garbage", 9), QByteArray("<?xml version=\"1.0\"?><plist><dict>"),
            KeyedArchive::toXml(SourceTupleID(1, 2, 3, 4).encode())}) {
        QFile f(garbage);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
        f.close();
        LogCapture log;
        EXPECT_FALSE(manager.readArchive(garbage));
    }
}
