// The one owner of the screen layouts: the ordered list of layouts (one per layout tab) and the
// current layout, and the directory through which a pane finds the contents, region and layout
// that hold its controller. Its archive is the root of the layout archive file.
//
// The application owns one manager, made once at start-up and handed to its windows in their
// environment (WindowEnvironment::layouts); a test makes its own, with its own notification centre.
// Main thread only.
#pragma once

#include "panes/layout/Layout.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <vector>

class NotificationCenter;

class LayoutManager {
public:
    static constexpr int kArchiveVersion = 1;
    static inline const QString kArchiveFileName = QStringLiteral("layout archive.plist");

    explicit LayoutManager(NotificationCenter& center);
    ~LayoutManager();
    LayoutManager(const LayoutManager&) = delete;
    LayoutManager& operator=(const LayoutManager&) = delete;

    quint64 count() const { return m_layouts.size(); }
    Layout* layoutAtIndex(quint64 index) const;
    quint64 findLayoutIndex(const Layout* layout) const;
    Layout* layoutWithUuid(const QString& uuid) const;

    // Build a layout, append it, make it current only when there is no current layout, post
    // the added-or-removed notification and return it.
    Layout* addLayoutWithDescriptor(const QString& descriptor, const LayoutRect& rect, const QString& kind);

    // Out of range does nothing. The current layout passes to the next one, else the previous
    // one, else none; the layout is told it is being removed, then deleted, then the
    // added-or-removed notification is posted.
    void deleteLayoutAtIndex(quint64 index);
    // Exchanges two layouts; false (and nothing changes) when an index is out of range.
    bool swapLayoutAtIndex(quint64 a, quint64 b);
    // Puts `layout` in the place of the first layout with that uuid and returns the layout it
    // replaced (the caller decides when to let it go); null when none has the uuid, and
    // `layout` is then dropped. The current layout follows to the new layout when the replaced
    // one was current, so it never refers to a layout the manager no longer holds. Posts nothing.
    std::unique_ptr<Layout> replaceLayoutWithUuid(const QString& uuid, std::unique_ptr<Layout> layout);

    // By identity, layouts in list order, contents in region order; first match wins.
    LayoutRegionContents* regionContentsForViewController(const LayoutRegionContentsViewControllerProtocol* vc) const;
    LayoutRegion* regionForViewController(const LayoutRegionContentsViewControllerProtocol* vc) const;
    Layout* layoutContainingRegionWithViewController(const LayoutRegionContentsViewControllerProtocol* vc) const;

    const std::vector<std::unique_ptr<Layout>>& layouts() const { return m_layouts; }
    void setLayouts(std::vector<std::unique_ptr<Layout>> layouts);
    Layout* currentLayout() const { return m_currentLayout; }
    // Posts nothing; a layout the manager does not hold is refused (false).
    bool setCurrentLayout(Layout* layout);

    QVariant encode() const;
    // Fills this manager from an archived manager: the archived layouts replace those held so
    // far (which are told they go), and the added-or-removed notification is posted. An
    // unknown version logs and changes nothing; an archive without readable layouts logs,
    // deletes every layout held (posting for each) and leaves none. Both return false.
    bool decode(const QVariant& archived);

    // The layout archive file, written atomically; false when writing failed (the previous
    // file is then untouched).
    bool writeArchive(const QString& path) const;
    // Reads the layout archive file into this manager. False for a missing or unreadable file,
    // or a file holding no layout manager (the manager is left as it was), and for a bad
    // archive (see decode: the manager then holds no layouts).
    bool readArchive(const QString& path);

private:
    struct Found {
        Layout* layout = nullptr;
        size_t index = 0;
    };
    Found findViewController(const LayoutRegionContentsViewControllerProtocol* vc) const;
    Layout* addLayout(std::unique_ptr<Layout> layout);
    void postAddedOrRemoved();

    NotificationCenter& m_center;
    std::vector<std::unique_ptr<Layout>> m_layouts;
    Layout* m_currentLayout = nullptr;
};
