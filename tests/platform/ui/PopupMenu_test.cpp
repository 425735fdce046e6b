// A menu's chosen item runs once the menu has closed: an item that deletes the widget owning the
// menu (and so the menu) runs once, after the menu has closed, from the menu itself or a submenu; a
// checkable item turns and tells its new state once; a menu its owner keeps stays, items and all.

#include "platform/ui/PopupMenu.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPointer>
#include <QTimer>

#include <functional>

namespace {

void press(QWidget* widget, int key)
{
    const QPointer<QWidget> alive(widget);
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
    QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &down);
    if (alive)
        QCoreApplication::sendEvent(widget, &up);
}

// Runs `menu` with PopupMenu::exec and walks the keys to the item `downs` below the top (and, with
// `subDowns` >= 0, into its submenu), then Return, as the user does.
void chooseWithKeys(QMenu* menu, int downs, int subDowns, PopupMenu::Afterwards afterwards)
{
    QTimer::singleShot(50, [=] {
        auto* shown = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(shown, nullptr);
        for (int i = 0; i <= downs; ++i)
            press(shown, Qt::Key_Down);
        if (subDowns < 0) {
            press(shown, Qt::Key_Return);
            return;
        }
        press(shown, Qt::Key_Right);
        QTimer::singleShot(50, [=] {
            auto* sub = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            ASSERT_NE(sub, nullptr);
            for (int i = 0; i < subDowns; ++i)
                press(sub, Qt::Key_Down);
            press(sub, Qt::Key_Return);
        });
    });
    PopupMenu::exec(menu, QPoint(10, 10), afterwards);
}

}  // namespace

TEST(PopupMenu, AnItemThatDeletesTheMenusOwnerRunsOnceAfterTheMenuHasGone)
{
    for (const int sub : {-1, 1}) {
        auto* owner = new QWidget;
        owner->show();
        QPointer<QMenu> menu = new QMenu(owner);
        menu->addAction(QStringLiteral("First"));
        QAction* close = nullptr;
        int runs = 0;
        bool menuGoneWhenRun = false;
        const auto closeOwner = [&] {
            ++runs;
            menuGoneWhenRun = menu.isNull() || !menu->isVisible();
            EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
            delete owner;
        };
        if (sub < 0) {
            close = menu->addAction(QStringLiteral("Close"));
        } else {
            QMenu* submenu = menu->addMenu(QStringLiteral("More"));
            submenu->addAction(QStringLiteral("One"));
            close = submenu->addAction(QStringLiteral("Close"));
        }
        QObject::connect(close, &QAction::triggered, closeOwner);
        chooseWithKeys(menu, 1, sub, PopupMenu::Afterwards::DeleteMenu);
        EXPECT_EQ(runs, 1) << sub;
        EXPECT_TRUE(menuGoneWhenRun) << sub;
        EXPECT_TRUE(menu.isNull()) << sub;
    }
}

TEST(PopupMenu, ACheckableItemTurnsOnceAndAKeptMenuStays)
{
    QWidget owner;
    owner.show();
    auto* menu = new QMenu(&owner);
    QAction* plain = menu->addAction(QStringLiteral("Plain"));
    QAction* check = menu->addAction(QStringLiteral("Check"));
    check->setCheckable(true);
    QList<bool> toggled;
    QList<bool> triggered;
    int plainRuns = 0;
    QObject::connect(plain, &QAction::triggered, [&] { ++plainRuns; });
    QObject::connect(check, &QAction::toggled, [&](bool on) { toggled << on; });
    QObject::connect(check, &QAction::triggered, [&](bool on) { triggered << on; });
    const QPointer<QMenu> kept(menu);
    chooseWithKeys(menu, 1, -1, PopupMenu::Afterwards::KeepMenu);
    ASSERT_FALSE(kept.isNull());
    EXPECT_TRUE(check->isChecked());
    EXPECT_EQ(toggled, QList<bool> {true});
    EXPECT_EQ(triggered, QList<bool> {true});
    EXPECT_EQ(plainRuns, 0);
    // The items speak again once the menu is closed, and a second showing runs the other item.
    plain->trigger();
    EXPECT_EQ(plainRuns, 1);
    chooseWithKeys(menu, 0, -1, PopupMenu::Afterwards::KeepMenu);
    EXPECT_EQ(plainRuns, 2);
    EXPECT_EQ(triggered.size(), 1);
    // Escape chooses nothing.
    QTimer::singleShot(50, [] {
        if (QWidget* shown = QApplication::activePopupWidget())
            press(shown, Qt::Key_Escape);
    });
    PopupMenu::exec(menu, QPoint(10, 10), PopupMenu::Afterwards::KeepMenu);
    EXPECT_EQ(plainRuns, 2);
    EXPECT_EQ(triggered.size(), 1);
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
