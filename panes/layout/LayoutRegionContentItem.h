// One tab of a pane: what it shows (descriptor) and where it stands (state), both owned, and
// its identity. A new item gets a fresh uppercase 36-character UUID.
#pragma once

#include "panes/layout/LayoutArchivable.h"

#include <QString>
#include <QVariant>

#include <memory>

class LayoutRegionContentItemDescriptor;
class LayoutRegionContentItemState;

class LayoutRegionContentItem {
public:
    static constexpr int kArchiveVersion = 2;

    LayoutRegionContentItem();
    LayoutRegionContentItem(std::unique_ptr<LayoutArchivable> descriptor, std::unique_ptr<LayoutArchivable> state);
    ~LayoutRegionContentItem();
    LayoutRegionContentItem(const LayoutRegionContentItem&) = delete;
    LayoutRegionContentItem& operator=(const LayoutRegionContentItem&) = delete;

    LayoutArchivable* descriptor() const { return m_descriptor.get(); }
    void setDescriptor(std::unique_ptr<LayoutArchivable> d) { m_descriptor = std::move(d); }
    LayoutArchivable* state() const { return m_state.get(); }
    void setState(std::unique_ptr<LayoutArchivable> s) { m_state = std::move(s); }
    QString uuidString() const { return m_uuidString; }

    // The book pane's records, or null when the item holds another pane's records.
    LayoutRegionContentItemDescriptor* bookDescriptor() const;
    LayoutRegionContentItemState* bookState() const;

    void dump() const;

    QVariant encode() const;
    // Null with a log line for an unknown version.
    static std::unique_ptr<LayoutRegionContentItem> decode(const QVariant& archived);

    // A fresh identity in the standard 36-character uppercase form.
    static QString newUuidString();

private:
    std::unique_ptr<LayoutArchivable> m_descriptor;
    std::unique_ptr<LayoutArchivable> m_state;
    QString m_uuidString;
};
