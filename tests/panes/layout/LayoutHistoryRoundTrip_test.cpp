// The navigation history over real layouts: snapshots are the layout records' archives, written
// to files and read back, and Back brings a recorded layout back with the study pane as it is now.
#include "library/GoToPanes.h"
#include "library/GoToRequest.h"
#include "library/NavigationHistory.h"
#include "panes/layout/LayoutHistorySnapshot.h"
#include "panes/layout/LayoutManager.h"
#include "platform/NotificationCenter.h"

#include <gtest/gtest.h>

#include <QSet>
#include <QTemporaryDir>

namespace {

const LayoutRect kWindow {0, 0, 1200, 800};

// The history half of the pane manager over a layout manager; panes are "dirty" by region index.
class ManagerPanes : public GoToPanes {
public:
    explicit ManagerPanes(LayoutManager& manager) : m_manager(manager) { }
    QSet<int> dirty;

    QString currentLayoutUuid() const override
    {
        return m_manager.currentLayout() ? m_manager.currentLayout()->uuidString() : QString();
    }
    int regionCount() const override { return 0; }
    int currentRegion() const override { return -1; }
    bool isBookPane(int) const override { return false; }
    Book paneCurrentBook(int) const override { return nullptr; }
    std::vector<Book> paneTabBooks(int) const override { return {}; }
    bool paneDoesNotSendLocationSync(int) const override { return false; }
    void goTo(int, GoToRequest&) override { }
    void prepareGoTo(int, const GoToRequest&) override { }
    void makePaneCurrent(int) override { }
    void showBusyIndicator(bool) override { }
    void openWebLink(const QUrl&, bool) override { }

    bool hasLayout(const QString& uuid) const override { return m_manager.layoutWithUuid(uuid) != nullptr; }
    int layoutRegionCount(const QString& uuid) const override
    {
        const Layout* l = m_manager.layoutWithUuid(uuid);
        return l ? static_cast<int>(l->regions().size()) : 0;
    }
    bool paneShouldCaptureHistory(const QString&, int region) override { return dirty.contains(region); }
    void paneWillCaptureHistory(const QString&, int region) override { dirty.remove(region); }
    QVariant archivedLayout(const QString& uuid) override
    {
        Layout* l = m_manager.layoutWithUuid(uuid);
        return l ? l->encode() : QVariant();
    }
    bool restoreLayout(const QString& uuid, const QVariant& archived) override
    {
        if (LayoutHistorySnapshot::restore(m_manager, uuid, archived) == nullptr)
            return false;
        dirty.clear();
        return true;
    }

private:
    LayoutManager& m_manager;
};

LayoutRegion* studyRegion(const Layout& layout)
{
    return layout.regionAt(static_cast<size_t>(layout.firstRegionIndexWithKind(LayoutRegionContents::kStudyKind)));
}

TEST(LayoutHistoryRoundTrip, BackAndForwardBetweenRecordedLayoutsAcrossARestart)
{
    QTemporaryDir cache;
    NotificationCenter center;
    LayoutManager manager {center};
    ManagerPanes panes {manager};
    Layout* layout = manager.addLayoutWithDescriptor(QStringLiteral("V2"), kWindow, QString());
    layout->addRegionWithDimension(290, LayoutRegion::Left, QStringLiteral("study"), true);
    const QString uuid = layout->uuidString();

    {
        NavigationHistory history(panes, cache.path());
        history.addStateToHistory(true, uuid);  // three regions
        manager.currentLayout()->splitRegion(0, false, true, 0.5, QString());
        history.addStateToHistory(true, uuid);  // four regions
        ASSERT_TRUE(history.saveHistoryToFile());
    }

    NavigationHistory history(panes, cache.path());
    history.loadHistoryFromFile();
    // Since the last recording the study pane was widened.
    LayoutRegion* study = studyRegion(*manager.currentLayout());
    study->right()->setAt(study->left()->at() + 400);
    ASSERT_TRUE(history.canGoBackInHistory());
    history.goBackInHistory();
    Layout* shown = manager.currentLayout();
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->uuidString(), uuid);
    EXPECT_EQ(shown->regions().size(), 3u);
    EXPECT_DOUBLE_EQ(studyRegion(*shown)->bounds().width, 400);
    EXPECT_TRUE(history.canGoForwardInHistory());
    history.goForwardInHistory();
    EXPECT_EQ(manager.currentLayout()->regions().size(), 4u);
    EXPECT_DOUBLE_EQ(studyRegion(*manager.currentLayout())->bounds().width, 400);
    EXPECT_FALSE(history.canGoForwardInHistory());

    // A layout deleted from the manager loses its history.
    manager.deleteLayoutAtIndex(0);
    history.addOrRemoveLayoutsFromHistory();
    EXPECT_FALSE(history.stackForLayout(uuid));
}

}  // namespace
