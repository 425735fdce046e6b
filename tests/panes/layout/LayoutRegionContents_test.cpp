#include "panes/layout/LayoutRegionContents.h"

#include "panes/layout/LayoutRegionContentItemDescriptor.h"
#include "panes/layout/LayoutRegionContentItemState.h"
#include "panes/layout/LayoutTestSupport.h"
#include "platform/KeyedArchive.h"

#include <gtest/gtest.h>

namespace {

class CountingController : public LayoutRegionContentsViewControllerProtocol {
public:
    explicit CountingController(int* removals) : m_removals(removals) { }
    void makeYourselfCurrent(bool) override { }
    void exitIsImminent() override { }
    bool shouldCaptureHistory() override { return false; }
    void willCaptureHistory() override { }
    void willBeRemovedFromLayoutManager() override { ++*m_removals; }

private:
    int* m_removals;
};

std::unique_ptr<LayoutRegionContentItem> bookItem(qint64 book, const QString& section)
{
    auto state = std::make_unique<LayoutRegionContentItemState>();
    state->setBlock(7);
    state->setSection(42);
    state->setSectionString(section);
    return std::make_unique<LayoutRegionContentItem>(
        std::make_unique<LayoutRegionContentItemDescriptor>(
            SourceTupleID(1, book, 2, 3), QStringLiteral("KJV"), QStringLiteral("King James")),
        std::move(state));
}

QVariant contentsArchive(int version, int items, qint64 index, const QString& kind = QStringLiteral("study"))
{
    KeyedArchiver a(QStringLiteral("LayoutRegionContents"));
    a.encodeInt32(QStringLiteral("version"), version);
    QVariantList list;
    for (int i = 0; i < items; ++i)
        list.append(bookItem(i + 1, QStringLiteral("Gen 1")).get()->encode());
    a.encodeArray(QStringLiteral("items"), list);
    a.encodeInteger(QStringLiteral("currentItemIndex"), index);
    a.encodeString(QStringLiteral("kind"), kind);
    LayoutRegionContentsState state;
    state.setPaneDoesNotReceiveLocationSync(true);
    a.encodeObject(QStringLiteral("state"), state.encode());
    return a.archivedObject();
}

QVariant itemStateArchive(int version)
{
    KeyedArchiver a(QStringLiteral("LayoutRegionContentItemState"));
    a.encodeInt32(QStringLiteral("version"), version);
    a.encodeInteger(QStringLiteral("block"), 12);
    a.encodeInteger(QStringLiteral("section"), 34);
    a.encodeString(QStringLiteral("anchor"), QStringLiteral("from-anchor"));
    a.encodeString(QStringLiteral("sectionString"), QStringLiteral("Ps 23"));
    a.encodeInteger(QStringLiteral("yOffset"), -56);
    a.encodeString(QStringLiteral("gotoAnchor"), QStringLiteral("v4"));
    a.encodeBool(QStringLiteral("doesNotSendLocationSync"), true);
    a.encodeBool(QStringLiteral("doesNotReceiveLocationSync"), true);
    return a.archivedObject();
}

// A record of another pane kind, as the study pane keeps in its single tab.
class OtherPaneState : public LayoutArchivable {
public:
    qint64 selectedTab = 0;
    QString archiveClassName() const override { return QStringLiteral("OtherPaneState"); }
    QVariant encode() const override
    {
        KeyedArchiver a(archiveClassName());
        a.encodeInt32(QStringLiteral("version"), 8);
        a.encodeInt64(QStringLiteral("selectedTabID"), selectedTab);
        return a.archivedObject();
    }
    QString description() const override { return QStringLiteral("other"); }
};

}  // namespace

TEST(LayoutRegionContents, FactoryLookupsAndRemovalNotice)
{
    auto c = LayoutRegionContents::factory();
    EXPECT_TRUE(c->items().empty());
    EXPECT_EQ(c->currentItemIndex(), kLayoutNotFound);
    EXPECT_EQ(c->state(), nullptr);
    EXPECT_EQ(c->viewController(), nullptr);
    c->willBeRemovedFromLayoutManager();  // no controller: nothing happens

    c->items().push_back(bookItem(1, QString()));
    c->items().push_back(bookItem(2, QString()));
    const QString second = c->itemAt(1)->uuidString();
    EXPECT_NE(c->itemAt(0)->uuidString(), second);
    EXPECT_EQ(c->indexOfItemWithUuidString(second), 1u);
    EXPECT_EQ(c->indexOfItemWithUuidString(QStringLiteral("x")), kLayoutNotFound);

    int removals = 0;
    c->setViewController(std::make_unique<CountingController>(&removals));
    c->willBeRemovedFromLayoutManager();
    EXPECT_EQ(removals, 1);
}

TEST(LayoutRegionContentsArchive, RoundTripOfEveryRecord)
{
    auto c = LayoutRegionContents::factory();
    c->setKind(QLatin1String(""));
    c->items().push_back(bookItem(5, QStringLiteral("John 3")));
    c->items().push_back(bookItem(6, QStringLiteral("<&> \"quoted\"")));
    c->setCurrentItemIndex(1);
    auto state = std::make_unique<LayoutRegionContentsState>();
    state->setPaneDoesNotSendLocationSync(true);
    c->setState(std::move(state));
    int removals = 0;
    c->setViewController(std::make_unique<CountingController>(&removals));
    c->itemAt(0)->bookState()->setTempHighlightStartSection(3);
    c->itemAt(0)->bookState()->setPageYOffset(99);
    c->itemAt(0)->bookState()->setDirty(true);
    c->itemAt(0)->bookState()->setDoesNotReceiveLocationSync(true);

    EXPECT_EQ(LayoutRegionContents::factory()->encode().toMap().value(QStringLiteral("kind")), QVariant(QString()));
    auto back = LayoutRegionContents::decode(KeyedArchive::fromXml(KeyedArchive::toXml(c->encode())));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->viewController(), nullptr);
    EXPECT_EQ(back->kind(), QLatin1String(""));
    EXPECT_EQ(back->currentItemIndex(), 1u);
    ASSERT_TRUE(back->state());
    EXPECT_TRUE(back->state()->paneDoesNotSendLocationSync());
    EXPECT_FALSE(back->state()->paneDoesNotReceiveLocationSync());
    ASSERT_EQ(back->items().size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        const LayoutRegionContentItem* a = c->itemAt(i);
        const LayoutRegionContentItem* b = back->itemAt(i);
        EXPECT_EQ(a->uuidString(), b->uuidString());
        ASSERT_TRUE(b->bookDescriptor());
        EXPECT_EQ(b->bookDescriptor()->sourceTupleID(), a->bookDescriptor()->sourceTupleID());
        EXPECT_EQ(b->bookDescriptor()->abbreviation(), QStringLiteral("KJV"));
        EXPECT_EQ(b->bookDescriptor()->title(), QStringLiteral("King James"));
        ASSERT_TRUE(b->bookState());
        EXPECT_EQ(b->bookState()->sectionString(), a->bookState()->sectionString());
    }
    // Not archived: the temporary highlight, dirty and the page offset.
    const LayoutRegionContentItemState* s = back->itemAt(0)->bookState();
    EXPECT_EQ(s->tempHighlightStartSection(), 0u);
    EXPECT_EQ(s->pageYOffset(), 0);
    EXPECT_FALSE(s->dirty());
    EXPECT_TRUE(s->doesNotReceiveLocationSync());
    EXPECT_EQ(s->block(), 7);
    EXPECT_EQ(s->section(), 42u);
}

TEST(LayoutRegionContentsArchive, VersionsAndIndexRepair)
{
    auto three = LayoutRegionContents::decode(contentsArchive(4, 3, 5));
    ASSERT_TRUE(three);
    EXPECT_EQ(three->currentItemIndex(), 0u);
    EXPECT_EQ(three->kind(), QStringLiteral("study"));
    ASSERT_TRUE(three->state());
    EXPECT_TRUE(three->state()->paneDoesNotReceiveLocationSync());

    for (qint64 stored : {qint64(0), qint64(2), static_cast<qint64>(kLayoutNotFound)}) {
        auto none = LayoutRegionContents::decode(contentsArchive(4, 0, stored));
        ASSERT_TRUE(none);
        EXPECT_EQ(none->currentItemIndex(), kLayoutNotFound);
    }
    auto negative = LayoutRegionContents::decode(contentsArchive(2, 2, -3));
    ASSERT_TRUE(negative);
    EXPECT_EQ(negative->currentItemIndex(), 0u);

    auto v1 = LayoutRegionContents::decode(contentsArchive(1, 2, 1));
    ASSERT_TRUE(v1);
    EXPECT_EQ(v1->currentItemIndex(), 0u);
    EXPECT_EQ(v1->kind(), QLatin1String(""));
    EXPECT_EQ(v1->state(), nullptr);
    EXPECT_EQ(LayoutRegionContents::decode(contentsArchive(1, 0, 1))->currentItemIndex(), kLayoutNotFound);

    auto v2 = LayoutRegionContents::decode(contentsArchive(2, 2, 1));
    EXPECT_EQ(v2->currentItemIndex(), 1u);
    EXPECT_EQ(v2->kind(), QLatin1String(""));
    auto v3 = LayoutRegionContents::decode(contentsArchive(3, 2, 1));
    EXPECT_EQ(v3->kind(), QStringLiteral("study"));
    EXPECT_EQ(v3->state(), nullptr);

    LogCapture log;
    EXPECT_FALSE(LayoutRegionContents::decode(contentsArchive(5, 2, 1)));
    EXPECT_TRUE(log.contains(QStringLiteral("LayoutRegionContents: unrecognized archive version (5)")));
}

TEST(LayoutRegionContentItemArchive, VersionsAndOtherPaneRecords)
{
    auto item = bookItem(3, QStringLiteral("x"));
    QVariantMap m = item->encode().toMap();
    m.insert(QStringLiteral("version"), qint64(1));
    auto v1 = LayoutRegionContentItem::decode(m);
    ASSERT_TRUE(v1);
    EXPECT_NE(v1->uuidString(), item->uuidString());
    EXPECT_EQ(v1->uuidString().size(), 36);
    EXPECT_EQ(v1->uuidString(), v1->uuidString().toUpper());
    ASSERT_TRUE(v1->bookDescriptor());

    m.insert(QStringLiteral("version"), qint64(3));
    LogCapture log;
    EXPECT_FALSE(LayoutRegionContentItem::decode(m));
    EXPECT_TRUE(log.contains(QStringLiteral("LayoutRegionContentItem: unrecognized archive version (3)")));

    auto other = std::make_unique<OtherPaneState>();
    other->selectedTab = 4;
    LayoutRegionContentItem foreign(nullptr, std::move(other));
    const QVariant archived = foreign.encode();
    auto unregistered = LayoutRegionContentItem::decode(archived);
    ASSERT_TRUE(unregistered);
    EXPECT_EQ(unregistered->state(), nullptr);
    EXPECT_EQ(unregistered->descriptor(), nullptr);

    LayoutArchivable::registerReader(QStringLiteral("OtherPaneState"), [](const QVariant& v) {
        auto s = std::make_unique<OtherPaneState>();
        s->selectedTab = KeyedUnarchiver(v).decodeInt64(QStringLiteral("selectedTabID"));
        return std::unique_ptr<LayoutArchivable>(std::move(s));
    });
    auto registered = LayoutRegionContentItem::decode(archived);
    ASSERT_TRUE(registered);
    auto* state = dynamic_cast<OtherPaneState*>(registered->state());
    ASSERT_TRUE(state);
    EXPECT_EQ(state->selectedTab, 4);
    EXPECT_EQ(registered->bookState(), nullptr);
}

TEST(LayoutRegionContentItemDescriptor, VersionsAndDescription)
{
    LayoutRegionContentItemDescriptor d(
        SourceTupleID(24326, 15185, 1, 1), QStringLiteral("Bibles"), QStringLiteral("All"));
    EXPECT_EQ(
        d.description(), QStringLiteral("{\n   bookID=24326:15185:1:1;\n   abbrev='Bibles';\n   title='All';\n   }"));

    KeyedArchiver v1(QStringLiteral("LayoutRegionContentItemDescriptor"));
    v1.encodeInt32(QStringLiteral("version"), 1);
    v1.encodeInteger(QStringLiteral("pubid"), 7);
    v1.encodeInteger(QStringLiteral("bookid"), 8);
    v1.encodeInteger(QStringLiteral("edition"), 9);
    v1.encodeInteger(QStringLiteral("revision"), 10);
    v1.encodeString(QStringLiteral("abbreviation"), QStringLiteral("A"));
    v1.encodeString(QStringLiteral("title"), QStringLiteral("T"));
    auto old = LayoutRegionContentItemDescriptor::decode(v1.archivedObject());
    EXPECT_EQ(old->sourceTupleID(), SourceTupleID(7, 8, 9, 10));
    EXPECT_EQ(old->abbreviation(), QStringLiteral("A"));

    v1.encodeInt32(QStringLiteral("version"), 3);
    LogCapture log;
    auto unknown = LayoutRegionContentItemDescriptor::decode(v1.archivedObject());
    EXPECT_EQ(unknown->sourceTupleID(), SourceTupleID(0, 0, 0, 0));
    EXPECT_EQ(unknown->title(), QStringLiteral("T"));
    EXPECT_TRUE(log.messages().isEmpty());
}

TEST(LayoutRegionContentItemState, EveryArchiveVersion)
{
    struct Expect {
        int version;
        qint64 block;
        quint64 section;
        const char* sectionString;
        qint64 yOffset;
        const char* gotoAnchor;
        bool flags;
    };
    const Expect cases[] = {
        {1, 0, 1, "", 0, "", false},
        {2, 12, 34, "from-anchor", 0, "", false},
        {3, 12, 34, "from-anchor", -56, "", false},
        {4, 12, 34, "Ps 23", -56, "", false},
        {5, 12, 34, "Ps 23", -56, "v4", false},
        {6, 12, 34, "Ps 23", -56, "v4", true},
        {9, 0, 1, "", 0, "", false},
        {0, 0, 1, "", 0, "", false},
    };
    for (const Expect& e : cases) {
        LogCapture log;
        auto s = LayoutRegionContentItemState::decode(itemStateArchive(e.version));
        ASSERT_TRUE(s);
        EXPECT_EQ(s->block(), e.block) << e.version;
        EXPECT_EQ(s->section(), e.section) << e.version;
        EXPECT_EQ(s->sectionString(), QLatin1String(e.sectionString)) << e.version;
        EXPECT_EQ(s->yOffset(), e.yOffset) << e.version;
        EXPECT_EQ(s->gotoAnchor(), QLatin1String(e.gotoAnchor)) << e.version;
        EXPECT_EQ(s->doesNotSendLocationSync(), e.flags) << e.version;
        EXPECT_EQ(s->doesNotReceiveLocationSync(), e.flags) << e.version;
        EXPECT_EQ(s->tempHighlightStartSection() + s->tempHighlightEndSection(), 0u);
        const bool known = e.version >= 1 && e.version <= 6;
        EXPECT_EQ(log.contains(QStringLiteral("Unrecognized Book Pane archive version (%1)").arg(e.version)), !known)
            << e.version;
    }
}

TEST(LayoutRegionContentItemState, EqualityHashCopyAndClear)
{
    LayoutRegionContentItemState a;
    a.setBlock(3);
    a.setSection(4);
    a.setYOffset(-5);
    a.setSectionString(QStringLiteral("Gen 1"));
    a.setGotoAnchor(QStringLiteral("x"));
    a.setTempHighlightStartSection(8);
    a.setTempHighlightEndSection(9);

    LayoutRegionContentItemState b = a;
    b.setPageYOffset(1000);
    b.setDirty(true);
    b.setDoesNotSendLocationSync(true);
    EXPECT_TRUE(a == b);
    EXPECT_EQ(a.hash(), b.hash());

    quint64 expected = 1;
    for (quint64 v :
        {quint64(3), quint64(4), static_cast<quint64>(qint64(-5)), static_cast<quint64>(qHash(QStringLiteral("Gen 1"))),
            static_cast<quint64>(qHash(QStringLiteral("x"))), quint64(8), quint64(9)})
        expected = expected * 31 + v;
    EXPECT_EQ(a.hash(), expected);

    for (auto change : std::initializer_list<void (*)(LayoutRegionContentItemState&)> {
             [](LayoutRegionContentItemState& s) { s.setBlock(0); },
             [](LayoutRegionContentItemState& s) { s.setSection(0); },
             [](LayoutRegionContentItemState& s) { s.setYOffset(0); },
             [](LayoutRegionContentItemState& s) { s.setSectionString(QString()); },
             [](LayoutRegionContentItemState& s) { s.setGotoAnchor(QStringLiteral("y")); },
             [](LayoutRegionContentItemState& s) { s.setTempHighlightStartSection(0); },
             [](LayoutRegionContentItemState& s) { s.setTempHighlightEndSection(0); }}) {
        LayoutRegionContentItemState c = a;
        change(c);
        EXPECT_FALSE(a == c);
    }
    // A missing string and an empty one are the same text.
    LayoutRegionContentItemState nil, empty;
    empty.setSectionString(QLatin1String(""));
    EXPECT_TRUE(nil == empty);
    EXPECT_EQ(nil.hash(), empty.hash());

    LayoutRegionContentItemState target;
    b.cloneInto(&target);
    EXPECT_EQ(target.pageYOffset(), 1000);
    EXPECT_TRUE(target.dirty());
    EXPECT_TRUE(target == a);
    b.cloneInto(nullptr);
    target.setSectionString(QStringLiteral("changed"));
    EXPECT_EQ(b.sectionString(), QStringLiteral("Gen 1"));

    target.clear();
    EXPECT_EQ(target.block(), 4294967295);
    EXPECT_EQ(target.section(), 0u);
    EXPECT_EQ(target.sectionString(), QLatin1String(""));
    EXPECT_FALSE(target.sectionString().isNull());
    EXPECT_EQ(target.gotoAnchor(), QLatin1String(""));
    EXPECT_EQ(target.tempHighlightEndSection(), 0u);
    EXPECT_FALSE(target.dirty() || target.doesNotSendLocationSync() || target.doesNotReceiveLocationSync());
    EXPECT_EQ(target.pageYOffset(), 0);
    EXPECT_TRUE(target.description().startsWith(QStringLiteral("{block=4294967295; section=0;")));
}

TEST(LayoutRegionContentsState, ArchiveAndDescription)
{
    LayoutRegionContentsState s;
    EXPECT_FALSE(s.paneDoesNotSendLocationSync() || s.paneDoesNotReceiveLocationSync());
    s.setPaneDoesNotReceiveLocationSync(true);
    EXPECT_EQ(s.description(),
        QStringLiteral("{\n   paneDoesNotSendLocationSync=0;\n   paneDoesNotReceiveLocationSync=1;\n   }"));
    auto back = LayoutRegionContentsState::decode(s.encode());
    EXPECT_TRUE(back->paneDoesNotReceiveLocationSync());
    EXPECT_FALSE(back->paneDoesNotSendLocationSync());

    QVariantMap m = s.encode().toMap();
    m.insert(QStringLiteral("version"), qint64(2));
    LogCapture log;
    auto unknown = LayoutRegionContentsState::decode(m);
    EXPECT_FALSE(unknown->paneDoesNotReceiveLocationSync());
    EXPECT_TRUE(log.messages().isEmpty());
}
