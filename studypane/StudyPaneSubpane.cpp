#include "studypane/StudyPaneSubpane.h"

#include "library/GoToRequest.h"
#include "library/SourceTuple.h"
#include "panes/layout/Layout.h"
#include "panes/layout/LayoutManager.h"
#include "studypane/StudyPaneViewController.h"

StudyPaneSubpane::StudyPaneSubpane(StudyPaneEnvironment env, StudyPaneViewController* host)
    : m_env(std::move(env)), m_host(host)
{
}

StudyPaneSubpane::~StudyPaneSubpane()
{
    m_observations.clear();
    delete m_view.data();
}

QWidget* StudyPaneSubpane::view()
{
    if (m_view.isNull()) {
        loadView();
        viewDidLoad();
    }
    return m_view;
}

void StudyPaneSubpane::observe(const QString& name, std::function<void(Notification&)> handler)
{
    if (m_env.center == nullptr)
        return;
    m_observations.emplace_back(*m_env.center, m_env.center->addObserver(this, name, std::move(handler)));
}

Layout* StudyPaneSubpane::layout() const
{
    return m_host != nullptr ? m_host->layout() : nullptr;
}

QString StudyPaneSubpane::layoutUuid() const
{
    return m_host != nullptr ? m_host->layoutUuid() : QString();
}

bool StudyPaneSubpane::isLayoutCurrent() const
{
    if (m_env.layoutManager == nullptr)
        return false;
    const Layout* mine = layout();
    return mine != nullptr && mine == m_env.layoutManager->currentLayout();
}

StudyPaneRegionContentItemState* StudyPaneSubpane::paneState() const
{
    return m_host != nullptr ? m_host->state() : nullptr;
}

void StudyPaneSubpane::goToSection(const std::shared_ptr<SourceTuple>& book, quint32 section)
{
    if (book == nullptr)
        return;
    GoToRequest g;
    if (book->docSupports(kDocSupportsIsBible)) {
        if (const quint32 key = book->locations().keyForSection(section)) {
            g.bibleKey = key;
            emit recentVerseVisited(key, book->record().abbr);
        }
    }
    g.section = section;
    g.sourceTuple = book;
    g.activate = true;
    g.sync = true;
    requestGoTo(std::move(g));
}

void StudyPaneSubpane::requestGoTo(GoToRequest request)
{
    request.layoutUuid = layoutUuid();
    if (m_env.center != nullptr)
        request.post(*m_env.center, this);
}
