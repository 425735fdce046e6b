// The window's command registry: one action per name, its tag as data, the owners' states asked
// for before a command runs, and names that were never registered are refused loudly.

#include "platform/ui/ActionRegistry.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>

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

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
