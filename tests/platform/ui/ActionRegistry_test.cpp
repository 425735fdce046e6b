// The window's command registry: one action per name, its tag as data, the owners' states asked
// for before a command runs, and names that were never registered are refused loudly.

#include "platform/ui/ActionRegistry.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMenu>

#include <memory>

namespace {

constexpr CommandId kOpen {"Open", 101};
constexpr CommandId kToggle {"Toggle", 407};
constexpr CommandId kQuiet {"Quiet", 0};

QStringList g_critical;
void recordCritical(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg)
        g_critical.append(message);
}

// Collects the critical messages logged while it lives.
struct CriticalLog {
    CriticalLog() : previous(qInstallMessageHandler(recordCritical)) { g_critical.clear(); }
    ~CriticalLog() { qInstallMessageHandler(previous); }
    QtMessageHandler previous;
};

}  // namespace

TEST(ActionRegistry, RegistersEachCommandOnceWithItsLookAndTag)
{
    ActionRegistry registry;
    int opened = 0;
    QAction* open = registry.add(kOpen,
        {QStringLiteral("Open Book..."), QStringLiteral("Open Book"), QKeySequence(QStringLiteral("Ctrl+O"))},
        &registry, [&opened] { ++opened; });
    QAction* toggle = registry.add(kToggle, {QStringLiteral("Strong's"), {}, {}, true});
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(registry.action(kOpen), open);
    EXPECT_EQ(registry.action(QStringLiteral("Open")), open);
    EXPECT_EQ(open->objectName(), QStringLiteral("Open"));
    EXPECT_EQ(open->data().toInt(), 101);
    EXPECT_EQ(open->text(), QStringLiteral("Open Book..."));
    EXPECT_EQ(open->iconText(), QStringLiteral("Open Book"));
    EXPECT_EQ(open->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
    EXPECT_FALSE(open->isCheckable());
    EXPECT_TRUE(toggle->isCheckable());
    EXPECT_EQ(toggle->iconText(), QStringLiteral("Strong's")) << "the toolbar label defaults to the text";
    EXPECT_EQ(open->parent(), &registry);
    EXPECT_EQ(registry.actions(), (QList<QAction*> {open, toggle}));
    open->trigger();
    EXPECT_EQ(opened, 1);

    // A second registration of a name keeps the first and says so.
    CriticalLog log;
    QAction* again = registry.add(kOpen, {QStringLiteral("Other")});
    EXPECT_EQ(again, open);
    EXPECT_EQ(registry.actions().size(), 2);
    EXPECT_EQ(open->text(), QStringLiteral("Open Book..."));
    ASSERT_EQ(g_critical.size(), 1);
    EXPECT_TRUE(g_critical[0].contains(QStringLiteral("Open"))) << g_critical[0].toStdString();
}

TEST(ActionRegistry, AnUnknownNameIsRefusedLoudly)
{
    ActionRegistry registry;
    registry.add(kOpen, {QStringLiteral("Open")});
    CriticalLog log;
    EXPECT_EQ(registry.action(QStringLiteral("Opne")), nullptr);
    EXPECT_FALSE(registry.contains(QStringLiteral("Opne")));
    EXPECT_FALSE(registry.trigger(kQuiet));
    ASSERT_EQ(g_critical.size(), 2);
    EXPECT_TRUE(g_critical[0].contains(QStringLiteral("Opne")));
    EXPECT_TRUE(g_critical[1].contains(QStringLiteral("Quiet")));
}

TEST(ActionRegistry, TriggerAsksTheOwnersForStatesAndRunsOnlyAnEnabledCommand)
{
    ActionRegistry registry;
    bool canOpen = false;
    int opened = 0;
    int asked = 0;
    registry.add(kOpen, {QStringLiteral("Open")}, &registry, [&opened] { ++opened; });
    QObject owner;
    QObject::connect(&registry, &ActionRegistry::statesNeeded, &owner, [&] {
        ++asked;
        registry.action(kOpen)->setEnabled(canOpen);
    });

    // The state is asked for at the moment of the trigger, not taken from the last menu.
    registry.action(kOpen)->setEnabled(true);
    EXPECT_FALSE(registry.trigger(kOpen));
    EXPECT_EQ(opened, 0);
    EXPECT_EQ(asked, 1);
    canOpen = true;
    EXPECT_TRUE(registry.trigger(kOpen));
    EXPECT_EQ(opened, 1);

    // After a command ran the states are refreshed once the event loop turns.
    QCoreApplication::processEvents();
    const int before = asked;
    canOpen = false;
    registry.action(kOpen)->setEnabled(true);
    registry.action(kOpen)->trigger();
    EXPECT_EQ(opened, 2);
    EXPECT_TRUE(registry.action(kOpen)->isEnabled());
    QCoreApplication::processEvents();
    EXPECT_EQ(asked, before + 1);
    EXPECT_FALSE(registry.action(kOpen)->isEnabled());
    // A disabled action does nothing, whoever triggers it.
    registry.action(kOpen)->trigger();
    EXPECT_EQ(opened, 2);

    // An owner that is gone is asked nothing.
    {
        QObject gone;
        int goneAsked = 0;
        QObject::connect(&registry, &ActionRegistry::statesNeeded, &gone, [&goneAsked] { ++goneAsked; });
        registry.updateStates();
        EXPECT_EQ(goneAsked, 1);
    }
    registry.updateStates();
}

namespace {

constexpr MenuId kFileMenu {"File"};
constexpr MenuId kViewMenu {"View"};
constexpr CommandId kClose {"Close", 103};
constexpr CommandId kFormat {"Format", 211};
constexpr CommandId kBold {"Bold", 212};
constexpr CommandId kItalic {"Italic", 213};

// What a menu shows, as a user reads it: texts, "-" for separators, a submenu's items in brackets,
// and the enabled, checked and visible states of each item.
QString shown(QMenu* menu)
{
    QStringList out;
    for (QAction* item : menu->actions()) {
        if (item->isSeparator()) {
            out << QStringLiteral("-");
            continue;
        }
        QString text = item->text();
        if (!item->isEnabled())
            text += QStringLiteral(" (off)");
        if (item->isChecked())
            text += QStringLiteral(" (checked)");
        if (!item->isVisible())
            text += QStringLiteral(" (hidden)");
        if (item->menu() != nullptr)
            text += QStringLiteral(" [") + shown(item->menu()) + QStringLiteral("]");
        out << text;
    }
    return out.join(QStringLiteral(", "));
}

}  // namespace

TEST(ActionRegistry, OneRegistrationPutsACommandInItsMenuWithItsState)
{
    ActionRegistry registry;
    bool on = false;
    bool usable = false;
    int ran = 0;
    QObject owner;
    QAction* toggle = registry.add(kToggle,
        {.text = QStringLiteral("Strong's"),
            .checkable = true,
            .menu = ActionRegistry::in(kViewMenu, 0, 0),
            .toolbarOrder = 5,
            .toolbarIcon = QStyle::SP_ArrowBack,
            .enabled = [&usable] { return usable; },
            .checked = [&on] { return on; },
            .visible = [&usable] { return usable; },
            .refresh = [&on](QAction& item) { item.setText(on ? QStringLiteral("On") : QStringLiteral("Off")); }},
        &owner, [&ran] { ++ran; });

    QMenu view;
    registry.fillMenu(&view, kViewMenu);
    ASSERT_EQ(view.actions(), (QList<QAction*> {toggle}));
    EXPECT_EQ(registry.toolbarPalette(), (QStringList {QStringLiteral("Toggle")}));
    EXPECT_EQ(registry.toolbarIcon(QStringLiteral("Toggle")), QStyle::SP_ArrowBack);
    EXPECT_EQ(registry.toolbarIcon(QStringLiteral("Other")), QStyle::SP_FileIcon);

    // The states are the registration's functions, asked when the menu is about to open.
    registry.updateStates();
    EXPECT_EQ(shown(&view), QStringLiteral("Off (off) (hidden)"));
    EXPECT_FALSE(registry.trigger(kToggle));
    EXPECT_EQ(ran, 0);
    usable = true;
    on = true;
    registry.updateStates();
    EXPECT_EQ(shown(&view), QStringLiteral("On (checked)"));
    EXPECT_TRUE(registry.trigger(kToggle));
    EXPECT_EQ(ran, 1);
}

TEST(ActionRegistry, MenusFollowGroupsAndOrderNotRegistrationAndGroupCommandsGetSubmenus)
{
    ActionRegistry registry;
    // Registered out of menu order, by different owners, as the window's owners do.
    registry.add(kItalic, {.text = QStringLiteral("Italic"), .menu = ActionRegistry::in(kFormat, 0, 1)});
    registry.add(kClose, {.text = QStringLiteral("Close"), .menu = ActionRegistry::in(kFileMenu, 1, 0)});
    registry.add(kQuiet, {.text = QStringLiteral("Nowhere")});
    registry.add(kFormat, {.text = QStringLiteral("Format"), .menu = ActionRegistry::in(kFileMenu, 2, 0)});
    registry.add(kOpen, {.text = QStringLiteral("Open"), .menu = ActionRegistry::in(kFileMenu, 0, 5)});
    registry.add(kBold, {.text = QStringLiteral("Bold"), .menu = ActionRegistry::in(kFormat, 0, 0)});
    registry.add(kToggle, {.text = QStringLiteral("Toggle"), .menu = ActionRegistry::in(kFileMenu, 0, 9)});

    QMenu file;
    registry.fillMenu(&file, kFileMenu);
    EXPECT_EQ(shown(&file), QStringLiteral("Open, Toggle, -, Close, -, Format [Bold, Italic]"));
    // The group's action opens the submenu and keeps the group's tag.
    QAction* format = registry.action(kFormat);
    ASSERT_NE(format->menu(), nullptr);
    EXPECT_EQ(format->data().toInt(), 211);
    EXPECT_EQ(format->menu()->title(), QStringLiteral("Format"));
    EXPECT_TRUE(registry.toolbarPalette().isEmpty());

    // A menu nobody is placed in stays empty; every place here names a menu.
    QMenu view;
    registry.fillMenu(&view, kViewMenu);
    EXPECT_TRUE(view.actions().isEmpty());
    CriticalLog log;
    EXPECT_TRUE(registry.checkMenuPlaces({kFileMenu, kViewMenu}));
    EXPECT_TRUE(g_critical.isEmpty());
}

TEST(ActionRegistry, APlaceInAMenuThatDoesNotExistIsReported)
{
    ActionRegistry registry;
    registry.add(kOpen, {.text = QStringLiteral("Open"), .menu = {"Flie", 0, 0}});
    registry.add(kClose, {.text = QStringLiteral("Close"), .menu = ActionRegistry::in(kFileMenu, 0, 0)});
    CriticalLog log;
    EXPECT_FALSE(registry.checkMenuPlaces({kFileMenu}));
    ASSERT_EQ(g_critical.size(), 1);
    EXPECT_TRUE(g_critical[0].contains(QStringLiteral("Flie"))) << g_critical[0].toStdString();
    EXPECT_TRUE(g_critical[0].contains(QStringLiteral("Open"))) << g_critical[0].toStdString();
}

TEST(ActionRegistry, StatesOfAGoneOwnerAreNotAskedAndNoneOnceStopped)
{
    ActionRegistry registry;
    int asked = 0;
    int signalled = 0;
    QObject::connect(&registry, &ActionRegistry::statesNeeded, &registry, [&signalled] { ++signalled; });
    auto owner = std::make_unique<QObject>();
    registry.add(
        kOpen, {.text = QStringLiteral("Open"), .enabled = [&asked] { return ++asked > 0; }}, owner.get(), [] {});
    // A group registered for an owner, without a slot.
    registry.add(kFormat, {.text = QStringLiteral("Format"), .enabled = [&asked] { return ++asked > 0; }},
        static_cast<QObject*>(owner.get()));
    // Without an owner the functions stay for the registry's life.
    int ownerless = 0;
    registry.add(kQuiet, {.text = QStringLiteral("Quiet"), .visible = [&ownerless] { return ++ownerless > 0; }});
    registry.updateStates();
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(ownerless, 1);
    EXPECT_EQ(signalled, 1);
    owner.reset();
    registry.updateStates();
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(ownerless, 2);
    registry.stopUpdating();
    registry.updateStates();
    EXPECT_EQ(ownerless, 2);
    EXPECT_EQ(signalled, 2);
    // A command registered twice keeps its first registration's slot and states.
    CriticalLog log;
    int second = 0;
    registry.add(
        kQuiet, {.text = QStringLiteral("Again"), .enabled = [] { return false; }}, &registry, [&second] { ++second; });
    registry.action(kQuiet)->trigger();
    EXPECT_EQ(second, 0);
    EXPECT_EQ(g_critical.size(), 1);
}

TEST(ActionRegistry, ScheduledUpdatesComeOnceAfterTheCallerHasReturned)
{
    ActionRegistry registry;
    bool usable = false;
    int asked = 0;
    registry.add(kOpen, {.text = QStringLiteral("Open"), .enabled = [&] {
                             ++asked;
                             return usable;
                         }});
    registry.updateStates();
    ASSERT_FALSE(registry.action(kOpen)->isEnabled());
    asked = 0;
    // Many changes in a row ask for the states once, after the caller has returned.
    usable = true;
    for (int i = 0; i < 5; ++i)
        registry.scheduleUpdate();
    EXPECT_EQ(asked, 0);
    QElapsedTimer clock;
    clock.start();
    while (asked == 0 && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(registry.action(kOpen)->isEnabled());
    EXPECT_EQ(asked, 1);
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
