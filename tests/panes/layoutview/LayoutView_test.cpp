#include "LayoutViewTestSupport.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>

#include <cmath>
#include <string>

namespace {

class LayoutViewTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ensureTestApplication(); }

    void SetUp() override
    {
        ASSERT_TRUE(m_temp.isValid());
        m_defaults = std::make_unique<UserDefaults>(m_temp.filePath(QStringLiteral("defaults.ini")));
        m_view = std::make_unique<LayoutView>(m_manager, m_center, *m_defaults);
        m_view->setPaneFactory(&m_factory);
        m_view->show();  // a hidden widget gets its resize events only when shown
        m_center.addObserver(this, QString(), [this](Notification& n) {
            if (n.name.startsWith(QStringLiteral("Layout")))
                m_posted << n.name + QStringLiteral(" ") + n.userInfo.value(QStringLiteral("layoutUuid")).toString();
        });
    }
    void TearDown() override { m_center.removeObserver(this); }

    Layout* show(const QString& descriptor, int w, int h, bool study = false)
    {
        m_view->resize(w, h);
        Layout* layout =
            m_manager.addLayoutWithDescriptor(descriptor, LayoutRect {0, 0, double(w), double(h)}, QString());
        if (study) {
            LayoutRegion* r =
                layout->addRegionWithDimension(290, LayoutRegion::Left, LayoutRegionContents::kStudyKind, true);
            r->setMinSize(LayoutSize {6, r->minSize().height});
        }
        m_view->setCurrentLayout(layout);
        return layout;
    }

    // Every pane widget sits on its region's bounds, inset at inner dividers, y flipped.
    void expectPanesMatchModel(Layout* layout)
    {
        const double H = m_view->height();
        for (size_t i = 0; i < layout->regions().size(); ++i) {
            LayoutRegion* region = layout->regionAt(i);
            QWidget* view = paneWidget(*layout, i);
            ASSERT_NE(view, nullptr);
            EXPECT_EQ(view->parentWidget(), m_view.get());
            const LayoutRect r = m_view->adjustedBoundsForRegion(region);
            const QRect g = view->geometry();
            EXPECT_EQ(g.left(), std::lround(r.left())) << i;
            EXPECT_EQ(g.left() + g.width(), std::lround(r.right())) << i;
            EXPECT_EQ(g.top(), std::lround(H - r.top())) << i;
            EXPECT_EQ(g.top() + g.height(), std::lround(H - r.bottom())) << i;
        }
    }

    void mouse(QEvent::Type type, QPointF at, Qt::MouseButtons buttons)
    {
        QMouseEvent e(type, at, m_view->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(m_view.get(), &e);
    }

    QTemporaryDir m_temp;
    NotificationCenter m_center;
    LayoutManager m_manager {m_center};
    std::unique_ptr<UserDefaults> m_defaults;
    PaneFactoryDouble m_factory;
    std::unique_ptr<LayoutView> m_view;
    QStringList m_posted;
};

TEST_F(LayoutViewTest, EveryDescriptorPlacesPanesOnTheModelAfterResizes)
{
    for (const QString d : {"H1", "V1", "V2", "H2", "V12", "H21", "V111", "H22", "V321"}) {
        SCOPED_TRACE(d.toStdString());
        Layout* layout = show(d, 900, 700);
        EXPECT_EQ(m_view->tag(), 102359);
        expectPanesMatchModel(layout);
        m_view->resize(1234, 811);
        EXPECT_EQ(layout->bounds(), (LayoutRect {0, 0, 1234, 811}));
        expectPanesMatchModel(layout);
        m_view->resize(640, 480);
        expectPanesMatchModel(layout);
        // Widgets of a layout that is no longer shown are let go.
        m_manager.deleteLayoutAtIndex(0);
    }
}

TEST_F(LayoutViewTest, InsetsLeaveAThreePointLineBetweenNeighbours)
{
    Layout* layout = show(QStringLiteral("H2"), 600, 400);  // side by side
    size_t left = layout->regionAt(0)->bounds().x == 0 ? 0 : 1;
    size_t right = 1 - left;
    const LayoutRect a = m_view->adjustedBoundsForRegion(layout->regionAt(left));
    const LayoutRect b = m_view->adjustedBoundsForRegion(layout->regionAt(right));
    EXPECT_EQ(a.x, 0);  // on the layout's edge: not inset
    EXPECT_EQ(a.y, 0);
    EXPECT_EQ(a.height, 400);
    EXPECT_EQ(b.left() - a.right(), 3);
    EXPECT_EQ(paneWidget(*layout, right)->geometry().left() - paneWidget(*layout, left)->geometry().right() - 1, 3);
    // A side on a treatAsOutside divider is not inset.
    layout->dividerAt(4)->setTreatAsOutside(true);
    EXPECT_EQ(
        m_view->adjustedBoundsForRegion(layout->regionAt(right)).left(), layout->regionAt(right)->bounds().left());
}

TEST_F(LayoutViewTest, DraggingADividerFollowsTheModelWithinItsLimits)
{
    Layout* layout = show(QStringLiteral("H2"), 600, 400);
    LayoutDivider* divider = layout->dividerAt(4);
    ASSERT_TRUE(divider->vertical());
    const double at = divider->at();
    mouse(QEvent::MouseButtonPress, QPointF(at, 200), Qt::LeftButton);
    EXPECT_EQ(m_view->cursor().shape(), Qt::SplitHCursor);
    mouse(QEvent::MouseMove, QPointF(at + 100, 150), Qt::LeftButton);
    EXPECT_EQ(divider->at(), at + 100);
    expectPanesMatchModel(layout);
    // A fast move past the right pane's minimum width stops the divider at that limit, not short of it.
    LayoutRegion* rightPane = layout->regionAt(0)->left() == divider ? layout->regionAt(0) : layout->regionAt(1);
    const double limit = 600 - rightPane->minSize().width;
    mouse(QEvent::MouseMove, QPointF(590, 150), Qt::LeftButton);
    EXPECT_EQ(divider->at(), limit);
    expectPanesMatchModel(layout);
    // And past the left pane's from the other side.
    LayoutRegion* leftPane = rightPane == layout->regionAt(0) ? layout->regionAt(1) : layout->regionAt(0);
    mouse(QEvent::MouseMove, QPointF(3, 150), Qt::LeftButton);
    EXPECT_EQ(divider->at(), leftPane->minSize().width);
    mouse(QEvent::MouseMove, QPointF(at + 100, 150), Qt::LeftButton);
    EXPECT_EQ(divider->at(), at + 100);
    mouse(QEvent::MouseButtonRelease, QPointF(at + 100, 150), Qt::NoButton);
    EXPECT_EQ(m_view->cursor().shape(), Qt::ArrowCursor);
    // The drag ended with the release: a later move leaves the divider.
    mouse(QEvent::MouseMove, QPointF(at - 50, 150), Qt::LeftButton);
    EXPECT_EQ(divider->at(), at + 100);
    const QString uuid = layout->uuidString();
    EXPECT_EQ(m_posted,
        QStringList({"LayoutWillResizePanesNotification " + uuid, "LayoutDidResizePanesNotification " + uuid}));
    // Resizing keeps proportions and the panes follow.
    m_view->resize(900, 500);
    expectPanesMatchModel(layout);

    // A press beside every divider and a release without a drag post nothing.
    m_posted.clear();
    mouse(QEvent::MouseButtonPress, QPointF(50, 50), Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, QPointF(50, 50), Qt::NoButton);
    EXPECT_TRUE(m_posted.isEmpty());
}

TEST_F(LayoutViewTest, AOneRegionLayoutIgnoresMouseDowns)
{
    show(QStringLiteral("H1"), 400, 300);
    mouse(QEvent::MouseButtonPress, QPointF(0, 150), Qt::LeftButton);
    EXPECT_EQ(m_view->cursor().shape(), Qt::ArrowCursor);
    mouse(QEvent::MouseMove, QPointF(100, 150), Qt::LeftButton);
    EXPECT_EQ(m_manager.currentLayout()->outerDivider(LayoutRegion::Left)->at(), 0);
    mouse(QEvent::MouseButtonRelease, QPointF(100, 150), Qt::NoButton);
    EXPECT_TRUE(m_posted.isEmpty());
}

TEST_F(LayoutViewTest, StudyPaneWidthShowAndHide)
{
    Layout* layout = show(QStringLiteral("V1"), 1000, 600, true);
    ASSERT_NE(m_view->studyPaneRegionIndex(), kLayoutNotFound);
    auto* study = dynamic_cast<StudyPaneDouble*>(m_view->studyPane());
    ASSERT_NE(study, nullptr);
    EXPECT_EQ(m_view->studyPaneWidth(), 290);
    EXPECT_TRUE(m_view->isStudyPaneVisible());
    expectPanesMatchModel(layout);

    m_view->setShowStudyPane(false);
    EXPECT_EQ(m_view->studyPaneWidth(), 6);
    EXPECT_FALSE(m_view->isStudyPaneVisible());
    EXPECT_FALSE(study->contentsShown);
    EXPECT_EQ(layout->bounds(), (LayoutRect {0, 0, 1000, 600}));
    expectPanesMatchModel(layout);
    m_view->setShowStudyPane(false);  // already hidden: nothing
    EXPECT_EQ(m_view->studyPaneWidth(), 6);

    m_view->setStudyPaneWidth(99);
    EXPECT_FALSE(m_view->isStudyPaneVisible());
    m_view->setStudyPaneWidth(100);
    EXPECT_TRUE(m_view->isStudyPaneVisible());
    m_view->setShowStudyPane(true);  // already visible: nothing
    EXPECT_EQ(m_view->studyPaneWidth(), 100);
    m_view->setStudyPaneWidth(6);
    m_view->setShowStudyPane(true);
    EXPECT_EQ(m_view->studyPaneWidth(), 290);
    EXPECT_TRUE(study->contentsShown);
    EXPECT_EQ(m_posted.size(), 10);  // five width changes

    // The sub-pane commands reach the study pane.
    m_factory.log.clear();
    m_view->makeStudySubpaneCurrent(0);
    m_view->makeStudySubpaneCurrent(11);
    EXPECT_EQ(m_factory.log, QStringList({"slot 0", "slot 11"}));
}

TEST_F(LayoutViewTest, WithoutAStudyRegionStudyCommandsDoNothing)
{
    show(QStringLiteral("H2"), 600, 400);
    EXPECT_EQ(m_view->studyPaneRegionIndex(), kLayoutNotFound);
    EXPECT_EQ(m_view->studyPaneWidth(), 0);
    m_view->setStudyPaneWidth(200);
    m_view->setShowStudyPane(true);
    m_view->makeStudySubpaneCurrent(0);
    EXPECT_TRUE(m_posted.isEmpty());
    EXPECT_EQ(m_view->searchResultsAggregatorForTuple(SourceTupleID()), nullptr);
}

TEST_F(LayoutViewTest, MakingPanesCurrent)
{
    Layout* layout = show(QStringLiteral("H2"), 900, 600, true);
    auto pane = [&](size_t i) { return dynamic_cast<BookPaneDouble*>(layout->contentsAt(i)->viewController()); };
    const size_t study = m_view->studyPaneRegionIndex();
    ASSERT_EQ(study, 2u);
    m_view->makePaneCurrentWithView(pane(1)->paneView());
    EXPECT_EQ(layout->currentRegionIndex(), 1u);
    EXPECT_TRUE(pane(1)->isCurrent());
    EXPECT_FALSE(pane(0)->isCurrent());
    // The study pane's view is not a book pane's: nothing changes.
    m_factory.log.clear();
    m_view->makePaneCurrentWithView(paneWidget(*layout, study));
    EXPECT_EQ(layout->currentRegionIndex(), 1u);
    EXPECT_TRUE(m_factory.log.isEmpty());
    m_view->makePaneCurrentWithRegion(layout->regionAt(study));
    EXPECT_EQ(layout->currentRegionIndex(), study);
    EXPECT_FALSE(pane(1)->isCurrent());
    EXPECT_EQ(m_factory.log, QStringList({"study current 1"}));
}

TEST_F(LayoutViewTest, ALayoutFileAskingForMinimumsNoScreenHoldsOpensAtAUsableSize)
{
    show(QStringLiteral("V12"), 700, 500);
    const QVariant good = m_manager.encode();
    // The archive as edited by hand: one region's minimum replaced.
    const auto edited = [&good](const QString& key, double value) {
        QVariantMap manager = good.toMap();
        QVariantList layouts = manager.value(QStringLiteral("layouts")).toList();
        QVariantMap layout = layouts.constLast().toMap();  // the "V12" shown
        QVariantList regions = layout.value(QStringLiteral("regions")).toList();
        QVariantMap region = regions.value(1).toMap();
        region.insert(key, value);
        regions[1] = region;
        layout.insert(QStringLiteral("regions"), regions);
        layouts.last() = layout;
        manager.insert(QStringLiteral("layouts"), layouts);
        return QVariant(manager);
    };
    const QSize screen = QGuiApplication::primaryScreen()->availableGeometry().size();
    for (const QString key : {"minwidth", "minheight"}) {
        for (const double value : {1e30, -1.0, std::nan(""), 100000.0, 1e6, -1e30}) {
            SCOPED_TRACE(key.toStdString() + " " + std::to_string(value));
            ASSERT_TRUE(m_manager.decode(edited(key, value)));
            Layout* layout = m_manager.currentLayout();
            m_view->setCurrentLayout(layout);
            m_view->resize(700, 500);
            // Read as the default minimum: the layout needs what it needed before.
            for (const auto& r : layout->regions())
                EXPECT_EQ(r->minSize(), (LayoutSize {100, 100}));
            EXPECT_EQ(m_view->minimumSize(), QSize(200, 200));
            EXPECT_EQ(layout->bounds(), (LayoutRect {0, 0, 700, 500}));
            expectPanesMatchModel(layout);
            for (size_t i = 0; i < layout->regions().size(); ++i)
                EXPECT_GE(paneWidget(*layout, i)->width(), 100) << i;
        }
    }
    // A minimum a screen could hold, but not this one: the window is held no larger than the screen.
    ASSERT_TRUE(m_manager.decode(edited(QStringLiteral("minwidth"), 1900)));
    m_view->setCurrentLayout(m_manager.currentLayout());
    EXPECT_EQ(m_manager.currentLayout()->minSize().width, 2000);
    EXPECT_LE(m_view->minimumWidth(), screen.width());
    EXPECT_EQ(m_view->minimumHeight(), 200);
    // A divider no screen reaches leaves its layout unread, and a file of no other layout is damaged.
    NotificationCenter elsewhere;
    LayoutManager reader(elsewhere);
    QVariantMap manager = good.toMap();
    QVariantList layouts = manager.value(QStringLiteral("layouts")).toList();
    // Only the "V12": the view's own first layout is left out.
    layouts.removeFirst();
    QVariantMap layout = layouts[0].toMap();
    QVariantList dividers = layout.value(QStringLiteral("dividers")).toList();
    QVariantMap divider = dividers[4].toMap();
    for (const double at : {std::nan(""), 1e30, -40000.0}) {
        divider.insert(QStringLiteral("at"), at);
        dividers[4] = divider;
        layout.insert(QStringLiteral("dividers"), dividers);
        layouts[0] = layout;
        manager.insert(QStringLiteral("layouts"), layouts);
        EXPECT_FALSE(reader.decode(manager)) << at;
    }
}

TEST_F(LayoutViewTest, ResizingWithoutALayoutMakesADefaultOneAndScreenshot)
{
    m_view->resize(500, 300);
    QApplication::processEvents();
    ASSERT_NE(m_manager.currentLayout(), nullptr);
    EXPECT_EQ(m_manager.currentLayout()->regions().size(), 1u);
    EXPECT_EQ(m_view->minimumSize(), QSize(100, 100));
    m_view->setBusyIndicatorRunning(true);
    EXPECT_TRUE(m_view->isBusyIndicatorRunning());
    m_view->setBusyIndicatorRunning(false);
    EXPECT_FALSE(m_view->isBusyIndicatorRunning());
}

}  // namespace
