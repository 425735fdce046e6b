// What one region of a layout shows: its kind ("" for a book pane, "study" for the study
// pane), its tabs (items, in tab order) with the current one, the pane's location-sync flags
// (book panes only) and the live pane controller, which the contents own and never archive.
// Main thread only.
#pragma once

#include "panes/layout/LayoutRect.h"
#include "panes/layout/LayoutRegionContentItem.h"
#include "panes/layout/LayoutRegionContentsState.h"
#include "panes/layout/LayoutRegionContentsViewControllerProtocol.h"

#include <QString>
#include <QVariant>

#include <memory>
#include <vector>

class LayoutRegionContents {
public:
    static constexpr int kArchiveVersion = 4;
    static inline const QString kStudyKind = QStringLiteral("study");

    LayoutRegionContents() = default;
    ~LayoutRegionContents();
    LayoutRegionContents(const LayoutRegionContents&) = delete;
    LayoutRegionContents& operator=(const LayoutRegionContents&) = delete;

    // Empty items, no controller, no current item, no state, kind "".
    static std::unique_ptr<LayoutRegionContents> factory();

    const std::vector<std::unique_ptr<LayoutRegionContentItem>>& items() const { return m_items; }
    std::vector<std::unique_ptr<LayoutRegionContentItem>>& items() { return m_items; }
    LayoutRegionContentItem* itemAt(size_t i) const { return i < m_items.size() ? m_items[i].get() : nullptr; }

    LayoutRegionContentsViewControllerProtocol* viewController() const { return m_viewController.get(); }
    void setViewController(std::unique_ptr<LayoutRegionContentsViewControllerProtocol> controller);

    quint64 currentItemIndex() const { return m_currentItemIndex; }
    void setCurrentItemIndex(quint64 i) { m_currentItemIndex = i; }
    QString kind() const { return m_kind; }
    void setKind(const QString& kind) { m_kind = kind; }
    LayoutRegionContentsState* state() const { return m_state.get(); }
    void setState(std::unique_ptr<LayoutRegionContentsState> state) { m_state = std::move(state); }

    // The first item with that uuid, kLayoutNotFound when none.
    quint64 indexOfItemWithUuidString(const QString& uuid) const;
    // Passes the notice on to the controller, if there is one.
    void willBeRemovedFromLayoutManager();
    void dump() const;

    QVariant encode() const;
    // Null with a log line for an unknown version or unreadable items.
    static std::unique_ptr<LayoutRegionContents> decode(const QVariant& archived);

private:
    std::vector<std::unique_ptr<LayoutRegionContentItem>> m_items;
    std::unique_ptr<LayoutRegionContentsViewControllerProtocol> m_viewController;
    quint64 m_currentItemIndex = kLayoutNotFound;
    QString m_kind;
    std::unique_ptr<LayoutRegionContentsState> m_state;
};
