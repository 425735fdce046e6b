// A stand-in for the pane manager: layouts of panes held as plain records, every call the
// routing or the history makes written to `log` in order, and hooks that let a test make a
// pane's goTo do what a real pane does (post notifications, re-enter the routing).
#pragma once

#include "library/GoToPanes.h"
#include "library/GoToRequest.h"
#include "platform/KeyedArchive.h"

#include <QStringList>

#include <functional>
#include <map>
#include <ostream>
#include <vector>

inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

struct PaneDouble {
    bool bookPane = true;
    GoToPanes::Book current;
    std::vector<GoToPanes::Book> tabs;
    bool doesNotSendLocationSync = false;
    bool dirty = false;  // unrecorded changes
    int captured = 0;    // willCaptureHistory calls
    std::vector<GoToRequest> received;
    std::function<void(GoToRequest&)> onGoTo;
};

struct LayoutDouble {
    QString uuid;
    std::vector<PaneDouble> panes;
    int current = 0;
    int state = 0;  // what a snapshot records and a restore brings back
};

class GoToPanesDouble : public GoToPanes {
public:
    std::vector<LayoutDouble> layouts;
    int currentLayout = 0;
    QStringList log;
    bool failRestore = false;

    LayoutDouble* layout(const QString& uuid)
    {
        for (auto& l : layouts) {
            if (l.uuid == uuid)
                return &l;
        }
        return nullptr;
    }
    const LayoutDouble* layout(const QString& uuid) const { return const_cast<GoToPanesDouble*>(this)->layout(uuid); }
    LayoutDouble* current()
    {
        return currentLayout >= 0 && currentLayout < static_cast<int>(layouts.size()) ? &layouts[currentLayout]
                                                                                      : nullptr;
    }
    const LayoutDouble* current() const { return const_cast<GoToPanesDouble*>(this)->current(); }
    PaneDouble* pane(int region)
    {
        LayoutDouble* l = current();
        return l && region >= 0 && region < static_cast<int>(l->panes.size()) ? &l->panes[region] : nullptr;
    }
    const PaneDouble* pane(int region) const { return const_cast<GoToPanesDouble*>(this)->pane(region); }

    QString currentLayoutUuid() const override { return current() ? current()->uuid : QString(); }
    int regionCount() const override { return current() ? static_cast<int>(current()->panes.size()) : 0; }
    int currentRegion() const override { return current() && pane(current()->current) ? current()->current : -1; }
    bool isBookPane(int region) const override { return pane(region) && pane(region)->bookPane; }
    Book paneCurrentBook(int region) const override { return isBookPane(region) ? pane(region)->current : nullptr; }
    std::vector<Book> paneTabBooks(int region) const override
    {
        return isBookPane(region) ? pane(region)->tabs : std::vector<Book>();
    }
    bool paneDoesNotSendLocationSync(int region) const override
    {
        return pane(region) && pane(region)->doesNotSendLocationSync;
    }
    void goTo(int region, GoToRequest& request) override
    {
        log << QStringLiteral("goTo %1").arg(region);
        if (PaneDouble* p = pane(region)) {
            if (request.sourceTuple)
                p->current = request.sourceTuple;
            p->received.push_back(request);
            p->dirty = true;
            if (p->onGoTo)
                p->onGoTo(request);
        }
    }
    void prepareGoTo(int region, const GoToRequest& request) override
    {
        log << QStringLiteral("prepare %1 %2").arg(region).arg(request.section.value_or(0));
    }
    void makePaneCurrent(int region) override
    {
        log << QStringLiteral("current %1").arg(region);
        if (current())
            current()->current = region;
    }
    void showBusyIndicator(bool show) override
    {
        log << (show ? QStringLiteral("busy on") : QStringLiteral("busy off"));
    }
    void openWebLink(const QUrl& url, bool inAppWindow) override
    {
        log << (inAppWindow ? QStringLiteral("web window ") : QStringLiteral("browser ")) +
                url.toString(QUrl::FullyEncoded);
    }

    bool hasLayout(const QString& uuid) const override { return layout(uuid) != nullptr; }
    int layoutRegionCount(const QString& uuid) const override
    {
        return layout(uuid) ? static_cast<int>(layout(uuid)->panes.size()) : 0;
    }
    bool paneShouldCaptureHistory(const QString& uuid, int region) override
    {
        LayoutDouble* l = layout(uuid);
        return l && region < static_cast<int>(l->panes.size()) && l->panes[region].dirty;
    }
    void paneWillCaptureHistory(const QString& uuid, int region) override
    {
        LayoutDouble* l = layout(uuid);
        if (l && region < static_cast<int>(l->panes.size())) {
            l->panes[region].dirty = false;
            ++l->panes[region].captured;
        }
    }
    QVariant archivedLayout(const QString& uuid) override
    {
        const LayoutDouble* l = layout(uuid);
        if (!l)
            return {};
        log << QStringLiteral("record %1").arg(l->state);
        KeyedArchiver a(QStringLiteral("Layout"));
        a.encodeInt32(QStringLiteral("state"), l->state);
        return a.archivedObject();
    }
    // With comparePlaces, two recorded states with the same state number show the same places.
    bool showSamePlaces(const QVariant& a, const QVariant& b) override
    {
        const KeyedUnarchiver x(a);
        const KeyedUnarchiver y(b);
        return comparePlaces && x.isValid() && y.isValid() &&
            x.decodeInt32(QStringLiteral("state"), -1) == y.decodeInt32(QStringLiteral("state"), -2);
    }
    bool comparePlaces = false;
    bool restoreLayout(const QString& uuid, const QVariant& archived) override
    {
        LayoutDouble* l = layout(uuid);
        KeyedUnarchiver u(archived);
        if (!l || failRestore || !u.isValid() || u.className() != QLatin1String("Layout"))
            return false;
        l->state = u.decodeInt32(QStringLiteral("state"));
        for (auto& p : l->panes)
            p.dirty = false;
        log << QStringLiteral("restore %1").arg(l->state);
        return true;
    }
};
