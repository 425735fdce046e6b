#include "studypane/StudyPaneSubpane.h"

#include "panes/layout/Layout.h"
#include "panes/layout/LayoutManager.h"

StudyPaneSubpane::StudyPaneSubpane(StudyPaneEnvironment env, StudyPaneHost* host) : m_env(std::move(env)), m_host(host)
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
