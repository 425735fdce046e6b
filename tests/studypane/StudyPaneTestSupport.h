// Shared set-up of the study pane tests: one offscreen application in a private home, defaults of
// their own, a layout manager with a layout of a book region and a study region whose contents hold
// the study pane, and a stand-in for the layout view that records the widths it is given.
#pragma once

#include "panes/layout/Layout.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layout/LayoutRegionContents.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsRegistry.h"
#include "platform/UserDefaults.h"
#include "studypane/StudyPaneSubpane.h"
#include "studypane/StudyPaneViewController.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <functional>
#include <memory>

namespace StudyPaneTest {

// The private home of the shared test support.
inline QDir home()
{
    return QDir(TestSupport::home());
}

// The program's application object, made on first call in the private home.
inline void ensureApplication()
{
    TestSupport::startApplication("studypane-test", TestSupport::Web::None);
}

using TestSupport::waitFor;

// A tab's button as the user finds it: by its object name (stored styles and scripts rely on them).
inline QToolButton* tabButton(const QWidget* view, const char* name)
{
    return view->findChild<QToolButton*>(QLatin1String(name), Qt::FindDirectChildrenOnly);
}

// The view the study pane shows below its buttons: its one shown child that is neither a button nor
// the box; null when it shows none.
inline QWidget* shownContents(const QWidget* paneView)
{
    for (QWidget* child : paneView->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!child->isHidden() && qobject_cast<QToolButton*>(child) == nullptr &&
            child->objectName() != QLatin1String("expandContractBox"))
            return child;
    }
    return nullptr;
}

// A control of a sub-pane's view, found as the user finds it: by its object name.
template <class T> T* control(StudyPaneSubpane* subpane, const char* name)
{
    return subpane->view()->findChild<T*>(QLatin1String(name));
}

// Opens a pop-up's list and closes it again, as a user looking over its items does.
inline QComboBox* openedList(QComboBox* popup)
{
    popup->showPopup();
    popup->hidePopup();
    return popup;
}

// Clicks the button that opens a menu and closes the menu once it shows: the menu the user saw
// (null when none showed).
inline QMenu* openedMenu(QAbstractButton* button)
{
    QMenu* shown = nullptr;
    TestSupport::whenShown<QMenu>([button] { QTest::mouseClick(button, Qt::LeftButton); },
        [&shown](QMenu* menu) {
            shown = menu;
            menu->close();
        });
    return shown;
}

// Keeps the notifications of one name posted on a centre.
struct Recorder {
    QList<Notification> posts;
    Observation observation;
    Recorder(NotificationCenter& center, const QString& name)
        : observation(center, center.addObserver(this, name, [this](Notification& n) { posts.append(n); }))
    {
    }
};

class HostDouble : public StudyPaneLayoutHost {
public:
    double width = StudyPaneEnvironment::kDefaultStudyPaneWidth;
    int showCalls = 0;
    double studyPaneWidth() const override { return width; }
    bool isStudyPaneVisible() const override { return width >= StudyPaneEnvironment::kVisibleStudyPaneWidth; }
    void setShowStudyPane(bool) override
    {
        ++showCalls;
        width = isStudyPaneVisible() ? StudyPaneEnvironment::kCollapsedStudyPaneWidth
                                     : StudyPaneEnvironment::kDefaultStudyPaneWidth;
    }
    void setStudyPaneWidth(double w) override { width = w; }
};

// A layout manager with one layout: a book region and a study region on its right.
struct Screen {
    NotificationCenter center;
    std::shared_ptr<UserDefaults> defaults;
    LayoutManager manager {center};
    HostDouble host;
    Layout* layout = nullptr;
    LayoutRegionContents* studyContents = nullptr;

    Screen()
    {
        ensureApplication();
        static int n = 0;
        defaults = std::make_shared<UserDefaults>(home().filePath(QStringLiteral("defaults-%1.ini").arg(++n)));
        SettingsRegistry::registerDefaultsForAllPreferences(*defaults);
        layout = manager.addLayoutWithDescriptor(QStringLiteral("H1"), LayoutRect {0, 0, 1000, 700}, QString());
        layout->addRegionWithDimension(290, 1, LayoutRegionContents::kStudyKind, false);
        manager.setCurrentLayout(layout);
        studyContents = layout->contentsAt(layout->firstRegionIndexWithKind(LayoutRegionContents::kStudyKind));
    }

    // The environment of a pane on this screen, over the library when given.
    StudyPaneEnvironment environment(SourceManager* library = nullptr)
    {
        StudyPaneEnvironment env;
        env.library = library;
        env.center = &center;
        env.defaults = defaults.get();
        env.layoutManager = &manager;
        env.layoutHost = &host;
        return env;
    }

    // Makes the study pane, hands it to the study region and loads its view.
    StudyPaneViewController* install(StudyPaneEnvironment env)
    {
        auto controller = StudyPaneViewController::factory(std::move(env));
        StudyPaneViewController* raw = controller.get();
        studyContents->setViewController(std::move(controller));
        raw->paneView();
        return raw;
    }
};

}  // namespace StudyPaneTest

namespace StudyPaneTest {

// A sub-pane that records what the study pane tells it, in one log shared by all fakes.
class FakeSubpane : public StudyPaneSubpane {
public:
    FakeSubpane(const StudyPaneEnvironment& env, StudyPaneViewController* host, QString name, QStringList* log)
        : StudyPaneSubpane(env, host), m_name(std::move(name)), m_log(log)
    {
    }
    void studyPaneWillChangeSubview() override { m_log->append(m_name + QStringLiteral(" will change")); }
    void studyPaneDidActivateSubview() override { m_log->append(m_name + QStringLiteral(" did activate")); }
    void exitIsImminent() override { m_log->append(m_name + QStringLiteral(" exit")); }
    const QString& name() const { return m_name; }
    int loads = 0;  // the views made

protected:
    void loadView() override
    {
        ++loads;
        createView(m_name);
    }

private:
    QString m_name;
    QStringList* m_log;
};

// Fakes for some slots, which log into `log`; `in(env)` is the environment with their factories. The
// panes made with it must go before this object.
class FakeSubpanes {
public:
    QStringList log;
    explicit FakeSubpanes(std::initializer_list<std::pair<StudyPaneViewController::Subpane, QString>> entries)
        : m_entries(entries)
    {
    }
    StudyPaneEnvironment in(StudyPaneEnvironment env)
    {
        for (const auto& [slot, name] : m_entries) {
            const QString n = name;
            env.subpaneFactories[slot] = [this, n](const StudyPaneEnvironment& env,
                                             StudyPaneViewController* host) -> std::unique_ptr<StudyPaneSubpane> {
                return std::make_unique<FakeSubpane>(env, host, n, &log);
            };
        }
        return env;
    }

private:
    std::vector<std::pair<StudyPaneViewController::Subpane, QString>> m_entries;
};

}  // namespace StudyPaneTest
