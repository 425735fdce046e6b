#include "panes/layout/LayoutHistorySnapshot.h"

#include "panes/layout/Layout.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layout/LayoutRegionContentItem.h"
#include "panes/layout/LayoutRegionContentItemDescriptor.h"
#include "panes/layout/LayoutRegionContentItemState.h"
#include "panes/layout/LayoutRegionContentsState.h"

#include <QDebug>

#include <cstdlib>

namespace LayoutHistorySnapshot {

void keepStudyPane(Layout& snapshot, Layout& shown)
{
    const quint64 recorded = snapshot.firstRegionIndexWithKind(LayoutRegionContents::kStudyKind);
    const quint64 present = shown.firstRegionIndexWithKind(LayoutRegionContents::kStudyKind);
    LayoutRegion* recordedRegion = snapshot.regionAt(static_cast<size_t>(recorded));
    LayoutRegion* presentRegion = shown.regionAt(static_cast<size_t>(present));
    if (recordedRegion == nullptr || presentRegion == nullptr)
        return;
    if (recordedRegion->left() != nullptr && recordedRegion->right() != nullptr)
        recordedRegion->right()->setAt(recordedRegion->left()->at() + presentRegion->bounds().width);
    if (shown.contentsAt(static_cast<size_t>(present)) == nullptr ||
        snapshot.contentsAt(static_cast<size_t>(recorded)) == nullptr)
        return;
    auto live = shown.replaceContentsAt(static_cast<size_t>(present), LayoutRegionContents::factory());
    auto old = snapshot.replaceContentsAt(static_cast<size_t>(recorded), std::move(live));
    shown.replaceContentsAt(static_cast<size_t>(present), std::move(old));
}

void keepLocationSyncSwitches(Layout& snapshot, const Layout& shown)
{
    for (const auto& live : shown.contents()) {
        if (!live->kind().isEmpty())
            continue;
        for (const auto& item : live->items()) {
            LayoutRegionContents* recorded = snapshot.regionContentsContainingItemWithUuidString(item->uuidString());
            if (recorded == nullptr || !recorded->kind().isEmpty())
                continue;
            const LayoutRegionContentItem* tab =
                recorded->itemAt(static_cast<size_t>(recorded->indexOfItemWithUuidString(item->uuidString())));
            LayoutRegionContentItemState* to = tab != nullptr ? tab->bookState() : nullptr;
            const LayoutRegionContentItemState* from = item->bookState();
            if (to != nullptr && from != nullptr) {
                to->setDoesNotSendLocationSync(from->doesNotSendLocationSync());
                to->setDoesNotReceiveLocationSync(from->doesNotReceiveLocationSync());
            }
            if (recorded->state() != nullptr && live->state() != nullptr) {
                recorded->state()->setPaneDoesNotSendLocationSync(live->state()->paneDoesNotSendLocationSync());
                recorded->state()->setPaneDoesNotReceiveLocationSync(live->state()->paneDoesNotReceiveLocationSync());
            }
        }
    }
}

Layout* restore(LayoutManager& manager, const QString& layoutUuid, const QVariant& archivedLayout)
{
    Layout* shown = manager.layoutWithUuid(layoutUuid);
    if (shown == nullptr)
        return nullptr;
    std::unique_ptr<Layout> snapshot = Layout::decode(archivedLayout);
    if (!snapshot || snapshot->uuidString() != layoutUuid) {
        qWarning() << "History: a recorded layout could not be read";
        return nullptr;
    }
    // A snapshot brings back places; the layout's name is what the reader calls it now, and the
    // location-sync switches are the reader's settings.
    keepLocationSyncSwitches(*snapshot, *shown);
    keepStudyPane(*snapshot, *shown);
    snapshot->setName(shown->name());
    Layout* restored = snapshot.get();
    manager.replaceLayoutWithUuid(layoutUuid, std::move(snapshot));
    return restored;
}

namespace {

// One tab's place as the reader sees it. A go-to that has not landed yet names its anchor with
// no offset: where the page then lands in the same block is the same place; otherwise the
// offsets may differ by the page's rounding (a point).
bool samePlace(const LayoutRegionContentItemState& a, const LayoutRegionContentItemState& b)
{
    if (a.section() != b.section() || a.block() != b.block())
        return false;
    if (!a.gotoAnchor().isEmpty() || !b.gotoAnchor().isEmpty())
        return a.gotoAnchor().isEmpty() || b.gotoAnchor().isEmpty() || a.gotoAnchor() == b.gotoAnchor();
    return std::abs(a.yOffset() - b.yOffset()) <= 1;
}

}  // namespace

bool showSamePlaces(const QVariant& archivedA, const QVariant& archivedB)
{
    const std::unique_ptr<Layout> a = Layout::decode(archivedA);
    const std::unique_ptr<Layout> b = Layout::decode(archivedB);
    if (!a || !b || a->uuidString() != b->uuidString() || a->contents().size() != b->contents().size())
        return false;
    for (size_t i = 0; i < a->contents().size(); ++i) {
        const LayoutRegionContents* x = a->contentsAt(i);
        const LayoutRegionContents* y = b->contentsAt(i);
        if (x->kind() != y->kind())
            return false;
        if (!x->kind().isEmpty())
            continue;  // the study pane stays as it is through Back and Forward
        if (x->items().size() != y->items().size() || x->currentItemIndex() != y->currentItemIndex())
            return false;
        for (size_t k = 0; k < x->items().size(); ++k) {
            const LayoutRegionContentItemDescriptor* dx = x->items()[k]->bookDescriptor();
            const LayoutRegionContentItemDescriptor* dy = y->items()[k]->bookDescriptor();
            if ((dx == nullptr) != (dy == nullptr) || (dx != nullptr && dx->sourceTupleID() != dy->sourceTupleID()))
                return false;
        }
        const LayoutRegionContentItem* front = x->itemAt(x->currentItemIndex());
        const LayoutRegionContentItem* other = y->itemAt(y->currentItemIndex());
        const LayoutRegionContentItemState* sx = front != nullptr ? front->bookState() : nullptr;
        const LayoutRegionContentItemState* sy = other != nullptr ? other->bookState() : nullptr;
        if ((sx == nullptr) != (sy == nullptr) || (sx != nullptr && !samePlace(*sx, *sy)))
            return false;
    }
    return true;
}

}  // namespace LayoutHistorySnapshot
