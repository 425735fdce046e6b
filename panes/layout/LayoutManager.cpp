#include "panes/layout/LayoutManager.h"

#include "library/LibraryNotifications.h"
#include "platform/KeyedArchive.h"
#include "platform/MainThread.h"
#include "platform/NotificationCenter.h"

#include <QDebug>

#include <utility>

namespace {
const QString kClassName = QStringLiteral("LayoutManager");
}

LayoutManager::LayoutManager(NotificationCenter& center) : m_center(center)
{
}

LayoutManager::~LayoutManager() = default;

Layout* LayoutManager::layoutAtIndex(quint64 index) const
{
    return index < m_layouts.size() ? m_layouts[index].get() : nullptr;
}

quint64 LayoutManager::findLayoutIndex(const Layout* layout) const
{
    for (size_t i = 0; i < m_layouts.size(); ++i) {
        if (m_layouts[i].get() == layout)
            return i;
    }
    return kLayoutNotFound;
}

Layout* LayoutManager::layoutWithUuid(const QString& uuid) const
{
    for (const auto& l : m_layouts) {
        if (l->uuidString() == uuid)
            return l.get();
    }
    return nullptr;
}

Layout* LayoutManager::addLayoutWithDescriptor(const QString& descriptor, const LayoutRect& rect, const QString& kind)
{
    QS_ASSERT_MAIN_THREAD();
    return addLayout(Layout::layoutWithDescriptor(descriptor, rect, kind));
}

Layout* LayoutManager::addLayout(std::unique_ptr<Layout> layout)
{
    if (!layout)
        return nullptr;
    Layout* added = layout.get();
    m_layouts.push_back(std::move(layout));
    if (!m_currentLayout)
        m_currentLayout = added;
    postAddedOrRemoved();
    return added;
}

void LayoutManager::deleteLayoutAtIndex(quint64 index)
{
    QS_ASSERT_MAIN_THREAD();
    if (index >= m_layouts.size())
        return;
    Layout* doomed = m_layouts[index].get();
    if (doomed == m_currentLayout) {
        if (index + 1 < m_layouts.size())
            m_currentLayout = m_layouts[index + 1].get();
        else if (index > 0)
            m_currentLayout = m_layouts[index - 1].get();
        else
            m_currentLayout = nullptr;
    }
    doomed->willBeRemovedFromLayoutManager();
    // The notice may have changed the list; remove the layout wherever it now stands.
    const quint64 at = findLayoutIndex(doomed);
    if (at != kLayoutNotFound)
        m_layouts.erase(m_layouts.begin() + static_cast<std::ptrdiff_t>(at));
    postAddedOrRemoved();
}

bool LayoutManager::swapLayoutAtIndex(quint64 a, quint64 b)
{
    QS_ASSERT_MAIN_THREAD();
    if (a >= m_layouts.size() || b >= m_layouts.size())
        return false;
    std::swap(m_layouts[a], m_layouts[b]);
    return true;
}

std::unique_ptr<Layout> LayoutManager::replaceLayoutWithUuid(const QString& uuid, std::unique_ptr<Layout> layout)
{
    QS_ASSERT_MAIN_THREAD();
    if (!layout)
        return nullptr;
    for (auto& slot : m_layouts) {
        if (slot->uuidString() != uuid)
            continue;
        if (m_currentLayout == slot.get())
            m_currentLayout = layout.get();
        std::swap(slot, layout);
        return layout;
    }
    return nullptr;
}

LayoutManager::Found LayoutManager::findViewController(const LayoutRegionContentsViewControllerProtocol* vc) const
{
    if (!vc)
        return {};
    for (const auto& l : m_layouts) {
        const auto& contents = l->contents();
        for (size_t i = 0; i < contents.size(); ++i) {
            if (contents[i]->viewController() == vc)
                return {l.get(), i};
        }
    }
    return {};
}

LayoutRegionContents* LayoutManager::regionContentsForViewController(
    const LayoutRegionContentsViewControllerProtocol* vc) const
{
    const Found f = findViewController(vc);
    return f.layout ? f.layout->contentsAt(f.index) : nullptr;
}

LayoutRegion* LayoutManager::regionForViewController(const LayoutRegionContentsViewControllerProtocol* vc) const
{
    const Found f = findViewController(vc);
    return f.layout ? f.layout->regionAt(f.index) : nullptr;
}

Layout* LayoutManager::layoutContainingRegionWithViewController(
    const LayoutRegionContentsViewControllerProtocol* vc) const
{
    return findViewController(vc).layout;
}

void LayoutManager::setLayouts(std::vector<std::unique_ptr<Layout>> layouts)
{
    QS_ASSERT_MAIN_THREAD();
    m_layouts = std::move(layouts);
    if (findLayoutIndex(m_currentLayout) == kLayoutNotFound)
        m_currentLayout = nullptr;
}

bool LayoutManager::setCurrentLayout(Layout* layout)
{
    QS_ASSERT_MAIN_THREAD();
    if (layout && findLayoutIndex(layout) == kLayoutNotFound)
        return false;
    m_currentLayout = layout;
    return true;
}

void LayoutManager::postAddedOrRemoved()
{
    m_center.postNotificationName(LibraryNotifications::qsLayoutManagerAddedOrRemovedLayoutsNotification, this);
}

QVariant LayoutManager::encode() const
{
    KeyedArchiver a(kClassName);
    a.encodeInt32(QStringLiteral("version"), kArchiveVersion);
    a.encodeInteger(QStringLiteral("currentLayoutIndex"), static_cast<qint64>(findLayoutIndex(m_currentLayout)));
    QVariantList layouts;
    layouts.reserve(static_cast<qsizetype>(m_layouts.size()));
    for (const auto& l : m_layouts)
        layouts.append(l->encode());  // renumbers the layout's dividers, nothing else
    a.encodeArray(QStringLiteral("layouts"), layouts);
    return a.archivedObject();
}

bool LayoutManager::decode(const QVariant& archived)
{
    QS_ASSERT_MAIN_THREAD();
    const KeyedUnarchiver u(archived);
    const qint32 version = u.decodeInt32(QStringLiteral("version"));
    if (version != kArchiveVersion) {
        qWarning().noquote() << QStringLiteral("LayoutManager: unrecognized archive version (%1)").arg(version);
        return false;
    }
    const bool hasLayouts = u.containsValueForKey(QStringLiteral("layouts"));
    const QVariantList archivedLayouts = u.decodeArray(QStringLiteral("layouts"));
    const qint64 currentIndex = u.decodeInteger(QStringLiteral("currentLayoutIndex"), -1);

    // A layout that cannot be read is left out; the others are kept.
    std::vector<std::unique_ptr<Layout>> read;
    Layout* current = nullptr;
    for (qsizetype i = 0; i < archivedLayouts.size(); ++i) {
        auto layout = Layout::decode(archivedLayouts[i]);
        if (!layout)
            continue;
        if (i == currentIndex)
            current = layout.get();
        read.push_back(std::move(layout));
    }
    if (!current && !read.empty())
        current = read.front().get();

    if (read.empty() || !current) {
        qWarning().noquote() << QStringLiteral("LayoutManager: bad archive - version = %1").arg(version);
        qWarning().noquote() << (hasLayouts ? "-- no layouts in existing archive" : "-- layouts array is nil");
        while (!m_layouts.empty())
            deleteLayoutAtIndex(0);
        m_currentLayout = nullptr;
        return false;
    }
    // The archived layouts take the place of any held so far, which are told they go.
    for (const auto& l : m_layouts)
        l->willBeRemovedFromLayoutManager();
    m_layouts = std::move(read);
    m_currentLayout = current;
    postAddedOrRemoved();
    return true;
}

bool LayoutManager::writeArchive(const QString& path) const
{
    PropertyList::Error error;
    if (!KeyedArchive::writeFile(path, encode(), &error, QStringLiteral("your screen layout"))) {
        qWarning().noquote() << QStringLiteral("LayoutManager: cannot write the layout archive: %1").arg(error.message);
        return false;
    }
    return true;
}

bool LayoutManager::readArchive(const QString& path)
{
    PropertyList::Error error;
    const QVariant root = KeyedArchive::readFile(path, &error);
    if (!root.isValid()) {
        if (error.status != PropertyList::Status::FileNotFound)
            qWarning().noquote()
                << QStringLiteral("LayoutManager: cannot read the layout archive: %1").arg(error.message);
        return false;
    }
    if (KeyedArchive::classNameOf(root) != kClassName) {
        qWarning().noquote() << "LayoutManager: the layout archive holds no layout manager";
        return false;
    }
    return decode(root);
}
